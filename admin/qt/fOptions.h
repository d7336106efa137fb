// The options of an unattended pass for the configuration in the main window: a time
// limit per engine run, the in-use check, backups, only-changed and parallel engines.
// The configuration document keeps them; its AcceptOptions decides the OK.
#pragma once

#include "core/CfgFile.h"
#include "ui/Prompts.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace quillet::admin {

class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOptions(ui::Prompts& prompts, QWidget* parent = nullptr);

    void setOptions(const CfgOptions& options);
    CfgOptions options() const;

    // Handlers, public for tests.
    void btnBackupFolderClick();
    void btnHelpClick();
    // Accepts as AcceptOptions decides.
    void accept() override;

private:
    ui::Prompts& prompts_;
    QSpinBox* spnTimeLimit = nullptr;
    QCheckBox* chkSkipInUse = nullptr;
    QLineEdit* edtBackupFolder = nullptr;
    QSpinBox* spnBackupKeep = nullptr;
    QCheckBox* chkOnlyChanged = nullptr;
    QSpinBox* spnParallel = nullptr;
};

} // namespace quillet::admin
