#include "admin/Shortcut.h"

namespace quillet::admin {

namespace {
ShortcutWriter& writer() {
    static ShortcutWriter current;
    return current;
}
} // namespace

platform::ShortcutResult CreateShortcut(const std::string& target, const std::string& linkName,
                                        const std::string& arguments, bool onDesktop, bool inStartMenu) {
    if (writer())
        return writer()(target, linkName, arguments, onDesktop, inStartMenu);
    return platform::CreateShortcut(target, linkName, arguments, onDesktop, inStartMenu);
}

void SetShortcutWriter(ShortcutWriter w) {
    writer() = std::move(w);
}

} // namespace quillet::admin
