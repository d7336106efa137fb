// The end of a file that may be too large to read whole: the newest lines of a log or
// a history that only grows.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// Reads at most `limit` bytes from the file's end; false when it cannot be read.
// FileTailFailure, called right after, says why.
std::string FileTailFailure(const std::string& path);
bool ReadFileTail(const std::string& path, std::uint64_t limit, std::string& bytes, std::uint64_t& fileSize);
// The same as text (platform/TextFile.h); a tail that begins inside a character loses
// that character.
bool ReadTextFileTail(const std::string& path, std::uint64_t limit, std::string& text, std::uint64_t& fileSize);

} // namespace quillet
