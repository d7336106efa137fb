#include "compactor/Compactor.h"

#include "core/CfgFile.h"
#include "core/Include.h"
#include "core/RunHistory.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Programs.h"
#include "platform/SelfPath.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <functional>

namespace quillet::compactor {

std::string BuildCommandLine(const CompactionSettings& s, const std::string& password) {
    std::string line = s.accessPath + " " + s.currentEntry;
    if (!s.workgroupFile.empty())
        line += " /wrkgrp " + s.workgroupFile;
    line += s.repairSwitch;
    line += " /compact";
    if (!s.userName.empty() || !s.password.empty())
        line += " /user " + s.userName + " /pwd " + password;
    return line;
}

std::string LoggedCommandLine(const CompactionSettings& s) {
    // An empty password stays empty: the mask would claim one that was never sent.
    return BuildCommandLine(s, s.password.empty() ? std::string() : std::string(PasswordMask));
}

std::string LogStamp(const platform::LocalDateTime& moment) {
    const std::string date = platform::ShortDateText(moment);
    if (moment.hour == 0 && moment.minute == 0 && moment.second == 0 && moment.millisecond == 0)
        return date;
    return date + " " + platform::LongTimeText(moment);
}

namespace {

constexpr std::uint64_t MiB = 1024 * 1024;

std::string Separators() { return std::string("/") + platform::PathSeparator; }

// The file name split at its last dot: "db" and ".mdb".
std::pair<std::string, std::string> NameAndExtension(const std::string& path) {
    const auto cut = path.find_last_of(Separators());
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {name, ""};
    return {name.substr(0, dot), name.substr(dot)};
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string WithFolderSeparator(const std::string& folder) {
    return folder.empty() || Separators().find(folder.back()) != std::string::npos ? folder
                                                                                   : folder + platform::PathSeparator;
}

std::string Digits(int value, int width) {
    std::string text = std::to_string(value);
    return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(text.size()))), '0') + text;
}

// "yyyyMMdd-HHmmss" of a local moment.
std::string BackupStamp(const platform::LocalDateTime& m) {
    return Digits(m.year, 4) + Digits(m.month, 2) + Digits(m.day, 2) + "-" + Digits(m.hour, 2) +
           Digits(m.minute, 2) + Digits(m.second, 2);
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

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    if (what.empty())
        return text;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// 64-bit FNV-1a: a short, stable file name for a database path.
std::string PathKey(const std::string& path) {
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : path)
        h = (h ^ c) * 1099511628211ULL;
    static const char hex[] = "0123456789abcdef";
    std::string key;
    for (int shift = 60; shift >= 0; shift -= 4)
        key += hex[(h >> shift) & 0xF];
    return key;
}

std::int64_t UnixSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// How long a minute of TimeLimit lasts: a real one, unless tests shorten it.
std::chrono::milliseconds Minute() {
    if (const char* ms = std::getenv("QUILLET_TEST_MINUTE_MS"))
        if (const auto value = ParseWholeNumber(ms); value && *value > 0)
            return std::chrono::milliseconds(*value);
    return std::chrono::minutes(1);
}

class Run {
public:
    explicit Run(std::string configurationPath) {
        s_.programFolder = platform::ExecutableFolder();
        s_.configurationPath = std::move(configurationPath);
        passStart_ = platform::IsoLocalTime(UnixSeconds());
        historyPath_ = s_.programFolder + HistoryFileName;
        stateFolder_ = s_.programFolder + "compact-state";
    }

    void execute() {
        if (!platform::FileExists(s_.configurationPath))
            log(" .Cfg file: " + s_.configurationPath + " does not exist.");
        readSettings();

        if (!platform::FileExists(s_.accessPath))
            log(" Access file: " + s_.accessPath + " does not exist.");
        s_.accessPath = QuotePath(s_.accessPath);
        checkHistoryHeader();

        for (std::size_t n = 0;; ++n) {
            const std::string entry = n < s_.databaseList.size() ? s_.databaseList[n] : std::string();
            if (entry.empty())
                break;
            compactOne(entry);
        }

        if (!s_.launchCommand.empty())
            LaunchProgram(s_.launchCommand);
    }

