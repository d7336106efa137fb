#include "core/FleetView.h"

#include "core/Convert.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace quillet {

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysOf(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// "2026-12-08 01:00" of an ISO start: the machine's own clock time.
std::string ShortTime(const std::string& iso) {
    if (iso.size() < 16)
        return iso.empty() ? "none" : iso;
    return iso.substr(0, 10) + " " + iso.substr(11, 5);
}

struct Pass {
    std::string start, configuration;
    std::int64_t when = 0;
    std::size_t done = 0, failed = 0;
    bool ok() const { return PassResultOf(done, failed) == "ok"; }
};

// The passes of a history, oldest first; starts that are no time are left out.
std::vector<Pass> PassesOf(const std::vector<HistoryRecord>& records) {
    std::map<std::pair<std::string, std::string>, Pass> passes;
    for (const HistoryRecord& r : records) {
        const auto when = UnixOfIso(r.start);
        if (!when)
            continue;
        Pass& p = passes[{r.start, r.configuration}];
        p.start = r.start;
        p.configuration = r.configuration;
        p.when = *when;
        const OutcomeKind kind = KindOfOutcome(r.outcome);
        p.done += kind == OutcomeKind::Compacted || kind == OutcomeKind::Unchanged;
        p.failed += kind == OutcomeKind::Failed;
    }
    std::vector<Pass> out;
    for (auto& [key, pass] : passes)
        out.push_back(std::move(pass));
    std::stable_sort(out.begin(), out.end(), [](const Pass& a, const Pass& b) { return a.when < b.when; });
    return out;
}

// The history's verdict, one configuration at a time: one that keeps failing is not
// hidden by another that is well.
void JudgeHistory(FleetMachine& m, const std::vector<Pass>& passes) {
    std::map<std::string, std::vector<const Pass*>> byConfiguration;
    for (const Pass& p : passes)
        byConfiguration[p.configuration].push_back(&p);
    std::int64_t lastGood = 0, failingSince = 0;
    for (const auto& [configuration, list] : byConfiguration) {
        std::size_t firstBad = list.size();
        for (std::size_t i = list.size(); i-- > 0 && !list[i]->ok();)
            firstBad = i;
        for (const Pass* p : list)
            if (p->ok() && p->when >= lastGood)
                lastGood = p->when, m.lastGood = p->start;
        if (firstBad == list.size())
            continue;
        m.failing = true;
        m.failuresSince += static_cast<int>(list.size() - firstBad);
        if (failingSince == 0 || list[firstBad]->when < failingSince)
            failingSince = list[firstBad]->when, m.failingSince = list[firstBad]->start;
    }
    if (!passes.empty()) {
        m.lastPass = passes.back().start;
        m.lastResult = PassResultOf(passes.back().done, passes.back().failed);
    }
}

} // namespace

