// A line chart of sizes over time without a toolkit: what the Qt and Win32 chart
// controls draw. x is seconds since 1970, y megabytes; the axes' ranges and ticks are
// decided before, so both controls show the same marks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace quillet::widgets {

// A colour as red, green, blue.
struct Rgb {
    unsigned char r, g, b;
};

// A point: a moment (seconds since 1970 UTC) and megabytes (of 1024 * 1024 bytes).
struct ChartPoint {
    std::int64_t unixSeconds = 0;
    double megabytes = 0;
    bool operator==(const ChartPoint&) const = default;
};

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
// A chart without points has no axes and says so in `note`, in its middle.
struct TimeChart {
    std::string title;
    std::vector<ChartSeries> series; // a legend when there are several
    ChartAxis x, y;
    std::string note;
};

// The series' colours, in order, the same in every face.
inline constexpr Rgb SeriesColours[] = {{0, 90, 200}, {0, 160, 60}, {200, 120, 0}};
inline Rgb SeriesColour(std::size_t series) {
    return SeriesColours[series % std::size(SeriesColours)];
}

} // namespace quillet::widgets
