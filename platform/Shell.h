// The system's own opener for addresses and its help engine, where it has them
// (Windows). Elsewhere the administrator uses the desktop's opener and its own viewer.
#pragma once

#include <cstdint>
#include <string>

namespace quillet::platform {

// True where the two calls below reach the system; false where they do nothing.
bool HasSystemShell();

// Hands a web or "mailto:" address to the shell with its default verb. False when the
// shell reported a failure or there is no system shell.
bool ShellOpenAddress(const std::string& address);

enum class HelpRequest { Contents, PartialKey, Topic };

// Asks the system's help engine to show the help file: its contents, its keyword
// search with `key` typed in (empty for none) or topic `topic`. `ownerWindow` is the
// native handle of the asking window, 0 for none. False when the engine failed.
bool SystemHelp(std::uintptr_t ownerWindow, const std::string& helpFile, HelpRequest request,
                const std::string& key, int topic);

} // namespace quillet::platform
