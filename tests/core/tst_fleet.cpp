// The fleet folder's rules: machine folder names, the status file, how far the copy
// has got, and how a reader judges a machine; the copy itself with real folders.
#include "core/FleetFolder.h"
#include "core/FleetView.h"
#include "core/RunHistory.h"
#include "platform/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillet;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

namespace {

HistoryRecord Record(const std::string& start, const std::string& database, RunOutcome outcome,
                     const std::string& configuration = "/cfg/night.cfg") {
    HistoryRecord r;
    r.start = start;
    r.configuration = configuration;
    r.database = database;
    r.outcome = outcome;
    return r;
}

std::string Lines(const std::vector<HistoryRecord>& records) {
    std::string text;
    for (const auto& r : records)
        text += FormatHistoryLine(r);
    return text;
}

FleetStatus Status(const std::string& machine, const std::string& started, int expect = 24, int grace = 12) {
    PassSummary pass;
    pass.machine = machine;
    pass.configuration = "/cfg/night.cfg";
    pass.started = pass.finished = started;
    pass.databases = {Record(started, "/d/a.mdb", RunOutcome::Ok)};
    return FleetStatusOf(pass, expect, grace);
}

const std::int64_t Dec9At6Utc = *UnixOfIso("2026-12-09T06:00:00Z");

} // namespace

TEST(Fleet, MachineNamesBecomeSafeFolderNamesInAnyScript) {
    EXPECT_EQ(FleetMachineFolderName("Server-01"), "server-01");
    EXPECT_EQ(FleetMachineFolderName("Αθήνα-ΓΡΑΦΕΙΟ"), "Αθήνα-ΓΡΑΦΕΙΟ");
    EXPECT_EQ(FleetMachineFolderName("東京"), "東京");
    EXPECT_EQ(FleetMachineFolderName("../etc"), ".._etc");
    EXPECT_EQ(FleetMachineFolderName("a\\b:c*d?"), "a_b_c_d_");
    EXPECT_EQ(FleetMachineFolderName("pc. . "), "pc");
    EXPECT_EQ(FleetMachineFolderName(".."), "_");
    EXPECT_EQ(FleetMachineFolderName(""), "_");
    EXPECT_EQ(FleetMachineFolderName("CON"), "_con");
    EXPECT_EQ(FleetMachineFolderName("lpt3.office"), "_lpt3.office");
    EXPECT_EQ(FleetMachineFolderName("console"), "console");
    EXPECT_EQ(FleetMachineFolderName("bad\xff" "byte"), "bad_byte");
}

TEST(Fleet, StatusReadsBackWholeAndATornOneIsNeverRead) {
    const FleetStatus status = Status("Αθήνα", "2026-12-09T01:00:00+02:00", 168, 24);
    const std::string text = FormatFleetStatus(status);
    ASSERT_EQ(ParseFleetStatus(text), status);
    for (std::size_t cut = 0; cut < text.size(); ++cut)
        EXPECT_FALSE(ParseFleetStatus(text.substr(0, cut))) << cut;
}

TEST(Fleet, EachRecordIsCopiedOnceWhateverHappenedToTheLocalHistory) {
    const std::string target = "/share/pc1";
    const auto a = Record("2026-12-07T01:00:00+01:00", "/d/a.mdb", RunOutcome::Ok);
    auto b = Record("2026-12-08T01:00:00+01:00", "/d/b.mdb", RunOutcome::Failed);
    b.detail = "engine said\r\ntwo lines";
    const auto c = Record("2026-12-09T01:00:00+01:00", "/d/c.mdb", RunOutcome::Ok);
    const std::string first = std::string(HistoryHeader) + Lines({a, b});

    const FleetBatch one = PendingRecords(first, {}, target, "");
    EXPECT_EQ(one.lines, Lines({a, b}));
    EXPECT_EQ(PendingRecords(first, one.mark, target, "").lines, "");
    const std::string later = first + Lines({c});
    EXPECT_EQ(PendingRecords(later, one.mark, target, "").lines, Lines({c}));
    // A record still being written is not sent yet.
    EXPECT_EQ(PendingRecords(later + "2026-12-10T01", one.mark, target, "").lines, Lines({c}));
    // Rewritten whole with other offsets (a newer header in front): found by its check.
    EXPECT_EQ(PendingRecords("x,y\r\n" + later, one.mark, target, "").lines, Lines({c}));
    // Started anew: everything in it is new.
    EXPECT_EQ(PendingRecords(std::string(HistoryHeader) + Lines({c}), one.mark, target, "").lines, Lines({c}));
    // The share took the batch but the mark did not move: not sent twice.
    EXPECT_EQ(PendingRecords(later, {}, target, LastRecordOf(Lines({a, b}))).lines, Lines({c}));
    // Another fleet folder gets the whole history.
    EXPECT_EQ(PendingRecords(later, one.mark, "/other/pc1", "").lines, Lines({a, b, c}));
}

