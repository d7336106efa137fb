// The administrator's main window: shows the configuration document (admin/
// ConfigDocument.h) and forwards what the user does to it. Other windows read
// AppFolder and the compactor path from it.
#pragma once

#include "admin/ConfigDocument.h"
#include "ui/qt/Text.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <utility>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QMenu;

namespace quillet::ui {
class QtPrompts;
class TFileNameEdit;
class TDropFileTarget;
} // namespace quillet::ui

namespace quillet::scheduler {
class TfrmSched;
}

namespace quillet::admin {

using ui::TDropFileTarget;
using ui::TFileNameEdit;

class TAboutBox;
class TfrmHistory;
class THistoryStatus;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // programPath: the administrator's own program file; empty for the running one.
    // Runs FormCreate.
    explicit TForm1(QWidget* parent = nullptr, const QString& programPath = QString());
    ~TForm1() override; // runs FormDestroy

    // The windows of the start-up that the menu shows; without them (as in tests) the
    // about box is made on demand and Scheduling does nothing.
    void SetStartupWindows(scheduler::TfrmSched* scheduler, TAboutBox* about);

    // Offered to the other windows.
    QString AppFolder() const { return appFolder_; } // ends with the path separator
    QString CurrentCfgPath() const { return ui::FromStd(doc_->Path()); }
    QString QuilletPathText() const { return ui::FromStd(doc_->QuilletPath()); }
    QString AccessPathText() const { return ui::FromStd(doc_->Values().accessPath); }
    QString DescriptionText() const { return ui::FromStd(doc_->Text(TextField::Description)); }
    QString HelpFilePath() const { return appFolder_ + QStringLiteral("Quillet.hlp"); }
    const ConfigDocument& Document() const { return *doc_; }
    bool TextFieldsChanged() const { return doc_->TextFieldsChanged(); }
    bool ConfigurationChanged() const { return doc_->Changed(); }

    // Commands.
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
    void FormDestroy();
    // Draws the document: caption, fields, list, check boxes, last run.
    void showDocument();
    // The five text fields the document tracks one by one.
    std::array<std::pair<QLineEdit*, TextField>, 5> textEdits() const;
    // Edits reach the document only from the user, not while it is being drawn.
    void connectEdits();
    void createToolbar(QWidget* panel);
    void createFields(QWidget* panel);
    void createMenus();
    // A menu item or toolbar button runs its command inside guarded().
    using Command = void (TForm1::*)();

    QString appFolder_;
    std::unique_ptr<ui::QtPrompts> prompts_;
    std::unique_ptr<ConfigDocument> doc_;
    bool drawing_ = false;
    bool centred_ = false;
    scheduler::TfrmSched* frmSched_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;

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
