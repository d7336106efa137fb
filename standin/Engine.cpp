#include "standin/Engine.h"

#include "standin/DatabaseBytes.h"
#include "standin/Salvage.h"
#include "standin/SoundCheck.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::standin {

const char* const EngineHelpText =
    R"(Usage: QuilletEngine <database> [/wrkgrp <file>] [/repair] [/compact] [/user <name>] [/pwd <password>]

Stands in for the database engine that Quillet starts for every database in its list,
on machines without it. Works on SQLite database files.

  /compact         rebuild the file in place, so that no free pages remain; every row
                   keeps its rowid. Tables whose rowids SQLite's plain VACUUM would
                   number anew (no INTEGER PRIMARY KEY, no index) are rebuilt with
                   VACUUM INTO a scratch file in the temporary folder and copied back
                   under the rollback journal; other databases get a plain VACUUM.
                   Other programs may keep the database open meanwhile; one that
                   writes waits until the run is done, and a failed or interrupted run
                   leaves the database as it was. Memory stays under about 50 MB
                   whatever the size. A database in WAL mode always gets a plain
                   VACUUM: one line on standard error then names the tables whose
                   rowids changed. Before anything is written the file is checked
                   (every page, then PRAGMA integrity_check); a damaged file is left
                   byte for byte as it was, with exit code 6.
  /repair          check the database first: every page of every table and index
                   (strict checks), then PRAGMA integrity_check. Damage in indexes
                   only: REINDEX. Anything else: a salvage. The file is read page by
                   page, each table's rows are taken from the pages still readable
                   (pages cut off by a damaged page above them come back into the one
                   table they fit; rows on free pages never do), written into a new
                   file beside the database, indexes, views and triggers made again,
                   and the new file synced. Only then does it take the database's
                   name; the damaged file is kept beside it as
                     <name>.damaged-<yyyyMMdd-HHmmss><ext>
                   (for example orders.damaged-20261208-013000.db) until you remove it.
                   A repair cut short leaves the database as it was (and perhaps
                   <name><ext>.salvage-<pid> beside it, which the next repair removes).
                   One line per table on standard error says how many rows came back
                   and which were lost; the last line names the kept file. Before the
                   first write of any kind (REINDEX too) the damaged file is kept,
                   byte for byte. A database in WAL mode is repaired only while no
                   other program has it open; its log's committed pages are read
                   where they lie and the log is kept beside the copy (<kept>-wal).
                   Rows that disagree with an index (perhaps garbled) are named, and
                   so are rows kept with text that is not valid in the file's
                   encoding or holds NUL bytes. Programs that keep the database open
                   must open it again after a salvage. After a salvage /compact has
                   nothing left to do.
  /wrkgrp <file>   accepted and ignored: SQLite has no workgroup files.
  /user <name>     accepted and ignored: SQLite has no users.
  /pwd <password>  accepted and ignored: SQLite has no passwords.
  /pwdfd <n>       the password, read from the inherited descriptor n instead of the
                   command line, where other users could read it (Quillet hands it
                   over so); then ignored as /pwd.
  /busy <seconds>  how long to wait for a database that another program has locked
                   (default 10), then give up.
  --help           this text.
  --version        the version.

Switches are case-insensitive; unknown switches are ignored.

Exit codes: 0 done (also: repaired, nothing lost); 1 unusable command line; 2 no such
file, a folder, or unreadable; 3 not an SQLite database; 4 database locked by another
program (with /repair, a database in WAL mode that another program has open); 5
writing failed (disk full, I/O error) or the file is read-only, the file is as it
was (never for damage); 6 database damaged (a malformed schema too) and not
repaired, the file is as it was; 7 repaired, but some rows were lost or may
be garbled (named on standard error; the damaged file is kept).
)";

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsKnownSwitch(const std::string& word) {
    const std::string w = Lower(word);
    return w == "/compact" || w == "/repair" || w == "/wrkgrp" || w == "/user" || w == "/pwd" || w == "/pwdfd" ||
           w == "/busy";
}

// "/excl" or "/ro" is a switch; "/home/db.sqlite" or "/data.db" is a path.
bool LooksLikeSwitch(const std::string& word) {
    if (IsKnownSwitch(word))
        return true;
    return word.size() > 1 && word[0] == '/' && word.find_first_of("/\\.", 1) == std::string::npos;
}

// A number from 0 to `most` written in decimal digits, and nothing else.
std::optional<int> WholeNumber(const std::string& value, long most) {
    char* end = nullptr;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || number < 0 || number > most)
        return std::nullopt;
    return static_cast<int>(number);
}

bool IsHelp(const std::string& word) {
    const std::string w = Lower(word);
    return w == "--help" || w == "-h" || w == "/?" || w == "-?" || w == "/help";
}

} // namespace

