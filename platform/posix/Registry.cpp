#include "platform/Registry.h"

#include "platform/Programs.h"

namespace quillet::platform {

std::string ReadRegistryString(RegistryRoot, const std::string&, const std::string&) {
    return {};
}

// There is no Access here: the stand-in engine plays its part.
std::string DefaultAccessPath(const std::string& appFolder) {
    return appFolder + EngineProgramName;
}

} // namespace quillet::platform
