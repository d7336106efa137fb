#include "admin/HistoryLayout.h"

#include <algorithm>

namespace quillet::admin {

HistoryPlaces PlaceHistory(int width, int height, const int (&labelWidths)[HistoryFilterCount], bool acrossMachines) {
    width = std::max(HistoryMinimumWidth, width);
    height = std::max(HistoryMinimumHeight, height);
    const int count = acrossMachines ? HistoryFilterCount : HistoryFilterCount - 1;
    int labels[HistoryFilterCount];
    for (int i = 0; i < HistoryFilterCount; ++i)
        labels[i] = labelWidths[i] + 4;
    // The path boxes take what the others leave on their line, between 140 and 320; a
    // box that does not fit its line begins the next.
    int boxes[] = {0, 0, 120, 100, 100, 140};
    int fixed = 0;
    for (int i = 2; i < count; ++i)
        fixed += labels[i] + boxes[i] + 10;
    const bool oneLine = width - 16 - fixed - labels[0] - labels[1] >= 2 * 140;
    boxes[0] = boxes[1] = std::clamp((width - 16 - (oneLine ? fixed : 20) - labels[0] - labels[1]) / 2, 80, 320);
    HistoryPlaces p;
    int x = 8, y = 8;
    for (int i = 0; i < count; ++i) {
        if ((i == 2 && !oneLine) || (i > 2 && x + labels[i] + boxes[i] > width - 8))
            x = 8, y += 28;
        p.labels[i] = {x, y + 3, labels[i], 16};
        p.boxes[i] = {x + labels[i], y, boxes[i], i < 3 || i == 5 ? 200 : 22};
        x += labels[i] + boxes[i] + 10;
    }
    y += 32;
    p.showFile = {width - 88, y, 80, 23};
    p.spreadsheet = {width - 224, y, 128, 23};
    p.totals = {8, y + 4, width - 240, 16};
    p.file = {8, y + 30, width - 16, 16};
    y += 52;
    const int rest = height - y - 8 - 8 - 8 - 18;
    const int table = rest * 45 / 100, charts = rest * 33 / 100, log = rest - table - charts;
    const int half = (width - 24) / 2;
    const int list = acrossMachines ? std::clamp(width / 4, 180, 320) : 0;
    p.table = {8, y, width - 16 - (list ? list + 8 : 0), table};
    if (list)
        p.machines = {width - 8 - list, y, list, table};
    y += table + 8;
    p.sizeChart = {8, y, half, charts};
    p.savedChart = {16 + half, y, width - 24 - half, charts};
    y += charts + 8;
    p.logTitle = {8, y, width - 16, 16};
    p.log = {8, y + 18, width - 16, log};
    return p;
}

} // namespace quillet::admin
