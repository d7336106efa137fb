// The guards of an unattended pass, end to end through the compactor's library: time
// limit, lock files, free space, backups, only-changed, and the run history they leave.
#include "tests/support/QuilletHarness.h"

#include "core/RunHistory.h"

#include <fstream>

namespace quillet::test {
namespace {

using Lines = std::vector<std::string>;

std::int64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

// data-yyyyMMdd-HHmmss.mdb
bool IsBackupName(const std::string& name) {
    if (name.size() != 24 || name.rfind("data-", 0) != 0 || name.substr(20) != ".mdb" || name[13] != '-')
        return false;
    return name.find_first_not_of("0123456789-", 5) == 20;
}

class Guards : public ::testing::Test {
protected:
    void SetUp() override { engine_ = q_.install(QUILLET_FAKE_ENGINE, "engine/engine" + ExeSuffix); }

    std::string db(const std::string& name, const std::string& content = "database") const {
        WriteBytes(q_.file(name), content);
        return q_.file(name);
    }
    std::string folder(const std::string& name) const {
        std::filesystem::create_directories(q_.file(name));
        return q_.file(name);
    }
    void run(const std::vector<std::string>& files, std::vector<std::string> keys) {
        std::string list;
        for (const auto& f : files)
            list += f + "|";
        keys.push_back("CompactFiles=" + list);
        keys.push_back("AccessPath=" + engine_);
        q_.writeCfg(keys);
        if (viaProgram_)
            EXPECT_EQ(q_.run(QuotePath(q_.file("run.cfg"))), 0);
        else
            q_.pass(q_.file("run.cfg"), context_);
    }
    std::size_t calls() const { return Calls(engine_).size(); }
    std::string engineFile(const std::string& name) const {
        return (std::filesystem::path(engine_).parent_path() / name).string();
    }
    std::vector<HistoryRecord> history() const {
        std::string text;
        platform::ReadWholeFile(q_.file(HistoryFileName), text);
        EXPECT_EQ(text.rfind(HistoryHeader, 0), 0u) << text;
        const auto read = ParseHistory(text);
        EXPECT_EQ(read.skippedLines, 0u);
        return read.records;
    }
    std::vector<std::string> outcomes() const {
        std::vector<std::string> o;
        for (const auto& r : history())
            o.push_back(std::string(OutcomeTextOf(r)));
        return o;
    }
    void reset() const {
        q_.clearLog();
        ClearCalls(engine_);
        std::filesystem::remove(q_.file(HistoryFileName));
    }

