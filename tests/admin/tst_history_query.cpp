// The history window's rules without a window: rows, filters, totals, chart series, the
// log lines of a pass, and when the files are read again.
#include "admin/HistoryQuery.h"

#include "core/RunHistory.h"
#include "platform/Files.h"
#include "platform/RegionalTime.h"
#include "tests/admin/HistoryRecords.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace quillet;
using namespace quillet::admin;
using quillet::test::Rec;

namespace {

constexpr std::int64_t MB = 1 << 20;
using Texts = std::vector<std::string>;
using C = HistoryColumn;

const char* const N1 = "2026-12-06T01:00:02+01:00";
const char* const N2 = "2026-12-07T01:00:02+01:00";
const char* const N3 = "2026-12-08T01:00:03+01:00";
const std::string Cfg = "/cfg/nightly.cfg";
const std::string Other = "/cfg/other.cfg";

// Three nights of the nightly configuration (orders.mdb in each) and one pass of
// another; every outcome, and one a newer program wrote.
std::vector<HistoryRecord> Sample() {
    return {
        Rec(N1, Cfg, "/db/orders.mdb", "ok", 800 * MB, 500 * MB, 30),
        Rec(N1, Cfg, "/db/stock.mdb", "failed", 10 * MB, {}, 2, "Disk I/O error"),
        Rec(N2, Cfg, "/db/orders.mdb", "ok", 900 * MB, 600 * MB, 40),
        Rec(N2, Cfg, "/db/stock.mdb", "in-use", {}, {}, {}, "locked by PC-07"),
        Rec("2026-12-07T02:00:00+01:00", Other, "/db/x.mdb", "ok", 5 * MB, 4 * MB, 1),
        Rec(N3, Cfg, "/db/orders.mdb", "ok", 1600 * MB, 1000 * MB, 60),
        Rec(N3, Cfg, "/db/stock.mdb", "timed-out", 10 * MB, {}, 600),
        Rec(N3, Cfg, "/db/c.mdb", "unchanged", 7 * MB, 7 * MB),
        Rec(N3, Cfg, "/db/e.mdb", "no-space", 50 * MB, {}, {}, "needs 50 MB"),
        Rec(N3, Cfg, "/db/f.mdb", "not-started"),
        Rec(N3, Cfg, "/db/g.mdb", "backup-failed", 3 * MB),
        Rec(N3, Cfg, "/db/h.mdb", "defragmented"),
    };
}

std::shared_ptr<const HistoryLoad> Loaded(const std::vector<HistoryRecord>& records) {
    auto load = std::make_shared<HistoryLoad>();
    load->exists = load->readable = true;
    load->contents.records = records;
    return load;
}

Texts Column(const HistoryQuery& q, HistoryColumn column) {
    Texts cells;
    for (std::size_t row = 0; row < q.rowCount(); ++row)
        cells.push_back(q.cellText(row, column));
    return cells;
}

Texts Values(const std::vector<FilterChoice>& choices) {
    Texts values;
    for (const auto& c : choices)
        values.push_back(c.value);
    return values;
}

std::size_t RecordOf(const HistoryQuery& q, const std::string& database, const char* start) {
    for (std::size_t i = 0; i < q.records().size(); ++i)
        if (q.records()[i].database == database && q.records()[i].start == start)
            return i;
    ADD_FAILURE() << database;
    return 0;
}

std::int64_t Seconds(int year, int month, int day, int hour, int minute, int second, int offsetMinutes) {
    const std::int64_t days = EncodeDate(year, month, day) - EncodeDate(1970, 1, 1);
    return days * 86400 + hour * 3600 + minute * 60 + second - offsetMinutes * 60;
}

} // namespace

