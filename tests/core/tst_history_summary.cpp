#include "core/HistoryFile.h"
#include "core/HistorySummary.h"
#include "core/LogStampReader.h"

#include "platform/RegionalTime.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace quillet;

namespace {

HistoryRecord Record(std::string start, std::string cfg, std::string db, std::string outcome,
                     std::optional<std::int64_t> before = {}, std::optional<std::int64_t> after = {},
                     std::optional<double> seconds = {}) {
    HistoryRecord r;
    r.start = std::move(start);
    r.configuration = std::move(cfg);
    r.database = std::move(db);
    SetOutcomeText(r, outcome);
    r.sizeBefore = before;
    r.sizeAfter = after;
    r.seconds = seconds;
    return r;
}

std::vector<const HistoryRecord*> All(const std::vector<HistoryRecord>& records) {
    std::vector<const HistoryRecord*> all;
    for (const auto& r : records)
        all.push_back(&r);
    return all;
}

const std::int64_t MB = 1 << 20;

// Two nights of one configuration and one of another, every outcome among them.
std::vector<HistoryRecord> TwoNights() {
    return {
        Record("2026-12-07T01:00:02+01:00", "/cfg/nightly.cfg", "/db/orders.mdb", "ok", 900 * MB, 600 * MB, 40),
        Record("2026-12-07T01:00:02+01:00", "/cfg/nightly.cfg", "/db/stock.mdb", "failed", 10 * MB, {}, 2),
        Record("2026-12-07T02:00:00+01:00", "/cfg/other.cfg", "/db/x.mdb", "ok", 5 * MB, 4 * MB, 1),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/orders.mdb", "ok", 1600 * MB, 1000 * MB, 60),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/a.mdb", "ok", 3000 * MB, 1200 * MB, 90),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/b.mdb", "ok", 200 * MB, 142 * MB, 9),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/stock.mdb", "timed-out", 10 * MB, {}, 600),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/c.mdb", "unchanged", 7 * MB, 7 * MB),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/d.mdb", "in-use"),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/e.mdb", "no-space", 50 * MB),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/f.mdb", "not-started"),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/g.mdb", "backup-failed", 3 * MB),
        Record("2026-12-08T01:00:03+01:00", "/cfg/nightly.cfg", "/db/h.mdb", "defragmented"),
    };
}

} // namespace

TEST(HistorySummary, TotalsCountPassesOutcomesAndSavedSpace) {
    const auto records = TwoNights();
    const HistoryTotals t = TotalsOf(All(records));
    EXPECT_EQ(t.passes, 3u);
    EXPECT_EQ(t.databases, records.size());
    EXPECT_EQ(t.compacted, 5u);
    EXPECT_EQ(t.unchanged, 1u);
    EXPECT_EQ(t.skipped, 2u);
    EXPECT_EQ(t.failed, 4u); // failed, timed-out, not-started, backup-failed
    EXPECT_EQ(t.spaceSaved, (300 + 1 + 600 + 1800 + 58) * MB);
    EXPECT_EQ(KindOfOutcome(records.back().outcome), OutcomeKind::Other);
    // Only a compaction with both sizes saves anything.
    EXPECT_FALSE(SpaceSaved(records[1]));
    EXPECT_FALSE(SpaceSaved(records[7]));
}

TEST(HistorySummary, LastRunOfAConfiguration) {
    const auto records = TwoNights();
    EXPECT_EQ(LastRunTextOf(records, "/cfg/nightly.cfg"),
              "Last run 2026-12-08 01:00 \xE2\x80\x94 3 compacted, 1 unchanged, 2 skipped, 3 failed, 2.4 GB saved");
    EXPECT_EQ(LastRunTextOf(records, "/cfg/other.cfg"), "Last run 2026-12-07 02:00 \xE2\x80\x94 1 compacted, 0 failed, 1.0 MB saved");
    EXPECT_EQ(LastRunTextOf(records, "/cfg/never.cfg"), "No run recorded");
    EXPECT_EQ(LastRunTextOf({}, ""), "No run recorded");
    // Written by a program whose clock text is unreadable: not a run to report.
    EXPECT_EQ(LastRunTextOf({Record("yesterday", "/c.cfg", "/d.mdb", "ok")}, "/c.cfg"), "No run recorded");

    // The same file under another spelling is the same configuration.
    test::TempDir dir;
    test::WriteBytes(dir.file("n.cfg"), "[Defaults]\n");
    const std::string spelt = (dir.path() / "." / "n.cfg").string();
    EXPECT_EQ(LastRunTextOf({Record("2026-12-08T01:00:03+01:00", spelt, "/d.mdb", "ok", 10, 4)}, dir.file("n.cfg")),
              "Last run 2026-12-08 01:00 \xE2\x80\x94 1 compacted, 0 failed, 6 bytes saved");
}

