// Linux: a systemd user timer and service when the user has a systemd user manager,
// otherwise one line in the user's crontab.
#include "scheduler/Background.h"

#include "platform/Command.h"
#include "platform/Files.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace quillet::scheduler {
namespace {

using platform::CommandResult;
using platform::RunCommand;

std::string UnitFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::string(config) + "/systemd/user/";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/systemd/user/";
}

std::string UserName() {
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    if (const passwd* pw = ::getpwuid(::getuid()))
        return pw->pw_name;
    return std::to_string(::getuid());
}

CommandResult Systemctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"systemctl", "--user"});
    return RunCommand(args);
}

bool HaveUserManager() {
    return Systemctl({"show-environment"}).exitCode == 0;
}

// The user's crontab; nothing when crontab cannot be run or reports something other
// than "no crontab" (writing would then replace a crontab that could not be read).
std::optional<std::string> ReadCrontab(std::string* why = nullptr) {
    const CommandResult r = RunCommand({"crontab", "-l"});
    if (!r.exitCode) {
        if (why)
            *why = "crontab could not be started";
        return std::nullopt;
    }
    if (*r.exitCode == 0)
        return r.output;
    if (r.output.find("no crontab") != std::string::npos)
        return std::string();
    if (why)
        *why = "crontab -l failed: " + LastLine(r.output);
    return std::nullopt;
}

bool WriteCrontab(const std::string& crontab, std::string* why) {
    const CommandResult r = RunCommand({"crontab", "-"}, crontab);
    if (r.exitCode == 0)
        return true;
    *why = "crontab - failed: " + LastLine(r.output);
    return false;
}

std::optional<bool> Lingering() {
    const CommandResult r = RunCommand({"loginctl", "show-user", UserName(), "-p", "Linger", "--value"});
    if (r.exitCode != 0)
        return std::nullopt;
    const std::string value = LastLine(r.output);
    if (value == "yes")
        return true;
    if (value == "no")
        return false;
    return std::nullopt;
}

std::string LingerHint() {
    return "switch it on with: loginctl enable-linger " + UserName();
}

std::string TimerName(const BackgroundTarget& target) { return TriggerName(target.folder) + ".timer"; }

bool UnitsWritten(const BackgroundTarget& target) {
    return platform::FileExists(UnitFolder() + TimerName(target));
}

// Without a user manager nobody else would notice that the units are gone.
void RemoveUnitFiles(const BackgroundTarget& target) {
    std::error_code ec;
    std::filesystem::remove(UnitFolder() + TimerName(target), ec);
    std::filesystem::remove(UnitFolder() + TriggerName(target.folder) + ".service", ec);
}

std::string CronNextRun(const BackgroundTarget& target) {
    const std::string line = CrontabLine(target);
    const int minute = std::atoi(line.c_str());
    std::time_t now = std::time(nullptr);
    std::tm t = *std::localtime(&now);
    if (t.tm_min >= minute)
        ++t.tm_hour;
    t.tm_min = minute;
    t.tm_sec = 0;
    t.tm_isdst = -1;
    const std::time_t next = std::mktime(&t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", std::localtime(&next));
    return text;
}

} // namespace