EngineOptions ParseEngineArgs(const std::vector<std::string>& args) {
    EngineOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        const std::string lower = Lower(word);
        auto takeValue = [&]() -> std::string {
            if (i + 1 < args.size() && !LooksLikeSwitch(args[i + 1]))
                return args[++i];
            return {};
        };
        if (IsHelp(word)) {
            options.help = true;
        } else if (lower == "/compact") {
            options.compact = true;
        } else if (lower == "/repair") {
            options.repair = true;
        } else if (lower == "/wrkgrp") {
            options.workgroup = takeValue();
        } else if (lower == "/user") {
            options.user = takeValue();
        } else if (lower == "/pwd") {
            options.password = takeValue();
        } else if (lower == "/pwdfd") {
            if (const auto fd = WholeNumber(takeValue(), 65535))
                options.passwordDescriptor = *fd;
            else
                options.error = "/pwdfd needs a descriptor number";
        } else if (lower == "/busy") {
            if (const auto seconds = WholeNumber(takeValue(), 86400))
                options.busyTimeoutSeconds = *seconds;
            else
                options.error = "/busy needs a number of seconds from 0 to 86400";
        } else if (!options.database && !LooksLikeSwitch(word)) {
            options.database = word;
        } else {
            options.ignored.push_back(word);
        }
    }
    return options;
}

namespace {

// One open database; closed in every case.
class Connection {
public:
    explicit Connection(const std::string& path, int flags = SQLITE_OPEN_READWRITE) {
        // Without SQLITE_OPEN_CREATE: a file that vanished meanwhile is not created anew.
        rc_ = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_EXRESCODE, nullptr);
    }
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int openResult() const { return rc_; }
    sqlite3* get() const { return db_; }
    std::string message() const { return db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc_); }

    // Runs one statement; the rows' first columns as text.
    int query(const char* sql, std::vector<std::string>* rows = nullptr) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        if (rc != SQLITE_OK)
            return rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (rows) {
                const unsigned char* text = sqlite3_column_text(stmt, 0);
                rows->push_back(text ? reinterpret_cast<const char*>(text) : "");
            }
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    long long number(const char* sql) {
        std::vector<std::string> rows;
        if (query(sql, &rows) != SQLITE_OK || rows.empty())
            return -1;
        return std::atoll(rows.front().c_str());
    }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_OK;
};

long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

struct Failure {
    int exit;
    std::string text;
};

// SQLite's answers that only a damaged file gives here: its header and magic were
// read before SQLite saw it, and nothing but SQLite's own statements runs on it.
bool MeansDamage(int rc) {
    switch (rc & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_ERROR:
    case SQLITE_MISMATCH:
    case SQLITE_CONSTRAINT:
    case SQLITE_FORMAT:
    case SQLITE_RANGE:
    case SQLITE_TOOBIG:
    case SQLITE_SCHEMA:
    case SQLITE_INTERNAL:
        return true;
    default:
        return false;
    }
}

// Turns an SQLite result into the exit code and the sentence the user sees. Without
// `/repair` damage of any kind is 6 with the line that tells the user to tick Repair.
Failure Explain(int rc, const std::string& sqliteMessage, int busySeconds, const char* what, bool repairing = true) {
    const std::string unchanged = std::string(", ") + what + "; the file is as it was";
    if (!repairing && MeansDamage(rc))
        return {ExitDamaged, DamagedLine(sqliteMessage)};
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {ExitBusy,
                "locked by another program, gave up after " + std::to_string(busySeconds) + " s" + unchanged};
    case SQLITE_FULL:
        return {ExitWriteFailed, "disk full" + unchanged};
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return {ExitWriteFailed, "cannot write (" + sqliteMessage + ")" + unchanged};
    case SQLITE_IOERR:
        return {ExitWriteFailed, "I/O error (" + sqliteMessage + ")" + unchanged};
    case SQLITE_NOTADB:
        return {ExitNotSqlite, "not an SQLite database"};
    case SQLITE_CORRUPT:
        return {ExitDamaged, "database is damaged (" + sqliteMessage + "); try /repair"};
    default:
        return {ExitWriteFailed, sqliteMessage + unchanged};
    }
}

bool HasSqliteHeader(const std::string& path) {
    static const char magic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                   'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    std::ifstream in(path, std::ios::binary);
    char head[16] = {};
    if (!in.read(head, sizeof head))
        return false;
    return std::memcmp(head, magic, sizeof magic) == 0;
}

// Page caches of one compaction, in KiB: the database being written back, and each
// of the three that only read or append (a plain VACUUM has two of half the write
// cache's size). Peak memory is about their sum plus a few MB, whatever the
// database's size. Each spill of the write cache costs two syncs of the journal: at
// 32 MiB a 1 GB file needs some forty, SQLite's default 2 MiB seven hundred.
constexpr int WriteCacheKib = 32 * 1024;
constexpr int ReadCacheKib = 2 * 1024;
constexpr int CheckCacheKib = 12 * 1024; // the check's, while the copy is made: gone before the write-back

// A plain VACUUM's cache grows with the database: a small file gains little from
// fewer spills and pays for every page of a large cache in page faults.
int VacuumCacheKib(long long databaseBytes) {
    const long long kib = databaseBytes / 1024 / 8;
    return static_cast<int>(std::clamp<long long>(kib, ReadCacheKib, WriteCacheKib / 2));
}

// Problems that integrity_check reports; a check that cannot even run counts as one.
std::vector<std::string> IntegrityProblems(Connection& db) {
    std::vector<std::string> rows;
    const int rc = db.query("PRAGMA integrity_check", &rows);
    if (rc != SQLITE_OK)
        return {"integrity check failed: " + db.message()};
    if (rows.size() == 1 && rows.front() == "ok")
        return {};
    return rows;
}

void PrintProblems(std::ostream& out, const std::vector<std::string>& problems) {
    constexpr std::size_t shown = 20;
    for (std::size_t i = 0; i < problems.size() && i < shown; ++i)
        out << "  " << problems[i] << '\n';
    if (problems.size() > shown)
        out << "  ... and " << problems.size() - shown << " more\n";
}

