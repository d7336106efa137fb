#include "admin/win32/fHistory.h"

#include "core/Include.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/WebLinks.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <mutex>
#include <set>

namespace quillet::admin {

using platform::win32::Wide;
using platform::win32::WideCrlf;
using ui::win32::Guarded;

namespace {

constexpr UINT WmLoaded = WM_APP + 1;
constexpr UINT_PTR TimerWatch = 1;
const char Caption[] = "Compaction History";
const char ChartClass[] = "QuilletChart";
const int ColumnWidths[HistoryColumnCount] = {110, 150, 170, 80, 80, 80, 70, 60, 200};

std::mutex g_resultLock;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Days as Date counts them, from seconds since 1970.
double DayOf(std::int64_t unixSeconds) {
    return static_cast<double>(unixSeconds) / 86400.0 + 25569.0;
}

ChartLine LineOf(COLORREF colour, const char* name, const std::vector<ChartPoint>& points) {
    ChartLine line{colour, name, {}};
    for (const ChartPoint& p : points)
        line.points.emplace_back(DayOf(p.unixSeconds), p.megabytes);
    return line;
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

std::optional<Date> PickedDate(HWND picker) {
    SYSTEMTIME t{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t)) != GDT_VALID)
        return std::nullopt;
    return EncodeDate(t.wYear, t.wMonth, t.wDay);
}

// The chart: each line over the days it covers, scaled to the window, with its name.
LRESULT CALLBACK ChartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    const auto* data = reinterpret_cast<const ChartData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(GetParent(window), WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    if (data) {
        RECT title{area.left + 6, area.top + 3, area.right - 6, area.top + 18};
        DrawTextW(dc, Wide(data->title).c_str(), -1, &title, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        double minX = 1e300, maxX = -1e300, maxY = 0;
        for (const ChartLine& line : data->lines)
            for (const auto& [x, y] : line.points) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                maxY = std::max(maxY, y);
            }
        const RECT plot{area.left + 62, area.top + 22, area.right - 12, area.bottom - 22};
        MoveToEx(dc, plot.left, plot.top, nullptr);
        LineTo(dc, plot.left, plot.bottom);
        LineTo(dc, plot.right, plot.bottom);
        if (minX <= maxX) {
            if (minX == maxX)
                minX -= 0.5, maxX += 0.5; // half a day each side of a lone point
            maxY = maxY > 0 ? maxY * 1.1 : 1;
            auto at = [&](double x, double y) {
                return POINT{plot.left + static_cast<LONG>((x - minX) / (maxX - minX) * (plot.right - plot.left)),
                             plot.bottom - static_cast<LONG>(y / maxY * (plot.bottom - plot.top))};
            };
            wchar_t label[64];
            std::swprintf(label, 64, L"%.0f MB", maxY);
            RECT top{area.left + 2, plot.top - 6, plot.left - 2, plot.top + 10};
            DrawTextW(dc, label, -1, &top, DT_RIGHT | DT_SINGLELINE);
            // The first day under the axis's start, the last one ending at its end.
            RECT below{plot.left, plot.bottom + 3, plot.right, plot.bottom + 18};
            DrawTextW(dc, Wide(DateToDashText(static_cast<Date>(minX))).c_str(), -1, &below, DT_LEFT | DT_SINGLELINE);
            DrawTextW(dc, Wide(DateToDashText(static_cast<Date>(maxX))).c_str(), -1, &below, DT_RIGHT | DT_SINGLELINE);
            int legend = plot.right;
            for (auto line = data->lines.rbegin(); line != data->lines.rend(); ++line) {
                HPEN pen = CreatePen(PS_SOLID, 2, line->colour);
                HGDIOBJ old = SelectObject(dc, pen);
                std::vector<POINT> points;
                for (const auto& [x, y] : line->points)
                    points.push_back(at(x, y));
                if (points.size() > 1)
                    Polyline(dc, points.data(), static_cast<int>(points.size()));
                for (const POINT& p : points)
                    Ellipse(dc, p.x - 2, p.y - 2, p.x + 3, p.y + 3);
                const std::wstring name = Wide(line->name);
                SIZE extent{};
                GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &extent);
                legend -= extent.cx + 24;
                MoveToEx(dc, legend, area.top + 11, nullptr);
                LineTo(dc, legend + 14, area.top + 11);
                TextOutW(dc, legend + 18, area.top + 3, name.c_str(), static_cast<int>(name.size()));
                SelectObject(dc, old);
                DeleteObject(pen);
            }
        }
    }
    EndPaint(window, &paint);
    return 0;
}

