// The scheduler window as the administrator's start-up creates it, and one scheduled
// compaction from end to end: the window's tick starts the real compactor, which runs
// the real stand-in engine on a real SQLite file.
#include "scheduler/qt/fSched.h"
#include "tests/admin/AdminTestSupport.h"

#include "admin/qt/Startup.h"
#include "admin/qt/fCfgMain.h"
#include "core/CfgFile.h"
#include "core/Include.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"
#include "widgets/qt/TEditGrid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <sqlite3.h>

using namespace quillet;
using namespace quillet::scheduler;

namespace {

QString binDir() {
    const QString env = qEnvironmentVariable("QUILLET_BIN_DIR");
    if (!env.isEmpty())
        return QDir(env).absolutePath() + QLatin1Char('/');
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")).absolutePath() +
           QLatin1Char('/');
}

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Pages on the file's free list: a 4-byte big-endian count at offset 36 of the header.
quint32 freePages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0xFFFFFFFF;
    const QByteArray header = f.read(100);
    if (header.size() < 40)
        return 0xFFFFFFFF;
    return (quint32(quint8(header[36])) << 24) | (quint32(quint8(header[37])) << 16) |
           (quint32(quint8(header[38])) << 8) | quint32(quint8(header[39]));
}

} // namespace

class TestSchedEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void startupAndSchedulingCommand();
    void tickCompactsTheDueEntry();
};

