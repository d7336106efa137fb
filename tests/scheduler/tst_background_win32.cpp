// The scheduled task against a stand-in schtasks.exe that lies beside this test, where
// Windows looks for a program first.
#include "platform/Environment.h"
#include "scheduler/Background.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillet::scheduler;
using quillet::test::ReadBytes;
using quillet::test::TempDir;

TEST(ScheduledTask, InstalledAsUtf16DefinitionReportedAndRemoved) {
    TempDir state;
    quillet::platform::SetEnvironmentVariable("STANDIN_STATE", state.path().string());
    TempDir app;
    std::filesystem::create_directories(app.path() / "Quillet & Co");
    const std::string folder = app.file("Quillet & Co") + "\\";
    const BackgroundTarget target{folder, folder + "QuilletSched.exe"};
    quillet::test::WriteBytes(target.program, "MZ");
    const std::string task = state.file(TriggerName(target.folder) + ".xml");

    const TriggerResult installed = InstallTrigger(target);
    ASSERT_TRUE(installed.ok) << installed.message;
    const std::string xml = ReadBytes(task);
    ASSERT_GE(xml.size(), 4u);
    EXPECT_EQ(xml.substr(0, 4), std::string("\xFF\xFE<\0", 4)) << "not UTF-16 with its byte order mark";
    std::string narrow; // every second byte, enough for the ASCII of the definition
    for (std::size_t i = 2; i < xml.size(); i += 2)
        narrow += xml[i];
    EXPECT_NE(narrow.find("Quillet &amp; Co\\QuilletSched.exe</Command>"), std::string::npos) << narrow;
    EXPECT_NE(ReadBytes(state.file("calls.txt")).find("/Create /TN " + TriggerName(target.folder) + " /XML "),
              std::string::npos);

    const TriggerStatus status = QueryTrigger(target);
    EXPECT_TRUE(status.installed);
    EXPECT_EQ(status.nextRun, "12/8/2026 4:03:00 AM");
    EXPECT_EQ(status.runsLoggedOut, false);

    EXPECT_TRUE(UninstallTrigger(target).ok);
    EXPECT_FALSE(QueryTrigger(target).installed);
    const TriggerResult again = UninstallTrigger(target);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.message, "No background check was installed for this folder.");
}
