// Where the running program lies: the compactor keeps its log next to itself.
#pragma once

#include <string>

namespace quillet::platform {

// The full path of the running program's executable file; empty when it cannot be found.
std::string ExecutablePath();

// The folder of ExecutablePath(), ending in the platform's path separator.
std::string ExecutableFolder();

} // namespace quillet::platform
