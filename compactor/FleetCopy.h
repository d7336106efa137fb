// The compactor's part of the fleet folder: after a pass, its history and status go to
// the share named by FleetFolder, within a bounded time; a share that does not answer
// holds nothing up, and what it missed goes with the next pass.
#pragma once

#include "compactor/Compactor.h"
#include "core/PassSummary.h"

#include <chrono>

namespace quillet::compactor {

inline constexpr std::chrono::seconds FleetCopyTimeLimit{20};

// Nothing when "Quillet.ini" beside "error.log" names no fleet folder. A copy that
// failed or did not end in time is a line in "error.log"; the exit code stays.
void CopyPassToFleet(const PassContext& context, const PassSummary& summary,
                     std::chrono::milliseconds limit = FleetCopyTimeLimit);

} // namespace quillet::compactor
