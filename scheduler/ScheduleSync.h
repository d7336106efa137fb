// Two writers of one schedule file, the background check and the scheduler window,
// without a lost run date and without two runs at once. Kernel locks on two files in
// the schedule's folder: the check lock is held for a whole check (timer tick, Compact
// button, "QuilletSched --due"), whoever finds it held skips that check; the file lock
// is held only while the schedule file is read, merged and written. No Qt.
#pragma once

#include "platform/FileLock.h"
#include "scheduler/ScheduleFile.h"

#include <memory>
#include <string>
#include <vector>

namespace quillet::scheduler {

constexpr const char* CheckLockFileName = "schedcheck.lock";
constexpr const char* FileLockFileName = "schedfile.lock";
// Another writer holds the file lock for milliseconds; longer means it is stuck.
constexpr int FileLockTimeoutMs = 10000;

// Run dates that `other` recorded since `base` was read move into `target`: an entry of
// `target` with a code takes the other's last-run date when that changed since `base`
// and is later than its own, and keeps its own letter and N. Entries are matched by
// their configuration path (the n-th entry with a path to the n-th with that path).
// True when `target` changed.
bool TakeRecordedDates(std::vector<ScheduleEntry>& target, const std::vector<ScheduleEntry>& base,
                       const std::vector<ScheduleEntry>& other);

// Writes `entries` as the schedule file under the file lock, after taking the run
// dates that somebody else recorded in the file since `base` was read; `base` becomes
// what was written. Throws as ScheduleFile does, and EFCreateError when the lock cannot
// be had.
void SaveTakingRecordedDates(const std::string& path, std::vector<ScheduleEntry>& entries,
                             std::vector<ScheduleEntry>& base);

// The schedule as a background check runs it: loaded once, and every recorded run
// written into the file as it is then, so that edits saved meanwhile by the window
// survive the check.
class CheckedSchedule final : public ScheduleTable {
public:
    explicit CheckedSchedule(const std::string& path); // throws as ScheduleFile::Load
    int entryCount() const override { return mine_.entryCount(); }
    std::string code(int entry) const override { return mine_.code(entry); }
    std::string configPath(int entry) const override { return mine_.configPath(entry); }
    void setCode(int entry, const std::string& code) override { mine_.setCode(entry, code); }
    void saveAfterRun() override;

    const std::vector<ScheduleEntry>& Entries() const { return mine_.Entries(); }
    bool SaveFailed() const { return saveFailed_; }

private:
    std::string path_;
    ScheduleFile mine_;
    std::vector<ScheduleEntry> loaded_;
    bool saveFailed_ = false;
};

} // namespace quillet::scheduler
