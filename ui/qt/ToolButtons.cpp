#include "ui/qt/ToolButtons.h"

#include "ui/qt/ErrorReporter.h"

#include <QToolButton>

namespace quillet::ui {

QToolButton* MakeToolButton(QWidget* parent, const QString& caption, const QString& hint, const QIcon& icon,
                            Qt::FocusPolicy focus) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFocusPolicy(focus);
    return button;
}

QToolButton* MakeBrowseButton(QWidget* parent, std::function<void()> browse) {
    auto* button = new QToolButton(parent);
    button->setText(QStringLiteral("..."));
    QObject::connect(button, &QToolButton::clicked, button, [browse = std::move(browse)] { guarded(browse); });
    return button;
}

} // namespace quillet::ui
