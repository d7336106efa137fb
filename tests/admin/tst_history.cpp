// The history window, the main window's last-run line and the scheduler's, driven
// headless over history files written as the compactor writes them.
#include "AdminTestSupport.h"

#include "ui/qt/WebLinks.h"
#include "admin/qt/fHistory.h"
#include "core/RunHistory.h"
#include "platform/RegionalTime.h"
#include "scheduler/qt/fSched.h"
#include "widgets/qt/TEditGrid.h"
#include "tests/support/ScheduleSeams.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

using namespace quillet;
using namespace quillet::admin;
using namespace quillet::ui;
using namespace quillet::admin::test;

namespace {

constexpr std::int64_t MB = 1 << 20;

HistoryRecord Rec(const char* start, const char* cfg, const char* db, const char* outcome,
                  std::optional<std::int64_t> before = {}, std::optional<std::int64_t> after = {},
                  std::optional<double> seconds = {}, const char* detail = "") {
    HistoryRecord r;
    r.start = start;
    r.configuration = cfg;
    r.database = db;
    SetOutcomeText(r, outcome);
    r.sizeBefore = before;
    r.sizeAfter = after;
    r.seconds = seconds;
    r.detail = detail;
    if (seconds)
        r.exitCode = std::string(outcome) == "ok" ? 0 : 1;
    return r;
}

QByteArray HistoryText(const std::vector<HistoryRecord>& records) {
    std::string text = HistoryHeader;
    for (const HistoryRecord& r : records)
        text += FormatHistoryLine(r);
    return QByteArray::fromStdString(text);
}

const char* const N1 = "2026-12-06T01:00:02+01:00";
const char* const N2 = "2026-12-07T01:00:02+01:00";
const char* const N3 = "2026-12-08T01:00:03+01:00";

// Three nights of the nightly configuration (orders.mdb in each) and one pass of
// another; every outcome, and one a newer program wrote.
std::vector<HistoryRecord> Sample(const QString& cfg, const QString& other) {
    const std::string c = ToStd(cfg), o = ToStd(other);
    return {
        Rec(N1, c.c_str(), "/db/orders.mdb", "ok", 800 * MB, 500 * MB, 30),
        Rec(N1, c.c_str(), "/db/stock.mdb", "failed", 10 * MB, {}, 2, "Disk I/O error"),
        Rec(N2, c.c_str(), "/db/orders.mdb", "ok", 900 * MB, 600 * MB, 40),
        Rec(N2, c.c_str(), "/db/stock.mdb", "in-use", {}, {}, {}, "locked by PC-07"),
        Rec("2026-12-07T02:00:00+01:00", o.c_str(), "/db/x.mdb", "ok", 5 * MB, 4 * MB, 1),
        Rec(N3, c.c_str(), "/db/orders.mdb", "ok", 1600 * MB, 1000 * MB, 60),
        Rec(N3, c.c_str(), "/db/stock.mdb", "timed-out", 10 * MB, {}, 600),
        Rec(N3, c.c_str(), "/db/c.mdb", "unchanged", 7 * MB, 7 * MB),
        Rec(N3, c.c_str(), "/db/e.mdb", "no-space", 50 * MB, {}, {}, "needs 50 MB"),
        Rec(N3, c.c_str(), "/db/f.mdb", "not-started"),
        Rec(N3, c.c_str(), "/db/g.mdb", "backup-failed", 3 * MB),
        Rec(N3, c.c_str(), "/db/h.mdb", "defragmented"),
    };
}

QStringList Column(const TfrmHistory& w, int column) {
    QStringList cells;
    const auto& model = w.Model();
    for (int row = 0; row < model.rowCount(); ++row)
        cells << model.index(row, column).data().toString();
    return cells;
}

void ChooseData(QComboBox* box, const QString& value) {
    const int index = box->findData(value);
    QVERIFY2(index >= 0, qPrintable(value));
    box->setCurrentIndex(index);
}

qint64 Ms(const char* start) {
    return QDateTime::fromString(QString::fromLatin1(start), Qt::ISODate).toMSecsSinceEpoch();
}

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