std::optional<std::int64_t> UnixOfIso(std::string_view iso) {
    int y, mo, d, h, mi, s;
    if (!ReadDigits(iso, 0, 4, y) || iso.size() < 19 || iso[4] != '-' || !ReadDigits(iso, 5, 2, mo) || iso[7] != '-' ||
        !ReadDigits(iso, 8, 2, d) || (iso[10] != 'T' && iso[10] != ' ') || !ReadDigits(iso, 11, 2, h) || iso[13] != ':' ||
        !ReadDigits(iso, 14, 2, mi) || iso[16] != ':' || !ReadDigits(iso, 17, 2, s) || mo < 1 || mo > 12 || d < 1 || d > 31)
        return std::nullopt;
    std::size_t at = 19;
    if (at < iso.size() && (iso[at] == '.' || iso[at] == ','))
        for (++at; at < iso.size() && iso[at] >= '0' && iso[at] <= '9';)
            ++at;
    std::int64_t offset = 0;
    if (at < iso.size() && (iso[at] == '+' || iso[at] == '-')) {
        int oh, om = 0;
        const std::size_t minutes = at + 3 < iso.size() && iso[at + 3] == ':' ? at + 4 : at + 3;
        if (!ReadDigits(iso, at + 1, 2, oh) || (minutes < iso.size() && !ReadDigits(iso, minutes, 2, om)))
            return std::nullopt;
        offset = (iso[at] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    }
    return DaysOf(y, mo, d) * 86400 + h * 3600 + mi * 60 + s - offset;
}

FleetMachine AssessMachine(std::string folder, std::optional<FleetStatus> status, std::vector<HistoryRecord> records,
                           std::int64_t now) {
    FleetMachine m;
    m.folder = std::move(folder);
    m.name = status && !status->machine.empty() ? status->machine : m.folder;
    m.status = std::move(status);
    m.records = std::move(records);
    const std::vector<Pass> passes = PassesOf(m.records);
    JudgeHistory(m, passes);
    std::int64_t lastSeen = passes.empty() ? 0 : passes.back().when;
    int expect = 24, grace = 12;
    if (m.status) {
        expect = m.status->expectEveryHours;
        grace = m.status->graceHours;
        // A status newer than the history: the history's copy did not go through.
        const auto started = UnixOfIso(m.status->started);
        if (started && (passes.empty() || *started > passes.back().when)) {
            m.lastPass = m.status->started;
            m.lastResult = m.status->result;
            if (m.status->result == "ok")
                m.lastGood = m.status->started;
            else if (!m.failing)
                m.failing = true, m.failuresSince = 1, m.failingSince = m.status->started;
        }
        lastSeen = std::max({lastSeen, started.value_or(0), UnixOfIso(m.status->finished).value_or(0)});
    }
    m.silent = lastSeen == 0 || now - lastSeen > (static_cast<std::int64_t>(expect) + grace) * 3600;
    return m;
}

FleetContents ReadFleet(const std::string& fleetFolder, std::int64_t now) {
    namespace fs = std::filesystem;
    FleetContents fleet;
    std::error_code ec;
    fs::directory_iterator it(platform::FsPath(fleetFolder), ec);
    if (ec)
        return fleet;
    fleet.reachable = true;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::error_code typeError;
        if (!it->is_directory(typeError))
            continue;
        const std::string folder = platform::Utf8Path(it->path());
        std::string statusText, historyText;
        std::optional<FleetStatus> status;
        if (platform::ReadTextFile(platform::Utf8Path(it->path() / FleetStatusFileName), statusText))
            status = ParseFleetStatus(statusText);
        platform::ReadTextFile(platform::Utf8Path(it->path() / HistoryFileName), historyText);
        fleet.machines.push_back(AssessMachine(platform::Utf8Path(it->path().filename()), std::move(status),
                                               ParseHistory(historyText).records, now));
    }
    std::sort(fleet.machines.begin(), fleet.machines.end(),
              [](const FleetMachine& a, const FleetMachine& b) { return a.name < b.name; });
    return fleet;
}

std::string FleetLine(const FleetMachine& m) {
    std::string line = m.name + "  last pass " + ShortTime(m.lastPass);
    if (!m.lastResult.empty())
        line += " " + m.lastResult;
    line += "  last good " + ShortTime(m.lastGood) + "  failures since " + std::to_string(m.failuresSince);
    if (m.failing)
        line += "  FAILING";
    if (m.silent)
        line += "  SILENT";
    return line;
}

std::vector<const FleetMachine*> AttentionOrder(const std::vector<FleetMachine>& machines) {
    std::vector<const FleetMachine*> out;
    for (const FleetMachine& m : machines)
        out.push_back(&m);
    const auto rank = [](const FleetMachine* m) { return m->silent ? 0 : m->failing ? 1 : 2; };
    std::stable_sort(out.begin(), out.end(), [&](auto a, auto b) { return rank(a) < rank(b); });
    return out;
}

FleetDigest DigestOf(const std::vector<FleetMachine>& machines, const std::string& fleetFolder) {
    const auto attention = std::count_if(machines.begin(), machines.end(), [](auto& m) { return m.needsAttention(); });
    FleetDigest d;
    d.subject = "[Quillet DIGEST] " + std::to_string(attention) + " of " + std::to_string(machines.size()) +
                " machines need attention";
    d.body = "The machines of the fleet folder " + fleetFolder + ", silent ones first:\n\n";
    for (const FleetMachine* m : AttentionOrder(machines)) {
        d.body += FleetLine(*m) + "\n";
        if (const auto& st = m->status)
            d.body += "    " + st->configuration + ": " + std::to_string(st->databases) + " databases, " +
                      std::to_string(st->compacted) + " compacted, " + std::to_string(st->unchanged) + " unchanged, " +
                      std::to_string(st->skipped) + " skipped, " + std::to_string(st->failed) + " failed\n";
        if (m->silent && m->status)
            d.body += "    expected a pass every " + std::to_string(m->status->expectEveryHours) + " h, grace " +
                      std::to_string(m->status->graceHours) + " h\n";
    }
    if (machines.empty())
        d.body += "No machine has written to it yet.\n";
    return d;
}

} // namespace quillet
