// The administrator's program start: splash window, the windows in their order, the
// message loop.
#pragma once

#include <QString>
#include <chrono>
#include <memory>

namespace quillet::scheduler {
class TfrmSched;
}

namespace quillet::admin {

class TForm1;
class TAboutBox;

// The windows that live from start-up to the end of the program, destroyed in the
// reverse order of their creation (later windows read the main window).
struct AdminWindows {
    AdminWindows();
    ~AdminWindows();
    AdminWindows(const AdminWindows&) = delete;
    AdminWindows& operator=(const AdminWindows&) = delete;

    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<scheduler::TfrmSched> frmSched;
};

// Creates the windows in their required order: the main window first (it sets
// AppFolder, which the others read), then the about box, then the scheduler window;
// the main window's menu gets the other two.
// programPath is the administrator's own program file; empty for the running one.
std::unique_ptr<AdminWindows> CreateWindows(const QString& programPath = QString());

// Program start up to the shown main window: splash shown while the windows are
// created, splash destroyed (also when creation fails), main window shown. Start-up is
// over in a blink; a demonstration may hold the splash on screen a while first.
std::unique_ptr<AdminWindows> StartAdministrator(const QString& programPath = QString(),
                                                 std::chrono::milliseconds splashHold = {});

// The whole program: application object, start-up, message loop. Returns the exit code.
// "--splash-ms=N" holds the splash N milliseconds (at most a minute), for screenshots.
int RunAdministrator(int argc, char** argv);

} // namespace quillet::admin
