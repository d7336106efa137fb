// Where a pass's outcome goes beyond this machine: section "Reports" of "Quillet.ini" in
// the folder where the compactor writes "error.log". Read by the compactor, QuilletSched
// and the administrator's Reports dialog; written by that dialog.
#pragma once

#include "platform/Mail.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet {

inline constexpr const char* ReportsSection = "Reports";
// The mail password's file in the data folder, kept by platform/SecretStore.h.
inline constexpr const char* MailPasswordFileName = "report-password";

// The keys as stored: texts, unchecked, missing keys as their defaults.
struct StoredReportSettings {
    std::string mailServer;        // MailServer; empty: no mail
    std::string mailPort = "587";  // MailPort
    std::string mailSecurity = "starttls"; // MailSecurity: starttls | tls | none
    std::string mailUser;          // MailUser; empty: no AUTH
    std::string mailFrom;          // MailFrom
    std::string mailTo;            // MailTo, comma-separated
    std::string mailWhen = "failures"; // MailWhen: failures | always | never
    std::string pingUrl;           // PingUrl; empty: no heartbeat
    std::string webhookUrl;        // WebhookUrl; empty: no webhook
    std::string tlsPin;            // TlsPin; empty: the system's trust store
    std::string fleetFolder;       // FleetFolder; empty: no fleet
    std::string expectEvery = "24"; // ExpectEvery, hours
    std::string grace = "12";      // Grace, hours
    std::string digestAt;          // DigestAt, HH:MM; empty: no digest from this machine
    bool operator==(const StoredReportSettings&) const = default;
};

enum class MailWhen { Failures, Always, Never };

// The settings a pass works with. A refused key is left out (its channel off, or its
// default) and named in `problems`, so that a pass still runs and says why.
struct ReportSettings {
    std::optional<platform::MailServer> mail; // without the password, which is read apart
    std::string mailFrom;
    std::vector<std::string> mailTo;
    MailWhen mailWhen = MailWhen::Failures;
    std::string pingUrl;
    std::string webhookUrl;
    std::string tlsPin; // normalized, or empty
    std::string fleetFolder;
    int expectEveryHours = 24;
    int graceHours = 12;
    std::optional<int> digestMinute; // minutes after midnight
    std::vector<std::string> problems;
};

StoredReportSettings ReadStoredReportSettings(const std::string& settingsPath);
// Writes every key; throws EIniFileException naming the file and the system's reason.
void SaveReportSettings(const std::string& settingsPath, const StoredReportSettings& stored);

// The first key a user must correct: its name in the file, and the message naming its field.
struct ReportSettingsRefusal {
    std::string key;
    std::string message;
};
std::optional<ReportSettingsRefusal> FirstReportSettingsRefusal(const StoredReportSettings& stored);
// The message for the first key a user must correct, naming its field, or nothing.
std::optional<std::string> ReportSettingsProblem(const StoredReportSettings& stored);
ReportSettings EffectiveReportSettings(const StoredReportSettings& stored);
inline ReportSettings ReadReportSettings(const std::string& settingsPath) {
    return EffectiveReportSettings(ReadStoredReportSettings(settingsPath));
}

} // namespace quillet
