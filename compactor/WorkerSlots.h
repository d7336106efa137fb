// The worker slots of a pass: up to `Parallel` databases at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillet::compactor {

// The part of an entry's work that may run beside the others.
using SlotStep = std::function<void()>;

// Up to `parallel` (at least 1) entries at once, each list entry once, handed out in
// list order as slots free up; an entry listed twice waits for its earlier run.
// `prepare` sees one entry at a time, in list order; the step it returns runs beside
// the others and is dropped before the entry counts as done. A failure nobody foresaw
// ends the work as it would with one slot: the running steps are waited for, no
// further entry is started, and it is passed on.
void RunInSlots(const std::vector<std::string>& entries, int parallel,
                const std::function<SlotStep(const std::string&)>& prepare);

} // namespace quillet::compactor
