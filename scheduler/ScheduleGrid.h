// The schedule in either face's grid (the Qt and the Win32 TEditGrid, the same shape):
// one entry a row after the title row, and the columns after the fixed one. `text`
// converts a cell's text to or from the face's string type. No toolkit.
#pragma once

#include "scheduler/ScheduleFile.h"
#include "scheduler/SchedulerPresenter.h"
#include "widgets/EditGridModel.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quillet::scheduler {

inline constexpr int ColDescription = 1;
inline constexpr int ColConfigFile = 2;
inline constexpr int ColCode = 3;
inline constexpr int ColumnCount = 4;
// The code column stays all but hidden: it only carries the frequency.
inline constexpr int ColumnWidths[ColumnCount] = {32, 220, 279, 3};
inline constexpr const char* ColumnTitles[ColumnCount] = {"", "Description", "Config File", ""};
inline constexpr std::string ScheduleEntry::* GridFields[] = {&ScheduleEntry::description, &ScheduleEntry::configPath,
                                                              &ScheduleEntry::code};

// The Config File cell's tip: the whole path, and whether it is there.
inline std::string ConfigTip(const std::string& path, bool missing) {
    return path.empty() ? path : path + (missing ? MissingNote : "");
}

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

// The entry's row, in the column the cursor is in.
template <class Grid> void SelectEntryIn(Grid& grid, int entry) {
    grid.SetCurrentCell(grid.Col(), grid.FixedRows() + std::max(0, entry));
}

// Cell texts as they are: the Win32 grid's are UTF-8 already.
struct PlainCells {
    static const std::string& shown(const std::string& text) { return text; }
    static const std::string& stored(const std::string& text) { return text; }
};

// The grid's side of a face's SchedulerView, the same in both faces: `Form` holds the
// grid as EditGrid1; `Cells` converts the entries' text to (`shown`) and from (`stored`)
// the grid's.
template <class Form, class Cells> class GridView : public SchedulerView {
public:
    explicit GridView(Form& form) : f(form) {}

    // The columns with their titles, the title row and one empty entry. The Config File
    // cells of configurations that do not exist are drawn marked, each path whole in its tip.
    void shapeGrid() {
        auto& grid = *f.EditGrid1;
        grid.SetColCount(ColumnCount);
        grid.SetRowCount(2);
        for (int col = 0; col < ColumnCount; ++col)
            if (*ColumnTitles[col])
                grid.SetCells(col, 0, Cells::shown(ColumnTitles[col]));
        grid.SetReachableCols(SchedulerPresenter::ReachableColumns);
        grid.SetNewRowOnKeyDown(widgets::kdNever);
        grid.SetPathCol(ColConfigFile);
        grid.IsMarked = [this](int col, int row) { return col == ColConfigFile && missing(row); };
        grid.TipText = [this](int col, int row) {
            return Cells::shown(ConfigTip(Cells::stored(f.EditGrid1->Cells(col, row)), missing(row)));
        };
    }

    void showEntries(const std::vector<ScheduleEntry>& entries, bool modified,
                     const std::vector<bool>& missing) override {
        ShowEntriesIn(*f.EditGrid1, entries, modified, Cells::shown);
        if (missing != missing_) {
            missing_ = missing;
            f.EditGrid1->Refresh();
        }
    }
    std::vector<ScheduleEntry> gridEntries() override { return EntriesIn(*f.EditGrid1, Cells::stored); }
    bool gridModified() const override { return f.EditGrid1->Modified(); }
    std::string asShown(const std::string& text) const override { return Cells::stored(Cells::shown(text)); }
    bool typing() const override { return f.EditGrid1->Typing(); }
    int currentEntry() const override { return CurrentEntryIn(*f.EditGrid1); }
    void selectEntry(int entry) override { SelectEntryIn(*f.EditGrid1, entry); }

protected:
    Form& f;

private:
    bool missing(int row) const {
        const auto entry = static_cast<std::size_t>(row - f.EditGrid1->FixedRows());
        return entry < missing_.size() && missing_[entry];
    }

    std::vector<bool> missing_; // the entries whose configuration does not exist
};

} // namespace quillet::scheduler
