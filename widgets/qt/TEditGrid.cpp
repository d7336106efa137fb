#include "widgets/qt/TEditGrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace quillet::widgets {

// ---------------------------------------------------------------------------------
// Helpers of the grid: the delegate (edited text, fixed-cell look) and the headers
// that show row 0 and column 0.

class TEditGridDelegate : public QStyledItemDelegate {
public:
    explicit TEditGridDelegate(TEditGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        // Cells hold text of any length; the line editor's default limit of 32767
        // characters would cut a long cell as soon as its editor commits.
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(INT_MAX);
        editor->installEventFilter(FGrid); // it keeps its key releases to itself
        FEditor = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        // After a commit that leaves the editor open, the editor already shows the cell's
        // text; setting it again would move the cursor to the end while the user types.
        if (const auto* line = qobject_cast<QLineEdit*>(editor);
            line && line->text() == index.data(Qt::EditRole).toString())
            return;
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        // Read before storing: the stored text is put back into the editor, which clears
        // its changed state.
        const auto* line = qobject_cast<QLineEdit*>(editor);
        const bool changed = line && line->isModified();
        QStyledItemDelegate::setModelData(editor, model, index);
        FGrid->editedTextStored(index.column(), index.row(), changed);
    }

    QWidget* openEditor() const { return FEditor; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (FGrid->isFixed(index.column(), index.row()))
            option->backgroundBrush = option->palette.button();
        if (index.column() == FGrid->FPathCol)
            option->textElideMode = Qt::ElideLeft;
        if (FGrid->IsMarked && FGrid->IsMarked(index.column(), index.row()))
            option->palette.setColor(QPalette::Text, Qt::red);
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || index.column() != FGrid->FPathCol ||
            FGrid->isFixed(index.column(), index.row()))
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const int col = index.column(), row = index.row();
        const QString tip = FGrid->TipText ? FGrid->TipText(col, row) : FGrid->Cells(col, row);
        tip.isEmpty() ? QToolTip::hideText() : QToolTip::showText(event->globalPos(), tip, view);
        return true;
    }

private:
    TEditGrid* FGrid;
    mutable QPointer<QWidget> FEditor;
};

class TEditGridHeader : public QHeaderView {
public:
    TEditGridHeader(Qt::Orientation orientation, TEditGrid* grid)
        : QHeaderView(orientation, grid), FGrid(grid) {
        setSectionsClickable(false);
        setHighlightSections(false);
        setMinimumSectionSize(0);
    }

protected:
    // Shows the text of row 0 (or column 0) instead of the model's header data.
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!rect.isValid())
            return;
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logicalIndex;
        opt.orientation = orientation();
        opt.position = QStyleOptionHeader::Middle;
        opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        opt.text =
            orientation() == Qt::Horizontal ? FGrid->Cells(logicalIndex, 0) : FGrid->Cells(0, logicalIndex);
        style()->drawControl(QStyle::CE_Header, &opt, painter, this);
    }

    void mousePressEvent(QMouseEvent* event) override {
        const QPoint p = event->position().toPoint();
        const int pos = orientation() == Qt::Horizontal ? p.x() : p.y();
        // A press that grabs a column border starts a resize; sorting the table (and
        // marking it changed) at the same moment would surprise the user.
        const bool onGrip = isOnResizeGrip(pos);
        QHeaderView::mousePressEvent(event);
        if (orientation() == Qt::Horizontal && !onGrip) {
            const int col = logicalIndexAt(pos);
            if (col >= 0)
                FGrid->titlePressed(col);
        }
    }

