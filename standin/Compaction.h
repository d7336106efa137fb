// The compaction of a database in place, every rowid kept (but in WAL mode), nothing
// written before the file is known to be sound.
#pragma once

#include "standin/Connection.h"

#include <string>
#include <vector>

namespace quillet::standin {

struct Compaction {
    int exit = 0;
    std::string error;                   // the line for standard error when not done
    std::vector<std::string> renumbered; // tables whose rowids a plain VACUUM changed
};

// Compacts the database `db` has open at `path`: `checked` when the repair's check
// says it is sound already, else the check runs before or beside the copy. A writer's
// commit between the copy and its writing back starts it again, a few times at most.
Compaction Compact(Connection& db, const std::string& path, int busySeconds, bool checked);

} // namespace quillet::standin
