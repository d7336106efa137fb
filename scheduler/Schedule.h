// The schedule's rules without any window: frequency codes, due dates, the timer
// settings' values, and the run of one entry or of one tick. The routines reach the
// table (the schedule file, or the scheduler window's grid) through ScheduleTable.
#pragma once

#include "core/AdminSettings.h"
#include "core/DueDate.h"
#include "core/Include.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillet::scheduler {

// A frequency code is empty (as needed) or "<letter>|<N>|<yyyy-MM-dd>".
constexpr char CodeSeparator = '|';

// Letter, N and the last-run date joined into a code.
std::string MakeCode(char letter, const std::string& n, const std::string& date);
std::string MakeCode(char letter, int n, Date date);

// Due dates are shared with the compactor's report.
using quillet::AddOneMonth;
using quillet::NextDueDate;

// The timer settings' checks belong to the administrator's settings.
using quillet::MaxTimerIntervalMinutes;
using quillet::StartTimeProblem;
using quillet::TimerIntervalInRange;
using quillet::TimerIntervalMinutes;
using quillet::TimerIntervalProblem;
using quillet::TimerIntervalRangeMessage;

// Checks of the numbers a user types: the message for a refused text, naming the field,
// the value and what is allowed; nothing for a good one.
std::optional<std::string> EveryProblem(const std::string& text);         // a whole number from 1
// What makes a stored frequency code unusable: a letter other than d, w and m, an N
// that is no whole number, or a weekly N below 1 (which would be due at every tick).
// Nothing for an empty code.
std::optional<std::string> CodeProblem(const std::string& code);

// "Today" and "the hour now" in local time; tests set them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date today() const = 0;
    virtual int hourNow() const = 0; // 0 to 23
    // Seconds since 1970-01-01 UTC, for when a run started; the system's unless a test sets it.
    virtual std::int64_t secondsNow() const;
};

class SystemClock final : public Clock {
public:
    Date today() const override;
    int hourNow() const override;
};

// Starts the compactor and waits for its end; true when it could be started (its exit
// code is never looked at).
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    virtual bool runAndWait(const std::string& commandLine) = 0;
};

class SystemProcessRunner final : public ProcessRunner {
public:
    bool runAndWait(const std::string& commandLine) override;
};

// The compactor's command line for one configuration. Both paths are quoted when they
// hold blanks, so that a configuration path with blanks reaches the compactor whole.
std::string CompactorCommandLine(const std::string& compactorPath, const std::string& configPath);

// The schedule table as the run routines see it: entries 0 to entryCount() - 1, in
// the table's order.
class ScheduleTable {
public:
    virtual ~ScheduleTable() = default;
    virtual int entryCount() const = 0;
    virtual std::string code(int entry) const = 0;
    virtual std::string configPath(int entry) const = 0;
    // Sets a code without marking the table as edited.
    virtual void setCode(int entry, const std::string& code) = 0;
    // Writes the whole table to the schedule file and clears the edited mark; throws
    // when the file cannot be written (the mark then stays as it was).
    virtual void saveAfterRun() = 0;
};

struct RunEnvironment {
    const Clock& clock;
    ProcessRunner& runner;
    // The compactor path at the moment of the run.
    std::function<std::string()> compactorPath;
    // Told which entry's compactor is about to start; may be empty.
    std::function<void(int entry)> beforeRun = {};
};

// Runs one entry when it is due, or at once with `force`, and records a run that could
// be started: the code gets the day the run started, and the table is saved. An entry
// without a code (as needed) runs only with `force` and records nothing, having no date
// to record. An entry whose code CodeProblem refuses never runs: the timer passes over
// it (it was reported when the schedule was read), `force` throws EInvalidValue. True
// when the compactor ran; the save's error when the file cannot be written.
bool CompactEntry(ScheduleTable& table, int entry, bool force, const RunEnvironment& env);

// One tick of the schedule timer: during the start hour every due entry runs, top to
// bottom. An entry that fails does not keep the entries below it from running; the
// failures are thrown together after the last entry. A start hour that StartTimeProblem
// refuses runs nothing; whoever read it has reported it.
void RunDueEntries(ScheduleTable& table, const std::string& startTimeText, const RunEnvironment& env);

} // namespace quillet::scheduler
