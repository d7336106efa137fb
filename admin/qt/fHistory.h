// The history window: what the compactor's passes did, from "compact-history.csv" and
// "error.log" beside it. A table with filters and totals, a chart of the sizes and of
// the space saved, and the log lines of the selected pass. It reads the file on a
// worker thread and reads it again when it grows.
#pragma once

#include "core/HistorySummary.h"

#include <QAbstractTableModel>
#include <QDate>
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

// The records as the table shows them: filtered, then sorted (newest first unless the
// user sorts otherwise).
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { When, Configuration, Database, Outcome, SizeBefore, SizeAfter, Saved, Seconds, Detail, ColumnCount };

    struct Filter {
        QString configuration; // empty: all
        QString database;      // empty: all
        QString outcome;       // empty: all; "*failures", "*skipped" for a kind, else one outcome
        QDate from, to;        // null: open
    };

    using QAbstractTableModel::QAbstractTableModel;
    void setHistory(std::shared_ptr<const HistoryLoad> load);
    void setFilter(const Filter& filter);
    const std::vector<HistoryRecord>& records() const;
    // Whether a record passes the filter; `ignoreOutcomeAndDatabase` for the size chart.
    bool passes(std::size_t index, bool ignoreOutcomeAndDatabase = false) const;
    const HistoryRecord* recordAt(int row) const;
    int rowOf(std::size_t recordIndex) const; // -1 when not shown
    std::size_t recordIndexAt(int row) const { return shown_[static_cast<std::size_t>(row)]; }
    std::vector<const HistoryRecord*> shownRecords() const;
    // The local date of a record's start; null when its start is no time.
    QDate dateOf(std::size_t index) const;
    std::int64_t keyOf(std::size_t index) const { return keys_[index]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    void refilter();

    std::shared_ptr<const HistoryLoad> load_;
    std::vector<std::int64_t> keys_; // MomentKey of each start; lowest for no time
    std::vector<std::size_t> shown_;
    Filter filter_;
    std::string configuration_, database_, outcome_; // the filter's texts as the records hold them
    int sortColumn_ = When;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
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

    // What is shown, for the status line and tests.
    HistoryTotals ShownTotals() const;
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
    void fillFilters();
    void updateTotals();
    void updateCharts();
    void updateLog();
    std::optional<std::size_t> selectedRecord() const;

    std::function<QString()> compactorPath_;
    HistoryTableModel* model_ = nullptr;
    QFutureWatcher<std::shared_ptr<const HistoryLoad>>* watcher_ = nullptr;
    QTimer* poll_ = nullptr;
    QString loadedPath_;
    qint64 loadedSize_ = -1;
    QDateTime loadedTime_;
    QString logPath_; // error.log as last read
    qint64 logSize_ = -1;
    QDateTime logTime_;
    std::string log_;
    bool logRead_ = false;
    bool loading_ = false;     // from Reload until its result is shown
    bool reloadAgain_ = false; // the file changed while it was being read
    bool filling_ = false;
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
