#include "compactor/Backups.h"

#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/RegionalTime.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace quillet::compactor {

namespace {

// "yyyyMMdd-HHmmss" of a local moment.
std::string BackupStamp(const platform::LocalDateTime& m) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", m.year, m.month, m.day, m.hour, m.minute, m.second);
    return text;
}

// Whether a file name is one of this database's backups: <name>-yyyyMMdd-HHmmss<ext>.
bool IsBackupOf(const std::string& file, const std::string& name, const std::string& ext) {
    const std::size_t stampLength = 15;
    if (file.size() != name.size() + 1 + stampLength + ext.size() || file.compare(0, name.size(), name) != 0 ||
        file[name.size()] != '-' || file.compare(file.size() - ext.size(), ext.size(), ext) != 0)
        return false;
    const std::string stamp = file.substr(name.size() + 1, stampLength);
    for (std::size_t i = 0; i < stamp.size(); ++i)
        if (i == 8 ? stamp[i] != '-' : (stamp[i] < '0' || stamp[i] > '9'))
            return false;
    return true;
}

} // namespace

std::pair<std::string, std::string> NameAndExtension(const std::string& path) {
    const std::string name = platform::FileNameOf(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {name, ""};
    return {name.substr(0, dot), name.substr(dot)};
}

std::string Backups::backUp(const std::string& entry) const {
    const auto [name, ext] = NameAndExtension(entry);
    const std::string target = platform::WithFolderSeparator(folder_) + name + "-" +
                               BackupStamp(platform::LocalNow()) + ext;
    std::string reason;
    if (!platform::FolderExists(folder_))
        reason = "the backup folder " + folder_ + " does not exist";
    else if (!platform::CopyFileFlushed(entry, target, reason) && reason.empty())
        reason = "the copy failed";
    if (!reason.empty()) {
        journal_.log(" .mdb file: " + entry + " could not be backed up: " + reason + "; not compacted.");
        return reason;
    }
    prune(name, ext);
    return {};
}

// Only this database's backups, newest first by the time in their names, beyond the
// number to keep.
void Backups::prune(const std::string& name, const std::string& ext) const {
    std::vector<std::string> backups;
    for (auto& file : platform::FilesInFolder(folder_))
        if (IsBackupOf(file, name, ext))
            backups.push_back(std::move(file));
    std::sort(backups.begin(), backups.end(), std::greater<>());
    const std::string folder = platform::WithFolderSeparator(folder_);
    for (std::size_t i = static_cast<std::size_t>(keep_); i < backups.size(); ++i)
        if (!platform::RemoveFile(folder + backups[i]))
            journal_.log(" Backup " + folder + backups[i] + " could not be removed.");
}

} // namespace quillet::compactor
