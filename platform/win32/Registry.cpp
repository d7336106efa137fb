#include "platform/Registry.h"

#include <windows.h>

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

std::string ReadRegistryString(RegistryRoot root, const std::string& keyPath, const std::string& valueName) {
    const HKEY base = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    KeyHandle key;
    // The 32-bit view, where the 32-bit programs whose settings are read here keep
    // them, also when this program is a 64-bit build. Full access is asked for as the
    // installed versions always did; without administrator rights only reading is
    // granted, and a key that cannot be opened reads as a missing value.
    const REGSAM view = KEY_WOW64_32KEY;
    if (RegOpenKeyExA(base, keyPath.c_str(), 0, KEY_ALL_ACCESS | view, key.out()) != ERROR_SUCCESS) {
        if (RegOpenKeyExA(base, keyPath.c_str(), 0, KEY_READ | view, key.out()) != ERROR_SUCCESS)
            return {};
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return {};
    std::string value(size, '\0');
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
        return {};
    value.resize(size);
    // The stored text may or may not carry its terminating zero.
    const auto end = value.find('\0');
    if (end != std::string::npos)
        value.resize(end);
    return value;
}

std::string DefaultAccessPath(const std::string&) {
    return ReadRegistryString(RegistryRoot::LocalMachine,
                              "SOFTWARE\\Microsoft\\Office\\8.0\\Common\\InstallRoot", "OfficeBin") +
           "\\Msaccess.exe";
}

} // namespace quillet::platform
