#include "widgets/win32/TEditGrid.h"

#include "platform/win32/WideText.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace quillet::widgets::win32 {

using platform::win32::Utf8;
using platform::win32::Wide;

namespace {

const wchar_t GridClass[] = L"QuilletEditGrid";
const UINT_PTR SubclassId = 1;

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void RegisterGridClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW; // replaced per window once it is created
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = GridClass;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}

// The hourglass, and no redrawing, for as long as a sort takes, however it ends.
class SortGuard {
public:
    explicit SortGuard(HWND list)
        : FList(list), FCursor(SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)))) {
        SendMessageW(FList, WM_SETREDRAW, FALSE, 0);
    }
    ~SortGuard() {
        SendMessageW(FList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(FList, nullptr, TRUE);
        SetCursor(FCursor);
    }
    SortGuard(const SortGuard&) = delete;
    SortGuard& operator=(const SortGuard&) = delete;

private:
    HWND FList;
    HCURSOR FCursor;
};

} // namespace

TEditGrid::TEditGrid(HWND parent, int id, const RECT& bounds) {
    RegisterGridClass();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    FWindow = CreateWindowExW(0, GridClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, bounds.left,
                              bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(FWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TEditGrid::WindowProc));
    // Laid out now: a window created hidden gets no WM_SIZE until it is shown.
    FList = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | LVS_REPORT | LVS_OWNERDATA |
                                LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                            0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top, FWindow, nullptr, instance,
                            nullptr);
    SendMessageW(FList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    SetWindowSubclass(FList, &TEditGrid::ListProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    FCol = FModel.FixedCols();
    ShowColumns();
    Refresh();
    SetCurrentCell(FModel.FixedCols(), FModel.FixedRows());
}

TEditGrid::~TEditGrid() {
    if (FEditor)
        DestroyWindow(FEditor);
    if (FTip)
        DestroyWindow(FTip);
    RemoveWindowSubclass(FList, &TEditGrid::ListProc, SubclassId);
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    DestroyWindow(FWindow);
}

// ---- Showing the model ---------------------------------------------------------

void TEditGrid::ShowColumns() {
    auto* header = reinterpret_cast<HWND>(SendMessageW(FList, LVM_GETHEADER, 0, 0));
    int shown = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (; shown < FModel.ColCount(); ++shown) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = 64;
        column.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(FList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(shown), reinterpret_cast<LPARAM>(&column));
    }
    for (; shown > FModel.ColCount(); --shown)
        SendMessageW(FList, LVM_DELETECOLUMN, static_cast<WPARAM>(shown - 1), 0);
    LONG_PTR style = GetWindowLongPtrW(FList, GWL_STYLE);
    style = FModel.FixedRows() >= 1 ? (style & ~LONG_PTR{LVS_NOCOLUMNHEADER}) : (style | LVS_NOCOLUMNHEADER);
    SetWindowLongPtrW(FList, GWL_STYLE, style);
}

