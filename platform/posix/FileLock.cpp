// flock, not fcntl: an fcntl lock belongs to the process, so two holders in one
// program (the window's run and its save) would not keep each other out.
#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillet::platform {

std::unique_ptr<FileLock> FileLock::TryAcquire(const std::string& path, bool* held) {
    if (held)
        *held = false;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    int rc;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        if (held)
            *held = errno == EWOULDBLOCK;
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() {
    ::close(static_cast<int>(handle_)); // closing the last descriptor drops the lock
}

} // namespace quillet::platform
