#include "admin/win32/fOptions.h"

#include "admin/ConfigDocument.h"
#include "ui/win32/Help.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

namespace quillet::admin {

using namespace quillet::ui;
using namespace quillet::ui::win32;

namespace {

constexpr int Width = 480;
constexpr int Height = 252;

struct Field {
    int id;
    OptionNumber number;
};
const Field numbers[] = {{idTimeLimit, OptionNumber::TimeLimit},
                         {idBackupKeep, OptionNumber::BackupKeep},
                         {idParallel, OptionNumber::Parallel}};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

bool TfrmOptions::ShowModal(HWND owner) {
    return run(owner, OptionsCaption, Width, Height) == IDOK;
}

HWND TfrmOptions::numberField(int id, const char* label, int y, int minimum, int maximum, int value, const char* unit) {
    layout_.add("STATIC", label, WS_VISIBLE | SS_LEFT, 12, y + 3, 154, 16);
    HWND edit = layout_.add("EDIT", std::to_string(value), WS_VISIBLE | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL, 170, y,
                            90, 22, id, WS_EX_CLIENTEDGE);
    HWND spin = layout_.add("msctls_updown32", "",
                            WS_VISIBLE | UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_NOTHOUSANDS |
                                UDS_ARROWKEYS,
                            260, y, 16, 22, id + 1);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessageW(spin, UDM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
    SendMessageW(spin, UDM_SETPOS32, 0, value);
    layout_.add("STATIC", unit, WS_VISIBLE | SS_LEFT, 270, y + 3, 200, 16);
    return edit;
}

HWND TfrmOptions::onInit() {
    const CfgOptions& o = options_;
    HWND first = numberField(idTimeLimit, "&Time limit per database:", 12, 0, MaxTimeLimit, o.timeLimit,
                             "minutes (0: no limit)");
    layout_.add("BUTTON", "Skip databases in &use (their lock file is held)",
                WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 170, 42, 300, 18, idSkipInUse);
    CheckDlgButton(hwnd(), idSkipInUse, o.skipInUse ? BST_CHECKED : BST_UNCHECKED);
    layout_.add("STATIC", "&Backup folder:", WS_VISIBLE | SS_LEFT, 12, 71, 154, 16);
    layout_.add("EDIT", o.backupFolder, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 170, 68, 264, 22, idBackupFolder,
                WS_EX_CLIENTEDGE);
    SendMessageW(item(idBackupFolder), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"No backups"));
    layout_.add("BUTTON", "...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 438, 68, 30, 22, idBackupBrowse);
    numberField(idBackupKeep, "Backups to &keep:", 98, 1, MaxBackupKeep, o.backupKeep, "per database");
    layout_.add("BUTTON", "Only &changed databases (skip those unchanged since their last compaction)",
                WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 12, 128, 456, 18, idOnlyChanged);
    CheckDlgButton(hwnd(), idOnlyChanged, o.onlyChanged ? BST_CHECKED : BST_UNCHECKED);
    numberField(idParallel, "&Parallel engines:", 154, 1, MaxParallel, o.parallel, "at the same time");
    layout_.add("STATIC",
                "A database is compacted only when its disk has room for a copy of it.\r\n"
                "A failed backup leaves the database uncompacted.",
                WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, 184, 456, 30);
    layout_.add("BUTTON", "OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, Width - 252, Height - 34, 76, 24, IDOK);
    layout_.add("BUTTON", "Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Width - 172, Height - 34, 76, 24,
                IDCANCEL);
    layout_.add("BUTTON", "&Help", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Width - 92, Height - 34, 80, 24,
                idOptionsHelp);
    return first;
}

void TfrmOptions::onCommand(int id, int) {
    switch (id) {
    case IDOK:
        if (accept())
            end(IDOK);
        break;
    case IDCANCEL:
        end(IDCANCEL);
        break;
    case idBackupBrowse:
        btnBackupFolderClick();
        break;
    case idOptionsHelp:
        ShowHelpTopic(hwnd(), HelpTopicOptions);
        break;
    default:
        break;
    }
}

bool TfrmOptions::onMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message == WM_HELP) {
        ShowHelpTopic(hwnd(), HelpTopicOptions);
        result = TRUE;
        return true;
    }
    return false;
}

void TfrmOptions::btnBackupFolderClick() {
    FileChoice choice;
    choice.caption = "Backup Folder";
    choice.directory = trimmed(WindowText(item(idBackupFolder)));
    const std::string folder = CurrentPrompts().folder(choice);
    if (!folder.empty())
        SetText(item(idBackupFolder), folder);
}

bool TfrmOptions::accept() {
    CfgOptions options = options_;
    int values[3] = {};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        const NumberCheck check = CheckOptionNumber(numbers[i].number, WindowText(item(numbers[i].id)));
        if (!check.value) {
            CurrentPrompts().warn(OptionsCaption, check.problem);
            SetFocus(item(numbers[i].id));
            SendMessageW(item(numbers[i].id), EM_SETSEL, 0, -1);
            return false;
        }
        values[i] = *check.value;
    }
    options.timeLimit = values[0];
    options.skipInUse = IsDlgButtonChecked(hwnd(), idSkipInUse) == BST_CHECKED;
    options.backupFolder = WindowText(item(idBackupFolder));
    options.backupKeep = values[1];
    options.onlyChanged = IsDlgButtonChecked(hwnd(), idOnlyChanged) == BST_CHECKED;
    options.parallel = values[2];
    if (!AcceptOptions(CurrentPrompts(), OptionsCaption, options)) {
        SetFocus(item(idBackupFolder));
        return false;
    }
    options_ = options;
    return true;
}

} // namespace quillet::admin
