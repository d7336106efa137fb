// The fleet folder: a share that every machine writes its nights to, one folder per
// machine holding its run history (as "compact-history.csv" has it) and the status of
// its last pass, so that one administrator sees them all. The machine's own history
// stays the truth: the copy follows it, and a mark in the data folder tells how far.
#pragma once

#include "core/PassSummary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr const char* FleetStatusFileName = "last-pass.txt";
// In the data folder: how far the history has been copied, and the lock of the copy.
inline constexpr const char* FleetMarkFileName = "fleet-mark.txt";
inline constexpr const char* FleetLockFileName = "fleet-copy.lock";

// A host name as a file name every system takes: any script stays; path separators,
// characters Windows refuses, control characters, reserved device names and trailing
// dots and blanks do not. ASCII letters are lowered, as host names ignore case.
std::string FleetMachineFolderName(const std::string& hostName);

// The last pass of a machine, as its status file holds it.
struct FleetStatus {
    std::string machine;       // the host name, unfolded
    std::string configuration;
    std::string started, finished; // ISO 8601 with offset
    std::string result;        // "ok", "failed", "nothing-done"
    int databases = 0, compacted = 0, unchanged = 0, skipped = 0, failed = 0;
    std::string version;
    int expectEveryHours = 24, graceHours = 12;
    bool operator==(const FleetStatus&) const = default;
};
FleetStatus FleetStatusOf(const PassSummary& pass, int expectEveryHours, int graceHours);
// "failed" when a database failed; "nothing-done" when none was compacted or found
// unchanged; else "ok".
std::string PassResultOf(std::size_t compactedOrUnchanged, std::size_t failed);
std::string FormatFleetStatus(const FleetStatus& status);
// Nothing for a file that is cut short or not one of ours: it ends in a line that only
// a whole file has.
std::optional<FleetStatus> ParseFleetStatus(std::string_view text);

// How far the local history has been copied to `target` (the machine's folder): the
// text offset after the last copied record and a check of that record.
struct FleetMark {
    std::string target;
    std::size_t offset = 0;
    std::uint64_t check = 0; // 0: nothing copied yet
    bool operator==(const FleetMark&) const = default;
};
std::string FormatFleetMark(const FleetMark& mark);
FleetMark ParseFleetMark(std::string_view text);

// The records of the local history (its text) that the fleet copy does not have yet,
// and the mark once they are there. The mark is trusted where the record before its
// offset still checks, else found again by its check (a history rewritten whole); a
// history started anew is copied from its start. `fleetLast` is the last record of the
// copy as read from the share: a batch that reached it without its mark moving is not
// sent twice.
struct FleetBatch {
    std::string lines; // whole records with their line ends, headers left out
    FleetMark mark;
};
FleetBatch PendingRecords(std::string_view localHistory, const FleetMark& mark, const std::string& target,
                          std::string_view fleetLast);

// The last whole record of a history text, without its line end; empty when none.
std::string LastRecordOf(std::string_view history);

// Brings `<fleetFolder>/<machine>/` up to date from the history in `dataFolder`: the
// records not copied yet, then the status. The fleet folder itself must exist (a share
// that is not mounted is not made on the local disk). Empty when all went, else the
// reason, naming the path.
std::string CopyToFleet(const std::string& dataFolder, const std::string& fleetFolder, const FleetStatus& status);

} // namespace quillet
