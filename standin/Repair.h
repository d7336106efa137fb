// The repair: the database checked page by page and by integrity_check, then
// REINDEX for damage in indexes only, or a salvage for anything else.
#pragma once

#include "standin/Connection.h"
#include "standin/Outcome.h"

#include <string>

namespace quillet::standin {

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
    bool lock(const std::string& path, int seconds);

private:
    int fd_ = -1;
};

// What the repair ended with.
struct Repaired {
    Failure failure;       // the run ends here with this line
    int exit = 0;          // ExitOk, or ExitRowsLost when rows were lost or may be garbled
    bool salvaged = false; // the file was rebuilt: nothing is left to compact
};

// Repairs the database `db` has open at `path`; `holder` takes the file's own lock for
// a database in WAL mode too damaged for SQLite to lock it, and must outlive `db`.
Repaired Repair(Connection& db, FileLock& holder, const std::string& path, int busySeconds, const Report& report);

} // namespace quillet::standin
