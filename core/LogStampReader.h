// The stamps that begin the lines of "error.log", read back: which lines a pass wrote.
#pragma once

#include "core/RunHistory.h"
#include "platform/RegionalTime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The short date, and the long time unless it is midnight, as the compactor writes
// them. Learned from the formatters by formatting known moments, so any regional
// format reads back.
class LogStampReader {
public:
    using Formatter = std::function<std::string(const platform::LocalDateTime&)>;
    LogStampReader(Formatter date, Formatter time);
    static LogStampReader Regional(); // the platform's short date and long time

    std::string dateText(const platform::LocalDateTime& moment) const { return date_(moment); }
    // Reads "hh mm ss" at the text's start in the learned layout; nullopt otherwise.
    std::optional<int> secondsOfDay(std::string_view text) const;

private:
    struct Token {
        enum Kind { Literal, Hour, Minute, Second, Marker } kind;
        std::string text, other; // a marker's afternoon and morning text
    };
    Formatter date_;
    std::vector<Token> time_;
    bool twelveHour_ = false;
};

// The lines of the log stamped from `from` to `to` (core/HistoryTime.h keys), both
// included.
std::vector<std::string> LogLinesBetween(std::string_view log, std::int64_t fromKey, std::int64_t toKey,
                                         const LogStampReader& stamps);

// The lines of the log that a pass wrote: from its start until the engine time of its
// databases has passed, with a margin for the checks and copies around each, but not
// past the start of the next pass.
std::vector<std::string> PassLogLines(std::string_view log, const std::vector<HistoryRecord>& records,
                                      const std::string& start, const std::string& configuration,
                                      const LogStampReader& stamps);

} // namespace quillet
