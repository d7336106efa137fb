#include "scheduler/EntryStatus.h"

#include "core/Convert.h"
#include "core/Errors.h"
#include "scheduler/Schedule.h"

#include <cstdio>

namespace quillet::scheduler {

std::optional<NextRun> NextRunOf(const std::string& code, const std::string& startTimeText, Date today,
                                 int hourNow) {
    if (code.empty())
        return std::nullopt;
    const auto n = TryStrToInt(GetField(code, CodeSeparator, 1));
    if (!n)
        return std::nullopt;
    Date lastRun = 0; // never ran: due at once, as the timer sees it
    try {
        lastRun = DashTextToDate(GetField(code, CodeSeparator, 2));
    } catch (const EConvertError&) {
    }
    NextRun next;
    const std::int64_t due = NextDueDate(code.front(), *n, lastRun);
    if (const auto start = TryStrToInt(startTimeText); start && *start >= 0 && *start <= 23)
        next.hour = *start;
    if (due > today) {
        if (due > EncodeDate(9999, 12, 31)) // never within the calendar
            return std::nullopt;
        next.date = static_cast<Date>(due);
    } else {
        // Due now: today's start hour, or tomorrow's when it has passed.
        next.date = next.hour && hourNow > *next.hour ? today + 1 : today;
    }
    return next;
}

std::string EntryStatusText(const std::vector<HistoryRecord>& history, const std::string& configPath,
                            const std::string& code, const std::string& startTimeText, Date today, int hourNow) {
    std::string text = LastRunTextOf(history, configPath);
    if (code.empty())
        return text + " \xC2\xB7 as needed";
    const auto next = NextRunOf(code, startTimeText, today, hourNow);
    if (!next)
        return text;
    text += " \xC2\xB7 next due " + DateToDashText(next->date);
    if (next->hour) {
        char hour[8];
        std::snprintf(hour, sizeof hour, " %02d:00", *next->hour);
        text += hour;
    }
    return text;
}

} // namespace quillet::scheduler
