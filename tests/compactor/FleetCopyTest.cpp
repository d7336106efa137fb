// The compactor's fleet copy is bounded in time: a copy that cannot go on lets the
// pass end, says so in the log, and still finishes on its own.
#include "compactor/FleetCopy.h"
#include "core/FleetFolder.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace quillet;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

TEST(FleetCopy, AShareThatDoesNotAnswerHoldsThePassUpOnlyUntilTheLimit) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "share");
    WriteBytes(dir.file("Quillet.ini"), "[Reports]\r\nFleetFolder=" + dir.file("share") + "\r\n");
    PassSummary summary;
    summary.machine = "pc";
    summary.started = summary.finished = "2026-12-09T01:00:00+01:00";
    compactor::PassContext context;
    context.logFolder = dir.path().string();
    {
        // Held, the copy waits as it would for a share that hangs.
        const auto held = platform::FileLock::TryAcquire(dir.file(FleetLockFileName));
        ASSERT_TRUE(held);
        const auto began = std::chrono::steady_clock::now();
        compactor::CopyPassToFleet(context, summary, std::chrono::milliseconds(300));
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
        EXPECT_NE(ReadBytes(dir.file("error.log")).find("did not answer within"), std::string::npos);
    }
    const std::string status = dir.file("share/pc/" + std::string(FleetStatusFileName));
    for (int i = 0; i < 200 && !platform::FileExists(status); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(ParseFleetStatus(ReadBytes(status)));
}
