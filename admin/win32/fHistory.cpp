#include "admin/win32/fHistory.h"

#include "admin/HistoryLayout.h"

#include "platform/Files.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/MessageLoop.h"
#include "ui/win32/WebLinks.h"
#include "ui/win32/Win32Prompts.h"
#include "widgets/win32/TimeChart.h"

#include <commctrl.h>

#include <algorithm>

namespace quillet::admin {

using platform::win32::Wide;
using ui::win32::Guarded;

namespace {

constexpr UINT WmLoaded = WM_APP + 1;
constexpr UINT_PTR TimerWatch = 1;
const char ChartClass[] = "QuilletChart";
constexpr int MeasuredRows = 200; // columns fit the newest rows, which show first

COLORREF ColourOf(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

SYSTEMTIME SystemTimeOf(Date date) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(m);
    t.wDay = static_cast<WORD>(d);
    return t;
}

SIZE Extent(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// The chart keeps the font the layout gives it, as controls do.
LRESULT CALLBACK ChartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETFONT)
        SetWindowLongPtrW(window, 0, static_cast<LONG_PTR>(wParam));
    if (message == WM_GETFONT)
        return GetWindowLongPtrW(window, 0);
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(window, 0)));
    SetBkMode(dc, TRANSPARENT);
    if (const auto* chart = reinterpret_cast<const HistoryChart*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        Guarded([&] { widgets::DrawTimeChart(dc, area, *chart); });
    SelectObject(dc, font);
    EndPaint(window, &paint);
    return 0;
}

void RegisterChartClass() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW; // drawn whole at every size
        wc.lpfnWndProc = ChartProc;
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.hInstance = ui::win32::Instance();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = L"QuilletChart";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

TfrmHistory::TfrmHistory(std::function<std::string()> compactorPath)
    : presenter_(*this, std::move(compactorPath)) {
    RegisterChartClass();
    create("QuilletHistory", HistoryCaption, WS_OVERLAPPEDWINDOW, 0, nullptr);
    createControls();
    SetTimer(hwnd(), TimerWatch, HistoryPresenter::WatchMilliseconds, nullptr);
}

TfrmHistory::~TfrmHistory() {
    KillTimer(hwnd(), TimerWatch);
}

