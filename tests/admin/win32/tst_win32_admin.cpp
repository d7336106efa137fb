// The Win32 administrator's wiring, driven by messages on hidden windows: fields to the
// configuration file and back, commands, the close question, dropped files, a failed
// save, the options, the shell commands, the about box and start-up. The rules behind
// them are tested with the models.
// Before windows.h, which would rename its functions.
#include "platform/Profile.h"

#include "admin/Shortcut.h"
#include "admin/win32/AboutBox.h"
#include "admin/win32/Startup.h"
#include "admin/win32/fCfgMain.h"
#include "admin/win32/fOptions.h"
#include "tests/support/Win32Doubles.h"
#include "ui/win32/Win32Prompts.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#undef GetPrivateProfileString
#undef WritePrivateProfileString

using namespace quillet;
using namespace quillet::admin;
using quillet::test::ScriptedPrompts;
using quillet::ui::Answer;
using quillet::ui::win32::WindowText;

namespace {

test::Watchdog watchdog(120);

std::string ini(const std::string& file, const char* key) {
    return platform::GetPrivateProfileString("Defaults", key, "<missing>", file);
}

void type(HWND edit, const std::string& text) {
    for (char c : text)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
}

void click(HWND window, MainCommand command) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(CommandId(command), 0), 0);
}

HWND control(const TForm1& form, int id) {
    return GetDlgItem(form.hwnd(), id);
}

class AdminWindow : public ::testing::Test {
protected:
    void SetUp() override {
        prompts = &test::InstallScriptedPrompts();
        help = &test::RecordingHelp::install();
        links = &test::RecordingLinks::install();
    }
    void TearDown() override {
        ui::win32::SetPrompts(nullptr);
        ui::win32::HelpEngine::setInstance(nullptr);
        ui::win32::UrlOpener::setInstance(nullptr);
        SetShortcutWriter({});
    }
    std::string program() const { return folder.file("QuilletAdmin.exe"); }

    test::TempFolder folder;
    ScriptedPrompts* prompts = nullptr;
    test::RecordingHelp* help = nullptr;
    test::RecordingLinks* links = nullptr;
};

} // namespace

TEST_F(AdminWindow, FieldsGoToTheFileAndComeBack) {
    TForm1 form(program());
    EXPECT_EQ(WindowText(form.hwnd()), "Quillet - Config1");
    EXPECT_EQ(form.QuilletPathText(), folder.file("Quillet.exe"));
    EXPECT_FALSE(form.Document().Values().accessPath.empty());

    type(control(form, idDesc), "Nightly");
    SendMessageA(control(form, idRepair), BM_CLICK, 0, 0);
    type(control(form, idLogin), "admin");
    type(control(form, idPwd), "abc");
    SendMessageA(control(form, idEncrypt), BM_CLICK, 0, 0);
    SetWindowTextA(control(form, idLaunch), "C:\\after.bat");
    SendMessageA(control(form, idCompactFiles), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(test::MakeDrop({"C:\\b c.mdb", "C:\\a.accdb"})), 0);
    EXPECT_TRUE(form.Document().TextFieldsChanged());

    const std::string cfg = folder.file("nightly");
    prompts->fileNames.push_back(cfg); // the dialog adds ".cfg"
    click(form.hwnd(), MainCommand::Save);
    ASSERT_EQ(test::Count(*prompts, "save"), 1u);
    EXPECT_EQ(prompts->shown[0].choice.defaultSuffix, "cfg");
    EXPECT_EQ(form.CurrentCfgPath(), cfg + ".cfg");
    EXPECT_EQ(WindowText(form.hwnd()), "Quillet - " + cfg + ".cfg");
    EXPECT_EQ(ini(cfg + ".cfg", "CompactFiles"), "C:\\b c.mdb|C:\\a.accdb|");
    EXPECT_EQ(ini(cfg + ".cfg", "Description"), "Nightly");
    EXPECT_EQ(ini(cfg + ".cfg", "Repair"), "1");
    EXPECT_EQ(ini(cfg + ".cfg", "Login"), "admin");
    EXPECT_EQ(ini(cfg + ".cfg", "Encrypt"), "1");
    EXPECT_EQ(ini(cfg + ".cfg", "Password"), "fgh"); // shifted by 5
    EXPECT_EQ(ini(cfg + ".cfg", "LaunchFile"), "C:\\after.bat");
    EXPECT_EQ(ini(cfg + ".cfg", "AccessPath"), form.Document().Values().accessPath);
    EXPECT_FALSE(form.Document().Changed());

    // New empties the window; Open (Ctrl+O's command) shows the file again.
    click(form.hwnd(), MainCommand::New);
    EXPECT_EQ(WindowText(control(form, idDesc)), "");
    EXPECT_TRUE(form.CompactFiles().empty());
    prompts->fileNames.push_back(cfg + ".cfg");
    click(form.hwnd(), MainCommand::Open);
    EXPECT_EQ(WindowText(control(form, idDesc)), "Nightly");
    EXPECT_EQ(WindowText(control(form, idPwd)), "abc");
    EXPECT_EQ(form.CompactFiles(), (std::vector<std::string>{"C:\\b c.mdb", "C:\\a.accdb"}));
    EXPECT_EQ(IsDlgButtonChecked(form.hwnd(), idRepair), BST_CHECKED);
    EXPECT_FALSE(form.Document().TextFieldsChanged());
    EXPECT_EQ(test::Count(*prompts, "ask"), 0u); // nothing was unsaved
}

