// A pass's report in the words and forms it leaves the machine in: the subject with its
// stable token for mail rules, the plain text of mail and heartbeat, and the JSON of the
// webhook.
#pragma once

#include "core/PassSummary.h"
#include "core/PassVerdict.h"

#include <optional>
#include <string>

namespace quillet {

struct PassReport {
    PassSummary summary;
    PassVerdict verdict;
    std::optional<std::string> nextPass; // "yyyy-MM-dd HH:00" when the schedule names it
};

// "[Quillet FAILED] <machine>: <n> of <m> databases failed (<cfg file name>)" and its
// OK, RECOVERED and NOTHING DONE kin.
std::string ReportSubject(const PassReport& report);
// UTF-8 text, lines ending in LF.
std::string ReportText(const PassReport& report);
// One JSON object: machine, configuration, description, result, started, finished,
// seconds, failed, total, next_pass, databases [{path, outcome, size_before, size_after,
// seconds, detail}], log.
std::string ReportJson(const PassReport& report);

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& text);

} // namespace quillet
