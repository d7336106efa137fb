// A TimeChart drawn on a Qt chart.
#pragma once

#include "widgets/TimeChart.h"

class QChart;

namespace quillet::widgets {

// The chart anew: its series with the given axes and ticks, or its note.
void DrawTimeChart(QChart* chart, const TimeChart& data);

} // namespace quillet::widgets
