#include "platform/HostName.h"

#include <unistd.h>

namespace quillet::platform {

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "unknown";
    return name;
}

} // namespace quillet::platform