// Each label before its box, so that its mnemonic reaches the box.
void TfrmHistory::createControls() {
    auto& l = layout_;
    const DWORD combo = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    const DWORD picker = WS_VISIBLE | WS_TABSTOP;
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    HWND* const boxes[] = {&cbConfiguration, &cbDatabase, &cbOutcome, &dtFrom, &dtTo};
    for (int i = 0; i < 5; ++i) {
        filterRow_[2 * i] = l.add("STATIC", HistoryFilterLabels[i], WS_VISIBLE, 0, 0, 0, 0);
        filterRow_[2 * i + 1] = *boxes[i] = i < 3 ? l.add("COMBOBOX", "", combo, 0, 0, 0, 0, idConfiguration + i)
                                                  : l.add("SysDateTimePick32", "", picker, 0, 0, 0, 0, idConfiguration + i);
    }
    filterRow_[10] = l.add("STATIC", HistoryFilterLabels[5], 0, 0, 0, 0, 0);
    filterRow_[11] = cbMachine = l.add("COMBOBOX", "", combo & ~WS_VISIBLE, 0, 0, 0, 0, idMachine);
    static const std::wstring format = Wide(DateFormat);
    for (HWND date : {dtFrom, dtTo})
        SendMessageW(date, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format.c_str()));
    tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, hwnd(), nullptr,
                            ui::win32::Instance(), nullptr);
    for (HWND filter : {cbConfiguration, cbDatabase}) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(filter);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    btnSpreadsheet = l.add("BUTTON", SpreadsheetLabel, button, 0, 0, 0, 0, idSpreadsheet);
    btnShowFile = l.add("BUTTON", ShowFileLabel, button, 0, 0, 0, 0, idShowFile);
    lblTotals = l.add("STATIC", "", WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0);
    lblFile = l.add("STATIC", "", WS_VISIBLE | SS_ENDELLIPSIS | SS_NOPREFIX, 0, 0, 0, 0);
    Table = l.add("SysListView32", "",
                  WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 0,
                  0, idTable, WS_EX_CLIENTEDGE);
    SendMessageW(Table, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    for (int c = 0; c < HistoryColumnCount; ++c) {
        const auto which = static_cast<HistoryColumn>(c);
        std::wstring title = Wide(HistoryColumnTitle(which));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = which >= HistoryColumn::SizeBefore && which <= HistoryColumn::Seconds ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = l.px(80);
        column.pszText = title.data();
        SendMessageW(Table, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    int order[HistoryColumnCount];
    order[0] = static_cast<int>(HistoryColumn::Machine);
    for (int c = 1; c < HistoryColumnCount; ++c)
        order[c] = c - 1;
    SendMessageW(Table, LVM_SETCOLUMNORDERARRAY, HistoryColumnCount, reinterpret_cast<LPARAM>(order));
    lstMachines = l.add("SysListView32", "", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER, 0, 0, 0, 0,
                        idMachines, WS_EX_CLIENTEDGE);
    SendMessageW(lstMachines, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int c = 0; c < static_cast<int>(std::size(MachineListTitles)); ++c) {
        std::wstring title = Wide(MachineListTitles[c]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = l.px(70);
        column.pszText = title.data();
        SendMessageW(lstMachines, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    SizeChart = l.add(ChartClass, "", WS_VISIBLE, 0, 0, 0, 0);
    SavedChart = l.add(ChartClass, "", WS_VISIBLE, 0, 0, 0, 0);
    SetWindowLongPtrW(SizeChart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&sizeChart_));
    SetWindowLongPtrW(SavedChart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&savedChart_));
    lblLog = l.add("STATIC", "error.log", WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0);
    memLog = l.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY, 0, 0,
                   0, 0, 0, WS_EX_CLIENTEDGE);
    // No larger than the screen's work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int dpi = static_cast<int>(l.dpi());
    l.sizeClient(std::min(HistoryDefaultWidth, MulDiv(work.right - work.left, 96, dpi) - 16),
                 std::min(HistoryDefaultHeight, MulDiv(work.bottom - work.top, 96, dpi) - 48));
    arrange();
}

void TfrmHistory::arrange() {
    if (!memLog)
        return; // still being made
    RECT client{};
    GetClientRect(hwnd(), &client);
    auto& l = layout_;
    const int dpi = static_cast<int>(l.dpi());
    int labels[HistoryFilterCount];
    HDC dc = GetDC(hwnd());
    HGDIOBJ font = SelectObject(dc, l.font());
    for (int i = 0; i < HistoryFilterCount; ++i)
        labels[i] = MulDiv(Extent(dc, Wide(ui::win32::WindowText(filterRow_[2 * i]))).cx, 96, dpi);
    SelectObject(dc, font);
    ReleaseDC(hwnd(), dc);
    const HistoryPlaces p =
        PlaceHistory(MulDiv(client.right, 96, dpi), MulDiv(client.bottom, 96, dpi), labels, !machines_.empty());
    auto put = [&](HWND control, const Spot& at) { l.move(control, at.x, at.y, at.width, at.height); };
    for (int i = 0; i < HistoryFilterCount; ++i)
        put(filterRow_[2 * i], p.labels[i]), put(filterRow_[2 * i + 1], p.boxes[i]);
    const std::pair<HWND, const Spot&> rest[] = {
        {btnShowFile, p.showFile}, {btnSpreadsheet, p.spreadsheet}, {lblTotals, p.totals}, {lblFile, p.file},
        {Table, p.table},          {lstMachines, p.machines},       {SizeChart, p.sizeChart},
        {SavedChart, p.savedChart}, {lblLog, p.logTitle},            {memLog, p.log}};
    for (const auto& [control, at] : rest)
        put(control, at);
}

// Every column as wide as its title and the widest of the first rows.
void TfrmHistory::sizeColumns() {
    const HistoryQuery& query = presenter_.Query();
    HDC dc = GetDC(Table);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Table, WM_GETFONT, 0, 0)));
    for (int c = 0; c < HistoryColumnCount; ++c) {
        const auto column = static_cast<HistoryColumn>(c);
        if (column == HistoryColumn::Machine && !query.acrossMachines()) {
            SendMessageW(Table, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), 0);
            continue;
        }
        int widest = Extent(dc, Wide(HistoryColumnTitle(column))).cx + layout_.px(20);
        for (std::size_t row = 0; row < std::min<std::size_t>(query.rowCount(), MeasuredRows); ++row)
            widest = std::max<int>(widest, Extent(dc, Wide(query.cellText(row, column))).cx + layout_.px(14));
        SendMessageW(Table, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), widest);
    }
    SelectObject(dc, font);
    ReleaseDC(Table, dc);
}

void TfrmHistory::Show(HWND owner) {
    Guarded([&] {
        SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
        if (!IsWindowVisible(hwnd()))
            ui::win32::CentreOnScreen(hwnd());
        ShowWindow(hwnd(), SW_SHOW);
        SetForegroundWindow(hwnd());
        SetFocus(cbConfiguration);
        presenter_.Show();
    });
}

