// The administrator's main window on Windows: the configuration editor. It also holds
// the administrator's own settings (Access and compactor paths) and AppFolder, which the
// other windows read.
#pragma once

#include "admin/ConfigDocument.h"
#include "core/CfgFile.h"
#include "core/HistorySummary.h"
#include "ui/win32/DropTarget.h"
#include "ui/win32/FileNameBox.h"
#include "ui/win32/Window.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillet::admin {

// What the scheduler and history windows offer the main window.
struct SchedulerLink {
    std::function<void(HWND owner)> showScheduler;
    std::function<void(HWND owner)> showHistory;
    // Asked last when the program closes (a run going on); false keeps it open.
    std::function<bool()> canCloseProgram;
};

// Command identifiers of the menus, the toolbar and the accelerators.
enum MainCommand : int {
    cmdNew = 201,
    cmdOpen,
    cmdSave,
    cmdSaveAs,
    cmdDeleteFile,
    cmdAddFiles,
    cmdCreateDesktopIcon,
    cmdOptions,
    cmdExit,
    cmdScheduling,
    cmdHistory,
    cmdContents,
    cmdKeywordSearch,
    cmdWebPage,
    cmdHomePage,
    cmdEmailFeedback,
    cmdAbout,
};

// Control identifiers (a file-name box's button is its edit's identifier + 1).
enum MainControl : int {
    idAccess = 101,
    idDesc = 103,
    idCompactFiles,
    idRepair,
    idWrkgrp,
    idLogin = 108,
    idPwd,
    idEncrypt,
    idLaunch,
    idQuilletPath = 113,
    idToolbar = 115,
    idStatus,
    idDropHint,
};

class TForm1 : public ui::win32::Window {
public:
    // programPath: the administrator's own program file; empty for the running one.
    // Creates the window hidden and runs FormCreate.
    explicit TForm1(const std::string& programPath = std::string());
    ~TForm1() override;

    // Ends the message loop when the window is gone (the program's main window).
    void SetMainWindow(bool main) { mainWindow_ = main; }
    void SetSchedulerLink(SchedulerLink link) { link_ = std::move(link); }
    // Set by start-up: shows the about box.
    void SetAboutBox(std::function<void(HWND)> show) { showAbout_ = std::move(show); }

    // Offered to the other windows.
    const std::string& AppFolder() const { return appFolder_; }
    const std::string& CurrentCfgPath() const { return doc_->Path(); }
    const std::string& QuilletPathText() const { return doc_->QuilletPath(); }
    const std::string& AccessPathText() const { return doc_->Values().accessPath; }
    const std::string& DescriptionText() const { return doc_->Text(TextField::Description); }
    std::string SettingsPath() const { return doc_->Settings().Path(); }
    std::string HelpFilePath() const { return appFolder_ + "Quillet.hlp"; }
    const ConfigDocument& Document() const { return *doc_; }
    // The list as the window shows it.
    std::vector<std::string> CompactFiles() const;
    std::string LastRunText() const { return lastRun_; }

    // Load and commands.
    void UpdateForm();
    void SaveConfigFIle1Click();
    void SaveAs1Click();
    void NewConfigFile1Click();
    void OpenConfigFile1Click();
    void DeleteFile1Click();
    void AddFiles1Click();
    void Exit1Click();
    void DropFileTarget1Drop(const std::vector<std::string>& files);
    void Options1Click();
    void Scheduling1Click();
    void History1Click();
    void CreateDesktopIcon1Click();
    void Contents1Click();
    void KeywordSearch1Click();
    void QuilletWebPage1Click();
    void OrvaneHomePage1Click();
    void EmailFeedback1Click();
    void About1Click();
    // Refreshes the status bar's last run.
    void RefreshLastRun();

    HACCEL Accelerators() const { return accelerators_; }

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void createControls();
    void createToolbar();
    HMENU createMenus();
    void FormCreate(const std::string& programPath);
    // False when the window is to stay open.
    bool FormClose();
    // Shows the document: caption, fields, boxes and list.
    void draw();
    // A field's notification: the user's edit goes to the document.
    void edited(int id);
    void command(int id);
    void paintBevels(HDC dc);
    static LRESULT CALLBACK listKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);

    std::string appFolder_;
    std::string appTitle_;
    std::unique_ptr<ConfigDocument> doc_;
    bool drawing_ = false;
    bool mainWindow_ = false;
    SchedulerLink link_;
    std::function<void(HWND)> showAbout_;
    HACCEL accelerators_ = nullptr;
    quillet::HistoryFileCache history_;
    std::string lastRun_;

    ui::win32::TFileNameBox fedtAccess;
    HWND edtDesc = nullptr;
    HWND lboxCompactFiles = nullptr;
    HWND chkRepair = nullptr;
    ui::win32::TFileNameBox fedtWrkgrp;
    HWND medtLogin = nullptr;
    HWND medtPwd = nullptr;
    HWND chkEncrypt = nullptr;
    ui::win32::TFileNameBox fedtDB;
    ui::win32::TFileNameBox fedtQuilletPath;
    HWND toolbar_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND dropHint_ = nullptr;
    HWND focused_ = nullptr;
    ui::win32::DropFileTarget DropFileTarget1;
};

} // namespace quillet::admin
