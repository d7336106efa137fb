#include "admin/win32/Startup.h"

#include "admin/win32/SchedulerWindows.h"
#include "admin/win32/Splash.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/Help.h"
#include "ui/win32/MessageLoop.h"
#include "ui/win32/Win32Prompts.h"

#include <commctrl.h>
#include <ole2.h>

namespace quillet::admin {

using namespace quillet::ui::win32;

std::unique_ptr<AdminWindows> CreateWindows(const std::string& programPath) {
    auto windows = std::make_unique<AdminWindows>();
    // 1. The main window: sets AppFolder and loads the last configuration.
    windows->Form1 = std::make_unique<TForm1>(programPath);
    // 2. The about box. The help commands use the main window's help file from now on.
    SetHelpFile(windows->Form1->HelpFilePath());
    windows->AboutBox = std::make_unique<TAboutBox>();
    TAboutBox* about = windows->AboutBox.get();
    windows->Form1->SetAboutBox([about](HWND owner) { about->ShowModal(owner); });
    // 3. The scheduler window (hidden).
    windows->frmSched = CreateSchedulerWindows(*windows->Form1);
    SchedulerWindow* sched = windows->frmSched.get();
    windows->Form1->SetSchedulerLink({[sched](HWND owner) { sched->ShowModal(owner); },
                                      [sched](HWND owner) { sched->ShowHistory(owner); },
                                      [sched] { return sched->CanCloseProgram(); }});
    return windows;
}

std::unique_ptr<AdminWindows> StartAdministrator(const std::string& programPath, int showCommand) {
    std::unique_ptr<AdminWindows> windows;
    {
        // The splash goes at the end of this block, also when creating a window throws.
        TfrmSplash splash;
        splash.ShowNow();
        windows = CreateWindows(programPath);
        ShowWindow(splash.hwnd(), SW_HIDE);
    }
    windows->Form1->SetMainWindow(true);
    ShowWindow(windows->Form1->hwnd(), showCommand);
    UpdateWindow(windows->Form1->hwnd());
    SetAccelerators(windows->Form1->hwnd(), windows->Form1->Accelerators());
    return windows;
}

int RunAdministrator(int showCommand) {
    // The shell's link object and folder browser need COM on this thread.
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS |
                                                       ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    std::unique_ptr<AdminWindows> windows;
    int code = 1;
    Guarded([&] { windows = StartAdministrator(std::string(), showCommand); });
    if (windows)
        code = RunMessageLoop();
    windows.reset();
    OleUninitialize();
    return code;
}

} // namespace quillet::admin
