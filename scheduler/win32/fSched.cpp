#include "scheduler/win32/fSched.h"

#include "platform/win32/WideText.h"
#include "scheduler/ScheduleGrid.h"
#include "ui/HelpFile.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/Help.h"
#include "ui/win32/MessageLoop.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace quillet::scheduler {

using platform::win32::WideCrlf;
using ui::win32::Guarded;
using widgets::win32::TEditGrid;

namespace {

constexpr UINT_PTR TimerSchedule = 1;
constexpr UINT_PTR TimerWatch = 2;
constexpr UINT_PTR TimerPoll = 3;
const char* const FrequencyTexts[FrequencyCount] = {"As &Needed", "&Daily", "&Weekly", "&Monthly"};

void SetText(HWND control, const std::string& text) {
    SetWindowTextW(control, WideCrlf(text).c_str()); // a static control breaks lines at CR LF
}

// Ctrl+R in the window: Compact, whose button stays out of the Tab order.
bool IsCompactKey(const MSG& msg, HWND window) {
    return msg.message == WM_KEYDOWN && msg.wParam == 'R' && GetKeyState(VK_CONTROL) < 0 &&
           GetKeyState(VK_MENU) >= 0 && msg.hwnd && GetAncestor(msg.hwnd, GA_ROOT) == window;
}

} // namespace

// ---- Creation ----

TfrmSched::TfrmSched(SchedulerHost host, std::unique_ptr<Clock> clock, std::unique_ptr<ProcessRunner> runner)
    : presenter_(*this, ui::win32::CurrentPrompts(),
                 SchedulerSetup{host.appFolder, host.appFolder, std::move(host.compactorPath), host.trigger},
                 std::move(clock), std::move(runner)) {
    HMENU menu = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, idSave, L"&Save Changes");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, idInsert, L"&Add Row");
    AppendMenuW(file, MF_STRING, idDelete, L"&Delete Row");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, cmdClose, L"&Close");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, idHelp, L"&Sheduler");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
    create("QuilletScheduler", SchedulerPresenter::Caption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
           0, nullptr, menu);
    createControls();
    DropFileTarget1.Register(EditGrid1->ListView(), [this](const std::vector<std::string>& files) {
        forward([&] { presenter_.Drop(files); });
    });
    SetTimer(hwnd(), TimerWatch, 2000, nullptr);
    forward([&] { presenter_.Create(); });
}

TfrmSched::~TfrmSched() {
    for (UINT_PTR timer : {TimerSchedule, TimerWatch, TimerPoll})
        KillTimer(hwnd(), timer);
    DropFileTarget1.Revoke();
}

