#include "core/RunHistory.h"

#include "platform/Files.h"
#include "platform/TextFile.h"

#include <array>
#include <charconv>
#include <iterator>

namespace quillet {
namespace {

constexpr std::array<std::string_view, 9> Columns = {"start",     "configuration", "database",
                                                     "outcome",   "exit_code",     "size_before",
                                                     "size_after", "seconds",      "detail"};

std::string Quoted(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(field);
    std::string out = "\"";
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

template <typename T> std::string NumberText(const std::optional<T>& v) {
    return v ? std::to_string(*v) : std::string();
}

std::string SecondsText(const std::optional<double>& v) {
    if (!v)
        return {};
    char buf[400]; // the largest double has 309 digits before the point
    const auto res = std::to_chars(buf, buf + sizeof buf, *v, std::chars_format::fixed, 3);
    return res.ec == std::errc() ? std::string(buf, res.ptr) : std::string();
}

// One record of fields; `complete` is false when the text ended inside quotes or
// before the record's line end.
struct Row {
    std::vector<std::string> fields;
    bool complete = false;
    bool malformed = false; // text after a closing quote
};

Row NextRow(std::string_view text, std::size_t& at) {
    Row row;
    std::string field;
    bool quoted = false, wasQuoted = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (at < text.size() && text[at] == '"') {
                field += '"';
                ++at;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            row.fields.push_back(std::move(field));
            field.clear();
            wasQuoted = false;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && at < text.size() && text[at] == '\n')
                ++at;
            row.fields.push_back(std::move(field));
            row.complete = true;
            return row;
        } else {
            if (wasQuoted)
                row.malformed = true;
            field += c;
        }
    }
    // The last line may lack its line end; inside open quotes it was cut short.
    row.fields.push_back(std::move(field));
    row.complete = !quoted;
    return row;
}

template <typename T> bool ParseNumber(const std::string& text, std::optional<T>& out) {
    if (text.empty())
        return true;
    T value{};
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        return false;
    out = value;
    return true;
}

// No data line holds these names as whole fields: a start is a time, an outcome a word
// of the list.
bool IsHeader(const Row& row) {
    bool start = false, outcome = false;
    for (const auto& f : row.fields) {
        start = start || f == Columns[0];
        outcome = outcome || f == Columns[3];
    }
    return start && outcome;
}

} // namespace

bool IsHistoryHeader(std::string_view line) {
    if (line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
    std::size_t at = 0;
    const Row row = NextRow(line, at);
    return !row.malformed && IsHeader(row);
}

bool AppendHistoryLine(const std::string& path, const HistoryRecord& r) {
    return AppendHistoryLines(path, FormatHistoryLine(r));
}

bool AppendHistoryLines(const std::string& path, const std::string& lines) {
    if (!platform::FileExists(path) && platform::CreateNewTextFile(path, HistoryHeader + lines))
        return true;
    return platform::AppendTextToFile(path, lines);
}

std::string_view OutcomeTextOf(const HistoryRecord& r) {
    return r.outcome == RunOutcome::Other ? std::string_view(r.otherOutcome) : OutcomeText(r.outcome);
}

void SetOutcomeText(HistoryRecord& r, std::string_view text) {
    r.outcome = OutcomeOfText(text);
    r.otherOutcome = r.outcome == RunOutcome::Other ? std::string(text) : std::string();
}

std::string FormatHistoryLine(const HistoryRecord& r) {
    const std::string fields[] = {r.start,          r.configuration,        r.database,
                                  std::string(OutcomeTextOf(r)),        NumberText(r.exitCode), NumberText(r.sizeBefore),
                                  NumberText(r.sizeAfter), SecondsText(r.seconds), r.detail};
    std::string line = Quoted(fields[0]);
    for (std::size_t i = 1; i < std::size(fields); ++i)
        line += ',' + Quoted(fields[i]);
    return line + "\r\n";
}

HistoryContents ParseHistory(std::string_view text) {
    HistoryContents result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") // spreadsheets save a byte-order mark
        text.remove_prefix(3);

    // index[i]: the field that holds Columns[i], or -1 when the header lacks it.
    std::array<int, Columns.size()> index{};
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = static_cast<int>(i);
    std::size_t width = Columns.size();

    std::size_t at = 0;
    while (at < text.size()) {
        const Row row = NextRow(text, at);
        if (row.fields.size() == 1 && row.fields[0].empty() && row.complete)
            continue; // a blank line
        if (IsHeader(row) && row.complete && !row.malformed) {
            // A header may also stand further down, where a newer program appended.
            index.fill(-1);
            for (std::size_t f = 0; f < row.fields.size(); ++f)
                for (std::size_t i = 0; i < Columns.size(); ++i)
                    if (row.fields[f] == Columns[i] && index[i] < 0)
                        index[i] = static_cast<int>(f);
            width = row.fields.size();
            continue;
        }
        if (!row.complete || row.malformed || row.fields.size() < width) {
            ++result.skippedLines;
            continue;
        }
        auto field = [&](std::size_t i) -> const std::string& {
            static const std::string none;
            return index[i] < 0 ? none : row.fields[static_cast<std::size_t>(index[i])];
        };
        HistoryRecord r;
        r.start = field(0);
        r.configuration = field(1);
        r.database = field(2);
        SetOutcomeText(r, field(3));
        r.detail = field(8);
        const bool ok = !r.start.empty() && !field(3).empty() && ParseNumber(field(4), r.exitCode) &&
                        ParseNumber(field(5), r.sizeBefore) && ParseNumber(field(6), r.sizeAfter) &&
                        ParseNumber(field(7), r.seconds);
        if (!ok) {
            ++result.skippedLines;
            continue;
        }
        result.records.push_back(std::move(r));
    }
    return result;
}

} // namespace quillet