    QuilletFolder q_;
    std::string engine_;
    compactor::PassContext context_;
    bool viaProgram_ = false; // the real program, where the test's own process must not count
};

TEST_F(Guards, HungEngineAndItsChildAreEndedAtTheLimitAndThePassGoesOn) {
    context_.minute = std::chrono::milliseconds(2500);
    const std::string hung = db("hung.mdb", "hang");
    const std::string next = db("next.mdb");
    run({hung, next}, {"TimeLimit=1", "Login=me", "Password=s3cret"});

    EXPECT_EQ(q_.messages(), (Lines{" Time limit of 1 minutes reached; stopped " + engine_ + " " + hung +
                                    " /compact /user me /pwd ****"}));
    EXPECT_EQ(calls(), 2u);
    // Nothing of the hung pair runs any more: their heartbeat has stopped.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string beats = ReadBytes(engineFile("heartbeat.txt"));
    EXPECT_NE(beats.find('p'), std::string::npos);
    EXPECT_NE(beats.find('c'), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(ReadBytes(engineFile("heartbeat.txt")), beats);

    const auto h = history();
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(OutcomeTextOf(h[0]), "timed-out");
    EXPECT_GE(*h[0].seconds, 2.4);
    EXPECT_EQ(OutcomeTextOf(h[1]), "ok");
    EXPECT_EQ(h[1].exitCode, 0);
    EXPECT_EQ(h[0].start, h[1].start);
}

TEST_F(Guards, HeldLockFileSkipsTheDatabaseAndAStaleOneIsRemoved) {
    const std::string held = db("held.mdb");
    const std::string stale = db("stale.accdb");
    WriteBytes(q_.file("held.ldb"), "someone");
    WriteBytes(q_.file("stale.laccdb"), "crashed");
    viaProgram_ = true; // another process holds the lock file: this one
    {
        std::ifstream holder(q_.file("held.ldb"));
        run({held, stale}, {});
    }
    EXPECT_EQ(q_.messages(), (Lines{" .mdb file: " + held + " is in use; not compacted."}));
    EXPECT_EQ(Calls(engine_), (std::vector<std::vector<std::string>>{{stale, "/compact"}}));
    EXPECT_TRUE(platform::FileExists(q_.file("held.ldb")));
    EXPECT_FALSE(platform::FileExists(q_.file("stale.laccdb")));
    const auto h = history();
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(OutcomeTextOf(h[0]), "in-use");
    EXPECT_FALSE(h[0].exitCode);
    EXPECT_EQ(OutcomeTextOf(h[1]), "ok");
    EXPECT_NE(h[1].detail.find("stale.laccdb"), std::string::npos);

    // With SkipInUse=0 the lock file is nobody's business.
    reset();
    {
        std::ifstream holder(q_.file("held.ldb"));
        run({held}, {"SkipInUse=0"});
    }
    EXPECT_EQ(calls(), 1u);
    EXPECT_EQ(q_.messages(), Lines{});
}

TEST_F(Guards, FullVolumeSkipsTheDatabase) {
    const std::string big = db("big.mdb", std::string(3 * 1024 * 1024 + 1, 'x'));
    context_.diskSpace = FreeSpace(static_cast<std::uint64_t>(2 * 1024 * 1024 + 5));
    run({big}, {});
    EXPECT_EQ(q_.messages(), (Lines{" .mdb file: " + big + " needs 4 MB free to be compacted, 2 MB are free; not compacted."}));
    EXPECT_EQ(calls(), 0u);
    EXPECT_EQ(outcomes(), (Lines{"no-space"}));
}

TEST_F(Guards, BackupsAreKeptAndPrunedAndAFailedOneStopsTheCompaction) {
    const std::string data = db("data.mdb", "before compaction");
    const std::string backups = folder("backups");
    const auto in = [&](const std::string& name) { return (std::filesystem::path(backups) / name).string(); };
    for (const char* old : {"data-20200101-000000.mdb", "data-20200101-000001.mdb", "data-20200101-000002.mdb",
                            "other-20200101-000000.mdb", "data-2020.mdb", "data-20200101-000000.ldb"})
        WriteBytes(in(old), "old");
    run({data}, {"BackupFolder=" + backups, "BackupKeep=2"});
    EXPECT_EQ(q_.messages(), Lines{});
    EXPECT_EQ(calls(), 1u);
    std::vector<std::string> left = platform::FilesInFolder(backups);
    std::sort(left.begin(), left.end());
    ASSERT_EQ(left.size(), 5u);
    EXPECT_EQ(left[0], "data-2020.mdb");
    EXPECT_EQ(left[1], "data-20200101-000000.ldb");
    EXPECT_EQ(left[2], "data-20200101-000002.mdb");
    EXPECT_TRUE(IsBackupName(left[3]));
    EXPECT_EQ(ReadBytes(in(left[3])), "before compaction");
    EXPECT_EQ(left[4], "other-20200101-000000.mdb");

    // Room for the database, not for its backup on the same volume as well.
    reset();
    context_.diskSpace = FreeSpace(static_cast<std::uint64_t>(FileSize(data) * 3 / 2));
    run({data}, {"BackupFolder=" + backups});
    EXPECT_EQ(calls(), 0u);
    EXPECT_EQ(outcomes(), (Lines{"no-space"}));
}

TEST_F(Guards, MissingBackupFolderOrAFileInItsPlaceMeansNoCompaction) {
    const std::string data = db("data.mdb");
    const std::string file = db("not a folder");
    for (const std::string& where : {q_.file("missing"), file}) {
        reset();
        run({data}, {"BackupFolder=" + where});
        EXPECT_EQ(calls(), 0u);
        const Lines m = q_.messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].rfind(" .mdb file: " + data + " could not be backed up: ", 0), 0u) << m[0];
        EXPECT_EQ(outcomes(), (Lines{"backup-failed"}));
        EXPECT_EQ(ReadBytes(data), "database");
    }
}

TEST_F(Guards, OnlyChangedSkipsAnUnchangedDatabaseUntilItChanges) {
    const std::string data = db("data.mdb");
    const std::vector<std::string> keys = {"OnlyChanged=1"};
    run({data}, keys);
    run({data}, keys);
    EXPECT_EQ(calls(), 1u);
    EXPECT_EQ(q_.messages(), Lines{});
    WriteBytes(data, "database, changed");
    run({data}, keys);
    EXPECT_EQ(calls(), 2u);
    EXPECT_EQ(outcomes(), (Lines{"ok", "unchanged", "ok"}));

    // A failed compaction is no reason to skip the next time.
    reset();
    WriteBytes(data, "database, changed again");
    SetExitCode(engine_, 3);
    run({data}, keys);
    SetExitCode(engine_, 0);
    run({data}, keys);
    EXPECT_EQ(outcomes(), (Lines{"failed", "ok"}));
}

TEST_F(Guards, HistoryHoldsTheEnginesLastErrorLineWithoutThePassword) {
    const std::string data = db("data, one.mdb");
    WriteBytes(engineFile("stderr.txt"), "opening\nwrong password s3cret\n");
    SetExitCode(engine_, 5);
    run({data}, {"Login=me", "Password=s3cret"});
    const auto h = history();
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].database, data);
    EXPECT_EQ(h[0].configuration, q_.file("run.cfg"));
    EXPECT_EQ(OutcomeTextOf(h[0]), "failed");
    EXPECT_EQ(h[0].exitCode, 5);
    EXPECT_EQ(h[0].sizeBefore, 8);
    EXPECT_EQ(h[0].sizeAfter, 8);
    EXPECT_EQ(h[0].detail, "wrong password ****");
    // start is local ISO 8601 with its UTC offset.
    ASSERT_EQ(h[0].start.size(), 25u);
    EXPECT_EQ(h[0].start[10], 'T');
    EXPECT_NE(std::string("+-").find(h[0].start[19]), std::string::npos);
    const std::string all = ReadBytes(q_.file(HistoryFileName));
    EXPECT_EQ(all.find("s3cret"), std::string::npos);

    // An engine that cannot be started; then a history that cannot be written.
    reset();
    std::filesystem::remove(engine_);
    run({data}, {});
    EXPECT_EQ(outcomes(), (Lines{"not-started"}));
    std::filesystem::remove(q_.file(HistoryFileName));
    folder(HistoryFileName);
    q_.clearLog();
    run({data, data}, {});
    const Lines m = q_.messages();
    ASSERT_EQ(m.size(), 4u); // the missing engine, two start failures, one history line
    EXPECT_EQ(m[2], " Run history " + q_.file(HistoryFileName) + " could not be written.");
}

