// What the compactor does around a pass beyond its own "error.log" and history: the
// reports, heartbeat and webhook, and the fleet folder. Nothing here holds a pass up
// long or changes its exit code.
#pragma once

#include "compactor/Compactor.h"
#include "core/PassSummary.h"

#include <string>

namespace quillet::compactor {

// Before the first database: the heartbeat's start.
void PassStarting(const PassContext& context, const std::string& configurationPath);
// After the last database and the launch command.
void PassEnded(const PassContext& context, const PassSummary& summary);

} // namespace quillet::compactor
