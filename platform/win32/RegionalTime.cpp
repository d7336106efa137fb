#include "platform/RegionalTime.h"

#include "platform/win32/WideText.h"

#include <cstdio>
#include <windows.h>

namespace quillet::platform {
namespace {

SYSTEMTIME ToSystemTime(const LocalDateTime& m) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(m.year);
    st.wMonth = static_cast<WORD>(m.month);
    st.wDay = static_cast<WORD>(m.day);
    st.wHour = static_cast<WORD>(m.hour);
    st.wMinute = static_cast<WORD>(m.minute);
    st.wSecond = static_cast<WORD>(m.second);
    st.wMilliseconds = static_cast<WORD>(m.millisecond);
    // The weekday, for formats that show it.
    FILETIME ft{};
    SYSTEMTIME withDay{};
    if (::SystemTimeToFileTime(&st, &ft) && ::FileTimeToSystemTime(&ft, &withDay))
        st.wDayOfWeek = withDay.wDayOfWeek;
    return st;
}

// 100-nanosecond ticks since 1601-01-01 UTC, the Windows epoch.
FILETIME FileTimeOfUnix(std::int64_t unixSeconds) {
    const auto ticks = static_cast<ULONGLONG>(ClampedUnixSeconds(unixSeconds) + 11644473600LL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks & 0xffffffffULL), static_cast<DWORD>(ticks >> 32)};
}

LocalDateTime FromSystemTime(const SYSTEMTIME& st) {
    LocalDateTime m;
    m.year = st.wYear;
    m.month = st.wMonth;
    m.day = st.wDay;
    m.hour = st.wHour;
    m.minute = st.wMinute;
    m.second = st.wSecond;
    m.millisecond = st.wMilliseconds;
    return m;
}

} // namespace

LocalDateTime LocalNow() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return FromSystemTime(st);
}

LocalDateTime LocalDateTimeOf(std::int64_t unixSeconds) {
    const FILETIME utc = FileTimeOfUnix(unixSeconds);
    SYSTEMTIME utcTime{}, local{};
    if (!::FileTimeToSystemTime(&utc, &utcTime) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local))
        return LocalDateTime{};
    return FromSystemTime(local);
}

std::string ShortDateText(const LocalDateTime& moment) {
    const SYSTEMTIME st = ToSystemTime(moment);
    wchar_t wide[256];
    const int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, wide, 256);
    if (n > 0)
        return win32::Utf8(std::wstring_view(wide, static_cast<std::size_t>(n - 1)));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", moment.year, moment.month, moment.day);
    return buffer;
}

std::string LongTimeText(const LocalDateTime& moment) {
    const SYSTEMTIME st = ToSystemTime(moment);
    wchar_t wide[256];
    const int n = ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, wide, 256);
    if (n > 0)
        return win32::Utf8(std::wstring_view(wide, static_cast<std::size_t>(n - 1)));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", moment.hour, moment.minute, moment.second);
    return buffer;
}

std::string IsoLocalTime(std::int64_t unixSeconds) {
    const FILETIME utcFt = FileTimeOfUnix(unixSeconds);
    SYSTEMTIME utc{}, local{};
    FILETIME localFt{};
    if (!::FileTimeToSystemTime(&utcFt, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !::SystemTimeToFileTime(&local, &localFt))
        local = utc, localFt = utcFt;
    const auto asTicks = [](const FILETIME& f) {
        return static_cast<long long>((static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    const long long offset = (asTicks(localFt) - asTicks(utcFt)) / 600000000LL; // minutes
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u%c%02lld:%02lld", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond, offset < 0 ? '-' : '+',
                  (offset < 0 ? -offset : offset) / 60, (offset < 0 ? -offset : offset) % 60);
    return buf;
}

} // namespace quillet::platform