TEST(HistoryQuery, RowsTotalsFiltersAndSorting) {
    HistoryQuery q;
    q.setHistory(Loaded(Sample()));

    // Newest first; later lines of one pass first.
    ASSERT_EQ(q.rowCount(), 12u);
    EXPECT_EQ(Column(q, C::Database).front(), "h.mdb");
    EXPECT_EQ(Column(q, C::Database).back(), "orders.mdb");
    EXPECT_EQ(Column(q, C::When).back(), "2026-12-06 01:00");
    EXPECT_EQ(Column(q, C::Outcome).front(), "defragmented");
    const std::size_t orders = *q.rowOf(RecordOf(q, "/db/orders.mdb", N3));
    EXPECT_EQ(q.cellText(orders, C::SizeBefore), "1.6 GB");
    EXPECT_EQ(q.cellText(orders, C::Saved), "600.0 MB");
    EXPECT_EQ(q.cellText(orders, C::Seconds), "60.0");
    EXPECT_EQ(q.cellFullText(orders, C::Database), "/db/orders.mdb");
    EXPECT_EQ(q.kindAt(orders), OutcomeKind::Compacted);

    const HistoryTotals t = q.totals();
    EXPECT_EQ(t.passes, 4u);
    EXPECT_EQ(t.compacted, 4u);
    EXPECT_EQ(t.failed, 4u);
    EXPECT_EQ(t.spaceSaved, (300 + 300 + 1 + 600) * MB);
    EXPECT_EQ(q.totalsText(), "4 passes, 4 databases compacted, 4 failures, 1.2 GB saved");

    // The outcome box: kinds, every known outcome, then those of a newer program.
    EXPECT_EQ(Values(q.outcomeChoices()), (Texts{"", "*failures", "*skipped", "ok", "unchanged", "in-use", "no-space",
                                                 "failed", "timed-out", "not-started", "backup-failed", "damaged",
                                                 "defragmented"}));
    HistoryFilter f = q.filter();
    f.outcome = AnyFailure;
    q.setFilter(f);
    EXPECT_EQ(Column(q, C::Outcome), (Texts{"Backup failed", "Not started", "Timed out", "Failed"}));
    EXPECT_EQ(q.totalsText(), "2 passes, 0 databases compacted, 4 failures, 0 bytes saved");
    f.outcome = AnySkip;
    q.setFilter(f);
    EXPECT_EQ(Column(q, C::Outcome), (Texts{"No space", "In use"}));
    f.outcome = "defragmented";
    q.setFilter(f);
    EXPECT_EQ(q.totalsText(), "1 pass, 0 databases compacted, 0 failures, 0 bytes saved");
    f.outcome.clear();

    // The database box follows the configuration; a database of another one reads as all.
    f.configuration = Other;
    q.setFilter(f);
    EXPECT_EQ(Column(q, C::Database), (Texts{"x.mdb"}));
    EXPECT_EQ(Values(q.databaseChoices()), (Texts{"", "/db/x.mdb"}));
    EXPECT_EQ(Values(q.configurationChoices()), (Texts{"", Cfg, Other}));
    f.configuration = Cfg;
    f.database = "/db/stock.mdb";
    q.setFilter(f);
    EXPECT_EQ(Column(q, C::Outcome), (Texts{"Timed out", "In use", "Failed"}));
    f.configuration = Other;
    q.setFilter(f);
    EXPECT_EQ(q.filter().database, "");
    f = {};

    f.from = f.to = EncodeDate(2026, 12, 7);
    q.setFilter(f);
    EXPECT_EQ(Column(q, C::Database), (Texts{"x.mdb", "stock.mdb", "orders.mdb"}));
    EXPECT_EQ(q.totals().passes, 2u);

    q.sortBy(C::Saved, true);
    EXPECT_EQ(Column(q, C::Saved), (Texts{"300.0 MB", "1.0 MB", ""}));
    q.sortBy(C::Database, false);
    EXPECT_EQ(Column(q, C::Database), (Texts{"orders.mdb", "stock.mdb", "x.mdb"}));
}

