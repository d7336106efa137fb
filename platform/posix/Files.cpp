#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/posix/Descriptors.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quillet::platform {

bool WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

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

bool NothingAt(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
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

bool ReadFileHead(const std::string& path, std::size_t count, std::string& bytes) {
    bytes.clear();
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bytes.resize(count);
    std::size_t done = 0;
    while (ok && done < count) {
        const ssize_t n = ::read(fd, bytes.data() + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n >= 0;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(ok ? done : 0);
    return ok;
}

namespace {

// A temporary file beside `path`, open for writing; -1 on failure.
int CreateTemporaryBeside(const std::string& path, std::string& temp) {
    temp = FolderOf(path) + ".~" + FileNameOf(path) + ".XXXXXX";
    return ::mkstemp(temp.data());
}

} // namespace

bool CreateNewFile(const std::string& path, const std::string& bytes) {
    if (path.empty())
        return false;
    std::string temp;
    const int fd = CreateTemporaryBeside(path, temp);
    if (fd < 0)
        return false;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, 0666 & ~mask) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // link() never replaces: of two processes creating the file, one wins whole.
    ok = ok && ::link(temp.c_str(), path.c_str()) == 0;
    const int err = errno;
    ::unlink(temp.c_str());
    errno = err;
    return ok;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && ::rename(from.c_str(), to.c_str()) == 0;
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& path) {
    return !path.empty() && (::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && FolderExists(path)));
}

bool RemoveFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && ::unlink(path.c_str()) == 0;
}

std::vector<std::string> FilesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        if (::stat((prefix + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    return names;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<std::int64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::optional<DiskSpace> DiskSpaceOf(const std::string& path) {
    struct stat st {};
    struct statvfs vfs {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || ::statvfs(path.c_str(), &vfs) != 0)
        return std::nullopt;
    DiskSpace space;
    space.freeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    space.volume = std::to_string(static_cast<unsigned long long>(st.st_dev));
    return space;
}

namespace {

// Whether a process other than this one has the file open, as far as /proc shows.
bool OpenElsewhere(const struct stat& file) {
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    const std::string self = std::to_string(::getpid());
    bool found = false;
    while (!found) {
        const dirent* p = ::readdir(proc);
        if (!p)
            break;
        if (p->d_name[0] < '0' || p->d_name[0] > '9' || self == p->d_name)
            continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd/";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds)
            continue; // another user's process, or gone
        while (const dirent* f = ::readdir(fds)) {
            struct stat st {};
            if (f->d_name[0] != '.' && ::stat((fdDir + f->d_name).c_str(), &st) == 0 && st.st_dev == file.st_dev &&
                st.st_ino == file.st_ino) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

bool LockedElsewhere(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno != ENOENT; // a lock that cannot be looked at is not ours to remove
    bool locked = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        locked = errno == EWOULDBLOCK;
    else
        ::flock(fd, LOCK_UN);
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (!locked && ::fcntl(fd, F_GETLK, &probe) == 0)
        locked = probe.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

} // namespace

LockFile RemoveStaleLockFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return LockFile::Absent;
    if (S_ISDIR(st.st_mode) || LockedElsewhere(path) || OpenElsewhere(st))
        return LockFile::Held;
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return LockFile::Stale;
    return LockFile::Held;
}

bool CopyFileFlushed(const std::string& from, const std::string& to, std::string& reason) {
    const auto fail = [&](const std::string& what) {
        reason = what + ": " + std::strerror(errno);
        return false;
    };
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail("cannot read " + from);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        errno = EINVAL;
        return fail("cannot read " + from);
    }
    std::string temp;
    const int out = CreateTemporaryBeside(to, temp);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        errno = err;
        return fail("cannot create a file in the folder of " + to);
    }
    // No wider than the database: its permission bits, and its group or none.
    mode_t mode = st.st_mode & 0777;
    if (::fchown(out, static_cast<uid_t>(-1), st.st_gid) != 0) {
        struct stat made {};
        if (::fstat(out, &made) != 0 || made.st_gid != st.st_gid)
            mode &= ~static_cast<mode_t>(0070);
    }
    bool ok = ::fchmod(out, mode) == 0;
    std::string what = "cannot write " + to;
    std::vector<char> buf(1 << 20);
    while (ok) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            what = "cannot read " + from;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = WriteAll(out, buf.data(), static_cast<std::size_t>(n));
    }
    ok = ok && ::fsync(out) == 0;
    int err = ok ? 0 : errno;
    if (::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), to.c_str()) != 0) {
        ok = false;
        err = errno;
        what = "cannot rename the copy to " + to;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        ::close(in);
        errno = err ? err : EIO;
        return fail(what);
    }
    ::close(in);
    // The rename itself reaches the disk with the folder.
    FlushFolder(FolderOf(to));
    return true;
}

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

bool LinkFile(const std::string& existing, const std::string& link) {
    return !existing.empty() && !link.empty() && ::link(existing.c_str(), link.c_str()) == 0;
}

bool MoveFileOver(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && ::rename(from.c_str(), to.c_str()) == 0;
}

namespace {
bool Flush(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}
} // namespace

bool FlushFile(const std::string& path) { return Flush(path, O_RDWR); }

bool FlushFolder(const std::string& folder) { return Flush(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY); }

bool TakeOwnership(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0 || ::chmod(to.c_str(), st.st_mode & 07777) != 0)
        return false;
    // Another user's group would leave its members what they could do before.
    return ::chown(to.c_str(), st.st_uid, st.st_gid) == 0 || ::chmod(to.c_str(), st.st_mode & 0707 & ~S_ISGID) == 0;
}

} // namespace quillet::platform
