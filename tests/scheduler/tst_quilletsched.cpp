// QuilletSched from end to end: the real program, the real compactor and an engine that
// records its calls, in a folder of their own; the outcome is read from the files they
// leave and from the exit codes.
#include "core/CfgFile.h"
#include "core/Include.h"
#include "platform/Command.h"
#include "platform/Files.h"
#include "platform/SelfPath.h"
#include "scheduler/BackgroundCheck.h"
#include "scheduler/Background.h"
#include "tests/support/BinDir.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/StandardOptions.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <future>

using namespace quillet;
using namespace quillet::scheduler;
using quillet::test::BinDir;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

namespace {

const std::string& Exe = test::ExeSuffix;

int CountLines(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

std::string Today() {
    return DateToDashText(SystemClock().today());
}

class Sched : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        fs::create_directories(dir.path() / "app folder");
        fs::create_directories(dir.path() / "engine");
        fs::copy_file(BinDir() + "QuilletSched" + Exe, app("QuilletSched" + Exe));
        fs::copy_file(BinDir() + "Quillet" + Exe, app("Quillet" + Exe));
        fs::copy_file(SLOW_ENGINE, engine("engine" + Exe));
        WriteBytes(dir.file("night.db"), "database");
        CfgValues cfg;
        cfg.accessPath = engine("engine" + Exe);
        cfg.compactFiles = {dir.file("night.db")};
        WriteCfgFile(cfgPath, cfg);
    }
    std::string app(const std::string& name) const { return dir.file("app folder/" + name); }
    std::string engine(const std::string& name) const { return dir.file("engine/" + name); }
    void settings(int startHour) const {
        WriteBytes(app("Quillet.ini"), "[Defaults]\r\nStartTime=" + std::to_string(startHour) + "\r\n");
    }
    // Runs QuilletSched with one option; its exit code, and its output in *output.
    int sched(const std::string& option, std::string* output = nullptr) const {
        const platform::CommandResult r = platform::RunCommand({app("QuilletSched" + Exe), option});
        if (output)
            *output = r.output;
        return r.exitCode.value_or(-1);
    }
    std::string line(const std::string& description, const std::string& code) const {
        return "\"" + description + "\"\t\"" + cfgPath + "\"\t" + (code.empty() ? "" : "\"" + code + "\"") + "\r\n";
    }

    TempDir dir;
    const std::string cfgPath = dir.file("night run.cfg");
};

int HourNow() {
    return SystemClock().hourNow();
}

} // namespace

TEST_F(Sched, DueEntriesRunOnlyInTheStartHourAndTheirDateIsRecorded) {
    const std::string yesterday = DateToDashText(SystemClock().today() - 1);
    const std::string schedule = line("Nightly", "d|1|" + yesterday) + line("Ran today", "d|01|" + Today()) +
                                 line("By hand", "");
    WriteBytes(app("schedfile.dat"), schedule);

    settings((HourNow() + 1) % 24);
    std::string out;
    EXPECT_EQ(sched("--due", &out), CheckOk) << out;
    EXPECT_EQ(ReadBytes(engine("calls.txt")), "");
    EXPECT_EQ(ReadBytes(app("schedfile.dat")), schedule);

    settings(HourNow());
    EXPECT_EQ(sched("--due", &out), CheckOk) << out;
    EXPECT_EQ(CountLines(ReadBytes(engine("calls.txt"))), 1);
    // The same bytes as the window's grid writes, with the run's day in the entry that ran.
    EXPECT_EQ(ReadBytes(app("schedfile.dat")),
              line("Nightly", "d|1|" + Today()) + line("Ran today", "d|01|" + Today()) + line("By hand", ""));
    EXPECT_EQ(sched("--due", &out), CheckOk) << out; // ran today: not due again
    EXPECT_EQ(CountLines(ReadBytes(engine("calls.txt"))), 1);

    EXPECT_EQ(sched("--status", &out), CheckOk);
    EXPECT_NE(out.find("Last check: "), std::string::npos) << out;
    EXPECT_NE(out.find("nothing due"), std::string::npos) << out;
}

