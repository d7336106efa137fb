// Pages that no tree claims: leaf pages cut off by a damaged page above them go back
// to the one table whose gap and row shape they fit; the rest are counted.
#pragma once

#include "standin/Rows.h"

namespace quillet::standin::reader {

// Only with a complete freelist: otherwise an orphan may be a free page with stale rows.
void AdoptOrphans(Reading& r, Tables& tables);

} // namespace quillet::standin::reader
