// The history window's charts without a toolkit: the axes' ranges and ticks, and where
// a value falls between an axis's ends. Both faces draw what this decides.
#pragma once

#include "admin/HistoryQuery.h"
#include "widgets/TimeChart.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::admin {

using widgets::AxisTick;
using widgets::ChartAxis;
using widgets::ChartSeries;
using widgets::Rgb;
using widgets::SeriesColour;
using HistoryChart = widgets::TimeChart;

inline constexpr char NothingToShow[] = "Nothing to show";

// Days at local midnight over the span, padded by half a day each side; a step of 1, 2,
// 7, 14, 28... days keeps the labels at most `maxTicks`.
ChartAxis DayAxis(std::int64_t firstSecond, std::int64_t lastSecond, int maxTicks);
// From 0 to a round value above `max`, steps of 1, 2 or 5 times a power of ten with as
// many decimals as the step needs: "0 MB", "0.5 MB", "1 MB".
ChartAxis MegabyteAxis(double max, int maxTicks);
HistoryChart ChartOf(std::string title, std::vector<ChartSeries> series);

} // namespace quillet::admin
