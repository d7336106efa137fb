// OK, Cancel and Help for a dialog whose OK the window's rules may refuse.
#pragma once

#include <functional>

class QDialog;
class QDialogButtonBox;

namespace quillet::ui {

// OK calls the dialog's accept() (which closes it only when its rules take what it
// holds), Cancel rejects, Help calls `help`; each inside guarded().
QDialogButtonBox* MakeConfirmButtons(QDialog* dialog, std::function<void()> help);

} // namespace quillet::ui
