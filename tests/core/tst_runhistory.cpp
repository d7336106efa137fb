#include "core/RunHistory.h"

#include <gtest/gtest.h>

using namespace quillet;

namespace {

HistoryRecord Full() {
    HistoryRecord r;
    r.start = "2026-12-08T01:00:03+01:00";
    r.configuration = "C:\\cfg\\night, \"main\".cfg";
    r.database = "/data/a.mdb";
    r.outcome = RunOutcome::Ok;
    r.exitCode = 0;
    r.sizeBefore = 5368709120LL;
    r.sizeAfter = 1024;
    r.seconds = 1.5;
    r.detail = "line one\r\nline two";
    return r;
}

void ExpectSame(const HistoryRecord& a, const HistoryRecord& b) {
    EXPECT_EQ(a.start, b.start);
    EXPECT_EQ(a.configuration, b.configuration);
    EXPECT_EQ(a.database, b.database);
    EXPECT_EQ(a.outcome, b.outcome);
    EXPECT_EQ(a.otherOutcome, b.otherOutcome);
    EXPECT_EQ(a.exitCode, b.exitCode);
    EXPECT_EQ(a.sizeBefore, b.sizeBefore);
    EXPECT_EQ(a.sizeAfter, b.sizeAfter);
    EXPECT_EQ(a.seconds, b.seconds);
    EXPECT_EQ(a.detail, b.detail);
}

} // namespace

TEST(RunHistory, LinesAreQuotedAsSpreadsheetsExpectAndReadBack) {
    const HistoryRecord full = Full();
    EXPECT_EQ(FormatHistoryLine(full), "2026-12-08T01:00:03+01:00,\"C:\\cfg\\night, \"\"main\"\".cfg\",/data/a.mdb,"
                                       "ok,0,5368709120,1024,1.500,\"line one\r\nline two\"\r\n");
    HistoryRecord skipped;
    skipped.start = full.start;
    skipped.outcome = RunOutcome::InUse;
    EXPECT_EQ(FormatHistoryLine(skipped), "2026-12-08T01:00:03+01:00,,,in-use,,,,,\r\n");

    const auto read = ParseHistory(std::string(HistoryHeader) + FormatHistoryLine(full) + FormatHistoryLine(skipped));
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.skippedLines, 0u);
    ExpectSame(read.records[0], full);
    ExpectSame(read.records[1], skipped);
    // No header at all: the columns in their usual order.
    ASSERT_EQ(ParseHistory(FormatHistoryLine(full)).records.size(), 1u);
}

TEST(RunHistory, ColumnsAreFoundByNameAndBadLinesAreCounted) {
    const std::string text = "\xEF\xBB\xBF"
                             "detail,outcome,start,database,extra,exit_code\n"
                             "why,no-space,2026-12-08T01:00:03Z,/d.mdb,x,\n"
                             "\n"
                             "why,ok,2026-12-08T01:00:03Z,/d.mdb,x,not-a-number\n" // unparsable
                             "\x01\xff garbage\n"                                    // too few fields
                             "why,failed,2026-12-08T01:00:03Z,/d.mdb,x,2,more,fields\n"
                             "ok,\"cut off,2026";                                    // truncated
    const auto read = ParseHistory(text);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.skippedLines, 3u);
    EXPECT_EQ(read.records[0].outcome, RunOutcome::NoSpace);
    EXPECT_EQ(read.records[0].detail, "why");
    EXPECT_EQ(read.records[0].database, "/d.mdb");
    EXPECT_FALSE(read.records[0].exitCode);
    EXPECT_EQ(read.records[0].configuration, "");
    EXPECT_EQ(read.records[1].exitCode, 2);
    EXPECT_EQ(ParseHistory("").records.size(), 0u);
}

TEST(RunHistory, OutcomeTextsReadBackByteForByteAndANewerProgramsOutcomeIsKept) {
    const std::string texts[] = {"ok",     "failed",   "timed-out",     "not-started", "unchanged",
                                 "in-use", "no-space", "backup-failed", "defragmented"};
    std::string file = HistoryHeader;
    for (const auto& t : texts)
        file += "2026-12-08T01:00:03Z,/c.cfg,/d.mdb," + t + ",,,,,\r\n";
    const auto read = ParseHistory(file);
    ASSERT_EQ(read.records.size(), std::size(texts));
    std::string again = HistoryHeader;
    for (const auto& r : read.records)
        again += FormatHistoryLine(r);
    EXPECT_EQ(again, file);
    EXPECT_EQ(read.records[2].outcome, RunOutcome::TimedOut);
    EXPECT_EQ(read.records.back().outcome, RunOutcome::Other);
}
