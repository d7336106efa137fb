// A run of the scheduler window (its timer tick or its Compact button) on a thread of
// its own, so that the window stays alive while the compactor works. The thread works
// on a copy of the table and records each run in the schedule file itself; the window
// looks at it from its own thread and takes the recorded codes when it has ended.
// No Qt.
#pragma once

#include "platform/FileLock.h"
#include "scheduler/Schedule.h"
#include "scheduler/ScheduleFile.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillet::scheduler {

class RunThread {
public:
    using Work = std::function<void(ScheduleTable& table, const RunEnvironment& env)>;

    // Starts `work` on the copy `entries` of the table, saved to `path` after each run
    // (taking the dates that somebody else recorded there since `base`). The check lock
    // is held until the work has ended, also when this object is gone before. With a
    // `refusal`, a run is not saved: the save throws EInvalidValue with that text.
    RunThread(std::vector<ScheduleEntry> entries, std::vector<ScheduleEntry> base, std::string path,
              std::unique_ptr<platform::FileLock> checkLock, std::shared_ptr<const Clock> clock,
              std::shared_ptr<ProcessRunner> runner, std::string compactorPath, Work work,
              std::string refusal = {});
    // Lets a thread that still runs end on its own.
    ~RunThread();
    RunThread(const RunThread&) = delete;
    RunThread& operator=(const RunThread&) = delete;

    bool Finished() const;
    // The entry whose compactor runs now, and since when (seconds since 1970); -1 when none.
    int CurrentEntry() const;
    long long CurrentSince() const;

    // Once finished: the table with the recorded codes, what the file held after the last
    // save, whether a run was recorded, and what the work threw.
    std::vector<ScheduleEntry> Entries() const;
    std::vector<ScheduleEntry> Base() const;
    bool Saved() const;
    std::exception_ptr Error() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace quillet::scheduler
