#include "platform/Environment.h"

#include <cstdlib>

namespace quillet::platform {

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
    // The C runtime's copy is what child processes inherit through CreateProcess.
    ::_putenv_s(name.c_str(), value.c_str());
}

} // namespace quillet::platform
