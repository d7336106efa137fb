// TEditGrid: an editable string grid with row operations, sorting by a click on a
// title, a Modified flag and delimited text files.
//
// The grid is a QTableWidget that shows an EditGridModel, which holds the texts and
// the rules; the table's items only show the model's texts, and text the user types
// into them goes back to it. Its cells are addressed as (column, row) including the
// fixed rows and columns, so row 0 is the title row when FixedRows() >= 1. Row 0 and
// column 0 of the fixed area are shown in Qt's own headers, which stay in place when
// the table scrolls; further fixed rows or columns, if any, are ordinary cells that
// cannot be edited.
//
// Text in files is 8-bit text in the local code page (UTF-8 on Linux, the ANSI code
// page on Windows); cells hold QString.
#pragma once

#include "widgets/EditGridModel.h"

#include <QString>
#include <QTableWidget>
#include <QVariant>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

namespace quillet::widgets {

class TEditGridDelegate;
class TEditGridHeader;

// A cell position, X the column and Y the row.
struct TGridCoord {
    int X = -1;
    int Y = -1;
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

// An inclusive cell rectangle.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

class TEditGrid : public QTableWidget {
    Q_OBJECT
    Q_PROPERTY(TOnKeyDown NewRowOnKeyDown READ NewRowOnKeyDown WRITE SetNewRowOnKeyDown)
    Q_PROPERTY(TOnTitleClick SortOnTitleClick READ SortOnTitleClick WRITE SetSortOnTitleClick)
    Q_PROPERTY(bool Modified READ Modified WRITE SetModified)
    Q_PROPERTY(bool EOLToSpace READ EOLToSpace WRITE SetEOLToSpace)

public:
    // The grid model's own, also under the grid's name (TEditGrid::kdNever).
    using TOnKeyDown = widgets::TOnKeyDown;
    using TOnTitleClick = widgets::TOnTitleClick;
    using enum widgets::TOnKeyDown;
    using enum widgets::TOnTitleClick;

    enum TGridOption : std::uint32_t {
        goFixedVertLine = 1u << 0,
        goFixedHorzLine = 1u << 1,
        goVertLine = 1u << 2,
        goHorzLine = 1u << 3,
        goRangeSelect = 1u << 4,
        goDrawFocusSelected = 1u << 5,
        goRowSizing = 1u << 6,
        goColSizing = 1u << 7,
        goRowMoving = 1u << 8,
        goColMoving = 1u << 9,
        goEditing = 1u << 10,
        goTabs = 1u << 11,
        goRowSelect = 1u << 12,
        goAlwaysShowEditor = 1u << 13,
        goThumbTracking = 1u << 14,
    };
    Q_DECLARE_FLAGS(TGridOptions, TGridOption)
    Q_FLAG(TGridOptions)

    // Called with the grid as sender.
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit TEditGrid(QWidget* owner = nullptr);
    ~TEditGrid() override;

    // ---- Published properties ----
    TOnKeyDown NewRowOnKeyDown() const { return FModel.NewRowOnKeyDown; }
    void SetNewRowOnKeyDown(TOnKeyDown value) { FModel.NewRowOnKeyDown = value; }
    TOnTitleClick SortOnTitleClick() const { return FModel.SortOnTitleClick; }
    void SetSortOnTitleClick(TOnTitleClick value) { FModel.SortOnTitleClick = value; }
    bool Modified() const { return FModel.Modified(); }
    void SetModified(bool value) { FModel.SetModified(value); }
    bool EOLToSpace() const { return FModel.EOLToSpace; }
    void SetEOLToSpace(bool value) { FModel.EOLToSpace = value; }
    const TNotifyEvent& OnColWidthsChanged() const { return FOnColWidthsChanged; }
    void SetOnColWidthsChanged(TNotifyEvent handler) { FOnColWidthsChanged = std::move(handler); }

