// The compactor and the stand-in engine together, on real SQLite files.
#include "SqliteFiles.h"
#include "core/RunHistory.h"
#include "platform/Environment.h"
#include "tests/support/QuilletHarness.h"

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
    const std::string switches = " /wrkgrp /etc/work group.mdw /repair /compact /user admin /pwd ****";
    EXPECT_EQ(q.messages(), (std::vector<std::string>{
                                " Exit code 3 from " + engineQuoted + " " + notes + switches,
                                " .mdb file: " + missing + " does not exist.",
                                " Exit code 2 from " + engineQuoted + " " + missing + switches,
                            }));
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

} // namespace
} // namespace quillet::test
