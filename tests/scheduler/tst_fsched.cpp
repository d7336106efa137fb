// The scheduler window, headless: schedule file and settings, frequency controls,
// timer ticks and the Compact button with a set clock and recorded runs, the window's
// commands and its close question.
#include "scheduler/qt/fSched.h"
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
#include <QMenuBar>
#include <QRadioButton>
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
    void layoutAndNames();
    void scheduleFileBytes();
    void loadingRules();
    void settingsDefaultsAndZeroInterval();
    void typedNumbersAreRefusedWithAPlainWarning();
    void storedBadValuesAreReportedOnceAndTheRestRuns();
    void tableNotLoadedIsNeverSavedOver();
    void leavingTheNBox();
    void tickRunsDueEntriesAndRecords();
    void tickErrorsAreReportedAndTheTimerRunsOn();
    void compactButton();
    void drops();
    void addAndDeleteEntries();
    void closeQuestion();
    void textStillBeingTypedCounts();
    void titleClickSortsAndCountsAsAnEdit();
    void showAgainAfterUnsavedClose();
    void keyReleaseRefreshesTheFrequency();
    void helpAndClose();
    void badScheduleFiles();
};

void TestFSched::layoutAndNames() {
    Scheduler s;
    TfrmSched& f = s.create();
    QCOMPARE(f.windowTitle(), QStringLiteral("Quillet Scheduler"));
    QCOMPARE(f.findChild<QWidget*>(QStringLiteral("ClientArea"))->size(), QSize(537, 358));
    const struct {
        const char* name;
        const char* caption;
        const char* hint;
        int left;
    } buttons[] = {{"BitBtn3", "Save", "Save scheduler configuration", 0},
                   {"BitBtn4", "insert", "Insert a scheduler record", 64},
                   {"BitBtn5", "Delete", "Delete selected scheduler record", 128},
                   {"BitBtn7", "Compact", "Compact database in selected scheduler configuration file", 192},
                   {"btnHelp", "Help", "Help", 256}};
    for (const auto& b : buttons) {
        auto* button = f.findChild<QToolButton*>(QLatin1String(b.name));
        QVERIFY2(button, b.name);
        QCOMPARE(button->text(), QLatin1String(b.caption));
        QCOMPARE(button->toolTip(), QLatin1String(b.hint));
        QCOMPARE(button->geometry().left(), b.left);
        QCOMPARE(button->size(), QSize(65, 57));
        // Out of the Tab order; a click takes the focus.
        QCOMPARE(button->focusPolicy(), Qt::ClickFocus);
    }
    QCOMPARE(f.EditGrid1->geometry(), QRect(0, 56, 537, 191));
    QCOMPARE(f.EditGrid1->ColCount(), 4);
    QCOMPARE(f.EditGrid1->RowCount(), 2);
    QCOMPARE(f.EditGrid1->ColWidths(1), 220);
    QCOMPARE(f.EditGrid1->ColWidths(2), 279);
    QCOMPARE(f.EditGrid1->ColWidths(3), 3);
    QCOMPARE(f.EditGrid1->NewRowOnKeyDown(), TEditGrid::kdNever);
    QCOMPARE(f.rgSched->title(), QStringLiteral("Schedule"));
    QCOMPARE(f.rgSched->ItemIndex(), 0);
    const auto radios = f.rgSched->findChildren<QRadioButton*>();
    QStringList items;
    for (auto* r : radios)
        items << r->text();
    QCOMPARE(items, (QStringList{"As &Needed", "&Daily", "&Weekly", "&Monthly"}));
    QCOMPARE(f.Label1->text(), QStringLiteral("Every"));
    QCOMPARE(f.Edit1->text(), QStringLiteral("1"));
    QCOMPARE(f.Label2->text(), QStringLiteral("Days"));
    QVERIFY(f.Label1->isHidden() && f.Edit1->isHidden() && f.Label2->isHidden());
    QCOMPARE(f.edtInterval->width(), 121);
    QCOMPARE(f.edtStart->width(), 121);

    QStringList menu;
    for (QAction* top : f.MainMenu1->actions()) {
        menu << (top->isSeparator() ? QStringLiteral("-") : top->text());
        if (top->menu())
            for (QAction* a : top->menu()->actions())
                menu << QStringLiteral("  ") + (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    QCOMPARE(menu, (QStringList{"&File", "  &Save Changes", "  -", "  &Add Row", "  &Delete Row", "  -",
                                "  &Close", "-", "&Help", "  &Sheduler"}));
    QVERIFY(f.findChild<QTimer*>(QStringLiteral("Timer1")));
    QVERIFY(!f.isVisible());
    QVERIFY(s.errors.isEmpty());
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

    // Saved and shown again: the empty row is gone, the titles are back.
    s.form->hide();
    s.form->show();
    QCOMPARE(g.RowCount(), 3);
    QCOMPARE(s.cell(1, 0), QStringLiteral("Description"));
    QCOMPARE(s.cell(2, 0), QStringLiteral("Config File"));
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

void TestFSched::loadingRules() {
    Scheduler s;
    s.writeSchedule(
        "\"Just a description\"\n\"  padded  \"\t\"/x.cfg\"\t\"w|2|2026-11-29\"\t\"extra\"\r\r\n");
    s.createShown();
    // Lone LF, CR LF and lone CR end lines; an empty line gives an empty row.
    QCOMPARE(s.grid().RowCount(), 4);
    QCOMPARE(s.cell(1, 1), QStringLiteral("Just a description"));
    QCOMPARE(s.cell(2, 1), QString());
    QCOMPARE(s.cell(1, 2), QStringLiteral("padded"));
    QCOMPARE(s.cell(3, 2), QStringLiteral("w|2|2026-11-29"));
    QCOMPARE(s.cell(1, 3), QString());
}

void TestFSched::settingsDefaultsAndZeroInterval() {
    {
        Scheduler s;
        s.writeSchedule("\"a\"\t\"/a.cfg\"\t\"d|1|2026-12-05\"\r\n");
        TfrmSched& f = s.create();
        QCOMPARE(f.edtInterval->text(), QStringLiteral("60"));
        QCOMPARE(f.edtStart->text(), QStringLiteral("01"));
        QCOMPARE(f.TimerPeriod(), 3600000);
        QVERIFY(f.TimerEnabled());
        QVERIFY(f.Timer1->isActive());
        QCOMPARE(f.Timer1->interval(), 3600000);
        QVERIFY(!f.EditGrid1->Modified());
        QVERIFY(s.errors.isEmpty());
    }
    {
        Scheduler s;
        s.writeIni("[Defaults]\r\nTimerInterval=0\r\nStartTime=3\r\n");
        s.writeSchedule("\"a\"\t\"/a.cfg\"\t\"d|1|2026-12-05\"\r\n");
        TfrmSched& f = s.create();
        QCOMPARE(f.edtStart->text(), QStringLiteral("3"));
        // On, but with a period of 0 it never fires.
        QVERIFY(f.TimerEnabled());
        QCOMPARE(f.TimerPeriod(), 0);
        QVERIFY(!f.Timer1->isActive());
        QVERIFY(s.errors.isEmpty());

        // Saving another interval starts it; the other keys of the file stay.
        s.writeIni("[Defaults]\r\nLastCfgPath=/x.cfg\r\nTimerInterval=0\r\nStartTime=3\r\n");
        f.edtInterval->setText(QStringLiteral("5"));
        f.SaveChanges1Click();
        QVERIFY(f.Timer1->isActive());
        QCOMPARE(f.Timer1->interval(), 300000);
        QCOMPARE(s.read(s.iniPath()),
                 QByteArray("[Defaults]\r\nLastCfgPath=/x.cfg\r\nTimerInterval=5\r\nStartTime=3\r\n"));
    }
}

void TestFSched::typedNumbersAreRefusedWithAPlainWarning() {
    Scheduler s;
    const QByteArray ini = "[Defaults]\r\nTimerInterval=30\r\n";
    s.writeIni(ini);
    s.writeSchedule(TwoEntries);
    TfrmSched& f = s.createShown();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    auto lastWarning = [&] {
        const auto& box = s.dialogs->shown.back();
        return box.kind == QLatin1String("warning") ? box.text : QStringLiteral("<no warning>");
    };

    // On Save, before anything is written; the focus goes to the field.
    const std::pair<const char*, const char*> intervals[] = {
        {"abc", "'abc' is not a valid Timer Interval"}, {"35792", "'35792' is not"}, {"-1", "'-1' is not"}};
    for (const auto& [text, message] : intervals) {
        f.edtInterval->setText(QString::fromLatin1(text));
        f.BitBtn3->setFocus();
        f.SaveChanges1Click();
        QVERIFY2(lastWarning().startsWith(QString::fromLatin1(message)), qPrintable(lastWarning()));
        QVERIFY(lastWarning().endsWith(QStringLiteral("from 0 to 35791 (0 stops the timer).")));
        QVERIFY(f.edtInterval->hasFocus());
    }
    f.edtInterval->setText(QStringLiteral("35791"));
    f.edtStart->setText(QStringLiteral("25"));
    f.SaveChanges1Click();
    QCOMPARE(lastWarning(), QStringLiteral("'25' is not a valid Start Time: enter a whole hour from 0 to 23."));
    QVERIFY(f.edtStart->hasFocus());
    QCOMPARE(s.read(s.iniPath()), ini);
    QCOMPARE(s.schedule(), TwoEntries);

    // Where it is entered: the Start Time box goes back to the hour in effect.
    f.edtStart->setText(QStringLiteral("ab"));
    f.edtStart->setModified(true);
    QVERIFY(!f.edtStartExit());
    QCOMPARE(lastWarning(), QStringLiteral("'ab' is not a valid Start Time: enter a whole hour from 0 to 23."));
    QCOMPARE(f.edtStart->text(), QStringLiteral("01"));
    // The N box: the entry keeps its N.
    s.select(1);
    f.Edit1->setText(QStringLiteral("x"));
    f.Edit1->setModified(true);
    QVERIFY(!f.Edit1Exit());
    QCOMPARE(lastWarning(), QStringLiteral("'x' is not a valid Every value: enter a whole number from 1."));
    QCOMPARE(s.cell(3, 1), QStringLiteral("d|1|2026-12-05"));
    QCOMPARE(f.Edit1->text(), QStringLiteral("1"));
    QVERIFY(f.Edit1->hasFocus());
    // A refused N keeps Save from writing anything.
    f.Edit1->setText(QStringLiteral("0"));
    f.Edit1->setModified(true);
    f.SaveChanges1Click();
    QCOMPARE(lastWarning(), QStringLiteral("'0' is not a valid Every value: enter a whole number from 1."));
    QCOMPARE(s.read(s.iniPath()), ini);

    // The crash box was never involved, and the timer still runs the due entry.
    QVERIFY(s.errors.isEmpty());
    f.Timer1Timer();
    QCOMPARE(s.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /data/a.cfg"});
    f.edtStart->setText(QStringLiteral("02"));
    f.SaveChanges1Click();
    QCOMPARE(s.read(s.iniPath()), QByteArray("[Defaults]\r\nTimerInterval=35791\r\nStartTime=02\r\n"));
    QCOMPARE(f.Timer1->interval(), 35791 * 60000);
}

void TestFSched::storedBadValuesAreReportedOnceAndTheRestRuns() {
    Scheduler s;
    s.writeIni("[Defaults]\r\nTimerInterval=abc\r\nStartTime=25\r\n");
    s.writeSchedule("\"bad\"\t\"/bad.cfg\"\t\"d|x|2026-12-01\"\r\n\t\"/odd.cfg\"\t\"q|1|2026-12-01\"\r\n"
                    "\"weekly\"\t\"/w.cfg\"\t\"w|0|2026-12-01\"\r\n\"good\"\t\"/good.cfg\"\t\"d|1|2026-12-01\"\r\n");
    TfrmSched& f = s.create();
    QCOMPARE(s.dialogs->shown.size(), std::size_t(1));
    const auto& box = s.dialogs->shown[0];
    QCOMPARE(box.kind, QStringLiteral("warning"));
    for (const char* part : {"TimerInterval in ", "'abc' is not a valid Timer Interval", "every 60 minutes",
                             "StartTime in ", "'25' is not a valid Start Time", "Entry 1 (bad): ", "'x' is not",
                             "Entry 2 (/odd.cfg): ", "Entry 3 (weekly): ", "'0' is not"})
        QVERIFY2(box.text.contains(QString::fromLatin1(part)), part);
    QVERIFY(!box.text.contains(QStringLiteral("Entry 4")));
    // The values stay in view to be fixed; meanwhile the defaults work.
    QCOMPARE(f.edtInterval->text(), QStringLiteral("abc"));
    QVERIFY(f.Timer1->isActive());
    QCOMPARE(f.Timer1->interval(), 3600000);

    // Ticks pass over the refused entries without a word; the good one runs.
    for (int day = 6; day <= 8; ++day) {
        s.clock->day = D(2026, 12, day);
        f.Timer1Timer();
    }
    QCOMPARE(s.runner->commandLines.size(), 3u);
    QCOMPARE(s.runner->commandLines[0], std::string("/opt/q/Quillet /good.cfg"));
    QCOMPARE(s.dialogs->shown.size(), std::size_t(1));
    QVERIFY(s.errors.isEmpty());
    QVERIFY(s.schedule().startsWith("\"bad\"\t\"/bad.cfg\"\t\"d|x|2026-12-01\"\r\n"));

    // Compact on one of them says why it does not run.
    f.EditGrid1->SetCurrentCell(1, 1);
    f.BitBtn7Click();
    QCOMPARE(s.runner->commandLines.size(), 3u);
    QCOMPARE(s.dialogs->shown.back().kind, QStringLiteral("warning"));
    QVERIFY(s.dialogs->shown.back().text.startsWith(QStringLiteral("Entry 1 cannot be compacted: ")));
    QVERIFY(s.errors.isEmpty());
}

void TestFSched::tableNotLoadedIsNeverSavedOver() {
    Scheduler s;
    // A schedule that is there but cannot be read: a plain warning, not the error box.
    QVERIFY(QDir(s.schedulePath()).mkpath(QStringLiteral(".")));
    TfrmSched& f = s.create();
    QCOMPARE(s.dialogs->shown.size(), std::size_t(1));
    QCOMPARE(s.dialogs->shown[0].kind, QStringLiteral("warning"));
    QVERIFY(s.dialogs->shown[0].text.contains(QStringLiteral("Cannot open file ") + s.schedulePath()));
    QVERIFY(f.TableNotLoaded());
    // Saving says why it does not write, and the folder stays.
    f.EditGrid1->SetCells(2, 1, QStringLiteral("/new.cfg"));
    f.SaveChanges1Click();
    QVERIFY(s.dialogs->shown.back().text.startsWith(QStringLiteral("The schedule was not saved to ")));
    QVERIFY(QFileInfo(s.schedulePath()).isDir());
    QVERIFY(s.errors.isEmpty());
}

void TestFSched::leavingTheNBox() {
    Scheduler s;
    s.writeSchedule("\"a\"\t\"/a.cfg\"\t\"w|1|2026-11-01\"\r\n\"b\"\t\"/b.cfg\"\t\r\n"
                    "\"c\"\t\"/c.cfg\"\t\"m|6|2026-11-02\"\r\n");
    TfrmSched& f = s.createShown();
    auto typeN = [&](const QString& n) {
        f.Edit1->selectAll();
        QTest::keyClicks(f.Edit1, n);
    };
    typeN(QStringLiteral("3"));
    f.Edit1Exit();
    QCOMPARE(s.cell(3, 1), QStringLiteral("w|3|2026-11-01"));

    // Leaving the box by the focus moving elsewhere in the window.
    f.activateWindow();
    f.Edit1->setFocus();
    typeN(QStringLiteral("4"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(f.Edit1, &out);
    QCOMPARE(s.cell(3, 1), QStringLiteral("w|4|2026-11-01"));

    // The current entry has no code (the controls were not refreshed): nothing changes.
    f.EditGrid1->SetCurrentCell(1, 2);
    typeN(QStringLiteral("7"));
    f.Edit1Exit();
    QCOMPARE(s.cell(3, 2), QString());
    QCOMPARE(s.cell(3, 1), QStringLiteral("w|4|2026-11-01"));

    // After a delete the box still shows the deleted entry's N; passing through it does
    // not give that N to the entry that is current now.
    s.select(1);
    f.DeleteRow1Click();
    f.DeleteRow1Click();
    QCOMPARE(s.cell(3, 1), QStringLiteral("m|6|2026-11-02"));
    QCOMPARE(f.Edit1->text(), QStringLiteral("4"));
    f.Edit1Exit();
    QCOMPARE(s.cell(3, 1), QStringLiteral("m|6|2026-11-02"));
    // An N typed and then deleted with its entry from the menu goes with it.
    f.EditGrid1->AddRow();
    f.EditGrid1->SetCells(3, 2, QStringLiteral("w|2|2026-11-03"));
    f.Edit1->setFocus();
    QTRY_VERIFY(f.Edit1->hasFocus());
    typeN(QStringLiteral("9"));
    f.findChild<QAction*>(QStringLiteral("DeleteRow1"))->trigger();
    QCOMPARE(s.cell(3, 1), QStringLiteral("w|2|2026-11-03"));
    f.Edit1Exit();
    QCOMPARE(s.cell(3, 1), QStringLiteral("w|2|2026-11-03"));
}

void TestFSched::tickRunsDueEntriesAndRecords() {
    Scheduler s;
    s.writeSchedule("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-05\"\r\n"
                    "\"x\"\t\"/data/never.cfg\"\t\r\n");
    s.compactor = QStringLiteral("/opt/my q/Quillet");
    TfrmSched& f = s.create();
    QVERIFY(f.TimerEnabled());
    // An unsaved edit in the window counts for the tick and is saved with the run.
    f.EditGrid1->SetCells(1, 2, QStringLiteral("edited"));
    f.EditGrid1->SetModified(true);
    f.Timer1Timer();
    QCOMPARE(s.runner->commandLines, std::vector<std::string>{"\"/opt/my q/Quillet\" /data/night.cfg"});
    QCOMPARE(s.cell(3, 1), QStringLiteral("d|1|2026-12-06"));
    QCOMPARE(s.schedule(), QByteArray("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-06\"\r\n"
                                      "\"edited\"\t\"/data/never.cfg\"\t\r\n"));
    QVERIFY(!f.EditGrid1->Modified());
    // An edited start hour counts as soon as it is entered, saved or not.
    s.clock->day = D(2026, 12, 20);
    s.clock->hour = 5;
    f.edtStart->setText(QStringLiteral("05"));
    f.edtStart->setModified(true);
    QVERIFY(f.edtStartExit());
    f.Timer1Timer();
    QCOMPARE(s.runner->commandLines.size(), 2u);
    QVERIFY(s.errors.isEmpty());
}

void TestFSched::tickErrorsAreReportedAndTheTimerRunsOn() {
    Scheduler s;
    s.writeSchedule(
        "\"bad\"\t\"/bad.cfg\"\t\"x|abc|2026-13-45\"\r\n\"good\"\t\"/good.cfg\"\t\"d|1|2026-12-01\"\r\n");
    TfrmSched& f = s.create();
    f.Timer1Timer();
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
    QCOMPARE(s.errors.size(), 1);
    QVERIFY(s.errors.last().startsWith(QStringLiteral("Cannot create file ")));
    QCOMPARE(s.runner->commandLines.size(), 2u);
    QCOMPARE(s.cell(3, 2), QStringLiteral("d|1|2026-12-07"));
    QVERIFY(f.EditGrid1->Modified());
    QVERIFY(f.Timer1->isActive());
}

void TestFSched::compactButton() {
    Scheduler s;
    s.writeSchedule(
        "\"a\"\t\"/a.cfg\"\t\r\n\"b\"\t\"/b.cfg\"\t\"d|1|2026-12-06\"\r\n\"c\"\t\"/c.cfg\"\t\"d|1.5|\"\r\n");
    TfrmSched& f = s.createShown();
    QCOMPARE(s.dialogs->shown.size(), std::size_t(2)); // the entry with N 1.5, at creation and showing
    // As Needed runs on demand, and has no date to record.
    f.BitBtn7Click();
    QCOMPARE(s.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /a.cfg"});
    QCOMPARE(s.cell(3, 1), QString());
    QCOMPARE(s.dialogs->shown.size(), std::size_t(2));
    QCOMPARE(s.schedule(), QByteArray("\"a\"\t\"/a.cfg\"\t\r\n\"b\"\t\"/b.cfg\"\t\"d|1|2026-12-06\"\r\n"
                                      "\"c\"\t\"/c.cfg\"\t\"d|1.5|\"\r\n"));
    s.runner->commandLines.clear();
    // A daily entry that ran today runs again and records today again.
    s.select(2);
    f.EditGrid1->SetCells(1, 1, QStringLiteral("unsaved"));
    f.EditGrid1->SetModified(true);
    f.BitBtn7->click();
    QCOMPARE(s.runner->commandLines, std::vector<std::string>{"/opt/q/Quillet /b.cfg"});
    QCOMPARE(s.cell(3, 2), QStringLiteral("d|1|2026-12-06"));
    QVERIFY(!f.EditGrid1->Modified());
    QVERIFY(s.schedule().startsWith("\"unsaved\""));
    // N that is no number: a warning, nothing runs.
    s.select(3);
    f.BitBtn7Click();
    QCOMPARE(s.runner->commandLines.size(), 1u);
    QCOMPARE(s.dialogs->shown.back().kind, QStringLiteral("warning"));
    QVERIFY(s.errors.isEmpty());
}

void TestFSched::drops() {
    Scheduler s;
    TfrmSched& f = s.createShown();
    f.DropFileTarget1Drop({"/d/one.cfg", "/d/two.cfg", "/d/three.cfg"});
    QCOMPARE(f.EditGrid1->RowCount(), 4);
    QCOMPARE(s.cell(2, 1), QStringLiteral("/d/one.cfg"));
    QCOMPARE(s.cell(2, 2), QStringLiteral("/d/two.cfg"));
    QCOMPARE(s.cell(2, 3), QStringLiteral("/d/three.cfg"));
    QCOMPARE(s.cell(3, 3), QString());
    // A last entry with a description but no path takes the path.
    f.EditGrid1->SetRowCount(5);
    f.EditGrid1->SetCells(1, 4, QStringLiteral("described"));
    f.DropFileTarget1Drop({"/d/my four.cfg"});
    QCOMPARE(f.EditGrid1->RowCount(), 5);
    QCOMPARE(s.cell(2, 4), QStringLiteral("/d/my four.cfg"));
    // Drops are no edits: closing asks nothing.
    f.close();
    QCOMPARE(s.questions(), 0);
    QVERIFY(!f.isVisible());
}

void TestFSched::addAndDeleteEntries() {
    Scheduler s;
    s.writeSchedule("\"a\"\t\"/a.cfg\"\t\"d|1|2026-12-01\"\r\n\"b\"\t\"/b.cfg\"\t\r\n");
    TfrmSched& f = s.createShown();
    // "insert" appends at the end, whatever entry is current; the current one stays.
    s.select(1);
    f.BitBtn4->click();
    QCOMPARE(f.EditGrid1->RowCount(), 4);
    QCOMPARE(f.EditGrid1->Row(), 1);
    QCOMPARE(s.cell(1, 3), QString());
    QVERIFY(f.EditGrid1->Modified());
    // Delete without a question; the controls keep showing the deleted entry.
    f.BitBtn5->click();
    QCOMPARE(f.EditGrid1->RowCount(), 3);
    QCOMPARE(s.cell(1, 1), QStringLiteral("b"));
    QCOMPARE(f.rgSched->ItemIndex(), 1);
    QVERIFY(s.dialogs->shown.empty());

    // Deleting the only entry leaves one empty entry, and closing asks.
    Scheduler t;
    t.writeSchedule("\"only\"\t\"/o.cfg\"\t\"w|1|2026-12-01\"\r\n");
    TfrmSched& g = t.createShown();
    g.DeleteRow1Click();
    QCOMPARE(g.EditGrid1->RowCount(), 2);
    QCOMPARE(t.cell(1, 1), QString());
    QCOMPARE(t.cell(3, 1), QString());
    t.dialogs->answers.push_back(QMessageBox::Yes);
    g.close();
    QCOMPARE(t.questions(), 1);
    QCOMPARE(t.dialogs->shown[0].text, QStringLiteral("Save changes?"));
    QCOMPARE(t.dialogs->shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(t.schedule(), QByteArray());
    QVERIFY(!g.isVisible());

    // Down on the last entry adds none.
    Scheduler u;
    TfrmSched& h = u.createShown();
    h.EditGrid1->SetCurrentCell(1, 1);
    QTest::keyClick(h.EditGrid1, Qt::Key_Down);
    QCOMPARE(h.EditGrid1->RowCount(), 2);
}

void TestFSched::closeQuestion() {
    Scheduler s;
    s.writeSchedule(TwoEntries);
    TfrmSched& f = s.createShown();
    // Nothing edited: no question.
    f.Close1Click();
    QCOMPARE(s.questions(), 0);
    QVERIFY(!f.isVisible());
    QCOMPARE(f.result(), int(QDialog::Accepted));

    // An in-place edit of a description, then close: asked; No writes nothing.
    f.show();
    f.EditGrid1->SetCurrentCell(1, 1);
    f.EditGrid1->editItem(f.EditGrid1->item(1, 1));
    auto* editor = f.EditGrid1->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("X"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(s.cell(1, 1), QStringLiteral("X")); // the editor commits from the event loop
    QVERIFY(f.EditGrid1->Modified());
    s.dialogs->answers.push_back(QMessageBox::No);
    f.close();
    QCOMPARE(s.questions(), 1);
    QVERIFY(!f.isVisible());
    QCOMPARE(s.schedule(), TwoEntries);

    // A tick's run in between clears Modified: closing then asks nothing.
    f.show();
    f.EditGrid1->SetCells(1, 1, QStringLiteral("changed"));
    f.EditGrid1->SetModified(true);
    s.clock->day = D(2026, 12, 6);
    f.Timer1Timer();
    f.close();
    QCOMPARE(s.questions(), 1);
    QVERIFY(s.schedule().startsWith("\"changed\""));
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
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
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
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    QVERIFY(s.schedule().contains("\"d|4|2026-12-05\"\r\n"));

    // Compact runs the path as typed.
    typeInto(1, QStringLiteral("x"));
    f.EditGrid1->SetCurrentCell(2, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QWidget* pathEditor = QApplication::focusWidget();
    QTest::keyClick(pathEditor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(pathEditor, QStringLiteral("/data/typed.cfg"));
    QTest::mouseClick(f.BitBtn7, Qt::LeftButton);
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

void TestFSched::showAgainAfterUnsavedClose() {
    Scheduler s;
    s.writeIni("[Defaults]\r\nTimerInterval=30\r\nStartTime=02\r\n");
    s.writeSchedule(TwoEntries);
    TfrmSched& f = s.createShown();
    f.EditGrid1->AddRow();
    f.EditGrid1->SetCells(1, 3, QStringLiteral("new"));
    f.EditGrid1->SetCells(1, 1, QStringLiteral("renamed"));
    f.edtInterval->setText(QStringLiteral("5"));
    f.edtStart->setText(QStringLiteral("04"));
    s.dialogs->answers.push_back(QMessageBox::No);
    f.close();
    // In memory until the next showing.
    QCOMPARE(s.cell(1, 1), QStringLiteral("renamed"));
    f.show();
    QCOMPARE(f.EditGrid1->RowCount(), 3);
    QCOMPARE(s.cell(1, 1), QStringLiteral("Nightly"));
    QCOMPARE(f.edtInterval->text(), QStringLiteral("30"));
    QCOMPARE(f.edtStart->text(), QStringLiteral("02"));
    QCOMPARE(f.EditGrid1->Row(), 1);
    QCOMPARE(f.rgSched->ItemIndex(), 1);
    QVERIFY(!f.EditGrid1->Modified());
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
    f.btnHelp->click();
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

void TestFSched::badScheduleFiles() {
    {
        // Binary garbage loads as entries; ticks report bad codes and never crash.
        Scheduler s;
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 131 + 7) % 256));
        s.writeSchedule(garbage);
        TfrmSched& f = s.createShown();
        QVERIFY(f.EditGrid1->RowCount() >= 2);
        f.Timer1Timer();
        f.BitBtn7Click();
        QCOMPARE(s.schedule(), garbage); // nothing ran, nothing was written
    }
    {
        // Thousands of entries, some bad: the good ones run, the file keeps every line.
        Scheduler s;
        QByteArray big;
        for (int i = 0; i < 3000; ++i) {
            const char* code = i % 30 == 0   ? "w|-1|"
                               : i % 30 == 1 ? "x|abc|2026-13-45"
                               : i % 30 == 2 ? "d|1|2026-12-01"
                                             : "";
            big += "\"e" + QByteArray::number(i) + "\"\t\"/c" + QByteArray::number(i) + ".cfg\"\t";
            if (*code)
                big += QByteArray("\"") + code + "\"";
            big += "\r\n";
        }
        s.writeSchedule(big);
        TfrmSched& f = s.create();
        QCOMPARE(f.EditGrid1->RowCount(), 3001);
        f.Timer1Timer();
        QCOMPARE(s.runner->commandLines.size(), 100u);
        QVERIFY(s.errors.isEmpty());
        // One box at loading, with the first few of the refused entries.
        QCOMPARE(s.dialogs->shown.size(), std::size_t(1));
        QCOMPARE(s.dialogs->shown[0].text.count(QStringLiteral("\nEntry ")), 10);
        QVERIFY(s.dialogs->shown[0].text.endsWith(QStringLiteral("\n(and 190 more)")));
        const QList<QByteArray> lines = s.schedule().split('\n');
        QCOMPARE(lines.size(), 3001); // 3000 lines and the empty rest after the last LF
        QCOMPARE(lines[0], QByteArray("\"e0\"\t\"/c0.cfg\"\t\"w|-1|\"\r"));
        QCOMPARE(lines[1], QByteArray("\"e1\"\t\"/c1.cfg\"\t\"x|abc|2026-13-45\"\r"));
        QCOMPARE(lines[2], QByteArray("\"e2\"\t\"/c2.cfg\"\t\"d|1|2026-12-06\"\r"));
    }
}

QTEST_MAIN(TestFSched)
#include "tst_fsched.moc"
