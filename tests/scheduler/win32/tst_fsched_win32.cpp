// The Win32 scheduler window under wine, driven by window messages: what is typed into
// its grid and chosen in its frequency group is saved, and Compact runs an entry
// through the real compactor and records the day.
#include "scheduler/win32/fSched.h"

#include "scheduler/ScheduleGrid.h"

#include "core/Include.h"
#include "platform/win32/WideText.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/Win32Controls.h"
#include "tests/support/Win32Doubles.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

using quillet::platform::win32::Wide;
using quillet::scheduler::TfrmSched;
using quillet::scheduler::testing::MockClock;
namespace test = quillet::test;

namespace {


std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().string() + "\\";
}

void Key(HWND window, WPARAM key) {
    SendMessageA(window, WM_KEYDOWN, key, 0);
    SendMessageA(window, WM_KEYUP, key, 0);
    test::PumpMessages();
}

class Scheduler : public ::testing::Test {
protected:
    void SetUp() override {
        prompts = &test::InstallScriptedPrompts();
        folder = dir.path() + "\\";
    }
    TfrmSched& Create(std::unique_ptr<quillet::scheduler::ProcessRunner> runner = nullptr) {
        auto clock = std::make_unique<MockClock>();
        clock->day = quillet::EncodeDate(2026, 12, 6);
        clock->hour = 14;
        form = std::make_unique<TfrmSched>(
            quillet::scheduler::SchedulerSetup{.folder = folder,
                                               .compactorPath = [this] { return compactor; },
                                               .trigger = std::make_shared<quillet::scheduler::testing::NoTrigger>()},
            std::move(clock), std::move(runner));
        form->FormShow();
        ShowWindow(form->hwnd(), SW_SHOW);
        test::PumpMessages();
        return *form;
    }
    // F2 on the cell, the text, Enter: as the user types it.
    void Type(int col, int row, const std::string& text) {
        form->EditGrid1->SetCurrentCell(col, row);
        SetFocus(form->EditGrid1->ListView());
        Key(form->EditGrid1->ListView(), VK_F2);
        ASSERT_NE(form->EditGrid1->Editor(), nullptr);
        SetWindowTextW(form->EditGrid1->Editor(), Wide(text).c_str());
        Key(form->EditGrid1->Editor(), VK_RETURN);
    }
    void Click(HWND button) {
        SendMessageA(button, BM_CLICK, 0, 0);
        test::PumpMessages();
    }

    test::TempFolder dir;
    std::string folder;
    std::string compactor;
    test::ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<TfrmSched> form;
};

} // namespace

TEST_F(Scheduler, WhatIsTypedAndChosenIsSaved) {
    TfrmSched& f = Create();
    Type(1, 1, "Nightly");
    Type(2, 1, "C:\\data\\a.cfg");
    EXPECT_TRUE(f.EditGrid1->Modified());
    Click(f.rgSched[1]); // Daily
    EXPECT_EQ(f.EditGrid1->Cells(3, 1), "d|1|2026-12-06");
    Click(f.buttons[0]); // Save
    EXPECT_EQ(test::ReadText(folder + "schedfile.dat"), "\"Nightly\"\t\"C:\\data\\a.cfg\"\t\"d|1|2026-12-06\"\n");
    EXPECT_FALSE(f.EditGrid1->Modified());
    EXPECT_TRUE(f.TimerEnabled());

    // Insert, a second entry, Delete of the first: the file follows once saved.
    Click(f.buttons[1]);
    Type(2, 2, "C:\\data\\b.cfg");
    f.EditGrid1->SetCurrentCell(1, 1);
    Click(f.buttons[2]);
    Click(f.buttons[0]);
    EXPECT_EQ(test::ReadText(folder + "schedfile.dat"), "\t\"C:\\data\\b.cfg\"\t\n");
    EXPECT_EQ(test::Count(*prompts, "warn"), 0u);
}

