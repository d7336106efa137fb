#include "standin/Repair.h"

#include "standin/Engine.h"
#include "standin/Salvage.h"
#include "standin/SqlText.h"

#include "platform/Files.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <unistd.h>
#include <vector>

namespace quillet::standin {

namespace {

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

// integrity_check stops listing at 100 problems.
std::string CountProblems(std::size_t n) {
    return n >= 100 ? "100 or more problems" : Plural(n, "problem");
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

bool IsBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// The repair's hold on the database while its pages are read: writers wait, so that
// a commit is never taken for damage.
struct RepairLock {
    bool logMode = false;
    bool locked = false; // in a write transaction of `db`'s own
    Failure failure;
};

// A database in WAL mode is repaired only while no other connection has it open: one
// that lingers would later write its log's frames into the file that took the
// database's name. The exclusive lock waits for every other connection to close, and
// nothing here checkpoints the log: its committed pages are read where they lie. A
// file too damaged to lock is read anyway.
RepairLock LockForRepair(Connection& db, FileLock& holder, const std::string& path, int busySeconds) {
    RepairLock lock;
    lock.logMode = InLogMode(db, path);
    if (lock.logMode) {
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        db.query("PRAGMA locking_mode = EXCLUSIVE");
    }
    const int rc = db.query("BEGIN IMMEDIATE");
    const Failure inUse{ExitBusy, "in use by another program for longer than " + std::to_string(busySeconds) +
                                      " s (a database in WAL mode is repaired only while no other program has it open)"
                                      "; not repaired, the file is as it was"};
    if (IsBusy(rc))
        lock.failure = lock.logMode ? inUse : Explain(rc, db.message(), busySeconds, "not repaired");
    lock.locked = rc == SQLITE_OK;
    if (!lock.failure.failed() && lock.logMode && !lock.locked && !holder.lock(path, busySeconds))
        lock.failure = inUse;
    return lock;
}

// What the check decided: a salvage (from `kept` when REINDEX was tried on the
// original), or a sound database, perhaps after REINDEX.
struct Checked {
    bool salvage = false;
    std::string kept;
    int exit = ExitOk;
    Failure failure;
};

// Problems that integrity_check found in sound pages: the original kept, then REINDEX
// in the check's transaction; committed when it fixed everything, else rolled back
// for the salvage to follow.
Checked Reindex(Connection& db, const std::string& path, const std::vector<std::string>& found, const Survey& check,
                RepairLock& lock, int busySeconds, const Report& report) {
    const std::vector<Disagreement> garbled = Disagreements(db, found, check);
    Checked result;
    std::string error;
    result.kept = KeepOriginal(db.get(), path, error);
    if (result.kept.empty()) {
        result.failure = {ExitWriteFailed, "not repaired: " + error + "; the file is as it was"};
        return result;
    }
    const int rc = db.query("REINDEX");
    if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_CORRUPT && (rc & 0xff) != SQLITE_ERROR) {
        result.failure = Explain(rc, db.message(), busySeconds, "not repaired");
        return result;
    }
    const std::vector<std::string> left = IntegrityProblems(db);
    if (left.empty() && lock.locked && db.query("COMMIT") != SQLITE_OK) {
        const int commitRc = sqlite3_extended_errcode(db.get());
        db.query("ROLLBACK");
        platform::RemoveFile(result.kept);
        platform::RemoveFile(result.kept + "-wal");
        result.failure = Explain(commitRc, db.message(), busySeconds, "not repaired");
        return result;
    }
    if (left.empty()) {
        lock.locked = false;
        ReportOddText(report.err, report.shown, check);
        result.exit = ReportReindex(report.out, report.err, report.shown, garbled, result.kept);
        return result;
    }
    // What REINDEX wrote goes; the salvage reads the kept original.
    if (lock.locked)
        db.query("ROLLBACK");
    lock.locked = false;
    report.out << report.shown << ": after REINDEX " << CountProblems(left.size())
               << (left.size() == 1 ? " remains" : " remain") << "; salvaging\n";
    result.salvage = true;
    return result;
}

// The page check, then integrity_check on a file whose tables' pages hold.
Checked CheckForRepair(Connection& db, const std::string& path, RepairLock& lock, int busySeconds,
                       const Report& report) {
    const Survey check = CheckDatabaseFile(db.get(), path);
    if (check.tableDamage) {
        report.out << report.shown << ": the page check found damage:\n";
        PrintProblems(report.out, check.problems);
        return {true, {}, ExitOk, {}};
    }
    const std::vector<std::string> found = IntegrityProblems(db);
    if (found.empty()) {
        report.out << report.shown << ": integrity check: ok\n";
        return {false, {}, ReportOddText(report.err, report.shown, check), {}};
    }
    report.out << report.shown << ": integrity check found " << CountProblems(found.size()) << ":\n";
    PrintProblems(report.out, found);
    return Reindex(db, path, found, check, lock, busySeconds, report);
}

// The salvage under the write lock, and its lines: one per table, then the summary.
Repaired SalvageStage(Connection& db, const std::string& path, const RepairLock& lock, const std::string& kept,
                      int busySeconds, const Report& report) {
    if (int rc = lock.locked ? SQLITE_OK : db.query("BEGIN IMMEDIATE"); IsBusy(rc))
        return {Explain(rc, db.message(), busySeconds, "not repaired")};
    const SalvageResult r = SalvageInPlace(db.get(), path, kept);
    db.query("ROLLBACK");
    if (!r.done) {
        if (r.sqliteCode == SQLITE_NOTADB)
            return {{ExitDamaged, "damaged beyond salvage (" + r.error + "); the file is as it was"}};
        return {{ExitWriteFailed, "not repaired: " + r.error + "; the file is as it was"}};
    }
    long long rows = 0;
    for (const TableCount& t : r.survey.tables)
        rows += t.rows;
    for (const std::string& note : r.notes)
        report.note(note);
    ReportOddText(report.err, report.shown, r.survey);
    const bool lost = r.survey.rowsLost();
    const std::string summary = std::string("repaired by salvage, ") + (lost ? "some rows lost" : "nothing lost") +
                                " (" + Plural(static_cast<std::size_t>(rows), "row") +
                                " salvaged); the damaged file is kept as " + r.damagedCopy;
    report.out << report.shown << ": " << summary << '\n';
    report.note(summary);
    return {{}, lost ? ExitRowsLost : ExitOk, true};
}

} // namespace

bool FileLock::lock(const std::string& path, int seconds) {
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

Repaired Repair(Connection& db, FileLock& holder, const std::string& path, int busySeconds, const Report& report) {
    RepairLock lock = LockForRepair(db, holder, path, busySeconds);
    if (lock.failure.failed())
        return {lock.failure};
    const Checked checked = CheckForRepair(db, path, lock, busySeconds, report);
    if (checked.failure.failed())
        return {checked.failure};
    if (checked.salvage)
        return SalvageStage(db, path, lock, checked.kept, busySeconds, report);
    if (lock.locked)
        db.query("COMMIT");
    // The database is sound and still ours: closing may take the log in and remove
    // it, as any last connection does.
    if (lock.logMode)
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    return {{}, checked.exit, false};
}

} // namespace quillet::standin
