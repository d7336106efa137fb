#include "standin/LoggedSource.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillet::standin {

namespace {
std::uint32_t Read32(const unsigned char* p, bool bigEndian) {
    return bigEndian ? std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3]
                     : std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// The log's running checksum over `n` bytes (a multiple of 8).
void LogChecksum(const unsigned char* p, std::size_t n, bool bigEndian, std::uint32_t& s1, std::uint32_t& s2) {
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        s1 += Read32(p + i, bigEndian) + s2;
        s2 += Read32(p + i + 4, bigEndian) + s1;
    }
}
} // namespace

LoggedSource::LoggedSource(const PageSource& database, const PageSource& log)
    : database_(database), log_(log), size_(database.size()) {
    unsigned char head[32];
    if (!log.read(0, head, sizeof head))
        return;
    const std::uint32_t magic = Read32(head, true);
    const std::uint32_t pageSize = Read32(head + 8, true);
    if ((magic & ~1u) != 0x377f0682 || pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)))
        return;
    const bool bigEndian = magic & 1;
    std::uint32_t s1 = 0, s2 = 0;
    LogChecksum(head, 24, bigEndian, s1, s2);
    if (s1 != Read32(head + 24, true) || s2 != Read32(head + 28, true))
        return;
    std::unordered_map<std::uint32_t, std::uint64_t> pending;
    std::vector<unsigned char> frame(24 + std::size_t{pageSize});
    for (std::uint64_t at = 32; at + frame.size() <= log.size(); at += frame.size()) {
        if (!log.read(at, frame.data(), frame.size()) || std::memcmp(frame.data() + 8, head + 16, 8) != 0)
            break;
        LogChecksum(frame.data(), 8, bigEndian, s1, s2);
        LogChecksum(frame.data() + 24, pageSize, bigEndian, s1, s2);
        const std::uint32_t page = Read32(frame.data(), true);
        if (page == 0 || s1 != Read32(frame.data() + 16, true) || s2 != Read32(frame.data() + 20, true))
            break;
        pending[page] = at + 24;
        if (const std::uint32_t pages = Read32(frame.data() + 4, true)) {
            for (const auto& [p, offset] : pending)
                frames_[p] = offset;
            pending.clear();
            pageSize_ = pageSize;
            size_ = std::uint64_t{pages} * pageSize;
        }
    }
}

bool LoggedSource::read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const {
    if (offset > size_ || length > size_ - offset)
        return false;
    if (frames_.empty())
        return database_.read(offset, buffer, length);
    while (length > 0) {
        const std::uint32_t page = static_cast<std::uint32_t>(offset / pageSize_) + 1;
        const std::uint64_t within = offset % pageSize_;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, pageSize_ - within));
        const auto frame = frames_.find(page);
        if (frame != frames_.end()) {
            if (!log_.read(frame->second + within, buffer, n))
                return false;
        } else if (offset + n <= database_.size()) {
            if (!database_.read(offset, buffer, n))
                return false;
        } else {
            // A page the log added and a later commit no longer holds: SQLite reads zeros.
            std::memset(buffer, 0, n);
            if (offset < database_.size() && !database_.read(offset, buffer, database_.size() - offset))
                return false;
        }
        offset += n;
        buffer += n;
        length -= n;
    }
    return true;
}

} // namespace quillet::standin
