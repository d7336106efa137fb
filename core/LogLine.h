// A dated line of "error.log", as the compactor writes it and the reports beyond this
// machine add to it.
#pragma once

#include "platform/RegionalTime.h"

#include <string>

namespace quillet {

// The date and time that begin a log line: the short date, a blank and the long time;
// the date alone at exactly midnight.
std::string LogStamp(const platform::LocalDateTime& moment);

// Appends the stamp and `message` (which begins with a blank) to "error.log" in
// `folder` (ending in the separator); false when the line could not be written.
bool LogInFolder(const std::string& folder, const std::string& message);

} // namespace quillet
