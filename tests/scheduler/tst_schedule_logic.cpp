// Due dates, the run of one entry and the ticks of the schedule timer, on a table in
// memory with a set clock and recorded runs.
#include "scheduler/Schedule.h"
#include "tests/support/ScheduleSeams.h"

#include "core/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quillet;
using namespace quillet::scheduler;
using quillet::scheduler::testing::MockClock;
using quillet::scheduler::testing::RecordingRunner;

namespace {

Date D(int y, int m, int d) {
    return EncodeDate(y, m, d);
}

struct Entry {
    std::string description, path, code;
};

class MemoryTable final : public ScheduleTable {
public:
    std::vector<Entry> rows;
    int saves = 0;
    bool modified = true;
    bool saveFails = false;
    std::vector<std::string> codesAtSave; // the code of every entry at each save

    int entryCount() const override { return static_cast<int>(rows.size()); }
    std::string code(int entry) const override { return rows.at(entry).code; }
    std::string configPath(int entry) const override { return rows.at(entry).path; }
    void setCode(int entry, const std::string& code) override { rows.at(entry).code = code; }
    void saveAfterRun() override {
        if (saveFails)
            throw EFCreateError("/ro/schedfile.dat");
        ++saves;
        for (const Entry& entry : rows)
            codesAtSave.push_back(entry.code);
        modified = false;
    }
    void add(const std::string& path, const std::string& code) { rows.push_back({"", path, code}); }
};

class ScheduleRun : public ::testing::Test {
protected:
    MockClock clock;
    RecordingRunner runner;
    MemoryTable table;
    std::string compactor = "/opt/q/Quillet";
    RunEnvironment env{clock, runner, [this] { return compactor; }};

    void SetUp() override {
        clock.day = D(2026, 12, 6);
        clock.hour = 1;
    }
};

} // namespace

TEST(DueDate, FollowsTheLetter) {
    // Daily is one day whatever N says; monthly one month whatever N says.
    EXPECT_EQ(NextDueDate('d', 1, D(2026, 12, 5)), D(2026, 12, 6));
    EXPECT_EQ(NextDueDate('d', 3, D(2026, 12, 5)), D(2026, 12, 6));
    EXPECT_EQ(NextDueDate('w', 1, D(2026, 12, 1)), D(2026, 12, 8));
    EXPECT_EQ(NextDueDate('w', 2, D(2026, 12, 1)), D(2026, 12, 15));
    EXPECT_EQ(NextDueDate('m', 2, D(2026, 11, 5)), D(2026, 12, 5));
    EXPECT_EQ(NextDueDate('x', 5, D(2026, 12, 5)), D(2026, 12, 5));
    // Weekly with N 0 or less is due again at once; a huge N does not overflow.
    EXPECT_EQ(NextDueDate('w', 0, D(2026, 12, 5)), D(2026, 12, 5));
    EXPECT_LT(NextDueDate('w', -1, D(2026, 12, 5)), D(2026, 12, 5));
    EXPECT_GT(NextDueDate('w', 2147483647, D(2026, 12, 5)), D(9999, 12, 31));
}

TEST(DueDate, MonthEndsAreClamped) {
    EXPECT_EQ(NextDueDate('m', 1, D(2027, 1, 31)), D(2027, 2, 28));
    EXPECT_EQ(NextDueDate('m', 1, D(2027, 3, 31)), D(2027, 4, 30));
    EXPECT_EQ(NextDueDate('m', 1, D(2028, 1, 31)), D(2028, 2, 29));
    EXPECT_EQ(NextDueDate('m', 1, D(2026, 12, 31)), D(2027, 1, 31));
    EXPECT_EQ(NextDueDate('m', 1, D(2027, 2, 28)), D(2027, 3, 28));
    // Never run (day 0, 30 December 1899) is due one month after that day.
    EXPECT_EQ(NextDueDate('m', 1, 0), D(1900, 1, 30));
    // The calendar's last month has no next one: never due.
    EXPECT_GT(NextDueDate('m', 1, D(9999, 12, 15)), D(9999, 12, 31));
}

TEST(CommandLine, PathsWithBlanksAreQuoted) {
    EXPECT_EQ(CompactorCommandLine("/opt/q/Quillet", "/data/main.cfg"), "/opt/q/Quillet /data/main.cfg");
    EXPECT_EQ(CompactorCommandLine("/opt/my q/Quillet", "/data/my main.cfg"),
              "\"/opt/my q/Quillet\" \"/data/my main.cfg\"");
    // An empty configuration path leaves the compactor path and one blank.
    EXPECT_EQ(CompactorCommandLine("/opt/q/Quillet", ""), "/opt/q/Quillet ");
}

