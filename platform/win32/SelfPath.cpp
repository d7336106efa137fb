#include "platform/SelfPath.h"

#include <vector>
#include "platform/win32/WideText.h"

#include <windows.h>

namespace quillet::platform {

std::string ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return win32::Utf8(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    const std::size_t sep = path.find_last_of("\\/:");
    return sep == std::string::npos ? std::string(".\\") : path.substr(0, sep + 1);
}

} // namespace quillet::platform
