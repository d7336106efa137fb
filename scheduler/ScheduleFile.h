// The schedule file "schedfile.dat" without any window: one entry a line, fields
// description, configuration file and frequency code, tab-delimited. It is read and
// written with the same rules and bytes as the scheduler window's grid.
#pragma once

#include "scheduler/Schedule.h"

#include <string>
#include <vector>

namespace quillet::scheduler {

constexpr const char* ScheduleFileName = "schedfile.dat";
constexpr char ScheduleDelimiter = '\t';

struct ScheduleEntry {
    std::string description;
    std::string configPath;
    std::string code; // empty: as needed
};
// "Description (path)", or the path alone.
std::string EntryName(const ScheduleEntry& entry);

class ScheduleFile final : public ScheduleTable {
public:
    // Replaces the entries with the file's; a missing file is an empty schedule.
    // Throws EFOpenError when something is at the path but cannot be read (a folder, no
    // permission to read, an I/O error): the table is then
    // empty and refuses to be saved, so that it cannot replace the stored schedule.
    void Load(const std::string& path);
    // Writes every entry that has text (entries with nothing but blanks are left out).
    // Throws EInvalidValue when the last Load failed, EFCreateError when the file cannot
    // be written; the old file then stays as it was.
    void Save(const std::string& path) const;
    // The file of the last Load; empty before.
    const std::string& Path() const { return path_; }
    bool Loaded() const { return !loadFailed_; }

    std::vector<ScheduleEntry>& Entries() { return entries_; }
    const std::vector<ScheduleEntry>& Entries() const { return entries_; }

    // ScheduleTable; a run saves to the file of the last Load.
    int entryCount() const override;
    std::string code(int entry) const override;
    std::string configPath(int entry) const override;
    void setCode(int entry, const std::string& code) override;
    void saveAfterRun() override;

private:
    std::vector<ScheduleEntry> entries_;
    std::string path_;
    bool loadFailed_ = false;
};

} // namespace quillet::scheduler
