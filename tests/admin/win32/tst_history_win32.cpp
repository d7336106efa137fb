// The Win32 history window under wine, driven by window messages: its filters and
// totals over a small history, the sort by a title click, the size chart of a selection.
#include "admin/win32/fHistory.h"

#include "tests/support/Win32Doubles.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

using quillet::admin::HistoryColumn;
using quillet::admin::TfrmHistory;
namespace test = quillet::test;

namespace {

const char Fixture[] =
    "start,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail\r\n"
    "2026-12-06T01:00:03+01:00,C:\\cfg\\nightly.cfg,C:\\db\\orders.mdb,ok,0,3145728,1048576,1.5,\r\n"
    "2026-12-06T01:00:03+01:00,C:\\cfg\\nightly.cfg,C:\\db\\stock.mdb,failed,2,,,0.2,no such file\r\n"
    "2026-12-06T02:00:03+01:00,C:\\cfg\\archive.cfg,C:\\db\\old.mdb,in-use,,,,,lock held\r\n"
    "2026-12-07T01:00:03+01:00,C:\\cfg\\nightly.cfg,C:\\db\\orders.mdb,ok,0,2097152,1048576,1.1,\r\n"
    "2026-12-07T01:00:03+01:00,C:\\cfg\\nightly.cfg,C:\\db\\stock.mdb,unchanged,,4096,4096,,\r\n";

class History : public ::testing::Test {
protected:
    void SetUp() override {
        test::InstallScriptedPrompts();
        test::WriteText(dir.file("compact-history.csv"), Fixture);
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
    void Choose(HWND box, const char* text) {
        const auto index = SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
        ASSERT_GE(index, 0) << text;
        SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(window->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
        test::PumpMessages();
    }
    std::string Text(HWND control) {
        char text[512] = {};
        GetWindowTextA(control, text, sizeof text);
        return text;
    }

    test::TempFolder dir;
    std::unique_ptr<TfrmHistory> window;
};

} // namespace

TEST_F(History, FiltersAndTotalsFollowTheChoices) {
    EXPECT_EQ(window->Query().rowCount(), 5u);
    EXPECT_EQ(Text(window->lblTotals), "3 passes, 2 databases compacted, 1 failure, 3.0 MB saved");
    // Newest first.
    EXPECT_EQ(window->Query().recordAt(0).start, "2026-12-07T01:00:03+01:00");

    Choose(window->cbOutcome, "Failures");
    EXPECT_EQ(window->Query().rowCount(), 1u);
    EXPECT_EQ(window->ShownTotals().failed, 1u);
    Choose(window->cbOutcome, "Skipped");
    EXPECT_EQ(window->ShownTotals().skipped, 1u);
    Choose(window->cbOutcome, "All outcomes");

    Choose(window->cbConfiguration, "C:\\cfg\\nightly.cfg");
    EXPECT_EQ(window->Query().rowCount(), 4u);
    EXPECT_EQ(SendMessageA(window->cbDatabase, CB_GETCOUNT, 0, 0), 3); // all, orders, stock
    Choose(window->cbDatabase, "C:\\db\\orders.mdb");
    EXPECT_EQ(window->ShownTotals().compacted, 2u);
    EXPECT_EQ(window->ShownTotals().spaceSaved, 3145728);

    // The dates: the second night only.
    SYSTEMTIME day{};
    day.wYear = 2026, day.wMonth = 12, day.wDay = 7;
    SendMessageA(window->dtFrom, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&day));
    window->FilterChanged();
    EXPECT_EQ(window->Query().rowCount(), 1u);
    EXPECT_EQ(window->ShownTotals().passes, 1u);
}

TEST_F(History, TitleClicksSortAndASelectionChartsItsDatabase) {
    NMLISTVIEW click{};
    click.hdr.hwndFrom = window->Table;
    click.hdr.idFrom = TfrmHistory::idTable;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iSubItem = static_cast<int>(HistoryColumn::Database);
    SendMessageA(window->hwnd(), WM_NOTIFY, TfrmHistory::idTable, reinterpret_cast<LPARAM>(&click));
    const auto& query = window->Query();
    EXPECT_EQ(query.recordAt(0).database, "C:\\db\\old.mdb"); // ascending first
    SendMessageA(window->hwnd(), WM_NOTIFY, TfrmHistory::idTable, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(query.recordAt(0).database, "C:\\db\\stock.mdb");

    int orders = -1;
    for (std::size_t row = 0; row < query.rowCount() && orders < 0; ++row)
        if (query.recordAt(row).database == "C:\\db\\orders.mdb")
            orders = static_cast<int>(row);
    window->SelectRow(orders);
    test::PumpMessages();
    const auto& size = window->SizeChartData();
    EXPECT_EQ(size.title, "Size of orders.mdb");
    ASSERT_EQ(size.lines.size(), 2u);
    EXPECT_EQ(size.lines[0].points.size(), 2u); // before, two nights
    EXPECT_DOUBLE_EQ(size.lines[0].points[0].second, 3.0);
    ASSERT_EQ(window->SavedChartData().lines.size(), 1u);
    EXPECT_EQ(window->SavedChartData().lines[0].points.size(), 2u);
}
