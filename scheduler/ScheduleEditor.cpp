#include "scheduler/ScheduleEditor.h"

#include "core/Errors.h"
#include "platform/Files.h"
#include "scheduler/ScheduleSync.h"

#include <algorithm>

namespace quillet::scheduler {

namespace {

// What a save writes, as the file gives it back: trimmed, empty entries left out.
std::vector<ScheduleEntry> Stored(const std::vector<ScheduleEntry>& entries) {
    std::vector<ScheduleEntry> out;
    for (const ScheduleEntry& e : entries) {
        ScheduleEntry t{TrimText(e.description), TrimText(e.configPath), TrimText(e.code)};
        if (!t.description.empty() || !t.configPath.empty() || !t.code.empty())
            out.push_back(std::move(t));
    }
    return out;
}

bool SameEntries(const std::vector<ScheduleEntry>& a, const std::vector<ScheduleEntry>& b) {
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(), [](const ScheduleEntry& x, const ScheduleEntry& y) {
            return x.description == y.description && x.configPath == y.configPath && x.code == y.code;
        });
}

} // namespace

int FrequencyIndex(const std::string& code) {
    for (int i = 1; i < FrequencyCount && !code.empty(); ++i)
        if (code.front() == Frequencies[i].letter)
            return i;
    return 0;
}

ScheduleEditor::ScheduleEditor(std::string folder, const Clock& clock)
    : folder_(std::move(folder)), clock_(clock) {}

std::optional<std::string> ScheduleEditor::Load() {
    ScheduleFile file;
    try {
        file.Load(Path());
    } catch (const EFOpenError& e) {
        entries_.clear();
        base_.clear();
        seen_.clear();
        loaded_ = false;
        modified_ = false;
        return std::string("The schedule could not be read: ") + e.what() +
               "\n\nThe table stays empty and is not saved over that file until it can be read.";
    }
    takeFile(file);
    return std::nullopt;
}

std::string ScheduleEditor::Refusal() const {
    if (loaded_)
        return {};
    return "The schedule was not saved to " + Path() +
           ": it could not be read from there, and this table would replace what it holds.";
}

void ScheduleEditor::takeFile(const ScheduleFile& file) {
    entries_ = file.Entries();
    base_ = file.Entries();
    loaded_ = true;
    modified_ = false;
    rememberBytes();
}

void ScheduleEditor::rememberBytes() {
    if (!platform::ReadWholeFile(Path(), seen_))
        seen_.clear();
}

ScheduleEntry& ScheduleEditor::at(int entry) {
    return entries_.at(static_cast<std::size_t>(entry));
}

void ScheduleEditor::TakeEdits(std::vector<ScheduleEntry> entries, bool edited) {
    entries_ = std::move(entries);
    modified_ = modified_ || edited;
}

bool ScheduleEditor::HasUnsavedChanges() const {
    return modified_ || !SameEntries(Stored(entries_), Stored(base_));
}

void ScheduleEditor::ChooseFrequency(int entry, int index, std::optional<std::string> every) {
    ScheduleEntry& e = at(entry);
    if (index < 1 || index >= FrequencyCount) {
        e.code.clear();
        return;
    }
    // Never the N of another entry: a weekly "2" would silently mean every two weeks.
    const std::string n = every ? *every : e.code.empty() ? std::string("1") : ShownEvery(entry);
    std::string date = GetField(e.code, CodeSeparator, 2);
    if (date.empty())
        date = DateToDashText(clock_.today());
    e.code = MakeCode(Frequencies[index].letter, n, date);
}

std::optional<std::string> ScheduleEditor::SetEvery(int entry, const std::string& n) {
    ScheduleEntry& e = at(entry);
    if (e.code.empty())
        return std::nullopt;
    if (auto problem = EveryProblem(n))
        return problem;
    std::string date = GetField(e.code, CodeSeparator, 2);
    if (date.empty())
        date = DateToDashText(clock_.today());
    e.code = MakeCode(e.code.front(), n, date);
    return std::nullopt;
}

