// The Win32 grid driven by window messages under wine: what the user does in the list
// view reaches the model, and the file it writes is the Linux grid's.
#include "widgets/win32/TEditGrid.h"

#include "core/DelimitedFile.h"
#include "platform/Files.h"
#include "platform/TextFile.h"
#include "platform/win32/WideText.h"
#include "tests/support/TempDir.h"
#include "tests/support/Win32Controls.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using quillet::platform::win32::Utf8;
using quillet::platform::win32::Wide;
using quillet::widgets::win32::TEditGrid;

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class Win32Grid : public ::testing::Test {
protected:
    void SetUp() override {
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner, nullptr) << "no window: is wine's null graphics driver set?";
        other = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 350, 100, 20, owner, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        grid = std::make_unique<TEditGrid>(owner, 100, RECT{0, 0, 560, 300});
        grid->SetColCount(4);
        grid->SetRowCount(4);
        grid->SetColWidths(0, 30);
        ShowWindow(owner, SW_SHOW);
        Pump();
    }
    void TearDown() override {
        grid.reset();
        DestroyWindow(owner);
        Pump();
    }

    POINT CellCentre(int col, int row) const {
        RECT cell{LVIR_BOUNDS, col, 0, 0};
        SendMessageW(grid->ListView(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row - 1),
                     reinterpret_cast<LPARAM>(&cell));
        if (col == 0) // sub-item 0's bounds are the whole row
            cell.right = cell.left + grid->ColWidths(0);
        return {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    }
    void DoubleClick(int col, int row) {
        const POINT at = CellCentre(col, row);
        const LPARAM where = MAKELPARAM(at.x, at.y);
        SendMessageW(grid->ListView(), WM_LBUTTONDOWN, MK_LBUTTON, where);
        SendMessageW(grid->ListView(), WM_LBUTTONUP, 0, where);
        SendMessageW(grid->ListView(), WM_LBUTTONDBLCLK, MK_LBUTTON, where);
        SendMessageW(grid->ListView(), WM_LBUTTONUP, 0, where);
        Pump();
    }
    void Key(HWND window, WPARAM key) {
        SendMessageW(window, WM_KEYDOWN, key, 0);
        SendMessageW(window, WM_KEYUP, key, 0);
        Pump();
    }
    // Types a cell's text as the user would: F2 on the current cell, the text, Enter.
    void Type(int col, int row, const std::wstring& text) {
        grid->SetCurrentCell(col, row);
        SetFocus(grid->ListView());
        Key(grid->ListView(), VK_F2);
        ASSERT_NE(grid->Editor(), nullptr);
        SetWindowTextW(grid->Editor(), text.c_str());
        Key(grid->Editor(), VK_RETURN);
    }
    void ClickTitle(int col) {
        auto* header = reinterpret_cast<HWND>(SendMessageW(grid->ListView(), LVM_GETHEADER, 0, 0));
        RECT title{};
        SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&title));
        const LPARAM where = MAKELPARAM((title.left + title.right) / 2, (title.top + title.bottom) / 2);
        SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, where);
        SendMessageW(header, WM_LBUTTONUP, 0, where);
        Pump();
    }
    std::wstring Shown(int col, int row) const {
        return Wide(quillet::test::ListViewCell(grid->ListView(), row - 1, col));
    }
    std::vector<std::string> Column(int col) const {
        std::vector<std::string> texts;
        for (int r = 1; r < grid->RowCount(); ++r)
            texts.push_back(grid->Cells(col, r));
        return texts;
    }

    HWND owner = nullptr;
    HWND other = nullptr;
    std::unique_ptr<TEditGrid> grid;
};

} // namespace

TEST_F(Win32Grid, CellEditsReachTheModel) {
    DoubleClick(2, 2);
    ASSERT_NE(grid->Editor(), nullptr);
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(grid->Row(), 2);
    SetWindowTextW(grid->Editor(), L"/data/a.cfg");
    Key(grid->Editor(), VK_RETURN);
    EXPECT_EQ(grid->Editor(), nullptr);
    EXPECT_EQ(grid->Cells(2, 2), "/data/a.cfg");
    EXPECT_EQ(Shown(2, 2), L"/data/a.cfg");
    EXPECT_TRUE(grid->Modified());

    grid->SetModified(false);
    Key(grid->ListView(), VK_F2);
    ASSERT_NE(grid->Editor(), nullptr);
    SetWindowTextW(grid->Editor(), L"dropped");
    Key(grid->Editor(), VK_ESCAPE);
    EXPECT_EQ(grid->Cells(2, 2), "/data/a.cfg");
    EXPECT_FALSE(grid->Modified());

    Key(grid->ListView(), VK_LEFT);
    Key(grid->ListView(), VK_F2);
    ASSERT_NE(grid->Editor(), nullptr);
    // Text set from code shows in an editor that holds nothing typed, and not in one that does.
    EXPECT_FALSE(grid->Typing());
    grid->SetCells(1, 2, "from the file");
    EXPECT_EQ(quillet::test::ShownText(grid->Editor()), "from the file");
    SetWindowTextW(grid->Editor(), L"Nightly");
    EXPECT_TRUE(grid->Typing());
    grid->SetCells(1, 2, "from the file again");
    EXPECT_EQ(quillet::test::ShownText(grid->Editor()), "Nightly");
    SetFocus(other); // leaving the cell stores its text
    Pump();
    EXPECT_EQ(grid->Editor(), nullptr);
    EXPECT_EQ(grid->Cells(1, 2), "Nightly");
    EXPECT_TRUE(grid->Modified());

    DoubleClick(0, 2); // the fixed column is not edited
    EXPECT_EQ(grid->Editor(), nullptr);
}

