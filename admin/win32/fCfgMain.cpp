#include "admin/win32/fCfgMain.h"

#include "admin/Shortcut.h"
#include "admin/win32/fOptions.h"
#include "core/Errors.h"
#include "core/Include.h"
#include "core/RunHistory.h"
#include "platform/Files.h"
#include "platform/Programs.h"
#include "platform/Registry.h"
#include "platform/SelfPath.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/Help.h"
#include "ui/win32/WebLinks.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

namespace quillet::admin {

using namespace quillet::ui;
using namespace quillet::ui::win32;
using platform::win32::Wide;

namespace {

constexpr int ClientWidth = 534;
constexpr int ClientHeight = 347;
constexpr int StatusHeight = 22;
constexpr int PanelTop = 55;
constexpr int EditHeight = 21;
constexpr int BoxWidth = 385;
constexpr UINT_PTR LastRunTimer = 1;
constexpr UINT_PTR ListSubclass = 0x51D1;

struct ToolButton {
    int command;
    const wchar_t* caption;
    const wchar_t* hint;
    int image; // standard bitmap index; views are offset by 100
};

const ToolButton toolButtons[] = {
    {cmdNew, L"New", L"New configuration", STD_FILENEW},
    {cmdOpen, L"Open", L"Open an exisitng configuration file", STD_FILEOPEN},
    {cmdSave, L"Save", L"Save current configuration file", STD_FILESAVE},
    {cmdDeleteFile, L"Delete", L"Removes selected database from compaction configuration", STD_DELETE},
    {cmdScheduling, L"Schedule", L"Show scheduler configuration screen", 100 + VIEW_DETAILS},
    {cmdContents, L"Help", L"Help", STD_HELP},
    // Dragging is not the only way to fill the list.
    {cmdAddFiles, L"Add...", L"Adds databases to compaction configuration", STD_FILEOPEN},
    {cmdHistory, L"History", L"Show what the compactions did", 100 + VIEW_LIST},
};

} // namespace

TForm1::TForm1(const std::string& programPath) {
    create("QuilletAdminMain", "Quillet", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
           WS_EX_CONTROLPARENT, nullptr, createMenus());
    layout_.sizeClient(ClientWidth, ClientHeight + StatusHeight);
    CentreOnScreen(hwnd());
    FormCreate(programPath);
}

TForm1::~TForm1() {
    DropFileTarget1.Revoke();
    if (hwnd())
        KillTimer(hwnd(), LastRunTimer);
    if (accelerators_)
        DestroyAcceleratorTable(accelerators_);
}

HMENU TForm1::createMenus() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, cmdNew, L"&New Config File\tCtrl+N");
    AppendMenuW(file, MF_STRING, cmdOpen, L"&Open Config File\tCtrl+O");
    AppendMenuW(file, MF_STRING, cmdSave, L"&Save Config File\tCtrl+S");
    AppendMenuW(file, MF_STRING, cmdSaveAs, L"Save &As");
    AppendMenuW(file, MF_STRING, cmdDeleteFile, L"&Delete File");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, cmdCreateDesktopIcon, L"Create Desktop &Icon");
    AppendMenuW(file, MF_STRING, cmdOptions, L"O&ptions...");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, cmdExit, L"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    HMENU view = CreatePopupMenu();
    AppendMenuW(view, MF_STRING, cmdScheduling, L"S&cheduling");
    AppendMenuW(view, MF_STRING, cmdHistory, L"&History");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, cmdContents, L"&Contents\tF1");
    AppendMenuW(help, MF_STRING, cmdKeywordSearch, L"Keyword &Search");
    AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(help, MF_STRING, cmdWebPage, L"Quillet &Web Page");
    AppendMenuW(help, MF_STRING, cmdHomePage, L"Orvane &Home Page");
    AppendMenuW(help, MF_STRING, cmdEmailFeedback, L"&E-mail Feedback");
    AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(help, MF_STRING, cmdAbout, L"&About");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");

    ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'N', cmdNew},
                    {FVIRTKEY | FCONTROL, 'O', cmdOpen},
                    {FVIRTKEY | FCONTROL, 'S', cmdSave},
                    {FVIRTKEY, VK_F1, cmdContents}};
    accelerators_ = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
    return bar;
}

