// The options of an unattended pass for the configuration in the main window: the face
// of OptionsPresenter.
#pragma once

#include "admin/OptionsPresenter.h"

#include <QDialog>

class QCheckBox;
class QFormLayout;
class QLineEdit;

namespace quillet::admin {

class TfrmOptions : public QDialog, private OptionsView {
    Q_OBJECT
public:
    TfrmOptions(ui::Prompts& prompts, const CfgOptions& options, const std::string& dataFolder,
                QWidget* parent = nullptr);
    const CfgOptions& options() const { return presenter_.options(); }
    // Accepts as the presenter decides.
    void accept() override;

private:
    void addRow(QFormLayout* form, const OptionsRow& row);
    // OptionsView
    void showOptions(const CfgOptions& options) override;
    void showBackupFolder(const std::string& folder) override;
    void focus(OptionsField field) override;
    void helpTopic(int topic) override;
    void showReports(const std::string& dataFolder) override;

    ui::Prompts& prompts_;
    OptionsPresenter presenter_;
    QLineEdit* edtTimeLimit = nullptr;
    QCheckBox* chkSkipInUse = nullptr;
    QLineEdit* edtBackupFolder = nullptr;
    QLineEdit* edtBackupKeep = nullptr;
    QCheckBox* chkOnlyChanged = nullptr;
    QLineEdit* edtParallel = nullptr;
};

} // namespace quillet::admin
