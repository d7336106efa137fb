#include "standin/Engine.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace quillet::standin {

const char* const EngineHelpText =
    R"(Usage: QuilletEngine <database> [/wrkgrp <file>] [/repair] [/compact] [/user <name>] [/pwd <password>]

Stands in for the database engine that Quillet starts for every database in its list,
on machines without it. Works on SQLite database files.

  /compact         rebuild the file in place (VACUUM), so that no free pages remain.
                   Other programs may keep the database open meanwhile: SQLite's locks
                   and rollback journal keep it consistent, and a failed or interrupted
                   run leaves the database as it was.
  /repair          check the database first (PRAGMA integrity_check); when problems are
                   found, rebuild the indexes (REINDEX) and check again. Problems that
                   remain end the run before /compact.
  /wrkgrp <file>   accepted and ignored: SQLite has no workgroup files.
  /user <name>     accepted and ignored: SQLite has no users.
  /pwd <password>  accepted and ignored: SQLite has no passwords.
  /busy <seconds>  how long to wait for a database that another program has locked
                   (default 10), then give up.
  --help           this text.

Switches are case-insensitive; unknown switches are ignored.

Exit codes: 0 done; 1 unusable command line; 2 no such file, a folder, or unreadable;
3 not an SQLite database; 4 database locked by another program; 5 writing failed
(disk full, read-only, I/O error), the file is as it was; 6 database damaged and not
repaired.
)";

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsKnownSwitch(const std::string& word) {
    const std::string w = Lower(word);
    return w == "/compact" || w == "/repair" || w == "/wrkgrp" || w == "/user" || w == "/pwd" || w == "/busy";
}

// "/excl" or "/ro" is a switch; "/home/db.sqlite" or "/data.db" is a path.
bool LooksLikeSwitch(const std::string& word) {
    if (IsKnownSwitch(word))
        return true;
    return word.size() > 1 && word[0] == '/' && word.find_first_of("/\\.", 1) == std::string::npos;
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
        } else if (lower == "/busy") {
            const std::string value = takeValue();
            char* end = nullptr;
            const long seconds = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || seconds < 0 || seconds > 86400)
                options.error = "/busy needs a number of seconds from 0 to 86400";
            else
                options.busyTimeoutSeconds = static_cast<int>(seconds);
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
    explicit Connection(const std::string& path) {
        // Without SQLITE_OPEN_CREATE: a file that vanished meanwhile is not created anew.
        rc_ = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
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

// Turns an SQLite result into the exit code and the sentence the user sees.
Failure Explain(int rc, const std::string& sqliteMessage, int busySeconds, const char* what) {
    const std::string unchanged = std::string(", ") + what + "; the file is as it was";
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
        const Failure f = Explain(rc, db.message(), options.busyTimeoutSeconds, "nothing done");
        if (!(f.exit == ExitDamaged && options.repair))
            return fail(f.exit, f.text);
    }

    if (options.repair) {
        const std::vector<std::string> found = IntegrityProblems(db);
        if (found.empty()) {
            out << shown << ": integrity check: ok\n";
        } else {
            out << shown << ": integrity check found " << CountProblems(found.size()) << ":\n";
            PrintProblems(out, found);
            const int rc = db.query("REINDEX");
            if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_CORRUPT)
                return failOn(rc, "not repaired");
            const std::vector<std::string> left = IntegrityProblems(db);
            if (!left.empty()) {
                const std::string remain =
                    CountProblems(left.size()) + (left.size() == 1 ? " remains" : " remain");
                out << shown << ": after REINDEX " << remain << ":\n";
                PrintProblems(out, left);
                return fail(ExitDamaged, "damaged, " + remain + " after REINDEX; not compacted");
            }
            out << shown << ": repaired: REINDEX fixed every problem found\n";
        }
    }

    if (options.compact) {
        const long long sizeBefore = FileSize(path);
        const long long freeBefore = db.number("PRAGMA freelist_count");
        // A page cache larger than the database spares the mid-rebuild spills, each of
        // which costs a journal sync; the rebuilt copy is kept in memory unless it is big.
        // Both last only for this connection; the rollback journal stays as it is.
        db.query("PRAGMA cache_size = -262144");
        if (sizeBefore >= 0 && sizeBefore <= 512LL * 1024 * 1024)
            db.query("PRAGMA temp_store = MEMORY");
        if (int rc = db.query("VACUUM"); rc != SQLITE_OK)
            return failOn(rc, "not compacted");
        std::vector<std::string> mode;
        if (db.query("PRAGMA journal_mode", &mode) == SQLITE_OK && !mode.empty() &&
            Lower(mode.front()) == "wal") {
            // In WAL mode the rebuilt pages reach the file only at a checkpoint.
            if (int rc = db.query("PRAGMA wal_checkpoint(TRUNCATE)"); rc != SQLITE_OK)
                return failOn(rc, "compacted in the log only");
        }
        out << shown << ": compacted, " << sizeBefore << " -> " << FileSize(path) << " bytes ("
            << Plural(static_cast<std::size_t>(std::max(0LL, freeBefore)), "free page") << " removed)\n";
    }

    if (!options.compact && !options.repair)
        out << shown << ": opened; nothing to do without /compact or /repair\n";
    return ExitOk;
}

} // namespace quillet::standin
