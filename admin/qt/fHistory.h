// The history window: what the compactor's passes did, from "compact-history.csv" and
// "error.log" beside it. A table with filters and totals, a chart of the sizes and of
// the space saved, and the log lines of the selected pass. It reads the file on a
// worker thread and reads it again when it grows.
#pragma once

#include "admin/HistoryQuery.h"
#include "core/HistorySummary.h"

#include <QAbstractTableModel>
#include <QFutureWatcher>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QDateEdit;
class QLineSeries;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;
class QChartView;

namespace quillet::admin {

// The query's rows as a table; the selection follows its record when the rows are
// sorted again.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { When, Configuration, Database, Outcome, SizeBefore, SizeAfter, Saved, Seconds, Detail, ColumnCount };

    HistoryTableModel(HistoryQuery& query, QObject* parent) : QAbstractTableModel(parent), query_(query) {}
    // Shows what the query holds after it was changed.
    void reset();
    const HistoryRecord* recordAt(int row) const;
    int rowOf(std::size_t recordIndex) const; // -1 when not shown

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    HistoryQuery& query_;
};

class TfrmHistory : public QWidget {
    Q_OBJECT
public:
    // compactorPath: the main window's Quillet Path text, asked at every load.
    explicit TfrmHistory(std::function<QString()> compactorPath, QWidget* parent = nullptr);
    ~TfrmHistory() override;

    QString HistoryPath() const;
    QString ErrorLogPath() const;

    // Reads the file again on the worker thread; the window keeps showing the old
    // contents until the new ones are there.
    void Reload();
    bool IsLoading() const;
    // Reloads when the file's size or time changed since the last load, or the
    // compactor path did.
    void ReloadIfChanged();

    // Handlers.
    void FilterChanged();
    void SelectionChanged();
    void OpenInSpreadsheetClick();
    void ShowFileClick();

    // What is shown, for tests.
    HistoryTotals ShownTotals() const { return query_.totals(); }
    const HistoryQuery& Query() const { return query_; }
    const HistoryTableModel& Model() const { return *model_; }
    QLineSeries* SizeBeforeSeries() const { return sizeBefore_; }
    QLineSeries* SizeAfterSeries() const { return sizeAfter_; }
    QLineSeries* SavedSeries() const { return saved_; }

    QComboBox* cbConfiguration = nullptr;
    QComboBox* cbDatabase = nullptr;
    QComboBox* cbOutcome = nullptr;
    QDateEdit* dtFrom = nullptr;
    QDateEdit* dtTo = nullptr;
    QPushButton* btnSpreadsheet = nullptr;
    QPushButton* btnShowFile = nullptr;
    QLabel* lblTotals = nullptr;
    QLabel* lblFile = nullptr;
    QTableView* Table = nullptr;
    QLabel* lblLog = nullptr;
    QPlainTextEdit* memLog = nullptr;
    QChartView* SizeChart = nullptr;
    QChartView* SavedChart = nullptr;

private:
    void createControls();
    void loaded();
    void startLoading(const std::optional<std::string>& path);
    void fillFilters();
    void updateCharts();
    void updateLog();
    std::optional<std::size_t> selectedRecord() const;

    std::function<QString()> compactorPath_;
    HistoryQuery query_;
    HistoryWatcher watch_;
    HistoryTableModel* model_ = nullptr;
    QFutureWatcher<std::shared_ptr<const HistoryLoad>>* watcher_ = nullptr;
    QTimer* poll_ = nullptr;
    bool filling_ = false; // the filter boxes are being filled, not chosen from
    QLineSeries* sizeBefore_ = nullptr;
    QLineSeries* sizeAfter_ = nullptr;
    QLineSeries* saved_ = nullptr;
};

// The main window's status line: how the shown configuration last ran. Looks at the
// history again every few seconds, on the worker thread, and reads it only when it
// changed.
class THistoryStatus : public QLabel {
    Q_OBJECT
public:
    THistoryStatus(std::function<QString()> compactorPath, std::function<QString()> configPath,
                   QWidget* parent = nullptr);
    ~THistoryStatus() override;
    void Refresh();
    bool IsRefreshing() const { return busy_; }

private:
    void refreshed();

    std::function<QString()> compactorPath_;
    std::function<QString()> configPath_;
    HistoryFileCache cache_; // used by one worker at a time
    QFutureWatcher<std::string>* watcher_ = nullptr;
    QString asked_;     // the configuration the running worker looks up
    bool busy_ = false; // a worker runs, or its result is not shown yet
    bool again_ = false;
};

} // namespace quillet::admin
