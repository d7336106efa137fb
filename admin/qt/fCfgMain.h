// The administrator's main window: the configuration editor. It also holds the
// administrator's own settings (Access and compactor paths) and AppFolder, which the
// other windows read.
#pragma once

#include "core/AdminSettings.h"
#include "core/CfgFile.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QMenu;

namespace quillet::ui {
class TFileNameEdit;
class TDropFileTarget;
} // namespace quillet::ui

namespace quillet::admin {

using ui::TDropFileTarget;
using ui::TFileNameEdit;

class TfrmHistory;
class THistoryStatus;

// The folder part of a program path, ending with its separator; empty without one.
QString ProgramFolder(const QString& programPath);
// The starting folder of the open and save dialogs for a configuration path: the
// folder without its final separator, except for a root folder.
QString DialogFolderOf(const QString& path);

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // programPath: the administrator's own program file; empty for the running one.
    // Runs FormCreate.
    explicit TForm1(QWidget* parent = nullptr, const QString& programPath = QString());
    ~TForm1() override; // runs FormDestroy

    // Offered to the other windows.
    QString AppFolder() const { return appFolder_; } // ends with the path separator
    QString CurrentCfgPath() const { return currentCfgPath_; }
    QString QuilletPathText() const;
    QString AccessPathText() const;
    QString DescriptionText() const;
    QString SettingsPath() const { return appFolder_ + QString::fromLatin1(SettingsFileName); }
    QString HelpFilePath() const { return appFolder_ + QStringLiteral("Quillet.hlp"); }
    // Starting folder of the open and save dialogs, set once at creation.
    QString DialogFolder() const { return dialogFolder_; }
    // Whether one of the five tracked text fields was edited since the last load or save.
    bool TextFieldsChanged() const;
    // Whether anything of the configuration differs from what was last loaded or saved:
    // the text fields as above, the list, a check box or the options.
    bool ConfigurationChanged() const;

    // Load and commands.
    void UpdateForm();
    void SaveConfigFIle1Click();
    void SaveAs1Click();
    void NewConfigFile1Click();
    void OpenConfigFile1Click();
    void DeleteFile1Click();
    // Appends the databases picked in a file dialog to the list.
    void AddFiles1Click();
    void Exit1Click();
    void DropFileTarget1Drop(const QStringList& files);
    // The options of unattended passes, in a dialog of their own.
    void Options1Click();
    // Shows the scheduler window modally.
    void Scheduling1Click();
    // Shows the history window, created at its first use.
    void History1Click();
    TfrmHistory* HistoryWindow() const { return frmHistory_; }

    // Shell and help commands (defined in fCfgMainShell.cpp).
    void CreateDesktopIcon1Click();
    void Contents1Click();
    void KeywordSearch1Click();
    void QuilletWebPage1Click();
    void OrvaneHomePage1Click();
    void EmailFeedback1Click();
    void About1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const QString& programPath);
    // False when the window is to stay open.
    bool FormClose();
    // Before the configuration shown is closed or replaced: true when nothing is unsaved
    // or the user saved or discarded it ("Save changes?"); false to keep it on screen.
    bool MayDropConfiguration();
    // Writes the configuration, to a newly chosen file when asked or when there is none
    // yet. The window takes the file as its own only once it was written; false when
    // nothing was saved (cancelled or failed, the failure shown).
    bool saveConfig(bool chooseName);
    void rememberSavedState();
    void FormDestroy();
    void createToolbar(QWidget* panel);
    void createFields(QWidget* panel);
    void createMenus();
    // A menu item or toolbar button runs its command inside guarded().
    using Command = void (TForm1::*)();
    void addToolButton(QWidget* panel, const char* name, const QString& caption, const QString& hint, int x,
                       const QIcon& icon, Command command);
    void addAction(QMenu* menu, const char* name, const QString& caption, Command command);
    void setCaption();

    QString appFolder_;
    QString appTitle_;
    QString currentCfgPath_;
    // The options of the file shown (the keys after the nine), saved with the rest.
    CfgOptions options_;
    QString dialogFolder_;
    bool centred_ = false;
    // The list and check boxes as last loaded or saved; the text fields have flags.
    QStringList savedFiles_;
    bool savedRepair_ = false;
    bool savedEncrypt_ = false;
    CfgOptions savedOptions_;

    TFileNameEdit* fedtAccess = nullptr;
    QLineEdit* edtDesc = nullptr;
    QListWidget* lboxCompactFiles = nullptr;
    QCheckBox* chkRepair = nullptr;
    TFileNameEdit* fedtWrkgrp = nullptr;
    QLineEdit* medtLogin = nullptr;
    QLineEdit* medtPwd = nullptr;
    QCheckBox* chkEncrypt = nullptr;
    TFileNameEdit* fedtDB = nullptr;
    TFileNameEdit* fedtQuilletPath = nullptr;
    TDropFileTarget* DropFileTarget1 = nullptr;
    TfrmHistory* frmHistory_ = nullptr;
    THistoryStatus* lblLastRun = nullptr;
};

} // namespace quillet::admin
