#include "admin/qt/fHistory.h"

#include "admin/HistoryLayout.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/QtPrompts.h"
#include "ui/qt/WebLinks.h"
#include "widgets/qt/TimeChart.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace quillet::admin {

using namespace quillet::ui;

namespace {

QDate QDateOf(Date date) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    return QDate(y, m, d);
}

QVariant BrushOf(std::optional<Rgb> shade) {
    return shade ? QVariant(QBrush(QColor(shade->r, shade->g, shade->b))) : QVariant();
}

} // namespace

// The presenter's rows, highlighted as it says, the whole path as a tip.
class TfrmHistory::TableModel : public QAbstractTableModel {
public:
    TableModel(const HistoryQuery& query, QObject* parent) : QAbstractTableModel(parent), query_(query) {}
    void reset() { beginResetModel(), endResetModel(); }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(query_.rowCount());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : HistoryColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (index.row() < 0 || index.row() >= rowCount())
            return {};
        const auto row = static_cast<std::size_t>(index.row());
        const auto column = static_cast<HistoryColumn>(index.column());
        switch (role) {
        case Qt::DisplayRole: return FromStd(query_.cellText(row, column));
        case Qt::ToolTipRole: {
            const std::string full = query_.cellFullText(row, column);
            return full.empty() ? QVariant() : QVariant(FromStd(full));
        }
        case Qt::TextAlignmentRole:
            return HistoryColumnIsFigure(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        case Qt::BackgroundRole: return BrushOf(HighlightOf(query_.kindAt(row)));
        default: return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= HistoryColumnCount)
            return QAbstractTableModel::headerData(section, orientation, role);
        return FromStd(std::string(HistoryColumnTitle(static_cast<HistoryColumn>(section))));
    }

private:
    const HistoryQuery& query_;
};

TfrmHistory::TfrmHistory(std::function<QString()> compactorPath, QWidget* parent)
    : QWidget(parent, Qt::Window),
      presenter_(*this, [path = std::move(compactorPath)] { return path ? ToStd(path()) : std::string(); }) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(FromStd(HistoryCaption));
    model_ = new TableModel(presenter_.Query(), this);
    createControls();
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] { guarded([this] { presenter_.Tick(); }); });
    watch->start(HistoryPresenter::WatchMilliseconds);
    resize(1120, 720);
    presenter_.Reload();
}

const QAbstractItemModel& TfrmHistory::Model() const {
    return *model_;
}

void TfrmHistory::createControls() {
    auto* layout = new QVBoxLayout(this);
    createFilters(layout);
    auto* totals = new QHBoxLayout();
    layout->addLayout(totals);
    lblTotals = new QLabel(this);
    lblTotals->setStyleSheet(QStringLiteral("font-weight: bold"));
    totals->addWidget(lblTotals, 1);
    btnSpreadsheet = new QPushButton(FromStd(SpreadsheetLabel), this);
    btnShowFile = new QPushButton(FromStd(ShowFileLabel), this);
    totals->addWidget(btnSpreadsheet);
    totals->addWidget(btnShowFile);
    lblFile = new QLabel(this);
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblFile);

    auto* vertical = new QSplitter(Qt::Vertical, this);
    layout->addWidget(vertical, 1);
    createPanes(new QSplitter(Qt::Horizontal, vertical));
    auto* charts = new QWidget(vertical);
    auto* chartRow = new QHBoxLayout(charts);
    chartRow->setContentsMargins(0, 0, 0, 0);
    SizeChart = widgets::NewTimeChartView(charts);
    SavedChart = widgets::NewTimeChartView(charts);
    chartRow->addWidget(SizeChart, 1);
    chartRow->addWidget(SavedChart, 1);
    vertical->setStretchFactor(0, 3);
    vertical->setStretchFactor(1, 2);
    connectInput();
}

