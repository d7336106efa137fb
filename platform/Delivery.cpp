#include "platform/Delivery.h"

#include <cctype>

namespace quillet::platform {

std::string NormalizedPin(const std::string& text) {
    std::string hex;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isxdigit(u))
            hex += static_cast<char>(std::tolower(u));
        else if (c != ':' && c != ' ' && c != '\t')
            return {};
    }
    return hex.size() == 64 ? hex : std::string();
}

} // namespace quillet::platform