void RegisterChartClass() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ChartProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = L"QuilletChart";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

// ---- The window ----

TfrmHistory::TfrmHistory(std::function<std::string()> compactorPath)
    : compactorPath_(std::move(compactorPath)) {
    RegisterChartClass();
    create("QuilletHistory", Caption, WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX & ~WS_THICKFRAME, 0, nullptr);
    createControls();
    SetTimer(hwnd(), TimerWatch, 2000, nullptr);
}

TfrmHistory::~TfrmHistory() {
    KillTimer(hwnd(), TimerWatch);
    if (worker_.joinable())
        worker_.join();
}

std::string TfrmHistory::HistoryPath() const {
    return CompactorFileOf(compactorPath_ ? compactorPath_() : std::string(), HistoryFileName);
}

std::string TfrmHistory::ErrorLogPath() const {
    return CompactorFileOf(compactorPath_ ? compactorPath_() : std::string(), "error.log");
}

void TfrmHistory::createControls() {
    auto& l = layout_;
    const DWORD combo = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
    cbConfiguration = l.add("COMBOBOX", "", combo, 8, 8, 200, 200, idConfiguration);
    cbDatabase = l.add("COMBOBOX", "", combo, 214, 8, 200, 200, idDatabase);
    cbOutcome = l.add("COMBOBOX", "", combo, 420, 8, 110, 200, idOutcome);
    l.add("STATIC", "From", WS_CHILD | WS_VISIBLE, 538, 11, 28, 14);
    dtFrom = l.add("SysDateTimePick32", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | DTS_SHORTDATEFORMAT, 568, 8, 92, 21,
                   idFrom);
    l.add("STATIC", "to", WS_CHILD | WS_VISIBLE, 666, 11, 14, 14);
    dtTo = l.add("SysDateTimePick32", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | DTS_SHORTDATEFORMAT, 682, 8, 92, 21,
                 idTo);
    btnSpreadsheet = l.add("BUTTON", "Open in spreadsheet", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 782, 7,
                           120, 23, idSpreadsheet);
    btnShowFile = l.add("BUTTON", "Show file", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 906, 7, 80, 23,
                        idShowFile);
    lblTotals = l.add("STATIC", "", WS_CHILD | WS_VISIBLE, 8, 36, 700, 16);
    lblFile = l.add("STATIC", "", WS_CHILD | WS_VISIBLE | SS_ENDELLIPSIS, 8, 54, 978, 16);
    Table = l.add("SysListView32", "",
                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                  8, 74, 978, 300, idTable, WS_EX_CLIENTEDGE);
    SendMessageW(Table, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    for (int c = 0; c < HistoryColumnCount; ++c) {
        const auto which = static_cast<HistoryColumn>(c);
        std::wstring title = Wide(HistoryColumnTitle(which));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = which >= HistoryColumn::SizeBefore && which <= HistoryColumn::Seconds ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = l.px(ColumnWidths[c]);
        column.pszText = title.data();
        SendMessageW(Table, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    SizeChart = l.add(ChartClass, "", WS_CHILD | WS_VISIBLE, 8, 382, 485, 190);
    SavedChart = l.add(ChartClass, "", WS_CHILD | WS_VISIBLE, 501, 382, 485, 190);
    SetWindowLongPtrW(SizeChart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&sizeChart_));
    SetWindowLongPtrW(SavedChart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&savedChart_));
    lblLog = l.add("STATIC", "error.log", WS_CHILD | WS_VISIBLE, 8, 580, 978, 16);
    memLog = l.add("EDIT", "",
                   WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                   8, 598, 978, 110, 0, WS_EX_CLIENTEDGE);
    l.sizeClient(994, 716);
}

void TfrmHistory::Show(HWND owner) {
    Guarded([&] {
        SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
        if (!IsWindowVisible(hwnd()))
            ui::win32::CentreOnScreen(hwnd());
        ShowWindow(hwnd(), SW_SHOW);
        SetForegroundWindow(hwnd());
        ReloadIfChanged();
    });
}

LRESULT TfrmHistory::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if ((id == idConfiguration || id == idDatabase || id == idOutcome) && code == CBN_SELCHANGE && !filling_)
            Guarded([&] { FilterChanged(); });
        else if (id == idSpreadsheet)
            OpenInSpreadsheetClick();
        else if (id == idShowFile)
            ShowFileClick();
        return 0;
    }
    case WM_NOTIFYFORMAT:
        return NFR_UNICODE; // the table asks for its cells in UTF-16
    case WM_NOTIFY:
        return notify(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
        if (wParam == TimerWatch && IsWindowVisible(hwnd()))
            Guarded([&] { ReloadIfChanged(); });
        return 0;
    case WmLoaded:
        Guarded([&] { loaded(); });
        return 0;
    case WM_CLOSE:
        ShowWindow(hwnd(), SW_HIDE);
        return 0;
    default:
        return Window::handle(message, wParam, lParam);
    }
}

