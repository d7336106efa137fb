// The outbox beside "error.log": one file per report not yet delivered, written whole
// under a new name, so that a report survives a network that is down and a pass that
// ends. A message is claimed (renamed) before it is sent, so that of two processes
// delivering at once only one sends it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

inline constexpr const char* OutboxFolderName = "outbox";

struct OutboxMessage {
    std::string channel;         // "mail", "ping" or "webhook"
    std::int64_t created = 0;    // seconds since 1970, UTC
    std::string about;           // what it reports (the subject), for log lines
    std::string from;            // mail: the envelope
    std::vector<std::string> to; // mail
    std::string url;             // ping, webhook
    std::string method = "POST";
    std::string contentType;
    std::string pingUrl;         // ping: the heartbeat it belongs to; a later one supersedes it
    std::int64_t notBefore = 0;  // not tried again before (a server's Retry-After)
    std::string told;            // the reason last written to "error.log" for it
    std::string body;            // mail: the whole message; HTTP: the request's body
    bool operator==(const OutboxMessage&) const = default;
};

std::string SerializeMessage(const OutboxMessage& message);
std::optional<OutboxMessage> ParseMessage(const std::string& bytes);

class Outbox {
public:
    // `dataFolder` ends in the separator; the outbox is its folder "outbox".
    explicit Outbox(const std::string& dataFolder);

    // Written whole under a new name; false when it could not be written.
    bool put(const OutboxMessage& message) const;
    // The waiting messages' names, oldest first.
    std::vector<std::string> waiting() const;
    // A waiting message as it is now, without taking it.
    std::optional<OutboxMessage> peek(const std::string& name) const;

    struct Claim {
        std::string name;
        std::string claimPath;
        std::optional<OutboxMessage> message; // nothing when the file is garbled
    };
    // Takes a waiting message for delivery; nothing when another process took it first.
    std::optional<Claim> claim(const std::string& name, std::int64_t now) const;
    // Delivered, refused or dropped: gone for good.
    void finish(const Claim& claim) const;
    // Back into the outbox under its old name, as `updated`; false when it could not be.
    bool putBack(const Claim& claim, const OutboxMessage& updated) const;

    // Claims older than `seconds`: their process ended before it could say how the
    // delivery went. Each is given back as a finished claim to log and remove.
    std::vector<Claim> abandonedClaims(std::int64_t now, std::int64_t seconds) const;

private:
    std::string folder_;
};

} // namespace quillet