private:
    bool isOnResizeGrip(int pos) const {
        int visual = visualIndexAt(pos);
        if (visual < 0)
            return false;
        const int logical = logicalIndex(visual);
        const int start = sectionViewportPosition(logical);
        const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
        const bool atStart = pos < start + grip;
        const bool atEnd = pos > start + sectionSize(logical) - grip;
        if (atStart) {
            // The grip of the previous shown section.
            do {
                --visual;
            } while (visual >= 0 && isSectionHidden(logicalIndex(visual)));
        } else if (!atEnd) {
            return false;
        }
        return visual >= 0 && sectionResizeMode(logicalIndex(visual)) == QHeaderView::Interactive;
    }

    TEditGrid* FGrid;
};

namespace {

const TEditGrid::TGridOptions CreationOptions =
    TEditGrid::goFixedVertLine | TEditGrid::goFixedHorzLine | TEditGrid::goVertLine | TEditGrid::goHorzLine |
    TEditGrid::goRangeSelect | TEditGrid::goRowSizing | TEditGrid::goColSizing | TEditGrid::goEditing |
    TEditGrid::goTabs | TEditGrid::goAlwaysShowEditor;

// Cells and file names are UTF-8 in the model, whatever the locale.
std::string ToBytes(const QString& text) {
    return text.toStdString();
}

QString FromBytes(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

// The window does not redraw while the grid is filled.
class UpdatesOff {
public:
    explicit UpdatesOff(QWidget* widget) : FWidget(widget), FWas(widget->updatesEnabled()) {
        FWidget->setUpdatesEnabled(false);
    }
    ~UpdatesOff() { FWidget->setUpdatesEnabled(FWas); }
    UpdatesOff(const UpdatesOff&) = delete;
    UpdatesOff& operator=(const UpdatesOff&) = delete;

private:
    QWidget* FWidget;
    bool FWas;
};

// Restores the cursor and redrawing however the sort ends.
class SortGuard {
public:
    explicit SortGuard(QWidget* grid) : FGrid(grid) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FGrid->setUpdatesEnabled(false);
    }
    ~SortGuard() {
        FGrid->setUpdatesEnabled(true);
        FGrid->update();
        QApplication::restoreOverrideCursor();
    }
    SortGuard(const SortGuard&) = delete;
    SortGuard& operator=(const SortGuard&) = delete;

private:
    QWidget* FGrid;
};

} // namespace

// ---------------------------------------------------------------------------------

TEditGrid::TEditGrid(QWidget* owner) : QTableWidget(owner) {
    FTitleHeader = new TEditGridHeader(Qt::Horizontal, this);
    FSideHeader = new TEditGridHeader(Qt::Vertical, this);
    setHorizontalHeader(FTitleHeader);
    setVerticalHeader(FSideHeader);
    setItemDelegate(new TEditGridDelegate(this));
    setHorizontalScrollMode(ScrollPerItem);
    setVerticalScrollMode(ScrollPerItem);
    setWordWrap(false);
    horizontalHeader()->setDefaultSectionSize(FDefaultColWidth);
    verticalHeader()->setDefaultSectionSize(FDefaultRowHeight);

    setColumnCount(FModel.ColCount());
    setRowCount(FModel.RowCount());
    // Whatever reaches an item other than through the model (the cell editor above
    // all) is the model's text too.
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
        if (!FShowing)
            FModel.SetCell(it->column(), it->row(), ToBytes(it->text()));
    });

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { colWidthsChanged(); });
    connect(this, &QTableWidget::cellPressed, this, &TEditGrid::clicked);
    connect(this, &QTableWidget::currentCellChanged, this, &TEditGrid::clicked);
    connect(model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& tl, const QModelIndex&) {
                if (tl.row() == 0)
                    FTitleHeader->viewport()->update();
                if (tl.column() == 0)
                    FSideHeader->viewport()->update();
            });
    if (auto* corner = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
        corner->installEventFilter(this);

    SetOptions(CreationOptions);
    syncFixed();
    setCurrentCell(FixedRows(), FixedCols());
}

TEditGrid::~TEditGrid() = default;

// ---- Base string grid ----------------------------------------------------------

bool TEditGrid::isFixed(int col, int row) const {
    return row < FixedRows() || col < FixedCols();
}

