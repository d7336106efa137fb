// The configuration shown by the main window, without a window: start and close, what
// counts as unsaved and the question it brings, New, Open, Save and Save As, and the
// options' checks. The boxes and dialogs are scripted.
#include "admin/ConfigDocument.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/StandardOptions.h"
#include "tests/support/TempDir.h"

#include "core/Include.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Programs.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace quillet;
using namespace quillet::admin;
using quillet::test::ScriptedPrompts;
using Lines = std::vector<std::string>;

namespace {

class Doc : public ::testing::Test {
protected:
    test::TempDir dir;
    ScriptedPrompts prompts;
    std::string folder = dir.file("");
    std::string ini = dir.file("Quillet.ini");

    std::unique_ptr<ConfigDocument> open() {
        return std::make_unique<ConfigDocument>(AdminSettings(folder), prompts, "Quilletadmin");
    }
    std::string file(const std::string& name) const { return dir.file(name); }
    static void write(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(platform::ReplaceFileContent(path, bytes));
    }
    static std::string value(const std::string& path, const std::string& key) {
        return platform::GetPrivateProfileString("Defaults", key, "<missing>", path);
    }
    static void set(const std::string& path, const std::string& key, const std::string& v) {
        ASSERT_TRUE(platform::WritePrivateProfileString("Defaults", key, v, path));
    }
    static Lines lines(const std::string& path) {
        std::string bytes;
        platform::ReadWholeFile(path, bytes);
        Lines out;
        std::size_t start = 0;
        for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
            out.push_back(bytes.substr(start, end - start));
        return out;
    }
    // The last configuration shown, with one description and one database.
    std::string lastShown(const std::string& name = "a.cfg") {
        const std::string cfg = file(name);
        write(cfg, "[Defaults]\r\nDescription=before\r\nCompactFiles=/a.mdb|\r\n");
        set(ini, "LastCfgPath", cfg);
        return cfg;
    }
    std::string accessDefault() const { return platform::DefaultAccessPath(folder); }
};

} // namespace

TEST_F(Doc, FirstStartTakesTheDefaultsAndCloseWritesTheSettings) {
    auto doc = open();
    EXPECT_EQ(doc->Caption(), "Quillet - Config1");
    EXPECT_EQ(doc->Path(), "");
    EXPECT_EQ(doc->QuilletPath(), folder + platform::CompactorProgramName);
    EXPECT_EQ(doc->Values().accessPath, accessDefault());
    for (TextField f : {TextField::Description, TextField::Workgroup, TextField::Login, TextField::Password,
                        TextField::LaunchFile})
        EXPECT_EQ(doc->Text(f), "");
    EXPECT_FALSE(doc->Values().repair || doc->Values().encrypt);
    EXPECT_TRUE(doc->Values().compactFiles.empty());
    EXPECT_TRUE(doc->Close());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(lines(ini), (Lines{"[Defaults]", "LastCfgPath=", "AccessPath=" + accessDefault(),
                                 "QuilletPath=" + folder + platform::CompactorProgramName}));

    // Stored paths are used; the scheduler's keys are not the main window's to touch.
    set(ini, "QuilletPath", "/usr/bin/quillet");
    set(ini, "TimerInterval", "15");
    doc = open();
    EXPECT_EQ(doc->QuilletPath(), "/usr/bin/quillet");
    doc->SetAccessPath("/other/access");
    EXPECT_TRUE(doc->Close());
    EXPECT_EQ(value(ini, "AccessPath"), "/other/access");
    EXPECT_EQ(value(ini, "TimerInterval"), "15");
}