// Each label before its box, so that its mnemonic reaches the box; the machine's first.
void TfrmHistory::createFilters(QLayout* layout) {
    auto* filters = new QHBoxLayout();
    layout->addItem(filters);
    for (QComboBox** box : {&cbMachine, &cbConfiguration, &cbDatabase, &cbOutcome}) {
        *box = new QComboBox(this);
        (*box)->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        (*box)->setMinimumContentsLength(box == &cbOutcome || box == &cbMachine ? 10 : 16);
    }
    for (QDateEdit** edit : {&dtFrom, &dtTo}) {
        *edit = new QDateEdit(QDate::currentDate(), this);
        (*edit)->setCalendarPopup(true);
        (*edit)->setDisplayFormat(FromStd(DateFormat));
    }
    const std::pair<int, QWidget*> row[] = {{5, cbMachine}, {0, cbConfiguration}, {1, cbDatabase},
                                            {2, cbOutcome}, {3, dtFrom},          {4, dtTo}};
    for (const auto& [label, buddy] : row) {
        auto* shown = new QLabel(FromStd(HistoryFilterLabels[label]), this);
        shown->setBuddy(buddy);
        filters->addWidget(shown);
        filters->addWidget(buddy);
        if (buddy == cbMachine)
            lblMachine = shown;
    }
    filters->addStretch(1);
}

// The machines, the table and the log side by side.
void TfrmHistory::createPanes(QSplitter* top) {
    lstMachines = new QTreeWidget(top);
    lstMachines->setRootIsDecorated(false);
    lstMachines->setHeaderLabels(FromStd(MachineListTitles));
    Table = new QTableView(top);
    Table->setModel(model_);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setWordWrap(false);
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
    Table->verticalHeader()->hide();
    QHeaderView* header = Table->horizontalHeader();
    header->setStretchLastSection(true);
    header->setSortIndicatorShown(true);
    header->setResizeContentsPrecision(500);
    header->moveSection(static_cast<int>(HistoryColumn::Machine), 0);
    auto* logPane = new QWidget(top);
    auto* logLayout = new QVBoxLayout(logPane);
    logLayout->setContentsMargins(0, 0, 0, 0);
    lblLog = new QLabel(QStringLiteral("error.log"), logPane);
    memLog = new QPlainTextEdit(logPane);
    memLog->setReadOnly(true);
    logLayout->addWidget(lblLog);
    logLayout->addWidget(memLog);
    top->addWidget(lstMachines);
    top->addWidget(Table);
    top->addWidget(logPane);
    top->setStretchFactor(0, 1);
    top->setStretchFactor(1, 3);
    top->setStretchFactor(2, 1);
    showMachines({});
}

void TfrmHistory::connectInput() {
    for (FilterBox which : {FilterBox::Machine, FilterBox::Configuration, FilterBox::Database, FilterBox::Outcome})
        connect(box(which), &QComboBox::currentIndexChanged, this, [this, which](int index) {
            guarded([&] { presenter_.FilterChosen(which, static_cast<std::size_t>(std::max(0, index))); });
        });
    for (auto [edit, which] : {std::pair{dtFrom, DateBox::From}, std::pair{dtTo, DateBox::To}})
        connect(edit, &QDateEdit::dateChanged, this, [this, which](const QDate& d) {
            guarded([&] { presenter_.DateChosen(which, EncodeDate(d.year(), d.month(), d.day())); });
        });
    connect(Table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { guarded([&] { presenter_.SortClicked(static_cast<HistoryColumn>(column)); }); });
    connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = Table->selectionModel()->selectedRows();
        guarded([&] {
            presenter_.RowSelected(rows.isEmpty() ? std::nullopt
                                                  : std::optional<std::size_t>(static_cast<std::size_t>(rows.front().row())));
        });
    });
    connect(btnSpreadsheet, &QPushButton::clicked, this, [this] { guarded([this] { presenter_.OpenInSpreadsheet(); }); });
    connect(btnShowFile, &QPushButton::clicked, this, [this] { guarded([this] { presenter_.ShowFile(); }); });
}

