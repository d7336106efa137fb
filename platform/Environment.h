// Process environment changes that tests and child programs rely on.
#pragma once

#include <string>

namespace quillet::platform {

void SetEnvironmentVariable(const std::string& name, const std::string& value);

} // namespace quillet::platform