    // ---- Operations ----
    virtual void DeleteColumn(int index);
    virtual void DeleteRow(int index);
    virtual void SortByColumn(int column, bool ascending);
    virtual void InsertRow(int index);
    virtual void MoveRow(int fromIndex, int toIndex);
    virtual void AddRow();
    virtual void SaveToCSVFile(const QString& fileName, bool withTitle);
    virtual void LoadFromCSVFile(const QString& fileName);
    // Throws EFCreateError ("Cannot create file %s") when the file cannot be written;
    // the old file and the grid then stay as they were.
    void SaveToDelimitedFile(const QString& fileName, char delimiter, bool withTitle);
    // Throws EFOpenError when the file exists but cannot be read; the grid is then
    // unchanged. A missing file changes nothing.
    void LoadFromDelimitedFile(const QString& fileName, char delimiter, bool withTitle);
    // Stores the text of the open cell editor into its cell, as leaving the cell would,
    // and keeps the editor open. Qt's editor holds typed text until it closes; owners
    // call this before they read the cells for a save, a run or the Modified flag.
    void CommitEditorText();

    // ---- The base string grid ----
    int ColCount() const { return columnCount(); }
    void SetColCount(int value);
    int RowCount() const { return rowCount(); }
    void SetRowCount(int value);
    int FixedCols() const { return FModel.FixedCols(); }
    void SetFixedCols(int value);
    int FixedRows() const { return FModel.FixedRows(); }
    // The rules and texts the grid shows.
    const EditGridModel& Model() const { return FModel; }

    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text); // does not set Modified
    QVariant Objects(int col, int row) const;
    void SetObjects(int col, int row, const QVariant& object);

    // The current cell.
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }
    void SetCurrentCell(int col, int row);

    // The selected rectangle; the current cell alone when nothing is selected.
    TGridRect Selection() const;
    void SetSelection(const TGridRect& rect);
    // First scrollable column and row in view.
    int TopRow() const;
    void SetTopRow(int row);

    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    void SetDefaultRowHeight(int height);

    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions options);

    // Where a cell is shown, in the grid's own coordinates (empty when not shown).
    QRect CellRect(int col, int row) const;
    // Columns from `count` on never take the cursor, from the keyboard or the mouse, and
    // are never edited. All are reachable by default.
    void SetReachableCols(int count) { FReachable = count; }
    // Whether a cell's editor is open.
    bool Editing() const { return state() == EditingState; }
    // Whether the open cell editor holds text typed since it opened or was last stored.
    bool Typing() const;
    // The column's texts are paths: drawn cut at their start when they do not fit, so
    // that the file name stays in sight, and shown whole in a tip. The cells' texts stay
    // as they are.
    void SetPathCol(int col) { FPathCol = col; }
    // Draws every cell again, after what IsMarked or TipText would answer has changed.
    void Refresh() { viewport()->update(); }

    // Called after a cell was pressed, the current cell moved, or a key was released in
    // the grid or in its cell editor.
    std::function<void()> OnClick;
    // Whether a cell is drawn marked (in red), as its owner says.
    std::function<bool(int col, int row)> IsMarked;
    // The tip of a path column's cell, as its owner says; the cell's text when unset.
    std::function<QString(int col, int row)> TipText;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    int lastCol() const { return (FReachable < 0 ? ColCount() : std::min(FReachable, ColCount())) - 1; }
    friend class TEditGridDelegate;
    friend class TEditGridHeader;

    QWidget* openEditor() const; // nullptr when no cell editor is open
    void clicked() const {
        if (OnClick)
            OnClick();
    }
    void titlePressed(int col);
    void newRowKey(bool isDownOrTab, bool moveDown);
    void editedTextStored(int col, int row, bool editorChanged);
    void colWidthsChanged();
    bool isFixed(int col, int row) const;
    void emptyRow(int row);
    void emptyColumn(int col);
    void syncFixed();
    void showCell(int col, int row);
    void showRows(int first, int last);
    void moveRowItems(int fromIndex, int toIndex);
    int LeftCol() const;
    void SetLeftCol(int col);
    void keepCurrentInGrid();
    void restoreView(const TGridRect& selection, TGridCoord current, int leftCol, int topRow);

    EditGridModel FModel;
    bool FShowing = false; // items are being set from the model
    TNotifyEvent FOnColWidthsChanged;

    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FFixedColWidth = 64;  // column 0 is the vertical header
    int FFixedRowHeight = 24; // row 0 is the horizontal header
    TGridOptions FOptions;
    int FReachable = -1;
    int FPathCol = -1;
    TEditGridHeader* FTitleHeader = nullptr;
    TEditGridHeader* FSideHeader = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TEditGrid::TGridOptions)

} // namespace quillet::widgets
