// The scheduler window on Windows: the schedule table in its grid, each entry's
// frequency, the timer settings, the schedule timer that runs due entries through the
// compactor on a thread of its own, and the strip of the background check. It shows a
// ScheduleEditor and a ScheduleRunner and forwards what the user does. Created hidden at
// start-up, it lives until the program ends; its timer runs whether or not the window is
// ever shown.
#pragma once

#include "scheduler/Background.h"
#include "scheduler/ScheduleEditor.h"
#include "scheduler/ScheduleRunner.h"
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

class TfrmSched : public ui::win32::Window {
public:
    // Runs FormCreate: loads the timer settings and the schedule, arms the timer. The
    // clock and runner default to the system's.
    explicit TfrmSched(SchedulerHost host, std::unique_ptr<Clock> clock = nullptr,
                       std::unique_ptr<ProcessRunner> runner = nullptr);
    ~TfrmSched() override;

    // FormShow, then the window modally over `owner` until it is closed.
    void ShowModal(HWND owner);
    // Asked when the program is to end; `quit` ends it later when a run must end first.
    bool CanCloseProgram(std::function<void()> quit);

    bool TimerEnabled() const { return timerOn_; }
    int TimerPeriod() const { return periodMs_; }
    bool Running() const { return runner_.Running(); }
    const ScheduleEditor& Editor() const { return editor_; }

    // Handlers, each inside the handler boundary.
    void FormShow();
    void SaveChanges1Click();
    void rgSchedClick();
    void Edit1Exit();
    void edtStartExit();
    void Timer1Timer();
    void AddRow1Click();
    void DeleteRow1Click();
    void BitBtn7Click();
    void DropFileTarget1Drop(const std::vector<std::string>& files);
    void EditGrid1Click();
    void btnHelpClick();
    void Close1Click();
    void chkBackgroundClick();
    void NoticeFileChange();

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
    void loadAll();
    void readTimerSettings(std::vector<std::string>& problems);
    void saveChanges();
    void warn(const std::string& text);
    void refuse(HWND field, const std::string& problem);
    void pullGrid();
    void showEntries();
    bool takePendingEdits();
    bool takeEvery();
    bool takeStart();
    int currentEntry() const;
    std::string currentCode() const;
    void showFirstEntry();
    void showFrequency(const std::string& code);
    void chooseFrequency(int index);
    int frequencyShown() const;
    void checkTimer();
    void setEditing(bool on);
    void run(const std::function<bool()>& start);
    void runEnded();
    void updateLastRun();
    void refreshBackground();
    void FormClose();

    SchedulerHost host_;
    std::shared_ptr<Clock> clock_;
    ScheduleEditor editor_;
    ScheduleRunner runner_;
    std::shared_ptr<TriggerControl> trigger_;
    BackgroundTarget target_;
    ui::win32::DropFileTarget DropFileTarget1;

    bool timerOn_ = false;
    int periodMs_ = 60 * 60000;
    int armedPeriod_ = 0; // the period the window timer runs at; 0 when it is off
    bool quiet_ = false;   // the grid's current cell moves by our own code
    bool polling_ = false; // a run's thread works; the poll timer watches it
    bool installed_ = false;
};

} // namespace quillet::scheduler
