// The scheduler window while a run goes on and beside a background check: the window
// stays alive and says what runs, a close asks, and the schedule file that the
// background check rewrites loses neither its run dates nor the window's edits.
#include "scheduler/qt/fSched.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/UiTestSupport.h"
#include "widgets/qt/TEditGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace quillet;
using namespace quillet::scheduler;
using namespace quillet::scheduler::testing;

namespace {

Date D(int y, int m, int d) {
    return EncodeDate(y, m, d);
}

class FakeTrigger final : public TriggerControl {
public:
    bool installed = false;
    bool fails = false;
    int installs = 0;
    TriggerResult install(const BackgroundTarget&) override {
        ++installs;
        installed = !fails;
        return {!fails, fails ? "systemctl --user enable --now failed: no bus" : "Installed."};
    }
    TriggerResult uninstall(const BackgroundTarget&) override {
        installed = false;
        return {true, "Removed."};
    }
    TriggerStatus query(const BackgroundTarget&) override {
        TriggerStatus s;
        s.installed = installed;
        s.kind = "systemd user timer";
        s.runsLoggedOut = false;
        s.loggedOutHint = "loginctl enable-linger tester";
        return s;
    }
};

struct Window {
    test::UiWorld world;
    std::shared_ptr<FakeTrigger> trigger = std::make_shared<FakeTrigger>();
    MockClock* clock = nullptr;
    std::unique_ptr<TfrmSched> form;

    QString schedulePath() const { return world.file(QStringLiteral("schedfile.dat")); }
    QByteArray schedule() const {
        QFile f(schedulePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    TfrmSched& create(const QByteArray& scheduleBytes, std::unique_ptr<ProcessRunner> runner) {
        [&] { QVERIFY(test::WriteFile(schedulePath(), scheduleBytes)); }();
        auto c = std::make_unique<MockClock>();
        c->day = D(2026, 12, 6);
        c->hour = 1;
        clock = c.get();
        form = std::make_unique<TfrmSched>(
            SchedulerHost{world.folder(), [] { return QStringLiteral("/opt/q/Quillet"); }, trigger}, nullptr,
            std::move(c), std::move(runner));
        return *form;
    }
    QString cell(int col, int row) const { return form->EditGrid1->Cells(col, row); }
};

const QByteArray Two = "\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-05\"\r\n"
                       "\"m\"\t\"/data/month.cfg\"\t\"m|1|2026-11-01\"\r\n";

} // namespace

class TestFSchedRun : public QObject {
    Q_OBJECT
private slots:
    void windowStaysAliveAndShowsTheRun();
    void closingDuringARunWaitsOrLetsItFinish();
    void backgroundDatesReachTheWindowAndItsSave();
    void backgroundCheckBoxAndExitWarning();
};

void TestFSchedRun::windowStaysAliveAndShowsTheRun() {
    Window w;
    auto held = std::make_unique<HeldRunner>();
    HeldRunner& runner = *held;
    TfrmSched& f = w.create(Two, std::move(held));
    f.show();
    // What the window showed while the compactor worked, seen from a timer of its own.
    bool seen = false, running = false, busy = false, gridLocked = false;
    QString shown;
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] {
        if (seen || runner.runs == 0 ||
            !f.lblRun->text().startsWith(QStringLiteral("Running:")))
            return;
        seen = true;
        running = f.Running();
        shown = f.lblRun->text();
        busy = f.barRun->isVisible();
        gridLocked = !f.EditGrid1->isEnabled() && !f.buttons[3]->isEnabled();
        f.repaint();
        f.BitBtn7Click(); // nothing that would start a second run
        f.Timer1Timer();  // a tick waits for the run's end
        runner.release = true;
    });
    probe.start(10);
    QTimer::singleShot(20000, [&] { runner.release = true; }); // never hang the suite
    f.Timer1Timer(); // starts the run and returns; the window polls for its end
    QTRY_VERIFY_WITH_TIMEOUT(seen && !f.Running(), 25000);
    QVERIFY(running);
    QVERIFY2(shown.startsWith(QStringLiteral("Running: n (/data/night.cfg), since ")), qPrintable(shown));
    QVERIFY(busy);
    QVERIFY(gridLocked);
    QCOMPARE(runner.runs.load(), 2); // both due entries once; the waiting tick found nothing due
    QVERIFY(!f.Running());
    QVERIFY(f.EditGrid1->isEnabled());
    QVERIFY(!f.lblRun->isVisible());
    QCOMPARE(w.cell(3, 1), QStringLiteral("d|1|2026-12-06"));
    QCOMPARE(w.schedule(), QByteArray("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-06\"\r\n"
                                      "\"m\"\t\"/data/month.cfg\"\t\"m|1|2026-12-06\"\r\n"));
    QVERIFY(w.world.reports.empty());
}

