// The history window's sequence without a window: a recording view stands in for the
// faces. Also runs under wine.
#include "admin/HistoryLayout.h"
#include "admin/HistoryPresenter.h"

#include "core/FleetView.h"
#include "core/RunHistory.h"
#include "platform/FsPath.h"
#include "platform/HostName.h"
#include "platform/Files.h"
#include "platform/RegionalTime.h"
#include "tests/admin/HistoryRecords.h"
#include "tests/admin/SpotChecks.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

using namespace quillet;
using namespace quillet::admin;
using quillet::test::HistoryText;
using quillet::test::Rec;

namespace {

using Texts = std::vector<std::string>;
constexpr std::int64_t MB = 1 << 20;

const char* const N1 = "2026-12-06T01:00:02+01:00";
const char* const N2 = "2026-12-07T01:00:02+01:00";

Texts Labels(const ChartAxis& axis) {
    Texts labels;
    for (const AxisTick& t : axis.ticks)
        labels.push_back(t.label);
    return labels;
}

// What the window was told last; a table that, like Qt's, loses its selection when its
// rows are shown anew, and says so.
struct RecordingView : HistoryView {
    HistoryPresenter* presenter = nullptr;
    std::size_t rowsShown = 0;
    std::optional<std::size_t> selection;
    std::pair<HistoryColumn, bool> sort{};
    std::map<FilterBox, std::pair<Texts, std::size_t>> choices;
    std::optional<std::pair<Date, Date>> dates;
    std::string totals, fileNote;
    HistoryChart size, saved;
    LogPane log;
    std::vector<MachineRow> machines;
    bool hidden = false;
    Texts opened, warnings;
    bool openSucceeds = true;
    std::string why; // the system's reason when opening fails
    std::atomic<bool> loaded{false};

    void showRows() override {
        rowsShown = presenter->Query().rowCount();
        presenter->RowSelected(std::nullopt);
    }
    void showSelection(std::optional<std::size_t> row) override { selection = row; }
    void showSort(HistoryColumn column, bool descending) override { sort = {column, descending}; }
    void showChoices(FilterBox box, const std::vector<FilterChoice>& list, std::size_t chosen) override {
        Texts texts;
        for (const FilterChoice& c : list)
            texts.push_back(c.text);
        choices[box] = {texts, chosen};
        presenter->FilterChosen(box, 0); // a refilled box says its choice changed
    }
    void showDates(Date from, Date to) override { dates = {from, to}; }
    void showTotals(const std::string& text) override { totals = text; }
    void showFileNote(const std::string& text) override { fileNote = text; }
    void showCharts(const HistoryChart& s, const HistoryChart& n) override { size = s, saved = n; }
    void showLog(const LogPane& pane) override { log = pane; }
    void showMachines(const std::vector<MachineRow>& rows) override { machines = rows; }
    void hide() override { hidden = true; }
    std::optional<std::string> open(const std::string& path) override {
        opened.push_back(path);
        return openSucceeds ? std::nullopt : std::optional(why);
    }
    void warn(const std::string& text) override { warnings.push_back(text); }
    void postLoaded() override { loaded = true; }

    std::size_t choose(FilterBox box, const std::string& text) {
        const Texts& texts = choices[box].first;
        const auto at = std::find(texts.begin(), texts.end(), text);
        EXPECT_NE(at, texts.end()) << text;
        const auto index = static_cast<std::size_t>(at - texts.begin());
        presenter->FilterChosen(box, index);
        return index;
    }
};

struct Window {
    test::TempDir dir;
    RecordingView view;
    HistoryPresenter presenter{view, [this] { return dir.file("Quillet"); }};
    Window() { view.presenter = &presenter; }

