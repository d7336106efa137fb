#include "platform/PathText.h"

namespace quillet::platform {

bool IsPathSeparator(char c) { return c == '/' || c == PathSeparator; }

std::string FolderOf(const std::string& path) {
    const auto cut = path.find_last_of(PathCuts);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string FileNameOf(const std::string& path) {
    const auto cut = path.find_last_of(PathCuts);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string WithFolderSeparator(const std::string& folder) {
    return folder.empty() || IsPathSeparator(folder.back()) ? folder : folder + PathSeparator;
}

} // namespace quillet::platform
