// The change stamps behind OnlyChanged: a database's size and time as they were after
// its last good compaction, one small file per database in the folder "compact-state".
#pragma once

#include "compactor/PassJournal.h"
#include "platform/Files.h"

#include <string>

namespace quillet::compactor {

class ChangeStamps {
public:
    ChangeStamps(std::string folder, const PassJournal& journal) : folder_(std::move(folder)), journal_(journal) {}

    bool unchangedSinceCompacted(const std::string& entry, const platform::FileStamp& stamp) const;
    // The database as it is now; a stamp that cannot be kept is said in the log.
    void rememberCompacted(const std::string& entry) const;

private:
    std::string pathOf(const std::string& entry) const;

    std::string folder_;
    const PassJournal& journal_;
};

} // namespace quillet::compactor
