#include "standin/Engine.h"

#include "standin/Compaction.h"
#include "standin/Connection.h"
#include "standin/Outcome.h"
#include "standin/Repair.h"
#include "standin/SoundCheck.h"
#include "standin/SqlText.h"
#include "core/Include.h"

#include "platform/Files.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

bool IsKnownSwitch(const std::string& word) {
    const std::string w = LowerAscii(word);
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
    const std::string w = LowerAscii(word);
    return w == "--help" || w == "-h" || w == "/?" || w == "-?" || w == "/help";
}

} // namespace

EngineOptions ParseEngineArgs(const std::vector<std::string>& args) {
    EngineOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        const std::string lower = LowerAscii(word);
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

// The database file as SQLite may be given it, or why it is refused before SQLite
// sees it.
struct Target {
    std::string path;
    Failure failure;
};

// A file that SQLite would take for a new, empty database, or for none (`notSqlite`),
// or whose header's fields it would take for a read-only file or no database at all.
std::string HeaderRefusal(const std::string& path, bool repairing, bool& notSqlite) {
    static const char magic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                   'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
    std::string head;
    notSqlite = !platform::ReadFileHead(path, 100, head) || head.size() < sizeof magic ||
                std::memcmp(head.data(), magic, sizeof magic) != 0;
    if (notSqlite)
        return "not an SQLite database";
    if (repairing)
        return {};
    const std::string problem = head.size() < 100 ? std::string("the file is shorter than its header")
                                                  : HeaderProblem(reinterpret_cast<const unsigned char*>(head.data()));
    return problem.empty() ? problem : DamagedLine(problem);
}

// Stage one: the named file exists, is a readable regular file with an SQLite
// header, may be written when the run writes, and has a header SQLite can use.
Target CheckTarget(const EngineOptions& options) {
    Target target{*options.database, {}};
    struct stat st {};
    if (::stat(target.path.c_str(), &st) != 0)
        return {{}, {ExitMissing, errno == ENOENT ? std::string("no such file")
                                                  : std::string("cannot open (") + std::strerror(errno) + ")"}};
    if (S_ISDIR(st.st_mode))
        return {{}, {ExitMissing, "is a folder, not a database file"}};
    if (!S_ISREG(st.st_mode))
        return {{}, {ExitNotSqlite, "not a regular file"}};
    if (std::FILE* probe = std::fopen(target.path.c_str(), "rb"))
        std::fclose(probe);
    else
        return {{}, {ExitMissing, std::string("cannot read (") + std::strerror(errno) + ")"}};
    // A relative name must not be taken for a URI.
    if (target.path.rfind("file:", 0) == 0)
        target.path = "./" + target.path;
    // Checked before SQLite sees the file: it would take an empty file for a new database.
    bool notSqlite = false;
    const std::string refused = HeaderRefusal(target.path, options.repair, notSqlite);
    if (notSqlite)
        return {{}, {ExitNotSqlite, refused}};
    // A file its owner marked read-only stays as it is, damaged or not, whoever runs this.
    const bool writes = options.compact || options.repair;
    if (writes && (::access(target.path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0))
        return {{}, {ExitWriteFailed, "the file is read-only; nothing done, the file is as it was"}};
    if (!refused.empty())
        return {{}, {ExitDamaged, refused}};
    return target;
}

// Stage two: SQLite has the file open and has read its schema, which finds a file
// that only looks like a database, and a lock. A repair goes on with a damaged one.
Failure OpenDatabase(Connection& db, const EngineOptions& options) {
    if (db.openResult() != SQLITE_OK)
        return {ExitMissing, "cannot open (" + db.message() + ")"};
    sqlite3_busy_timeout(db.get(), options.busyTimeoutSeconds * 1000);
    if (int rc = db.query("SELECT count(*) FROM sqlite_schema"); rc != SQLITE_OK) {
        const Failure f = Explain(rc, db.message(), options.busyTimeoutSeconds, "nothing done", options.repair);
        if (!((f.exit == ExitDamaged || f.exit == ExitNotSqlite) && options.repair))
            return f;
    }
    return {};
}

// The last stage: the compaction and its lines. After a salvage the file has no free
// pages left.
Failure CompactStage(Connection& db, const std::string& path, const EngineOptions& options, bool salvaged,
                     const Report& report) {
    if (salvaged) {
        report.out << report.shown << ": compacted by the salvage, " << FileSize(path) << " bytes (no free pages)\n";
        return {};
    }
    const long long sizeBefore = FileSize(path);
    const long long freeBefore = db.number("PRAGMA freelist_count");
    const Compaction done = Compact(db, path, options.busyTimeoutSeconds, options.repair);
    if (done.exit != ExitOk)
        return {done.exit, done.error};
    report.out << report.shown << ": compacted, " << sizeBefore << " -> " << FileSize(path) << " bytes ("
               << Plural(static_cast<std::size_t>(std::max(0LL, freeBefore)), "free page") << " removed)\n";
    if (!done.renumbered.empty()) {
        std::string names;
        for (const std::string& t : done.renumbered)
            names += (names.empty() ? "" : ", ") + t;
        report.note("rowids renumbered in " + names + " (no INTEGER PRIMARY KEY)");
    }
    return {};
}

} // namespace

// The run as its stages: the file looked at, opened with its schema read, repaired
// when asked (the check, then REINDEX or a salvage), compacted when asked.
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
    const Report report{out, err, *options.database};
    const Target target = CheckTarget(options);
    if (target.failure.failed())
        return report.fail(target.failure);

    FileLock holder; // outlives the connection
    Connection db(target.path);
    if (const Failure f = OpenDatabase(db, options); f.failed())
        return report.fail(f);
    Repaired repaired;
    if (options.repair)
        repaired = Repair(db, holder, target.path, options.busyTimeoutSeconds, report);
    if (repaired.failure.failed())
        return report.fail(repaired.failure);
    if (options.compact)
        if (const Failure f = CompactStage(db, target.path, options, repaired.salvaged, report); f.failed())
            return report.fail(f);
    if (!options.compact && !options.repair)
        out << report.shown << ": opened; nothing to do without /compact or /repair\n";
    return repaired.exit;
}

} // namespace quillet::standin
