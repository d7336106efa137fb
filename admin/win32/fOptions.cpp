#include "admin/win32/fOptions.h"

#include "admin/win32/fReports.h"

#include "ui/win32/Help.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

namespace quillet::admin {

using namespace quillet::ui::win32;

namespace {

constexpr int Width = 480;
constexpr int Height = 252;

int idOf(OptionsField field) {
    static constexpr int ids[] = {idTimeLimit, idBackupKeep, idParallel, idBackupFolder};
    return ids[static_cast<int>(field)];
}

} // namespace

TfrmOptions::TfrmOptions(const CfgOptions& options, const std::string& dataFolder)
    : presenter_(*this, CurrentPrompts(), options, dataFolder) {}

bool TfrmOptions::ShowModal(HWND owner) {
    return run(owner, OptionsCaption, Width, Height) == IDOK;
}

HWND TfrmOptions::numberField(int id, const char* label, int y, const char* unit) {
    layout_.add("STATIC", label, WS_VISIBLE | SS_LEFT, 12, y + 3, 154, 16);
    HWND edit = layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 170, y, 90, 22, id,
                            WS_EX_CLIENTEDGE);
    // Arrows without a range of their own: the OK's check names a bad number.
    HWND spin = layout_.add("msctls_updown32", "",
                            WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_NOTHOUSANDS | UDS_ARROWKEYS, 260, y,
                            16, 22, id + 1);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessageW(spin, UDM_SETRANGE32, 0, MaxTimeLimit);
    layout_.add("STATIC", unit, WS_VISIBLE | SS_LEFT, 270, y + 3, 200, 16);
    return edit;
}

HWND TfrmOptions::onInit() {
    HWND first = numberField(idTimeLimit, "&Time limit per database:", 12, "minutes (0: no limit)");
    layout_.add("BUTTON", "Skip databases in &use (their lock file is held)",
                WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 170, 42, 300, 18, idSkipInUse);
    layout_.add("STATIC", "&Backup folder:", WS_VISIBLE | SS_LEFT, 12, 71, 154, 16);
    layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 170, 68, 264, 22, idBackupFolder,
                WS_EX_CLIENTEDGE);
    SendMessageW(item(idBackupFolder), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"No backups"));
    layout_.add("BUTTON", "...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 438, 68, 30, 22, idBackupBrowse);
    numberField(idBackupKeep, "Backups to &keep:", 98, "per database");
    layout_.add("BUTTON", "Only &changed databases (skip those unchanged since their last compaction)",
                WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 12, 128, 456, 18, idOnlyChanged);
    numberField(idParallel, "&Parallel engines:", 154, "at the same time");
    layout_.add("STATIC",
                "A database is compacted only when its disk has room for a copy of it.\r\n"
                "A failed backup leaves the database uncompacted.",
                WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, 184, 456, 30);
    layout_.add("BUTTON", ReportsButtonLabel, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 12, Height - 34, 90, 24,
                idOptionsReports);
    layout_.add("BUTTON", "OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, Width - 252, Height - 34, 76, 24, IDOK);
    layout_.add("BUTTON", "Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Width - 172, Height - 34, 76, 24,
                IDCANCEL);
    layout_.add("BUTTON", "&Help", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Width - 92, Height - 34, 80, 24,
                idOptionsHelp);
    presenter_.start();
    return first;
}

void TfrmOptions::onCommand(int id, int) {
    switch (id) {
    case IDOK:
        if (presenter_.accept({WindowText(item(idTimeLimit)), WindowText(item(idBackupKeep)),
                               WindowText(item(idParallel)), WindowText(item(idBackupFolder)),
                               IsDlgButtonChecked(hwnd(), idSkipInUse) == BST_CHECKED,
                               IsDlgButtonChecked(hwnd(), idOnlyChanged) == BST_CHECKED}))
            end(IDOK);
        break;
    case IDCANCEL: end(IDCANCEL); break;
    case idBackupBrowse: presenter_.browseBackupFolder(WindowText(item(idBackupFolder))); break;
    case idOptionsHelp: presenter_.help(); break;
    case idOptionsReports: presenter_.reports(); break;
    default: break;
    }
}

bool TfrmOptions::onMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message != WM_HELP)
        return false;
    presenter_.help();
    result = TRUE;
    return true;
}

void TfrmOptions::showOptions(const CfgOptions& o) {
    SetText(item(idTimeLimit), std::to_string(o.timeLimit));
    CheckDlgButton(hwnd(), idSkipInUse, o.skipInUse ? BST_CHECKED : BST_UNCHECKED);
    SetText(item(idBackupFolder), o.backupFolder);
    SetText(item(idBackupKeep), std::to_string(o.backupKeep));
    CheckDlgButton(hwnd(), idOnlyChanged, o.onlyChanged ? BST_CHECKED : BST_UNCHECKED);
    SetText(item(idParallel), std::to_string(o.parallel));
}

void TfrmOptions::showBackupFolder(const std::string& folder) {
    SetText(item(idBackupFolder), folder);
}

void TfrmOptions::focus(OptionsField field) {
    SetFocus(item(idOf(field)));
    SendMessageW(item(idOf(field)), EM_SETSEL, 0, -1);
}

void TfrmOptions::helpTopic(int topic) {
    ShowHelpTopic(hwnd(), topic);
}

void TfrmOptions::showReports(const std::string& dataFolder) {
    TfrmReports reports(dataFolder);
    reports.ShowModal(hwnd());
}

} // namespace quillet::admin
