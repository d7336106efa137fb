// What the run history says to a reader: passes, totals and the last run of a
// configuration. No Qt, so the scheduler's Qt-free code and the windows share it.
#pragma once

#include "core/HistoryTime.h"
#include "core/RunHistory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// Bytes a compaction freed: size before minus size after, for a compacted database
// whose sizes are both known.
std::optional<std::int64_t> SpaceSaved(const HistoryRecord& record);

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

} // namespace quillet