    std::string history() const { return dir.file(HistoryFileName); }
    // Lets a reading that started end, as the window's thread would.
    bool settle() {
        for (int i = 0; i < 1000 && presenter.IsLoading(); ++i) {
            if (view.loaded.exchange(false))
                presenter.Loaded();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return !presenter.IsLoading();
    }
    std::size_t rowOf(const std::string& database) const {
        const HistoryQuery& q = presenter.Query();
        for (std::size_t row = 0; row < q.rowCount(); ++row)
            if (q.recordAt(row).database == database)
                return row;
        ADD_FAILURE() << database;
        return 0;
    }
};

const std::string Cfg = "/cfg/nightly.cfg", Other = "/cfg/other.cfg";

std::vector<HistoryRecord> Sample() {
    return {
        Rec(N1, Cfg, "/db/orders.mdb", "ok", 800 * MB, 500 * MB),
        Rec(N1, Cfg, "/db/stock.mdb", "failed", 10 * MB),
        Rec(N2, Cfg, "/db/orders.mdb", "ok", 900 * MB, 600 * MB),
        Rec(N2, Other, "/db/x.mdb", "in-use"),
    };
}

} // namespace

TEST(HistoryPresenter, ReadsOffTheWindowThreadAndShowsTheHistory) {
    Window w;
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText(Sample())));
    w.presenter.Reload();
    EXPECT_TRUE(w.presenter.IsLoading());
    ASSERT_TRUE(w.settle());

    EXPECT_EQ(w.view.rowsShown, 4u);
    EXPECT_EQ(w.view.totals, "3 passes, 2 databases compacted, 1 failure, 600.0 MB saved");
    EXPECT_EQ(w.view.choices[FilterBox::Configuration].first, (Texts{"All configurations", "nightly.cfg", "other.cfg"}));
    EXPECT_EQ(w.view.choices[FilterBox::Database].first.size(), 4u);
    EXPECT_EQ(w.view.dates, std::pair(EncodeDate(2026, 12, 6), EncodeDate(2026, 12, 7)));
    EXPECT_EQ(w.view.fileNote.rfind(w.history() + " (", 0), 0u);
    EXPECT_EQ(w.view.sort, std::pair(HistoryColumn::When, true));
    EXPECT_EQ(w.view.size.title, "Select a database to see its size");
    EXPECT_EQ(w.view.saved.series.at(0).points.size(), 2u);
    EXPECT_EQ(w.view.log.text, "Select a pass to see what it wrote to error.log.");
    // No file: said so.
    Window empty;
    empty.presenter.Reload();
    ASSERT_TRUE(empty.settle());
    EXPECT_EQ(empty.view.rowsShown, 0u);
    EXPECT_EQ(empty.view.fileNote, "No history yet: " + empty.history() + " does not exist.");
}

TEST(HistoryPresenter, FiltersSortAndASelectionThatFollowsItsRecord) {
    Window w;
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText(Sample())));
    w.presenter.Reload();
    ASSERT_TRUE(w.settle());

    w.presenter.RowSelected(w.rowOf("/db/orders.mdb"));
    EXPECT_EQ(w.view.size.title, "Size of orders.mdb");
    EXPECT_EQ(w.view.size.series.at(0).name, "Before");
    EXPECT_EQ(w.view.log.title, "error.log, pass of 2026-12-07 01:00 (nightly.cfg)");

    // A title click sorts ascending, the same one again the other way; the selection stays
    // on its record through both, although the table dropped it.
    w.presenter.SortClicked(HistoryColumn::Database);
    EXPECT_EQ(w.view.sort, std::pair(HistoryColumn::Database, false));
    EXPECT_EQ(w.presenter.Query().recordAt(0).database, "/db/orders.mdb");
    w.presenter.SortClicked(HistoryColumn::Database);
    EXPECT_EQ(w.view.sort, std::pair(HistoryColumn::Database, true));
    EXPECT_EQ(w.view.selection, w.rowOf("/db/orders.mdb"));
    EXPECT_EQ(w.presenter.Query().recordAt(*w.view.selection).start, N2);

    // The database box follows the configuration; a selection filtered away goes.
    w.view.choose(FilterBox::Configuration, "other.cfg");
    EXPECT_EQ(w.view.choices[FilterBox::Database].first, (Texts{"All databases", "x.mdb"}));
    EXPECT_EQ(w.view.rowsShown, 1u);
    EXPECT_EQ(w.view.selection, std::nullopt);
    EXPECT_EQ(w.view.size.title, "Size of the databases of other.cfg");
    w.view.choose(FilterBox::Configuration, "All configurations");
    w.view.choose(FilterBox::Outcome, "Failures");
    EXPECT_EQ(w.view.rowsShown, 1u);
    EXPECT_EQ(w.view.totals, "1 pass, 0 databases compacted, 1 failure, 0 bytes saved");
    w.view.choose(FilterBox::Outcome, "All outcomes");
    w.presenter.DateChosen(DateBox::From, EncodeDate(2026, 12, 7));
    EXPECT_EQ(w.view.rowsShown, 2u);
}

