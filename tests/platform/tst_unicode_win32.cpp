// Names beyond the ANSI code page through the Windows layer: Greek, Cyrillic, CJK and
// characters outside the Basic Multilingual Plane, in folders, files, profiles, text
// files, command lines and the environment.
#include "core/CfgFile.h"
#include "core/Include.h"
#include "platform/Command.h"
#include "platform/Environment.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/TextFile.h"
#include "platform/win32/WideText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace quillet;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
using quillet::test::WriteBytes;
namespace fs = std::filesystem;

namespace {

const std::string Names[] = {"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u03a9",     // Greek
                             "\u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430",        // Cyrillic
                             "\u4e2d\u6587 \u6587\u4ef6",                                     // CJK
                             "smile \U0001F600 \U00020000"};                                  // beyond the BMP

std::string Utf16Bytes(const std::string& utf8) {
    const std::wstring wide = platform::win32::Wide(utf8);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

} // namespace

TEST(UnicodeNames, FilesFoldersAndLocks) {
    TempDir dir;
    for (const std::string& name : Names) {
        const std::string folder = dir.file(name);
        ASSERT_TRUE(platform::CreateFolder(folder)) << name;
        EXPECT_TRUE(platform::FolderExists(folder));
        const std::string file = folder + "\\" + name + ".txt";
        ASSERT_TRUE(platform::CreateNewFile(file, "one")) << name;
        ASSERT_TRUE(platform::AppendToFile(file, "two"));
        std::string bytes;
        ASSERT_TRUE(platform::ReadWholeFile(file, bytes));
        EXPECT_EQ(bytes, "onetwo");
        EXPECT_EQ(platform::StampOf(file)->size, 6);
        EXPECT_EQ(platform::FilesInFolder(folder), std::vector<std::string>{name + ".txt"});
        std::string reason;
        ASSERT_TRUE(platform::CopyFileFlushed(file, folder + "\\copy " + name, reason)) << reason;
        EXPECT_TRUE(platform::FileExists(folder + "\\copy " + name));
        EXPECT_TRUE(platform::DiskSpaceOf(file).has_value());
        {
            const auto lock = platform::FileLock::TryAcquire(folder + "\\" + name + ".lock");
            ASSERT_NE(lock, nullptr) << name;
            bool held = false;
            EXPECT_EQ(platform::FileLock::TryAcquire(folder + "\\" + name + ".lock", &held), nullptr);
            EXPECT_TRUE(held);
        }
        EXPECT_TRUE(platform::RemoveFile(file));
        EXPECT_TRUE(platform::NothingAt(file));
        EXPECT_TRUE(fs::exists(platform::FsPath(folder + "\\copy " + name)));
    }
}

TEST(UnicodeNames, ProfileStaysAnsiUntilAValueDoesNotFitThenUtf16KeepsEverything) {
    TempDir dir;
    const std::string path = dir.file(Names[1]) + ".ini";
    // "caf\xe9" in the code page of the system, as an earlier version wrote it.
    const auto cafe = platform::CodePageBytesOf("caf\u00e9");
    ASSERT_TRUE(cafe.has_value()) << "the test expects a Western code page";
    WriteBytes(path, "[Defaults]\r\nOld=" + *cafe + "\r\n");
    ASSERT_TRUE(platform::WritePrivateProfileString("Defaults", "Plain", "fits", path));
    EXPECT_EQ(ReadBytes(path).substr(0, 10), "[Defaults]") << "still ANSI";

    for (const std::string& name : Names)
        ASSERT_TRUE(platform::WritePrivateProfileString("Defaults", "Path" + std::to_string(&name - Names),
                                                        "C:\\" + name + "\\db.mdb", path));
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE[\0", 4)) << "UTF-16LE with its mark";
    EXPECT_NE(bytes.find(Utf16Bytes("Old=caf\u00e9\r\n")), std::string::npos) << "old lines converted";
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "Old", "", path), "caf\u00e9");
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "Plain", "", path), "fits");
    for (const std::string& name : Names)
        EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "Path" + std::to_string(&name - Names), "", path),
                  "C:\\" + name + "\\db.mdb");
    // A new file that needs Unicode from its first value.
    const std::string fresh = dir.file("fresh.ini");
    ASSERT_TRUE(platform::WritePrivateProfileString("S", "K", Names[3], fresh));
    EXPECT_EQ(ReadBytes(fresh).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(platform::GetPrivateProfileString("S", "K", "", fresh), Names[3]);
}

