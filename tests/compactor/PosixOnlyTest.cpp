// Behaviour that only POSIX systems show: LC_TIME decides the log's date format, process
// groups, permission bits, terminals.
#include "tests/support/QuilletHarness.h"
#include "tests/support/ScopedEnv.h"

#include "core/Reports.h"
#include "platform/SecretStore.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

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

// Quillet --report-password with standard input from `input` (opened on descriptor 0),
// its output and errors into files of the folder; its exit code.
int KeepPassword(const QuilletFolder& q, const std::string& input, const std::function<void(pid_t)>& whileRunning) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, input.c_str(), O_RDWR, 0);
    posix_spawn_file_actions_addopen(&files, 1, q.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, q.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const char* argv[] = {q.quillet().c_str(), "--report-password", nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &files, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&files);
    if (failed != 0)
        return -1;
    whileRunning(pid);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

TEST(ReportPasswordPosix, TypedAtATerminalItIsNotShownRedirectedItIsTaken) {
    QuilletFolder q;
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_TRUE(::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
    const std::string typed = "pässwörd at the terminal";
    const auto awaitPrompt = [&] {
        for (int i = 0; i < 200 && ReadBytes(q.file("err")).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    };
    const int code = KeepPassword(q, ::ptsname(terminal), [&](pid_t) {
        awaitPrompt(); // typed once the prompt is there, so that what the terminal echoes is decided
        ASSERT_GT(::write(terminal, (typed + "\n").data(), typed.size() + 1), 0);
    });
    EXPECT_EQ(code, 0) << ReadBytes(q.file("err"));
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    char shown[512];
    const ssize_t n = ::read(terminal, shown, sizeof shown);
    EXPECT_EQ(std::string(shown, n > 0 ? static_cast<std::size_t>(n) : 0).find("pässwörd"), std::string::npos);
    EXPECT_EQ(ReadBytes(q.file("err")), "Mail password: \n");
    EXPECT_EQ(ReadBytes(q.file("out")).find("Mail password"), std::string::npos);
    std::string reason;
    EXPECT_EQ(platform::LoadSecret(q.file(MailPasswordFileName), reason), typed) << reason;

    // Ctrl-C at the prompt ends the program and leaves the terminal echoing again.
    EXPECT_EQ(KeepPassword(q, ::ptsname(terminal), [&](pid_t pid) {
                  awaitPrompt();
                  ::kill(pid, SIGINT);
              }),
              128 + SIGINT);
    const int user = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
    termios after{};
    ASSERT_EQ(::tcgetattr(user, &after), 0);
    EXPECT_TRUE(after.c_lflag & ECHO);
    ::close(user);
    ::close(terminal);

    WriteBytes(q.file("input"), "redirected\r\n");
    EXPECT_EQ(KeepPassword(q, q.file("input"), [](pid_t) {}), 0);
    EXPECT_EQ(platform::LoadSecret(q.file(MailPasswordFileName), reason), "redirected") << reason;
    EXPECT_EQ(ReadBytes(q.file("err")), "");
}

} // namespace
} // namespace quillet::test
