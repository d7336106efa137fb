// The run history's reader on any bytes: it never fails, and every record it returns
// writes as a line that reads back as the same record.
#include "core/RunHistory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const quillet::HistoryContents read = quillet::ParseHistory(text);
    for (const quillet::HistoryRecord& record : read.records) {
        const std::string line = quillet::FormatHistoryLine(record);
        // As the compactor appends it: after the header.
        const quillet::HistoryContents again = quillet::ParseHistory(quillet::HistoryHeader + line);
        if (again.records.size() != 1 || again.skippedLines != 0 ||
            quillet::FormatHistoryLine(again.records.front()) != line)
            std::abort();
    }
    return 0;
}
