// Report-style list views in UTF-8: columns from their titles, rows from their texts,
// the sort arrow, columns fitted to their text, rows shaded as the caller says, an
// owner-data list's texts, and a single selection kept from the notifications.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::ui::win32 {

// Text measured in a control's own font, in device pixels.
class TextMeter {
public:
    explicit TextMeter(HWND control);
    ~TextMeter();
    TextMeter(const TextMeter&) = delete;
    TextMeter& operator=(const TextMeter&) = delete;
    int width(const std::string& text) const;

private:
    HWND control_;
    HDC dc_;
    HGDIOBJ font_;
};

using CellText = std::function<std::string(std::size_t row, int column)>;

// Columns `width` device pixels wide; rightAligned(column) for figures.
void AddColumns(HWND list, const std::vector<std::string>& titles, int width,
                const std::function<bool(int)>& rightAligned = {});
void AddRow(HWND list, const std::vector<std::string>& cells);
// The header's sort arrow on `column` alone.
void ShowSortArrow(HWND list, int column, bool descending);
// Every column as wide as its title and the widest of the first `rows` rows' texts.
void FitColumns(HWND list, std::size_t rows, const CellText& cell);

// For an owner-data list's LVN_GETDISPINFOW: the cell's text, within `rows`.
void GiveCellText(NMHDR* header, std::size_t rows, const CellText& cell);
// For NM_CUSTOMDRAW: each row's background as shade(row) says, the default where it says none.
LRESULT ShadeRows(NMHDR* header, const std::function<std::optional<COLORREF>(std::size_t row)>& shade);

// A single-selection list's selected row kept from its notifications, since asking the
// list view about its selection costs wine a pass over every row. True when an
// LVN_ITEMCHANGED changed it.
bool TrackSelection(const NMHDR* header, int& selected);
// Selects `row` alone, touching only the rows concerned, and scrolls it into view.
void SelectOnly(HWND list, int& selected, std::optional<std::size_t> row);

} // namespace quillet::ui::win32
