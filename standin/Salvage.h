// The salvage of a damaged database: its rows read page by page into a new file
// beside it, which then takes its name; the damaged bytes stay under a name of
// their own.
#pragma once

#include "standin/PageReader.h"

#include <string>
#include <vector>

namespace quillet::standin {

// Reads the file at `path` and only checks it; stops at the first damage that needs
// a salvage.
Survey CheckDatabaseFile(const std::string& path);

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

// Builds the salvaged database, syncs it, keeps the damaged file as
// DamagedCopyName(...) and puts the salvaged one in its place. On failure the
// database is as it was.
SalvageResult SalvageInPlace(const std::string& path);

} // namespace quillet::standin
