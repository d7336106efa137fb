// The tests' stand-in for a full volume, shared by both builds.
#include "platform/Files.h"

#include <cstdlib>

namespace quillet::platform {

std::optional<std::uint64_t> FreeSpaceOverride(const std::string& path) {
    const char* value = std::getenv("QUILLET_TEST_FREE_SPACE");
    if (!value || !*value)
        return std::nullopt;
    const std::string text = value;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('|', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string entry = text.substr(start, end - start);
        const std::size_t eq = entry.rfind('=');
        const std::string folder = eq == std::string::npos ? std::string() : entry.substr(0, eq);
        if (path.compare(0, folder.size(), folder) == 0)
            return std::strtoull(entry.c_str() + (eq == std::string::npos ? 0 : eq + 1), nullptr, 10);
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace quillet::platform