    // All the work for one database: the checks, the backup, the engine run and the
    // history line. It changes nothing of the pass but what it appends to the log and
    // the history, so databases may be handled side by side.
    void compactOne(const std::string& entry) const {
        HistoryRecord record;
        record.start = passStart_;
        record.configuration = s_.configurationPath;
        record.database = entry;

        std::string note; // for the history when the engine leaves no line of its own
        const auto before = platform::StampOf(entry);
        if (!before) {
            // Still handed to the engine, which reports a missing file its own way.
            log(" .mdb file: " + entry + " does not exist.");
        } else {
            record.sizeBefore = before->size;
            if (!passesGuards(entry, *before, record, note)) {
                writeHistory(record);
                return;
            }
        }

        CompactionSettings job = s_;
        job.currentEntry = QuotePath(entry);
        job.commandLine = BuildCommandLine(job, job.password);
        platform::GuardedRun run;
        if (job.commandLine.size() <= MaxCommandLine)
            run = platform::RunGuarded(job.commandLine, SW_SHOWNORMAL_MODE, options_.timeLimit * Minute());
        if (!run.started) {
            log(" Could not execute " + LoggedCommandLine(job));
            record.outcome = "not-started";
            record.detail = "the engine could not be started";
            writeHistory(record);
            return;
        }
        record.exitCode = run.exitCode;
        record.seconds = run.seconds;
        if (const auto after = platform::StampOf(entry))
            record.sizeAfter = after->size;
        record.detail = Replaced(run.lastErrorLine, s_.password, PasswordMask);
        if (run.timedOut) {
            log(" Time limit of " + std::to_string(options_.timeLimit) + " minutes reached; stopped " +
                LoggedCommandLine(job));
            record.outcome = "timed-out";
            if (record.detail.empty())
                record.detail = "stopped after " + std::to_string(options_.timeLimit) + " minutes";
        } else if (run.exitCode != 0) {
            log(" Exit code " + std::to_string(run.exitCode) + " from " + LoggedCommandLine(job));
            record.outcome = "failed";
        } else {
            record.outcome = "ok";
            if (options_.onlyChanged)
                rememberCompacted(entry);
        }
        if (record.detail.empty())
            record.detail = note;
        writeHistory(record);
    }

    // For failures nobody foresaw: the run must still end quietly with a line in the log.
    void logUnexpected(const std::string& what) { log(" Run stopped by an internal error: " + what); }

private:
    void readSettings() {
        // A missing, unreadable or odd file reads as all defaults.
        if (!platform::FileExists(s_.configurationPath))
            return;
        CfgValues values;
        try {
            values = ReadCfgForCompactor(s_.configurationPath);
        } catch (const std::exception&) {
            return;
        }
        s_.accessPath = values.accessPath;
        s_.databaseList = values.compactFiles;
        s_.launchCommand = values.launchFile;
        s_.workgroupFile = values.workgroup;
        s_.userName = values.login;
        s_.password = values.password;
        s_.repairSwitch = values.repair ? " /repair" : "";
        options_ = values.options;
    }

    // Unchanged, in use, room, backup: false when the database is to be left alone, with
    // the record's outcome and detail set.
    bool passesGuards(const std::string& entry, const platform::FileStamp& stamp, HistoryRecord& record,
                      std::string& note) const {
        if (options_.onlyChanged && unchangedSinceCompacted(entry, stamp)) {
            record.outcome = "unchanged";
            record.sizeAfter = stamp.size;
            record.detail = "unchanged since its last compaction";
            return false;
        }
        if (options_.skipInUse) {
            const std::string lock = LockFileOf(entry);
            const auto state = lock.empty() ? platform::LockFile::Absent : platform::RemoveStaleLockFile(lock);
            if (state == platform::LockFile::Held) {
                log(" .mdb file: " + entry + " is in use; not compacted.");
                record.outcome = "in-use";
                record.detail = "lock file " + lock + " is in use";
                return false;
            }
            if (state == platform::LockFile::Stale)
                note = "removed the stale lock file " + lock;
        }
        if (!enoughRoom(entry, static_cast<std::uint64_t>(stamp.size), record))
            return false;
        if (!options_.backupFolder.empty())
            return backUp(entry, record);
        return true;
    }

    // The engine's lock file beside a database, by its extension; empty for other files.
    static std::string LockFileOf(const std::string& entry) {
        const auto [name, ext] = NameAndExtension(entry);
        const std::string e = Lower(ext);
        const std::string stem = entry.substr(0, entry.size() - ext.size());
        if (e == ".mdb" || e == ".mde")
            return stem + ".ldb";
        if (e == ".accdb" || e == ".accde")
            return stem + ".laccdb";
        return {};
    }

