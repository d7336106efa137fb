// An exclusive lock held by the kernel on a file, so that it ends with its holder,
// however that ends: no stale lock survives a crash or a killed process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillet::platform {

class FileLock {
public:
    // Tries once, without waiting: the lock, or nullptr when someone else (another
    // process, or another FileLock in this one) holds it or the file cannot be opened.
    // The file is created when missing and left in place afterwards. `held` tells the
    // two failures apart: true when somebody holds the lock.
    static std::unique_ptr<FileLock> TryAcquire(const std::string& path, bool* held = nullptr);
    // Waits up to `timeoutMs` for the lock to become free.
    static std::unique_ptr<FileLock> Acquire(const std::string& path, int timeoutMs);

    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;
};

} // namespace quillet::platform
