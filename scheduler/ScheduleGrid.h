// The schedule in either face's grid (the Qt and the Win32 TEditGrid, the same shape):
// one entry a row after the title row, and the columns after the fixed one. `text`
// converts a cell's text to or from the face's string type. No toolkit.
#pragma once

#include "scheduler/ScheduleFile.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quillet::scheduler {

inline constexpr int ColDescription = 1;
inline constexpr int ColConfigFile = 2;
inline constexpr int ColCode = 3;
inline constexpr std::string ScheduleEntry::* GridFields[] = {&ScheduleEntry::description, &ScheduleEntry::configPath,
                                                              &ScheduleEntry::code};

// At least one row; only the cells that differ are set.
template <class Grid, class Text>
void ShowEntriesIn(Grid& grid, const std::vector<ScheduleEntry>& entries, bool modified, Text text) {
    const int rows = grid.FixedRows() + std::max<int>(1, static_cast<int>(entries.size()));
    if (grid.RowCount() != rows)
        grid.SetRowCount(rows);
    for (int row = grid.FixedRows(); row < rows; ++row) {
        const auto i = static_cast<std::size_t>(row - grid.FixedRows());
        const ScheduleEntry e = i < entries.size() ? entries[i] : ScheduleEntry{};
        for (int col = ColDescription; col <= ColCode; ++col)
            if (const auto shown = text(e.*GridFields[col - 1]); grid.Cells(col, row) != shown)
                grid.SetCells(col, row, shown);
    }
    grid.SetModified(modified);
}

// The grid's rows as entries, with the text of an open cell editor.
template <class Grid, class Text> std::vector<ScheduleEntry> EntriesIn(Grid& grid, Text text) {
    grid.CommitEditorText();
    std::vector<ScheduleEntry> entries;
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        ScheduleEntry& e = entries.emplace_back();
        for (int col = ColDescription; col <= ColCode; ++col)
            e.*GridFields[col - 1] = text(grid.Cells(col, row));
    }
    return entries;
}

// The entry of the grid's current row; -1 when that is no entry.
template <class Grid> int CurrentEntryIn(const Grid& grid) {
    const int entry = grid.Row() - grid.FixedRows();
    return entry >= 0 && grid.Row() < grid.RowCount() ? entry : -1;
}

} // namespace quillet::scheduler