void TEditGrid::showCell(int col, int row) {
    const std::string& text = FModel.Cell(col, row);
    const bool was = std::exchange(FShowing, true);
    if (QTableWidgetItem* it = item(row, col))
        it->setText(FromBytes(text));
    else if (!text.empty())
        setItem(row, col, new QTableWidgetItem(FromBytes(text)));
    FShowing = was;
}

// Many cells at once: the table's change signals are held back and the view repainted
// once.
void TEditGrid::showRows(int first, int last) {
    {
        const QSignalBlocker quiet(model());
        for (int r = first; r <= last; ++r)
            for (int c = 0; c < ColCount(); ++c)
                showCell(c, r);
    }
    viewport()->update();
    FTitleHeader->viewport()->update();
    FSideHeader->viewport()->update();
}

// Row 0 and column 0 of the fixed area live in the headers; their cells stay hidden.
void TEditGrid::syncFixed() {
    if (rowCount() > 0)
        setRowHidden(0, FixedRows() >= 1);
    if (rowCount() > 1)
        setRowHidden(1, false);
    if (columnCount() > 0)
        setColumnHidden(0, FixedCols() >= 1);
    if (columnCount() > 1)
        setColumnHidden(1, false);
    FTitleHeader->setVisible(FixedRows() >= 1);
    FSideHeader->setVisible(FixedCols() >= 1);
    FTitleHeader->setFixedHeight(FFixedRowHeight);
    FSideHeader->setFixedWidth(FFixedColWidth);
    FTitleHeader->viewport()->update();
    FSideHeader->viewport()->update();
}

void TEditGrid::keepCurrentInGrid() {
    const int row = std::clamp(currentRow(), FixedRows(), RowCount() - 1);
    const int col = std::clamp(currentColumn(), FixedCols(), ColCount() - 1);
    if (row != currentRow() || col != currentColumn())
        setCurrentCell(row, col);
}

void TEditGrid::SetColCount(int value) {
    FModel.SetColCount(value);
    setColumnCount(FModel.ColCount());
    syncFixed();
    keepCurrentInGrid();
}

void TEditGrid::SetRowCount(int value) {
    FModel.SetRowCount(value);
    setRowCount(FModel.RowCount());
    syncFixed();
    keepCurrentInGrid();
}

void TEditGrid::SetFixedCols(int value) {
    const bool wasHeader = FixedCols() >= 1;
    FModel.SetFixedCols(value);
    if (wasHeader && FixedCols() == 0)
        setColumnWidth(0, FFixedColWidth);
    syncFixed();
    keepCurrentInGrid();
}

QString TEditGrid::Cells(int col, int row) const {
    return FromBytes(FModel.Cell(col, row));
}

void TEditGrid::SetCells(int col, int row, const QString& text) {
    FModel.SetCell(col, row, ToBytes(text));
    showCell(col, row);
}

QVariant TEditGrid::Objects(int col, int row) const {
    const auto* object = std::any_cast<QVariant>(&FModel.Object(col, row));
    return object ? *object : QVariant();
}

void TEditGrid::SetObjects(int col, int row, const QVariant& object) {
    FModel.SetObject(col, row, object);
}

void TEditGrid::SetCurrentCell(int col, int row) {
    setCurrentCell(row, col);
}

TGridRect TEditGrid::Selection() const {
    const QItemSelection sel = selectionModel()->selection();
    if (sel.isEmpty())
        return {Col(), Row(), Col(), Row()};
    TGridRect r{sel.first().left(), sel.first().top(), sel.first().right(), sel.first().bottom()};
    for (const QItemSelectionRange& range : sel) {
        r.Left = std::min(r.Left, range.left());
        r.Top = std::min(r.Top, range.top());
        r.Right = std::max(r.Right, range.right());
        r.Bottom = std::max(r.Bottom, range.bottom());
    }
    return r;
}

