#include "core/Outbox.h"

#include "platform/Files.h"
#include "platform/Programs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

namespace quillet {

namespace {

constexpr const char* MessageExtension = ".msg";
constexpr const char* ClaimExtension = ".claimed";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Header values stay on their line.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::optional<std::int64_t> Number(const std::string& text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(text);
}

// Milliseconds first, so that names sort oldest first; a random tail keeps two
// processes' names apart.
std::string NewName(const std::string& channel) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(ms)};
    static std::atomic<unsigned> sequence{0}; // keeps one process's messages in order within a millisecond
    char name[80];
    std::snprintf(name, sizeof name, "%013lld-%06u-%08llx-", static_cast<long long>(ms), sequence++ % 1000000,
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFULL));
    return name + channel + MessageExtension;
}

} // namespace

std::string SerializeMessage(const OutboxMessage& m) {
    std::string to;
    for (const auto& address : m.to)
        to += (to.empty() ? "" : ",") + OneLine(address);
    std::string out;
    out += "Channel: " + OneLine(m.channel) + "\n";
    out += "Created: " + std::to_string(m.created) + "\n";
    out += "About: " + OneLine(m.about) + "\n";
    out += "From: " + OneLine(m.from) + "\n";
    out += "To: " + to + "\n";
    out += "Url: " + OneLine(m.url) + "\n";
    out += "Method: " + OneLine(m.method) + "\n";
    out += "Content-Type: " + OneLine(m.contentType) + "\n";
    out += "Ping: " + OneLine(m.pingUrl) + "\n";
    out += "Not-Before: " + std::to_string(m.notBefore) + "\n";
    out += "Told: " + OneLine(m.told) + "\n";
    return out + "\n" + m.body;
}

std::optional<OutboxMessage> ParseMessage(const std::string& bytes) {
    const auto split = bytes.find("\n\n");
    if (split == std::string::npos)
        return std::nullopt;
    OutboxMessage m;
    m.method.clear();
    m.body = bytes.substr(split + 2);
    std::size_t from = 0;
    while (from < split) {
        const auto end = std::min(bytes.find('\n', from), split);
        const std::string line = bytes.substr(from, end - from);
        from = end + 1;
        const auto colon = line.find(": ");
        if (colon == std::string::npos)
            return std::nullopt;
        const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
        if (key == "Channel") m.channel = value;
        else if (key == "Created") m.created = Number(value).value_or(0);
        else if (key == "About") m.about = value;
        else if (key == "From") m.from = value;
        else if (key == "Url") m.url = value;
        else if (key == "Method") m.method = value;
        else if (key == "Content-Type") m.contentType = value;
        else if (key == "Ping") m.pingUrl = value;
        else if (key == "Not-Before") m.notBefore = Number(value).value_or(0);
        else if (key == "Told") m.told = value;
        else if (key == "To") {
            for (std::size_t at = 0; at < value.size();) {
                const auto comma = std::min(value.find(',', at), value.size());
                if (comma > at)
                    m.to.push_back(value.substr(at, comma - at));
                at = comma + 1;
            }
        }
    }
    if (m.channel != "mail" && m.channel != "ping" && m.channel != "webhook")
        return std::nullopt;
    if (m.created <= 0 || (m.channel == "mail" ? m.to.empty() : m.url.empty()))
        return std::nullopt;
    return m;
}

Outbox::Outbox(const std::string& dataFolder) : folder_(dataFolder + OutboxFolderName + platform::PathSeparator) {}

bool Outbox::put(const OutboxMessage& message) const {
    platform::CreateFolder(folder_.substr(0, folder_.size() - 1));
    return platform::CreateNewFile(folder_ + NewName(message.channel), SerializeMessage(message));
}

std::vector<std::string> Outbox::waiting() const {
    std::vector<std::string> names;
    for (auto& name : platform::FilesInFolder(folder_))
        if (EndsWith(name, MessageExtension))
            names.push_back(std::move(name));
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<OutboxMessage> Outbox::peek(const std::string& name) const {
    std::string bytes;
    if (!platform::ReadWholeFile(folder_ + name, bytes))
        return std::nullopt;
    return ParseMessage(bytes);
}

std::optional<Outbox::Claim> Outbox::claim(const std::string& name, std::int64_t now) const {
    Claim c;
    c.name = name;
    c.claimPath = folder_ + name + "." + std::to_string(now) + ClaimExtension;
    if (!platform::RenameFile(folder_ + name, c.claimPath))
        return std::nullopt;
    std::string bytes;
    if (platform::ReadWholeFile(c.claimPath, bytes))
        c.message = ParseMessage(bytes);
    return c;
}

void Outbox::finish(const Claim& claim) const {
    platform::RemoveFile(claim.claimPath);
}

bool Outbox::putBack(const Claim& claim, const OutboxMessage& updated) const {
    if (claim.message && updated != *claim.message &&
        !platform::ReplaceFileContent(claim.claimPath, SerializeMessage(updated)))
        return false;
    return platform::RenameFile(claim.claimPath, folder_ + claim.name);
}

std::vector<Outbox::Claim> Outbox::abandonedClaims(std::int64_t now, std::int64_t seconds) const {
    std::vector<Claim> out;
    for (const auto& file : platform::FilesInFolder(folder_)) {
        if (!EndsWith(file, ClaimExtension))
            continue;
        const std::string stem = file.substr(0, file.size() - std::string(ClaimExtension).size());
        const auto dot = stem.rfind('.');
        const auto since = dot == std::string::npos ? std::nullopt : Number(stem.substr(dot + 1));
        if (!since || now - *since < seconds)
            continue;
        Claim c;
        c.name = stem.substr(0, dot);
        c.claimPath = folder_ + file;
        std::string bytes;
        if (platform::ReadWholeFile(c.claimPath, bytes))
            c.message = ParseMessage(bytes);
        out.push_back(std::move(c));
    }
    return out;
}

} // namespace quillet
