// The run history "compact-history.csv": one line per database of every pass, in CSV
// as spreadsheets read it, next to "error.log".
#pragma once

#include "core/RunOutcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline constexpr const char* HistoryFileName = "compact-history.csv";
// Written when the file is created.
inline constexpr const char* HistoryHeader =
    "start,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail\r\n";

struct HistoryRecord {
    std::string start;         // ISO 8601 local time with UTC offset; the moment the pass started,
                               // so (start, configuration) identifies a pass
    std::string configuration; // path of the .cfg
    std::string database;      // path
    RunOutcome outcome = RunOutcome::Other;
    std::string otherOutcome;  // the text of an Other outcome, kept as read
    std::optional<int> exitCode;                        // empty when the engine did not run
    std::optional<std::int64_t> sizeBefore, sizeAfter;  // bytes, empty when unknown
    std::optional<double> seconds;                      // engine wall time; empty when it did not run
    std::string detail;        // reason of a skip or the engine's last stderr line; never a password
};

// The outcome as the history writes it, and setting it from such a text.
std::string_view OutcomeTextOf(const HistoryRecord& r);
void SetOutcomeText(HistoryRecord& r, std::string_view text);

// One RFC 4180 line ending in CR LF; seconds with 3 decimals whatever the locale.
std::string FormatHistoryLine(const HistoryRecord& r);

struct HistoryContents {
    std::vector<HistoryRecord> records; // in file order
    std::size_t skippedLines = 0;       // garbage, truncated, unparsable lines
};

// Columns are found by the header's names, so a newer file with more or reordered
// columns still reads; a missing header means the columns above in this order.
HistoryContents ParseHistory(std::string_view text);

// Whether a line names the columns: it holds "start" and "outcome" as fields.
bool IsHistoryHeader(std::string_view line);

// Appends the record's line in one write; a missing file is first created with the
// header, as one step, so that concurrent writers neither interleave nor lose lines.
// False when the file could not be written.
bool AppendHistoryLine(const std::string& path, const HistoryRecord& r);
// The same for lines already formatted (each ending in its line end), as one write.
bool AppendHistoryLines(const std::string& path, const std::string& lines);

} // namespace quillet
