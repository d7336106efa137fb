#include "compactor/CompactionSettings.h"

#include "platform/Files.h"
#include "platform/Profile.h"

#include <exception>

namespace quillet::compactor {

CompactionSettings ReadCompactionSettings(const std::string& configurationPath, const std::string& programFolder) {
    CompactionSettings s;
    s.programFolder = programFolder;
    s.configurationPath = configurationPath;
    if (!platform::FileExists(configurationPath))
        return s;
    CfgValues values;
    try {
        values = ReadCfgForCompactor(configurationPath);
    } catch (const std::exception&) {
        return s;
    }
    s.description = platform::GetPrivateProfileString(CfgSection, "Description", "", configurationPath);
    s.accessPath = values.accessPath;
    s.databaseList = values.compactFiles;
    s.launchCommand = values.launchFile;
    s.workgroupFile = values.workgroup;
    s.userName = values.login;
    s.password = values.password;
    s.repairSwitch = values.repair ? " /repair" : "";
    s.options = values.options;
    return s;
}

std::vector<std::string> EntriesToCompact(const CompactionSettings& settings) {
    std::vector<std::string> entries;
    for (const auto& entry : settings.databaseList) {
        if (entry.empty())
            break;
        entries.push_back(entry);
    }
    return entries;
}

} // namespace quillet::compactor
