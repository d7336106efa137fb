#include "compactor/Compactor.h"

#include "core/CfgFile.h"
#include "core/Include.h"
#include "platform/Files.h"
#include "platform/SelfPath.h"

#include <exception>

namespace quillet::compactor {

std::string BuildCommandLine(const CompactionSettings& s, const std::string& password) {
    std::string line = s.accessPath + " " + s.currentEntry;
    if (!s.workgroupFile.empty())
        line += " /wrkgrp " + s.workgroupFile;
    line += s.repairSwitch;
    line += " /compact";
    if (!s.userName.empty() || !s.password.empty())
        line += " /user " + s.userName + " /pwd " + password;
    return line;
}

std::string LoggedCommandLine(const CompactionSettings& s) {
    // An empty password stays empty: the mask would claim one that was never sent.
    return BuildCommandLine(s, s.password.empty() ? std::string() : std::string(PasswordMask));
}

std::string LogStamp(const platform::LocalDateTime& moment) {
    const std::string date = platform::ShortDateText(moment);
    if (moment.hour == 0 && moment.minute == 0 && moment.second == 0 && moment.millisecond == 0)
        return date;
    return date + " " + platform::LongTimeText(moment);
}

namespace {

class Run {
public:
    explicit Run(std::string configurationPath) {
        s_.programFolder = platform::ExecutableFolder();
        s_.configurationPath = std::move(configurationPath);
    }

    void execute() {
        if (!platform::FileExists(s_.configurationPath))
            log(" .Cfg file: " + s_.configurationPath + " does not exist.");
        readSettings();

        if (!platform::FileExists(s_.accessPath))
            log(" Access file: " + s_.accessPath + " does not exist.");
        s_.accessPath = QuotePath(s_.accessPath);

        for (std::size_t n = 0;; ++n) {
            const std::string entry = n < s_.databaseList.size() ? s_.databaseList[n] : std::string();
            if (entry.empty())
                break;
            if (!platform::FileExists(entry))
                log(" .mdb file: " + entry + " does not exist.");
            s_.currentEntry = QuotePath(entry);
            s_.commandLine = BuildCommandLine(s_, s_.password);
            int exitCode = 0;
            if (!RunAndWait(s_.commandLine, SW_SHOWNORMAL_MODE, &exitCode))
                log(" Could not execute " + LoggedCommandLine(s_));
            else if (exitCode != 0)
                log(" Exit code " + std::to_string(exitCode) + " from " + LoggedCommandLine(s_));
        }

        if (!s_.launchCommand.empty())
            LaunchProgram(s_.launchCommand);
    }

    // For failures nobody foresaw: the run must still end quietly with a line in the log.
    void logUnexpected(const std::string& what) { log(" Run stopped by an internal error: " + what); }

private:
    void readSettings() {
        // A missing, unreadable or odd file reads as all defaults.
        if (!platform::FileExists(s_.configurationPath))
            return;
        CfgValues values;
        try {
            values = ReadCfgForCompactor(s_.configurationPath);
        } catch (const std::exception&) {
            return;
        }
        s_.accessPath = values.accessPath;
        s_.databaseList = values.compactFiles;
        s_.launchCommand = values.launchFile;
        s_.workgroupFile = values.workgroup;
        s_.userName = values.login;
        s_.password = values.password;
        s_.repairSwitch = values.repair ? " /repair" : "";
    }

    void log(const std::string& message) {
        AppendLogLine(s_.programFolder + "error.log", LogStamp(platform::LocalNow()) + message);
    }

    CompactionSettings s_;
};

} // namespace

int RunCompactor(const std::vector<std::string>& args) {
    try {
        Run run(args.empty() ? std::string() : args.front());
        try {
            run.execute();
        } catch (const std::exception& e) {
            run.logUnexpected(e.what());
        }
    } catch (...) {
        // Nothing is left to report to; the exit code stays 0 all the same.
    }
    return 0;
}

} // namespace quillet::compactor
