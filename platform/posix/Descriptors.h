#pragma once
// Writing to an open descriptor, shared by the POSIX files of this layer.
#include <cstddef>
#include <string>

namespace quillet::platform {

// Every byte, through short writes and interruptions; false on the first error (errno set).
bool WriteAll(int fd, const char* data, std::size_t size);
inline bool WriteAll(int fd, const std::string& bytes) { return WriteAll(fd, bytes.data(), bytes.size()); }

} // namespace quillet::platform
