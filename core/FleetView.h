// The fleet folder as an administrator reads it: every machine's last pass, last good
// pass and failures since, and whether it has fallen silent by its own thresholds. For
// "QuilletSched --fleet", the morning digest and the history window.
#pragma once

#include "core/FleetFolder.h"
#include "core/RunHistory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

struct FleetMachine {
    std::string folder; // its folder's name in the fleet folder
    std::string name;   // the host name as the machine gives it
    std::optional<FleetStatus> status; // nothing when missing or torn
    std::vector<HistoryRecord> records;
    std::string lastPass;     // start of the latest pass, ISO 8601; empty: none recorded
    std::string lastResult;   // "ok", "failed", "nothing-done" of that pass
    std::string lastGood;     // start of the latest pass whose result is "ok"
    std::string failingSince; // start of the first pass that was not ok after the last good one
    int failuresSince = 0;    // passes not ok since each configuration's last good one
    bool failing = false;     // a configuration's latest pass is not ok
    bool silent = false;      // no pass within ExpectEvery + Grace
    bool needsAttention() const { return failing || silent; }
};

// Seconds since 1970 UTC of an ISO 8601 time with its offset ("Z" or "+01:00").
std::optional<std::int64_t> UnixOfIso(std::string_view iso);

// A machine from what its folder holds, judged at `now` (seconds since 1970 UTC).
FleetMachine AssessMachine(std::string folder, std::optional<FleetStatus> status, std::vector<HistoryRecord> records,
                           std::int64_t now);

struct FleetContents {
    bool reachable = false;
    std::vector<FleetMachine> machines; // by name
};
// Every machine folder of the fleet folder. A history or status that cannot be read
// counts as none.
FleetContents ReadFleet(const std::string& fleetFolder, std::int64_t now);

// One line: "m2  last pass 2026-12-08 01:00 failed  last good 2026-12-06 01:00
// failures since 2  FAILING" with SILENT where silent.
std::string FleetLine(const FleetMachine& machine);
// Silent machines first, then failing ones, then the others; by name within each.
std::vector<const FleetMachine*> AttentionOrder(const std::vector<FleetMachine>& machines);

// The morning digest: one mail for the whole fleet.
struct FleetDigest {
    std::string subject; // "[Quillet DIGEST] <k> of <n> machines need attention"
    std::string body;
};
FleetDigest DigestOf(const std::vector<FleetMachine>& machines, const std::string& fleetFolder);

} // namespace quillet
