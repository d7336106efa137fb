#include "platform/SecretChannel.h"
#include "platform/posix/Descriptors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace quillet::platform {

bool SecretChannel::Exist() {
    return true;
}

std::optional<SecretChannel> SecretChannel::Open(const std::string& secret) {
    int fds[2];
    // Both ends closed on exec at first: the write end always, and the read end is made
    // inheritable only once it holds the whole secret.
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    // A password is far below the pipe's capacity, so this never blocks; anything less
    // than the whole secret is no channel.
    const bool whole = WriteAll(fds[1], secret);
    ::close(fds[1]);
    if (!whole || ::fcntl(fds[0], F_SETFD, 0) != 0) {
        ::close(fds[0]);
        return std::nullopt;
    }
    return SecretChannel(fds[0]);
}

SecretChannel::SecretChannel(SecretChannel&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SecretChannel& SecretChannel::operator=(SecretChannel&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
}

SecretChannel::~SecretChannel() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<std::string> ReadSecret(int descriptor) {
    if (descriptor < 0)
        return std::nullopt;
    std::string secret;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(descriptor, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(descriptor);
            return std::nullopt;
        }
        if (n == 0)
            break;
        secret.append(buf, static_cast<std::size_t>(n));
    }
    ::close(descriptor);
    return secret;
}

} // namespace quillet::platform
