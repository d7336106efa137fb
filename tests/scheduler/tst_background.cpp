// The background trigger against stand-ins for the system's schedulers on PATH: what
// is installed, that installing twice leaves one trigger, and that removing it leaves
// everything else alone. The systemd units are checked by systemd-analyze.
#include "platform/DesktopNotice.h"
#include "platform/RegionalTime.h"
#include "scheduler/Background.h"
#include "scheduler/BackgroundCheck.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

using namespace quillet::scheduler;
using quillet::test::ReadBytes;
using quillet::test::ScopedEnv;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

namespace {

const char SystemctlStandIn[] = R"(#!/bin/sh
echo "systemctl $*" >> "$STANDIN_STATE/calls"
if [ -f "$STANDIN_STATE/no-user-manager" ]; then echo "Failed to connect to bus: No medium found" >&2; exit 1; fi
case "$2" in
  show-environment|daemon-reload) exit 0 ;;
  enable) touch "$STANDIN_STATE/enabled-$4"; exit 0 ;;
  disable) rm -f "$STANDIN_STATE/enabled-$4"; exit 0 ;;
  show)
    if [ -f "$STANDIN_STATE/enabled-$3" ]; then
      printf 'UnitFileState=enabled\nActiveState=active\nNextElapseUSecRealtime=Tue 2026-12-08 04:03:00 UTC\n'
    else
      printf 'UnitFileState=disabled\nActiveState=inactive\nNextElapseUSecRealtime=n/a\n'
    fi
    exit 0 ;;
esac
exit 1
)";

const char CrontabStandIn[] = R"(#!/bin/sh
echo "crontab $*" >> "$STANDIN_STATE/calls"
case "$1" in
  -l) if [ -f "$STANDIN_STATE/crontab" ]; then cat "$STANDIN_STATE/crontab"; else echo "no crontab for tester" >&2; exit 1; fi ;;
  -) cat > "$STANDIN_STATE/crontab" ;;
esac
)";

const char LoginctlStandIn[] = R"(#!/bin/sh
echo "loginctl $*" >> "$STANDIN_STATE/calls"
cat "$STANDIN_STATE/linger" 2>/dev/null || echo no
)";

void WriteScript(const std::string& path, const char* text) {
    WriteBytes(path, text);
    ::chmod(path.c_str(), 0755);
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

class Trigger : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.path() / "bin");
        std::filesystem::create_directories(dir.path() / "state");
        std::filesystem::create_directories(dir.path() / "app folder");
        WriteScript(dir.file("bin/systemctl"), SystemctlStandIn);
        WriteScript(dir.file("bin/crontab"), CrontabStandIn);
        WriteScript(dir.file("bin/loginctl"), LoginctlStandIn);
        target.folder = dir.file("app folder") + "/";
        target.program = target.folder + "QuilletSched";
        WriteScript(target.program, "#!/bin/sh\n");
    }
    std::string state(const std::string& name) const { return dir.file("state/" + name); }
    std::string unitFolder() const { return dir.file("config/systemd/user") + "/"; }

    TempDir dir;
    BackgroundTarget target;
    ScopedEnv path{"PATH", (dir.file("bin") + ":/usr/bin:/bin").c_str()};
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config").c_str()};
    ScopedEnv standin{"STANDIN_STATE", dir.file("state").c_str()};
    ScopedEnv user{"USER", "tester"};
};

// What a command prints, with its exit code in front when that is not 0.
std::string Output(const std::string& command) {
    FILE* p = ::popen(command.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    const int rc = p ? ::pclose(p) : -1;
    return rc == 0 ? out : "exit " + std::to_string(rc) + ": " + out;
}

// What systemd itself says of the units; empty when it has nothing to complain about
// (verify exits 0 after mere warnings, so its output counts).
std::string Verify(const std::string& timer, const std::string& service) {
    std::string problems = Output("systemd-analyze verify --man=no '" + timer + "' '" + service + "' 2>&1");
    const std::string text = ReadBytes(timer);
    const auto at = text.find("OnCalendar=");
    if (at == std::string::npos)
        return problems + "no OnCalendar";
    const std::string calendar = text.substr(at + 11, text.find('\n', at) - at - 11);
    const std::string normalized = Output("systemd-analyze calendar '" + calendar + "' 2>&1");
    if (normalized.find("Normalized form: *-*-* *:00:00") == std::string::npos)
        problems += normalized;
    return problems;
}

} // namespace

