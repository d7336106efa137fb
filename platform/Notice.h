// The one notice the compactor may show: a log file that cannot be written.
#pragma once

#include <string>

namespace quillet::platform {

// Windows: the modal "Access Error" box. Elsewhere the compactor has no window, so
// the notice goes to standard error.
void ShowAccessError(const std::string& path);

} // namespace quillet::platform