TEST_F(ScheduleRun, DueEntryRunsAndRecordsTheDay) {
    table.add("/data/a.cfg", "d|1|2026-12-05");
    EXPECT_TRUE(CompactEntry(table, 0, false, env));
    ASSERT_EQ(runner.commandLines.size(), 1u);
    EXPECT_EQ(runner.commandLines[0], "/opt/q/Quillet /data/a.cfg");
    EXPECT_EQ(table.rows[0].code, "d|1|2026-12-06");
    EXPECT_EQ(table.saves, 1);
    EXPECT_FALSE(table.modified);

    // Ran today: not due again today.
    EXPECT_FALSE(CompactEntry(table, 0, false, env));
    EXPECT_EQ(runner.commandLines.size(), 1u);
}

TEST_F(ScheduleRun, NotYetDueEntryDoesNotRun) {
    table.add("/data/w.cfg", "w|2|2026-12-01");
    clock.day = D(2026, 12, 14);
    EXPECT_FALSE(CompactEntry(table, 0, false, env));
    clock.day = D(2026, 12, 15);
    EXPECT_TRUE(CompactEntry(table, 0, false, env));
    EXPECT_EQ(table.rows[0].code, "w|2|2026-12-15");
}

TEST_F(ScheduleRun, MissingOrBadDateCountsAsNeverRun) {
    table.add("/data/a.cfg", "d|1|");
    table.add("/data/b.cfg", "d|1|2026-13-45");
    table.add("/data/c.cfg", "m|1");
    table.add("/data/d.cfg", "d|1|garbage");
    for (int entry = 0; entry < 4; ++entry)
        EXPECT_TRUE(CompactEntry(table, entry, false, env)) << entry;
    EXPECT_EQ(table.rows[1].code, "d|1|2026-12-06");
    EXPECT_EQ(table.rows[2].code, "m|1|2026-12-06");
}

TEST_F(ScheduleRun, AsNeededRunsOnDemandOnlyAndRecordsNothing) {
    table.add("/data/a.cfg", "");
    table.add("", ""); // an empty entry has nothing to run
    EXPECT_FALSE(CompactEntry(table, 0, false, env));
    EXPECT_TRUE(runner.commandLines.empty());
    EXPECT_TRUE(CompactEntry(table, 0, true, env));
    EXPECT_FALSE(CompactEntry(table, 1, true, env));
    EXPECT_EQ(runner.commandLines, std::vector<std::string>{"/opt/q/Quillet /data/a.cfg"});
    EXPECT_EQ(table.rows[0].code, "");
    EXPECT_EQ(table.saves, 0);
}

TEST_F(ScheduleRun, ForcedRunIgnoresTheLastRunAndNormalisesN) {
    table.add("/data/a.cfg", "d|01|2026-12-06"); // ran today already
    EXPECT_TRUE(CompactEntry(table, 0, true, env));
    EXPECT_EQ(runner.commandLines.size(), 1u);
    EXPECT_EQ(table.rows[0].code, "d|1|2026-12-06");
}

TEST_F(ScheduleRun, FailedStartRecordsNothing) {
    table.add("/data/a.cfg", "d|1|2026-12-01");
    runner.startSucceeds = false;
    EXPECT_FALSE(CompactEntry(table, 0, false, env));
    EXPECT_EQ(runner.commandLines.size(), 1u);
    EXPECT_EQ(table.rows[0].code, "d|1|2026-12-01");
    EXPECT_EQ(table.saves, 0);
    EXPECT_TRUE(table.modified);
    // Still due at the next try.
    runner.startSucceeds = true;
    EXPECT_TRUE(CompactEntry(table, 0, false, env));
}

TEST_F(ScheduleRun, RefusedCodesNeverRun) {
    for (const char* code : {"x|abc|2026-13-45", "d|1.5|", "w|0|2026-12-01"})
        table.add("/data/a.cfg", code);
    for (int entry = 0; entry < 3; ++entry) {
        EXPECT_FALSE(CompactEntry(table, entry, false, env)) << entry; // reported at loading
        EXPECT_THROW(CompactEntry(table, entry, true, env), EInvalidValue) << entry;
    }
    EXPECT_TRUE(runner.commandLines.empty());
}

TEST(ScheduleChecks, TypedNumbersAndStoredCodes) {
    EXPECT_FALSE(EveryProblem("1"));
    EXPECT_EQ(EveryProblem("0").value_or(""), "'0' is not a valid Every value: enter a whole number from 1");
    EXPECT_TRUE(EveryProblem("x"));
    // Daily and monthly entries never use N, so a stored 0 there stops nothing.
    for (const char* good : {"", "d|0|2026-12-01", "m|3|", "w|1|garbage"})
        EXPECT_FALSE(CodeProblem(good)) << good;
    for (const char* bad : {"w|0|2026-12-01", "w|-1|", "d|x|", "q|1|2026-12-01", "|1|"})
        EXPECT_TRUE(CodeProblem(bad)) << bad;
}

