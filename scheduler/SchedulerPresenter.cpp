#include "scheduler/SchedulerPresenter.h"

#include "core/AdminSettings.h"
#include "core/Include.h"
#include "platform/Files.h"
#include "platform/Programs.h"

#include <algorithm>
#include <utility>

namespace quillet::scheduler {

using Box = SchedulerView::Box;

SchedulerPresenter::SchedulerPresenter(SchedulerView& view, ui::Prompts& prompts, SchedulerSetup setup,
                                       std::unique_ptr<Clock> clock, std::unique_ptr<ProcessRunner> runner)
    : view_(view), prompts_(prompts), setup_(std::move(setup)),
      clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()), editor_(setup_.folder, *clock_),
      runner_(editor_, setup_.folder, clock_,
              runner ? std::shared_ptr<ProcessRunner>(std::move(runner)) : std::make_shared<SystemProcessRunner>(),
              [this] { return setup_.compactorPath ? setup_.compactorPath() : std::string(); }),
      trigger_(setup_.trigger ? setup_.trigger : std::make_shared<SystemTriggerControl>()),
      target_{setup_.folder,
              (setup_.programFolder.empty() ? setup_.folder : setup_.programFolder) + platform::SchedProgramName} {}

// ---- Settings and the schedule file ----

void SchedulerPresenter::Create() {
    loadAll();
}

void SchedulerPresenter::loadAll() {
    std::string problems;
    const auto add = [&](const std::string& problem) { problems += (problems.empty() ? "" : "\n\n") + problem; };
    const AdminSettings settings(setup_.folder);
    const StoredTimer stored = settings.Timer();
    view_.showText(Box::Interval, stored.interval);
    view_.showText(Box::Start, stored.startTime);
    // An unattended schedule keeps running on the defaults rather than stopping.
    const EffectiveTimer timer = EffectiveTimerSettings(stored, settings.Path());
    for (const auto& problem : {timer.intervalProblem, timer.startProblem})
        if (problem)
            add(*problem);
    periodMs_ = timer.intervalMinutes * 60000;
    runner_.SetStart(timer.startHour, timer.startText);

    if (const auto unreadable = editor_.Load())
        add(*unreadable);
    showEntries();
    checkTimer();
    if (const std::string entries = editor_.EntryProblemsText(); !entries.empty())
        add(entries);
    // One warning for everything refused in what was just read.
    if (!problems.empty())
        warn(problems);
}

void SchedulerPresenter::Show() {
    refreshBackground();
    // During a run the table is the run's; it is reloaded at the next showing.
    if (runner_.Running())
        return;
    loadAll();
    selectEntry(0);
    showFrequency(view_.currentEntry());
}

void SchedulerPresenter::selectEntry(int entry) {
    const ui::Telling telling(telling_);
    view_.selectEntry(entry);
}

void SchedulerPresenter::refuse(Box box, const std::string& problem) {
    warn(problem + ".");
    view_.focus(box);
}

void SchedulerPresenter::pullGrid() {
    if (runner_.Running())
        return; // the grid takes no edits meanwhile; the run's outcome replaces the table
    // A cell that still shows the editor's text keeps the editor's bytes.
    const std::vector<ScheduleEntry>& known = editor_.Entries();
    std::vector<ScheduleEntry> entries = view_.gridEntries();
    for (std::size_t i = 0; i < entries.size() && i < known.size(); ++i)
        for (auto field : {&ScheduleEntry::description, &ScheduleEntry::configPath, &ScheduleEntry::code})
            if (entries[i].*field == view_.asShown(known[i].*field))
                entries[i].*field = known[i].*field;
    editor_.TakeEdits(std::move(entries), view_.gridModified());
}

void SchedulerPresenter::showEntries() {
    std::vector<bool> missing;
    for (const ScheduleEntry& e : editor_.Entries())
        missing.push_back(!e.configPath.empty() && !platform::FileExists(e.configPath));
    const ui::Telling telling(telling_);
    view_.showEntries(editor_.Entries(), editor_.Modified(), missing);
}

// Text still in the cell editor or a box counts for the command at hand, whatever has
// the focus: a command from the menu leaves it where it was.
bool SchedulerPresenter::takePendingEdits() {
    if (!takeStart() || !takeEvery())
        return false;
    pullGrid();
    return true;
}

void SchedulerPresenter::Save() {
    saveChanges();
}

