// The scheduler window, headless: schedule file and settings, frequency controls,
// timer ticks and the Compact button with a set clock and recorded runs, the window's
// commands and its close question.
#include "scheduler/qt/fSched.h"
#include "scheduler/ScheduleGrid.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/UiTestSupport.h"

#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "widgets/qt/TEditGrid.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

using namespace quillet;
using namespace quillet::scheduler;
using quillet::scheduler::testing::MockClock;
using quillet::scheduler::testing::RecordingRunner;
using quillet::test::ScriptedDialogs;
using quillet::widgets::TEditGrid;

namespace {

Date D(int y, int m, int d) {
    return EncodeDate(y, m, d);
}

// One scheduler window over a fresh application folder.
struct Scheduler {
    test::UiWorld world; // a folder of its own and scripted dialogs
    QStringList errors;  // the reported messages (this sink replaces the world's)
    ScriptedDialogs* dialogs = &world.dialogs;
    test::RecordingHelp* help = &test::RecordingHelp::install();
    MockClock* clock = nullptr;
    RecordingRunner* runner = nullptr;
    QString compactor = QStringLiteral("/opt/q/Quillet");
    std::unique_ptr<TfrmSched> form;

    Scheduler() {
        ui::ErrorReporter::setSink([this](const QString& message, const QString&) { errors << message; });
    }
    ~Scheduler() {
        form.reset();
        ui::HelpEngine::setInstance(nullptr);
    }

    QString folder() const { return world.folder(); }
    QString schedulePath() const { return world.file(QStringLiteral("schedfile.dat")); }
    QString iniPath() const { return world.iniPath(); }