TEST(HistorySummary, StartsAndSizes) {
    const auto m = ParseStart("2026-12-08T01:00:03.250-05:00");
    ASSERT_TRUE(m);
    EXPECT_EQ(MomentKey(*m) % 86400, 3603);
    EXPECT_EQ(MomentKey(MomentOfKey(MomentKey(*m))), MomentKey(*m));
    for (const char* bad : {"", "2026-12-08", "2026-13-08T01:00:03", "2026-02-30T01:00:03", "2026-12-08T24:00:00",
                            "20x6-12-08T01:00:03", "2026-12-08T01:0a:03"})
        EXPECT_FALSE(ParseStart(bad)) << bad;
    EXPECT_EQ(StartText("garbage"), "garbage");
    EXPECT_EQ(SizeText(0), "0 bytes");
    EXPECT_EQ(SizeText(1023), "1023 bytes");
    EXPECT_EQ(SizeText(1536), "1.5 KB");
    EXPECT_EQ(SizeText(-3 * MB), "-3.0 MB");
    EXPECT_EQ(SizeText(std::numeric_limits<std::int64_t>::min()), "-8192.0 PB");
}

TEST(HistorySummary, LogStampsReadBackInAnyLayout) {
    auto fmt = [](const char* pattern, bool twelve) {
        return [pattern, twelve](const platform::LocalDateTime& m) {
            char text[64];
            const int hour = twelve ? (m.hour % 12 == 0 ? 12 : m.hour % 12) : m.hour;
            std::snprintf(text, sizeof text, pattern, hour, m.minute, m.second, twelve ? (m.hour < 12 ? "AM" : "PM") : "");
            return std::string(text);
        };
    };
    const LogStampReader h24([](const platform::LocalDateTime&) { return std::string(); }, fmt("%02d:%02d:%02d%s", false));
    EXPECT_EQ(h24.secondsOfDay("01:00:03 .mdb file: x"), 3603);
    EXPECT_EQ(h24.secondsOfDay("23:59:59"), 86399);
    EXPECT_FALSE(h24.secondsOfDay(".mdb file: x"));
    EXPECT_FALSE(h24.secondsOfDay("25:00:00"));
    const LogStampReader h12([](const platform::LocalDateTime&) { return std::string(); }, fmt("%d:%02d:%02d %s", true));
    EXPECT_EQ(h12.secondsOfDay("1:00:03 PM Exit code"), 13 * 3600 + 3);
    EXPECT_EQ(h12.secondsOfDay("12:30:00 AM"), 1800);
    EXPECT_EQ(h12.secondsOfDay("12:30:00 PM"), 12 * 3600 + 1800);
    EXPECT_FALSE(h12.secondsOfDay("13:30:00 PM"));

    // The platform's own formats read back what the compactor writes.
    const LogStampReader regional = LogStampReader::Regional();
    const platform::LocalDateTime moment{2026, 12, 8, 14, 5, 9, 0};
    EXPECT_EQ(regional.secondsOfDay(platform::LongTimeText(moment)), 14 * 3600 + 5 * 60 + 9);
}

