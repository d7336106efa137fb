// A notice on the desktop of the user who is logged on, for programs without a window
// that run in the background: it must never wait for anybody to read it.
#pragma once

#include <string>

namespace quillet::platform {

// True when the notice was handed to the desktop. Linux: the freedesktop notification
// service on the session bus (through notify-send), found also when the caller was
// started by cron without the bus address. Windows: a message box in the session at the
// console, not waited for. False when no desktop session is there to show it.
bool ShowDesktopNotice(const std::string& title, const std::string& body);

} // namespace quillet::platform
