// The history window's Qt face: what the compactor's passes did, from
// "compact-history.csv" and "error.log". It shows what HistoryPresenter decides and
// forwards the user's input to it.
#pragma once

#include "admin/HistoryPresenter.h"
#include "core/HistorySummary.h"
#include "ui/qt/Text.h"

#include <QAbstractTableModel>
#include <QFutureWatcher>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>

class QComboBox;
class QDateEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QChartView;

namespace quillet::admin {

// The presenter's rows as a table: failures red, skips yellow, the whole path as a tip.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    HistoryTableModel(const HistoryQuery& query, QObject* parent) : QAbstractTableModel(parent), query_(query) {}
    void reset() { beginResetModel(), endResetModel(); }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const HistoryQuery& query_;
};

class TfrmHistory : public QWidget, private HistoryView {
    Q_OBJECT
public:
    // compactorPath: the main window's Quillet Path text, asked at every reading.
    explicit TfrmHistory(std::function<QString()> compactorPath, QWidget* parent = nullptr);

    QString HistoryPath() const { return ui::FromStd(presenter_.HistoryPath()); }
    // Reads the file when it changed since the last reading.
    void ReloadIfChanged() { presenter_.Show(); }
    bool IsLoading() const { return presenter_.IsLoading(); }
    const HistoryTableModel& Model() const { return *model_; }

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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    QComboBox* box(FilterBox which) const;

    void showRows() override;
    void showSelection(std::optional<std::size_t> row) override;
    void showSort(HistoryColumn column, bool descending) override;
    void showChoices(FilterBox which, const std::vector<FilterChoice>& choices, std::size_t chosen) override;
    void showDates(Date from, Date to) override;
    void showTotals(const std::string& text) override { lblTotals->setText(ui::FromStd(text)); }
    void showFileNote(const std::string& text) override { lblFile->setText(ui::FromStd(text)); }
    void showCharts(const HistoryChart& size, const HistoryChart& saved) override;
    void showLog(const LogPane& pane) override;
    void hide() override { QWidget::hide(); }
    bool open(const std::string& path) override;
    void warn(const std::string& text) override;
    void postLoaded() override;

    HistoryPresenter presenter_;
    HistoryTableModel* model_ = nullptr;
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
