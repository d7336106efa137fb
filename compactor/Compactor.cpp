#include "compactor/Compactor.h"

#include "compactor/Backups.h"
#include "compactor/ChangeStamps.h"
#include "compactor/CompactionSettings.h"
#include "compactor/DiskRoom.h"
#include "compactor/Engine.h"
#include "compactor/PassJournal.h"
#include "compactor/PassReporting.h"
#include "compactor/ReportOptions.h"
#include "compactor/WorkerSlots.h"
#include "core/Include.h"
#include "core/ProgramOptions.h"
#include "core/RunHistory.h"
#include "platform/DataFolder.h"
#include "platform/FsPath.h"
#include "platform/PathText.h"
#include "platform/SecretChannel.h"
#include "platform/SelfPath.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

namespace quillet::compactor {

PassContext ShippedContext() {
    PassContext context;
    // The one place that decides where the shipped compactor keeps its files.
    context.logFolder = platform::DataFolder();
    return context;
}

namespace {

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    if (what.empty())
        return text;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// The path as the history keeps it: absolute, so that a file typed as "nightly.cfg" in a
// terminal and picked by its full path in the administrator is one file there.
std::string AbsolutePath(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(platform::FsPath(path), ec);
    if (ec)
        return path;
    return platform::Utf8Path(absolute.lexically_normal());
}

// The engine's lock file beside a database, by its extension; empty for other files.
std::string LockFileOf(const std::string& entry) {
    const std::string ext = NameAndExtension(entry).second;
    const std::string e = LowerAscii(ext);
    const std::string stem = entry.substr(0, entry.size() - ext.size());
    if (e == ".mdb" || e == ".mde")
        return stem + ".ldb";
    if (e == ".accdb" || e == ".accde")
        return stem + ".laccdb";
    return {};
}

// One database's way through the pass.
struct Job {
    std::string entry;
    HistoryRecord record;
    std::string note;          // for the history when the engine leaves no line of its own
    bool run = true;           // false: left alone, the record says why
    DiskRoom::Reservation room; // held until the job is dropped
};

} // namespace

class CompactionPass::Impl {
public:
    Impl(std::string configurationPath, PassContext context)
        : context_(std::move(context)), folder_(platform::WithFolderSeparator(context_.logFolder)),
          configurationPath_(std::move(configurationPath)), historyConfiguration_(AbsolutePath(configurationPath_)),
          journal_(folder_, historyConfiguration_),
          room_(context_.diskSpace ? context_.diskSpace : platform::DiskSpaceOf),
          stamps_(folder_ + "compact-state", journal_) {}

