// The scheduler window's runs without a window: the tick in the start hour, ticks and
// Compact while a run goes on, the check lock, closing the program meanwhile, and a run
// of a table that could not be loaded.
#include "scheduler/ScheduleRunner.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TempDir.h"

#include "core/AdminSettings.h"
#include "platform/FileLock.h"
#include "scheduler/ScheduleSync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace quillet;
using namespace quillet::scheduler;
using namespace quillet::scheduler::testing;

namespace {

const std::string Two = "\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-05\"\r\n"
                        "\"m\"\t\"/data/month.cfg\"\t\"m|1|2026-11-01\"\r\n";

struct Runs {
    test::TempDir dir;
    std::shared_ptr<MockClock> clock = std::make_shared<MockClock>();
    std::shared_ptr<RecordingRunner> recording = std::make_shared<RecordingRunner>();
    std::shared_ptr<HeldRunner> held = std::make_shared<HeldRunner>();
    ScheduleEditor editor{dir.file(""), *clock};
    std::unique_ptr<ScheduleRunner> runner;

    explicit Runs(bool holdRuns = false, const std::string& schedule = Two) {
        clock->day = EncodeDate(2026, 12, 6);
        clock->hour = 1;
        test::WriteBytes(dir.file("schedfile.dat"), schedule);
        editor.Load();
        std::shared_ptr<ProcessRunner> r = holdRuns ? std::shared_ptr<ProcessRunner>(held) : recording;
        runner =
            std::make_unique<ScheduleRunner>(editor, dir.file(""), clock, r, [] { return "/opt/q/Quillet"; });
    }
    ScheduleRunner::Ended finish() {
        for (int i = 0; i < 5000; ++i) {
            if (auto ended = runner->Poll())
                return *ended;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the run did not end";
        return {};
    }
    void waitForStart() const {
        for (int i = 0; i < 5000 && held->runs == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
};

} // namespace

TEST(ScheduleRunner, ATickRunsTheDueEntriesInTheStartHourAndRecordsThem) {
    Runs r;
    auto entries = r.editor.Entries();
    entries[1].description = "edited"; // an unsaved edit counts and is saved with the run
    r.editor.TakeEdits(entries, true);
    r.clock->hour = 2;
    EXPECT_EQ(r.runner->Tick(), ScheduleRunner::Start::Nothing);
    r.clock->hour = 1;
    ASSERT_EQ(r.runner->Tick(), ScheduleRunner::Start::Started);
    EXPECT_TRUE(r.runner->Running());
    const auto ended = r.finish();
    EXPECT_FALSE(ended.error);
    EXPECT_FALSE(ended.quit);
    EXPECT_EQ(r.runner->State(), RunState::Ending);
    EXPECT_FALSE(r.runner->FinishEnding());
    EXPECT_EQ(r.runner->State(), RunState::Idle);
    EXPECT_EQ(r.recording->commandLines,
              (std::vector<std::string>{"/opt/q/Quillet /data/night.cfg", "/opt/q/Quillet /data/month.cfg"}));
    EXPECT_EQ(r.editor.Entries()[0].code, "d|1|2026-12-06");
    EXPECT_FALSE(r.editor.Modified());
    EXPECT_EQ(test::ReadBytes(r.dir.file("schedfile.dat")),
              "\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-06\"\r\n\"edited\"\t\"/data/"
              "month.cfg\"\t\"m|1|2026-12-06\"\r\n");
}

TEST(ScheduleRunner, DuringARunATickWaitsAndCompactDoesNothing) {
    Runs r(true);
    ASSERT_EQ(r.runner->Compact(0), ScheduleRunner::Start::Started);
    r.waitForStart();
    EXPECT_EQ(r.runner->ProgressText().rfind("Running: n (/data/night.cfg), since ", 0), 0u)
        << r.runner->ProgressText();
    EXPECT_EQ(r.runner->Tick(), ScheduleRunner::Start::Waits);
    EXPECT_EQ(r.runner->State(), RunState::RunningTickWaiting);
    EXPECT_EQ(r.runner->Compact(1), ScheduleRunner::Start::Nothing);
    r.held->release = true;
    r.finish();
    EXPECT_EQ(r.runner->ProgressText(), "");
    // While the run's outcome is shown, a tick does nothing; then the waiting tick runs.
    EXPECT_EQ(r.runner->State(), RunState::EndingTickWaiting);
    EXPECT_EQ(r.runner->Tick(), ScheduleRunner::Start::Nothing);
    EXPECT_TRUE(r.runner->FinishEnding());
    EXPECT_EQ(r.runner->Tick(), ScheduleRunner::Start::Started);
    r.finish();
    EXPECT_EQ(r.held->runs.load(), 2); // night by Compact, then month; night ran today already
}

TEST(ScheduleRunner, AHeldCheckLockSkipsTheRun) {
    Runs r;
    {
        const auto check = platform::FileLock::TryAcquire(r.dir.file(CheckLockFileName));
        ASSERT_TRUE(check);
        EXPECT_EQ(r.runner->Tick(), ScheduleRunner::Start::Held);
        EXPECT_EQ(r.runner->Compact(0), ScheduleRunner::Start::Held);
        EXPECT_EQ(r.runner->State(), RunState::Idle);
    }
    EXPECT_EQ(r.runner->Tick(), ScheduleRunner::Start::Started);
    r.finish();
    EXPECT_EQ(r.recording->commandLines.size(), 2u);
}

TEST(ScheduleRunner, ClosingDuringARunWaitsOrLetsItFinish) {
    for (const auto answer : {ui::Answer::Cancel, ui::Answer::Yes, ui::Answer::No}) {
        Runs r(true);
        test::ScriptedPrompts prompts;
        ASSERT_EQ(r.runner->Compact(0), ScheduleRunner::Start::Started);
        r.waitForStart();
        prompts.answers = {answer};
        int quits = 0;
        bool hidden = false;
        EXPECT_FALSE(r.runner->CanCloseProgram(
            prompts, "Quillet Scheduler", [&] { ++quits; }, [&] { hidden = true; }, {}));
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text.rfind("Running: n (/data/night.cfg), since ", 0), 0u);
        EXPECT_EQ(hidden, answer == ui::Answer::No);
        r.held->release = true;
        const auto ended = r.finish();
        // The run is recorded whatever the answer; the program then ends unless cancelled.
        EXPECT_EQ(r.editor.Entries()[0].code, "d|1|2026-12-06");
        if (ended.quit)
            ended.quit();
        EXPECT_EQ(quits, answer == ui::Answer::Cancel ? 0 : 1);
        EXPECT_EQ(r.runner->State(), answer == ui::Answer::Cancel ? RunState::Ending : RunState::Quit);
        if (answer != ui::Answer::Cancel) {
            EXPECT_EQ(r.runner->Tick(), ScheduleRunner::Start::Nothing);
        }
    }
}

// Without a run: entries have a frequency, nothing runs them while the program is
// closed; said until the user says not to.
TEST(ScheduleRunner, ClosingWarnsWhenNoBackgroundCheckRunsTheSchedule) {
    Runs r;
    test::ScriptedPrompts prompts;
    bool installed = true;
    auto close = [&] {
        return r.runner->CanCloseProgram(prompts, "Quillet Scheduler", {}, {}, [&] { return installed; });
    };
    EXPECT_TRUE(close());
    EXPECT_TRUE(prompts.shown.empty());
    installed = false;
    // A dismissed box (Cancel) keeps the program open and the warning on.
    prompts.answers = {ui::Answer::Cancel, ui::Answer::Yes, ui::Answer::No};
    EXPECT_FALSE(close());
    EXPECT_TRUE(AdminSettings(r.dir.file("")).WarnScheduleClosed());
    EXPECT_TRUE(close());
    EXPECT_TRUE(close());
    EXPECT_TRUE(close());
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_NE(prompts.shown[0].text.find("nothing of the schedule runs"), std::string::npos);
    EXPECT_FALSE(AdminSettings(r.dir.file("")).WarnScheduleClosed());
}

TEST(ScheduleRunner, ARunOfATableThatWasNotLoadedIsNotSaved) {
    Runs r(false, "");
    std::filesystem::remove(r.dir.file("schedfile.dat"));
    std::filesystem::create_directory(r.dir.file("schedfile.dat"));
    ASSERT_TRUE(r.editor.Load());
    r.editor.TakeEdits({{"", "/new.cfg", "d|1|"}}, true);
    ASSERT_EQ(r.runner->Compact(0), ScheduleRunner::Start::Started);
    const auto ended = r.finish();
    EXPECT_EQ(r.recording->commandLines.size(), 1u);
    ASSERT_TRUE(ended.error);
    try {
        std::rethrow_exception(ended.error);
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), r.editor.Refusal());
    }
    EXPECT_TRUE(std::filesystem::is_directory(r.dir.file("schedfile.dat")));
    EXPECT_TRUE(r.editor.Modified());
}

// The compactor is gone: Compact says so, and the run is recorded as not started.
TEST(ScheduleRunner, ACompactorThatCannotStartIsReportedLoggedAndRecorded) {
    Runs r;
    r.recording->startSucceeds = false;
    r.runner = std::make_unique<ScheduleRunner>(r.editor, r.dir.file(""), r.clock, r.recording,
                                                [&] { return r.dir.file("gone/Quillet"); });
    ASSERT_EQ(r.runner->Compact(0), ScheduleRunner::Start::Started);
    const auto ended = r.finish();
    EXPECT_FALSE(ended.error);
    EXPECT_NE(ended.notice.find(r.dir.file("gone/Quillet")), std::string::npos);
    EXPECT_NE(test::ReadBytes(r.dir.file("error.log")).find("Could not execute"), std::string::npos);
    const std::string history = test::ReadBytes(r.dir.file("compact-history.csv"));
    EXPECT_NE(history.find("/data/night.cfg,,not-started,"), std::string::npos) << history;
    EXPECT_EQ(r.editor.Entries()[0].code, "d|1|2026-12-05"); // nothing ran: stays due
}