TEST(HistoryPresenter, WatchesTheFileWhileShownAndKeepsTheSelectedLine) {
    Window w;
    w.presenter.Tick(); // not shown yet: nothing read
    EXPECT_FALSE(w.presenter.IsLoading());
    w.presenter.Show();
    ASSERT_TRUE(w.settle());
    w.presenter.Tick(); // unchanged
    EXPECT_FALSE(w.presenter.IsLoading());

    auto records = Sample();
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText({records.begin(), records.begin() + 2})));
    w.presenter.Tick();
    ASSERT_TRUE(w.settle());
    EXPECT_EQ(w.view.rowsShown, 2u);
    w.presenter.RowSelected(w.rowOf("/db/stock.mdb"));

    // A new night arrives: it shows, the dates follow, the selected line stays selected.
    records.push_back(Rec("2026-12-09T01:00:00+01:00", Cfg, "/db/new.mdb", "ok", 2 * MB, MB));
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText(records)));
    w.presenter.Tick();
    ASSERT_TRUE(w.settle());
    EXPECT_EQ(w.view.rowsShown, 5u);
    EXPECT_EQ(w.view.dates->second, EncodeDate(2026, 12, 9));
    ASSERT_TRUE(w.view.selection);
    EXPECT_EQ(w.presenter.Query().recordAt(*w.view.selection).database, "/db/stock.mdb");

    w.presenter.Close();
    EXPECT_TRUE(w.view.hidden);
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText({records[0]})));
    w.presenter.Tick();
    EXPECT_FALSE(w.presenter.IsLoading());
}

TEST(HistoryPresenter, OpensTheFileAndItsFolderOrSaysWhyNot) {
    Window w;
    w.presenter.OpenInSpreadsheet();
    EXPECT_TRUE(w.view.opened.empty());
    EXPECT_EQ(w.view.warnings, (Texts{"There is no history yet: " + w.history() + " does not exist."}));
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText(Sample())));
    w.presenter.OpenInSpreadsheet();
    w.presenter.ShowFile();
    EXPECT_EQ(w.view.opened, (Texts{w.history(), w.dir.path().string()}));
    w.view.openSucceeds = false;
    w.presenter.ShowFile();
    EXPECT_EQ(w.view.warnings.back(),
              "Could not open " + w.dir.path().string() + ": the desktop has no program to show folders.");
    w.presenter.OpenInSpreadsheet();
    EXPECT_EQ(w.view.warnings.back(),
              "Could not open " + w.history() + ": no program on this computer is set to open .csv files.");
    w.view.why = "Access is denied"; // the system's reason comes first
    w.presenter.OpenInSpreadsheet();
    EXPECT_EQ(w.view.warnings.back(), "Could not open " + w.history() + ": Access is denied.");
}

