#include "admin/AdminUsage.h"
#include "admin/win32/Startup.h"
#include "core/ProgramOptions.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    // The C runtime's narrow arguments are enough to tell the two options, both plain ASCII.
    if (const auto code = quillet::AnswerStandardOption({__argv + 1, __argv + __argc}, "QuilletAdmin",
                                                        quillet::admin::AdminUsage))
        return *code;
    return quillet::admin::RunAdministrator(showCommand);
}
