#include "scheduler/win32/fSched.h"

#include "platform/win32/WideText.h"
#include "scheduler/FaceView.h"
#include "ui/HelpFile.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/Help.h"
#include "ui/win32/Menus.h"
#include "ui/win32/MessageLoop.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace quillet::scheduler {

using platform::win32::WideCrlf;
using ui::win32::Guarded;
using widgets::win32::TEditGrid;

namespace {

// The window's timer of each face::Timer, from 1.
constexpr UINT_PTR TimerId(face::Timer timer) {
    return 1 + static_cast<UINT_PTR>(timer);
}

// Each control drawn as FaceView asks.
struct Win32Kit {
    // A static control breaks lines at CR LF.
    static void label(HWND w, const std::string& text) { SetWindowTextW(w, WideCrlf(text).c_str()); }
    static void fill(HWND w, const std::string& text) {
        label(w, text);
        clearMark(w);
    }
    static std::string text(HWND w) { return ui::win32::WindowText(w); }
    static bool modified(HWND w) { return SendMessageW(w, EM_GETMODIFY, 0, 0) != 0; }
    static void clearMark(HWND w) { SendMessageW(w, EM_SETMODIFY, FALSE, 0); }
    static void focusAll(HWND w) {
        SetFocus(w);
        SendMessageW(w, EM_SETSEL, 0, -1);
    }
    static void show(HWND w, bool on) { ShowWindow(w, on ? SW_SHOW : SW_HIDE); }
    static void showBar(HWND w, bool on) {
        show(w, on);
        SendMessageW(w, PBM_SETMARQUEE, on ? TRUE : FALSE, 30);
    }
    static void check(HWND w, bool on) { SendMessageW(w, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
    static void choose(TfrmSched& f, int index) {
        for (int i = 0; i < FrequencyCount; ++i)
            check(f.rgSched[i], i == index);
    }
};

} // namespace

// ---- What the presenter shows ----

class TfrmSched::View final : public FaceView<TfrmSched, PlainCells, Win32Kit> {
public:
    using FaceView::FaceView;

    void enable(Control control, bool enabled) override {
        if (const auto command = face::CommandOf(control)) { // its button and its menu item
            const int at = static_cast<int>(*command);
            EnableWindow(f.buttons[at], enabled);
            EnableMenuItem(GetMenu(f.hwnd()), static_cast<UINT>(idSave + at),
                           MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
            return;
        }
        const std::vector<HWND> inputs[] = {{f.EditGrid1->Handle(), f.EditGrid1->ListView()},
                                            {std::begin(f.rgSched), std::end(f.rgSched)},
                                            {f.Edit1}, {f.edtInterval}, {f.edtStart}};
        for (HWND w : inputs[static_cast<int>(control)])
            EnableWindow(w, enabled);
    }
    void setBusy(bool busy) override {
        if (busy)
            cursor_ = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        else
            SetCursor(cursor_);
    }
    bool shown() const override { return IsWindowVisible(f.hwnd()) != FALSE; }
    void hideWindows() override {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM) -> BOOL {
                ShowWindow(window, SW_HIDE);
                return TRUE;
            },
            0);
    }
    void fault(std::exception_ptr error) override {
        Guarded([&] { std::rethrow_exception(error); });
    }

private:
    void arm(face::Timer timer, int periodMs) override {
        if (periodMs > 0)
            SetTimer(f.hwnd(), TimerId(timer), static_cast<UINT>(periodMs), nullptr);
        else
            KillTimer(f.hwnd(), TimerId(timer));
    }

    HCURSOR cursor_ = nullptr; // the one before the wait cursor
};

// ---- Creation ----

TfrmSched::TfrmSched(SchedulerSetup setup, std::unique_ptr<Clock> clock,
                     std::unique_ptr<ProcessRunner> runner)
    : view_(std::make_unique<View>(*this)),
      presenter_(*view_, ui::win32::CurrentPrompts(), std::move(setup), std::move(clock), std::move(runner)) {
    create("QuilletScheduler", SchedulerPresenter::Caption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
           0, nullptr, ui::win32::CreateMenuBar(face::MenuLines, idSave));
    createControls();
    DropFileTarget1.Register(EditGrid1->ListView(), [this](const std::vector<std::string>& files) {
        Guarded([&] { presenter_.Drop(files); });
    });
    SetTimer(hwnd(), TimerId(face::Timer::Watch), SchedulerPresenter::WatchMilliseconds, nullptr);
    Guarded([&] { presenter_.Create(); });
}

// The window's timers go with it, and the drop target revokes itself.
TfrmSched::~TfrmSched() = default;

void TfrmSched::createControls() {
    auto& l = layout_;
    for (int i = 0; i < face::ButtonCount; ++i)
        buttons[i] = l.add("BUTTON", face::Buttons[i].caption, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 1 + 64 * i, 4,
                           62, 48, idSave + i);
    EditGrid1 = std::make_unique<TEditGrid>(hwnd(), idGrid, RECT{0, 0, 537, 191});
    l.place(EditGrid1->Handle(), 0, 56, 537, 191);
    view_->shapeGrid();
    int widths[ColumnCount];
    std::transform(std::begin(ColumnWidths), std::end(ColumnWidths), widths, [&](int w) { return l.px(w); });
    EditGrid1->FitColWidths(widths, ColConfigFile);
    EditGrid1->OnClick = EditGrid1->OnEdited = [this] { Guarded([&] { presenter_.EntryChosen(); }); };
    SendMessageW(EditGrid1->ListView(), WM_SETFONT, reinterpret_cast<WPARAM>(l.font()), TRUE);

    l.add("BUTTON", face::FrequencyTitle, WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 248, 97, 105);
    for (int i = 0; i < FrequencyCount; ++i)
        rgSched[i] = l.add("BUTTON", face::FrequencyTexts[i],
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0), 8,
                           266 + 20 * i, 85, 18, idNeeded + i);