void TForm1::createToolbar() {
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER |
                                   CCS_NOPARENTALIGN,
                               0, 0, 10, 10, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(idToolbar)),
                               Instance(), nullptr);
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar_, TB_LOADIMAGES, IDB_STD_LARGE_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    const LRESULT views =
        SendMessageW(toolbar_, TB_LOADIMAGES, IDB_VIEW_LARGE_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    for (const ToolButton& b : toolButtons) {
        TBBUTTON button{};
        button.iBitmap = b.image >= 100 ? static_cast<int>(views) + b.image - 100 : b.image;
        button.idCommand = b.command;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON;
        button.iString = reinterpret_cast<INT_PTR>(b.caption);
        SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
    layout_.place(toolbar_, 2, 1, ClientWidth - 4, 54);
    SendMessageW(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(layout_.px(64), layout_.px(52)));
}

void TForm1::createControls() {
    createToolbar();
    const int y = PanelTop;
    // Each label comes right before its field, so that its mnemonic reaches the field.
    layout_.add("STATIC", "MS &Access Path:", WS_VISIBLE | SS_RIGHT, 8, y + 19, 116, 16);
    fedtAccess.create(layout_, idAccess, 128, y + 16, BoxWidth, EditHeight);
    layout_.add("STATIC", "&Description:", WS_VISIBLE | SS_RIGHT, 8, y + 43, 116, 16);
    edtDesc = layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 128, y + 40, BoxWidth, EditHeight,
                          idDesc, WS_EX_CLIENTEDGE);
    layout_.add("STATIC", "F&iles To Compact:", WS_VISIBLE | SS_RIGHT, 8, y + 72, 116, 16);
    lboxCompactFiles = layout_.add("LISTBOX", "",
                                   WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                                   128, y + 64, BoxWidth, 97, idCompactFiles, WS_EX_CLIENTEDGE);
    dropHint_ = layout_.add("STATIC", platform::DropHint, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 24, y + 94, 100, 30,
                            idDropHint);
    chkRepair = layout_.add("BUTTON", "&Repair", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 32, y + 136, 80, 18,
                            idRepair);
    layout_.add("STATIC", "&Security File:", WS_VISIBLE | SS_RIGHT, 8, y + 171, 116, 16);
    fedtWrkgrp.create(layout_, idWrkgrp, 128, y + 168, BoxWidth, EditHeight);
    layout_.add("STATIC", "&Login:", WS_VISIBLE | SS_RIGHT, 8, y + 195, 116, 16);
    medtLogin = layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, 128, y + 192, 121,
                            EditHeight, idLogin, WS_EX_CLIENTEDGE);
    layout_.add("STATIC", "&Password:", WS_VISIBLE | SS_RIGHT, 252, y + 195, 64, 16);
    medtPwd = layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, 320, y + 192, 121,
                          EditHeight, idPwd, WS_EX_CLIENTEDGE);
    for (HWND masked : {medtLogin, medtPwd}) {
        SendMessageW(masked, EM_SETPASSWORDCHAR, '#', 0);
        SendMessageW(masked, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    }
    SendMessageW(edtDesc, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    chkEncrypt = layout_.add("BUTTON", "E&ncrypt", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 452, y + 194, 76, 18,
                             idEncrypt);
    layout_.add("STATIC", "La&unch File:", WS_VISIBLE | SS_RIGHT, 8, y + 230, 116, 16);
    fedtDB.create(layout_, idLaunch, 128, y + 228, BoxWidth, EditHeight);
    layout_.add("STATIC", "&Quillet Path:", WS_VISIBLE | SS_RIGHT, 8, y + 263, 116, 16);
    fedtQuilletPath.create(layout_, idQuilletPath, 128, y + 260, BoxWidth, EditHeight);

    statusBar_ = layout_.add("msctls_statusbar32", "", WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0,
                             ClientHeight, ClientWidth, StatusHeight, idStatus);
    SetWindowSubclass(lboxCompactFiles, listKeys, ListSubclass, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TForm1::listKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* form = reinterpret_cast<TForm1*>(self);
    if (message == WM_KEYDOWN && (wParam == VK_INSERT || wParam == VK_DELETE) && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_SHIFT) >= 0) {
        Guarded([&] {
            if (wParam == VK_INSERT)
                form->AddFiles1Click();
            else
                form->DeleteFile1Click();
        });
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(list, listKeys, ListSubclass);
    return DefSubclassProc(list, message, wParam, lParam);
}

void TForm1::paintBevels(HDC dc) {
    RECT toolbar{0, 0, layout_.px(ClientWidth), layout_.px(57)};
    DrawEdge(dc, &toolbar, BDR_RAISEDINNER | BDR_SUNKENOUTER, BF_RECT);
    RECT fields{0, layout_.px(PanelTop), layout_.px(ClientWidth), layout_.px(PanelTop + 291)};
    DrawEdge(dc, &fields, BDR_RAISEDINNER | BDR_SUNKENOUTER, BF_RECT);
}

LRESULT TForm1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        createControls();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd(), &paint);
        paintBevels(dc);
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
        if (HIWORD(wParam) == EN_CHANGE && lParam != 0) {
            if (!drawing_)
                edited(LOWORD(wParam));
            return 0;
        }
        // A control's other notifications (selection, focus) are no commands.
        if (lParam == 0 || reinterpret_cast<HWND>(lParam) == toolbar_ || HIWORD(wParam) == BN_CLICKED)
            command(LOWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            for (const ToolButton& b : toolButtons)
                if (static_cast<int>(header->idFrom) == b.command)
                    info->lpszText = const_cast<wchar_t*>(b.hint);
            return 0;
        }
        break;
    }
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
            RefreshLastRun();
        return 0;
    case WM_CLOSE:
        if (FormClose())
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

