#include "core/LogStampReader.h"

#include "core/Convert.h"
#include "core/HistoryTime.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillet {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::vector<std::string> SplitDigitRuns(const std::string& text) {
    std::vector<std::string> runs;
    for (char c : text) {
        if (runs.empty() || IsDigit(runs.back()[0]) != IsDigit(c))
            runs.emplace_back();
        runs.back() += c;
    }
    return runs;
}

// A run's number when it is one of a clock's fields (two digits at most); -1 otherwise.
int FieldValue(const std::string& run) {
    int value = -1;
    return run.size() <= 2 && ReadDigits(run, 0, run.size(), value) ? value : -1;
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
        if (!IsDigit(pm[i][0])) {
            if (pm[i] == am[i]) {
                time_.push_back({Token::Literal, pm[i], {}});
            } else {
                time_.push_back({Token::Marker, pm[i], am[i]});
                twelveHour_ = true;
            }
            continue;
        }
        const int value = FieldValue(pm[i]);
        if (value == 13 || (value == 1 && FieldValue(am[i]) == 1))
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
        // A field of one or two digits.
        int value = 0;
        const std::size_t digits = ReadDigits(text, at, 2, value) ? 2 : ReadDigits(text, at, 1, value) ? 1 : 0;
        if (digits == 0)
            return std::nullopt;
        at += digits;
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

namespace {

// The line's key when it begins with one of the dates, a space and a time, or with a
// date alone (midnight).
std::optional<std::int64_t> StampKeyOf(std::string_view line,
                                       const std::vector<std::pair<std::int64_t, std::string>>& dates,
                                       const LogStampReader& stamps) {
    for (const auto& [day, text] : dates) {
        if (text.empty() || line.substr(0, text.size()) != text ||
            (line.size() > text.size() && line[text.size()] != ' '))
            continue;
        const std::string_view rest = line.substr(std::min(line.size(), text.size() + 1));
        return day * 86400 + stamps.secondsOfDay(rest).value_or(0);
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> LogLinesBetween(std::string_view log, std::int64_t fromKey, std::int64_t toKey,
                                         const LogStampReader& stamps) {
    std::vector<std::string> lines;
    if (toKey < fromKey)
        return lines;
    // A pass lasts hours at most; a span of weeks is cut rather than formatted day by day.
    const std::int64_t firstDay = DayOfKey(fromKey);
    const std::int64_t lastDay = std::min(DayOfKey(toKey), firstDay + 31);
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
        const auto key = StampKeyOf(line, dates, stamps);
        if (key && *key >= fromKey && *key <= toKey)
            lines.emplace_back(line);
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