void TEditGrid::SetSelection(const TGridRect& rect) {
    const int left = std::clamp(std::min(rect.Left, rect.Right), 0, ColCount() - 1);
    const int right = std::clamp(std::max(rect.Left, rect.Right), 0, ColCount() - 1);
    const int top = std::clamp(std::min(rect.Top, rect.Bottom), 0, RowCount() - 1);
    const int bottom = std::clamp(std::max(rect.Top, rect.Bottom), 0, RowCount() - 1);
    selectionModel()->select(QItemSelection(model()->index(top, left), model()->index(bottom, right)),
                             QItemSelectionModel::ClearAndSelect);
}

int TEditGrid::LeftCol() const {
    const int col = columnAt(0);
    return col < FixedCols() ? FixedCols() : col;
}

void TEditGrid::SetLeftCol(int col) {
    col = std::clamp(col, FixedCols(), ColCount() - 1);
    // The scroll bar counts shown columns; only column 0 is ever hidden by the grid.
    horizontalScrollBar()->setValue(col - (col > 0 && isColumnHidden(0) ? 1 : 0));
}

int TEditGrid::TopRow() const {
    const int row = rowAt(0);
    return row < FixedRows() ? FixedRows() : row;
}

void TEditGrid::SetTopRow(int row) {
    row = std::clamp(row, FixedRows(), RowCount() - 1);
    verticalScrollBar()->setValue(row - (row > 0 && isRowHidden(0) ? 1 : 0));
}

int TEditGrid::ColWidths(int col) const {
    if (col == 0 && FixedCols() >= 1)
        return FFixedColWidth;
    return columnWidth(col);
}

void TEditGrid::SetColWidths(int col, int width) {
    if (col == 0 && FixedCols() >= 1) {
        FFixedColWidth = width;
        syncFixed();
        colWidthsChanged();
    } else {
        setColumnWidth(col, width);
    }
}

int TEditGrid::RowHeights(int row) const {
    if (row == 0 && FixedRows() >= 1)
        return FFixedRowHeight;
    return rowHeight(row);
}

void TEditGrid::SetRowHeights(int row, int height) {
    if (row == 0 && FixedRows() >= 1) {
        FFixedRowHeight = height;
        syncFixed();
    } else {
        setRowHeight(row, height);
    }
}

void TEditGrid::SetDefaultRowHeight(int height) {
    FDefaultRowHeight = height;
    FFixedRowHeight = height;
    verticalHeader()->setDefaultSectionSize(height);
    for (int r = 0; r < RowCount(); ++r)
        setRowHeight(r, height);
    syncFixed();
}

// Options without a counterpart in the view (the fixed-line, focus-drawing and
// row/column-moving ones) are kept as flags only.
void TEditGrid::SetOptions(TGridOptions options) {
    FOptions = options;
    setShowGrid(options.testAnyFlags(goVertLine | goHorzLine));
    setSelectionMode(options.testFlag(goRangeSelect) ? ContiguousSelection : SingleSelection);
    setSelectionBehavior(options.testFlag(goRowSelect) ? SelectRows : SelectItems);
    verticalHeader()->setSectionResizeMode(options.testFlag(goRowSizing) ? QHeaderView::Interactive
                                                                         : QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(options.testFlag(goColSizing) ? QHeaderView::Interactive
                                                                           : QHeaderView::Fixed);
    EditTriggers triggers = NoEditTriggers;
    if (options.testFlag(goEditing)) {
        triggers = DoubleClicked | SelectedClicked | EditKeyPressed | AnyKeyPressed;
        if (options.testFlag(goAlwaysShowEditor))
            triggers |= CurrentChanged;
    }
    setEditTriggers(triggers);
    setTabKeyNavigation(options.testFlag(goTabs));
    horizontalScrollBar()->setTracking(options.testFlag(goThumbTracking));
    verticalScrollBar()->setTracking(options.testFlag(goThumbTracking));
}

QRect TEditGrid::CellRect(int col, int row) const {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount())
        return {};
    const bool titleRow = row == 0 && FixedRows() >= 1;
    const bool sideCol = col == 0 && FixedCols() >= 1;
    if (titleRow && sideCol) {
        const QPoint tl = FTitleHeader->mapTo(this, QPoint(-FFixedColWidth, 0));
        return QRect(tl, QSize(FFixedColWidth, FFixedRowHeight));
    }
    if (titleRow) {
        const int x = FTitleHeader->sectionViewportPosition(col);
        if (FTitleHeader->isSectionHidden(col) || x < 0)
            return {};
        return QRect(FTitleHeader->viewport()->mapTo(this, QPoint(x, 0)),
                     QSize(FTitleHeader->sectionSize(col), FTitleHeader->height()));
    }
    if (sideCol) {
        const int y = FSideHeader->sectionViewportPosition(row);
        if (FSideHeader->isSectionHidden(row) || y < 0)
            return {};
        return QRect(FSideHeader->viewport()->mapTo(this, QPoint(0, y)),
                     QSize(FSideHeader->width(), FSideHeader->sectionSize(row)));
    }
    const QRect r = visualRect(model()->index(row, col));
    if (!r.isValid())
        return {};
    return QRect(viewport()->mapTo(this, r.topLeft()), r.size());
}