    Label1 = l.add("STATIC", face::EveryLabel, WS_CHILD, 103, 266, 90, 14);
    Edit1 = l.add("EDIT", "", WS_CHILD | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | WS_GROUP, 103, 284, 33, 21, idEvery);
    Label2 = l.add("STATIC", "", WS_CHILD, 103, 310, 90, 14);

    const DWORD edit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
    l.add("STATIC", face::IntervalLabel, WS_CHILD | WS_VISIBLE, 207, 262, 200, 14);
    edtInterval = l.add("EDIT", "", edit, 207, 278, 121, 21, idInterval);
    l.add("STATIC", face::StartLabel, WS_CHILD | WS_VISIBLE, 207, 306, 200, 14);
    edtStart = l.add("EDIT", "", edit, 207, 322, 121, 21, idStart);

    lblLastRun = l.add("STATIC", "", WS_CHILD | WS_VISIBLE, 4, 360, 529, 30);
    chkBackground = l.add("BUTTON", face::BackgroundLabel, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, 6, 394,
                          400, 18, idBackground);
    lblBackground = l.add("STATIC", "", WS_CHILD | WS_VISIBLE, 6, 414, 525, 30);
    lblRun = l.add("STATIC", "", WS_CHILD, 6, 446, 525, 16);
    barRun = l.add("msctls_progress32", "", WS_CHILD | PBS_MARQUEE, 6, 464, 525, 8);
    l.sizeClient(537, 478);
}

// ---- What the user does, to the presenter ----

LRESULT TfrmSched::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ui::win32::KeyPreviewMessage()) {
        // Ctrl+R anywhere in the window: Compact, whose button stays out of the Tab order.
        const bool compact = wParam == 'R' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
        if (compact)
            command(idCompact, 0);
        return compact;
    }
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        if (const UINT_PTR at = wParam - TimerId(face::Timer{}); at < face::TimerCount)
            Guarded([&] { (presenter_.*face::TimerActions[at])(); });
        return 0;
    case WM_CLOSE:
        command(cmdClose, 0);
        return 0;
    default:
        return Window::handle(message, wParam, lParam);
    }
}

void TfrmSched::command(int id, int code) {
    if (id >= idSave && id < idSave + face::ButtonCount) {
        if (const auto action = face::ActionOf(static_cast<face::Command>(id - idSave)))
            Guarded([&] { (presenter_.*action)(); });
        else
            Guarded([&] { ui::win32::ShowHelpTopic(hwnd(), ui::HelpTopicScheduler); });
    } else if (id == cmdClose || id == IDCANCEL) { // IDCANCEL: Escape, as in the other dialogs
        bool close = true;
        Guarded([&] { close = presenter_.Close(); });
        if (close)
            hide();
    } else if (id >= idNeeded && id < idNeeded + FrequencyCount && code == BN_CLICKED) {
        Guarded([&] { presenter_.ChooseFrequency(id - idNeeded); });
    } else if ((id == idEvery || id == idStart) && code == EN_KILLFOCUS) {
        Guarded([&] { id == idEvery ? presenter_.LeaveEvery() : presenter_.LeaveStart(); });
    } else if (id == idBackground && code == BN_CLICKED) {
        Guarded([&] { presenter_.ToggleBackground(); });
    }
}

void TfrmSched::FormShow() {
    Guarded([&] { presenter_.Show(); });
}

// Modal through the program's own message loop: the owner takes no input until the
// window hides again.
void TfrmSched::ShowModal(HWND owner) {
    FormShow();
    owner_ = owner;
    if (owner)
        EnableWindow(owner, FALSE);
    ui::win32::CentreOnScreen(hwnd());
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    SetFocus(EditGrid1->ListView());
}

void TfrmSched::hide() {
    if (const HWND owner = std::exchange(owner_, nullptr)) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    ShowWindow(hwnd(), SW_HIDE);
}

bool TfrmSched::CanCloseProgram(std::function<void()> quit) {
    bool close = true;
    Guarded([&] { close = presenter_.CanCloseProgram(std::move(quit)); });
    return close;
}

} // namespace quillet::scheduler
