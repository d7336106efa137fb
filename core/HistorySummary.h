// What the run history says to a reader: passes, totals, the last run of a
// configuration, and the lines of "error.log" that a pass wrote. No Qt, so the
// scheduler's Qt-free code and the windows share it.
#pragma once

#include "core/RunHistory.h"
#include "platform/RegionalTime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// Bytes a compaction freed: size before minus size after, for a compacted database
// whose sizes are both known.
std::optional<std::int64_t> SpaceSaved(const HistoryRecord& record);

// The local clock time of a start (ISO 8601). The offset is left aside: the log's
// stamps are local clock times too.
std::optional<platform::LocalDateTime> ParseStart(std::string_view start);
// Seconds since 30 December 1899, for ordering and spans.
std::int64_t MomentKey(const platform::LocalDateTime& moment);
platform::LocalDateTime MomentOfKey(std::int64_t key);
// "2026-12-08 01:00"; the start's own text when it is no time.
std::string StartText(std::string_view start);

// "512 bytes", "3.4 KB", "2.4 GB" (units of 1024); negative sizes keep their sign.
std::string SizeText(std::int64_t bytes);

struct HistoryTotals {
    std::size_t passes = 0;    // distinct (start, configuration)
    std::size_t databases = 0; // records
    std::size_t compacted = 0, unchanged = 0, skipped = 0, failed = 0;
    std::int64_t spaceSaved = 0;
};
HistoryTotals TotalsOf(const std::vector<const HistoryRecord*>& records);

// The latest pass of a configuration; nullopt when the history has none.
struct LastPass {
    std::string start;
    HistoryTotals totals;
};
std::optional<LastPass> LastPassOf(const std::vector<HistoryRecord>& records, const std::string& configuration);
// "Last run 2026-12-08 01:00 — 3 compacted, 1 failed, 2.4 GB saved" (UTF-8); counts of
// unchanged and skipped databases appear when there are any.
std::string LastRunText(const LastPass& pass);
// The same for a configuration, or "No run recorded" when the history has none.
std::string LastRunTextOf(const std::vector<HistoryRecord>& records, const std::string& configuration);

// Where the compactor keeps its files: beside its program, or in the user's data folder
// when that program is an installed copy (platform/DataFolder.h).
std::string CompactorFileOf(const std::string& compactorPath, const std::string& name);

// A history file as read for showing: huge files are read from their end, so the
// newest lines show and memory stays bounded.
inline constexpr std::uint64_t HistoryReadLimit = 64ull << 20;
struct HistoryLoad {
    HistoryContents contents;
    bool exists = false;
    bool readable = false;
    std::string failure; // the system's reason when it exists but cannot be read
    std::uint64_t fileSize = 0;
    std::uint64_t bytesNotRead = 0; // older part of a huge file
};
HistoryLoad LoadHistory(const std::string& path, std::uint64_t limit = HistoryReadLimit);
// Reads at most `limit` bytes from the file's end; false when it cannot be read.
// FileTailFailure, called right after, says why.
std::string FileTailFailure(const std::string& path);
bool ReadFileTail(const std::string& path, std::uint64_t limit, std::string& bytes, std::uint64_t& fileSize);
// The same as text (platform/TextFile.h); a tail that begins inside a character loses
// that character.
bool ReadTextFileTail(const std::string& path, std::uint64_t limit, std::string& text, std::uint64_t& fileSize);

// A history file read again only when its size or time changed: for status lines
// that ask often.
class HistoryFileCache {
public:
    const HistoryLoad& get(const std::string& path);

private:
    std::string path_;
    std::uint64_t size_ = 0;
    std::int64_t time_ = 0;
    bool valid_ = false;
    HistoryLoad load_;
};

// The stamps that begin the log's lines: the short date, and the long time unless it
// is midnight, as the compactor writes them. Learned from the formatters by formatting
// known moments, so any regional format reads back.
class LogStampReader {
public:
    using Formatter = std::function<std::string(const platform::LocalDateTime&)>;
    LogStampReader(Formatter date, Formatter time);
    static LogStampReader Regional(); // the platform's short date and long time

    std::string dateText(const platform::LocalDateTime& moment) const { return date_(moment); }
    // Reads "hh mm ss" at the text's start in the learned layout; nullopt otherwise.
    std::optional<int> secondsOfDay(std::string_view text) const;

private:
    struct Token {
        enum Kind { Literal, Hour, Minute, Second, Marker } kind;
        std::string text, other; // a marker's afternoon and morning text
    };
    Formatter date_;
    std::vector<Token> time_;
    bool twelveHour_ = false;
};

// The lines of the log stamped from `from` to `to`, both included.
std::vector<std::string> LogLinesBetween(std::string_view log, std::int64_t fromKey, std::int64_t toKey,
                                         const LogStampReader& stamps);

// The lines of the log that a pass wrote: from its start until the engine time of its
// databases has passed, with a margin for the checks and copies around each, but not
// past the start of the next pass.
std::vector<std::string> PassLogLines(std::string_view log, const std::vector<HistoryRecord>& records,
                                      const std::string& start, const std::string& configuration,
                                      const LogStampReader& stamps);

} // namespace quillet
