#include "admin/AdminUsage.h"
#include "admin/qt/Startup.h"
#include "core/ProgramOptions.h"

int main(int argc, char** argv) {
    // Answered before the application object exists: no display is needed for them.
    if (const auto code = quillet::AnswerStandardOption({argv + 1, argv + argc}, "QuilletAdmin", quillet::admin::AdminUsage))
        return *code;
    return quillet::admin::RunAdministrator(argc, argv);
}
