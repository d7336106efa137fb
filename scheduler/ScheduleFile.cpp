#include "scheduler/ScheduleFile.h"

#include "core/DelimitedFile.h"
#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/TextFile.h"

namespace quillet::scheduler {

namespace {

constexpr int FieldCount = 3;

} // namespace

std::string EntryName(const ScheduleEntry& entry) {
    return entry.description.empty() ? entry.configPath : entry.description + " (" + entry.configPath + ")";
}

void ScheduleFile::Load(const std::string& path) {
    entries_.clear();
    path_ = path;
    loadFailed_ = false;
    // Only a schedule that is not there at all is an empty one.
    if (platform::NothingAt(path))
        return;
    std::string data;
    if (!platform::ReadTextFile(path, data)) {
        loadFailed_ = true;
        throw EFOpenError(path, platform::FolderExists(path) ? "It is a folder." : platform::LastFileErrorText());
    }
    for (const std::string& line : SplitLines(data)) {
        DelimitedRow fields = SplitFields(line, ScheduleDelimiter, FieldCount);
        entries_.push_back({std::move(fields[0]), std::move(fields[1]), std::move(fields[2])});
    }
}

void ScheduleFile::Save(const std::string& path) const {
    if (loadFailed_)
        throw EInvalidValue("The schedule was not saved to " + path + ": it could not be loaded from " +
                            path_ + ".");
    std::string out;
    DelimitedRow cells(FieldCount);
    for (const ScheduleEntry& entry : entries_) {
        cells[0] = entry.description;
        cells[1] = entry.configPath;
        cells[2] = entry.code;
        AppendDelimitedRow(out, cells, ScheduleDelimiter);
    }
    // A read-only file counts as one that cannot be created, as it does on Windows.
    if (platform::IsReadOnlyFile(path) || !platform::ReplaceTextFile(path, out))
        throw EFCreateError(path);
}

int ScheduleFile::entryCount() const {
    return static_cast<int>(entries_.size());
}

std::string ScheduleFile::code(int entry) const {
    return entries_.at(static_cast<std::size_t>(entry)).code;
}

std::string ScheduleFile::configPath(int entry) const {
    return entries_.at(static_cast<std::size_t>(entry)).configPath;
}

void ScheduleFile::setCode(int entry, const std::string& code) {
    entries_.at(static_cast<std::size_t>(entry)).code = code;
}

void ScheduleFile::saveAfterRun() {
    Save(path_);
}

} // namespace quillet::scheduler
