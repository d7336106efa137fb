#pragma once

#include "standin/PageSource.h"

#include <cstdint>
#include <unordered_map>

namespace quillet::standin {

// A database file with the committed pages of its write-ahead log laid over it: the
// pages SQLite itself would read, without a checkpoint that writes anything. Frames
// count only up to the last commit whose checksums and salts hold, as in SQLite's
// own recovery of a log.
class LoggedSource final : public PageSource {
public:
    LoggedSource(const PageSource& database, const PageSource& log);
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const override;
    std::size_t committedFrames() const { return frames_.size(); }

private:
    const PageSource& database_;
    const PageSource& log_;
    std::uint32_t pageSize_ = 0;
    std::uint64_t size_ = 0;
    std::unordered_map<std::uint32_t, std::uint64_t> frames_; // page -> offset of its bytes in the log
};

} // namespace quillet::standin
