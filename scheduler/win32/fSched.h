// The scheduler window on Windows: the schedule table in its grid, each entry's
// frequency, the timer settings, the schedule timer and the strip of the background
// check. It shows what SchedulerPresenter decides and forwards what the user does.
// Created hidden at start-up, it lives until the program ends; its timer runs whether
// or not the window is ever shown.
#pragma once

#include "scheduler/SchedulerFace.h"
#include "scheduler/SchedulerPresenter.h"
#include "ui/win32/DropTarget.h"
#include "ui/win32/Window.h"
#include "widgets/win32/TEditGrid.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace quillet::scheduler {

class TfrmSched : public ui::win32::Window {
public:
    // Loads the timer settings and the schedule and arms the timer. The clock and runner
    // default to the system's.
    explicit TfrmSched(SchedulerSetup setup, std::unique_ptr<Clock> clock = nullptr,
                       std::unique_ptr<ProcessRunner> runner = nullptr);
    ~TfrmSched() override;

    // FormShow, then the window modal over `owner` until it is closed; returns at once.
    void ShowModal(HWND owner);
    // Asked when the program is to end; `quit` ends it later when a run must end first.
    bool CanCloseProgram(std::function<void()> quit);

    bool TimerEnabled() const { return presenter_.TimerEnabled(); }
    // A run of the window's, until its end has been shown.
    bool Running() const { return presenter_.AwaitingRun(); }
    void FormShow();

    enum Id { // the commands' in face::Command's order
        idSave = 201, idInsert, idDelete, idCompact, idHelp, cmdClose,
        idGrid = 210,
        idNeeded = 220, idDaily, idWeekly, idMonthly,
        idEvery = 230, idInterval, idStart,
        idBackground = 240,
    };

    std::unique_ptr<widgets::win32::TEditGrid> EditGrid1;
    HWND rgSched[FrequencyCount] = {};
    HWND Label1 = nullptr, Edit1 = nullptr, Label2 = nullptr;
    HWND edtInterval = nullptr, edtStart = nullptr;
    HWND lblLastRun = nullptr;
    HWND chkBackground = nullptr, lblBackground = nullptr, lblRun = nullptr, barRun = nullptr;
    HWND buttons[face::ButtonCount] = {};

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class View; // the SchedulerView, drawn in these controls
    void createControls();
    void command(int id, int code);
    void hide();

    ui::win32::DropFileTarget DropFileTarget1;
    std::unique_ptr<View> view_;
    SchedulerPresenter presenter_;
    HWND owner_ = nullptr; // disabled while the window shows
};

} // namespace quillet::scheduler
