// One check of a folder's schedule without a window ("QuilletSched --due"): the due
// entries run exactly as in the administrator's timer tick, and the outcome is read
// back from the compactor's run history. No Qt.
#pragma once

#include "scheduler/Schedule.h"

#include <string>
#include <vector>

namespace quillet::scheduler {

// Exit codes of QuilletSched, for monitoring.
enum CheckExit : int {
    CheckOk = 0,             // nothing due, or every run's databases are ok or unchanged
    CheckRunFailures = 1,    // a run had failures (history), or the compactor could not be started
    CheckUnreadable = 2,     // the schedule or the settings could not be read
    CheckUnwritable = 3,     // the schedule could not be written after a run
    CheckTriggerFailed = 4,  // --install or --uninstall failed
    CheckUsage = 64,         // unknown arguments
};

struct CheckOutcome {
    int exitCode = CheckOk;
    bool skipped = false;              // another check or run held the lock
    int runs = 0;                      // entries that ran
    std::vector<std::string> problems; // one line each, for people
    std::string summary;               // one line
};

// Runs the due entries of the schedule of the programs in `appFolder` (which ends with
// the separator; the schedule lies in its data folder, platform/DataFolder.h),
// under the folder's check lock, and records the outcome for --status. The clock and
// the runner are the system's in the program; tests give their own.
CheckOutcome RunScheduleCheck(const std::string& appFolder, const Clock& clock, ProcessRunner& runner);

// The notice for a check whose runs had failures: title and text.
struct FailureNotice {
    std::string title;
    std::string body;
};
FailureNotice MakeFailureNotice(const CheckOutcome& outcome, const std::string& historyPath);

} // namespace quillet::scheduler
