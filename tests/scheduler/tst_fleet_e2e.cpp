// The fleet folder from end to end: real compactors (under other host names where the
// system lets a test give them one) write one shared folder, and QuilletSched --fleet
// reads it back.
#include "core/CfgFile.h"
#include "core/FleetFolder.h"
#include "core/RunHistory.h"
#include "platform/Command.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/Profile.h"
#include "platform/SelfPath.h"
#include "scheduler/FleetOverview.h"
#include "tests/support/BinDir.h"
#include "tests/support/DeliveryServers.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

using namespace quillet;
using quillet::test::BinDir;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
using quillet::test::WriteBytes;
namespace fs = std::filesystem;

namespace {

const std::string& Exe = test::ExeSuffix;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Whether this system lets a test start a program under another host name.
bool CanRename() {
    static const bool can = platform::RunCommand({"unshare", "--uts", "hostname", "quillet-probe"}).exitCode == 0;
    return can;
}

// One machine: its programs and data folder, its engine, its configuration.
class Machine {
public:
    Machine(const TempDir& dir, const std::string& name, const std::string& share, const std::string& extra = "")
        : name_(name), folder_(dir.file(name)) {
        fs::create_directories(platform::FsPath(folder_ + "/engine"));
        for (const char* program : {"Quillet", "QuilletSched"})
            fs::copy_file(BinDir() + program + Exe, platform::FsPath(file(program + Exe)));
        fs::copy_file(SLOW_ENGINE, platform::FsPath(file("engine/engine" + Exe)));
        WriteBytes(file("night.db"), "database");
        CfgValues cfg;
        cfg.accessPath = file("engine/engine" + Exe);
        cfg.compactFiles = {file("night.db")};
        WriteCfgFile(file("night.cfg"), cfg);
        WriteBytes(file("Quillet.ini"), platform::ProfileFileBytes("[Reports]\r\nFleetFolder=" + share + "\r\n" + extra));
    }
    std::string file(const std::string& name) const { return platform::Utf8Path(platform::FsPath(folder_) / name); }
    // One pass of the real compactor, under this machine's host name where possible.
    int pass() const {
        std::vector<std::string> argv = {file("Quillet" + Exe), file("night.cfg")};
        if (CanRename())
            argv = {"unshare", "--uts", "sh", "-c", "hostname \"$0\" && exec \"$1\" \"$2\"", name_, argv[0], argv[1]};
        return platform::RunCommand(argv).exitCode.value_or(-1);
    }
    int sched(const std::string& option, std::string& out) const {
        const auto r = platform::RunCommand({file("QuilletSched" + Exe), option});
        out = r.output;
        return r.exitCode.value_or(-1);
    }
    int fleet(std::string& out) const { return sched("--fleet", out); }

private:
    std::string name_, folder_;
};

// Moves a machine's nights a year back, as if it had been switched off since.
void YearBack(const std::string& machineFolder) {
    const auto path = [&](const char* name) { return platform::Utf8Path(platform::FsPath(machineFolder) / name); };
    const std::string status = ReadBytes(path(FleetStatusFileName));
    const std::string year = status.substr(status.find("Started=") + 8, 4);
    for (const char* name : {FleetStatusFileName, HistoryFileName}) {
        std::string text = ReadBytes(path(name));
        for (auto at = text.find(year + "-"); at != std::string::npos; at = text.find(year + "-", at + 1))
            text.replace(at, 4, std::to_string(std::stoi(year) - 1));
        WriteBytes(path(name), text);
    }
}

} // namespace

TEST(FleetEndToEnd, ThreeMachinesShowUpWithTheFailingAndTheSilentOneFlagged) {
    if (!CanRename())
        GTEST_SKIP() << "this system does not let a test give a program another host name (unshare --uts)";
    TempDir dir;
    const std::string share = dir.file("share");
    fs::create_directories(platform::FsPath(share));
    const test::DeliveryServer mail("smtp", "--security none");
    ASSERT_TRUE(mail.ready());
    const std::string digestKeys = "MailServer=localhost\r\nMailPort=" + std::to_string(mail.port) +
                                   "\r\nMailSecurity=none\r\nMailFrom=quillet@example.org\r\n"
                                   "MailTo=admin@example.org\r\nDigestAt=00:00\r\n";
    const Machine m1(dir, "office-1", share, digestKeys), m2(dir, "Lager.2", share),
        m3(dir, "laptop", share, "ExpectEvery=24\r\nGrace=0\r\n");
    WriteBytes(m2.file("engine/exitcode.txt"), "3");
    EXPECT_EQ(m1.pass(), 0);
    EXPECT_EQ(m2.pass(), 0);
    EXPECT_EQ(m3.pass(), 0);
    YearBack(dir.file("share/laptop"));

    std::string out;
    EXPECT_EQ(m1.fleet(out), 1) << out;
    ASSERT_EQ(Count(out, "\n"), 3u) << out;
    EXPECT_NE(out.find("Lager.2  last pass "), std::string::npos) << out;
    EXPECT_EQ(Count(out, "FAILING"), 1u) << out;
    EXPECT_EQ(Count(out, "SILENT"), 1u) << out;
    EXPECT_NE(out.find("failures since 1  FAILING\n"), std::string::npos) << out;
    EXPECT_NE(out.find("laptop  last pass "), std::string::npos) << out;
    // One digest a day however often the hourly check runs; the silent machine first.
    m1.sched("--due", out);
    m1.sched("--due", out);
    ASSERT_TRUE(mail.waitFor("mail-1.eml", 10)) << ReadBytes(m1.file("error.log"));
    EXPECT_FALSE(platform::FileExists(mail.file("mail-2.eml")));
    const std::string digest = mail.read("mail-1.txt");
    EXPECT_NE(digest.find("Subject: [Quillet DIGEST] 2 of 3 machines need attention\n"), std::string::npos) << digest;
    EXPECT_LT(digest.find("laptop  last pass"), digest.find("Lager.2  last pass")) << digest;
    EXPECT_LT(digest.find("Lager.2  last pass"), digest.find("office-1  last pass")) << digest;
    EXPECT_NE(digest.find("SILENT"), std::string::npos) << digest;
    // A status cut short, as a copy by hand may leave it, is not read: the history tells.
    const std::string status = dir.file("share/office-1/" + std::string(FleetStatusFileName));
    WriteBytes(status, ReadBytes(status).substr(0, 60));
    EXPECT_EQ(m1.fleet(out), 1) << out;
    EXPECT_NE(out.find("office-1  last pass "), std::string::npos) << out;
    EXPECT_EQ(Count(out, "SILENT"), 1u) << out;

    fs::remove_all(platform::FsPath(dir.file("share/laptop")));
    WriteBytes(m2.file("engine/exitcode.txt"), "0");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // a pass is known by its start's second
    EXPECT_EQ(m2.pass(), 0);
    EXPECT_EQ(m1.fleet(out), 0) << out;
    EXPECT_EQ(Count(out, "\n"), 2u) << out;
}

