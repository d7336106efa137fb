// The history window, the main window's last-run line and the scheduler's, driven
// headless over history files written as the compactor writes them.
#include "AdminTestSupport.h"
#include "HistoryRecords.h"

#include "ui/qt/WebLinks.h"
#include "admin/qt/fHistory.h"
#include "core/RunHistory.h"
#include "platform/RegionalTime.h"
#include "scheduler/qt/fSched.h"
#include "widgets/qt/TEditGrid.h"
#include "tests/support/ScheduleSeams.h"

#include <QComboBox>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

using namespace quillet;
using namespace quillet::admin;
using namespace quillet::ui;
using namespace quillet::admin::test;
using quillet::test::Rec;

namespace {
QByteArray HistoryBytes(const std::vector<HistoryRecord>& records) {
    return QByteArray::fromStdString(quillet::test::HistoryText(records));
}
} // namespace

namespace {

constexpr std::int64_t MB = 1 << 20;

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
    void theControlsShowWhatThePresenterDecides();
    void badFilesShowWhatTheyCan_data();
    void badFilesShowWhatTheyCan();
    void openersGoThroughTheDesktopAndEscapeCloses();
    void acrossMachinesTheListAndTheMachineBoxShowThePresenters();
    void lastRunInTheMainWindowAndTheScheduler();
};