bool SchedulerPresenter::saveChanges() {
    if (!takePendingEdits())
        return false;
    const auto timer = runner_.SaveTimer(view_.text(Box::Interval), view_.text(Box::Start));
    if (timer.refused != ScheduleRunner::TimerSave::None) {
        refuse(timer.refused == ScheduleRunner::TimerSave::Interval ? Box::Interval : Box::Start, timer.message);
        return false;
    }
    if (!timer.written)
        warn(timer.message); // the table is saved all the same
    periodMs_ = timer.intervalMinutes * 60000;

    const ScheduleEditor::SaveOutcome saved = editor_.Save();
    showEntries();
    checkTimer();
    if (saved.result == ScheduleEditor::SaveResult::Refused) {
        warn(saved.message);
        return false;
    }
    if (saved.result == ScheduleEditor::SaveResult::Reloaded) {
        selectEntry(0);
        showFrequency(view_.currentEntry());
        prompts_.inform(Caption, (timer.written ? "The timer settings were saved. " : "") + saved.message);
    }
    return true;
}

// ---- Frequency of the current entry ----

// Shows the entry's frequency. An entry's own N goes into the N box, so that showing it
// never rewrites it; a code of another letter shows As Needed and is emptied.
void SchedulerPresenter::showFrequency(int entry) {
    const bool known = entry >= 0 && entry < static_cast<int>(editor_.Entries().size());
    const std::string code = known ? editor_.Entries()[static_cast<std::size_t>(entry)].code : std::string();
    const int index = FrequencyIndex(code);
    const std::string every = GetField(code, CodeSeparator, 1);
    showChoice(index, every);
    if (known) {
        editor_.ChooseFrequency(entry, index, every);
        showEntries();
    }
    updateStatus();
}

// The N box shows for a frequency with an N, in that frequency's unit.
void SchedulerPresenter::showChoice(int index, const std::string& every) {
    const bool counted = index >= 1 && index < FrequencyCount;
    view_.showFrequency(index, counted ? std::optional(SchedulerView::Every{every, Frequencies[index].unit})
                                       : std::nullopt);
}

void SchedulerPresenter::EntryChosen() {
    if (telling_ || runner_.Running())
        return;
    pullGrid();
    showFrequency(view_.currentEntry());
}

void SchedulerPresenter::ChooseFrequency(int index) {
    pullGrid();
    const int entry = view_.currentEntry();
    const bool known = entry >= 0 && entry < static_cast<int>(editor_.Entries().size());
    if (known) {
        editor_.ChooseFrequency(entry, index);
        showEntries();
    }
    showChoice(index, known ? editor_.ShownEvery(entry) : std::string("1"));
    updateStatus();
}

bool SchedulerPresenter::LeaveEvery() {
    return takeEvery();
}

bool SchedulerPresenter::takeEvery() {
    // Only what the user typed is written: after a delete or a sort the box can still
    // show another entry's N, which merely passing through the box must not copy.
    const auto typed = view_.takeTyped(Box::Every);
    if (!typed)
        return true;
    pullGrid();
    const int entry = view_.currentEntry();
    if (entry < 0 || entry >= static_cast<int>(editor_.Entries().size()))
        return true;
    if (const auto problem = editor_.SetEvery(entry, *typed)) {
        view_.showText(Box::Every, editor_.ShownEvery(entry));
        refuse(Box::Every, *problem);
        return false;
    }
    showEntries();
    updateStatus();
    return true;
}

bool SchedulerPresenter::LeaveStart() {
    return takeStart();
}

bool SchedulerPresenter::takeStart() {
    const auto typed = view_.takeTyped(Box::Start);
    if (!typed)
        return true;
    if (const auto problem = runner_.EnterStart(*typed)) {
        view_.showText(Box::Start, runner_.StartText());
        refuse(Box::Start, *problem);
        return false;
    }
    return true;
}

void SchedulerPresenter::updateStatus() {
    const int entry = view_.currentEntry();
    const bool known = entry >= 0 && entry < static_cast<int>(editor_.Entries().size());
    view_.showStatus(known ? runner_.EntryStatus(entry) : std::string());
}

// ---- Timer and runs ----

void SchedulerPresenter::checkTimer() {
    timerOn_ = editor_.AnyFrequency();
    // A period of 0 never fires; a timer that runs at its period keeps its countdown, so
    // that showing the window or saving never puts a tick off.
    const int period = timerOn_ && periodMs_ > 0 ? periodMs_ : 0;
    if (period != armedMs_) {
        armedMs_ = period;
        view_.armTimer(period);
    }
}

void SchedulerPresenter::begin(ScheduleRunner::Start start) {
    if (start != ScheduleRunner::Start::Started)
        return;
    awaiting_ = true;
    showRunning(true);
    view_.armPoll(PollMilliseconds);
}

void SchedulerPresenter::showRunning(bool running) {
    view_.showRun(running ? runner_.ProgressText() : std::string());
    for (const SchedulerView::Control control : LockedDuringRun)
        view_.enable(control, !running);
}

