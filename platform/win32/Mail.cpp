#include "platform/Mail.h"

#include "platform/Delivery.h"
#include "platform/HostName.h"
#include "platform/win32/DeliveryOutcome.h"
#include "platform/win32/MailChannel.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace quillet::platform {

namespace {

using win32::Outcome;
using win32::Deadline;
using win32::MailConnection;
using win32::TlsOutcome;
using Stop = std::optional<DeliveryResult>; // a value ends the conversation with it

// Servers that want TLS from the start say nothing; a plain server greets at once. Half
// the time at most, so that a second connection can find out which it is.
constexpr std::chrono::seconds kGreetingWait{10};

struct Reply {
    int code = 0;
    std::string text; // the last line, code included
    std::vector<std::string> lines; // what follows the code on each line
};

class SmtpDialogue {
public:
    SmtpDialogue(MailConnection& connection, Deadline deadline) : connection_(connection), deadline_(deadline) {}

    std::optional<Reply> Read(Deadline until) {
        Reply reply;
        std::string line;
        while (connection_.ReadLine(line, until) && reply.lines.size() < 200) {
            if (line.size() < 3 || !std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
                return Reply{0, line.substr(0, 200), {}};
            reply.code = std::stoi(line.substr(0, 3));
            reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
            if (line.size() == 3 || line[3] != '-') {
                reply.text = line.substr(0, 500);
                return reply;
            }
        }
        return std::nullopt;
    }
    std::optional<Reply> Read() { return Read(deadline_); }
    std::optional<Reply> Command(const std::string& line) {
        if (!connection_.Send(line + "\r\n", deadline_))
            return std::nullopt;
        return Read();
    }

    // `wanted`: the first digit of the reply that lets the conversation go on. 4xx is
    // worth another try, 5xx (and anything unexpected) is not.
    Stop Expect(const std::optional<Reply>& reply, int wanted, const char* step, const std::string& words = {}) const {
        if (!reply)
            return Outcome(Delivery::Temporary, step,
                           connection_.TimedOut() ? "no answer within the time limit" : "the server closed the connection");
        if (reply->code / 100 == wanted)
            return std::nullopt;
        const std::string answer = (words.empty() ? "the server refused the " + std::string(step) : words) + ": " + reply->text;
        return Outcome(reply->code / 100 == 4 ? Delivery::Temporary : Delivery::Final, step, answer, reply->code);
    }

private:
    MailConnection& connection_;
    Deadline deadline_;
};

// Lines that start with a dot get one more, so that none ends the message early.
std::string DotStuffed(const std::string& message) {
    std::string out;
    out.reserve(message.size() + message.size() / 50 + 8);
    bool lineStart = true;
    for (const char c : message) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    if (!lineStart)
        out += "\r\n";
    return out + ".\r\n";
}

std::string EhloName() {
    const std::string name = HostName();
    const bool fits = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
    });
    return fits ? name : "localhost";
}

struct Extensions {
    bool startTls = false;
    std::vector<std::string> auth; // mechanisms, upper case
};

Extensions Offered(const Reply& ehlo) {
    Extensions offered;
    for (std::size_t i = 1; i < ehlo.lines.size(); ++i) {
        std::string line = ehlo.lines[i];
        std::transform(line.begin(), line.end(), line.begin(), [](unsigned char c) { return std::toupper(c); });
        if (line == "STARTTLS")
            offered.startTls = true;
        if (line.rfind("AUTH ", 0) == 0 || line.rfind("AUTH=", 0) == 0) {
            std::istringstream words(line.substr(5));
            for (std::string word; words >> word;)
                offered.auth.push_back(word);
        }
    }
    return offered;
}

class MailSession {
public:
    MailSession(const MailServer& server, Deadline deadline)
        : server_(server), host_(win32::Wide(server.host)), pin_(NormalizedPin(server.tlsPin)),
          deadline_(deadline), smtp_(connection_, deadline) {}

    DeliveryResult Send(const MailEnvelope& envelope, const std::string& message) {
        if (!server_.tlsPin.empty() && pin_.empty())
            return Outcome(Delivery::Final, "TLS", "TlsPin is no SHA-256 fingerprint (64 hex digits)");
        if (auto why = connection_.Connect(host_, server_.port, deadline_))
            return Outcome(Delivery::Temporary, "connect",
                           "no connection to " + server_.host + " at port " + Port() + ": " + *why);
        Stop stop = Open();
        if (!stop)
            stop = Authenticate();
        DeliveryResult result = stop ? *stop : Transfer(envelope, message);
        if (result.code != 0) // the server is still listening: say goodbye
            smtp_.Command("QUIT");
        return result;
    }

private:
    std::string Port() const { return std::to_string(server_.port); }

    Stop Tls(const char* step) {
        const TlsOutcome outcome = connection_.StartTls(host_, pin_, deadline_);
        switch (outcome.kind) {
        case TlsOutcome::Ok:
            return std::nullopt;
        case TlsOutcome::Untrusted:
            return Outcome(Delivery::Final, "TLS", outcome.reason);
        case TlsOutcome::NotTls: // a setting to put right, as below: the report waits for it
            return Outcome(Delivery::Temporary, "TLS",
                           server_.security == MailSecurity::Tls
                               ? "the server at port " + Port() + " does not speak TLS from the start: set MailSecurity=starttls"
                               : "the server did not start TLS after " + std::string(step));
        default:
            return Outcome(Delivery::Temporary, "TLS", outcome.reason);
        }
    }

