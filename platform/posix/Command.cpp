#include "platform/Command.h"

#include "platform/posix/Spawn.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillet::platform {
namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    bool open() { return ::pipe2(fd, O_CLOEXEC) == 0; }
    void close(int i) {
        if (fd[i] >= 0)
            ::close(fd[i]);
        fd[i] = -1;
    }
    ~Pipe() {
        close(0);
        close(1);
    }
};

// A program that exits without reading all its input must not end this one with SIGPIPE.
ssize_t WriteNoSigpipe(int fd, const char* data, std::size_t size) {
    sigset_t pipeOnly, old;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeOnly, &old);
    const ssize_t put = ::write(fd, data, size);
    const int saved = errno;
    if (put < 0 && errno == EPIPE) {
        const timespec zero{};
        ::sigtimedwait(&pipeOnly, nullptr, &zero);
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return put;
}

} // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input, int timeoutMs) {
    CommandResult result;
    if (argv.empty())
        return result;
    Pipe in, out;
    if (!in.open() || !out.open())
        return result;

    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.fd[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out.fd[1], 2);
    const SpawnAttributes attr;
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0].c_str(), &actions, attr.get(), args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    in.close(0);
    out.close(1);
    if (rc != 0)
        return result;

    // Input and output at the same time, so that neither side's pipe can fill up and stall both.
    std::size_t written = 0;
    if (input.empty())
        in.close(1);
    else
        ::fcntl(in.fd[1], F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool killed = false;
    while (out.fd[0] >= 0) {
        pollfd fds[2] = {{out.fd[0], POLLIN, 0}, {in.fd[1], POLLOUT, 0}};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        const int n = ::poll(fds, in.fd[1] >= 0 ? 2 : 1, static_cast<int>(left));
        if (n < 0 && errno != EINTR)
            break;
        if (n <= 0)
            continue;
        if (fds[0].revents) {
            char buf[4096];
            const ssize_t got = ::read(out.fd[0], buf, sizeof buf);
            if (got > 0)
                result.output.append(buf, static_cast<std::size_t>(got));
            else if (got == 0 || errno != EINTR)
                out.close(0);
        }
        if (in.fd[1] >= 0 && fds[1].revents) {
            const ssize_t put = WriteNoSigpipe(in.fd[1], input.data() + written, input.size() - written);
            if (put > 0)
                written += static_cast<std::size_t>(put);
            if ((put < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                in.close(1);
        }
    }
    in.close(1);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!killed && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

} // namespace quillet::platform
