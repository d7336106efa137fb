#include "platform/FileLock.h"

#include "platform/win32/WideText.h"

#include <windows.h>


namespace quillet::platform {

std::unique_ptr<FileLock> FileLock::TryAcquire(const std::string& path, bool* held) {
    if (held)
        *held = false;
    // Shared open, exclusive byte lock: others can still open the file, so a holder
    // is told apart from a file that cannot be opened at all.
    HANDLE h = ::CreateFileW(win32::Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    OVERLAPPED whole = {};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
        if (held)
            *held = ::GetLastError() == ERROR_LOCK_VIOLATION;
        ::CloseHandle(h);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<std::intptr_t>(h)));
}

FileLock::~FileLock() {
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED whole = {};
    ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    ::CloseHandle(h);
}

} // namespace quillet::platform