TEST_F(ScheduleRun, SaveFailureKeepsTheRunInMemory) {
    table.add("/data/a.cfg", "d|1|2026-12-01");
    table.saveFails = true;
    EXPECT_THROW(CompactEntry(table, 0, false, env), EFCreateError);
    EXPECT_EQ(table.rows[0].code, "d|1|2026-12-06");
    EXPECT_TRUE(table.modified);
}

TEST_F(ScheduleRun, TickRunsOnlyDuringTheStartHour) {
    table.add("/data/a.cfg", "d|1|2026-12-05");
    clock.hour = 2; // 02:30
    RunDueEntries(table, "01", env);
    EXPECT_TRUE(runner.commandLines.empty());
    RunDueEntries(table, "24", env); // no such hour
    EXPECT_TRUE(runner.commandLines.empty());
    clock.hour = 1; // 01:30
    RunDueEntries(table, "01", env);
    EXPECT_EQ(runner.commandLines.size(), 1u);
    EXPECT_EQ(table.rows[0].code, "d|1|2026-12-06");
    // A second tick in the same hour finds nothing due.
    RunDueEntries(table, "1", env);
    EXPECT_EQ(runner.commandLines.size(), 1u);
}

TEST_F(ScheduleRun, TickWithRefusedStartTimeRunsNothingQuietly) {
    table.add("/data/a.cfg", "d|1|2026-12-05");
    EXPECT_NO_THROW(RunDueEntries(table, "one", env));
    EXPECT_NO_THROW(RunDueEntries(table, "", env));
    EXPECT_TRUE(runner.commandLines.empty());
}

TEST_F(ScheduleRun, DueEntriesRunInTableOrderOneAfterTheOther) {
    table.add("/data/first.cfg", "d|1|2026-12-05");
    table.add("/data/never.cfg", "");
    table.add("/data/notdue.cfg", "w|1|2026-12-04");
    table.add("/data/second.cfg", "m|1|2026-10-06");
    int running = 0, most = 0;
    runner.whileRunning = [&](const std::string&) {
        most = std::max(most, ++running);
        --running;
    };
    RunDueEntries(table, "01", env);
    ASSERT_EQ(runner.commandLines.size(), 2u);
    EXPECT_EQ(runner.commandLines[0], "/opt/q/Quillet /data/first.cfg");
    EXPECT_EQ(runner.commandLines[1], "/opt/q/Quillet /data/second.cfg");
    EXPECT_EQ(most, 1);
    // The table is saved after each run, the second save holding both runs.
    EXPECT_EQ(table.saves, 2);
    EXPECT_EQ(table.codesAtSave[4], "d|1|2026-12-06");
    EXPECT_EQ(table.codesAtSave[7], "m|1|2026-12-06");
}

TEST_F(ScheduleRun, RunAcrossMidnightRecordsTheStartDay) {
    clock.hour = 23;
    table.add("/data/late.cfg", "d|1|2026-12-05");
    table.add("/data/next.cfg", "d|1|2026-12-06"); // due only from 7 December
    runner.whileRunning = [&](const std::string& line) {
        if (line.find("late") != std::string::npos) {
            clock.day = D(2026, 12, 7);
            clock.hour = 0;
        }
    };
    RunDueEntries(table, "23", env);
    EXPECT_EQ(table.rows[0].code, "d|1|2026-12-06");
    // The entry below is tested against the new day, and runs.
    ASSERT_EQ(runner.commandLines.size(), 2u);
    EXPECT_EQ(table.rows[1].code, "d|1|2026-12-07");
}

TEST_F(ScheduleRun, BadEntryDoesNotStopTheEntriesBelow) {
    table.add("/data/bad.cfg", "w|abc|2026-12-01");
    table.add("/data/good.cfg", "d|1|2026-12-05");
    table.add("/data/bad2.cfg", "d|1.5|");
    // Passed over without an error at every tick: they were reported when read.
    EXPECT_NO_THROW(RunDueEntries(table, "01", env));
    ASSERT_EQ(runner.commandLines.size(), 1u);
    EXPECT_EQ(runner.commandLines[0], "/opt/q/Quillet /data/good.cfg");
    EXPECT_EQ(table.rows[1].code, "d|1|2026-12-06");
}

TEST_F(ScheduleRun, CompactorPathIsReadAtEachRun) {
    table.add("/data/a.cfg", "d|1|2026-12-05");
    table.add("/data/b c.cfg", "d|1|2026-12-05");
    runner.whileRunning = [&](const std::string&) { compactor = "/opt/new place/Quillet"; };
    RunDueEntries(table, "01", env);
    ASSERT_EQ(runner.commandLines.size(), 2u);
    EXPECT_EQ(runner.commandLines[1], "\"/opt/new place/Quillet\" \"/data/b c.cfg\"");
}
