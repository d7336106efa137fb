// The compactor end to end: the real program, copied into a fresh folder, run on
// configuration files against a recording engine.
#include "tests/support/QuilletHarness.h"

#include "core/CfgFile.h"
#include "core/RunHistory.h"
#include "platform/DataFolder.h"
#include "platform/Environment.h"
#include "platform/Process.h"
#include "platform/Programs.h"
#include "tests/support/StandardOptions.h"

#include <random>

#ifndef QUILLET_FAKE_ENGINE
#error "QUILLET_FAKE_ENGINE must name the recording engine"
#endif

namespace quillet::test {
namespace {

using Args = std::vector<std::string>;
using Lines = std::vector<std::string>;

class CompactorRun : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = q_.install(QUILLET_FAKE_ENGINE, "engine/engine" + ExeSuffix);
        spacedEngine_ = q_.install(QUILLET_FAKE_ENGINE, "engine dir/fake engine" + ExeSuffix);
        std::filesystem::create_directories(q_.dir().path() / "data dir");
    }

    // An existing database file.
    std::string db(const std::string& name) const {
        WriteBytes(q_.file(name), "database " + name);
        return q_.file(name);
    }

    void reset() const {
        q_.clearLog();
        ClearCalls(engine_);
        ClearCalls(spacedEngine_);
    }

    QuilletFolder q_;
    std::string engine_;
    std::string spacedEngine_;
};

TEST_F(CompactorRun, FullCommandLineHasEveryPieceInOrder) {
    const std::string plain = db("plain.mdb");
    const std::string spaced = db("data dir/my db.mdb");
    SetExitCode(engine_, 3);
    const std::string cfg =
        q_.writeCfg({"CompactFiles=" + plain + "|" + spaced + "|", "AccessPath=" + engine_,
                     "Workgroup=W:\\work group\\sys.mdw", "Repair=1", "Login=admin", "Password=s3cret",
                     "Description=ignored"});
    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);

    const Args tail = {"/wrkgrp", "W:\\work", "group\\sys.mdw", "/repair", "/compact",
                       "/user",   "admin",    "/pwd",           "s3cret"};
    Args first = {plain}, second = {spaced};
    first.insert(first.end(), tail.begin(), tail.end());
    second.insert(second.end(), tail.begin(), tail.end());
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{first, second}));

    const std::string switches = " /wrkgrp W:\\work group\\sys.mdw /repair /compact /user admin /pwd ****";
    EXPECT_EQ(q_.messages(), (Lines{" Exit code 3 from " + engine_ + " " + plain + switches,
                                    " Exit code 3 from " + engine_ + " \"" + spaced + "\"" + switches}));
}

TEST_F(CompactorRun, UserAndPasswordSwitchesFollowWhatIsSet) {
    const std::string base = db("base.mdb");
    SetExitCode(engine_, 1);
    const std::string head = " Exit code 1 from " + engine_ + " " + base + " /compact";

    q_.writeCfg({"CompactFiles=" + base, "AccessPath=" + engine_, "Login=", "Password=pw"});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{base, "/compact", "/user", "/pwd", "pw"}}));
    EXPECT_EQ(q_.messages(), (Lines{head + " /user  /pwd ****"}));

    reset();
    q_.writeCfg({"CompactFiles=" + base, "AccessPath=" + engine_, "Login=someone"});
    q_.run(QuotePath(q_.file("run.cfg")));
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{base, "/compact", "/user", "someone", "/pwd"}}));
    EXPECT_EQ(q_.messages(), (Lines{head + " /user someone /pwd "}));

    reset();
    q_.writeCfg({"CompactFiles=" + base + "|", "AccessPath=" + engine_, "Repair=0", "Workgroup="});
    q_.run(QuotePath(q_.file("run.cfg")));
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{base, "/compact"}}));
    EXPECT_EQ(q_.messages(), (Lines{head}));
}

TEST_F(CompactorRun, PathsAreQuotedOnceWhenTheyHoldSpaces) {
    const std::string spaced = db("data dir/quoted db.mdb");
    SetExitCode(spacedEngine_, 2);
    // The profile reader drops one outer pair of quotes, so the Access path keeps the inner one.
    q_.writeCfg({"CompactFiles=\"" + spaced + "\"|", "AccessPath=\"\"" + spacedEngine_ + "\"\""});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    EXPECT_EQ(Calls(spacedEngine_), (std::vector<Args>{{spaced, "/compact"}}));
    const std::string quotedEngine = "\"" + spacedEngine_ + "\"";
    // A quoted path names no file as it stands: that is logged, and the run goes on.
    EXPECT_EQ(q_.messages(), (Lines{" Access file: " + quotedEngine + " does not exist.",
                                    " Exit code 2 from " + quotedEngine + " \"" + spaced + "\" /compact"}));

    reset();
    q_.writeCfg({"CompactFiles=" + spaced, "AccessPath=" + spacedEngine_});
    q_.run(QuotePath(q_.file("run.cfg")));
    EXPECT_EQ(Calls(spacedEngine_), (std::vector<Args>{{spaced, "/compact"}}));
    EXPECT_EQ(q_.messages(), (Lines{" Exit code 2 from " + quotedEngine + " \"" + spaced + "\" /compact"}));
}

