// The one notice the compactor gives: its log file cannot be written. The compactor
// runs unattended, so nothing here waits for anybody.
#pragma once

#include <functional>
#include <string>

namespace quillet::platform {

// The log at `path` could not take `line`. The line goes to "error.log" in the user's
// data folder (UserDataFolder) instead; the first time for each path in a process, the
// failure is also said on standard error ("Access Error: Could not access <path>...")
// and in a desktop notice that nobody has to answer.
void ShowAccessError(const std::string& path, const std::string& line);

// Tests catch the notice instead of giving it; an empty handler restores the default.
using AccessErrorHandler = std::function<void(const std::string& path, const std::string& line)>;
void SetAccessErrorHandler(AccessErrorHandler handler);

} // namespace quillet::platform