TEST_F(Doc, TheLastConfigurationIsLoadedAtStart) {
    const std::string cfg = file("nightly run.cfg");
    write(cfg, "[Defaults]\r\nCompactFiles=/data/a.mdb|/data/b.mdb|\r\nDescription=Nightly\r\nRepair=1\r\n"
               "Workgroup=/data/system.mdw\r\nLogin=admin\r\nEncrypt=0\r\nPassword=secret\r\n"
               "LaunchFile=/bin/true\r\nAccessPath=/ignored\r\n");
    set(ini, "LastCfgPath", cfg);
    auto doc = open();
    EXPECT_EQ(doc->Caption(), "Quillet - " + cfg);
    EXPECT_EQ(doc->Text(TextField::Description), "Nightly");
    EXPECT_EQ(doc->Values().compactFiles, (Lines{"/data/a.mdb", "/data/b.mdb"}));
    EXPECT_TRUE(doc->Values().repair);
    EXPECT_EQ(doc->Text(TextField::Workgroup), "/data/system.mdw");
    EXPECT_EQ(doc->Text(TextField::Login), "admin");
    EXPECT_EQ(doc->Text(TextField::Password), "secret");
    EXPECT_EQ(doc->Text(TextField::LaunchFile), "/bin/true");
    // A configuration's own Access path is never shown.
    EXPECT_EQ(doc->Values().accessPath, accessDefault());
    EXPECT_FALSE(doc->Changed());
    EXPECT_TRUE(doc->Close());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(value(ini, "LastCfgPath"), cfg);
}

TEST_F(Doc, AMissingLastConfigurationIsWrittenThereAgain) {
    const std::string missing = file("gone.cfg");
    set(ini, "LastCfgPath", missing);
    auto doc = open();
    EXPECT_EQ(doc->Caption(), "Quillet - " + missing);
    EXPECT_EQ(doc->Text(TextField::Description), "");
    EXPECT_EQ(doc->Save(), Outcome::Done);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(value(missing, "CompactFiles"), "");

    // A folder in its place reads as an empty configuration.
    set(ini, "LastCfgPath", dir.path().string());
    doc = open();
    EXPECT_EQ(doc->Text(TextField::Description), "");
}

TEST_F(Doc, SettingsThatCannotBeWrittenAreAWarningAndTheWindowStillCloses) {
    std::string garbage;
    for (int i = 0; i < 200000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    write(ini, garbage);
    EXPECT_TRUE(open()->Close());
    EXPECT_EQ(value(ini, "QuilletPath"), folder + platform::CompactorProgramName);
    EXPECT_TRUE(prompts.shown.empty());

    std::filesystem::remove(ini);
    std::filesystem::create_directory(ini);
    auto doc = open();
    EXPECT_EQ(doc->QuilletPath(), folder + platform::CompactorProgramName);
    EXPECT_TRUE(doc->Close());
    ASSERT_EQ(prompts.kinds(), Lines{"warn"});
    EXPECT_EQ(prompts.shown[0].caption, "Quilletadmin");
    EXPECT_EQ(prompts.shown[0].text.rfind("Unable to write to " + ini + ". ", 0), 0u) << prompts.shown[0].text;
}

TEST_F(Doc, EveryKindOfChangeAsksBeforeItIsDropped) {
    const std::vector<std::pair<const char*, void (*)(ConfigDocument&)>> changes = {
        {"description", [](ConfigDocument& d) { d.SetText(TextField::Description, "x"); }},
        {"workgroup", [](ConfigDocument& d) { d.SetText(TextField::Workgroup, "x"); }},
        {"login", [](ConfigDocument& d) { d.SetText(TextField::Login, "x"); }},
        {"password", [](ConfigDocument& d) { d.SetText(TextField::Password, "x"); }},
        {"launch file", [](ConfigDocument& d) { d.SetText(TextField::LaunchFile, "x"); }},
        {"repair", [](ConfigDocument& d) { d.SetRepair(true); }},
        {"encrypt", [](ConfigDocument& d) { d.SetEncrypt(true); }},
        {"added", [](ConfigDocument& d) { d.AddFiles({"/x.mdb"}); }},
        {"removed", [](ConfigDocument& d) { d.RemoveFile(0); }},
        {"options", [](ConfigDocument& d) {
             CfgOptions o = d.Values().options;
             o.parallel = 2;
             d.SetOptions(o);
         }}};
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        prompts.shown.clear();
        std::filesystem::remove(ini);
        const std::string cfg = lastShown();
        const Lines before = lines(cfg);
        auto doc = open();
        change(*doc);
        EXPECT_TRUE(doc->Changed());
        // Cancel keeps the edits and writes nothing.
        prompts.answers = {ui::Answer::Cancel};
        EXPECT_FALSE(doc->Close());
        ASSERT_EQ(prompts.kinds(), Lines{"ask"});
        EXPECT_EQ(prompts.shown[0].caption, "Confirm");
        EXPECT_EQ(prompts.shown[0].text, "Save changes?");
        EXPECT_TRUE(doc->Changed());
        EXPECT_EQ(value(ini, "AccessPath"), "<missing>");
        // No drops them; the settings are written all the same.
        prompts.answers = {ui::Answer::No};
        EXPECT_TRUE(doc->Close());
        EXPECT_EQ(lines(cfg), before);
        EXPECT_EQ(value(ini, "LastCfgPath"), cfg);
    }
}