    struct World : AdminWorld {
        QString compactor() const { return file("Quillet"); }
        QString history() const { return file(QString::fromLatin1(HistoryFileName)); }
        QString cfg() const { return file("nightly.cfg"); }
        QString other() const { return file("other.cfg"); }
        std::unique_ptr<TfrmHistory> open() {
            auto w = std::make_unique<TfrmHistory>([this] { return compactor(); });
            [&] { QTRY_VERIFY(!w->IsLoading()); }();
            return w;
        }
    };

private slots:
    void everyOutcomeRowsTotalsAndFilters();
    void chartSeriesForADatabaseWithThreePasses();
    void badFilesShowWhatTheyCan_data();
    void badFilesShowWhatTheyCan();
    void reloadsWhenTheFileGrows();
    void logLinesOfTheSelectedPass();
    void openersGoThroughTheDesktop();
    void lastRunInTheMainWindowAndTheScheduler();
};

void HistoryTest::everyOutcomeRowsTotalsAndFilters() {
    World world;
    QVERIFY(WriteFile(world.history(), HistoryText(Sample(world.cfg(), world.other()))));
    auto w = world.open();
    const auto& model = w->Model();

    QCOMPARE(model.rowCount(), 12);
    QCOMPARE(Column(*w, HistoryTableModel::Database).first(), QStringLiteral("h.mdb"));
    QCOMPARE(model.headerData(HistoryTableModel::SizeBefore, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Size before"));
    // Failures stand out, skips too, a compaction does not.
    const int stock = Column(*w, HistoryTableModel::Outcome).indexOf("timed-out");
    const int inUse = Column(*w, HistoryTableModel::Outcome).indexOf("in-use");
    const int orders = Column(*w, HistoryTableModel::Database).indexOf("orders.mdb");
    QVERIFY(model.index(stock, 0).data(Qt::BackgroundRole).isValid());
    QVERIFY(model.index(stock, 0).data(Qt::BackgroundRole) != model.index(inUse, 0).data(Qt::BackgroundRole));
    QVERIFY(!model.index(orders, 0).data(Qt::BackgroundRole).isValid());
    QCOMPARE(model.index(orders, HistoryTableModel::Database).data(Qt::ToolTipRole).toString(),
             QStringLiteral("/db/orders.mdb"));
    QCOMPARE(w->lblTotals->text(), QStringLiteral("4 passes, 4 databases compacted, 4 failures, 1.2 GB saved"));

    // The boxes filter; the database box follows the configuration.
    ChooseData(w->cbOutcome, QStringLiteral("*skipped"));
    QCOMPARE(Column(*w, HistoryTableModel::Outcome), QStringList({"no-space", "in-use"}));
    ChooseData(w->cbOutcome, QString());
    ChooseData(w->cbConfiguration, world.other());
    QCOMPARE(Column(*w, HistoryTableModel::Database), QStringList({"x.mdb"}));
    QCOMPARE(w->cbDatabase->count(), 2);
    ChooseData(w->cbConfiguration, QString());
    w->dtFrom->setDate(QDate(2026, 12, 7));
    w->dtTo->setDate(QDate(2026, 12, 7));
    QCOMPARE(Column(*w, HistoryTableModel::Database), QStringList({"x.mdb", "stock.mdb", "orders.mdb"}));

    // Sorting by a column; the selected record stays selected.
    w->Table->selectRow(Column(*w, HistoryTableModel::Database).indexOf("x.mdb"));
    w->Table->sortByColumn(HistoryTableModel::Saved, Qt::DescendingOrder);
    QCOMPARE(model.recordAt(w->Table->selectionModel()->selectedRows().value(0).row())->database, std::string("/db/x.mdb"));
    QCOMPARE(Column(*w, HistoryTableModel::Saved), QStringList({"300.0 MB", "1.0 MB", ""}));
    QVERIFY(world.reports.empty());
}

void HistoryTest::chartSeriesForADatabaseWithThreePasses() {
    World world;
    QVERIFY(WriteFile(world.history(), HistoryText(Sample(world.cfg(), world.other()))));
    auto w = world.open();
    w->Table->selectRow(Column(*w, HistoryTableModel::Database).indexOf("orders.mdb"));
    const QList<QPointF> before{{double(Ms(N1)), 800}, {double(Ms(N2)), 900}, {double(Ms(N3)), 1600}};
    QCOMPARE(w->SizeBeforeSeries()->points(), before);
    QCOMPARE(w->SizeAfterSeries()->count(), 3);
    auto night = [](int day) { return double(QDateTime(QDate(2026, 12, day), QTime(0, 0)).toMSecsSinceEpoch()); };
    QCOMPARE(w->SavedSeries()->points(), QList<QPointF>({{night(6), 300}, {night(7), 301}, {night(8), 600}}));
}

void HistoryTest::badFilesShowWhatTheyCan_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("saysSkipped");
    const std::string good = FormatHistoryLine(Rec(N1, "/c.cfg", "/db/a.mdb", "ok", 10, 5, 1.5));
    const QByteArray line = QByteArray::fromStdString(good);
    const QByteArray header = HistoryHeader;
    QTest::newRow("garbage") << QByteArray("\x01\xff\"\"\"\n,,,,\r\nnot,a,history\n\0\0\0", 24) << 0 << true;
    QTest::newRow("truncated mid-line") << header + line + line.left(30) << 1 << true;
    QTest::newRow("cut inside quotes") << header + line + QByteArray(N2) + ",\"/c.cfg" << 1 << true;
    QTest::newRow("newer version with more columns")
        << QByteArray("start,host,configuration,database,outcome,exit_code,size_before,size_after,seconds,detail,"
                      "checksum\r\n") +
               N1 + ",pc1,/c.cfg,/db/a.mdb,ok,0,10,5,1.500,,abc\r\n" + N2 + ",pc1,/c.cfg,/db/a.mdb,verified,0,5,5,,,\r\n"
        << 2 << false;
    QTest::newRow("empty") << QByteArray() << 0 << false;
    QTest::newRow("header only") << header << 0 << false;
}

void HistoryTest::badFilesShowWhatTheyCan() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(bool, saysSkipped);
    World world;
    QVERIFY(WriteFile(world.history(), bytes));
    auto w = world.open();
    w->show();
    QCOMPARE(w->Model().rowCount(), rows);
    QCOMPARE(w->lblFile->text().contains("skipped"), saysSkipped);
    if (rows > 0) {
        w->Table->selectRow(0);
        QCOMPARE(w->SizeBeforeSeries()->count(), rows); // one database in each
    }
    QVERIFY(world.reports.empty());
}

