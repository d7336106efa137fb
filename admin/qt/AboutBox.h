// The about box: program icon, maker and product, version and build, a link to the
// maker's home page. Created hidden at start-up and shown modally on demand.
#pragma once

#include <QDialog>
#include <QString>

namespace quillet::admin {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    // The link label's click: the maker's home page, after asking.
    void Label2Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace quillet::admin
