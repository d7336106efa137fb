// The schedule as the scheduler window edits it, without a toolkit: the entries (the
// window's grid only shows them), each entry's frequency and N, the unsaved-change mark,
// loading and saving through the schedule file, what a change of the file on disk does,
// and the one refusal to save a table that could not be loaded. No Qt.
#pragma once

#include "scheduler/Schedule.h"
#include "scheduler/ScheduleFile.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::scheduler {

// The frequencies in the order of the window's choices; As Needed (0) has no code.
struct Frequency {
    char letter;
    const char* unit;
};
inline constexpr Frequency Frequencies[] = {{'\0', ""}, {'d', "Day(s)"}, {'w', "Week(s)"}, {'m', "Month(s)"}};
inline constexpr int FrequencyCount = 4;
// The choice that shows a code: As Needed for an empty code or one of another letter.
int FrequencyIndex(const std::string& code);

class ScheduleEditor {
public:
    // `folder` ends with the path separator; today's date comes from `clock`.
    ScheduleEditor(std::string folder, const Clock& clock);

    std::string Path() const { return folder_ + ScheduleFileName; }

    // Replaces the table with the file's. A missing file is an empty schedule. One that
    // exists but cannot be read (a folder in its place, no permission, an I/O error)
    // leaves the table empty and not loaded; the message for a plain warning is returned.
    std::optional<std::string> Load();
    // Whether the table holds the stored schedule; one that does not never replaces it.
    bool Loaded() const { return loaded_; }
    // Why a table that was not loaded is not saved; empty while it is loaded.
    std::string Refusal() const;

    const std::vector<ScheduleEntry>& Entries() const { return entries_; }
    // What the file held when the table last took it or wrote it.
    const std::vector<ScheduleEntry>& Base() const { return base_; }
    // The table as the user left it in the view; `edited` marks it changed by the user.
    void TakeEdits(std::vector<ScheduleEntry> entries, bool edited);
    // The user's edit mark (typing, adding, deleting, sorting): closing asks about it.
    bool Modified() const { return modified_; }
    // What a save would write that the file does not hold, also a frequency chosen.
    bool HasUnsavedChanges() const;

    // The user's choice of frequency for an entry: As Needed empties its code; the
    // others keep its date (today when it has none) and take `every` as their N, by
    // default the entry's own (1 when it has none or one that is refused).
    void ChooseFrequency(int entry, int index, std::optional<std::string> every = std::nullopt);
    // An N typed for an entry; the refusal (naming the field) when it is no whole number
    // from 1, the code then unchanged. An entry without a frequency has no N to change.
    std::optional<std::string> SetEvery(int entry, const std::string& n);
    // The N the N box shows for an entry after a refusal: its own, or 1 when that is refused too.
    std::string ShownEvery(int entry) const;

    // An empty entry at the end; an edit.
    void AddEntry();
    // An edit; the only entry is emptied rather than removed.
    void DeleteEntry(int entry);
    // Dropped files: each fills the last entry when that has no path, else a new one.
    // No edit: closing does not ask about them.
    void AddFiles(const std::vector<std::string>& paths);

    enum class SaveResult {
        Saved,    // the table was written, with the run dates recorded meanwhile
        Reloaded, // the table had not been loaded; the file is readable now and was loaded instead
        Refused,  // the table had not been loaded and the file still cannot be read
    };
    struct SaveOutcome {
        SaveResult result;
        std::string message; // for a Reloaded (information) or Refused (warning) result
    };
    // Throws EFCreateError when the file cannot be written; the table then stays unsaved.
    SaveOutcome Save();

    enum class FileChange {
        None,        // the same bytes, unreadable for now, or a table that was not loaded
        Reloaded,    // no unsaved change: the file's table was taken whole
        DatesMerged, // unsaved changes stay; run dates recorded there joined them
    };
    // The file as another program (the background check) may have left it.
    FileChange NoticeFileChange();

    // A run of the window ended: its codes replace the table's; `saved` gives what the
    // file holds since the run recorded it, which then clears the edit mark.
    void TakeRun(const std::vector<ScheduleEntry>& entries,
                 const std::optional<std::vector<ScheduleEntry>>& saved);

    // Whether some entry has a frequency, so that the timer has something to run.
    bool AnyFrequency() const;
    // One text for the entries whose codes cannot run; empty when none.
    std::string EntryProblemsText() const;
    // Why Compact refuses an entry; nothing when it may run.
    std::optional<std::string> CompactProblem(int entry) const;

private:
    void takeFile(const ScheduleFile& file);
    void rememberBytes();
    ScheduleEntry& at(int entry);

    std::string folder_;
    const Clock& clock_;
    std::vector<ScheduleEntry> entries_;
    std::vector<ScheduleEntry> base_;
    std::string seen_; // the file's bytes when the table last took it or wrote it
    bool loaded_ = true;
    bool modified_ = false;
};

} // namespace quillet::scheduler
