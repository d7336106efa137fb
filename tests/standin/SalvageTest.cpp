// /repair on the damage corpus: every row that lay on an intact page comes back,
// no row is invented, the result passes integrity_check and the damaged bytes stay.
#include "DamageCorpus.h"

#include "standin/Salvage.h"

#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace quillet::test {
namespace {

struct Case {
    Damage damage;
    int pageSize;
    bool secureDelete;
};

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (int d = 0; d <= static_cast<int>(Damage::PageSizeField); ++d)
        for (int size : CasePageSizes(static_cast<Damage>(d)))
            for (bool secure : {false, true})
                cases.push_back({static_cast<Damage>(d), size, secure});
    return cases;
}

struct TableQuery {
    const char* name;
    const char* rows;
    const char* keys;
};
const TableQuery Tables[] = {
    {"orders", "SELECT rowid, * FROM orders", "SELECT rowid FROM orders ORDER BY rowid"},
    {"notes", "SELECT rowid, * FROM notes", "SELECT rowid FROM notes ORDER BY rowid"},
    {"kv", "SELECT * FROM kv", "SELECT k FROM kv ORDER BY k"},
};

class Salvage : public ::testing::TestWithParam<Case> {};

TEST_P(Salvage, EveryRowOnAnIntactPageComesBackAndNoneIsInvented) {
    const Case c = GetParam();
    TempDir dir;
    const std::string original = dir.file("original.db"), db = dir.file("shop.db");
    MakeCorpusDatabase(original, c.pageSize, c.secureDelete);
    std::filesystem::copy_file(original, db);
    const std::set<std::uint32_t> touched = ApplyDamage(db, c.damage, static_cast<unsigned>(c.pageSize + c.secureDelete));
    const std::string damagedBytes = ReadBytes(db);
    const bool sqliteFindsDamage =
        Db(db).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'") != 1;

    const EngineResult r = RunEngine(dir, {db, "/repair", "/compact"});

    long long recoverable = 0, back = 0, total = 0;
    for (const TableQuery& t : Tables) {
        const auto before = TableRows(original, t.rows);
        const auto after = TableRows(db, t.rows);
        const auto pages = RowPages(original, t.name, t.keys);
        std::vector<std::string> invented, missing;
        for (const auto& [key, row] : after) {
            const auto was = before.find(key);
            // A row whose values may be garbled is kept when the report names it.
            const bool named = r.err.find(std::string("table ") + t.name + ", row " + key + ":") != std::string::npos;
            if (was == before.end() || (was->second != row && !named))
                invented.push_back(key);
        }
        for (const auto& [key, row] : before) {
            ++total;
            const auto now = after.find(key);
            const bool isBack = now != after.end() && now->second == row;
            back += isBack;
            const auto on = pages.find(key);
            ASSERT_TRUE(on != pages.end() && !on->second.empty()) << t.name << " row " << key;
            bool intact = true;
            for (std::uint32_t p : on->second)
                intact = intact && !touched.count(p);
            if (intact) {
                ++recoverable;
                if (!isBack)
                    missing.push_back(key);
            }
        }
        EXPECT_TRUE(invented.empty()) << t.name << ": " << invented.size() << " rows invented, first " << invented.front()
                                      << "\n" << r.out << r.err;
        EXPECT_TRUE(missing.empty()) << t.name << ": " << missing.size() << " rows on intact pages missing, first "
                                     << missing.front();
    }
    std::cout << "[corpus] " << DamageName(c.damage) << ", " << c.pageSize << "-byte pages"
              << (c.secureDelete ? ", secure_delete" : "") << ": " << back << " of " << recoverable
              << " recoverable rows back (" << total << " in all); exit " << r.code << "\n";

    Db result(db);
    EXPECT_EQ(result.number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1) << r.out;
    EXPECT_EQ(result.number("SELECT count(*) FROM sqlite_schema WHERE name IN ('orders_customer', 'big_orders')"), 2);
    EXPECT_EQ(result.number("PRAGMA user_version"), 42);
    EXPECT_EQ(result.number("PRAGMA application_id"), 7);
    EXPECT_EQ(result.number("PRAGMA page_size"), c.pageSize);
    EXPECT_EQ(r.code, back == total ? 0 : 7) << r.out << r.err;

    // The original is kept byte for byte whenever a file that shows damage was changed.
    std::vector<std::string> kept;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().rfind("shop.damaged-", 0) == 0)
            kept.push_back(entry.path().string());
    if (c.damage == Damage::None) {
        EXPECT_TRUE(kept.empty());
    } else if (!kept.empty() || sqliteFindsDamage) {
        ASSERT_EQ(kept.size(), 1u) << r.out << r.err;
        EXPECT_EQ(ReadBytes(kept.front()), damagedBytes);
        EXPECT_NE(r.err.find("the damaged file is kept as " + kept.front()), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, Salvage, ::testing::ValuesIn(AllCases()), [](const auto& info) {
    std::string name = DamageName(info.param.damage);
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name + "_" + std::to_string(info.param.pageSize) + (info.param.secureDelete ? "_secure" : "");
});

// A database in WAL mode whose main file is damaged, its log holding commits. The log's
// committed pages come back with it; the original and its log are kept byte for byte;
// and while another program has the database open nothing is touched at all, as a
// connection left open would write its log into the new file.
TEST(SalvageLog, CommittedPagesComeBackTheLogIsKeptAndAnOpenReaderStopsTheRepair) {
    for (const int pageSize : {1024, 4096}) {
        TempDir dir;
        const std::string db = dir.file("wal.db");
        MakeCorpusDatabase(db, pageSize, false);
        const std::uint32_t leaf = PageOf(Pages(db), "orders", "leaf", 5).page;
        {
            Db w(db);
            w.must("PRAGMA journal_mode = WAL");
            sqlite3_db_config(w.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            w.must("INSERT INTO notes VALUES('written to the log', -1); UPDATE kv SET v = -v");
        }
        ASSERT_GT(std::filesystem::file_size(db + "-wal"), 0u);
        {
            std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(static_cast<long>((leaf - 1) * pageSize));
            f << std::string(static_cast<std::size_t>(pageSize), '\0');
        }
        const std::string mainBytes = ReadBytes(db), logBytes = ReadBytes(db + "-wal");

        {
            Db reader(db);
            sqlite3_db_config(reader.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            reader.must("BEGIN; SELECT count(*) FROM notes;");
            const EngineResult r = RunEngine(dir, {db, "/repair", "/compact", "/busy", "1"});
            EXPECT_EQ(r.code, 4) << r.out << r.err;
            EXPECT_NE(r.err.find("no other program has it open"), std::string::npos) << r.err;
            EXPECT_TRUE(ReadBytes(db) == mainBytes && ReadBytes(db + "-wal") == logBytes);
            reader.must("COMMIT");
        }
        EXPECT_TRUE(ReadBytes(db) == mainBytes && ReadBytes(db + "-wal") == logBytes);

        const EngineResult r = RunEngine(dir, {db, "/repair"});
        EXPECT_EQ(r.code, 7) << r.out << r.err;
        Db result(db);
        EXPECT_EQ(result.number("SELECT count(*) FROM notes WHERE line = 'written to the log'"), 1);
        EXPECT_EQ(result.number("SELECT count(*) FROM kv WHERE v > 0"), 0);
        EXPECT_EQ(result.number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1);
        EXPECT_EQ(result.number("SELECT count(*) FROM pragma_journal_mode WHERE journal_mode = 'wal'"), 1);
        std::string kept;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().extension() == ".db" && entry.path().filename().string().rfind("wal.damaged-", 0) == 0)
                kept = entry.path().string();
        ASSERT_FALSE(kept.empty()) << r.err;
        EXPECT_TRUE(ReadBytes(kept) == mainBytes);
        EXPECT_TRUE(ReadBytes(kept + "-wal") == logBytes);
    }
}

// Whether a process of its own could take the write lock that SQLite's RESERVED lock
// is (the byte after the pending one) on the file now.
bool AnotherProcessCanWrite(const std::string& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(path.c_str(), O_RDWR);
        struct flock range {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = 0x40000001;
        range.l_len = 1;
        ::_exit(fd >= 0 && ::fcntl(fd, F_SETLK, &range) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The repair reads, keeps and salvages the file while its connection holds the write
// lock; none of that may drop the lock (on POSIX closing any descriptor of a file
// drops all of the process's locks on it), or a writer could slip in unseen.
TEST(SalvageLocks, TheWriteLockHoldsWhileTheRepairReadsKeepsAndSalvages) {
    TempDir dir;
    const std::string path = dir.file("locked.db");
    MakeCorpusDatabase(path, 4096, false);
    ApplyDamage(path, Damage::LeafPage);
    Db db(path);
    db.must("BEGIN IMMEDIATE");
    ASSERT_FALSE(AnotherProcessCanWrite(path));

    EXPECT_TRUE(standin::CheckDatabaseFile(db.get(), path).tableDamage);
    EXPECT_FALSE(AnotherProcessCanWrite(path));
    std::string error;
    const std::string kept = standin::KeepOriginal(db.get(), path, error);
    EXPECT_FALSE(kept.empty()) << error;
    EXPECT_FALSE(AnotherProcessCanWrite(path));
    const standin::SalvageResult salvaged = standin::SalvageInPlace(db.get(), path);
    ASSERT_TRUE(salvaged.done) << salvaged.error;
    // The connection still has the damaged file, now under its kept name.
    EXPECT_FALSE(AnotherProcessCanWrite(salvaged.damagedCopy));
    db.exec("ROLLBACK");
    EXPECT_TRUE(AnotherProcessCanWrite(salvaged.damagedCopy));
}

// Text that is not valid UTF-8 or holds NUL bytes, on sound pages: applications store
// such text, so the rows stay as they are, named in the report, and nothing fails.
TEST(SalvageText, RowsWithOddTextAreKeptAndNamed) {
    for (const bool damaged : {false, true}) {
        TempDir dir;
        const std::string db = dir.file("text.db");
        MakeCorpusDatabase(db, 4096, false);
        Db(db).must("INSERT INTO notes(rowid, line, n) VALUES (9001, CAST(x'6e6f7465c328' AS TEXT), 1),"
                    " (9002, 'a' || char(0) || 'b', 2), (9003, CAST(x'eda080' AS TEXT), 3)");
        const std::string before = Dump(db), original = dir.file("original.db");
        std::filesystem::copy_file(db, original);
        if (damaged)
            ApplyDamage(db, Damage::LeafPage);

        const EngineResult r = RunEngine(dir, {db, "/repair", "/compact"});
        EXPECT_EQ(r.code, damaged ? 7 : 0) << r.out << r.err;
        for (const char* row : {"row 9001:", "row 9002:", "row 9003:"})
            EXPECT_NE(r.err.find(std::string("table notes, ") + row), std::string::npos) << row << "\n" << r.err;
        EXPECT_EQ(TableRows(db, "SELECT rowid, * FROM notes WHERE rowid > 9000"),
                  TableRows(original, "SELECT rowid, * FROM notes WHERE rowid > 9000"));
        EXPECT_EQ(TableRows(db, "SELECT rowid, * FROM notes WHERE rowid > 9000").size(), 3u);
        if (!damaged) {
            EXPECT_EQ(Dump(db), before);
        }
    }
}

} // namespace
} // namespace quillet::test