    // A server that says nothing may be waiting for TLS: a second connection finds out.
    bool ExpectsTlsFromStart() {
        MailConnection probe;
        if (probe.Connect(host_, server_.port, deadline_))
            return false;
        const auto kind = probe.StartTls(host_, pin_, deadline_).kind;
        return kind == TlsOutcome::Ok || kind == TlsOutcome::Untrusted;
    }

    Stop Greeting() {
        const auto wait = std::chrono::steady_clock::now() + std::min<std::chrono::seconds>(kGreetingWait, server_.timeout / 2);
        const auto greeting = smtp_.Read(server_.security == MailSecurity::Tls ? deadline_ : wait);
        if (!greeting && connection_.TimedOut() && server_.security != MailSecurity::Tls) {
            if (ExpectsTlsFromStart())
                return Outcome(Delivery::Temporary, "connect",
                               "the server at port " + Port() + " expects TLS from the start: set MailSecurity=tls");
            return Outcome(Delivery::Temporary, "connect", "the server sent no greeting");
        }
        return smtp_.Expect(greeting, 2, "connect");
    }

    Stop Hello() {
        const auto ehlo = smtp_.Command("EHLO " + EhloName());
        if (Stop stop = smtp_.Expect(ehlo, 2, "connect"))
            return stop;
        offered_ = Offered(*ehlo);
        return std::nullopt;
    }

    Stop Open() {
        if (server_.security == MailSecurity::Tls)
            if (Stop stop = Tls("connecting"))
                return stop;
        if (Stop stop = Greeting())
            return stop;
        if (Stop stop = Hello())
            return stop;
        if (server_.security != MailSecurity::StartTls)
            return std::nullopt;
        if (!offered_.startTls) // kept, as a wrong password: it goes out once the server is put right
            return Outcome(Delivery::Temporary, "STARTTLS",
                           "the server at port " + Port() +
                               " does not offer STARTTLS, so nothing was sent (MailSecurity=starttls never falls "
                               "back to an unencrypted connection)");
        if (Stop stop = smtp_.Expect(smtp_.Command("STARTTLS"), 2, "STARTTLS"))
            return stop;
        if (Stop stop = Tls("STARTTLS"))
            return stop;
        return Hello();
    }

    bool Offers(const char* mechanism) const {
        return std::find(offered_.auth.begin(), offered_.auth.end(), mechanism) != offered_.auth.end();
    }

    Stop Authenticate() {
        if (server_.user.empty())
            return std::nullopt;
        if (!connection_.Secure() && server_.security != MailSecurity::None)
            return Outcome(Delivery::Final, "authentication", "no TLS, so the password was not sent");
        const std::string refused = "authentication refused";
        // A refused password keeps the report: it goes out once the password is put right.
        const auto kept = [](Stop stop) {
            if (stop && stop->status == Delivery::Final)
                stop->status = Delivery::Temporary;
            return stop;
        };
        if (Offers("PLAIN"))
            return kept(smtp_.Expect(smtp_.Command("AUTH PLAIN " + Base64(std::string(1, '\0') + server_.user +
                                                                          std::string(1, '\0') + server_.password)),
                                     2, "authentication", refused));
        if (!Offers("LOGIN"))
            return Outcome(Delivery::Final, "authentication", "the server offers neither AUTH PLAIN nor AUTH LOGIN");
        if (Stop stop = smtp_.Expect(smtp_.Command("AUTH LOGIN"), 3, "authentication", refused))
            return stop;
        if (Stop stop = smtp_.Expect(smtp_.Command(Base64(server_.user)), 3, "authentication", refused))
            return kept(stop);
        return kept(smtp_.Expect(smtp_.Command(Base64(server_.password)), 2, "authentication", refused));
    }

    DeliveryResult Transfer(const MailEnvelope& envelope, const std::string& message) {
        const auto unsafe = [](const std::string& address) {
            return address.empty() || address.find_first_of("\r\n<>") != std::string::npos;
        };
        if (unsafe(envelope.from))
            return Outcome(Delivery::Final, "sender", "not a mail address: " + envelope.from);
        if (Stop stop = smtp_.Expect(smtp_.Command("MAIL FROM:<" + envelope.from + ">"), 2, "sender"))
            return *stop;
        for (const std::string& to : envelope.to) {
            if (unsafe(to))
                return Outcome(Delivery::Final, "recipient", "not a mail address: " + to);
            if (Stop stop = smtp_.Expect(smtp_.Command("RCPT TO:<" + to + ">"), 2, "recipient"))
                return *stop;
        }
        if (Stop stop = smtp_.Expect(smtp_.Command("DATA"), 3, "message"))
            return *stop;
        const auto taken = connection_.Send(DotStuffed(message), deadline_) ? smtp_.Read() : std::nullopt;
        if (Stop stop = smtp_.Expect(taken, 2, "message"))
            return *stop;
        return Outcome(Delivery::Delivered, "message", taken->text, taken->code);
    }

    const MailServer& server_;
    const std::wstring host_;
    const std::string pin_;
    const Deadline deadline_;
    MailConnection connection_;
    SmtpDialogue smtp_;
    Extensions offered_;
};

} // namespace

DeliveryResult SendMail(const MailServer& server, const MailEnvelope& envelope, const std::string& message) {
    if (envelope.to.empty())
        return Outcome(Delivery::Final, "recipient", "no recipient");
    MailSession session(server, std::chrono::steady_clock::now() + server.timeout);
    return session.Send(envelope, message);
}

} // namespace quillet::platform
