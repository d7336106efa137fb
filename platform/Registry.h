// Read-only access to the system registry, and the defaults the administrator takes
// from it.
#pragma once

#include <string>

namespace quillet::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

// The string value of a key, or empty text when the key or the value is missing (and
// always empty where there is no registry). The key is opened for this one read only.
std::string ReadRegistryString(RegistryRoot root, const std::string& keyPath, const std::string& valueName);

// The Access program the administrator offers when its settings name none. Windows:
// the Office installation folder "OfficeBin" followed by "\Msaccess.exe"; without it, the
// program that Office registers under App Paths for MSACCESS.EXE; without either, just
// "\Msaccess.exe". Both are only read. Elsewhere: the stand-in engine that lies next to
// the administrator in appFolder.
std::string DefaultAccessPath(const std::string& appFolder);

} // namespace quillet::platform
