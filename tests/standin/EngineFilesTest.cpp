// The stand-in engine program on real SQLite files.
#include "SqliteFiles.h"

#include "standin/MappingGuard.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace quillet::test {
namespace {

class EngineFiles : public ::testing::Test {
protected:
    std::string database(const std::string& name) {
        const std::string path = dir_.file(name);
        MakeDatabase(path);
        return path;
    }
    static int Lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    static std::set<std::string> Names(const TempDir& dir) {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            found.insert(entry.path().filename().string());
        return found;
    }
    std::set<std::string> names() const { return Names(dir_); }
    // Shell text that gives the engine a temporary folder of its own.
    std::string scratchFolder() const { return "SQLITE_TMPDIR=" + ShellQuote(scratch_.path().string()) + " "; }

    TempDir dir_;
    TempDir scratch_;
};

TEST_F(EngineFiles, CompactRemovesFreePagesAndKeepsEveryRowWithItsRowid) {
    // With an index on "notes" a plain VACUUM keeps its rowids, and is what runs.
    for (const bool indexed : {false, true}) {
        const std::string db = database(indexed ? "indexed.db" : "orders.db");
        if (indexed)
            Db(db).must("CREATE INDEX notes_line ON notes(line)");
        const std::string before = Dump(db);
        const long long size = SizeOf(db);
        ASSERT_GT(FreePages(db), 100);
        const std::string original = dir_.file("original.db");
        std::filesystem::copy_file(db, original, std::filesystem::copy_options::overwrite_existing);

        const EngineResult r = RunEngine(dir_, {db, "/compact"}, scratchFolder());
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        EXPECT_LT(SizeOf(db), size / 2);
        EXPECT_EQ(FreePages(db), 0);
        EXPECT_EQ(Dump(db), before);
        // No scratch copy or journal is left, beside it or in the temporary folder.
        EXPECT_EQ(Names(scratch_), std::set<std::string>{});
        // The tool users would check with sees no change either.
        if (std::system("command -v sqldiff >/dev/null") == 0) {
            const std::string diff = dir_.file("diff.txt");
            ASSERT_EQ(std::system(("sqldiff " + ShellQuote(original) + " " + ShellQuote(db) + " >" +
                                   ShellQuote(diff)).c_str()), 0);
            EXPECT_EQ(ReadBytes(diff), "");
            std::filesystem::remove(diff);
        }
    }
    EXPECT_EQ(names(), (std::set<std::string>{"engine.err", "engine.out", "indexed.db", "orders.db", "original.db"}));
}

TEST_F(EngineFiles, LogModeDatabaseIsCompactedAndNamesTheTablesRenumbered) {
    const std::string db = database("wal.db");
    Db(db).must("PRAGMA journal_mode = WAL");
    const long long notes = Db(db).number("SELECT count(*) FROM notes");
    const long long orders = Db(db).number("SELECT count(*) FROM orders");

    const EngineResult r = RunEngine(dir_, {db, "/compact"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "QuilletEngine: " + db + ": rowids renumbered in notes (no INTEGER PRIMARY KEY)\n");
    EXPECT_EQ(FreePages(db), 0);
    EXPECT_EQ(Db(db).number("SELECT count(*) FROM notes"), notes);
    EXPECT_EQ(Db(db).number("SELECT max(rowid) FROM notes"), notes);
    EXPECT_EQ(Db(db).number("SELECT count(*) FROM orders"), orders);
}

TEST_F(EngineFiles, WriterBusyDuringTheCompactionLosesNothing) {
    const std::string db = dir_.file("busy writer.db");
    MakeDatabase(db, 4000);
    std::atomic<bool> done{false};
    long long written = 0;
    std::thread writer([&] {
        Db w(db);
        sqlite3_busy_timeout(w.get(), 20000);
        while (!done) {
            if (w.exec("INSERT INTO notes VALUES ('during')") == SQLITE_OK)
                ++written;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const EngineResult r = RunEngine(dir_, {db, "/compact", "/busy", "20"});
    done = true;
    writer.join();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_GT(written, 0);
    EXPECT_EQ(Db(db).number("SELECT count(*) FROM notes WHERE line = 'during'"), written);
    EXPECT_EQ(Db(db).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check != 'ok'"), 0);
}

TEST_F(EngineFiles, KilledMidwayLeavesTheDatabaseAsItWas) {
    const std::string db = dir_.file("killed.db");
    MakeDatabase(db, 4000);
    const std::string before = Dump(db);
    for (int delayMs : {2, 15, 40, 80}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::setenv("SQLITE_TMPDIR", scratch_.path().c_str(), 1);
            ::execl(QUILLET_ENGINE, QUILLET_ENGINE, db.c_str(), "/compact", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(Dump(db), before) << delayMs << " ms";
        EXPECT_EQ(Db(db).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check != 'ok'"), 0);
    }
    // What a killed run may leave in the temporary folder, the next run removes.
    const EngineResult r = RunEngine(dir_, {db, "/compact"}, scratchFolder());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Dump(db), before);
    EXPECT_EQ(names(), (std::set<std::string>{"engine.err", "engine.out", "killed.db"}));
    EXPECT_EQ(Names(scratch_), std::set<std::string>{});
}

TEST_F(EngineFiles, ProgramThatKeepsTheFileOpenLosesNothing) {
    const std::string db = database("shared.db");
    Db other(db);
    const long long rows = other.number("SELECT count(*) FROM orders");

    const EngineResult r = RunEngine(dir_, {db, "/compact"});
    ASSERT_EQ(r.code, 0) << r.err;
    // Written through the connection opened before the compaction: it must land in the
    // file that is there now, not in a replaced one.
    other.must("INSERT INTO orders(customer) VALUES ('after')");
    EXPECT_EQ(Db(db).number("SELECT count(*) FROM orders"), rows + 1);
    EXPECT_EQ(Db(db).number("SELECT count(*) FROM orders WHERE customer = 'after'"), 1);
    EXPECT_EQ(FreePages(db), 0);
}

// An interrupted write-back can leave bytes after the pages the header counts. SQLite
// reads only those pages, so the file is sound: compacted, and a repair finds nothing.
TEST_F(EngineFiles, BytesAfterTheCountedPagesAreNoDamage) {
    for (const char* run : {"/compact", "/repair"}) {
        const std::string db = dir_.file(std::string("longer") + (run[1] == 'c' ? "-compact" : "-repair") + ".db");
        MakeDatabase(db);
        const std::string before = Dump(db);
        std::string bytes = ReadBytes(db);
        const long long pages = static_cast<long long>(bytes.size() / 4096);
        bytes += bytes.substr(4096, 3 * 4096) + std::string(100, '\x5a');
        WriteBytes(db, bytes);
        ASSERT_EQ(Db(db).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check != 'ok'"), 0);

        const EngineResult r = RunEngine(dir_, {db, run});
        EXPECT_EQ(r.code, 0) << run << "\n" << r.out << r.err;
        EXPECT_EQ(Dump(db), before) << run;
        if (run[1] == 'c')
            EXPECT_LT(SizeOf(db), pages * 4096);
        else
            EXPECT_NE(r.out.find("integrity check: ok"), std::string::npos) << r.out;
    }
    EXPECT_EQ(names(), (std::set<std::string>{"engine.err", "engine.out", "longer-compact.db", "longer-repair.db"}));
}

TEST_F(EngineFiles, LockedByAWriterGivesUpAndChangesNothing) {
    const std::string db = database("busy.db");
    const std::string before = Dump(db);
    const long long size = SizeOf(db);
    {
        Db writer(db);
        writer.must("BEGIN IMMEDIATE; INSERT INTO orders(customer) VALUES ('pending');");
        const EngineResult r = RunEngine(dir_, {db, "/compact", "/busy", "1"});
        EXPECT_EQ(r.code, 4);
        EXPECT_EQ(Lines(r.err), 1);
        EXPECT_NE(r.err.find("locked by another program"), std::string::npos) << r.err;
        writer.must("ROLLBACK");
    }
    EXPECT_EQ(Dump(db), before);
    EXPECT_EQ(SizeOf(db), size);
}

TEST_F(EngineFiles, FilesThatAreNoDatabaseAreLeftByteForByte) {
    struct Case {
        std::string name;
        std::string bytes;
    };
    const Case cases[] = {
        {"notes.txt", "plain text, not a database\n"},
        {"empty.db", ""},
        {"fake.db", std::string("SQLite format 3\0", 16) + std::string(4000, '\x7f')},
    };
    for (const auto& c : cases) {
        const std::string path = dir_.file(c.name);
        WriteBytes(path, c.bytes);
        const EngineResult r = RunEngine(dir_, {path, "/repair", "/compact"});
        EXPECT_NE(r.code, 0) << c.name;
        EXPECT_EQ(Lines(r.err), 1) << c.name << ": " << r.err;
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.name;
        EXPECT_FALSE(std::filesystem::exists(path + "-journal")) << c.name;
    }

    const std::string missing = dir_.file("missing.db");
    EngineResult r = RunEngine(dir_, {missing, "/compact"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "QuilletEngine: " + missing + ": no such file\n");
    EXPECT_FALSE(std::filesystem::exists(missing));

    r = RunEngine(dir_, {dir_.path().string(), "/compact"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Lines(r.err), 1);
}

TEST_F(EngineFiles, FailedWriteLeavesTheDatabaseAsItWas) {
    const std::string db = database("full.db");
    const std::string before = Dump(db);
    const std::string bytes = ReadBytes(db);
    // Files may not grow beyond 64 KB: the rebuild fails part-way, as on a full disk.
    const EngineResult r = RunEngine(dir_, {db, "/compact"}, "trap '' XFSZ; ulimit -f 128; " + scratchFolder());
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_EQ(Lines(r.err), 1);
    EXPECT_NE(r.err.find("the file is as it was"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(db), bytes);
    EXPECT_EQ(Dump(db), before);
    EXPECT_EQ(names(), (std::set<std::string>{"engine.err", "engine.out", "full.db"}));
    EXPECT_EQ(Names(scratch_), std::set<std::string>{});
}

// A table and its index disagree on sound pages: either side may be the garbled one.
// REINDEX takes the table's, so the original is kept first and the rows are named.
TEST_F(EngineFiles, RepairRebuildsAnIndexThatDisagreesKeepingTheOriginalAndNamingTheRows) {
    const std::string db = database("index.db");
    {
        // The index's definition changes under its entries, which then no longer match.
        Db d(db);
        d.must("PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = 'CREATE INDEX orders_customer ON "
               "orders(amount)' WHERE name = 'orders_customer';");
    }
    ASSERT_NE(Db(db).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check != 'ok'"), 0);
    const std::string original = ReadBytes(db);

    const EngineResult r = RunEngine(dir_, {db, "/repair", "/compact"});
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_NE(r.out.find("missing from index orders_customer"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("table orders, row 1: disagreed with index orders_customer"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("compacted"), std::string::npos) << r.out;
    EXPECT_EQ(Db(db).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check != 'ok'"), 0);
    EXPECT_EQ(FreePages(db), 0);
    std::string kept;
    for (const std::string& name : names())
        if (name.rfind("index.damaged-", 0) == 0)
            kept = dir_.file(name);
    ASSERT_FALSE(kept.empty()) << r.err;
    EXPECT_EQ(ReadBytes(kept), original);
    EXPECT_NE(r.err.find("kept as " + kept), std::string::npos) << r.err;
}

TEST_F(EngineFiles, RepairLeavesAFileWithoutAnyTableAsItWas) {
    const std::string db = database("broken.db");
    {
        std::string bytes = ReadBytes(db);
        std::fill(bytes.begin() + 100, bytes.end(), '\xff');
        WriteBytes(db, bytes);
    }
    const std::string before = ReadBytes(db);
    const EngineResult r = RunEngine(dir_, {db, "/repair", "/compact"});
    EXPECT_EQ(r.code, 6);
    EXPECT_EQ(Lines(r.err), 1);
    EXPECT_NE(r.err.find("damaged beyond salvage (no table can be found in it); the file is as it was"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(db), before);
    EXPECT_EQ(names(), (std::set<std::string>{"broken.db", "engine.err", "engine.out"}));
}

// A file marked read-only is left alone whether it is damaged or not, whoever runs it.
TEST_F(EngineFiles, ReadOnlyFilesAreRefusedAndLeftAsTheyWere) {
    for (const bool damaged : {false, true}) {
        const std::string db = database(damaged ? "damaged.db" : "sound.db");
        if (damaged) {
            std::string bytes = ReadBytes(db);
            const long long page = Db(db).number("SELECT pageno FROM dbstat WHERE name = 'orders' AND pagetype = 'leaf' LIMIT 1 OFFSET 3");
            std::fill_n(bytes.begin() + (page - 1) * 4096, 4096, '\0');
            WriteBytes(db, bytes);
        }
        std::filesystem::permissions(db, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
        const std::string bytes = ReadBytes(db);
        for (const std::vector<std::string>& args : {std::vector<std::string>{db, "/repair", "/compact"},
                                                     std::vector<std::string>{db, "/compact"}}) {
            const EngineResult r = RunEngine(dir_, args);
            EXPECT_EQ(r.code, 5) << db << "\n" << r.out << r.err;
            EXPECT_EQ(Lines(r.err), 1) << r.err;
            EXPECT_NE(r.err.find("read-only"), std::string::npos) << r.err;
            EXPECT_EQ(ReadBytes(db), bytes);
        }
    }
    EXPECT_EQ(names(), (std::set<std::string>{"damaged.db", "engine.err", "engine.out", "sound.db"}));
}

// The check reads a small file through SQLite's mapping of it. A program that ignores
// the locks may cut the file short meanwhile: the pages past its new end read as zeros
// and the fault is there to report, where SIGBUS would have killed the engine.
TEST_F(EngineFiles, MappedPagesOfAFileCutShortReadAsZerosAndAreReported) {
    const std::string path = dir_.file("mapped.bin");
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    WriteBytes(path, std::string(3 * page, 'x'));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    void* mapped = ::mmap(nullptr, 3 * page, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(page)), 0);
    {
        const standin::MappingGuard guard;
        const volatile char* bytes = static_cast<const char*>(mapped);
        EXPECT_EQ(bytes[page - 1], 'x');
        EXPECT_FALSE(guard.faulted());
        EXPECT_EQ(bytes[2 * page], '\0');
        EXPECT_TRUE(guard.faulted());
    }
    ::munmap(mapped, 3 * page);
    ::close(fd);
}

TEST_F(EngineFiles, HelpNamesTheIgnoredSwitches) {
    EngineResult r = RunEngine(dir_, {"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("/user <name>     accepted and ignored"), std::string::npos);
    EXPECT_NE(r.out.find("/pwd <password>  accepted and ignored"), std::string::npos);

    r = RunEngine(dir_, {});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Lines(r.err), 1);
}

} // namespace
} // namespace quillet::test
