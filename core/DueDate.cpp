#include "core/DueDate.h"

namespace quillet {

std::optional<Date> AddOneMonth(Date date) {
    int year, month, day;
    DecodeDate(date, year, month, day);
    if (++month > 12) {
        month = 1;
        ++year;
    }
    // A day the next month lacks (29 to 31) falls back to that month's last day.
    for (int d = day; d >= 28; --d) {
        if (auto next = TryEncodeDate(year, month, d))
            return next;
    }
    return TryEncodeDate(year, month, day);
}

std::int64_t NextDueDate(char letter, int n, Date lastRun) {
    switch (letter) {
    case 'd':
        return std::int64_t{lastRun} + 1;
    case 'w':
        return std::int64_t{lastRun} + 7 * std::int64_t{n};
    case 'm':
        if (auto next = AddOneMonth(lastRun))
            return *next;
        return INT64_MAX; // past the calendar's end: never due
    default:
        return lastRun;
    }
}

} // namespace quillet