// The row's items move with it; the row keeps its height.
void TEditGrid::moveRowItems(int fromIndex, int toIndex) {
    if (fromIndex == toIndex)
        return;
    const bool was = std::exchange(FShowing, true);
    const int cols = ColCount();
    std::vector<QTableWidgetItem*> moved(static_cast<std::size_t>(cols));
    for (int c = 0; c < cols; ++c)
        moved[static_cast<std::size_t>(c)] = takeItem(fromIndex, c);
    const int height = RowHeights(fromIndex);
    removeRow(fromIndex);
    insertRow(toIndex);
    for (int c = 0; c < cols; ++c)
        if (moved[static_cast<std::size_t>(c)])
            setItem(toIndex, c, moved[static_cast<std::size_t>(c)]);
    FShowing = was;
    syncFixed();
    if (!(toIndex == 0 && FixedRows() >= 1))
        setRowHeight(toIndex, height);
}

// ---- Operations -------------------------------------------------------------------

void TEditGrid::emptyRow(int row) {
    for (int c = 0; c < ColCount(); ++c)
        delete takeItem(row, c);
}

void TEditGrid::emptyColumn(int col) {
    for (int r = 0; r < RowCount(); ++r)
        delete takeItem(r, col);
}

void TEditGrid::restoreView(const TGridRect& selection, TGridCoord current, int leftCol, int topRow) {
    // Whatever lay beyond the grid after a removal is brought to its last data row or
    // column.
    executeDelayedItemsLayout();
    updateGeometries();
    auto colIn = [this](int c) { return std::clamp(c, FixedCols(), ColCount() - 1); };
    auto rowIn = [this](int r) { return std::clamp(r, FixedRows(), RowCount() - 1); };
    if (current.X >= 0 && current.Y >= 0)
        selectionModel()->setCurrentIndex(model()->index(rowIn(current.Y), colIn(current.X)),
                                          QItemSelectionModel::NoUpdate);
    SetSelection(
        {colIn(selection.Left), rowIn(selection.Top), colIn(selection.Right), rowIn(selection.Bottom)});
    SetLeftCol(leftCol);
    SetTopRow(topRow);
}

void TEditGrid::AddRow() {
    FModel.AddRow();
    setRowCount(FModel.RowCount());
    viewport()->update();
}

void TEditGrid::InsertRow(int index) {
    index = std::clamp(index, 0, RowCount());
    FModel.InsertRow(index);
    insertRow(index);
    syncFixed();
    viewport()->update();
}

