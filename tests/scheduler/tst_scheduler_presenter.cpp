// The scheduler window's decisions without a window: a recording view stands for
// either face. The same cases hold for the Qt and the Win32 window.
#include "platform/FileLock.h"
#include "scheduler/ScheduleSync.h"
#include "scheduler/SchedulerPresenter.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

using namespace quillet;
using namespace quillet::scheduler;
using namespace quillet::scheduler::testing;
using Box = SchedulerView::Box;

namespace {

// The grid, the boxes and the strip as plain values; what the user typed is set by the test.
class RecordingView final : public SchedulerView {
public:
    SchedulerPresenter* presenter = nullptr;
    std::vector<ScheduleEntry> grid;
    bool modified = false;
    int current = 0;
    int frequency = -1;
    std::map<Box, std::string> texts;
    std::map<Box, std::string> typed;
    Box focused = Box::Interval;
    std::string status, run, unit;
    std::vector<int> armed;

    std::vector<bool> missing;
    bool editing = false;
    int polling = 0;
    std::map<Control, bool> enabled;
    // Like a toolkit's grid: moving the current cell from code says so.
    void selectEntry(int entry) override {
        current = entry;
        presenter->EntryChosen();
    }

    void showEntries(const std::vector<ScheduleEntry>& entries, bool m, const std::vector<bool>& absent) override {
        grid = entries.empty() ? std::vector<ScheduleEntry>(1) : entries;
        modified = m;
        missing = absent;
    }
    std::vector<ScheduleEntry> gridEntries() override { return grid; }
    bool gridModified() const override { return modified; }
    bool typing() const override { return editing; }
    int currentEntry() const override { return current; }
    void showFrequency(int index, const std::optional<Every>& every) override {
        frequency = index;
        unit = every ? every->unit : std::string();
        if (every)
            texts[Box::Every] = every->value;
    }
    void showText(Box box, const std::string& t) override { texts[box] = t; }
    std::string text(Box box) const override { return texts.count(box) ? texts.at(box) : std::string(); }
    std::optional<std::string> takeTyped(Box box) override {
        const auto it = typed.find(box);
        if (it == typed.end())
            return std::nullopt;
        std::string t = it->second;
        typed.erase(it);
        return t;
    }
    bool holdsTyped(Box box) const override { return typed.count(box) != 0; }
    void focus(Box box) override { focused = box; }
    void showStatus(const std::string& t) override { status = t; }
    void showBackground(bool, const std::string&) override {}
    void showRun(const std::string& t) override { run = t; }
    void enable(Control control, bool on) override { enabled[control] = on; }
    void setBusy(bool) override {}
    void armTimer(int periodMs) override { armed.push_back(periodMs); }
    void armPoll(int periodMs) override { polling = periodMs; } // the test polls
    bool shown() const override { return true; }
    void hideWindows() override {}
    void fault(std::exception_ptr error) override { std::rethrow_exception(error); }

    void type(Box box, const std::string& t) { texts[box] = typed[box] = t; }
};

struct Window {
    test::TempDir dir;
    test::ScriptedPrompts prompts;
    RecordingView view;
    RecordingRunner* runner = nullptr;
    std::string compactor = "/opt/q/Quillet";
    std::unique_ptr<SchedulerPresenter> presenter;

    explicit Window(const std::string& schedule) {
        test::WriteBytes(dir.file("schedfile.dat"), schedule);
        auto clock = std::make_unique<MockClock>();
        clock->day = EncodeDate(2026, 12, 6);
        clock->hour = 1;
        auto r = std::make_unique<RecordingRunner>();
        runner = r.get();
        presenter = std::make_unique<SchedulerPresenter>(view, prompts,
                                                         SchedulerSetup{dir.file(""), dir.file(""),
                                                                        [this] { return compactor; },
                                                                        std::make_shared<NoTrigger>()},
                                                         std::move(clock), std::move(r));
        view.presenter = presenter.get();
        presenter->Create();
        presenter->Show();
    }
    // A bound for a hung run only: a hundred runs over a large schedule take many
    // seconds under the sanitizers.
    void finishRun() {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        while (presenter->AwaitingRun() && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            presenter->PollRun();
        }
        ASSERT_FALSE(presenter->AwaitingRun());
    }
    std::string schedule() const { return test::ReadBytes(dir.file("schedfile.dat")); }
};

const std::string Two = "\"n\"\t\"/data/night.cfg\"\t\"w|2|2026-12-01\"\r\n\"x\"\t\"/data/x.cfg\"\t\r\n";

} // namespace

