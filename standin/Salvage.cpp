#include "standin/Salvage.h"

#include "standin/DatabaseBytes.h"
#include "standin/SalvageWriter.h"
#include "standin/SqlText.h"

#include "platform/Files.h"
#include "platform/PathText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::standin {

namespace {

// The damaged file's log, kept beside its copy: a file SQLite does not lock.
bool CopyLog(const std::string& from, const std::string& to) {
    std::string reason;
    return platform::CopyFileFlushed(from, to, reason);
}

bool Taken(const std::string& path) { return platform::FileExists(path) || platform::FolderExists(path); }

// A free "<name>.damaged-<stamp><ext>" beside `path`.
std::string FreeDamagedName(const std::string& path) {
    long long when = static_cast<long long>(std::time(nullptr));
    std::string kept = DamagedCopyName(path, when);
    while (Taken(kept) || Taken(kept + "-wal"))
        kept = DamagedCopyName(path, ++when);
    return kept;
}

// A bare file name lives in the working folder.
std::string FolderOrHere(const std::string& path) {
    const std::string folder = platform::FolderOf(path);
    return folder.empty() ? "." : folder;
}

// "<database>.salvage-<pid>" files of runs that were killed.
void RemoveLeftovers(const std::string& path) {
    const std::string folder = platform::WithFolderSeparator(platform::FolderOf(path));
    const std::string prefix = platform::FileNameOf(path) + ".salvage-";
    for (const std::string& name : platform::FilesInFolder(FolderOrHere(path))) {
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const long pid = std::atol(name.c_str() + prefix.size());
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            platform::RemoveFile(folder + name);
    }
}

// One line per table: rows salvaged and lost; then rows on pages no table took up.
std::vector<std::string> TableLines(const Survey& survey) {
    std::vector<std::string> lines;
    for (const TableCount& t : survey.tables) {
        if (Upper(t.name).rfind("SQLITE_", 0) == 0 && Upper(t.name) != "SQLITE_SEQUENCE")
            continue;
        std::string line = "table " + t.name + ": " + std::to_string(t.rows) + (t.rows == 1 ? " row" : " rows") +
                           " salvaged";
        if (t.dropped)
            line += ", " + std::to_string(t.dropped) + " lost";
        if (t.pagesLost)
            line += ", rows of " + std::to_string(t.pagesLost) + (t.pagesLost == 1 ? " page" : " pages") +
                    " lost (unreadable)";
        if (t.adopted)
            line += " (" + std::to_string(t.adopted) + " found on pages cut off from the table)";
        lines.push_back(line);
    }
    if (survey.orphanPages)
        lines.push_back(std::to_string(survey.orphanRows) + " rows on " + std::to_string(survey.orphanPages) +
                        " pages that fit no table were not taken up");
    return lines;
}

} // namespace

Survey CheckDatabaseFile(sqlite3* db, const std::string& path) {
    const DatabaseBytes bytes(db, path);
    if (!bytes.open())
        return {};
    return ReadDatabase(bytes.pages(), nullptr, true);
}

std::string DamagedCopyName(const std::string& path, long long when) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool ext = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    ::localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return (ext ? path.substr(0, dot) : path) + ".damaged-" + stamp + (ext ? path.substr(dot) : std::string());
}

