#include "ui/qt/ToolButtons.h"

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

} // namespace quillet::ui
