// The Win32 history window under wine: what its controls show (cells, titles, boxes,
// notes, the log) read back as the user sees them, for names in several scripts, and
// the wiring of input and keyboard to the presenter.
#include "admin/win32/fHistory.h"

#include "tests/admin/HistoryRecords.h"

#include "platform/RegionalTime.h"
#include "platform/win32/WideText.h"
#include "tests/support/Win32Controls.h"
#include "tests/support/Win32Doubles.h"
#include "ui/win32/MessageLoop.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

using namespace quillet::admin;
using quillet::platform::win32::Utf8;
namespace test = quillet::test;

namespace {

// Greek, Cyrillic, CJK and a character outside the Basic Multilingual Plane.
const std::string Nightly = "C:\\cfg\\\xCE\x9D\xCF\x85\xCF\x87\xCF\x84\xCE\xB5\xCF\x81\xCE\xB9\xCE\xBD\xCE\xAE.cfg";
const std::string NightlyName = Nightly.substr(7);
const std::string Orders = "C:\\db\\\xD0\xB7\xD0\xB0\xD0\xBA\xD0\xB0\xD0\xB7\xD1\x8B.mdb";
const std::string Stock = "C:\\db\\\xE6\x95\xB0\xE6\x8D\xAE \xF0\x9F\x93\x8A.mdb";

std::string Fixture() {
    return "start,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail\r\n"
           "2026-12-06T01:00:03+01:00," + Nightly + "," + Orders + ",ok,0,3145728,1048576,1.5,\r\n"
           "2026-12-06T01:00:03+01:00," + Nightly + "," + Stock + ",failed,2,,,0.2,no such file\r\n"
           "2026-12-06T02:00:03+01:00,C:\\cfg\\archive.cfg,C:\\db\\old.mdb,in-use,,,,,lock held\r\n"
           "2026-12-07T01:00:03+01:00," + Nightly + "," + Orders + ",ok,0,1387266048,1048576,1.1,\r\n"
           "not a line of the history\r\n"
           "2026-12-07T01:00:03+01:00," + Nightly + "," + Stock + ",unchanged,,4096,4096,,\r\n";
}

std::vector<std::string> Items(HWND box) {
    std::vector<std::string> items;
    for (LRESULT i = 0, n = SendMessageW(box, CB_GETCOUNT, 0, 0); i < n; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(box, CB_GETLBTEXTLEN, i, 0)), L'\0');
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        items.push_back(Utf8(text));
    }
    return items;
}

class History : public ::testing::Test {
protected:
    void SetUp() override {
        test::InstallScriptedPrompts();
        test::WriteText(dir.file("compact-history.csv"), Fixture());
        window = std::make_unique<TfrmHistory>([this] { return dir.file("Quillet.exe"); });
        window->Reload();
        WaitLoaded();
    }
    void WaitLoaded() {
        const DWORD start = GetTickCount();
        while (window->IsLoading() && GetTickCount() - start < 10000) {
            test::PumpMessages();
            Sleep(5);
        }
        ASSERT_FALSE(window->IsLoading());
    }
    // Picks an item of a filter box as the user does.
    void Choose(HWND box, const std::string& text) {
        const auto items = Items(box);
        const auto at = std::find(items.begin(), items.end(), text);
        ASSERT_NE(at, items.end()) << text;
        SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(at - items.begin()), 0);
        SendMessageW(window->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    }
    int Rows() { return static_cast<int>(SendMessageW(window->Table, LVM_GETITEMCOUNT, 0, 0)); }
    bool Key(HWND focus, UINT message, WPARAM key) {
        MSG msg{focus, message, key, 0, 0, {}};
        return quillet::ui::win32::PreTranslate(msg);
    }

    // The controls' rectangles as the window shows them, in its client area.
    void ExpectLaidOut(const char* when) {
        RECT client{};
        GetClientRect(window->hwnd(), &client);
        std::vector<RECT> shown;
        for (HWND child = GetWindow(window->hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child))
                continue;
            RECT r{};
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, window->hwnd(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
                << when << ": " << GetDlgCtrlID(child) << " at " << r.left << "," << r.top << "-" << r.right << ","
                << r.bottom << " outside " << client.right << "x" << client.bottom;
            for (const RECT& other : shown) {
                RECT both{};
                EXPECT_FALSE(IntersectRect(&both, &r, &other)) << when << ": " << GetDlgCtrlID(child) << " overlaps";
            }
            shown.push_back(r);
        }
        EXPECT_GE(shown.size(), 17u) << when;
    }

