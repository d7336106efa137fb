#include "ui/win32/ListView.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Layout.h"

#include <algorithm>

namespace quillet::ui::win32 {

using platform::win32::Wide;

TextMeter::TextMeter(HWND control)
    : control_(control), dc_(GetDC(control)),
      font_(SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)))) {}

TextMeter::~TextMeter() {
    SelectObject(dc_, font_);
    ReleaseDC(control_, dc_);
}

int TextMeter::width(const std::string& text) const {
    const std::wstring wide = Wide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

void AddColumns(HWND list, const std::vector<std::string>& titles, int width,
                const std::function<bool(int)>& rightAligned) {
    for (int c = 0; c < static_cast<int>(titles.size()); ++c) {
        std::wstring title = Wide(titles[static_cast<std::size_t>(c)]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = rightAligned && rightAligned(c) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = width;
        column.pszText = title.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
}

void AddRow(HWND list, const std::vector<std::string>& cells) {
    const auto row = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
        std::wstring text = Wide(cells[static_cast<std::size_t>(c)]);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = c;
        item.pszText = text.data();
        SendMessageW(list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, c == 0 ? 0 : static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
}

namespace {

HWND HeaderOf(HWND list) {
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
}

int ColumnCount(HWND list) {
    return static_cast<int>(SendMessageW(HeaderOf(list), HDM_GETITEMCOUNT, 0, 0));
}

std::string ColumnTitle(HWND list, int column) {
    wchar_t text[256] = {};
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return platform::win32::Utf8(text);
}

} // namespace

void ShowSortArrow(HWND list, int column, bool descending) {
    HWND titles = HeaderOf(list);
    for (int c = 0, n = ColumnCount(list); c < n; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(titles, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == column)
            item.fmt |= descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(titles, HDM_SETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    }
}

// The title's room leaves space for the sort arrow.
void FitColumns(HWND list, std::size_t rows, const CellText& cell) {
    const TextMeter meter(list);
    const UINT dpi = DpiOf(list);
    for (int c = 0, n = ColumnCount(list); c < n; ++c) {
        int widest = meter.width(ColumnTitle(list, c)) + Scaled(20, dpi);
        for (std::size_t row = 0; row < rows; ++row)
            widest = std::max(widest, meter.width(cell(row, c)) + Scaled(14, dpi));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), widest);
    }
}

void GiveCellText(NMHDR* header, std::size_t rows, const CellText& cell) {
    auto& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
    if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < rows)
        lstrcpynW(item.pszText, Wide(cell(static_cast<std::size_t>(item.iItem), item.iSubItem)).c_str(),
                  item.cchTextMax);
}

LRESULT ShadeRows(NMHDR* header, const std::function<std::optional<COLORREF>(std::size_t row)>& shade) {
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
        if (const auto colour = shade(static_cast<std::size_t>(draw->nmcd.dwItemSpec)))
            draw->clrTextBk = *colour;
    return CDRF_DODEFAULT;
}

bool TrackSelection(const NMHDR* header, int& selected) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (header->code != LVN_ITEMCHANGED || !(change->uChanged & LVIF_STATE) ||
        !((change->uNewState ^ change->uOldState) & LVIS_SELECTED))
        return false;
    if (change->uNewState & LVIS_SELECTED)
        selected = change->iItem;
    else if (change->iItem == selected || change->iItem < 0)
        selected = -1;
    return true;
}

void SelectOnly(HWND list, int& selected, std::optional<std::size_t> row) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (selected >= 0 && (!row || static_cast<std::size_t>(selected) != *row))
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&state));
    selected = row ? static_cast<int>(*row) : -1;
    if (row) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, *row, reinterpret_cast<LPARAM>(&state));
        SendMessageW(list, LVM_ENSUREVISIBLE, *row, FALSE);
    }
}

} // namespace quillet::ui::win32