// What the controls show, and the user's input through them: boxes, dates, a title
// click, a selection, names outside ASCII.
void HistoryTest::theControlsShowWhatThePresenterDecides() {
    World world;
    auto records = Sample(world.cfg(), world.other());
    records[4].database = "/db/\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x95\xB0\xE6\x8D\xAE \xF0\x9F\x93\x8A.mdb";
    QVERIFY(WriteFile(world.history(), HistoryBytes(records)));
    const platform::LocalDateTime t{2026, 12, 7, 1, 0, 2, 0};
    const std::string line = platform::ShortDateText(t) + " " + platform::LongTimeText(t) + " .mdb file: in use";
    QVERIFY(WriteFile(world.file("error.log"), QByteArray::fromStdString(line + "\r\n")));
    auto w = world.open();
    w->show();
    const auto& model = w->Model();
    QCOMPARE(model.rowCount(), 12);
    QCOMPARE(Column(*w, int(HistoryColumn::Database)).first(), QStringLiteral("h.mdb"));
    QVERIFY(Column(*w, int(HistoryColumn::Database)).contains(QString::fromUtf8("\u03A9\u03BC\u03AD\u03B3\u03B1 \u6570\u636E \U0001F4CA.mdb")));
    QCOMPARE(model.headerData(int(HistoryColumn::SizeBefore), Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Size before"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Compaction History"));
    QCOMPARE(w->lblTotals->text(), QStringLiteral("4 passes, 4 databases compacted, 4 failures, 1.2 GB saved"));
    QCOMPARE(w->cbConfiguration->count(), 3);
    QCOMPARE(w->dtTo->date(), QDate(2026, 12, 8));

    // The boxes filter; the database box follows the configuration.
    w->cbOutcome->setCurrentIndex(w->cbOutcome->findText("Skipped"));
    QCOMPARE(Column(*w, int(HistoryColumn::Outcome)), QStringList({"No space", "In use"}));
    w->cbOutcome->setCurrentIndex(0);
    w->cbConfiguration->setCurrentIndex(w->cbConfiguration->findData(world.other(), Qt::ToolTipRole));
    QCOMPARE(w->cbDatabase->count(), 2);
    w->cbConfiguration->setCurrentIndex(0);
    w->dtFrom->setDate(QDate(2026, 12, 7));
    w->dtTo->setDate(QDate(2026, 12, 7));
    QCOMPARE(model.rowCount(), 3);

    // A title click sorts through the presenter; the selection stays on its record and
    // charts it; the log shows what its pass wrote.
    w->Table->selectRow(Column(*w, int(HistoryColumn::Outcome)).indexOf("In use"));
    QCOMPARE(w->memLog->toPlainText(), FromStd(line));
    QVERIFY(w->lblLog->text().startsWith("error.log, pass of 2026-12-07 01:00"));
    emit w->Table->horizontalHeader()->sectionClicked(int(HistoryColumn::Saved));
    QCOMPARE(w->Table->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(Column(*w, int(HistoryColumn::Saved)), QStringList({"", "1.0 MB", "300.0 MB"}));
    const int selected = w->Table->selectionModel()->selectedRows().value(0).row();
    QCOMPARE(model.index(selected, int(HistoryColumn::Outcome)).data().toString(), QStringLiteral("In use"));
    QCOMPARE(w->SizeChart->chart()->title(), QStringLiteral("Size of stock.mdb\nNothing to show"));
    w->dtFrom->setDate(QDate(2026, 12, 6));
    w->dtTo->setDate(QDate(2026, 12, 8));
    w->Table->selectRow(Column(*w, int(HistoryColumn::Database)).indexOf("orders.mdb"));
    const auto series = w->SizeChart->chart()->series();
    QCOMPARE(series.size(), 2);
    QCOMPARE(static_cast<QLineSeries*>(series[0])->points(),
             QList<QPointF>({{double(Ms(N1)) / 1000, 800}, {double(Ms(N2)) / 1000, 900}, {double(Ms(N3)) / 1000, 1600}}));
    auto* y = static_cast<QCategoryAxis*>(w->SizeChart->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(y && y->categoriesLabels().contains(QStringLiteral("2000 MB")));
    QVERIFY(world.reports.empty());
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
        QCOMPARE(static_cast<QLineSeries*>(w->SizeChart->chart()->series().value(0))->count(), rows);
    }
    QVERIFY(world.reports.empty());
}

void HistoryTest::openersGoThroughTheDesktopAndEscapeCloses() {
    World world;
    RecordingUrlOpener& opener = RecordingUrlOpener::install();
    QVERIFY(WriteFile(world.history(), HistoryBytes(Sample(world.cfg(), world.other()))));
    auto w = world.open();
    w->show();
    w->btnSpreadsheet->click();
    w->btnShowFile->click();
    QCOMPARE(opener.opened, std::vector<QString>({QUrl::fromLocalFile(world.history()).toString(),
                                                  QUrl::fromLocalFile(world.dir.path()).toString()}));
    opener.result = false;
    w->btnSpreadsheet->click();
    QVERIFY(world.dialogs.shown.back().text.startsWith("Could not open"));
    UrlOpener::setInstance(nullptr);
    QTest::keyClick(w->Table, Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(w->Table->horizontalHeader()->sortIndicatorSection(), int(HistoryColumn::Database));
    QTest::keyClick(w.get(), Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    QVERIFY(world.reports.empty());
}

void HistoryTest::lastRunInTheMainWindowAndTheScheduler() {
    World world;
    QVERIFY(WriteFile(world.cfg(), "[Defaults]\r\n"));
    SetProfileValue(world.iniPath(), "LastCfgPath", world.cfg());
    SetProfileValue(world.iniPath(), "QuilletPath", world.compactor());
    QVERIFY(WriteFile(world.history(), HistoryBytes(Sample(world.cfg(), world.other()))));
    auto form = world.makeForm();
    auto* status = form->statusBar()->findChild<QLabel*>(QStringLiteral("lblLastRun"));
    QVERIFY(status);
    QTRY_COMPARE(status->text(), QString::fromUtf8("Last run 2026-12-08 01:00 \u2014 1 compacted, 1 unchanged, 1 skipped, "
                                               "3 failed, 600.0 MB saved"));
    form->Run(MainCommand::New);
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

// The fleet folder's machines beside the table, as the presenter lists them.
void HistoryTest::acrossMachinesTheListAndTheMachineBoxShowThePresenters() {
    World world;
    QVERIFY(WriteFile(world.history(), HistoryBytes(Sample(world.cfg(), world.other()))));
    quillet::test::WriteFleet(ToStd(world.folder()), N1, N2, "2026-11-01T01:00:02+01:00");
    auto w = world.open();
    w->show();
    QTRY_COMPARE(w->lstMachines->topLevelItemCount(), 4);
    QVERIFY(w->lstMachines->isVisible() && w->cbMachine->isVisible());
    QVERIFY(!w->Table->isColumnHidden(int(HistoryColumn::Machine)));
    const auto buero = w->lstMachines->findItems(QString::fromUtf8("b\u00FCro-\u03B1"), Qt::MatchExactly);
    QCOMPARE(buero.size(), 1);
    QCOMPARE(buero[0]->text(1), FromStd(StartText(N2)));
    QCOMPARE(w->lstMachines->findItems(QStringLiteral("laptop"), Qt::MatchExactly).at(0)->text(3), QStringLiteral("SILENT"));
    w->cbMachine->setCurrentIndex(w->cbMachine->findText(QString::fromUtf8("b\u00FCro-\u03B1")));
    QCOMPARE(w->Model().rowCount(), 2);
    QCOMPARE(Column(*w, int(HistoryColumn::Machine)).first(), QString::fromUtf8("b\u00FCro-\u03B1"));
}

QTEST_MAIN(HistoryTest)
#include "tst_history.moc"