TEST_F(Scheduler, CompactRunsTheEntryThroughTheCompactorAndRecordsTheDay) {
    const std::string bin = ProgramFolder() + "..\\bin\\";
    compactor = folder + "Quillet.exe";
    std::filesystem::copy_file(bin + "Quillet.exe", compactor);
    std::filesystem::copy_file(ProgramFolder() + "quillet_fake_engine.exe", folder + "engine.exe");
    test::WriteText(folder + "orders.mdb", "data");
    test::WriteText(folder + "nightly.cfg",
                    "[Defaults]\r\nCompactFiles=" + folder + "orders.mdb|\r\nAccessPath=" + folder + "engine.exe\r\n");
    test::WriteText(folder + "schedfile.dat", "\"Nightly\"\t\"" + folder + "nightly.cfg\"\t\"w|1|2026-11-01\"\r\n");

    TfrmSched& f = Create();
    f.EditGrid1->SetCurrentCell(1, 1);
    Click(f.buttons[3]); // Compact
    const DWORD start = GetTickCount();
    ASSERT_TRUE(f.Running()); // Compact returns; the window polls for the run's end
    while (f.Running() && GetTickCount() - start < 30000) {
        test::PumpMessages();
        Sleep(20);
    }
    EXPECT_EQ(f.EditGrid1->Cells(3, 1), "w|1|2026-12-06");
    EXPECT_NE(test::ReadText(folder + "calls.txt").find(folder + "orders.mdb"), std::string::npos);
    EXPECT_EQ(test::ReadText(folder + "schedfile.dat"), "\"Nightly\"\t\"" + folder + "nightly.cfg\"\t\"w|1|2026-12-06\"\n");
}

TEST_F(Scheduler, AnyNameIsShownSavedAndReloaded) {
    const std::string names[][2] = {
        {"Νυχτερινή", "C:\\Δεδομένα\\νύχτα.cfg"},
        {"Ночная", "C:\\Данные\\ночь.cfg"},
        {"夜間", "D:\\数据\\夜間.cfg"},
        {"\U0001F319", "E:\\\U00020000\\\U0001F600.cfg"},
    };
    TfrmSched& f = Create();
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            Click(f.buttons[1]); // insert
        Type(1, i + 1, names[i][0]);
        Type(2, i + 1, names[i][1]);
    }
    f.EditGrid1->SetCurrentCell(1, 1);
    Click(f.rgSched[1]); // Daily
    Click(f.buttons[0]); // Save
    EXPECT_EQ(test::Count(*prompts, "warn"), 0u);

    const auto shownAsTyped = [&] {
        const HWND list = form->EditGrid1->ListView();
        for (int i = 0; i < 4; ++i)
            for (int col = 1; col <= 2; ++col) {
                EXPECT_EQ(form->EditGrid1->Cells(col, i + 1), names[i][col - 1]);
                EXPECT_EQ(test::ListViewCell(list, i, col), names[i][col - 1]);
            }
        EXPECT_EQ(test::ShownText(form->Edit1), "1");
        EXPECT_EQ(test::ShownText(form->edtInterval), "60");
        EXPECT_EQ(test::ShownText(form->edtStart), "01");
        EXPECT_EQ(test::ShownText(form->lblLastRun), "No run recorded \u00B7 next due 2026-12-07 01:00");
    };
    shownAsTyped();
    form.reset(); // the next start reads them back from the file
    Create();
    shownAsTyped();
}

// The Config File column as the presenter says: a configuration that is not there is
// marked, and every path shows whole in its tip.
TEST_F(Scheduler, MissingConfigurationsAreMarked) {
    test::WriteText(folder + "there.cfg", "[Defaults]\r\n");
    test::WriteText(folder + "schedfile.dat", "\t\"C:\\nowhere\\a.cfg\"\t\r\n\t\"" + folder + "there.cfg\"\t\r\n");
    TfrmSched& f = Create();
    EXPECT_TRUE(f.EditGrid1->IsMarked(quillet::scheduler::ColConfigFile, 1));
    EXPECT_FALSE(f.EditGrid1->IsMarked(quillet::scheduler::ColConfigFile, 2));
    EXPECT_EQ(f.EditGrid1->TipText(quillet::scheduler::ColConfigFile, 1),
              std::string("C:\\nowhere\\a.cfg") + quillet::scheduler::MissingNote);
    EXPECT_EQ(f.EditGrid1->TipText(quillet::scheduler::ColConfigFile, 2), folder + "there.cfg");
}

TEST_F(Scheduler, TabLeavesTheGridAndEscapeClosesWithTheQuestion) {
    TfrmSched& f = Create();
    Type(2, 1, "C:\\data\\a.cfg");
    f.EditGrid1->SetCurrentCell(3, 1); // the code column is out of reach
    EXPECT_EQ(f.EditGrid1->Col(), 2);
    SetFocus(f.EditGrid1->ListView());
    Key(f.EditGrid1->ListView(), VK_TAB);
    EXPECT_EQ(GetFocus(), f.rgSched[0]);

    prompts->answers = {quillet::ui::Answer::No};
    SendMessageW(f.hwnd(), WM_COMMAND, IDCANCEL, 0); // what Escape sends
    test::PumpMessages();
    EXPECT_FALSE(IsWindowVisible(f.hwnd()));
    EXPECT_EQ(test::Count(*prompts, "ask"), 1u);
}
