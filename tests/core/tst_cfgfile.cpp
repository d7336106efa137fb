#include "core/CfgFile.h"
#include "core/Errors.h"
#include "core/Include.h"
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace quillet;
using quillet::test::ReadBytes;
using quillet::test::TempDir;
using quillet::test::WriteBytes;

namespace {

CfgValues Sample() {
    CfgValues v;
    v.compactFiles = {"C:\\a.mdb", "C:\\b c.mdb"};
    v.accessPath = "C:\\Program Files\\Office\\Msaccess.exe";
    v.description = "Nightly";
    v.repair = true;
    v.workgroup = "C:\\Sec Files\\system.mdw";
    v.login = "admin";
    v.encrypt = true;
    v.password = "s3cret!";
    v.launchFile = "\"C:\\Tools\\notify.exe\" done";
    return v;
}

} // namespace

TEST(CfgFile, EditorRoundTripsEverythingButAccessPath) {
    TempDir dir;
    const auto path = dir.file("x.cfg");
    WriteCfgFile(path, Sample());
    const CfgValues r = ReadCfgForEditor(path);
    EXPECT_EQ(r.compactFiles, Sample().compactFiles);
    EXPECT_EQ(r.accessPath, "");
    EXPECT_EQ(r.description, "Nightly");
    EXPECT_TRUE(r.repair);
    EXPECT_EQ(r.workgroup, Sample().workgroup);
    EXPECT_EQ(r.login, "admin");
    EXPECT_TRUE(r.encrypt);
    EXPECT_EQ(r.password, "s3cret!");
    EXPECT_EQ(r.launchFile, Sample().launchFile);

    const CfgValues c = ReadCfgForCompactor(path);
    EXPECT_EQ(c.accessPath, Sample().accessPath);
    EXPECT_EQ(c.compactFiles, Sample().compactFiles);
    EXPECT_EQ(c.password, "s3cret!");
    EXPECT_EQ(c.description, "");
}

TEST(CfgFile, StoresThePasswordShiftedAndTheListWithTrailingSeparators) {
    TempDir dir;
    const auto path = dir.file("x.cfg");
    WriteCfgFile(path, Sample());
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "Password", "", path), ShiftText("s3cret!", PasswordShift));
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "CompactFiles", "", path), "C:\\a.mdb|C:\\b c.mdb|");
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "Repair", "", path), "1");
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "Encrypt", "", path), "1");
}

TEST(CfgFile, MissingOrGarbageFilesReadAsDefaults) {
    TempDir dir;
    WriteBytes(dir.file("garbage.cfg"), std::string("\x00\xff[[Defaults\x01=\x02\n=\n\r", 13));
    for (const auto& path : {dir.file("missing.cfg"), dir.file("garbage.cfg"), dir.path().string()}) {
        const CfgValues v = ReadCfgForCompactor(path);
        EXPECT_TRUE(v.compactFiles.empty());
        EXPECT_EQ(v.accessPath, "");
        EXPECT_FALSE(v.repair);
        EXPECT_FALSE(v.encrypt);
    }
}

TEST(CfgFile, BooleansAreIntegers) {
    TempDir dir;
    const auto path = dir.file("b.cfg");
    const std::pair<const char*, bool> cases[] = {{"1", true}, {"2", true}, {"0", false}, {"true", false},
                                                  {"0x10", true}, {"$0", false}, {"-1", true}, {"", false}};
    for (const auto& [text, expected] : cases) {
        WriteBytes(path, std::string("[Defaults]\r\nRepair=") + text + "\r\n");
        EXPECT_EQ(ReadCfgBool(path, "Repair"), expected) << text;
    }
    EXPECT_FALSE(ReadCfgBool(dir.file("none.cfg"), "Repair"));
}

TEST(CfgFile, ListIsCutAtAnEmptyEntryByBothReaders) {
    TempDir dir;
    const auto path = dir.file("l.cfg");
    WriteBytes(path, "[Defaults]\r\nCompactFiles=a.mdb|  |b.mdb|\r\n");
    EXPECT_EQ(ReadCfgForEditor(path).compactFiles, std::vector<std::string>{"a.mdb"});
    EXPECT_EQ(ReadCfgForCompactor(path).compactFiles, std::vector<std::string>{"a.mdb"});
    // Doubled quotes are one quote to the editor only.
    WriteBytes(path, "[Defaults]\r\nCompactFiles=\"a\"\"b\"|c\r\n");
    EXPECT_EQ(ReadCfgForEditor(path).compactFiles, (std::vector<std::string>{"a\"b", "c"}));
    EXPECT_EQ(ReadCfgForCompactor(path).compactFiles, (std::vector<std::string>{"a\"\"b", "c"}));
}

