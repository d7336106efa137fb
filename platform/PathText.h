// A path's folder and file name taken apart as text, by this system's rules; nothing
// here looks at the disk.
#pragma once

#include "platform/Programs.h"

#include <string>

namespace quillet::platform {

// Where a path is cut into folder and name: "/" everywhere, on Windows also "\" and a
// drive's ":".
inline constexpr const char* PathCuts = PathSeparator == '/' ? "/" : "\\/:";

// "/", and on Windows "\" too.
bool IsPathSeparator(char c);
// Up to and with the last cut; empty for a bare name.
std::string FolderOf(const std::string& path);
// After the last cut; the whole path for a bare name.
std::string FileNameOf(const std::string& path);
// The folder ending in a separator; empty stays empty.
std::string WithFolderSeparator(const std::string& folder);

} // namespace quillet::platform
