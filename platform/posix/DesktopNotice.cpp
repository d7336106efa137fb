#include "platform/DesktopNotice.h"

#include "platform/Command.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::platform {
namespace {

// cron and some timers start programs without the session's bus address; the user's
// bus has a fixed place under the runtime folder.
bool HaveSessionBus() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return true;
    std::string runtime;
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir)
        runtime = dir;
    else
        runtime = "/run/user/" + std::to_string(::getuid());
    const std::string bus = runtime + "/bus";
    struct stat st {};
    if (::stat(bus.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return false;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
    return true;
}

} // namespace

bool ShowDesktopNotice(const std::string& title, const std::string& body) {
    if (!HaveSessionBus())
        return false;
    // Critical urgency: the notice stays until somebody dismisses it.
    const CommandResult r = RunCommand(
        {"notify-send", "--app-name=Quillet", "--urgency=critical", "--icon=dialog-warning", "--", title, body}, {},
        10000);
    return r.exitCode == 0;
}

} // namespace quillet::platform
