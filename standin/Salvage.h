// The salvage of a damaged database: its rows read page by page into a new file
// beside it, which then takes its name; the damaged bytes stay under a name of
// their own.
#pragma once

#include "standin/PageReader.h"

#include <string>
#include <vector>

struct sqlite3;

namespace quillet::standin {

// Reads the file that `db` has open at `path` and only checks it; stops at the first
// damage that needs a salvage. The file is read through SQLite's handle: the locks
// `db` holds stay.
Survey CheckDatabaseFile(sqlite3* db, const std::string& path);

struct SalvageResult {
    bool done = false;
    int sqliteCode = 0;          // why not done, when SQLite said so
    std::string error;           // why not done, in words
    Survey survey;
    std::vector<std::string> notes; // one line per table, then what could not be made again
    std::string damagedCopy;     // where the damaged bytes are kept
};

// "<name>.damaged-<yyyyMMdd-HHmmss><ext>" beside `path`, at the local time `when`.
std::string DamagedCopyName(const std::string& path, long long when);

// Copies the database's bytes, and its write-ahead log's when there is one (as
// "<kept>-wal"), to a free DamagedCopyName(...) before anything writes to it; the
// kept name, or empty with `error` set.
// The database's bytes are read through `db`'s handle, which has it open.
std::string KeepOriginal(sqlite3* db, const std::string& path, std::string& error);

// Builds the salvaged database, syncs it, keeps the damaged file as
// DamagedCopyName(...) (its log beside it) and puts the salvaged one in its place,
// without the old log. With `keptAlready` (from KeepOriginal), the rows come from
// that copy and nothing more is kept. On failure the database is as it was. The
// caller holds the database alone: no other connection may write into the old log.
// `db` has the database open (and holds its write lock); its bytes are read through
// `db`'s handle.
SalvageResult SalvageInPlace(sqlite3* db, const std::string& path, const std::string& keptAlready = {});

} // namespace quillet::standin
