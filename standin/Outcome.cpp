#include "standin/Outcome.h"

#include "standin/Engine.h"
#include "standin/SoundCheck.h"

#include <sqlite3.h>

namespace quillet::standin {

namespace {

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

} // namespace

Failure Explain(int rc, const std::string& sqliteMessage, int busySeconds, const char* what, bool repairing) {
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

std::string Plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

} // namespace quillet::standin