TEST_F(CompactorRun, MissingConfigurationIsLoggedAndNothingRuns) {
    // Without an engine path: where the stand-in is the default, the one beside the
    // compactor, which this folder lacks.
    const std::string noEngine =
        " Access file: " + (platform::EmptyEngineMeansStandIn ? q_.file(platform::EngineProgramName) : "") +
        " does not exist.";
    const std::string missing = q_.file("no such.cfg");
    EXPECT_EQ(q_.run(QuotePath(missing)), 0);
    EXPECT_EQ(q_.messages(), (Lines{" .Cfg file: " + missing + " does not exist.", noEngine}));

    reset();
    EXPECT_EQ(q_.run(""), 0);
    EXPECT_EQ(q_.messages(), (Lines{" .Cfg file:  does not exist.", noEngine}));

    reset();
    const std::string folder = q_.file("data dir");
    EXPECT_EQ(q_.run(QuotePath(folder) + " further ignored"), 0);
    EXPECT_EQ(q_.messages(), (Lines{" .Cfg file: " + folder + " does not exist.", noEngine}));
    EXPECT_TRUE(Calls(engine_).empty());
}

TEST_F(CompactorRun, EngineByBareNameOrDefaultIsFoundBesideTheCompactor) {
    const std::string a = db("a.mdb");
    const std::string beside = q_.install(QUILLET_FAKE_ENGINE, "QuilletTestEngine" + ExeSuffix);
    q_.writeCfg({"CompactFiles=" + a, "AccessPath=QuilletTestEngine" + ExeSuffix});
    q_.run(QuotePath(q_.file("run.cfg")));
    if (platform::ParseCommandLine(QuotePath(engine_))) {
        // Where the compactor finds programs itself (Windows leaves that to the system):
        // found beside it, and no false line about a missing engine.
        EXPECT_EQ(Calls(beside), (std::vector<Args>{{a, "/compact"}}));
        EXPECT_TRUE(q_.messages().empty());
    }

    if (!platform::EmptyEngineMeansStandIn)
        return;
    reset();
    ClearCalls(beside);
    const std::string standIn = q_.install(QUILLET_FAKE_ENGINE, platform::EngineProgramName);
    q_.writeCfg({"CompactFiles=" + a});
    q_.run(QuotePath(q_.file("run.cfg")));
    EXPECT_EQ(Calls(standIn), (std::vector<Args>{{a, "/compact"}}));
    EXPECT_TRUE(q_.messages().empty());
}

TEST(CompactorOptions, HelpAndVersionPrintAndTouchNoFile) {
    ExpectStandardOptions(BinDir() + "Quillet" + ExeSuffix, "Quillet");
}

TEST_F(CompactorRun, BareConfigurationNameIsReadFromTheCurrentFolder) {
    const std::string a = db("a.mdb");
    q_.writeCfg({"CompactFiles=" + a, "AccessPath=" + engine_}, "bare.cfg");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(q_.dir().path());
    const int code = q_.run("bare.cfg");
    std::filesystem::current_path(previous);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{a, "/compact"}}));
    EXPECT_TRUE(q_.messages().empty());
    // The history names the file by its full path, as the administrator does.
    const auto history = ParseHistory(ReadBytes(q_.file(HistoryFileName)));
    ASSERT_EQ(history.records.size(), 1u);
    EXPECT_EQ(history.records[0].configuration, q_.file("bare.cfg"));
}

TEST_F(CompactorRun, MissingEngineGivesOneStartFailurePerDatabase) {
    const std::string a = db("a.mdb");
    const std::string b = db("data dir/b.mdb");
    const std::string missing = q_.file("no engine" + ExeSuffix);
    q_.writeCfg({"CompactFiles=" + a + "|" + b + "|", "AccessPath=" + missing, "Login=u", "Password=hidden"});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    const std::string engine = "\"" + missing + "\"";
    EXPECT_EQ(q_.messages(),
              (Lines{" Access file: " + missing + " does not exist.",
                     " Could not execute " + engine + " " + a + " /compact /user u /pwd ****",
                     " Could not execute " + engine + " \"" + b + "\" /compact /user u /pwd ****"}));
}

