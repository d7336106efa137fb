// History records as the compactor writes them, for the history window's tests.
#pragma once

#include "core/RunHistory.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::test {

inline HistoryRecord Rec(const std::string& start, const std::string& cfg, const std::string& db, const char* outcome,
                         std::optional<std::int64_t> before = {}, std::optional<std::int64_t> after = {},
                         std::optional<double> seconds = {}, const char* detail = "") {
    HistoryRecord r;
    r.start = start;
    r.configuration = cfg;
    r.database = db;
    SetOutcomeText(r, outcome);
    r.sizeBefore = before;
    r.sizeAfter = after;
    r.seconds = seconds;
    r.detail = detail;
    if (seconds)
        r.exitCode = r.outcome == RunOutcome::Ok ? 0 : 1;
    return r;
}

inline std::string HistoryText(const std::vector<HistoryRecord>& records) {
    std::string text = HistoryHeader;
    for (const HistoryRecord& r : records)
        text += FormatHistoryLine(r);
    return text;
}

} // namespace quillet::test