// Rules that both faces follow: the keys, the highlight, the words, the names.
TEST(HistoryPresenter, KeysHighlightsWordsAndNamesAreTheSameInBothFaces) {
    Window w;
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText(Sample())));
    w.presenter.Reload();
    ASSERT_TRUE(w.settle());
    EXPECT_TRUE(w.presenter.KeyPressed('3', true));
    EXPECT_EQ(w.view.sort, std::pair(HistoryColumn::Database, false));
    EXPECT_FALSE(w.presenter.KeyPressed('3', false));
    EXPECT_FALSE(w.presenter.KeyPressed('0', true));
    EXPECT_FALSE(w.presenter.KeyPressed('1' + HistoryColumnCount, true));

    EXPECT_FALSE(HighlightOf(OutcomeKind::Compacted));
    ASSERT_TRUE(HighlightOf(OutcomeKind::Failed) && HighlightOf(OutcomeKind::Skipped));
    EXPECT_NE(HighlightOf(OutcomeKind::Failed)->g, HighlightOf(OutcomeKind::Skipped)->g);
    MachineRow machine{"laptop", "none", "", "SILENT", true};
    EXPECT_EQ(HighlightOf(machine)->g, HighlightOf(OutcomeKind::Failed)->g);
    machine.needsAttention = false;
    EXPECT_FALSE(HighlightOf(machine));

    // One word for an outcome wherever it shows; the filter still stands for the code.
    const std::size_t inUse = w.rowOf("/db/x.mdb");
    EXPECT_EQ(w.presenter.Query().cellText(inUse, HistoryColumn::Outcome), "In use");
    const Texts& outcomes = w.view.choices[FilterBox::Outcome].first;
    EXPECT_NE(std::find(outcomes.begin(), outcomes.end(), "In use"), outcomes.end());
    EXPECT_EQ(std::find(outcomes.begin(), outcomes.end(), "in-use"), outcomes.end());
    w.view.choose(FilterBox::Outcome, "In use");
    EXPECT_EQ(w.view.rowsShown, 1u);

    // File names in the boxes, the path as the tip; a name that two paths share shows them.
    const auto choices = w.presenter.Query().configurationChoices();
    EXPECT_EQ(choices.at(1), (FilterChoice{"nightly.cfg", Cfg, Cfg}));
    auto records = Sample();
    records.push_back(Rec(N2, "/other/nightly.cfg", "/db/x.mdb", "ok", MB, MB));
    ASSERT_TRUE(platform::ReplaceFileContent(w.history(), HistoryText(records)));
    w.presenter.Reload();
    ASSERT_TRUE(w.settle());
    EXPECT_EQ(w.view.choices[FilterBox::Configuration].first,
              (Texts{"All configurations", Cfg, "other.cfg", "/other/nightly.cfg"}));
}

TEST(HistoryChart, AxesHaveDistinctRoundTicksThatCoverThePoints) {
    // One night: one date, and megabytes that do not repeat when rounded.
    const std::int64_t night = *StartInstant(N2);
    const ChartAxis day = DayAxis(night, night, 4);
    EXPECT_EQ(Labels(day), (Texts{DateToDashText(EncodeDate(2026, 12, 7))}));
    EXPECT_LT(day.low, night);
    EXPECT_GT(day.high, night);
    EXPECT_EQ(Labels(MegabyteAxis(1.1, 5)), (Texts{"0 MB", "0.5 MB", "1 MB", "1.5 MB"}));
    EXPECT_EQ(Labels(MegabyteAxis(0.03, 5)), (Texts{"0 MB", "0.01 MB", "0.02 MB", "0.03 MB", "0.04 MB"}));
    EXPECT_EQ(Labels(MegabyteAxis(1323, 5)), (Texts{"0 MB", "500 MB", "1000 MB", "1500 MB"}));
    // Nothing to chart: no scale, but a note.
    const HistoryChart none = ChartOf("Saved", {{"Saved", {}}});
    EXPECT_TRUE(none.x.ticks.empty() && none.y.ticks.empty());
    EXPECT_EQ(none.note, NothingToShow);
    EXPECT_TRUE(ChartOf("Saved", {{"Saved", {{night, 1.0}}}}).note.empty());

    // Two months of nights: at most four dates, a week or more apart, all inside.
    const ChartAxis months = DayAxis(night, night + 60 * 86400, 4);
    ASSERT_GE(months.ticks.size(), 2u);
    EXPECT_LE(months.ticks.size(), 4u);
    for (std::size_t i = 1; i < months.ticks.size(); ++i)
        EXPECT_GE(months.ticks[i].at - months.ticks[i - 1].at, 7 * 86400 - 3600);
    EXPECT_GE(months.ticks.front().at, months.low);
    EXPECT_LE(months.ticks.back().at, months.high);
}