    // The rebuilt copy needs the database's size on its volume; a backup needs as much
    // again on its own, which may be the same volume.
    bool enoughRoom(const std::string& entry, std::uint64_t size, HistoryRecord& record) const {
        const auto here = platform::DiskSpaceOf(entry);
        const auto there = options_.backupFolder.empty() ? std::nullopt : platform::DiskSpaceOf(options_.backupFolder);
        const bool shared = here && there && here->volume == there->volume;
        const std::uint64_t needHere = shared ? 2 * size : size;
        const auto mb = [](std::uint64_t bytes, bool up) { return std::to_string((bytes + (up ? MiB - 1 : 0)) / MiB); };
        if (here && here->freeBytes < needHere) {
            log(" .mdb file: " + entry + " needs " + mb(needHere, true) + " MB free to be compacted, " +
                mb(here->freeBytes, false) + " MB are free; not compacted.");
            record.outcome = "no-space";
            record.detail = "needs " + std::to_string(needHere) + " bytes free, " + std::to_string(here->freeBytes) +
                            " are free";
            return false;
        }
        if (there && !shared && there->freeBytes < size) {
            log(" .mdb file: " + entry + " needs " + mb(size, true) + " MB free in " + options_.backupFolder +
                " for its backup, " + mb(there->freeBytes, false) + " MB are free; not compacted.");
            record.outcome = "no-space";
            record.detail = "the backup needs " + std::to_string(size) + " bytes free in " + options_.backupFolder +
                            ", " + std::to_string(there->freeBytes) + " are free";
            return false;
        }
        return true;
    }

    bool backUp(const std::string& entry, HistoryRecord& record) const {
        const std::string& folder = options_.backupFolder;
        const auto [name, ext] = NameAndExtension(entry);
        const std::string target =
            WithFolderSeparator(folder) + name + "-" + BackupStamp(platform::LocalNow()) + ext;
        std::string reason;
        if (!platform::FolderExists(folder))
            reason = "the backup folder " + folder + " does not exist";
        else if (!platform::CopyFileFlushed(entry, target, reason) && reason.empty())
            reason = "the copy failed";
        if (!reason.empty()) {
            log(" .mdb file: " + entry + " could not be backed up: " + reason + "; not compacted.");
            record.outcome = "backup-failed";
            record.detail = reason;
            return false;
        }
        pruneBackups(folder, name, ext);
        return true;
    }

    // Only this database's backups, newest first by the time in their names, beyond the
    // number to keep.
    void pruneBackups(const std::string& folder, const std::string& name, const std::string& ext) const {
        std::vector<std::string> backups;
        for (auto& file : platform::FilesInFolder(folder))
            if (IsBackupOf(file, name, ext))
                backups.push_back(std::move(file));
        std::sort(backups.begin(), backups.end(), std::greater<>());
        for (std::size_t i = static_cast<std::size_t>(options_.backupKeep); i < backups.size(); ++i)
            if (!platform::RemoveFile(WithFolderSeparator(folder) + backups[i]))
                log(" Backup " + WithFolderSeparator(folder) + backups[i] + " could not be removed.");
    }

    // One small file per database, replaced whole: compactors running at the same time
    // can only replace each other's record, never mix two.
    std::string statePath(const std::string& entry) const {
        return stateFolder_ + platform::PathSeparator + PathKey(entry) + ".txt";
    }

    static std::string StateText(const std::string& entry, const platform::FileStamp& stamp) {
        return entry + "\n" + std::to_string(stamp.size) + "\n" + std::to_string(stamp.modified) + "\n";
    }

    bool unchangedSinceCompacted(const std::string& entry, const platform::FileStamp& stamp) const {
        std::string text;
        return platform::ReadWholeFile(statePath(entry), text) && text == StateText(entry, stamp);
    }

    void rememberCompacted(const std::string& entry) const {
        const auto stamp = platform::StampOf(entry);
        if (!stamp)
            return;
        if (!platform::CreateFolder(stateFolder_) ||
            !platform::ReplaceFileContent(statePath(entry), StateText(entry, *stamp)))
            log(" Could not record the compaction of " + entry + " in " + stateFolder_ + ".");
    }

    void checkHistoryHeader() const {
        std::string head;
        if (platform::FileExists(historyPath_) && platform::ReadFileHead(historyPath_, 4096, head) &&
            !head.empty() && !IsHistoryHeader(head.substr(0, head.find_first_of("\r\n")))) {
            historyFailed_ = true;
            log(" Run history " + historyPath_ + " does not begin with its header line; lines are added all the same.");
        }
    }

    void writeHistory(const HistoryRecord& record) const {
        if (!AppendHistoryLine(historyPath_, record) && !historyFailed_.exchange(true))
            log(" Run history " + historyPath_ + " could not be written.");
    }

    void log(const std::string& message) const {
        AppendLogLine(s_.programFolder + "error.log", LogStamp(platform::LocalNow()) + message);
    }

    CompactionSettings s_;
    CfgOptions options_;
    std::string passStart_; // shared by every history line of the pass
    std::string historyPath_;
    std::string stateFolder_;
    mutable std::atomic<bool> historyFailed_{false}; // one log line per pass is enough
};

} // namespace

int RunCompactor(const std::vector<std::string>& args) {
    try {
        Run run(args.empty() ? std::string() : args.front());
        try {
            run.execute();
        } catch (const std::exception& e) {
            run.logUnexpected(e.what());
        }
    } catch (...) {
        // Nothing is left to report to; the exit code stays 0 all the same.
    }
    return 0;
}

} // namespace quillet::compactor
