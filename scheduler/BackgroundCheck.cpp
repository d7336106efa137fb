#include "scheduler/BackgroundCheck.h"

#include "core/AdminSettings.h"
#include "core/Convert.h"
#include "core/HistoryFile.h"
#include "core/RunHistory.h"
#include "platform/DataFolder.h"
#include "platform/Files.h"
#include "platform/TextFile.h"
#include "platform/RegionalTime.h"
#include "scheduler/Background.h"
#include "scheduler/ScheduleSync.h"

#include <ctime>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace quillet::scheduler {
namespace {

// Starting the compactor, with the moment of each start, so that its history lines can
// be told from those of earlier passes.
class ObservedRunner final : public ProcessRunner {
public:
    explicit ObservedRunner(ProcessRunner& inner) : inner_(inner) {}
    struct Attempt {
        int entry;
        std::string commandLine;
        long long startSeconds;
        bool started;
    };
    bool runAndWait(const std::string& commandLine) override {
        const long long start = static_cast<long long>(std::time(nullptr));
        const bool started = inner_.runAndWait(commandLine);
        attempts.push_back({pending, commandLine, start, started});
        return started;
    }
    std::vector<Attempt> attempts;
    int pending = -1; // the entry whose run comes next

private:
    ProcessRunner& inner_;
};

bool Succeeded(RunOutcome outcome) {
    return outcome == RunOutcome::Ok || outcome == RunOutcome::Unchanged;
}

// The problems of one run, from the history lines of its pass.
std::vector<std::string> RunProblems(const ScheduleEntry& entry, long long startSeconds,
                                     const HistoryContents& history) {
    std::vector<std::string> problems;
    bool any = false;
    for (const HistoryRecord& r : history.records) {
        if (r.configuration != entry.configPath)
            continue;
        const auto at = StampToSeconds(r.start);
        if (!at || *at < startSeconds)
            continue;
        any = true;
        if (!Succeeded(r.outcome))
            problems.push_back(EntryName(entry) + ": " + r.database + ": " + std::string(OutcomeTextOf(r)) +
                               (r.detail.empty() ? "" : " (" + r.detail + ")"));
    }
    if (!any)
        problems.push_back(EntryName(entry) + ": the compactor recorded no database for this run (see its error.log)");
    return problems;
}

// Why the check does not run: another check or run holds the lock, or it cannot be opened.
CheckOutcome Refused(const std::string& lockPath, bool held) {
    CheckOutcome outcome;
    if (held) {
        outcome.skipped = true;
        outcome.summary = "skipped: another check or run of this schedule was under way";
    } else {
        outcome.exitCode = CheckUnreadable;
        outcome.summary = "the lock file " + lockPath + " could not be opened";
        outcome.problems.push_back(outcome.summary);
    }
    return outcome;
}

// The due entries run as in the window's tick; a fault stops the runs and is a problem.
std::vector<ObservedRunner::Attempt> RunDue(CheckedSchedule& table, const EffectiveTimer& timer,
                                            const std::string& compactorPath, const Clock& clock,
                                            ProcessRunner& runner, CheckOutcome& outcome) {
    ObservedRunner observed(runner);
    RunEnvironment env{clock, observed, [&] { return compactorPath; }};
    env.beforeRun = [&](int entry) { observed.pending = entry; };
    try {
        RunDueEntries(table, timer.startText, env);
    } catch (const std::exception& e) {
        outcome.problems.push_back(e.what());
        outcome.exitCode = table.SaveFailed() ? CheckUnwritable : CheckUnreadable;
    }
    return std::move(observed.attempts);
}

// Each run's problems, from the history the compactor wrote (read once, after the last run).
void Collect(const std::vector<ObservedRunner::Attempt>& attempts, const CheckedSchedule& table,
             const std::string& compactorPath, CheckOutcome& outcome) {
    std::optional<HistoryContents> history;
    for (const auto& a : attempts) {
        const ScheduleEntry& entry = table.Entries().at(static_cast<std::size_t>(a.entry));
        std::vector<std::string> problems;
        if (!a.started) {
            problems.push_back(EntryName(entry) + ": the compactor could not be started: " + a.commandLine);
        } else {
            ++outcome.runs;
            if (!history) {
                std::string text;
                platform::ReadTextFile(CompactorFileOf(compactorPath, HistoryFileName), text);
                history = ParseHistory(text);
            }
            problems = RunProblems(entry, a.startSeconds, *history);
        }
        if (!problems.empty() && outcome.exitCode == CheckOk)
            outcome.exitCode = CheckRunFailures;
        outcome.problems.insert(outcome.problems.end(), problems.begin(), problems.end());
    }
}

std::string Summary(const CheckOutcome& outcome) {
    if (outcome.runs == 0 && outcome.problems.empty())
        return "nothing due";
    const std::string ran = std::to_string(outcome.runs) + (outcome.runs == 1 ? " entry" : " entries") + " ran; ";
    if (outcome.problems.empty())
        return ran + "every database ok or unchanged";
    return ran + std::to_string(outcome.problems.size()) +
           (outcome.problems.size() == 1 ? " problem: " : " problems, the first: ") + outcome.problems.front();
}

// The schedule's runs under the check's lock, which the caller holds.
CheckOutcome CheckLocked(const std::string& appFolder, const std::string& folder, const Clock& clock,
                         ProcessRunner& runner) {
    CheckOutcome outcome;
    const AdminSettings settings(appFolder);
    const std::string compactorPath = settings.QuilletPath();
    // As in the window, a refused start hour falls back to 01 so that the schedule still
    // runs; unattended, nobody would see it otherwise, so the check reports it every time.
    const EffectiveTimer timer = settings.Effective();
    if (timer.startProblem) {
        outcome.exitCode = CheckUnreadable;
        outcome.problems.push_back(*timer.startProblem);
    }
    std::optional<CheckedSchedule> table;
    try {
        table.emplace(folder + ScheduleFileName);
    } catch (const std::exception& e) {
        outcome.exitCode = CheckUnreadable;
        outcome.summary = std::string("the schedule or its settings could not be read: ") + e.what();
        outcome.problems.push_back(e.what());
        return outcome;
    }
    Collect(RunDue(*table, timer, compactorPath, clock, runner, outcome), *table, compactorPath, outcome);
    outcome.summary = Summary(outcome);
    return outcome;
}

} // namespace

CheckOutcome RunScheduleCheck(const std::string& appFolder, const Clock& clock, ProcessRunner& runner) {
    const std::string folder = platform::DataFolderOf(appFolder);
    const std::string start = platform::IsoLocalTime(static_cast<std::int64_t>(std::time(nullptr)));
    bool held = false;
    const auto lock = platform::FileLock::TryAcquire(folder + CheckLockFileName, &held);
    const CheckOutcome outcome =
        lock ? CheckLocked(appFolder, folder, clock, runner) : Refused(folder + CheckLockFileName, held);
    WriteLastCheck(folder, {start, outcome.exitCode, outcome.summary});
    return outcome;
}

FailureNotice MakeFailureNotice(const CheckOutcome& outcome, const std::string& historyPath) {
    FailureNotice notice;
    notice.title = "Quillet: a scheduled compaction had problems";
    constexpr std::size_t Shown = 5;
    for (std::size_t i = 0; i < outcome.problems.size() && i < Shown; ++i)
        notice.body += outcome.problems[i] + "\n";
    if (outcome.problems.size() > Shown)
        notice.body += "(and " + std::to_string(outcome.problems.size() - Shown) + " more)\n";
    notice.body += "The run history is in " + historyPath;
    return notice;
}

} // namespace quillet::scheduler
