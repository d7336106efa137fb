#include "admin/win32/fCfgMain.h"

#include "admin/MainFields.h"
#include "admin/win32/fOptions.h"
#include "platform/Programs.h"
#include "platform/SelfPath.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/Help.h"
#include "ui/win32/Menus.h"
#include "ui/win32/Toolbar.h"
#include "ui/win32/WebLinks.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <optional>

namespace quillet::admin {

using namespace quillet::ui;
using namespace quillet::ui::win32;
using namespace MainLayout;
using platform::win32::Wide;

namespace {

constexpr int StatusHeight = 22;
constexpr int PanelTop = 55;
constexpr UINT_PTR LastRunTimer = 1;
constexpr UINT_PTR ListSubclass = 0x51D1;

// Each of Fields' control; a path box's browse button follows it.
constexpr int FieldIds[] = {idAccess, idDesc, idCompactFiles, idRepair, idWrkgrp,
                            idLogin,  idPwd,  idEncrypt,      idLaunch, idQuilletPath};
static_assert(std::size(FieldIds) == std::size(Fields));

// The index in Fields of a control; none for other controls.
std::optional<std::size_t> fieldOf(int id) {
    const auto at = std::find(std::begin(FieldIds), std::end(FieldIds), id);
    return at == std::end(FieldIds) ? std::nullopt : std::optional(static_cast<std::size_t>(at - FieldIds));
}

// The standard picture of a command's button.
int imageOf(MainCommand command) {
    switch (command) {
    case MainCommand::New: return STD_FILENEW;
    case MainCommand::Save: return STD_FILESAVE;
    case MainCommand::DeleteEntry: return STD_DELETE;
    case MainCommand::Scheduling: return Toolbar::ViewImages + VIEW_DETAILS;
    case MainCommand::Contents: return STD_HELP;
    case MainCommand::History: return Toolbar::ViewImages + VIEW_LIST;
    default: return STD_FILEOPEN;
    }
}

} // namespace

class TForm1::View : public MainView {
public:
    explicit View(TForm1& form) : d_(form) {}
    void showDocument(const std::string& caption, const CfgValues& values, const std::string& quilletPath) override;
    void showLastRun(const std::string& text) override {
        SendMessageW(d_.statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    }
    int selectedFile() const override {
        return static_cast<int>(SendMessageW(d_.lboxCompactFiles, LB_GETCURSEL, 0, 0));
    }
    std::optional<CfgOptions> editOptions(const CfgOptions& options) override {
        TfrmOptions dialog(options, d_.DataFolder());
        return dialog.ShowModal(d_.hwnd()) ? std::optional(dialog.options()) : std::nullopt;
    }
    void showScheduler() override { showWith(d_.link_.showScheduler); }
    void showHistory() override { showWith(d_.link_.showHistory); }
    void showAbout() override { showWith(d_.showAbout_); }
    void helpContents() override { ShowHelpContents(d_.hwnd()); }
    void helpSearch() override { ShowHelpSearch(d_.hwnd(), std::string()); }
    void helpTopic(int topic) override { ShowHelpTopic(d_.hwnd(), topic); }
    bool openLink(const std::string& address) override { return OpenWebLink(address, false); }
    void closeWindow() override { SendMessageW(d_.hwnd(), WM_CLOSE, 0, 0); }
    bool mayEndProgram() override { return !d_.link_.canCloseProgram || d_.link_.canCloseProgram(); }
    void inBackground(std::function<std::string()> work, std::function<void(std::string)> done) override {
        d_.work_.start(d_.hwnd(), std::move(work), std::move(done));
    }

private:
    void showWith(const std::function<void(HWND)>& show) const {
        if (show)
            show(d_.hwnd());
    }
    TForm1& d_;
};

void TForm1::View::showDocument(const std::string& caption, const CfgValues& values, const std::string& quilletPath) {
    SetText(d_.hwnd(), caption);
    for (std::size_t i = 0; i < std::size(Fields); ++i) {
        const std::string text = FieldText(values, quilletPath, i);
        HWND field = GetDlgItem(d_.hwnd(), FieldIds[i]);
        if (Fields[i].kind == FieldKind::Check)
            CheckDlgButton(d_.hwnd(), FieldIds[i], FieldChecked(values, i) ? BST_CHECKED : BST_UNCHECKED);
        // A field whose text stays the same keeps its caret and selection.
        else if (Fields[i].kind != FieldKind::List && WindowText(field) != text)
            SetText(field, text);
    }
    if (d_.CompactFiles() != values.compactFiles) {
        SendMessageW(d_.lboxCompactFiles, LB_RESETCONTENT, 0, 0);
        for (const std::string& file : values.compactFiles)
            SendMessageW(d_.lboxCompactFiles, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(file).c_str()));
    }
}

TForm1::TForm1(const std::string& programPath) {
    create("QuilletAdminMain", "Quillet", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
           WS_EX_CONTROLPARENT, nullptr,
           CreateMenuBar(MainMenu, CommandId(MainCommand::New), &accelerators_));
    layout_.sizeClient(ClientWidth, ClientHeight + StatusHeight);
    CentreOnScreen(hwnd());
    view_ = std::make_unique<View>(*this);
    presenter_ = std::make_unique<MainPresenter>(
        *view_, CurrentPrompts(), programPath.empty() ? platform::ExecutablePath() : programPath, ApplicationTitle());
    DropFileTarget1.Register(lboxCompactFiles, [this](const std::vector<std::string>& files) {
        presenter_->filesDropped(files);
    });
    presenter_->start();
    SetTimer(hwnd(), LastRunTimer, 3000, nullptr);
}

TForm1::~TForm1() {
    DropFileTarget1.Revoke();
    if (hwnd())
        KillTimer(hwnd(), LastRunTimer);
    work_.clear(); // waits for the readings still running
    if (accelerators_)
        DestroyAcceleratorTable(accelerators_);
}

void TForm1::createControls() {
    std::vector<Toolbar::Button> buttons;
    for (const ToolEntry& b : MainToolbar)
        buttons.push_back({b.caption, b.hint, imageOf(b.command), CommandId(b.command)});
    toolbar_.create(layout_, idToolbar, {2, 1, ClientWidth - 2, 55}, {64, 52}, buttons);

    // The browse buttons stay out of the Tab order; F4 in a path box opens them.
    TFileNameBox* paths[] = {&fedtAccess, &fedtWrkgrp, &fedtDB, &fedtQuilletPath};
    HWND* boxes[] = {&edtDesc, &lboxCompactFiles, &medtLogin, &medtPwd};
    int path = 0, box = 0;
    for (std::size_t i = 0; i < std::size(Fields); ++i) {
        const MainField& f = Fields[i];
        const Spot at{f.at.x, PanelTop + f.at.y, f.at.width, f.at.height};
        if (f.kind == FieldKind::Check) {
            layout_.add("BUTTON", f.caption, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, at.x, at.y, at.width,
                        at.height, FieldIds[i]);
            continue;
        }
        // Right-aligned up to the box, from a little before where the text begins.
        layout_.add("STATIC", f.caption, WS_VISIBLE | SS_RIGHT, f.labelX - 12, PanelTop + f.labelY + 3,
                    at.x - f.labelX + 8, 16);
        if (f.kind == FieldKind::Path) {
            paths[path++]->create(layout_, FieldIds[i], at.x, at.y, at.width, at.height);
            continue;
        }
        const DWORD style = f.kind == FieldKind::List ? WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT
                            : f.kind == FieldKind::Masked ? ES_AUTOHSCROLL | ES_PASSWORD
                                                          : ES_AUTOHSCROLL;
        *boxes[box++] = layout_.add(f.kind == FieldKind::List ? "LISTBOX" : "EDIT", "", WS_VISIBLE | WS_TABSTOP | style,
                                    at.x, at.y, at.width, at.height, FieldIds[i], WS_EX_CLIENTEDGE);
    }
    dropHint_ = layout_.add("STATIC", platform::DropHint, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 24, PanelTop + 94, 100,
                            30, idDropHint);
    for (HWND edit : {edtDesc, medtLogin, medtPwd})
        SendMessageW(edit, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    for (HWND masked : {medtLogin, medtPwd})
        SendMessageW(masked, EM_SETPASSWORDCHAR, '#', 0);

    statusBar_ = layout_.add("msctls_statusbar32", "", WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                             0, ClientHeight, ClientWidth, StatusHeight, idStatus);
    SetWindowSubclass(lboxCompactFiles, listKeys, ListSubclass, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TForm1::listKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* form = reinterpret_cast<TForm1*>(self);
    if (message == WM_KEYDOWN && (wParam == VK_INSERT || wParam == VK_DELETE) && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_SHIFT) >= 0) {
        Guarded([&] { form->presenter_->run(wParam == VK_INSERT ? MainCommand::AddFiles : MainCommand::DeleteEntry); });
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(list, listKeys, ListSubclass);
    return DefSubclassProc(list, message, wParam, lParam);
}

LRESULT TForm1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        createControls();
        return 0;
    case WM_DPICHANGED:
        Window::handle(message, wParam, lParam);
        toolbar_.rescale();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd(), &paint);
        for (RECT bevel : {RECT{0, 0, layout_.px(ClientWidth), layout_.px(57)},
                           RECT{0, layout_.px(PanelTop), layout_.px(ClientWidth), layout_.px(PanelTop + 291)}})
            DrawEdge(dc, &bevel, BDR_RAISEDINNER | BDR_SUNKENOUTER, BF_RECT);
        EndPaint(hwnd(), &paint);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == dropHint_) {
            auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
            SetBkColor(dc, GetSysColor(COLOR_INFOBK));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
        }
        break;
    case WM_COMMAND:
        command(LOWORD(wParam), lParam && reinterpret_cast<HWND>(lParam) != toolbar_.handle() ? HIWORD(wParam) : -1);
        return 0;
    case WM_NOTIFY:
        if (toolbar_.giveTip(lParam))
            return 0;
        break;
    case WM_ACTIVATE:
        // The field that had the focus gets it back when the window is active again.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd(), focus))
                focused_ = focus;
        }
        break;
    case WM_SETFOCUS:
        SetFocus(focused_ && IsWindow(focused_) ? focused_ : fedtAccess.edit());
        return 0;
    case WM_TIMER:
        if (wParam == LastRunTimer)
            presenter_->tick();
        return 0;
    case WmWorkDone:
        work_.finished();
        return 0;
    case WM_CLOSE:
        if (presenter_->close())
            DestroyWindow(hwnd());
        return 0;
    case WM_DESTROY:
        DropFileTarget1.Revoke();
        KillTimer(hwnd(), LastRunTimer);
        if (mainWindow_)
            PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return Window::handle(message, wParam, lParam);
}

// code: a control's notification, -1 for a menu, accelerator or toolbar command.
void TForm1::command(int id, int code) {
    if (code == -1 && id >= CommandId(MainCommand::New) && id <= CommandId(MainCommand::About)) {
        presenter_->run(static_cast<MainCommand>(id - CommandId(MainCommand::New)));
    } else if (const auto field = fieldOf(id); field && code == EN_CHANGE) {
        presenter_->fieldEdited(*field, WindowText(GetDlgItem(hwnd(), id)));
    } else if (field && code == BN_CLICKED) {
        presenter_->fieldClicked(*field, IsDlgButtonChecked(hwnd(), id) == BST_CHECKED);
    } else if (code == BN_CLICKED) {
        // A path box's browse button.
        for (TFileNameBox* path : {&fedtAccess, &fedtWrkgrp, &fedtDB, &fedtQuilletPath})
            if (GetDlgCtrlID(path->edit()) + 1 == id)
                path->Browse();
    }
    // A control's other notifications (selection, focus) are no commands.
}

std::vector<std::string> TForm1::CompactFiles() const {
    return ListBoxLines(lboxCompactFiles);
}

} // namespace quillet::admin