namespace {

// The file itself, not a symbolic link to it, is kept and replaced.
std::string RealPath(const std::string& given) {
    std::string path = given;
    if (char* real = ::realpath(given.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    return path;
}

std::string WithReason(const std::string& what) { return what + " (" + std::strerror(errno) + ")"; }

// The first failure stays: later stages see it and do nothing.
void Fail(SalvageResult& result, int code, const std::string& error) {
    if (!result.error.empty())
        return;
    result.sqliteCode = code;
    result.error = error;
}

bool Failed(const SalvageResult& result) { return !result.error.empty(); }

// The files a salvage touches. `kept` is set before the first write when KeepOriginal
// made it; the salvage then reads its rows from there and keeps nothing more.
struct SalvageFiles {
    std::string path, target, kept, log;
    unsigned mode = 0; // the database's permission bits
    bool keptBefore = false, hasLog = false;
};

// The half-built file and what SQLite made beside it go unless it took the database's name.
struct HalfBuilt {
    std::string path;
    bool keep = false;
    ~HalfBuilt() {
        if (keep || path.empty())
            return;
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            platform::RemoveFile(path + suffix);
    }
};

// The database's real name and mode, and a free name for the new file beside it.
SalvageFiles FilesOf(const std::string& given, const std::string& keptAlready, SalvageResult& result) {
    SalvageFiles files;
    files.path = RealPath(given);
    files.kept = keptAlready;
    files.keptBefore = !keptAlready.empty();
    files.log = files.path + "-wal";
    struct stat st {};
    if (::stat(files.path.c_str(), &st) != 0) {
        Fail(result, 0, WithReason("cannot read"));
        return files;
    }
    files.mode = st.st_mode;
    RemoveLeftovers(files.path);
    files.target = files.path + ".salvage-" + std::to_string(::getpid());
    platform::RemoveFile(files.target);
    return files;
}

// Every row that passes the checks, into the new file; its notes into `result`.
void BuildSalvagedFile(sqlite3* db, const SalvageFiles& files, SalvageResult& result) {
    if (Failed(result))
        return;
    // Rows come from the original bytes: the kept copy when one was made before
    // anything was written.
    const auto bytes = files.keptBefore ? std::make_unique<DatabaseBytes>(files.kept)
                                        : std::make_unique<DatabaseBytes>(db, files.path);
    if (!bytes->open())
        return Fail(result, 0, WithReason("cannot read"));
    SalvageWriter writer(files.target);
    result.survey = ReadDatabase(bytes->pages(), &writer, false);
    if (!result.survey.readable || result.survey.tables.empty()) {
        // An empty database in its place would pass for a repair.
        return Fail(result, SQLITE_NOTADB,
                    result.survey.readable ? "no table can be found in it" : "no page of it can be read");
    }
    if (!writer.finish())
        return Fail(result, writer.code(), "the salvaged copy could not be written (" + writer.message() + ")");
    result.notes = TableLines(result.survey);
    for (std::string& n : writer.notes())
        result.notes.push_back(std::move(n));
}

// The new file on the disk, with the database's permissions and, where allowed, owner.
void SyncSalvagedFile(const SalvageFiles& files, SalvageResult& result) {
    if (Failed(result))
        return;
    if (!platform::FlushFile(files.target))
        return Fail(result, SQLITE_IOERR, WithReason("the salvaged copy could not be synced"));
    platform::TakeOwnership(files.path, files.target);
}

// The damaged bytes, and the log whose committed pages are part of them, under the
// kept name: a second name where the file system has one, else a copy.
void KeepDamagedFile(sqlite3* db, SalvageFiles& files, SalvageResult& result) {
    files.hasLog = platform::FileExists(files.log);
    if (Failed(result) || files.keptBefore)
        return;
    files.kept = FreeDamagedName(files.path);
    if (!platform::LinkFile(files.path, files.kept) && !CopyBytes(HandleSource(db), files.kept, files.mode))
        return Fail(result, SQLITE_CANTOPEN, WithReason("the damaged file could not be kept"));
    const std::string keptLog = files.kept + "-wal";
    if (files.hasLog && !platform::LinkFile(files.log, keptLog) && !CopyLog(files.log, keptLog)) {
        Fail(result, SQLITE_CANTOPEN, WithReason("the damaged file's log could not be kept"));
        platform::RemoveFile(files.kept);
    }
}

// Takes back the kept names that this salvage made, after a failure.
void ForgetKept(const SalvageFiles& files) {
    if (files.keptBefore)
        return;
    platform::RemoveFile(files.kept);
    platform::RemoveFile(files.kept + "-wal");
}

// The new file takes the database's name. The old log goes first: SQLite would lay
// its frames over the new file (nobody else has the database open meanwhile). A
// failed rename puts the log back.
void PutInPlace(const SalvageFiles& files, SalvageResult& result) {
    if (Failed(result))
        return;
    if (files.hasLog && !platform::RemoveFile(files.log) && !platform::NothingAt(files.log)) {
        Fail(result, SQLITE_CANTOPEN, WithReason("the damaged file's log could not be removed"));
        return ForgetKept(files);
    }
    platform::RemoveFile(files.path + "-shm");
    if (!platform::MoveFileOver(files.target, files.path)) {
        Fail(result, SQLITE_CANTOPEN, WithReason("the salvaged copy could not take the database's place"));
        const std::string keptLog = files.kept + "-wal";
        if (files.hasLog && !platform::LinkFile(keptLog, files.log))
            CopyLog(keptLog, files.log);
        return ForgetKept(files);
    }
    platform::FlushFolder(FolderOrHere(files.path));
    result.damagedCopy = files.kept;
    result.done = true;
}

} // namespace

std::string KeepOriginal(sqlite3* db, const std::string& given, std::string& error) {
    const std::string path = RealPath(given);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = WithReason("cannot read");
        return {};
    }
    const std::string kept = FreeDamagedName(path);
    const DatabaseBytes bytes(db, path);
    if (!bytes.open() || !CopyBytes(bytes.file(), kept, st.st_mode)) {
        error = WithReason("the damaged file could not be kept");
        return {};
    }
    if (platform::FileExists(path + "-wal") && !CopyLog(path + "-wal", kept + "-wal")) {
        error = WithReason("the damaged file's log could not be kept");
        platform::RemoveFile(kept);
        return {};
    }
    platform::FlushFolder(FolderOrHere(path));
    return kept;
}

SalvageResult SalvageInPlace(sqlite3* db, const std::string& given, const std::string& keptAlready) {
    SalvageResult result;
    SalvageFiles files = FilesOf(given, keptAlready, result);
    HalfBuilt halfBuilt{files.target};
    BuildSalvagedFile(db, files, result);
    SyncSalvagedFile(files, result);
    // The damaged bytes keep a name of their own before the salvaged file takes the
    // database's: at every moment the database's name holds one whole file.
    KeepDamagedFile(db, files, result);
    PutInPlace(files, result);
    halfBuilt.keep = result.done;
    return result;
}

} // namespace quillet::standin
