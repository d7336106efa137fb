#include "platform/FileLock.h"

#include <chrono>
#include <thread>

namespace quillet::platform {

std::unique_ptr<FileLock> FileLock::Acquire(const std::string& path, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (auto lock = TryAcquire(path))
            return lock;
        if (std::chrono::steady_clock::now() >= end)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace quillet::platform
