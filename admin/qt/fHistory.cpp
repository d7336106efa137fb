#include "admin/qt/fHistory.h"

#include "ui/qt/Text.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/WebLinks.h"

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
#include <map>
#include <set>

namespace quillet::admin {

using namespace quillet::ui;

namespace {

constexpr std::int64_t NoTime = std::numeric_limits<std::int64_t>::min();
const QString AnyFailure = QStringLiteral("*failures");
const QString AnySkip = QStringLiteral("*skipped");
constexpr double MB = 1024.0 * 1024.0;

QString FileNameOf(const std::string& path) {
    const QString text = FromStd(path);
    const qsizetype cut = std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
    return cut < 0 ? text : text.mid(cut + 1);
}

QString Size(const std::optional<std::int64_t>& bytes) {
    return bytes ? QString::fromStdString(SizeText(*bytes)) : QString();
}

template <class T> int CompareOptional(const std::optional<T>& a, const std::optional<T>& b) {
    if (!a || !b)
        return int(bool(a)) - int(bool(b));
    return *a < *b ? -1 : *b < *a ? 1 : 0;
}

int CompareText(const std::string& a, const std::string& b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// Where the chart's points lie in time: the start with its offset, as the compactor wrote it.
std::optional<qint64> StartMs(const std::string& start) {
    const QDateTime at = QDateTime::fromString(QString::fromStdString(start), Qt::ISODate);
    if (!at.isValid())
        return std::nullopt;
    return at.toMSecsSinceEpoch();
}

void SetPoints(QLineSeries* series, QList<QPointF> points) {
    std::sort(points.begin(), points.end(), [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    series->replace(points);
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

void HistoryTableModel::setHistory(std::shared_ptr<const HistoryLoad> load) {
    beginResetModel();
    load_ = std::move(load);
    keys_.clear();
    keys_.reserve(records().size());
    for (const HistoryRecord& r : records()) {
        const auto moment = ParseStart(r.start);
        keys_.push_back(moment ? MomentKey(*moment) : NoTime);
    }
    shown_.clear(); // until the window sets its filter
    endResetModel();
}

const std::vector<HistoryRecord>& HistoryTableModel::records() const {
    static const std::vector<HistoryRecord> none;
    return load_ ? load_->contents.records : none;
}

void HistoryTableModel::setFilter(const Filter& filter) {
    filter_ = filter;
    configuration_ = ToStd(filter.configuration);
    database_ = ToStd(filter.database);
    outcome_ = ToStd(filter.outcome);
    refilter();
}

QDate HistoryTableModel::dateOf(std::size_t index) const {
    if (keys_[index] == NoTime)
        return {};
    const platform::LocalDateTime m = MomentOfKey(keys_[index]);
    return QDate(m.year, m.month, m.day);
}

bool HistoryTableModel::passes(std::size_t index, bool ignoreOutcomeAndDatabase) const {
    const HistoryRecord& r = records()[index];
    if (!configuration_.empty() && r.configuration != configuration_)
        return false;
    if (const QDate date = dateOf(index); date.isValid()) {
        if ((filter_.from.isValid() && date < filter_.from) || (filter_.to.isValid() && date > filter_.to))
            return false;
    }
    if (ignoreOutcomeAndDatabase)
        return true;
    if (!database_.empty() && r.database != database_)
        return false;
    if (filter_.outcome == AnyFailure)
        return KindOfOutcome(r.outcome) == OutcomeKind::Failed;
    if (filter_.outcome == AnySkip)
        return KindOfOutcome(r.outcome) == OutcomeKind::Skipped;
    return outcome_.empty() || OutcomeTextOf(r) == outcome_;
}

void HistoryTableModel::refilter() {
    beginResetModel();
    shown_.clear();
    for (std::size_t i = 0; i < records().size(); ++i)
        if (passes(i))
            shown_.push_back(i);
    endResetModel();
    sort(sortColumn_, sortOrder_);
}

void HistoryTableModel::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column;
    sortOrder_ = order;
    const auto& rs = records();
    auto compare = [&](std::size_t a, std::size_t b) {
        const HistoryRecord& x = rs[a];
        const HistoryRecord& y = rs[b];
        switch (column) {
        case When: return keys_[a] < keys_[b] ? -1 : keys_[a] > keys_[b] ? 1 : CompareText(x.start, y.start);
        case Configuration: return CompareText(x.configuration, y.configuration);
        case Database: return CompareText(x.database, y.database);
        case Outcome: return CompareText(std::string(OutcomeTextOf(x)), std::string(OutcomeTextOf(y)));
        case SizeBefore: return CompareOptional(x.sizeBefore, y.sizeBefore);
        case SizeAfter: return CompareOptional(x.sizeAfter, y.sizeAfter);
        case Saved: return CompareOptional(SpaceSaved(x), SpaceSaved(y));
        case Seconds: return CompareOptional(x.seconds, y.seconds);
        default: return CompareText(x.detail, y.detail);
        }
    };
    const bool descending = order == Qt::DescendingOrder;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection follows its record to the record's new row.
    const QModelIndexList before = persistentIndexList();
    std::vector<std::size_t> held;
    for (const QModelIndex& index : before)
        held.push_back(shown_[static_cast<std::size_t>(index.row())]);
    // Equal rows keep file order, later lines first when descending: the newest first.
    std::sort(shown_.begin(), shown_.end(), [&](std::size_t a, std::size_t b) {
        const int c = descending ? compare(b, a) : compare(a, b);
        return c != 0 ? c < 0 : (descending ? a > b : a < b);
    });
    if (!before.isEmpty()) {
        std::vector<int> rowOfRecord(records().size(), -1);
        for (std::size_t row = 0; row < shown_.size(); ++row)
            rowOfRecord[shown_[row]] = static_cast<int>(row);
        QModelIndexList after;
        for (qsizetype i = 0; i < before.size(); ++i)
            after.append(index(rowOfRecord[held[static_cast<std::size_t>(i)]], before[i].column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

const HistoryRecord* HistoryTableModel::recordAt(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return &records()[shown_[static_cast<std::size_t>(row)]];
}

int HistoryTableModel::rowOf(std::size_t recordIndex) const {
    const auto it = std::find(shown_.begin(), shown_.end(), recordIndex);
    return it == shown_.end() ? -1 : static_cast<int>(it - shown_.begin());
}

std::vector<const HistoryRecord*> HistoryTableModel::shownRecords() const {
    std::vector<const HistoryRecord*> shown;
    shown.reserve(shown_.size());
    for (std::size_t i : shown_)
        shown.push_back(&records()[i]);
    return shown;
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    const HistoryRecord* r = recordAt(index.row());
    if (!r)
        return {};
    const OutcomeKind kind = KindOfOutcome(r->outcome);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case When: return QString::fromStdString(StartText(r->start));
        case Configuration: return FileNameOf(r->configuration);
        case Database: return FileNameOf(r->database);
        case Outcome: return FromStd(std::string(OutcomeTextOf(*r)));
        case SizeBefore: return Size(r->sizeBefore);
        case SizeAfter: return Size(r->sizeAfter);
        case Saved: return Size(SpaceSaved(*r));
        case Seconds: return r->seconds ? QString::number(*r->seconds, 'f', 1) : QString();
        case Detail: return FromStd(r->detail);
        default: return {};
        }
    case Qt::ToolTipRole:
        switch (index.column()) {
        case When: return FromStd(r->start);
        case Configuration: return FromStd(r->configuration);
        case Database: return FromStd(r->database);
        case Detail: return FromStd(r->detail);
        default: return {};
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
    static const char* const titles[] = {"When",        "Configuration", "Database", "Outcome", "Size before",
                                         "Size after",  "Saved",         "Seconds",  "Detail"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

// ---- The window ----

TfrmHistory::TfrmHistory(std::function<QString()> compactorPath, QWidget* parent)
    : QWidget(parent, Qt::Window), compactorPath_(std::move(compactorPath)) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Quillet History"));
    model_ = new HistoryTableModel(this);
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
    if (loading_) {
        reloadAgain_ = true;
        return;
    }
    loading_ = true;
    loadedPath_ = HistoryPath();
    const QFileInfo info(loadedPath_);
    loadedSize_ = info.exists() ? info.size() : -1;
    loadedTime_ = info.lastModified();
    watcher_->setFuture(QtConcurrent::run(
        [path = ToStd(loadedPath_)] { return std::shared_ptr<const HistoryLoad>(new HistoryLoad(LoadHistory(path))); }));
}

bool TfrmHistory::IsLoading() const {
    return loading_;
}

void TfrmHistory::ReloadIfChanged() {
    const QString path = HistoryPath();
    const QFileInfo info(path);
    if (path != loadedPath_ || (info.exists() ? info.size() : -1) != loadedSize_ || info.lastModified() != loadedTime_)
        Reload();
}

void TfrmHistory::loaded() {
    // Keep the selected record selected: the same line stands at the same place in the
    // file after it grew.
    const std::optional<std::size_t> selected = selectedRecord();
    loading_ = false;
    const auto load = watcher_->result();
    model_->setHistory(load);
    fillFilters();
    FilterChanged();
    if (selected && *selected < model_->records().size()) {
        if (const int row = model_->rowOf(*selected); row >= 0)
            Table->selectRow(row);
    }

    const QString path = QDir::toNativeSeparators(loadedPath_);
    QString note;
    if (!load->exists)
        note = QStringLiteral("No history yet: %1 does not exist.").arg(path);
    else if (!load->readable)
        note = QStringLiteral("%1 cannot be read.").arg(path);
    else {
        note = QStringLiteral("%1 (%2)").arg(path, QString::fromStdString(SizeText(static_cast<std::int64_t>(load->fileSize))));
        if (load->bytesNotRead)
            note += QStringLiteral(" \u2014 a large file: its oldest %1 are not shown")
                        .arg(QString::fromStdString(SizeText(static_cast<std::int64_t>(load->bytesNotRead))));
        if (const std::size_t skipped = load->contents.skippedLines)
            note += QStringLiteral(" \u2014 %1 unreadable line%2 skipped").arg(skipped).arg(skipped == 1 ? QString() : QStringLiteral("s"));
    }
    lblFile->setText(note);

    if (reloadAgain_) {
        reloadAgain_ = false;
        Reload();
    }
}

void TfrmHistory::fillFilters() {
    const bool wasFilling = filling_;
    filling_ = true;
    const auto& records = model_->records();
    std::set<std::string> configurations, outcomes;
    QDate first, last;
    for (std::size_t i = 0; i < records.size(); ++i) {
        configurations.insert(records[i].configuration);
        if (records[i].outcome == RunOutcome::Other)
            outcomes.insert(records[i].otherOutcome);
        if (const QDate date = model_->dateOf(i); date.isValid()) {
            first = first.isValid() ? std::min(first, date) : date;
            last = last.isValid() ? std::max(last, date) : date;
        }
    }
    auto refill = [](QComboBox* box, const QString& all, const std::vector<std::pair<QString, QString>>& items) {
        const QString current = box->currentData().toString();
        box->clear();
        box->addItem(all, QString());
        for (const auto& [text, value] : items)
            box->addItem(text, value);
        box->setCurrentIndex(std::max(0, box->findData(current)));
    };
    std::vector<std::pair<QString, QString>> items;
    for (const std::string& c : configurations)
        items.emplace_back(FromStd(c), FromStd(c));
    refill(cbConfiguration, QStringLiteral("All configurations"), items);

    items = {{QStringLiteral("Failures"), AnyFailure}, {QStringLiteral("Skipped"), AnySkip}};
    for (const RunOutcome known : KnownOutcomes())
        items.emplace_back(FromStd(std::string(OutcomeText(known))), FromStd(std::string(OutcomeText(known))));
    for (const std::string& o : outcomes)
        items.emplace_back(FromStd(o), FromStd(o));
    refill(cbOutcome, QStringLiteral("All outcomes"), items);

    // A range that reached the old end reaches the new one, so a night that arrives
    // while the window is open shows; a range the user narrowed stays.
    if (first.isValid()) {
        const QDate oldFirst = dtFrom->property("dataFirst").toDate();
        const QDate oldLast = dtTo->property("dataLast").toDate();
        if (!oldFirst.isValid() || dtFrom->date() == oldFirst)
            dtFrom->setDate(first);
        if (!oldLast.isValid() || dtTo->date() == oldLast || dtTo->date() < dtFrom->date())
            dtTo->setDate(last);
        dtFrom->setProperty("dataFirst", first);
        dtTo->setProperty("dataLast", last);
    }
    filling_ = wasFilling;
}

void TfrmHistory::FilterChanged() {
    const bool wasFilling = filling_;
    filling_ = true;
    const std::optional<std::size_t> selected = selectedRecord();
    // The database list follows the configuration chosen.
    const QString configuration = cbConfiguration->currentData().toString();
    const QString database = cbDatabase->currentData().toString();
    const std::string wanted = ToStd(configuration);
    std::set<std::string> databases;
    for (const HistoryRecord& r : model_->records())
        if (wanted.empty() || r.configuration == wanted)
            databases.insert(r.database);
    cbDatabase->clear();
    cbDatabase->addItem(QStringLiteral("All databases"), QString());
    for (const std::string& d : databases)
        cbDatabase->addItem(FromStd(d), FromStd(d));
    cbDatabase->setCurrentIndex(std::max(0, cbDatabase->findData(database)));
    filling_ = wasFilling;

    HistoryTableModel::Filter filter;
    filter.configuration = configuration;
    filter.database = cbDatabase->currentData().toString();
    filter.outcome = cbOutcome->currentData().toString();
    if (!model_->records().empty()) {
        filter.from = dtFrom->date();
        filter.to = dtTo->date();
    }
    model_->setFilter(filter);
    if (selected)
        if (const int row = model_->rowOf(*selected); row >= 0)
            Table->selectRow(row);
    updateTotals();
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
    return model_->recordIndexAt(rows.front().row());
}

HistoryTotals TfrmHistory::ShownTotals() const {
    return TotalsOf(model_->shownRecords());
}

void TfrmHistory::updateTotals() {
    const HistoryTotals t = ShownTotals();
    auto count = [](std::size_t n, const char* one, const char* many) {
        return QString::number(n) + QLatin1Char(' ') + QString::fromLatin1(n == 1 ? one : many);
    };
    lblTotals->setText(QStringLiteral("%1, %2 compacted, %3, %4 saved")
                           .arg(count(t.passes, "pass", "passes"), count(t.compacted, "database", "databases"),
                                count(t.failed, "failure", "failures"), QString::fromStdString(SizeText(t.spaceSaved))));
}

void TfrmHistory::updateCharts() {
    const auto& records = model_->records();
    // The size chart's subject: the selected database, else the one filtered for, else
    // the databases of the configuration filtered for, summed per pass.
    QString database = cbDatabase->currentData().toString();
    if (const auto selected = selectedRecord())
        database = FromStd(records[*selected].database);
    const QString configuration = cbConfiguration->currentData().toString();
    QList<QPointF> before, after;
    if (!database.isEmpty()) {
        const std::string wanted = ToStd(database);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const HistoryRecord& r = records[i];
            if (r.database != wanted || !model_->passes(i, true))
                continue;
            if (const auto ms = StartMs(r.start)) {
                if (r.sizeBefore)
                    before.append(QPointF(static_cast<double>(*ms), static_cast<double>(*r.sizeBefore) / MB));
                if (r.sizeAfter)
                    after.append(QPointF(static_cast<double>(*ms), static_cast<double>(*r.sizeAfter) / MB));
            }
        }
        SizeChart->chart()->setTitle(QStringLiteral("Size of %1").arg(FileNameOf(ToStd(database))));
    } else if (!configuration.isEmpty()) {
        std::map<std::string, std::pair<std::optional<double>, std::optional<double>>> passes;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const HistoryRecord& r = records[i];
            if (!model_->passes(i, true))
                continue;
            auto& [b, a] = passes[r.start];
            if (r.sizeBefore)
                b = b.value_or(0) + static_cast<double>(*r.sizeBefore) / MB;
            if (r.sizeAfter)
                a = a.value_or(0) + static_cast<double>(*r.sizeAfter) / MB;
        }
        for (const auto& [start, sizes] : passes)
            if (const auto ms = StartMs(start)) {
                if (sizes.first)
                    before.append(QPointF(static_cast<double>(*ms), *sizes.first));
                if (sizes.second)
                    after.append(QPointF(static_cast<double>(*ms), *sizes.second));
            }
        SizeChart->chart()->setTitle(QStringLiteral("Size of the databases of %1").arg(FileNameOf(ToStd(configuration))));
    } else {
        SizeChart->chart()->setTitle(QStringLiteral("Select a database to see its size"));
    }
    SetPoints(sizeBefore_, before);
    SetPoints(sizeAfter_, after);
    FitAxes(SizeChart->chart());

    std::map<QDate, double> nights;
    for (std::size_t row = 0; row < static_cast<std::size_t>(model_->rowCount()); ++row) {
        const std::size_t i = model_->recordIndexAt(static_cast<int>(row));
        if (const QDate date = model_->dateOf(i); date.isValid())
            nights[date] += static_cast<double>(SpaceSaved(records[i]).value_or(0)) / MB;
    }
    QList<QPointF> saved;
    for (const auto& [date, mb] : nights)
        saved.append(QPointF(static_cast<double>(QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch()), mb));
    SetPoints(saved_, saved);
    FitAxes(SavedChart->chart());
}

void TfrmHistory::updateLog() {
    const auto selected = selectedRecord();
    if (!selected) {
        lblLog->setText(QStringLiteral("error.log"));
        memLog->setPlainText(QStringLiteral("Select a pass to see what it wrote to error.log."));
        return;
    }
    const HistoryRecord& r = model_->records()[*selected];
    lblLog->setText(QStringLiteral("error.log, pass of %1 (%2)")
                        .arg(QString::fromStdString(StartText(r.start)), FileNameOf(r.configuration)));
    // A long log is read again only when it changed, not at every click.
    const QString path = ErrorLogPath();
    const QFileInfo info(path);
    if (path != logPath_ || info.size() != logSize_ || info.lastModified() != logTime_) {
        std::uint64_t size = 0;
        logRead_ = ReadFileTail(ToStd(path), HistoryReadLimit, log_, size);
        logPath_ = path;
        logSize_ = info.size();
        logTime_ = info.lastModified();
    }
    if (!logRead_) {
        memLog->setPlainText(QStringLiteral("%1 cannot be read or does not exist.").arg(path));
        return;
    }
    static const LogStampReader stamps = LogStampReader::Regional();
    const auto lines = PassLogLines(log_, model_->records(), r.start, r.configuration, stamps);
    QStringList text;
    for (const std::string& line : lines)
        text << FromStd(line);
    memLog->setPlainText(text.isEmpty() ? QStringLiteral("No lines in error.log for this pass.")
                                        : text.join(QLatin1Char('\n')));
}

void TfrmHistory::OpenInSpreadsheetClick() {
    const QString path = HistoryPath();
    if (!QFileInfo(path).isFile()) {
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
