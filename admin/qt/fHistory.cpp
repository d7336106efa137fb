#include "admin/qt/fHistory.h"

#include "admin/HistoryLayout.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/QtPrompts.h"
#include "ui/qt/WebLinks.h"
#include "widgets/qt/TimeChart.h"

#include <QBrush>
#include <QChart>
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

} // namespace

// ---- The table's model ----

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(query_.rowCount());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : HistoryColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
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
        if (column >= HistoryColumn::SizeBefore && column <= HistoryColumn::Seconds)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::BackgroundRole:
        if (const auto shade = HighlightOf(query_.kindAt(row)))
            return QBrush(QColor(shade->r, shade->g, shade->b));
        return {};
    default: return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= HistoryColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return FromStd(std::string(HistoryColumnTitle(static_cast<HistoryColumn>(section))));
}

// ---- The window ----

TfrmHistory::TfrmHistory(std::function<QString()> compactorPath, QWidget* parent)
    : QWidget(parent, Qt::Window),
      presenter_(*this, [path = std::move(compactorPath)] { return path ? ToStd(path()) : std::string(); }) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(FromStd(HistoryCaption));
    model_ = new HistoryTableModel(presenter_.Query(), this);
    createControls();
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] { guarded([this] { presenter_.Tick(); }); });
    watch->start(HistoryPresenter::WatchMilliseconds);
    resize(1120, 720);
    presenter_.Reload();
}

void TfrmHistory::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(createFilters());
    auto* totals = new QHBoxLayout();
    layout->addLayout(totals);
    lblTotals = new QLabel(this);
    QFont bold = lblTotals->font();
    bold.setBold(true);
    lblTotals->setFont(bold);
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
    SizeChart = new QChartView(new QChart(), charts);
    SavedChart = new QChartView(new QChart(), charts);
    for (QChartView* view : {SizeChart, SavedChart}) {
        view->chart()->setMargins(QMargins(4, 4, 4, 4));
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(320, 200);
        chartRow->addWidget(view, 1);
    }
    vertical->setStretchFactor(0, 3);
    vertical->setStretchFactor(1, 2);
    connectInput();
}

// Each label before its box, so that its mnemonic reaches the box.
QHBoxLayout* TfrmHistory::createFilters() {
    auto* filters = new QHBoxLayout();
    auto label = [&](const char* text, QWidget* buddy) {
        auto* l = new QLabel(FromStd(text), this);
        l->setBuddy(buddy);
        filters->addWidget(l);
        filters->addWidget(buddy);
        return l;
    };
    cbMachine = new QComboBox(this);
    cbConfiguration = new QComboBox(this);
    cbDatabase = new QComboBox(this);
    cbOutcome = new QComboBox(this);
    for (QComboBox* box : {cbMachine, cbConfiguration, cbDatabase, cbOutcome}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(box == cbOutcome || box == cbMachine ? 10 : 16);
    }
    lblMachine = label(HistoryFilterLabels[5], cbMachine);
    label(HistoryFilterLabels[0], cbConfiguration);
    label(HistoryFilterLabels[1], cbDatabase);
    label(HistoryFilterLabels[2], cbOutcome);
    dtFrom = new QDateEdit(QDate::currentDate(), this);
    dtTo = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* edit : {dtFrom, dtTo}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(FromStd(DateFormat));
    }
    label(HistoryFilterLabels[3], dtFrom);
    label(HistoryFilterLabels[4], dtTo);
    filters->addStretch(1);
    return filters;
}

// The machines, the table and the log side by side.
void TfrmHistory::createPanes(QSplitter* top) {
    lstMachines = new QTreeWidget(top);
    lstMachines->setRootIsDecorated(false);
    lstMachines->setColumnCount(static_cast<int>(std::size(MachineListTitles)));
    QStringList titles;
    for (const char* title : MachineListTitles)
        titles << FromStd(title);
    lstMachines->setHeaderLabels(titles);
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
    header->setSectionsClickable(true);
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
    auto chosen = [this](QComboBox* box, FilterBox which) {
        connect(box, &QComboBox::currentIndexChanged, this, [this, which](int index) {
            guarded([&] { presenter_.FilterChosen(which, static_cast<std::size_t>(std::max(0, index))); });
        });
    };
    chosen(cbMachine, FilterBox::Machine);
    chosen(cbConfiguration, FilterBox::Configuration);
    chosen(cbDatabase, FilterBox::Database);
    chosen(cbOutcome, FilterBox::Outcome);
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

QComboBox* TfrmHistory::box(FilterBox which) const {
    return which == FilterBox::Configuration ? cbConfiguration
           : which == FilterBox::Database    ? cbDatabase
           : which == FilterBox::Machine     ? cbMachine
                                             : cbOutcome;
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
    const Rgb shade = *HighlightOf(OutcomeKind::Failed);
    for (const MachineRow& m : machines) {
        auto* item = new QTreeWidgetItem(lstMachines, QStringList{FromStd(m.name), FromStd(m.lastGood),
                                                                  FromStd(m.failingSince), FromStd(m.state)});
        if (m.needsAttention)
            for (int c = 0; c < item->columnCount(); ++c)
                item->setBackground(c, QBrush(QColor(shade.r, shade.g, shade.b)));
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
