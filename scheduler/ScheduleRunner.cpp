#include "scheduler/ScheduleRunner.h"

#include "core/AdminSettings.h"
#include "core/Convert.h"
#include "core/Errors.h"
#include "core/RunHistory.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/RegionalTime.h"
#include "scheduler/EntryStatus.h"
#include "scheduler/ScheduleSync.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace quillet::scheduler {

namespace {

// A Compact whose compactor could not be started is recorded as the compactor records
// an engine it could not start: a dated line in error.log and a "not-started" history
// line, beside the compactor, or in the schedule's folder when the compactor's is gone.
std::string RecordNotStarted(const std::string& compactor, const std::string& configPath,
                             const std::string& folder) {
    const bool compactorFolder = platform::FolderExists(platform::Utf8Path(platform::FsPath(compactor).parent_path()));
    const auto file = [&](const std::string& name) {
        return compactorFolder ? CompactorFileOf(compactor, name) : folder + name;
    };
    const platform::LocalDateTime now = platform::LocalNow();
    const std::string commandLine = CompactorCommandLine(compactor, configPath);
    AppendLogLine(file("error.log"),
                  platform::ShortDateText(now) + " " + platform::LongTimeText(now) + " Could not execute " + commandLine);
    HistoryRecord record;
    record.start = platform::IsoLocalTime(std::chrono::duration_cast<std::chrono::seconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count());
    record.configuration = configPath;
    record.outcome = RunOutcome::NotStarted;
    record.detail = "the compactor could not be started";
    AppendHistoryLine(file(HistoryFileName), record);
    return "The compactor \"" + compactor + "\" could not be started" +
           (platform::FileExists(compactor) ? "" : ": there is no such file") +
           ". Check the Quillet Path in the main window.";
}

} // namespace

const char* const BackgroundCheckBusyText =
    "The schedule is being checked in the background right now (QuilletSched --due). "
    "Compact again when that check has ended.";

const char* const NothingRunsWhenClosedText =
    "Entries of the schedule have a frequency, but nothing of the schedule runs while "
    "QuilletAdmin is closed: no background check is installed for this folder. To run it "
    "anyway, tick \"Run the schedule when QuilletAdmin is closed\" in the scheduler "
    "window.\n\nShow this warning again next time?";

ScheduleRunner::ScheduleRunner(ScheduleEditor& editor, std::string folder, std::shared_ptr<const Clock> clock,
                               std::shared_ptr<ProcessRunner> runner,
                               std::function<std::string()> compactorPath)
    : editor_(editor), folder_(std::move(folder)), clock_(std::move(clock)), runner_(std::move(runner)),
      compactorPath_(std::move(compactorPath)) {}

// A thread still running finishes by itself; it owns what it needs.
ScheduleRunner::~ScheduleRunner() = default;

bool ScheduleRunner::Running() const {
    return state_ == RunState::Running || state_ == RunState::RunningTickWaiting ||
           state_ == RunState::RunningQuitAfter;
}

ScheduleRunner::Start ScheduleRunner::begin(RunThread::Work work) {
    bool held = false;
    const std::string lockPath = folder_ + CheckLockFileName;
    auto lock = platform::FileLock::TryAcquire(lockPath, &held);
    if (!lock) {
        if (held)
            return Start::Held;
        throw EFCreateError(lockPath);
    }
    editor_.NoticeFileChange(); // a background check may have recorded runs since the last look
    run_ = std::make_unique<RunThread>(editor_.Entries(), editor_.Base(), editor_.Path(), std::move(lock),
                                       clock_, runner_, compactorPath_ ? compactorPath_() : std::string(),
                                       std::move(work), editor_.Refusal());
    state_ = RunState::Running;
    return Start::Started;
}

ScheduleRunner::Start ScheduleRunner::Tick() {
    switch (state_) {
    case RunState::Running:
        state_ = RunState::RunningTickWaiting;
        return Start::Waits;
    case RunState::RunningTickWaiting:
    case RunState::RunningQuitAfter:
        return Start::Waits;
    case RunState::Ending:
    case RunState::EndingTickWaiting:
    case RunState::Quit:
        return Start::Nothing;
    case RunState::Idle:
        break;
    }
    // Most ticks end here, outside the start hour, without a thread.
    if (startHour_ != clock_->hourNow())
        return Start::Nothing;
    const std::string startText = IntToStr(startHour_);
    return begin([startText](ScheduleTable& table, const RunEnvironment& env) {
        RunDueEntries(table, startText, env);
    });
}

ScheduleRunner::Start ScheduleRunner::Compact(int entry) {
    if (state_ != RunState::Idle)
        return Start::Nothing;
    auto notice = std::make_shared<std::string>();
    const Start start = begin([entry, notice, folder = folder_](ScheduleTable& table, const RunEnvironment& env) {
        if (!scheduler::CompactEntry(table, entry, true, env) && !table.configPath(entry).empty())
            *notice = RecordNotStarted(env.compactorPath(), table.configPath(entry), folder);
    });
    notice_ = std::move(notice);
    return start;
}