void HistoryTest::reloadsWhenTheFileGrows() {
    World world;
    auto w = world.open();
    w->show();
    QCOMPARE(w->Model().rowCount(), 0);
    QVERIFY(w->lblFile->text().contains("does not exist"));

    auto records = Sample(world.cfg(), world.other());
    QVERIFY(WriteFile(world.history(), HistoryText({records.begin(), records.begin() + 5})));
    QTRY_COMPARE(w->Model().rowCount(), 5);
    w->dtFrom->setDate(QDate(2026, 12, 7));
    QCOMPARE(w->Model().rowCount(), 3);
    w->Table->selectRow(Column(*w, HistoryTableModel::Database).indexOf("x.mdb"));

    // A new night arrives while the window is open: it shows, the selection stays, and
    // the date boxes show the range that follows it.
    QVERIFY(WriteFile(world.history(), HistoryText(records)));
    QTRY_COMPARE(w->Model().rowCount(), 10);
    QCOMPARE(w->dtTo->date(), QDate(2026, 12, 8));
    const int selected = w->Table->selectionModel()->currentIndex().row();
    QCOMPARE(w->Model().recordAt(selected)->database, std::string("/db/x.mdb"));

    // A history that shrank (replaced by hand) is read afresh.
    QVERIFY(WriteFile(world.history(), HistoryText({records[2]})));
    QTRY_COMPARE(w->Model().rowCount(), 1);
}

void HistoryTest::logLinesOfTheSelectedPass() {
    World world;
    QVERIFY(WriteFile(world.history(), HistoryText(Sample(world.cfg(), world.other()))));
    const platform::LocalDateTime t{2026, 12, 7, 1, 0, 2, 0};
    const std::string line = platform::ShortDateText(t) + " " + platform::LongTimeText(t) + " .mdb file: in use";
    QVERIFY(WriteFile(world.file("error.log"), QByteArray::fromStdString(line + "\r\n")));
    auto w = world.open();
    QVERIFY(w->memLog->toPlainText().startsWith("Select a pass"));
    w->Table->selectRow(Column(*w, HistoryTableModel::Outcome).indexOf("in-use"));
    QCOMPARE(w->memLog->toPlainText(), FromStd(line));
    QVERIFY(w->lblLog->text().startsWith("error.log, pass of 2026-12-07 01:00"));
}

