#include "admin/win32/SchedulerWindows.h"

#include "admin/win32/fHistory.h"
#include "scheduler/win32/fSched.h"

namespace quillet::admin {

namespace {

class TSchedulerWindows final : public SchedulerWindow {
public:
    explicit TSchedulerWindows(TForm1& mainWindow)
        : frmSched({.folder = mainWindow.DataFolder(),
                    .compactorPath = [&mainWindow] { return mainWindow.QuilletPathText(); }}),
          frmHistory([&mainWindow] { return mainWindow.QuilletPathText(); }) {}

    void ShowModal(HWND owner) override { frmSched.ShowModal(owner); }
    void ShowHistory(HWND owner) override { frmHistory.Show(owner); }
    // A run that must end first ends the program through the message loop.
    bool CanCloseProgram() override {
        return frmSched.CanCloseProgram([] { PostQuitMessage(0); });
    }

private:
    scheduler::TfrmSched frmSched;
    TfrmHistory frmHistory;
};

} // namespace

std::unique_ptr<SchedulerWindow> CreateSchedulerWindows(TForm1& mainWindow) {
    return std::make_unique<TSchedulerWindows>(mainWindow);
}

} // namespace quillet::admin
