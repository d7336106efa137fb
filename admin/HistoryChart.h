// The history window's charts without a toolkit: the axes' ranges and ticks, and where
// a value falls between an axis's ends. Both faces draw what this decides.
#pragma once

#include "admin/HistoryQuery.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::admin {

// One mark on an axis: where (in the axis's unit) and its text.
struct AxisTick {
    double at = 0;
    std::string label;
    bool operator==(const AxisTick&) const = default;
};
struct ChartAxis {
    double low = 0, high = 1;
    std::vector<AxisTick> ticks; // distinct labels, ascending
    // Where `value` lies from low (0) to high (1).
    double fraction(double value) const { return high > low ? (value - low) / (high - low) : 0; }
};
struct ChartSeries {
    std::string name;
    std::vector<ChartPoint> points;
};
// A chart as the faces draw it: x in seconds since 1970, y in megabytes. A chart
// without points has no axes and says so in `note`.
struct HistoryChart {
    std::string title;
    std::vector<ChartSeries> series; // a legend when there are several
    ChartAxis x, y;
    std::string note;
};

// The series' colours, the same in both faces, as red, green, blue.
struct Rgb {
    unsigned char r, g, b;
};
inline constexpr Rgb SeriesColours[] = {{0, 90, 200}, {0, 160, 60}, {200, 120, 0}};
inline constexpr char NothingToShow[] = "Nothing to show";

// Days at local midnight over the span, padded by half a day each side; a step of 1, 2,
// 7, 14, 28... days keeps the labels at most `maxTicks`.
ChartAxis DayAxis(std::int64_t firstSecond, std::int64_t lastSecond, int maxTicks);
// From 0 to a round value above `max`, steps of 1, 2 or 5 times a power of ten with as
// many decimals as the step needs: "0 MB", "0.5 MB", "1 MB".
ChartAxis MegabyteAxis(double max, int maxTicks);
HistoryChart ChartOf(std::string title, std::vector<ChartSeries> series);

} // namespace quillet::admin
