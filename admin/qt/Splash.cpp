#include "admin/qt/Splash.h"

#include "ui/qt/Text.h"
#include "widgets/qt/BevelPanel.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace quillet::admin {

using ui::FromStd;
using widgets::TBevelPanel;

namespace {
QColor colourOf(Rgb colour) {
    return QColor(colour.r, colour.g, colour.b);
}
} // namespace

QPalette TfrmSplash::Coloured(QPalette palette, Rgb colour) {
    palette.setColor(QPalette::WindowText, colourOf(colour));
    return palette;
}

QPixmap TfrmSplash::Picture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / PictureUnits, size / PictureUnits);

    const ProgramPicture& d = PictureShape;
    const double width = d.right - d.left, half = d.ringHeight / 2;
    QLinearGradient body(d.left - 8, 0, d.right + 8, 0);
    body.setColorAt(0, colourOf(d.body));
    body.setColorAt(0.5, QColor(225, 245, 225));
    body.setColorAt(1, QColor(110, 170, 110));
    p.setPen(QPen(colourOf(d.outline), 2));
    p.setBrush(body);
    QPainterPath drum;
    drum.moveTo(d.left, d.top);
    drum.lineTo(d.left, d.bottom);
    drum.arcTo(d.left, d.bottom - half, width, d.ringHeight, 180, 180);
    drum.lineTo(d.right, d.top);
    drum.arcTo(d.left, d.top - half, width, d.ringHeight, 0, -180);
    p.drawPath(drum);
    p.setBrush(colourOf(d.lid));
    p.drawEllipse(QRectF(d.left, d.top - half, width, d.ringHeight));
    p.setBrush(Qt::NoBrush);
    for (double band : d.bands)
        p.drawArc(QRectF(d.left, band, width, d.ringHeight), 180 * 16, 180 * 16);

    p.setPen(Qt::NoPen);
    p.setBrush(colourOf(d.arrow));
    for (const auto& arrow : d.arrows) {
        QPolygonF shape;
        for (const Point& at : arrow)
            shape << QPointF(at.x, at.y);
        p.drawPolygon(shape);
    }
    return pixmap;
}

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(FromStd(SplashCaption));
    setFixedSize(SplashWidth, SplashHeight);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* panel = new TBevelPanel(this, SplashBevel, false, true);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setPalette(white);
    panel->setGeometry(0, 0, SplashWidth, SplashHeight);

    auto* image = new QLabel(panel);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(SplashPicture.x, SplashPicture.y, SplashPicture.width, SplashPicture.height);
    image->setScaledContents(true);
    image->setAttribute(Qt::WA_TranslucentBackground);
    image->setPixmap(Picture(SplashPicture.width));

    auto* name = new QLabel(FromStd(ProductText), panel);
    name->setObjectName(QStringLiteral("Label1"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(SplashNameHeight);
    font.setBold(true);
    name->setFont(font);
    name->setPalette(Coloured(name->palette(), ProductGreen));
    name->setAttribute(Qt::WA_TranslucentBackground);
    name->move(SplashName.x, SplashName.y);
    name->adjustSize();

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace quillet::admin
