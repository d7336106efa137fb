// Programs started from Windows-style command lines: the program is found as
// CreateProcess finds it, the arguments are split as the C runtime splits them, and
// the program is executed directly, never through a shell.
#include "platform/Process.h"

#include "platform/SelfPath.h"
#include "platform/posix/Spawn.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
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

// `stderrFd` (when not -1) becomes the child's standard error; `ownGroup` makes the
// child the leader of a new process group, so that it and all it starts can be ended.
std::optional<pid_t> Spawn(const std::string& commandLine, int stderrFd = -1, bool ownGroup = false) {
    auto parsed = ParseCommandLine(commandLine);
    if (!parsed)
        return std::nullopt;
    std::vector<char*> argv;
    for (auto& a : parsed->argv)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const SpawnAttributes attr(ownGroup);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stderrFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, parsed->program.c_str(), &actions, attr.get(), argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return std::nullopt;
    return pid;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// The child's standard error, read without blocking; only the tail is kept, as only
// its last line is wanted.
class ErrorPipe {
public:
    ErrorPipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            read_ = fds[0];
            write_ = fds[1];
            ::fcntl(read_, F_SETFL, O_NONBLOCK);
        }
    }
    ~ErrorPipe() {
        closeWriteEnd();
        if (read_ >= 0)
            ::close(read_);
    }
    ErrorPipe(const ErrorPipe&) = delete;
    ErrorPipe& operator=(const ErrorPipe&) = delete;

    int writeEnd() const { return write_; }
    int readEnd() const { return read_; }
    void closeWriteEnd() {
        if (write_ >= 0)
            ::close(write_);
        write_ = -1;
    }
    void drain() {
        char buf[4096];
        while (read_ >= 0) {
            const ssize_t n = ::read(read_, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0) {
                text_.append(buf, static_cast<std::size_t>(n));
                if (text_.size() > 2 * KeptBytes)
                    text_.erase(0, text_.size() - KeptBytes);
                continue;
            }
            if (n == 0) { // every writer has closed it
                ::close(read_);
                read_ = -1;
            }
            return;
        }
    }
    const std::string& text() const { return text_; }

private:
    static constexpr std::size_t KeptBytes = 16384;
    int read_ = -1;
    int write_ = -1;
    std::string text_;
};

// Whether the child has exited, without reaping it: while it stays a zombie its process
// id, and so the group's id, cannot be taken by another process.
bool HasExited(pid_t pid) {
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0)
            return info.si_pid == pid;
        if (errno != EINTR)
            return true; // not our child any more: nothing to wait for
    }
}

// Waits until the child exits, its pipe has something, or `until`; the pidfd (when the
// kernel has one) wakes the wait at the child's exit, else it looks again every 10 ms.
template <typename Clock>
void WaitForActivity(int pidfd, ErrorPipe& pipe, std::optional<typename Clock::time_point> until) {
    int timeout = -1;
    if (until) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
        timeout = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
    }
    if (pidfd < 0)
        timeout = timeout < 0 ? 10 : std::min(timeout, 10);
    pollfd fds[2];
    nfds_t n = 0;
    if (pipe.readEnd() >= 0)
        fds[n++] = {pipe.readEnd(), POLLIN, 0};
    if (pidfd >= 0)
        fds[n++] = {pidfd, POLLIN, 0};
    if (n == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(timeout, 0)));
    else
        ::poll(fds, n, timeout);
    pipe.drain();
}

// A process found below the engine, with its start time, so that a signal never hits
// another process that took over its id after it ended.
struct Descendant {
    pid_t pid;
    unsigned long long started;
};

std::optional<unsigned long long> StartTimeOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')'); // the name may hold blanks and parentheses
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            return std::stoull(field);
    return std::nullopt;
}

// Adds the children of `pid`, and theirs, that `found` does not hold yet.
void AddDescendants(pid_t pid, std::vector<Descendant>& found) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
    DIR* dir = ::opendir(tasks.c_str());
    if (!dir)
        return;
    std::vector<pid_t> children;
    while (const dirent* t = ::readdir(dir)) {
        if (t->d_name[0] == '.')
            continue;
        std::ifstream in(tasks + t->d_name + "/children");
        for (long child; in >> child;)
            children.push_back(static_cast<pid_t>(child));
    }
    ::closedir(dir);
    for (const pid_t child : children) {
        if (std::any_of(found.begin(), found.end(), [&](const Descendant& d) { return d.pid == child; }))
            continue;
        if (const auto started = StartTimeOf(child)) {
            found.push_back({child, *started});
            AddDescendants(child, found);
        }
    }
}

// The group, and every descendant that may have left it (setsid, setpgid) and is
// still the process that was found.
void SignalAll(pid_t group, const std::vector<Descendant>& found, int signal) {
    ::killpg(group, signal);
    for (const Descendant& d : found)
        if (StartTimeOf(d.pid) == d.started)
            ::kill(d.pid, signal);
}

} // namespace

GuardedRun RunGuarded(const std::string& commandLine, std::uint16_t /*showMode*/, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    GuardedRun run;
    ErrorPipe pipe;
    const auto started = Clock::now();
    const auto pid = Spawn(commandLine, pipe.writeEnd(), true);
    pipe.closeWriteEnd();
    if (!pid)
        return run;
    run.started = true;
#ifdef SYS_pidfd_open
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, *pid, 0));
#else
    const int pidfd = -1;
#endif
    std::optional<Clock::time_point> deadline;
    if (limit.count() > 0)
        deadline = started + limit;

    while (!HasExited(*pid)) {
        if (deadline && Clock::now() >= *deadline) {
            run.timedOut = true;
            break;
        }
        WaitForActivity<Clock>(pidfd, pipe, deadline);
    }
    if (run.timedOut) {
        // Taken before the first signal: once the engine has ended, its children belong
        // to another parent and cannot be found from it.
        std::vector<Descendant> found;
        AddDescendants(*pid, found);
        SignalAll(*pid, found, SIGTERM);
        const auto grace = Clock::now() + std::min<Clock::duration>(std::chrono::seconds(5), limit / 10);
        while (!HasExited(*pid) && Clock::now() < grace)
            WaitForActivity<Clock>(pidfd, pipe, grace);
        // Whatever is left, including processes that ignore SIGTERM or were started
        // during the grace period.
        AddDescendants(*pid, found);
        for (std::size_t i = 0; i < found.size(); ++i)
            AddDescendants(found[i].pid, found);
        SignalAll(*pid, found, SIGKILL);
    }
    int status = 0;
    while (::waitpid(*pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (pidfd >= 0)
        ::close(pidfd);
    pipe.drain();
    run.exitCode = ExitCodeOf(status);
    run.lastErrorLine = LastLineOf(pipe.text());
    return run;
}

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
    return ExitCodeOf(status);
}

bool StartProcess(const std::string& commandLine, std::uint16_t /*showMode*/) {
    return Spawn(commandLine).has_value();
}

} // namespace quillet::platform
