// The compactor and the stand-in engine together, on real SQLite files.
#include "SqliteFiles.h"
#include "core/RunHistory.h"
#include "platform/Environment.h"
#include "tests/support/QuilletHarness.h"

#include <dirent.h>
#include <future>
#include <regex>

namespace quillet::test {
namespace {

TEST(CompactWithEngine, DatabasesShrinkWithTheirDataAndOtherFilesStayAsTheyWere) {
    QuilletFolder q;
    const std::string engine = q.install(QUILLET_ENGINE, "engine dir/QuilletEngine");
    std::filesystem::create_directories(q.dir().path() / "data dir");
    const std::string spaced = q.file("data dir/orders 2026.db");
    const std::string plain = q.file("plain.db");
    const std::string notes = q.file("notes.txt");
    const std::string missing = q.file("gone.db");
    MakeDatabase(spaced);
    MakeDatabase(plain, 200);
    WriteBytes(notes, "not a database\r\n");
    const std::string spacedDump = Dump(spaced), plainDump = Dump(plain);
    const long long spacedSize = SizeOf(spaced), plainSize = SizeOf(plain);

    q.writeCfg({"CompactFiles=" + spaced + "|" + notes + "|" + missing + "|" + plain + "|",
                "AccessPath=" + engine, "Repair=1", "Login=admin", "Password=secret",
                "Workgroup=/etc/work group.mdw"});
    EXPECT_EQ(q.run(QuotePath(q.file("run.cfg"))), 0);

    EXPECT_LT(SizeOf(spaced), spacedSize / 2);
    EXPECT_LT(SizeOf(plain), plainSize / 2);
    EXPECT_EQ(FreePages(spaced), 0);
    EXPECT_EQ(Dump(spaced), spacedDump);
    EXPECT_EQ(Dump(plain), plainDump);
    EXPECT_EQ(ReadBytes(notes), "not a database\r\n");

    const std::string engineQuoted = "\"" + engine + "\"";
    // The stand-in is handed the password through a descriptor, whose number may vary.
    const std::string switches = " /wrkgrp /etc/work group.mdw /repair /compact /user admin /pwdfd N";
    std::vector<std::string> messages = q.messages();
    for (auto& m : messages)
        m = std::regex_replace(m, std::regex("/pwdfd [0-9]+$"), "/pwdfd N");
    EXPECT_EQ(messages, (std::vector<std::string>{
                                " Exit code 3 from " + engineQuoted + " " + notes + switches,
                                " .mdb file: " + missing + " does not exist.",
                                " Exit code 2 from " + engineQuoted + " " + missing + switches,
                            }));
}

// The command line of a running process started from `program`, its words joined by
// blanks; empty when there is none.
std::string CommandLineOfProcess(const std::string& program) {
    DIR* proc = ::opendir("/proc");
    std::string found;
    while (dirent* entry = proc ? ::readdir(proc) : nullptr) {
        const std::string words = ReadBytes(std::string("/proc/") + entry->d_name + "/cmdline");
        if (words.rfind(program + '\0', 0) == 0) {
            found = words;
            std::replace(found.begin(), found.end(), '\0', ' ');
            break;
        }
    }
    if (proc)
        ::closedir(proc);
    return found;
}

TEST(CompactWithEngine, PasswordReachesTheStandInButNotItsCommandLine) {
    QuilletFolder q;
    // Beside the compactor: the engine of a configuration without AccessPath.
    const std::string engine = q.install(QUILLET_ENGINE, "QuilletEngine");
    const std::string data = q.file("held.db");
    MakeDatabase(data);
    const long long size = SizeOf(data);
    const std::string secret = "Sesame-4711";
    q.writeCfg({"CompactFiles=" + data, "Login=admin", "Password=" + secret});

    // The engine waits for the lock the test holds, long enough to be looked at.
    Db holder(data);
    holder.must("BEGIN EXCLUSIVE");
    auto run = std::async(std::launch::async, [&] { return q.run(QuotePath(q.file("run.cfg"))); });
    std::string commandLine;
    for (int i = 0; i < 400 && commandLine.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        commandLine = CommandLineOfProcess(engine);
    }
    holder.must("COMMIT");
    EXPECT_EQ(run.get(), 0);

    ASSERT_FALSE(commandLine.empty()) << "the engine was never seen running";
    EXPECT_EQ(commandLine.find(secret), std::string::npos) << commandLine;
    EXPECT_NE(commandLine.find(" /user admin /pwdfd "), std::string::npos) << commandLine;
    const auto history = ParseHistory(ReadBytes(q.file(HistoryFileName))).records;
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].outcome, RunOutcome::Ok) << history[0].detail;
    EXPECT_LT(SizeOf(data), size);
    EXPECT_TRUE(q.messages().empty());
}

} // namespace
} // namespace quillet::test

