#include "scheduler/ScheduleSync.h"

#include "core/Errors.h"
#include "core/Include.h"
#include "platform/PathText.h"

#include <map>

namespace quillet::scheduler {
namespace {

std::string DateField(const std::string& code) {
    return GetField(code, CodeSeparator, 2);
}

// A date that is no date sorts before every real one.
long long DateValue(const std::string& code) {
    try {
        return DashTextToDate(DateField(code));
    } catch (const EConvertError&) {
        return -1;
    }
}

// For each entry, its match among `entries`: the same configuration path, counted the
// same number of times from the top.
std::vector<int> Matches(const std::vector<ScheduleEntry>& from, const std::vector<ScheduleEntry>& entries) {
    std::map<std::string, std::vector<int>> byPath;
    for (int i = 0; i < static_cast<int>(entries.size()); ++i)
        byPath[entries[static_cast<std::size_t>(i)].configPath].push_back(i);
    std::map<std::string, std::size_t> seen;
    std::vector<int> match;
    for (const ScheduleEntry& e : from) {
        const auto& candidates = byPath[e.configPath];
        const std::size_t n = seen[e.configPath]++;
        match.push_back(n < candidates.size() ? candidates[n] : -1);
    }
    return match;
}

// The file lock of the schedule file at `path`, waited for briefly.
std::unique_ptr<platform::FileLock> LockScheduleFile(const std::string& path) {
    const std::string folder = platform::FolderOf(path);
    auto lock = platform::FileLock::Acquire(folder + FileLockFileName, FileLockTimeoutMs);
    if (!lock)
        throw EFCreateError(path, "Another program keeps the schedule locked.");
    return lock;
}

} // namespace

bool TakeRecordedDates(std::vector<ScheduleEntry>& target, const std::vector<ScheduleEntry>& base,
                       const std::vector<ScheduleEntry>& other) {
    const std::vector<int> inOther = Matches(target, other);
    const std::vector<int> inBase = Matches(target, base);
    bool changed = false;
    for (std::size_t i = 0; i < target.size(); ++i) {
        ScheduleEntry& t = target[i];
        if (t.code.empty() || inOther[i] < 0)
            continue;
        const std::string& theirs = other[static_cast<std::size_t>(inOther[i])].code;
        const std::string before = inBase[i] < 0 ? std::string() : base[static_cast<std::size_t>(inBase[i])].code;
        if (theirs.empty() || DateField(theirs) == DateField(before) || DateValue(theirs) <= DateValue(t.code))
            continue;
        t.code = MakeCode(t.code.front(), GetField(t.code, CodeSeparator, 1), DateField(theirs));
        changed = true;
    }
    return changed;
}

void SaveTakingRecordedDates(const std::string& path, std::vector<ScheduleEntry>& entries,
                             std::vector<ScheduleEntry>& base) {
    const auto lock = LockScheduleFile(path);
    ScheduleFile disk;
    disk.Load(path);
    TakeRecordedDates(entries, base, disk.Entries());
    disk.Entries() = entries;
    disk.Save(path);
    base = entries;
}

CheckedSchedule::CheckedSchedule(const std::string& path) : path_(path) {
    mine_.Load(path);
    loaded_ = mine_.Entries();
}

void CheckedSchedule::saveAfterRun() {
    try {
        const auto lock = LockScheduleFile(path_);
        // The file as it is now (the window may have saved edits meanwhile), with this
        // check's run dates in it.
        ScheduleFile disk;
        disk.Load(path_);
        TakeRecordedDates(disk.Entries(), loaded_, mine_.Entries());
        disk.Save(path_);
    } catch (...) {
        saveFailed_ = true;
        throw;
    }
}

} // namespace quillet::scheduler
