// QuilletSched's view of the fleet folder: "--fleet" lists every machine, and "--due"
// sends the morning digest from the one machine that has DigestAt. No Qt.
#pragma once

#include "platform/RegionalTime.h"

#include <cstdint>
#include <string>

namespace quillet::scheduler {

// In the data folder: the day the last digest went out ("yyyy-MM-dd").
inline constexpr const char* DigestMarkFileName = "digest-sent.txt";

struct FleetAnswer {
    int exitCode = 0; // CheckOk; CheckRunFailures when a machine failed or is silent; CheckUnreadable
    std::string text; // for standard output, or the problem for standard error
};
// The machines of the fleet folder named in "Quillet.ini" of `dataFolder`, one line each.
FleetAnswer FleetOverview(const std::string& dataFolder, std::int64_t now);

// At or after DigestAt and not yet sent today: the hourly check may come at any minute.
bool DigestDue(int digestMinute, const platform::LocalDateTime& now, const std::string& lastSentDay);

// Queues the digest in the outbox when it is due (the outbox delivers it); what kept a
// due digest back is a line in "error.log" of `dataFolder`, and it is tried again at the
// next check.
void QueueDigestIfDue(const std::string& dataFolder, const platform::LocalDateTime& now, std::int64_t unixNow);

} // namespace quillet::scheduler
