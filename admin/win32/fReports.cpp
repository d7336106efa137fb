#include "admin/win32/fReports.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Help.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

namespace quillet::admin {

using namespace quillet::ui::win32;
using platform::win32::Wide;
using platform::win32::WideCrlf;

namespace {

constexpr int Width = 720;
constexpr int Height = 400;
constexpr int ColumnWidth = 356;
constexpr UINT WmTestDone = WM_APP + 41;

void SetCue(HWND edit, const std::string& cue) {
    SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Wide(cue).c_str()));
}

} // namespace

class TfrmReports::View : public ReportsView {
public:
    explicit View(TfrmReports& dialog) : d_(dialog) {}
    void showText(ReportsField field, const std::string& text) override { SetText(d_.box(field), text); }
    void showChoices(ReportsField field, const std::vector<std::string>& labels, std::size_t chosen) override {
        SendMessageW(d_.box(field), CB_RESETCONTENT, 0, 0);
        for (const std::string& label : labels)
            SendMessageW(d_.box(field), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(label).c_str()));
        SendMessageW(d_.box(field), CB_SETCURSEL, chosen, 0);
    }
    void showPasswordNote(const std::string& note) override { SetCue(d_.box(ReportsField::MailPassword), note); }
    // A multi-line box breaks lines at "\r\n" only.
    void showAnswers(const std::string& text) override {
        SetWindowTextW(d_.item(idTestAnswers), WideCrlf(text).c_str());
    }
    void enable(ReportsField field, bool enabled) override { EnableWindow(d_.box(field), enabled); }
    void enableTest(bool enabled) override { EnableWindow(d_.item(idSendTest), enabled); }
    void focus(ReportsField field) override {
        SetFocus(d_.box(field));
        SendMessageW(d_.box(field), EM_SETSEL, 0, -1);
    }
    void helpTopic(int topic) override { ShowHelpTopic(d_.hwnd(), topic); }
    void postTestDone() override { PostMessageW(d_.window_, WmTestDone, 0, 0); }

private:
    TfrmReports& d_;
};

TfrmReports::TfrmReports(const std::string& dataFolder)
    : ConfirmDialog(Width, Height, idReportsHelp), view_(std::make_unique<View>(*this)),
      presenter_(*view_, CurrentPrompts(), dataFolder) {}

TfrmReports::~TfrmReports() = default;

HWND TfrmReports::onInit() {
    window_ = hwnd();
    int rows[2] = {0, 0};
    for (int c = 0; c < 2; ++c)
        layout_.add("STATIC", ReportsColumnTitles[c], WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12 + c * ColumnWidth, 10,
                    300, 16);
    for (const ReportsRow& row : ReportsRows) {
        const int x = 12 + row.column * ColumnWidth, y = 34 + 28 * rows[row.column]++;
        const int id = idReportsBox + static_cast<int>(row.field);
        layout_.add("STATIC", row.label, WS_VISIBLE | SS_LEFT, x, y + 3, 126, 16);
        if (row.kind == ReportsFieldKind::Choice) {
            layout_.add("COMBOBOX", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, x + 130, y, 210,
                        200, id);
            continue;
        }
        const int width = row.kind == ReportsFieldKind::Hours ? 60 : row.kind == ReportsFieldKind::Folder ? 176 : 210;
        const DWORD password = row.kind == ReportsFieldKind::Password ? ES_PASSWORD : 0;
        SetCue(layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | password, x + 130, y, width, 22, id,
                           WS_EX_CLIENTEDGE),
               row.hint);
        if (row.kind == ReportsFieldKind::Folder)
            layout_.add("BUTTON", "...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x + 310, y, 30, 22, idFleetBrowse);
        if (row.kind == ReportsFieldKind::Hours)
            layout_.add("STATIC", "hours", WS_VISIBLE | SS_LEFT, x + 196, y + 3, 60, 16);
    }
    layout_.add("BUTTON", SendTestLabel, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 12, 268, 140, 24, idSendTest);
    layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 12, 298, Width - 24,
                58, idTestAnswers, WS_EX_CLIENTEDGE);
    addButtons();
    presenter_.start();
    return box(ReportsField::MailServer);
}

void TfrmReports::onControl(int id, int code) {
    const auto field = static_cast<ReportsField>(id - idReportsBox);
    if (id >= idReportsBox && id < idReportsBox + static_cast<int>(ReportsRows.size())) {
        if (code == EN_CHANGE)
            presenter_.edited(field, WindowText(item(id)));
        else if (code == CBN_SELCHANGE)
            presenter_.chosen(field, static_cast<std::size_t>(SendMessageW(item(id), CB_GETCURSEL, 0, 0)));
    } else if (id == idFleetBrowse) {
        presenter_.browseFleetFolder();
    } else if (id == idSendTest) {
        presenter_.sendTest();
    }
}

bool TfrmReports::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message != WmTestDone)
        return ConfirmDialog::onMessage(message, wParam, lParam, result);
    presenter_.testDone();
    result = TRUE;
    return true;
}

} // namespace quillet::admin
