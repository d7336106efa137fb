#include "scheduler/EntryStatus.h"

#include <gtest/gtest.h>

using namespace quillet;
using namespace quillet::scheduler;

TEST(EntryStatus, NextRunAfterTheLastRun) {
    const Date today = EncodeDate(2026, 12, 8);
    auto next = [&](const std::string& code, const std::string& start, int hour) {
        const auto run = NextRunOf(code, start, today, hour);
        return run ? DateToDashText(run->date) + (run->hour ? " " + std::to_string(*run->hour) : "") : "none";
    };
    EXPECT_EQ(next("d|1|2026-12-08", "01", 9), "2026-12-09 1");
    EXPECT_EQ(next("w|2|2026-12-01", "23", 9), "2026-12-15 23");
    EXPECT_EQ(next("m|1|2026-11-30", "01", 9), "2026-12-30 1");
    // Due already: today's start hour, or tomorrow's once it has passed.
    EXPECT_EQ(next("d|1|2026-12-01", "05", 4), "2026-12-08 5");
    EXPECT_EQ(next("d|1|2026-12-01", "05", 5), "2026-12-08 5");
    EXPECT_EQ(next("d|1|2026-12-01", "05", 6), "2026-12-09 5");
    EXPECT_EQ(next("d|1|", "01", 0), "2026-12-08 1"); // never ran
    EXPECT_EQ(next("d|1|2026-12-08", "1 am", 9), "2026-12-09");
    EXPECT_EQ(next("d|x|2026-12-08", "01", 9), "none");
    EXPECT_EQ(next("", "01", 9), "none");
    EXPECT_EQ(next("w|2147483647|9999-12-01", "01", 9), "none");
}

TEST(EntryStatus, LastRunAndNextDueInOneLine) {
    HistoryRecord r;
    r.start = "2026-12-08T01:00:03+01:00";
    r.configuration = "/cfg/nightly.cfg";
    r.database = "/db/a.mdb";
    r.outcome = RunOutcome::Ok;
    r.sizeBefore = 3 << 20;
    r.sizeAfter = 1 << 20;
    const Date today = EncodeDate(2026, 12, 8);
    EXPECT_EQ(EntryStatusText({r}, "/cfg/nightly.cfg", "d|1|2026-12-08", "01", today, 9),
              "Last run 2026-12-08 01:00 \xE2\x80\x94 1 compacted, 0 failed, 2.0 MB saved \xC2\xB7 next due 2026-12-09 01:00");
    EXPECT_EQ(EntryStatusText({r}, "/cfg/other.cfg", "", "01", today, 9), "No run recorded \xC2\xB7 as needed");
}
