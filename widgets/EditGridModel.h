// The rules of the editable string grid TEditGrid, without a toolkit: the table of
// texts, the row and column operations, sorting by a column, the Modified flag and the
// delimited files. The Qt grid and the Win32 grid each show one of these and forward
// what the user does, so both write the same bytes for the same table.
//
// Cells are addressed as (column, row) including the fixed rows and columns; row 0 is
// the title row when FixedRows() >= 1. Texts are 8-bit text in the local code page
// (UTF-8 on Linux, the ANSI code page on Windows), as they stand in the files.
#pragma once

#include <any>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet::widgets {

enum TOnKeyDown : std::uint8_t { kdNever = 0, kdAlways = 1, kdLastRowNotEmpty = 2 };
enum TOnTitleClick : std::uint8_t { tcNone = 0, tcAscending = 1, tcDescending = 2 };

class EditGridModel {
public:
    // What a row or column removal did, so that a face can follow with its view.
    enum class Removal { None, Emptied, Removed };

    // The base grid's defaults: 5 x 5 cells, one fixed row and one fixed column.
    EditGridModel();

    TOnKeyDown NewRowOnKeyDown = kdAlways;
    TOnTitleClick SortOnTitleClick = tcAscending;
    bool EOLToSpace = true;

    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }

    int ColCount() const { return FColCount; }
    // At least one; the fixed ones shrink to leave one that is not.
    void SetColCount(int value);
    int RowCount() const { return static_cast<int>(FRows.size()); }
    void SetRowCount(int value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int value);

    // Empty outside the table. Setting a cell does not set Modified.
    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, std::string text);
    // The object attached to a cell; it travels with its row's texts.
    const std::any& Object(int col, int row) const;
    void SetObject(int col, int row, std::any object);

    // ---- Operations; each sets Modified ----
    void AddRow();
    // Any index is taken, a fixed row's too; one past the end, or beyond, appends.
    void InsertRow(int index);
    void MoveRow(int fromIndex, int toIndex);
    // Nothing when the current row (column) is a fixed one, or the index names a fixed
    // or missing one. The only data row, and the column at ColCount - FixedCols, stay
    // emptied.
    Removal DeleteRow(int index, int currentRow);
    Removal DeleteColumn(int index, int currentCol);
    void SortByColumn(int column, bool ascending);

    // The file's bytes: an optional title line, then the data rows with text.
    std::string DelimitedText(char delimiter, bool withTitle) const;
    // Throws EFCreateError when the file cannot be written; the old file then stays.
    // An empty file name writes nothing.
    void SaveToDelimitedFile(const std::string& path, char delimiter, bool withTitle) const;
    // False when there is no such file (nothing changes); throws EFOpenError when it
    // cannot be read (nothing changes either). A load always replaces the content.
    bool LoadFromDelimitedFile(const std::string& path, char delimiter, bool withTitle);
    // The same from bytes already read.
    void LoadDelimitedText(const std::string& data, char delimiter, bool withTitle);

    // ---- What the user does ----
    // Down, or Tab in the last column, on the current row: may append a row first (the
    // rule NewRowOnKeyDown), without setting Modified. True when a row was added.
    bool NewRowKey(int currentRow);
    // A press on the title of a column: sorts by it, ascending and descending in turn.
    // False when title clicks do not sort.
    bool TitleClick(int col);
    // Text the in-place editor stored into a cell: line breaks become blanks, and an
    // edit the user typed sets Modified.
    void EditedTextStored(int col, int row, std::string text, bool editorChanged);

private:
    struct Row {
        std::vector<std::string> cells;
        std::vector<std::any> objects; // empty until an object is attached
    };
    Row NewRow() const;
    void EmptyRow(Row& row) const;
    bool InTable(int col, int row) const;

    std::vector<Row> FRows;
    int FColCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    bool FModified = false;
    bool FNextTitleSortAscending = true;
};

} // namespace quillet::widgets
