// Delivery of the outbox: oldest first, each message claimed before it is sent, each
// channel given at most its budget of time, so that a pass is never held up long.
#include "core/AdminSettings.h"
#include "core/LogLine.h"
#include "core/Outbox.h"
#include "core/Reports.h"
#include "platform/Https.h"
#include "platform/Mail.h"
#include "platform/SecretStore.h"

#include <chrono>
#include <map>
#include <set>

namespace quillet {

namespace {

constexpr std::int64_t KeepSeconds = 7 * 24 * 3600;
// Far beyond any attempt's time-out: a claim this old lost its process.
constexpr std::int64_t AbandonedAfter = 10 * 60;
constexpr std::chrono::seconds ChannelBudget{30};

using Clock = std::chrono::steady_clock;

std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string Describe(const OutboxMessage& m) {
    const std::string what = "Report \"" + m.about + "\"";
    if (m.channel == "mail") {
        std::string to;
        for (const auto& address : m.to)
            to += (to.empty() ? "" : ", ") + address;
        return what + " by mail to " + to;
    }
    return what + (m.channel == "ping" ? " as heartbeat " : " to the webhook ") + m.url;
}

class Delivery {
public:
    explicit Delivery(const std::string& dataFolder)
        : folder_(dataFolder), outbox_(dataFolder),
          settings_(ReadReportSettings(dataFolder + SettingsFileName)) {}

    void run(const std::string& onlyChannel) {
        const std::int64_t now = Now();
        for (const Outbox::Claim& c : outbox_.abandonedClaims(now, AbandonedAfter)) {
            // It may have arrived: sending it again could deliver it twice.
            log(" " + (c.message ? Describe(*c.message) : "A report") +
                " was being sent when its process ended; it may not have arrived and is not sent again.");
            outbox_.finish(c);
        }
        const std::vector<std::string> names = outbox_.waiting();
        const std::map<std::string, std::string> lastPings = latestPings(names);
        for (const std::string& name : names) {
            const auto channel = ChannelOfName(name);
            if ((!onlyChannel.empty() && channel != onlyChannel) || stopped_.count(channel))
                continue;
            const auto claim = outbox_.claim(name, now);
            if (!claim)
                continue; // another process has it
            handle(*claim, now, lastPings);
        }
    }

private:
    // "mail", "ping" or "webhook", as the name ends.
    static std::string ChannelOfName(const std::string& name) {
        const auto dash = name.rfind('-');
        const auto dot = name.rfind('.');
        return dash == std::string::npos || dot == std::string::npos || dot < dash ? std::string()
                                                                                   : name.substr(dash + 1, dot - dash - 1);
    }

    // For each heartbeat, its newest ping's name: older ones are superseded.
    std::map<std::string, std::string> latestPings(const std::vector<std::string>& names) const {
        std::map<std::string, std::string> latest;
        for (const std::string& name : names)
            if (ChannelOfName(name) == "ping")
                if (const auto m = outbox_.peek(name))
                    latest[m->pingUrl] = name;
        return latest;
    }

    void handle(const Outbox::Claim& claim, std::int64_t now, const std::map<std::string, std::string>& lastPings) {
        if (!claim.message) {
            log(" The outbox file " + claim.name + " could not be read; it was removed.");
            outbox_.finish(claim);
            return;
        }
        const OutboxMessage& m = *claim.message;
        if (now - m.created > KeepSeconds) {
            log(" " + Describe(m) + " could not be delivered in 7 days; it was dropped.");
            outbox_.finish(claim);
            return;
        }
        if (m.channel == "ping") {
            const auto latest = lastPings.find(m.pingUrl);
            if (latest != lastPings.end() && latest->second != claim.name) {
                outbox_.finish(claim); // a later pass's ping says more; this one would mislead
                return;
            }
        }
        const auto left = ChannelBudget - std::chrono::duration_cast<std::chrono::seconds>(spent_[m.channel]);
        if (m.notBefore > now || left.count() < 1) {
            if (left.count() < 1)
                stopped_.insert(m.channel);
            outbox_.putBack(claim, m);
            return;
        }
        const auto began = Clock::now();
        const platform::DeliveryResult result = send(m, left);
        spent_[m.channel] += Clock::now() - began;
        settle(claim, result, now);
    }

    platform::DeliveryResult send(const OutboxMessage& m, std::chrono::seconds timeout) {
        if (m.channel != "mail") {
            platform::HttpRequest r{m.url, m.method, m.contentType, m.body, settings_.tlsPin, timeout};
            return platform::SendHttp(r);
        }
        platform::DeliveryResult r;
        if (!settings_.mail) {
            r.step = "settings";
            r.answer = "no mail server is set in " + folder_ + SettingsFileName;
            return r;
        }
        platform::MailServer server = *settings_.mail;
        server.timeout = timeout;
        if (!server.user.empty()) {
            std::string reason;
            const auto password = platform::LoadSecret(folder_ + MailPasswordFileName, reason);
            if (!password) {
                r.step = "authentication";
                r.answer = "the mail password cannot be used: " + reason + " (Quillet --report-password stores it)";
                return r;
            }
            server.password = *password;
        }
        return platform::SendMail(server, {m.from, m.to}, m.body);
    }

    void settle(const Outbox::Claim& claim, const platform::DeliveryResult& r, std::int64_t now) {
        const OutboxMessage& m = *claim.message;
        if (r.status == platform::Delivery::Delivered) {
            outbox_.finish(claim);
            return;
        }
        if (r.status == platform::Delivery::Final) {
            log(" " + Describe(m) + " was refused: " + r.answer + "; it is not sent again.");
            outbox_.finish(claim);
            return;
        }
        OutboxMessage later = m;
        if (r.retryAfter)
            later.notBefore = now + r.retryAfter->count();
        // Said once per reason, not at every hourly try.
        if (m.told != r.answer)
            log(" " + Describe(m) + " was not delivered yet: " + r.answer + "; it stays in the outbox.");
        later.told = r.answer;
        outbox_.putBack(claim, later);
        // The server or the network is not taking anything now: the channel's next
        // messages wait for the next try.
        stopped_.insert(m.channel);
    }

    void log(const std::string& message) const { LogInFolder(folder_, message); }

    std::string folder_;
    Outbox outbox_;
    ReportSettings settings_;
    std::map<std::string, Clock::duration> spent_; // by channel
    std::set<std::string> stopped_;
};

} // namespace

void DeliverOutbox(const std::string& dataFolder) {
    Delivery(dataFolder).run({});
}

void DeliverOutbox(const std::string& dataFolder, const std::string& onlyChannel) {
    Delivery(dataFolder).run(onlyChannel);
}

} // namespace quillet