TEST_F(Doc, UndoneTicksAndThePathSettingsAskNothing) {
    auto doc = open();
    doc->SetRepair(true);
    doc->SetRepair(false);
    doc->SetQuilletPath("/q2");
    doc->SetAccessPath("/a2");
    EXPECT_FALSE(doc->Changed());
    EXPECT_TRUE(doc->Close());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(value(ini, "AccessPath"), "/a2");
    EXPECT_EQ(value(ini, "QuilletPath"), "/q2");
}

TEST_F(Doc, YesSavesFirstUnderAChosenName) {
    auto doc = open();
    doc->SetText(TextField::Description, "Weekly");
    prompts.answers = {ui::Answer::Yes};
    prompts.fileNames = {file("weekly")}; // typed without an extension
    EXPECT_TRUE(doc->Close());
    ASSERT_EQ(prompts.kinds(), (Lines{"ask", "save"}));
    const ui::FileChoice& choice = prompts.shown[1].choice;
    EXPECT_EQ(choice.caption, "Save As");
    ASSERT_EQ(choice.filters.size(), 1u);
    EXPECT_EQ(choice.filters[0].name, "Config Files");
    EXPECT_EQ(choice.filters[0].patterns, "*.cfg");
    EXPECT_EQ(choice.defaultSuffix, "cfg");
    EXPECT_EQ(value(file("weekly.cfg"), "Description"), "Weekly");
    EXPECT_EQ(value(ini, "LastCfgPath"), file("weekly.cfg"));
}

TEST_F(Doc, SaveAsksForANameOnlyWithoutAFile) {
    auto doc = open();
    doc->SetText(TextField::Login, "bob");
    EXPECT_EQ(doc->Save(), Outcome::Cancelled);
    EXPECT_EQ(prompts.kinds(), Lines{"save"});
    EXPECT_EQ(doc->Path(), "");
    EXPECT_TRUE(doc->TextFieldsChanged());

    prompts.fileNames = {file("bob.cfg")};
    EXPECT_EQ(doc->Save(), Outcome::Done);
    EXPECT_EQ(doc->Caption(), "Quillet - " + file("bob.cfg"));
    EXPECT_FALSE(doc->Changed());
    EXPECT_EQ(value(file("bob.cfg"), "Login"), "bob");

    doc->SetText(TextField::Login, "bobby");
    EXPECT_EQ(doc->Save(), Outcome::Done);
    EXPECT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(value(file("bob.cfg"), "Login"), "bobby");

    // Save As always asks; cancelled, the file stays the document's.
    EXPECT_EQ(doc->SaveAs(), Outcome::Cancelled);
    EXPECT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(doc->Path(), file("bob.cfg"));
}

TEST_F(Doc, AFailedSaveKeepsTheEditsAndTheFormerFile) {
    const std::string cfg = lastShown();
    auto doc = open();
    doc->SetText(TextField::Description, "before and new");
    doc->AddFiles({"/x.mdb"});
    // A folder that does not exist stands for any that cannot be written.
    const std::string target = file("no such folder/new.cfg");
    prompts.fileNames = {target};
    EXPECT_EQ(doc->SaveAs(), Outcome::Failed);
    ASSERT_EQ(prompts.kinds(), (Lines{"save", "warn"}));
    EXPECT_EQ(prompts.shown[1].caption, "Quilletadmin");
    EXPECT_EQ(prompts.shown[1].text.rfind("Unable to write to " + target + ". ", 0), 0u);
    EXPECT_EQ(doc->Path(), cfg);
    EXPECT_TRUE(doc->Changed());

    // A folder in the file's place: Yes at the close fails the same way and stays open.
    std::filesystem::remove(cfg);
    std::filesystem::create_directory(cfg);
    prompts.shown.clear();
    prompts.answers = {ui::Answer::Yes};
    EXPECT_FALSE(doc->Close());
    EXPECT_EQ(prompts.kinds(), (Lines{"ask", "warn"}));
    EXPECT_EQ(doc->Text(TextField::Description), "before and new");
    EXPECT_EQ(doc->Values().compactFiles, (Lines{"/a.mdb", "/x.mdb"}));
    EXPECT_EQ(value(ini, "LastCfgPath"), cfg);
}

