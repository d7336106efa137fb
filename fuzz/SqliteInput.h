// Fuzz input as an SQLite file: its magic, then, with `soundHeader`, the rest of a
// sound header of 512-byte pages (so that the input reaches the pages' own checks),
// then the input's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline std::vector<unsigned char> SqliteFileOf(const std::uint8_t* data, std::size_t size, bool soundHeader) {
    const std::size_t prefix = soundHeader ? 100 : 16;
    std::vector<unsigned char> file(prefix + size);
    std::memcpy(file.data(), "SQLite format 3", 16);
    if (soundHeader) {
        file[16] = 2; // 512-byte pages
        file[18] = file[19] = 1;
        file[21] = 64, file[22] = 32, file[23] = 32;
        file[59] = 1; // UTF-8
    }
    if (size)
        std::memcpy(file.data() + prefix, data, size);
    return file;
}