TEST(CfgFile, CompactorSeesOnly2047CharactersOfTheList) {
    TempDir dir;
    const auto path = dir.file("long.cfg");
    std::vector<std::string> files;
    for (int i = 0; i < 300; ++i)
        files.push_back("C:\\data\\db" + std::to_string(1000 + i) + ".mdb");
    CfgValues v;
    v.compactFiles = files;
    WriteCfgFile(path, v);
    EXPECT_EQ(ReadCfgForEditor(path).compactFiles, files);
    // The entries of the first 2047 characters; the last one may be a cut-off path.
    const std::string cut = JoinCompactFiles(files).substr(0, 2047);
    std::vector<std::string> expected;
    for (int n = 0; !GetField(cut, '|', n).empty(); ++n)
        expected.push_back(GetField(cut, '|', n));
    ASSERT_LT(expected.size(), files.size());
    EXPECT_EQ(ReadCfgForCompactor(path).compactFiles, expected);
}

TEST(CfgFile, PasswordsThatCannotBeStoredExactlyAreRefused) {
    TempDir dir;
    const auto path = dir.file("p.cfg");
    WriteBytes(path, "[Defaults]\r\nPassword=old\r\n");
    // Shifted, these would hold a NUL, a line break, a blank at an end or enclosing quotes.
    const std::string refused[] = {std::string(1, static_cast<char>(256 - PasswordShift)),
                                   "a" + std::string(1, static_cast<char>(256 - PasswordShift + 10)) + "b",
                                   std::string(1, static_cast<char>(32 - PasswordShift)) + "abc",
                                   std::string(1, static_cast<char>(34 - PasswordShift)) + "x" +
                                       std::string(1, static_cast<char>(34 - PasswordShift))};
    for (const auto& pw : refused) {
        CfgValues v;
        v.encrypt = true;
        v.password = pw;
        EXPECT_THROW(WriteCfgFile(path, v), EInvalidValue);
        EXPECT_EQ(ReadBytes(path), "[Defaults]\r\nPassword=old\r\n") << "nothing may be written";
    }
    // Every other single byte, including high ones that wrap around, comes back exactly.
    for (int c = 1; c < 256; ++c) {
        CfgValues v;
        v.encrypt = true;
        v.password = "a" + std::string(1, static_cast<char>(c)) + "z";
        try {
            WriteCfgFile(path, v);
        } catch (const EInvalidValue&) {
            continue;
        }
        EXPECT_EQ(ReadCfgForEditor(path).password, v.password) << c;
        EXPECT_EQ(ReadCfgForCompactor(path).password, v.password) << c;
    }
}