TEST_F(Doc, ARefusedPasswordWritesNothing) {
    const std::string cfg = file("refused.cfg");
    set(ini, "LastCfgPath", cfg);
    auto doc = open();
    // Shifted, a trailing blank would be lost by the file.
    static_assert(PasswordShift <= 32);
    doc->SetText(TextField::Password, std::string(1, static_cast<char>(32 - PasswordShift)));
    doc->SetEncrypt(true);
    EXPECT_EQ(doc->Save(), Outcome::Failed);
    EXPECT_EQ(prompts.kinds(), Lines{"warn"});
    EXPECT_FALSE(platform::FileExists(cfg));
    EXPECT_TRUE(doc->TextFieldsChanged());
}

TEST_F(Doc, PasswordsRoundTripAndKeepTheFileToItsOwner) {
#ifndef _WIN32
    const mode_t previousMask = ::umask(022);
#endif
    const std::string plain = file("plain.cfg");
    const std::string cfg = file("pw.cfg");
    auto doc = open();
    prompts.fileNames = {plain};
    ASSERT_EQ(doc->Save(), Outcome::Done);
    doc->SetText(TextField::Password, "Open Sesame!");
    doc->SetEncrypt(true);
    prompts.fileNames = {cfg};
    ASSERT_EQ(doc->SaveAs(), Outcome::Done);
    EXPECT_EQ(value(cfg, "Password"), ShiftText("Open Sesame!", PasswordShift));
    doc->Close();
    doc = open();
    EXPECT_EQ(doc->Text(TextField::Password), "Open Sesame!");
    EXPECT_TRUE(doc->Values().encrypt);
    doc->SetEncrypt(false);
    doc->Save();
    EXPECT_EQ(value(cfg, "Password"), "Open Sesame!");
#ifndef _WIN32
    using std::filesystem::perms;
    const auto others = perms::group_all | perms::others_all;
    EXPECT_NE(std::filesystem::status(plain).permissions() & perms::others_read, perms::none);
    EXPECT_EQ(std::filesystem::status(cfg).permissions() & others, perms::none);
    // Kept on a later save, also once the password is gone.
    doc->SetText(TextField::Password, "");
    doc->Save();
    EXPECT_EQ(std::filesystem::status(cfg).permissions() & others, perms::none);
    ::umask(previousMask);
#endif
}

TEST_F(Doc, OpenTakesOnlyAnExistingFile) {
    auto doc = open();
    doc->SetText(TextField::Description, "unsaved");
    // Each Open asks about the edit first; No goes on to the file dialog.
    prompts.answers = {ui::Answer::No, ui::Answer::No, ui::Answer::No};
    prompts.fileNames = {"", file("missing.cfg"), dir.path().string()};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(doc->Open(), Outcome::Cancelled);
    EXPECT_EQ(prompts.kinds(), (Lines{"ask", "open", "ask", "open", "ask", "open"}));
    EXPECT_EQ(prompts.shown[1].choice.caption, "Open");
    EXPECT_EQ(doc->Path(), "");
    EXPECT_EQ(doc->Text(TextField::Description), "unsaved");
    EXPECT_TRUE(doc->TextFieldsChanged());
}

TEST_F(Doc, OpenKeepsTheAccessPathAndOnlyChangedTextsLoseTheirMark) {
    const std::string first = file("first.cfg");
    const std::string second = file("second.cfg");
    set(first, "Description", "same");
    set(first, "AccessPath", "/first/access");
    set(second, "Description", "same");
    set(second, "Login", "other");
    set(ini, "LastCfgPath", first);
    auto doc = open();
    doc->SetAccessPath("/mine/access");
    doc->SetText(TextField::Description, "same");
    doc->SetText(TextField::Login, "x");
    prompts.answers = {ui::Answer::No};
    prompts.fileNames = {second};
    EXPECT_EQ(doc->Open(), Outcome::Done);
    EXPECT_EQ(doc->Caption(), "Quillet - " + second);
    // As a text box does: the same text leaves the mark, another one clears it.
    EXPECT_TRUE(doc->TextFieldChanged(TextField::Description));
    EXPECT_FALSE(doc->TextFieldChanged(TextField::Login));
    EXPECT_EQ(doc->Values().accessPath, "/mine/access");
    EXPECT_EQ(doc->Save(), Outcome::Done);
    EXPECT_EQ(value(second, "AccessPath"), "/mine/access");
    EXPECT_FALSE(doc->TextFieldsChanged());
}

