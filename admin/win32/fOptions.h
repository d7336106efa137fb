// The options of an unattended pass for the configuration in the main window: the face
// of OptionsPresenter.
#pragma once

#include "admin/OptionsPresenter.h"
#include "ui/win32/ConfirmDialog.h"

namespace quillet::admin {

enum OptionsControl : int {
    idTimeLimit = 301,
    idSkipInUse = 303,
    idBackupFolder,
    idBackupBrowse,
    idBackupKeep,
    idOnlyChanged = 308,
    idParallel,
    idOptionsHelp = 311,
    idOptionsReports,
};

class TfrmOptions : public ui::win32::ConfirmDialog, private OptionsView {
public:
    TfrmOptions(const CfgOptions& options, const std::string& dataFolder);
    const CfgOptions& options() const { return presenter_.options(); }
    // True when the user confirmed the dialog; options() then holds the new values.
    bool ShowModal(HWND owner) { return confirm(owner, OptionsCaption); }

protected:
    HWND onInit() override;
    bool accepted() override;
    void help() override { presenter_.help(); }
    void onControl(int id, int code) override;

private:
    HWND addRow(const OptionsRow& row, int id, int y);
    // OptionsView
    void showOptions(const CfgOptions& options) override;
    void showBackupFolder(const std::string& folder) override;
    void focus(OptionsField field) override;
    void helpTopic(int topic) override;
    void showReports(const std::string& dataFolder) override;

    OptionsPresenter presenter_;
};

} // namespace quillet::admin