TEST(HistoryQuery, DatesFollowNewNightsUnlessTheUserMovedThem) {
    HistoryQuery q;
    auto records = Sample();
    q.setHistory(Loaded({records.begin(), records.begin() + 5}));
    EXPECT_EQ(q.filter().from, EncodeDate(2026, 12, 6));
    EXPECT_EQ(q.filter().to, EncodeDate(2026, 12, 7));
    HistoryFilter f = q.filter();
    f.from = EncodeDate(2026, 12, 7);
    q.setFilter(f);
    EXPECT_EQ(q.rowCount(), 3u);

    q.setHistory(Loaded(records));
    EXPECT_EQ(q.filter().from, EncodeDate(2026, 12, 7));
    EXPECT_EQ(q.filter().to, EncodeDate(2026, 12, 8));
    EXPECT_EQ(q.rowCount(), 10u);
}

TEST(HistoryQuery, ChartSeriesOfADatabaseAConfigurationAndTheNights) {
    HistoryQuery q;
    q.setHistory(Loaded(Sample()));
    const auto at = [](int day, int h, int m, int s) { return Seconds(2026, 12, day, h, m, s, 60); };

    const SizeSeries orders = q.sizeChart(RecordOf(q, "/db/orders.mdb", N2));
    EXPECT_EQ(orders.title, "Size of orders.mdb");
    EXPECT_EQ(orders.before, (std::vector<ChartPoint>{{at(6, 1, 0, 2), 800}, {at(7, 1, 0, 2), 900}, {at(8, 1, 0, 3), 1600}}));
    EXPECT_EQ(orders.after, (std::vector<ChartPoint>{{at(6, 1, 0, 2), 500}, {at(7, 1, 0, 2), 600}, {at(8, 1, 0, 3), 1000}}));

    // Space saved per night for everything shown, at local midnight.
    const auto nights = q.savedPerNight();
    ASSERT_EQ(nights.size(), 3u);
    const double saved[] = {300, 301, 600};
    for (int i = 0; i < 3; ++i) {
        const auto m = platform::LocalDateTimeOf(nights[i].unixSeconds);
        EXPECT_EQ(std::tuple(m.year, m.month, m.day, m.hour, m.minute), std::tuple(2026, 12, 6 + i, 0, 0));
        EXPECT_EQ(nights[i].megabytes, saved[i]);
    }

    // No database chosen: the configuration's databases summed per pass.
    HistoryFilter f = q.filter();
    f.configuration = Other;
    q.setFilter(f);
    EXPECT_EQ(q.sizeChart(std::nullopt).after, (std::vector<ChartPoint>{{at(7, 2, 0, 0), 4}}));
    f.configuration = Cfg;
    q.setFilter(f);
    const SizeSeries all = q.sizeChart(std::nullopt);
    EXPECT_EQ(all.title, "Size of the databases of nightly.cfg");
    EXPECT_EQ(all.before, (std::vector<ChartPoint>{{at(6, 1, 0, 2), 810}, {at(7, 1, 0, 2), 900},
                                                   {at(8, 1, 0, 3), 1600 + 10 + 7 + 50 + 3}}));
    f.configuration.clear();
    q.setFilter(f);
    EXPECT_TRUE(q.sizeChart(std::nullopt).before.empty());

    EXPECT_EQ(StartInstant("2026-12-08T01:00:03Z"), Seconds(2026, 12, 8, 1, 0, 3, 0));
    EXPECT_EQ(StartInstant("2026-12-08T01:00:03.250-0530"), Seconds(2026, 12, 8, 1, 0, 3, -330));
    EXPECT_FALSE(StartInstant("2026-12-08T01:00:03 what"));
}

TEST(HistoryQuery, FileNoteSaysWhatCouldNotBeShown) {
    HistoryQuery q;
    EXPECT_EQ(q.fileNote("/h.csv"), "No history yet: /h.csv does not exist.");
    auto load = std::make_shared<HistoryLoad>();
    load->exists = true;
    load->failure = "Permission denied";
    q.setHistory(load);
    EXPECT_EQ(q.fileNote("/h.csv"), "/h.csv cannot be read: Permission denied.");
    load = std::make_shared<HistoryLoad>(*Loaded(Sample()));
    load->fileSize = 3 * MB;
    load->bytesNotRead = 2 * MB;
    load->contents.skippedLines = 2;
    q.setHistory(load);
    EXPECT_EQ(q.fileNote("/h.csv"), "/h.csv (3.0 MB) \xE2\x80\x94 a large file: its oldest 2.0 MB are not shown "
                                    "\xE2\x80\x94 2 unreadable lines skipped");
}

