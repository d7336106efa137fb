#include "core/AdminSettings.h"

#include "core/CfgFile.h"
#include "core/Convert.h"
#include "core/Errors.h"
#include "platform/DataFolder.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Programs.h"
#include "platform/Registry.h"

namespace quillet {

int TimerIntervalMinutes(const std::string& text) {
    return StrToInt(text);
}

bool TimerIntervalInRange(int minutes) {
    return minutes >= 0 && minutes <= MaxTimerIntervalMinutes;
}

std::string TimerIntervalRangeMessage(const std::string& text) {
    return "'" + text + "' is not a valid Timer Interval: enter a whole number of minutes from 0 to " +
           IntToStr(MaxTimerIntervalMinutes) + " (0 stops the timer)";
}

std::optional<std::string> TimerIntervalProblem(const std::string& text) {
    const auto minutes = TryStrToInt(text);
    if (minutes && TimerIntervalInRange(*minutes))
        return std::nullopt;
    return TimerIntervalRangeMessage(text);
}

std::optional<std::string> StartTimeProblem(const std::string& text) {
    const auto hour = TryStrToInt(text);
    if (hour && *hour >= 0 && *hour <= 23)
        return std::nullopt;
    return "'" + text + "' is not a valid Start Time: enter a whole hour from 0 to 23";
}

EffectiveTimer EffectiveTimerSettings(const StoredTimer& stored, const std::string& settingsPath) {
    EffectiveTimer timer;
    if (const auto problem = TimerIntervalProblem(stored.interval))
        timer.intervalProblem = "The setting TimerInterval in " + settingsPath + " is refused: " + *problem +
                                ". Until a valid Timer Interval is saved, the timer runs every 60 minutes.";
    else
        timer.intervalMinutes = StrToInt(stored.interval);
    if (const auto problem = StartTimeProblem(stored.startTime)) {
        timer.startProblem = "The setting StartTime in " + settingsPath + " is refused: " + *problem +
                             ". Until a valid Start Time is saved, due entries run between 01:00 and 02:00.";
    } else {
        timer.startHour = StrToInt(stored.startTime);
        timer.startText = stored.startTime;
    }
    return timer;
}

AdminSettings::AdminSettings(std::string appFolder)
    : appFolder_(std::move(appFolder)), path_(platform::DataFolderOf(appFolder_) + SettingsFileName) {}

std::string AdminSettings::read(const char* key, const std::string& defaultValue) const {
    return platform::GetPrivateProfileString(CfgSection, key, defaultValue, path_);
}

void AdminSettings::write(const char* key, const std::string& value) const {
    if (!platform::WritePrivateProfileString(CfgSection, key, value, path_))
        throw EIniFileException(path_, platform::LastFileErrorText());
}

std::string AdminSettings::LastCfgPath() const {
    return read("LastCfgPath", "");
}

std::string AdminSettings::AccessPath() const {
    const std::string stored = read("AccessPath", "");
    return stored.empty() ? platform::DefaultAccessPath(appFolder_) : stored;
}

std::string AdminSettings::QuilletPath() const {
    return read("QuilletPath", appFolder_ + platform::CompactorProgramName);
}

StoredTimer AdminSettings::Timer() const {
    const StoredTimer defaults;
    return {read("TimerInterval", defaults.interval), read("StartTime", defaults.startTime)};
}

bool AdminSettings::WarnScheduleClosed() const {
    return read("WarnScheduleClosed", "1") != "0";
}

void AdminSettings::SaveMainWindow(const std::string& lastCfgPath, const std::string& accessPath,
                                   const std::string& quilletPath) const {
    write("LastCfgPath", lastCfgPath);
    write("AccessPath", accessPath);
    write("QuilletPath", quilletPath);
}

void AdminSettings::SaveTimer(const StoredTimer& timer) const {
    write("TimerInterval", timer.interval);
    write("StartTime", timer.startTime);
}

void AdminSettings::SaveWarnScheduleClosed(bool warn) const {
    write("WarnScheduleClosed", warn ? "1" : "0");
}

} // namespace quillet
