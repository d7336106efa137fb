#include "platform/SecretStore.h"

#include "platform/Files.h"
#include "platform/win32/WideText.h"

#include <windows.h>
#include <wincrypt.h>

namespace quillet::platform {

namespace {

std::optional<std::string> Transformed(const std::string& bytes, bool protect) {
    DATA_BLOB in = {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
    DATA_BLOB out = {};
    const BOOL ok = protect ? ::CryptProtectData(&in, L"Quillet", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)
                            : ::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out);
    if (!ok)
        return std::nullopt;
    std::string result(reinterpret_cast<const char*>(out.pbData), out.cbData);
    ::SecureZeroMemory(out.pbData, out.cbData);
    ::LocalFree(out.pbData);
    return result;
}

// Into a file that is the owner's alone before the first byte lands in it.
bool WritePrivately(const std::string& path, const std::string& bytes) {
    if (!RestrictToOwner(path))
        return false;
    HANDLE h = ::CreateFileW(win32::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && ::FlushFileBuffers(h);
    return ::CloseHandle(h) && ok;
}

} // namespace

bool StoreSecret(const std::string& path, const std::string& secret, std::string& reason) {
    const auto sealed = Transformed(secret, true);
    if (!sealed) {
        reason = "the password could not be protected for this user";
        return false;
    }
    // Written whole under another name, then renamed (the access list moves with the file):
    // a half-written secret is never seen.
    const std::string temporary = path + ".~new";
    if (!WritePrivately(temporary, *sealed) ||
        !::MoveFileExW(win32::Wide(temporary).c_str(), win32::Wide(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = "the password could not be stored in " + path + ": " + LastFileErrorText();
        RemoveFile(temporary);
        return false;
    }
    return true;
}

std::optional<std::string> LoadSecret(const std::string& path, std::string& reason) {
    std::string sealed;
    if (!ReadWholeFile(path, sealed) || sealed.empty()) {
        reason = "no password is stored";
        return std::nullopt;
    }
    auto secret = Transformed(sealed, false);
    if (!secret) {
        reason = "the stored password cannot be decrypted by this user; store it again";
        return std::nullopt;
    }
    return secret;
}

bool ForgetSecret(const std::string& path) {
    return RemoveFile(path) || NothingAt(path);
}

} // namespace quillet::platform
