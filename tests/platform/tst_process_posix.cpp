// The Linux layer's program lookup, which Windows does inside CreateProcess.
#include "core/Include.h"
#include "platform/Process.h"
#include "platform/SelfPath.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quillet;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

namespace {
void MakeScript(const std::string& path, const std::string& body, mode_t mode = 0755) {
    WriteBytes(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), mode);
}
} // namespace

TEST(CommandLinePosix, FindsTheShortestPrefixThatIsAProgram) {
    TempDir dir;
    const auto base = dir.path().string();
    std::filesystem::create_directories(base + "/my tools");
    MakeScript(base + "/my tools/run", "exit 0");
    MakeScript(base + "/my", "exit 0", 0644); // not executable: skipped
    const auto parsed = platform::ParseCommandLine(base + "/my tools/run a \"b c\"");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->program, base + "/my tools/run");
    EXPECT_EQ(parsed->argv, (std::vector<std::string>{base + "/my tools/run", "a", "b c"}));

    MakeScript(base + "/my", "exit 0");
    EXPECT_EQ(platform::ParseCommandLine(base + "/my tools/run")->program, base + "/my");
}

TEST(CommandLinePosix, QuotedProgramEndsAtTheNextQuote) {
    TempDir dir;
    const auto prog = dir.file("a b");
    MakeScript(prog, "exit 0");
    const auto parsed = platform::ParseCommandLine("\"" + prog + "\"x \"y\"");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->program, prog);
    EXPECT_EQ(parsed->argv, (std::vector<std::string>{prog, "x", "y"}));
    EXPECT_FALSE(platform::ParseCommandLine("\"" + dir.file("missing") + "\" x"));
    EXPECT_FALSE(platform::ParseCommandLine("   "));
    EXPECT_FALSE(platform::ParseCommandLine(dir.path().string()));
}

TEST(CommandLinePosix, BareNamesAreSearchedInPath) {
    const auto parsed = platform::ParseCommandLine("sh -c true");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->program.substr(parsed->program.size() - 3), "/sh");
}

TEST(CommandLinePosix, BareNamesAreFoundNextToTheRunningProgramFirst) {
    // argv_echo lies beside this test program and in no PATH folder.
    const auto parsed = platform::ParseCommandLine("argv_echo x");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->program, platform::ExecutableFolder() + "argv_echo");
    EXPECT_EQ(parsed->argv, (std::vector<std::string>{"argv_echo", "x"}));
}

TEST(CommandLinePosix, NoShellIsInvolved) {
    TempDir dir;
    const auto marker = dir.file("marker");
    int code = -1;
    ASSERT_TRUE(RunAndWait("/bin/echo hi; touch " + marker, SW_HIDE_MODE, &code));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(CommandLinePosix, ChildKilledBySignalHasEnded) {
    int code = -1;
    EXPECT_TRUE(RunAndWait("/bin/sh -c \"kill -9 $$\"", SW_HIDE_MODE, &code));
    EXPECT_EQ(code, 128 + 9);
}