void TfrmSched::createControls() {
    auto& l = layout_;
    const char* names[5] = {"Save", "insert", "Delete", "Compact", "Help"};
    for (int i = 0; i < 5; ++i)
        buttons[i] = l.add("BUTTON", names[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 1 + 64 * i, 4, 62, 48, idSave + i);

    EditGrid1 = std::make_unique<TEditGrid>(hwnd(), idGrid, RECT{0, 0, 537, 191});
    l.place(EditGrid1->Handle(), 0, 56, 537, 191);
    EditGrid1->SetColCount(4);
    EditGrid1->SetRowCount(2);
    int widths[] = {32, 220, 279, 3};
    // The list view's border and a vertical scroll bar take room that the grid's
    // columns would share with nothing; the path column gives it up, so that no
    // horizontal scroll bar shows.
    RECT inside{};
    GetClientRect(EditGrid1->ListView(), &inside);
    const int room = inside.right - GetSystemMetrics(SM_CXVSCROLL);
    int total = 0;
    for (int w : widths)
        total += l.px(w);
    for (int col = 0; col < 4; ++col)
        EditGrid1->SetColWidths(col, l.px(widths[col]) - (col == 2 ? std::max(0, total - room) : 0));
    EditGrid1->SetNewRowOnKeyDown(widgets::kdNever);
    EditGrid1->SetReachableCols(SchedulerPresenter::ReachableColumns);
    EditGrid1->SetPathCol(ColConfigFile);
    EditGrid1->IsMarked = [this](int col, int row) {
        const auto entry = static_cast<std::size_t>(row - EditGrid1->FixedRows());
        return col == ColConfigFile && entry < missing_.size() && missing_[entry];
    };
    EditGrid1->SetCells(ColDescription, 0, "Description");
    EditGrid1->SetCells(ColConfigFile, 0, "Config File");
    EditGrid1->OnClick = EditGrid1->OnEdited = [this] { forward([&] { presenter_.EntryChosen(); }); };
    SendMessageW(EditGrid1->ListView(), WM_SETFONT, reinterpret_cast<WPARAM>(l.font()), TRUE);

    l.add("BUTTON", "Schedule", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 248, 97, 105);
    for (int i = 0; i < FrequencyCount; ++i)
        rgSched[i] = l.add("BUTTON", FrequencyTexts[i],
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0), 8,
                           266 + 20 * i, 85, 18, idNeeded + i);
    SendMessageW(rgSched[0], BM_SETCHECK, BST_CHECKED, 0);

    Label1 = l.add("STATIC", "Every", WS_CHILD, 103, 266, 90, 14);
    Edit1 = l.add("EDIT", "1", WS_CHILD | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | WS_GROUP, 103, 284, 33, 21,
                  idEvery);
    Label2 = l.add("STATIC", "Days", WS_CHILD, 103, 310, 90, 14);

    l.add("STATIC", "Timer &Interval (minutes)", WS_CHILD | WS_VISIBLE, 207, 262, 200, 14);
    edtInterval = l.add("EDIT", "60", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 207, 278, 121,
                        21, idInterval);
    l.add("STATIC", "Start &Time (24 hr format)", WS_CHILD | WS_VISIBLE, 207, 306, 200, 14);
    edtStart = l.add("EDIT", "01", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 207, 322, 121, 21,
                     idStart);

    lblLastRun = l.add("STATIC", "", WS_CHILD | WS_VISIBLE, 4, 360, 529, 30);
    chkBackground = l.add("BUTTON", "Run the schedule when QuilletAdmin is closed",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, 6, 394, 400, 18, idBackground);
    lblBackground = l.add("STATIC", "", WS_CHILD | WS_VISIBLE, 6, 414, 525, 30);
    lblRun = l.add("STATIC", "", WS_CHILD, 6, 446, 525, 16);
    barRun = l.add("msctls_progress32", "", WS_CHILD | PBS_MARQUEE, 6, 464, 525, 8);
    l.sizeClient(537, 478);
}

// ---- What the user does, to the presenter ----

void TfrmSched::forward(const std::function<void()>& command) {
    Guarded(command);
}

LRESULT TfrmSched::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == TimerSchedule) {
            forward([&] { presenter_.Tick(); });
        } else if (wParam == TimerWatch) {
            forward([&] { presenter_.NoticeFileChange(); });
        } else if (wParam == TimerPoll) {
            forward([&] { presenter_.PollRun(); });
        }
        return 0;
    case WM_CLOSE:
        command(cmdClose, 0);
        return 0;
    default:
        return Window::handle(message, wParam, lParam);
    }
}

void TfrmSched::command(int id, int code) {
    switch (id) {
    case idSave: forward([&] { presenter_.Save(); }); break;
    case idInsert: forward([&] { presenter_.AddRow(); }); break;
    case idDelete: forward([&] { presenter_.DeleteRow(); }); break;
    case idCompact: forward([&] { presenter_.Compact(); }); break;
    case idHelp: forward([&] { ui::win32::ShowHelpTopic(hwnd(), ui::HelpTopicScheduler); }); break;
    case cmdClose:
    case IDCANCEL: // Escape, as in the other dialogs
        forward([&] { presenter_.Close(); });
        ShowWindow(hwnd(), SW_HIDE); // whatever the answer
        break;
    case idNeeded:
    case idDaily:
    case idWeekly:
    case idMonthly:
        if (code == BN_CLICKED)
            forward([&] { presenter_.ChooseFrequency(id - idNeeded); });
        break;
    case idEvery:
    case idStart:
        if (code == EN_KILLFOCUS)
            forward([&] { id == idEvery ? presenter_.LeaveEvery() : presenter_.LeaveStart(); });
        break;
    case idBackground:
        if (code == BN_CLICKED)
            forward([&] { presenter_.ToggleBackground(); });
        break;
    default: break;
    }
}

void TfrmSched::FormShow() {
    forward([&] { presenter_.Show(); });
}