TEST_F(Trigger, SystemdTimerIsInstalledEnabledReportedAndRemoved) {
    const TriggerResult installed = InstallTrigger(target);
    ASSERT_TRUE(installed.ok) << installed.message;
    EXPECT_NE(installed.message.find("loginctl enable-linger tester"), std::string::npos) << installed.message;

    const std::string name = TriggerName(target.folder);
    const std::string timer = unitFolder() + name + ".timer";
    const std::string service = unitFolder() + name + ".service";
    ASSERT_TRUE(std::filesystem::exists(timer));
    ASSERT_TRUE(std::filesystem::exists(service));
    if (std::system("systemd-analyze --version >/dev/null 2>&1") == 0) {
        EXPECT_EQ(Verify(timer, service), "");
    }
    const std::string calls = ReadBytes(state("calls"));
    EXPECT_NE(calls.find("systemctl --user daemon-reload"), std::string::npos) << calls;
    EXPECT_NE(calls.find("systemctl --user enable --now " + name + ".timer"), std::string::npos) << calls;

    TriggerStatus status = QueryTrigger(target);
    EXPECT_TRUE(status.installed);
    EXPECT_EQ(status.name, name + ".timer");
    EXPECT_EQ(status.nextRun, "Tue 2026-12-08 04:03:00 UTC");
    EXPECT_EQ(status.runsLoggedOut, false);
    EXPECT_EQ(status.problem, "");
    WriteBytes(state("linger"), "yes\n");
    EXPECT_EQ(QueryTrigger(target).runsLoggedOut, true);

    // Switched off behind our back: the status says so.
    std::filesystem::remove(state("enabled-" + name + ".timer"));
    EXPECT_NE(QueryTrigger(target).problem, "");

    ASSERT_TRUE(InstallTrigger(target).ok); // again: the same two files, enabled again
    EXPECT_EQ(QueryTrigger(target).problem, "");
    const TriggerResult removed = UninstallTrigger(target);
    EXPECT_TRUE(removed.ok) << removed.message;
    EXPECT_FALSE(std::filesystem::exists(timer));
    EXPECT_FALSE(std::filesystem::exists(service));
    EXPECT_NE(ReadBytes(state("calls")).find("systemctl --user disable --now " + name + ".timer"), std::string::npos);
    EXPECT_FALSE(QueryTrigger(target).installed);
}

TEST_F(Trigger, WithoutUserManagerOneCrontabLineLeavingOtherLines) {
    WriteBytes(state("no-user-manager"), "");
    WriteBytes(state("crontab"), "MAILTO=admin\n30 2 * * * /usr/bin/backup\n");
    ASSERT_TRUE(InstallTrigger(target).ok);
    ASSERT_TRUE(InstallTrigger(target).ok);
    std::string crontab = ReadBytes(state("crontab"));
    EXPECT_EQ(CountOf(crontab, "--due"), 1) << crontab;
    EXPECT_NE(crontab.find("MAILTO=admin\n30 2 * * * /usr/bin/backup\n"), std::string::npos) << crontab;
    EXPECT_NE(crontab.find("* * * * '" + target.program + "' --due"), std::string::npos) << crontab;

    TriggerStatus status = QueryTrigger(target);
    EXPECT_TRUE(status.installed);
    EXPECT_EQ(status.kind, "crontab line");
    EXPECT_EQ(status.runsLoggedOut, true);
    EXPECT_FALSE(status.nextRun.empty());

    // Another folder's line stays when this folder's goes.
    BackgroundTarget other{dir.file("other") + "/", dir.file("other") + "/QuilletSched"};
    std::filesystem::create_directories(dir.file("other"));
    WriteScript(other.program, "#!/bin/sh\n");
    ASSERT_TRUE(InstallTrigger(other).ok);
    ASSERT_TRUE(UninstallTrigger(target).ok);
    crontab = ReadBytes(state("crontab"));
    EXPECT_EQ(crontab, "MAILTO=admin\n30 2 * * * /usr/bin/backup\n" + CrontabLine(other) + "\n");
    EXPECT_FALSE(QueryTrigger(target).installed);
}

