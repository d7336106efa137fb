#include "platform/Notice.h"

#include <cstdio>

namespace quillet::platform {

void ShowAccessErrorNative(const std::string& path) {
    std::fprintf(stderr, "Access Error: Could not access %s\n", path.c_str());
    std::fflush(stderr);
}

} // namespace quillet::platform
