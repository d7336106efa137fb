#include "platform/DataFolder.h"

#include "platform/SelfPath.h"

namespace quillet::platform {

std::string DataFolder() {
    return InstalledDataFolder(ExecutablePath()).value_or(ExecutableFolder());
}

} // namespace quillet::platform
