// The compactor: one pass over the databases of a configuration file, each handed to
// the engine program in turn, every problem a dated line in "error.log".
#pragma once

#include "core/LogLine.h"
#include "core/PassSummary.h"
#include "platform/Files.h"
#include "platform/RegionalTime.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::compactor {

// The log line's date and time, shared with the reports.
using quillet::LogStamp;

// What a pass takes from where it runs. Tests put in their own.
struct PassContext {
    std::string logFolder; // "error.log", the history and "compact-state" lie in it
    std::chrono::milliseconds minute = std::chrono::minutes(1); // of TimeLimit
    // The room on a path's volume; empty: the platform's.
    std::function<std::optional<platform::DiskSpace>(const std::string&)> diskSpace;
};
// The shipped compactor's: its data folder (platform::DataFolder), real minutes, the
// real free space.
PassContext ShippedContext();

// One pass over the databases of a configuration file.
class CompactionPass {
public:
    CompactionPass(std::string configurationPath, PassContext context);
    ~CompactionPass();
    CompactionPass(const CompactionPass&) = delete;
    CompactionPass& operator=(const CompactionPass&) = delete;
    // A failure nobody foresaw ends the pass with a line in the log. What the pass did,
    // for the reports beyond this machine.
    PassSummary execute();
    // Some line could not be written to "error.log" (platform/Notice.h tells where it went).
    bool logFailed() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// The exit code of a pass whose "error.log" could not be written.
inline constexpr int LogNotWrittenExitCode = 3;

// The whole run; `args` are the command-line arguments after the program name.
// Returns the process exit code: 0, or LogNotWrittenExitCode. "--help" and "--version"
// as the first argument print and end the program before anything is read or written.
extern const char* const CompactorUsage;
int RunCompactor(const std::vector<std::string>& args, PassContext context = ShippedContext());

} // namespace quillet::compactor
