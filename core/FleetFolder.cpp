#include "core/FleetFolder.h"

#include "core/ProgramVersion.h"
#include "core/RunHistory.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/TextFile.h"

#include <array>
#include <charconv>
#include <vector>

namespace quillet {

namespace {

std::string Joined(const std::string& folder, const std::string& name) {
    return platform::Utf8Path(platform::FsPath(folder) / platform::FsPath(name));
}

bool IsReservedDeviceName(std::string_view name) {
    // Windows refuses these also with an extension: "con.local" is the console.
    const std::string stem(name.substr(0, name.find('.')));
    static constexpr std::array<std::string_view, 4> plain = {"con", "prn", "aux", "nul"};
    for (auto r : plain)
        if (stem == r)
            return true;
    return stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

// Whole records of a history text: a line end inside quotes belongs to its field.
struct RecordSpan {
    std::size_t begin, textEnd, end;
};
std::vector<RecordSpan> RecordsOf(std::string_view text) {
    std::vector<RecordSpan> out;
    std::size_t begin = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == '\n' && !quoted) {
            const std::size_t textEnd = i > begin && text[i - 1] == '\r' ? i - 1 : i;
            out.push_back({begin, textEnd, i + 1});
            begin = i + 1;
        }
    }
    return out; // a last record without its line end is still being written, or torn
}

std::uint64_t CheckOf(std::string_view record) {
    std::uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : record)
        h = (h ^ c) * 1099511628211ull;
    return h == 0 ? 1 : h; // 0 means "nothing copied"
}

std::string_view TextOf(std::string_view text, const RecordSpan& r) { return text.substr(r.begin, r.textEnd - r.begin); }

template <typename T> std::optional<T> NumberOf(std::string_view text) {
    T value{};
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() ? std::optional<T>(value) : std::nullopt;
}

// "key=value" lines; a value holds no line end.
std::vector<std::pair<std::string, std::string>> KeyLines(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const RecordSpan& r : RecordsOf(text)) {
        const std::string_view line = text.substr(r.begin, r.textEnd - r.begin);
        const auto eq = line.find('=');
        if (eq != std::string_view::npos)
            out.emplace_back(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    }
    return out;
}

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

constexpr const char* StatusEnd = "Complete=yes";

} // namespace

std::string FleetMachineFolderName(const std::string& hostName) {
    std::string out;
    const bool utf8 = platform::IsValidUtf8(hostName);
    for (char c : hostName) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || std::string_view("/\\<>:\"|?*").find(c) != std::string_view::npos ||
            (b >= 0x80 && !utf8))
            out += '_';
        else
            out += b < 0x80 && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (out.size() > 200) { // a name is at most 255 bytes on most systems; cut on a character
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    if (out.empty())
        return "_";
    return IsReservedDeviceName(out) ? "_" + out : out;
}

std::string PassResultOf(std::size_t compactedOrUnchanged, std::size_t failed) {
    return failed > 0 ? "failed" : compactedOrUnchanged == 0 ? "nothing-done" : "ok";
}

FleetStatus FleetStatusOf(const PassSummary& pass, int expectEveryHours, int graceHours) {
    FleetStatus s;
    s.machine = pass.machine;
    s.configuration = pass.configuration;
    s.started = pass.started;
    s.finished = pass.finished;
    s.databases = static_cast<int>(pass.databases.size());
    for (const HistoryRecord& r : pass.databases) {
        switch (KindOfOutcome(r.outcome)) {
        case OutcomeKind::Compacted: ++s.compacted; break;
        case OutcomeKind::Unchanged: ++s.unchanged; break;
        case OutcomeKind::Skipped: ++s.skipped; break;
        case OutcomeKind::Failed: ++s.failed; break;
        case OutcomeKind::Other: break;
        }
    }
    s.result = PassResultOf(static_cast<std::size_t>(s.compacted + s.unchanged), static_cast<std::size_t>(s.failed));
    s.version = PackageVersion;
    s.expectEveryHours = expectEveryHours;
    s.graceHours = graceHours;
    return s;
}

std::string FormatFleetStatus(const FleetStatus& s) {
    std::string text = "[LastPass]\r\n";
    const auto add = [&](const char* key, const std::string& value) { text += key + ("=" + OneLine(value)) + "\r\n"; };
    add("Machine", s.machine);
    add("Configuration", s.configuration);
    add("Started", s.started);
    add("Finished", s.finished);
    add("Result", s.result);
    add("Databases", std::to_string(s.databases));
    add("Compacted", std::to_string(s.compacted));
    add("Unchanged", std::to_string(s.unchanged));
    add("Skipped", std::to_string(s.skipped));
    add("Failed", std::to_string(s.failed));
    add("Version", s.version);
    add("ExpectEvery", std::to_string(s.expectEveryHours));
    add("Grace", std::to_string(s.graceHours));
    return text + StatusEnd + "\r\n";
}

