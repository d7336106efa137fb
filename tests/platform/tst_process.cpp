// Starting programs and splitting their command lines. In the Windows build the child's
// own C runtime splits the arguments, so the same table checks the Linux layer against it.
#include "core/Include.h"
#include "platform/Environment.h"
#include "platform/Notice.h"
#include "platform/Process.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace quillet;
using quillet::test::ReadBytes;
using quillet::test::TempDir;

namespace {

void SetEnv(const char* name, const std::string& value) { platform::SetEnvironmentVariable(name, value); }

std::vector<std::string> DecodeEcho(const std::string& bytes) {
    std::vector<std::string> args;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto colon = bytes.find(':', pos);
        const auto len = std::stoul(bytes.substr(pos, colon - pos));
        args.push_back(bytes.substr(colon + 1, len));
        pos = colon + 1 + len + 1;
    }
    return args;
}

class Process : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnv("QUILLET_ECHO_OUT", out);
        SetEnv("QUILLET_ECHO_EXIT", "0");
    }
    // The arguments the child saw when started with the echo program and `arguments`.
    std::vector<std::string> childArgs(const std::string& arguments) {
        std::filesystem::remove(out);
        EXPECT_TRUE(RunAndWait(QuotePath(ARGV_ECHO) + " " + arguments, SW_HIDE_MODE)) << arguments;
        return DecodeEcho(ReadBytes(out));
    }

    TempDir dir;
    std::string out = dir.file("echo.out");
};

using Args = std::vector<std::string>;

struct SplitCase {
    const char* line;
    Args expected;
};

const SplitCase SplitCases[] = {
    {R"("a b c" d e)", {"a b c", "d", "e"}},
    {R"("ab\"c" "\\" d)", {"ab\"c", "\\", "d"}},
    {R"(a\\\b d"e f"g h)", {"a\\\\\\b", "de fg", "h"}},
    {R"(a\\\"b c d)", {"a\\\"b", "c", "d"}},
    {R"(a\\\\"b c" d e)", {"a\\\\b c", "d", "e"}},
    {R"("c:\temp\" x)", {"c:\\temp\" x"}},
    {"  spaced\t\targs  ", {"spaced", "args"}},
    {R"("" empty)", {"", "empty"}},
    {R"(/wrkgrp C:\Sec Files\s.mdw /compact)", {"/wrkgrp", "C:\\Sec", "Files\\s.mdw", "/compact"}},
    {R"("unterminated quote)", {"unterminated quote"}},
    {R"(a"b"" c d)", {"ab\" c d"}},
    {R"("x""y" z)", {"x\"y", "z"}},
};

} // namespace

TEST_F(Process, ChildSeesArgumentsAsTheRuntimeSplitsThem) {
    for (const auto& c : SplitCases) {
        EXPECT_EQ(platform::SplitArguments(c.line), c.expected) << c.line;
        EXPECT_EQ(childArgs(c.line), c.expected) << c.line;
    }
}

TEST_F(Process, RunAndWaitReportsStartNotSuccess) {
    int code = -1;
    SetEnv("QUILLET_ECHO_EXIT", "3");
    EXPECT_TRUE(RunAndWait(QuotePath(ARGV_ECHO), SW_SHOWNORMAL_MODE, &code));
    EXPECT_EQ(code, 3);
    EXPECT_FALSE(RunAndWait(dir.file("no-such-program"), SW_SHOWNORMAL_MODE));
    EXPECT_FALSE(RunAndWait("", SW_SHOWNORMAL_MODE));
    EXPECT_FALSE(LaunchProgram(dir.file("no-such-program") + " x"));
}

TEST_F(Process, OverlongCommandLinesAreRefused) {
    const std::string base = QuotePath(ARGV_ECHO) + " ";
    EXPECT_TRUE(RunAndWait(base + std::string(MaxCommandLine - base.size(), 'x'), SW_HIDE_MODE));
    EXPECT_FALSE(RunAndWait(base + std::string(MaxCommandLine - base.size() + 1, 'x'), SW_HIDE_MODE));
    EXPECT_FALSE(LaunchProgram(base + std::string(MaxCommandLine, 'x')));
}

TEST_F(Process, UnquotedProgramPathWithBlanksIsFoundByPrefix) {
    std::filesystem::create_directories(dir.path() / "dir with" / "blank");
    std::filesystem::create_directories(dir.path() / "dir");
    const auto program = dir.path() / "dir with" / "blank" / std::filesystem::path(ARGV_ECHO).filename();
    std::filesystem::copy_file(ARGV_ECHO, program);
    std::filesystem::remove(out);
    ASSERT_TRUE(RunAndWait(program.string() + " one \"two three\"", SW_HIDE_MODE));
    EXPECT_EQ(DecodeEcho(ReadBytes(out)), (Args{"one", "two three"}));
}

TEST_F(Process, LaunchProgramDoesNotWait) {
    std::filesystem::remove(out);
    ASSERT_TRUE(LaunchProgram(QuotePath(ARGV_ECHO) + " launched"));
    for (int i = 0; i < 500 && DecodeEcho(ReadBytes(out)).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(DecodeEcho(ReadBytes(out)), (Args{"launched"}));
}

TEST(AppendLogLine, CreatesAppendsAndReportsFailure) {
    TempDir dir;
    const auto log = dir.file("error.log");
    ASSERT_TRUE(AppendLogLine(log, "first"));
    EXPECT_EQ(ReadBytes(log), "first\r\n");
    ASSERT_TRUE(AppendLogLine(log, "second"));
    EXPECT_EQ(ReadBytes(log), "first\r\nsecond\r\n");

    std::vector<std::string> notices;
    platform::SetAccessErrorHandler([&](const std::string& p, const std::string&) { notices.push_back(p); });
    const auto bad = dir.file("no-folder") + "/error.log";
    EXPECT_FALSE(AppendLogLine(bad, "lost"));
    EXPECT_FALSE(AppendLogLine(dir.path().string(), "a folder"));
    platform::SetAccessErrorHandler({});
    EXPECT_EQ(notices, (std::vector<std::string>{bad, dir.path().string()}));
}

TEST(AppendLogLine, ConcurrentWritersNeverInterleave) {
    TempDir dir;
    const auto log = dir.file("error.log");
    const int perWriter = 300;
    auto writer = [&](char tag) {
        for (int i = 0; i < perWriter; ++i)
            AppendLogLine(log, std::string(200, tag) + std::to_string(i));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    const std::string bytes = ReadBytes(log);
    int lines = 0;
    for (std::size_t pos = 0; pos < bytes.size(); ++lines) {
        const auto end = bytes.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        const std::string line = bytes.substr(pos, end - pos);
        ASSERT_GE(line.size(), 200u);
        EXPECT_EQ(line.find_first_not_of(line[0]), 200u) << line;
        pos = end + 2;
    }
    EXPECT_EQ(lines, 2 * perWriter);
}
