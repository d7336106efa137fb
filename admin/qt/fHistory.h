// The history window's Qt face: what the compactor's passes did, from
// "compact-history.csv" and "error.log". It shows what HistoryPresenter decides and
// forwards the user's input to it.
#pragma once

#include "admin/HistoryPresenter.h"
#include "ui/qt/Text.h"

#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>

class QAbstractItemModel;
class QComboBox;
class QDateEdit;
class QLayout;
class QSplitter;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTreeWidget;
class QChartView;

namespace quillet::admin {

class TfrmHistory : public QWidget, private HistoryView {
    Q_OBJECT
public:
    // compactorPath: the main window's Quillet Path text, asked at every reading.
    explicit TfrmHistory(std::function<QString()> compactorPath, QWidget* parent = nullptr);

    QString HistoryPath() const { return ui::FromStd(presenter_.HistoryPath()); }
    // Reads the file when it changed since the last reading.
    void ReloadIfChanged() { presenter_.Show(); }
    bool IsLoading() const { return presenter_.IsLoading(); }
    const QAbstractItemModel& Model() const;

    QLabel* lblMachine = nullptr;
    QComboBox* cbMachine = nullptr;
    QTreeWidget* lstMachines = nullptr; // beside the table, across machines only
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
    void createFilters(QLayout* layout);
    void createPanes(QSplitter* top);
    void connectInput();
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
    void showMachines(const std::vector<MachineRow>& machines) override;
    void hide() override { QWidget::hide(); }
    std::optional<std::string> open(const std::string& path) override;
    void warn(const std::string& text) override;
    void postLoaded() override;

    HistoryPresenter presenter_;
    class TableModel;
    TableModel* model_ = nullptr;
};

} // namespace quillet::admin