LRESULT TfrmHistory::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) == CBN_SELCHANGE && ((id >= idConfiguration && id <= idOutcome) || id == idMachine))
            presenter_.FilterChosen(id == idMachine ? FilterBox::Machine : static_cast<FilterBox>(id - idConfiguration),
                                    static_cast<std::size_t>(std::max<LRESULT>(
                                        0, SendMessageW(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0))));
        else if (id == idSpreadsheet)
            presenter_.OpenInSpreadsheet();
        else if (id == idShowFile)
            presenter_.ShowFile();
        else if (id == IDCANCEL) // Escape
            presenter_.Close();
        return 0;
    }
    case WM_NOTIFY:
        return notify(reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
        arrange();
        return 0;
    case WM_GETMINMAXINFO: {
        RECT r{0, 0, layout_.px(HistoryMinimumWidth), layout_.px(HistoryMinimumHeight)};
        AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
        return 0;
    }
    case WM_TIMER:
        if (wParam == TimerWatch)
            presenter_.Tick();
        return 0;
    case WmLoaded:
        presenter_.Loaded();
        return 0;
    case WM_CLOSE:
        presenter_.Close();
        return 0;
    default:
        if (message == ui::win32::KeyPreviewMessage()) // Ctrl+1 to Ctrl+9, in any of its controls
            return presenter_.KeyPressed(static_cast<int>(wParam), GetKeyState(VK_CONTROL) < 0);
        return Window::handle(message, wParam, lParam);
    }
}

LRESULT TfrmHistory::notify(NMHDR* header) {
    if (header->code == TTN_GETDISPINFOW) { // a path box's tip: the whole path chosen
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(header);
        const auto& tips = tipsOf_[reinterpret_cast<HWND>(header->idFrom) == cbDatabase];
        const auto chosen = static_cast<std::size_t>(
            SendMessageW(reinterpret_cast<HWND>(header->idFrom), CB_GETCURSEL, 0, 0));
        tip_ = chosen < tips.size() ? Wide(tips[chosen]) : std::wstring();
        tip->lpszText = tip_.data();
        return 0;
    }
    if ((header->hwndFrom == dtFrom || header->hwndFrom == dtTo) && header->code == DTN_DATETIMECHANGE) {
        const SYSTEMTIME& t = reinterpret_cast<NMDATETIMECHANGE*>(header)->st;
        presenter_.DateChosen(header->hwndFrom == dtFrom ? DateBox::From : DateBox::To,
                              EncodeDate(t.wYear, t.wMonth, t.wDay));
        return 0;
    }
    if ((header->hwndFrom == lstMachines || header->hwndFrom == Table) && header->code == NM_CUSTOMDRAW) {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        const auto row = static_cast<std::size_t>(draw->nmcd.dwItemSpec);
        const HistoryQuery& query = presenter_.Query();
        const auto shade = header->hwndFrom == Table
                               ? (row < query.rowCount() ? HighlightOf(query.kindAt(row)) : std::nullopt)
                               : (row < machines_.size() && machines_[row].needsAttention
                                      ? HighlightOf(OutcomeKind::Failed)
                                      : std::nullopt);
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && shade)
            draw->clrTextBk = ColourOf(*shade);
        return CDRF_DODEFAULT;
    }
    if (header->hwndFrom != Table)
        return 0;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        const HistoryQuery& query = presenter_.Query();
        if ((info->item.mask & LVIF_TEXT) && info->item.iItem >= 0 &&
            static_cast<std::size_t>(info->item.iItem) < query.rowCount()) {
            cell_ = Wide(query.cellText(static_cast<std::size_t>(info->item.iItem),
                                        static_cast<HistoryColumn>(info->item.iSubItem)));
            lstrcpynW(info->item.pszText, cell_.c_str(), info->item.cchTextMax);
        }
        return 0;
    }
    case LVN_COLUMNCLICK:
        presenter_.SortClicked(static_cast<HistoryColumn>(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem));
        return 0;
    case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
            if (change->uNewState & LVIS_SELECTED)
                selectedRow_ = change->iItem;
            else if (change->iItem == selectedRow_ || change->iItem < 0)
                selectedRow_ = -1;
            presenter_.RowSelected(selectedRow_ >= 0 ? std::optional<std::size_t>(selectedRow_) : std::nullopt);
        }
        return 0;
    }
    default:
        return 0;
    }
}

// The boxes' identifiers follow FilterBox's order, the machine's apart.
HWND TfrmHistory::box(FilterBox which) const {
    return GetDlgItem(hwnd(), which == FilterBox::Machine ? idMachine : idConfiguration + static_cast<int>(which));
}

