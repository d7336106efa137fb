// How one attempt to hand a message to a server ended, for the outbox to decide whether
// to try again.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace quillet::platform {

enum class Delivery {
    Delivered, // the server took it
    Temporary, // try again later: no connection, a time-out, SMTP 4xx, HTTP 5xx/408/429
    Final,     // refused for good: SMTP 5xx, HTTP 4xx but 408/429, a certificate not trusted
};

struct DeliveryResult {
    Delivery status = Delivery::Temporary;
    // The step that ended it, in plain words: "connect", "TLS", "STARTTLS", "authentication",
    // "sender", "recipient", "message", "request".
    std::string step;
    // The server's own words (its last reply line, the HTTP status line), or the system's
    // reason; UTF-8, never a password.
    std::string answer;
    int code = 0; // the SMTP reply code or HTTP status; 0 when none came
    // HTTP Retry-After, when the server gave one.
    std::optional<std::chrono::seconds> retryAfter;
};

// A server certificate's SHA-256 fingerprint as a user writes it (hex, colons and blanks
// allowed, any case) in the 64 lower-case hex digits that compare; empty when it is not one.
std::string NormalizedPin(const std::string& text);

// Base64 (RFC 4648, with padding, no line breaks), as mail uses it for headers and AUTH.
std::string Base64(const std::string& bytes);

} // namespace quillet::platform
