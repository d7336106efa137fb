// The delimited-file codec on any bytes: reading never fails, and rows the format can
// hold (no double quote, CR or LF in a cell, no blanks around it, not every cell empty)
// read back as written.
#include "core/DelimitedFile.h"
#include "core/Include.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const char delimiter = static_cast<char>(data[0]);
    const int count = data[1] % 8 + 1;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    // Any bytes read as rows of `count` fields, and a write of them reads as often.
    const std::vector<quillet::DelimitedRow> read = quillet::ReadDelimited(text, delimiter, count);
    for (const quillet::DelimitedRow& row : read)
        if (row.size() != static_cast<std::size_t>(count))
            std::abort();
    if (delimiter == '"' || delimiter == '\r' || delimiter == '\n')
        return 0;

    // The same bytes as cells: a row per line, a cell per `count` bytes.
    std::vector<quillet::DelimitedRow> rows;
    for (const std::string& line : quillet::SplitLines(text)) {
        quillet::DelimitedRow row;
        for (std::size_t i = 0; i < line.size(); i += static_cast<std::size_t>(count)) {
            std::string cell = line.substr(i, static_cast<std::size_t>(count));
            std::erase(cell, '"');
            row.push_back(quillet::TrimText(cell));
        }
        if (std::any_of(row.begin(), row.end(), [](const std::string& c) { return !c.empty(); }))
            rows.push_back(row);
    }
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.size());
    for (auto& row : rows)
        row.resize(width);
    const std::string written = quillet::WriteDelimited(rows, delimiter);
    if (quillet::ReadDelimited(written, delimiter, static_cast<int>(width)) != rows)
        std::abort();
    return 0;
}
