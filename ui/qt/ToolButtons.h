// A button of a window's button bar: its caption under a 24-pixel icon, its hint as the
// tip; and a box's browse button.
#pragma once

#include <QIcon>
#include <functional>
#include <QString>

class QToolButton;
class QWidget;

namespace quillet::ui {

// focus: NoFocus keeps the bar out of the focus altogether; ClickFocus out of the Tab
// order only, so that a click first takes the text of the box being left.
QToolButton* MakeToolButton(QWidget* parent, const QString& caption, const QString& hint, const QIcon& icon,
                            Qt::FocusPolicy focus);

// The "..." button beside a box that opens a browse dialog: a click calls `browse`
// inside guarded().
QToolButton* MakeBrowseButton(QWidget* parent, std::function<void()> browse);

} // namespace quillet::ui
