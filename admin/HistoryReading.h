// One reading of the history window: this machine's "compact-history.csv", and, when
// "Quillet.ini" beside it names a fleet folder, every machine's history from there with
// the list of machines. Runs off the window's thread.
#pragma once

#include "admin/HistoryQuery.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::admin {

struct HistoryReading {
    std::shared_ptr<const HistoryLoad> load; // this machine's file; across machines all their records
    std::optional<RecordMachines> machines;  // nothing without a fleet folder
    std::vector<MachineRow> machineRows;     // silent ones first, then failing ones
};

// `now` in seconds since 1970 UTC judges which machines fell silent. This machine's
// records come from its own file, which the copy in the share may not have caught up
// with; a share that cannot be read leaves this machine alone in the list.
HistoryReading ReadHistory(const std::string& historyPath, std::int64_t now);

} // namespace quillet::admin
