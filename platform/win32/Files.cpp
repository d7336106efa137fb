#include "platform/Files.h"

#include <windows.h>

namespace quillet::platform {

bool FileExists(const std::string& path) {
    const DWORD attr = ::GetFileAttributesA(path.c_str());
    return !path.empty() && attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsReadOnlyFile(const std::string& path) {
    const DWORD attr = ::GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY) && (attr & FILE_ATTRIBUTE_READONLY);
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
    HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // Appends are atomic on Windows itself, but not on every implementation of its API;
    // a lock over the whole file keeps two writers' lines apart everywhere.
    OVERLAPPED whole = {};
    const bool locked = ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != FALSE;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && ::FlushFileBuffers(h);
    if (locked)
        ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    return ::CloseHandle(h) && ok;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    char buf[65536];
    DWORD n = 0;
    bool ok = true;
    while ((ok = ::ReadFile(h, buf, sizeof buf, &n, nullptr) != FALSE) && n > 0)
        bytes.append(buf, n);
    ::CloseHandle(h);
    if (!ok)
        bytes.clear();
    return ok;
}

bool ReplaceFileContent(const std::string& path, const std::string& bytes, int /*permissions*/) {
    const std::string temp = path + ".~tmp";
    HANDLE h = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && ::FlushFileBuffers(h);
    if (!::CloseHandle(h) || !ok ||
        !::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD why = ::GetLastError();
        ::DeleteFileA(temp.c_str());
        ::SetLastError(why);
        return false;
    }
    return true;
}

std::string LastFileErrorText() {
    const DWORD code = ::GetLastError();
    char* buf = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<char*>(&buf), 0, nullptr);
    std::string text = n && buf ? std::string(buf, n) : std::string();
    if (buf)
        ::LocalFree(buf);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "Error " + std::to_string(code) : text;
}

bool RestrictToOwner(const std::string&) {
    // A new file takes the access list of its folder; nothing here narrows it.
    return true;
}

} // namespace quillet::platform
