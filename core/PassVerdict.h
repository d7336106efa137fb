// How a pass went as a whole, for the reports beyond this machine: ok, failed,
// recovered (the first good pass of a configuration after a bad one) or nothing done
// (every database was left alone: missing, in use or refused).
#pragma once

#include "core/PassSummary.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

enum class PassResult { Ok, Failed, Recovered, NothingDone };

// "ok", "failed", "recovered", "nothing-done": the JSON form's texts.
std::string_view ResultText(PassResult result);
// Failed and nothing done are bad; a recovered pass is good again.
bool IsBadResult(PassResult result);

// A database that was neither compacted nor unchanged, or was not there.
bool DatabaseFailed(const HistoryRecord& record);

struct PassVerdict {
    PassResult result = PassResult::Ok;
    std::size_t failed = 0; // databases
    std::size_t total = 0;
};

// `lastWasBad`: this configuration's previous pass was failed or nothing done. A pass
// without databases that logged a problem (its configuration or engine missing) failed.
PassVerdict JudgePass(const PassSummary& summary, bool lastWasBad);

// The configuration's last result, kept in `dataFolder` between passes; a configuration
// never seen counts as good.
bool LastPassWasBad(const std::string& dataFolder, const std::string& configuration);
void RememberPassResult(const std::string& dataFolder, const std::string& configuration, PassResult result);

} // namespace quillet
