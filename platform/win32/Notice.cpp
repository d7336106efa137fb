#include "platform/Notice.h"

#include <windows.h>

namespace quillet::platform {

void ShowAccessErrorNative(const std::string& path) {
    ::MessageBoxA(nullptr, ("Could not access " + path).c_str(), "Access Error", MB_OK);
}

} // namespace quillet::platform
