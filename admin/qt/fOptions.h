// The options of an unattended pass for the configuration in the main window: a time
// limit per engine run, the in-use check, backups, only-changed and parallel engines.
// The main window keeps them and writes them with the configuration.
#pragma once

#include "core/CfgFile.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace quillet::admin {

class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOptions(QWidget* parent = nullptr);

    void setOptions(const CfgOptions& options);
    CfgOptions options() const;

    // Handlers, public for tests.
    void btnBackupFolderClick();
    void btnHelpClick();
    // Accepts, after asking whether a backup folder that does not exist is meant.
    void accept() override;

private:
    QSpinBox* spnTimeLimit = nullptr;
    QCheckBox* chkSkipInUse = nullptr;
    QLineEdit* edtBackupFolder = nullptr;
    QSpinBox* spnBackupKeep = nullptr;
    QCheckBox* chkOnlyChanged = nullptr;
    QSpinBox* spnParallel = nullptr;
};

} // namespace quillet::admin
