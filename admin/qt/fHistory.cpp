#include "admin/qt/fHistory.h"

#include "ui/qt/Text.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/WebLinks.h"
#include "platform/Files.h"

#include <QBrush>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <limits>

namespace quillet::admin {

using namespace quillet::ui;

namespace {

void SetPoints(QLineSeries* series, const std::vector<ChartPoint>& points) {
    QList<QPointF> list;
    for (const ChartPoint& p : points)
        list.append(QPointF(static_cast<double>(p.unixSeconds) * 1000.0, p.megabytes));
    series->replace(list);
}

QDate QDateOf(Date date) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    return QDate(y, m, d);
}

Date DateOf(const QDate& date) {
    return EncodeDate(date.year(), date.month(), date.day());
}

// Fills a filter box with the query's choices, keeping the one chosen when it is still there.
void Refill(QComboBox* box, const std::vector<FilterChoice>& choices) {
    const QString current = box->currentData().toString();
    box->clear();
    for (const FilterChoice& c : choices)
        box->addItem(FromStd(c.text), FromStd(c.value));
    box->setCurrentIndex(std::max(0, box->findData(current)));
}

// Both axes around the points of the chart's series, with a little room above.
void FitAxes(QChart* chart) {
    double minX = std::numeric_limits<double>::max(), maxX = std::numeric_limits<double>::lowest();
    double minY = 0, maxY = 0;
    for (QAbstractSeries* s : chart->series())
        for (const QPointF& p : static_cast<QLineSeries*>(s)->points()) {
            minX = std::min(minX, p.x());
            maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y());
            maxY = std::max(maxY, p.y());
        }
    if (minX > maxX)
        minX = maxX = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
    if (minX == maxX)
        minX -= 43200000, maxX += 43200000; // half a day each side of a lone point
    if (maxY <= minY)
        maxY = minY + 1;
    const auto xAxes = chart->axes(Qt::Horizontal);
    const auto yAxes = chart->axes(Qt::Vertical);
    if (!xAxes.isEmpty())
        static_cast<QDateTimeAxis*>(xAxes.front())
            ->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(minX)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(maxX)));
    if (!yAxes.isEmpty())
        static_cast<QValueAxis*>(yAxes.front())->setRange(minY, maxY * 1.1);
}

QChart* MakeChart(const QString& yTitle, const std::vector<QLineSeries*>& series) {
    auto* chart = new QChart();
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* x = new QDateTimeAxis(chart);
    x->setFormat(QStringLiteral("yyyy-MM-dd"));
    x->setTickCount(5);
    auto* y = new QValueAxis(chart);
    y->setTitleText(yTitle);
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* s : series) {
        s->setPointsVisible(true);
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    return chart;
}

} // namespace

// ---- The table's model ----

void HistoryTableModel::reset() {
    beginResetModel();
    endResetModel();
}

const HistoryRecord* HistoryTableModel::recordAt(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return &query_.recordAt(static_cast<std::size_t>(row));
}

int HistoryTableModel::rowOf(std::size_t recordIndex) const {
    const auto row = query_.rowOf(recordIndex);
    return row ? static_cast<int>(*row) : -1;
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(query_.rowCount());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!recordAt(index.row()))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<HistoryColumn>(index.column());
    const OutcomeKind kind = query_.kindAt(row);
    switch (role) {
    case Qt::DisplayRole: return FromStd(query_.cellText(row, column));
    case Qt::ToolTipRole: {
        const std::string full = query_.cellFullText(row, column);
        return full.empty() ? QVariant() : QVariant(FromStd(full));
    }
    case Qt::TextAlignmentRole:
        if (index.column() >= SizeBefore && index.column() <= Seconds)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::BackgroundRole:
        if (kind == OutcomeKind::Failed)
            return QBrush(QColor(255, 218, 218));
        if (kind == OutcomeKind::Skipped)
            return QBrush(QColor(255, 240, 200));
        return {};
    case Qt::ForegroundRole:
        if (kind == OutcomeKind::Failed || kind == OutcomeKind::Skipped)
            return QBrush(QColor(kind == OutcomeKind::Failed ? 150 : 110, kind == OutcomeKind::Failed ? 0 : 70, 0));
        return {};
    default: return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= ColumnCount)
        return {};
    return FromStd(std::string(HistoryColumnTitle(static_cast<HistoryColumn>(section))));
}

