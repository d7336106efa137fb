// Behaviour that only POSIX systems show: LC_TIME decides the log's date format, process
// groups, permission bits.
#include "tests/support/QuilletHarness.h"
#include "tests/support/ScopedEnv.h"

namespace quillet::test {
namespace {

TEST(RegionalTimePosix, FollowsLcTimeAndFallsBackToC) {
    ScopedEnv all("LC_ALL", nullptr);
    const platform::LocalDateTime m{2026, 12, 7, 20, 50, 36, 0};
    {
        ScopedEnv time("LC_TIME", "C");
        EXPECT_EQ(platform::ShortDateText(m), "12/07/26");
        EXPECT_EQ(platform::LongTimeText(m), "20:50:36");
    }
    {
        ScopedEnv time("LC_TIME", "xx_NOWHERE.UTF-8");
        EXPECT_EQ(platform::ShortDateText(m), "12/07/26");
    }
}

TEST(CompactorRunPosix, ChildThatLeftTheEnginesProcessGroupIsEndedToo) {
    QuilletFolder q;
    const std::string engine = q.file("engine.sh");
    const std::string beat = q.file("beat");
    WriteBytes(engine, "#!/bin/sh\n"
                       "setsid sh -c 'trap \"\" TERM; while :; do echo >> \"" + beat + "\"; sleep 0.02; done' &\n"
                       "trap '' TERM\nwhile :; do sleep 0.02; done\n");
    std::filesystem::permissions(engine, std::filesystem::perms::owner_all);
    WriteBytes(q.file("a.mdb"), "a");
    q.writeCfg({"CompactFiles=" + q.file("a.mdb"), "AccessPath=" + engine, "TimeLimit=1"});
    compactor::PassContext context;
    context.minute = std::chrono::milliseconds(600);
    q.pass(q.file("run.cfg"), context);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::string beats = ReadBytes(beat);
    EXPECT_FALSE(beats.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ReadBytes(beat), beats);
}

TEST(CompactorRunPosix, BackupIsNoMoreReadableThanItsDatabase) {
    QuilletFolder q;
    const std::string engine = q.install(QUILLET_FAKE_ENGINE, "engine/engine");
    const std::string data = q.file("private.mdb");
    WriteBytes(data, "secret rows");
    std::filesystem::permissions(data, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_directories(q.file("backups"));
    q.writeCfg({"CompactFiles=" + data, "AccessPath=" + engine, "BackupFolder=" + q.file("backups")});
    EXPECT_EQ(q.run(q.file("run.cfg")), 0);
    const auto backups = platform::FilesInFolder(q.file("backups"));
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(std::filesystem::status(q.file("backups/" + backups[0])).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

} // namespace
} // namespace quillet::test
