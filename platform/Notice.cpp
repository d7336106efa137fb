#include "platform/Notice.h"

#include "platform/DataFolder.h"
#include "platform/DesktopNotice.h"
#include "platform/TextFile.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace quillet::platform {

namespace {

AccessErrorHandler& Handler() {
    static AccessErrorHandler handler;
    return handler;
}

void GiveNotice(const std::string& path, const std::string& line) {
    static std::mutex mutex;
    static std::set<std::string> told;
    const std::string folder = UserDataFolder();
    const std::string fallback = folder + "error.log";
    const bool kept = !folder.empty() && fallback != path && AppendTextToFile(fallback, line + "\r\n");
    std::lock_guard lock(mutex);
    if (!told.insert(path).second)
        return;
    const std::string text =
        "Could not access " + path + (kept ? ". Its lines are written to " + fallback + " instead." : ".");
    std::fprintf(stderr, "Access Error: %s\n", text.c_str());
    std::fflush(stderr);
    ShowDesktopNotice("Access Error", text);
}

} // namespace

void SetAccessErrorHandler(AccessErrorHandler handler) { Handler() = std::move(handler); }

void ShowAccessError(const std::string& path, const std::string& line) {
    if (Handler())
        Handler()(path, line);
    else
        GiveNotice(path, line);
}

} // namespace quillet::platform
