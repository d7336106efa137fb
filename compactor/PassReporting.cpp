#include "compactor/PassReporting.h"

namespace quillet::compactor {

void PassStarting(const PassContext&, const std::string&) {}

void PassEnded(const PassContext&, const PassSummary&) {}

} // namespace quillet::compactor
