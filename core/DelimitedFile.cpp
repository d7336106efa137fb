#include "core/DelimitedFile.h"

#include "core/Include.h"

#include <algorithm>

namespace quillet {

namespace {

// A CR or LF inside a cell would end the line there and the cells after it would land
// in a new row when the file is read, so each is written as a blank.
void AppendFileText(std::string& out, const std::string& text) {
    const std::size_t start = out.size();
    out += text;
    std::replace_if(
        out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
        [](char c) { return c == '\r' || c == '\n'; }, ' ');
}

} // namespace

std::vector<std::string> SplitLines(const std::string& data) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t n = data.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(data, start, i - start);
            i += (c == '\r' && i + 1 < n && data[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n)
        lines.emplace_back(data, start, n - start);
    return lines;
}

DelimitedRow SplitFields(const std::string& line, char delimiter, int count) {
    DelimitedRow fields;
    fields.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        fields.push_back(GetField(line, delimiter, i));
    return fields;
}

std::vector<DelimitedRow> ReadDelimited(const std::string& data, char delimiter, int count) {
    std::vector<DelimitedRow> rows;
    for (const std::string& line : SplitLines(data))
        rows.push_back(SplitFields(line, delimiter, count));
    return rows;
}

bool AppendDelimitedRow(std::string& out, const DelimitedRow& cells, char delimiter) {
    const std::size_t start = out.size();
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c > 0)
            out += delimiter;
        if (!cells[c].empty()) {
            out += '"';
            AppendFileText(out, cells[c]);
            out += '"';
        }
    }
    // Left out when nothing but delimiters and blanks remain.
    const bool hasText =
        std::any_of(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
                    [delimiter](char ch) { return ch != delimiter && static_cast<unsigned char>(ch) > 32; });
    if (hasText)
        out += "\r\n";
    else
        out.resize(start);
    return hasText;
}

void AppendDelimitedTitles(std::string& out, const DelimitedRow& titles, char delimiter) {
    // Deliberately unlike the data rows: titles go unquoted, and leading empty titles
    // leave no field.
    std::string line;
    for (const std::string& cell : titles) {
        if (!line.empty())
            line += delimiter;
        AppendFileText(line, cell);
    }
    out += line;
    out += "\r\n";
}

std::string WriteDelimited(const std::vector<DelimitedRow>& rows, char delimiter) {
    std::string out;
    for (const DelimitedRow& row : rows)
        AppendDelimitedRow(out, row, delimiter);
    return out;
}

} // namespace quillet
