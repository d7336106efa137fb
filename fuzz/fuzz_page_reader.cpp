// The salvage's page reader on any bytes after an SQLite file's magic: it never
// crashes, never loops and never reads past the file, and every value it passes on
// lies inside the bytes it was given or its own buffers (the sanitizer checks each).
// With a write-ahead log: part of the input becomes frames with sound checksums laid
// over the file, so that the reader also sees pages the log adds or replaces.
#include "SqliteInput.h"
#include "standin/PageReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class TouchingSink final : public quillet::standin::SalvageSink {
public:
    void schema(const quillet::standin::Header& header, const std::vector<quillet::standin::SchemaEntry>& entries,
                const std::vector<quillet::standin::TableCount>&) override {
        if (header.pageSize < 512 || header.usable > header.pageSize)
            std::abort();
        for (const auto& e : entries)
            sum += e.sql.size() + e.name.size();
    }
    bool row(std::uint32_t, std::int64_t, const std::vector<quillet::standin::Value>& values) override {
        for (const auto& v : values)
            for (std::size_t i = 0; v.bytes && i < v.length; ++i)
                sum += v.bytes[i];
        return true;
    }
    std::size_t sum = 0;
};

void Put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

void Checksum(const unsigned char* p, std::size_t n, std::uint32_t& s1, std::uint32_t& s2) {
    for (std::size_t i = 0; i + 8 <= n; i += 8) { // big-endian words (magic 0x377f0683)
        const auto word = [&](std::size_t at) {
            return std::uint32_t{p[at]} << 24 | std::uint32_t{p[at + 1]} << 16 | std::uint32_t{p[at + 2]} << 8 | p[at + 3];
        };
        s1 += word(i) + s2;
        s2 += word(i + 4) + s1;
    }
}

// A log of 512-byte frames: each frame's page number and commit mark from one input
// byte, its page from the next 512; a checksum spoilt now and then.
std::vector<unsigned char> MakeLog(const std::uint8_t* data, std::size_t size) {
    std::vector<unsigned char> log(32);
    Put32(log.data(), 0x377f0683);
    Put32(log.data() + 4, 3007000);
    Put32(log.data() + 8, 512);
    Put32(log.data() + 16, 0x1234), Put32(log.data() + 20, 0x5678);
    std::uint32_t s1 = 0, s2 = 0;
    Checksum(log.data(), 24, s1, s2);
    Put32(log.data() + 24, s1), Put32(log.data() + 28, s2);
    for (std::size_t at = 0; at + 513 <= size; at += 513) {
        unsigned char frame[24 + 512] = {};
        Put32(frame, 1 + (data[at] & 0x1f));
        Put32(frame + 4, data[at] & 0x20 ? 1 + (data[at] >> 6) * 8 : 0);
        std::memcpy(frame + 8, log.data() + 16, 8);
        std::memcpy(frame + 24, data + at + 1, 512);
        Checksum(frame, 8, s1, s2);
        Checksum(frame + 24, 512, s1, s2);
        Put32(frame + 16, s1 ^ (data[at] == 0xff)), Put32(frame + 20, s2);
        log.insert(log.end(), frame, frame + sizeof frame);
    }
    return log;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An odd first byte: the input follows a sound header of 512-byte pages, so that it
    // reaches the pages' own checks; an even one: it is the header too.
    const std::uint8_t flags = size > 0 ? data[0] : 0;
    const bool soundHeader = flags & 1;
    if (size) {
        ++data;
        --size;
    }
    std::vector<unsigned char> file = SqliteFileOf(data, size, soundHeader);
    const std::size_t prefix = soundHeader ? 100 : 16;
    // A second flag bit: the input's second half is a log over the first.
    const bool logged = flags & 2;
    std::vector<unsigned char> log;
    if (logged) {
        const std::size_t half = size / 2;
        log = MakeLog(data + half, size - half);
        file.resize(prefix + half);
    }
    const quillet::standin::MemorySource database(file.data(), file.size());
    const quillet::standin::MemorySource logSource(log.data(), log.size());
    const quillet::standin::LoggedSource overlay(database, logSource);
    const quillet::standin::PageSource& source =
        logged ? static_cast<const quillet::standin::PageSource&>(overlay) : database;
    TouchingSink sink;
    const quillet::standin::Survey survey = quillet::standin::ReadDatabase(source, &sink, false);
    const quillet::standin::Survey check = quillet::standin::ReadDatabase(source, nullptr, true);
    if (survey.readable != check.readable || survey.header.pageCount > source.size() / 512)
        std::abort();
    return 0;
}
