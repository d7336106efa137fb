#include "core/HistorySummary.h"

#include "core/Convert.h"
#include "core/Include.h"
#include "platform/DataFolder.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>

namespace quillet {

namespace fs = std::filesystem;

std::optional<std::int64_t> SpaceSaved(const HistoryRecord& record) {
    if (KindOfOutcome(record.outcome) != OutcomeKind::Compacted || !record.sizeBefore || !record.sizeAfter)
        return std::nullopt;
    return *record.sizeBefore - *record.sizeAfter;
}

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

} // namespace

std::optional<platform::LocalDateTime> ParseStart(std::string_view start) {
    // yyyy-MM-ddTHH:mm:ss, then fractions and an offset, which are not needed here.
    platform::LocalDateTime m;
    if (start.size() < 19 || start[4] != '-' || start[7] != '-' || (start[10] != 'T' && start[10] != ' ') ||
        start[13] != ':' || start[16] != ':')
        return std::nullopt;
    if (!ReadDigits(start, 0, 4, m.year) || !ReadDigits(start, 5, 2, m.month) || !ReadDigits(start, 8, 2, m.day) ||
        !ReadDigits(start, 11, 2, m.hour) || !ReadDigits(start, 14, 2, m.minute) ||
        !ReadDigits(start, 17, 2, m.second))
        return std::nullopt;
    if (!TryEncodeDate(m.year, m.month, m.day) || m.hour > 23 || m.minute > 59 || m.second > 60)
        return std::nullopt;
    m.second = std::min(m.second, 59); // a leap second counts as the one before it
    return m;
}

std::int64_t MomentKey(const platform::LocalDateTime& m) {
    return static_cast<std::int64_t>(EncodeDate(m.year, m.month, m.day)) * 86400 + m.hour * 3600 + m.minute * 60 +
           m.second;
}

platform::LocalDateTime MomentOfKey(std::int64_t key) {
    const std::int64_t day = FloorDiv(key, 86400);
    const auto secs = static_cast<int>(key - day * 86400);
    platform::LocalDateTime m;
    DecodeDate(static_cast<Date>(day), m.year, m.month, m.day);
    m.hour = secs / 3600;
    m.minute = secs / 60 % 60;
    m.second = secs % 60;
    return m;
}

std::string StartText(std::string_view start) {
    const auto m = ParseStart(start);
    if (!m)
        return std::string(start);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", m->year, m->month, m->day, m->hour, m->minute);
    return text;
}

std::string SizeText(std::int64_t bytes) {
    const char* const units[] = {"KB", "MB", "GB", "TB", "PB"};
    // Through double, so the most negative size has a magnitude too.
    const double magnitude = std::fabs(static_cast<double>(bytes));
    const std::string sign = bytes < 0 ? "-" : "";
    if (magnitude < 1024)
        return sign + std::to_string(static_cast<long long>(magnitude)) + " bytes";
    double value = magnitude / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return sign + text;
}

HistoryTotals TotalsOf(const std::vector<const HistoryRecord*>& records) {
    HistoryTotals totals;
    std::set<std::pair<std::string_view, std::string_view>> passes;
    for (const HistoryRecord* r : records) {
        passes.emplace(r->start, r->configuration);
        ++totals.databases;
        switch (KindOfOutcome(r->outcome)) {
        case OutcomeKind::Compacted: ++totals.compacted; break;
        case OutcomeKind::Unchanged: ++totals.unchanged; break;
        case OutcomeKind::Skipped: ++totals.skipped; break;
        case OutcomeKind::Failed: ++totals.failed; break;
        case OutcomeKind::Other: break;
        }
        totals.spaceSaved += SpaceSaved(*r).value_or(0);
    }
    totals.passes = passes.size();
    return totals;
}

