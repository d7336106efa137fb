// std::filesystem takes a plain string in the ANSI code page on Windows; the programs'
// strings are UTF-8. These two cross between them on every system.
#pragma once

#include <filesystem>
#include <string>

namespace quillet::platform {

inline std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace quillet::platform
