#include "platform/Files.h"

#include "platform/PathText.h"
#include "platform/TextFile.h"
#include "platform/win32/WideText.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace quillet::platform {

using win32::Wide;

bool FileExists(const std::string& path) {
    const DWORD attr = ::GetFileAttributesW(Wide(path).c_str());
    return !path.empty() && attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool NothingAt(const std::string& path) {
    if (path.empty() || ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsReadOnlyFile(const std::string& path) {
    const DWORD attr = ::GetFileAttributesW(Wide(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY) && (attr & FILE_ATTRIBUTE_READONLY);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
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
    HANDLE h = ::CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && ::FlushFileBuffers(h);
    if (!::CloseHandle(h) || !ok ||
        !::MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD why = ::GetLastError();
        ::DeleteFileW(Wide(temp).c_str());
        ::SetLastError(why);
        return false;
    }
    return true;
}

std::string LastFileErrorText() {
    const DWORD code = ::GetLastError();
    wchar_t* buf = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::string text = n && buf ? win32::Utf8(std::wstring_view(buf, n)) : std::string();
    if (buf)
        ::LocalFree(buf);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "Error " + std::to_string(code) : text;
}

namespace {

// The SID of the user this process runs as; empty on failure.
std::vector<BYTE> currentUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    std::vector<BYTE> sid;
    if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
        sid.assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + ::GetLengthSid(user));
    }
    ::CloseHandle(token);
    return sid;
}

std::vector<BYTE> wellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    std::vector<BYTE> sid(size);
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size))
        return {};
    sid.resize(size);
    return sid;
}

} // namespace

bool RestrictToOwner(const std::string& path) {
    // A new file takes its folder's access list, which often lets every user of the
    // machine read it. This one gets a list of its own, not inherited: the user, the
    // system and the administrators, nobody else. Writes in place keep it.
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(h);
    std::vector<BYTE> sids[] = {currentUserSid(), wellKnownSid(WinLocalSystemSid),
                                wellKnownSid(WinBuiltinAdministratorsSid)};
    EXPLICIT_ACCESS_W entries[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (sids[i].empty()) {
            ::SetLastError(ERROR_INVALID_SID);
            return false;
        }
        entries[i].grfAccessPermissions = FILE_ALL_ACCESS;
        entries[i].grfAccessMode = SET_ACCESS;
        entries[i].grfInheritance = NO_INHERITANCE;
        entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[i].Trustee.TrusteeType = i == 0 ? TRUSTEE_IS_USER : TRUSTEE_IS_WELL_KNOWN_GROUP;
        entries[i].Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids[i].data());
    }
    PACL acl = nullptr;
    std::wstring wide = Wide(path);
    DWORD result = ::SetEntriesInAclW(3, entries, nullptr, &acl);
    if (result == ERROR_SUCCESS) {
        result = ::SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, acl, nullptr);
        ::LocalFree(acl);
    }
    ::SetLastError(result);
    return result == ERROR_SUCCESS;
}

bool ReadFileHead(const std::string& path, std::size_t count, std::string& bytes) {
    bytes.clear();
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bytes.resize(count);
    DWORD n = 0;
    const bool ok = ::GetFileType(h) == FILE_TYPE_DISK && ::ReadFile(h, bytes.data(), static_cast<DWORD>(count), &n, nullptr);
    ::CloseHandle(h);
    bytes.resize(ok ? n : 0);
    return ok;
}

namespace {

// A new file beside `path`, open for writing; INVALID_HANDLE_VALUE on failure.
HANDLE CreateTemporaryBeside(const std::string& path, std::string& temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = path + ".~" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
        HANDLE h = ::CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAllFlushed(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
        if (!::WriteFile(h, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Opens the file (created when missing) and hands it to `write` under a lock over the
// whole file, so that two writers' lines never interleave: appends are atomic on Windows
// itself, but not on every implementation of its API.
bool WithAppendLock(const std::string& path, DWORD access, const std::function<bool(HANDLE)>& write) {
    // A file that another writer is just renaming into place (a new history with its
    // header) is briefly open for deletion; that passes within moments.
    HANDLE h = INVALID_HANDLE_VALUE;
    const std::wstring wide = Wide(path);
    for (int attempt = 0; attempt < 50; ++attempt) {
        h = ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        ::Sleep(10);
    }
    if (h == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED whole = {};
    const bool locked = ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != FALSE;
    const bool ok = write(h) && ::FlushFileBuffers(h);
    if (locked)
        ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    return ::CloseHandle(h) && ok;
}

bool ReadAt(HANDLE h, std::uint64_t offset, std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!::ReadFile(h, bytes.data() + done, chunk, &n, &at) || n == 0)
            break;
        done += n;
    }
    bytes.resize(done);
    return true;
}

} // namespace

bool AppendToFile(const std::string& path, const std::string& bytes) {
    return WithAppendLock(path, FILE_APPEND_DATA,
                          [&](HANDLE h) { return WriteAllFlushed(h, bytes.data(), bytes.size()); });
}

bool AppendTextToFile(const std::string& path, const std::string& text) {
    return WithAppendLock(path, GENERIC_READ | GENERIC_WRITE, [&](HANDLE h) {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(h, &size))
            return false;
        std::string head(Utf8Mark.size(), '\0');
        ReadAt(h, 0, head);
        std::string bytes = HasUtf8Mark(head) ? text : FileBytesOfText(text);
        LARGE_INTEGER at{};
        if (size.QuadPart > 0 && !HasUtf8Mark(head) && HasUtf8Mark(bytes)) {
            // The file's code page cannot hold the text: the whole file becomes UTF-8.
            std::string old(static_cast<std::size_t>(size.QuadPart), '\0');
            ReadAt(h, 0, old);
            bytes = std::string(Utf8Mark) + TextOfFileBytes(old) + text;
        } else {
            at = size;
        }
        return ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && WriteAllFlushed(h, bytes.data(), bytes.size()) &&
               ::SetEndOfFile(h);
    });
}

bool CreateNewFile(const std::string& path, const std::string& bytes) {
    std::string temp;
    HANDLE h = CreateTemporaryBeside(path, temp);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = WriteAllFlushed(h, bytes.data(), bytes.size()) && ::FlushFileBuffers(h);
    // Without MOVEFILE_REPLACE_EXISTING the move fails when another process was first.
    if (!::CloseHandle(h) || !ok || !::MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(), MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(Wide(temp).c_str());
        return false;
    }
    return true;
}

bool FolderExists(const std::string& path) {
    const DWORD attr = ::GetFileAttributesW(Wide(path).c_str());
    return !path.empty() && attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::string& path) {
    return !path.empty() && (::CreateDirectoryW(Wide(path).c_str(), nullptr) || FolderExists(path));
}

bool RemoveFile(const std::string& path) { return !path.empty() && ::DeleteFileW(Wide(path).c_str()); }

bool RenameFile(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH);
}

std::vector<std::string> FilesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    const std::string pattern =
        folder + (folder.empty() || folder.back() == '\\' || folder.back() == '/' ? "" : "\\") + "*";
    WIN32_FIND_DATAW found;
    HANDLE h = ::FindFirstFileW(Wide(pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(win32::Utf8(found.cFileName));
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
    return names;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const auto join = [](DWORD high, DWORD low) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
    };
    return FileStamp{join(data.nFileSizeHigh, data.nFileSizeLow),
                     join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)};
}