    test::TempFolder dir;
    std::unique_ptr<TfrmHistory> window;
};

} // namespace

TEST_F(History, TheControlsShowEveryCellAndNameAsTheModelHoldsThem) {
    const HistoryQuery& query = window->Query();
    ASSERT_EQ(Rows(), 5);
    for (int row = 0; row < Rows(); ++row)
        for (int column = 0; column < HistoryColumnCount; ++column)
            EXPECT_EQ(test::ListViewCell(window->Table, row, column),
                      query.cellText(static_cast<std::size_t>(row), static_cast<HistoryColumn>(column)))
                << row << "," << column;
    EXPECT_EQ(test::ListViewCell(window->Table, 0, int(HistoryColumn::Database)), "\xE6\x95\xB0\xE6\x8D\xAE \xF0\x9F\x93\x8A.mdb");
    EXPECT_EQ(test::ListViewCell(window->Table, 1, int(HistoryColumn::SizeBefore)), "1.3 GB");
    for (int column = 0; column < HistoryColumnCount; ++column)
        EXPECT_EQ(test::ListViewTitle(window->Table, column), HistoryColumnTitle(static_cast<HistoryColumn>(column)));

    EXPECT_EQ(test::ShownText(window->hwnd()), "Compaction History");
    EXPECT_EQ(test::ShownText(window->lblTotals), "3 passes, 2 databases compacted, 1 failure, 1.3 GB saved");
    EXPECT_EQ(test::ShownText(window->lblFile), dir.file("compact-history.csv") + " (" + std::to_string(Fixture().size()) +
                                         " bytes) \xE2\x80\x94 1 unreadable line skipped");
    EXPECT_EQ(Items(window->cbConfiguration), (std::vector<std::string>{"All configurations", "archive.cfg", NightlyName}));
    EXPECT_EQ(Items(window->cbDatabase).size(), 4u);
    EXPECT_EQ(test::ShownText(window->SizeChart), "Select a database to see its size");
}

