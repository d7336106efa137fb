#include "platform/Profile.h"

#include <windows.h>
// windows.h maps these names to its own A/W functions; ours keep their names.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <vector>

namespace quillet::platform {

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file,
                                    std::size_t bufferSize) {
    if (bufferSize == 0)
        return {};
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                               static_cast<DWORD>(bufferSize), file.c_str());
    return std::string(buffer.data(), n);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file) {
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

} // namespace quillet::platform
