// The salvage's page reader on any bytes after an SQLite file's first 16: it never
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
    std::vector<unsigned char> file(16 + size);
    std::memcpy(file.data(), "SQLite format 3", 16);
    if (size)
        std::memcpy(file.data() + 16, data, size);
    const quillet::standin::MemorySource source(file.data(), file.size());
    TouchingSink sink;
    const quillet::standin::Survey survey = quillet::standin::ReadDatabase(source, &sink, false);
    const quillet::standin::Survey check = quillet::standin::ReadDatabase(source, nullptr, true);
    if (survey.readable != check.readable || survey.header.pageCount > file.size() / 512)
        std::abort();
    return 0;
}
