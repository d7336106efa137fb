// How one database of a pass ended, as the run history records it. The texts are the
// history's own: stored files and spreadsheets rely on them, so they never change.
#pragma once

#include <span>
#include <string_view>

namespace quillet {

enum class RunOutcome {
    Ok,           // "ok": compacted, exit code 0
    Unchanged,    // "unchanged": left alone, unchanged since its last compaction
    InUse,        // "in-use": left alone, its lock file is held
    NoSpace,      // "no-space": left alone, too little room for the copy or the backup
    Failed,       // "failed": the engine ended with another exit code
    TimedOut,     // "timed-out": stopped at the time limit
    NotStarted,   // "not-started": the engine could not be started
    BackupFailed, // "backup-failed": left alone, its backup could not be written
    Damaged,      // "damaged": the stand-in found it damaged and left it as it was (needs Repair)
    Other,        // a text this program does not know: one of a newer program
};

// Every outcome but Other, in the order above, which is the order lists show them in.
std::span<const RunOutcome> KnownOutcomes();

// The history's text; empty for Other, whose text the record keeps.
std::string_view OutcomeText(RunOutcome outcome);
// Other for any text not above, including the empty one.
RunOutcome OutcomeOfText(std::string_view text);

// Outcomes grouped as a reader weighs them.
enum class OutcomeKind { Compacted, Unchanged, Skipped, Failed, Other };
OutcomeKind KindOfOutcome(RunOutcome outcome);

} // namespace quillet