std::optional<FleetStatus> ParseFleetStatus(std::string_view text) {
    const auto lines = KeyLines(text);
    if (lines.empty() || lines.back().first + "=" + lines.back().second != StatusEnd)
        return std::nullopt;
    FleetStatus s;
    const std::pair<const char*, std::string FleetStatus::*> texts[] = {
        {"Machine", &FleetStatus::machine}, {"Configuration", &FleetStatus::configuration},
        {"Started", &FleetStatus::started}, {"Finished", &FleetStatus::finished},
        {"Result", &FleetStatus::result},   {"Version", &FleetStatus::version}};
    const std::pair<const char*, int FleetStatus::*> numbers[] = {
        {"Databases", &FleetStatus::databases}, {"Compacted", &FleetStatus::compacted},
        {"Unchanged", &FleetStatus::unchanged}, {"Skipped", &FleetStatus::skipped},
        {"Failed", &FleetStatus::failed},       {"ExpectEvery", &FleetStatus::expectEveryHours},
        {"Grace", &FleetStatus::graceHours}};
    for (const auto& [key, value] : lines) {
        for (const auto& [name, member] : texts)
            if (key == name)
                s.*member = value;
        for (const auto& [name, member] : numbers)
            if (key == name)
                if (const auto n = NumberOf<int>(value); n && *n >= 0)
                    s.*member = *n;
    }
    if (s.expectEveryHours < 1)
        s.expectEveryHours = 24;
    return s.started.empty() ? std::nullopt : std::optional<FleetStatus>(s);
}

std::string FormatFleetMark(const FleetMark& mark) {
    return "target=" + OneLine(mark.target) + "\r\noffset=" + std::to_string(mark.offset) +
           "\r\ncheck=" + std::to_string(mark.check) + "\r\n";
}

FleetMark ParseFleetMark(std::string_view text) {
    FleetMark mark;
    for (const auto& [key, value] : KeyLines(text)) {
        if (key == "target")
            mark.target = value;
        else if (key == "offset")
            mark.offset = NumberOf<std::size_t>(value).value_or(0);
        else if (key == "check")
            mark.check = NumberOf<std::uint64_t>(value).value_or(0);
    }
    return mark;
}

std::string LastRecordOf(std::string_view history) {
    const auto records = RecordsOf(history);
    for (auto r = records.rbegin(); r != records.rend(); ++r)
        if (r->textEnd > r->begin)
            return std::string(TextOf(history, *r));
    return {};
}

FleetBatch PendingRecords(std::string_view local, const FleetMark& mark, const std::string& target,
                          std::string_view fleetLast) {
    const auto records = RecordsOf(local);
    std::size_t first = 0; // the first record not copied
    if (mark.target == target && mark.check != 0) {
        bool found = false;
        for (std::size_t i = records.size(); i-- > 0 && !found;)
            if (records[i].end == mark.offset && CheckOf(TextOf(local, records[i])) == mark.check)
                first = i + 1, found = true;
        for (std::size_t i = records.size(); i-- > 0 && !found;)
            if (CheckOf(TextOf(local, records[i])) == mark.check)
                first = i + 1, found = true;
    }
    // Where the copy ends as the mark says, nothing more went; else a batch went
    // without its mark moving.
    const bool agrees = first > 0 && TextOf(local, records[first - 1]) == fleetLast;
    if (!fleetLast.empty() && !agrees)
        for (std::size_t i = records.size(); i-- > first;)
            if (TextOf(local, records[i]) == fleetLast) {
                first = i + 1;
                break;
            }
    FleetBatch batch;
    batch.mark = {target, 0, 0};
    if (first > 0)
        batch.mark = {target, records[first - 1].end, CheckOf(TextOf(local, records[first - 1]))};
    for (std::size_t i = first; i < records.size(); ++i) {
        const std::string_view record = TextOf(local, records[i]);
        batch.mark.offset = records[i].end;
        batch.mark.check = CheckOf(record);
        if (!record.empty() && !IsHistoryHeader(record))
            batch.lines += std::string(record) + "\r\n";
    }
    return batch;
}

std::string CopyToFleet(const std::string& dataFolder, const std::string& fleetFolder, const FleetStatus& status) {
    if (!platform::FolderExists(fleetFolder))
        return "Fleet folder " + fleetFolder + " cannot be reached.";
    const std::string machineFolder = Joined(fleetFolder, FleetMachineFolderName(status.machine));
    if (!platform::CreateFolder(machineFolder))
        return "Fleet folder " + machineFolder + " could not be made: " + platform::LastFileErrorText() + ".";
    // Two passes of this machine ending together would both send the same records.
    const auto lock = platform::FileLock::Acquire(Joined(dataFolder, FleetLockFileName), 10000);
    if (!lock)
        return "Fleet copy: another pass of this machine is still copying; the lines wait for the next pass.";

    std::string local, markText, fleetTail;
    platform::ReadTextFile(Joined(dataFolder, HistoryFileName), local);
    platform::ReadTextFile(Joined(dataFolder, FleetMarkFileName), markText);
    const std::string fleetHistory = Joined(machineFolder, HistoryFileName);
    if (platform::FileExists(fleetHistory) && !platform::ReadTextFile(fleetHistory, fleetTail))
        return "Fleet history " + fleetHistory + " could not be read: " + platform::LastFileErrorText() + ".";
    const FleetBatch batch = PendingRecords(local, ParseFleetMark(markText), machineFolder, LastRecordOf(fleetTail));
    std::string problem;
    if (!batch.lines.empty() && !AppendHistoryLines(fleetHistory, batch.lines))
        problem = "Fleet history " + fleetHistory + " could not be written: " + platform::LastFileErrorText() + ".";
    else if (!platform::ReplaceFileContent(Joined(dataFolder, FleetMarkFileName), FormatFleetMark(batch.mark)))
        problem = "Fleet mark in " + dataFolder + " could not be written: " + platform::LastFileErrorText() + ".";
    const std::string statusPath = Joined(machineFolder, FleetStatusFileName);
    if (!platform::ReplaceFileContent(statusPath, FormatFleetStatus(status)) && problem.empty())
        problem = "Fleet status " + statusPath + " could not be written: " + platform::LastFileErrorText() + ".";
    return problem;
}

} // namespace quillet
