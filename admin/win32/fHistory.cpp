#include "admin/win32/fHistory.h"

#include "admin/HistoryLayout.h"

#include "platform/Files.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/MessageLoop.h"
#include "ui/win32/WebLinks.h"
#include "widgets/win32/TimeChart.h"

#include <commctrl.h>

#include <algorithm>

namespace quillet::admin {

using platform::win32::Wide;
using ui::win32::Guarded;

namespace {

constexpr UINT WmLoaded = WM_APP + 1;
constexpr UINT_PTR TimerWatch = 1;
constexpr std::size_t MeasuredRows = 200; // columns fit the newest rows, which show first

std::optional<COLORREF> ColourOf(std::optional<Rgb> c) {
    return c ? std::optional<COLORREF>(RGB(c->r, c->g, c->b)) : std::nullopt;
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

} // namespace

TfrmHistory::TfrmHistory(std::function<std::string()> compactorPath)
    : presenter_(*this, std::move(compactorPath)) {
    widgets::RegisterTimeChartClass();
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
                                                  : l.add("SysDateTimePick32", "", picker, 0, 0, 0, 0, idFrom + i - 3);
    }
    filterRow_[10] = l.add("STATIC", HistoryFilterLabels[5], 0, 0, 0, 0, 0);
    filterRow_[11] = cbMachine = l.add("COMBOBOX", "", combo & ~WS_VISIBLE, 0, 0, 0, 0, idMachine);
    static const std::wstring format = Wide(DateFormat);
    for (HWND date : {dtFrom, dtTo})
        SendMessageW(date, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format.c_str()));
    tips_.add(cbConfiguration);
    tips_.add(cbDatabase);
    btnSpreadsheet = l.add("BUTTON", SpreadsheetLabel, button, 0, 0, 0, 0, idSpreadsheet);
    btnShowFile = l.add("BUTTON", ShowFileLabel, button, 0, 0, 0, 0, idShowFile);
    lblTotals = l.add("STATIC", "", WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0);
    lblFile = l.add("STATIC", "", WS_VISIBLE | SS_ENDELLIPSIS | SS_NOPREFIX, 0, 0, 0, 0);
    Table = l.add("SysListView32", "",
                  WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 0,
                  0, idTable, WS_EX_CLIENTEDGE);
    SendMessageW(Table, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    ui::win32::AddColumns(Table, HistoryColumnTitles(), l.px(80),
                          [](int c) { return HistoryColumnIsFigure(static_cast<HistoryColumn>(c)); });
    int order[HistoryColumnCount];
    order[0] = static_cast<int>(HistoryColumn::Machine);
    for (int c = 1; c < HistoryColumnCount; ++c)
        order[c] = c - 1;
    SendMessageW(Table, LVM_SETCOLUMNORDERARRAY, HistoryColumnCount, reinterpret_cast<LPARAM>(order));
    lstMachines = l.add("SysListView32", "", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER, 0, 0, 0, 0,
                        idMachines, WS_EX_CLIENTEDGE);
    SendMessageW(lstMachines, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    ui::win32::AddColumns(lstMachines, MachineListTitles, l.px(70));
    SizeChart = l.add(widgets::TimeChartClass, "", WS_VISIBLE, 0, 0, 0, 0);
    SavedChart = l.add(widgets::TimeChartClass, "", WS_VISIBLE, 0, 0, 0, 0);
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
    const ui::win32::TextMeter meter(filterRow_[0]);
    for (int i = 0; i < HistoryFilterCount; ++i)
        labels[i] = MulDiv(meter.width(ui::win32::WindowText(filterRow_[2 * i])), 96, dpi);
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
        if (HIWORD(wParam) == CBN_SELCHANGE && id >= idConfiguration && id <= idMachine)
            presenter_.FilterChosen(static_cast<FilterBox>(id - idConfiguration),
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
    if (tips_.notify(header))
        return 0;
    if ((header->hwndFrom == dtFrom || header->hwndFrom == dtTo) && header->code == DTN_DATETIMECHANGE) {
        const SYSTEMTIME& t = reinterpret_cast<NMDATETIMECHANGE*>(header)->st;
        presenter_.DateChosen(header->hwndFrom == dtFrom ? DateBox::From : DateBox::To,
                              EncodeDate(t.wYear, t.wMonth, t.wDay));
        return 0;
    }
    const HistoryQuery& query = presenter_.Query();
    if (header->hwndFrom == lstMachines && header->code == NM_CUSTOMDRAW)
        return ui::win32::ShadeRows(header, [&](std::size_t row) {
            return row < machines_.size() ? ColourOf(HighlightOf(machines_[row])) : std::nullopt;
        });
    if (header->hwndFrom != Table)
        return 0;
    if (header->code == NM_CUSTOMDRAW)
        return ui::win32::ShadeRows(header, [&](std::size_t row) {
            return row < query.rowCount() ? ColourOf(HighlightOf(query.kindAt(row))) : std::nullopt;
        });
    if (header->code == LVN_GETDISPINFOW)
        ui::win32::GiveCellText(header, query.rowCount(), [&](std::size_t row, int column) {
            return query.cellText(row, static_cast<HistoryColumn>(column));
        });
    else if (header->code == LVN_COLUMNCLICK)
        presenter_.SortClicked(static_cast<HistoryColumn>(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem));
    else if (ui::win32::TrackSelection(header, selectedRow_))
        presenter_.RowSelected(selectedRow_ >= 0 ? std::optional<std::size_t>(selectedRow_) : std::nullopt);
    return 0;
}

HWND TfrmHistory::box(FilterBox which) const {
    return GetDlgItem(hwnd(), idConfiguration + static_cast<int>(which));
}

void TfrmHistory::showRows() {
    const HistoryQuery& query = presenter_.Query();
    SendMessageW(Table, LVM_SETITEMCOUNT, query.rowCount(), LVSICF_NOSCROLL);
    ui::win32::FitColumns(Table, std::min(query.rowCount(), MeasuredRows), [&](std::size_t row, int column) {
        return query.cellText(row, static_cast<HistoryColumn>(column));
    });
    if (!query.acrossMachines())
        SendMessageW(Table, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(HistoryColumn::Machine), 0);
    InvalidateRect(Table, nullptr, FALSE);
}

void TfrmHistory::showChoices(FilterBox which, const std::vector<FilterChoice>& choices, std::size_t chosen) {
    std::vector<std::string> texts, tips;
    for (const FilterChoice& choice : choices) {
        texts.push_back(choice.text);
        tips.push_back(choice.tip);
    }
    ui::win32::FillCombo(box(which), texts, chosen);
    tips_.set(box(which), std::move(tips));
}

void TfrmHistory::showDates(Date from, Date to) {
    for (const auto& [picker, date] : {std::pair{dtFrom, from}, std::pair{dtTo, to}}) {
        SYSTEMTIME t = SystemTimeOf(date);
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    }
}

void TfrmHistory::showCharts(const HistoryChart& size, const HistoryChart& saved) {
    widgets::ShowTimeChart(SizeChart, size);
    widgets::ShowTimeChart(SavedChart, saved);
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
    for (const MachineRow& machine : machines)
        ui::win32::AddRow(lstMachines, machine.cells());
    ui::win32::FitColumns(lstMachines, machines.size(), [&](std::size_t row, int column) {
        return machines[row].cells()[static_cast<std::size_t>(column)];
    });
    arrange();
}

std::optional<std::string> TfrmHistory::open(const std::string& path) {
    if (ui::win32::UrlOpener::instance().open(path))
        return std::nullopt;
    return platform::LastFileErrorText();
}

void TfrmHistory::postLoaded() {
    PostMessageW(hwnd(), WmLoaded, 0, 0);
}

} // namespace quillet::admin