TEST_F(Doc, NewAndOpenKeepUnsavedChangesUnlessTold) {
    const std::string other = file("other.cfg");
    set(other, "Description", "other");
    auto doc = open();
    doc->AddFiles({"/a.mdb"});
    // Cancel, and Yes with the save dialog cancelled, keep the list.
    prompts.answers = {ui::Answer::Cancel, ui::Answer::Yes};
    EXPECT_EQ(doc->New(), Outcome::Cancelled);
    EXPECT_EQ(doc->Open(), Outcome::Cancelled);
    EXPECT_EQ(prompts.kinds(), (Lines{"ask", "ask", "save"}));
    EXPECT_EQ(doc->Values().compactFiles, Lines{"/a.mdb"});

    // Yes with a name saves first, then opens.
    prompts.answers = {ui::Answer::Yes};
    prompts.fileNames = {file("mine.cfg"), other};
    EXPECT_EQ(doc->Open(), Outcome::Done);
    EXPECT_EQ(value(file("mine.cfg"), "CompactFiles"), "/a.mdb|");
    EXPECT_EQ(doc->Path(), other);
    EXPECT_EQ(doc->Text(TextField::Description), "other");

    // New drops everything: No saves nothing.
    doc->SetText(TextField::LaunchFile, "x");
    doc->SetRepair(true);
    prompts.answers = {ui::Answer::No};
    EXPECT_EQ(doc->New(), Outcome::Done);
    EXPECT_EQ(value(other, "LaunchFile"), "<missing>");
    EXPECT_EQ(doc->Caption(), "Quillet - Config1");
    EXPECT_EQ(doc->Text(TextField::Description), "");
    EXPECT_FALSE(doc->Values().repair);
    EXPECT_TRUE(doc->Values().compactFiles.empty());
    EXPECT_FALSE(doc->Changed());
}

TEST_F(Doc, ALongListLoadsWhole) {
    const std::string cfg = file("long.cfg");
    std::string list;
    Lines expected;
    for (int i = 0; i < 200; ++i) {
        expected.push_back("/some/rather/long/folder/name/database" + std::to_string(i) + ".mdb");
        list += expected.back() + "|";
    }
    ASSERT_GT(list.size(), 2047u);
    set(cfg, "CompactFiles", list);
    set(ini, "LastCfgPath", cfg);
    EXPECT_EQ(open()->Values().compactFiles, expected);
}

TEST_F(Doc, TheListTakesFilesAsTheyComeAndRemovesOne) {
    auto doc = open();
    prompts.fileLists = {{"/d/a.mdb", "/d/b c.db"}};
    EXPECT_EQ(doc->AddFilesFromDialog(), Outcome::Done);
    EXPECT_EQ(doc->AddFilesFromDialog(), Outcome::Cancelled);
    const ui::FileChoice& choice = prompts.shown[0].choice;
    EXPECT_EQ(choice.caption, "Add Databases");
    ASSERT_EQ(choice.filters.size(), 2u);
    EXPECT_EQ(choice.filters[0].patterns.rfind("*.mdb;", 0), 0u);
    EXPECT_EQ(choice.filters[1].patterns, "*");
    // Folders, other files and duplicates are taken as they come.
    doc->AddFiles({"/notes.txt", "/d/a.mdb"});
    doc->RemoveFile(1);
    doc->RemoveFile(7);
    doc->RemoveFile(-1);
    EXPECT_EQ(doc->Values().compactFiles, (Lines{"/d/a.mdb", "/notes.txt", "/d/a.mdb"}));
}

TEST_F(Doc, OptionsAreSavedWithTheConfiguration) {
    const std::string cfg = file("night.cfg");
    write(cfg, "[Defaults]\r\nTimeLimit=30\r\nBackupKeep=7\r\n");
    set(ini, "LastCfgPath", cfg);
    auto doc = open();
    CfgOptions o = doc->Values().options;
    EXPECT_EQ(o.timeLimit, 30);
    o.timeLimit = 45;
    o.skipInUse = false;
    doc->SetOptions(o);
    EXPECT_TRUE(doc->Changed());
    EXPECT_EQ(doc->Save(), Outcome::Done);
    EXPECT_FALSE(doc->Changed());
    const CfgValues saved = ReadCfgForEditor(cfg);
    EXPECT_EQ(saved.options.timeLimit, 45);
    EXPECT_FALSE(saved.options.skipInUse);
    EXPECT_EQ(saved.options.backupKeep, 7);
}

