#include "standin/Scratch.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <initializer_list>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::standin {

namespace {
constexpr const char* Prefix = "quillet-compact-";
constexpr const char* LockSuffix = ".lock";
} // namespace

Scratch::Scratch() {
    for (const char* dir : std::initializer_list<const char*>{std::getenv("SQLITE_TMPDIR"), std::getenv("TMPDIR"), "/var/tmp", "/tmp"}) {
        struct stat st {};
        if (dir && *dir && ::stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && ::access(dir, W_OK | X_OK) == 0) {
            folder_ = dir;
            break;
        }
    }
    if (folder_.empty())
        folder_ = ".";
}

Scratch::~Scratch() {
    remove();
    if (lock_ >= 0) {
        ::unlink((path_ + LockSuffix).c_str());
        ::close(lock_);
    }
}

std::string Scratch::create() {
    removeLeftovers();
    std::string lockPath = folder_ + "/" + Prefix + "XXXXXX" + LockSuffix;
    lock_ = ::mkostemps(lockPath.data(), static_cast<int>(std::strlen(LockSuffix)), O_CLOEXEC);
    if (lock_ < 0)
        return {};
    ::flock(lock_, LOCK_EX);
    const std::string path = lockPath.substr(0, lockPath.size() - std::strlen(LockSuffix));
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        ::unlink(lockPath.c_str());
        errno = error;
        return {};
    }
    ::close(fd);
    path_ = path;
    return path_;
}

void Scratch::remove() {
    if (!path_.empty() && !removed_)
        removed_ = ::unlink(path_.c_str()) == 0 || errno == ENOENT;
}

void Scratch::removeLeftovers() const {
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir)
        return;
    const std::size_t prefix = std::strlen(Prefix), suffix = std::strlen(LockSuffix);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix + suffix || name.compare(0, prefix, Prefix) != 0 ||
            name.compare(name.size() - suffix, suffix, LockSuffix) != 0)
            continue;
        const std::string lockPath = folder_ + "/" + name;
        const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const std::string path = lockPath.substr(0, lockPath.size() - suffix);
            ::unlink(path.c_str());
            ::unlink((path + "-journal").c_str());
            ::unlink(lockPath.c_str());
        }
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace quillet::standin