void TfrmSched::ShowModal(HWND owner) {
    FormShow();
    if (owner)
        EnableWindow(owner, FALSE);
    ui::win32::CentreOnScreen(hwnd());
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    SetFocus(EditGrid1->ListView());
    MSG msg;
    while (IsWindowVisible(hwnd())) {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the program's own loop
            break;
        }
        if (IsCompactKey(msg, hwnd())) {
            command(idCompact, 0);
            continue;
        }
        if (ui::win32::PreTranslate(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (owner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
}

bool TfrmSched::CanCloseProgram(std::function<void()> quit) {
    bool close = true;
    forward([&] { close = presenter_.CanCloseProgram(std::move(quit)); });
    return close;
}

// ---- SchedulerView ----

void TfrmSched::showEntries(const std::vector<ScheduleEntry>& entries, bool modified,
                            const std::vector<bool>& missing) {
    missing_ = missing;
    ShowEntriesIn(*EditGrid1, entries, modified, [](const std::string& s) { return s; });
    InvalidateRect(EditGrid1->ListView(), nullptr, FALSE); // the marks too
}

std::vector<ScheduleEntry> TfrmSched::gridEntries() {
    return EntriesIn(*EditGrid1, [](const std::string& s) { return s; });
}

int TfrmSched::currentEntry() const {
    return CurrentEntryIn(*EditGrid1);
}

void TfrmSched::selectEntry(int entry) {
    EditGrid1->SetCurrentCell(EditGrid1->Col(), EditGrid1->FixedRows() + std::max(0, entry));
}

void TfrmSched::showFrequency(int index, const std::optional<Every>& every) {
    for (int i = 0; i < FrequencyCount; ++i)
        SendMessageW(rgSched[i], BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    for (HWND w : {Label1, Edit1, Label2})
        ShowWindow(w, every ? SW_SHOW : SW_HIDE);
    if (every) {
        SetText(Label2, every->unit);
        showText(Box::Every, every->value);
    }
}

HWND TfrmSched::box(Box box) const {
    return box == Box::Every ? Edit1 : box == Box::Interval ? edtInterval : edtStart;
}

void TfrmSched::showText(Box which, const std::string& text) {
    SetText(box(which), text);
    SendMessageW(box(which), EM_SETMODIFY, FALSE, 0);
}

std::string TfrmSched::text(Box which) const {
    return ui::win32::WindowText(box(which));
}

std::optional<std::string> TfrmSched::takeTyped(Box which) {
    if (SendMessageW(box(which), EM_GETMODIFY, 0, 0) == 0)
        return std::nullopt;
    SendMessageW(box(which), EM_SETMODIFY, FALSE, 0);
    return ui::win32::WindowText(box(which));
}

void TfrmSched::focus(Box which) {
    SetFocus(box(which));
    SendMessageW(box(which), EM_SETSEL, 0, -1);
}

void TfrmSched::showStatus(const std::string& text) {
    SetText(lblLastRun, text);
}

void TfrmSched::showBackground(bool installed, const std::string& text) {
    SendMessageW(chkBackground, BM_SETCHECK, installed ? BST_CHECKED : BST_UNCHECKED, 0);
    SetText(lblBackground, text);
}

void TfrmSched::showRun(const std::string& text) {
    SetText(lblRun, text);
    for (HWND w : {lblRun, barRun})
        ShowWindow(w, text.empty() ? SW_HIDE : SW_SHOW);
    SendMessageW(barRun, PBM_SETMARQUEE, text.empty() ? FALSE : TRUE, 30);
}

void TfrmSched::enable(Control control, bool enabled) {
    const auto at = static_cast<int>(control);
    if (control == Control::Grid) {
        EnableWindow(EditGrid1->Handle(), enabled);
        EnableWindow(EditGrid1->ListView(), enabled);
    } else if (control == Control::Frequency) {
        for (HWND w : rgSched)
            EnableWindow(w, enabled);
    } else if (at <= static_cast<int>(Control::Start)) {
        EnableWindow(box(static_cast<Box>(at - static_cast<int>(Control::Every))), enabled);
    } else { // a command: its button and its menu item
        const int id = idSave + at - static_cast<int>(Control::Save);
        EnableWindow(buttons[id - idSave], enabled);
        EnableMenuItem(GetMenu(hwnd()), static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

void TfrmSched::setBusy(bool busy) {
    if (busy)
        cursor_ = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    else
        SetCursor(cursor_);
}

void TfrmSched::armTimer(int periodMs) {
    if (periodMs > 0)
        SetTimer(hwnd(), TimerSchedule, static_cast<UINT>(periodMs), nullptr);
    else
        KillTimer(hwnd(), TimerSchedule);
}

void TfrmSched::armPoll(int periodMs) {
    if (periodMs > 0)
        SetTimer(hwnd(), TimerPoll, static_cast<UINT>(periodMs), nullptr);
    else
        KillTimer(hwnd(), TimerPoll);
}

void TfrmSched::hideWindows() {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            ShowWindow(window, SW_HIDE);
            return TRUE;
        },
        0);
}

void TfrmSched::fault(std::exception_ptr error) {
    forward([&] { std::rethrow_exception(error); });
}

} // namespace quillet::scheduler
