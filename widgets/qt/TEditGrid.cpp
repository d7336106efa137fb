#include "widgets/qt/TEditGrid.h"

#include "core/DelimitedFile.h"
#include "core/Errors.h"
#include "platform/Files.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

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

std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString FromBytes(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string PathBytes(const QString& fileName) {
    const QByteArray bytes = QFile::encodeName(fileName);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Sort keys compare as unsigned bytes with only a to z folded to A to Z, so the fold
// is done once per key and the comparison itself is std::string's (unsigned, shorter
// prefix first).
std::string SortKey(const QString& text) {
    std::string key = ToBytes(text);
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

// The quicksort of the grid over positions L..R of `order` (indices into `keys`), with
// the pivot held as a text. Of the two parts left after a partition, the smaller one
// is sorted by recursion and the larger one by the loop; the parts are disjoint, so
// the resulting order is the same as sorting the left part first, and the stack
// depth stays logarithmic even on hostile input.
void QuickSortRows(const std::vector<std::string>& keys, std::vector<int>& order, int L, int R) {
    for (;;) {
        int I = L;
        int J = R;
        auto key = [&](int pos) -> const std::string& {
            return keys[static_cast<std::size_t>(order[static_cast<std::size_t>(pos)])];
        };
        const std::string& pivot = key((L + R) / 2); // a key, not a position: swaps leave it be
        do {
            while (key(I) < pivot)
                ++I;
            while (key(J) > pivot)
                --J;
            if (I <= J) {
                if (I != J)
                    std::swap(order[static_cast<std::size_t>(I)], order[static_cast<std::size_t>(J)]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (J - L < R - I) {
            if (L < J)
                QuickSortRows(keys, order, L, J);
            if (I >= R)
                return;
            L = I;
        } else {
            if (I < R)
                QuickSortRows(keys, order, I, R);
            if (L >= J)
                return;
            R = J;
        }
    }
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

TEditGrid::TEditGrid(QWidget* owner) : QTableWidget(owner), FAbout(QStringLiteral("TEditGrid v1.02")) {
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

    // The base grid's defaults: 5 x 5 cells, one fixed row and one fixed column.
    setColumnCount(5);
    setRowCount(5);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { colWidthsChanged(); });
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
    setCurrentCell(FFixedRows, FFixedCols);
}

TEditGrid::~TEditGrid() = default;

// ---- Base string grid ----------------------------------------------------------

bool TEditGrid::isFixed(int col, int row) const {
    return row < FFixedRows || col < FFixedCols;
}

// Row 0 and column 0 of the fixed area live in the headers; their cells stay hidden.
void TEditGrid::syncFixed() {
    if (rowCount() > 0)
        setRowHidden(0, FFixedRows >= 1);
    if (rowCount() > 1)
        setRowHidden(1, false);
    if (columnCount() > 0)
        setColumnHidden(0, FFixedCols >= 1);
    if (columnCount() > 1)
        setColumnHidden(1, false);
    FTitleHeader->setVisible(FFixedRows >= 1);
    FSideHeader->setVisible(FFixedCols >= 1);
    FTitleHeader->setFixedHeight(FFixedRowHeight);
    FSideHeader->setFixedWidth(FFixedColWidth);
    FTitleHeader->viewport()->update();
    FSideHeader->viewport()->update();
}

void TEditGrid::keepCurrentInGrid() {
    const int row = std::clamp(currentRow(), FFixedRows, RowCount() - 1);
    const int col = std::clamp(currentColumn(), FFixedCols, ColCount() - 1);
    if (row != currentRow() || col != currentColumn())
        setCurrentCell(row, col);
}

void TEditGrid::SetColCount(int value) {
    value = std::max(value, 1);
    if (FFixedCols >= value)
        FFixedCols = value - 1;
    setColumnCount(value);
    syncFixed();
    keepCurrentInGrid();
}

void TEditGrid::SetRowCount(int value) {
    value = std::max(value, 1);
    if (FFixedRows >= value)
        FFixedRows = value - 1;
    setRowCount(value);
    syncFixed();
    keepCurrentInGrid();
}

void TEditGrid::SetFixedCols(int value) {
    const bool wasHeader = FFixedCols >= 1;
    FFixedCols = std::clamp(value, 0, ColCount() - 1);
    if (wasHeader && FFixedCols == 0)
        setColumnWidth(0, FFixedColWidth);
    syncFixed();
    keepCurrentInGrid();
}

void TEditGrid::SetFixedRows(int value) {
    const bool wasHeader = FFixedRows >= 1;
    FFixedRows = std::clamp(value, 0, RowCount() - 1);
    if (wasHeader && FFixedRows == 0)
        setRowHeight(0, FFixedRowHeight);
    syncFixed();
    keepCurrentInGrid();
}

QString TEditGrid::Cells(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TEditGrid::SetCells(int col, int row, const QString& text) {
    if (row < 0 || row >= rowCount() || col < 0 || col >= columnCount())
        return;
    if (QTableWidgetItem* it = item(row, col))
        it->setText(text);
    else if (!text.isEmpty())
        setItem(row, col, new QTableWidgetItem(text));
}

QVariant TEditGrid::Objects(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->data(Qt::UserRole) : QVariant();
}

void TEditGrid::SetObjects(int col, int row, const QVariant& object) {
    if (row < 0 || row >= rowCount() || col < 0 || col >= columnCount())
        return;
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        if (!object.isValid())
            return;
        it = new QTableWidgetItem;
        setItem(row, col, it);
    }
    it->setData(Qt::UserRole, object);
}

void TEditGrid::SetCol(int col) {
    SetCurrentCell(col, Row());
}

void TEditGrid::SetRow(int row) {
    SetCurrentCell(Col(), row);
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
    return col < FFixedCols ? FFixedCols : col;
}

void TEditGrid::SetLeftCol(int col) {
    col = std::clamp(col, FFixedCols, ColCount() - 1);
    // The scroll bar counts shown columns; only column 0 is ever hidden by the grid.
    horizontalScrollBar()->setValue(col - (col > 0 && isColumnHidden(0) ? 1 : 0));
}

int TEditGrid::TopRow() const {
    const int row = rowAt(0);
    return row < FFixedRows ? FFixedRows : row;
}

void TEditGrid::SetTopRow(int row) {
    row = std::clamp(row, FFixedRows, RowCount() - 1);
    verticalScrollBar()->setValue(row - (row > 0 && isRowHidden(0) ? 1 : 0));
}

int TEditGrid::ColWidths(int col) const {
    if (col == 0 && FFixedCols >= 1)
        return FFixedColWidth;
    return columnWidth(col);
}

void TEditGrid::SetColWidths(int col, int width) {
    if (col == 0 && FFixedCols >= 1) {
        FFixedColWidth = width;
        syncFixed();
        colWidthsChanged();
    } else {
        setColumnWidth(col, width);
    }
}

int TEditGrid::RowHeights(int row) const {
    if (row == 0 && FFixedRows >= 1)
        return FFixedRowHeight;
    return rowHeight(row);
}

void TEditGrid::SetRowHeights(int row, int height) {
    if (row == 0 && FFixedRows >= 1) {
        FFixedRowHeight = height;
        syncFixed();
    } else {
        setRowHeight(row, height);
    }
}

void TEditGrid::SetDefaultColWidth(int width) {
    FDefaultColWidth = width;
    FFixedColWidth = width;
    horizontalHeader()->setDefaultSectionSize(width);
    for (int c = 0; c < ColCount(); ++c)
        setColumnWidth(c, width);
    syncFixed();
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

TGridCoord TEditGrid::MouseCoord(const QPoint& pos) const {
    const QPoint inView = viewport()->mapFrom(this, pos);
    const QPoint inTitle = FTitleHeader->viewport()->mapFrom(this, pos);
    const QPoint inSide = FSideHeader->viewport()->mapFrom(this, pos);
    const bool titleHit = FTitleHeader->isVisible() && FTitleHeader->viewport()->rect().contains(inTitle);
    const bool sideHit = FSideHeader->isVisible() && FSideHeader->viewport()->rect().contains(inSide);
    if (titleHit) {
        const int col = FTitleHeader->logicalIndexAt(inTitle.x());
        return col < 0 ? TGridCoord{} : TGridCoord{col, 0};
    }
    if (sideHit) {
        const int row = FSideHeader->logicalIndexAt(inSide.y());
        return row < 0 ? TGridCoord{} : TGridCoord{0, row};
    }
    if (FTitleHeader->isVisible() && FSideHeader->isVisible() && inView.x() < 0 && inView.y() < 0 &&
        pos.x() >= frameWidth() && pos.y() >= frameWidth())
        return {0, 0}; // the corner
    if (!viewport()->rect().contains(inView))
        return {};
    const int col = columnAt(inView.x());
    const int row = rowAt(inView.y());
    if (col < 0 || row < 0)
        return {};
    return {col, row};
}

QRect TEditGrid::CellRect(int col, int row) const {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount())
        return {};
    const bool titleRow = row == 0 && FFixedRows >= 1;
    const bool sideCol = col == 0 && FFixedCols >= 1;
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

void TEditGrid::MoveRowBase(int fromIndex, int toIndex) {
    if (fromIndex == toIndex)
        return;
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
    syncFixed();
    if (!(toIndex == 0 && FFixedRows >= 1))
        setRowHeight(toIndex, height);
}

void TEditGrid::DeleteRowBase(int index) {
    removeRow(index);
    syncFixed();
}

void TEditGrid::DeleteColumnBase(int index) {
    removeColumn(index);
    syncFixed();
}

// ---- Operations -------------------------------------------------------------------

void TEditGrid::emptyRow(int row) {
    // Emptying a cell drops its text and its attached object.
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
    auto colIn = [this](int c) { return std::clamp(c, FFixedCols, ColCount() - 1); };
    auto rowIn = [this](int r) { return std::clamp(r, FFixedRows, RowCount() - 1); };
    if (current.X >= 0 && current.Y >= 0)
        selectionModel()->setCurrentIndex(model()->index(rowIn(current.Y), colIn(current.X)),
                                          QItemSelectionModel::NoUpdate);
    SetSelection(
        {colIn(selection.Left), rowIn(selection.Top), colIn(selection.Right), rowIn(selection.Bottom)});
    SetLeftCol(leftCol);
    SetTopRow(topRow);
}

void TEditGrid::AddRow() {
    setRowCount(RowCount() + 1);
    viewport()->update();
    FModified = true;
}

void TEditGrid::InsertRow(int index) {
    // Any index is taken, a fixed row's too; one past the end, or beyond, appends.
    index = std::clamp(index, 0, RowCount());
    insertRow(index);
    syncFixed();
    viewport()->update();
    FModified = true;
}

void TEditGrid::MoveRow(int fromIndex, int toIndex) {
    if (fromIndex < 0 || fromIndex >= RowCount() || toIndex < 0 || toIndex >= RowCount())
        return;
    MoveRowBase(fromIndex, toIndex);
    viewport()->update();
    FModified = true;
}

void TEditGrid::DeleteRow(int index) {
    if (Row() < FFixedRows)
        return;
    // A fixed row (or a row that does not exist) is left alone: removing the title row
    // would turn the first entry into titles.
    if (index < FFixedRows || index >= RowCount())
        return;
    const int leftCol = LeftCol();
    const int topRow = TopRow();
    emptyRow(index);
    const TGridRect selection = Selection();
    const TGridCoord current{Col(), Row()};
    if (index == FFixedRows && index == RowCount() - 1) {
        // The only data row stays, emptied.
    } else if (index == RowCount() - 1) {
        setRowCount(RowCount() - 1);
    } else {
        DeleteRowBase(index);
    }
    restoreView(selection, current, leftCol, topRow);
    viewport()->update();
    FModified = true;
}

void TEditGrid::DeleteColumn(int index) {
    if (Col() < FFixedCols)
        return;
    // As for rows: a fixed column or one that does not exist is left alone.
    if (index < FFixedCols || index >= ColCount())
        return;
    const int leftCol = LeftCol();
    const int topRow = TopRow();
    emptyColumn(index);
    const TGridRect selection = Selection();
    const TGridCoord current{Col(), Row()};
    // The column at ColCount - FixedCols stays, emptied; so does the only data column
    // whatever the number of fixed columns.
    if (index == ColCount() - FFixedCols || ColCount() - FFixedCols <= 1) {
        // stays, emptied
    } else {
        DeleteColumnBase(index);
    }
    restoreView(selection, current, leftCol, topRow);
    viewport()->update();
    FModified = true;
}

void TEditGrid::SortByColumn(int column, bool ascending) {
    if (column < 0 || column >= ColCount())
        return;
    {
        SortGuard guard(this);
        const int first = FFixedRows;
        const int count = RowCount() - first;
        if (count > 1) {
            std::vector<std::string> keys;
            keys.reserve(static_cast<std::size_t>(count));
            for (int r = first; r < RowCount(); ++r)
                keys.push_back(SortKey(Cells(column, r)));
            std::vector<int> order(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i)
                order[static_cast<std::size_t>(i)] = i;
            QuickSortRows(keys, order, 0, count - 1);
            if (!ascending)
                std::reverse(order.begin(), order.end());

            // Rows exchange their cells (texts and objects) over all columns; row
            // heights stay where they are.
            const int cols = ColCount();
            std::vector<QTableWidgetItem*> cells(static_cast<std::size_t>(count) *
                                                 static_cast<std::size_t>(cols));
            for (int i = 0; i < count; ++i)
                for (int c = 0; c < cols; ++c)
                    cells[static_cast<std::size_t>(i) * static_cast<std::size_t>(cols) +
                          static_cast<std::size_t>(c)] = takeItem(first + i, c);
            for (int i = 0; i < count; ++i) {
                const std::size_t from = static_cast<std::size_t>(order[static_cast<std::size_t>(i)]);
                for (int c = 0; c < cols; ++c)
                    if (QTableWidgetItem* it =
                            cells[from * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)])
                        setItem(first + i, c, it);
            }
        }
    }
    FModified = true;
}

void TEditGrid::SaveToCSVFile(const QString& fileName, bool withTitle) {
    SaveToDelimitedFile(fileName, ',', withTitle);
}

void TEditGrid::LoadFromCSVFile(const QString& fileName, bool append) {
    LoadFromDelimitedFile(fileName, ',', append, true);
}

void TEditGrid::SaveToDelimitedFile(const QString& fileName, char delimiter, bool withTitle) {
    std::string out;
    DelimitedRow cells;
    auto rowCells = [&](int r) -> const DelimitedRow& {
        cells.clear();
        for (int c = FFixedCols; c < ColCount(); ++c)
            cells.push_back(ToBytes(Cells(c, r)));
        return cells;
    };
    if (withTitle)
        AppendDelimitedTitles(out, rowCells(0), delimiter);
    for (int r = FFixedRows; r < RowCount(); ++r)
        AppendDelimitedRow(out, rowCells(r), delimiter);
    if (fileName.isEmpty())
        return;
    // The whole file goes to a temporary file in the same folder, then replaces the
    // target, so a failed save leaves the old file as it was. A read-only file counts
    // as one that cannot be created, as it does on Windows.
    const std::string path = PathBytes(fileName);
    if (platform::IsReadOnlyFile(path) || !platform::ReplaceFileContent(path, out))
        throw EFCreateError(path);
}

void TEditGrid::LoadFromDelimitedFile(const QString& fileName, char delimiter, bool append, bool withTitle) {
    // A load always replaces the grid's content; `append` is accepted and ignored.
    (void)append;
    const std::string path = PathBytes(fileName);
    if (!platform::FileExists(path))
        return;
    std::string data;
    if (!platform::ReadWholeFile(path, data))
        throw EFOpenError(path);
    const std::vector<std::string> lines = SplitLines(data);
    data.clear();
    data.shrink_to_fit();

    const TGridCoord current{Col(), Row()};
    {
        const UpdatesOff noRedraw(this);
        // Empty what stays, then cut the rest.
        for (int r = 0; r <= FFixedRows && r < RowCount(); ++r)
            emptyRow(r);
        setRowCount(FFixedRows + 1);

        const int cols = ColCount();
        int start = FFixedRows;
        if (withTitle && !lines.empty()) {
            const DelimitedRow titles = SplitFields(lines.front(), delimiter, cols - FFixedCols);
            for (int c = FFixedCols; c < cols; ++c)
                SetCells(c, 0, FromBytes(titles[static_cast<std::size_t>(c - FFixedCols)]));
            --start;
        }
        const int lineCount =
            static_cast<int>(std::min<std::size_t>(lines.size(), static_cast<std::size_t>(INT_MAX / 2)));
        setRowCount(std::max(RowCount(), start + lineCount));
        for (int k = 0; k < lineCount; ++k) {
            const int row = start + k;
            // With a title line but no fixed row, line 0 went to row 0 above and line 1
            // takes that row now.
            if (row < 0)
                continue;
            const DelimitedRow fields =
                SplitFields(lines[static_cast<std::size_t>(k)], delimiter, cols - FFixedCols);
            for (int c = FFixedCols; c < cols; ++c)
                SetCells(c, row, FromBytes(fields[static_cast<std::size_t>(c - FFixedCols)]));
        }
        syncFixed();
    }
    if (current.X >= 0 && current.Y >= 0)
        setCurrentCell(std::clamp(current.Y, FFixedRows, RowCount() - 1),
                       std::clamp(current.X, FFixedCols, ColCount() - 1));
    viewport()->update();
    FModified = true;
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
    bool add = FNewRowOnKeyDown == kdAlways;
    if (FNewRowOnKeyDown == kdLastRowNotEmpty)
        for (int c = 0; c < ColCount() && !add; ++c)
            add = !Cells(c, row).isEmpty();
    if (!add)
        return;
    // Rows added by the keyboard do not set Modified.
    setRowCount(RowCount() + 1);
    if (moveDown)
        setCurrentCell(row + 1, Col());
}

void TEditGrid::keyPressEvent(QKeyEvent* event) {
    // Modifiers are not looked at: Shift+Tab (Qt's Backtab) is the Tab key too.
    const int key = event->key();
    if (key == Qt::Key_Down)
        newRowKey(true, true);
    else if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        newRowKey(Col() == ColCount() - 1, false);
    QTableWidget::keyPressEvent(event);
}

// Tab and Shift+Tab typed into the cell editor reach the grid as an editor hint.
void TEditGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        newRowKey(Col() == ColCount() - 1, false);
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
        watched->parent() == this && FFixedRows >= 1)
        titlePressed(0);
    return QTableWidget::eventFilter(watched, event);
}

QWidget* TEditGrid::openEditor() const {
    const auto* delegate = static_cast<const TEditGridDelegate*>(itemDelegate());
    QWidget* editor = delegate->openEditor();
    return editor && state() == EditingState ? editor : nullptr;
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
    if (FSortOnTitleClick == tcNone || FFixedRows < 1)
        return;
    // Text still open in the editor belongs to its row before the rows move.
    if (QWidget* editor = openEditor()) {
        commitData(editor);
        QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    SortByColumn(col, FNextTitleSortAscending);
    FNextTitleSortAscending = !FNextTitleSortAscending;
}

// The editor's own cell is the one changed (when the current cell moves, the editor is
// committed after the move). In-place edits set Modified whether or not EOLToSpace is on.
void TEditGrid::editedTextStored(int col, int row, bool editorChanged) {
    if (FEOLToSpace) {
        const QString text = Cells(col, row);
        if (text.contains(QLatin1String("\r\n"))) {
            QString spaced = text;
            spaced.replace(QLatin1String("\r\n"), QLatin1String(" "));
            SetCells(col, row, spaced);
        }
    }
    if (!FModified)
        FModified = editorChanged;
}

void TEditGrid::colWidthsChanged() {
    if (FOnColWidthsChanged)
        FOnColWidthsChanged(this);
}

} // namespace quillet::widgets