void TEditGrid::MoveRow(int fromIndex, int toIndex) {
    if (fromIndex < 0 || fromIndex >= RowCount() || toIndex < 0 || toIndex >= RowCount())
        return;
    FModel.MoveRow(fromIndex, toIndex);
    moveRowItems(fromIndex, toIndex);
    viewport()->update();
}

void TEditGrid::DeleteRow(int index) {
    const int leftCol = LeftCol();
    const int topRow = TopRow();
    const auto removal = FModel.DeleteRow(index, Row());
    if (removal == EditGridModel::Removal::None)
        return;
    emptyRow(index);
    const TGridRect selection = Selection();
    const TGridCoord current{Col(), Row()};
    if (removal == EditGridModel::Removal::Removed) {
        removeRow(index);
        syncFixed();
    }
    restoreView(selection, current, leftCol, topRow);
    viewport()->update();
}

void TEditGrid::DeleteColumn(int index) {
    const int leftCol = LeftCol();
    const int topRow = TopRow();
    const auto removal = FModel.DeleteColumn(index, Col());
    if (removal == EditGridModel::Removal::None)
        return;
    emptyColumn(index);
    const TGridRect selection = Selection();
    const TGridCoord current{Col(), Row()};
    if (removal == EditGridModel::Removal::Removed) {
        removeColumn(index);
        syncFixed();
    }
    restoreView(selection, current, leftCol, topRow);
    viewport()->update();
}

void TEditGrid::SortByColumn(int column, bool ascending) {
    if (column < 0 || column >= ColCount())
        return;
    const SortGuard guard(this);
    FModel.SortByColumn(column, ascending);
    showRows(FixedRows(), RowCount() - 1);
}

void TEditGrid::SaveToCSVFile(const QString& fileName, bool withTitle) {
    SaveToDelimitedFile(fileName, ',', withTitle);
}

void TEditGrid::LoadFromCSVFile(const QString& fileName) {
    LoadFromDelimitedFile(fileName, ',', true);
}

void TEditGrid::SaveToDelimitedFile(const QString& fileName, char delimiter, bool withTitle) {
    FModel.SaveToDelimitedFile(fileName.isEmpty() ? std::string() : ToBytes(fileName), delimiter, withTitle);
}

void TEditGrid::LoadFromDelimitedFile(const QString& fileName, char delimiter, bool withTitle) {
    const TGridCoord current{Col(), Row()};
    if (!FModel.LoadFromDelimitedFile(ToBytes(fileName), delimiter, withTitle))
        return;
    {
        const UpdatesOff noRedraw(this);
        // Empty what stays, then cut the rest: a reset of the whole table would close
        // the open cell editor.
        const bool was = std::exchange(FShowing, true);
        for (int r = 0; r <= FixedRows() && r < rowCount(); ++r)
            emptyRow(r);
        setRowCount(FixedRows() + 1);
        FShowing = was;
        setRowCount(FModel.RowCount());
        showRows(0, RowCount() - 1);
        syncFixed();
    }
    if (current.X >= 0 && current.Y >= 0)
        setCurrentCell(std::clamp(current.Y, FixedRows(), RowCount() - 1),
                       std::clamp(current.X, FixedCols(), ColCount() - 1));
    viewport()->update();
}

// ---- Hooks ---------------------------------------------------------------------------

// Down on the last row, or Tab in its last column, may append a row first. Down then
// moves into the new row (same column) and Qt's own Down finds no row below. For Tab the
// current cell stays and Qt's own Tab moves on to the first cell of the new row: moved
// down first, Tab would stand in the grid's very last cell, where Qt's Tab leaves the
// grid.
void TEditGrid::newRowKey(bool isDownOrTab, bool moveDown) {
    if (!isDownOrTab)
        return;
    const int row = Row();
    if (row < 0 || row != RowCount() - 1)
        return;
    if (!FModel.NewRowKey(row))
        return;
    setRowCount(FModel.RowCount());
    if (moveDown)
        setCurrentCell(row + 1, Col());
}