void HistoryTest::openersGoThroughTheDesktop() {
    World world;
    RecordingUrlOpener& opener = RecordingUrlOpener::install();
    auto w = world.open();
    // No file yet: said so, nothing opened.
    w->btnSpreadsheet->click();
    QVERIFY(opener.opened.empty());
    QCOMPARE(world.dialogs.shown.size(), 1u);
    QVERIFY(world.dialogs.shown.back().text.contains("does not exist"));

    QVERIFY(WriteFile(world.history(), HistoryText(Sample(world.cfg(), world.other()))));
    w->btnSpreadsheet->click();
    w->btnShowFile->click();
    QCOMPARE(opener.opened, std::vector<QString>({QUrl::fromLocalFile(world.history()).toString(),
                                                  QUrl::fromLocalFile(world.dir.path()).toString()}));
    opener.result = false;
    w->btnSpreadsheet->click();
    QVERIFY(world.dialogs.shown.back().text.startsWith("Could not open"));
    UrlOpener::setInstance(nullptr);
    QVERIFY(world.reports.empty());
}

void HistoryTest::lastRunInTheMainWindowAndTheScheduler() {
    World world;
    QVERIFY(WriteFile(world.cfg(), "[Defaults]\r\n"));
    SetProfileValue(world.iniPath(), "LastCfgPath", world.cfg());
    SetProfileValue(world.iniPath(), "QuilletPath", world.compactor());
    QVERIFY(WriteFile(world.history(), HistoryText(Sample(world.cfg(), world.other()))));
    auto form = world.makeForm();
    auto* status = form->statusBar()->findChild<QLabel*>(QStringLiteral("lblLastRun"));
    QVERIFY(status);
    QTRY_COMPARE(status->text(), QString::fromUtf8("Last run 2026-12-08 01:00 \u2014 1 compacted, 1 unchanged, 1 skipped, "
                                               "3 failed, 600.0 MB saved"));
    form->NewConfigFile1Click();
    QTRY_COMPARE(status->text(), QString());

    // View > History opens the window over the Quillet Path's folder.
    Action(form.get(), "History1")->trigger();
    QVERIFY(form->HistoryWindow() && form->HistoryWindow()->isVisible());
    QCOMPARE(form->HistoryWindow()->HistoryPath(), world.history());

    // The scheduler's line for its current entry, with the next due day and hour.
    QVERIFY(WriteFile(world.file("schedfile.dat"),
                      ("\"Nightly\"\t\"" + world.cfg() + "\"\t\"d|1|2026-12-08\"\r\n\"Other\"\t\"" + world.other() + "\"\t\r\n").toLocal8Bit()));
    auto clock = std::make_unique<scheduler::testing::MockClock>();
    clock->day = EncodeDate(2026, 12, 8);
    clock->hour = 9;
    scheduler::TfrmSched sched(scheduler::SchedulerHost{world.folder(), [&] { return world.compactor(); }}, nullptr,
                               std::move(clock), std::make_unique<scheduler::testing::RecordingRunner>());
    QTimer::singleShot(0, &sched, [&] {
        QCOMPARE(sched.lblLastRun->text(),
                 QString::fromUtf8("Last run 2026-12-08 01:00 \u2014 1 compacted, 1 unchanged, 1 skipped, 3 failed, "
                                   "600.0 MB saved \u00b7 next due 2026-12-09 01:00"));
        sched.EditGrid1->SetCurrentCell(1, 2);
        sched.EditGrid1Click();
        QCOMPARE(sched.lblLastRun->text(),
                 QString::fromUtf8("Last run 2026-12-07 02:00 \u2014 1 compacted, 0 failed, 1.0 MB saved \u00b7 as needed"));
        sched.Close1Click();
    });
    sched.ShowModal();
    QVERIFY(world.reports.empty());
}

QTEST_MAIN(HistoryTest)
#include "tst_history.moc"