namespace quillet::test {
namespace {

TEST(CompactWithEngine, EngineStoppedAtTheTimeLimitLeavesTheDatabaseAsItWas) {
    QuilletFolder q;
    const std::string engine = q.install(QUILLET_ENGINE, "engine/QuilletEngine");
    const std::string big = q.file("big.db");
    {
        Db db(big);
        db.must("CREATE TABLE t(id INTEGER PRIMARY KEY, note BLOB);"
                "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 120000)"
                " INSERT INTO t(note) SELECT randomblob(500) FROM n;"
                "DELETE FROM t WHERE id % 3 = 0;");
    }
    const auto facts = [&] {
        Db db(big);
        return std::to_string(db.number("SELECT count(*) FROM t")) + "/" +
               std::to_string(db.number("SELECT sum(length(note)) FROM t")) + "/" +
               std::to_string(db.number("SELECT sum(unicode(substr(note, 7, 1))) FROM t")) + "/" +
               std::to_string(FreePages(big));
    };
    const std::string before = facts();

    q.writeCfg({"CompactFiles=" + big, "AccessPath=" + engine, "TimeLimit=1"});
    compactor::PassContext context;
    context.minute = std::chrono::milliseconds(80);
    q.pass(q.file("run.cfg"), context);

    const auto history = ParseHistory(ReadBytes(q.file(HistoryFileName))).records;
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].outcome, RunOutcome::TimedOut);
    EXPECT_EQ(facts(), before);
    EXPECT_EQ(Db(big).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check <> 'ok'"), 0);
}

} // namespace
} // namespace quillet::test

#include "DamageCorpus.h"

namespace quillet::test {
namespace {

// A salvage that lost rows is a failure that the history shows with its exit code and
// the engine's last line; one that lost nothing is a plain success.
TEST(CompactWithEngine, RepairThatLostRowsIsAFailureInTheHistory) {
    QuilletFolder q;
    const std::string engine = q.install(QUILLET_ENGINE, "QuilletEngine");
    const std::string lost = q.file("lost.db"), whole = q.file("whole.db");
    MakeCorpusDatabase(lost, 4096, false);
    std::filesystem::copy_file(lost, whole);
    ApplyDamage(lost, Damage::LeafPage);
    ApplyDamage(whole, Damage::InteriorPage);

    q.writeCfg({"CompactFiles=" + lost + "|" + whole, "AccessPath=" + engine, "Repair=1"});
    EXPECT_EQ(q.run(QuotePath(q.file("run.cfg"))), 0);

    const auto history = ParseHistory(ReadBytes(q.file(HistoryFileName))).records;
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].outcome, RunOutcome::Failed);
    EXPECT_EQ(history[0].exitCode, 7);
    EXPECT_NE(history[0].detail.find("repaired by salvage, some rows lost"), std::string::npos) << history[0].detail;
    EXPECT_NE(history[0].detail.find("the damaged file is kept as " + q.file("lost.damaged-")), std::string::npos);
    EXPECT_EQ(history[1].outcome, RunOutcome::Ok);
    EXPECT_NE(history[1].detail.find("repaired by salvage, nothing lost"), std::string::npos) << history[1].detail;
    ASSERT_EQ(q.messages().size(), 1u);
    EXPECT_EQ(q.messages()[0].rfind(" Exit code 7 from ", 0), 0u) << q.messages()[0];
}

// Without Repair a damaged file is its own outcome, with the engine's line: not disk trouble.
TEST(CompactWithEngine, DamagedFileWithoutRepairIsDamagedInTheHistory) {
    QuilletFolder q;
    const std::string engine = q.install(QUILLET_ENGINE, "QuilletEngine");
    const std::string damaged = q.file("damaged.db");
    MakeCorpusDatabase(damaged, 4096, false);
    ApplyDamage(damaged, Damage::LeafPage);
    const std::string bytes = ReadBytes(damaged);

    q.writeCfg({"CompactFiles=" + damaged, "AccessPath=" + engine});
    EXPECT_EQ(q.run(QuotePath(q.file("run.cfg"))), 0);

    const auto history = ParseHistory(ReadBytes(q.file(HistoryFileName))).records;
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].outcome, RunOutcome::Damaged);
    EXPECT_EQ(history[0].exitCode, 6);
    EXPECT_EQ(history[0].detail.rfind("QuilletEngine: " + damaged + ": damaged (", 0), 0u) << history[0].detail;
    EXPECT_NE(history[0].detail.find("; not compacted, the file is as it was; tick Repair to salvage it"),
              std::string::npos);
    EXPECT_TRUE(ReadBytes(damaged) == bytes);
}

} // namespace
} // namespace quillet::test
