#include "widgets/qt/BevelPanel.h"

#include <QPainter>
#include <qdrawutil.h>

namespace quillet::widgets {

TBevelPanel::TBevelPanel(QWidget* parent, int bevelWidth, bool outerLowered, bool innerRaised)
    : QFrame(parent), bevelWidth_(bevelWidth), outerLowered_(outerLowered), innerRaised_(innerRaised) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
}

void TBevelPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    QRect r = rect();
    if (outerLowered_) {
        qDrawShadePanel(&painter, r, palette(), true, bevelWidth_);
        r.adjust(bevelWidth_, bevelWidth_, -bevelWidth_, -bevelWidth_);
    }
    if (innerRaised_)
        qDrawShadePanel(&painter, r, palette(), false, bevelWidth_);
}

} // namespace quillet::widgets