// Showing an entry shows its own frequency and N and rewrites nothing but a code of
// another letter; a choice writes the code with the entry's date, today when it has none.
TEST(SchedulerPresenter, ShowingAndChoosingFrequencies) {
    Window w("\"a\"\t\"/a.cfg\"\t\r\n\"b\"\t\"/b.cfg\"\t\"d|1|2026-11-01\"\r\n"
             "\"c\"\t\"/c.cfg\"\t\"q|1|2026-11-01\"\r\n\"d\"\t\"/d.cfg\"\t\"w|3|2026-11-01\"\r\n");
    const auto choose = [&](int entry) {
        w.view.current = entry;
        w.presenter->EntryChosen();
    };
    EXPECT_EQ(w.view.frequency, 0);
    w.presenter->ChooseFrequency(1);
    EXPECT_EQ(w.view.grid[0].code, "d|1|2026-12-06");
    choose(1);
    EXPECT_EQ(w.view.frequency, 1);
    w.presenter->ChooseFrequency(3);
    EXPECT_EQ(w.view.grid[1].code, "m|1|2026-11-01");
    choose(3);
    EXPECT_EQ(w.view.texts[Box::Every], "3");
    EXPECT_EQ(w.view.grid[3].code, "w|3|2026-11-01");
    choose(2);
    EXPECT_EQ(w.view.frequency, 0);
    EXPECT_EQ(w.view.grid[2].code, "");
    EXPECT_FALSE(w.view.modified); // none of this is an edit the close question asks about
    // The timer follows the saved codes, not the ones merely chosen.
    EXPECT_EQ(w.view.armed, std::vector<int>{3600000});
    for (int entry : {0, 1, 3}) {
        choose(entry);
        w.presenter->ChooseFrequency(0);
    }
    EXPECT_EQ(w.view.armed, std::vector<int>{3600000});
    w.presenter->Save();
    EXPECT_EQ(w.view.armed, (std::vector<int>{3600000, 0}));
    EXPECT_FALSE(w.presenter->TimerEnabled());
    w.presenter->ChooseFrequency(1);
    w.presenter->Save();
    EXPECT_EQ(w.view.armed, (std::vector<int>{3600000, 0, 3600000}));
}

TEST(SchedulerPresenter, ShowsTheFirstEntryAndArmsTheTimerOnce) {
    Window w(Two);
    EXPECT_EQ(w.view.frequency, 2);
    EXPECT_EQ(w.view.texts[Box::Every], "2");
    EXPECT_EQ(w.view.texts[Box::Interval], "60");
    EXPECT_EQ(w.view.armed, std::vector<int>{3600000});
    // A save that changes nothing of the timer leaves its countdown alone.
    w.presenter->Save();
    EXPECT_EQ(w.view.armed, std::vector<int>{3600000});
    w.view.type(Box::Interval, "5");
    w.presenter->Save();
    EXPECT_EQ(w.view.armed, (std::vector<int>{3600000, 300000}));
}

// A new user gives the As Needed entry a frequency just after looking at the two-weekly one.
TEST(SchedulerPresenter, AFrequencyGivenStartsAtOneNotAtTheNShownBefore) {
    Window w(Two);
    w.view.current = 1;
    w.presenter->EntryChosen();
    w.presenter->ChooseFrequency(2);
    EXPECT_EQ(w.view.grid[1].code, "w|1|2026-12-06");
    EXPECT_EQ(w.view.texts[Box::Every], "1");
}