void TForm1::command(int id) {
    switch (id) {
    case cmdNew: NewConfigFile1Click(); break;
    case cmdOpen: OpenConfigFile1Click(); break;
    case cmdSave: SaveConfigFIle1Click(); break;
    case cmdSaveAs: SaveAs1Click(); break;
    case cmdDeleteFile: DeleteFile1Click(); break;
    case cmdAddFiles: AddFiles1Click(); break;
    case cmdCreateDesktopIcon: CreateDesktopIcon1Click(); break;
    case cmdOptions: Options1Click(); break;
    case cmdExit: Exit1Click(); break;
    case cmdScheduling: Scheduling1Click(); break;
    case cmdHistory: History1Click(); break;
    case cmdContents: Contents1Click(); break;
    case cmdKeywordSearch: KeywordSearch1Click(); break;
    case cmdWebPage: QuilletWebPage1Click(); break;
    case cmdHomePage: OrvaneHomePage1Click(); break;
    case cmdEmailFeedback: EmailFeedback1Click(); break;
    case cmdAbout: About1Click(); break;
    case idRepair:
        doc_->SetRepair(IsDlgButtonChecked(hwnd(), idRepair) == BST_CHECKED);
        break;
    case idEncrypt:
        doc_->SetEncrypt(IsDlgButtonChecked(hwnd(), idEncrypt) == BST_CHECKED);
        break;
    case idAccess + 1: fedtAccess.Browse(); break;
    case idWrkgrp + 1: fedtWrkgrp.Browse(); break;
    case idLaunch + 1: fedtDB.Browse(); break;
    case idQuilletPath + 1: fedtQuilletPath.Browse(); break;
    default: break;
    }
}

void TForm1::edited(int id) {
    switch (id) {
    case idAccess: doc_->SetAccessPath(fedtAccess.text()); break;
    case idDesc: doc_->SetText(TextField::Description, WindowText(edtDesc)); break;
    case idWrkgrp: doc_->SetText(TextField::Workgroup, fedtWrkgrp.text()); break;
    case idLogin: doc_->SetText(TextField::Login, WindowText(medtLogin)); break;
    case idPwd: doc_->SetText(TextField::Password, WindowText(medtPwd)); break;
    case idLaunch: doc_->SetText(TextField::LaunchFile, fedtDB.text()); break;
    case idQuilletPath: doc_->SetQuilletPath(fedtQuilletPath.text()); break;
    default: break;
    }
}

std::vector<std::string> TForm1::CompactFiles() const {
    return ListBoxLines(lboxCompactFiles);
}

void TForm1::draw() {
    drawing_ = true;
    SetText(hwnd(), doc_->Caption());
    const CfgValues& values = doc_->Values();
    // A field whose text stays the same keeps its caret and selection.
    auto show = [](HWND edit, const std::string& text) {
        if (WindowText(edit) != text)
            SetText(edit, text);
    };
    show(fedtAccess.edit(), values.accessPath);
    show(edtDesc, values.description);
    CheckDlgButton(hwnd(), idRepair, values.repair ? BST_CHECKED : BST_UNCHECKED);
    show(fedtWrkgrp.edit(), values.workgroup);
    show(medtLogin, values.login);
    show(medtPwd, values.password);
    CheckDlgButton(hwnd(), idEncrypt, values.encrypt ? BST_CHECKED : BST_UNCHECKED);
    show(fedtDB.edit(), values.launchFile);
    show(fedtQuilletPath.edit(), doc_->QuilletPath());
    if (CompactFiles() != values.compactFiles) {
        SendMessageW(lboxCompactFiles, LB_RESETCONTENT, 0, 0);
        for (const std::string& file : values.compactFiles)
            SendMessageW(lboxCompactFiles, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(file).c_str()));
    }
    drawing_ = false;
    RefreshLastRun();
}

