// Programs started from Windows-style command lines: the program is found as
// CreateProcess finds it, the arguments are split as the C runtime splits them, and
// the program is executed directly, never through a shell.
#include "platform/Process.h"

#include "platform/SelfPath.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillet::platform {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A name with a slash is a path; a bare name is looked up in the running program's
// folder first, where Windows looks first too, then in PATH. The current folder is
// left out: on this system that would let a stray file there stand in for a program.
std::optional<std::string> Locate(const std::string& name) {
    if (name.empty())
        return std::nullopt;
    if (name.find('/') != std::string::npos)
        return IsExecutableFile(name) ? std::optional(name) : std::nullopt;
    if (const std::string own = ExecutableFolder() + name; IsExecutableFile(own))
        return own;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        const std::string candidate = dir + "/" + name;
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::optional<pid_t> Spawn(const std::string& commandLine) {
    auto parsed = ParseCommandLine(commandLine);
    if (!parsed)
        return std::nullopt;
    std::vector<char*> argv;
    for (auto& a : parsed->argv)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The child starts with default signal handling, whatever the caller changed.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, parsed->program.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return std::nullopt;
    return pid;
}

} // namespace

std::optional<ParsedCommandLine> ParseCommandLine(const std::string& commandLine) {
    std::size_t i = 0;
    while (i < commandLine.size() && IsSpace(commandLine[i]))
        ++i;
    if (i == commandLine.size())
        return std::nullopt;

    ParsedCommandLine parsed;
    std::size_t rest = 0;
    if (commandLine[i] == '"') {
        const std::size_t close = commandLine.find('"', i + 1);
        const std::string token =
            commandLine.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
        auto program = Locate(token);
        if (!program)
            return std::nullopt;
        parsed.program = *program;
        parsed.argv.push_back(token);
        rest = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        // An unquoted program path with blanks: the shortest prefix that names a program wins.
        std::size_t end = i;
        for (;;) {
            while (end < commandLine.size() && !IsSpace(commandLine[end]))
                ++end;
            const std::string token = commandLine.substr(i, end - i);
            if (auto program = Locate(token)) {
                parsed.program = *program;
                parsed.argv.push_back(token);
                rest = end;
                break;
            }
            if (end == commandLine.size())
                return std::nullopt;
            while (end < commandLine.size() && IsSpace(commandLine[end]))
                ++end;
            if (end == commandLine.size())
                return std::nullopt;
        }
    }
    for (auto& arg : SplitArguments(commandLine.substr(rest)))
        parsed.argv.push_back(std::move(arg));
    return parsed;
}

std::optional<int> RunProcessAndWait(const std::string& commandLine, std::uint16_t /*showMode*/) {
    const auto pid = Spawn(commandLine);
    if (!pid)
        return std::nullopt;
    int status = 0;
    while (::waitpid(*pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

bool StartProcess(const std::string& commandLine, std::uint16_t /*showMode*/) {
    return Spawn(commandLine).has_value();
}

} // namespace quillet::platform
