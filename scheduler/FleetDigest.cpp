#include "scheduler/FleetOverview.h"

#include "core/AdminSettings.h"
#include "core/FleetView.h"
#include "core/Include.h"
#include "core/LogLine.h"
#include "core/ReportSettings.h"
#include "core/Reports.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/FsPath.h"

namespace quillet::scheduler {

namespace {

std::string InFolder(const std::string& folder, const char* name) {
    return platform::Utf8Path(platform::FsPath(folder) / name);
}

std::string DayText(const platform::LocalDateTime& t) {
    return DateToDashText(EncodeDate(t.year, t.month, t.day));
}

// What stopped a digest that was due; empty when it was queued or was not due.
std::string QueueDigest(const std::string& dataFolder, const platform::LocalDateTime& now, std::int64_t unixNow) {
    const ReportSettings settings = ReadReportSettings(InFolder(dataFolder, SettingsFileName));
    if (!settings.digestMinute || settings.fleetFolder.empty())
        return {};
    // The hourly check and one started by hand at the same time send one digest.
    const auto lock = platform::FileLock::TryAcquire(InFolder(dataFolder, "digest.lock"));
    if (!lock)
        return {};
    const std::string markPath = InFolder(dataFolder, DigestMarkFileName);
    std::string lastSent;
    platform::ReadWholeFile(markPath, lastSent);
    if (!DigestDue(*settings.digestMinute, now, lastSent))
        return {};
    const FleetContents fleet = ReadFleet(settings.fleetFolder, unixNow);
    if (!fleet.reachable)
        return "the fleet folder " + settings.fleetFolder + " cannot be read; tried again at the next check.";
    const FleetDigest digest = DigestOf(fleet.machines, settings.fleetFolder);
    if (!QueueMail(dataFolder, digest.subject, digest.body))
        return "no mail could be queued (MailServer, MailFrom and MailTo in section [Reports]).";
    // Marked once queued: from here the outbox delivers it at most once.
    if (!platform::ReplaceFileContent(markPath, DayText(now) + "\r\n"))
        return markPath + " could not be written: " + platform::LastFileErrorText() + ".";
    return {};
}

} // namespace

bool DigestDue(int digestMinute, const platform::LocalDateTime& now, const std::string& lastSentDay) {
    return now.hour * 60 + now.minute >= digestMinute && TrimText(lastSentDay) != DayText(now);
}

void QueueDigestIfDue(const std::string& dataFolder, const platform::LocalDateTime& now, std::int64_t unixNow) {
    const std::string problem = QueueDigest(dataFolder, now, unixNow);
    if (!problem.empty())
        LogInFolder(dataFolder, " Digest: " + problem);
}

} // namespace quillet::scheduler
