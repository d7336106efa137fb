// The history's time stamps: a pass's start as the compactor records it (ISO 8601),
// and the seconds by which starts and log lines are ordered and compared.
#pragma once

#include "platform/RegionalTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The local clock time of a start (ISO 8601). The offset is left aside: the log's
// stamps are local clock times too.
std::optional<platform::LocalDateTime> ParseStart(std::string_view start);
// Seconds since 30 December 1899, for ordering and spans.
std::int64_t MomentKey(const platform::LocalDateTime& moment);
platform::LocalDateTime MomentOfKey(std::int64_t key);
// The day of a key (days since 30 December 1899), also before that day.
std::int64_t DayOfKey(std::int64_t key);
// "2026-12-08 01:00"; the start's own text when it is no time.
std::string StartText(std::string_view start);

} // namespace quillet
