// When a schedule entry is due again: shared by the scheduler, which runs it, and the
// compactor's report, which tells when the next pass comes.
#pragma once

#include "core/Include.h"

#include <cstdint>
#include <optional>

namespace quillet {

// One calendar month later; the day is cut to the last day of a shorter month.
// Dates past the calendar's end give nullopt.
std::optional<Date> AddOneMonth(Date date);

// The first day on which an entry last run on `lastRun` is due again: daily one day
// later, weekly 7 * N days later, monthly one calendar month later, any other letter at
// once. Wide enough that no N overflows.
std::int64_t NextDueDate(char letter, int n, Date lastRun);

} // namespace quillet
