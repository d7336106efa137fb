// The scheduler window: the schedule table in its grid, each entry's frequency, the
// timer settings, and the schedule timer that runs due entries through the compactor.
// It is created hidden at start-up and lives until the program ends; its timer runs
// whether or not the window is ever shown.
#pragma once

#include "scheduler/Background.h"
#include "scheduler/ScheduleEditor.h"
#include "scheduler/ScheduleRunner.h"
#include "ui/qt/QtPrompts.h"
#include "widgets/qt/TRadioGroup.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QMenuBar;
class QTimer;
class QToolButton;

namespace quillet::ui {
class TDropFileTarget;
}
namespace quillet::widgets {
class TEditGrid;
}

namespace quillet::scheduler {

// What the scheduler window needs of the program that shows it.
struct SchedulerHost {
    QString appFolder;                            // ends with the path separator
    std::function<QString()> compactorPath;       // the main window's Quillet Path text, now
    std::shared_ptr<TriggerControl> trigger = {}; // the system's scheduler when empty
    QString programFolder = {};             // where QuilletSched lies; appFolder when empty
};

class TBackgroundPanel;

class TfrmSched : public QDialog {
    Q_OBJECT
public:
    // Runs FormCreate: loads the timer settings and the schedule, arms the timer. The
    // clock and runner default to the system's.
    explicit TfrmSched(SchedulerHost host, QWidget* parent = nullptr, std::unique_ptr<Clock> clock = nullptr,
                       std::unique_ptr<ProcessRunner> runner = nullptr);
    ~TfrmSched() override; // runs FormDestroy

    // Shows the window modally (FormShow reloads everything) until it is closed.
    int ShowModal() { return exec(); }

    QString ScheduleFilePath() const { return host_.appFolder + QString::fromLatin1(ScheduleFileName); }
    QString SettingsPath() const { return host_.appFolder + QString::fromLatin1(SettingsFileName); }

    // The timer's on/off state and period; with a period of 0 it is on but never fires.
    bool TimerEnabled() const { return timerOn_; }
    int TimerPeriod() const { return periodMs_; }
    // Whether the table holds something other than the stored schedule, because the
    // schedule file could not be read.
    bool TableNotLoaded() const { return !editor_.Loaded(); }
    // Whether a tick or Compact runs the compactor now.
    bool Running() const { return runner_.Running(); }

    // The schedule file as another program (the background check) left it; also every
    // two seconds by the watch timer.
    void NoticeFileChange();
    // Asked when the program is to end: see ScheduleRunner::CanCloseProgram. Otherwise
    // it warns once when nothing of the schedule would run while the program is closed.
    bool CanCloseProgram(std::function<void()> quit);

    // Handlers; each runs guarded, so errors go to the error reporter.
    void FormShow();
    void SaveChanges1Click();
    void rgSchedClick();
    // Leaving the N box or the Start Time box: false when the text was refused, the box
    // then back at the value in effect.
    bool Edit1Exit();
    bool edtStartExit();
    void Timer1Timer();
    void AddRow1Click();
    void DeleteRow1Click();
    void BitBtn7Click();
    void DropFileTarget1Drop(const QStringList& files);
    void EditGrid1Click();
    void EditGrid1KeyUp();
    void btnHelpClick();
    void Close1Click();

    // Controls, by their names.
    QMenuBar* MainMenu1 = nullptr;
    QFrame* Panel3 = nullptr;
    QToolButton* BitBtn3 = nullptr;
    QToolButton* BitBtn4 = nullptr;
    QToolButton* BitBtn5 = nullptr;
    QToolButton* BitBtn7 = nullptr;
    QToolButton* btnHelp = nullptr;
    widgets::TEditGrid* EditGrid1 = nullptr;
    widgets::TRadioGroup* rgSched = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Panel2 = nullptr;
    QLineEdit* edtInterval = nullptr;
    QLineEdit* edtStart = nullptr;
    QLabel* lblLastRun = nullptr; // the current entry's last run and next due time
    QTimer* Timer1 = nullptr;
    ui::TDropFileTarget* DropFileTarget1 = nullptr;
    TBackgroundPanel* panelBackground = nullptr;
    QTimer* tmrWatch = nullptr;

public slots:
    void done(int result) override; // every close passes here: FormClose, then hide

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenu();
    void FormClose();

    // The unguarded bodies of the handlers above, for use inside one.
    void loadAll();
    void saveChanges();
    void showFrequency(const QString& code);
    void showFirstEntry();
    void chooseFrequency();
    bool takeEvery();
    bool takeStart();
    void tick();

    // Reads the timer settings into their boxes and puts them into effect; what is
    // refused stays in its box and joins `problems`.
    void readTimerSettings(QStringList& problems);
    void warn(const QString& text);
    // A refused value: a plain warning naming it, and the focus to its field.
    void refuse(QLineEdit* field, const std::string& problem);
    // The grid's content into the editor, and the editor's into the grid.
    void pullGrid();
    void showEntries();
    // False when a value in the N box or the Start Time box was refused.
    bool takePendingEdits();
    // Waits for the run just started, the window's events going on meanwhile, and takes
    // its outcome; rethrows what the run threw.
    void awaitRun();
    // A tick or Compact: `start` starts a run, or says why not and gives false.
    void run(const std::function<bool()>& start);
    void checkTimer();
    int currentEntry() const; // -1 when the grid's current row is no entry
    QString currentCode() const;
    void updateLastRun();
    void setEditing(bool on);
    void showRun();

    SchedulerHost host_;
    std::shared_ptr<Clock> clock_;
    ScheduleEditor editor_;
    ScheduleRunner runner_;
    ui::QtPrompts prompts_;

    bool timerOn_ = false;
    int periodMs_ = 60 * 60000;
    bool closing_ = false;
    bool quiet_ = false; // the grid's current cell moves by our own code
};

} // namespace quillet::scheduler