TEST_F(Guards, GarbageHistoryIsReportedOnceAndStillAppendedTo) {
    const std::string data = db("data.mdb");
    WriteBytes(q_.file(HistoryFileName), "\x01\x02 not a history\n");
    run({data, data}, {});
    EXPECT_EQ(q_.messages(), (Lines{" Run history " + q_.file(HistoryFileName) +
                                    " does not begin with its header line; lines are added all the same."}));
    const auto read = ParseHistory(ReadBytes(q_.file(HistoryFileName)));
    EXPECT_EQ(read.records.size(), 2u);
}

// Parallel: several engines of one pass at once.

Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST_F(Guards, ParallelRunsEnginesSideBySideAndEachDatabaseOnce) {
    // The first engine can only end once the second has started beside it.
    const std::string started = q_.file("second started");
    Lines files = {db("first.mdb", "wait-for " + started), db("second.mdb", "touch " + started)};
    for (const char* name : {"c.mdb", "d.mdb", "e.mdb", "f.mdb"})
        files.push_back(db(name));
    run(files, {"Parallel=2"});
    EXPECT_EQ(q_.messages(), Lines{});
    Lines called;
    for (const auto& call : Calls(engine_))
        called.push_back(call.at(0));
    EXPECT_EQ(Sorted(called), Sorted(files));
    Lines recorded;
    for (const auto& r : history()) {
        recorded.push_back(r.database);
        EXPECT_EQ(OutcomeTextOf(r), "ok") << r.database;
    }
    EXPECT_EQ(Sorted(recorded), Sorted(files));
}

