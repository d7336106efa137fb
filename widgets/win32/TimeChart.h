// A TimeChart drawn with GDI.
#pragma once

#include "widgets/TimeChart.h"

#include <windows.h>

namespace quillet::widgets {

// Into `area` of `dc` in its selected font: title, legend, axes and series, or the note.
void DrawTimeChart(HDC dc, const RECT& area, const TimeChart& chart);

} // namespace quillet::widgets
