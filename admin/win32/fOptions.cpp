#include "admin/win32/fOptions.h"

#include "admin/win32/fReports.h"

#include "platform/win32/WideText.h"
#include "ui/win32/Help.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>

#include <iterator>

namespace quillet::admin {

using namespace quillet::ui::win32;
using platform::win32::Wide;

namespace {

constexpr int Width = 480;
constexpr int Height = 252;

// Each row's control; a number's arrows and the folder's browse button follow it.
constexpr int RowIds[] = {idTimeLimit, idSkipInUse, idBackupFolder, idBackupKeep, idOnlyChanged, idParallel};
static_assert(std::size(RowIds) == std::size(OptionsRows));

int idOf(OptionsField field) {
    static constexpr int ids[] = {idTimeLimit, idBackupKeep, idParallel, idBackupFolder};
    return ids[static_cast<int>(field)];
}

} // namespace

TfrmOptions::TfrmOptions(const CfgOptions& options, const std::string& dataFolder)
    : ConfirmDialog(Width, Height, idOptionsHelp), presenter_(*this, CurrentPrompts(), options, dataFolder) {}

HWND TfrmOptions::addRow(const OptionsRow& row, int id, int y) {
    if (row.kind == OptionsRowKind::Check)
        return layout_.add("BUTTON", row.caption, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 12, y + 2, 456, 18, id);
    layout_.add("STATIC", row.caption, WS_VISIBLE | SS_LEFT, 12, y + 3, 154, 16);
    const bool folder = row.kind == OptionsRowKind::Folder;
    HWND edit = layout_.add("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 170, y, folder ? 264 : 90, 22, id,
                            WS_EX_CLIENTEDGE);
    if (folder) {
        SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Wide(row.unit).c_str()));
        layout_.add("BUTTON", "...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 438, y, 30, 22, id + 1);
        return edit;
    }
    // Arrows without a range of their own: the OK's check names a bad number.
    HWND spin = layout_.add("msctls_updown32", "",
                            WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_NOTHOUSANDS | UDS_ARROWKEYS, 260, y,
                            16, 22, id + 1);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessageW(spin, UDM_SETRANGE32, 0, MaxTimeLimit);
    layout_.add("STATIC", row.unit, WS_VISIBLE | SS_LEFT, 270, y + 3, 200, 16);
    return edit;
}

HWND TfrmOptions::onInit() {
    for (std::size_t i = 0; i < std::size(OptionsRows); ++i)
        addRow(OptionsRows[i], RowIds[i], 12 + 28 * static_cast<int>(i));
    layout_.add("STATIC", OptionsNote, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12, 184, 456, 30);
    layout_.add("BUTTON", ReportsButtonLabel, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 12, Height - 34, 90, 24,
                idOptionsReports);
    addButtons();
    presenter_.start();
    return item(idTimeLimit);
}

bool TfrmOptions::accepted() {
    return presenter_.accept({WindowText(item(idTimeLimit)), WindowText(item(idBackupKeep)),
                              WindowText(item(idParallel)), WindowText(item(idBackupFolder)),
                              IsDlgButtonChecked(hwnd(), idSkipInUse) == BST_CHECKED,
                              IsDlgButtonChecked(hwnd(), idOnlyChanged) == BST_CHECKED});
}

void TfrmOptions::onControl(int id, int) {
    if (id == idBackupBrowse)
        presenter_.browseBackupFolder(WindowText(item(idBackupFolder)));
    else if (id == idOptionsReports)
        presenter_.reports();
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