TEST_F(Guards, ParallelNeverHandsOneDatabaseToTwoEnginesAtOnce) {
    // Listed twice: the second run waits for the first, whose engine would fail beside it.
    const std::string twice = db("twice.mdb", "exclusive " + q_.file("twice.running"));
    const std::string other = db("other.mdb");
    run({twice, twice, other}, {"Parallel=3"});
    EXPECT_EQ(q_.messages(), Lines{});
    EXPECT_EQ(calls(), 3u);
    EXPECT_EQ(outcomes(), (Lines{"ok", "ok", "ok"}));
}

TEST_F(Guards, ParallelEnginesEachHaveTheirOwnTimeLimit) {
    context_.minute = std::chrono::milliseconds(2500);
    const std::string a = db("a.mdb", "hangA");
    const std::string b = db("b.mdb", "hangB");
    const std::string next = db("next.mdb");
    run({a, b, next}, {"TimeLimit=1", "Parallel=2"});

    const std::string stopped = " Time limit of 1 minutes reached; stopped " + engine_ + " ";
    EXPECT_EQ(Sorted(q_.messages()), Sorted({stopped + a + " /compact", stopped + b + " /compact"}));
    Lines outcomes;
    for (const auto& r : history()) {
        outcomes.push_back(std::string(OutcomeTextOf(r)));
        if (r.outcome == RunOutcome::TimedOut) {
            EXPECT_GE(*r.seconds, 2.4) << r.database;
        }
    }
    EXPECT_EQ(Sorted(outcomes), (Lines{"ok", "timed-out", "timed-out"}));
    // Both hung at once: their heartbeats interleave, and both have stopped.
    const std::string beats = ReadBytes(engineFile("heartbeat.txt"));
    const auto firstA = beats.find('A'), firstB = beats.find('B');
    ASSERT_NE(firstA, std::string::npos);
    ASSERT_NE(firstB, std::string::npos);
    EXPECT_NE(beats.find('A', firstB), std::string::npos) << beats;
    EXPECT_NE(beats.find('B', firstA), std::string::npos) << beats;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(ReadBytes(engineFile("heartbeat.txt")), beats);
}

TEST_F(Guards, ParallelCountsTheRoomARunningEngineMayStillTake) {
    context_.minute = std::chrono::milliseconds(1500);
    context_.diskSpace = FreeSpace(150);
    const std::string running = db("running.mdb", "hangA" + std::string(95, ' '));
    const std::string waiting = db("waiting.mdb", std::string(100, 'x'));
    run({running, waiting}, {"TimeLimit=1", "Parallel=2"});
    EXPECT_EQ(Sorted(q_.messages()),
              Sorted({" .mdb file: " + waiting + " needs 1 MB free to be compacted, 0 MB are free; not compacted.",
                      " Time limit of 1 minutes reached; stopped " + engine_ + " " + running + " /compact"}));
    const auto h = history();
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].database, waiting);
    EXPECT_EQ(OutcomeTextOf(h[0]), "no-space");
    EXPECT_EQ(h[0].detail, "needs 100 bytes free, 50 are free");
    EXPECT_EQ(OutcomeTextOf(h[1]), "timed-out");
}

TEST_F(Guards, ParallelPassesKeepTheLogAndTheHistoryWhole) {
    Lines files, expected;
    SetExitCode(engine_, 5);
    for (int i = 0; i < 30; ++i) {
        files.push_back(q_.file("gone " + std::to_string(i) + ".mdb"));
        expected.push_back(" .mdb file: " + files.back() + " does not exist.");
        expected.push_back(" Exit code 5 from " + engine_ + " " + QuotePath(files.back()) + " /compact");
    }
    run(files, {"Parallel=4"});
    // Every line whole: each begins with its date and time (checked by messages()).
    EXPECT_EQ(Sorted(q_.messages()), Sorted(expected));
    Lines recorded;
    for (const auto& r : history()) {
        recorded.push_back(r.database);
        EXPECT_EQ(OutcomeTextOf(r), "failed");
        EXPECT_EQ(r.exitCode, 5);
    }
    EXPECT_EQ(Sorted(recorded), Sorted(files));
}

} // namespace
} // namespace quillet::test