std::string ScheduleEditor::ShownEvery(int entry) const {
    const std::string n = GetField(entries_.at(static_cast<std::size_t>(entry)).code, CodeSeparator, 1);
    return EveryProblem(n) ? "1" : n;
}

void ScheduleEditor::AddEntry() {
    entries_.push_back({});
    modified_ = true;
}

void ScheduleEditor::DeleteEntry(int entry) {
    if (entry < 0 || entry >= static_cast<int>(entries_.size()))
        return;
    if (entries_.size() == 1)
        entries_[0] = {};
    else
        entries_.erase(entries_.begin() + entry);
    modified_ = true;
}

void ScheduleEditor::AddFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (entries_.empty() || !entries_.back().configPath.empty())
            entries_.push_back({});
        entries_.back().configPath = path;
    }
}

ScheduleEditor::SaveOutcome ScheduleEditor::Save() {
    if (!loaded_ && !platform::NothingAt(Path())) {
        // The table does not hold the stored schedule: load it instead of overwriting it.
        if (Load())
            return {SaveResult::Refused, Refusal()};
        return {SaveResult::Reloaded,
                "The schedule had not been loaded from " + Path() +
                    ", because it could not be read; it has been loaded now and was not overwritten. "
                    "Changes made to the table before were not saved."};
    }
    // Run dates that the background check recorded since the table was read stay.
    std::vector<ScheduleEntry> entries = entries_;
    std::vector<ScheduleEntry> base = base_;
    SaveTakingRecordedDates(Path(), entries, base);
    for (std::size_t i = 0; i < entries.size() && i < entries_.size(); ++i)
        entries_[i].code = entries[i].code;
    base_ = std::move(base);
    loaded_ = true;
    modified_ = false;
    rememberBytes();
    return {SaveResult::Saved, {}};
}

ScheduleEditor::FileChange ScheduleEditor::NoticeFileChange() {
    if (!loaded_)
        return FileChange::None;
    std::string bytes;
    if (!platform::ReadWholeFile(Path(), bytes))
        bytes.clear();
    if (bytes == seen_)
        return FileChange::None;
    ScheduleFile disk;
    try {
        disk.Load(Path());
    } catch (const EFOpenError&) {
        // Unreadable for now: looked at again when it changes; a save reports it.
        seen_ = bytes;
        return FileChange::None;
    }
    if (!HasUnsavedChanges()) {
        takeFile(disk);
        return FileChange::Reloaded;
    }
    TakeRecordedDates(entries_, base_, disk.Entries());
    base_ = disk.Entries();
    seen_ = bytes;
    return FileChange::DatesMerged;
}

void ScheduleEditor::TakeRun(const std::vector<ScheduleEntry>& entries,
                             const std::optional<std::vector<ScheduleEntry>>& saved) {
    for (std::size_t i = 0; i < entries.size() && i < entries_.size(); ++i)
        entries_[i].code = entries[i].code;
    if (saved) {
        base_ = *saved;
        modified_ = false;
        rememberBytes();
    }
}

bool ScheduleEditor::AnyFrequency() const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [](const ScheduleEntry& e) { return !e.code.empty(); });
}

std::string ScheduleEditor::EntryProblemsText() const {
    constexpr int Shown = 10;
    std::string lines;
    int count = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ScheduleEntry& e = entries_[i];
        if (const auto problem = CodeProblem(e.code)) {
            if (++count <= Shown)
                lines += "\nEntry " + std::to_string(i + 1) + " (" +
                         (e.description.empty() ? e.configPath : e.description) + "): " + *problem;
        }
    }
    if (count == 0)
        return {};
    if (count > Shown)
        lines += "\n(and " + std::to_string(count - Shown) + " more)";
    return "These entries of " + Path() +
           " do not run until their frequency is chosen again and saved; the other entries run as "
           "scheduled:" +
           lines;
}

std::optional<std::string> ScheduleEditor::CompactProblem(int entry) const {
    if (const auto problem = CodeProblem(entries_.at(static_cast<std::size_t>(entry)).code))
        return "Entry " + std::to_string(entry + 1) + " cannot be compacted: " + *problem +
               ". Choose its frequency again.";
    return std::nullopt;
}

} // namespace quillet::scheduler
