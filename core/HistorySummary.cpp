#include "core/HistorySummary.h"

#include "platform/FsPath.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <set>

namespace quillet {

namespace fs = std::filesystem;

std::optional<std::int64_t> SpaceSaved(const HistoryRecord& record) {
    if (KindOfOutcome(record.outcome) != OutcomeKind::Compacted || !record.sizeBefore || !record.sizeAfter)
        return std::nullopt;
    return *record.sizeBefore - *record.sizeAfter;
}

std::string SizeText(std::int64_t bytes) {
    const char* const units[] = {"KB", "MB", "GB", "TB", "PB"};
    // Through double, so the most negative size has a magnitude too.
    const double magnitude = std::fabs(static_cast<double>(bytes));
    const std::string sign = bytes < 0 ? "-" : "";
    if (magnitude < 1024)
        return sign + std::to_string(static_cast<long long>(magnitude)) + " bytes";
    double value = magnitude / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return sign + text;
}

HistoryTotals TotalsOf(const std::vector<const HistoryRecord*>& records) {
    HistoryTotals totals;
    std::set<std::pair<std::string_view, std::string_view>> passes;
    for (const HistoryRecord* r : records) {
        passes.emplace(r->start, r->configuration);
        ++totals.databases;
        switch (KindOfOutcome(r->outcome)) {
        case OutcomeKind::Compacted: ++totals.compacted; break;
        case OutcomeKind::Unchanged: ++totals.unchanged; break;
        case OutcomeKind::Skipped: ++totals.skipped; break;
        case OutcomeKind::Failed: ++totals.failed; break;
        case OutcomeKind::Other: break;
        }
        totals.spaceSaved += SpaceSaved(*r).value_or(0);
    }
    totals.passes = passes.size();
    return totals;
}

namespace {

// The configuration shown and the one the compactor was given may be spelt apart
// (relative, other separators) and still be one file.
class SameConfiguration {
public:
    explicit SameConfiguration(const std::string& wanted) : wanted_(wanted) {}
    bool operator()(const std::string& candidate) {
        if (candidate == wanted_)
            return true;
        auto [it, fresh] = known_.try_emplace(candidate, false);
        if (fresh) {
            std::error_code ec;
            it->second = !wanted_.empty() && !candidate.empty() &&
                         fs::equivalent(platform::FsPath(wanted_), platform::FsPath(candidate), ec) && !ec;
        }
        return it->second;
    }

private:
    const std::string& wanted_;
    std::map<std::string, bool, std::less<>> known_;
};

} // namespace

std::optional<LastPass> LastPassOf(const std::vector<HistoryRecord>& records, const std::string& configuration) {
    SameConfiguration same(configuration);
    const HistoryRecord* last = nullptr;
    std::int64_t lastKey = std::numeric_limits<std::int64_t>::min();
    for (const HistoryRecord& r : records) {
        const auto moment = ParseStart(r.start);
        if (!moment || !same(r.configuration))
            continue;
        // A later line of equal start is a later pass only when nothing tells them apart;
        // it is the same pass then anyway.
        if (const std::int64_t key = MomentKey(*moment); key >= lastKey) {
            lastKey = key;
            last = &r;
        }
    }
    if (!last)
        return std::nullopt;
    std::vector<const HistoryRecord*> pass;
    for (const HistoryRecord& r : records)
        if (r.start == last->start && r.configuration == last->configuration)
            pass.push_back(&r);
    return LastPass{last->start, TotalsOf(pass)};
}

std::string LastRunText(const LastPass& pass) {
    const HistoryTotals& t = pass.totals;
    std::string text = "Last run " + StartText(pass.start) + " \xE2\x80\x94 " + std::to_string(t.compacted) +
                       " compacted";
    if (t.unchanged)
        text += ", " + std::to_string(t.unchanged) + " unchanged";
    if (t.skipped)
        text += ", " + std::to_string(t.skipped) + " skipped";
    text += ", " + std::to_string(t.failed) + " failed, " + SizeText(t.spaceSaved) + " saved";
    return text;
}

std::string LastRunTextOf(const std::vector<HistoryRecord>& records, const std::string& configuration) {
    const auto pass = LastPassOf(records, configuration);
    return pass ? LastRunText(*pass) : std::string("No run recorded");
}

} // namespace quillet