void TfrmHistory::showRows() {
    SendMessageW(Table, LVM_SETITEMCOUNT, presenter_.Query().rowCount(), LVSICF_NOSCROLL);
    sizeColumns();
    InvalidateRect(Table, nullptr, FALSE);
}

// Only the rows concerned are touched: asking the list view about its selection or
// every row costs wine a pass over all of them.
void TfrmHistory::showSelection(std::optional<std::size_t> row) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (selectedRow_ >= 0 && (!row || static_cast<std::size_t>(selectedRow_) != *row))
        SendMessageW(Table, LVM_SETITEMSTATE, static_cast<WPARAM>(selectedRow_), reinterpret_cast<LPARAM>(&state));
    selectedRow_ = row ? static_cast<int>(*row) : -1;
    if (row) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(Table, LVM_SETITEMSTATE, *row, reinterpret_cast<LPARAM>(&state));
        SendMessageW(Table, LVM_ENSUREVISIBLE, *row, FALSE);
    }
}

void TfrmHistory::showSort(HistoryColumn column, bool descending) {
    HWND titles = reinterpret_cast<HWND>(SendMessageW(Table, LVM_GETHEADER, 0, 0));
    for (int c = 0; c < HistoryColumnCount; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(titles, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == static_cast<int>(column))
            item.fmt |= descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(titles, HDM_SETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    }
}

void TfrmHistory::showChoices(FilterBox which, const std::vector<FilterChoice>& choices, std::size_t chosen) {
    HWND shown = box(which);
    SendMessageW(shown, CB_RESETCONTENT, 0, 0);
    const bool tipped = which == FilterBox::Configuration || which == FilterBox::Database;
    if (tipped)
        tipsOf_[which == FilterBox::Database].clear();
    HDC dc = GetDC(shown);
    HGDIOBJ font = SelectObject(dc, layout_.font());
    int widest = 0;
    for (const FilterChoice& choice : choices) {
        const std::wstring text = Wide(choice.text);
        SendMessageW(shown, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        widest = std::max<int>(widest, Extent(dc, text).cx);
        if (tipped)
            tipsOf_[which == FilterBox::Database].push_back(choice.tip);
    }
    SelectObject(dc, font);
    ReleaseDC(shown, dc);
    // The list as wide as its longest entry, whatever the box's width.
    SendMessageW(shown, CB_SETDROPPEDWIDTH, widest + GetSystemMetrics(SM_CXVSCROLL) + layout_.px(8), 0);
    SendMessageW(shown, CB_SETCURSEL, chosen, 0);
}

void TfrmHistory::showDates(Date from, Date to) {
    for (const auto& [picker, date] : {std::pair{dtFrom, from}, std::pair{dtTo, to}}) {
        SYSTEMTIME t = SystemTimeOf(date);
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    }
}

void TfrmHistory::showCharts(const HistoryChart& size, const HistoryChart& saved) {
    sizeChart_ = size;
    savedChart_ = saved;
    for (const auto& [chart, data] : {std::pair{SizeChart, &size}, std::pair{SavedChart, &saved}}) {
        ui::win32::SetText(chart, data->title);
        InvalidateRect(chart, nullptr, FALSE);
    }
}

void TfrmHistory::showLog(const LogPane& pane) {
    ui::win32::SetText(lblLog, pane.title);
    SetWindowTextW(memLog, platform::win32::WideCrlf(pane.text).c_str());
}

void TfrmHistory::showMachines(const std::vector<MachineRow>& machines) {
    machines_ = machines;
    const int shown = machines.empty() ? SW_HIDE : SW_SHOW;
    for (HWND control : {filterRow_[10], cbMachine, lstMachines})
        ShowWindow(control, shown);
    SendMessageW(lstMachines, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t row = 0; row < machines.size(); ++row) {
        const MachineRow& m = machines[row];
        const std::string cells[] = {m.name, m.lastGood, m.failingSince, m.state};
        for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
            std::wstring text = Wide(cells[c]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(row);
            item.iSubItem = c;
            item.pszText = text.data();
            SendMessageW(lstMachines, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, c == 0 ? 0 : row,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    for (int c = 0; c < static_cast<int>(std::size(MachineListTitles)); ++c)
        SendMessageW(lstMachines, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), LVSCW_AUTOSIZE_USEHEADER);
    arrange();
}

std::optional<std::string> TfrmHistory::open(const std::string& path) {
    if (ui::win32::UrlOpener::instance().open(path))
        return std::nullopt;
    return platform::LastFileErrorText();
}

void TfrmHistory::warn(const std::string& text) {
    ui::win32::CurrentPrompts().warn(HistoryCaption, text);
}

void TfrmHistory::postLoaded() {
    PostMessageW(hwnd(), WmLoaded, 0, 0);
}

} // namespace quillet::admin