void HistoryTableModel::sort(int column, Qt::SortOrder order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> held;
    for (const QModelIndex& index : before)
        held.push_back(query_.recordIndexAt(static_cast<std::size_t>(index.row())));
    query_.sortBy(static_cast<HistoryColumn>(column), order == Qt::DescendingOrder);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(index(rowOf(held[static_cast<std::size_t>(i)]), before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// ---- The window ----

TfrmHistory::TfrmHistory(std::function<QString()> compactorPath, QWidget* parent)
    : QWidget(parent, Qt::Window), compactorPath_(std::move(compactorPath)) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Quillet History"));
    model_ = new HistoryTableModel(query_, this);
    createControls();
    watcher_ = new QFutureWatcher<std::shared_ptr<const HistoryLoad>>(this);
    connect(watcher_, &QFutureWatcherBase::finished, this, [this] { guarded([this] { loaded(); }); });
    poll_ = new QTimer(this);
    connect(poll_, &QTimer::timeout, this, [this] {
        if (isVisible())
            guarded([this] { ReloadIfChanged(); });
    });
    poll_->start(1000);
    resize(1120, 780);
    Reload();
}

TfrmHistory::~TfrmHistory() {
    watcher_->waitForFinished();
}

void TfrmHistory::createControls() {
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout();
    layout->addLayout(filters);
    auto label = [&](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        filters->addWidget(l);
        filters->addWidget(buddy);
    };
    cbConfiguration = new QComboBox(this);
    cbConfiguration->setObjectName(QStringLiteral("cbConfiguration"));
    cbConfiguration->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbConfiguration->setMinimumContentsLength(18);
    label(QStringLiteral("&Configuration:"), cbConfiguration);
    cbDatabase = new QComboBox(this);
    cbDatabase->setObjectName(QStringLiteral("cbDatabase"));
    cbDatabase->setMinimumContentsLength(18);
    label(QStringLiteral("&Database:"), cbDatabase);
    cbOutcome = new QComboBox(this);
    cbOutcome->setObjectName(QStringLiteral("cbOutcome"));
    cbOutcome->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label(QStringLiteral("O&utcome:"), cbOutcome);
    dtFrom = new QDateEdit(this);
    dtFrom->setObjectName(QStringLiteral("dtFrom"));
    dtTo = new QDateEdit(this);
    dtTo->setObjectName(QStringLiteral("dtTo"));
    for (QDateEdit* edit : {dtFrom, dtTo}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setDate(QDate::currentDate());
    }
    label(QStringLiteral("&From:"), dtFrom);
    label(QStringLiteral("&To:"), dtTo);
    filters->addStretch(1);

    auto* totals = new QHBoxLayout();
    layout->addLayout(totals);
    lblTotals = new QLabel(this);
    lblTotals->setObjectName(QStringLiteral("lblTotals"));
    QFont bold = lblTotals->font();
    bold.setBold(true);
    lblTotals->setFont(bold);
    totals->addWidget(lblTotals, 1);
    btnSpreadsheet = new QPushButton(QStringLiteral("Open in spreadsheet"), this);
    btnSpreadsheet->setObjectName(QStringLiteral("btnSpreadsheet"));
    btnShowFile = new QPushButton(QStringLiteral("Show file"), this);
    btnShowFile->setObjectName(QStringLiteral("btnShowFile"));
    totals->addWidget(btnSpreadsheet);
    totals->addWidget(btnShowFile);
    lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblFile);

    auto* vertical = new QSplitter(Qt::Vertical, this);
    layout->addWidget(vertical, 1);
    auto* top = new QSplitter(Qt::Horizontal, vertical);
    Table = new QTableView(top);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setModel(model_);
    Table->setSortingEnabled(true);
    Table->sortByColumn(HistoryTableModel::When, Qt::DescendingOrder);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setWordWrap(false);
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {124, 96, 124, 84, 80, 80, 76, 60};
    for (int c = 0; c < static_cast<int>(std::size(widths)); ++c)
        Table->setColumnWidth(c, widths[c]);
    auto* logPane = new QWidget(top);
    auto* logLayout = new QVBoxLayout(logPane);
    logLayout->setContentsMargins(0, 0, 0, 0);
    lblLog = new QLabel(QStringLiteral("error.log"), logPane);
    lblLog->setObjectName(QStringLiteral("lblLog"));
    memLog = new QPlainTextEdit(logPane);
    memLog->setObjectName(QStringLiteral("memLog"));
    memLog->setReadOnly(true);
    memLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    logLayout->addWidget(lblLog);
    logLayout->addWidget(memLog);
    top->addWidget(Table);
    top->addWidget(logPane);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 1);
    top->setSizes({760, 300});

    auto* charts = new QWidget(vertical);
    auto* chartRow = new QHBoxLayout(charts);
    chartRow->setContentsMargins(0, 0, 0, 0);
    sizeBefore_ = new QLineSeries();
    sizeBefore_->setName(QStringLiteral("Before"));
    sizeAfter_ = new QLineSeries();
    sizeAfter_->setName(QStringLiteral("After"));
    saved_ = new QLineSeries();
    saved_->setName(QStringLiteral("Saved"));
    SizeChart = new QChartView(MakeChart(QStringLiteral("MB"), {sizeBefore_, sizeAfter_}), charts);
    SizeChart->setObjectName(QStringLiteral("SizeChart"));
    SavedChart = new QChartView(MakeChart(QStringLiteral("MB"), {saved_}), charts);
    SavedChart->setObjectName(QStringLiteral("SavedChart"));
    SavedChart->chart()->legend()->hide();
    SavedChart->chart()->setTitle(QStringLiteral("Space saved per night"));
    for (QChartView* view : {SizeChart, SavedChart}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(320, 220);
        chartRow->addWidget(view, 1);
    }
    vertical->setStretchFactor(0, 3);
    vertical->setStretchFactor(1, 2);
    vertical->setSizes({420, 280});

    auto changed = [this] {
        if (!filling_)
            guarded([this] { FilterChanged(); });
    };
    connect(cbConfiguration, &QComboBox::currentIndexChanged, this, changed);
    connect(cbDatabase, &QComboBox::currentIndexChanged, this, changed);
    connect(cbOutcome, &QComboBox::currentIndexChanged, this, changed);
    connect(dtFrom, &QDateEdit::dateChanged, this, changed);
    connect(dtTo, &QDateEdit::dateChanged, this, changed);
    connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { guarded([this] { SelectionChanged(); }); });
    connect(btnSpreadsheet, &QPushButton::clicked, this, [this] { guarded([this] { OpenInSpreadsheetClick(); }); });
    connect(btnShowFile, &QPushButton::clicked, this, [this] { guarded([this] { ShowFileClick(); }); });
}