TEST_F(History, FiltersTitlesAndASelectionReachThePresenter) {
    Choose(window->cbOutcome, "Failures");
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(test::ShownText(window->lblTotals), "1 pass, 0 databases compacted, 1 failure, 0 bytes saved");
    Choose(window->cbOutcome, "All outcomes");
    Choose(window->cbConfiguration, NightlyName);
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(Items(window->cbDatabase), (std::vector<std::string>{"All databases", Orders.substr(6), Stock.substr(6)}));
    Choose(window->cbDatabase, Orders.substr(6));
    EXPECT_EQ(Rows(), 2);

    // The second night only, through the picker's notification.
    NMDATETIMECHANGE change{};
    change.nmhdr.hwndFrom = window->dtFrom;
    change.nmhdr.code = DTN_DATETIMECHANGE;
    change.st.wYear = 2026, change.st.wMonth = 12, change.st.wDay = 7;
    SendMessageW(window->hwnd(), WM_NOTIFY, TfrmHistory::idFrom, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(Rows(), 1);
    Choose(window->cbDatabase, "All databases");
    Choose(window->cbConfiguration, "All configurations");

    // A title click sorts ascending, a second one the other way.
    NMLISTVIEW click{};
    click.hdr.hwndFrom = window->Table;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iSubItem = static_cast<int>(HistoryColumn::Outcome);
    SendMessageW(window->hwnd(), WM_NOTIFY, TfrmHistory::idTable, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(test::ListViewCell(window->Table, 0, int(HistoryColumn::Outcome)), "Compacted");
    SendMessageW(window->hwnd(), WM_NOTIFY, TfrmHistory::idTable, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(test::ListViewCell(window->Table, 0, int(HistoryColumn::Outcome)), "Unchanged");

    // Selecting a row charts its database and shows its pass's log lines.
    const quillet::platform::LocalDateTime t{2026, 12, 7, 1, 0, 5, 0};
    const std::string line = quillet::platform::ShortDateText(t) + " " + quillet::platform::LongTimeText(t) +
                             " .mdb file: " + Orders + " was compacted";
    test::WriteText(dir.file("error.log"), line + "\r\n");
    int orders = -1;
    for (int row = 0; row < Rows() && orders < 0; ++row)
        if (test::ListViewCell(window->Table, row, int(HistoryColumn::When)) == "2026-12-07 01:00" &&
            test::ListViewCell(window->Table, row, int(HistoryColumn::Outcome)) == "Compacted")
            orders = row;
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window->Table, LVM_SETITEMSTATE, static_cast<WPARAM>(orders), reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(test::ShownText(window->SizeChart), "Size of \xD0\xB7\xD0\xB0\xD0\xBA\xD0\xB0\xD0\xB7\xD1\x8B.mdb");
    EXPECT_EQ(test::ShownText(window->memLog), line);
    EXPECT_EQ(test::ShownText(window->lblLog).rfind("error.log, pass of 2026-12-07 01:00 (\xCE\x9D", 0), 0u);
}

TEST_F(History, KeyboardAndSize) {
    window->Show(nullptr);
    EXPECT_EQ(GetFocus(), window->cbConfiguration);
    // Alt+U reaches the outcome box through its label.
    Key(window->cbConfiguration, WM_SYSCHAR, 'u');
    EXPECT_EQ(GetFocus(), window->cbOutcome);
    // Ctrl+1 sorts by the first column whichever control has the focus; a plain 1 is the box's.
    const HistoryQuery& query = window->Query();
    // A new column sorts ascending, the same one again the other way.
    const bool was = query.sortColumn() == query.columnsShown().front() ? query.sortDescending() : true;
    const std::pair sorted{query.sortColumn(), query.sortDescending()};
    Key(window->cbOutcome, WM_KEYDOWN, '1');
    EXPECT_EQ(std::pair(query.sortColumn(), query.sortDescending()), sorted);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    EXPECT_TRUE(Key(window->cbOutcome, WM_KEYDOWN, '1'));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(query.sortColumn(), query.columnsShown().front());
    EXPECT_EQ(query.sortDescending(), !was);

    // Fits a 1366x768 screen with its taskbar, and the table follows the window's size.
    RECT frame{}, before{}, after{};
    GetWindowRect(window->hwnd(), &frame);
    EXPECT_LE(frame.right - frame.left, 1366);
    EXPECT_LE(frame.bottom - frame.top, 728);
    GetClientRect(window->Table, &before);
    SetWindowPos(window->hwnd(), nullptr, 0, 0, frame.right - frame.left + 40, frame.bottom - frame.top + 40,
                 SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(window->Table, &after);
    EXPECT_GT(after.right, before.right + 30);
    EXPECT_GT(after.bottom, before.bottom);

    // Maximized, restored, and on an 800x600 screen: every control inside the window,
    // none over another.
    ShowWindow(window->hwnd(), SW_MAXIMIZE);
    ExpectLaidOut("maximized");
    ShowWindow(window->hwnd(), SW_RESTORE);
    ExpectLaidOut("restored");
    SetWindowPos(window->hwnd(), nullptr, 0, 0, 800, 560, SWP_NOMOVE | SWP_NOZORDER);
    ExpectLaidOut("800x600");

    Key(window->cbOutcome, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(IsWindowVisible(window->hwnd()));
}

TEST_F(History, AcrossMachinesTheListShowsThePresentersMachinesAndTheLayoutHolds) {
    const std::string buero = "b\xC3\xBC" "ro-\xCE\xB1";
    quillet::test::WriteFleet(dir.file(""), "2026-12-06T01:00:03+01:00", "2026-12-07T01:00:03+01:00",
                              "2026-11-01T01:00:03+01:00");
    window->Reload();
    WaitLoaded();
    ASSERT_EQ(SendMessageW(window->lstMachines, LVM_GETITEMCOUNT, 0, 0), 4);
    int found = -1;
    for (int row = 0; row < 4; ++row)
        if (test::ListViewCell(window->lstMachines, row, 0) == buero)
            found = row;
    ASSERT_GE(found, 0);
    EXPECT_EQ(test::ListViewCell(window->lstMachines, found, 1), "2026-12-07 01:00");
    Choose(window->cbMachine, buero);
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(test::ListViewCell(window->Table, 0, int(HistoryColumn::Machine)), buero);

    window->Show(nullptr);
    EXPECT_TRUE(IsWindowVisible(window->cbMachine) && IsWindowVisible(window->lstMachines));
    ShowWindow(window->hwnd(), SW_MAXIMIZE);
    ExpectLaidOut("maximized");
    ShowWindow(window->hwnd(), SW_RESTORE);
    SetWindowPos(window->hwnd(), nullptr, 0, 0, 800, 560, SWP_NOMOVE | SWP_NOZORDER);
    ExpectLaidOut("800x600");
}
