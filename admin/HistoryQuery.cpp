#include "admin/HistoryQuery.h"

#include "core/Convert.h"
#include "core/LogStampReader.h"
#include "platform/RegionalTime.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <set>

namespace quillet::admin {

namespace {

constexpr std::int64_t NoTime = std::numeric_limits<std::int64_t>::min();
constexpr double MB = 1024.0 * 1024.0;

std::string FileNameOf(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string SizeOrNothing(const std::optional<std::int64_t>& bytes) {
    return bytes ? SizeText(*bytes) : std::string();
}

// One decimal whatever the locale.
std::string OneDecimal(double value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

template <class T> int CompareOptional(const std::optional<T>& a, const std::optional<T>& b) {
    if (!a || !b)
        return int(bool(a)) - int(bool(b));
    return *a < *b ? -1 : *b < *a ? 1 : 0;
}

int CompareText(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

const std::int64_t EpochKey = MomentKey(platform::LocalDateTime{1970, 1, 1, 0, 0, 0, 0});

void SortByTime(std::vector<ChartPoint>& points) {
    std::stable_sort(points.begin(), points.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return a.unixSeconds < b.unixSeconds; });
}

} // namespace

std::int64_t LocalToUnix(std::int64_t key) {
    std::int64_t guess = key - EpochKey;
    for (int i = 0; i < 2; ++i)
        guess -= MomentKey(platform::LocalDateTimeOf(guess)) - key;
    return guess;
}

std::string_view HistoryColumnTitle(HistoryColumn column) {
    static constexpr std::string_view titles[] = {"When",       "Configuration", "Database", "Outcome", "Size before",
                                                  "Size after", "Saved",         "Seconds",  "Detail",  "Machine"};
    return titles[static_cast<int>(column)];
}

std::vector<std::string> HistoryColumnTitles() {
    std::vector<std::string> titles;
    for (int c = 0; c < HistoryColumnCount; ++c)
        titles.emplace_back(HistoryColumnTitle(static_cast<HistoryColumn>(c)));
    return titles;
}

// A switch, so that a new outcome cannot go without its words.
std::string OutcomeWords(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Ok: return "Compacted";
    case RunOutcome::Unchanged: return "Unchanged";
    case RunOutcome::InUse: return "In use";
    case RunOutcome::NoSpace: return "No space";
    case RunOutcome::Failed: return "Failed";
    case RunOutcome::TimedOut: return "Timed out";
    case RunOutcome::NotStarted: return "Not started";
    case RunOutcome::BackupFailed: return "Backup failed";
    case RunOutcome::Damaged: return "Damaged";
    case RunOutcome::Other: break;
    }
    return {};
}

std::string OutcomeWords(const HistoryRecord& record) {
    return record.outcome == RunOutcome::Other ? std::string(OutcomeTextOf(record)) : OutcomeWords(record.outcome);
}

std::optional<std::int64_t> StartInstant(std::string_view start) {
    const auto clock = ParseStart(start);
    if (!clock)
        return std::nullopt;
    const std::int64_t key = MomentKey(*clock);
    std::size_t at = 19;
    if (at < start.size() && (start[at] == '.' || start[at] == ','))
        for (++at; at < start.size() && start[at] >= '0' && start[at] <= '9'; ++at) {
        }
    if (at == start.size())
        return LocalToUnix(key);
    if (start[at] == 'Z' && at + 1 == start.size())
        return key - EpochKey;
    if (start[at] != '+' && start[at] != '-')
        return std::nullopt;
    const int sign = start[at] == '-' ? -1 : 1;
    int hours = 0, minutes = 0;
    const std::string_view rest = start.substr(at + 1);
    const bool ok = (rest.size() == 2 && ReadDigits(rest, 0, 2, hours)) ||
                    (rest.size() == 4 && ReadDigits(rest, 0, 2, hours) && ReadDigits(rest, 2, 2, minutes)) ||
                    (rest.size() == 5 && rest[2] == ':' && ReadDigits(rest, 0, 2, hours) && ReadDigits(rest, 3, 2, minutes));
    if (!ok)
        return std::nullopt;
    return key - EpochKey - sign * (hours * 3600 + minutes * 60);
}

// ---- Rows ----

void HistoryQuery::setHistory(std::shared_ptr<const HistoryLoad> load, std::optional<RecordMachines> machines) {
    load_ = std::move(load);
    machines_ = std::move(machines);
    if (machines_)
        machines_->of.resize(records().size());
    keys_.clear();
    keys_.reserve(records().size());
    std::optional<Date> first, last;
    for (const HistoryRecord& r : records()) {
        const auto moment = ParseStart(r.start);
        keys_.push_back(moment ? MomentKey(*moment) : NoTime);
        if (moment) {
            const Date date = EncodeDate(moment->year, moment->month, moment->day);
            first = first ? std::min(*first, date) : date;
            last = last ? std::max(*last, date) : date;
        }
    }
    if (first) {
        if (!dataFirst_ || !filter_.from || *filter_.from == *dataFirst_)
            filter_.from = first;
        if (!dataLast_ || !filter_.to || *filter_.to == *dataLast_ || *filter_.to < *filter_.from)
            filter_.to = last;
        dataFirst_ = first;
        dataLast_ = last;
    }
    setFilter(filter_);
}

const std::vector<HistoryRecord>& HistoryQuery::records() const {
    static const std::vector<HistoryRecord> none;
    return load_ ? load_->contents.records : none;
}

void HistoryQuery::setFilter(HistoryFilter filter) {
    filter_ = std::move(filter);
    if (!filter_.database.empty()) {
        const auto& rs = records();
        bool known = false;
        for (std::size_t i = 0; i < rs.size() && !known; ++i)
            known = rs[i].database == filter_.database &&
                    (filter_.configuration.empty() || rs[i].configuration == filter_.configuration) &&
                    (filter_.machine.empty() || machineOf(i) == filter_.machine);
        if (!known)
            filter_.database.clear();
    }
    refilter();
}

std::vector<HistoryColumn> HistoryQuery::columnsShown() const {
    std::vector<HistoryColumn> columns;
    if (acrossMachines())
        columns.push_back(HistoryColumn::Machine);
    for (int c = 0; c < HistoryColumnCount; ++c)
        if (static_cast<HistoryColumn>(c) != HistoryColumn::Machine)
            columns.push_back(static_cast<HistoryColumn>(c));
    return columns;
}

const std::string& HistoryQuery::machineOf(std::size_t recordIndex) const {
    static const std::string none;
    return machines_ && recordIndex < machines_->of.size() ? machines_->of[recordIndex] : none;
}

// A moment key counts the seconds of whole days: its day is the date.
std::optional<Date> HistoryQuery::dateOf(std::size_t index) const {
    if (keys_[index] == NoTime)
        return std::nullopt;
    const std::int64_t key = keys_[index];
    return static_cast<Date>(key >= 0 ? key / 86400 : (key - 86399) / 86400);
}

bool HistoryQuery::passes(std::size_t index, bool ignoreOutcomeAndDatabase) const {
    const HistoryRecord& r = records()[index];
    if (!filter_.configuration.empty() && r.configuration != filter_.configuration)
        return false;
    if (!filter_.machine.empty() && machineOf(index) != filter_.machine)
        return false;
    if (const auto date = dateOf(index)) {
        if ((filter_.from && *date < *filter_.from) || (filter_.to && *date > *filter_.to))
            return false;
    }
    if (ignoreOutcomeAndDatabase)
        return true;
    if (!filter_.database.empty() && r.database != filter_.database)
        return false;
    if (filter_.outcome == AnyFailure)
        return KindOfOutcome(r.outcome) == OutcomeKind::Failed;
    if (filter_.outcome == AnySkip)
        return KindOfOutcome(r.outcome) == OutcomeKind::Skipped;
    return filter_.outcome.empty() || OutcomeTextOf(r) == filter_.outcome;
}

void HistoryQuery::refilter() {
    shown_.clear();
    for (std::size_t i = 0; i < records().size(); ++i)
        if (passes(i, false))
            shown_.push_back(i);
    sort();
}

void HistoryQuery::sortBy(HistoryColumn column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
    sort();
}

void HistoryQuery::sort() {
    const auto& rs = records();
    auto compare = [&](std::size_t a, std::size_t b) {
        const HistoryRecord& x = rs[a];
        const HistoryRecord& y = rs[b];
        switch (sortColumn_) {
        case HistoryColumn::When:
            return keys_[a] < keys_[b] ? -1 : keys_[a] > keys_[b] ? 1 : CompareText(x.start, y.start);
        case HistoryColumn::Configuration: return CompareText(x.configuration, y.configuration);
        case HistoryColumn::Database: return CompareText(x.database, y.database);
        case HistoryColumn::Outcome: return CompareText(OutcomeWords(x), OutcomeWords(y));
        case HistoryColumn::SizeBefore: return CompareOptional(x.sizeBefore, y.sizeBefore);
        case HistoryColumn::SizeAfter: return CompareOptional(x.sizeAfter, y.sizeAfter);
        case HistoryColumn::Saved: return CompareOptional(SpaceSaved(x), SpaceSaved(y));
        case HistoryColumn::Seconds: return CompareOptional(x.seconds, y.seconds);
        case HistoryColumn::Machine: return CompareText(machineOf(a), machineOf(b));
        case HistoryColumn::Detail: break;
        }
        return CompareText(x.detail, y.detail);
    };
    std::sort(shown_.begin(), shown_.end(), [&](std::size_t a, std::size_t b) {
        const int c = descending_ ? compare(b, a) : compare(a, b);
        return c != 0 ? c < 0 : (descending_ ? a > b : a < b);
    });
}

std::optional<std::size_t> HistoryQuery::rowOf(std::size_t recordIndex) const {
    const auto it = std::find(shown_.begin(), shown_.end(), recordIndex);
    if (it == shown_.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - shown_.begin());
}

std::string HistoryQuery::cellText(std::size_t row, HistoryColumn column) const {
    const HistoryRecord& r = recordAt(row);
    switch (column) {
    case HistoryColumn::When: return StartText(r.start);
    case HistoryColumn::Configuration: return FileNameOf(r.configuration);
    case HistoryColumn::Database: return FileNameOf(r.database);
    case HistoryColumn::Outcome: return OutcomeWords(r);
    case HistoryColumn::SizeBefore: return SizeOrNothing(r.sizeBefore);
    case HistoryColumn::SizeAfter: return SizeOrNothing(r.sizeAfter);
    case HistoryColumn::Saved: return SizeOrNothing(SpaceSaved(r));
    case HistoryColumn::Seconds: return r.seconds ? OneDecimal(*r.seconds) : std::string();
    case HistoryColumn::Machine: return machineOf(shown_[row]);
    case HistoryColumn::Detail: break;
    }
    return r.detail;
}

std::string HistoryQuery::cellFullText(std::size_t row, HistoryColumn column) const {
    const HistoryRecord& r = recordAt(row);
    switch (column) {
    case HistoryColumn::When: return r.start;
    case HistoryColumn::Configuration: return r.configuration;
    case HistoryColumn::Database: return r.database;
    case HistoryColumn::Detail: return r.detail;
    default: return {};
    }
}

// ---- Filter boxes ----

namespace {

// Paths by their file names, the path as the tip; a name that two paths share shows
// the paths, which alone tell them apart.
std::vector<FilterChoice> NamedChoices(const char* all, const std::set<std::string>& paths) {
    std::map<std::string, int> names;
    for (const std::string& p : paths)
        ++names[FileNameOf(p)];
    std::vector<FilterChoice> choices{{all, ""}};
    for (const std::string& p : paths)
        choices.push_back({names[FileNameOf(p)] > 1 ? p : FileNameOf(p), p, p});
    return choices;
}

} // namespace

std::vector<FilterChoice> HistoryQuery::configurationChoices() const {
    std::set<std::string> configurations;
    for (const HistoryRecord& r : records())
        configurations.insert(r.configuration);
    return NamedChoices("All configurations", configurations);
}

std::vector<FilterChoice> HistoryQuery::databaseChoices() const {
    std::set<std::string> databases;
    for (std::size_t i = 0; i < records().size(); ++i)
        if ((filter_.configuration.empty() || records()[i].configuration == filter_.configuration) &&
            (filter_.machine.empty() || machineOf(i) == filter_.machine))
            databases.insert(records()[i].database);
    return NamedChoices("All databases", databases);
}

std::vector<FilterChoice> HistoryQuery::outcomeChoices() const {
    std::vector<FilterChoice> choices{
        {"All outcomes", ""}, {"Failures", std::string(AnyFailure)}, {"Skipped", std::string(AnySkip)}};
    for (const RunOutcome o : KnownOutcomes())
        choices.push_back({OutcomeWords(o), std::string(OutcomeText(o))});
    std::set<std::string> others; // a newer program's
    for (const HistoryRecord& r : records())
        if (r.outcome == RunOutcome::Other)
            others.insert(r.otherOutcome);
    for (const std::string& o : others)
        choices.push_back({o, o});
    return choices;
}

std::vector<FilterChoice> HistoryQuery::machineChoices() const {
    std::vector<FilterChoice> choices{{"All machines", ""}};
    if (!machines_)
        return choices;
    const std::set<std::string> names(machines_->of.begin(), machines_->of.end());
    for (const std::string& name : names)
        choices.push_back({name, name});
    return choices;
}

// ---- Totals ----

HistoryTotals HistoryQuery::totals() const {
    std::vector<const HistoryRecord*> shown;
    shown.reserve(shown_.size());
    for (std::size_t i : shown_)
        shown.push_back(&records()[i]);
    return TotalsOf(shown);
}

std::string HistoryQuery::totalsText() const {
    const HistoryTotals t = totals();
    auto count = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return count(t.passes, "pass", "passes") + ", " + count(t.compacted, "database", "databases") + " compacted, " +
           count(t.failed, "failure", "failures") + ", " + SizeText(t.spaceSaved) + " saved";
}

std::string HistoryQuery::fileNote(const std::string& path) const {
    const std::string fleet = machines_ && !machines_->note.empty() ? " \xE2\x80\x94 " + machines_->note : "";
    if (!load_ || !load_->exists)
        return "No history yet: " + path + " does not exist." + fleet;
    if (!load_->readable)
        return path + " cannot be read: " + load_->failure + "." + fleet;
    std::string note = path + " (" + SizeText(static_cast<std::int64_t>(load_->fileSize)) + ")";
    if (load_->bytesNotRead)
        note += " \xE2\x80\x94 a large file: its oldest " + SizeText(static_cast<std::int64_t>(load_->bytesNotRead)) +
                " are not shown";
    if (const std::size_t skipped = load_->contents.skippedLines)
        note += " \xE2\x80\x94 " + std::to_string(skipped) + " unreadable line" + (skipped == 1 ? "" : "s") + " skipped";
    return note + fleet;
}

// ---- Charts ----

SizeSeries HistoryQuery::sizeChart(std::optional<std::size_t> selectedRecord) const {
    const auto& rs = records();
    SizeSeries chart;
    const std::string database = selectedRecord ? rs[*selectedRecord].database : filter_.database;
    // The same path on two machines is two databases.
    const std::string* machine = selectedRecord && acrossMachines() ? &machineOf(*selectedRecord) : nullptr;
    if (!database.empty()) {
        for (std::size_t i = 0; i < rs.size(); ++i) {
            const HistoryRecord& r = rs[i];
            if (r.database != database || !passes(i, true) || (machine && machineOf(i) != *machine))
                continue;
            if (const auto at = StartInstant(r.start)) {
                if (r.sizeBefore)
                    chart.before.push_back({*at, static_cast<double>(*r.sizeBefore) / MB});
                if (r.sizeAfter)
                    chart.after.push_back({*at, static_cast<double>(*r.sizeAfter) / MB});
            }
        }
        chart.title = "Size of " + FileNameOf(database);
        if (machine || (acrossMachines() && !filter_.machine.empty()))
            chart.title += " on " + (machine ? *machine : filter_.machine);
    } else if (!filter_.configuration.empty()) {
        std::map<std::string, std::pair<std::optional<double>, std::optional<double>>> passSizes;
        for (std::size_t i = 0; i < rs.size(); ++i) {
            const HistoryRecord& r = rs[i];
            if (!passes(i, true))
                continue;
            auto& [b, a] = passSizes[machineOf(i) + "\n" + r.start];
            if (r.sizeBefore)
                b = b.value_or(0) + static_cast<double>(*r.sizeBefore) / MB;
            if (r.sizeAfter)
                a = a.value_or(0) + static_cast<double>(*r.sizeAfter) / MB;
        }
        for (const auto& [key, sizes] : passSizes)
            if (const auto at = StartInstant(key.substr(key.find('\n') + 1))) {
                if (sizes.first)
                    chart.before.push_back({*at, *sizes.first});
                if (sizes.second)
                    chart.after.push_back({*at, *sizes.second});
            }
        chart.title = "Size of the databases of " + FileNameOf(filter_.configuration);
    } else {
        chart.title = "Select a database to see its size";
    }
    SortByTime(chart.before);
    SortByTime(chart.after);
    return chart;
}

std::vector<ChartPoint> HistoryQuery::savedPerNight() const {
    return savedPerNight(nullptr);
}

std::vector<std::pair<std::string, std::vector<ChartPoint>>> HistoryQuery::savedPerNightByMachine() const {
    std::set<std::string> names;
    for (std::size_t i : shown_)
        names.insert(machineOf(i));
    std::vector<std::pair<std::string, std::vector<ChartPoint>>> out;
    for (const std::string& name : names)
        out.emplace_back(name, savedPerNight(&name));
    return out;
}

std::vector<ChartPoint> HistoryQuery::savedPerNight(const std::string* machine) const {
    std::map<Date, double> nights;
    for (std::size_t i : shown_)
        if (const auto date = dateOf(i); date && (!machine || machineOf(i) == *machine))
            nights[*date] += static_cast<double>(SpaceSaved(records()[i]).value_or(0)) / MB;
    std::vector<ChartPoint> points;
    for (const auto& [date, mb] : nights)
        points.push_back({LocalToUnix(static_cast<std::int64_t>(date) * 86400), mb});
    return points;
}

// ---- The log ----

LogPane HistoryQuery::passLog(std::optional<std::size_t> selectedRecord, const std::string& logPath) {
    if (!selectedRecord || *selectedRecord >= records().size())
        return {"error.log", "Select a pass to see what it wrote to error.log."};
    const HistoryRecord& r = records()[*selectedRecord];
    LogPane pane;
    pane.title = "error.log, pass of " + StartText(r.start) + " (" + FileNameOf(r.configuration) + ")";
    if (machines_ && machineOf(*selectedRecord) != machines_->here) {
        pane.text = "This pass ran on " + machineOf(*selectedRecord) + ": its error.log is on that machine.";
        return pane;
    }
    if (!log_.refresh(logPath, HistoryReadLimit)) {
        pane.text = logPath + " cannot be read: " + log_.failure() + ".";
        return pane;
    }
    static const LogStampReader stamps = LogStampReader::Regional();
    const auto lines = PassLogLines(log_.text(), records(), r.start, r.configuration, stamps);
    for (std::size_t i = 0; i < lines.size(); ++i)
        pane.text += (i ? "\n" : "") + lines[i];
    if (lines.empty())
        pane.text = "No lines in error.log for this pass.";
    return pane;
}

} // namespace quillet::admin