TEST(HistoryPresenter, AcrossTheFleetFolderEveryMachineWithItsColumnFilterChartsAndList) {
    const char* const Old = "2026-12-03T01:00:02+01:00";
    test::TempDir dir;
    RecordingView view;
    // An hour after the last night: the machine whose last pass is four days old is silent.
    HistoryPresenter presenter{view, [&] { return dir.file("Quillet"); }, [] { return *UnixOfIso(N2) + 3600; }};
    view.presenter = &presenter;
    const auto settle = [&] {
        for (int i = 0; i < 1000 && presenter.IsLoading(); ++i)
            view.loaded.exchange(false) ? presenter.Loaded() : std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    test::WriteFleet(dir.file(""), N1, N2, Old);
    ASSERT_TRUE(platform::ReplaceFileContent(dir.file(HistoryFileName), HistoryText(Sample())));
    presenter.Reload();
    settle();

    const HistoryQuery& q = presenter.Query();
    const std::string here = platform::HostName(), buero = "b\xC3\xBCro-\xCE\xB1";
    ASSERT_EQ(view.machines.size(), 4u);
    EXPECT_EQ(view.machines[0], (MachineRow{"laptop", StartText(Old), "", "SILENT", true}));
    EXPECT_EQ(view.machines[3], (MachineRow{buero, StartText(N2), "", "OK", false}));
    const auto lager = std::find_if(view.machines.begin(), view.machines.end(), [](auto& m) { return m.name == "lager"; });
    ASSERT_NE(lager, view.machines.end());
    EXPECT_EQ(*lager, (MachineRow{"lager", StartText(N1), StartText(N2), "FAILING", true}));
    // This machine's own file, not the stale copy in the share.
    EXPECT_EQ(view.rowsShown, 4u + 2 + 2 + 1);
    EXPECT_EQ(q.columnsShown().front(), HistoryColumn::Machine);
    EXPECT_EQ(view.choices[FilterBox::Machine].first.size(), 5u);
    EXPECT_NE(view.fileNote.find("4 machines"), std::string::npos) << view.fileNote;
    EXPECT_EQ(view.saved.series.size(), 4u);

    view.choose(FilterBox::Machine, "lager");
    EXPECT_EQ(view.rowsShown, 2u);
    EXPECT_EQ(view.choices[FilterBox::Database].first, (Texts{"All databases", "orders.mdb"}));
    EXPECT_EQ(view.saved.series.size(), 1u);
    view.choose(FilterBox::Machine, "All machines");
    // The same database path on another machine is another database; its log is there.
    presenter.SortClicked(HistoryColumn::Machine);
    ASSERT_EQ(q.cellText(0, HistoryColumn::Machine), buero);
    presenter.RowSelected(0);
    EXPECT_EQ(view.size.title, "Size of orders.mdb on " + buero);
    EXPECT_EQ(view.size.series.at(0).points.size(), 2u);
    EXPECT_EQ(view.log.text, "This pass ran on " + buero + ": its error.log is on that machine.");
    EXPECT_TRUE(presenter.KeyPressed('1', true));
    EXPECT_EQ(view.sort, std::pair(HistoryColumn::Machine, true));

    // A share that cannot be read: this machine alone, and said so.
    std::filesystem::remove_all(platform::FsPath(dir.file("share")));
    presenter.Reload();
    settle();
    ASSERT_EQ(view.machines.size(), 1u);
    EXPECT_EQ(view.machines[0].name, here);
    EXPECT_EQ(view.rowsShown, 4u);
    EXPECT_NE(view.fileNote.find("cannot be read: this machine only"), std::string::npos) << view.fileNote;
}

// Maximized, restored and on an 800x600 screen (its client area), with and without the
// machines: every control inside the client area, none over another.
TEST(HistoryLayout, EveryControlInsideAndNoneOverAnother) {
    const int labels[HistoryFilterCount] = {82, 56, 52, 34, 20, 50};
    const std::pair<int, int> sizes[] = {{560, 380}, {784, 522}, {980, 600}, {1904, 1000}, {300, 200}};
    for (const auto& [width, height] : sizes)
        for (const bool across : {false, true}) {
            const HistoryPlaces p = PlaceHistory(width, height, labels, across);
            std::vector<Spot> all = {p.spreadsheet, p.showFile, p.totals, p.file,     p.table,
                                      p.sizeChart,   p.savedChart, p.logTitle, p.log};
            if (across)
                all.push_back(p.machines);
            for (int i = 0; i < HistoryFilterCount - (across ? 0 : 1); ++i)
                all.push_back(p.labels[i]), all.push_back({p.boxes[i].x, p.boxes[i].y, p.boxes[i].width, 22});
            const std::string at = std::to_string(width) + "x" + std::to_string(height) + (across ? " across" : "");
            const int inWidth = std::max(width, HistoryMinimumWidth), inHeight = std::max(height, HistoryMinimumHeight);
            test::ExpectInsideAndApart(all, inWidth, inHeight, at);
        }
}
