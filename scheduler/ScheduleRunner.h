// The scheduler window's runs, without a toolkit: the timer's tick and the Compact
// button under the folder's check lock, the run on a thread of its own, what runs since
// when, and what ending the program does meanwhile. The clock and the way the compactor
// is started are seams (Clock, ProcessRunner). No Qt.
#pragma once

#include "core/HistoryFile.h"
#include "core/HistorySummary.h"
#include "scheduler/RunThread.h"
#include "scheduler/ScheduleEditor.h"
#include "ui/Prompts.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillet::scheduler {

//   Idle --Tick (start hour) / Compact--> Running
//   Running --Tick--> RunningTickWaiting
//   Running, RunningTickWaiting --close: wait or let it finish--> RunningQuitAfter
//   Running --the thread ends--> Ending;  RunningTickWaiting --ends--> EndingTickWaiting
//   RunningQuitAfter --ends--> Quit (the program ends; nothing starts any more)
//   Ending, EndingTickWaiting --FinishEnding--> Idle (the latter then ticks again)
enum class RunState {
    Idle,               // no run: a tick in the start hour or Compact starts one
    Running,            // a thread runs entries on a copy of the table; the table takes no edits
    RunningTickWaiting, // as Running; a tick came meanwhile and runs once the run has ended
    RunningQuitAfter,   // as Running; the program ends once the run is recorded
    Ending,             // the run is recorded; its outcome (an error box) is being shown. Ticks do nothing
    EndingTickWaiting,  // as Ending, then the waiting tick
    Quit,               // the last run is recorded and the program ends
};

class ScheduleRunner {
public:
    // `folder` ends with the path separator; the compactor path is asked at each run's start.
    ScheduleRunner(ScheduleEditor& editor, std::string folder, std::shared_ptr<const Clock> clock,
                   std::shared_ptr<ProcessRunner> runner, std::function<std::string()> compactorPath);
    ~ScheduleRunner();
    ScheduleRunner(const ScheduleRunner&) = delete;
    ScheduleRunner& operator=(const ScheduleRunner&) = delete;

    RunState State() const { return state_; }
    // A run's thread works: the face takes no edits and waits, polling.
    bool Running() const;

    // The start hour in effect (the one read, saved or entered), and its text.
    void SetStart(int hour, std::string text) {
        startHour_ = hour;
        startText_ = std::move(text);
    }
    int StartHour() const { return startHour_; }
    const std::string& StartText() const { return startText_; }
    // A start hour entered: in effect at once, saved or not; the refusal (naming the
    // field) leaves the one in effect.
    std::optional<std::string> EnterStart(const std::string& text);

    // The timer settings as typed, on Save: refused texts are not written, so that the
    // next start never has to refuse them; good ones are written and put into effect.
    struct TimerSave {
        enum Field { None, Interval, Start } refused = None;
        std::string message;  // the refusal, or why "Quillet.ini" could not be written
        bool written = false; // false also when the file could not be written; they count all the same
        int intervalMinutes = 0;
    };
    TimerSave SaveTimer(const std::string& interval, const std::string& start);

    enum class Start {
        Started, // a run's thread works now: poll until it ends
        Nothing, // outside the start hour, or not now (an outcome is being shown, the program ends)
        Waits,   // a run goes on: the tick runs after it
        Held,    // another check (QuilletSched --due) holds the folder's check lock
    };
    // The timer's tick: during the start hour the due entries run, top to bottom.
    Start Tick();
    // Compact: the entry runs at once, whatever its frequency. Nothing while a run goes on.
    Start Compact(int entry);

    // What the face learns when the thread has ended; the recorded codes are in the editor.
    struct Ended {
        std::exception_ptr error;   // what the run threw, for the error box
        std::function<void()> quit; // set when the program is to end now
        std::string notice;         // a Compact whose compactor could not be started, for a warning
    };
    // Nothing while the thread still works.
    std::optional<Ended> Poll();
    // The outcome has been shown: back to Idle. True when a tick waited, to be run now.
    bool FinishEnding();

    // "Running: <entry>, since HH:MM:SS", "Checking the schedule..." before the first
    // start, empty when no run goes on.
    std::string ProgressText() const;
    // An entry's last run from the compactor's run history and when it is due next (UTF-8);
    // empty for an entry without a configuration.
    std::string EntryStatus(int entry);

    // Asked when the program is to end. During a run, whether to wait for it (Yes), to
    // close the windows now and let it finish by itself (No: `hideWindows` runs), or to
    // stay (Cancel); with Yes and No the program ends through `quit` once the run is
    // recorded; false keeps the program going for now. Otherwise it warns once when
    // entries have a frequency but no background check is installed (asked of
    // `backgroundInstalled`) unless the user said not to (No), and the program may end;
    // Cancel keeps it going.
    bool CanCloseProgram(ui::Prompts& prompts, const std::string& caption, std::function<void()> quit,
                         const std::function<void()>& hideWindows,
                         const std::function<bool()>& backgroundInstalled);

private:
    Start begin(RunThread::Work work);

    ScheduleEditor& editor_;
    std::string folder_;
    std::shared_ptr<const Clock> clock_;
    std::shared_ptr<ProcessRunner> runner_;
    std::function<std::string()> compactorPath_;
    std::unique_ptr<RunThread> run_;
    std::function<void()> quit_;
    std::shared_ptr<std::string> notice_; // written by the run's thread, read once it has finished
    RunState state_ = RunState::Idle;
    int startHour_ = 1;
    std::string startText_ = "01";
    HistoryFileCache history_;
};

// Compact's refusal while QuilletSched --due holds the check lock.
extern const char* const BackgroundCheckBusyText;
// The warning on exit when entries have a frequency but no background check is installed.
extern const char* const NothingRunsWhenClosedText;

} // namespace quillet::scheduler
