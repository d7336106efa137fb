// The administrator's way to the desktop shortcut writer, with a seam so tests can see
// exactly what the desktop-icon command asks for.
#pragma once

#include "platform/Shortcut.h"

#include <functional>
#include <string>

namespace quillet::admin {

using ShortcutWriter =
    std::function<platform::ShortcutResult(const std::string& target, const std::string& linkName,
                                           const std::string& arguments, bool onDesktop, bool inStartMenu)>;

// platform::CreateShortcut, unless a test installed its own writer.
platform::ShortcutResult CreateShortcut(const std::string& target, const std::string& linkName,
                                        const std::string& arguments, bool onDesktop, bool inStartMenu);
// An empty writer puts the real one back.
void SetShortcutWriter(ShortcutWriter writer);

} // namespace quillet::admin
