#include "standin/PageSource.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::standin {

FileSource::FileSource(int fd) : fd_(fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        size_ = static_cast<std::uint64_t>(st.st_size);
}

bool FileSource::read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const {
    if (offset > size_ || length > size_ - offset)
        return false;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool MemorySource::read(std::uint64_t offset, unsigned char* buffer, std::size_t length) const {
    if (offset > size_ || length > size_ - offset)
        return false;
    std::memcpy(buffer, data_ + offset, length);
    return true;
}

} // namespace quillet::standin
