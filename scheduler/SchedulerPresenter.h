// The scheduler window without a toolkit: it owns the schedule (ScheduleEditor), its
// runs (ScheduleRunner), the timer's period and the background check's strip, takes
// what the user does and tells the window what to show through SchedulerView. The Qt
// and the Win32 windows implement the view and forward their input, nothing else.
#pragma once

#include "scheduler/Background.h"
#include "scheduler/ScheduleEditor.h"
#include "scheduler/ScheduleRunner.h"
#include "ui/Prompts.h"
#include "ui/Telling.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::scheduler {

class SchedulerView {
public:
    enum class Box { Every, Interval, Start };
    // What takes input; a command stands for its button and its menu item alike.
    enum class Control { Grid, Frequency, Every, Interval, Start, Save, AddRow, DeleteRow, Compact };

    virtual ~SchedulerView() = default;

    // The grid: one row per entry (at least one row), and the edit mark. `missing` marks
    // the entries whose configuration file does not exist.
    virtual void showEntries(const std::vector<ScheduleEntry>& entries, bool modified,
                             const std::vector<bool>& missing) = 0;
    // The grid as the user left it, with the text of an open cell editor, and its edit mark.
    virtual std::vector<ScheduleEntry> gridEntries() = 0;
    virtual bool gridModified() const = 0;
    // The text as a grid cell shows it: a cell still showing it keeps the entry's bytes.
    virtual std::string asShown(const std::string& text) const { return text; }
    // Whether the user is typing into a cell of the grid.
    virtual bool typing() const = 0;
    virtual int currentEntry() const = 0; // -1 when the current row is no entry
    virtual void selectEntry(int entry) = 0; // in the column the cursor is in

    // The frequency choice, and the N box with its value and unit, or no N box.
    struct Every {
        std::string value, unit;
    };
    virtual void showFrequency(int index, const std::optional<Every>& every) = 0;
    virtual void showText(Box box, const std::string& text) = 0;
    virtual std::string text(Box box) const = 0;
    // What the user typed into the box since it was last shown or taken; the mark then goes.
    virtual std::optional<std::string> takeTyped(Box box) = 0;
    virtual bool holdsTyped(Box box) const = 0; // whether takeTyped would give text
    virtual void focus(Box box) = 0; // with its text selected

    virtual void showStatus(const std::string& text) = 0;
    virtual void showBackground(bool installed, const std::string& text) = 0;
    // A run of the window, or (empty) none.
    virtual void showRun(const std::string& text) = 0;
    virtual void enable(Control control, bool enabled) = 0;
    virtual void setBusy(bool busy) = 0; // the wait cursor

    // The schedule timer at `periodMs`, restarted; 0 stops it.
    virtual void armTimer(int periodMs) = 0;
    // A timer that calls PollRun every `periodMs` while the window goes on; 0 stops it.
    virtual void armPoll(int periodMs) = 0;
    virtual bool shown() const = 0;
    virtual void hideWindows() = 0;
    // A real fault for the error box.
    virtual void fault(std::exception_ptr error) = 0;
};

// What the Config File cell's tip adds for a configuration that does not exist.
inline constexpr char MissingNote[] = " (this file does not exist)";

struct SchedulerSetup {
    std::string folder;                           // the schedule's and settings' folder, ending with the separator
    std::string programFolder = {};               // where QuilletSched lies; `folder` when empty
    std::function<std::string()> compactorPath;   // the main window's Quillet Path text, now
    std::shared_ptr<TriggerControl> trigger = {}; // the system's scheduler when empty
};

class SchedulerPresenter {
public:
    static constexpr const char* Caption = "Quillet Scheduler";
    // Columns from here on never take the cursor: the code column only carries the frequency.
    static constexpr int ReachableColumns = 3;
    static constexpr int PollMilliseconds = 50;
    // How often the face calls NoticeFileChange: the background check rewrites the file.
    static constexpr int WatchMilliseconds = 2000;
    // What takes no input while a run goes on: the run's outcome replaces the table.
    static constexpr SchedulerView::Control LockedDuringRun[] = {
        SchedulerView::Control::Grid,  SchedulerView::Control::Frequency, SchedulerView::Control::Every,
        SchedulerView::Control::Interval, SchedulerView::Control::Start, SchedulerView::Control::Save,
        SchedulerView::Control::AddRow, SchedulerView::Control::DeleteRow, SchedulerView::Control::Compact};

    // The clock and the runner default to the system's. Nothing is shown before Create.
    SchedulerPresenter(SchedulerView& view, ui::Prompts& prompts, SchedulerSetup setup,
                       std::unique_ptr<Clock> clock = nullptr, std::unique_ptr<ProcessRunner> runner = nullptr);

    const ScheduleEditor& Editor() const { return editor_; }
    bool TimerEnabled() const { return timerOn_; }
    int TimerPeriod() const { return periodMs_; }
    bool Running() const { return runner_.Running(); }
    bool AwaitingRun() const { return awaiting_; }
    bool BackgroundInstalled() const { return installed_; }

    // What the user (or the program) does. Each may throw; the face reports it.
    void Create(); // the timer settings and the schedule, the timer armed
    void Show();   // reloads, unless a run goes on
    void Save();
    void ChooseFrequency(int index);
    void EntryChosen(); // a click or a key in the grid; none while the view is told what to show
    // Leaving a box: false when its text was refused (the box then shows the value in effect).
    bool LeaveEvery();
    bool LeaveStart();
    void AddRow();
    void DeleteRow();
    void Compact();
    void Drop(const std::vector<std::string>& files);
    void Tick();
    void PollRun();
    void NoticeFileChange();
    void ToggleBackground();
    // The question about unsaved changes; false when the window stays: Yes, and the save
    // was refused (the user fixes the field and closes again).
    bool Close();
    // See ScheduleRunner::CanCloseProgram.
    bool CanCloseProgram(std::function<void()> quit);

private:
    void loadAll();
    bool saveChanges(); // false: refused, nothing stored
    void refuse(SchedulerView::Box box, const std::string& problem);
    void pullGrid();
    void showEntries();
    bool takePendingEdits();
    bool takeEvery();
    bool takeStart();
    void showFrequency(int entry);
    void selectEntry(int entry);
    void showChoice(int index, const std::string& every);
    void showRunning(bool running);
    void checkTimer();
    void begin(ScheduleRunner::Start start);
    void updateStatus();
    void refreshBackground();
    void warn(const std::string& text) { prompts_.warn(Caption, text); }

    SchedulerView& view_;
    ui::Prompts& prompts_;
    SchedulerSetup setup_;
    std::shared_ptr<Clock> clock_;
    ScheduleEditor editor_;
    ScheduleRunner runner_;
    std::shared_ptr<TriggerControl> trigger_;
    BackgroundTarget target_;
    std::vector<std::string> dropped_; // during a run; they join the table when it has ended

    bool timerOn_ = false;
    int periodMs_ = 60 * 60000;
    int armedMs_ = 0; // the period the view's timer runs at; 0 when it is off
    bool awaiting_ = false;
    bool installed_ = false;
    bool telling_ = false; // the view's own signals while it is told what to show are no input
};

} // namespace quillet::scheduler