QString TfrmHistory::HistoryPath() const {
    return FromStd(CompactorFileOf(ToStd(compactorPath_ ? compactorPath_() : QString()), HistoryFileName));
}

QString TfrmHistory::ErrorLogPath() const {
    return FromStd(CompactorFileOf(ToStd(compactorPath_ ? compactorPath_() : QString()), "error.log"));
}

void TfrmHistory::Reload() {
    startLoading(watch_.reload(ToStd(HistoryPath())));
}

void TfrmHistory::ReloadIfChanged() {
    startLoading(watch_.reloadIfChanged(ToStd(HistoryPath())));
}

bool TfrmHistory::IsLoading() const {
    return watch_.loading();
}

void TfrmHistory::startLoading(const std::optional<std::string>& path) {
    if (path)
        watcher_->setFuture(QtConcurrent::run(
            [path = *path] { return std::shared_ptr<const HistoryLoad>(new HistoryLoad(LoadHistory(path))); }));
}

void TfrmHistory::loaded() {
    // Keep the selected record selected: the same line stands at the same place in the
    // file after it grew.
    const std::optional<std::size_t> selected = selectedRecord();
    query_.setHistory(watcher_->result());
    model_->reset();
    fillFilters();
    FilterChanged();
    if (selected && *selected < query_.records().size())
        if (const int row = model_->rowOf(*selected); row >= 0)
            Table->selectRow(row);
    lblFile->setText(FromStd(query_.fileNote(ToStd(QDir::toNativeSeparators(FromStd(watch_.path()))))));
    startLoading(watch_.loaded());
}

void TfrmHistory::fillFilters() {
    const bool wasFilling = filling_;
    filling_ = true;
    Refill(cbConfiguration, query_.configurationChoices());
    Refill(cbOutcome, query_.outcomeChoices());
    if (query_.filter().from)
        dtFrom->setDate(QDateOf(*query_.filter().from));
    if (query_.filter().to)
        dtTo->setDate(QDateOf(*query_.filter().to));
    filling_ = wasFilling;
}