namespace {

// The configuration shown and the one the compactor was given may be spelt apart
// (relative, other separators) and still be one file.
class SameConfiguration {
public:
    explicit SameConfiguration(const std::string& wanted) : wanted_(wanted) {}
    bool operator()(const std::string& candidate) {
        if (candidate == wanted_)
            return true;
        auto [it, fresh] = known_.try_emplace(candidate, false);
        if (fresh) {
            std::error_code ec;
            it->second = !wanted_.empty() && !candidate.empty() &&
                         fs::equivalent(platform::FsPath(wanted_), platform::FsPath(candidate), ec) && !ec;
        }
        return it->second;
    }

private:
    const std::string& wanted_;
    std::map<std::string, bool, std::less<>> known_;
};

} // namespace

std::optional<LastPass> LastPassOf(const std::vector<HistoryRecord>& records, const std::string& configuration) {
    SameConfiguration same(configuration);
    const HistoryRecord* last = nullptr;
    std::int64_t lastKey = std::numeric_limits<std::int64_t>::min();
    for (const HistoryRecord& r : records) {
        const auto moment = ParseStart(r.start);
        if (!moment || !same(r.configuration))
            continue;
        // A later line of equal start is a later pass only when nothing tells them apart;
        // it is the same pass then anyway.
        if (const std::int64_t key = MomentKey(*moment); key >= lastKey) {
            lastKey = key;
            last = &r;
        }
    }
    if (!last)
        return std::nullopt;
    std::vector<const HistoryRecord*> pass;
    for (const HistoryRecord& r : records)
        if (r.start == last->start && r.configuration == last->configuration)
            pass.push_back(&r);
    return LastPass{last->start, TotalsOf(pass)};
}

std::string LastRunText(const LastPass& pass) {
    const HistoryTotals& t = pass.totals;
    std::string text = "Last run " + StartText(pass.start) + " \xE2\x80\x94 " + std::to_string(t.compacted) +
                       " compacted";
    if (t.unchanged)
        text += ", " + std::to_string(t.unchanged) + " unchanged";
    if (t.skipped)
        text += ", " + std::to_string(t.skipped) + " skipped";
    text += ", " + std::to_string(t.failed) + " failed, " + SizeText(t.spaceSaved) + " saved";
    return text;
}

std::string LastRunTextOf(const std::vector<HistoryRecord>& records, const std::string& configuration) {
    const auto pass = LastPassOf(records, configuration);
    return pass ? LastRunText(*pass) : std::string("No run recorded");
}

std::string CompactorFileOf(const std::string& compactorPath, const std::string& name) {
    if (const auto data = platform::InstalledDataFolder(compactorPath))
        return *data + name;
    const fs::path folder = platform::FsPath(compactorPath).parent_path();
    return folder.empty() ? name : platform::Utf8Path(folder / name);
}

