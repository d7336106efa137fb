#include "standin/Salvage.h"

#include "standin/DatabaseBytes.h"
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
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::standin {

namespace {

// Writes the rows it is given into a new SQLite file: tables first, as the schema
// has them, then the rows, then indexes, views and triggers, so that no trigger
// fires on a salvaged row.
class Writer final : public SalvageSink {
public:
    explicit Writer(const std::string& path) {
        rc_ = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    }
    ~Writer() override {
        for (auto& [root, t] : tables_)
            for (auto& [count, stmt] : t.inserts)
                sqlite3_finalize(stmt);
        sqlite3_close_v2(db_);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool failed() const { return rc_ != SQLITE_OK; }
    int code() const { return rc_; }
    std::string message() const { return message_.empty() && db_ ? sqlite3_errmsg(db_) : message_; }
    std::vector<std::string>& notes() { return notes_; }

    void schema(const Header& header, const std::vector<SchemaEntry>& entries, const std::vector<TableCount>&) override {
        if (failed())
            return;
        header_ = header;
        entries_ = entries;
        static const char* const encodings[] = {"", "UTF-8", "UTF-16le", "UTF-16be"};
        exec("PRAGMA page_size = " + std::to_string(header.pageSize));
        exec(std::string("PRAGMA encoding = '") + encodings[header.textEncoding] + "'");
        exec(std::string("PRAGMA auto_vacuum = ") +
             (header.incrementalVacuum ? "INCREMENTAL" : header.autoVacuum ? "FULL" : "NONE"));
        // A crash mid-way throws the whole file away: no journal, no syncs until the end.
        exec("PRAGMA journal_mode = OFF");
        exec("PRAGMA synchronous = OFF");
        exec("PRAGMA locking_mode = EXCLUSIVE");
        exec("PRAGMA cache_size = -16384");
        exec("BEGIN");
        for (const SchemaEntry& e : entries) {
            if (e.type != "table" || failed())
                continue;
            TableOut& t = tables_[e.root];
            t.name = e.name;
            if (Upper(e.name) == "SQLITE_SEQUENCE") {
                t.sequence = true;
                continue;
            }
            if (e.root == 0) { // a virtual table: its shadow tables hold the rows
                if (!try_exec(e.sql))
                    notes_.push_back("virtual table " + e.name + " not made again: " + sqlite3_errmsg(db_));
                continue;
            }
            if (Upper(e.name).rfind("SQLITE_", 0) == 0) {
                t.skip = true; // statistics: ANALYZE makes them again
                continue;
            }
            if (!e.sql.empty() && try_exec(e.sql)) {
                t.withoutRowid = IsWithoutRowidTable(e.name);
            } else if (exists(e.name)) {
                try_exec("DELETE FROM " + QuoteName(e.name)); // a virtual table's shadow table
            } else {
                t.generic = true;
                notes_.push_back("table " + e.name + ": its CREATE text is unreadable; rows salvaged into columns c1, c2, ...");
            }
        }
    }

    bool row(std::uint32_t root, std::int64_t rowid, const std::vector<Value>& values) override {
        if (failed())
            return false;
        auto found = tables_.find(root);
        if (found == tables_.end())
            return false;
        TableOut& t = found->second;
        if (t.skip)
            return true;
        if (t.sequence) {
            if (values.size() == 2 && values[0].kind == Value::Text && values[1].kind == Value::Integer)
                sequence_.emplace_back(std::string(reinterpret_cast<const char*>(values[0].bytes), values[0].length),
                                       values[1].integer);
            return true;
        }
        sqlite3_stmt* stmt = insertFor(t, values.size());
        if (!stmt)
            return false;
        int n = 1;
        if (!t.withoutRowid)
            sqlite3_bind_int64(stmt, n++, rowid);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i < t.columns.size() && t.columns[i].empty())
                continue;
            const Value& v = values[i];
            switch (v.kind) {
            case Value::Null:
                sqlite3_bind_null(stmt, n);
                break;
            case Value::Integer:
                sqlite3_bind_int64(stmt, n, v.integer);
                break;
            case Value::Real:
                sqlite3_bind_double(stmt, n, v.real);
                break;
            case Value::Text:
                sqlite3_bind_text64(stmt, n, reinterpret_cast<const char*>(v.bytes), v.length, SQLITE_STATIC,
                                    static_cast<unsigned char>(textEncoding()));
                break;
            case Value::Blob:
                sqlite3_bind_blob64(stmt, n, v.bytes ? static_cast<const void*>(v.bytes) : "", v.length, SQLITE_STATIC);
                break;
            }
            ++n;
        }
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc == SQLITE_DONE)
            return true;
        if ((rc & 0xff) != SQLITE_CONSTRAINT && (rc & 0xff) != SQLITE_MISMATCH)
            fail(rc);
        return false;
    }

    // Everything after the rows; false when the file could not be completed.
    bool finish() {
        if (failed())
            return false;
        for (const auto& [name, seq] : sequence_) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db_, "UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE name = ?2", -1, &st,
                                   nullptr) == SQLITE_OK) {
                sqlite3_bind_int64(st, 1, seq);
                sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_step(st);
            }
            sqlite3_finalize(st);
            if (sqlite3_changes(db_) == 0 && exists("sqlite_sequence")) {
                if (sqlite3_prepare_v2(db_, "INSERT INTO sqlite_sequence(name, seq) VALUES(?2, ?1)", -1, &st,
                                       nullptr) == SQLITE_OK) {
                    sqlite3_bind_int64(st, 1, seq);
                    sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_step(st);
                }
                sqlite3_finalize(st);
            }
        }
        for (const char* type : {"index", "view", "trigger"}) {
            for (const SchemaEntry& e : entries_) {
                if (e.type != type || e.sql.empty() || failed())
                    continue;
                if (!try_exec(e.sql))
                    notes_.push_back(std::string(type) + " " + e.name + " not made again: " + sqlite3_errmsg(db_));
            }
        }
        exec("PRAGMA user_version = " + std::to_string(static_cast<std::int32_t>(header_.userVersion)));
        exec("PRAGMA application_id = " + std::to_string(static_cast<std::int32_t>(header_.applicationId)));
        exec("COMMIT");
        if (header_.wal)
            exec("PRAGMA journal_mode = WAL");
        return !failed();
    }