void TestSchedEndToEnd::startupAndSchedulingCommand() {
    admin::test::AdminWorld s;
    QStringList errors;
    ui::ErrorReporter::setSink([&](const QString& message, const QString&) { errors << message; });
    QVERIFY(test::WriteFile(s.file("schedfile.dat"), "\"a\"\t\"/a.cfg\"\t\"w|1|2026-12-01\"\r\n"));
    auto windows = admin::CreateWindows(s.programPath());
    TfrmSched* sched = windows->frmSched.get();
    QVERIFY(sched);
    QCOMPARE(sched->ScheduleFilePath(), s.file("schedfile.dat"));
    // Hidden, with the schedule loaded and the timer armed.
    QVERIFY(!sched->isVisible());
    QCOMPARE(sched->EditGrid1->Cells(2, 1), QStringLiteral("/a.cfg"));
    QVERIFY(sched->Timer1->isActive());
    QVERIFY(errors.isEmpty());

    admin::TForm1& main = *windows->Form1;
    auto* button = main.findChild<QToolButton*>(QStringLiteral("BitBtn5"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Schedule"));
    QCOMPARE(button->toolTip(), QStringLiteral("Show scheduler configuration screen"));
    auto* item = main.findChild<QAction*>(QStringLiteral("Scheduling1"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("S&cheduling"));

    // Both show the window modally, reloaded; closing hides it again.
    int shown = 0;
    auto closeWhenShown = [&] {
        QTimer::singleShot(0, sched, [&] {
            if (sched->isVisible() && sched->isModal() && sched->EditGrid1->Cells(1, 0) == "Description")
                ++shown;
            sched->Close1Click();
        });
    };
    closeWhenShown();
    button->click();
    QVERIFY(!sched->isVisible());
    closeWhenShown();
    item->trigger();
    QVERIFY(!sched->isVisible());
    QCOMPARE(shown, 2);
    QVERIFY(sched->Timer1->isActive());
    windows.reset();
}

void TestSchedEndToEnd::tickCompactsTheDueEntry() {
    const QString bin = binDir();
    for (const char* program : {"Quillet", "QuilletEngine"}) {
        if (!QFileInfo::exists(bin + QLatin1String(program)))
            QSKIP(
                qPrintable(QStringLiteral("%1 is not built yet (looked in %2); the end-to-end test needs the "
                                          "compactor and the stand-in engine")
                               .arg(QLatin1String(program), bin)));
    }

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    // Blanks in every path: the command line must keep each path whole.
    const QString app = tmp.path() + QStringLiteral("/app folder/");
    const QString data = tmp.path() + QStringLiteral("/data files/");
    QVERIFY(QDir().mkpath(app));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QFile::copy(bin + QStringLiteral("Quillet"), app + QStringLiteral("Quillet")));

    // A database with many free pages.
    const QString dbPath = data + QStringLiteral("orders db.sqlite");
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(dbPath.toLocal8Bit().constData(), &db), SQLITE_OK);
    QVERIFY(exec(db, "PRAGMA auto_vacuum=NONE; CREATE TABLE t(x BLOB);"));
    QVERIFY(exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000) "
                     "INSERT INTO t SELECT randomblob(1000) FROM n;"));
    QVERIFY(exec(db, "DELETE FROM t WHERE rowid > 100;"));
    sqlite3_close(db);
    const qint64 sizeBefore = QFileInfo(dbPath).size();
    QVERIFY(freePages(dbPath) > 100);

    const QString cfgPath = data + QStringLiteral("night run.cfg");
    CfgValues cfg;
    cfg.accessPath = (bin + QStringLiteral("QuilletEngine")).toLocal8Bit().toStdString();
    cfg.compactFiles = {dbPath.toLocal8Bit().toStdString()};
    cfg.description = "end to end";
    WriteCfgFile(cfgPath.toLocal8Bit().toStdString(), cfg);

    // A daily entry that last ran yesterday, and the start hour now.
    const SystemClock clock;
    const Date today = clock.today();
    const QByteArray yesterday = QByteArray::fromStdString(DateToDashText(today - 1));
    const QByteArray todayText = QByteArray::fromStdString(DateToDashText(today));
    QVERIFY(test::WriteFile(app + QStringLiteral("schedfile.dat"),
                            "\"Nightly\"\t\"" + cfgPath.toLocal8Bit() + "\"\t\"d|1|" + yesterday + "\"\r\n"));
    QVERIFY(test::WriteFile(
        app + QStringLiteral("Quillet.ini"),
        "[Defaults]\r\nTimerInterval=60\r\nStartTime=" + QByteArray::number(clock.hourNow()) + "\r\n"));

    test::ScriptedDialogs::install();
    QStringList errors;
    ui::ErrorReporter::setSink([&](const QString& message, const QString&) { errors << message; });
    // The administrator's own start-up: the scheduler reads AppFolder and the Quillet
    // Path field (by default the compactor next to the administrator) from the main window.
    auto windows = admin::CreateWindows(app + QStringLiteral("QuilletAdmin"));
    QCOMPARE(windows->Form1->QuilletPathText(), app + QStringLiteral("Quillet"));
    TfrmSched& f = *windows->frmSched;
    QVERIFY(!f.isVisible());
    QVERIFY(f.TimerEnabled());
    QVERIFY(f.Timer1->isActive());
    f.EditGrid1->SetModified(true); // as if the user had edited the table meanwhile
    // The hour may have turned since the settings were written.
    f.edtStart->setText(QString::number(clock.hourNow()));
    f.Timer1Timer();
    QTRY_VERIFY_WITH_TIMEOUT(!f.Running(), 60000); // the tick returns; the window polls for the end

    QCOMPARE(errors, QStringList());
    QCOMPARE(freePages(dbPath), 0u);
    QVERIFY2(QFileInfo(dbPath).size() < sizeBefore / 4, "the database was not compacted");
    QVERIFY(!QFileInfo::exists(app + QStringLiteral("error.log")));
    QCOMPARE(f.EditGrid1->Cells(3, 1), QString::fromLatin1("d|1|" + todayText));
    QFile schedule(app + QStringLiteral("schedfile.dat"));
    QVERIFY(schedule.open(QIODevice::ReadOnly));
    QCOMPARE(schedule.readAll(),
             "\"Nightly\"\t\"" + cfgPath.toLocal8Bit() + "\"\t\"d|1|" + todayText + "\"\r\n");
    QVERIFY(!f.EditGrid1->Modified());

    windows.reset();
    ui::ErrorReporter::setSink(nullptr);
    ui::Dialogs::setInstance(nullptr);
}

QTEST_MAIN(TestSchedEndToEnd)
#include "tst_sched_e2e.moc"