TEST(HistoryQuery, LogLinesOfTheSelectedPass) {
    test::TempDir dir;
    HistoryQuery q;
    q.setHistory(Loaded(Sample()));
    // Stamped as the compactor stamps its lines, in the regional formats.
    auto stamp = [](int day, int h, int m, int s) {
        const platform::LocalDateTime t{2026, 12, day, h, m, s, 0};
        return platform::ShortDateText(t) + " " + platform::LongTimeText(t);
    };
    const std::string log = dir.file("error.log");
    ASSERT_TRUE(platform::ReplaceFileContent(
        log, stamp(6, 1, 0, 40) + " Exit code 3 from engine /db/stock.mdb\r\n" + stamp(7, 1, 0, 2) +
                 " .mdb file: /db/stock.mdb is in use; not compacted.\r\n" + stamp(8, 1, 11, 0) +
                 " Time limit of 10 minutes reached; stopped engine\r\n"));
    EXPECT_EQ(q.passLog(std::nullopt, log).text, "Select a pass to see what it wrote to error.log.");
    const LogPane inUse = q.passLog(RecordOf(q, "/db/stock.mdb", N2), log);
    EXPECT_EQ(inUse.title, "error.log, pass of 2026-12-07 01:00 (nightly.cfg)");
    EXPECT_EQ(inUse.text, stamp(7, 1, 0, 2) + " .mdb file: /db/stock.mdb is in use; not compacted.");
    EXPECT_EQ(q.passLog(RecordOf(q, "/db/x.mdb", "2026-12-07T02:00:00+01:00"), log).text,
              "No lines in error.log for this pass.");
    // Read again once it changed.
    ASSERT_TRUE(platform::ReplaceFileContent(log, stamp(7, 1, 0, 3) + " changed\r\n"));
    EXPECT_EQ(q.passLog(RecordOf(q, "/db/stock.mdb", N2), log).text, stamp(7, 1, 0, 3) + " changed");
    EXPECT_EQ(q.passLog(RecordOf(q, "/db/stock.mdb", N2), dir.file("none.log")).text,
              dir.file("none.log") + " cannot be read: it does not exist.");
    // A log in the way of a folder says so; one this user may not read says the system's reason.
    EXPECT_EQ(q.passLog(RecordOf(q, "/db/stock.mdb", N2), dir.path().string()).text,
              dir.path().string() + " cannot be read: it is a folder.");
}

TEST(HistoryWatcher, ReadsAgainWhenTheFileChangesAndOnceMoreAfterAChangeDuringAReading) {
    test::TempDir dir;
    const std::string path = dir.file("compact-history.csv");
    HistoryWatcher w;
    EXPECT_EQ(w.reload(path), path);
    EXPECT_TRUE(w.loading());
    EXPECT_EQ(w.loaded(), std::nullopt);
    EXPECT_EQ(w.reloadIfChanged(path), std::nullopt); // still missing

    ASSERT_TRUE(platform::ReplaceFileContent(path, "a"));
    EXPECT_EQ(w.reloadIfChanged(path), path);
    // Grown while being read: read once more when this reading ends.
    ASSERT_TRUE(platform::ReplaceFileContent(path, "ab"));
    EXPECT_EQ(w.reloadIfChanged(path), std::nullopt);
    EXPECT_EQ(w.loaded(), path);
    EXPECT_EQ(w.loaded(), std::nullopt);
    EXPECT_EQ(w.reloadIfChanged(path), std::nullopt);
    // Replaced by a shorter file, and another path.
    ASSERT_TRUE(platform::ReplaceFileContent(path, "c"));
    EXPECT_EQ(w.reloadIfChanged(path), path);
    w.loaded();
    EXPECT_EQ(w.reloadIfChanged(dir.file("other.csv")), dir.file("other.csv"));
}
