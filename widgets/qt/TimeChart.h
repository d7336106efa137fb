// A TimeChart drawn on a Qt chart.
#pragma once

#include "widgets/TimeChart.h"

class QChart;
class QChartView;
class QWidget;

namespace quillet::widgets {

// The chart anew: its series with the given axes and ticks, or its note.
void DrawTimeChart(QChart* chart, const TimeChart& data);
// A view of an empty chart to draw on: antialiased, narrow margins, room for the labels.
QChartView* NewTimeChartView(QWidget* parent);

} // namespace quillet::widgets
