// A pass's report beyond this machine: composed from its summary, kept in the outbox
// beside "error.log" until delivered (at most once) by mail, heartbeat and webhook.
#pragma once

#include "core/PassSummary.h"
#include "core/ReportSettings.h"
#include "platform/Delivery.h"

#include <string>
#include <vector>

namespace quillet {

// The answer of one channel to a test report, for "Quillet --report-test" and the
// Reports dialog: which channel, whether it delivered, the server's words or the step
// that failed in plain words.
struct ChannelAnswer {
    std::string channel; // "mail", "ping", "webhook"
    bool delivered = false;
    std::string answer;
};

// Sends a test report through every configured channel now, bypassing the outbox;
// `password` is the mail password (empty: none).
std::vector<ChannelAnswer> SendTestReports(const ReportSettings& settings, const std::string& password,
                                           const std::string& machine);

// The mail password kept for this user in `dataFolder` (platform/SecretStore.h).
bool StoreMailPassword(const std::string& dataFolder, const std::string& password, std::string& reason);

// Puts one plain-text UTF-8 mail to the configured recipients into the outbox of
// `dataFolder` (written whole, then renamed). False when no mail channel is configured
// or the outbox cannot be written.
bool QueueMail(const std::string& dataFolder, const std::string& subject, const std::string& body);

// Tries every message in the outbox of `dataFolder`, oldest first; what was delivered or
// finally refused is removed, what is older than 7 days is dropped; every refusal and
// drop is a line in "error.log" there. Returns within about 30 s per channel.
void DeliverOutbox(const std::string& dataFolder);

} // namespace quillet