std::string Plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// integrity_check stops listing at 100 problems.
std::string CountProblems(std::size_t n) {
    return n >= 100 ? "100 or more problems" : Plural(n, "problem");
}

std::string QuoteName(const std::string& name) {
    std::string q = "\"";
    for (char c : name)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Rowid tables without an INTEGER PRIMARY KEY and without any index: a plain VACUUM
// numbers their rows anew, 1 to n, so rowids that applications keep elsewhere would no
// longer match. Every other table keeps its rowids under a plain VACUUM.
std::vector<std::string> TablesVacuumMayRenumber(Connection& db) {
    std::vector<std::string> tables;
    db.query("SELECT t.name FROM pragma_table_list AS t WHERE t.schema = 'main' AND t.type = 'table'"
             " AND t.wr = 0 AND t.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
             " AND NOT EXISTS (SELECT 1 FROM pragma_index_list(t.name))"
             " AND NOT EXISTS (SELECT 1 FROM pragma_table_info(t.name) WHERE pk > 0) ORDER BY t.name",
             &tables);
    return tables;
}

// Those whose rowids are not 1 to n already, and so change.
std::vector<std::string> TablesVacuumRenumbers(Connection& db, const std::vector<std::string>& candidates) {
    std::vector<std::string> renumbered;
    for (const std::string& table : candidates) {
        const std::string sql = "SELECT count(*) = 0 OR (min(rowid) = 1 AND max(rowid) = count(*)) FROM " +
                                QuoteName(table);
        if (db.number(sql.c_str()) != 1)
            renumbered.push_back(table);
    }
    return renumbered;
}

// Through SQLite's own handle of the database file: a second descriptor of ours, once
// closed, would drop the locks that SQLite holds on the file.
bool ReadChangeCounter(sqlite3* db, std::uint32_t& counter) {
    unsigned char bytes[4] = {};
    if (!HandleSource(db).read(24, bytes, sizeof bytes))
        return false;
    counter = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
    return true;
}

// The rebuilt copy's file, in the temporary folder where SQLite's own VACUUM keeps its
// copy, so that the database's volume needs room for the journal only. Its name goes
// as soon as SQLite has it open. A lock file, held while the run lasts, tells a later
// run what a killed one left (VACUUM INTO's small journal) and may be removed.
class Scratch {
public:
    Scratch() {
        for (const char* dir : std::initializer_list<const char*>{std::getenv("SQLITE_TMPDIR"), std::getenv("TMPDIR"), "/var/tmp", "/tmp"}) {
            struct stat st {};
            if (dir && *dir && ::stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && ::access(dir, W_OK | X_OK) == 0) {
                folder_ = dir;
                break;
            }
        }
        if (folder_.empty())
            folder_ = ".";
    }
    ~Scratch() {
        remove();
        if (lock_ >= 0) {
            ::unlink((path_ + LockSuffix).c_str());
            ::close(lock_);
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // Empty text and errno set when the folder takes no new file.
    std::string create() {
        removeLeftovers();
        std::string lockPath = folder_ + "/" + Prefix + "XXXXXX" + LockSuffix;
        lock_ = ::mkostemps(lockPath.data(), static_cast<int>(std::strlen(LockSuffix)), O_CLOEXEC);
        if (lock_ < 0)
            return {};
        ::flock(lock_, LOCK_EX);
        const std::string path = lockPath.substr(0, lockPath.size() - std::strlen(LockSuffix));
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            const int error = errno;
            ::unlink(lockPath.c_str());
            errno = error;
            return {};
        }
        ::close(fd);
        path_ = path;
        return path_;
    }
    void remove() {
        if (!path_.empty() && !removed_)
            removed_ = ::unlink(path_.c_str()) == 0 || errno == ENOENT;
    }

private:
    static constexpr const char* Prefix = "quillet-compact-";
    static constexpr const char* LockSuffix = ".lock";

    void removeLeftovers() const {
        DIR* dir = ::opendir(folder_.c_str());
        if (!dir)
            return;
        const std::size_t prefix = std::strlen(Prefix), suffix = std::strlen(LockSuffix);
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() <= prefix + suffix || name.compare(0, prefix, Prefix) != 0 ||
                name.compare(name.size() - suffix, suffix, LockSuffix) != 0)
                continue;
            const std::string lockPath = folder_ + "/" + name;
            const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                const std::string path = lockPath.substr(0, lockPath.size() - suffix);
                ::unlink(path.c_str());
                ::unlink((path + "-journal").c_str());
                ::unlink(lockPath.c_str());
            }
            ::close(fd);
        }
        ::closedir(dir);
    }

    std::string folder_, path_;
    int lock_ = -1;
    bool removed_ = false;
};

enum class Rebuild { Done, Failed, Changed, Damaged };

struct RebuildResult {
    Rebuild outcome = Rebuild::Failed;
    int rc = SQLITE_OK;
    std::string message; // SQLite's, or what the check found
};

