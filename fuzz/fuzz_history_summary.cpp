// Any bytes as a run history and as its error.log: totals, last runs and log lines
// of passes are worked out without failing.
#include "core/HistorySummary.h"
#include "core/LogStampReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const quillet::HistoryContents history = quillet::ParseHistory(text);
    std::vector<const quillet::HistoryRecord*> all;
    for (const auto& r : history.records)
        all.push_back(&r);
    if (quillet::TotalsOf(all).databases != history.records.size())
        std::abort();
    static const quillet::LogStampReader stamps(
        [](const quillet::platform::LocalDateTime& m) {
            char t[32];
            std::snprintf(t, sizeof t, "%02d/%02d/%02d", m.month, m.day, m.year % 100);
            return std::string(t);
        },
        [](const quillet::platform::LocalDateTime& m) {
            char t[32];
            std::snprintf(t, sizeof t, "%d:%02d:%02d %s", m.hour % 12 ? m.hour % 12 : 12, m.minute, m.second,
                          m.hour < 12 ? "AM" : "PM");
            return std::string(t);
        });
    (void)stamps.secondsOfDay(text);
    (void)quillet::ParseStart(text);
    (void)quillet::StartText(text);
    if (!history.records.empty()) {
        const auto& r = history.records.back();
        (void)quillet::LastRunTextOf(history.records, r.configuration);
        (void)quillet::PassLogLines(text, history.records, r.start, r.configuration, stamps);
    }
    if (size >= 16) {
        std::int64_t from = 0, to = 0;
        std::memcpy(&from, data, 8);
        std::memcpy(&to, data + 8, 8);
        // Keys of real moments lie within the calendar; others must not crash either.
        from %= 400000000000LL;
        to = from + to % 10000000;
        (void)quillet::LogLinesBetween(text, from, to, stamps);
        (void)quillet::SizeText(from);
    }
    return 0;
}
