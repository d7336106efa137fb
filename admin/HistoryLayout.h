// Where the history window's controls go on a face that places them itself (Win32), in
// 96-dpi pixels, without a toolkit: the filters flow over as many lines as the width
// needs, the buttons keep their size, and the table, the charts and the log share the
// height that is left. Every control stays inside the client area, none over another.
// The filters' and buttons' captions are the same on both faces.
#pragma once

#include "admin/Spot.h"

namespace quillet::admin {

// The client area: the default fits 1366x768 with a taskbar, the minimum an 800x600
// screen with room to spare; the layout holds at every size between and above.
constexpr int HistoryDefaultWidth = 980, HistoryDefaultHeight = 600;
constexpr int HistoryMinimumWidth = 560, HistoryMinimumHeight = 380;

// The filters in the order they flow: Configuration, Database, Outcome, From, To, Machine.
constexpr int HistoryFilterCount = 6;
inline constexpr const char* HistoryFilterLabels[HistoryFilterCount] = {
    "&Configuration:", "&Database:", "O&utcome:", "&From:", "&To:", "&Machine:"};
inline constexpr char SpreadsheetLabel[] = "Open in &spreadsheet", ShowFileLabel[] = "Show f&ile";

struct HistoryPlaces {
    Spot labels[HistoryFilterCount], boxes[HistoryFilterCount]; // a combo box's height takes its list
    Spot spreadsheet, showFile, totals, file, table, machines, sizeChart, savedChart, logTitle, log;
};

// labelWidths: each filter label's text; the Machine filter and the machines' list only
// across machines.
HistoryPlaces PlaceHistory(int width, int height, const int (&labelWidths)[HistoryFilterCount], bool acrossMachines);

} // namespace quillet::admin
