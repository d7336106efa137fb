// The compactor and the stand-in engine together, on real SQLite files.
#include "SqliteFiles.h"
#include "tests/compactor/QuilletHarness.h"

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
