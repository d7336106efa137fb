// What one compaction pass did, as the compactor hands it to whatever reports it
// beyond this machine (mail, heartbeat, webhook, the fleet folder).
#pragma once

#include "core/RunHistory.h"

#include <string>
#include <vector>

namespace quillet {

struct PassSummary {
    std::string machine;       // platform::HostName()
    std::string configuration; // the configuration's absolute path, as the history has it
    std::string description;   // the configuration's Description
    std::string started;       // ISO 8601 local time with offset, the history's start
    std::string finished;      // the same form, when the last database was done
    double seconds = 0;        // from start to finish
    std::vector<HistoryRecord> databases; // one per database handled, in the order they ended
    std::vector<std::string> logLines;    // the pass's lines of "error.log", as written
};

} // namespace quillet
