#include "platform/SecretChannel.h"

#include <utility>

namespace quillet::platform {

// Command lines are private to their user here: the password goes on it as it is.
bool SecretChannel::Exist() {
    return false;
}

std::optional<SecretChannel> SecretChannel::Open(const std::string&) {
    return std::nullopt;
}

SecretChannel::SecretChannel(SecretChannel&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SecretChannel& SecretChannel::operator=(SecretChannel&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
}

SecretChannel::~SecretChannel() = default;

std::optional<std::string> ReadSecret(int) {
    return std::nullopt;
}

} // namespace quillet::platform
