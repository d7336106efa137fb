// Running a system tool with its arguments as a list, never through a shell, and
// reading what it prints: the scheduler asks the system's own schedulers this way.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillet::platform {

struct CommandResult {
    std::optional<int> exitCode; // nothing when the program could not be started or was stopped
    std::string output;          // standard output and standard error together
};

// argv[0] is looked up in PATH (Windows: as CreateProcess looks it up). `input` goes
// to the program's standard input, which is then closed. A program still running
// after `timeoutMs` is killed.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = {},
                         int timeoutMs = 60000);

} // namespace quillet::platform