TEST_F(Win32Grid, TitleClicksSortAndRowOperationsKeepTheCells) {
    grid->SetCells(1, 1, "b");
    grid->SetCells(1, 2, "A");
    grid->SetCells(1, 3, "c");
    ClickTitle(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(Shown(1, 1), L"A");
    EXPECT_TRUE(grid->Modified());
    ClickTitle(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"c", "b", "A"}));

    grid->SetCurrentCell(1, 2);
    grid->DeleteRow(grid->Row());
    EXPECT_EQ(Column(1), (std::vector<std::string>{"c", "A"}));
    grid->InsertRow(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"", "c", "A"}));
    grid->AddRow();
    EXPECT_EQ(grid->RowCount(), 5);

    grid->SetModified(false);
    grid->SetCurrentCell(1, 4);
    SetFocus(grid->ListView());
    Key(grid->ListView(), VK_DOWN); // kdAlways: a new row, which Modified does not count
    EXPECT_EQ(grid->RowCount(), 6);
    EXPECT_EQ(grid->Row(), 5);
    EXPECT_FALSE(grid->Modified());
}

TEST_F(Win32Grid, TheScheduleTypedInIsWrittenAsTheLinuxGridWritesIt) {
    std::string fixture;
    ASSERT_TRUE(quillet::platform::ReadWholeFile(SCHEDULE_FIXTURE, fixture));
    const auto rows = quillet::ReadDelimited(fixture, '\t', 3);
    grid->SetRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 3; ++c)
            if (!rows[r][static_cast<std::size_t>(c)].empty())
                Type(c + 1, static_cast<int>(r) + 1, Wide(rows[r][static_cast<std::size_t>(c)]));

    quillet::test::TempDir dir;
    const std::string path = dir.file("schedfile.dat");
    grid->SaveToDelimitedFile(path, '\t', false);
    // The same text; a new file on Windows takes the ANSI code page while it fits.
    std::string saved;
    ASSERT_TRUE(quillet::platform::ReadTextFile(path, saved));
    EXPECT_EQ(saved, fixture);

    TEditGrid loaded(owner, 101, RECT{0, 0, 300, 200});
    loaded.SetColCount(4);
    loaded.LoadFromDelimitedFile(path, '\t', false);
    EXPECT_EQ(loaded.RowCount(), static_cast<int>(rows.size()) + 1);
    EXPECT_EQ(loaded.Cells(2, 4), "/x\ty.cfg");
}

TEST_F(Win32Grid, AnyTextIsShownTypedAndReadBack) {
    const std::wstring texts[] = {L"Νυχτερινή", L"C:\\Данные\\ночь.cfg", L"D:\\数据\\夜間.cfg", L"\U0001F600 \U00020000.cfg"};
    grid->SetCells(1, 0, Utf8(L"Περιγραφή"));
    for (int i = 0; i < 4; ++i)
        Type(1 + i % 2, 1 + i / 2, texts[i]);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(grid->Cells(1 + i % 2, 1 + i / 2), Utf8(texts[i]));
        EXPECT_EQ(Shown(1 + i % 2, 1 + i / 2), texts[i]);
    }
    EXPECT_EQ(quillet::test::ListViewTitle(grid->ListView(), 1), Utf8(L"Περιγραφή"));

    // The editor opens on the cell's own text.
    grid->SetCurrentCell(2, 2);
    Key(grid->ListView(), VK_F2);
    ASSERT_NE(grid->Editor(), nullptr);
    wchar_t edited[64] = {};
    GetWindowTextW(grid->Editor(), edited, 64);
    EXPECT_EQ(std::wstring(edited), texts[3]);
}

TEST_F(Win32Grid, TabCrossesTheReachableCellsAndLeavesTheGrid) {
    SetWindowLongPtrW(other, GWL_STYLE, GetWindowLongPtrW(other, GWL_STYLE) | WS_TABSTOP);
    grid->SetReachableCols(3); // column 3 is out of reach
    grid->SetNewRowOnKeyDown(quillet::widgets::kdNever);
    grid->SetCurrentCell(1, 1);
    SetFocus(grid->ListView());
    Key(grid->ListView(), VK_RIGHT);
    Key(grid->ListView(), VK_RIGHT);
    EXPECT_EQ(grid->Col(), 2);
    Key(grid->ListView(), VK_F2);
    ASSERT_NE(grid->Editor(), nullptr);
    Key(grid->Editor(), VK_TAB); // from the last reachable cell: out of the grid
    EXPECT_EQ(grid->Editor(), nullptr);
    EXPECT_EQ(GetFocus(), other);
    EXPECT_EQ(grid->Row(), 1);

    grid->SetCurrentCell(3, 1);
    EXPECT_EQ(grid->Col(), 2);
}

TEST_F(Win32Grid, FittedColumnsLeaveNoRoomForAHorizontalScrollBar) {
    RECT inside{};
    GetClientRect(grid->ListView(), &inside);
    const int room = inside.right - GetSystemMetrics(SM_CXVSCROLL);
    const int wide[] = {30, 200, room, 10};
    grid->FitColWidths(wide, 2);
    EXPECT_EQ(grid->ColWidths(1), 200);
    EXPECT_EQ(grid->ColWidths(0) + grid->ColWidths(1) + grid->ColWidths(2) + grid->ColWidths(3), room);
    const int narrow[] = {30, 100, 100, 10};
    grid->FitColWidths(narrow, 2);
    EXPECT_EQ(grid->ColWidths(2), 100);
}
