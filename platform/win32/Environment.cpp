#include "platform/Environment.h"

#include "platform/win32/WideText.h"

#include <cstdlib>

namespace quillet::platform {

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
    // The C runtime's copy is what child processes inherit through CreateProcess.
    ::_wputenv_s(win32::Wide(name).c_str(), win32::Wide(value).c_str());
}

} // namespace quillet::platform
