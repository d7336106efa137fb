// When the schedule runs a configuration next, read from "schedfile.dat" in the data
// folder (the same file and format as the scheduler's), for the pass's report.
#pragma once

#include "core/Include.h"

#include <optional>
#include <string>

namespace quillet {

// "yyyy-MM-dd HH:00", the day the schedule's earliest entry for `configuration` is due
// after `today` at the StartTime hour of "Quillet.ini"; nothing when no entry with a
// frequency names it. A due date not after today is the run under way, so the next one
// counts from today.
std::optional<std::string> NextScheduledPass(const std::string& dataFolder, const std::string& configuration,
                                             Date today);

// Today's local date.
Date LocalToday();

} // namespace quillet
