#include "widgets/EditGridModel.h"

#include "core/DelimitedFile.h"
#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace quillet::widgets {

namespace {

const std::string NoText;
const std::any NoObject;

// Sort keys compare as unsigned bytes with only a to z folded to A to Z, so the fold
// is done once per key and the comparison itself is std::string's (unsigned, shorter
// prefix first).
std::string SortKey(const std::string& text) {
    std::string key = text;
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

// The grid's quicksort over positions L..R of `order` (indices into `keys`), with the
// pivot held as a text. Of the two parts left after a partition, the smaller one is
// sorted by recursion and the larger one by the loop; the parts are disjoint, so the
// order is the same as sorting the left part first, and the stack depth stays
// logarithmic even on hostile input.
void QuickSortRows(const std::vector<std::string>& keys, std::vector<int>& order, int L, int R) {
    auto key = [&](int pos) -> const std::string& {
        return keys[static_cast<std::size_t>(order[static_cast<std::size_t>(pos)])];
    };
    for (;;) {
        int I = L;
        int J = R;
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

std::string SpacedLineBreaks(std::string text) {
    std::size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) {
        text.replace(at, 2, " ");
        ++at;
    }
    return text;
}

} // namespace

EditGridModel::EditGridModel() {
    FRows.assign(5, NewRow());
}

EditGridModel::Row EditGridModel::NewRow() const {
    return Row{std::vector<std::string>(static_cast<std::size_t>(FColCount)), {}};
}

void EditGridModel::EmptyRow(Row& row) const {
    row = NewRow();
}

bool EditGridModel::InTable(int col, int row) const {
    return col >= 0 && col < FColCount && row >= 0 && row < RowCount();
}

void EditGridModel::SetColCount(int value) {
    value = std::max(value, 1);
    FFixedCols = std::min(FFixedCols, value - 1);
    FColCount = value;
    for (Row& row : FRows) {
        row.cells.resize(static_cast<std::size_t>(value));
        if (row.objects.size() > row.cells.size())
            row.objects.resize(row.cells.size());
    }
}

void EditGridModel::SetRowCount(int value) {
    value = std::max(value, 1);
    FFixedRows = std::min(FFixedRows, value - 1);
    FRows.resize(static_cast<std::size_t>(value), NewRow());
}

void EditGridModel::SetFixedCols(int value) {
    FFixedCols = std::clamp(value, 0, FColCount - 1);
}

void EditGridModel::SetFixedRows(int value) {
    FFixedRows = std::clamp(value, 0, RowCount() - 1);
}

const std::string& EditGridModel::Cell(int col, int row) const {
    return InTable(col, row) ? FRows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(col)] : NoText;
}

void EditGridModel::SetCell(int col, int row, std::string text) {
    if (InTable(col, row))
        FRows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(col)] = std::move(text);
}

const std::any& EditGridModel::Object(int col, int row) const {
    if (!InTable(col, row))
        return NoObject;
    const auto& objects = FRows[static_cast<std::size_t>(row)].objects;
    return static_cast<std::size_t>(col) < objects.size() ? objects[static_cast<std::size_t>(col)] : NoObject;
}

void EditGridModel::SetObject(int col, int row, std::any object) {
    if (!InTable(col, row))
        return;
    auto& objects = FRows[static_cast<std::size_t>(row)].objects;
    objects.resize(static_cast<std::size_t>(FColCount));
    objects[static_cast<std::size_t>(col)] = std::move(object);
}

void EditGridModel::AddRow() {
    FRows.push_back(NewRow());
    FModified = true;
}

void EditGridModel::InsertRow(int index) {
    index = std::clamp(index, 0, RowCount());
    FRows.insert(FRows.begin() + index, NewRow());
    FModified = true;
}

void EditGridModel::MoveRow(int fromIndex, int toIndex) {
    if (fromIndex < 0 || fromIndex >= RowCount() || toIndex < 0 || toIndex >= RowCount())
        return;
    Row moved = std::move(FRows[static_cast<std::size_t>(fromIndex)]);
    FRows.erase(FRows.begin() + fromIndex);
    FRows.insert(FRows.begin() + toIndex, std::move(moved));
    FModified = true;
}

EditGridModel::Removal EditGridModel::DeleteRow(int index, int currentRow) {
    // A fixed row (or one that does not exist) is left alone: removing the title row
    // would turn the first entry into titles.
    if (currentRow < FFixedRows || index < FFixedRows || index >= RowCount())
        return Removal::None;
    FModified = true;
    if (index == FFixedRows && index == RowCount() - 1) {
        EmptyRow(FRows[static_cast<std::size_t>(index)]);
        return Removal::Emptied;
    }
    FRows.erase(FRows.begin() + index);
    return Removal::Removed;
}

EditGridModel::Removal EditGridModel::DeleteColumn(int index, int currentCol) {
    if (currentCol < FFixedCols || index < FFixedCols || index >= FColCount)
        return Removal::None;
    FModified = true;
    // The column at ColCount - FixedCols stays, emptied; so does the only data column
    // whatever the number of fixed columns.
    if (index == FColCount - FFixedCols || FColCount - FFixedCols <= 1) {
        for (Row& row : FRows) {
            row.cells[static_cast<std::size_t>(index)].clear();
            if (static_cast<std::size_t>(index) < row.objects.size())
                row.objects[static_cast<std::size_t>(index)].reset();
        }
        return Removal::Emptied;
    }
    for (Row& row : FRows) {
        row.cells.erase(row.cells.begin() + index);
        if (static_cast<std::size_t>(index) < row.objects.size())
            row.objects.erase(row.objects.begin() + index);
    }
    --FColCount;
    return Removal::Removed;
}

