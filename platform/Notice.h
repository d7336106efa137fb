// The one notice the compactor may show: a log file that cannot be written.
#pragma once

#include <functional>
#include <string>

namespace quillet::platform {

// Windows: the modal "Access Error" box. Elsewhere the compactor has no window, so
// the notice goes to standard error.
void ShowAccessError(const std::string& path);

// Tests catch the notice instead of showing it; an empty handler restores the default.
using AccessErrorHandler = std::function<void(const std::string& path)>;
void SetAccessErrorHandler(AccessErrorHandler handler);

} // namespace quillet::platform
