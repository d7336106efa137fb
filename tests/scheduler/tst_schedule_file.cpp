// The schedule file and settings without any window, as a program without Qt uses
// them: load, run the due entries, save.
#include "scheduler/ScheduleFile.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/TempDir.h"

#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Programs.h"

#include <gtest/gtest.h>

#include <string>

using namespace quillet;
using namespace quillet::scheduler;

namespace {

std::string Read(const std::string& path) {
    std::string bytes;
    return platform::ReadWholeFile(path, bytes) ? bytes : "<missing>";
}

} // namespace

// The fixture is what the scheduler's grid writes for its table (the grid's own test
// checks that), so both sides of the file agree to the byte.
TEST(ScheduleFile, TheGridsFileReadsBackByteForByte) {
    const std::string fixture = Read(SCHEDULE_FIXTURE);
    ASSERT_NE(fixture, "<missing>") << SCHEDULE_FIXTURE;
    ScheduleFile file;
    file.Load(SCHEDULE_FIXTURE);
    ASSERT_EQ(file.entryCount(), 4);
    EXPECT_EQ(file.Entries()[0].description, "Nightly");
    EXPECT_EQ(file.configPath(0), "/data/a.cfg");
    EXPECT_EQ(file.code(0), "d|1|2026-12-05");
    EXPECT_EQ(file.Entries()[1].description, "");
    EXPECT_EQ(file.code(1), "");
    EXPECT_EQ(file.configPath(3), "/x\ty.cfg"); // the delimiter inside a quoted cell

    // Saved over a copy: a UTF-8 file stays UTF-8, on Windows too.
    test::TempDir dir;
    const std::string copy = dir.file("schedfile.dat");
    test::WriteBytes(copy, fixture);
    file.Save(copy);
    EXPECT_EQ(Read(copy), fixture);
}

TEST(ScheduleFile, EmptyLinesAndLineEnds) {
    test::TempDir dir;
    const std::string path = dir.file("schedfile.dat");
    // Lone CR and LF end lines too; empty lines load as empty entries and are not written.
    ASSERT_TRUE(
        platform::ReplaceFileContent(path, "\"a\"\t\"/a.cfg\"\r\r\n\t\t\n\"b\"\t\"/b.cfg\"\t\"d|1|\""));
    ScheduleFile file;
    file.Load(path);
    EXPECT_EQ(file.entryCount(), 4);
    file.Save(path);
    EXPECT_EQ(Read(path), "\"a\"\t\"/a.cfg\"\t\r\n\"b\"\t\"/b.cfg\"\t\"d|1|\"\r\n");
}

TEST(ScheduleFile, MissingFileIsAnEmptySchedule) {
    test::TempDir dir;
    const std::string path = dir.file("schedfile.dat");
    ScheduleFile file;
    file.Load(path);
    EXPECT_EQ(file.entryCount(), 0);
    EXPECT_TRUE(file.Loaded());
    file.Entries().push_back({"new", "/n.cfg", ""});
    file.Save(path);
    EXPECT_EQ(Read(path), "\"new\"\t\"/n.cfg\"\t\r\n");
}

TEST(ScheduleFile, ATableThatCouldNotBeLoadedIsNeverSaved) {
    // A file that exists but whose first read fails.
    const std::string unreadable = "/proc/self/mem";
    if (!platform::FileExists(unreadable))
        GTEST_SKIP() << "no file here that exists and cannot be read";
    test::TempDir dir;
    const std::string path = dir.file("schedfile.dat");
    ASSERT_TRUE(platform::ReplaceFileContent(path, "\"keep\"\t\"/k.cfg\"\t\r\n"));
    ScheduleFile file;
    EXPECT_THROW(file.Load(unreadable), EFOpenError);
    EXPECT_FALSE(file.Loaded());
    EXPECT_EQ(file.entryCount(), 0);
    EXPECT_THROW(file.Save(path), EInvalidValue);
    EXPECT_THROW(file.saveAfterRun(), EInvalidValue);
    EXPECT_EQ(Read(path), "\"keep\"\t\"/k.cfg\"\t\r\n");
    // A later load that works lifts the refusal.
    file.Load(path);
    file.Save(path);
    EXPECT_EQ(Read(path), "\"keep\"\t\"/k.cfg\"\t\r\n");
}

TEST(ScheduleFile, DueEntriesRunAndTheFileRecordsTheDay) {
    test::TempDir dir;
    const std::string path = dir.file("schedfile.dat");
    ASSERT_TRUE(platform::ReplaceFileContent(path, "\"a\"\t\"/a.cfg\"\t\"d|1|2026-12-05\"\r\n"
                                                   "\"b\"\t\"/b.cfg\"\t\r\n"
                                                   "\"c\"\t\"/c.cfg\"\t\"w|1|2026-12-05\"\r\n"));
    ScheduleFile file;
    file.Load(path);
    scheduler::testing::MockClock clock;
    clock.day = EncodeDate(2026, 12, 6);
    clock.hour = 1;
    scheduler::testing::RecordingRunner runner;
    RunDueEntries(file, "01", {clock, runner, [] { return std::string("/opt/q/Quillet"); }});
    ASSERT_EQ(runner.commandLines.size(), 1u);
    EXPECT_EQ(runner.commandLines[0], "/opt/q/Quillet /a.cfg");
    EXPECT_EQ(Read(path), "\"a\"\t\"/a.cfg\"\t\"d|1|2026-12-06\"\r\n"
                          "\"b\"\t\"/b.cfg\"\t\r\n"
                          "\"c\"\t\"/c.cfg\"\t\"w|1|2026-12-05\"\r\n");
}

