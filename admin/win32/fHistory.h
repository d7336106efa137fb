// The history window's Win32 face: what the compactor's passes did, from
// "compact-history.csv" and "error.log". A table with filters and totals, two charts
// drawn with GDI, and the log lines of the selected pass; it shows what
// HistoryPresenter decides and forwards the user's input to it.
#pragma once

#include "admin/HistoryPresenter.h"
#include "ui/win32/Combo.h"
#include "ui/win32/ListView.h"
#include "ui/win32/Win32Prompts.h"
#include "ui/win32/Window.h"

#include <windows.h>

#include <functional>
#include <string>

namespace quillet::admin {

class TfrmHistory : public ui::win32::Window, private HistoryView {
public:
    // compactorPath: the main window's Quillet Path text, asked at every reading.
    explicit TfrmHistory(std::function<std::string()> compactorPath);
    ~TfrmHistory() override;

    // Shows the window (not modal) in front of `owner`, reading the file if it changed.
    void Show(HWND owner);
    void Reload() { presenter_.Reload(); }
    bool IsLoading() const { return presenter_.IsLoading(); }
    const HistoryQuery& Query() const { return presenter_.Query(); }

    enum Id {
        idConfiguration = 301, idDatabase, idOutcome, idMachine, // in FilterBox's order
        idFrom, idTo, idSpreadsheet, idShowFile, idTable, idMachines,
    };
    HWND cbMachine = nullptr, lstMachines = nullptr; // across machines only
    HWND cbConfiguration = nullptr, cbDatabase = nullptr, cbOutcome = nullptr;
    HWND dtFrom = nullptr, dtTo = nullptr;
    HWND btnSpreadsheet = nullptr, btnShowFile = nullptr;
    HWND lblTotals = nullptr, lblFile = nullptr, Table = nullptr, lblLog = nullptr, memLog = nullptr;
    HWND SizeChart = nullptr, SavedChart = nullptr; // their text is the chart's title

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void createControls();
    void arrange();
    LRESULT notify(NMHDR* header);
    HWND box(FilterBox which) const;

    void showRows() override;
    void showSelection(std::optional<std::size_t> row) override { ui::win32::SelectOnly(Table, selectedRow_, row); }
    void showSort(HistoryColumn column, bool descending) override {
        ui::win32::ShowSortArrow(Table, static_cast<int>(column), descending);
    }
    void showChoices(FilterBox which, const std::vector<FilterChoice>& choices, std::size_t chosen) override;
    void showDates(Date from, Date to) override;
    void showTotals(const std::string& text) override { ui::win32::SetText(lblTotals, text); }
    void showFileNote(const std::string& text) override { ui::win32::SetText(lblFile, text); }
    void showCharts(const HistoryChart& size, const HistoryChart& saved) override;
    void showLog(const LogPane& pane) override;
    void showMachines(const std::vector<MachineRow>& machines) override;
    void hide() override { ShowWindow(hwnd(), SW_HIDE); }
    std::optional<std::string> open(const std::string& path) override;
    void warn(const std::string& text) override { ui::win32::CurrentPrompts().warn(HistoryCaption, text); }
    void postLoaded() override;

    HWND filterRow_[12] = {}; // labels and boxes, left to right; the machine's last
    std::vector<MachineRow> machines_;
    ui::win32::ComboTips tips_; // the path boxes' whole paths
    int selectedRow_ = -1;      // as the table's notifications tell
    HistoryPresenter presenter_; // last: its reading ends before the rest goes
};

} // namespace quillet::admin
