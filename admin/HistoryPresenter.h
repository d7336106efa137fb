// The history window's sequence of model calls and its state: when to read the file
// (off the window's thread), the filters, the sort, the selected pass, and what the
// window shows. The Qt and Win32 faces implement HistoryView and forward the user's
// input; they decide nothing.
#pragma once

#include "admin/HistoryChart.h"
#include "admin/HistoryQuery.h"
#include "admin/HistoryReading.h"
#include "admin/HistoryWatcher.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillet::admin {

inline constexpr char HistoryCaption[] = "Compaction History";
// The date boxes' format, as the table, the log and the charts write dates (DateToDashText).
inline constexpr char DateFormat[] = "yyyy-MM-dd";

enum class FilterBox { Configuration, Database, Outcome, Machine };
enum class DateBox { From, To };

// The colour a row is highlighted in for its outcome, the same in both faces; none for
// a plain row.
std::optional<Rgb> HighlightOf(OutcomeKind kind);
// A machine that needs attention shows as a failure does.
std::optional<Rgb> HighlightOf(const MachineRow& machine);

class HistoryView {
public:
    virtual ~HistoryView() = default;
    // The query's rows changed: the table shows them anew (cells through Query()).
    virtual void showRows() = 0;
    virtual void showSelection(std::optional<std::size_t> row) = 0;
    virtual void showSort(HistoryColumn column, bool descending) = 0;
    virtual void showChoices(FilterBox box, const std::vector<FilterChoice>& choices, std::size_t chosen) = 0;
    virtual void showDates(Date from, Date to) = 0;
    virtual void showTotals(const std::string& text) = 0;
    virtual void showFileNote(const std::string& text) = 0;
    virtual void showCharts(const HistoryChart& size, const HistoryChart& saved) = 0;
    virtual void showLog(const LogPane& pane) = 0;
    // The machines of the fleet folder beside the table, with the Machine column and
    // filter; none: the window reads this machine only, and shows neither.
    virtual void showMachines(const std::vector<MachineRow>& machines) { (void)machines; }
    virtual void hide() = 0;
    // Hands a file or folder to the desktop: nothing when it took it, else the system's
    // reason why not (empty when the system gives none).
    virtual std::optional<std::string> open(const std::string& path) = 0;
    virtual void warn(const std::string& text) = 0;
    // Called on the reading's thread: have Loaded() called on the window's thread.
    virtual void postLoaded() = 0;
};

class HistoryPresenter {
public:
    static constexpr int WatchMilliseconds = 2000;
    // Other machines' files are not watched: across machines the window reads again
    // every so many ticks.
    static constexpr int FleetTicks = 30;

    // compactorPath: the main window's Quillet Path text, asked at every reading;
    // unixNow: the clock that tells which machines fell silent (the system's when empty).
    HistoryPresenter(HistoryView& view, std::function<std::string()> compactorPath,
                     std::function<std::int64_t()> unixNow = {});
    ~HistoryPresenter(); // waits for a reading that runs
    HistoryPresenter(const HistoryPresenter&) = delete;
    HistoryPresenter& operator=(const HistoryPresenter&) = delete;

    std::string HistoryPath() const;
    std::string ErrorLogPath() const;

    // The user's commands and the window's events.
    void Show();   // the window shows: read the file when it changed
    void Reload(); // read it again whatever changed
    void Tick();   // the watch timer: read when the file changed while the window shows
    void Loaded(); // a reading ended (on the window's thread)
    void FilterChosen(FilterBox box, std::size_t index);
    void DateChosen(DateBox box, Date date);
    void SortClicked(HistoryColumn column); // a new column ascending, the same one again reversed
    // A key in the window: Ctrl+1 to Ctrl+9 sort by a column as a click on its title
    // does. `key` is the key's character ('1'); false when it means nothing here.
    bool KeyPressed(int key, bool ctrl);
    void RowSelected(std::optional<std::size_t> row);
    void OpenInSpreadsheet();
    void ShowFile();
    void Close();

    bool IsLoading() const { return watch_.loading(); }
    const HistoryQuery& Query() const { return query_; }
    std::optional<std::size_t> SelectedRow() const;

private:
    void startReading(const std::optional<std::string>& path);
    void filtered();
    void showChoices(FilterBox box, std::vector<FilterChoice> choices, const std::string& value);
    void showSelected();

    HistoryView& view_;
    std::function<std::string()> compactorPath_;
    std::function<std::int64_t()> unixNow_;
    HistoryQuery query_;
    HistoryWatcher watch_;
    std::optional<std::size_t> selected_; // a record: it keeps its place when the file grows
    std::vector<FilterChoice> choices_[4];
    int ticks_ = 0; // since the last reading
    HistoryChart saved_; // follows the rows, not the selection
    bool shown_ = false;
    bool telling_ = false; // the view's own signals while it is told what to show are no input
    std::thread worker_;
    std::mutex resultLock_;
    std::shared_ptr<const HistoryReading> result_;
};

} // namespace quillet::admin
