#include "platform/RegionalTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <clocale>
#include <ctime>
#include <locale.h>

namespace quillet::platform {
namespace {

std::tm ToTm(const LocalDateTime& m) {
    std::tm tm{};
    tm.tm_year = m.year - 1900;
    tm.tm_mon = m.month - 1;
    tm.tm_mday = m.day;
    tm.tm_hour = m.hour;
    tm.tm_min = m.minute;
    tm.tm_sec = m.second;
    tm.tm_isdst = -1;
    // Fills in the weekday that some locales' formats show.
    std::tm copy = tm;
    if (::timegm(&copy) != -1)
        tm.tm_wday = copy.tm_wday, tm.tm_yday = copy.tm_yday;
    return tm;
}

// Formats with the environment's LC_TIME without changing the process's locale.
std::string Format(const LocalDateTime& m, const char* format) {
    locale_t loc = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        loc = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    const std::tm tm = ToTm(m);
    char buffer[256];
    const std::size_t n = loc ? ::strftime_l(buffer, sizeof buffer, format, &tm, loc) : 0;
    if (loc)
        ::freelocale(loc);
    return std::string(buffer, n);
}

} // namespace

LocalDateTime LocalDateTimeOf(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(ClampedUnixSeconds(unixSeconds));
    std::tm tm{};
    ::localtime_r(&t, &tm);
    LocalDateTime m;
    m.year = tm.tm_year + 1900;
    m.month = tm.tm_mon + 1;
    m.day = tm.tm_mday;
    m.hour = tm.tm_hour;
    m.minute = tm.tm_min;
    m.second = tm.tm_sec;
    return m;
}

LocalDateTime LocalNow() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    LocalDateTime m = LocalDateTimeOf(ms / 1000);
    m.millisecond = static_cast<int>(ms % 1000);
    return m;
}

std::string ShortDateText(const LocalDateTime& moment) {
    return Format(moment, "%x");
}
std::string LongTimeText(const LocalDateTime& moment) {
    return Format(moment, "%X");
}

std::string IsoLocalTime(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(ClampedUnixSeconds(unixSeconds));
    std::tm tm{};
    ::localtime_r(&t, &tm);
    const long offset = tm.tm_gmtoff / 60;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return buf;
}

} // namespace quillet::platform
