// The administrator's main window on Windows: the face of MainPresenter. Other windows
// read AppFolder and the compactor path from it.
#pragma once

#include "admin/MainPresenter.h"
#include "ui/win32/Background.h"
#include "ui/win32/DropTarget.h"
#include "ui/win32/FileNameBox.h"
#include "ui/win32/Toolbar.h"
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

// The menu command's identifier.
constexpr int CommandId(MainCommand command) {
    return 201 + static_cast<int>(command);
}

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
    // Creates the window hidden and shows the configuration last shown.
    explicit TForm1(const std::string& programPath = std::string());
    ~TForm1() override;

    // Ends the message loop when the window is gone (the program's main window).
    void SetMainWindow(bool main) { mainWindow_ = main; }
    void SetSchedulerLink(SchedulerLink link) { link_ = std::move(link); }
    void SetAboutBox(std::function<void(HWND)> show) { showAbout_ = std::move(show); }

    // Offered to the other windows.
    const std::string& AppFolder() const { return presenter_->AppFolder(); }
    std::string DataFolder() const { return presenter_->DataFolder(); }
    std::string HelpFilePath() const { return presenter_->HelpFilePath(); }
    const ConfigDocument& Document() const { return presenter_->Document(); }
    const std::string& CurrentCfgPath() const { return Document().Path(); }
    const std::string& QuilletPathText() const { return Document().QuilletPath(); }
    // The list as the window shows it.
    std::vector<std::string> CompactFiles() const;
    HACCEL Accelerators() const { return accelerators_; }
    HWND Toolbar() const { return toolbar_.handle(); }

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void createControls();
    void command(int id, int code);
    static LRESULT CALLBACK listKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);

    class View; // the MainView, drawn in these controls

    std::unique_ptr<View> view_;
    std::unique_ptr<MainPresenter> presenter_;
    bool mainWindow_ = false;
    SchedulerLink link_;
    std::function<void(HWND)> showAbout_;
    HACCEL accelerators_ = nullptr;
    static constexpr UINT WmWorkDone = WM_APP + 7;
    ui::win32::BackgroundWork work_{WmWorkDone};

    ui::win32::TFileNameBox fedtAccess;
    HWND edtDesc = nullptr;
    HWND lboxCompactFiles = nullptr;
    ui::win32::TFileNameBox fedtWrkgrp;
    HWND medtLogin = nullptr;
    HWND medtPwd = nullptr;
    ui::win32::TFileNameBox fedtDB;
    ui::win32::TFileNameBox fedtQuilletPath;
    ui::win32::Toolbar toolbar_;
    HWND statusBar_ = nullptr;
    HWND dropHint_ = nullptr;
    HWND focused_ = nullptr;
    ui::win32::DropFileTarget DropFileTarget1;
};

} // namespace quillet::admin
