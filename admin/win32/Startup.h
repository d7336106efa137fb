// The administrator's program start on Windows: splash window, the windows in their
// order, the message loop.
#pragma once

#include "admin/win32/AboutBox.h"
#include "admin/win32/fCfgMain.h"

#include <memory>
#include <string>

namespace quillet::admin {

// The scheduler window as the main window sees it: created hidden at start-up (it loads
// the schedule and arms its timer), shown modally on demand, asked before the program ends.
class SchedulerWindow {
public:
    virtual ~SchedulerWindow() = default;
    virtual void ShowModal(HWND owner) = 0;
    virtual void ShowHistory(HWND owner) = 0;
    virtual bool CanCloseProgram() { return true; }
};

// The windows that live from start-up to the end of the program, destroyed in the
// reverse order of their creation (later windows read the main window).
struct AdminWindows {
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<SchedulerWindow> frmSched;
};

// Creates the windows in their required order: the main window first (it sets
// AppFolder, which the others read), then the about box, then the scheduler window.
std::unique_ptr<AdminWindows> CreateWindows(const std::string& programPath = std::string());

// Program start up to the shown main window: splash shown while the windows
// are created, splash destroyed (also when creation fails), main window shown.
std::unique_ptr<AdminWindows> StartAdministrator(const std::string& programPath = std::string(),
                                                 int showCommand = SW_SHOWNORMAL);

// The whole program: COM and common controls, start-up, message loop. Returns the exit code.
int RunAdministrator(int showCommand);

} // namespace quillet::admin