TEST_F(Sched, FailedDatabasesAndUnusableFilesHaveTheirOwnExitCodes) {
    settings(HourNow());
    WriteBytes(app("schedfile.dat"), line("Nightly", "d|1|"));
    WriteBytes(engine("exitcode.txt"), "3");
    std::string out;
    EXPECT_EQ(sched("--due", &out), CheckRunFailures) << out;
    EXPECT_NE(out.find("night.db: failed"), std::string::npos) << out;
    // A failed pass still counts as run: it is not repeated within the day.
    EXPECT_EQ(ReadBytes(app("schedfile.dat")), line("Nightly", "d|1|" + Today()));

    WriteBytes(app("Quillet.ini"), "[Defaults]\r\nStartTime=one\r\n");
    EXPECT_EQ(sched("--due", &out), CheckUnreadable) << out;

    settings(HourNow());
    WriteBytes(app("schedfile.dat"), line("Nightly", "d|1|"));
    std::filesystem::permissions(app("schedfile.dat"), std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::group_read);
    EXPECT_EQ(sched("--due", &out), CheckUnwritable) << out;
    // A schedule that is there but cannot be read is no empty one: the check fails.
    std::filesystem::permissions(app("schedfile.dat"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    std::filesystem::remove(app("schedfile.dat"));
    std::filesystem::create_directory(app("schedfile.dat"));
    EXPECT_EQ(sched("--due", &out), CheckUnreadable) << out;
    const auto last = ReadLastCheck(app(""));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->exitCode, CheckUnreadable);
    EXPECT_NE(last->result.find("Cannot open file"), std::string::npos) << last->result;

    EXPECT_EQ(sched("--bogus", &out), CheckUsage);
    EXPECT_EQ(sched("--help", &out), CheckOk);
    for (const char* code : {"  0 ", "  1 ", "  2 ", "  3 ", "  4 ", "  64 "})
        EXPECT_NE(out.find(code), std::string::npos) << code << " missing in\n" << out;
}

TEST(SchedOptions, HelpAndVersionPrintAndTouchNoFile) {
    quillet::test::ExpectStandardOptions(BinDir() + "QuilletSched" + Exe, "QuilletSched");
}

TEST_F(Sched, RefusedStartTimeIsReportedAndTheScheduleRunsAtOne) {
    WriteBytes(app("Quillet.ini"), "[Defaults]\r\nStartTime=25\r\n");
    WriteBytes(app("schedfile.dat"), line("Nightly", "d|1|"));
    scheduler::testing::MockClock clock;
    clock.day = SystemClock().today();
    clock.hour = 1;
    scheduler::testing::RecordingRunner runner;
    const CheckOutcome outcome = RunScheduleCheck(app(""), clock, runner);
    EXPECT_EQ(outcome.exitCode, CheckUnreadable);
    EXPECT_EQ(runner.commandLines.size(), 1u);
    const auto last = ReadLastCheck(app(""));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->exitCode, CheckUnreadable);
    EXPECT_NE(last->result.find("StartTime"), std::string::npos) << last->result;

    std::string out;
    EXPECT_EQ(sched("--due", &out), CheckUnreadable) << out;
    for (const char* part : {"StartTime", "'25'", "from 0 to 23"})
        EXPECT_NE(out.find(part), std::string::npos) << part << " missing in\n" << out;
}

TEST_F(Sched, TwoChecksAtOnceCompactOnce) {
    settings(HourNow());
    WriteBytes(app("schedfile.dat"), line("Nightly", "d|1|"));
    WriteBytes(engine("delay.txt"), "1500");
    auto first = std::async(std::launch::async, [&] { return sched("--due"); });
    auto second = std::async(std::launch::async, [&] { return sched("--due"); });
    EXPECT_EQ(first.get(), CheckOk);
    EXPECT_EQ(second.get(), CheckOk);
    EXPECT_EQ(CountLines(ReadBytes(engine("calls.txt"))), 1);
    EXPECT_EQ(ReadBytes(app("schedfile.dat")), line("Nightly", "d|1|" + Today()));
}
