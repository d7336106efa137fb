// The check that comes before the first write of a compaction: whether the file is
// one that SQLite's file format allows, page by page, and what SQLite's own
// integrity_check says. A compaction of a damaged file would copy its damage, or
// lose rows, and report success.
#pragma once

#include "standin/PageReader.h"

#include <cstdint>
#include <string>

struct sqlite3;

namespace quillet::standin {

struct Soundness {
    bool damaged = false;
    std::string found; // the first sign of damage, briefly
    int failure = 0;   // SQLite's code when the check could not be made (busy, I/O): no verdict
};

// The database header's fields against what the format allows (the page count and
// the freelist are the page walk's); empty when they hold.
std::string HeaderProblem(const unsigned char* header);

// The verdict on a page walk that only checked.
Soundness SoundnessOf(const Survey& survey);

// Reads every page of `db`'s main file through SQLite's own handle, so that the
// locks its connection holds stay (closing a descriptor of our own would drop them),
// with the committed pages of the log beside it laid over them; then, when the
// pages hold, runs integrity_check on `checker` (which may be `db`). The caller keeps
// writers out meanwhile. Safe to run on a thread of its own while other connections
// read the file, as long as nothing else uses `db` or `checker`.
Soundness CheckSoundness(sqlite3* db, const std::string& path, sqlite3* checker);

// The engine's line for a refused file: "damaged (<found>); not compacted, ...".
std::string DamagedLine(const std::string& found);

} // namespace quillet::standin
