// The scheduler window on Windows: the schedule table in its grid, each entry's
// frequency, the timer settings, the schedule timer and the strip of the background
// check. It shows what SchedulerPresenter decides and forwards what the user does.
// Created hidden at start-up, it lives until the program ends; its timer runs whether
// or not the window is ever shown.
#pragma once

#include "scheduler/SchedulerPresenter.h"
#include "ui/win32/DropTarget.h"
#include "ui/win32/Window.h"
#include "widgets/win32/TEditGrid.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillet::scheduler {

// What the scheduler window needs of the program that shows it.
struct SchedulerHost {
    std::string appFolder;                        // ends with the path separator
    std::function<std::string()> compactorPath;   // the main window's Quillet Path text, now
    std::shared_ptr<TriggerControl> trigger = {}; // the system's scheduler when empty
};

class TfrmSched : public ui::win32::Window, private SchedulerView {
public:
    // Loads the timer settings and the schedule and arms the timer. The clock and runner
    // default to the system's.
    explicit TfrmSched(SchedulerHost host, std::unique_ptr<Clock> clock = nullptr,
                       std::unique_ptr<ProcessRunner> runner = nullptr);
    ~TfrmSched() override;

    // FormShow, then the window modally over `owner` until it is closed.
    void ShowModal(HWND owner);
    // Asked when the program is to end; `quit` ends it later when a run must end first.
    bool CanCloseProgram(std::function<void()> quit);

    bool TimerEnabled() const { return presenter_.TimerEnabled(); }
    int TimerPeriod() const { return presenter_.TimerPeriod(); }
    bool Running() const { return presenter_.Running(); }
    const ScheduleEditor& Editor() const { return presenter_.Editor(); }
    void FormShow();

    enum Id {
        idSave = 201, idInsert, idDelete, idCompact, idHelp,
        idGrid = 210,
        idNeeded = 220, idDaily, idWeekly, idMonthly,
        idEvery = 230, idInterval, idStart,
        idBackground = 240,
        cmdClose = 250,
    };

    std::unique_ptr<widgets::win32::TEditGrid> EditGrid1;
    HWND rgSched[FrequencyCount] = {};
    HWND Label1 = nullptr, Edit1 = nullptr, Label2 = nullptr;
    HWND edtInterval = nullptr, edtStart = nullptr;
    HWND lblLastRun = nullptr;
    HWND chkBackground = nullptr, lblBackground = nullptr, lblRun = nullptr, barRun = nullptr;
    HWND buttons[5] = {};

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void createControls();
    void command(int id, int code);
    void forward(const std::function<void()>& command);
    HWND box(Box box) const;

    // SchedulerView
    void ShowEntries(const std::vector<ScheduleEntry>& entries, bool modified) override;
    std::vector<ScheduleEntry> GridEntries() override;
    bool GridModified() const override { return EditGrid1->Modified(); }
    int CurrentEntry() const override;
    void SelectEntry(int entry) override;
    void ShowFrequency(int index, const std::string& every) override;
    void ShowText(Box box, const std::string& text) override;
    std::string Text(Box box) const override;
    std::optional<std::string> TakeTyped(Box box) override;
    void Focus(Box box) override;
    void ShowStatus(const std::string& text) override;
    void ShowBackground(bool installed, const std::string& text) override;
    void ShowRun(const std::string& text) override;
    void SetBusy(bool busy) override;
    void ArmTimer(int periodMs) override;
    void AwaitRun() override;
    bool Shown() const override { return IsWindowVisible(hwnd()) != FALSE; }
    void HideWindows() override;
    void Quit(std::function<void()> quit) override { quit(); }
    void Fault(std::exception_ptr error) override;

    ui::win32::DropFileTarget DropFileTarget1;
    SchedulerPresenter presenter_;
    HCURSOR cursor_ = nullptr; // the one before the wait cursor
    bool quiet_ = false;       // the grid's current cell moves by our own code
};

} // namespace quillet::scheduler
