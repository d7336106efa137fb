#include "platform/Registry.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>

namespace quillet::platform {

namespace {

// Closes the key in every case, also when reading fails.
class KeyHandle {
public:
    KeyHandle() = default;
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle() {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

namespace {

std::string readString(RegistryRoot root, const std::string& keyPath, const std::string& valueName, REGSAM view) {
    const HKEY base = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    KeyHandle key;
    // Read access only: the values are read, never written, and reading needs no
    // administrator rights.
    if (RegOpenKeyExW(base, win32::Wide(keyPath).c_str(), 0, KEY_READ | view, key.out()) != ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD size = 0;
    const std::wstring name = win32::Wide(valueName);
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
        return {};
    value.resize(std::min<std::size_t>(value.size(), size / sizeof(wchar_t)));
    // The stored text may or may not carry its terminating zero.
    const auto end = value.find(L'\0');
    if (end != std::wstring::npos)
        value.resize(end);
    return win32::Utf8(value);
}

} // namespace

std::string ReadRegistryString(RegistryRoot root, const std::string& keyPath, const std::string& valueName) {
    // The 32-bit view, where the 32-bit programs whose settings are read here keep
    // them, also when this program is a 64-bit build.
    return readString(root, keyPath, valueName, KEY_WOW64_32KEY);
}

std::string DefaultAccessPath(const std::string&) {
    // Office 97 told where it lay; no later Office writes that value.
    const std::string officeBin =
        ReadRegistryString(RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Office\\8.0\\Common\\InstallRoot", "OfficeBin");
    if (!officeBin.empty())
        return officeBin + "\\Msaccess.exe";
    // Every Office since registers its program under App Paths, in the view of its own
    // bitness: 64-bit Office in the 64-bit view, 32-bit Office in the 32-bit one.
    const char* const appPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSACCESS.EXE";
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        std::string program = readString(RegistryRoot::LocalMachine, appPath, "", view);
        if (program.size() >= 2 && program.front() == '"' && program.back() == '"')
            program = program.substr(1, program.size() - 2);
        if (!program.empty())
            return program;
    }
    return "\\Msaccess.exe";
}

} // namespace quillet::platform
