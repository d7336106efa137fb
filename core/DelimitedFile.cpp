#include "core/DelimitedFile.h"

#include "core/Include.h"

#include <algorithm>

namespace quillet {

namespace {

// A CR or LF inside a cell would end the line there and the cells after it would land
// in a new row when the file is read, so each is written as a blank.
std::string FileText(std::string bytes) {
    std::replace_if(
        bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return bytes;
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
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c > 0)
            line += delimiter;
        const std::string text = FileText(cells[c]);
        if (!text.empty()) {
            line += '"';
            line += text;
            line += '"';
        }
    }
    // Left out when nothing but delimiters and blanks remain.
    const bool hasText = std::any_of(line.begin(), line.end(), [delimiter](char ch) {
        return ch != delimiter && static_cast<unsigned char>(ch) > 32;
    });
    if (hasText) {
        out += line;
        out += "\r\n";
    }
    return hasText;
}

void AppendDelimitedTitles(std::string& out, const DelimitedRow& titles, char delimiter) {
    // Deliberately unlike the data rows: titles go unquoted, and leading empty titles
    // leave no field.
    std::string line;
    for (const std::string& cell : titles) {
        const std::string title = FileText(cell);
        if (line.empty())
            line = title;
        else
            line += delimiter + title;
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