TEST(Fleet, AMachineIsJudgedByItsOwnThresholdsAndEachConfiguration) {
    const std::string other = "/cfg/weekly.cfg";
    const std::vector<HistoryRecord> history = {
        Record("2026-12-06T01:00:00+01:00", "/d/a.mdb", RunOutcome::Ok),
        Record("2026-12-07T01:00:00+01:00", "/d/a.mdb", RunOutcome::Failed),
        Record("2026-12-08T01:00:00+01:00", "/d/a.mdb", RunOutcome::InUse), // nothing done
        Record("2026-12-08T03:00:00+01:00", "/d/w.mdb", RunOutcome::Ok, other),
    };
    const FleetMachine m = AssessMachine("pc1", std::nullopt, history, Dec9At6Utc);
    EXPECT_TRUE(m.failing);
    EXPECT_EQ(m.failuresSince, 2);
    EXPECT_EQ(m.failingSince, "2026-12-07T01:00:00+01:00");
    EXPECT_EQ(m.lastGood, "2026-12-08T03:00:00+01:00");
    EXPECT_EQ(m.lastPass, "2026-12-08T03:00:00+01:00");
    EXPECT_FALSE(m.silent); // 28 h ago, within 24 + 12

    // A laptop expected weekly is not silent after two days; a server expected hourly is.
    const std::string twoDaysAgo = "2026-12-07T05:00:00Z";
    EXPECT_FALSE(AssessMachine("laptop", Status("laptop", twoDaysAgo, 168, 24), {}, Dec9At6Utc).silent);
    const FleetMachine server = AssessMachine("srv", Status("SRV", "2026-12-09T06:00:00+09:00", 1, 2), {}, Dec9At6Utc);
    EXPECT_TRUE(server.silent); // 21:00 UTC yesterday: nine hours
    EXPECT_EQ(server.name, "SRV");
    EXPECT_FALSE(server.failing);
    EXPECT_EQ(FleetLine(server), "SRV  last pass 2026-12-09 06:00 ok  last good 2026-12-09 06:00  failures since 0  SILENT");
    EXPECT_TRUE(AssessMachine("empty", std::nullopt, {}, Dec9At6Utc).silent);
}

TEST(Fleet, TheCopyWaitsForAShareThatWentAwayAndLosesNothing) {
    TempDir dir;
    const std::string data = dir.file("data"), share = dir.file("share");
    std::filesystem::create_directories(dir.path() / "data");
    const auto a = Record("2026-12-08T01:00:00+01:00", "/d/a.mdb", RunOutcome::Ok);
    const auto b = Record("2026-12-09T01:00:00+01:00", "/d/b.mdb", RunOutcome::Ok);
    ASSERT_TRUE(AppendHistoryLine(dir.file("data/compact-history.csv"), a));
    const FleetStatus status = Status("PC1", b.start);

    EXPECT_NE(CopyToFleet(data, share, status).find(share), std::string::npos);
    EXPECT_FALSE(platform::FolderExists(share)); // not made on the local disk

    ASSERT_TRUE(AppendHistoryLine(dir.file("data/compact-history.csv"), b));
    std::filesystem::create_directories(dir.path() / "share");
    EXPECT_EQ(CopyToFleet(data, share, status), "");
    EXPECT_EQ(CopyToFleet(data, share, status), "");
    EXPECT_EQ(ReadBytes(dir.file("share/pc1/compact-history.csv")), HistoryHeader + Lines({a, b}));
    EXPECT_EQ(ParseFleetStatus(ReadBytes(dir.file("share/pc1/last-pass.txt"))), status);
}