    PassSummary execute() {
        const auto began = std::chrono::steady_clock::now();
        run();
        return journal_.finished(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    }

    // For failures nobody foresaw: the run must still end quietly with a line in the log.
    void logUnexpected(const std::string& what) const { journal_.log(" Run stopped by an internal error: " + what); }
    bool logFailed() const { return journal_.logFailed(); }
    PassSummary summary() const { return journal_.summary(); }

private:
    void run() {
        if (!platform::FileExists(configurationPath_))
            journal_.log(" .Cfg file: " + configurationPath_ + " does not exist.");
        s_ = ReadCompactionSettings(configurationPath_, folder_);
        journal_.describe(s_.description);
        if (s_.accessPath.empty() && platform::EmptyEngineMeansStandIn)
            s_.accessPath = platform::ExecutableFolder() + platform::EngineProgramName;

        if (!EngineFound(s_.accessPath))
            journal_.log(" Access file: " + s_.accessPath + " does not exist.");
        passwordByChannel_ = !s_.password.empty() && IsStandIn(s_.accessPath) && platform::SecretChannel::Exist();
        s_.accessPath = QuotePath(s_.accessPath);
        journal_.checkHistoryHeader();

        const Backups backups(s_.options.backupFolder, s_.options.backupKeep, journal_);
        RunInSlots(EntriesToCompact(s_), s_.options.parallel, [&](const std::string& entry) -> SlotStep {
            // The checks in list order, so that each sees the room the earlier ones hold.
            auto job = std::make_shared<Job>(prepare(entry));
            return [this, job, &backups] { finish(*job, backups); };
        });

        if (!s_.launchCommand.empty())
            LaunchProgram(s_.launchCommand);
    }

    // The checks before anything is written: unchanged, in use, room.
    Job prepare(const std::string& entry) {
        Job job;
        job.entry = entry;
        job.record.start = journal_.started();
        job.record.configuration = historyConfiguration_;
        job.record.database = entry;
        const auto before = platform::StampOf(entry);
        if (!before) {
            // Still handed to the engine, which reports a missing file its own way.
            journal_.log(" .mdb file: " + entry + " does not exist.");
            return job;
        }
        job.record.sizeBefore = before->size;
        job.run = passesChecks(*before, job);
        return job;
    }

    // Unchanged, in use, room: false when the database is to be left alone, with the
    // record's outcome and detail set.
    bool passesChecks(const platform::FileStamp& stamp, Job& job) {
        const std::string& entry = job.entry;
        HistoryRecord& record = job.record;
        if (s_.options.onlyChanged && stamps_.unchangedSinceCompacted(entry, stamp)) {
            record.outcome = RunOutcome::Unchanged;
            record.sizeAfter = stamp.size;
            record.detail = "unchanged since its last compaction";
            return false;
        }
        if (s_.options.skipInUse) {
            const std::string lock = LockFileOf(entry);
            const auto state = lock.empty() ? platform::LockFile::Absent : platform::RemoveStaleLockFile(lock);
            if (state == platform::LockFile::Held) {
                journal_.log(" .mdb file: " + entry + " is in use; not compacted.");
                record.outcome = RunOutcome::InUse;
                record.detail = "lock file " + lock + " is in use";
                return false;
            }
            if (state == platform::LockFile::Stale)
                job.note = "removed the stale lock file " + lock;
        }
        job.room = room_.reserve(entry, static_cast<std::uint64_t>(stamp.size), s_.options.backupFolder);
        if (job.room.refusal.empty())
            return true;
        journal_.log(" .mdb file: " + entry + job.room.refusal);
        record.outcome = RunOutcome::NoSpace;
        record.detail = job.room.detail;
        return false;
    }

    // The backup, the engine run and the history line. It changes nothing of the pass
    // but what it appends to the log and the history, so databases may be handled side
    // by side.
    void finish(Job& job, const Backups& backups) const {
        HistoryRecord& record = job.record;
        if (job.run && record.sizeBefore && !s_.options.backupFolder.empty()) {
            const std::string failure = backups.backUp(job.entry);
            if (!failure.empty()) {
                record.outcome = RunOutcome::BackupFailed;
                record.detail = failure;
                job.run = false;
            }
            job.room.backup.release();
        }
        if (job.run)
            judge(RunEngine(s_, job.entry, passwordByChannel_, s_.options.timeLimit * context_.minute), job);
        journal_.writeHistory(record);
    }

    // The record and the log of an engine run.
    void judge(const EngineRun& run, Job& job) const {
        const platform::GuardedRun& result = run.result;
        HistoryRecord& record = job.record;
        if (!result.started) {
            journal_.log(" Could not execute " + LoggedCommandLine(s_, run.call));
            record.outcome = RunOutcome::NotStarted;
            record.detail = "the engine could not be started";
            return;
        }
        record.exitCode = result.exitCode;
        record.seconds = result.seconds;
        if (const auto after = platform::StampOf(job.entry))
            record.sizeAfter = after->size;
        record.detail = Replaced(result.lastErrorLine, s_.password, PasswordMask);
        if (result.timedOut) {
            journal_.log(" Time limit of " + std::to_string(s_.options.timeLimit) + " minutes reached; stopped " +
                         LoggedCommandLine(s_, run.call));
            record.outcome = RunOutcome::TimedOut;
            if (record.detail.empty())
                record.detail = "stopped after " + std::to_string(s_.options.timeLimit) + " minutes";
        } else if (result.exitCode != 0) {
            journal_.log(" Exit code " + std::to_string(result.exitCode) + " from " + LoggedCommandLine(s_, run.call));
            // The stand-in's 6: damage found, the file left as it was; a Repair is needed, not a disk.
            const bool damaged = result.exitCode == 6 && IsStandIn(s_.accessPath);
            record.outcome = damaged ? RunOutcome::Damaged : RunOutcome::Failed;
        } else {
            record.outcome = RunOutcome::Ok;
            if (s_.options.onlyChanged)
                stamps_.rememberCompacted(job.entry);
        }
        if (record.detail.empty())
            record.detail = job.note;
    }

    PassContext context_;
    std::string folder_; // the log folder, ending in the path separator
    std::string configurationPath_;
    std::string historyConfiguration_; // the configuration path, absolute
    PassJournal journal_;
    DiskRoom room_;
    ChangeStamps stamps_;
    CompactionSettings s_;           // read once at the start of the run
    bool passwordByChannel_ = false; // the stand-in gets the password through a descriptor
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