// VACUUM INTO `copyPath` through `reader`; the scratch file's name goes as soon as
// SQLite has the copy open. SQLite's result.
int VacuumInto(Connection& reader, Scratch& scratch, const std::string& copyPath) {
    const std::string cache = "PRAGMA cache_size = -" + std::to_string(ReadCacheKib);
    // The scratch file is thrown away after a crash: no syncs for it.
    reader.query("PRAGMA synchronous = OFF");
    reader.query(cache.c_str());
    struct Unlinker {
        sqlite3* db;
        Scratch* scratch;
    } unlinker{reader.get(), &scratch};
    sqlite3_progress_handler(
        reader.get(), 1000,
        [](void* p) {
            auto* u = static_cast<Unlinker*>(p);
            if (sqlite3_db_filename(u->db, "vacuum_db"))
                u->scratch->remove();
            return 0;
        },
        &unlinker);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(reader.get(), "VACUUM INTO ?", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, copyPath.c_str(), -1, SQLITE_TRANSIENT);
        const int step = sqlite3_step(stmt);
        rc = step == SQLITE_DONE ? SQLITE_OK : step;
    }
    sqlite3_finalize(stmt);
    sqlite3_progress_handler(reader.get(), 0, nullptr, nullptr);
    scratch.remove();
    return rc;
}

// Writes the rebuilt copy over the database through SQLite's backup, journalled and
// synced like any transaction, unless a commit slipped in since `counterBefore`
// (Changed, nothing written). The guard's lock must be released: the backup takes
// the write lock itself.
RebuildResult WriteBack(Connection& db, Connection& copy, std::uint32_t counterBefore) {
    const std::string writeCache = "PRAGMA cache_size = -" + std::to_string(WriteCacheKib);
    db.query(writeCache.c_str());
    sqlite3_backup* backup = sqlite3_backup_init(db.get(), "main", copy.get(), "main");
    if (!backup)
        return {Rebuild::Failed, sqlite3_errcode(db.get()), db.message()};
    int rc = sqlite3_backup_step(backup, 0);
    std::uint32_t counterNow = 0;
    if (rc == SQLITE_OK && (!ReadChangeCounter(db.get(), counterNow) || counterNow != counterBefore)) {
        sqlite3_backup_finish(backup);
        return {Rebuild::Changed, SQLITE_OK, {}};
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        return {Rebuild::Failed, rc == SQLITE_OK ? finish : rc, db.message()};
    if (finish != SQLITE_OK)
        return {Rebuild::Failed, finish, db.message()};
    return {Rebuild::Done, SQLITE_OK, {}};
}

// A file up to this size is mapped into memory while it is checked and copied, and
// checked before the copy on the copy's own connection: every page is then read from
// the system's cache once, without a copy per reader, and no second thread or
// connection is paid for. Measured on two shared cores, that costs less than a
// check beside the copy hides; a larger file is checked beside it, its own reads
// being most of the time, and the mapping would grow peak memory with the size.
constexpr long long CheckFirstBytes = 32LL << 20;

// What the check found, as the rebuild's outcome.
RebuildResult Verdict(const Soundness& found) {
    if (found.failure)
        return {Rebuild::Failed, found.failure, found.found};
    if (found.damaged)
        return {Rebuild::Damaged, SQLITE_CORRUPT, found.found};
    return {Rebuild::Done, SQLITE_OK, {}};
}

// The copy made by VACUUM INTO through `reader` while a second thread checks the file
// through the guard's handle and a connection of its own; the copy counts only once
// the verdict is in.
RebuildResult CopyWhileChecking(Connection& guard, Connection& reader, const std::string& path, Scratch& scratch,
                                const std::string& copyPath, int busyMs) {
    Connection checker(path, SQLITE_OPEN_READONLY);
    if (checker.openResult() != SQLITE_OK)
        return {Rebuild::Failed, checker.openResult(), checker.message()};
    sqlite3_busy_timeout(checker.get(), busyMs);
    // integrity_check looks every row up in each index: a larger cache saves reads.
    const std::string cache = "PRAGMA cache_size = -" + std::to_string(CheckCacheKib);
    checker.query(cache.c_str());
    std::future<Soundness> verdict =
        std::async(std::launch::async, [&] { return CheckSoundness(guard.get(), path, checker.get()); });
    const int rc = VacuumInto(reader, scratch, copyPath);
    const Soundness found = verdict.get();
    if (const RebuildResult checked = Verdict(found); checked.outcome != Rebuild::Done)
        return checked;
    if (rc != SQLITE_OK)
        return {Rebuild::Failed, rc, reader.message()};
    return {Rebuild::Done, SQLITE_OK, {}};
}

// The copy made by VACUUM INTO; with `check` the file is checked first (a small one,
// mapped, through the copy's connection) or meanwhile (CopyWhileChecking). All read
// the same locked file. Their caches and the mapping are gone when this returns,
// before the write-back's own cache fills.
RebuildResult CopyAndCheck(Connection& guard, const std::string& path, Scratch& scratch, const std::string& copyPath,
                           int busyMs, bool check) {
    Connection reader(path, SQLITE_OPEN_READONLY);
    if (reader.openResult() != SQLITE_OK)
        return {Rebuild::Failed, reader.openResult(), reader.message()};
    sqlite3_busy_timeout(reader.get(), busyMs);
    if (check && FileSize(path) > CheckFirstBytes)
        return CopyWhileChecking(guard, reader, path, scratch, copyPath, busyMs);
    if (check) {
        // SQLite maps the file at the first read of a transaction and keeps the mapping
        // while it lasts: the page walk's reads come from it too.
        const std::string mapped = "PRAGMA mmap_size = " + std::to_string(CheckFirstBytes);
        reader.query(mapped.c_str());
        reader.query("BEGIN");
        reader.query("SELECT count(*) FROM sqlite_schema");
        const Soundness found = CheckSoundness(reader.get(), path, reader.get());
        reader.query("COMMIT");
        if (const RebuildResult verdict = Verdict(found); verdict.outcome != Rebuild::Done)
            return verdict;
    }
    if (const int rc = VacuumInto(reader, scratch, copyPath); rc != SQLITE_OK)
        return {Rebuild::Failed, rc, reader.message()};
    return {Rebuild::Done, SQLITE_OK, {}};
}

// VACUUM INTO a scratch file, then the copy written back over the database page by
// page. VACUUM INTO keeps every rowid, where a plain VACUUM renumbers some tables.
// Other writers are kept out from before the copy is read until it is written back;
// the lock changes hands once, and a commit that slipped in between (the file's
// change counter moved) abandons the copy before anything was written. With `check`
// a damaged file is never written (CopyAndCheck).
RebuildResult RebuildInPlace(Connection& db, const std::string& path, int busyMs, bool check) {
    auto failed = [](int rc, const std::string& message) { return RebuildResult{Rebuild::Failed, rc, message}; };
    Scratch scratch;
    Connection guard(path);
    if (guard.openResult() != SQLITE_OK)
        return failed(guard.openResult(), guard.message());
    sqlite3_busy_timeout(guard.get(), busyMs);
    if (int rc = guard.query("BEGIN IMMEDIATE"); rc != SQLITE_OK)
        return failed(rc, guard.message());
    std::uint32_t counterBefore = 0;
    if (!ReadChangeCounter(guard.get(), counterBefore))
        return failed(SQLITE_IOERR, "cannot read the file's header");
    const std::string copyPath = scratch.create();
    if (copyPath.empty())
        return failed(SQLITE_CANTOPEN, std::string("cannot create a scratch file: ") + std::strerror(errno));
    // Opened before the copy is written, so that its name can go at once.
    Connection copy(copyPath, SQLITE_OPEN_READONLY);
    if (copy.openResult() != SQLITE_OK)
        return failed(copy.openResult(), copy.message());
    const RebuildResult made = CopyAndCheck(guard, path, scratch, copyPath, busyMs, check);
    if (made.outcome != Rebuild::Done)
        return made;
    const std::string cache = "PRAGMA cache_size = -" + std::to_string(ReadCacheKib);
    copy.query(cache.c_str());
    // The backup makes the database what the copy holds: a copy that is not the
    // one just written (its file replaced under the name) must never get there.
    const char* const tables = "SELECT count(*) FROM sqlite_schema";
    if (copy.number("PRAGMA page_count") < 1 || copy.number(tables) != guard.number(tables))
        return failed(SQLITE_IOERR, "the rebuilt copy could not be read back");
    guard.query("ROLLBACK");
    return WriteBack(db, copy, counterBefore);
}

// The lock SQLite calls exclusive, taken on the file directly for a database too
// damaged for SQLite to lock it: other programs' connections hold a shared lock on
// the same bytes while they have a database in WAL mode open.
class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    // The descriptor stays open to the end: closing it would drop every lock this
    // process holds on the file, SQLite's own too.
    bool lock(const std::string& path, int seconds) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0)
            return false;
        struct flock range {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = 0x40000002; // the shared range, after the pending and reserved bytes
        range.l_len = 510;
        for (int waited = 0;; waited += 50) {
            if (::fcntl(fd_, F_SETLK, &range) == 0)
                return true;
            if ((errno != EACCES && errno != EAGAIN) || waited >= seconds * 1000)
                return false;
            ::usleep(50 * 1000);
        }
    }

