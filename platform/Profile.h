// Private-profile (INI file) access with the rules of the Windows profile functions.
#pragma once

#include <cstddef>
#include <string>

namespace quillet::platform {

// Buffer sizes of the two kinds of read: ordinary values and the editor's long list.
constexpr std::size_t ProfileBufferSize = 2048;
constexpr std::size_t ProfileListBufferSize = 32768;

// At most bufferSize - 1 characters of the value, or the default when the file,
// section or key is missing.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file,
                                    std::size_t bufferSize = ProfileBufferSize);

// Replaces or adds one key; every other line stays as it was. False when the file
// cannot be written (missing folder, read-only file, ...); LastFileErrorText (Files.h)
// then says why.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file);

} // namespace quillet::platform
