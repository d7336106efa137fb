// The caption of plain message boxes and the error box: the program file's name.
#pragma once

#include <QString>

namespace quillet::ui {

// The program file's name without its extension, the first letter unchanged and the
// rest in lower case.
QString ApplicationTitle(const QString& programPath);
QString ApplicationTitle(); // of the running program

} // namespace quillet::ui