private:
    struct TableOut {
        std::string name;
        bool withoutRowid = false, generic = false, sequence = false, skip = false, prepared = false;
        std::vector<std::string> columns; // in the record's order; empty: not written
        std::string rowidName;
        std::map<std::size_t, sqlite3_stmt*> inserts;
    };

    int textEncoding() const {
        return header_.textEncoding == 2 ? SQLITE_UTF16LE : header_.textEncoding == 3 ? SQLITE_UTF16BE : SQLITE_UTF8;
    }

    void fail(int rc) {
        if (rc_ == SQLITE_OK) {
            rc_ = rc;
            message_ = sqlite3_errmsg(db_);
        }
    }
    void exec(const std::string& sql) {
        if (!failed()) {
            const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK)
                fail(rc);
        }
    }
    bool try_exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

    std::vector<std::vector<std::string>> query(const std::string& sql, const std::string& arg) {
        std::vector<std::vector<std::string>> rows;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, arg.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(st) == SQLITE_ROW) {
                std::vector<std::string> row;
                for (int i = 0; i < sqlite3_column_count(st); ++i) {
                    const unsigned char* text = sqlite3_column_text(st, i);
                    row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
                }
                rows.push_back(std::move(row));
            }
        }
        sqlite3_finalize(st);
        return rows;
    }

    bool exists(const std::string& name) {
        return !query("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1", name).empty();
    }
    bool IsWithoutRowidTable(const std::string& name) {
        return !query("SELECT 1 FROM pragma_table_list WHERE schema = 'main' AND name = ?1 AND wr", name).empty();
    }

    // The columns a record fills, in its order: a WITHOUT ROWID table's key first.
    void describe(TableOut& t, std::size_t count) {
        t.prepared = true;
        if (t.generic) {
            try_exec("CREATE TABLE " + QuoteName(t.name) + "(c1)");
            t.columns = {"c1"};
        } else if (t.withoutRowid) {
            const auto pk = query("SELECT name FROM pragma_index_list(?1) WHERE origin = 'pk'", t.name);
            if (!pk.empty())
                for (const auto& r : query("SELECT name FROM pragma_index_xinfo(?1) WHERE cid >= 0 ORDER BY seqno",
                                           pk.front()[0]))
                    t.columns.push_back(r[0]);
        } else {
            const auto cols = query("SELECT name, hidden, pk, upper(type) FROM pragma_table_xinfo(?1) ORDER BY cid", t.name);
            int keys = 0;
            for (const auto& c : cols)
                keys += c[2] != "0";
            for (const auto& c : cols) {
                if (c[1] == "2")
                    continue; // computed when read, not stored
                const bool alias = keys == 1 && c[2] == "1" && c[3] == "INTEGER";
                t.columns.push_back(c[1] == "0" && !alias ? c[0] : std::string());
            }
            for (const char* name : {"rowid", "_rowid_", "oid"}) {
                bool taken = false;
                for (const auto& c : cols)
                    taken = taken || Upper(c[0]) == Upper(name);
                if (!taken) {
                    t.rowidName = name;
                    break;
                }
            }
        }
        (void)count;
    }

    sqlite3_stmt* insertFor(TableOut& t, std::size_t count) {
        if (!t.prepared)
            describe(t, count);
        if (t.generic) {
            while (t.columns.size() < count) {
                t.columns.push_back("c" + std::to_string(t.columns.size() + 1));
                try_exec("ALTER TABLE " + QuoteName(t.name) + " ADD COLUMN " + t.columns.back());
                for (auto& [n, stmt] : t.inserts)
                    sqlite3_finalize(stmt);
                t.inserts.clear();
            }
        }
        if (count > t.columns.size() || (!t.withoutRowid && t.rowidName.empty() && !t.generic))
            return nullptr;
        if (t.generic && t.rowidName.empty())
            t.rowidName = "rowid";
        auto found = t.inserts.find(count);
        if (found != t.inserts.end())
            return found->second;
        std::string names, marks;
        if (!t.withoutRowid) {
            names = t.rowidName;
            marks = "?";
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (t.columns[i].empty())
                continue;
            names += (names.empty() ? "" : ", ") + QuoteName(t.columns[i]);
            marks += marks.empty() ? "?" : ", ?";
        }
        const std::string sql = "INSERT INTO main." + QuoteName(t.name) + "(" + names + ") VALUES(" + marks + ")";
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            return nullptr;
        t.inserts[count] = stmt;
        return stmt;
    }

    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_OK;
    std::string message_;
    Header header_;
    std::vector<SchemaEntry> entries_;
    std::map<std::uint32_t, TableOut> tables_;
    std::vector<std::pair<std::string, std::int64_t>> sequence_;
    std::vector<std::string> notes_;
};

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

std::string FolderOf(const std::string& path) {
    const std::string folder = platform::FolderOf(path);
    return folder.empty() ? "." : folder;
}

// "<database>.salvage-<pid>" files of runs that were killed.
void RemoveLeftovers(const std::string& path) {
    const std::string folder = platform::WithFolderSeparator(platform::FolderOf(path));
    const std::string prefix = platform::FileNameOf(path) + ".salvage-";
    for (const std::string& name : platform::FilesInFolder(FolderOf(path))) {
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
    Writer writer(files.target);
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
    platform::FlushFolder(FolderOf(files.path));
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
    platform::FlushFolder(FolderOf(path));
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
