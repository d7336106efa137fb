#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::platform {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a path finally names, so that replacing it keeps a symbolic link intact.
// Empty for a chain of links that never ends (a loop), as the system gives up too.
std::string ResolvedTarget(const std::string& path, int linksLeft = 40) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    if (n <= 0)
        return path;
    if (linksLeft == 0)
        return {};
    std::string target(buf, static_cast<std::size_t>(n));
    if (target.front() != '/') {
        const auto slash = path.rfind('/');
        if (slash != std::string::npos)
            target = path.substr(0, slash + 1) + target;
    }
    return ResolvedTarget(target, linksLeft - 1);
}

} // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    // Replacing goes through the folder, which could succeed where writing the file
    // itself is not allowed; the file's own permission decides, as on Windows.
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
           ((st.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0);
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
    if (path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // One write call: O_APPEND places it at the end as a whole.
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    const bool ok = n == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && ok;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    if (path.empty())
        return false;
    // Without blocking, so that a pipe at the path cannot hang the open; only a regular
    // file has an end to read to (a pipe may never end, a device may never stop).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool ReplaceFileContent(const std::string& path, const std::string& bytes, int permissions) {
    if (path.empty())
        return false;
    const std::string target = ResolvedTarget(path);
    if (target.empty()) {
        errno = ELOOP;
        return false;
    }
    const auto slash = target.rfind('/');
    std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".~" +
                       target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";

    mode_t mode = 0644;
    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    if (permissions >= 0)
        mode = static_cast<mode_t>(permissions);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (existed && ok && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Ownership is kept where allowed; a plain user cannot give files away.
    }
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno ? errno : EIO;
        ::unlink(temp.c_str());
        errno = err;
        return false;
    }
    return true;
}

std::string LastFileErrorText() {
    return std::strerror(errno ? errno : EIO);
}

bool RestrictToOwner(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        return (st.st_mode & 077) == 0 || ::chmod(path.c_str(), st.st_mode & 0700) == 0;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    return fd >= 0 && ::close(fd) == 0;
}

} // namespace quillet::platform