void TfrmHistory::FilterChanged() {
    const std::optional<std::size_t> selected = selectedRecord();
    HistoryFilter filter;
    filter.configuration = ToStd(cbConfiguration->currentData().toString());
    filter.database = ToStd(cbDatabase->currentData().toString());
    filter.outcome = ToStd(cbOutcome->currentData().toString());
    if (!query_.records().empty()) {
        filter.from = DateOf(dtFrom->date());
        filter.to = DateOf(dtTo->date());
    }
    query_.setFilter(filter);
    model_->reset();
    const bool wasFilling = filling_;
    filling_ = true;
    Refill(cbDatabase, query_.databaseChoices()); // follows the configuration chosen
    filling_ = wasFilling;
    if (selected)
        if (const int row = model_->rowOf(*selected); row >= 0)
            Table->selectRow(row);
    lblTotals->setText(FromStd(query_.totalsText()));
    updateCharts();
    updateLog();
}

void TfrmHistory::SelectionChanged() {
    updateCharts();
    updateLog();
}

std::optional<std::size_t> TfrmHistory::selectedRecord() const {
    const QModelIndexList rows = Table->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.front().row() >= model_->rowCount())
        return std::nullopt;
    return query_.recordIndexAt(static_cast<std::size_t>(rows.front().row()));
}

void TfrmHistory::updateCharts() {
    const SizeSeries sizes = query_.sizeChart(selectedRecord());
    SizeChart->chart()->setTitle(FromStd(sizes.title));
    SetPoints(sizeBefore_, sizes.before);
    SetPoints(sizeAfter_, sizes.after);
    FitAxes(SizeChart->chart());
    SetPoints(saved_, query_.savedPerNight());
    FitAxes(SavedChart->chart());
}

void TfrmHistory::updateLog() {
    const LogPane pane = query_.passLog(selectedRecord(), ToStd(ErrorLogPath()));
    lblLog->setText(FromStd(pane.title));
    memLog->setPlainText(FromStd(pane.text));
}

void TfrmHistory::OpenInSpreadsheetClick() {
    const QString path = HistoryPath();
    if (!platform::FileExists(ToStd(path))) {
        Dialogs::instance().error(this, windowTitle(), QStringLiteral("There is no history yet: %1 does not exist.").arg(path));
        return;
    }
    if (!UrlOpener::instance().open(QUrl::fromLocalFile(path).toString()))
        Dialogs::instance().error(this, windowTitle(), QStringLiteral("Could not open %1.").arg(path));
}

void TfrmHistory::ShowFileClick() {
    const QString folder = QFileInfo(HistoryPath()).absolutePath();
    if (!UrlOpener::instance().open(QUrl::fromLocalFile(folder).toString()))
        Dialogs::instance().error(this, windowTitle(), QStringLiteral("Could not open %1.").arg(folder));
}

// ---- The main window's status line ----

THistoryStatus::THistoryStatus(std::function<QString()> compactorPath, std::function<QString()> configPath,
                               QWidget* parent)
    : QLabel(parent), compactorPath_(std::move(compactorPath)), configPath_(std::move(configPath)) {
    setObjectName(QStringLiteral("lblLastRun"));
    watcher_ = new QFutureWatcher<std::string>(this);
    connect(watcher_, &QFutureWatcherBase::finished, this, [this] { guarded([this] { refreshed(); }); });
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { guarded([this] { Refresh(); }); });
    timer->start(3000);
}

THistoryStatus::~THistoryStatus() {
    watcher_->waitForFinished();
}

void THistoryStatus::Refresh() {
    if (busy_) {
        again_ = true;
        return;
    }
    asked_ = configPath_();
    if (asked_.isEmpty()) {
        setText(QString());
        return;
    }
    busy_ = true;
    watcher_->setFuture(QtConcurrent::run([this, path = CompactorFileOf(ToStd(compactorPath_()), HistoryFileName),
                                           config = ToStd(asked_)] {
        return LastRunTextOf(cache_.get(path).contents.records, config);
    }));
}

void THistoryStatus::refreshed() {
    busy_ = false;
    // The answer for a configuration no longer shown is dropped.
    if (asked_ == configPath_())
        setText(QString::fromUtf8(watcher_->result()));
    if (again_ || asked_ != configPath_()) {
        again_ = false;
        Refresh();
    }
}

} // namespace quillet::admin
