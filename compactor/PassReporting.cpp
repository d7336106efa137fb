#include "compactor/PassReporting.h"

#include "compactor/FleetCopy.h"
#include "core/AdminSettings.h"
#include "core/LogLine.h"
#include "core/NextPass.h"
#include "core/PassVerdict.h"
#include "core/Reports.h"
#include "core/ReportText.h"
#include "platform/Programs.h"

#include <exception>

namespace quillet::compactor {

namespace {

std::string Folder(const PassContext& context) {
    std::string folder = context.logFolder;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += platform::PathSeparator;
    return folder;
}

bool AnyChannel(const ReportSettings& settings) {
    return settings.mail || !settings.pingUrl.empty() || !settings.webhookUrl.empty();
}

void Starting(const PassContext& context, const std::string& configurationPath) {
    const std::string folder = Folder(context);
    const ReportSettings settings = ReadReportSettings(folder + SettingsFileName);
    if (settings.pingUrl.empty())
        return;
    QueueStartPing(folder, settings, "start of " + configurationPath);
    DeliverOutbox(folder, "ping");
}

void Ended(const PassContext& context, const PassSummary& summary) {
    const std::string folder = Folder(context);
    const ReportSettings settings = ReadReportSettings(folder + SettingsFileName);
    if (!AnyChannel(settings) && settings.problems.empty())
        return;
    for (const std::string& problem : settings.problems)
        LogInFolder(folder, " Reports: " + problem);
    PassReport report;
    report.summary = summary;
    report.verdict = JudgePass(summary, LastPassWasBad(folder, summary.configuration));
    RememberPassResult(folder, summary.configuration, report.verdict.result);
    report.nextPass = NextScheduledPass(folder, summary.configuration, LocalToday());
    QueuePassReports(folder, settings, report);
    DeliverOutbox(folder);
}

} // namespace

// A report that cannot be made or sent never changes how the pass ends.
void PassStarting(const PassContext& context, const std::string& configurationPath) {
    try {
        Starting(context, configurationPath);
    } catch (const std::exception& e) {
        LogInFolder(Folder(context), std::string(" Reports: the start could not be reported: ") + e.what());
    }
}

void PassEnded(const PassContext& context, const PassSummary& summary) {
    try {
        CopyPassToFleet(context, summary);
    } catch (const std::exception& e) {
        LogInFolder(Folder(context), std::string(" Fleet folder: the pass could not be copied: ") + e.what());
    }
    try {
        Ended(context, summary);
    } catch (const std::exception& e) {
        LogInFolder(Folder(context), std::string(" Reports: the pass could not be reported: ") + e.what());
    }
}

} // namespace quillet::compactor
