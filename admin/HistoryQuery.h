// What the history window shows of "compact-history.csv" and "error.log": the records
// filtered and sorted as rows, the filter boxes' choices, totals, the charts' series and
// the log lines of the selected pass. Both faces draw it; it draws nothing.
#pragma once

#include "admin/HistoryWatcher.h"
#include "core/Include.h"
#include "core/HistoryFile.h"
#include "core/HistorySummary.h"
#include "widgets/TimeChart.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::admin {

// Machine last, so that the other columns keep their numbers; it shows first, and only
// when the window reads a fleet folder.
enum class HistoryColumn { When, Configuration, Database, Outcome, SizeBefore, SizeAfter, Saved, Seconds, Detail, Machine };
inline constexpr int HistoryColumnCount = 10;
std::string_view HistoryColumnTitle(HistoryColumn column);
std::vector<std::string> HistoryColumnTitles(); // in HistoryColumn's order
// Figures align right.
constexpr bool HistoryColumnIsFigure(HistoryColumn column) {
    return column >= HistoryColumn::SizeBefore && column <= HistoryColumn::Seconds;
}

// Outcome filter values that stand for a kind rather than one outcome.
inline constexpr std::string_view AnyFailure = "*failures";
inline constexpr std::string_view AnySkip = "*skipped";

struct HistoryFilter {
    std::string configuration; // empty: all
    std::string database;      // empty: all
    std::string outcome;       // empty: all; AnyFailure, AnySkip, else an outcome's text
    std::string machine;       // empty: all
    std::optional<Date> from, to; // local dates of the starts, both included; open when empty
};

// An entry of a filter box: what it shows, the filter value it stands for, and the
// whole text where it shows less (a file name for its path). The first entry of each
// box is "all" with an empty value.
struct FilterChoice {
    std::string text, value, tip = {};
    bool operator==(const FilterChoice&) const = default;
};

// An outcome as the window words it, in the filter, the table and the charts alike:
// "Compacted", "In use"; a newer program's outcome as it is written.
std::string OutcomeWords(const HistoryRecord& record);
std::string OutcomeWords(RunOutcome outcome);

using widgets::ChartPoint;

struct SizeSeries {
    std::string title;
    std::vector<ChartPoint> before, after; // in time order
};

struct LogPane {
    std::string title, text;
};

// The moment of a start: its offset counts; a start without one is a local time.
std::optional<std::int64_t> StartInstant(std::string_view start);
// Seconds since 1970 of a local clock time (a MomentKey), in the offset in force then.
std::int64_t LocalToUnix(std::int64_t momentKey);

// Whose the records of a load are, when it holds every machine of a fleet folder.
struct RecordMachines {
    std::vector<std::string> of; // each record's machine
    std::string here;            // this machine, whose error.log the window can read
    std::string note;            // how the fleet folder was read, for the line about the file
};

// A machine of the fleet folder as the list beside the table shows it.
struct MachineRow {
    std::string name;
    std::string lastGood;     // the start of its last good night, as the table shows it; "none"
    std::string failingSince; // empty when its latest passes were good
    std::string state;        // "SILENT", "FAILING" or "OK"
    bool needsAttention = false;
    bool operator==(const MachineRow&) const = default;
    std::vector<std::string> cells() const { return {name, lastGood, failingSince, state}; } // as the titles
};
inline const std::vector<std::string> MachineListTitles = {"Machine", "Last good night", "Failing since", "State"};

class HistoryQuery {
public:
    // A new reading of the file; the filter stays. Its dates follow the data: a date at
    // the old end of the data moves to the new end, so a night that arrives while the
    // window is open shows; a date the user moved stays.
    void setHistory(std::shared_ptr<const HistoryLoad> load, std::optional<RecordMachines> machines = std::nullopt);
    bool acrossMachines() const { return machines_.has_value(); }
    // The columns in the order they show: Machine first across machines, else left out.
    std::vector<HistoryColumn> columnsShown() const;
    const std::string& machineOf(std::size_t recordIndex) const;
    const std::vector<HistoryRecord>& records() const;
    // A database that is not among the configuration's reads as all databases.
    void setFilter(HistoryFilter filter);
    const HistoryFilter& filter() const { return filter_; }
    // Equal rows keep file order, later lines first when descending: the newest first.
    void sortBy(HistoryColumn column, bool descending);
    HistoryColumn sortColumn() const { return sortColumn_; }
    bool sortDescending() const { return descending_; }

    // The rows: the records that pass the filter, sorted.
    std::size_t rowCount() const { return shown_.size(); }
    std::size_t recordIndexAt(std::size_t row) const { return shown_[row]; }
    const HistoryRecord& recordAt(std::size_t row) const { return records()[shown_[row]]; }
    std::optional<std::size_t> rowOf(std::size_t recordIndex) const;
    std::string cellText(std::size_t row, HistoryColumn column) const;
    // The whole text where a cell shortens it (paths, the start); empty elsewhere.
    std::string cellFullText(std::size_t row, HistoryColumn column) const;
    OutcomeKind kindAt(std::size_t row) const { return KindOfOutcome(recordAt(row).outcome); }

    std::vector<FilterChoice> configurationChoices() const;
    std::vector<FilterChoice> databaseChoices() const; // of the filter's configuration
    std::vector<FilterChoice> outcomeChoices() const;
    std::vector<FilterChoice> machineChoices() const;

    HistoryTotals totals() const;
    // "4 passes, 4 databases compacted, 4 failures, 1.2 GB saved"
    std::string totalsText() const;
    // The line about the file: its path and size, or why nothing shows.
    std::string fileNote(const std::string& path) const;

    // Sizes before and after of the selected record's database, else of the database
    // filtered for, else the sum per pass of the configuration filtered for; within the
    // filter's configuration and dates.
    SizeSeries sizeChart(std::optional<std::size_t> selectedRecord) const;
    // The space the shown rows saved, per local day at its midnight.
    std::vector<ChartPoint> savedPerNight() const;
    // The same for each machine of the shown rows, by name.
    std::vector<std::pair<std::string, std::vector<ChartPoint>>> savedPerNightByMachine() const;

    // What the selected record's pass wrote to the log at `logPath`; the log is read
    // again only when it changed.
    LogPane passLog(std::optional<std::size_t> selectedRecord, const std::string& logPath);

private:
    bool passes(std::size_t index, bool ignoreOutcomeAndDatabase) const;
    std::vector<ChartPoint> savedPerNight(const std::string* machine) const;
    void refilter();
    void sort();
    std::optional<Date> dateOf(std::size_t index) const;

    std::shared_ptr<const HistoryLoad> load_;
    std::optional<RecordMachines> machines_;
    std::vector<std::int64_t> keys_; // MomentKey of each start; lowest for no time
    std::vector<std::size_t> shown_;
    HistoryFilter filter_;
    std::optional<Date> dataFirst_, dataLast_;
    HistoryColumn sortColumn_ = HistoryColumn::When;
    bool descending_ = true;
    WatchedTail log_;
};

} // namespace quillet::admin