TEST(UnicodeNames, TextFilesStayAnsiUntilANameDoesNotFitThenBecomeUtf8WithTheMark) {
    TempDir dir;
    const std::string log = dir.file(Names[2]) + ".log";
    ASSERT_TRUE(platform::AppendTextToFile(log, "plain\r\n"));
    ASSERT_TRUE(platform::AppendTextToFile(log, "caf\u00e9\r\n"));
    EXPECT_EQ(ReadBytes(log), "plain\r\n" + *platform::CodePageBytesOf("caf\u00e9\r\n")) << "as earlier versions wrote";
    std::string text;
    ASSERT_TRUE(platform::ReadTextFile(log, text));
    EXPECT_EQ(text, "plain\r\ncaf\u00e9\r\n");

    std::string expected = text;
    for (const std::string& name : Names) {
        ASSERT_TRUE(platform::AppendTextToFile(log, name + "\r\n"));
        expected += name + "\r\n";
    }
    EXPECT_EQ(ReadBytes(log), "\xEF\xBB\xBF" + expected) << "rewritten whole in UTF-8 with the mark";
    ASSERT_TRUE(platform::ReadTextFile(log, text));
    EXPECT_EQ(text, expected);

    // Whole-file writes keep the mark once a file has it, and a new file gets it only when needed.
    ASSERT_TRUE(platform::ReplaceTextFile(log, "plain again\r\n"));
    EXPECT_EQ(ReadBytes(log), "\xEF\xBB\xBFplain again\r\n");
    const std::string other = dir.file("other.dat");
    ASSERT_TRUE(platform::ReplaceTextFile(other, "caf\u00e9"));
    EXPECT_EQ(ReadBytes(other), *platform::CodePageBytesOf("caf\u00e9"));
    // Code-page bytes that would read as UTF-8 ("\xc3\xa9" is "\u00c3\u00a9" in the code page) get the mark.
    ASSERT_TRUE(platform::CreateNewTextFile(dir.file("tricky.dat"), "\u00c3\u00a9"));
    ASSERT_TRUE(platform::ReadTextFile(dir.file("tricky.dat"), text));
    EXPECT_EQ(text, "\u00c3\u00a9");
}

TEST(UnicodeNames, ProgramsInUnicodeFoldersGetUnicodeArgumentsAndEnvironment) {
    TempDir dir;
    const std::string folder = dir.file(Names[0] + " " + Names[3]);
    ASSERT_TRUE(platform::CreateFolder(folder));
    const std::string engine = folder + "\\" + Names[1] + ".exe";
    fs::copy_file(FAKE_ENGINE, platform::FsPath(engine));
    const std::string calls = folder + "\\calls.txt";
    const std::string line =
        QuotePath(engine) + " " + QuotePath("C:\\" + Names[2] + "\\db.mdb") + " " + QuotePath(Names[3]);
    const std::string expected = "C:\\" + Names[2] + "\\db.mdb\t" + Names[3] + "\n";

    int code = -1;
    ASSERT_TRUE(RunAndWait(line, SW_HIDE_MODE, &code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(calls), expected);
    platform::RemoveFile(calls);
    const auto run = platform::RunGuarded(line, SW_HIDE_MODE, std::chrono::seconds(30));
    EXPECT_TRUE(run.started);
    EXPECT_EQ(ReadBytes(calls), expected);
    platform::RemoveFile(calls);
    EXPECT_EQ(platform::RunCommand({engine, "C:\\" + Names[2] + "\\db.mdb", Names[3]}).exitCode, 0);
    EXPECT_EQ(ReadBytes(calls), expected);

    platform::SetEnvironmentVariable("QUILLET_UNICODE_TEST", Names[3]);
    const wchar_t* value = ::_wgetenv(L"QUILLET_UNICODE_TEST");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(platform::win32::Utf8(value), Names[3]);
}

TEST(UnicodeNames, EncryptedPasswordsKeepTheBytesEarlierVersionsStored) {
    TempDir dir;
    const std::string path = dir.file(Names[0] + ".cfg");
    // "\u00e9}" shifted by 5 in a Western code page: 0xEE 0x82.
    WriteBytes(path, "[Defaults]\r\nEncrypt=1\r\nPassword=\xEE\x82\r\n");
    EXPECT_EQ(ReadCfgForCompactor(path).password, "\u00e9}");
    CfgValues values = ReadCfgForEditor(path);
    values.description = Names[2]; // makes the file UTF-16LE
    WriteCfgFile(path, values);
    EXPECT_EQ(ReadCfgForCompactor(path).password, "\u00e9}");
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "Password", "", path),
              platform::TextOfCodePageBytes("\xEE\x82"));
    values.password = Names[3];
    EXPECT_THROW(WriteCfgFile(path, values), std::exception) << "no code page bytes to shift";
}
