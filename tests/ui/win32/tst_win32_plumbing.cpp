// The Win32 window plumbing, driven by messages on hidden windows: the handler
// boundary, the drop target, the error box, the real prompts and the help window.
#include "tests/support/Win32Doubles.h"
#include "ui/win32/DropTarget.h"
#include "ui/win32/ErrorBox.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/HelpWindow.h"
#include "ui/win32/Menus.h"
#include "ui/win32/Win32Prompts.h"
#include "ui/win32/Window.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <stdexcept>

using namespace quillet;
using namespace quillet::ui::win32;
using quillet::test::ScriptedPrompts;

namespace {

test::Watchdog watchdog(120);

constexpr UINT WM_THROW = WM_APP + 1;

class Thrower : public Window {
public:
    Thrower() { create("QuilletTestThrower", test::UnicodeName, WS_OVERLAPPEDWINDOW, 0, nullptr); }
    HWND list = nullptr;

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE)
            list = layout_.add("LISTBOX", "", WS_VISIBLE, 0, 0, 100, 100, 1);
        if (message == WM_THROW)
            throw std::runtime_error("Unable to write to C:\\x.ini");
        return Window::handle(message, wParam, lParam);
    }
};

HWND buttonOf(HWND dialog, const char* text) {
    HWND child = nullptr;
    while ((child = FindWindowExA(dialog, child, "Button", nullptr)) != nullptr)
        if (WindowText(child) == text)
            return child;
    return nullptr;
}

bool hasChildText(HWND window, const std::string& text) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (WindowText(child) == text)
            return true;
    return false;
}

} // namespace

TEST(Win32Plumbing, ExceptionsStopAtTheWindowProcedureAndDropsArriveInOrder) {
    auto& prompts = test::InstallScriptedPrompts();
    Thrower window;
    ASSERT_NE(window.hwnd(), nullptr);
    EXPECT_EQ(WindowText(window.hwnd()), test::UnicodeName);
    SendMessageA(window.hwnd(), WM_THROW, 0, 0);
    ASSERT_EQ(test::Count(prompts, "fault"), 1u);
    EXPECT_EQ(prompts.shown[0].caption, "Unable to write to C:\\x.ini");
    EXPECT_NE(prompts.shown[0].text.find("runtime_error"), std::string::npos);

    std::vector<std::string> dropped;
    DropFileTarget target;
    target.Register(window.list, [&](const std::vector<std::string>& files) { dropped = files; });
    const std::vector<std::string> files{"C:\\b.mdb", "C:\\" + test::UnicodeName + "\\a.accdb"};
    SendMessageA(window.list, WM_DROPFILES, reinterpret_cast<WPARAM>(test::MakeDrop(files)), 0);
    EXPECT_EQ(dropped, files);
    // A handler that throws is reported like any other.
    target.Register(window.list, [](const std::vector<std::string>&) { throw std::runtime_error("drop failed"); });
    SendMessageA(window.list, WM_DROPFILES, reinterpret_cast<WPARAM>(test::MakeDrop({"C:\\c.mdb"})), 0);
    EXPECT_EQ(test::Count(prompts, "fault"), 2u);
    target.Revoke();
    dropped.clear();
    EXPECT_FALSE(target.IsRegistered());
    ui::win32::SetPrompts(nullptr);
}