TEST_F(AdminWindow, ListTakesInsertDeleteAndAddedFiles) {
    TForm1 form(program());
    HWND list = control(form, idCompactFiles);
    prompts->fileLists.push_back({"C:\\x.mdb", "C:\\y.mdb"});
    SendMessageA(list, WM_KEYDOWN, VK_INSERT, 0);
    EXPECT_EQ(form.CompactFiles(), (std::vector<std::string>{"C:\\x.mdb", "C:\\y.mdb"}));
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 0); // nothing selected: nothing removed
    EXPECT_EQ(form.CompactFiles().size(), 2u);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(form.CompactFiles(), (std::vector<std::string>{"C:\\y.mdb"}));
    prompts->fileLists.push_back({"C:\\z.accdb"});
    click(form.hwnd(), MainCommand::AddFiles);
    EXPECT_EQ(form.CompactFiles(), (std::vector<std::string>{"C:\\y.mdb", "C:\\z.accdb"}));
    // The list alone is unsaved work too.
    EXPECT_TRUE(form.Document().Changed());
    EXPECT_FALSE(form.Document().TextFieldsChanged());

    // F4 in a path box opens its browse dialog, the "..." button being no Tab stop.
    prompts->fileNames.push_back("C:\\a b\\after.bat");
    SendMessageW(control(form, idLaunch), WM_KEYDOWN, VK_F4, 0);
    EXPECT_EQ(prompts->shown.back().choice.caption, "Browse");
    EXPECT_EQ(WindowText(control(form, idLaunch)), "\"C:\\a b\\after.bat\"");
}

TEST_F(AdminWindow, CloseAsksAndKeepsTheWindowOnCancel) {
    auto form = std::make_unique<TForm1>(program());
    type(control(*form, idDesc), "x");
    prompts->answers.push_back(Answer::Cancel);
    SendMessageA(form->hwnd(), WM_CLOSE, 0, 0);
    ASSERT_EQ(test::Count(*prompts, "ask"), 1u);
    EXPECT_EQ(prompts->shown[0].text, "Save changes?");
    EXPECT_TRUE(IsWindow(form->hwnd()));
    EXPECT_EQ(ini(folder.file("Quillet.ini"), "QuilletPath"), "<missing>");

    // Yes saves under a new name and closes; the settings name the file.
    const std::string cfg = folder.file("closing.cfg");
    prompts->answers.push_back(Answer::Yes);
    prompts->fileNames.push_back(cfg);
    const HWND window = form->hwnd();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ini(cfg, "Description"), "x");
    EXPECT_EQ(ini(folder.file("Quillet.ini"), "LastCfgPath"), cfg);
    EXPECT_EQ(ini(folder.file("Quillet.ini"), "QuilletPath"), folder.file("Quillet.exe"));

    // The next start shows that file.
    TForm1 again(program());
    EXPECT_EQ(WindowText(again.hwnd()), "Quillet - " + cfg);
    EXPECT_EQ(WindowText(control(again, idDesc)), "x");
}

