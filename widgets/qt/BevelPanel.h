// A panel with a lowered outer and a raised inner bevel, as the administrator's
// windows frame their areas.
#pragma once

#include <QFrame>

namespace quillet::widgets {

class TBevelPanel : public QFrame {
    Q_OBJECT
public:
    explicit TBevelPanel(QWidget* parent = nullptr, int bevelWidth = 1, bool outerLowered = true,
                         bool innerRaised = true);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int bevelWidth_;
    bool outerLowered_;
    bool innerRaised_;
};

} // namespace quillet::widgets
