#include "ui/win32/HelpWindow.h"

#include "platform/Files.h"
#include "platform/SelfPath.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Help.h"
#include "ui/win32/Win32Prompts.h"

#include <algorithm>

namespace quillet::ui::win32 {

using platform::win32::Wide;
using platform::win32::WideCrlf;

namespace {

enum : int { IdContents = 1001, IdBack, IdContentsList, IdKeyword, IdIndex, IdDisplay, IdText, IdStatus };

// The position in the control's text (UTF-16, CR LF) of a byte offset in the UTF-8 text.
LPARAM controlPosition(const std::string& text, std::size_t offset) {
    return static_cast<LPARAM>(WideCrlf(std::string_view(text).substr(0, offset)).size());
}

// Fills a list box and lets it scroll sideways as far as its longest line needs.
void fillList(HWND list, const std::vector<std::string>& lines) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (const std::string& line : lines) {
        const std::wstring wide = Wide(line);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        SIZE size{};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

} // namespace

THelpWindow::THelpWindow() {
    create("QuilletHelpWindow", "Quillet Help", WS_OVERLAPPEDWINDOW, WS_EX_CONTROLPARENT, nullptr);
}

LRESULT THelpWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        layout_.add("BUTTON", "&Contents", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 8, 8, 80, 24, IdContents);
        layout_.add("BUTTON", "&Back", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 92, 8, 80, 24, IdBack);
        layout_.add("STATIC", "Co&ntents:", WS_VISIBLE | SS_LEFT, 8, 40, 250, 16);
        lboxContents = layout_.add("LISTBOX", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                                   8, 58, 250, 230, IdContentsList, WS_EX_CLIENTEDGE);
        layout_.add("STATIC", "&Type the first letters of a keyword:", WS_VISIBLE | SS_LEFT, 8, 296, 250, 16);
        edtKeyword = layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 8, 314, 250, 22, IdKeyword,
                                 WS_EX_CLIENTEDGE);
        lboxIndex = layout_.add("LISTBOX", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                                8, 340, 250, 200, IdIndex, WS_EX_CLIENTEDGE);
        layout_.add("BUTTON", "&Display", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 8, 546, 80, 24, IdDisplay);
        edtHelpText = layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 266,
                                  40, 586, 530, IdText, WS_EX_CLIENTEDGE);
        lblStatus = layout_.add("STATIC", "", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 578, 844, 18, IdStatus);
        layout_.sizeClient(860, 600);
        return 0;
    }
    case WM_SIZE: {
        const int width = MulDiv(LOWORD(lParam), 96, static_cast<int>(layout_.dpi()));
        const int height = MulDiv(HIWORD(lParam), 96, static_cast<int>(layout_.dpi()));
        if (width > 300 && height > 300) {
            layout_.move(edtHelpText, 266, 40, width - 274, height - 70);
            layout_.move(lboxIndex, 8, 340, 250, height - 400);
            layout_.move(GetDlgItem(hwnd(), IdDisplay), 8, height - 54, 80, 24);
            layout_.move(lblStatus, 8, height - 22, width - 16, 18);
        }
        return 0;
    }
    case DM_GETDEFID:
        return MAKELRESULT(IdDisplay, DC_HASDEFID);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IdContents:
            showContents();
            break;
        case IdBack:
            back();
            break;
        case IdKeyword:
            if (HIWORD(wParam) == EN_CHANGE)
                filterIndex();
            break;
        case IdIndex:
            if (HIWORD(wParam) == LBN_DBLCLK)
                openKeyword();
            break;
        case IdContentsList:
            if (HIWORD(wParam) == LBN_DBLCLK || HIWORD(wParam) == LBN_SELCHANGE)
                openHeading();
            break;
        case IdDisplay:
        case IDOK:
            if (GetFocus() == lboxContents)
                openHeading();
            else
                openKeyword();
            break;
        case IDCANCEL:
            ShowWindow(hwnd(), SW_HIDE);
            break;
        default:
            break;
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(edtKeyword);
        return 0;
    case WM_CLOSE:
        // Hidden, not destroyed: the next request shows it where the user left it.
        ShowWindow(hwnd(), SW_HIDE);
        return 0;
    default:
        return Window::handle(message, wParam, lParam);
    }
}

