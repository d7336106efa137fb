// The status line of a schedule entry: when its configuration last ran and how, from
// the run history beside the compactor, and when the timer runs it next. No Qt.
#pragma once

#include "core/HistorySummary.h"
#include "core/Include.h"

#include <optional>
#include <string>

namespace quillet::scheduler {

// The day and hour the timer next runs an entry with this frequency code, given the
// start hour's text; nullopt for an entry without a frequency or with an unreadable
// code. An entry that is due already runs at the next start hour.
struct NextRun {
    Date date = 0;
    std::optional<int> hour; // empty when the start hour is no whole number from 0 to 23
};
std::optional<NextRun> NextRunOf(const std::string& code, const std::string& startTimeText, Date today, int hourNow);

// "Last run 2026-12-08 01:00 — 3 compacted, 1 failed, 2.4 GB saved · next due 2026-12-09
// 01:00" (UTF-8); "as needed" for an entry without a frequency.
std::string EntryStatusText(const std::vector<HistoryRecord>& history, const std::string& configPath,
                            const std::string& code, const std::string& startTimeText, Date today, int hourNow);

} // namespace quillet::scheduler
