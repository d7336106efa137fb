#include "compactor/Compactor.h"

#include "core/CfgFile.h"
#include "core/Include.h"
#include "core/ProgramOptions.h"
#include "core/RunHistory.h"
#include "compactor/PassReporting.h"
#include "compactor/ReportOptions.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Programs.h"
#include "platform/SecretChannel.h"
#include "platform/DataFolder.h"
#include "platform/HostName.h"
#include "platform/Profile.h"
#include "platform/SelfPath.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace quillet::compactor {

std::string BuildCommandLine(const CompactionSettings& s, const std::string& password) {
    std::string line = s.accessPath + " " + s.currentEntry;
    if (!s.workgroupFile.empty())
        line += " /wrkgrp " + s.workgroupFile;
    line += s.repairSwitch;
    line += " /compact";
    if (!s.userName.empty() || !s.password.empty())
        line += " /user " + s.userName +
                (s.passwordDescriptor >= 0 ? " /pwdfd " + std::to_string(s.passwordDescriptor) : " /pwd " + password);
    return line;
}

std::string LoggedCommandLine(const CompactionSettings& s) {
    // An empty password stays empty: the mask would claim one that was never sent.
    return BuildCommandLine(s, s.password.empty() ? std::string() : std::string(PasswordMask));
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

// The path as the history keeps it: absolute, so that a file typed as "nightly.cfg" in a
// terminal and picked by its full path in the administrator is one file there.
std::string AbsolutePath(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
    if (ec)
        return path;
    const std::u8string text = absolute.lexically_normal().u8string();
    return std::string(text.begin(), text.end());
}

// Whether the engine is there: a file at the path, or for a bare name the program the
// command line will find (beside the compactor or in PATH, where the system looks them up).
bool EngineFound(const std::string& accessPath) {
    if (platform::FileExists(accessPath))
        return true;
    return !accessPath.empty() && accessPath.find_first_of("/\\\"") == std::string::npos &&
           platform::ParseCommandLine(QuotePath(accessPath)).has_value();
}

// The stand-in, by its file name: it takes the password through a descriptor.
bool IsStandIn(const std::string& accessPath) {
    std::string path = accessPath;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    const auto cut = path.find_last_of(Separators());
    return (cut == std::string::npos ? path : path.substr(cut + 1)) == platform::EngineProgramName;
}

std::int64_t UnixSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

PassContext ShippedContext() {
    PassContext context;
    // The one place that decides where the shipped compactor keeps its files.
    context.logFolder = platform::DataFolder();
    return context;
}

class CompactionPass::Impl {
public:
    Impl(std::string configurationPath, PassContext context) : context_(std::move(context)) {
        if (!context_.diskSpace)
            context_.diskSpace = platform::DiskSpaceOf;
        s_.programFolder = WithFolderSeparator(context_.logFolder);
        s_.configurationPath = std::move(configurationPath);
        historyConfiguration_ = AbsolutePath(s_.configurationPath);
        passStart_ = platform::IsoLocalTime(UnixSeconds());
        summary_.machine = platform::HostName();
        summary_.configuration = historyConfiguration_;
        summary_.started = passStart_;
        historyPath_ = s_.programFolder + HistoryFileName;
        stateFolder_ = s_.programFolder + "compact-state";
    }

    PassSummary execute() {
        const auto began = std::chrono::steady_clock::now();
        run();
        const std::lock_guard lock(summaryMutex_);
        summary_.finished = platform::IsoLocalTime(UnixSeconds());
        summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        return summary_;
    }

private:
    void run() {
        if (!platform::FileExists(s_.configurationPath))
            log(" .Cfg file: " + s_.configurationPath + " does not exist.");
        readSettings();
        if (s_.accessPath.empty() && platform::EmptyEngineMeansStandIn)
            s_.accessPath = platform::ExecutableFolder() + platform::EngineProgramName;

        if (!EngineFound(s_.accessPath))
            log(" Access file: " + s_.accessPath + " does not exist.");
        passwordByChannel_ = !s_.password.empty() && IsStandIn(s_.accessPath) && platform::SecretChannel::Exist();
        s_.accessPath = QuotePath(s_.accessPath);
        checkHistoryHeader();

        std::vector<std::string> entries;
        for (const auto& entry : s_.databaseList) {
            if (entry.empty())
                break;
            entries.push_back(entry);
        }
        compactAll(entries);

        if (!s_.launchCommand.empty())
            LaunchProgram(s_.launchCommand);
    }

public:
    // For failures nobody foresaw: the run must still end quietly with a line in the log.
    void logUnexpected(const std::string& what) { log(" Run stopped by an internal error: " + what); }

private:
    // Up to `Parallel` databases at once, each list entry once, handed out in list order
    // as slots free up; a database listed twice waits for its earlier run. A failure
    // nobody foresaw ends the pass as it would with one slot: the running engines are
    // waited for, no further database is started, and it is passed on.
    void compactAll(const std::vector<std::string>& entries) {
        const std::size_t slots = std::min<std::size_t>(static_cast<std::size_t>(std::max(options_.parallel, 1)),
                                                        entries.size());
        std::size_t next = 0;
        std::exception_ptr failure;
        auto work = [&] {
            std::unique_lock lock(mutex_);
            while (next < entries.size() && !failure) {
                const std::string& entry = entries[next++];
                ended_.wait(lock, [&] { return running_.count(entry) == 0; });
                running_.insert(entry);
                std::optional<Job> job;
                try {
                    // The checks in list order, so that each sees the room the earlier
                    // ones hold.
                    job.emplace(prepare(entry));
                    lock.unlock();
                    finish(*job);
                } catch (...) {
                    if (!lock.owns_lock())
                        lock.lock();
                    if (!failure)
                        failure = std::current_exception();
                }
                if (!lock.owns_lock())
                    lock.lock();
                job.reset(); // gives back its room
                running_.erase(entry);
                ended_.notify_all();
            }
        };
        std::vector<std::thread> workers;
        try {
            while (workers.size() + 1 < slots)
                workers.emplace_back(work);
        } catch (const std::system_error&) {
            // No more threads to be had: fewer slots.
        }
        work();
        for (auto& w : workers)
            w.join();
        if (failure)
            std::rethrow_exception(failure);
    }

    // Room on a volume that a running engine or a backup under way may still take,
    // counted until it has ended. Made, moved and ended only while `mutex_` is held.
    class Hold {
    public:
        Hold() = default;
        Hold(std::map<std::string, std::uint64_t>& held, std::string volume, std::uint64_t bytes)
            : held_(&held), volume_(std::move(volume)), bytes_(bytes) {
            held[volume_] += bytes;
        }
        ~Hold() { release(); }
        Hold(Hold&& other) noexcept { *this = std::move(other); }
        Hold& operator=(Hold&& other) noexcept {
            std::swap(held_, other.held_);
            std::swap(volume_, other.volume_);
            std::swap(bytes_, other.bytes_);
            return *this;
        }
        void release() {
            if (held_)
                (*held_)[volume_] -= std::min(bytes_, (*held_)[volume_]);
            held_ = nullptr;
        }

    private:
        std::map<std::string, std::uint64_t>* held_ = nullptr;
        std::string volume_;
        std::uint64_t bytes_ = 0;
    };

    struct Job {
        std::string entry;
        HistoryRecord record;
        std::string note; // for the history when the engine leaves no line of its own
        bool run = true;  // false: left alone, the record says why
        Hold engineRoom;  // the rebuilt copy
        Hold backupRoom;  // the backup, until it is written
    };

    // The checks before anything is written: unchanged, in use, room. Under `mutex_`.
    Job prepare(const std::string& entry) {
        Job job;
        job.entry = entry;
        job.record.start = passStart_;
        job.record.configuration = historyConfiguration_;
        job.record.database = entry;
        const auto before = platform::StampOf(entry);
        if (!before) {
            // Still handed to the engine, which reports a missing file its own way.
            log(" .mdb file: " + entry + " does not exist.");
            return job;
        }
        job.record.sizeBefore = before->size;
        job.run = passesChecks(entry, *before, job);
        return job;
    }

    // The backup, the engine run and the history line. It changes nothing of the pass
    // but what it appends to the log and the history, so databases may be handled side
    // by side.
    void finish(Job& job) {
        HistoryRecord& record = job.record;
        const std::string& entry = job.entry;
        if (job.run && record.sizeBefore && !options_.backupFolder.empty()) {
            job.run = backUp(entry, record);
            const std::lock_guard lock(mutex_);
            job.backupRoom.release();
        }
        if (!job.run) {
            writeHistory(record);
            return;
        }

        CompactionSettings run = s_;
        run.currentEntry = QuotePath(entry);
        // Open until the engine has ended; a channel that cannot be made starts nothing,
        // as the password must not go onto the command line instead.
        std::optional<platform::SecretChannel> channel;
        if (passwordByChannel_ && (channel = platform::SecretChannel::Open(run.password)))
            run.passwordDescriptor = channel->descriptor();
        run.commandLine = BuildCommandLine(run, run.password);
        platform::GuardedRun result;
        if (run.commandLine.size() <= MaxCommandLine && (!passwordByChannel_ || channel))
            result = platform::RunGuarded(run.commandLine, SW_SHOWNORMAL_MODE, options_.timeLimit * context_.minute);
        if (!result.started) {
            log(" Could not execute " + LoggedCommandLine(run));
            record.outcome = RunOutcome::NotStarted;
            record.detail = "the engine could not be started";
            writeHistory(record);
            return;
        }
        record.exitCode = result.exitCode;
        record.seconds = result.seconds;
        if (const auto after = platform::StampOf(entry))
            record.sizeAfter = after->size;
        record.detail = Replaced(result.lastErrorLine, s_.password, PasswordMask);
        if (result.timedOut) {
            log(" Time limit of " + std::to_string(options_.timeLimit) + " minutes reached; stopped " +
                LoggedCommandLine(run));
            record.outcome = RunOutcome::TimedOut;
            if (record.detail.empty())
                record.detail = "stopped after " + std::to_string(options_.timeLimit) + " minutes";
        } else if (result.exitCode != 0) {
            log(" Exit code " + std::to_string(result.exitCode) + " from " + LoggedCommandLine(run));
            // The stand-in's 6: damage found, the file left as it was; a Repair is needed, not a disk.
            const bool damaged = result.exitCode == 6 && IsStandIn(s_.accessPath);
            record.outcome = damaged ? RunOutcome::Damaged : RunOutcome::Failed;
        } else {
            record.outcome = RunOutcome::Ok;
            if (options_.onlyChanged)
                rememberCompacted(entry);
        }
        if (record.detail.empty())
            record.detail = job.note;
        writeHistory(record);
    }

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
        summary_.description =
            platform::GetPrivateProfileString(CfgSection, "Description", "", s_.configurationPath);
        s_.accessPath = values.accessPath;
        s_.databaseList = values.compactFiles;
        s_.launchCommand = values.launchFile;
        s_.workgroupFile = values.workgroup;
        s_.userName = values.login;
        s_.password = values.password;
        s_.repairSwitch = values.repair ? " /repair" : "";
        options_ = values.options;
    }

    // Unchanged, in use, room: false when the database is to be left alone, with the
    // record's outcome and detail set.
    bool passesChecks(const std::string& entry, const platform::FileStamp& stamp, Job& job) {
        HistoryRecord& record = job.record;
        std::string& note = job.note;
        if (options_.onlyChanged && unchangedSinceCompacted(entry, stamp)) {
            record.outcome = RunOutcome::Unchanged;
            record.sizeAfter = stamp.size;
            record.detail = "unchanged since its last compaction";
            return false;
        }
        if (options_.skipInUse) {
            const std::string lock = LockFileOf(entry);
            const auto state = lock.empty() ? platform::LockFile::Absent : platform::RemoveStaleLockFile(lock);
            if (state == platform::LockFile::Held) {
                log(" .mdb file: " + entry + " is in use; not compacted.");
                record.outcome = RunOutcome::InUse;
                record.detail = "lock file " + lock + " is in use";
                return false;
            }
            if (state == platform::LockFile::Stale)
                note = "removed the stale lock file " + lock;
        }
        return enoughRoom(entry, static_cast<std::uint64_t>(stamp.size), job);
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
    // again on its own, which may be the same volume. Room that running engines and
    // backups under way may still take is not free: each holds its database's size.
    bool enoughRoom(const std::string& entry, std::uint64_t size, Job& job) {
        HistoryRecord& record = job.record;
        auto here = context_.diskSpace(entry);
        auto there = options_.backupFolder.empty() ? std::nullopt : context_.diskSpace(options_.backupFolder);
        for (auto* space : {&here, &there})
            if (*space)
                (*space)->freeBytes -= std::min((*space)->freeBytes, held_[(*space)->volume]);
        const bool shared = here && there && here->volume == there->volume;
        const std::uint64_t needHere = shared ? 2 * size : size;
        const auto mb = [](std::uint64_t bytes, bool up) { return std::to_string((bytes + (up ? MiB - 1 : 0)) / MiB); };
        if (here && here->freeBytes < needHere) {
            log(" .mdb file: " + entry + " needs " + mb(needHere, true) + " MB free to be compacted, " +
                mb(here->freeBytes, false) + " MB are free; not compacted.");
            record.outcome = RunOutcome::NoSpace;
            record.detail = "needs " + std::to_string(needHere) + " bytes free, " + std::to_string(here->freeBytes) +
                            " are free";
            return false;
        }
        if (there && !shared && there->freeBytes < size) {
            log(" .mdb file: " + entry + " needs " + mb(size, true) + " MB free in " + options_.backupFolder +
                " for its backup, " + mb(there->freeBytes, false) + " MB are free; not compacted.");
            record.outcome = RunOutcome::NoSpace;
            record.detail = "the backup needs " + std::to_string(size) + " bytes free in " + options_.backupFolder +
                            ", " + std::to_string(there->freeBytes) + " are free";
            return false;
        }
        if (here)
            job.engineRoom = Hold(held_, here->volume, size);
        if (there)
            job.backupRoom = Hold(held_, there->volume, size);
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
            record.outcome = RunOutcome::BackupFailed;
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
        {
            const std::lock_guard lock(summaryMutex_);
            summary_.databases.push_back(record);
        }
        if (!AppendHistoryLine(historyPath_, record) && !historyFailed_.exchange(true))
            log(" Run history " + historyPath_ + " could not be written.");
    }

    void log(const std::string& message) const {
        const std::string line = LogStamp(platform::LocalNow()) + message;
        {
            const std::lock_guard lock(summaryMutex_);
            summary_.logLines.push_back(line);
        }
        if (!AppendLogLine(s_.programFolder + "error.log", line))
            logFailed_ = true;
    }

public:
    bool logFailed() const { return logFailed_; }
    PassSummary summary() const {
        const std::lock_guard lock(summaryMutex_);
        return summary_;
    }

private:

    PassContext context_;
    CompactionSettings s_;
    CfgOptions options_;
    std::string historyConfiguration_; // the configuration path, absolute
    bool passwordByChannel_ = false;   // the stand-in gets the password through a descriptor
    std::string passStart_; // shared by every history line of the pass
    std::string historyPath_;
    std::string stateFolder_;
    mutable std::atomic<bool> historyFailed_{false}; // one log line per pass is enough
    mutable std::atomic<bool> logFailed_{false};
    mutable std::mutex summaryMutex_; // summary_, written by every run's thread
    mutable PassSummary summary_;
    std::mutex mutex_;                                 // the three below
    std::condition_variable ended_;                    // a database's run has ended
    std::set<std::string> running_;                    // databases handed out and not done
    std::map<std::string, std::uint64_t> held_;        // bytes per volume, see Hold
};

CompactionPass::CompactionPass(std::string configurationPath, PassContext context)
    : impl_(std::make_unique<Impl>(std::move(configurationPath), std::move(context))) {}

CompactionPass::~CompactionPass() = default;

PassSummary CompactionPass::execute() {
    try {
        return impl_->execute();
    } catch (const std::exception& e) {
        impl_->logUnexpected(e.what());
    }
    return impl_->summary();
}

const char* const CompactorUsage =
    "Usage: Quillet CONFIGURATION-FILE\n"
    "Runs one compaction pass over the databases that the configuration file (.cfg, as\n"
    "QuilletAdmin writes it) lists: the engine program that its AccessPath names is started\n"
    "once per database, with /compact and the configured switches, and waited for. On Linux\n"
    "an empty AccessPath means the stand-in QuilletEngine beside Quillet. Problems become\n"
    "dated lines in error.log, every database a line in compact-history.csv; both lie next\n"
    "to Quillet, or for an installed copy in the user's data folder.\n"
    "\n"
    "  --report-password  read the mail password of the reports from standard input (one\n"
    "                     line) and keep it for this user only\n"
    "  --report-test      send a test report through every channel of [Reports] in\n"
    "                     Quillet.ini and print each server's answer (exit 0: all delivered)\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "\n"
    "Exit code: 0 for a pass, whatever went wrong in it (that is in error.log and the\n"
    "history); 3 when error.log could not be written (its lines are then in error.log of\n"
    "the user's own data folder).\n";

bool CompactionPass::logFailed() const { return impl_->logFailed(); }

int RunCompactor(const std::vector<std::string>& args, PassContext context) {
    if (const auto code = AnswerStandardOption(args, "Quillet", CompactorUsage))
        return *code;
    if (const auto code = AnswerReportOption(args, context.logFolder))
        return *code;
    try {
        const std::string configuration = args.empty() ? std::string() : args.front();
        PassStarting(context, configuration);
        CompactionPass pass(configuration, context);
        const PassSummary summary = pass.execute();
        PassEnded(context, summary);
        // The one failure that the log cannot tell: whoever started the pass must.
        return pass.logFailed() ? LogNotWrittenExitCode : 0;
    } catch (...) {
        // Nothing is left to report to.
    }
    return 0;
}

} // namespace quillet::compactor
