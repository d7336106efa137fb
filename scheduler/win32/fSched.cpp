#include "scheduler/win32/fSched.h"

#include "core/AdminSettings.h"
#include "core/Include.h"
#include "platform/Programs.h"
#include "platform/win32/WideText.h"
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
using ui::win32::CurrentPrompts;
using ui::win32::Guarded;
using widgets::win32::TEditGrid;

namespace {

constexpr int ColDescription = 1;
constexpr int ColConfigFile = 2;
constexpr int ColCode = 3;
constexpr UINT_PTR TimerSchedule = 1;
constexpr UINT_PTR TimerWatch = 2;
constexpr UINT_PTR TimerPoll = 3;
const char Caption[] = "Quillet Scheduler";
const char* const FrequencyTexts[FrequencyCount] = {"As &Needed", "&Daily", "&Weekly", "&Monthly"};

std::string& Field(ScheduleEntry& e, int col) {
    return col == ColDescription ? e.description : col == ColConfigFile ? e.configPath : e.code;
}

void SetText(HWND control, const std::string& text) {
    SetWindowTextW(control, WideCrlf(text).c_str()); // a static control breaks lines at CR LF
}

bool Modified(HWND edit) {
    return SendMessageW(edit, EM_GETMODIFY, 0, 0) != 0;
}

// Ctrl+R in the window: Compact, whose button stays out of the Tab order.
bool IsCompactKey(const MSG& msg, HWND window) {
    return msg.message == WM_KEYDOWN && msg.wParam == 'R' && GetKeyState(VK_CONTROL) < 0 &&
           GetKeyState(VK_MENU) >= 0 && msg.hwnd && GetAncestor(msg.hwnd, GA_ROOT) == window;
}

// The wait cursor for the length of a scope, also when what it waits for throws.
class WaitCursor {
public:
    WaitCursor() : FOld(SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)))) {}
    ~WaitCursor() { SetCursor(FOld); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR FOld;
};

class Quiet {
public:
    explicit Quiet(bool& flag) : FFlag(flag), FWas(std::exchange(flag, true)) {}
    ~Quiet() { FFlag = FWas; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    bool& FFlag;
    bool FWas;
};

} // namespace

// ---- Creation ----

TfrmSched::TfrmSched(SchedulerHost host, std::unique_ptr<Clock> clock, std::unique_ptr<ProcessRunner> runner)
    : host_(std::move(host)),
      clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()), editor_(host_.appFolder, *clock_),
      runner_(editor_, host_.appFolder, clock_,
              runner ? std::shared_ptr<ProcessRunner>(std::move(runner)) : std::make_shared<SystemProcessRunner>(),
              [this] { return host_.compactorPath ? host_.compactorPath() : std::string(); }),
      trigger_(host_.trigger ? host_.trigger : std::make_shared<SystemTriggerControl>()),
      target_{host_.appFolder, host_.appFolder + platform::SchedProgramName} {
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
    create("QuilletScheduler", Caption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, nullptr, menu);
    createControls();
    DropFileTarget1.Register(EditGrid1->ListView(),
                             [this](const std::vector<std::string>& files) { DropFileTarget1Drop(files); });
    SetTimer(hwnd(), TimerWatch, 2000, nullptr);
    Guarded([&] { loadAll(); });
}

TfrmSched::~TfrmSched() {
    KillTimer(hwnd(), TimerSchedule);
    KillTimer(hwnd(), TimerWatch);
    KillTimer(hwnd(), TimerPoll);
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
    EditGrid1->SetReachableCols(ColCode); // the code column only carries the frequency
    EditGrid1->SetCells(ColDescription, 0, "Description");
    EditGrid1->SetCells(ColConfigFile, 0, "Config File");
    EditGrid1->OnClick = [this] {
        if (!quiet_)
            EditGrid1Click();
    };
    EditGrid1->OnEdited = [this] {
        if (!quiet_)
            EditGrid1Click();
    };
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

// ---- Messages ----

LRESULT TfrmSched::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == TimerSchedule)
            Timer1Timer();
        else if (wParam == TimerWatch)
            NoticeFileChange();
        else if (wParam == TimerPoll)
            runEnded();
        return 0;
    case WM_CLOSE:
        Close1Click();
        return 0;
    default:
        return Window::handle(message, wParam, lParam);
    }
}