private:
    int fd_ = -1;
};

// WAL mode, from SQLite or, in a file it cannot read, from the header and a log beside it.
bool InLogMode(Connection& db, const std::string& path) {
    std::vector<std::string> mode;
    if (db.query("PRAGMA journal_mode", &mode) == SQLITE_OK && !mode.empty())
        return Lower(mode.front()) == "wal";
    unsigned char head[20] = {};
    return (HandleSource(db.get()).read(0, head, sizeof head) && head[18] == 2) || FileSize(path + "-wal") > 0;
}

// A table row that its index does not hold as it is: one of the two was garbled, and
// REINDEX takes the table's side.
struct Disagreement {
    std::string table, index;
    long long rowid = -1; // -1: a count that differs, no row named
    bool keyOrder = false; // a WITHOUT ROWID table's: the row's place in key order
};

// integrity_check names a row by its place in the table, 1 for the first: the rowids
// of those places, in one pass over the table.
void RowidsOfPlaces(Connection& db, std::vector<Disagreement>& found) {
    std::map<std::string, std::vector<Disagreement*>> byTable;
    for (Disagreement& d : found)
        if (d.rowid > 0)
            byTable[d.table].push_back(&d);
    for (auto& [table, rows] : byTable) {
        std::sort(rows.begin(), rows.end(), [](const Disagreement* a, const Disagreement* b) { return a->rowid < b->rowid; });
        sqlite3_stmt* st = nullptr;
        const std::string sql = "SELECT rowid FROM " + QuoteName(table) + " NOT INDEXED ORDER BY rowid";
        if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            for (Disagreement* d : rows)
                d->keyOrder = true; // WITHOUT ROWID: no rowid to give
            continue;
        }
        long long place = 0;
        std::size_t next = 0;
        std::vector<std::pair<Disagreement*, long long>> rowids;
        while (next < rows.size() && sqlite3_step(st) == SQLITE_ROW) {
            ++place;
            while (next < rows.size() && rows[next]->rowid == place)
                rowids.emplace_back(rows[next++], sqlite3_column_int64(st, 0));
        }
        sqlite3_finalize(st);
        for (auto& [d, rowid] : rowids)
            d->rowid = rowid;
    }
}

