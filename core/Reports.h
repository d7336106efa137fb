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
// The same for one channel only ("mail", "ping" or "webhook").
void DeliverOutbox(const std::string& dataFolder, const std::string& onlyChannel);

// The heartbeat's start of a pass, into the outbox when a PingUrl is set.
void QueueStartPing(const std::string& dataFolder, const ReportSettings& settings, const std::string& about);
// A pass's report into the outbox for every channel that takes it: the mail as MailWhen
// says, the heartbeat's end (success or fail, the report's text as body) and the
// webhook's JSON.
struct PassReport;
void QueuePassReports(const std::string& dataFolder, const ReportSettings& settings, const PassReport& report);

} // namespace quillet
