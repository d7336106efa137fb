// A TimeChart drawn with GDI, and a chart control that draws one.
#pragma once

#include "widgets/TimeChart.h"

#include <windows.h>

namespace quillet::widgets {

// Into `area` of `dc` in its selected font: title, legend, axes and series, or the note.
void DrawTimeChart(HDC dc, const RECT& area, const TimeChart& chart);

// A child window of this class draws the chart it was last given, framed, in the font it
// is given (WM_SETFONT) as controls do; its window text is the chart's title.
inline constexpr char TimeChartClass[] = "QuilletChart";
void RegisterTimeChartClass();
void ShowTimeChart(HWND control, const TimeChart& chart);

} // namespace quillet::widgets
