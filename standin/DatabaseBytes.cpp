#include "standin/DatabaseBytes.h"

#include "platform/posix/Descriptors.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace quillet::standin {

HandleSource::HandleSource(sqlite3* db) {
    if (!db || sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file_) != SQLITE_OK || !file_ ||
        !file_->pMethods) {
        file_ = nullptr;
        return;
    }
    sqlite3_int64 size = 0;
    if (file_->pMethods->xFileSize(file_, &size) == SQLITE_OK && size > 0)
        size_ = static_cast<std::uint64_t>(size);
}

bool HandleSource::read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const {
    if (!file_ || offset > size_ || length > size_ - offset)
        return false;
    // Where the connection maps the file (PRAGMA mmap_size), the bytes come from the
    // mapping, which the first fetch makes, without a read of the file.
    if (file_->pMethods->iVersion >= 3 && file_->pMethods->xFetch && length <= 1u << 30) {
        void* mapped = nullptr;
        const auto at = static_cast<sqlite3_int64>(offset);
        if (file_->pMethods->xFetch(file_, at, static_cast<int>(length), &mapped) == SQLITE_OK && mapped) {
            std::memcpy(buffer, mapped, length);
            file_->pMethods->xUnfetch(file_, at, mapped);
            return true;
        }
    }
    // xRead takes an int: large reads go in pieces.
    constexpr std::size_t piece = 1 << 30;
    for (std::size_t done = 0; done < length;) {
        const std::size_t n = std::min(piece, length - done);
        if (file_->pMethods->xRead(file_, buffer + done, static_cast<int>(n),
                                   static_cast<sqlite3_int64>(offset + done)) != SQLITE_OK)
            return false;
        done += n;
    }
    return true;
}

Fd::~Fd() {
    if (fd >= 0)
        ::close(fd);
}

DatabaseBytes::DatabaseBytes(sqlite3* db, const std::string& path) {
    auto handle = std::make_unique<HandleSource>(db);
    if (handle->open())
        main_ = std::move(handle);
    openLog(path);
}

DatabaseBytes::DatabaseBytes(const std::string& path) : ownMain_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (ownMain_.fd >= 0)
        main_ = std::make_unique<FileSource>(ownMain_.fd);
    openLog(path);
}

void DatabaseBytes::openLog(const std::string& path) {
    log_.fd = ::open((path + "-wal").c_str(), O_RDONLY | O_CLOEXEC);
    if (log_.fd < 0 || !main_)
        return;
    logSource_ = std::make_unique<FileSource>(log_.fd);
    logged_ = std::make_unique<LoggedSource>(*main_, *logSource_);
}

const PageSource& DatabaseBytes::pages() const {
    return logged_ ? static_cast<const PageSource&>(*logged_) : *main_;
}

bool CopyBytes(const PageSource& from, const std::string& to, unsigned mode) {
    Fd out{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777)};
    if (out.fd < 0)
        return false;
    bool ok = true;
    std::vector<unsigned char> buffer(1 << 20);
    for (std::uint64_t at = 0; ok && at < from.size();) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), from.size() - at));
        if (!from.read(at, buffer.data(), n)) {
            errno = EIO;
            ok = false;
            break;
        }
        ok = platform::WriteAll(out.fd, reinterpret_cast<const char*>(buffer.data()), n);
        at += n;
    }
    ok = ok && ::fsync(out.fd) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(to.c_str());
        errno = error;
    }
    return ok;
}

} // namespace quillet::standin
