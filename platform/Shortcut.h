// Desktop shortcuts that start a program with arguments: a shell link (".lnk") on
// Windows, a desktop entry (".desktop") on freedesktop systems.
#pragma once

#include <string>

namespace quillet::platform {

struct ShortcutResult {
    std::string linkPath; // the file written, or the one that could not be written
    std::string failure;  // empty when the file was written; otherwise why not, for the user
    bool written() const { return failure.empty(); }
};

// Writes the shortcut `linkName` + ".lnk" / ".desktop" into the desktop folder, or with
// `inStartMenu` into a folder named after the target in the start menu (the start menu
// wins when both are asked for). `arguments` is a Windows command-line tail, as the
// target receives it: on Windows it is stored verbatim; elsewhere it is split by the
// C runtime's rules and each argument quoted as desktop entries require. The working
// folder is the target's folder. An existing shortcut of that name is replaced. A
// missing desktop folder is made (freedesktop systems: the user's XDG desktop folder);
// a desktop entry's icon is "quillet.svg" beside the target when there is one, else
// the icon theme's "quillet".
// Throws std::runtime_error only when the system's shell link object is unavailable.
ShortcutResult CreateShortcut(const std::string& target, const std::string& linkName,
                              const std::string& arguments, bool onDesktop, bool inStartMenu);

// The user's desktop folder without a trailing separator; empty when unknown.
std::string DesktopFolder();

namespace detail {
// Each platform's rules: why `name` cannot be a link's file name (empty when it can),
// and whether a folder exists.
std::string InvalidLinkNameReason(const std::string& name);
bool IsExistingFolder(const std::string& path);
// Why a shortcut cannot go into `folder` under `linkName`, checked in the same order
// and told in the same words on every platform; empty when it can.
std::string PlacementFailure(const std::string& folder, const std::string& linkName);
} // namespace detail

} // namespace quillet::platform
