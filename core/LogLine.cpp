#include "core/LogLine.h"

#include "core/Include.h"

namespace quillet {

std::string LogStamp(const platform::LocalDateTime& moment) {
    const std::string date = platform::ShortDateText(moment);
    if (moment.hour == 0 && moment.minute == 0 && moment.second == 0 && moment.millisecond == 0)
        return date;
    return date + " " + platform::LongTimeText(moment);
}

bool LogInFolder(const std::string& folder, const std::string& message) {
    return AppendLogLine(folder + "error.log", LogStamp(platform::LocalNow()) + message);
}

} // namespace quillet
