// The local date and time, as text in the user's regional formats.
#pragma once

#include <cstdint>
#include <string>

namespace quillet::platform {

struct LocalDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalDateTime LocalNow();

// The moments both systems can turn into a local time: those of Windows' file times,
// from 1601 to 30827, a day kept clear at each end for the local offset.
inline constexpr std::int64_t EarliestUnixSeconds = -11644473600LL + 86400;
inline constexpr std::int64_t LatestUnixSeconds = 910692730085LL - 86400;
// A moment outside them counts as the nearest one inside, rather than wrapping round.
constexpr std::int64_t ClampedUnixSeconds(std::int64_t unixSeconds) {
    return unixSeconds < EarliestUnixSeconds ? EarliestUnixSeconds
           : unixSeconds > LatestUnixSeconds ? LatestUnixSeconds
                                             : unixSeconds;
}

// The local date and time of a moment in whole seconds since 1970-01-01 UTC.
LocalDateTime LocalDateTimeOf(std::int64_t unixSeconds);

// The local time of a moment as ISO 8601 with its offset from UTC, whatever the
// regional settings: 2026-12-08T01:00:03+01:00.
std::string IsoLocalTime(std::int64_t unixSeconds);

// Windows: the user's short date and long time formats. Elsewhere: the LC_TIME locale
// of the environment (%x and %X), the C locale when that cannot be loaded.
std::string ShortDateText(const LocalDateTime& moment);
std::string LongTimeText(const LocalDateTime& moment);

} // namespace quillet::platform
