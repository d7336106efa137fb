// A database's backups: a copy named by the time it was made, written and flushed
// before the engine touches the database, and only the newest few kept.
#pragma once

#include "compactor/PassJournal.h"

#include <string>
#include <utility>

namespace quillet::compactor {

// The file name split at its last dot: "db" and ".mdb".
std::pair<std::string, std::string> NameAndExtension(const std::string& path);

class Backups {
public:
    // `keep`: the backups kept per database.
    Backups(std::string folder, int keep, const PassJournal& journal)
        : folder_(std::move(folder)), keep_(keep), journal_(journal) {}

    // Empty when the backup was written; otherwise why not, said in the log too.
    std::string backUp(const std::string& entry) const;

private:
    void prune(const std::string& name, const std::string& ext) const;

    std::string folder_;
    int keep_;
    const PassJournal& journal_;
};

} // namespace quillet::compactor
