// A titled group of radio items of which at most one is chosen.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace quillet::widgets {

// Setting the item from code is silent; only the user's choice emits itemClicked.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
    int ItemIndex() const;
    void SetItemIndex(int index);
    int ItemCount() const;
signals:
    void itemClicked(int index);

private:
    QButtonGroup* buttons_;
};

} // namespace quillet::widgets
