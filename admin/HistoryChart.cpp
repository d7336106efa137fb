#include "admin/HistoryChart.h"

#include "platform/RegionalTime.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace quillet::admin {

namespace {

constexpr int DayTicks = 4; // a date label is wide
constexpr int MegabyteTicks = 5;

Date LocalDateOf(std::int64_t unixSeconds) {
    const platform::LocalDateTime t = platform::LocalDateTimeOf(unixSeconds);
    return EncodeDate(t.year, t.month, t.day);
}

std::int64_t MidnightOf(Date date) {
    return LocalToUnix(static_cast<std::int64_t>(date) * 86400);
}

// Whatever the locale, without trailing zeros: "0", "0.5", "1500".
std::string Fixed(double value, int decimals) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string number = ec == std::errc() ? std::string(text, end) : std::string();
    if (number.find('.') != std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);
        if (number.back() == '.')
            number.pop_back();
    }
    return number;
}

} // namespace

ChartAxis DayAxis(std::int64_t firstSecond, std::int64_t lastSecond, int maxTicks) {
    ChartAxis axis;
    axis.low = static_cast<double>(firstSecond) - 43200;
    axis.high = static_cast<double>(lastSecond) + 43200;
    const Date first = LocalDateOf(firstSecond - 43200) + 1;
    const Date last = LocalDateOf(lastSecond + 43200);
    int step = 1;
    for (const int s : {1, 2, 7, 14, 28, 56, 91, 182, 364, 728, 1820, 3640}) {
        step = s;
        if ((last - first) / s + 1 <= maxTicks)
            break;
    }
    for (Date day = first; day <= last; day += step)
        axis.ticks.push_back({static_cast<double>(MidnightOf(day)), DateToDashText(day)});
    return axis;
}

ChartAxis MegabyteAxis(double max, int maxTicks) {
    if (!(max > 0))
        max = 1;
    const double target = max / std::max(1, maxTicks - 1);
    const double power = std::pow(10.0, std::floor(std::log10(target)));
    double step = 10 * power;
    for (const double f : {1.0, 2.0, 5.0})
        if (f * power >= target) {
            step = f * power;
            break;
        }
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    // The first step above the largest value: a point never touches the frame.
    const int count = static_cast<int>(std::floor(max / step + 1e-9)) + 1;
    ChartAxis axis;
    axis.high = step * count;
    for (int i = 0; i <= count; ++i)
        axis.ticks.push_back({i * step, Fixed(i * step, decimals) + " MB"});
    return axis;
}

HistoryChart ChartOf(std::string title, std::vector<ChartSeries> series) {
    HistoryChart chart{std::move(title), std::move(series), {}, {}, {}};
    std::optional<std::int64_t> first, last;
    double top = 0;
    for (const ChartSeries& s : chart.series)
        for (const ChartPoint& p : s.points) {
            first = std::min(first.value_or(p.unixSeconds), p.unixSeconds);
            last = std::max(last.value_or(p.unixSeconds), p.unixSeconds);
            top = std::max(top, p.megabytes);
        }
    // No scale for nothing: an axis without points would only be made up.
    if (!first) {
        chart.note = NothingToShow;
        return chart;
    }
    chart.x = DayAxis(*first, *last, DayTicks);
    chart.y = MegabyteAxis(top, MegabyteTicks);
    return chart;
}

} // namespace quillet::admin
