// The scheduler window without a toolkit: it owns the schedule (ScheduleEditor), its
// runs (ScheduleRunner), the timer's period and the background check's strip, takes
// what the user does and tells the window what to show through SchedulerView. The Qt
// and the Win32 windows implement the view and forward their input, nothing else.
#pragma once

#include "scheduler/Background.h"
#include "scheduler/ScheduleEditor.h"
#include "scheduler/ScheduleRunner.h"
#include "ui/Prompts.h"

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

    virtual ~SchedulerView() = default;

    // The grid: one row per entry (at least one row), and the edit mark.
    virtual void ShowEntries(const std::vector<ScheduleEntry>& entries, bool modified) = 0;
    // The grid as the user left it, with the text of an open cell editor, and its edit mark.
    virtual std::vector<ScheduleEntry> GridEntries() = 0;
    virtual bool GridModified() const = 0;
    // The text as a grid cell shows it: a cell still showing it keeps the entry's bytes.
    virtual std::string AsShown(const std::string& text) const { return text; }
    virtual int CurrentEntry() const = 0; // -1 when the current row is no entry
    // Moves to the entry, without reporting it as the user's choice.
    virtual void SelectEntry(int entry) = 0;

    // The frequency choice; for 1 to 3 also the N box with `every` and its unit.
    virtual void ShowFrequency(int index, const std::string& every) = 0;
    virtual void ShowText(Box box, const std::string& text) = 0;
    virtual std::string Text(Box box) const = 0;
    // What the user typed into the box since it was last shown or taken; the mark then goes.
    virtual std::optional<std::string> TakeTyped(Box box) = 0;
    virtual void Focus(Box box) = 0; // with its text selected

    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowBackground(bool installed, const std::string& text) = 0;
    // A run of the window, or (empty) none; editing is off while one is shown.
    virtual void ShowRun(const std::string& text) = 0;
    virtual void SetBusy(bool busy) = 0; // the wait cursor

    // The schedule timer at `periodMs`, restarted; 0 stops it.
    virtual void ArmTimer(int periodMs) = 0;
    // Calls PollRun until AwaitingRun() is false; may return at once and poll later.
    virtual void AwaitRun() = 0;
    virtual bool Shown() const = 0;
    virtual void HideWindows() = 0;
    // Ends the program, after the handler at hand.
    virtual void Quit(std::function<void()> quit) = 0;
    // A real fault for the error box.
    virtual void Fault(std::exception_ptr error) = 0;
};

struct SchedulerSetup {
    std::string folder;                           // the schedule's and settings' folder, ending with the separator
    std::string programFolder;                    // where QuilletSched lies
    std::function<std::string()> compactorPath;   // the main window's Quillet Path text, now
    std::shared_ptr<TriggerControl> trigger = {}; // the system's scheduler when empty
};

class SchedulerPresenter {
public:
    static constexpr const char* Caption = "Quillet Scheduler";

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
    void EntryChosen(); // a click or a key in the grid
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
    void Close(); // the question about unsaved changes
    // See ScheduleRunner::CanCloseProgram.
    bool CanCloseProgram(std::function<void()> quit);

private:
    void loadAll();
    void saveChanges();
    void refuse(SchedulerView::Box box, const std::string& problem);
    void pullGrid();
    void showEntries();
    bool takePendingEdits();
    bool takeEvery();
    bool takeStart();
    void showFrequency(int entry);
    void showChoice(int index);
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
};

} // namespace quillet::scheduler
