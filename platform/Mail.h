// Sending one message to an SMTP server, with the TLS the user chose: never a silent
// downgrade, AUTH never before TLS unless the user chose no TLS at all.
#pragma once

#include "platform/Delivery.h"

#include <chrono>
#include <string>
#include <vector>

namespace quillet::platform {

enum class MailSecurity {
    StartTls, // plain connection, then STARTTLS; a server that offers none gets nothing more
    Tls,      // TLS from the first byte (port 465)
    None,     // no TLS at all
};

struct MailServer {
    std::string host;
    int port = 587;
    MailSecurity security = MailSecurity::StartTls;
    std::string user;     // empty: no AUTH
    std::string password; // never logged, never on a command line
    // NormalizedPin text: a certificate whose SHA-256 fingerprint this is is accepted in
    // place of a trusted chain. Empty: the system's trust store and the host name check.
    std::string tlsPin;
    std::chrono::seconds timeout{30}; // for the whole conversation
};

struct MailEnvelope {
    std::string from;            // an address alone
    std::vector<std::string> to; // addresses alone
};

// Hands `message` (a whole RFC 5322 message, lines ending in CR LF, already encoded as
// 7-bit text) to the server. Blocks at most server.timeout.
DeliveryResult SendMail(const MailServer& server, const MailEnvelope& envelope, const std::string& message);

} // namespace quillet::platform
