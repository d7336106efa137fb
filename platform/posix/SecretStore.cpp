#include "platform/SecretStore.h"
#include "platform/posix/Descriptors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::platform {

bool StoreSecret(const std::string& path, const std::string& secret, std::string& reason) {
    // Created private from the first byte: there is no moment at which others could read it.
    const std::string temp = path + ".new";
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, secret) && ::fsync(fd) == 0;
    const int err = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    reason = std::strerror(ok ? errno : err);
    ::unlink(temp.c_str());
    return false;
}

std::optional<std::string> LoadSecret(const std::string& path, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        reason = errno == ENOENT ? "no password is stored" : std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    std::optional<std::string> secret;
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        reason = path + " does not belong to this user";
    } else if (st.st_mode & 077) {
        reason = "others can read " + path + "; store the password again";
    } else {
        std::string bytes;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                bytes.append(buffer, static_cast<std::size_t>(n));
        if (n < 0)
            reason = std::strerror(errno);
        else
            secret = std::move(bytes);
    }
    ::close(fd);
    return secret;
}

bool ForgetSecret(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace quillet::platform
