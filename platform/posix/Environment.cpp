#include "platform/Environment.h"

#include <cstdlib>

namespace quillet::platform {

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

} // namespace quillet::platform