LRESULT TfrmHistory::notify(NMHDR* header) {
    if ((header->hwndFrom == dtFrom || header->hwndFrom == dtTo) && header->code == DTN_DATETIMECHANGE) {
        if (!filling_)
            Guarded([&] { FilterChanged(); });
        return 0;
    }
    if (header->hwndFrom != Table)
        return 0;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        if ((info->item.mask & LVIF_TEXT) && info->item.iItem >= 0 &&
            static_cast<std::size_t>(info->item.iItem) < query_.rowCount()) {
            shown_ = Wide(query_.cellText(static_cast<std::size_t>(info->item.iItem),
                                          static_cast<HistoryColumn>(info->item.iSubItem)));
            lstrcpynW(info->item.pszText, shown_.c_str(), info->item.cchTextMax);
        }
        return 0;
    }
    case LVN_COLUMNCLICK: {
        const auto column = static_cast<HistoryColumn>(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        Guarded([&] {
            const std::optional<std::size_t> selected = selectedRecord();
            // A new column sorts ascending, the same one again the other way.
            sortDescending_ = column == sortColumn_ ? !sortDescending_ : false;
            sortColumn_ = column;
            query_.sortBy(column, sortDescending_);
            selectRecord(selected);
            InvalidateRect(Table, nullptr, FALSE);
        });
        return 0;
    }
    case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
            if (change->uNewState & LVIS_SELECTED)
                selectedRow_ = change->iItem;
            else if (change->iItem == selectedRow_ || change->iItem < 0)
                selectedRow_ = -1;
            Guarded([&] { SelectionChanged(); });
        }
        return 0;
    }
    case NM_CUSTOMDRAW: {
        // Failures red, skips yellow.
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const auto row = static_cast<std::size_t>(draw->nmcd.dwItemSpec);
            if (row < query_.rowCount()) {
                const OutcomeKind kind = query_.kindAt(row);
                if (kind == OutcomeKind::Failed)
                    draw->clrTextBk = RGB(255, 205, 205);
                else if (kind == OutcomeKind::Skipped)
                    draw->clrTextBk = RGB(255, 245, 180);
            }
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    }
    default:
        return 0;
    }
}

// ---- Loading ----

void TfrmHistory::Reload() {
    startLoading(watch_.reload(HistoryPath()));
}

void TfrmHistory::ReloadIfChanged() {
    startLoading(watch_.reloadIfChanged(HistoryPath()));
}

void TfrmHistory::startLoading(const std::optional<std::string>& path) {
    if (!path)
        return;
    if (worker_.joinable())
        worker_.join();
    worker_ = std::thread([this, path = *path, window = hwnd()] {
        auto load = std::make_shared<const HistoryLoad>(LoadHistory(path));
        {
            const std::lock_guard<std::mutex> hold(g_resultLock);
            result_ = std::move(load);
        }
        PostMessageW(window, WmLoaded, 0, 0);
    });
}

void TfrmHistory::loaded() {
    if (worker_.joinable())
        worker_.join();
    std::shared_ptr<const HistoryLoad> load;
    {
        const std::lock_guard<std::mutex> hold(g_resultLock);
        load = std::move(result_);
    }
    if (!load)
        return;
    // The same line stands at the same place in the file after it grew.
    const std::optional<std::size_t> selected = selectedRecord();
    query_.setHistory(load);
    fillFilters();
    FilterChanged();
    if (selected && *selected < query_.records().size())
        selectRecord(selected);
    SetWindowTextW(lblFile, Wide(query_.fileNote(watch_.path())).c_str());
    startLoading(watch_.loaded());
}

std::string TfrmHistory::comboValue(HWND box) const {
    const int which = box == cbConfiguration ? 0 : box == cbDatabase ? 1 : 2;
    const auto index = SendMessageW(box, CB_GETCURSEL, 0, 0);
    const auto& values = comboValues_[which];
    return index >= 0 && static_cast<std::size_t>(index) < values.size() ? values[static_cast<std::size_t>(index)]
                                                                         : std::string();
}

