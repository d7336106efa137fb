#include "platform/DataFolder.h"

namespace quillet::platform {

// The setup installs into the user's own programs folder, which the user may write, so
// every copy keeps its files next to its programs.
std::optional<std::string> InstalledDataFolder(const std::string&) { return std::nullopt; }

std::string DataFolderOf(const std::string& programFolder) { return programFolder; }

} // namespace quillet::platform
