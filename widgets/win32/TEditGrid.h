// TEditGrid on Windows: a report-mode list view that shows an EditGridModel, with
// every cell edited in place by an edit box laid over it (double-click, F2 or typing
// opens it; Enter and leaving it store the text, Escape drops it), sorting by a click
// on a column title, and the Down and Tab keys' new rows. Tab crosses the current row's
// cells and then leaves the grid for the window's next control.
//
// Row 0 is shown as the column titles when FixedRows() >= 1; further fixed rows and
// the fixed columns are shown as cells that cannot be edited. The list view asks the
// model for each text it draws (owner data), so a table of any length costs nothing
// to show. Texts are UTF-8, as everywhere in the programs.
#pragma once

#include "widgets/EditGridModel.h"

#include <windows.h>

#include <functional>
#include <span>
#include <string>

namespace quillet::widgets::win32 {

class TEditGrid {
public:
    // A child window of `parent` with the given control id.
    TEditGrid(HWND parent, int id, const RECT& bounds);
    ~TEditGrid();
    TEditGrid(const TEditGrid&) = delete;
    TEditGrid& operator=(const TEditGrid&) = delete;

    HWND Handle() const { return FWindow; }
    HWND ListView() const { return FList; }
    // The open cell editor, nullptr when none is open.
    HWND Editor() const { return FEditor; }
    // Whether the open cell editor holds text typed since it opened or was last stored.
    bool Typing() const;
    const EditGridModel& Model() const { return FModel; }

    // Called after the current cell moved or a cell was pressed.
    std::function<void()> OnClick;
    // Called after the user's text was stored into a cell.
    std::function<void()> OnEdited;
    // Called with the grid after a column's width changed.
    std::function<void(TEditGrid&)> OnColWidthsChanged;
    // Whether a cell is drawn marked (in red), as its owner says.
    std::function<bool(int col, int row)> IsMarked;
    // The tip of a path column's cell, as its owner says; the cell's text when unset.
    std::function<std::string(int col, int row)> TipText;

    TOnKeyDown NewRowOnKeyDown() const { return FModel.NewRowOnKeyDown; }
    void SetNewRowOnKeyDown(TOnKeyDown value) { FModel.NewRowOnKeyDown = value; }
    TOnTitleClick SortOnTitleClick() const { return FModel.SortOnTitleClick; }
    void SetSortOnTitleClick(TOnTitleClick value) { FModel.SortOnTitleClick = value; }
    bool EOLToSpace() const { return FModel.EOLToSpace; }
    void SetEOLToSpace(bool value) { FModel.EOLToSpace = value; }
    bool Modified() const { return FModel.Modified(); }
    void SetModified(bool value) { FModel.SetModified(value); }

    int ColCount() const { return FModel.ColCount(); }
    void SetColCount(int value);
    int RowCount() const { return FModel.RowCount(); }
    void SetRowCount(int value);
    int FixedCols() const { return FModel.FixedCols(); }
    int FixedRows() const { return FModel.FixedRows(); }
    const std::string& Cells(int col, int row) const { return FModel.Cell(col, row); }
    // Does not set Modified. An open editor over the cell that holds nothing typed shows
    // the new text.
    void SetCells(int col, int row, const std::string& text);
    void SetColWidths(int col, int width);
    int ColWidths(int col) const;
    // Every column's width, but column `giver` gives up the room that the list view's
    // border and a vertical scroll bar take, so that no horizontal scroll bar shows.
    void FitColWidths(std::span<const int> widths, int giver);
    // Columns from `count` on are out of the keyboard's and the mouse's reach and never
    // edited: a column kept too narrow to show its text. All are reachable by default.
    void SetReachableCols(int count);
    // The column's texts are paths: drawn with the ellipsis at their start when they do
    // not fit, so that the file name stays in sight, and shown whole in a tip. The
    // cells' texts stay as they are.
    void SetPathCol(int col);

    int Col() const { return FCol; }
    int Row() const;
    void SetCurrentCell(int col, int row);

    void AddRow();
    void InsertRow(int index);
    void DeleteRow(int index);
    void SortByColumn(int column, bool ascending);
    // Throws EFCreateError; see EditGridModel.
    void SaveToDelimitedFile(const std::string& fileName, char delimiter, bool withTitle);
    void LoadFromDelimitedFile(const std::string& fileName, char delimiter, bool withTitle);

    // Opens the editor over the current cell (not over a fixed one).
    void EditCurrentCell();
    // Stores the open editor's text into its cell and keeps the editor open; owners
    // call it before they read the cells for a save or a run.
    void CommitEditorText();
    // Stores (or drops) the open editor's text and closes it.
    void CloseEditor(bool store);
    // Shows the model's texts again after they were changed from outside.
    void Refresh();

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK EditorProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT Notify(NMHDR* header);
    bool ListKey(WPARAM key);
    void TitleClick(int col);
    void MoveTo(int col, int row);
    void StoreEditorText();
    int ItemOf(int row) const { return row - (FModel.FixedRows() >= 1 ? 1 : 0); }
    int RowOf(int item) const { return item + (FModel.FixedRows() >= 1 ? 1 : 0); }
    bool CellAt(POINT at, int& col, int& row) const;
    bool IsFixed(int col, int row) const { return col < FModel.FixedCols() || row < FModel.FixedRows(); }
    void ShowTitles();
    void ShowColumns();
    void Redraw(int row);
    int LastCol() const;
    std::wstring Fitted(std::wstring text, int col) const;

    EditGridModel FModel;
    HWND FWindow = nullptr;
    HWND FList = nullptr;
    HWND FEditor = nullptr;
    int FCol = 1;
    int FReachable = -1;
    bool FStoring = false;
    int FEditCol = -1;
    int FEditRow = -1;
    std::wstring FEditOriginal;
    std::wstring FShown; // the text handed to the list view last
    int FPathCol = -1;
    HWND FTip = nullptr;
    POINT FTipCell{-1, -1};
    std::wstring FTipText;
};

} // namespace quillet::widgets::win32
