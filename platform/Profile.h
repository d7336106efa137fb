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

// The bytes of a whole profile file that holds `text` (UTF-8, lines ending in CR LF),
// for files written at once: Windows keeps the ANSI code page while every character
// fits it, else UTF-16LE with its byte order mark; elsewhere the text itself.
std::string ProfileFileBytes(const std::string& text);

// Replaces or adds one key; every other line stays as it was. False when the file
// cannot be written (missing folder, read-only file, ...); LastFileErrorText (Files.h)
// then says why.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file);

} // namespace quillet::platform
