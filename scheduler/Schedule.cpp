#include "scheduler/Schedule.h"

#include "core/Convert.h"
#include "core/Errors.h"

#include <ctime>
#include <exception>
#include <stdexcept>
#include <vector>

namespace quillet::scheduler {

std::string MakeCode(char letter, const std::string& n, const std::string& date) {
    return std::string(1, letter) + CodeSeparator + n + CodeSeparator + date;
}

std::string MakeCode(char letter, int n, Date date) {
    return MakeCode(letter, IntToStr(n), DateToDashText(date));
}

std::optional<std::string> EveryProblem(const std::string& text) {
    const auto n = TryStrToInt(text);
    if (n && *n >= 1)
        return std::nullopt;
    return "'" + text + "' is not a valid Every value: enter a whole number from 1";
}

std::optional<std::string> CodeProblem(const std::string& code) {
    if (code.empty())
        return std::nullopt;
    const char letter = code.front();
    if (letter != 'd' && letter != 'w' && letter != 'm')
        return "the frequency code '" + code + "' is none of daily, weekly and monthly";
    const std::string n = GetField(code, CodeSeparator, 1);
    // Daily and monthly entries never use their N, so only its form is checked there.
    const auto value = TryStrToInt(n);
    if (!value || (letter == 'w' && *value < 1))
        return "in the frequency code '" + code + "', " + *EveryProblem(n);
    return std::nullopt;
}

std::int64_t Clock::secondsNow() const {
    return static_cast<std::int64_t>(std::time(nullptr));
}

Date SystemClock::today() const {
    const std::time_t now = std::time(nullptr);
    const std::tm local = *std::localtime(&now);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

int SystemClock::hourNow() const {
    const std::time_t now = std::time(nullptr);
    return std::localtime(&now)->tm_hour;
}

bool SystemProcessRunner::runAndWait(const std::string& commandLine) {
    return RunAndWait(commandLine, SW_SHOWNORMAL_MODE);
}

std::string CompactorCommandLine(const std::string& compactorPath, const std::string& configPath) {
    return QuotePath(compactorPath) + " " + QuotePath(configPath);
}

bool CompactEntry(ScheduleTable& table, int entry, bool force, const RunEnvironment& env) {
    const std::string code = table.code(entry);
    const std::string path = table.configPath(entry);
    if (code.empty()) // as needed: on demand only, and nothing to record
        return force && !path.empty() && env.runner.runAndWait(CompactorCommandLine(env.compactorPath(), path));
    if (const auto problem = CodeProblem(code)) {
        if (!force)
            return false;
        throw EInvalidValue("This entry cannot run: " + *problem);
    }
    const char letter = code.front();
    const int n = StrToInt(GetField(code, CodeSeparator, 1));

    Date lastRun = 0; // a forced run, or an entry that never ran
    if (!force) {
        try {
            lastRun = DashTextToDate(GetField(code, CodeSeparator, 2));
        } catch (const EConvertError&) {
            // No readable date: counts as never run.
        }
    }
    const Date today = env.clock.today();
    if (today < NextDueDate(letter, n, lastRun))
        return false;

    const Date runDate = today; // a run that ends after midnight counts for the day it started
    if (env.beforeRun)
        env.beforeRun(entry);
    if (!env.runner.runAndWait(CompactorCommandLine(env.compactorPath(), path)))
        return false; // not started: stays due, nothing to report

    table.setCode(entry, MakeCode(letter, n, runDate));
    table.saveAfterRun();
    return true;
}

void RunDueEntries(ScheduleTable& table, const std::string& startTimeText, const RunEnvironment& env) {
    if (StartTimeProblem(startTimeText) || StrToInt(startTimeText) != env.clock.hourNow())
        return;

    std::vector<std::exception_ptr> failures;
    const int entries = table.entryCount();
    for (int entry = 0; entry < entries && entry < table.entryCount(); ++entry) {
        try {
            CompactEntry(table, entry, false, env);
        } catch (...) {
            failures.push_back(std::current_exception());
        }
    }
    if (failures.size() == 1)
        std::rethrow_exception(failures.front());
    if (!failures.empty()) {
        // One box for the whole tick; a long schedule of bad entries shows the first few.
        constexpr std::size_t Shown = 10;
        std::string text;
        for (std::size_t i = 0; i < failures.size() && i < Shown; ++i) {
            try {
                std::rethrow_exception(failures[i]);
            } catch (const std::exception& e) {
                text += (text.empty() ? "" : "\n") + std::string(e.what());
            } catch (...) {
                text += (text.empty() ? "" : "\n") + std::string("Unknown error");
            }
        }
        if (failures.size() > Shown)
            text += "\n(and " + IntToStr(static_cast<std::int64_t>(failures.size() - Shown)) + " more)";
        throw std::runtime_error(text);
    }
}

} // namespace quillet::scheduler