TEST_F(CompactorRun, MissingDatabaseIsLoggedAndStillHandedToTheEngine) {
    const std::string missing = q_.file("gone.mdb");
    const std::string present = db("here.mdb");
    q_.writeCfg({"CompactFiles=" + missing + "|" + present + "|", "AccessPath=" + engine_});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{missing, "/compact"}, {present, "/compact"}}));
    EXPECT_EQ(q_.messages(), (Lines{" .mdb file: " + missing + " does not exist."}));
}

TEST_F(CompactorRun, EmptyListRunsOnlyTheLaunchCommand) {
    q_.writeCfg(
        {"CompactFiles=", "AccessPath=" + engine_, "LaunchFile=" + QuotePath(spacedEngine_) + " launched"});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    EXPECT_EQ(AwaitCalls(spacedEngine_, 1), (std::vector<Args>{{"launched"}}));
    EXPECT_TRUE(Calls(engine_).empty());
    EXPECT_TRUE(q_.messages().empty());
}

TEST_F(CompactorRun, ListEndsAtTheFirstEmptyEntry) {
    const std::string a = db("a.mdb"), b = db("b.mdb"), c = db("c.mdb");
    q_.writeCfg({"CompactFiles=" + a + "|" + b + "||" + c + "|", "AccessPath=" + engine_});
    q_.run(QuotePath(q_.file("run.cfg")));
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{a, "/compact"}, {b, "/compact"}}));

    reset();
    q_.writeCfg({"CompactFiles=  " + a + " |   | " + c, "AccessPath=" + engine_});
    q_.run(QuotePath(q_.file("run.cfg")));
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{a, "/compact"}}));
    EXPECT_TRUE(q_.messages().empty());
}

TEST_F(CompactorRun, LaunchCommandIsNotWaitedFor) {
    const std::string go = q_.file("go");
    q_.writeCfg(
        {"AccessPath=" + engine_, "LaunchFile=" + QuotePath(spacedEngine_) + " --wait-for " + go + " done"});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    // The launched program is still waiting for its go-ahead: the compactor did not wait for it.
    EXPECT_TRUE(Calls(spacedEngine_).empty());
    WriteBytes(go, "go");
    EXPECT_EQ(AwaitCalls(spacedEngine_, 1), (std::vector<Args>{{"--wait-for", go, "done"}}));
}

TEST_F(CompactorRun, PasswordNeverReachesTheLog) {
    const std::string a = db("a.mdb");
    const std::string gone = q_.file("gone.mdb");
    const std::string secret = "Top Secret!";
    const std::string stored = ShiftText(secret, PasswordShift);
    auto expectNoPassword = [&](const Lines& messages) {
        for (const auto& m : messages) {
            EXPECT_EQ(m.find("Secret"), std::string::npos) << m;
            EXPECT_EQ(m.find(stored), std::string::npos) << m;
        }
    };

    SetExitCode(engine_, 7);
    q_.writeCfg(
        {"CompactFiles=" + a + "|" + gone, "AccessPath=" + engine_, "Encrypt=1", "Password=" + stored});
    q_.run(QuotePath(q_.file("run.cfg")));
    // The engine gets the real password, unshifted.
    EXPECT_EQ(Calls(engine_), (std::vector<Args>{{a, "/compact", "/user", "/pwd", "Top", "Secret!"},
                                                 {gone, "/compact", "/user", "/pwd", "Top", "Secret!"}}));
    const Lines ran = q_.messages();
    EXPECT_EQ(ran, (Lines{" Exit code 7 from " + engine_ + " " + a + " /compact /user  /pwd ****",
                          " .mdb file: " + gone + " does not exist.",
                          " Exit code 7 from " + engine_ + " " + gone + " /compact /user  /pwd ****"}));
    expectNoPassword(ran);

    reset();
    const std::string missing = q_.file("nothing here");
    q_.writeCfg({"CompactFiles=" + a, "AccessPath=" + missing, "Encrypt=1", "Password=" + stored});
    q_.run(QuotePath(q_.file("run.cfg")));
    const Lines failed = q_.messages();
    EXPECT_EQ(failed, (Lines{" Access file: " + missing + " does not exist.",
                             " Could not execute \"" + missing + "\" " + a + " /compact /user  /pwd ****"}));
    expectNoPassword(failed);
}

