// The options of an unattended pass for the configuration in the main window: a time
// limit per engine run, the in-use check, backups, only-changed and parallel engines.
// The main window keeps them and writes them with the configuration.
#pragma once

#include "core/CfgFile.h"
#include "ui/win32/Dialog.h"

namespace quillet::admin {

inline const char* const OptionsCaption = "Options for Unattended Passes";

enum OptionsControl : int {
    idTimeLimit = 301,
    idSkipInUse = 303,
    idBackupFolder,
    idBackupBrowse,
    idBackupKeep,
    idOnlyChanged = 308,
    idParallel,
    idOptionsHelp = 311,
};

class TfrmOptions : public ui::win32::ModalDialog {
public:
    void setOptions(const CfgOptions& options) { options_ = options; }
    const CfgOptions& options() const { return options_; }
    // True when the user confirmed the dialog; options() then holds the new values.
    bool ShowModal(HWND owner);

protected:
    HWND onInit() override;
    void onCommand(int id, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void btnBackupFolderClick();
    // Reads the fields; a value that is no whole number in range is named in a plain
    // warning and gets the focus, and the dialog stays open.
    bool accept();
    HWND numberField(int id, const char* label, int y, int minimum, int maximum, int value, const char* unit);

    CfgOptions options_;
};

} // namespace quillet::admin