void SchedulerPresenter::Tick() {
    pullGrid();
    begin(runner_.Tick());
}

void SchedulerPresenter::Compact() {
    if (runner_.State() != RunState::Idle || !takePendingEdits())
        return;
    const int entry = view_.currentEntry();
    if (entry < 0 || entry >= static_cast<int>(editor_.Entries().size()))
        return;
    if (const auto problem = editor_.CompactProblem(entry)) {
        warn(*problem);
        return;
    }
    const ScheduleRunner::Start start = runner_.Compact(entry);
    if (start == ScheduleRunner::Start::Held)
        prompts_.inform(Caption, BackgroundCheckBusyText);
    begin(start);
}

void SchedulerPresenter::PollRun() {
    if (!awaiting_)
        return;
    view_.showRun(runner_.ProgressText());
    std::optional<ScheduleRunner::Ended> ended = runner_.Poll();
    if (!ended)
        return;
    awaiting_ = false;
    view_.armPoll(0);
    if (!dropped_.empty())
        editor_.AddFiles(std::exchange(dropped_, {}));
    showEntries();
    showRunning(false);
    updateStatus();
    if (!ended->notice.empty())
        warn(ended->notice);
    if (ended->error)
        view_.fault(ended->error);
    // A tick that came during the run (not during its error box) runs now, unless the
    // program ends: that comes last, after everything the run had to say.
    const bool tickWaited = runner_.FinishEnding();
    if (ended->quit)
        ended->quit();
    else if (tickWaited)
        Tick();
}

// ---- Window commands ----

void SchedulerPresenter::AddRow() {
    pullGrid();
    editor_.AddEntry();
    showEntries();
}

void SchedulerPresenter::DeleteRow() {
    if (!takePendingEdits()) // an N typed for the entry goes with it, not to the next one
        return;
    const int entry = view_.currentEntry();
    if (entry < 0 || entry >= static_cast<int>(editor_.Entries().size()))
        return;
    editor_.DeleteEntry(entry);
    showEntries();
    selectEntry(std::min(entry, static_cast<int>(editor_.Entries().size()) - 1));
}

void SchedulerPresenter::Drop(const std::vector<std::string>& files) {
    if (runner_.Running()) {
        dropped_.insert(dropped_.end(), files.begin(), files.end());
        return;
    }
    pullGrid();
    editor_.AddFiles(files);
    showEntries();
}

void SchedulerPresenter::NoticeFileChange() {
    // A cell or an N being typed keeps its text: the file is looked at again later.
    if (runner_.Running() || view_.typing() || view_.holdsTyped(Box::Every))
        return;
    pullGrid();
    if (editor_.NoticeFileChange() == ScheduleEditor::FileChange::None)
        return;
    showEntries();
    checkTimer();
    if (view_.shown())
        showFrequency(view_.currentEntry());
}

bool SchedulerPresenter::Close() {
    // During a run the table takes no edits, and the run writes it when it records.
    if (runner_.Running())
        return true;
    if (!takePendingEdits()) // a refused N still leaves the table's edits to ask about
        pullGrid();
    // Yes with a save that was refused: hidden, the edits would be lost at the next showing.
    return !editor_.Modified() || prompts_.ask("Confirm", "Save changes?", false) != ui::Answer::Yes ||
           saveChanges();
}

bool SchedulerPresenter::CanCloseProgram(std::function<void()> quit) {
    pullGrid();
    return runner_.CanCloseProgram(prompts_, Caption, std::move(quit), [this] { view_.hideWindows(); },
                                   [this] {
                                       refreshBackground();
                                       return installed_;
                                   });
}

// ---- The background check ----

void SchedulerPresenter::refreshBackground() {
    const TriggerStatus status = trigger_->query(target_);
    installed_ = status.installed;
    view_.showBackground(installed_, BackgroundStatusText(status, ReadLastCheck(target_.folder)));
}

void SchedulerPresenter::ToggleBackground() {
    const bool install = !installed_;
    TriggerResult r;
    {
        struct Busy {
            SchedulerView& view;
            explicit Busy(SchedulerView& v) : view(v) { view.setBusy(true); }
            ~Busy() { view.setBusy(false); }
            Busy(const Busy&) = delete;
            Busy& operator=(const Busy&) = delete;
        } busy(view_);
        r = install ? trigger_->install(target_) : trigger_->uninstall(target_);
    }
    refreshBackground();
    if (!r.ok)
        warn(r.message);
    else if (install && installed_)
        prompts_.inform(Caption, r.message);
}

} // namespace quillet::scheduler