TEST_F(CompactorRun, GarbageHugeAndOddConfigurationsEndQuietly) {
    std::mt19937 random(42);
    std::string garbage(64 * 1024, '\0');
    for (auto& c : garbage)
        c = static_cast<char>(random());
    WriteBytes(q_.file("garbage.cfg"), garbage);
    EXPECT_EQ(q_.run(QuotePath(q_.file("garbage.cfg"))), 0);
    q_.messages(); // every line stamped
    reset();

    // 10 MB: one enormous list value and many lines of noise.
    std::string huge =
        "[Defaults]\r\nAccessPath=" + engine_ + "\r\nCompactFiles=" + std::string(4 << 20, 'x') + "\r\n";
    while (huge.size() < (10u << 20))
        huge += "noise=" + std::string(100, 'n') + "\r\n";
    WriteBytes(q_.file("huge.cfg"), huge);
    EXPECT_EQ(q_.run(QuotePath(q_.file("huge.cfg"))), 0);
    // The compactor reads 2047 characters of a value: one entry of that many x's, whose
    // command line is too long to start.
    const std::string entry(2047, 'x');
    EXPECT_EQ(q_.messages(), (Lines{" .mdb file: " + entry + " does not exist.",
                                    " Could not execute " + engine_ + " " + entry + " /compact"}));
    EXPECT_TRUE(Calls(engine_).empty());
    reset();

    // Quotes and bytes beyond ASCII in paths reach the log as they stand.
    const std::string odd = "caf\xC3\xA9 \"q\".mdb";
    const std::string unbalanced = "\"open.mdb";
    q_.writeCfg({"CompactFiles=" + odd + "|" + unbalanced + "|", "AccessPath=" + engine_});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    // The unbalanced quote takes the rest of the list into its entry.
    EXPECT_EQ(q_.messages(), (Lines{" .mdb file: " + odd + " does not exist.",
                                    " .mdb file: " + unbalanced + "| does not exist."}));
    EXPECT_EQ(Calls(engine_).size(), 2u);
}

TEST_F(CompactorRun, ThousandsOfEntriesAreReadUpTo2047Characters) {
    std::string list;
    for (int i = 0; i < 3000; ++i)
        list += "m" + std::to_string(10000 + i) + "|"; // 7 characters each
    const std::string missing = q_.file("no engine");
    q_.writeCfg({"CompactFiles=" + list, "AccessPath=" + missing});
    EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
    const Lines messages = q_.messages();
    // 2047 = 292 whole entries and "m10292" cut to "m10".
    ASSERT_EQ(messages.size(), 1u + 2u * 293u);
    EXPECT_EQ(messages[1], " .mdb file: m10000 does not exist.");
    EXPECT_EQ(messages[2], " Could not execute " + QuotePath(missing) + " m10000 /compact");
    EXPECT_EQ(messages[585], " .mdb file: m10 does not exist.");
}

TEST_F(CompactorRun, UnwritableLogIsToldWithoutWaitingAndKeptInTheUsersFolder) {
    // The user's data folder and a session without a desktop to notify, for the child.
    const std::string data = q_.file("user data");
    std::filesystem::create_directories(platform::FsPath(data));
    platform::SetEnvironmentVariable("XDG_DATA_HOME", data);
    platform::SetEnvironmentVariable("XDG_RUNTIME_DIR", data);
    platform::SetEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS", "");
    const std::string fallback = platform::UserDataFolder() + "error.log";
    std::string before;
    platform::ReadWholeFile(fallback, before);

    std::filesystem::create_directories(platform::FsPath(q_.logPath())); // a folder where the log should be
    q_.writeCfg({"CompactFiles=" + q_.file("a.mdb") + "|" + q_.file("b.mdb"), "AccessPath=" + engine_});
    const platform::GuardedRun run =
        platform::RunGuarded(QuotePath(q_.quillet()) + " " + QuotePath(q_.file("run.cfg")), SW_HIDE_MODE,
                             std::chrono::seconds(60));
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut) << "the compactor waited";
    EXPECT_EQ(run.exitCode, compactor::LogNotWrittenExitCode);
    EXPECT_EQ(Calls(engine_).size(), 2u) << "the pass went on";
    EXPECT_EQ(run.lastErrorLine, "Access Error: Could not access " + q_.logPath() + ". Its lines are written to " +
                                     fallback + " instead.");
    std::string after;
    ASSERT_TRUE(platform::ReadWholeFile(fallback, after));
    const std::string added = after.substr(before.size());
    EXPECT_NE(added.find(" .mdb file: " + q_.file("a.mdb") + " does not exist.\r\n"), std::string::npos) << added;
    EXPECT_NE(added.find(" .mdb file: " + q_.file("b.mdb") + " does not exist.\r\n"), std::string::npos) << added;
}

} // namespace
} // namespace quillet::test