void TestFSchedRun::closingDuringARunWaitsOrLetsItFinish() {
    // No: the windows close now, the run is recorded, then the program ends.
    Window w;
    auto held = std::make_unique<HeldRunner>();
    HeldRunner& runner = *held;
    TfrmSched& f = w.create(Two, std::move(held));
    f.show();
    int quits = 0;
    bool closed = true, visible = true;
    QTimer::singleShot(30, [&] {
        w.world.dialogs.answers = {QMessageBox::No};
        closed = f.CanCloseProgram([&] { ++quits; });
        visible = f.isVisible();
        runner.release = true;
    });
    f.EditGrid1->SetCurrentCell(1, 1);
    f.BitBtn7Click();
    QVERIFY(f.Running());
    // The program ends only after the run has been recorded.
    QTRY_COMPARE_WITH_TIMEOUT(quits, 1, 20000);
    QVERIFY(!closed);
    QVERIFY(!visible);
    QVERIFY(w.world.dialogs.shown.front().text.contains(QStringLiteral("Running: n (/data/night.cfg)")));
    QCOMPARE(w.cell(3, 1), QStringLiteral("d|1|2026-12-06"));
}

void TestFSchedRun::backgroundDatesReachTheWindowAndItsSave() {
    Window w;
    TfrmSched& f = w.create(Two, std::make_unique<RecordingRunner>());
    // Shown, with the cell editor open over an entry and nothing typed into it.
    f.show();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.EditGrid1->setFocus();
    f.EditGrid1->SetCurrentCell(1, 1);
    QTRY_VERIFY(f.EditGrid1->Editing());
    f.EditGrid1->SetCells(1, 2, QStringLiteral("edited"));
    QVERIFY(test::WriteFile(w.schedulePath(), "\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-06\"\r\n"
                                              "\"m\"\t\"/data/month.cfg\"\t\"m|1|2026-11-01\"\r\n"));
    f.NoticeFileChange();
    QCOMPARE(w.cell(1, 2), QStringLiteral("edited"));
    QCOMPARE(w.cell(3, 1), QStringLiteral("d|1|2026-12-06"));
    QVERIFY(w.world.reports.empty());
}

void TestFSchedRun::backgroundCheckBoxAndExitWarning() {
    Window w;
    TfrmSched& f = w.create(Two, std::make_unique<RecordingRunner>());
    f.show();
    QVERIFY(!f.chkBackground->isChecked());
    QVERIFY(f.lblBackground->text().startsWith(QStringLiteral("Not installed")));

    // Entries have a frequency, nothing is installed: the exit says so.
    w.world.dialogs.answers = {QMessageBox::No};
    QVERIFY(f.CanCloseProgram({}));
    QCOMPARE(w.world.dialogs.shown.size(), 1u);
    QVERIFY(w.world.dialogs.shown[0].text.contains(QStringLiteral("nothing of the schedule runs")));

    w.trigger->fails = true;
    f.chkBackground->click();
    QVERIFY(!f.chkBackground->isChecked());
    QCOMPARE(w.world.dialogs.shown.back().kind, QStringLiteral("warning"));
    w.trigger->fails = false;
    f.chkBackground->click();
    QVERIFY(f.chkBackground->isChecked());
    QVERIFY2(
        f.lblBackground->text().contains(QStringLiteral("loginctl enable-linger tester")),
        qPrintable(f.lblBackground->text()));
    QCOMPARE(w.trigger->installs, 2);
}

QTEST_MAIN(TestFSchedRun)
#include "tst_fsched_run.moc"