TEST_F(Trigger, UnreadableCrontabIsNeverReplaced) {
    WriteBytes(state("no-user-manager"), "");
    WriteScript(dir.file("bin/crontab"), "#!/bin/sh\necho \"crontab $*\" >> \"$STANDIN_STATE/calls\"\n"
                                          "echo 'crontab: cannot open spool' >&2; exit 1\n");
    const TriggerResult r = InstallTrigger(target);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("cannot open spool"), std::string::npos) << r.message;
    // The remedies: cron, or a user manager that lingers.
    EXPECT_NE(r.message.find("apt install cron"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("loginctl enable-linger"), std::string::npos) << r.message;
    EXPECT_EQ(CountOf(ReadBytes(state("calls")), "crontab -\n"), 0);
}

TEST(TriggerTexts, NamesAndOddPaths) {
    EXPECT_EQ(TriggerName("/srv/a/"), TriggerName("/srv/a/"));
    EXPECT_NE(TriggerName("/srv/a/"), TriggerName("/srv/b/"));
    // The shell that cron starts must see the path whole, quotes and percent signs included.
    const BackgroundTarget odd{"/srv/it's 100%/", "/srv/it's 100%/QuilletSched"};
    const std::string line = CrontabLine(odd);
    EXPECT_NE(line.find("'/srv/it'\\''s 100\\%/QuilletSched' --due"), std::string::npos) << line;
    EXPECT_TRUE(CrontabHasLine(CrontabWithLine("", odd), odd.folder));
    EXPECT_EQ(CrontabWithoutLine(CrontabWithLine("x\n", odd), odd.folder), "x\n");

    EXPECT_EQ(StampToSeconds("1970-01-01T01:00:00+01:00"), 0);
    EXPECT_EQ(StampToSeconds("2026-12-08T01:00:03-00:30"), StampToSeconds("2026-12-08T01:30:03Z"));
    EXPECT_EQ(StampToSeconds("2026-12-08 01:00:03"), std::nullopt);
    const auto now = static_cast<long long>(std::time(nullptr));
    EXPECT_EQ(StampToSeconds(quillet::platform::IsoLocalTime(now)), now);
}

TEST(TriggerTexts, TaskDefinitionIsWellFormedForAnyPath) {
    const BackgroundTarget odd{"C:\\Data & <More>\\", "C:\\Data & <More>\\QuilletSched.exe"};
    TempDir dir;
    const std::string xml = dir.file("task.xml");
    std::string text = TaskXml(odd);
    // xmllint reads the declared encoding; the bytes here are plain ASCII.
    text.replace(text.find("UTF-16"), 6, "UTF-8");
    WriteBytes(xml, text);
    if (std::system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed";
    EXPECT_EQ(std::system(("xmllint --noout '" + xml + "'").c_str()), 0);
}

TEST_F(Trigger, FailureNoticeReachesTheDesktopOnlyWhenThereIsOne) {
    WriteScript(dir.file("bin/notify-send"), "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done "
                                            ">> \"$STANDIN_STATE/notices\"\necho >> \"$STANDIN_STATE/notices\"\n");
    CheckOutcome outcome;
    outcome.exitCode = CheckRunFailures;
    outcome.problems = {"Nightly (/srv/night.cfg): /srv/orders.mdb: in-use"};
    const FailureNotice notice = MakeFailureNotice(outcome, "/srv/app/compact-history.csv");
    EXPECT_NE(notice.body.find("Nightly (/srv/night.cfg)"), std::string::npos);
    EXPECT_NE(notice.body.find("/srv/app/compact-history.csv"), std::string::npos);

    {
        // cron starts programs without the bus address and no session bus is there.
        ScopedEnv noAddress("DBUS_SESSION_BUS_ADDRESS", nullptr);
        ScopedEnv runtime("XDG_RUNTIME_DIR", dir.file("state").c_str());
        EXPECT_FALSE(quillet::platform::ShowDesktopNotice(notice.title, notice.body));
        EXPECT_FALSE(std::filesystem::exists(state("notices")));
    }
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/0/bus");
    EXPECT_TRUE(quillet::platform::ShowDesktopNotice(notice.title, notice.body));
    EXPECT_EQ(ReadBytes(state("notices")), "--app-name=Quillet|--urgency=critical|--icon=dialog-warning|--|" +
                                               notice.title + "|" + notice.body + "|\n");
}