void TfrmHistory::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        cbConfiguration->setFocus();
    guarded([this] { presenter_.Show(); });
}

void TfrmHistory::keyPressEvent(QKeyEvent* event) {
    bool taken = event->key() == Qt::Key_Escape;
    if (taken)
        guarded([this] { presenter_.Close(); });
    else
        guarded([&] { taken = presenter_.KeyPressed(event->key(), event->modifiers() == Qt::ControlModifier); });
    if (!taken)
        QWidget::keyPressEvent(event);
}

void TfrmHistory::closeEvent(QCloseEvent* event) {
    event->accept();
    guarded([this] { presenter_.Close(); });
}

// In FilterBox's order.
QComboBox* TfrmHistory::box(FilterBox which) const {
    QComboBox* const boxes[] = {cbConfiguration, cbDatabase, cbOutcome, cbMachine};
    return boxes[static_cast<int>(which)];
}

void TfrmHistory::showRows() {
    model_->reset();
    Table->resizeColumnsToContents();
}

void TfrmHistory::showSelection(std::optional<std::size_t> row) {
    if (row)
        Table->selectRow(static_cast<int>(*row));
    else
        Table->clearSelection();
}

void TfrmHistory::showSort(HistoryColumn column, bool descending) {
    Table->horizontalHeader()->setSortIndicator(static_cast<int>(column),
                                                descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TfrmHistory::showChoices(FilterBox which, const std::vector<FilterChoice>& choices, std::size_t chosen) {
    QComboBox* shown = box(which);
    shown->clear();
    for (const FilterChoice& c : choices) {
        shown->addItem(FromStd(c.text));
        shown->setItemData(shown->count() - 1, FromStd(c.tip), Qt::ToolTipRole);
    }
    // The list as wide as its longest entry, the box as wide as the row leaves it.
    shown->view()->setMinimumWidth(shown->view()->sizeHintForColumn(0) + 24);
    shown->setCurrentIndex(static_cast<int>(chosen));
}

void TfrmHistory::showDates(Date from, Date to) {
    dtFrom->setDate(QDateOf(from));
    dtTo->setDate(QDateOf(to));
}

void TfrmHistory::showCharts(const HistoryChart& size, const HistoryChart& saved) {
    widgets::DrawTimeChart(SizeChart->chart(), size);
    widgets::DrawTimeChart(SavedChart->chart(), saved);
}

void TfrmHistory::showLog(const LogPane& pane) {
    lblLog->setText(FromStd(pane.title));
    memLog->setPlainText(FromStd(pane.text));
}

void TfrmHistory::showMachines(const std::vector<MachineRow>& machines) {
    const bool across = !machines.empty();
    lblMachine->setVisible(across);
    cbMachine->setVisible(across);
    lstMachines->setVisible(across);
    Table->setColumnHidden(static_cast<int>(HistoryColumn::Machine), !across);
    lstMachines->clear();
    for (const MachineRow& m : machines) {
        auto* item = new QTreeWidgetItem(lstMachines, FromStd(m.cells()));
        for (int c = 0; c < item->columnCount(); ++c)
            item->setData(c, Qt::BackgroundRole, BrushOf(HighlightOf(m)));
    }
    for (int c = 0; c < lstMachines->columnCount(); ++c)
        lstMachines->resizeColumnToContents(c);
}

// The desktop's opener tells no reason.
std::optional<std::string> TfrmHistory::open(const std::string& path) {
    if (UrlOpener::instance().open(QUrl::fromLocalFile(FromStd(path)).toString()))
        return std::nullopt;
    return std::string();
}

void TfrmHistory::warn(const std::string& text) {
    QtPrompts(this).warn(HistoryCaption, text);
}

void TfrmHistory::postLoaded() {
    QMetaObject::invokeMethod(this, [this] { guarded([this] { presenter_.Loaded(); }); }, Qt::QueuedConnection);
}

} // namespace quillet::admin
