#include "core/HistoryTime.h"

#include "core/Convert.h"
#include "core/Include.h"

#include <algorithm>
#include <cstdio>

namespace quillet {

std::optional<platform::LocalDateTime> ParseStart(std::string_view start) {
    // yyyy-MM-ddTHH:mm:ss, then fractions and an offset, which are not needed here.
    platform::LocalDateTime m;
    if (start.size() < 19 || start[4] != '-' || start[7] != '-' || (start[10] != 'T' && start[10] != ' ') ||
        start[13] != ':' || start[16] != ':')
        return std::nullopt;
    if (!ReadDigits(start, 0, 4, m.year) || !ReadDigits(start, 5, 2, m.month) || !ReadDigits(start, 8, 2, m.day) ||
        !ReadDigits(start, 11, 2, m.hour) || !ReadDigits(start, 14, 2, m.minute) ||
        !ReadDigits(start, 17, 2, m.second))
        return std::nullopt;
    if (!TryEncodeDate(m.year, m.month, m.day) || m.hour > 23 || m.minute > 59 || m.second > 60)
        return std::nullopt;
    m.second = std::min(m.second, 59); // a leap second counts as the one before it
    return m;
}

std::int64_t MomentKey(const platform::LocalDateTime& m) {
    return static_cast<std::int64_t>(EncodeDate(m.year, m.month, m.day)) * 86400 + m.hour * 3600 + m.minute * 60 +
           m.second;
}

std::int64_t DayOfKey(std::int64_t key) {
    return key / 86400 - (key % 86400 < 0);
}

platform::LocalDateTime MomentOfKey(std::int64_t key) {
    const std::int64_t day = DayOfKey(key);
    const auto secs = static_cast<int>(key - day * 86400);
    platform::LocalDateTime m;
    DecodeDate(static_cast<Date>(day), m.year, m.month, m.day);
    m.hour = secs / 3600;
    m.minute = secs / 60 % 60;
    m.second = secs % 60;
    return m;
}

std::string StartText(std::string_view start) {
    const auto m = ParseStart(start);
    if (!m)
        return std::string(start);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", m->year, m->month, m->day, m->hour, m->minute);
    return text;
}

} // namespace quillet
