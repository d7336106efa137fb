// The administrator's own settings: "Quillet.ini" in the programs' data folder
// (platform/DataFolder.h: their own folder unless they are an installed copy), read by the
// main window, the scheduler window and QuilletSched. Section "Defaults", as in a
// configuration file. Every read goes to the file, so each reader sees the last write.
#pragma once

#include <optional>
#include <string>

namespace quillet {

inline constexpr const char* SettingsFileName = "Quillet.ini";

// The timer period is TimerInterval minutes in a 32-bit millisecond count, so the
// longest period it can hold is 35791 minutes. 0 keeps the timer from firing.
constexpr int MaxTimerIntervalMinutes = 35791;
// The minutes of a TimerInterval text; EConvertError when it is not a whole number.
int TimerIntervalMinutes(const std::string& text);
bool TimerIntervalInRange(int minutes);
// The message for a whole number outside 0 to MaxTimerIntervalMinutes.
std::string TimerIntervalRangeMessage(const std::string& text);

// Checks of the numbers a user types: the message for a refused text, naming the field,
// the value and what is allowed; nothing for a good one.
std::optional<std::string> TimerIntervalProblem(const std::string& text); // 0 to 35791
std::optional<std::string> StartTimeProblem(const std::string& text);     // a whole hour 0 to 23

// The timer settings as stored, unchecked.
struct StoredTimer {
    std::string interval = "60"; // minutes
    std::string startTime = "01"; // the hour of the runs
};

// What the timer runs on. A refused setting falls back to its default, so that an
// unattended schedule keeps running, and says so in one message naming the file.
struct EffectiveTimer {
    int intervalMinutes = 60;
    int startHour = 1;
    std::string startText = "01"; // the stored text when accepted
    std::optional<std::string> intervalProblem;
    std::optional<std::string> startProblem;
};
EffectiveTimer EffectiveTimerSettings(const StoredTimer& stored, const std::string& settingsPath);

class AdminSettings {
public:
    // appFolder, the programs' folder, ends with the path separator; the file lies in
    // its data folder.
    explicit AdminSettings(std::string appFolder);

    const std::string& AppFolder() const { return appFolder_; }
    const std::string& Path() const { return path_; }

    // Empty when not set.
    std::string LastCfgPath() const;
    // The engine the configurations name: the system's MS Access when not set.
    std::string AccessPath() const;
    // The compactor next to the administrator when not set.
    std::string QuilletPath() const;
    StoredTimer Timer() const;
    // True unless the user said not to warn again.
    bool WarnScheduleClosed() const;

    // Writes throw EIniFileException naming the file and the system's reason; the keys
    // written before the failing one keep their new values.
    void SaveMainWindow(const std::string& lastCfgPath, const std::string& accessPath,
                        const std::string& quilletPath) const;
    void SaveTimer(const StoredTimer& timer) const;
    void SaveWarnScheduleClosed(bool warn) const;

    // The stored timer settings as the timer runs on them.
    EffectiveTimer Effective() const { return EffectiveTimerSettings(Timer(), path_); }

private:
    std::string read(const char* key, const std::string& defaultValue) const;
    void write(const char* key, const std::string& value) const;

    std::string appFolder_;
    std::string path_;
};

} // namespace quillet