std::optional<ScheduleRunner::Ended> ScheduleRunner::Poll() {
    if (!run_ || !run_->Finished())
        return std::nullopt;
    std::optional<std::vector<ScheduleEntry>> saved;
    if (run_->Saved())
        saved = run_->Base();
    editor_.TakeRun(run_->Entries(), saved);
    Ended ended{run_->Error(), {}, notice_ ? *notice_ : std::string()};
    run_.reset();
    notice_.reset();
    switch (state_) {
    case RunState::RunningTickWaiting:
        state_ = RunState::EndingTickWaiting;
        break;
    case RunState::RunningQuitAfter:
        state_ = RunState::Quit;
        ended.quit = std::exchange(quit_, nullptr);
        break;
    default:
        state_ = RunState::Ending;
        break;
    }
    return ended;
}

bool ScheduleRunner::FinishEnding() {
    const bool tick = state_ == RunState::EndingTickWaiting;
    if (tick || state_ == RunState::Ending)
        state_ = RunState::Idle;
    return tick;
}

std::string ScheduleRunner::ProgressText() const {
    if (!run_)
        return {};
    const int entry = run_->CurrentEntry();
    const auto& entries = editor_.Entries();
    if (entry < 0 || entry >= static_cast<int>(entries.size()))
        return "Checking the schedule...";
    const platform::LocalDateTime since = platform::LocalDateTimeOf(run_->CurrentSince());
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", since.hour % 100, since.minute % 100,
                  since.second % 100);
    return "Running: " + EntryName(entries[static_cast<std::size_t>(entry)]) + ", since " + time;
}

std::optional<std::string> ScheduleRunner::EnterStart(const std::string& text) {
    if (auto problem = StartTimeProblem(text))
        return problem;
    SetStart(StrToInt(text), text);
    return std::nullopt;
}

ScheduleRunner::TimerSave ScheduleRunner::SaveTimer(const std::string& interval, const std::string& start) {
    TimerSave save;
    if (const auto problem = TimerIntervalProblem(interval))
        return {TimerSave::Interval, *problem};
    if (const auto problem = StartTimeProblem(start))
        return {TimerSave::Start, *problem};
    try {
        AdminSettings(folder_).SaveTimer({interval, start});
        save.written = true;
    } catch (const EIniFileException& e) {
        save.message = e.what(); // the user's to fix; the settings count all the same
    }
    save.intervalMinutes = StrToInt(interval);
    SetStart(StrToInt(start), start);
    return save;
}

std::string ScheduleRunner::EntryStatus(int entry) {
    const ScheduleEntry& e = editor_.Entries().at(static_cast<std::size_t>(entry));
    if (e.configPath.empty())
        return {};
    const std::string compactor = compactorPath_ ? compactorPath_() : std::string();
    const HistoryLoad& history = history_.get(CompactorFileOf(compactor, HistoryFileName));
    return EntryStatusText(history.contents.records, e.configPath, e.code, startText_, clock_->today(),
                           clock_->hourNow());
}

bool ScheduleRunner::CanCloseProgram(ui::Prompts& prompts, const std::string& caption,
                                     std::function<void()> quit, const std::function<void()>& hideWindows,
                                     const std::function<bool()>& backgroundInstalled) {
    if (!Running()) {
        // Said once per exit, and never again once the user says so.
        const AdminSettings settings(folder_);
        if (!settings.WarnScheduleClosed() || !editor_.AnyFrequency() ||
            (backgroundInstalled && backgroundInstalled()))
            return true;
        // Only an explicit No turns the warning off; a box dismissed (Escape, its close
        // button) keeps the program open, so that the user can install the check.
        const ui::Answer answer = prompts.ask(caption, NothingRunsWhenClosedText, true);
        if (answer == ui::Answer::Cancel)
            return false;
        if (answer == ui::Answer::No) {
            try {
                settings.SaveWarnScheduleClosed(false);
            } catch (const EIniFileException& e) {
                prompts.warn(caption, e.what());
            }
        }
        return true;
    }
    const ui::Answer answer = prompts.ask(
        caption,
        ProgressText() +
            "\n\nWait for it to end?\n\nYes: QuilletAdmin closes as soon as the run has ended and is "
            "recorded.\n"
            "No: the windows close now; the run goes on by itself, is recorded, and then QuilletAdmin ends.\n"
            "Cancel: QuilletAdmin stays open.",
        true);
    if (answer == ui::Answer::Cancel)
        return false;
    if (answer == ui::Answer::No && hideWindows)
        hideWindows();
    if (!Running()) {
        // The run ended while the question was open; it is recorded.
        if (quit)
            quit();
        return false;
    }
    quit_ = std::move(quit);
    state_ = RunState::RunningQuitAfter;
    return false;
}

} // namespace quillet::scheduler
