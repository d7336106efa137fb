// Starting other programs from a Windows-style command line.
#pragma once

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
