#include "platform/Mail.h"

#include "platform/HostName.h"
#include "platform/posix/Curl.h"

#include <cstring>

namespace quillet::platform {

namespace {

// What the conversation got to: the server's last reply and the last command sent
// (its first word only: an AUTH line carries the credentials).
struct Conversation {
    std::string lastReply;
    std::string lastCommand;
    bool greeted = false;
};

int Watch(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto& c = *static_cast<Conversation*>(user);
    if (type == CURLINFO_HEADER_IN) {
        std::string line(data, size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        c.lastReply = line;
        c.greeted = true;
    } else if (type == CURLINFO_HEADER_OUT) {
        const std::string line(data, std::min<size_t>(size, 16));
        c.lastCommand = line.substr(0, line.find_first_of(" \r\n"));
    }
    return 0;
}

struct Reader {
    const std::string& text;
    std::size_t at = 0;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user) {
    auto& r = *static_cast<Reader*>(user);
    const std::size_t n = std::min(size * count, r.text.size() - r.at);
    std::memcpy(buffer, r.text.data() + r.at, n);
    r.at += n;
    return n;
}

std::string Bracketed(const std::string& address) {
    return "<" + address + ">";
}

std::string UrlOf(const MailServer& server) {
    const std::string host = server.host.find(':') != std::string::npos ? "[" + server.host + "]" : server.host;
    const std::string helo = HostName();
    return (server.security == MailSecurity::Tls ? "smtps://" : "smtp://") + host + ":" +
           std::to_string(server.port) + "/" + (helo.find_first_of("/?#@ ") == std::string::npos ? helo : "");
}

// The step a command belongs to, as a user reads it.
std::string StepOf(const std::string& command) {
    if (command == "AUTH")
        return "authentication";
    if (command == "MAIL")
        return "sender";
    if (command == "RCPT")
        return "recipient";
    if (command == "STARTTLS")
        return "STARTTLS";
    return command == "EHLO" || command == "HELO" || command.empty() ? "connect" : "message";
}

DeliveryResult Outcome(const MailServer& server, CURLcode code, long reply, const Conversation& c,
                       const std::string& errorText) {
    DeliveryResult r;
    r.code = static_cast<int>(reply);
    const std::string at = "the server at port " + std::to_string(server.port);
    if (code == CURLE_OK) {
        r.status = Delivery::Delivered;
        r.step = "message";
        r.answer = c.lastReply;
        return r;
    }
    r.step = StepOf(c.lastCommand);
    if (code == CURLE_USE_SSL_FAILED) {
        r.step = "STARTTLS";
        r.answer = at + " does not offer STARTTLS, so nothing was sent (MailSecurity=starttls never falls back "
                        "to an unencrypted connection)";
    } else if (code == CURLE_LOGIN_DENIED) {
        // Kept: the report goes out once the password is put right.
        r.step = "authentication";
        r.answer = "authentication refused: " + c.lastReply;
    } else if (const std::string tls = posix::TlsProblem(code, errorText); !tls.empty()) {
        r.step = "TLS";
        if (code == CURLE_SSL_CONNECT_ERROR && server.security == MailSecurity::Tls && !c.greeted)
            r.answer = at + " does not speak TLS from the start: set MailSecurity=starttls (" + errorText + ")";
        else
            r.answer = tls;
        if (code == CURLE_PEER_FAILED_VERIFICATION)
            r.status = Delivery::Final;
    } else if (!c.greeted && server.security == MailSecurity::StartTls && server.port == 465) {
        r.answer = at + " expects TLS from the start: set MailSecurity=tls";
    } else if (reply >= 400 && !c.lastReply.empty()) {
        r.status = reply >= 500 ? Delivery::Final : Delivery::Temporary;
        r.answer = "the server refused the " + r.step + ": " + c.lastReply;
    } else if (!c.greeted) {
        r.step = "connect";
        r.answer = "no connection to " + server.host + " at port " + std::to_string(server.port) + ": " + errorText;
    } else {
        r.answer = errorText + (c.lastReply.empty() ? "" : " (the server's last words: " + c.lastReply + ")");
    }
    return r;
}

} // namespace

DeliveryResult SendMail(const MailServer& server, const MailEnvelope& envelope, const std::string& message) {
    posix::CurlHandle handle;
    CURL* curl = handle.get();
    if (!curl)
        return {Delivery::Temporary, "connect", "libcurl could not start", 0, std::nullopt};
    Conversation conversation;
    Reader reader{message};
    curl_slist* recipients = nullptr;
    for (const auto& to : envelope.to)
        recipients = curl_slist_append(recipients, Bracketed(to).c_str());
    const std::string url = UrlOf(server);
    const std::string from = Bracketed(envelope.from);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USE_SSL, server.security == MailSecurity::None ? CURLUSESSL_NONE : CURLUSESSL_ALL);
    if (!server.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, server.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, server.password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &reader);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, Watch);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &conversation);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    posix::SetTlsAndTimeout(curl, server.tlsPin, server.timeout);
    const CURLcode code = curl_easy_perform(curl);
    long reply = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
    curl_slist_free_all(recipients);
    return Outcome(server, code, reply, conversation, handle.errorText(code));
}

} // namespace quillet::platform