std::optional<DiskSpace> DiskSpaceOf(const std::string& path) {
    const DWORD attr = ::GetFileAttributesW(Wide(path).c_str());
    if (path.empty() || attr == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    const std::string folder = (attr & FILE_ATTRIBUTE_DIRECTORY) ? path : FolderOf(path);
    ULARGE_INTEGER available{};
    wchar_t volume[MAX_PATH + 1] = {};
    if (!::GetDiskFreeSpaceExW(folder.empty() ? nullptr : Wide(folder).c_str(), &available, nullptr, nullptr) ||
        !::GetVolumePathNameW(Wide(path).c_str(), volume, MAX_PATH + 1))
        return std::nullopt;
    DiskSpace space;
    space.freeBytes = available.QuadPart;
    space.volume = win32::Utf8(volume);
    return space;
}

LockFile RemoveStaleLockFile(const std::string& path) {
    // The engine keeps its lock file open without delete sharing: the attempt is the test.
    if (path.empty() || ::GetFileAttributesW(Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return LockFile::Absent;
    if (::DeleteFileW(Wide(path).c_str()))
        return LockFile::Stale;
    const DWORD err = ::GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? LockFile::Stale : LockFile::Held;
}

bool CopyFileFlushed(const std::string& from, const std::string& to, std::string& reason) {
    HANDLE in = ::CreateFileW(Wide(from).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        reason = "cannot read " + from + ": " + LastFileErrorText();
        return false;
    }
    std::string temp;
    // Default security: the copy takes the access rules that the folder hands down.
    HANDLE out = CreateTemporaryBeside(to, temp);
    if (out == INVALID_HANDLE_VALUE) {
        reason = "cannot create a file in the folder of " + to + ": " + LastFileErrorText();
        ::CloseHandle(in);
        return false;
    }
    std::vector<char> buf(1 << 20);
    bool ok = true;
    std::string what = "cannot write " + to;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(in, buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr)) {
            ok = false;
            what = "cannot read " + from;
            break;
        }
        if (n == 0)
            break;
        if (!WriteAllFlushed(out, buf.data(), n)) {
            ok = false;
            break;
        }
    }
    ok = ok && ::FlushFileBuffers(out);
    if (!ok)
        reason = what + ": " + LastFileErrorText();
    ::CloseHandle(in);
    if (!::CloseHandle(out) && ok) {
        ok = false;
        reason = what + ": " + LastFileErrorText();
    }
    if (ok && !::MoveFileExW(Wide(temp).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        reason = "cannot rename the copy to " + to + ": " + LastFileErrorText();
    }
    if (!ok)
        ::DeleteFileW(Wide(temp).c_str());
    return ok;
}

std::string TempFolder() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    return n == 0 || n > MAX_PATH ? std::string() : win32::Utf8(std::wstring_view(temp, n));
}

bool LinkFile(const std::string& existing, const std::string& link) {
    return !existing.empty() && !link.empty() && ::CreateHardLinkW(Wide(link).c_str(), Wide(existing).c_str(), nullptr);
}

bool MoveFileOver(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() &&
           ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool FlushFile(const std::string& path) {
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::FlushFileBuffers(h);
    const DWORD error = ::GetLastError();
    ::CloseHandle(h);
    ::SetLastError(error);
    return ok;
}

bool FlushFolder(const std::string&) { return true; }

bool TakeOwnership(const std::string&, const std::string&) { return true; }

} // namespace quillet::platform