// The box's entries anew; the value chosen before stays chosen when it is still there.
void TfrmHistory::refill(HWND box, const std::vector<FilterChoice>& choices) {
    const std::string current = comboValue(box);
    auto& values = comboValues_[box == cbConfiguration ? 0 : box == cbDatabase ? 1 : 2];
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    values.clear();
    int select = 0;
    for (const FilterChoice& choice : choices) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(choice.text).c_str()));
        if (choice.value == current)
            select = static_cast<int>(values.size());
        values.push_back(choice.value);
    }
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(select), 0);
}

void TfrmHistory::fillFilters() {
    const bool wasFilling = std::exchange(filling_, true);
    refill(cbConfiguration, query_.configurationChoices());
    refill(cbOutcome, query_.outcomeChoices());
    // The query moves dates that were at the data's ends along with the data.
    for (const auto& [picker, date] : {std::pair{dtFrom, query_.filter().from}, std::pair{dtTo, query_.filter().to}})
        if (date) {
            SYSTEMTIME t = SystemTimeOf(*date);
            SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
        }
    filling_ = wasFilling;
}

void TfrmHistory::FilterChanged() {
    const std::optional<std::size_t> selected = selectedRecord();
    HistoryFilter filter;
    filter.configuration = comboValue(cbConfiguration);
    filter.database = comboValue(cbDatabase);
    filter.outcome = comboValue(cbOutcome);
    if (!query_.records().empty()) {
        filter.from = PickedDate(dtFrom);
        filter.to = PickedDate(dtTo);
    }
    query_.setFilter(filter);
    const bool wasFilling = std::exchange(filling_, true);
    refill(cbDatabase, query_.databaseChoices()); // follows the configuration chosen
    filling_ = wasFilling;
    // The old selection goes. Only its row is touched: asking the list view about every
    // row costs wine a pass over all of them.
    if (selectedRow_ >= 0) {
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(Table, LVM_SETITEMSTATE, static_cast<WPARAM>(selectedRow_), reinterpret_cast<LPARAM>(&none));
        selectedRow_ = -1;
    }
    SendMessageW(Table, LVM_SETITEMCOUNT, query_.rowCount(), 0);
    selectRecord(selected);
    InvalidateRect(Table, nullptr, FALSE);
    SetWindowTextW(lblTotals, Wide(query_.totalsText()).c_str());
    updateCharts();
    updateLog();
}

void TfrmHistory::selectRecord(std::optional<std::size_t> record) {
    if (record)
        if (const auto row = query_.rowOf(*record))
            SelectRow(static_cast<int>(*row));
}

void TfrmHistory::SelectRow(int row) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Table, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    selectedRow_ = row;
    SendMessageW(Table, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void TfrmHistory::SelectionChanged() {
    updateCharts();
    updateLog();
}

std::optional<std::size_t> TfrmHistory::selectedRecord() const {
    if (selectedRow_ < 0 || static_cast<std::size_t>(selectedRow_) >= query_.rowCount())
        return std::nullopt;
    return query_.recordIndexAt(static_cast<std::size_t>(selectedRow_));
}

void TfrmHistory::updateCharts() {
    const SizeSeries sizes = query_.sizeChart(selectedRecord());
    sizeChart_.title = sizes.title;
    sizeChart_.lines = {LineOf(RGB(0, 90, 200), "before", sizes.before), LineOf(RGB(0, 160, 60), "after", sizes.after)};
    savedChart_.title = "Space saved per night";
    savedChart_.lines = {LineOf(RGB(200, 120, 0), "saved", query_.savedPerNight())};
    InvalidateRect(SizeChart, nullptr, FALSE);
    InvalidateRect(SavedChart, nullptr, FALSE);
}

void TfrmHistory::updateLog() {
    const LogPane pane = query_.passLog(selectedRecord(), ErrorLogPath());
    SetWindowTextW(lblLog, Wide(pane.title).c_str());
    SetWindowTextW(memLog, WideCrlf(pane.text).c_str()); // a multi-line edit box breaks lines at CR LF
}

void TfrmHistory::OpenInSpreadsheetClick() {
    Guarded([&] {
        const std::string path = HistoryPath();
        if (GetFileAttributesW(Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
            ui::win32::CurrentPrompts().warn(Caption, "There is no history yet: " + path + " does not exist.");
            return;
        }
        if (!ui::win32::UrlOpener::instance().open(path))
            ui::win32::CurrentPrompts().warn(Caption, "Could not open " + path + ".");
    });
}

void TfrmHistory::ShowFileClick() {
    Guarded([&] {
        const std::string folder = FolderOf(HistoryPath());
        if (!ui::win32::UrlOpener::instance().open(folder))
            ui::win32::CurrentPrompts().warn(Caption, "Could not open " + folder + ".");
    });
}

} // namespace quillet::admin
