#include "scheduler/FleetOverview.h"

#include "core/FleetView.h"
#include "core/ReportSettings.h"
#include "platform/FsPath.h"
#include "scheduler/BackgroundCheck.h"

namespace quillet::scheduler {

namespace {

std::string InFolder(const std::string& folder, const char* name) {
    return platform::Utf8Path(platform::FsPath(folder) / name);
}

} // namespace

FleetAnswer FleetOverview(const std::string& dataFolder, std::int64_t now) {
    const ReportSettings settings = ReadReportSettings(InFolder(dataFolder, "Quillet.ini"));
    if (settings.fleetFolder.empty())
        return {CheckUnreadable, "No fleet folder is set: FleetFolder in section [Reports] of " +
                                     InFolder(dataFolder, "Quillet.ini") + "."};
    const FleetContents fleet = ReadFleet(settings.fleetFolder, now);
    if (!fleet.reachable)
        return {CheckUnreadable, "Fleet folder " + settings.fleetFolder + " cannot be read."};
    FleetAnswer answer;
    for (const FleetMachine& m : fleet.machines) {
        answer.text += FleetLine(m) + "\n";
        if (m.needsAttention())
            answer.exitCode = CheckRunFailures;
    }
    if (fleet.machines.empty())
        answer.text = "No machine has written to " + settings.fleetFolder + " yet.\n";
    return answer;
}

} // namespace quillet::scheduler
