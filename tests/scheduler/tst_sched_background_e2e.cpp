// The scheduler window and a background check on one folder, with the real programs:
// the check that holds the folder's lock runs the due entry once, the window's tick
// meanwhile runs nothing, and afterwards the window shows the recorded date and saves
// it together with its own unsaved edit.
#include "core/CfgFile.h"
#include "core/Include.h"
#include "scheduler/qt/fSched.h"
#include "tests/support/BinDir.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/UiTestSupport.h"
#include "widgets/qt/TEditGrid.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

using namespace quillet;
using namespace quillet::scheduler;
using quillet::scheduler::testing::NoTrigger;

namespace {

QString BinDir() {
    return QString::fromStdString(test::BinDir());
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSchedBackground : public QObject {
    Q_OBJECT
private slots:
    void windowAndBackgroundCheckShareOneFolder();
};

void TestSchedBackground::windowAndBackgroundCheckShareOneFolder() {
    test::UiWorld world;
    const QString app = world.folder();
    const QString engine = world.file(QStringLiteral("engine/"));
    QVERIFY(QDir().mkpath(engine));
    QVERIFY(QFile::copy(BinDir() + QStringLiteral("QuilletSched"), app + QStringLiteral("QuilletSched")));
    QVERIFY(QFile::copy(BinDir() + QStringLiteral("Quillet"), app + QStringLiteral("Quillet")));
    QVERIFY(QFile::copy(QStringLiteral(SLOW_ENGINE), engine + QStringLiteral("engine")));
    QVERIFY(test::WriteFile(engine + QStringLiteral("delay.txt"), "1500"));
    QVERIFY(test::WriteFile(world.file(QStringLiteral("night.db")), "data"));
    CfgValues cfg;
    cfg.accessPath = test::ToStd(engine + QStringLiteral("engine"));
    cfg.compactFiles = {test::ToStd(world.file(QStringLiteral("night.db")))};
    const std::string cfgPath = test::ToStd(world.file(QStringLiteral("night.cfg")));
    WriteCfgFile(cfgPath, cfg);

    const SystemClock clock;
    const QByteArray today = QByteArray::fromStdString(DateToDashText(clock.today()));
    const QByteArray yesterday = QByteArray::fromStdString(DateToDashText(clock.today() - 1));
    const QByteArray path = QByteArray::fromStdString(cfgPath);
    QVERIFY(test::WriteFile(world.file(QStringLiteral("schedfile.dat")),
                            "\"Nightly\"\t\"" + path + "\"\t\"d|1|" + yesterday + "\"\r\n\"Spare\"\t\"/spare.cfg\"\t\r\n"));
    QVERIFY(test::WriteFile(world.iniPath(), "[Defaults]\r\nStartTime=" + QByteArray::number(clock.hourNow()) + "\r\n"));

    TfrmSched f(SchedulerHost{app, [&] { return app + QStringLiteral("Quillet"); }, std::make_shared<NoTrigger>()});
    f.EditGrid1->SetCells(1, 2, QStringLiteral("Spare, edited"));
    f.EditGrid1->SetModified(true);

    QProcess check;
    check.start(app + QStringLiteral("QuilletSched"), {QStringLiteral("--due")});
    QVERIFY(check.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(engine + QStringLiteral("calls.txt")), 10000);
    f.edtStart->setText(QString::number(clock.hourNow()));
    f.Timer1Timer(); // the check holds the folder's lock: this tick runs nothing
    QVERIFY(check.waitForFinished(20000));
    QCOMPARE(check.exitCode(), 0);

    f.NoticeFileChange();
    QCOMPARE(f.EditGrid1->Cells(3, 1), QString::fromLatin1("d|1|" + today));
    QCOMPARE(f.EditGrid1->Cells(1, 2), QStringLiteral("Spare, edited"));
    QVERIFY(f.EditGrid1->Modified());
    f.SaveChanges1Click();
    QCOMPARE(Read(world.file(QStringLiteral("schedfile.dat"))),
             "\"Nightly\"\t\"" + path + "\"\t\"d|1|" + today + "\"\r\n\"Spare, edited\"\t\"/spare.cfg\"\t\r\n");
    f.Timer1Timer(); // ran today: not due again
    QCOMPARE(Read(engine + QStringLiteral("calls.txt")).count('\n'), 1);
    QVERIFY(world.reports.empty());
}

QTEST_MAIN(TestSchedBackground)
#include "tst_sched_background_e2e.moc"
