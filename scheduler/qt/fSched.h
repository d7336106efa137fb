// The scheduler window: the schedule table in its grid, each entry's frequency, the
// timer settings, and the schedule timer that runs due entries through the compactor.
// It is created hidden at start-up and lives until the program ends; its timer runs
// whether or not the window is ever shown.
#pragma once

#include "core/HistorySummary.h"
#include "scheduler/Background.h"
#include "scheduler/RunThread.h"
#include "scheduler/Schedule.h"
#include "scheduler/ScheduleFile.h"

#include <QDialog>
#include <QGroupBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QButtonGroup;
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
    QString appFolder;                      // ends with the path separator
    std::function<QString()> compactorPath; // the main window's Quillet Path text, now
    std::shared_ptr<TriggerControl> trigger = {}; // the system's scheduler when empty
    QString programFolder = {};             // where QuilletSched lies; appFolder when empty
};

class TBackgroundPanel;

// A titled group of radio items of which at most one is chosen. Setting the item from
// code is silent; only the user's choice emits itemClicked.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
    int ItemIndex() const;
    void SetItemIndex(int index);
    int ItemCount() const;
signals:
    void itemClicked(int index);

private:
    QButtonGroup* buttons_;
};

class TfrmSched : public QDialog {
    Q_OBJECT
public:
    // Runs FormCreate: loads the timer settings and the schedule, arms the timer. The
    // clock and runner default to the system's.
    explicit TfrmSched(SchedulerHost host, QWidget* parent = nullptr, std::unique_ptr<Clock> clock = nullptr,
                       std::unique_ptr<ProcessRunner> runner = nullptr);
    ~TfrmSched() override; // runs FormDestroy

    // Shows the window modally (FormShow reloads everything) until it is closed.
    int ShowModal();
    // The window created last and still alive: the one of the start-up.
    static TfrmSched* instance();

    QString ScheduleFilePath() const { return host_.appFolder + QString::fromLatin1(ScheduleFileName); }
    QString SettingsPath() const { return host_.appFolder + QString::fromLatin1(SettingsFileName); }

    // The timer's on/off state and period; with a period of 0 it is on but never fires.
    bool TimerEnabled() const { return timerOn_; }
    int TimerPeriod() const { return periodMs_; }
    // Whether the grid holds something other than the stored schedule, because the
    // schedule file could not be read.
    bool TableNotLoaded() const { return tableNotLoaded_; }
    // Whether a tick or Compact runs the compactor now.
    bool Running() const { return run_ != nullptr; }

    // The schedule file as another program (the background check) left it: taken into
    // the table whole while the table holds no unsaved change, else only the run dates
    // recorded there since it was read. Also every two seconds by the watch timer.
    void NoticeFileChange();
    // Asked when the program is to end. During a run: whether to wait for it (then
    // `quit` is called once it is recorded) or to close the windows at once and let it
    // finish (the same); false keeps the program going for now. Otherwise it warns once
    // when nothing of the schedule would run while the program is closed; true.
    bool CanCloseProgram(std::function<void()> quit);

    // Handlers; each runs guarded, so errors go to the error reporter.
    void FormShow();
    void SaveChanges1Click();
    void UpdateFreq(const QString& code);
    void rgSchedClick();
    // Leaving the N box or the Start Time box: false when the text was refused, the box
    // then back at the value in effect.
    bool Edit1Exit();
    bool edtStartExit();
    void CheckTimer();
    void Timer1Timer();
    void CompactEntry(int row, bool force);
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
    TRadioGroup* rgSched = nullptr;
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
    void FormCreate();
    void FormClose();
    void FormDestroy();

    // Reads "TimerInterval" and "StartTime" into their boxes and puts them into effect.
    // A stored value that is refused stays in its box for the user to fix, the default
    // works meanwhile, and the message joins `problems`.
    void readTimerSettings(QStringList& problems);
    // The entries whose codes cannot run, one line each.
    QStringList entryProblems() const;
    // One warning box for everything refused in what was just read.
    void reportStoredProblems(const QStringList& problems);
    // A refused value: a plain warning naming it, and the focus to its field.
    void refuse(QLineEdit* field, const std::string& problem);

    // Replaces the grid's content with the schedule file's and writes the titles.
    void reloadTable();
    void saveSchedule();
    // False when a value in the N box was refused.
    bool takePendingEdits();
    void setTimerOn(bool on);
    void setPeriod(int ms);
    bool isEntry(int row) const; // a data row of the grid
    QString currentCode() const;
    void setCurrentCode(const QString& code);
    QString todayText() const;
    void updateLastRun();
    // The table's entries, the grid's data rows in order.
    std::vector<ScheduleEntry> gridEntries() const;
    void setGridCodes(const std::vector<ScheduleEntry>& entries);
    // What the table holds that the file does not (empty entries do not count).
    bool hasUnsavedChanges() const;
    // Runs `work` on the table outside this thread, under the folder's check lock; the
    // window stays alive meanwhile but takes no edits. False when another check holds
    // the lock.
    bool runOnThread(RunThread::Work work);
    void setEditing(bool on);
    void showRun();
    std::string folder() const;

    SchedulerHost host_;
    std::shared_ptr<Clock> clock_;
    std::shared_ptr<ProcessRunner> runner_;
    std::unique_ptr<RunThread> run_;
    std::vector<ScheduleEntry> base_; // the file as the table last took it or wrote it
    std::string seen_;                // the file's bytes then
    std::function<void()> quitAfterRun_;
    bool pendingTick_ = false;
    HistoryFileCache history_;

    bool timerOn_ = false;
    int periodMs_ = 0;
    bool intervalUsable_ = false; // the period last read or saved fits the timer
    // The start hour in effect and its text: the one read, saved or left in edtStart.
    int startHour_ = 1;
    QString startText_ = QStringLiteral("01");
    bool tableNotLoaded_ = false;
    bool running_ = false; // a tick or a Compact is under way (its error box included)
    bool closing_ = false;
    bool quiet_ = false; // the grid's current cell moves by our own code
};

} // namespace quillet::scheduler
