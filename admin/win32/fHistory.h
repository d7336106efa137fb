// The history window on Windows: what the compactor's passes did, from
// "compact-history.csv" and "error.log" beside the compactor. A sortable table
// (failures red, skips yellow) with filters and totals, two charts drawn with GDI (the
// selected database's size before and after, the space saved per night), and the log
// lines of the selected pass. It shows a HistoryQuery; it reads the file on a worker
// thread when its HistoryWatcher says so.
#pragma once

#include "admin/HistoryQuery.h"
#include "admin/HistoryWatcher.h"
#include "ui/win32/Window.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillet::admin {

// One chart as drawn: lines over days, each point a day (fractional, counted as Date
// counts) and megabytes.
struct ChartLine {
    COLORREF colour;
    std::string name;
    std::vector<std::pair<double, double>> points;
};
struct ChartData {
    std::string title;
    std::vector<ChartLine> lines;
};

class TfrmHistory : public ui::win32::Window {
public:
    // compactorPath: the main window's Quillet Path text, asked at every load.
    explicit TfrmHistory(std::function<std::string()> compactorPath);
    ~TfrmHistory() override;

    std::string HistoryPath() const;
    std::string ErrorLogPath() const;
    // Shows the window (not modal) in front of `owner`, reading the file if it changed.
    void Show(HWND owner);
    // Reads the file again on the worker thread; the window keeps showing the old
    // contents until the new ones are there.
    void Reload();
    bool IsLoading() const { return watch_.loading(); }
    void ReloadIfChanged();

    // Handlers.
    void FilterChanged();
    void SelectionChanged();
    void OpenInSpreadsheetClick();
    void ShowFileClick();

    HistoryTotals ShownTotals() const { return query_.totals(); }
    const HistoryQuery& Query() const { return query_; }
    const ChartData& SizeChartData() const { return sizeChart_; }
    const ChartData& SavedChartData() const { return savedChart_; }
    // Selects a row of the table as a click would.
    void SelectRow(int row);

    enum Id {
        idConfiguration = 301, idDatabase, idOutcome, idFrom, idTo, idSpreadsheet, idShowFile, idTable,
    };
    HWND cbConfiguration = nullptr, cbDatabase = nullptr, cbOutcome = nullptr;
    HWND dtFrom = nullptr, dtTo = nullptr;
    HWND btnSpreadsheet = nullptr, btnShowFile = nullptr;
    HWND lblTotals = nullptr, lblFile = nullptr, Table = nullptr, lblLog = nullptr, memLog = nullptr;
    HWND SizeChart = nullptr, SavedChart = nullptr;

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void createControls();
    void loaded();
    void fillFilters();
    void updateTotals();
    void updateCharts();
    void updateLog();
    LRESULT notify(NMHDR* header);
    void startLoading(const std::optional<std::string>& path);
    std::optional<std::size_t> selectedRecord() const;
    std::string comboValue(HWND box) const;
    void refill(HWND box, const std::vector<FilterChoice>& choices);
    void selectRecord(std::optional<std::size_t> record);

    std::function<std::string()> compactorPath_;
    HistoryQuery query_;
    HistoryWatcher watch_;
    std::thread worker_;
    std::shared_ptr<const HistoryLoad> result_; // handed over by the worker
    bool filling_ = false;
    int selectedRow_ = -1; // the table's selected row, as its notifications tell
    HistoryColumn sortColumn_ = HistoryColumn::When;
    bool sortDescending_ = true;
    std::vector<std::string> comboValues_[3]; // the value behind each item of the three boxes
    ChartData sizeChart_, savedChart_;
    std::wstring shown_; // the text handed to the table last
};

} // namespace quillet::admin
