// A button of a window's button bar: its caption under a 24-pixel icon, its hint as the tip.
#pragma once

#include <QIcon>
#include <QString>

class QToolButton;
class QWidget;

namespace quillet::ui {

// focus: NoFocus keeps the bar out of the focus altogether; ClickFocus out of the Tab
// order only, so that a click first takes the text of the box being left.
QToolButton* MakeToolButton(QWidget* parent, const QString& caption, const QString& hint, const QIcon& icon,
                            Qt::FocusPolicy focus);

} // namespace quillet::ui