// integrity_check's "row N missing from index I" and "wrong # of entries in index I",
// except in indexes whose own pages the page check found damaged: those explain it.
std::vector<Disagreement> Disagreements(Connection& db, const std::vector<std::string>& problems,
                                        const Survey& check) {
    std::vector<Disagreement> found;
    const auto tableOf = [&](const std::string& index) {
        std::vector<std::string> rows;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db.get(), "SELECT tbl_name FROM sqlite_schema WHERE type = 'index' AND name = ?1", -1,
                               &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, index.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW)
                rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
        return rows.empty() ? std::string() : rows.front();
    };
    const auto damaged = [&](const std::string& index) {
        return std::find(check.damagedIndexes.begin(), check.damagedIndexes.end(), index) !=
               check.damagedIndexes.end();
    };
    static const std::string missing = " missing from index ", wrongCount = "wrong # of entries in index ";
    for (const std::string& p : problems) {
        Disagreement d;
        if (p.rfind("row ", 0) == 0 && p.find(missing) != std::string::npos) {
            d.rowid = std::atoll(p.c_str() + 4);
            d.index = p.substr(p.find(missing) + missing.size());
        } else if (p.rfind(wrongCount, 0) == 0) {
            d.index = p.substr(wrongCount.size());
        } else {
            continue;
        }
        if (damaged(d.index))
            continue;
        d.table = tableOf(d.index);
        found.push_back(d);
    }
    RowidsOfPlaces(db, found);
    return found;
}

// After a REINDEX that fixed everything: the rows that disagreed with an index are
// named, one line each, since their values may be the garbled side. Exit 7 then.
int ReportReindex(std::ostream& out, std::ostream& err, const std::string& shown,
                  const std::vector<Disagreement>& garbled, const std::string& kept) {
    std::size_t rows = 0, shownRows = 0;
    for (const Disagreement& d : garbled) {
        if (d.rowid < 0)
            continue;
        ++rows;
        if (++shownRows <= 20)
            err << "QuilletEngine: " << shown << ": table " << d.table << ", row " << d.rowid
                << (d.keyOrder ? " in key order" : "") << ": disagreed with index " << d.index << "; its values may be garbled (kept as found)\n";
    }
    if (shownRows > 20)
        err << "QuilletEngine: " << shown << ": ... and " << shownRows - 20 << " more rows that disagreed\n";
    std::string summary;
    if (garbled.empty())
        summary = "repaired: REINDEX fixed every problem found";
    else
        summary = "repaired by REINDEX, but " + (rows ? Plural(rows, "row") : std::string("the row count")) +
                  " of a table disagreed with its index and may be garbled";
    summary += "; the damaged file is kept as " + kept;
    out << shown << ": " << summary << '\n';
    err << "QuilletEngine: " << shown << ": " << summary << '\n';
    return garbled.empty() ? ExitOk : ExitRowsLost;
}

// Rows kept with text that is not valid in the file's encoding or holds NUL bytes, on
// pages that are otherwise sound: applications do store such text, so nothing fails.
int ReportOddText(std::ostream& err, const std::string& shown, const Survey& survey) {
    if (survey.oddText.empty())
        return ExitOk;
    for (const OddRow& row : survey.oddText) {
        err << "QuilletEngine: " << shown << ": table " << row.table << ", ";
        if (row.withoutRowid)
            err << "a row";
        else
            err << "row " << row.rowid;
        err << ": text that is not valid " << (survey.header.textEncoding == 1 ? "UTF-8" : "UTF-16")
            << " or holds a NUL byte (kept as it is)\n";
    }
    if (survey.oddTextRows > static_cast<long long>(survey.oddText.size()))
        err << "QuilletEngine: " << shown << ": ... and "
            << survey.oddTextRows - static_cast<long long>(survey.oddText.size()) << " more such rows\n";
    err << "QuilletEngine: " << shown << ": " << Plural(static_cast<std::size_t>(survey.oddTextRows), "row")
        << " with odd text kept as they are\n";
    return ExitOk;
}

struct Compaction {
    int exit = ExitOk;
    std::string error;                   // the line for standard error when not done
    std::vector<std::string> renumbered; // tables whose rowids a plain VACUUM changed
};

Compaction Refused(const Failure& f) {
    return {f.exit, f.text, {}};
}

// A database in WAL mode: checked in one read transaction, then a plain VACUUM and a
// checkpoint. A log's commits leave the change counter alone, so the copy's way of
// telling a commit that slipped in is not open to it.
Compaction CompactLogged(Connection& db, const std::string& path, int busySeconds, bool checked) {
    if (!checked) {
        db.query("BEGIN");
        db.query("SELECT count(*) FROM sqlite_schema");
        const Soundness found = CheckSoundness(db.get(), path, db.get());
        db.query("COMMIT");
        if (found.failure)
            return Refused(Explain(found.failure, found.found, busySeconds, "not compacted", false));
        if (found.damaged)
            return {ExitDamaged, DamagedLine(found.found), {}};
    }
    Compaction done;
    done.renumbered = TablesVacuumRenumbers(db, TablesVacuumMayRenumber(db));
    const std::string cache = "PRAGMA cache_size = -" + std::to_string(VacuumCacheKib(FileSize(path)));
    db.query(cache.c_str());
    if (int rc = db.query("VACUUM"); rc != SQLITE_OK)
        return Refused(Explain(rc, db.message(), busySeconds, "not compacted", checked));
    // In WAL mode the rebuilt pages reach the file only at a checkpoint.
    if (int rc = db.query("PRAGMA wal_checkpoint(TRUNCATE)"); rc != SQLITE_OK)
        return Refused(Explain(rc, db.message(), busySeconds, "compacted in the log only", checked));
    return done;
}