bool ReadFileTail(const std::string& path, std::uint64_t limit, std::string& bytes, std::uint64_t& fileSize) {
    std::error_code ec;
    if (!fs::is_regular_file(platform::FsPath(path), ec))
        return false;
    std::ifstream in(platform::FsPath(path), std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    fileSize = static_cast<std::uint64_t>(size);
    const std::uint64_t count = std::min<std::uint64_t>(fileSize, limit);
    in.seekg(static_cast<std::streamoff>(fileSize - count));
    bytes.resize(count);
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    // A file cut shorter meanwhile gives what was there.
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

std::string FileTailFailure(const std::string& path) {
    const std::string system = platform::LastFileErrorText();
    std::error_code ec;
    const fs::path file = platform::FsPath(path);
    if (!fs::exists(file, ec))
        return "it does not exist";
    return fs::is_directory(file, ec) ? "it is a folder" : system;
}

bool ReadTextFileTail(const std::string& path, std::uint64_t limit, std::string& text, std::uint64_t& fileSize) {
    std::string bytes;
    if (!ReadFileTail(path, limit, bytes, fileSize))
        return false;
    if (bytes.size() >= fileSize) {
        text = platform::TextOfFileBytes(bytes);
        return true;
    }
    std::string head;
    const bool marked = platform::ReadFileHead(path, platform::Utf8Mark.size(), head) && platform::HasUtf8Mark(head);
    std::size_t skip = 0;
    while (skip < 3 && skip < bytes.size() && (static_cast<unsigned char>(bytes[skip]) & 0xC0) == 0x80)
        ++skip;
    text = platform::TextOfFileBytes(std::string_view(bytes).substr(skip), marked);
    return true;
}

HistoryLoad LoadHistory(const std::string& path, std::uint64_t limit) {
    HistoryLoad load;
    std::error_code ec;
    load.exists = fs::exists(platform::FsPath(path), ec);
    std::string text;
    if (!load.exists)
        return load;
    if (!ReadFileTail(path, limit, text, load.fileSize)) {
        load.failure = FileTailFailure(path);
        return load;
    }
    load.readable = true;
    if (text.size() < load.fileSize) {
        // The header names the columns; the tail begins after its first cut line.
        std::string head;
        std::ifstream in(platform::FsPath(path), std::ios::binary);
        std::getline(in, head);
        const std::size_t cut = text.find('\n');
        const std::size_t keep = cut == std::string::npos ? text.size() : cut + 1;
        load.bytesNotRead = load.fileSize - (text.size() - keep);
        text = platform::TextOfFileBytes(head) + "\n" +
               platform::TextOfFileBytes(std::string_view(text).substr(keep), platform::HasUtf8Mark(head));
    } else {
        text = platform::TextOfFileBytes(text);
    }
    load.contents = ParseHistory(text);
    return load;
}

const HistoryLoad& HistoryFileCache::get(const std::string& path) {
    std::error_code sizeError, timeError;
    const std::uint64_t size = fs::file_size(platform::FsPath(path), sizeError);
    const auto time = fs::last_write_time(platform::FsPath(path), timeError).time_since_epoch().count();
    const bool same = valid_ && path == path_ && !sizeError && !timeError && size == size_ && time == time_;
    if (!same) {
        load_ = LoadHistory(path);
        path_ = path;
        size_ = sizeError ? 0 : size;
        time_ = timeError ? 0 : static_cast<std::int64_t>(time);
        // A file that could not be looked at is looked at again next time.
        valid_ = !sizeError && !timeError;
    }
    return load_;
}

// ---- Log stamps ----

namespace {

std::vector<std::string> SplitDigitRuns(const std::string& text) {
    std::vector<std::string> runs;
    for (char c : text) {
        const bool digit = c >= '0' && c <= '9';
        if (runs.empty() || (runs.back()[0] >= '0' && runs.back()[0] <= '9') != digit)
            runs.emplace_back();
        runs.back() += c;
    }
    return runs;
}

bool IsDigitRun(const std::string& run) {
    return !run.empty() && run[0] >= '0' && run[0] <= '9';
}

} // namespace

LogStampReader::LogStampReader(Formatter date, Formatter time) : date_(std::move(date)) {
    // An afternoon and a morning moment whose fields all differ tell the fields and a
    // 12-hour clock's markers apart.
    platform::LocalDateTime afternoon{2033, 11, 22, 13, 44, 55, 0};
    platform::LocalDateTime morning = afternoon;
    morning.hour = 1;
    const auto pm = SplitDigitRuns(time(afternoon));
    auto am = SplitDigitRuns(time(morning));
    if (am.size() != pm.size())
        am = pm;
    for (std::size_t i = 0; i < pm.size(); ++i) {
        if (!IsDigitRun(pm[i])) {
            if (pm[i] == am[i]) {
                time_.push_back({Token::Literal, pm[i], {}});
            } else {
                time_.push_back({Token::Marker, pm[i], am[i]});
                twelveHour_ = true;
            }
            continue;
        }
        const int value = std::stoi(pm[i]);
        if (value == 13 || (value == 1 && std::stoi(am[i]) == 1))
            time_.push_back({Token::Hour, {}, {}});
        else if (value == 44)
            time_.push_back({Token::Minute, {}, {}});
        else if (value == 55)
            time_.push_back({Token::Second, {}, {}});
        else
            time_.push_back({Token::Literal, pm[i], {}});
    }
}

LogStampReader LogStampReader::Regional() {
    return LogStampReader(platform::ShortDateText, platform::LongTimeText);
}

std::optional<int> LogStampReader::secondsOfDay(std::string_view text) const {
    int hour = -1, minute = 0, second = 0;
    bool afternoon = false;
    std::size_t at = 0;
    for (const Token& token : time_) {
        if (token.kind == Token::Literal || token.kind == Token::Marker) {
            if (text.substr(at, token.text.size()) == token.text) {
                at += token.text.size();
                afternoon = token.kind == Token::Marker;
            } else if (token.kind == Token::Marker && text.substr(at, token.other.size()) == token.other) {
                at += token.other.size();
            } else {
                return std::nullopt;
            }
            continue;
        }
        int value = 0;
        std::size_t digits = 0;
        while (digits < 2 && at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + (text[at++] - '0');
            ++digits;
        }
        if (digits == 0)
            return std::nullopt;
        (token.kind == Token::Hour ? hour : token.kind == Token::Minute ? minute : second) = value;
    }
    if (twelveHour_) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (afternoon ? 12 : 0);
    }
    if (hour < 0 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return hour * 3600 + minute * 60 + second;
}

std::vector<std::string> LogLinesBetween(std::string_view log, std::int64_t fromKey, std::int64_t toKey,
                                         const LogStampReader& stamps) {
    std::vector<std::string> lines;
    if (toKey < fromKey)
        return lines;
    // A pass lasts hours at most; a span of weeks is cut rather than formatted day by day.
    const std::int64_t firstDay = FloorDiv(fromKey, 86400);
    const std::int64_t lastDay = std::min(FloorDiv(toKey, 86400), firstDay + 31);
    std::vector<std::pair<std::int64_t, std::string>> dates;
    for (std::int64_t day = firstDay; day <= lastDay; ++day)
        dates.emplace_back(day, stamps.dateText(MomentOfKey(day * 86400)));

    std::size_t at = 0;
    while (at < log.size()) {
        std::size_t end = log.find('\n', at);
        if (end == std::string_view::npos)
            end = log.size();
        std::string_view line = log.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        for (const auto& [day, text] : dates) {
            if (text.empty() || line.substr(0, text.size()) != text ||
                (line.size() > text.size() && line[text.size()] != ' '))
                continue;
            // A stamp without its time is midnight.
            const std::string_view rest = line.substr(std::min(line.size(), text.size() + 1));
            const std::int64_t key = day * 86400 + stamps.secondsOfDay(rest).value_or(0);
            if (key >= fromKey && key <= toKey)
                lines.emplace_back(line);
            break;
        }
    }
    return lines;
}

std::vector<std::string> PassLogLines(std::string_view log, const std::vector<HistoryRecord>& records,
                                      const std::string& start, const std::string& configuration,
                                      const LogStampReader& stamps) {
    const auto moment = ParseStart(start);
    if (!moment)
        return {};
    const std::int64_t from = MomentKey(*moment);
    double engineSeconds = 0;
    std::int64_t databases = 0;
    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    for (const HistoryRecord& r : records) {
        if (r.start == start && r.configuration == configuration) {
            ++databases;
            if (r.seconds && *r.seconds > 0 && *r.seconds < 1e9)
                engineSeconds += *r.seconds;
        } else if (const auto other = ParseStart(r.start)) {
            if (const std::int64_t key = MomentKey(*other); key > from)
                next = std::min(next, key);
        }
    }
    const std::int64_t span = static_cast<std::int64_t>(std::ceil(engineSeconds)) + 120 + 60 * databases;
    return LogLinesBetween(log, from, std::min(from + span, next - 1), stamps);
}

} // namespace quillet