TEST_F(AdminWindow, FailedSaveKeepsTheEditsAndNamesTheFile) {
    TForm1 form(program());
    type(control(form, idDesc), "x");
    const std::string unwritable = folder.file("missing folder\\a.cfg");
    prompts->fileNames.push_back(unwritable);
    click(form.hwnd(), MainCommand::SaveAs);
    ASSERT_EQ(test::Count(*prompts, "warn"), 1u);
    EXPECT_NE(prompts->shown.back().text.find(unwritable), std::string::npos) << prompts->shown.back().text;
    EXPECT_EQ(test::Count(*prompts, "fault"), 0u); // a plain message, not the error box
    EXPECT_EQ(form.CurrentCfgPath(), "");
    EXPECT_TRUE(form.Document().TextFieldsChanged());
}

TEST_F(AdminWindow, OptionsDialogTakesTheGuardKeysAndRefusesBadNumbers) {
    TForm1 form(program());
    test::WhenWindowAppears("#32770", OptionsCaption, [&](HWND dialog) {
        SetDlgItemTextA(dialog, idTimeLimit, "30");
        SetDlgItemTextA(dialog, idParallel, "99");
        SendMessageA(dialog, WM_COMMAND, IDOK, 0); // refused: stays open
        EXPECT_TRUE(IsWindow(dialog));
        SetDlgItemTextA(dialog, idParallel, "2");
        SendMessageA(GetDlgItem(dialog, idOnlyChanged), BM_CLICK, 0, 0);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    click(form.hwnd(), MainCommand::Options);
    ASSERT_EQ(test::Count(*prompts, "warn"), 1u);
    EXPECT_NE(prompts->shown[0].text.find("Parallel engines"), std::string::npos);
    EXPECT_EQ(form.Document().Values().options.timeLimit, 30);
    EXPECT_EQ(form.Document().Values().options.parallel, 2);
    EXPECT_TRUE(form.Document().Values().options.onlyChanged);
    EXPECT_TRUE(form.Document().Changed());

    // Escape leaves them as they were.
    test::WhenWindowAppears("#32770", OptionsCaption, [](HWND dialog) {
        SetDlgItemTextA(dialog, idTimeLimit, "5");
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    click(form.hwnd(), MainCommand::Options);
    EXPECT_EQ(form.Document().Values().options.timeLimit, 30);
}

TEST_F(AdminWindow, ToolbarPicturesFollowTheMonitorsScale) {
    TForm1 form(program());
    auto pictureSize = [&] {
        int width = 0, height = 0;
        ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(form.Toolbar(), TB_GETIMAGELIST, 0, 0)),
                              &width, &height);
        return width;
    };
    const int before = pictureSize();
    RECT rect{0, 0, 1200, 800};
    SendMessageW(form.hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(pictureSize(), 2 * before);
    EXPECT_GE(HIWORD(SendMessageW(form.Toolbar(), TB_GETBUTTONSIZE, 0, 0)), 2 * before);
    SendMessageW(form.hwnd(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(pictureSize(), 24);
}

TEST_F(AdminWindow, ShellAndHelpCommands) {
    TForm1 form(program());
    std::string target, linkName, arguments;
    SetShortcutWriter([&](const std::string& t, const std::string& n, const std::string& a, bool, bool) {
        target = t;
        linkName = n;
        arguments = a;
        return platform::ShortcutResult{"C:\\Desktop\\" + n + ".lnk", "the folder is missing"};
    });
    const std::string cfg = folder.file("with blank.cfg");
    type(control(form, idDesc), "Nightly run");
    prompts->fileNames.push_back(cfg);
    click(form.hwnd(), MainCommand::Save);
    click(form.hwnd(), MainCommand::CreateDesktopIcon);
    EXPECT_EQ(target, folder.file("Quillet.exe"));
    EXPECT_EQ(linkName, "Nightly run");
    EXPECT_EQ(arguments, "\"" + cfg + "\"");
    EXPECT_NE(prompts->shown.back().text.find("the folder is missing"), std::string::npos);

    click(form.hwnd(), MainCommand::Contents);
    click(form.hwnd(), MainCommand::KeywordSearch);
    click(form.hwnd(), MainCommand::WebPage);
    links->succeed = false;
    click(form.hwnd(), MainCommand::HomePage); // fails: the help topic follows
    links->succeed = true;
    prompts->answers.push_back(Answer::No);
    click(form.hwnd(), MainCommand::EmailFeedback);
    prompts->answers.push_back(Answer::Yes);
    click(form.hwnd(), MainCommand::EmailFeedback);
    EXPECT_EQ(help->requests, (std::vector<std::string>{"contents", "search:", "topic:160"}));
    EXPECT_EQ(links->opened, (std::vector<std::string>{ui::ProductWebAddress, ui::MakerHomeAddress,
                                                       ui::SupportEmailAddress}));
}

TEST_F(AdminWindow, AboutBoxShowsTheVersionAndTakesF1AndTheLink) {
    EXPECT_EQ(VersionText(1.11, ","), "1,11");
    TAboutBox about;
    prompts->answers.push_back(Answer::Yes);
    test::WhenWindowAppears("#32770", AboutCaption, [](HWND box) {
        EXPECT_EQ(WindowText(GetDlgItem(box, idVersion)).rfind("Version 1", 0), 0u);
        EXPECT_EQ(WindowText(GetDlgItem(box, idBuild)), std::string("Build ") + ProgramBuild);
        HELPINFO info{};
        info.cbSize = sizeof info;
        SendMessageA(box, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        NMHDR link{GetDlgItem(box, idLink), static_cast<UINT_PTR>(idLink), NM_CLICK};
        SendMessageA(box, WM_NOTIFY, idLink, reinterpret_cast<LPARAM>(&link));
        SendMessageA(box, WM_COMMAND, IDOK, 0);
    });
    about.ShowModal(nullptr);
    EXPECT_EQ(help->requests, (std::vector<std::string>{"topic:61"}));
    ASSERT_EQ(test::Count(*prompts, "ask"), 1u);
    EXPECT_EQ(prompts->shown[0].text, "Connect to the Internet now?");
    EXPECT_EQ(links->opened, (std::vector<std::string>{ui::MakerHomeAddressFromAbout}));
}

TEST_F(AdminWindow, StartUpCreatesTheWindowsInOrder) {
    platform::WritePrivateProfileString("Defaults", "AccessPath", "D:\\Office\\MSACCESS.EXE", folder.file("Quillet.ini"));
    auto windows = CreateWindows(program());
    ASSERT_TRUE(windows->Form1 && windows->AboutBox && windows->frmSched);
    EXPECT_EQ(windows->Form1->Document().Values().accessPath, "D:\\Office\\MSACCESS.EXE");
    EXPECT_EQ(ui::win32::HelpFilePath(), folder.file("Quillet.hlp"));
    EXPECT_FALSE(IsWindowVisible(windows->Form1->hwnd()));
    // Closing without changes asks nothing and writes the three settings.
    SendMessageA(windows->Form1->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(test::Count(*prompts, "ask"), 0u);
    EXPECT_EQ(ini(folder.file("Quillet.ini"), "LastCfgPath"), "");
    EXPECT_EQ(ini(folder.file("Quillet.ini"), "AccessPath"), "D:\\Office\\MSACCESS.EXE");
}

TEST_F(AdminWindow, NamesInAnyScriptShowAsTheModelHoldsThem) {
    using ui::win32::SetText;
    TForm1 form(program());
    const std::string name = test::UnicodeName;
    SetText(control(form, idDesc), name);
    SetText(control(form, idLaunch), "C:\\" + name + "\\after.bat");
    SetText(control(form, idQuilletPath), "C:\\" + name + "\\Quillet.exe");
    const std::vector<std::string> files{"C:\\" + name + "\\a.mdb", "D:\\Ω\\b.accdb"};
    SendMessageW(control(form, idCompactFiles), WM_DROPFILES, reinterpret_cast<WPARAM>(test::MakeDrop(files)), 0);
    EXPECT_EQ(form.Document().Values().description, name);
    EXPECT_EQ(form.Document().Values().launchFile, "C:\\" + name + "\\after.bat");
    EXPECT_EQ(form.QuilletPathText(), "C:\\" + name + "\\Quillet.exe");
    EXPECT_EQ(form.Document().Values().compactFiles, files);
    EXPECT_EQ(form.CompactFiles(), files);

    test::WhenWindowAppears("#32770", OptionsCaption, [&](HWND dialog) {
        SetText(GetDlgItem(dialog, idBackupFolder), "C:\\" + name);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    prompts->answers.push_back(Answer::Yes); // keep the missing folder
    click(form.hwnd(), MainCommand::Options);
    EXPECT_NE(prompts->shown.back().text.find("C:\\" + name), std::string::npos);
    EXPECT_EQ(form.Document().Values().options.backupFolder, "C:\\" + name);
    test::WhenWindowAppears("#32770", OptionsCaption, [&](HWND dialog) {
        EXPECT_EQ(WindowText(GetDlgItem(dialog, idBackupFolder)), "C:\\" + name);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    click(form.hwnd(), MainCommand::Options);
}

TEST_F(AdminWindow, AFolderAndNamesInAnyScriptSaveReopenAndMakeAShortcut) {
    const std::string home = folder.folder("Программы Ω 程序");
    const std::string cfg = home + "\\" + test::UnicodeName + ".cfg";
    std::string linkName, arguments;
    SetShortcutWriter([&](const std::string&, const std::string& n, const std::string& a, bool, bool) {
        linkName = n;
        arguments = a;
        return platform::ShortcutResult{"C:\\Desktop\\" + n + ".lnk", ""};
    });
    {
        TForm1 form(home + "\\QuilletAdmin.exe");
        EXPECT_EQ(WindowText(control(form, idQuilletPath)), home + "\\Quillet.exe");
        ui::win32::SetText(control(form, idDesc), test::UnicodeName);
        prompts->fileNames.push_back(cfg);
        click(form.hwnd(), MainCommand::Save);
        EXPECT_EQ(WindowText(form.hwnd()), "Quillet - " + cfg);
        EXPECT_EQ(ini(cfg, "Description"), test::UnicodeName);
        click(form.hwnd(), MainCommand::CreateDesktopIcon);
        EXPECT_EQ(linkName, test::UnicodeName);
        EXPECT_EQ(arguments, "\"" + cfg + "\"");
        SendMessageW(form.hwnd(), WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(ini(home + "\\Quillet.ini", "LastCfgPath"), cfg);
    TForm1 again(home + "\\QuilletAdmin.exe");
    EXPECT_EQ(WindowText(again.hwnd()), "Quillet - " + cfg);
    EXPECT_EQ(WindowText(control(again, idDesc)), test::UnicodeName);
    EXPECT_EQ(test::Count(*prompts, "warn"), 0u);
}
