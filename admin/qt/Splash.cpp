#include "admin/qt/Splash.h"

#include "widgets/qt/BevelPanel.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace quillet::admin {

using widgets::TBevelPanel;

QPixmap TfrmSplash::Picture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 137.0, size / 137.0);

    // A database drum, squeezed by two arrows: the product compacts databases.
    const QColor green(0, 128, 0);
    QLinearGradient body(20, 0, 117, 0);
    body.setColorAt(0, QColor(150, 200, 150));
    body.setColorAt(0.5, QColor(225, 245, 225));
    body.setColorAt(1, QColor(110, 170, 110));
    p.setPen(QPen(green, 2));
    p.setBrush(body);
    QPainterPath drum;
    drum.moveTo(28, 40);
    drum.lineTo(28, 105);
    drum.arcTo(28, 95, 81, 20, 180, 180);
    drum.lineTo(109, 40);
    drum.arcTo(28, 30, 81, 20, 0, -180);
    p.drawPath(drum);
    p.setBrush(QColor(200, 235, 200));
    p.drawEllipse(QRectF(28, 30, 81, 20));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(28, 52, 81, 20), 180 * 16, 180 * 16);
    p.drawArc(QRectF(28, 74, 81, 20), 180 * 16, 180 * 16);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 100, 0));
    const QPolygonF down({QPointF(58, 2), QPointF(79, 2), QPointF(79, 12), QPointF(88, 12), QPointF(68.5, 26),
                          QPointF(49, 12), QPointF(58, 12)});
    const QPolygonF up({QPointF(58, 135), QPointF(79, 135), QPointF(79, 125), QPointF(88, 125),
                        QPointF(68.5, 118), QPointF(49, 125), QPointF(58, 125)});
    p.drawPolygon(down);
    p.drawPolygon(up);
    return pixmap;
}

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Loading Quillet"));
    setFixedSize(360, 212);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* panel = new TBevelPanel(this, 5, false, true);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setPalette(white);
    panel->setGeometry(0, 0, 360, 212);

    auto* image = new QLabel(panel);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(223, 40, 137, 137);
    image->setScaledContents(true);
    image->setAttribute(Qt::WA_TranslucentBackground);
    image->setPixmap(Picture(137));

    auto* name = new QLabel(QStringLiteral("Quillet\u2122"), panel);
    name->setObjectName(QStringLiteral("Label1"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(37);
    font.setBold(true);
    name->setFont(font);
    QPalette green = name->palette();
    green.setColor(QPalette::WindowText, QColor(0, 128, 0));
    name->setPalette(green);
    name->setAttribute(Qt::WA_TranslucentBackground);
    name->move(48, 8);
    name->adjustSize();

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace quillet::admin