void EditGridModel::SortByColumn(int column, bool ascending) {
    if (column < 0 || column >= FColCount)
        return;
    const int first = FFixedRows;
    const int count = RowCount() - first;
    if (count > 1) {
        std::vector<std::string> keys;
        keys.reserve(static_cast<std::size_t>(count));
        for (int r = first; r < RowCount(); ++r)
            keys.push_back(SortKey(Cell(column, r)));
        std::vector<int> order(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            order[static_cast<std::size_t>(i)] = i;
        QuickSortRows(keys, order, 0, count - 1);
        if (!ascending)
            std::reverse(order.begin(), order.end());
        // Rows exchange their texts and objects over all columns, fixed ones included.
        std::vector<Row> sorted;
        sorted.reserve(static_cast<std::size_t>(count));
        for (int from : order)
            sorted.push_back(std::move(FRows[static_cast<std::size_t>(first + from)]));
        std::move(sorted.begin(), sorted.end(), FRows.begin() + first);
    }
    FModified = true;
}

std::string EditGridModel::DelimitedText(char delimiter, bool withTitle) const {
    std::string out;
    DelimitedRow cells;
    auto rowCells = [&](int r) -> const DelimitedRow& {
        const auto& row = FRows[static_cast<std::size_t>(r)].cells;
        cells.assign(row.begin() + FFixedCols, row.end());
        return cells;
    };
    if (withTitle)
        AppendDelimitedTitles(out, rowCells(0), delimiter);
    for (int r = FFixedRows; r < RowCount(); ++r)
        AppendDelimitedRow(out, rowCells(r), delimiter);
    return out;
}

void EditGridModel::SaveToDelimitedFile(const std::string& path, char delimiter, bool withTitle) const {
    const std::string out = DelimitedText(delimiter, withTitle);
    if (path.empty())
        return;
    // The whole file goes to a temporary file in the same folder, then replaces the
    // target, so a failed save leaves the old file as it was. A read-only file counts
    // as one that cannot be created, as it does on Windows.
    if (platform::IsReadOnlyFile(path))
        throw EFCreateError(path, "The file is read-only.");
    if (!platform::ReplaceTextFile(path, out))
        throw EFCreateError(path, platform::LastFileErrorText());
}

bool EditGridModel::LoadFromDelimitedFile(const std::string& path, char delimiter, bool withTitle) {
    if (!platform::FileExists(path))
        return false;
    std::string data;
    if (!platform::ReadTextFile(path, data))
        throw EFOpenError(path, platform::LastFileErrorText());
    LoadDelimitedText(data, delimiter, withTitle);
    return true;
}

void EditGridModel::LoadDelimitedText(const std::string& data, char delimiter, bool withTitle) {
    const std::vector<std::string> lines = SplitLines(data);
    // Every cell is emptied, fixed ones included; the rows the file does not fill go.
    FRows.assign(static_cast<std::size_t>(FFixedRows + 1), NewRow());
    int start = FFixedRows;
    const int fields = FColCount - FFixedCols;
    auto fill = [&](int row, const std::string& line) {
        DelimitedRow values = SplitFields(line, delimiter, fields);
        auto& cells = FRows[static_cast<std::size_t>(row)].cells;
        std::move(values.begin(), values.end(), cells.begin() + FFixedCols);
    };
    if (withTitle && !lines.empty()) {
        fill(0, lines.front());
        --start;
    }
    const int lineCount = static_cast<int>(std::min<std::size_t>(lines.size(), INT_MAX / 2));
    if (start + lineCount > RowCount())
        FRows.resize(static_cast<std::size_t>(start + lineCount), NewRow());
    // With a title line but no fixed row, line 0 went to row 0 above and line 1 takes
    // that row now.
    for (int k = std::max(0, -start); k < lineCount; ++k)
        fill(start + k, lines[static_cast<std::size_t>(k)]);
    FModified = true;
}

bool EditGridModel::NewRowKey(int currentRow) {
    if (currentRow < 0 || currentRow != RowCount() - 1)
        return false;
    bool add = NewRowOnKeyDown == kdAlways;
    if (NewRowOnKeyDown == kdLastRowNotEmpty) {
        const auto& cells = FRows[static_cast<std::size_t>(currentRow)].cells;
        add = std::any_of(cells.begin(), cells.end(), [](const std::string& s) { return !s.empty(); });
    }
    if (add)
        FRows.push_back(NewRow());
    return add;
}

bool EditGridModel::TitleClick(int col) {
    if (SortOnTitleClick == tcNone || FFixedRows < 1 || col < 0 || col >= FColCount)
        return false;
    SortByColumn(col, FNextTitleSortAscending);
    FNextTitleSortAscending = !FNextTitleSortAscending;
    return true;
}

// In-place edits set Modified whether or not EOLToSpace is on.
void EditGridModel::EditedTextStored(int col, int row, std::string text, bool editorChanged) {
    SetCell(col, row, EOLToSpace ? SpacedLineBreaks(std::move(text)) : std::move(text));
    if (!FModified)
        FModified = editorChanged;
}

} // namespace quillet::widgets
