// The background trigger: one fixed, hourly job of the system's own scheduler that runs
// "QuilletSched --due" for one folder, so that the schedule runs while no administrator
// is open. The trigger never changes with the schedule: what is due is decided by the
// check itself, from the schedule file. No Qt.
#pragma once

#include <optional>
#include <string>

namespace quillet::scheduler {

// The folder whose schedule the trigger checks, and the program that checks it.
struct BackgroundTarget {
    std::string folder;  // ends with the path separator
    std::string program; // full path of QuilletSched
};

// The same name for the same folder on every call, a different one for another folder;
// made of letters, digits and dashes, so that every system's scheduler takes it.
std::string TriggerName(const std::string& folder);

// The longest a check may run before the system's scheduler stops it: a backstop for a
// check that hangs, which would otherwise keep every later check from starting.
constexpr int CheckTimeLimitHours = 12;
// The trigger starts a check up to this many minutes after the full hour; with the
// scheduler's own slack that stays well inside the hour.
constexpr int MaxStartDelayMinutes = 5;

// systemd user units.
std::string TimerUnitText(const BackgroundTarget& target);
std::string ServiceUnitText(const BackgroundTarget& target);
// The crontab line, and a crontab with exactly one such line for this folder (or none).
std::string CrontabLine(const BackgroundTarget& target);
std::string CrontabWithLine(const std::string& crontab, const BackgroundTarget& target);
std::string CrontabWithoutLine(const std::string& crontab, const std::string& folder);
bool CrontabHasLine(const std::string& crontab, const std::string& folder);
// The Task Scheduler task's definition.
std::string TaskXml(const BackgroundTarget& target);

// The outcome of the last "QuilletSched --due", kept in its folder.
struct LastCheck {
    std::string start;  // local time, ISO 8601 with offset
    int exitCode = 0;
    std::string result; // one line for people
};
constexpr const char* LastCheckFileName = "schedcheck.ini";
bool WriteLastCheck(const std::string& folder, const LastCheck& check);
std::optional<LastCheck> ReadLastCheck(const std::string& folder);

struct TriggerStatus {
    bool installed = false;
    std::string kind;               // "systemd user timer", "crontab line", "scheduled task"; empty when none
    std::string name;               // the unit or task name
    std::string nextRun;            // as the system says it; empty when unknown
    std::optional<bool> runsLoggedOut;
    std::string loggedOutHint;      // how to make it run while the user is logged out
    std::string problem;            // something wrong with an installed trigger; empty when none
};

// The scheduler window's status line of the background check: installed or not, the
// next check, whether it runs while the user is logged out, then on a second line the
// last check and its result.
std::string BackgroundStatusText(const TriggerStatus& status, const std::optional<LastCheck>& last);

struct TriggerResult {
    bool ok = false;
    std::string message;
};

// Why the trigger cannot be installed before the system is asked: its program is missing.
std::optional<std::string> MissingProgram(const BackgroundTarget& target);
// The last line of a system tool's output: the one that says why it failed.
std::string LastLine(const std::string& output);

// The system's scheduler, as this build's system has it (Linux: a systemd user timer,
// or the user's crontab without a user manager; Windows: the Task Scheduler).
TriggerResult InstallTrigger(const BackgroundTarget& target);
TriggerResult UninstallTrigger(const BackgroundTarget& target);
TriggerStatus QueryTrigger(const BackgroundTarget& target);

// The trigger as the scheduler window reaches it; tests give their own.
class TriggerControl {
public:
    virtual ~TriggerControl() = default;
    virtual TriggerResult install(const BackgroundTarget& target) = 0;
    virtual TriggerResult uninstall(const BackgroundTarget& target) = 0;
    virtual TriggerStatus query(const BackgroundTarget& target) = 0;
};

class SystemTriggerControl final : public TriggerControl {
public:
    TriggerResult install(const BackgroundTarget& target) override { return InstallTrigger(target); }
    TriggerResult uninstall(const BackgroundTarget& target) override { return UninstallTrigger(target); }
    TriggerStatus query(const BackgroundTarget& target) override { return QueryTrigger(target); }
};

// The status as --status prints it and the scheduler window shows it, several lines.
std::string DescribeStatus(const TriggerStatus& status, const std::optional<LastCheck>& last);

// Seconds since 1970 of a local time in ISO 8601 with its UTC offset, as the run history
// and the last check have them (2026-12-08T01:00:03+01:00); nothing when it is not one.
std::optional<long long> StampToSeconds(const std::string& stamp);

} // namespace quillet::scheduler
