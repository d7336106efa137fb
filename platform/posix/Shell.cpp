// No system shell here: the administrator opens addresses through the desktop and shows
// help in its own viewer.
#include "platform/Shell.h"

namespace quillet::platform {

bool HasSystemShell() {
    return false;
}

bool ShellOpenAddress(const std::string&) {
    return false;
}

bool SystemHelp(std::uintptr_t, const std::string&, HelpRequest, const std::string&, int) {
    return false;
}

} // namespace quillet::platform
