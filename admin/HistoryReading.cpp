#include "admin/HistoryReading.h"

#include "core/AdminSettings.h"
#include "core/FleetView.h"
#include "core/ReportSettings.h"
#include "platform/FsPath.h"
#include "platform/HostName.h"

namespace quillet::admin {

namespace {

std::string When(const std::string& start) {
    return start.empty() ? "none" : StartText(start);
}

MachineRow RowOf(const FleetMachine& m) {
    return {m.name, When(m.lastGood), m.failing ? When(m.failingSince) : std::string(),
            m.silent ? "SILENT" : m.failing ? "FAILING" : "OK", m.needsAttention()};
}

// This machine as its own file has it, in place of or beside what the share holds; its name.
std::string PutThisMachine(std::vector<FleetMachine>& machines, const HistoryLoad& local, std::int64_t now) {
    const std::string host = platform::HostName();
    const std::string folder = FleetMachineFolderName(host);
    for (FleetMachine& m : machines)
        if (m.folder == folder) {
            m = AssessMachine(m.folder, m.status, local.contents.records, now);
            return m.name;
        }
    machines.push_back(AssessMachine(folder, std::nullopt, local.contents.records, now));
    return machines.back().name = host;
}

} // namespace

HistoryReading ReadHistory(const std::string& historyPath, std::int64_t now) {
    HistoryLoad local = LoadHistory(historyPath);
    HistoryReading reading;
    const ReportSettings settings =
        ReadReportSettings(platform::Utf8Path(platform::FsPath(historyPath).parent_path() / SettingsFileName));
    if (settings.fleetFolder.empty()) {
        reading.load = std::make_shared<const HistoryLoad>(std::move(local));
        return reading;
    }
    FleetContents fleet = ReadFleet(settings.fleetFolder, now);
    RecordMachines machines;
    machines.here = PutThisMachine(fleet.machines, local, now);
    machines.note = fleet.reachable ? "fleet folder " + settings.fleetFolder + ", " +
                                          std::to_string(fleet.machines.size()) + " machines"
                                    : "fleet folder " + settings.fleetFolder + " cannot be read: this machine only";
    std::vector<HistoryRecord> all;
    for (const FleetMachine& m : fleet.machines)
        for (const HistoryRecord& r : m.records) {
            all.push_back(r);
            machines.of.push_back(m.name);
        }
    local.contents.records = std::move(all);
    reading.load = std::make_shared<const HistoryLoad>(std::move(local));
    reading.machines = std::move(machines);
    for (const FleetMachine* m : AttentionOrder(fleet.machines))
        reading.machineRows.push_back(RowOf(*m));
    return reading;
}

} // namespace quillet::admin