void TfrmSched::command(int id, int code) {
    switch (id) {
    case idSave: SaveChanges1Click(); break;
    case idInsert: AddRow1Click(); break;
    case idDelete: DeleteRow1Click(); break;
    case idCompact: BitBtn7Click(); break;
    case idHelp: btnHelpClick(); break;
    case cmdClose:
    case IDCANCEL: Close1Click(); break; // Escape closes, as in the other dialogs
    case idNeeded:
    case idDaily:
    case idWeekly:
    case idMonthly:
        if (code == BN_CLICKED)
            rgSchedClick();
        break;
    case idEvery:
        if (code == EN_KILLFOCUS)
            Edit1Exit();
        break;
    case idStart:
        if (code == EN_KILLFOCUS)
            edtStartExit();
        break;
    case idBackground:
        if (code == BN_CLICKED)
            chkBackgroundClick();
        break;
    default: break;
    }
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
            BitBtn7Click();
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

// ---- Settings and the schedule file ----

void TfrmSched::loadAll() {
    std::vector<std::string> problems;
    readTimerSettings(problems);
    if (const auto unreadable = editor_.Load())
        problems.push_back(*unreadable);
    showEntries();
    checkTimer();
    if (const std::string entries = editor_.EntryProblemsText(); !entries.empty())
        problems.push_back(entries);
    if (!problems.empty()) {
        std::string text;
        for (const std::string& p : problems)
            text += (text.empty() ? "" : "\n\n") + p;
        warn(text);
    }
}

void TfrmSched::readTimerSettings(std::vector<std::string>& problems) {
    const AdminSettings settings(host_.appFolder);
    const StoredTimer stored = settings.Timer();
    SetText(edtInterval, stored.interval);
    SetText(edtStart, stored.startTime);
    // An unattended schedule keeps running on the defaults rather than stopping.
    const EffectiveTimer timer = EffectiveTimerSettings(stored, settings.Path());
    for (const auto& problem : {timer.intervalProblem, timer.startProblem})
        if (problem)
            problems.push_back(*problem);
    periodMs_ = timer.intervalMinutes * 60000;
    runner_.SetStart(timer.startHour, timer.startText);
}

void TfrmSched::warn(const std::string& text) {
    CurrentPrompts().warn(Caption, text);
}

void TfrmSched::refuse(HWND field, const std::string& problem) {
    warn(problem + ".");
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
}

void TfrmSched::pullGrid() {
    std::vector<ScheduleEntry> entries;
    for (int row = EditGrid1->FixedRows(); row < EditGrid1->RowCount(); ++row) {
        ScheduleEntry e;
        for (int col : {ColDescription, ColConfigFile, ColCode})
            Field(e, col) = EditGrid1->Cells(col, row);
        entries.push_back(std::move(e));
    }
    editor_.TakeEdits(std::move(entries), EditGrid1->Modified());
}

void TfrmSched::showEntries() {
    const Quiet quiet(quiet_);
    std::vector<ScheduleEntry> entries = editor_.Entries();
    const int rows = EditGrid1->FixedRows() + std::max<int>(1, static_cast<int>(entries.size()));
    if (EditGrid1->RowCount() != rows)
        EditGrid1->SetRowCount(rows);
    for (int row = EditGrid1->FixedRows(); row < rows; ++row) {
        const auto i = static_cast<std::size_t>(row - EditGrid1->FixedRows());
        ScheduleEntry e = i < entries.size() ? entries[i] : ScheduleEntry{};
        for (int col : {ColDescription, ColConfigFile, ColCode})
            if (EditGrid1->Cells(col, row) != Field(e, col))
                EditGrid1->SetCells(col, row, Field(e, col));
    }
    EditGrid1->SetModified(editor_.Modified());
}

void TfrmSched::FormShow() {
    Guarded([&] {
        refreshBackground();
        // During a run the table is the run's; it is reloaded at the next showing.
        if (runner_.Running())
            return;
        loadAll();
        showFirstEntry();
    });
}

void TfrmSched::NoticeFileChange() {
    if (runner_.Running() || EditGrid1->Editor())
        return;
    Guarded([&] {
        pullGrid();
        if (editor_.NoticeFileChange() == ScheduleEditor::FileChange::None)
            return;
        showEntries();
        checkTimer();
        if (IsWindowVisible(hwnd()))
            showFrequency(currentCode());
    });
}

// Text still in the cell editor or a box counts for the command at hand, also when the
// command comes from the menu, which leaves the focus where it was.
bool TfrmSched::takePendingEdits() {
    EditGrid1->CommitEditorText();
    if (!takeStart() || !takeEvery())
        return false;
    pullGrid();
    return true;
}

void TfrmSched::SaveChanges1Click() {
    Guarded([&] { saveChanges(); });
}

void TfrmSched::saveChanges() {
    if (!takePendingEdits())
        return;
    const auto timer = runner_.SaveTimer(ui::win32::WindowText(edtInterval), ui::win32::WindowText(edtStart));
    if (timer.refused != ScheduleRunner::TimerSave::None)
        return refuse(timer.refused == ScheduleRunner::TimerSave::Interval ? edtInterval : edtStart, timer.message);
    if (!timer.written)
        warn(timer.message); // the table is saved all the same
    periodMs_ = timer.intervalMinutes * 60000;

    const ScheduleEditor::SaveOutcome saved = editor_.Save();
    showEntries();
    checkTimer();
    if (saved.result == ScheduleEditor::SaveResult::Refused) {
        warn(saved.message);
    } else if (saved.result == ScheduleEditor::SaveResult::Reloaded) {
        showFirstEntry();
        CurrentPrompts().inform(Caption, (timer.written ? "The timer settings were saved. " : "") + saved.message);
    }
}

// ---- Frequency of the current entry ----

int TfrmSched::currentEntry() const {
    const int row = EditGrid1->Row();
    const int entry = row - EditGrid1->FixedRows();
    return entry >= 0 && row < EditGrid1->RowCount() ? entry : -1;
}

std::string TfrmSched::currentCode() const {
    return currentEntry() < 0 ? std::string() : EditGrid1->Cells(ColCode, EditGrid1->Row());
}

void TfrmSched::showFirstEntry() {
    {
        const Quiet quiet(quiet_);
        EditGrid1->SetCurrentCell(ColDescription, EditGrid1->FixedRows());
    }
    showFrequency(currentCode());
}

int TfrmSched::frequencyShown() const {
    for (int i = 0; i < FrequencyCount; ++i)
        if (SendMessageW(rgSched[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
            return i;
    return 0;
}

void TfrmSched::showFrequency(const std::string& code) {
    const int index = FrequencyIndex(code);
    for (int i = 0; i < FrequencyCount; ++i)
        SendMessageW(rgSched[i], BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    // The entry's own N, so that showing an entry never rewrites it.
    if (index != 0)
        SetText(Edit1, GetField(code, CodeSeparator, 1));
    chooseFrequency(index);
}

void TfrmSched::rgSchedClick() {
    Guarded([&] {
        // The box may still show a refused N read from the file for another entry; the
        // user's choice must not copy it into this one.
        if (EveryProblem(ui::win32::WindowText(Edit1)))
            SetText(Edit1, "1");
        chooseFrequency(frequencyShown());
    });
}

void TfrmSched::chooseFrequency(int index) {
    const bool every = index >= 1 && index < FrequencyCount;
    for (HWND w : {Label1, Edit1, Label2})
        ShowWindow(w, every ? SW_SHOW : SW_HIDE);
    if (every)
        SetText(Label2, Frequencies[index].unit);
    if (const int entry = currentEntry(); entry >= 0) {
        pullGrid();
        editor_.ChooseFrequency(entry, index, ui::win32::WindowText(Edit1));
        showEntries();
    }
    updateLastRun();
}

void TfrmSched::Edit1Exit() {
    Guarded([&] { takeEvery(); });
}

bool TfrmSched::takeEvery() {
    // Only what the user typed is written: after a delete or a sort the box can still
    // show another entry's N, which merely passing through the box must not copy.
    if (!Modified(Edit1))
        return true;
    SendMessageW(Edit1, EM_SETMODIFY, FALSE, 0);
    const int entry = currentEntry();
    if (entry < 0)
        return true;
    pullGrid();
    if (const auto problem = editor_.SetEvery(entry, ui::win32::WindowText(Edit1))) {
        SetText(Edit1, editor_.ShownEvery(entry));
        refuse(Edit1, *problem);
        return false;
    }
    showEntries();
    updateLastRun();
    return true;
}

void TfrmSched::edtStartExit() {
    Guarded([&] { takeStart(); });
}

bool TfrmSched::takeStart() {
    if (!Modified(edtStart))
        return true;
    SendMessageW(edtStart, EM_SETMODIFY, FALSE, 0);
    if (const auto problem = runner_.EnterStart(ui::win32::WindowText(edtStart))) {
        SetText(edtStart, runner_.StartText());
        refuse(edtStart, *problem);
        return false;
    }
    return true;
}

// ---- Timer and runs ----

void TfrmSched::checkTimer() {
    const bool wasOn = timerOn_;
    timerOn_ = editor_.AnyFrequency();
    // A period of 0 never fires; a timer that runs keeps its countdown, so that showing
    // the window or saving never puts a tick off.
    if (!timerOn_ || periodMs_ <= 0) {
        KillTimer(hwnd(), TimerSchedule);
        armedPeriod_ = 0;
    } else if (!wasOn || armedPeriod_ != periodMs_) {
        SetTimer(hwnd(), TimerSchedule, static_cast<UINT>(periodMs_), nullptr);
        armedPeriod_ = periodMs_;
    }
}

void TfrmSched::setEditing(bool on) {
    for (HWND w : {EditGrid1->Handle(), EditGrid1->ListView(), Edit1, edtInterval, edtStart})
        EnableWindow(w, on);
    for (HWND w : rgSched)
        EnableWindow(w, on);
    for (int i = 0; i < 4; ++i) // Help stays
        EnableWindow(buttons[i], on);
    HMENU menu = GetMenu(hwnd());
    for (int id : {idSave, idInsert, idDelete})
        EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

// A run's thread works: the window goes on (it repaints, shows the run, takes a close)
// and a poll timer takes the run's end.
void TfrmSched::run(const std::function<bool()>& start) {
    Guarded([&] {
        if (polling_ || !start())
            return;
        polling_ = true;
        setEditing(false);
        ShowWindow(lblRun, SW_SHOW);
        ShowWindow(barRun, SW_SHOW);
        SendMessageW(barRun, PBM_SETMARQUEE, TRUE, 30);
        SetText(lblRun, runner_.ProgressText());
        SetTimer(hwnd(), TimerPoll, 50, nullptr);
    });
}

void TfrmSched::runEnded() {
    SetText(lblRun, runner_.ProgressText());
    std::optional<ScheduleRunner::Ended> ended;
    Guarded([&] { ended = runner_.Poll(); });
    if (!ended)
        return;
    KillTimer(hwnd(), TimerPoll);
    polling_ = false;
    Guarded([&] {
        showEntries();
        setEditing(true);
        SendMessageW(barRun, PBM_SETMARQUEE, FALSE, 0);
        ShowWindow(lblRun, SW_HIDE);
        ShowWindow(barRun, SW_HIDE);
        updateLastRun();
        if (ended->quit)
            ended->quit();
        if (ended->error)
            std::rethrow_exception(ended->error);
    });
    // A tick that came during the run (not during its error box) runs now.
    if (runner_.FinishEnding())
        Timer1Timer();
}

void TfrmSched::Timer1Timer() {
    run([&] {
        EditGrid1->CommitEditorText();
        pullGrid();
        return runner_.Tick() == ScheduleRunner::Start::Started;
    });
}

void TfrmSched::BitBtn7Click() {
    run([&] {
        if (runner_.State() != RunState::Idle || !takePendingEdits())
            return false;
        const int entry = currentEntry();
        if (entry < 0)
            return false;
        if (const auto problem = editor_.CompactProblem(entry)) {
            warn(*problem);
            return false;
        }
        const ScheduleRunner::Start start = runner_.Compact(entry);
        if (start == ScheduleRunner::Start::Held)
            CurrentPrompts().inform(Caption, BackgroundCheckBusyText);
        return start == ScheduleRunner::Start::Started;
    });
}

void TfrmSched::updateLastRun() {
    const int entry = currentEntry();
    SetText(lblLastRun, entry < 0 ? std::string() : runner_.EntryStatus(entry));
}

// ---- The background check ----

void TfrmSched::refreshBackground() {
    const TriggerStatus status = trigger_->query(target_);
    installed_ = status.installed;
    SendMessageW(chkBackground, BM_SETCHECK, installed_ ? BST_CHECKED : BST_UNCHECKED, 0);
    SetText(lblBackground, BackgroundStatusText(status, ReadLastCheck(target_.folder)));
}

void TfrmSched::chkBackgroundClick() {
    Guarded([&] {
        const bool install = !installed_;
        const TriggerResult r = [&] {
            const WaitCursor wait;
            return install ? trigger_->install(target_) : trigger_->uninstall(target_);
        }();
        refreshBackground();
        if (!r.ok)
            warn(r.message);
        else if (install && installed_)
            CurrentPrompts().inform(Caption, r.message);
    });
}

// ---- Window commands ----

void TfrmSched::AddRow1Click() {
    Guarded([&] {
        EditGrid1->CommitEditorText();
        pullGrid();
        editor_.AddEntry();
        showEntries();
    });
}

void TfrmSched::DeleteRow1Click() {
    Guarded([&] {
        if (!takePendingEdits()) // an N typed for the entry goes with it, not to the next one
            return;
        if (const int entry = currentEntry(); entry >= 0) {
            const Quiet quiet(quiet_);
            editor_.DeleteEntry(entry);
            EditGrid1->DeleteRow(EditGrid1->Row()); // the grid keeps its selection as it does
            showEntries();
        }
    });
}

void TfrmSched::DropFileTarget1Drop(const std::vector<std::string>& files) {
    Guarded([&] {
        if (runner_.Running())
            return;
        EditGrid1->CommitEditorText();
        pullGrid();
        editor_.AddFiles(files);
        showEntries();
    });
}

void TfrmSched::EditGrid1Click() {
    Guarded([&] { showFrequency(currentCode()); });
}

void TfrmSched::btnHelpClick() {
    Guarded([&] { ui::win32::ShowHelpTopic(hwnd(), ui::HelpTopicScheduler); });
}

void TfrmSched::Close1Click() {
    FormClose();
    ShowWindow(hwnd(), SW_HIDE); // whatever the answer
}

void TfrmSched::FormClose() {
    Guarded([&] {
        if (runner_.Running())
            return;
        takePendingEdits();
        if (editor_.Modified() && CurrentPrompts().ask("Confirm", "Save changes?", false) == ui::Answer::Yes)
            saveChanges();
    });
}

bool TfrmSched::CanCloseProgram(std::function<void()> quit) {
    bool close = true;
    Guarded([&] {
        if (!runner_.Running())
            pullGrid();
        close = runner_.CanCloseProgram(
            CurrentPrompts(), Caption, std::move(quit),
            [] {
                EnumThreadWindows(
                    GetCurrentThreadId(),
                    [](HWND window, LPARAM) -> BOOL {
                        ShowWindow(window, SW_HIDE);
                        return TRUE;
                    },
                    0);
            },
            [this] {
                refreshBackground();
                return installed_;
            });
    });
    return close;
}

} // namespace quillet::scheduler