// Typed into a box and saved from the menu, the focus still in the box.
TEST(SchedulerPresenter, TypedValuesCountWhateverHasTheFocusAndRefusalsNameTheField) {
    Window w(Two);
    w.view.type(Box::Every, "3");
    w.view.type(Box::Start, "02");
    w.presenter->Save();
    EXPECT_NE(w.schedule().find("w|3|2026-12-01"), std::string::npos);
    EXPECT_TRUE(w.prompts.shown.empty());

    w.view.type(Box::Every, "0");
    w.presenter->Save();
    ASSERT_EQ(w.prompts.shown.size(), 1u);
    EXPECT_NE(w.prompts.shown[0].text.find("Every"), std::string::npos);
    EXPECT_EQ(w.view.focused, Box::Every);
    EXPECT_EQ(w.view.texts[Box::Every], "3");
}

TEST(SchedulerPresenter, DuringARunClosingAsksNothingAndDroppedFilesWaitForItsEnd) {
    Window w(Two);
    w.view.grid[1].description = "edited";
    w.view.modified = true;
    w.presenter->Compact();
    ASSERT_TRUE(w.presenter->AwaitingRun());
    EXPECT_FALSE(w.view.run.empty());
    // The same controls lock in both faces, and the run is polled, never waited for.
    EXPECT_EQ(w.view.enabled.size(), std::size(SchedulerPresenter::LockedDuringRun));
    for (const auto& [control, on] : w.view.enabled)
        EXPECT_FALSE(on);
    EXPECT_EQ(w.view.polling, SchedulerPresenter::PollMilliseconds);
    w.presenter->Close();
    w.presenter->Drop({"/d/late.cfg"});
    EXPECT_TRUE(w.prompts.shown.empty());
    w.finishRun();
    EXPECT_TRUE(w.view.run.empty());
    EXPECT_EQ(w.view.polling, 0);
    for (const auto& [control, on] : w.view.enabled)
        EXPECT_TRUE(on);
    ASSERT_EQ(w.view.grid.size(), 3u);
    EXPECT_EQ(w.view.grid[2].configPath, "/d/late.cfg");
    // The run recorded the table with the edit made before it.
    EXPECT_NE(w.schedule().find("\"edited\""), std::string::npos);
    EXPECT_EQ(w.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /data/night.cfg"});
}

// What both faces once decided each for itself.
TEST(SchedulerPresenter, TheNBoxItsUnitTypedCellsAndMissingFiles) {
    Window w(Two);
    w.view.current = 0;
    w.presenter->EntryChosen();
    EXPECT_EQ(w.view.unit, "Week(s)");
    EXPECT_EQ(w.view.texts[Box::Every], "2");
    w.presenter->ChooseFrequency(0);
    EXPECT_EQ(w.view.unit, ""); // no N box for As Needed
    w.presenter->ChooseFrequency(1);
    EXPECT_EQ(w.view.unit, "Day(s)");

    // Neither configuration exists; one that does is not marked.
    EXPECT_EQ(w.view.missing, (std::vector<bool>{true, true}));
    test::WriteBytes(w.dir.file("real.cfg"), "[Defaults]\r\n");
    w.presenter->Drop({w.dir.file("real.cfg")});
    EXPECT_EQ(w.view.missing, (std::vector<bool>{true, true, false}));

    // Another program's save waits while a cell or an N is typed into, and comes after.
    w.presenter->Save();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    test::WriteBytes(w.dir.file("schedfile.dat"), "\"other\"\t\"/o.cfg\"\t\r\n");
    w.view.editing = true;
    w.presenter->NoticeFileChange();
    EXPECT_EQ(w.view.grid.size(), 3u);
    w.view.editing = false;
    w.view.type(Box::Every, "5");
    w.presenter->NoticeFileChange();
    EXPECT_EQ(w.view.grid.size(), 3u);
    EXPECT_EQ(w.view.texts[Box::Every], "5");
    w.view.typed.clear();
    w.presenter->NoticeFileChange();
    ASSERT_EQ(w.view.grid.size(), 1u);
    EXPECT_EQ(w.view.grid[0].description, "other");
}

TEST(SchedulerPresenter, ACompactorThatCannotStartIsSaidNamingItsPath) {
    Window w(Two);
    w.runner->startSucceeds = false;
    w.compactor = w.dir.file("moved/Quillet");
    w.presenter->Compact();
    w.finishRun();
    ASSERT_EQ(w.prompts.shown.size(), 1u);
    EXPECT_EQ(w.prompts.shown[0].kind, "warn");
    EXPECT_NE(w.prompts.shown[0].text.find(w.compactor), std::string::npos);
}

// Refused where typed: the box shows the value in effect again, the entry keeps its N,
// and a refusal on Save writes nothing.
TEST(SchedulerPresenter, RefusedNumbersWriteNothingAndTheBoxesShowWhatHolds) {
    Window w(Two);
    test::WriteBytes(w.dir.file("Quillet.ini"), "[Defaults]\r\nTimerInterval=30\r\n");
    w.presenter->Show();
    const std::string ini = test::ReadBytes(w.dir.file("Quillet.ini"));
    for (const char* bad : {"abc", "35792", "-1"}) {
        w.view.type(Box::Interval, bad);
        w.presenter->Save();
        EXPECT_EQ(
            w.prompts.shown.back().text.rfind(std::string("'") + bad + "' is not a valid Timer Interval", 0),
            0u);
        EXPECT_EQ(w.view.focused, Box::Interval);
    }
    w.view.type(Box::Interval, "35791");
    w.view.type(Box::Start, "25");
    w.presenter->Save();
    EXPECT_EQ(w.prompts.shown.back().text,
              "'25' is not a valid Start Time: enter a whole hour from 0 to 23.");
    EXPECT_EQ(w.view.focused, Box::Start);
    EXPECT_EQ(test::ReadBytes(w.dir.file("Quillet.ini")), ini);
    EXPECT_EQ(w.schedule(), Two);

    w.view.type(Box::Start, "ab");
    EXPECT_FALSE(w.presenter->LeaveStart());
    EXPECT_EQ(w.view.texts[Box::Start], "01");
    w.view.type(Box::Every, "x");
    EXPECT_FALSE(w.presenter->LeaveEvery());
    EXPECT_EQ(w.view.grid[0].code, "w|2|2026-12-01");
    EXPECT_EQ(w.view.texts[Box::Every], "2");
    EXPECT_EQ(w.view.focused, Box::Every);
    EXPECT_EQ(w.prompts.kinds(), std::vector<std::string>(6, "warn"));
}

TEST(SchedulerPresenter, AZeroIntervalKeepsTheTimerOnWithoutFiringUntilAnotherIsSaved) {
    Window w(Two);
    test::WriteBytes(w.dir.file("Quillet.ini"),
                     "[Defaults]\r\nLastCfgPath=/x.cfg\r\nTimerInterval=0\r\nStartTime=3\r\n");
    w.presenter->Show();
    EXPECT_EQ(w.view.texts[Box::Start], "3");
    EXPECT_TRUE(w.presenter->TimerEnabled());
    EXPECT_EQ(w.view.armed.back(), 0);
    w.view.type(Box::Interval, "5");
    w.presenter->Save();
    EXPECT_EQ(w.view.armed.back(), 300000);
    // The other keys of the file stay.
    EXPECT_EQ(test::ReadBytes(w.dir.file("Quillet.ini")),
              "[Defaults]\r\nLastCfgPath=/x.cfg\r\nTimerInterval=5\r\nStartTime=3\r\n");
    EXPECT_TRUE(w.prompts.shown.empty());
}

// Stored values that are refused: one warning when read, the defaults and the good
// entries work meanwhile, and Compact on a refused entry says why.
TEST(SchedulerPresenter, StoredBadValuesAreReportedOnceAndTheRestRuns) {
    Window w("\"bad\"\t\"/bad.cfg\"\t\"d|x|2026-12-01\"\r\n\t\"/odd.cfg\"\t\"q|1|2026-12-01\"\r\n"
             "\"weekly\"\t\"/w.cfg\"\t\"w|0|2026-12-01\"\r\n\"good\"\t\"/good.cfg\"\t\"d|1|2026-12-01\"\r\n");
    test::WriteBytes(w.dir.file("Quillet.ini"), "[Defaults]\r\nTimerInterval=abc\r\nStartTime=25\r\n");
    w.prompts.shown.clear();
    w.presenter->Show();
    ASSERT_EQ(w.prompts.shown.size(), 1u);
    const std::string text = w.prompts.shown[0].text;
    for (const char* part :
         {"'abc' is not a valid Timer Interval", "every 60 minutes", "'25' is not a valid Start Time",
          "Entry 1 (bad): ", "Entry 2 (/odd.cfg): ", "Entry 3 (weekly): ", "'0' is not"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(text.find("Entry 4"), std::string::npos);
    EXPECT_EQ(w.view.texts[Box::Interval], "abc");
    EXPECT_EQ(w.view.armed.back(), 3600000);

    w.presenter->Tick();
    w.finishRun();
    EXPECT_EQ(w.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /good.cfg"});
    EXPECT_EQ(w.prompts.shown.size(), 1u);
    EXPECT_EQ(w.schedule().rfind("\"bad\"\t\"/bad.cfg\"\t\"d|x|2026-12-01\"\r\n", 0), 0u);
    w.view.current = 0;
    w.presenter->Compact();
    EXPECT_EQ(w.runner->commandLines.size(), 1u);
    EXPECT_EQ(w.prompts.shown.back().text.rfind("Entry 1 cannot be compacted: ", 0), 0u);
}

TEST(SchedulerPresenter, AScheduleThatCannotBeReadIsSaidAndNotSavedOver) {
    Window w(Two);
    std::filesystem::remove(w.dir.file("schedfile.dat"));
    std::filesystem::create_directory(w.dir.file("schedfile.dat"));
    w.presenter->Show();
    ASSERT_EQ(w.prompts.kinds(), std::vector<std::string>{"warn"});
    EXPECT_NE(w.prompts.shown[0].text.find("Cannot open file "), std::string::npos);
    w.view.grid[0].configPath = "/new.cfg";
    w.presenter->Save();
    EXPECT_EQ(w.prompts.shown.back().text.rfind("The schedule was not saved to ", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(w.dir.file("schedfile.dat")));
}

// Rows: added at the end with the current one kept, deleted without a question; dropped
// files become entries without counting as an edit.
TEST(SchedulerPresenter, AddDeleteAndDropEntries) {
    Window w("\"a\"\t\"/a.cfg\"\t\"d|1|2026-12-01\"\r\n\"b\"\t\"/b.cfg\"\t\r\n");
    w.presenter->AddRow();
    EXPECT_EQ(w.view.grid.size(), 3u);
    EXPECT_EQ(w.view.current, 0);
    EXPECT_TRUE(w.view.modified);
    w.presenter->DeleteRow();
    ASSERT_EQ(w.view.grid.size(), 2u);
    EXPECT_EQ(w.view.grid[0].description, "b");
    EXPECT_EQ(w.view.frequency, 1); // the controls keep showing the deleted entry
    EXPECT_TRUE(w.prompts.shown.empty());

    Window d("");
    d.presenter->Drop({"/d/one.cfg", "/d/two.cfg"});
    ASSERT_EQ(d.view.grid.size(), 2u);
    EXPECT_EQ(d.view.grid[1].configPath, "/d/two.cfg");
    d.view.grid.push_back({"described", "", ""});
    d.presenter->Drop({"/d/my four.cfg"});
    ASSERT_EQ(d.view.grid.size(), 3u);
    EXPECT_EQ(d.view.grid[2].configPath, "/d/my four.cfg");
    d.view.modified = false;
    d.presenter->Close();
    EXPECT_TRUE(d.prompts.shown.empty());

    // The only entry deleted leaves an empty table, and closing asks; Yes saves it.
    Window o("\"only\"\t\"/o.cfg\"\t\"w|1|2026-12-01\"\r\n");
    o.presenter->DeleteRow();
    o.prompts.answers.push_back(ui::Answer::Yes);
    o.presenter->Close();
    ASSERT_EQ(o.prompts.kinds(), std::vector<std::string>{"ask"});
    EXPECT_EQ(o.prompts.shown[0].text, "Save changes?");
    EXPECT_EQ(o.schedule(), "");
}

// After a delete the Every box still shows the deleted entry's N: passing through the box
// gives it to no entry, and an N typed before a delete goes with its entry.
TEST(SchedulerPresenter, AnNShownOrTypedForADeletedEntryGoesWithIt) {
    Window w("\"a\"\t\"/a.cfg\"\t\"w|4|2026-11-01\"\r\n\"c\"\t\"/c.cfg\"\t\"m|6|2026-11-02\"\r\n"
             "\"d\"\t\"/d.cfg\"\t\"w|2|2026-11-03\"\r\n");
    w.presenter->DeleteRow();
    EXPECT_EQ(w.view.texts[Box::Every], "4");
    EXPECT_TRUE(w.presenter->LeaveEvery());
    EXPECT_EQ(w.view.grid[0].code, "m|6|2026-11-02");
    w.view.type(Box::Every, "9");
    w.presenter->DeleteRow();
    EXPECT_TRUE(w.presenter->LeaveEvery());
    ASSERT_EQ(w.view.grid.size(), 1u);
    EXPECT_EQ(w.view.grid[0].code, "w|2|2026-11-03");
}

// Asked only about edits; No writes nothing; a run in between saved them already; showing
// again after No brings back what is on disk with the first entry.
TEST(SchedulerPresenter, TheCloseQuestionAndShowingAgain) {
    Window w("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-05\"\r\n\"x\"\t\"/data/x.cfg\"\t\r\n");
    w.presenter->Close();
    EXPECT_TRUE(w.prompts.shown.empty());
    const std::string before = w.schedule();
    w.view.grid[1].description = "renamed";
    w.view.modified = true;
    w.view.type(Box::Interval, "5");
    w.view.current = 1;
    w.prompts.answers.push_back(ui::Answer::No);
    w.presenter->Close();
    EXPECT_EQ(w.prompts.kinds(), std::vector<std::string>{"ask"});
    EXPECT_EQ(w.schedule(), before);
    w.presenter->Show();
    EXPECT_EQ(w.view.grid[1].description, "x");
    EXPECT_EQ(w.view.texts[Box::Interval], "60");
    EXPECT_EQ(w.view.current, 0);
    EXPECT_EQ(w.view.frequency, 1);
    EXPECT_FALSE(w.view.modified);

    w.view.grid[1].description = "changed";
    w.view.modified = true;
    w.presenter->Tick();
    w.finishRun();
    w.presenter->Close();
    EXPECT_EQ(w.prompts.shown.size(), 1u);
    EXPECT_NE(w.schedule().find("\"changed\""), std::string::npos);
}

// Yes with a refused save keeps the window and its edits: hidden, they would be lost at
// the next showing. Fixed, the next close saves them and lets the window go.
TEST(SchedulerPresenter, ARefusedSaveAtCloseKeepsTheWindow) {
    Window w("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-05\"\r\n");
    w.view.grid[0].description = "renamed";
    w.view.modified = true;
    w.view.type(Box::Interval, "abc");
    w.prompts.answers.push_back(ui::Answer::Yes);
    EXPECT_FALSE(w.presenter->Close());
    EXPECT_EQ(w.view.focused, Box::Interval);
    EXPECT_EQ(w.schedule().find("renamed"), std::string::npos);
    w.view.type(Box::Interval, "5");
    w.prompts.answers.push_back(ui::Answer::Yes);
    EXPECT_TRUE(w.presenter->Close());
    EXPECT_NE(w.schedule().find("\"renamed\""), std::string::npos);
}

// An unsaved edit counts for the tick and is saved with the run; a start hour counts as
// soon as it is entered, saved or not.
TEST(SchedulerPresenter, ATickTakesTheEditsAndTheStartHourEntered) {
    Window w("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-05\"\r\n\"x\"\t\"/data/never.cfg\"\t\r\n");
    w.view.type(Box::Start, "02"); // the clock says 1 o'clock
    EXPECT_TRUE(w.presenter->LeaveStart());
    w.presenter->Tick();
    EXPECT_FALSE(w.presenter->AwaitingRun());
    EXPECT_TRUE(w.runner->commandLines.empty());
    w.view.type(Box::Start, "01");
    EXPECT_TRUE(w.presenter->LeaveStart());
    w.view.grid[1].description = "edited";
    w.view.modified = true;
    w.presenter->Tick();
    w.finishRun();
    EXPECT_EQ(w.schedule(), "\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-06\"\r\n"
                            "\"edited\"\t\"/data/never.cfg\"\t\r\n");
    EXPECT_EQ(w.view.grid[0].code, "d|1|2026-12-06");
    EXPECT_FALSE(w.view.modified);
}

// Leading and trailing blanks of a cell go; cells past the third are ignored.
TEST(SchedulerPresenter, LoadingTrimsCellsAndIgnoresExtraOnes) {
    Window w("\"Just a description\"\n\"  padded  \"\t\"/x.cfg\"\t\"w|2|2026-11-29\"\t\"extra\"\r\r\n");
    ASSERT_EQ(w.view.grid.size(), 3u);
    EXPECT_EQ(w.view.grid[0].description, "Just a description");
    EXPECT_EQ(w.view.grid[1].description, "padded");
    EXPECT_EQ(w.view.grid[1].code, "w|2|2026-11-29");
    EXPECT_EQ(w.view.grid[2].description, "");
}

// Garbage loads as entries that never run; thousands of entries, some refused: the good
// ones run, one warning names the first few, and the file keeps every line.
TEST(SchedulerPresenter, BadAndHugeScheduleFiles) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(char((i * 131 + 7) % 256));
    Window g(garbage);
    g.presenter->Tick();
    g.presenter->Compact();
    g.finishRun();
    EXPECT_EQ(g.schedule(), garbage);

    std::string big;
    for (int i = 0; i < 3000; ++i) {
        const char* code = i % 30 == 0   ? "w|-1|"
                           : i % 30 == 1 ? "x|abc|2026-13-45"
                           : i % 30 == 2 ? "d|1|2026-12-01"
                                         : "";
        big += "\"e" + std::to_string(i) + "\"\t\"/c" + std::to_string(i) + ".cfg\"\t";
        if (*code)
            big += std::string("\"") + code + "\"";
        big += "\r\n";
    }
    Window w(big);
    EXPECT_EQ(w.view.grid.size(), 3000u);
    ASSERT_EQ(w.prompts.shown.size(), 2u); // created, then shown
    const std::string& text = w.prompts.shown[1].text;
    std::size_t entries = 0;
    for (auto at = text.find("\nEntry "); at != std::string::npos; at = text.find("\nEntry ", at + 1))
        ++entries;
    EXPECT_EQ(entries, 10u);
    EXPECT_EQ(text.substr(text.size() - 15), "\n(and 190 more)");
    w.presenter->Tick();
    w.finishRun();
    EXPECT_EQ(w.runner->commandLines.size(), 100u);
    const std::string saved = w.schedule();
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 3000);
    EXPECT_NE(saved.find("\"e0\"\t\"/c0.cfg\"\t\"w|-1|"), std::string::npos);
    EXPECT_NE(saved.find("\r\n\"e1\"\t\"/c1.cfg\"\t\"x|abc|2026-13-45\"\r\n"
                         "\"e2\"\t\"/c2.cfg\"\t\"d|1|2026-12-06\"\r\n"),
              std::string::npos);
}

// The background check holds the schedule: Compact says why it does nothing.
TEST(SchedulerPresenter, CompactWhileTheBackgroundCheckRunsSaysSo) {
    Window w(Two);
    const auto check = platform::FileLock::TryAcquire(w.dir.file(CheckLockFileName));
    ASSERT_TRUE(check);
    w.presenter->Compact();
    EXPECT_FALSE(w.presenter->AwaitingRun());
    EXPECT_TRUE(w.runner->commandLines.empty());
    EXPECT_EQ(w.prompts.kinds(), std::vector<std::string>{"inform"});
}
