#include "platform/SelfPath.h"

#include <vector>
#include <windows.h>

namespace quillet::platform {

std::string ExecutablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    const std::size_t sep = path.find_last_of("\\/:");
    return sep == std::string::npos ? std::string(".\\") : path.substr(0, sep + 1);
}

} // namespace quillet::platform