TEST(CfgFile, LineBreaksInValuesAreRefused) {
    TempDir dir;
    const auto path = dir.file("n.cfg");
    CfgValues v;
    v.description = "one\r\nAccessPath=evil.exe";
    EXPECT_THROW(WriteCfgFile(path, v), EInvalidValue);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(CfgFile, DatabasePathsTheListCannotGiveBackAreRefused) {
    TempDir dir;
    const auto path = dir.file("d.cfg");
    WriteBytes(path, "[Defaults]\r\nCompactFiles=old.db|\r\n");
    // Legal file names elsewhere, but a quote would swallow the rest of the list, blanks
    // at the ends are trimmed away and an empty entry ends the list.
    for (const std::string bad : {"/data/a\"b.db", "\"/data/q.db\"", " /data/lead.db", "/data/trail.db ", "",
                                  "/data/a|b.db", "/data/a\nb.db"}) {
        CfgValues v;
        v.compactFiles = {bad, "/data/after.db"};
        EXPECT_THROW(WriteCfgFile(path, v), EInvalidValue) << bad;
        EXPECT_EQ(ReadBytes(path), "[Defaults]\r\nCompactFiles=old.db|\r\n") << "nothing may be written";
    }
    CfgValues v;
    v.compactFiles = {"/data/with space.db", "C:\\x'y;z=.mdb", "/data/caf\xC3\xA9.db"};
    WriteCfgFile(path, v);
    EXPECT_EQ(ReadCfgForEditor(path).compactFiles, v.compactFiles);
    EXPECT_EQ(ReadCfgForCompactor(path).compactFiles, v.compactFiles);
}

TEST(CfgFile, PlainQuotedPasswordLosesItsQuotes) {
    TempDir dir;
    const auto path = dir.file("q.cfg");
    CfgValues v;
    v.password = "\"quoted\"";
    WriteCfgFile(path, v);
    EXPECT_EQ(ReadCfgForEditor(path).password, "quoted");
}

TEST(CfgFile, WritesNineKeysInOrderAndKeepsOtherContent) {
    TempDir dir;
    const auto fresh = dir.file("new.cfg");
    WriteCfgFile(fresh, Sample());
    const std::string bytes = ReadBytes(fresh);
    std::size_t at = 0;
    for (const char* key : {"[Defaults]\r\n", "CompactFiles=", "AccessPath=", "Description=", "Repair=1\r\n",
                            "Workgroup=", "Login=", "Encrypt=1\r\n", "Password=", "LaunchFile="}) {
        const auto found = bytes.find(key, at);
        ASSERT_NE(found, std::string::npos) << key;
        at = found;
    }

    const auto existing = dir.file("old.cfg");
    WriteBytes(existing, "[Other]\r\nkeep=me\r\n[Defaults]\r\nDescription=old\r\n");
    CfgValues v;
    WriteCfgFile(existing, v);
    const std::string after = ReadBytes(existing);
    EXPECT_EQ(after.rfind("[Other]\r\nkeep=me\r\n[Defaults]\r\nDescription=\r\n", 0), 0u) << after;
    EXPECT_NE(after.find("LaunchFile=\r\n"), std::string::npos);
}

TEST(CfgFile, UnwritableFileRaisesAfterTheListWithTheReason) {
    TempDir dir;
    const auto path = dir.file("missing-folder") + "/x.cfg";
    try {
        WriteCfgFile(path, Sample());
        ADD_FAILURE();
    } catch (const EIniFileException& e) {
        // The system's reason follows the path.
        const std::string text = e.what();
        const std::string head = "Unable to write to " + path + ". ";
        EXPECT_EQ(text.rfind(head, 0), 0u) << text;
        EXPECT_GT(text.size(), head.size() + 3) << text;
    }
}

TEST(CfgFile, GuardKeysFollowTheNineAndOddValuesReadAsDefaults) {
    TempDir dir;
    const auto path = dir.file("g.cfg");
    CfgValues v = Sample();
    v.options.timeLimit = 30;
    v.options.skipInUse = false;
    v.options.backupFolder = "/backups";
    v.options.backupKeep = 5;
    v.options.onlyChanged = true;
    v.options.parallel = 2;
    WriteCfgFile(path, v);
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("LaunchFile=\"C:\\Tools\\notify.exe\" done\r\nTimeLimit=30\r\nSkipInUse=0\r\n"
                         "BackupFolder=/backups\r\nBackupKeep=5\r\nOnlyChanged=1\r\nParallel=2\r\n"),
              std::string::npos)
        << bytes;
    for (const auto& r : {ReadCfgForEditor(path), ReadCfgForCompactor(path)}) {
        EXPECT_EQ(r.options.timeLimit, 30);
        EXPECT_FALSE(r.options.skipInUse);
        EXPECT_EQ(r.options.backupFolder, "/backups");
        EXPECT_EQ(r.options.backupKeep, 5);
        EXPECT_TRUE(r.options.onlyChanged);
        EXPECT_EQ(r.options.parallel, 2);
    }

    WriteBytes(path, "[Defaults]\r\n");
    CfgValues missing = ReadCfgForCompactor(path);
    EXPECT_EQ(missing.options.timeLimit, 0);
    EXPECT_TRUE(missing.options.skipInUse);
    EXPECT_EQ(missing.options.backupKeep, 3);
    EXPECT_FALSE(missing.options.onlyChanged);
    EXPECT_EQ(missing.options.parallel, 1);

    WriteBytes(path, "[Defaults]\r\nTimeLimit=1.5\r\nSkipInUse=maybe\r\nBackupKeep=-2\r\nOnlyChanged=yes\r\n"
                     "Parallel=99999999999999\r\n");
    CfgValues odd = ReadCfgForCompactor(path);
    EXPECT_EQ(odd.options.timeLimit, 0);
    EXPECT_TRUE(odd.options.skipInUse);
    EXPECT_EQ(odd.options.backupKeep, 3);
    EXPECT_FALSE(odd.options.onlyChanged);
    EXPECT_EQ(odd.options.parallel, 1);

    WriteBytes(path, "[Defaults]\r\nTimeLimit= 7 \r\nBackupKeep=0\r\nParallel=0\r\n");
    CfgValues edge = ReadCfgForCompactor(path);
    EXPECT_EQ(edge.options.timeLimit, 7);
    EXPECT_EQ(edge.options.backupKeep, 1);
    EXPECT_EQ(edge.options.parallel, 1);
}
