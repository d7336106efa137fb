#include "standin/Compaction.h"

#include "standin/DatabaseBytes.h"
#include "standin/Engine.h"
#include "standin/MappingGuard.h"
#include "standin/Outcome.h"
#include "standin/Scratch.h"
#include "standin/SoundCheck.h"
#include "standin/SqlText.h"
#include "core/Include.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <future>

namespace quillet::standin {

namespace {

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

// The small file's check: mapped, on the copy's own connection, before the copy.
// SQLite maps the file at the first read of a transaction and keeps the mapping while
// it lasts: the page walk's reads come from it too.
Soundness CheckMapped(Connection& reader, const std::string& path) {
    reader.query("PRAGMA mmap_size = " + std::to_string(CheckFirstBytes));
    reader.query("BEGIN");
    reader.query("SELECT count(*) FROM sqlite_schema");
    const Soundness found = CheckSoundness(reader.get(), path, reader.get());
    reader.query("COMMIT");
    return found;
}

// The copy made by VACUUM INTO; with `check` the file is checked first (a small one,
// mapped, through the copy's connection) or meanwhile (CopyWhileChecking). All read
// the same locked file. Their caches and the mapping are gone when this returns,
// before the write-back's own cache fills.
//
// No SQLite connection can cut the file short meanwhile: the guard's write lock keeps
// every other writer out, and the reader's shared lock keeps out a rollback of a hot
// journal. A program that ignores the locks may; what was read from the mapping
// after that (zeros, in place of a crash) is neither a verdict nor a copy.
RebuildResult CopyAndCheck(Connection& guard, const std::string& path, Scratch& scratch, const std::string& copyPath,
                           int busyMs, bool check) {
    const MappingGuard mapping; // outlives the reader, whose mapping goes when it closes
    Connection reader(path, SQLITE_OPEN_READONLY);
    if (reader.openResult() != SQLITE_OK)
        return {Rebuild::Failed, reader.openResult(), reader.message()};
    sqlite3_busy_timeout(reader.get(), busyMs);
    if (check && FileSize(path) > CheckFirstBytes)
        return CopyWhileChecking(guard, reader, path, scratch, copyPath, busyMs);
    const RebuildResult cut{Rebuild::Failed, SQLITE_IOERR, "the file was cut short by another program while it was read"};
    if (check) {
        const Soundness found = CheckMapped(reader, path);
        if (mapping.faulted())
            return cut;
        if (const RebuildResult verdict = Verdict(found); verdict.outcome != Rebuild::Done)
            return verdict;
    }
    const int rc = VacuumInto(reader, scratch, copyPath);
    if (mapping.faulted())
        return cut;
    if (rc != SQLITE_OK)
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

} // namespace

Compaction Compact(Connection& db, const std::string& path, int busySeconds, bool checked) {
    std::vector<std::string> mode;
    if (db.query("PRAGMA journal_mode", &mode) == SQLITE_OK && !mode.empty() && LowerAscii(mode.front()) == "wal")
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


} // namespace quillet::standin