    void writeSchedule(const QByteArray& bytes) const { QVERIFY(test::WriteFile(schedulePath(), bytes)); }
    void writeIni(const QByteArray& bytes) const { QVERIFY(test::WriteFile(iniPath(), bytes)); }
    QByteArray read(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QByteArray schedule() const { return read(schedulePath()); }

    TfrmSched& create() {
        auto c = std::make_unique<MockClock>();
        c->day = D(2026, 12, 6);
        c->hour = 1;
        clock = c.get();
        auto r = std::make_unique<RecordingRunner>();
        runner = r.get();
        form = std::make_unique<TfrmSched>(SchedulerHost{folder(), [this] { return compactor; }}, nullptr,
                                           std::move(c), std::move(r));
        return *form;
    }
    // Created, then shown as the main window would show it.
    TfrmSched& createShown() {
        create();
        form->show();
        return *form;
    }

    TEditGrid& grid() const { return *form->EditGrid1; }
    QString cell(int col, int row) const { return grid().Cells(col, row); }
    void select(int row) const {
        grid().SetCurrentCell(1, row);
        form->EditGrid1Click();
    }
    void choose(int index) const {
        form->rgSched->SetItemIndex(index);
        form->rgSchedClick();
    }
    // Compact and a tick start a run and return; the window polls for its end.
    void awaitRun() const { QTRY_VERIFY_WITH_TIMEOUT(!form->Running(), 20000); }
    int questions() const {
        return static_cast<int>(
            std::count_if(dialogs->shown.begin(), dialogs->shown.end(),
                          [](const auto& s) { return s.kind == QLatin1String("question"); }));
    }
};

const QByteArray TwoEntries = "\"Nightly\"\t\"/data/a.cfg\"\t\"d|1|2026-12-05\"\r\n"
                              "\t\"/data/b b.cfg\"\t\r\n";

} // namespace

class TestFSched : public QObject {
    Q_OBJECT
private slots:
    void missingConfigurationsAreMarked();
    void scheduleFileBytes();
    void controlsReachThePresenterAndShowItsDecisions();
    void tickErrorsAreReportedAndTheTimerRunsOn();
    void textStillBeingTypedCounts();
    void titleClickSortsAndCountsAsAnEdit();
    void keyReleaseRefreshesTheFrequency();
    void helpAndClose();
};

// The Config File column as the presenter says: a configuration that is not there is
// marked, and every path shows whole in its tip.
void TestFSched::missingConfigurationsAreMarked() {
    Scheduler s;
    s.writeIni("[Defaults]\r\n");
    s.writeSchedule("\t\"/nowhere/a.cfg\"\t\r\n\t\"" + s.iniPath().toUtf8() + "\"\t\r\n");
    TfrmSched& f = s.createShown();
    QVERIFY(s.errors.isEmpty());
    QVERIFY(f.EditGrid1->IsMarked(ColConfigFile, 1));
    QVERIFY(!f.EditGrid1->IsMarked(ColConfigFile, 2));
    QCOMPARE(f.EditGrid1->TipText(ColConfigFile, 1),
             QStringLiteral("/nowhere/a.cfg") + QLatin1String(MissingNote));
    QCOMPARE(f.EditGrid1->TipText(ColConfigFile, 2), s.iniPath());
}

void TestFSched::scheduleFileBytes() {
    Scheduler s;
    s.createShown();
    TEditGrid& g = s.grid();
    g.SetRowCount(4);
    g.SetCells(1, 1, QStringLiteral("Nightly"));
    g.SetCells(2, 1, QStringLiteral("/data/a.cfg"));
    g.SetCells(3, 1, QStringLiteral("d|1|2026-12-05"));
    // Row 2 is empty and is not written.
    g.SetCells(2, 3, QStringLiteral("/data/b b.cfg"));
    s.form->SaveChanges1Click();
    QCOMPARE(s.schedule(), TwoEntries);
    QVERIFY(!g.Modified());
    QVERIFY(s.read(s.iniPath()).contains("TimerInterval=60\r\nStartTime=01\r\n"));

    // Saved and shown again: the empty row is gone.
    s.form->hide();
    s.form->show();
    QCOMPARE(g.RowCount(), 3);
    QCOMPARE(s.cell(2, 2), QStringLiteral("/data/b b.cfg"));
    QVERIFY(!g.Modified());

    // An empty table gives an empty file.
    g.DeleteRow(2);
    g.SetCurrentCell(1, 1);
    g.DeleteRow(1);
    s.form->SaveChanges1Click();
    QCOMPARE(s.schedule(), QByteArray());
    QVERIFY(s.errors.isEmpty());
}

// What the user does in each control reaches the presenter, and what it decides shows
// in the controls: the timer, the boxes and their warnings, the buttons, drops and keys.
void TestFSched::controlsReachThePresenterAndShowItsDecisions() {
    Scheduler s;
    s.writeIni("[Defaults]\r\nTimerInterval=0\r\n");
    s.writeSchedule("\"a\"\t\"/a.cfg\"\t\"w|1|2026-11-01\"\r\n\"b\"\t\"/b.cfg\"\t\r\n");
    TfrmSched& f = s.createShown();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QVERIFY(!f.Timer1->isActive());
    f.edtInterval->setText(QStringLiteral("abc"));
    f.buttons[0]->setFocus(); // Save
    f.SaveChanges1Click();
    QCOMPARE(s.dialogs->shown.back().kind, QStringLiteral("warning"));
    QVERIFY(f.edtInterval->hasFocus());
    f.edtInterval->setText(QStringLiteral("5"));
    f.SaveChanges1Click();
    QVERIFY(f.Timer1->isActive());
    QCOMPARE(f.Timer1->interval(), 300000);
    f.edtStart->setText(QStringLiteral("ab"));
    f.edtStart->setModified(true);
    QVERIFY(!f.edtStartExit());
    QCOMPARE(f.edtStart->text(), QStringLiteral("01"));

    // The Every box takes its N when the focus leaves it.
    s.select(1);
    QVERIFY(!f.Label1->isHidden() && !f.Edit1->isHidden());
    f.Edit1->setFocus();
    QTRY_VERIFY(f.Edit1->hasFocus());
    f.Edit1->selectAll();
    QTest::keyClicks(f.Edit1, QStringLiteral("3"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(f.Edit1, &out);
    QCOMPARE(s.cell(3, 1), QStringLiteral("w|3|2026-11-01"));
    s.choose(1);
    QCOMPARE(s.cell(3, 1), QStringLiteral("d|3|2026-11-01"));

    // Compact runs the selected entry, and its cell shows the day recorded.
    f.buttons[3]->click(); // Compact
    s.awaitRun();
    QCOMPARE(s.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /a.cfg"});
    QCOMPARE(s.cell(3, 1), QStringLiteral("d|3|2026-12-06"));

    f.DropFileTarget1Drop({"/d/one.cfg", "/d/two.cfg"});
    QCOMPARE(f.EditGrid1->RowCount(), 5);
    QCOMPARE(s.cell(2, 4), QStringLiteral("/d/two.cfg"));
    f.buttons[1]->click(); // insert
    QCOMPARE(f.EditGrid1->RowCount(), 6);
    QCOMPARE(f.EditGrid1->Row(), 1);
    f.buttons[2]->click(); // Delete
    QCOMPARE(f.EditGrid1->RowCount(), 5);
    QCOMPARE(s.cell(1, 1), QStringLiteral("b"));
    // Down on the last entry adds none.
    f.EditGrid1->setFocus();
    f.EditGrid1->SetCurrentCell(1, 4);
    QTest::keyClick(f.EditGrid1, Qt::Key_Down);
    QCOMPARE(f.EditGrid1->RowCount(), 5);

    // An edit in a cell makes closing ask.
    f.EditGrid1->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QWidget* editor = QApplication::focusWidget();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("X"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(s.cell(1, 1), QStringLiteral("X"));
    s.dialogs->answers.push_back(QMessageBox::No);
    f.close();
    QCOMPARE(s.questions(), 1);
    QVERIFY(!f.isVisible());
    QVERIFY(s.errors.isEmpty());
}

void TestFSched::tickErrorsAreReportedAndTheTimerRunsOn() {
    Scheduler s;
    s.writeSchedule(
        "\"bad\"\t\"/bad.cfg\"\t\"x|abc|2026-13-45\"\r\n\"good\"\t\"/good.cfg\"\t\"d|1|2026-12-01\"\r\n");
    TfrmSched& f = s.create();
    f.Timer1Timer();
    s.awaitRun();
    QVERIFY(s.errors.isEmpty()); // the bad entry was reported at loading, once
    QCOMPARE(s.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /good.cfg"});
    QVERIFY(f.Timer1->isActive());

    // The schedule file cannot be written after a run: the run stays in memory. A tick
    // arriving while the error box is open does nothing.
    s.clock->day = D(2026, 12, 7);
    QVERIFY(QFile::setPermissions(s.schedulePath(), QFileDevice::ReadOwner));
    f.EditGrid1->SetModified(true);
    ui::ErrorReporter::setSink([&](const QString& message, const QString&) {
        s.errors << message;
        f.Timer1Timer();
    });
    f.Timer1Timer();
    s.awaitRun();
    QCOMPARE(s.errors.size(), 1);
    QVERIFY(s.errors.last().startsWith(QStringLiteral("Cannot create file ")));
    QCOMPARE(s.runner->commandLines.size(), 2u);
    QCOMPARE(s.cell(3, 2), QStringLiteral("d|1|2026-12-07"));
    QVERIFY(f.EditGrid1->Modified());
    QVERIFY(f.Timer1->isActive());
}

// The user types into a cell or the N box and then, without leaving it, saves by
// button or menu, compacts, or closes the window.
void TestFSched::textStillBeingTypedCounts() {
    Scheduler s;
    s.writeSchedule(TwoEntries);
    TfrmSched& f = s.createShown();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QAction* saveItem = f.findChild<QAction*>(QStringLiteral("SaveChanges1"));
    auto typeInto = [&](int row, const QString& text) {
        f.EditGrid1->setFocus();
        f.EditGrid1->SetCurrentCell(1, row);
        QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QWidget* editor = QApplication::focusWidget();
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, text);
    };

    typeInto(1, QStringLiteral("By button"));
    QTest::mouseClick(f.buttons[0], Qt::LeftButton); // Save
    QVERIFY(s.schedule().startsWith("\"By button\"\t"));
    QVERIFY(!f.EditGrid1->Modified());

    typeInto(1, QStringLiteral("By menu"));
    saveItem->trigger();
    QVERIFY(s.schedule().startsWith("\"By menu\"\t"));
    QVERIFY(!f.EditGrid1->Modified());

    // Closing asks, and No writes nothing.
    typeInto(2, QStringLiteral("Unsaved"));
    s.dialogs->answers.push_back(QMessageBox::No);
    f.close();
    QCOMPARE(s.questions(), 1);
    QVERIFY(!s.schedule().contains("Unsaved"));

    // The N box of the daily first entry.
    f.show();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    s.select(1);
    auto enterN = [&](const QString& n) {
        f.Edit1->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.Edit1));
        QTest::keyClick(f.Edit1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(f.Edit1, n);
    };
    enterN(QStringLiteral("3"));
    saveItem->trigger();
    QVERIFY(s.schedule().contains("\"d|3|2026-12-05\"\r\n"));
    enterN(QStringLiteral("4"));
    QTest::mouseClick(f.buttons[0], Qt::LeftButton); // Save
    QVERIFY(s.schedule().contains("\"d|4|2026-12-05\"\r\n"));

    // Compact runs the path as typed.
    typeInto(1, QStringLiteral("x"));
    f.EditGrid1->SetCurrentCell(2, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QWidget* pathEditor = QApplication::focusWidget();
    QTest::keyClick(pathEditor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(pathEditor, QStringLiteral("/data/typed.cfg"));
    QTest::mouseClick(f.buttons[3], Qt::LeftButton); // Compact
    s.awaitRun();
    QCOMPARE(s.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /data/typed.cfg"});
    QVERIFY(s.schedule().contains("\"/data/typed.cfg\"\t\"d|4|2026-12-06\"\r\n"));
    QVERIFY(s.errors.isEmpty());
}

void TestFSched::titleClickSortsAndCountsAsAnEdit() {
    Scheduler s;
    s.writeSchedule("\"b\"\t\"/b.cfg\"\t\r\n\"a\"\t\"/a.cfg\"\t\"d|1|2026-12-01\"\r\n");
    TfrmSched& f = s.createShown();
    QHeaderView* titles = f.EditGrid1->horizontalHeader();
    const QPoint description(titles->sectionViewportPosition(1) + 5, titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, description);
    QCOMPARE(s.cell(1, 1), QStringLiteral("a"));
    QCOMPARE(s.cell(3, 1), QStringLiteral("d|1|2026-12-01"));
    QVERIFY(f.EditGrid1->Modified());
    s.dialogs->answers.push_back(QMessageBox::No);
    f.close();
    QCOMPARE(s.questions(), 1);

    // An N typed for the current entry stays with that entry when a title click sorts.
    f.show();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    // The first click sorts descending: b, a.
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, description);
    s.select(2); // "a", daily
    f.Edit1->setFocus();
    QTRY_VERIFY(f.Edit1->hasFocus());
    f.Edit1->selectAll();
    QTest::keyClicks(f.Edit1, QStringLiteral("5"));
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, description);
    QCOMPARE(s.cell(1, 1), QStringLiteral("a"));
    QCOMPARE(s.cell(3, 1), QStringLiteral("d|5|2026-12-01"));
    f.Edit1Exit();
    QCOMPARE(s.cell(3, 2), QString());
}

void TestFSched::keyReleaseRefreshesTheFrequency() {
    Scheduler s;
    s.writeSchedule("\"a\"\t\"/a.cfg\"\t\"w|2|2026-11-01\"\r\n\"b\"\t\"/b.cfg\"\t\"m|1|2026-11-01\"\r\n");
    TfrmSched& f = s.createShown();
    f.activateWindow();
    f.EditGrid1->setFocus();
    f.EditGrid1->SetCurrentCell(1, 1);
    QCOMPARE(f.rgSched->ItemIndex(), 2);
    QTest::keyClick(f.EditGrid1, Qt::Key_Down);
    QCOMPARE(f.EditGrid1->Row(), 2);
    QCOMPARE(f.rgSched->ItemIndex(), 3);
    // The key release alone refreshes too.
    f.EditGrid1->blockSignals(true);
    f.EditGrid1->SetCurrentCell(1, 1);
    f.EditGrid1->blockSignals(false);
    QTest::keyRelease(f.EditGrid1, Qt::Key_Shift);
    QCOMPARE(f.rgSched->ItemIndex(), 2);
    QCOMPARE(f.Edit1->text(), QStringLiteral("2"));
    // Also a key released in the cell editor.
    f.EditGrid1->blockSignals(true);
    f.EditGrid1->SetCurrentCell(1, 2);
    f.EditGrid1->blockSignals(false);
    f.EditGrid1->editItem(f.EditGrid1->item(2, 1));
    auto* editor = f.EditGrid1->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QTest::keyRelease(editor, Qt::Key_A);
    QCOMPARE(f.rgSched->ItemIndex(), 3);
}

void TestFSched::helpAndClose() {
    Scheduler s;
    TfrmSched& f = s.createShown();
    f.buttons[4]->click(); // Help
    f.findChild<QAction*>(QStringLiteral("Sheduler1"))->trigger();
    QCOMPARE(s.help->requests.size(), 2u);
    QCOMPARE(s.help->requests[0].kind, QStringLiteral("topic"));
    QCOMPARE(s.help->requests[0].topic, 190);
    // Escape closes it, as File > Close does.
    QTest::keyClick(&f, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    f.show();
    f.findChild<QAction*>(QStringLiteral("Close1"))->trigger();
    QVERIFY(!f.isVisible());
    // Closing hides; the window and its timer live on.
    QVERIFY(f.Timer1);
}

QTEST_MAIN(TestFSched)
#include "tst_fsched.moc"