TEST(Win32Plumbing, ErrorBoxShowsDetailsSavesTheReportAndReturnsTheChoice) {
    auto& prompts = test::InstallScriptedPrompts();
    test::TempFolder folder;
    const std::string reportFile = folder.file("exception_report.txt");
    prompts.fileNames.push_back(reportFile);
    const std::string title = ApplicationTitle();
    test::WhenWindowAppears("#32770", title, [](HWND box) {
        SendMessageA(buttonOf(box, "Show &Details"), BM_CLICK, 0, 0);
        EXPECT_NE(buttonOf(box, "Hide &Details"), nullptr);
        SendMessageA(buttonOf(box, "&Save Report..."), BM_CLICK, 0, 0);
        SendMessageA(buttonOf(box, "C&lose"), BM_CLICK, 0, 0);
    });
    const std::string report = FaultReportText("Cannot create file C:\\x.cfg", "Error class: EFCreateError");
    EXPECT_EQ(ShowErrorBox(nullptr, "Cannot create file C:\\x.cfg", report), FaultChoice::Close);
    ASSERT_EQ(test::Count(prompts, "save"), 1u);
    EXPECT_EQ(prompts.shown[0].choice.fileName, "exception_report.txt");
    const std::string saved = test::ReadText(reportFile);
    EXPECT_NE(saved.find("An error occurred in the application."), std::string::npos);
    EXPECT_NE(saved.find("Message: Cannot create file C:\\x.cfg"), std::string::npos);
    EXPECT_NE(saved.find("Version: "), std::string::npos);

    // Escape is Continue.
    test::WhenWindowAppears("#32770", title, [](HWND box) { SendMessageA(box, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(ShowErrorBox(nullptr, "x", report), FaultChoice::Continue);
    ui::win32::SetPrompts(nullptr);
}

TEST(Win32Plumbing, MenuBarFromATableShowsTheShortcutsAndMakesTheirAccelerators) {
    enum class Cmd { Open, Close, Help };
    const quillet::ui::MenuLine lines[] = {{"File1", "&File", {}},
                                           quillet::ui::MenuItem("Open1", "&Open", Cmd::Open, "Ctrl+O"),
                                           quillet::ui::MenuSeparator,
                                           quillet::ui::MenuItem("Close1", "&Close", Cmd::Close, "Ctrl+Typo"),
                                           {"Help1", "&Help", {}},
                                           quillet::ui::MenuItem("Help2", "&Contents", Cmd::Help, "Shift+F1")};
    HACCEL table = nullptr;
    HMENU bar = CreateMenuBar(lines, 500, &table);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    wchar_t text[64] = {};
    GetMenuStringW(file, 500, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), L"&Open\tCtrl+O");
    GetMenuStringW(file, 501, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), L"&Close"); // a shortcut that names no key is left out
    EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    ACCEL keys[4] = {};
    ASSERT_EQ(CopyAcceleratorTableW(table, keys, 4), 2);
    EXPECT_EQ(keys[0].cmd, 500);
    EXPECT_EQ(keys[0].key, 'O');
    EXPECT_EQ(keys[0].fVirt & FCONTROL, FCONTROL);
    EXPECT_EQ(keys[1].cmd, 502);
    EXPECT_EQ(keys[1].key, VK_F1);
    EXPECT_EQ(keys[1].fVirt & (FSHIFT | FCONTROL), FSHIFT);
    DestroyAcceleratorTable(table);
    DestroyMenu(bar);
}

TEST(Win32Plumbing, RealPromptsAskInAMessageBox) {
    Win32Prompts prompts;
    // Captions and texts reach the box as they are, in any script.
    test::WhenWindowAppears("#32770", test::UnicodeName, [](HWND box) {
        EXPECT_TRUE(hasChildText(box, "Ω " + test::UnicodeName));
        SendMessageW(box, WM_COMMAND, IDYES, 0);
    });
    EXPECT_EQ(prompts.ask(test::UnicodeName, "Ω " + test::UnicodeName, false), ui::Answer::Yes);
    test::WhenWindowAppears("#32770", "Confirm", [](HWND box) { SendMessageA(box, WM_COMMAND, IDNO, 0); });
    EXPECT_EQ(prompts.ask("Confirm", "Save changes?", true), ui::Answer::No);
    test::WhenWindowAppears("#32770", "Confirm", [](HWND box) { SendMessageA(box, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(prompts.ask("Confirm", "Save changes?", true), ui::Answer::Cancel);
    test::WhenWindowAppears("#32770", "Saving", [](HWND box) { SendMessageA(box, WM_COMMAND, IDOK, 0); });
    prompts.warn("Saving", "The file name is empty.");
}

TEST(Win32Plumbing, HelpWindowShowsTopicsContentsAndTheIndex) {
    const char* bin = std::getenv("QUILLET_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    THelpWindow help;
    ASSERT_TRUE(help.load(std::string(bin) + "/Quillet.hlp"));
    EXPECT_FALSE(help.load(std::string(bin) + "/missing.hlp"));
    EXPECT_TRUE(help.showTopic(ui::HelpTopicAbout));
    EXPECT_EQ(help.currentAnchor(), "topic61");
    EXPECT_FALSE(help.showTopic(4711));
    EXPECT_EQ(help.currentAnchor(), "contents");
    EXPECT_NE(help.status().find("4711"), std::string::npos);

    const std::size_t all = help.visibleKeywords().size();
    EXPECT_GE(all, 40u);
    help.showSearch("sch");
    const auto some = help.visibleKeywords();
    ASSERT_FALSE(some.empty());
    EXPECT_LT(some.size(), all);
    // Enter in the search box opens the selected keyword's place.
    SendMessageA(help.hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_NE(help.currentAnchor(), "contents");
    // Back returns to where the reader was.
    SendMessageA(help.hwnd(), WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
    EXPECT_EQ(help.currentAnchor(), "contents");
}

TEST(Win32Plumbing, HelpWindowShowsAnyScriptAndFollowsTheTopicInTheContents) {
    test::TempFolder folder;
    const std::string file = folder.file("unicode.hlp");
    const std::string name = test::UnicodeName;
    test::WriteText(file, "<html><body><h1><a name=\"contents\"></a>Contents " + name +
                              "</h1><p>First.</p><h2><a name=\"topic61\"></a>" + name +
                              "</h2><p>Text " + name + ".</p><!-- keyword index --><a href=\"#topic61\">" + name +
                              "</a><!-- end of keyword index --></body></html>");
    THelpWindow help;
    ASSERT_TRUE(help.load(file));
    EXPECT_EQ(help.visibleKeywords(), std::vector<std::string>{name});
    help.showTopic(ui::HelpTopicAbout);
    EXPECT_EQ(help.selectedHeading(), "  " + name);
    help.showContents();
    EXPECT_EQ(help.selectedHeading(), "Contents " + name);
    const std::string shown = WindowText(GetDlgItem(help.hwnd(), 1007));
    EXPECT_NE(shown.find("Text " + name + ".\r\n"), std::string::npos) << shown;
}
