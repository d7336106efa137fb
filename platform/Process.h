// Starting other programs from a Windows-style command line.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::platform {

// Starts the command line and waits for its end. The exit code, or nothing when the
// program could not be started.
std::optional<int> RunProcessAndWait(const std::string& commandLine, std::uint16_t showMode);
// Starts the command line and returns at once; false when it could not be started.
bool StartProcess(const std::string& commandLine, std::uint16_t showMode);

// How a run under RunGuarded ended.
struct GuardedRun {
    bool started = false;
    bool timedOut = false;     // ended by us at the limit
    int exitCode = 0;          // when it ended by itself (POSIX: 128 + signal when killed)
    double seconds = 0;        // wall time from start to end
    std::string lastErrorLine; // the last non-empty line it wrote to standard error
};
// Runs the command line with its standard error captured and waits for its end, at
// most `limit` (zero: no limit). The program and everything it starts form one group:
// POSIX a process group of its own, Windows a job object that ends its processes when
// it is closed. At the limit the whole group is ended: POSIX SIGTERM, a grace period of
// a tenth of the limit (5 s at most) while the program has not exited, then SIGKILL to
// the group; Windows TerminateJobObject. The program is always reaped.
// Safe to call from several threads at once.
GuardedRun RunGuarded(const std::string& commandLine, std::uint16_t showMode, std::chrono::milliseconds limit);

// The last line of the text that holds more than blanks, without its line end and
// blanks; at most 500 characters of it.
std::string LastLineOf(const std::string& text);

// The program a command line names, found as Windows finds it: a quoted first token
// is the text up to the next quote; an unquoted one is tried blank-separated prefix by
// prefix, shortest first, and the first that names an executable file wins.
struct ParsedCommandLine {
    std::string program;             // the path to execute
    std::vector<std::string> argv;   // argv[0] is the program token as written
};
std::optional<ParsedCommandLine> ParseCommandLine(const std::string& commandLine);

// The C runtime's splitting of the arguments that follow the program token.
std::vector<std::string> SplitArguments(const std::string& arguments);

} // namespace quillet::platform