void TForm1::FormCreate(const std::string& programPath) {
    std::string program = programPath;
    if (program.empty())
        program = platform::ExecutablePath();
    appFolder_ = ProgramFolder(program);
    appTitle_ = ApplicationTitle();
    DropFileTarget1.Register(lboxCompactFiles,
                             [this](const std::vector<std::string>& files) { DropFileTarget1Drop(files); });
    doc_ = std::make_unique<ConfigDocument>(AdminSettings(appFolder_), CurrentPrompts(), appTitle_);
    UpdateForm();
    SetTimer(hwnd(), LastRunTimer, 3000, nullptr);
}

bool TForm1::FormClose() {
    if (!doc_->Close())
        return false;
    // A scheduled run going on has its say last.
    return !link_.canCloseProgram || link_.canCloseProgram();
}

void TForm1::UpdateForm() {
    draw();
}

void TForm1::SaveConfigFIle1Click() {
    doc_->Save();
    draw();
}

void TForm1::SaveAs1Click() {
    doc_->SaveAs();
    draw();
}

void TForm1::Options1Click() {
    TfrmOptions dialog;
    dialog.setOptions(doc_->Values().options);
    if (dialog.ShowModal(hwnd()))
        doc_->SetOptions(dialog.options());
}

void TForm1::NewConfigFile1Click() {
    doc_->New();
    draw();
}

void TForm1::OpenConfigFile1Click() {
    doc_->Open();
    draw();
}

void TForm1::DeleteFile1Click() {
    const LRESULT row = SendMessageW(lboxCompactFiles, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR)
        return;
    doc_->RemoveFile(static_cast<int>(row));
    draw();
    // As after any removal from the list, nothing is selected.
    SendMessageW(lboxCompactFiles, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void TForm1::AddFiles1Click() {
    doc_->AddFilesFromDialog();
    draw();
}

void TForm1::Exit1Click() {
    SendMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void TForm1::DropFileTarget1Drop(const std::vector<std::string>& files) {
    doc_->AddFiles(files);
    draw();
}

void TForm1::Scheduling1Click() {
    if (link_.showScheduler)
        link_.showScheduler(hwnd());
}

void TForm1::History1Click() {
    if (link_.showHistory)
        link_.showHistory(hwnd());
}

void TForm1::RefreshLastRun() {
    lastRun_.clear();
    if (doc_ && !doc_->Path().empty())
        lastRun_ = LastRunTextOf(
            history_.get(CompactorFileOf(QuilletPathText(), HistoryFileName)).contents.records, doc_->Path());
    SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(lastRun_).c_str()));
}

// Shell and help commands.

void TForm1::CreateDesktopIcon1Click() {
    // The shortcut starts the compactor next to the administrator, whatever the Quillet
    // Path field says; CurrentCfgPath itself stays unquoted.
    const auto result = CreateShortcut(appFolder_ + platform::CompactorProgramName, DescriptionText(),
                                       QuotePath(doc_->Path()), true, false);
    // Telling the user is better than a shortcut that silently never appears.
    if (!result.written())
        CurrentPrompts().warn(appTitle_, "Cannot create file " + result.linkPath + ".\n\n" + result.failure);
}

void TForm1::Contents1Click() {
    ShowHelpContents(hwnd());
}

void TForm1::KeywordSearch1Click() {
    ShowHelpSearch(hwnd(), std::string());
}

void TForm1::QuilletWebPage1Click() {
    OpenWebLink(ProductWebAddress, false);
}

void TForm1::OrvaneHomePage1Click() {
    if (!OpenWebLink(MakerHomeAddress, false))
        ShowHelpTopic(hwnd(), HelpTopicHomePage);
}

void TForm1::EmailFeedback1Click() {
    if (CurrentPrompts().ask("Confirm",
                             "Have you checked the help file and Orvane web site first before requesting "
                             "technical support?",
                             false) == Answer::Yes)
        OpenWebLink(SupportEmailAddress, false);
}

void TForm1::About1Click() {
    if (showAbout_)
        showAbout_(hwnd());
}

} // namespace quillet::admin
