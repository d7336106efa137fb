// The scheduler window: the schedule table in its grid, each entry's frequency, the
// timer settings, the schedule timer and the strip of the background check. It shows
// what SchedulerPresenter decides and forwards what the user does. It is created hidden
// at start-up and lives until the program ends; its timer runs whether or not the
// window is ever shown.
#pragma once

#include "scheduler/SchedulerFace.h"
#include "scheduler/SchedulerPresenter.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/QtPrompts.h"
#include "ui/qt/Text.h"
#include "widgets/qt/TEditGrid.h"
#include "widgets/qt/TRadioGroup.h"

#include <QDialog>
#include <QFrame>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class QToolButton;

namespace quillet::scheduler {

// What the scheduler window needs of the program that shows it.
struct SchedulerHost {
    QString appFolder;                            // ends with the path separator
    std::function<QString()> compactorPath;       // the main window's Quillet Path text, now
    std::shared_ptr<TriggerControl> trigger = {}; // the system's scheduler when empty
    QString programFolder = {};                   // where QuilletSched lies; appFolder when empty
};

class TfrmSched : public QDialog {
    Q_OBJECT
public:
    // Loads the timer settings and the schedule and arms the timer. The clock and runner
    // default to the system's.
    explicit TfrmSched(SchedulerHost host, QWidget* parent = nullptr, std::unique_ptr<Clock> clock = nullptr,
                       std::unique_ptr<ProcessRunner> runner = nullptr);
    ~TfrmSched() override;

    // Shows the window modally (showing reloads everything) until it is closed.
    int ShowModal() { return exec(); }

    QString ScheduleFilePath() const { return host_.appFolder + ui::FromStd(ScheduleFileName); }
    bool TimerEnabled() const { return presenter_.TimerEnabled(); }
    // A run of the window's, until its end has been shown.
    bool Running() const { return presenter_.AwaitingRun(); }

    // The schedule file as another program left it; also every two seconds.
    void NoticeFileChange() { forward(&SchedulerPresenter::NoticeFileChange); }
    bool CanCloseProgram(std::function<void()> quit) {
        return ask([&] { return presenter_.CanCloseProgram(std::move(quit)); });
    }

    // Handlers; each runs guarded, so errors go to the error reporter.
    void SaveChanges1Click() { forward(&SchedulerPresenter::Save); }
    void rgSchedClick() { ui::guarded([&] { presenter_.ChooseFrequency(rgSched->ItemIndex()); }); }
    // Leaving the N box or the Start Time box: false when the text was refused.
    bool Edit1Exit() { return ask([&] { return presenter_.LeaveEvery(); }); }
    bool edtStartExit() { return ask([&] { return presenter_.LeaveStart(); }); }
    void Timer1Timer() { forward(&SchedulerPresenter::Tick); }
    void BitBtn7Click() { forward(&SchedulerPresenter::Compact); }
    void DropFileTarget1Drop(const QStringList& files) {
        ui::guarded([&] { presenter_.Drop(ui::ToStd(files)); });
    }
    void EditGrid1Click() { forward(&SchedulerPresenter::EntryChosen); }
    void Close1Click() { done(QDialog::Accepted); }

    QToolButton* buttons[face::ButtonCount] = {}; // BitBtn3, BitBtn4, BitBtn5, BitBtn7, btnHelp
    widgets::TEditGrid* EditGrid1 = nullptr;
    widgets::TRadioGroup* rgSched = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* edtInterval = nullptr;
    QLineEdit* edtStart = nullptr;
    QLabel* lblLastRun = nullptr; // the current entry's last run and next due time
    QTimer* Timer1 = nullptr;
    // The strip of the background check: its check box, its status line, and while the
    // window runs an entry itself, which one and since when, with a busy bar.
    QCheckBox* chkBackground = nullptr;
    QLabel* lblBackground = nullptr;
    QLabel* lblRun = nullptr;
    QProgressBar* barRun = nullptr;

public slots:
    void done(int result) override; // every close passes here: the question, then hide

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class View; // the SchedulerView, drawn in these controls
    void createButtons(QWidget* client);
    void createBoxes(QWidget* client);
    void createStrip(QLayout* layout);
    void createMenu();
    void run(face::Command command);
    void forward(face::Action command);
    template <class F> bool ask(F question) { // what the presenter says; true when it throws
        bool answer = true;
        ui::guarded([&] { answer = question(); });
        return answer;
    }

    SchedulerHost host_;
    ui::QtPrompts prompts_;
    std::unique_ptr<View> view_;
    SchedulerPresenter presenter_;
    std::map<int, QAction*> items_; // by command; Compact has none
    QTimer* timers_[face::TimerCount] = {};
    bool closing_ = false;
};

} // namespace quillet::scheduler
