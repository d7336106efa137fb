// The salvage's page reader on any bytes after an SQLite file's magic: it never
// crashes, never loops and never reads past the file, and every value it passes on
// lies inside the bytes it was given or its own buffers (the sanitizer checks each).
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An odd first byte: the input follows a sound header of 512-byte pages, so that it
    // reaches the pages' own checks; an even one: it is the header too.
    const bool soundHeader = size > 0 && (data[0] & 1);
    if (size) {
        ++data;
        --size;
    }
    const std::size_t prefix = soundHeader ? 100 : 16;
    std::vector<unsigned char> file(prefix + size);
    std::memcpy(file.data(), "SQLite format 3", 16);
    if (soundHeader) {
        file[16] = 2;     // 512-byte pages
        file[18] = file[19] = 1;
        file[21] = 64, file[22] = 32, file[23] = 32;
        file[59] = 1;     // UTF-8
    }
    if (size)
        std::memcpy(file.data() + prefix, data, size);
    const quillet::standin::MemorySource source(file.data(), file.size());
    TouchingSink sink;
    const quillet::standin::Survey survey = quillet::standin::ReadDatabase(source, &sink, false);
    const quillet::standin::Survey check = quillet::standin::ReadDatabase(source, nullptr, true);
    if (survey.readable != check.readable || survey.header.pageCount > file.size() / 512)
        std::abort();
    return 0;
}