TriggerResult InstallTrigger(const BackgroundTarget& target) {
    if (auto missing = MissingProgram(target))
        return {false, *missing};
    TriggerResult result;
    if (HaveUserManager()) {
        const std::string folder = UnitFolder();
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        const std::string base = folder + TriggerName(target.folder);
        if (!platform::ReplaceFileContent(base + ".service", ServiceUnitText(target)) ||
            !platform::ReplaceFileContent(base + ".timer", TimerUnitText(target))) {
            result.message = "Could not write the systemd units in " + folder;
            return result;
        }
        if (const CommandResult r = Systemctl({"daemon-reload"}); r.exitCode != 0) {
            result.message = "systemctl --user daemon-reload failed: " + LastLine(r.output);
            return result;
        }
        // Enabled, so that it comes back after a restart, and started, so that it runs now.
        if (const CommandResult r = Systemctl({"enable", "--now", TimerName(target)}); r.exitCode != 0) {
            result.message = "systemctl --user enable --now " + TimerName(target) + " failed: " + LastLine(r.output);
            return result;
        }
        // A crontab line from an install without a user manager would run a second check.
        if (auto crontab = ReadCrontab(); crontab && CrontabHasLine(*crontab, target.folder)) {
            std::string why;
            WriteCrontab(CrontabWithoutLine(*crontab, target.folder), &why);
        }
        result.ok = true;
        result.message = "Installed the systemd user timer " + TimerName(target) + ": QuilletSched --due runs every hour.";
        if (Lingering() == false)
            result.message += " It runs only while you are logged in; to run it while you are logged out, " +
                              LingerHint() + ".";
        return result;
    }
    std::string why;
    auto crontab = ReadCrontab(&why);
    if (!crontab) {
        result.message = "There is neither a systemd user manager nor a usable crontab (" + why +
                         "). Install cron (Debian: sudo apt install cron) and try again; or, where systemd runs, "
                         "start a user manager that stays when you log out with: loginctl enable-linger " +
                         UserName() + " (in a session of yours), then try again.";
        return result;
    }
    if (!WriteCrontab(CrontabWithLine(*crontab, target), &why)) {
        result.message = why;
        return result;
    }
    result.ok = true;
    result.message = "Installed a line in your crontab: QuilletSched --due runs every hour (no systemd user manager "
                     "was found).";
    return result;
}

TriggerResult UninstallTrigger(const BackgroundTarget& target) {
    TriggerResult result{true, {}};
    std::string removed;
    if (UnitsWritten(target)) {
        if (HaveUserManager()) {
            Systemctl({"disable", "--now", TimerName(target)});
            RemoveUnitFiles(target);
            Systemctl({"daemon-reload"});
        } else {
            RemoveUnitFiles(target);
        }
        removed = "the systemd user timer " + TimerName(target);
    }
    std::string why;
    if (auto crontab = ReadCrontab(&why); crontab && CrontabHasLine(*crontab, target.folder)) {
        if (WriteCrontab(CrontabWithoutLine(*crontab, target.folder), &why)) {
            removed += (removed.empty() ? "" : " and ") + std::string("the crontab line");
        } else {
            result.ok = false;
            result.message = why;
            return result;
        }
    }
    result.message = removed.empty() ? "No background check was installed for this folder." : "Removed " + removed + ".";
    return result;
}

TriggerStatus QueryTrigger(const BackgroundTarget& target) {
    TriggerStatus status;
    if (UnitsWritten(target)) {
        status.installed = true;
        status.kind = "systemd user timer";
        status.name = TimerName(target);
        const CommandResult r =
            Systemctl({"show", TimerName(target), "-p", "UnitFileState", "-p", "ActiveState", "-p",
                       "NextElapseUSecRealtime"});
        if (r.exitCode != 0) {
            status.problem = "the systemd user manager cannot be reached: " + LastLine(r.output);
        } else {
            std::string unitFileState, activeState;
            std::size_t pos = 0;
            while (pos < r.output.size()) {
                auto end = r.output.find('\n', pos);
                if (end == std::string::npos)
                    end = r.output.size();
                const std::string line = r.output.substr(pos, end - pos);
                pos = end + 1;
                const auto eq = line.find('=');
                if (eq == std::string::npos)
                    continue;
                const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
                if (key == "UnitFileState")
                    unitFileState = value;
                else if (key == "ActiveState")
                    activeState = value;
                else if (key == "NextElapseUSecRealtime" && value != "n/a" && value != "0")
                    status.nextRun = value;
            }
            if (unitFileState != "enabled" || activeState != "active")
                status.problem = "the timer is " + (unitFileState.empty() ? std::string("unknown") : unitFileState) +
                                 " and " + (activeState.empty() ? std::string("unknown") : activeState) +
                                 "; QuilletSched --install switches it on again";
        }
        status.runsLoggedOut = Lingering();
        status.loggedOutHint = LingerHint();
        return status;
    }
    if (auto crontab = ReadCrontab(); crontab && CrontabHasLine(*crontab, target.folder)) {
        status.installed = true;
        status.kind = "crontab line";
        status.name = TriggerName(target.folder);
        status.nextRun = CronNextRun(target);
        status.runsLoggedOut = true; // cron starts its jobs whether or not anybody is logged in
    }
    return status;
}

} // namespace quillet::scheduler
