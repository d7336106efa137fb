// A password handed to a program this one starts without putting it on the command
// line, which every local user may read on POSIX systems (/proc/<pid>/cmdline, ps).
// Windows shows one user's command lines to nobody else and has no such channel here.
#pragma once

#include <optional>
#include <string>

namespace quillet::platform {

// POSIX: a pipe that holds the secret and is closed for writing; its read end is
// inherited by the programs started while the channel is open, under the number that
// descriptor() gives. Only the processes of this user can reach it.
class SecretChannel {
public:
    // Whether this system has such channels at all.
    static bool Exist();
    // Nothing where the system has no such channel, or when it cannot be made.
    static std::optional<SecretChannel> Open(const std::string& secret);
    SecretChannel(SecretChannel&& other) noexcept;
    SecretChannel& operator=(SecretChannel&& other) noexcept;
    SecretChannel(const SecretChannel&) = delete;
    SecretChannel& operator=(const SecretChannel&) = delete;
    ~SecretChannel();

    int descriptor() const { return fd_; }

private:
    explicit SecretChannel(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The started program's side: everything up to the end of the inherited descriptor,
// which is closed then; nothing when it cannot be read.
std::optional<std::string> ReadSecret(int descriptor);

} // namespace quillet::platform