void TEditGrid::keyPressEvent(QKeyEvent* event) {
    // Modifiers are not looked at: Shift+Tab (Qt's Backtab) is the Tab key too.
    const int key = event->key();
    if (key == Qt::Key_Down)
        newRowKey(true, true);
    else if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        newRowKey(Col() == lastCol(), false);
    QTableWidget::keyPressEvent(event);
}

void TEditGrid::keyReleaseEvent(QKeyEvent* event) {
    QTableWidget::keyReleaseEvent(event);
    clicked();
}

// Past the last reachable column, Tab goes on in the next row.
QModelIndex TEditGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    if (!next.isValid() || next.column() <= lastCol())
        return next;
    if (action == MoveNext && currentIndex().row() + 1 < RowCount())
        return model()->index(currentIndex().row() + 1, FixedCols());
    return model()->index(next.row(), lastCol());
}

void TEditGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (current.isValid() && current.column() > lastCol())
        return setCurrentIndex(model()->index(current.row(), lastCol()));
    QTableWidget::currentChanged(current, previous);
}

// Tab and Shift+Tab typed into the cell editor reach the grid as an editor hint.
void TEditGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        newRowKey(Col() == lastCol(), false);
    QTableWidget::closeEditor(editor, hint);
}

bool TEditGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (index.isValid() && isFixed(index.column(), index.row()))
        return false;
    return QTableWidget::edit(index, trigger, event);
}

// With goAlwaysShowEditor the current cell's editor is open whenever the grid has the
// focus, not only after the current cell moved. Queued: the focus also comes back while
// an editor closes, and the current cell may still move on then.
void TEditGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (FOptions.testFlag(goEditing) && FOptions.testFlag(goAlwaysShowEditor) && hasFocus() &&
                state() != EditingState && currentIndex().isValid())
                edit(currentIndex(), CurrentChanged, nullptr);
        },
        Qt::QueuedConnection);
}

bool TEditGrid::eventFilter(QObject* watched, QEvent* event) {
    // The corner is cell (0, 0) of the title row.
    if (event->type() == QEvent::MouseButtonPress && qobject_cast<QAbstractButton*>(watched) &&
        watched->parent() == this && FixedRows() >= 1)
        titlePressed(0);
    if (event->type() == QEvent::KeyRelease && watched->parent() == viewport())
        clicked();
    return QTableWidget::eventFilter(watched, event);
}

QWidget* TEditGrid::openEditor() const {
    const auto* delegate = static_cast<const TEditGridDelegate*>(itemDelegate());
    QWidget* editor = delegate->openEditor();
    return editor && state() == EditingState ? editor : nullptr;
}

bool TEditGrid::Typing() const {
    const auto* line = qobject_cast<const QLineEdit*>(openEditor());
    return line && line->isModified();
}

void TEditGrid::CommitEditorText() {
    QWidget* editor = openEditor();
    if (!editor)
        return;
    commitData(editor);
    // What was typed up to now is in the cell; a later commit counts only new typing.
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setModified(false);
}

void TEditGrid::titlePressed(int col) {
    if (FModel.SortOnTitleClick == tcNone || FixedRows() < 1)
        return;
    // Text still open in the editor belongs to its row before the rows move.
    if (QWidget* editor = openEditor()) {
        commitData(editor);
        QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    const SortGuard guard(this);
    FModel.TitleClick(col);
    showRows(FixedRows(), RowCount() - 1);
}

// The editor's own cell is the one changed (when the current cell moves, the editor is
// committed after the move). In-place edits set Modified whether or not EOLToSpace is on.
void TEditGrid::editedTextStored(int col, int row, bool editorChanged) {
    FModel.EditedTextStored(col, row, FModel.Cell(col, row), editorChanged);
    showCell(col, row);
}

void TEditGrid::colWidthsChanged() {
    if (FOnColWidthsChanged)
        FOnColWidthsChanged(this);
}

} // namespace quillet::widgets
