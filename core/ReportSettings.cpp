#include "core/ReportSettings.h"

#include "core/CfgFile.h"
#include "core/Errors.h"
#include "core/Include.h"
#include "platform/Files.h"
#include "platform/Profile.h"

#include <array>

namespace quillet {

namespace {

// The keys in the order they are written, with their members.
struct Key {
    const char* name;
    std::string StoredReportSettings::*member;
};
constexpr std::array<Key, 14> Keys{{
    {"MailServer", &StoredReportSettings::mailServer},
    {"MailPort", &StoredReportSettings::mailPort},
    {"MailSecurity", &StoredReportSettings::mailSecurity},
    {"MailUser", &StoredReportSettings::mailUser},
    {"MailFrom", &StoredReportSettings::mailFrom},
    {"MailTo", &StoredReportSettings::mailTo},
    {"MailWhen", &StoredReportSettings::mailWhen},
    {"PingUrl", &StoredReportSettings::pingUrl},
    {"WebhookUrl", &StoredReportSettings::webhookUrl},
    {"TlsPin", &StoredReportSettings::tlsPin},
    {"FleetFolder", &StoredReportSettings::fleetFolder},
    {"ExpectEvery", &StoredReportSettings::expectEvery},
    {"Grace", &StoredReportSettings::grace},
    {"DigestAt", &StoredReportSettings::digestAt},
}};

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> Addresses(const std::string& list) {
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from <= list.size()) {
        const auto comma = list.find_first_of(",;", from);
        const std::string one = Trimmed(list.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (!one.empty())
            out.push_back(one);
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    return out;
}

bool LooksLikeAddress(const std::string& address) {
    const auto at = address.find('@');
    return at != std::string::npos && at > 0 && at + 1 < address.size() &&
           address.find_first_of(" \t<>\r\n\",") == std::string::npos;
}

bool IsWebAddress(const std::string& url) {
    const std::string lower = LowerAscii(url);
    for (const char* scheme : {"https://", "http://"})
        if (lower.rfind(scheme, 0) == 0 && lower.size() > std::string(scheme).size())
            return url.find_first_of(" \t\r\n") == std::string::npos;
    return false;
}

std::optional<int> WholeIn(const std::string& text, int low, int high) {
    const auto n = ParseWholeNumber(text);
    return n && *n >= low && *n <= high ? n : std::nullopt;
}

// Minutes after midnight of "HH:MM".
std::optional<int> ClockMinute(const std::string& text) {
    const std::string t = Trimmed(text);
    const auto colon = t.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2 || t.size() != colon + 3)
        return std::nullopt;
    const auto hour = WholeIn(t.substr(0, colon), 0, 23);
    const auto minute = WholeIn(t.substr(colon + 1), 0, 59);
    return hour && minute ? std::optional<int>(*hour * 60 + *minute) : std::nullopt;
}

std::optional<platform::MailSecurity> SecurityOf(const std::string& text) {
    const std::string t = LowerAscii(Trimmed(text));
    if (t == "starttls")
        return platform::MailSecurity::StartTls;
    if (t == "tls")
        return platform::MailSecurity::Tls;
    if (t == "none")
        return platform::MailSecurity::None;
    return std::nullopt;
}

std::optional<MailWhen> WhenOf(const std::string& text) {
    const std::string t = LowerAscii(Trimmed(text));
    if (t == "failures")
        return MailWhen::Failures;
    if (t == "always")
        return MailWhen::Always;
    if (t == "never")
        return MailWhen::Never;
    return std::nullopt;
}

// Every refused key, each message naming its field and what it takes.
std::vector<ReportSettingsRefusal> Problems(const StoredReportSettings& s) {
    std::vector<ReportSettingsRefusal> out;
    const auto refuse = [&](const char* key, const char* field, const std::string& value, const char* wanted) {
        out.push_back({key, std::string(field) + ": \"" + value + "\" is not " + wanted + "."});
    };
    const bool mail = !Trimmed(s.mailServer).empty();
    if (mail && !WholeIn(s.mailPort, 1, 65535))
        refuse("MailPort", "Mail port", s.mailPort, "a port number from 1 to 65535");
    if (mail && !SecurityOf(s.mailSecurity))
        refuse("MailSecurity", "Mail security", s.mailSecurity, "starttls, tls or none");
    if (mail && !LooksLikeAddress(Trimmed(s.mailFrom)))
        refuse("MailFrom", "Mail from", s.mailFrom, "an e-mail address");
    const auto to = Addresses(s.mailTo);
    if (mail && to.empty())
        refuse("MailTo", "Mail to", s.mailTo, "one or more e-mail addresses separated by commas");
    for (const auto& address : to)
        if (mail && !LooksLikeAddress(address))
            refuse("MailTo", "Mail to", address, "an e-mail address");
    if (!WhenOf(s.mailWhen))
        refuse("MailWhen", "Send mail", s.mailWhen, "failures, always or never");
    if (!Trimmed(s.pingUrl).empty() && !IsWebAddress(Trimmed(s.pingUrl)))
        refuse("PingUrl", "Ping URL", s.pingUrl, "an https:// or http:// address");
    if (!Trimmed(s.webhookUrl).empty() && !IsWebAddress(Trimmed(s.webhookUrl)))
        refuse("WebhookUrl", "Webhook URL", s.webhookUrl, "an https:// or http:// address");
    if (!Trimmed(s.tlsPin).empty() && platform::NormalizedPin(s.tlsPin).empty())
        refuse("TlsPin", "Certificate pin", s.tlsPin, "a SHA-256 fingerprint of 64 hex digits (colons allowed)");
    if (!WholeIn(s.expectEvery, 1, 24 * 366))
        refuse("ExpectEvery", "Expect a pass every", s.expectEvery, "a whole number of hours from 1 to 8784");
    if (!WholeIn(s.grace, 0, 24 * 366))
        refuse("Grace", "Grace", s.grace, "a whole number of hours from 0 to 8784");
    if (!Trimmed(s.digestAt).empty() && !ClockMinute(s.digestAt))
        refuse("DigestAt", "Digest at", s.digestAt, "a time of day as HH:MM");
    return out;
}

} // namespace

StoredReportSettings ReadStoredReportSettings(const std::string& settingsPath) {
    StoredReportSettings s;
    for (const Key& key : Keys)
        s.*key.member = platform::GetPrivateProfileString(ReportsSection, key.name, s.*key.member, settingsPath);
    return s;
}

void SaveReportSettings(const std::string& settingsPath, const StoredReportSettings& stored) {
    for (const Key& key : Keys)
        if (!platform::WritePrivateProfileString(ReportsSection, key.name, stored.*key.member, settingsPath))
            throw EIniFileException(settingsPath, platform::LastFileErrorText());
}

std::optional<ReportSettingsRefusal> FirstReportSettingsRefusal(const StoredReportSettings& stored) {
    auto problems = Problems(stored);
    if (problems.empty())
        return std::nullopt;
    return problems.front();
}

std::optional<std::string> ReportSettingsProblem(const StoredReportSettings& stored) {
    auto refusal = FirstReportSettingsRefusal(stored);
    return refusal ? std::optional<std::string>(std::move(refusal->message)) : std::nullopt;
}

ReportSettings EffectiveReportSettings(const StoredReportSettings& s) {
    ReportSettings r;
    for (auto& refusal : Problems(s))
        r.problems.push_back(std::move(refusal.message));
    const auto port = WholeIn(s.mailPort, 1, 65535);
    const auto security = SecurityOf(s.mailSecurity);
    r.mailFrom = Trimmed(s.mailFrom);
    r.mailTo = Addresses(s.mailTo);
    r.tlsPin = platform::NormalizedPin(s.tlsPin);
    const bool addressesGood = LooksLikeAddress(r.mailFrom) && !r.mailTo.empty();
    if (!Trimmed(s.mailServer).empty() && port && security && addressesGood) {
        platform::MailServer server;
        server.host = Trimmed(s.mailServer);
        server.port = *port;
        server.security = *security;
        server.user = Trimmed(s.mailUser);
        server.tlsPin = r.tlsPin;
        r.mail = server;
    }
    r.mailWhen = WhenOf(s.mailWhen).value_or(MailWhen::Failures);
    if (IsWebAddress(Trimmed(s.pingUrl)))
        r.pingUrl = Trimmed(s.pingUrl);
    if (IsWebAddress(Trimmed(s.webhookUrl)))
        r.webhookUrl = Trimmed(s.webhookUrl);
    r.fleetFolder = Trimmed(s.fleetFolder);
    r.expectEveryHours = WholeIn(s.expectEvery, 1, 24 * 366).value_or(24);
    r.graceHours = WholeIn(s.grace, 0, 24 * 366).value_or(12);
    r.digestMinute = ClockMinute(s.digestAt);
    return r;
}

} // namespace quillet