TEST(FleetEndToEnd, AShareGoneMidPassDelaysNothingAndGetsEveryLineOnceLater) {
    TempDir dir;
    const std::string share = dir.file("Φάκελος 共有");
    fs::create_directories(platform::FsPath(share));
    const Machine m(dir, "pc", share);
    WriteBytes(m.file("engine/delay.txt"), "1500");
    auto running = std::async(std::launch::async, [&] { return m.pass(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    fs::rename(platform::FsPath(share), platform::FsPath(share + " away"));
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(running.get(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
    EXPECT_NE(ReadBytes(m.file("error.log")).find("Fleet folder "), std::string::npos);
    EXPECT_EQ(Count(ReadBytes(m.file(HistoryFileName)), "night.db"), 1u);
    std::string out;
    EXPECT_EQ(m.fleet(out), 2) << out; // a share that is not there is no fleet that is well

    fs::rename(platform::FsPath(share + " away"), platform::FsPath(share));
    WriteBytes(m.file("engine/delay.txt"), "0");
    EXPECT_EQ(m.pass(), 0);
    EXPECT_EQ(m.pass(), 0);
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(platform::FsPath(share)))
        folders.push_back(platform::Utf8Path(entry.path()));
    ASSERT_EQ(folders.size(), 1u);
    const std::string copy = ReadBytes(folders[0] + "/" + HistoryFileName);
    EXPECT_EQ(Count(copy, "night.db"), 3u) << copy;
    EXPECT_EQ(copy, ReadBytes(m.file(HistoryFileName)));
    EXPECT_EQ(m.fleet(out), 0) << out;
    EXPECT_NE(out.find("failures since 0"), std::string::npos) << out;
}

TEST(FleetEndToEnd, MachinesAndPassesEndingTogetherLoseAndRepeatNoLine) {
    TempDir dir;
    const std::string share = dir.file("share");
    fs::create_directories(platform::FsPath(share));
    const Machine a(dir, "alpha", share), b(dir, "beta", share);
    std::vector<std::future<int>> passes;
    for (int round = 0; round < 3; ++round)
        for (const Machine* m : {&a, &b, &a, &b})
            passes.push_back(std::async(std::launch::async, [m] { return m->pass(); }));
    for (auto& p : passes)
        EXPECT_EQ(p.get(), 0);
    // Every pass's line is in the share once: the last pass's copy took any earlier one's.
    EXPECT_EQ(a.pass(), 0);
    EXPECT_EQ(b.pass(), 0);
    for (const Machine* m : {&a, &b}) {
        const std::string local = ReadBytes(m->file(HistoryFileName));
        ASSERT_EQ(Count(local, "night.db"), 7u);
        const std::string folder = CanRename() ? (m == &a ? "alpha" : "beta") : "";
        if (folder.empty())
            continue;
        EXPECT_EQ(ReadBytes(dir.file("share/" + folder + "/" + HistoryFileName)), local);
    }
}


TEST(FleetDigest, DueFromItsTimeOfDayOnceADay) {
    const auto at = [](int hour, int minute) { return platform::LocalDateTime{2026, 12, 9, hour, minute, 0, 0}; };
    const int halfPastSeven = 7 * 60 + 30;
    EXPECT_FALSE(scheduler::DigestDue(halfPastSeven, at(7, 29), ""));
    EXPECT_TRUE(scheduler::DigestDue(halfPastSeven, at(7, 30), "2026-12-08\r\n"));
    EXPECT_TRUE(scheduler::DigestDue(halfPastSeven, at(23, 5), "")); // a machine that was off at 7:30
    EXPECT_FALSE(scheduler::DigestDue(halfPastSeven, at(9, 0), "2026-12-09\r\n"));
}