void TEditGrid::ShowTitles() {
    for (int c = 0; c < FModel.ColCount(); ++c) {
        std::wstring title = FModel.FixedRows() >= 1 ? Wide(FModel.Cell(c, 0)) : std::wstring();
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = title.data();
        SendMessageW(FList, LVM_SETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
}

void TEditGrid::Refresh() {
    SendMessageW(FList, LVM_SETITEMCOUNT, static_cast<WPARAM>(std::max(0, ItemOf(FModel.RowCount()))),
                 LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    ShowTitles();
    InvalidateRect(FList, nullptr, TRUE);
}

void TEditGrid::Redraw(int row) {
    if (row < FModel.FixedRows() && FModel.FixedRows() >= 1 && row == 0) {
        ShowTitles();
        return;
    }
    SendMessageW(FList, LVM_REDRAWITEMS, static_cast<WPARAM>(ItemOf(row)), static_cast<LPARAM>(ItemOf(row)));
}

void TEditGrid::SetColCount(int value) {
    CloseEditor(true);
    FModel.SetColCount(value);
    ShowColumns();
    Refresh();
    FCol = std::clamp(FCol, FModel.FixedCols(), LastCol());
}

void TEditGrid::SetRowCount(int value) {
    CloseEditor(true);
    FModel.SetRowCount(value);
    Refresh();
}

void TEditGrid::SetCells(int col, int row, const std::string& text) {
    if (FEditor && col == FEditCol && row == FEditRow && !Typing()) {
        FEditOriginal = Wide(text);
        SetWindowTextW(FEditor, FEditOriginal.c_str());
    }
    FModel.SetCell(col, row, text);
    Redraw(row);
}

bool TEditGrid::Typing() const {
    return FEditor && (SendMessageW(FEditor, EM_GETMODIFY, 0, 0) != 0 || WindowText(FEditor) != FEditOriginal);
}

void TEditGrid::SetColWidths(int col, int width) {
    SendMessageW(FList, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(col), MAKELPARAM(width, 0));
}

void TEditGrid::FitColWidths(std::span<const int> widths, int giver) {
    RECT inside{};
    GetClientRect(FList, &inside);
    const int room = inside.right - GetSystemMetrics(SM_CXVSCROLL);
    int total = 0;
    for (int w : widths)
        total += w;
    for (std::size_t col = 0; col < widths.size(); ++col)
        SetColWidths(static_cast<int>(col),
                     widths[col] - (static_cast<int>(col) == giver ? std::max(0, total - room) : 0));
}

void TEditGrid::SetReachableCols(int count) {
    FReachable = count;
    FCol = std::clamp(FCol, FModel.FixedCols(), LastCol());
}

void TEditGrid::SetPathCol(int col) {
    FPathCol = col;
    if (FTip)
        return;
    FTip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0, FWindow,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = FWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(FList);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(FTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(FTip, TTM_SETMAXTIPWIDTH, 0, 800);
}

// The text as the column can show it: whole, or its end after an ellipsis.
std::wstring TEditGrid::Fitted(std::wstring text, int col) const {
    HDC dc = GetDC(FList);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(FList, WM_GETFONT, 0, 0)));
    const int room = ColWidths(col) - 12;
    auto width = [&](const std::wstring& t) {
        SIZE size{};
        GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
        return static_cast<int>(size.cx);
    };
    if (width(text) > room) {
        text.insert(0, L"\u2026");
        while (text.size() > 2 && width(text) > room)
            text.erase(1, 1);
    }
    SelectObject(dc, font);
    ReleaseDC(FList, dc);
    return text;
}

int TEditGrid::LastCol() const {
    const int count = FReachable < 0 ? FModel.ColCount() : std::min(FReachable, FModel.ColCount());
    return std::max(FModel.FixedCols(), count - 1);
}

int TEditGrid::ColWidths(int col) const {
    return static_cast<int>(SendMessageW(FList, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(col), 0));
}

// ---- The current cell ------------------------------------------------------------

int TEditGrid::Row() const {
    const auto item = static_cast<int>(SendMessageW(FList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    return item < 0 ? -1 : RowOf(item);
}

void TEditGrid::SetCurrentCell(int col, int row) {
    FCol = std::clamp(col, FModel.FixedCols(), LastCol());
    const int item = ItemOf(std::clamp(row, FModel.FixedRows(), FModel.RowCount() - 1));
    if (item < 0)
        return;
    LVITEMW state{};
    state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(FList, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
    SendMessageW(FList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
    InvalidateRect(FList, nullptr, FALSE);
}

void TEditGrid::MoveTo(int col, int row) {
    CloseEditor(true);
    SetCurrentCell(col, row);
    if (OnClick)
        OnClick();
}

bool TEditGrid::CellAt(POINT at, int& col, int& row) const {
    LVHITTESTINFO hit{};
    hit.pt = at;
    if (SendMessageW(FList, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 || hit.iItem < 0)
        return false;
    col = hit.iSubItem;
    row = RowOf(hit.iItem);
    return true;
}

// ---- Operations ----------------------------------------------------------------------

void TEditGrid::AddRow() {
    CloseEditor(true);
    FModel.AddRow();
    Refresh();
}

void TEditGrid::InsertRow(int index) {
    CloseEditor(true);
    FModel.InsertRow(index);
    Refresh();
}

void TEditGrid::DeleteRow(int index) {
    CloseEditor(false);
    const int top = static_cast<int>(SendMessageW(FList, LVM_GETTOPINDEX, 0, 0));
    const int row = Row();
    if (FModel.DeleteRow(index, row) == EditGridModel::Removal::None)
        return;
    Refresh();
    // The current cell stays where it was, or on the last row when that went.
    SetCurrentCell(FCol, std::min(row, FModel.RowCount() - 1));
    const int nowTop = static_cast<int>(SendMessageW(FList, LVM_GETTOPINDEX, 0, 0));
    if (nowTop != top) {
        RECT item{LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(FList, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageW(FList, LVM_SCROLL, 0, (top - nowTop) * (item.bottom - item.top));
    }
}

void TEditGrid::SortByColumn(int column, bool ascending) {
    CloseEditor(true);
    {
        const SortGuard guard(FList);
        FModel.SortByColumn(column, ascending);
    }
    ShowTitles();
}

void TEditGrid::TitleClick(int col) {
    // Text still open in the editor belongs to its row before the rows move.
    CloseEditor(true);
    if (FModel.SortOnTitleClick == tcNone || FModel.FixedRows() < 1)
        return;
    const SortGuard guard(FList);
    FModel.TitleClick(col);
}

void TEditGrid::SaveToDelimitedFile(const std::string& fileName, char delimiter, bool withTitle) {
    FModel.SaveToDelimitedFile(fileName, delimiter, withTitle);
}

void TEditGrid::LoadFromDelimitedFile(const std::string& fileName, char delimiter, bool withTitle) {
    CloseEditor(false);
    const int row = Row();
    if (!FModel.LoadFromDelimitedFile(fileName, delimiter, withTitle))
        return;
    Refresh();
    SetCurrentCell(FCol, std::max(row, FModel.FixedRows()));
}

// ---- The cell editor ------------------------------------------------------------------

void TEditGrid::EditCurrentCell() {
    const int row = Row();
    if (FEditor || row < 0 || IsFixed(FCol, row) || FCol > LastCol())
        return;
    const int item = ItemOf(row);
    SendMessageW(FList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
    RECT cell{LVIR_BOUNDS, FCol, 0, 0};
    SendMessageW(FList, LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
    if (FCol == 0) // sub-item 0's bounds are the whole row
        cell.right = cell.left + ColWidths(0);
    FEditCol = FCol;
    FEditRow = row;
    FEditOriginal = Wide(FModel.Cell(FCol, row));
    FEditor = CreateWindowExW(0, L"EDIT", FEditOriginal.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                              cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top, FList, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SendMessageW(FEditor, WM_SETFONT, static_cast<WPARAM>(SendMessageW(FList, WM_GETFONT, 0, 0)), TRUE);
    SetWindowSubclass(FEditor, &TEditGrid::EditorProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(FEditor, EM_SETSEL, 0, -1);
    SetFocus(FEditor);
}

void TEditGrid::StoreEditorText() {
    const std::wstring text = WindowText(FEditor);
    const bool changed = SendMessageW(FEditor, EM_GETMODIFY, 0, 0) != 0 || text != FEditOriginal;
    FModel.EditedTextStored(FEditCol, FEditRow, Utf8(text), changed);
    // A later store counts only what is typed from now on.
    FEditOriginal = Wide(FModel.Cell(FEditCol, FEditRow));
    SendMessageW(FEditor, EM_SETMODIFY, FALSE, 0);
    Redraw(FEditRow);
    if (OnEdited) {
        // The text is stored: an owner that commits from its handler finds nothing to do.
        const bool was = std::exchange(FStoring, true);
        OnEdited();
        FStoring = was;
    }
}

void TEditGrid::CommitEditorText() {
    if (FEditor && !FStoring)
        StoreEditorText();
}

void TEditGrid::CloseEditor(bool store) {
    if (!FEditor)
        return;
    const HWND editor = std::exchange(FEditor, nullptr);
    if (store) {
        FEditor = editor;
        StoreEditorText();
        FEditor = nullptr;
    }
    const bool hadFocus = GetFocus() == editor;
    RemoveWindowSubclass(editor, &TEditGrid::EditorProc, SubclassId);
    DestroyWindow(editor);
    if (hadFocus)
        SetFocus(FList);
}

// ---- Messages ------------------------------------------------------------------------

LRESULT TEditGrid::Notify(NMHDR* header) {
    if (header->hwndFrom == FTip && header->code == TTN_GETDISPINFOW) {
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(header);
        FTipText.clear();
        if (FTipCell.x == FPathCol && FTipCell.y >= FModel.FixedRows() && FTipCell.y < FModel.RowCount())
            FTipText = Wide(TipText ? TipText(FTipCell.x, FTipCell.y) : FModel.Cell(FTipCell.x, FTipCell.y));
        tip->lpszText = FTipText.data();
        return 0;
    }
    if (header->hwndFrom == FList) {
        switch (header->code) {
        case LVN_GETDISPINFOW: {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
            if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0) {
                FShown = Wide(FModel.Cell(info->item.iSubItem, RowOf(info->item.iItem)));
                if (info->item.iSubItem == FPathCol)
                    FShown = Fitted(std::move(FShown), FPathCol);
                lstrcpynW(info->item.pszText, FShown.c_str(), info->item.cchTextMax);
            }
            return 0;
        }
        case LVN_COLUMNCLICK:
            TitleClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
            return 0;
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
            if ((change->uNewState & LVIS_FOCUSED) && !(change->uOldState & LVIS_FOCUSED) && OnClick)
                OnClick();
            return 0;
        }
        case NM_CUSTOMDRAW: {
            // The current cell stands out from its selected row.
            auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
                return CDRF_NOTIFYITEMDRAW;
            if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
                return CDRF_NOTIFYSUBITEMDRAW;
            if (draw->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
                const int row = RowOf(static_cast<int>(draw->nmcd.dwItemSpec));
                const bool fixed = IsFixed(draw->iSubItem, row);
                const bool current = row == Row() && draw->iSubItem == FCol;
                draw->clrTextBk = fixed ? GetSysColor(COLOR_BTNFACE) : current ? GetSysColor(COLOR_HIGHLIGHT)
                                                                             : GetSysColor(COLOR_WINDOW);
                draw->clrText = current                                       ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                : IsMarked && IsMarked(draw->iSubItem, row) ? RGB(200, 0, 0)
                                                                            : GetSysColor(COLOR_WINDOWTEXT);
                // Without this the whole selected row is painted in the selection colour.
                draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
                return CDRF_NEWFONT;
            }
            return CDRF_DODEFAULT;
        }
        default:
            break;
        }
    }
    if ((header->code == HDN_ITEMCHANGEDW || header->code == HDN_ITEMCHANGEDA) && OnColWidthsChanged &&
        (reinterpret_cast<NMHEADERW*>(header)->pitem->mask & HDI_WIDTH))
        OnColWidthsChanged(*this);
    return 0;
}

// Keys of the list view itself (no editor open). True when handled here.
bool TEditGrid::ListKey(WPARAM key) {
    const int row = Row();
    const int first = FModel.FixedCols();
    const int last = LastCol();
    switch (key) {
    case VK_F2:
        EditCurrentCell();
        return true;
    case VK_LEFT:
        MoveTo(std::max(first, FCol - 1), row);
        return true;
    case VK_RIGHT:
        MoveTo(std::min(last, FCol + 1), row);
        return true;
    case VK_DOWN:
        // May add a row first; the list view then moves into it.
        if (FModel.NewRowKey(row))
            Refresh();
        return false;
    case VK_TAB: {
        // Across the row's cells, then on to the window's next control: Tab never
        // keeps the focus in the grid, whatever its length.
        const bool back = GetKeyState(VK_SHIFT) < 0;
        if (!back && FCol == last && FModel.NewRowKey(row)) {
            Refresh();
            MoveTo(first, row + 1);
        } else if (back ? FCol > first : FCol < last) {
            MoveTo(FCol + (back ? -1 : 1), row);
        } else {
            CloseEditor(true);
            const HWND top = GetAncestor(FWindow, GA_ROOT);
            if (const HWND next = GetNextDlgTabItem(top, FWindow, back ? TRUE : FALSE); next && next != FWindow)
                SetFocus(next);
        }
        return true;
    }
    default:
        return false;
    }
}

LRESULT CALLBACK TEditGrid::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* grid = reinterpret_cast<TEditGrid*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (grid) {
        switch (message) {
        case WM_NOTIFY:
            return grid->Notify(reinterpret_cast<NMHDR*>(lParam));
        case WM_SIZE:
            MoveWindow(grid->FList, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            SetFocus(grid->FEditor ? grid->FEditor : grid->FList);
            return 0;
        case WM_APP: // the editor lost the focus; its text is stored already
            if (grid->FEditor && grid->FEditor == reinterpret_cast<HWND>(lParam) &&
                GetFocus() != grid->FEditor)
                grid->CloseEditor(false);
            return 0;
        case WM_DROPFILES: // files dropped on the list view go to the grid's owner
            return SendMessageW(GetParent(window), message, wParam, lParam);
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TEditGrid::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* grid = reinterpret_cast<TEditGrid*>(data);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        if (grid->ListKey(wParam))
            return 0;
        break;
    case WM_CHAR:
        // Typing into the current cell opens its editor with what was typed.
        if (wParam >= 32 && !grid->FEditor) {
            grid->EditCurrentCell();
            if (grid->FEditor) {
                SetWindowTextW(grid->FEditor, L"");
                SendMessageW(grid->FEditor, WM_CHAR, wParam, lParam);
            }
            return 0;
        }
        if (wParam == L'\t' || wParam == L'\r')
            return 0;
        break;
    case WM_MOUSEMOVE:
        if (grid->FTip) { // a new cell, a new tip
            POINT cell{-1, -1};
            int col = -1, row = -1;
            if (grid->CellAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, col, row))
                cell = {col, row};
            if (cell.x != grid->FTipCell.x || cell.y != grid->FTipCell.y) {
                grid->FTipCell = cell;
                SendMessageW(grid->FTip, TTM_POP, 0, 0);
            }
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        int col = 0;
        int row = 0;
        if (grid->CellAt(at, col, row)) {
            grid->CloseEditor(true);
            const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
            grid->FCol = std::clamp(col, grid->FModel.FixedCols(), grid->LastCol());
            InvalidateRect(list, nullptr, FALSE);
            if (grid->OnClick)
                grid->OnClick();
            if (message == WM_LBUTTONDBLCLK && col == grid->FCol)
                grid->EditCurrentCell();
            return result;
        }
        break;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
        grid->CloseEditor(true);
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

LRESULT CALLBACK TEditGrid::EditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
    auto* grid = reinterpret_cast<TEditGrid*>(data);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_RETURN:
            grid->CloseEditor(true);
            return 0;
        case VK_ESCAPE:
            grid->CloseEditor(false);
            return 0;
        case VK_TAB:
        case VK_DOWN:
        case VK_UP:
            // Leaves the cell as the same key would in the list.
            grid->CloseEditor(true);
            if (!grid->ListKey(wParam))
                SendMessageW(grid->FList, WM_KEYDOWN, wParam, lParam);
            return 0;
        default:
            break;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\t' || wParam == 27)
            return 0; // no beep
        break;
    case WM_KILLFOCUS:
        // Leaving the editor stores its text; it closes later, since a window may
        // not be destroyed while it loses the focus.
        if (grid->FEditor == editor) {
            grid->StoreEditorText();
            PostMessageW(grid->FWindow, WM_APP, 0, reinterpret_cast<LPARAM>(editor));
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(editor, message, wParam, lParam);
}

} // namespace quillet::widgets::win32
