// The compactor's files as the other programs find them, and its history file read
// for showing: huge files are read from their end, so the newest lines show and
// memory stays bounded.
#pragma once

#include "core/RunHistory.h"

#include <cstdint>
#include <string>

namespace quillet {

// Where the compactor keeps its files: beside its program, or in the user's data folder
// when that program is an installed copy (platform/DataFolder.h).
std::string CompactorFileOf(const std::string& compactorPath, const std::string& name);

inline constexpr std::uint64_t HistoryReadLimit = 64ull << 20;
struct HistoryLoad {
    HistoryContents contents;
    bool exists = false;
    bool readable = false;
    std::string failure; // the system's reason when it exists but cannot be read
    std::uint64_t fileSize = 0;
    std::uint64_t bytesNotRead = 0; // older part of a huge file
};
HistoryLoad LoadHistory(const std::string& path, std::uint64_t limit = HistoryReadLimit);

// A history file read again only when its size or time changed: for status lines
// that ask often.
class HistoryFileCache {
public:
    const HistoryLoad& get(const std::string& path);

private:
    std::string path_;
    std::uint64_t size_ = 0;
    std::int64_t time_ = 0;
    bool valid_ = false;
    HistoryLoad load_;
};

} // namespace quillet
