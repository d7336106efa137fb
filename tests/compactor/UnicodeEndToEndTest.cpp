// The Windows programs in a folder whose name no ANSI code page holds, compacting
// databases in Greek, CJK and non-BMP folders listed by a UTF-16LE configuration.
#include "tests/support/QuilletHarness.h"

#include "platform/Command.h"
#include "platform/FsPath.h"
#include "platform/Profile.h"
#include "platform/TextFile.h"
#include "platform/win32/WideText.h"

#include <algorithm>

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using platform::FsPath;

std::string Utf16File(const std::string& text) {
    const std::wstring wide = L"\uFEFF" + platform::win32::Wide(text);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

std::string Copy(const std::string& from, const std::string& folder, const std::string& name) {
    fs::create_directories(FsPath(folder));
    const std::string to = folder + "\\" + name;
    fs::copy_file(FsPath(from), FsPath(to), fs::copy_options::overwrite_existing);
    return to;
}

bool Holds(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(UnicodeEndToEnd, ProgramsInAUnicodeFolderCompactUnicodePathsAndNameThemExactly) {
    TempDir root;
    const std::string programs = root.file("\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b \u03a9 \u7a0b\u5e8f");
    const std::string quillet = Copy(BinDir() + "Quillet.exe", programs, "Quillet.exe");
    const std::string sched = Copy(BinDir() + "QuilletSched.exe", programs, "QuilletSched.exe");
    const std::string engine = Copy(QUILLET_FAKE_ENGINE, root.file("\u5f15\u64ce \U0001F600"), "engine \u03a9.exe");

    std::vector<std::string> databases;
    for (const std::string folder : {"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac", "\u6570\u636e\u5e93",
                                     "\U0001F600 \U00020000"}) {
        fs::create_directories(FsPath(root.file(folder)));
        databases.push_back(root.file(folder) + "\\" + folder + " \u03b2\u03ac\u03c3\u03b7.mdb");
        WriteBytes(databases.back(), "rows");
    }
    const std::string missing = root.file("\u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430.mdb");
    const std::string backups = root.file("\u0391\u03bd\u03c4\u03af\u03b3\u03c1\u03b1\u03c6\u03b1 \u5907\u4efd");
    fs::create_directories(FsPath(backups));
    std::string list;
    for (const auto& db : databases)
        list += db + "|";
    const std::string cfg = root.file("N\u00e4chtlich \u03a9.cfg");
    WriteBytes(cfg, Utf16File("[Defaults]\r\nCompactFiles=" + list + missing + "|\r\nAccessPath=" + engine +
                              "\r\nLaunchFile=" + QuotePath(engine) + " launched \U00020000\r\nBackupFolder=" +
                              backups + "\r\nSkipInUse=0\r\n"));

    int code = -1;
    ASSERT_TRUE(RunAndWait(QuotePath(quillet) + " " + QuotePath(cfg), SW_HIDE_MODE, &code));
    EXPECT_EQ(code, 0);

    const auto calls = AwaitCalls(engine, databases.size() + 2);
    std::vector<std::string> received;
    for (const auto& call : calls)
        received.push_back(call.empty() ? "" : call[0]);
    for (const auto& db : databases)
        EXPECT_EQ(std::count(received.begin(), received.end(), db), 1) << db;
    EXPECT_EQ(std::count(received.begin(), received.end(), "launched"), 1);
    EXPECT_EQ(calls.back(), (std::vector<std::string>{"launched", "\U00020000"}));
    EXPECT_EQ(platform::FilesInFolder(backups).size(), databases.size());

    std::string log, history;
    ASSERT_TRUE(platform::ReadTextFile(programs + "\\error.log", log));
    ASSERT_TRUE(platform::ReadTextFile(programs + "\\compact-history.csv", history));
    EXPECT_TRUE(Holds(log, " .mdb file: " + missing + " does not exist.\r\n")) << log;
    for (const auto& db : databases) {
        EXPECT_FALSE(Holds(log, db)) << log;
        EXPECT_TRUE(Holds(history, "," + cfg + "," + db + ",ok,0,")) << history;
    }
    EXPECT_FALSE(Holds(log, "Access file")) << log;
    EXPECT_FALSE(Holds(log, ".Cfg file")) << log;

    const auto due = platform::RunCommand({sched, "--due"});
    EXPECT_EQ(due.exitCode, 0) << due.output;
    EXPECT_EQ(due.output, "");
    EXPECT_EQ(platform::GetPrivateProfileString("LastCheck", "Result", "", programs + "\\schedcheck.ini"),
              "nothing due");
}

} // namespace
} // namespace quillet::test