// Compacts the open database, every rowid kept (but in WAL mode). Nothing is written
// before the file is known to be sound: `checked` when the repair's check says so
// already, else the check runs beside the copy. A writer's commit between the copy
// and its writing back starts it again, a few times at most.
Compaction Compact(Connection& db, const std::string& path, int busySeconds, bool checked) {
    std::vector<std::string> mode;
    if (db.query("PRAGMA journal_mode", &mode) == SQLITE_OK && !mode.empty() && Lower(mode.front()) == "wal")
        return CompactLogged(db, path, busySeconds, checked);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const RebuildResult rebuilt = RebuildInPlace(db, path, busySeconds * 1000, !checked);
        if (rebuilt.outcome == Rebuild::Done)
            return {};
        if (rebuilt.outcome == Rebuild::Damaged)
            return {ExitDamaged, DamagedLine(rebuilt.message), {}};
        if (rebuilt.outcome == Rebuild::Failed)
            return Refused(Explain(rebuilt.rc, rebuilt.message, busySeconds, "not compacted", checked));
    }
    return {ExitBusy, "changed by another program each time it was copied; not compacted, the file is as it was", {}};
}

} // namespace

int RunEngine(const EngineOptions& options, std::ostream& out, std::ostream& err) {
    if (options.help) {
        out << EngineHelpText;
        return ExitOk;
    }
    if (!options.error.empty()) {
        err << "QuilletEngine: " << options.error << '\n';
        return ExitUsage;
    }
    if (!options.database || options.database->empty()) {
        err << "QuilletEngine: no database given (try --help)\n";
        return ExitUsage;
    }
    std::string path = *options.database;
    const std::string shown = path;
    auto fail = [&](int code, const std::string& text) {
        err << "QuilletEngine: " << shown << ": " << text << '\n';
        return code;
    };

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return fail(ExitMissing, errno == ENOENT ? std::string("no such file")
                                                 : std::string("cannot open (") + std::strerror(errno) + ")");
    if (S_ISDIR(st.st_mode))
        return fail(ExitMissing, "is a folder, not a database file");
    if (!S_ISREG(st.st_mode))
        return fail(ExitNotSqlite, "not a regular file");
    if (std::FILE* probe = std::fopen(path.c_str(), "rb"))
        std::fclose(probe);
    else
        return fail(ExitMissing, std::string("cannot read (") + std::strerror(errno) + ")");
    // Checked before SQLite sees the file: it would take an empty file for a new database.
    if (!HasSqliteHeader(path))
        return fail(ExitNotSqlite, "not an SQLite database");
    // A relative name must not be taken for a URI.
    if (path.rfind("file:", 0) == 0)
        path = "./" + path;

    // A file its owner marked read-only stays as it is, damaged or not, whoever runs this.
    if ((options.compact || options.repair) && (::access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0))
        return fail(ExitWriteFailed, "the file is read-only; nothing done, the file is as it was");

    // Fields that SQLite would take for a read-only file or no database at all.
    if (!options.repair) {
        unsigned char header[100] = {};
        std::ifstream in(path, std::ios::binary);
        const bool whole = static_cast<bool>(in.read(reinterpret_cast<char*>(header), sizeof header));
        const std::string problem = whole ? HeaderProblem(header) : "the file is shorter than its header";
        if (!problem.empty())
            return fail(ExitDamaged, DamagedLine(problem));
    }

    FileLock holder; // outlives the connection
    Connection db(path);
    if (db.openResult() != SQLITE_OK)
        return fail(ExitMissing, "cannot open (" + db.message() + ")");
    sqlite3_busy_timeout(db.get(), options.busyTimeoutSeconds * 1000);
    auto failOn = [&](int rc, const char* what) {
        const Failure f = Explain(rc, db.message(), options.busyTimeoutSeconds, what);
        return fail(f.exit, f.text);
    };

    // Reading the schema finds a file that only looks like a database, and a lock.
    if (int rc = db.query("SELECT count(*) FROM sqlite_schema"); rc != SQLITE_OK) {
        const Failure f = Explain(rc, db.message(), options.busyTimeoutSeconds, "nothing done", options.repair);
        if (!((f.exit == ExitDamaged || f.exit == ExitNotSqlite) && options.repair))
            return fail(f.exit, f.text);
    }

    bool salvaged = false;
    int repairExit = ExitOk;
    if (options.repair) {
        // A database in WAL mode is repaired only while no other connection has it
        // open: one that lingers would later write its log's frames into the file
        // that took the database's name. The exclusive lock waits for every other
        // connection to close, and nothing here checkpoints the log: its committed
        // pages are read where they lie.
        const bool logMode = InLogMode(db, path);
        if (logMode) {
            sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            db.query("PRAGMA locking_mode = EXCLUSIVE");
        }
        // Writers wait while the pages are read, so that a commit is never taken for
        // damage; a file too damaged to lock is read anyway.
        const int lockRc = db.query("BEGIN IMMEDIATE");
        const auto busy = [](int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; };
        const std::string inUse = "in use by another program for longer than " +
                                  std::to_string(options.busyTimeoutSeconds) +
                                  " s (a database in WAL mode is repaired only while no other program has it open)"
                                  "; not repaired, the file is as it was";
        if (busy(lockRc))
            return logMode ? fail(ExitBusy, inUse) : failOn(lockRc, "not repaired");
        bool locked = lockRc == SQLITE_OK;
        if (logMode && !locked && !holder.lock(path, options.busyTimeoutSeconds))
            return fail(ExitBusy, inUse);
        bool salvage = false;
        std::string kept; // the original's copy, made before the first write
        const Survey check = CheckDatabaseFile(db.get(), path);
        if (check.tableDamage) {
            out << shown << ": the page check found damage:\n";
            PrintProblems(out, check.problems);
            salvage = true;
        } else {
            const std::vector<std::string> found = IntegrityProblems(db);
            if (found.empty()) {
                out << shown << ": integrity check: ok\n";
                repairExit = ReportOddText(err, shown, check);
            } else {
                out << shown << ": integrity check found " << CountProblems(found.size()) << ":\n";
                PrintProblems(out, found);
                const std::vector<Disagreement> garbled = Disagreements(db, found, check);
                std::string error;
                kept = KeepOriginal(db.get(), path, error);
                if (kept.empty())
                    return fail(ExitWriteFailed, "not repaired: " + error + "; the file is as it was");
                const int rc = db.query("REINDEX");
                if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_CORRUPT && (rc & 0xff) != SQLITE_ERROR)
                    return failOn(rc, "not repaired");
                const std::vector<std::string> left = IntegrityProblems(db);
                if (left.empty() && locked && db.query("COMMIT") != SQLITE_OK) {
                    const int commitRc = sqlite3_extended_errcode(db.get());
                    db.query("ROLLBACK");
                    std::remove(kept.c_str());
                    std::remove((kept + "-wal").c_str());
                    return failOn(commitRc, "not repaired");
                }
                if (left.empty()) {
                    locked = false;
                    ReportOddText(err, shown, check);
                    repairExit = ReportReindex(out, err, shown, garbled, kept);
                } else {
                    // What REINDEX wrote goes; the salvage reads the kept original.
                    if (locked)
                        db.query("ROLLBACK");
                    locked = false;
                    out << shown << ": after REINDEX " << CountProblems(left.size())
                        << (left.size() == 1 ? " remains" : " remain") << "; salvaging\n";
                    salvage = true;
                }
            }
        }
        if (salvage) {
            if (int rc = locked ? SQLITE_OK : db.query("BEGIN IMMEDIATE"); busy(rc))
                return failOn(rc, "not repaired");
            const SalvageResult r = SalvageInPlace(db.get(), path, kept);
            db.query("ROLLBACK");
            if (!r.done) {
                if (r.sqliteCode == SQLITE_NOTADB)
                    return fail(ExitDamaged, "damaged beyond salvage (" + r.error + "); the file is as it was");
                return fail(ExitWriteFailed, "not repaired: " + r.error + "; the file is as it was");
            }
            long long rows = 0;
            for (const TableCount& t : r.survey.tables)
                rows += t.rows;
            for (const std::string& note : r.notes)
                err << "QuilletEngine: " << shown << ": " << note << '\n';
            ReportOddText(err, shown, r.survey);
            const bool lost = r.survey.rowsLost();
            repairExit = lost ? ExitRowsLost : ExitOk;
            const std::string summary = std::string("repaired by salvage, ") + (lost ? "some rows lost" : "nothing lost") +
                                        " (" + Plural(static_cast<std::size_t>(rows), "row") +
                                        " salvaged); the damaged file is kept as " + r.damagedCopy;
            out << shown << ": " << summary << '\n';
            err << "QuilletEngine: " << shown << ": " << summary << '\n';
            salvaged = true;
        } else {
            if (locked)
                db.query("COMMIT");
            // The database is sound and still ours: closing may take the log in and
            // remove it, as any last connection does.
            if (logMode)
                sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        }
    }

    if (options.compact && salvaged) {
        out << shown << ": compacted by the salvage, " << FileSize(path) << " bytes (no free pages)\n";
    } else if (options.compact) {
        const long long sizeBefore = FileSize(path);
        const long long freeBefore = db.number("PRAGMA freelist_count");
        const Compaction done = Compact(db, path, options.busyTimeoutSeconds, options.repair);
        if (done.exit != ExitOk)
            return fail(done.exit, done.error);
        out << shown << ": compacted, " << sizeBefore << " -> " << FileSize(path) << " bytes ("
            << Plural(static_cast<std::size_t>(std::max(0LL, freeBefore)), "free page") << " removed)\n";
        if (!done.renumbered.empty()) {
            std::string names;
            for (const std::string& t : done.renumbered)
                names += (names.empty() ? "" : ", ") + t;
            err << "QuilletEngine: " << shown << ": rowids renumbered in " << names
                << " (no INTEGER PRIMARY KEY)\n";
        }
    }

    if (!options.compact && !options.repair)
        out << shown << ": opened; nothing to do without /compact or /repair\n";
    return repairExit;
}

} // namespace quillet::standin
