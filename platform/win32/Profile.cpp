#include "platform/Profile.h"

#include <windows.h>
// windows.h maps these names to its own A/W functions; ours keep their names.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <vector>

namespace quillet::platform {
namespace {

// The profile functions look for a bare file name in the Windows folder, not in the
// current one where every other file function finds it; a name typed by hand on the
// compactor's command line would pass the existence check and then read as empty.
std::string WithFolder(const std::string& file) {
    if (file.empty() || file.find_first_of("\\/:") != std::string::npos)
        return file;
    return ".\\" + file;
}

} // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file,
                                    std::size_t bufferSize) {
    if (bufferSize == 0)
        return {};
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD n =
        ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                   static_cast<DWORD>(bufferSize), WithFolder(file).c_str());
    return std::string(buffer.data(), n);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file) {
    return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                        WithFolder(file).c_str()) != FALSE;
}

} // namespace quillet::platform