TEST(HistorySummary, PassLogLinesAreThoseOfThePass) {
    const LogStampReader stamps(
        [](const platform::LocalDateTime& m) {
            char text[16];
            std::snprintf(text, sizeof text, "%d/%d/%04d", m.month, m.day, m.year);
            return std::string(text);
        },
        [](const platform::LocalDateTime& m) {
            char text[16];
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", m.hour, m.minute, m.second);
            return std::string(text);
        });
    const std::string log = "12/6/2026 23:59:00 .mdb file: /db/old.mdb does not exist.\r\n"
                            "12/7/2026 01:00:01 .mdb file: /db/before.mdb does not exist.\r\n"
                            "12/7/2026 01:00:44 Exit code 3 from engine /db/stock.mdb\r\n"
                            "12/7/2026 garbage without a time\r\n"
                            "12/7/2026 01:59:59 .mdb file: /db/late.mdb does not exist.\r\n"
                            "12/7/2026 02:00:00 .mdb file: /db/x.mdb is in use; not compacted.\r\n"
                            "12/7/20260 01:00:30 not a date of the pass\r\n"
                            "\r\n"
                            "12/8/2026 01:11:00 Time limit of 10 minutes reached; stopped engine\r\n"
                            "12/8/2026 Access file: /x does not exist.\n"
                            "12/8/2026 02:00:00 Exit code 1 from engine";
    const auto records = TwoNights();
    // Engine time 42 s and two databases: the pass's lines end well before the next pass.
    EXPECT_EQ(PassLogLines(log, records, records[0].start, records[0].configuration, stamps),
              std::vector<std::string>{"12/7/2026 01:00:44 Exit code 3 from engine /db/stock.mdb"});
    EXPECT_EQ(PassLogLines(log, records, records[2].start, records[2].configuration, stamps),
              std::vector<std::string>{"12/7/2026 02:00:00 .mdb file: /db/x.mdb is in use; not compacted."});
    // A long pass: the time limit's line 11 minutes in still belongs to it.
    EXPECT_EQ(PassLogLines(log, records, records[3].start, records[3].configuration, stamps),
              std::vector<std::string>{"12/8/2026 01:11:00 Time limit of 10 minutes reached; stopped engine"});
    // A midnight stamp has no time.
    EXPECT_EQ(LogLinesBetween(log, MomentKey({2026, 12, 8, 0, 0, 0, 0}), MomentKey({2026, 12, 8, 0, 0, 1, 0}), stamps),
              std::vector<std::string>{"12/8/2026 Access file: /x does not exist."});
    EXPECT_TRUE(PassLogLines(log, records, "not a time", records[0].configuration, stamps).empty());
    EXPECT_TRUE(PassLogLines("", records, records[0].start, records[0].configuration, stamps).empty());
}

TEST(HistorySummary, LoadingMissingOddAndHugeFiles) {
    test::TempDir dir;
    EXPECT_FALSE(LoadHistory(dir.file("none.csv")).exists);
    const HistoryLoad folder = LoadHistory(dir.path().string());
    EXPECT_TRUE(folder.exists);
    EXPECT_FALSE(folder.readable);
    EXPECT_EQ(folder.failure, "it is a folder");

    // A newer program's extra column at the front; the file is read from its end.
    std::string text = "build,start,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail\r\n";
    for (int i = 0; i < 1000; ++i)
        text += "7,2026-12-08T01:00:03+01:00,/c.cfg,/db/" + std::to_string(i) + ".mdb,ok,0,100,60,1.500,\r\n";
    const std::string path = dir.file("compact-history.csv");
    test::WriteBytes(path, text);
    const HistoryLoad whole = LoadHistory(path);
    EXPECT_TRUE(whole.readable);
    EXPECT_EQ(whole.contents.records.size(), 1000u);
    EXPECT_EQ(whole.bytesNotRead, 0u);

    const HistoryLoad tail = LoadHistory(path, 5000);
    ASSERT_FALSE(tail.contents.records.empty());
    EXPECT_EQ(tail.contents.records.back().database, "/db/999.mdb");
    EXPECT_EQ(tail.contents.records.back().sizeBefore, 100);
    EXPECT_EQ(tail.contents.skippedLines, 0u);
    EXPECT_GT(tail.bytesNotRead, text.size() - 5000);
    EXPECT_LT(tail.contents.records.size(), 100u);

    HistoryFileCache cache;
    EXPECT_EQ(cache.get(path).contents.records.size(), 1000u);
    test::WriteBytes(path, text + "7,2026-12-09T01:00:03+01:00,/c.cfg,/db/new.mdb,ok,0,100,60,1.500,\r\n");
    EXPECT_EQ(cache.get(path).contents.records.size(), 1001u);
}
