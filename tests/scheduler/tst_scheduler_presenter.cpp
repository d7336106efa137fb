// The scheduler window's decisions without a window: a recording view stands for
// either face. The same cases hold for the Qt and the Win32 window.
#include "scheduler/SchedulerPresenter.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

using namespace quillet;
using namespace quillet::scheduler;
using namespace quillet::scheduler::testing;
using Box = SchedulerView::Box;

namespace {

class NoTrigger final : public TriggerControl {
public:
    TriggerResult install(const BackgroundTarget&) override { return {true, "installed"}; }
    TriggerResult uninstall(const BackgroundTarget&) override { return {true, ""}; }
    TriggerStatus query(const BackgroundTarget&) override { return {}; }
};

// The grid, the boxes and the strip as plain values; what the user typed is set by the test.
class RecordingView final : public SchedulerView {
public:
    SchedulerPresenter* presenter = nullptr;
    std::vector<ScheduleEntry> grid;
    bool modified = false;
    int current = 0;
    int frequency = -1;
    std::map<Box, std::string> text;
    std::map<Box, std::string> typed;
    Box focused = Box::Interval;
    std::string status, run;
    std::vector<int> armed;

    void ShowEntries(const std::vector<ScheduleEntry>& entries, bool m) override {
        grid = entries.empty() ? std::vector<ScheduleEntry>(1) : entries;
        modified = m;
    }
    std::vector<ScheduleEntry> GridEntries() override { return grid; }
    bool GridModified() const override { return modified; }
    int CurrentEntry() const override { return current; }
    void SelectEntry(int entry) override { current = entry; }
    void ShowFrequency(int index, const std::string& every) override {
        frequency = index;
        if (index > 0)
            text[Box::Every] = every;
    }
    void ShowText(Box box, const std::string& t) override { text[box] = t; }
    std::string Text(Box box) const override { return text.count(box) ? text.at(box) : std::string(); }
    std::optional<std::string> TakeTyped(Box box) override {
        const auto it = typed.find(box);
        if (it == typed.end())
            return std::nullopt;
        std::string t = it->second;
        typed.erase(it);
        return t;
    }
    void Focus(Box box) override { focused = box; }
    void ShowStatus(const std::string& t) override { status = t; }
    void ShowBackground(bool, const std::string&) override {}
    void ShowRun(const std::string& t) override { run = t; }
    void SetBusy(bool) override {}
    void ArmTimer(int periodMs) override { armed.push_back(periodMs); }
    void AwaitRun() override {} // the test polls
    bool Shown() const override { return true; }
    void HideWindows() override {}
    void Quit(std::function<void()> quit) override { quit(); }
    void Fault(std::exception_ptr error) override { std::rethrow_exception(error); }

    void type(Box box, const std::string& t) { text[box] = typed[box] = t; }
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
        presenter = std::make_unique<SchedulerPresenter>(
            view, prompts, SchedulerSetup{dir.file(""), dir.file(""), [this] { return compactor; },
                                          std::make_shared<NoTrigger>()},
            std::move(clock), std::move(r));
        view.presenter = presenter.get();
        presenter->Create();
        presenter->Show();
    }
    void finishRun() {
        for (int i = 0; i < 5000 && presenter->AwaitingRun(); ++i) {
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
    EXPECT_EQ(w.view.text[Box::Every], "3");
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
    EXPECT_EQ(w.view.text[Box::Every], "2");
    EXPECT_EQ(w.view.text[Box::Interval], "60");
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
    EXPECT_EQ(w.view.text[Box::Every], "1");
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
    EXPECT_EQ(w.view.text[Box::Every], "3");
}

TEST(SchedulerPresenter, DuringARunClosingAsksNothingAndDroppedFilesWaitForItsEnd) {
    Window w(Two);
    w.view.grid[1].description = "edited";
    w.view.modified = true;
    w.presenter->Compact();
    ASSERT_TRUE(w.presenter->AwaitingRun());
    EXPECT_FALSE(w.view.run.empty());
    w.presenter->Close();
    w.presenter->Drop({"/d/late.cfg"});
    EXPECT_TRUE(w.prompts.shown.empty());
    w.finishRun();
    EXPECT_TRUE(w.view.run.empty());
    ASSERT_EQ(w.view.grid.size(), 3u);
    EXPECT_EQ(w.view.grid[2].configPath, "/d/late.cfg");
    // The run recorded the table with the edit made before it.
    EXPECT_NE(w.schedule().find("\"edited\""), std::string::npos);
    EXPECT_EQ(w.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /data/night.cfg"});
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
