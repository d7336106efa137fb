#include "core/Reports.h"

#include "core/AdminSettings.h"
#include "core/MailMessage.h"
#include "core/Outbox.h"
#include "core/ReportText.h"
#include "platform/HostName.h"
#include "platform/Https.h"
#include "platform/Mail.h"
#include "platform/RegionalTime.h"
#include "platform/SecretStore.h"

#include <chrono>
#include <random>

namespace quillet {

namespace {

constexpr std::size_t PingBodyLimit = 100 * 1024;

std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string UniqueId(std::int64_t now) {
    static std::mt19937_64 random{std::random_device{}()};
    return std::to_string(now) + "." + std::to_string(random() % 1000000000000ULL) + ".quillet";
}

std::string Mail(const ReportSettings& settings, const std::string& subject, const std::string& body,
                 const std::string& machine) {
    const std::int64_t now = Now();
    return ComposeMail({settings.mailFrom, settings.mailTo, subject, body}, platform::IsoLocalTime(now),
                       UniqueId(now), machine);
}

// A report by mail as the outbox keeps it: the composed message and its envelope.
OutboxMessage MailFor(const ReportSettings& settings, const std::string& subject, const std::string& body,
                      const std::string& machine) {
    OutboxMessage m;
    m.channel = "mail";
    m.created = Now();
    m.about = subject;
    m.from = settings.mailFrom;
    m.to = settings.mailTo;
    m.body = Mail(settings, subject, body, machine);
    return m;
}

// The heartbeat's address for a step: the PingUrl, or it followed by "/start" or "/fail".
std::string PingAddress(const std::string& pingUrl, const std::string& suffix) {
    std::string url = pingUrl;
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url + suffix;
}

// At most `limit` bytes, cut before a character that does not fit whole.
std::string Truncated(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

bool WantsMail(MailWhen when, PassResult result) {
    if (when == MailWhen::Never)
        return false;
    return when == MailWhen::Always || result != PassResult::Ok;
}

OutboxMessage Http(const std::string& channel, const std::string& about, const std::string& url) {
    OutboxMessage m;
    m.channel = channel;
    m.created = Now();
    m.about = about;
    m.url = url;
    return m;
}

ChannelAnswer AnswerOf(const std::string& channel, const platform::DeliveryResult& r) {
    return {channel, r.status == platform::Delivery::Delivered, r.answer.empty() ? r.step : r.answer};
}

} // namespace

bool StoreMailPassword(const std::string& dataFolder, const std::string& password, std::string& reason) {
    return platform::StoreSecret(dataFolder + MailPasswordFileName, password, reason);
}

bool QueueMail(const std::string& dataFolder, const std::string& subject, const std::string& body) {
    const ReportSettings settings = ReadReportSettings(dataFolder + SettingsFileName);
    if (!settings.mail)
        return false;
    return Outbox(dataFolder).put(MailFor(settings, subject, body, platform::HostName()));
}

void QueueStartPing(const std::string& dataFolder, const ReportSettings& settings, const std::string& about) {
    if (settings.pingUrl.empty())
        return;
    OutboxMessage m = Http("ping", about, PingAddress(settings.pingUrl, "/start"));
    m.pingUrl = settings.pingUrl;
    m.method = "GET";
    Outbox(dataFolder).put(m);
}

void QueuePassReports(const std::string& dataFolder, const ReportSettings& settings, const PassReport& report) {
    const Outbox outbox(dataFolder);
    const std::string subject = ReportSubject(report);
    const std::string text = ReportText(report);
    if (settings.mail && WantsMail(settings.mailWhen, report.verdict.result))
        outbox.put(MailFor(settings, subject, text, report.summary.machine));
    if (!settings.pingUrl.empty()) {
        const bool bad = IsBadResult(report.verdict.result);
        OutboxMessage m = Http("ping", subject, PingAddress(settings.pingUrl, bad ? "/fail" : ""));
        m.pingUrl = settings.pingUrl;
        m.contentType = "text/plain; charset=utf-8";
        m.body = Truncated(text, PingBodyLimit);
        outbox.put(m);
    }
    if (!settings.webhookUrl.empty()) {
        OutboxMessage m = Http("webhook", subject, settings.webhookUrl);
        m.contentType = "application/json";
        m.body = ReportJson(report);
        outbox.put(m);
    }
}

std::vector<ChannelAnswer> SendTestReports(const ReportSettings& settings, const std::string& password,
                                           const std::string& machine) {
    const std::string subject = "[Quillet TEST] " + machine + ": test report";
    const std::string text = subject + "\n\nA test report from Quillet on " + machine +
                             ". Reports of passes will come the same way.\n";
    std::vector<ChannelAnswer> answers;
    if (settings.mail) {
        platform::MailServer server = *settings.mail;
        server.password = password;
        answers.push_back(AnswerOf("mail", platform::SendMail(server, {settings.mailFrom, settings.mailTo},
                                                              Mail(settings, subject, text, machine))));
    }
    if (!settings.pingUrl.empty()) {
        // A success ping: the test leaves the heartbeat in a good state.
        platform::HttpRequest r{settings.pingUrl, "POST", "text/plain; charset=utf-8", text, settings.tlsPin};
        answers.push_back(AnswerOf("ping", platform::SendHttp(r)));
    }
    if (!settings.webhookUrl.empty()) {
        const std::string json = "{\"machine\":" + JsonString(machine) +
                                 ",\"result\":\"ok\",\"test\":true,\"subject\":" + JsonString(subject) + "}";
        platform::HttpRequest r{settings.webhookUrl, "POST", "application/json", json, settings.tlsPin};
        answers.push_back(AnswerOf("webhook", platform::SendHttp(r)));
    }
    return answers;
}

} // namespace quillet
