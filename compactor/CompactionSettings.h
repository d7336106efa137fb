// What a pass reads once from its configuration file and shares, unchanged, with every
// database it handles.
#pragma once

#include "core/CfgFile.h"

#include <string>
#include <vector>

namespace quillet::compactor {

struct CompactionSettings {
    std::string programFolder;     // the log folder, ending in the path separator
    std::string configurationPath; // the first argument
    std::string accessPath;        // quoted by QuotePath once it has been checked
    std::vector<std::string> databaseList;
    std::string launchCommand;
    std::string workgroupFile;
    std::string userName;
    std::string password;     // unshifted
    std::string repairSwitch; // " /repair" or empty
    std::string description;
    CfgOptions options;
};

// The settings of the file at `configurationPath`; a missing, unreadable or odd file
// reads as all defaults.
CompactionSettings ReadCompactionSettings(const std::string& configurationPath, const std::string& programFolder);

// The entries of the database list up to the first empty one, which ends it.
std::vector<std::string> EntriesToCompact(const CompactionSettings& settings);

} // namespace quillet::compactor