bool THelpWindow::load(const std::string& helpFile) {
    if (helpFile == file_)
        return true;
    std::string bytes;
    if (!platform::ReadWholeFile(helpFile, bytes))
        return false;
    file_ = helpFile;
    html_ = std::move(bytes);
    text_ = RenderHelpText(html_);
    keywords_ = ParseHelpIndex(html_);
    history_.clear();
    anchor_.clear();
    EnableWindow(GetDlgItem(hwnd(), IdBack), FALSE);
    SetWindowTextW(edtHelpText, WideCrlf(text_.text).c_str());
    std::vector<std::string> headings;
    for (const auto& h : text_.headings)
        headings.push_back(std::string(2 * static_cast<std::size_t>(h.level - 1), ' ') + h.text);
    fillList(lboxContents, headings);
    filterIndex();
    return true;
}

void THelpWindow::goToAnchor(const std::string& anchor, bool remember) {
    const std::size_t offset = text_.offsetOf(anchor);
    if (offset == std::string::npos)
        return;
    if (remember && !anchor_.empty() && anchor_ != anchor) {
        history_.push_back(anchor_);
        EnableWindow(GetDlgItem(hwnd(), IdBack), TRUE);
    }
    anchor_ = anchor;
    const LPARAM position = controlPosition(text_.text, offset);
    SendMessageW(edtHelpText, EM_SETSEL, static_cast<WPARAM>(position), position);
    const LRESULT line = SendMessageW(edtHelpText, EM_LINEFROMCHAR, static_cast<WPARAM>(position), 0);
    const LRESULT first = SendMessageW(edtHelpText, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageW(edtHelpText, EM_LINESCROLL, 0, line - first);
    SetWindowTextW(lblStatus, L"");
    // The contents show where the reader is: the last heading at or before the place.
    LRESULT heading = -1;
    for (std::size_t i = 0; i < text_.headings.size(); ++i) {
        const std::size_t at = text_.offsetOf(text_.headings[i].anchor);
        if (!text_.headings[i].anchor.empty() && at != std::string::npos && at <= offset)
            heading = static_cast<LRESULT>(i);
    }
    SendMessageW(lboxContents, LB_SETCURSEL, static_cast<WPARAM>(heading), 0);
}

void THelpWindow::showContents() {
    goToAnchor(HelpContentsAnchor);
}

bool THelpWindow::showTopic(int topic) {
    const std::string anchor = HelpTopicAnchor(topic);
    if (text_.offsetOf(anchor) != std::string::npos) {
        goToAnchor(anchor);
        return true;
    }
    showContents();
    SetText(lblStatus, "Topic " + std::to_string(topic) + " is not in the help file; the contents are shown instead.");
    return false;
}

void THelpWindow::showSearch(const std::string& key) {
    SetText(edtKeyword, key);
    filterIndex();
    SetFocus(edtKeyword);
    SendMessageW(edtKeyword, EM_SETSEL, 0, -1);
}

void THelpWindow::showWindow() {
    if (IsIconic(hwnd()))
        ShowWindow(hwnd(), SW_RESTORE);
    else if (!IsWindowVisible(hwnd())) {
        CentreOnScreen(hwnd());
        ShowWindow(hwnd(), SW_SHOW);
    }
    SetForegroundWindow(hwnd());
    // Typing a keyword is what a reader does first.
    SetFocus(edtKeyword);
}

std::vector<std::string> THelpWindow::visibleKeywords() const {
    std::vector<std::string> list;
    for (const HelpKeyword* k : shown_)
        list.push_back(k->text);
    return list;
}

std::string THelpWindow::status() const {
    return WindowText(lblStatus);
}

std::string THelpWindow::selectedHeading() const {
    const LRESULT row = SendMessageW(lboxContents, LB_GETCURSEL, 0, 0);
    return row < 0 ? std::string() : ListBoxLine(lboxContents, static_cast<int>(row));
}

void THelpWindow::filterIndex() {
    shown_ = FilterHelpIndex(keywords_, WindowText(edtKeyword));
    fillList(lboxIndex, visibleKeywords());
    if (!shown_.empty())
        SendMessageW(lboxIndex, LB_SETCURSEL, 0, 0);
}

void THelpWindow::openKeyword() {
    const LRESULT row = SendMessageW(lboxIndex, LB_GETCURSEL, 0, 0);
    if (row >= 0 && static_cast<std::size_t>(row) < shown_.size())
        goToAnchor(shown_[static_cast<std::size_t>(row)]->anchor);
}

void THelpWindow::openHeading() {
    const LRESULT row = SendMessageW(lboxContents, LB_GETCURSEL, 0, 0);
    if (row >= 0 && static_cast<std::size_t>(row) < text_.headings.size() &&
        !text_.headings[static_cast<std::size_t>(row)].anchor.empty())
        goToAnchor(text_.headings[static_cast<std::size_t>(row)].anchor);
}

void THelpWindow::back() {
    if (history_.empty())
        return;
    const std::string previous = history_.back();
    history_.pop_back();
    goToAnchor(previous, false);
    EnableWindow(GetDlgItem(hwnd(), IdBack), !history_.empty());
}

// The help requests and their seam.

namespace {

std::string& helpFile() {
    static std::string file;
    return file;
}

std::unique_ptr<HelpEngine>& installed() {
    static std::unique_ptr<HelpEngine> engine;
    return engine;
}

std::unique_ptr<THelpWindow>& sharedWindow() {
    static std::unique_ptr<THelpWindow> window;
    return window;
}

class WindowHelp : public HelpEngine {
public:
    void contents(HWND, const std::string& file) override {
        if (THelpWindow* w = open(file))
            w->showContents();
    }
    void search(HWND, const std::string& file, const std::string& key) override {
        if (THelpWindow* w = open(file))
            w->showSearch(key);
    }
    void topic(HWND, const std::string& file, int topic) override {
        if (THelpWindow* w = open(file))
            w->showTopic(topic);
    }

private:
    static THelpWindow* open(const std::string& file) {
        THelpWindow* w = SharedHelpWindow(true);
        if (!w->load(file)) {
            const std::string why = platform::LastFileErrorText();
            CurrentPrompts().warn(ApplicationTitle(), "Cannot open the help file " + file + ". " + why);
            return nullptr;
        }
        w->showWindow();
        return w;
    }
};

} // namespace

THelpWindow* SharedHelpWindow(bool create) {
    auto& window = sharedWindow();
    if (!window && create)
        window = std::make_unique<THelpWindow>();
    return window.get();
}

void SetHelpFile(const std::string& path) {
    helpFile() = path;
}

std::string HelpFilePath() {
    if (!helpFile().empty())
        return helpFile();
    return platform::ExecutableFolder() + "Quillet.hlp";
}

void ShowHelpContents(HWND owner) {
    HelpEngine::instance().contents(owner, HelpFilePath());
}

void ShowHelpSearch(HWND owner, const std::string& key) {
    HelpEngine::instance().search(owner, HelpFilePath(), key);
}

void ShowHelpTopic(HWND owner, int topic) {
    HelpEngine::instance().topic(owner, HelpFilePath(), topic);
}

HelpEngine& HelpEngine::instance() {
    static WindowHelp real;
    auto& engine = installed();
    return engine ? *engine : real;
}

void HelpEngine::setInstance(std::unique_ptr<HelpEngine> engine) {
    installed() = std::move(engine);
}

} // namespace quillet::ui::win32