TEST(Options, AMissingBackupFolderIsKeptOnlyWhenTheUserSaysSo) {
    test::TempDir dir;
    ScriptedPrompts prompts;
    CfgOptions o;
    o.backupFolder = "  " + dir.path().string() + " ";
    EXPECT_TRUE(AcceptOptions(prompts, "Options", o));
    EXPECT_EQ(o.backupFolder, dir.path().string());
    EXPECT_TRUE(prompts.shown.empty());

    o.backupFolder = dir.file("no such folder");
    EXPECT_FALSE(AcceptOptions(prompts, "Options", o)); // dismissed: No
    prompts.answers = {ui::Answer::Yes};
    EXPECT_TRUE(AcceptOptions(prompts, "Options", o));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, "The backup folder " + o.backupFolder +
                                         " does not exist. While it is missing, no database is compacted. Keep it?");
}

TEST(Options, TypedNumbersNameTheFieldWhenRefused) {
    EXPECT_EQ(CheckOptionNumber(OptionNumber::TimeLimit, " 0 ").value, 0);
    EXPECT_EQ(CheckOptionNumber(OptionNumber::BackupKeep, "999999999").value, 999999999);
    EXPECT_EQ(CheckOptionNumber(OptionNumber::Parallel, "64").value, 64);
    EXPECT_EQ(CheckOptionNumber(OptionNumber::Parallel, "65").problem,
              "'65' is not a valid Parallel engines: enter a whole number from 1 to 64 engines at a time");
    EXPECT_EQ(CheckOptionNumber(OptionNumber::BackupKeep, "0").problem,
              "'0' is not a valid Backups to keep: enter a whole number from 1 to 999999999 backups per database");
    for (const char* bad : {"", "-1", "1.5", "x", "1000000000"}) {
        const NumberCheck check = CheckOptionNumber(OptionNumber::TimeLimit, bad);
        EXPECT_FALSE(check.value) << bad;
        EXPECT_EQ(check.problem.rfind("'" + std::string(bad) + "' is not a valid Time limit", 0), 0u) << bad;
    }
}

TEST(Paths, DialogFolderIsTheConfigurationsFolder) {
    const char sep = platform::PathSeparator;
    const std::string s(1, sep);
    EXPECT_EQ(DialogFolderOf(s + "data" + s + "configs" + s + "a.cfg"), s + "data" + s + "configs");
    EXPECT_EQ(DialogFolderOf(s + "a.cfg"), s);
    EXPECT_EQ(DialogFolderOf(s + s + "a.cfg"), s + s);
    EXPECT_EQ(DialogFolderOf("a.cfg"), "");
    EXPECT_EQ(DialogFolderOf(""), "");
    EXPECT_EQ(ProgramFolder(s + "opt" + s + "QuilletAdmin"), s + "opt" + s);
    if constexpr (platform::PathSeparator == '\\') {
        EXPECT_EQ(DialogFolderOf("C:\\a.cfg"), "C:\\");
        EXPECT_EQ(ProgramFolder("C:QuilletAdmin"), "C:");
    } else {
        // ":" is an ordinary character in these paths.
        EXPECT_EQ(ProgramFolder("/opt/a:b/QuilletAdmin"), "/opt/a:b/");
    }
}

#ifdef QUILLET_EXE_SUFFIX
TEST(AdminOptions, HelpAndVersionPrintWithoutADisplayAndTouchNoFile) {
    const std::string suffix = QUILLET_EXE_SUFFIX;
    // Linux: no display to open, as on a server or over ssh.
    const std::vector<std::string> noDisplay =
        suffix.empty() ? std::vector<std::string>{"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u",
                                                  "QT_QPA_PLATFORM"}
                       : std::vector<std::string>{};
    quillet::test::ExpectStandardOptions(quillet::test::BuiltProgram("QuilletAdmin", suffix), "QuilletAdmin",
                                         noDisplay);
}
#endif
