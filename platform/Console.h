// Programs without a window that still print: on Windows they are built without a
// console of their own (none flashes up when the system's scheduler starts them), so
// they print to the console of whoever started them from one.
#pragma once

#include <string>

namespace quillet::platform {

// Windows: standard output and error go to the parent's console when they are not
// redirected already. Elsewhere nothing to do.
void UseParentConsole();

// One line of standard input without its line end. When standard input is a terminal
// (on Windows a console), `prompt` goes to standard error and what is typed is not shown.
std::string ReadHiddenLine(const std::string& prompt);

} // namespace quillet::platform
