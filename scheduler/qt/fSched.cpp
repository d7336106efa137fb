#include "scheduler/qt/fSched.h"

#include "core/AdminSettings.h"
#include "core/Convert.h"
#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/Programs.h"
#include "scheduler/qt/fSchedBackground.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "widgets/qt/TEditGrid.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillet::scheduler {

using ui::FromStd;
using ui::guarded;
using ui::ToStd;
using widgets::TEditGrid;
using widgets::TRadioGroup;

namespace {

constexpr int ColDescription = 1;
constexpr int ColConfigFile = 2;
constexpr int ColCode = 3;

// Names a child, and places it where the window's fixed layout has it.
template <class W> W* Placed(W* widget, const char* name, QRect geometry = {}) {
    if constexpr (std::is_base_of_v<QWidget, W>)
        if (!geometry.isNull())
            widget->setGeometry(geometry);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

std::string& Field(ScheduleEntry& e, int col) {
    return col == ColDescription ? e.description : col == ColConfigFile ? e.configPath : e.code;
}

} // namespace

// ---- Creation ----

TfrmSched::TfrmSched(SchedulerHost host, QWidget* parent, std::unique_ptr<Clock> clock,
                     std::unique_ptr<ProcessRunner> runner)
    : QDialog(parent), host_(std::move(host)),
      clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()),
      editor_(ToStd(host_.appFolder), *clock_),
      runner_(editor_, ToStd(host_.appFolder), clock_,
              runner ? std::shared_ptr<ProcessRunner>(std::move(runner))
                     : std::make_shared<SystemProcessRunner>(),
              [this] { return host_.compactorPath ? ToStd(host_.compactorPath()) : std::string(); }),
      prompts_(this) {
    setObjectName(QStringLiteral("frmSched"));
    setWindowTitle(QStringLiteral("Quillet Scheduler"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    createControls();
    createMenu();
    DropFileTarget1->Register(EditGrid1, [this](const QStringList& files) { DropFileTarget1Drop(files); });
    guarded([&] { loadAll(); });
}

TfrmSched::~TfrmSched() {
    Timer1->stop();
    DropFileTarget1->Revoke();
}

void TfrmSched::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* client = Placed(new QWidget(this), "ClientArea");
    client->setFixedSize(537, 358);
    layout->addWidget(client);

    // Button bar.
    Panel3 = Placed(new QFrame(client), "Panel3", {0, 0, 537, 59});
    Panel3->setFrameShape(QFrame::Panel);
    Panel3->setFrameShadow(QFrame::Raised);
    auto button = [&](const char* name, const QString& caption, const QString& hint, int left,
                      QStyle::StandardPixmap icon, void (TfrmSched::*handler)()) {
        auto* b = Placed(new QToolButton(Panel3), name, {left, 1, 65, 57});
        b->setText(caption);
        b->setToolTip(hint);
        b->setIcon(style()->standardIcon(icon));
        b->setIconSize(QSize(24, 24));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        // Out of the Tab order, but a click takes the focus as a button's click does, so
        // the N box and the cell editor are left (and their text taken) before the command.
        b->setFocusPolicy(Qt::ClickFocus);
        connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
        return b;
    };
    BitBtn3 = button("BitBtn3", QStringLiteral("Save"), QStringLiteral("Save scheduler configuration"), 0,
                     QStyle::SP_DialogSaveButton, &TfrmSched::SaveChanges1Click);
    BitBtn4 = button("BitBtn4", QStringLiteral("insert"), QStringLiteral("Insert a scheduler record"), 64,
                     QStyle::SP_FileDialogNewFolder, &TfrmSched::AddRow1Click);
    BitBtn5 = button("BitBtn5", QStringLiteral("Delete"), QStringLiteral("Delete selected scheduler record"),
                     128, QStyle::SP_TrashIcon, &TfrmSched::DeleteRow1Click);
    BitBtn7 = button("BitBtn7", QStringLiteral("Compact"),
                     QStringLiteral("Compact database in selected scheduler configuration file"), 192,
                     QStyle::SP_BrowserReload, &TfrmSched::BitBtn7Click);
    btnHelp = button("btnHelp", QStringLiteral("Help"), QStringLiteral("Help"), 256,
                     QStyle::SP_DialogHelpButton, &TfrmSched::btnHelpClick);

    // The schedule table.
    EditGrid1 = Placed(new TEditGrid(client), "EditGrid1", {0, 56, 537, 191});
    EditGrid1->SetColCount(4);
    EditGrid1->SetRowCount(2);
    EditGrid1->SetDefaultRowHeight(19);
    const int widths[] = {32, 220, 279, 3};
    for (int col = 0; col < 4; ++col)
        EditGrid1->SetColWidths(col, widths[col]);
    EditGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    EditGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    EditGrid1->SetNewRowOnKeyDown(TEditGrid::kdNever);
    EditGrid1->SetCells(ColDescription, 0, QStringLiteral("Description"));
    EditGrid1->SetCells(ColConfigFile, 0, QStringLiteral("Config File"));
    // The grid's click: a press on a cell, or the current cell moved by the keyboard.
    const auto click = [this] {
        if (!quiet_)
            EditGrid1Click();
    };
    connect(EditGrid1, &QTableWidget::cellPressed, this, click);
    connect(EditGrid1, &QTableWidget::currentCellChanged, this, click);
    EditGrid1->installEventFilter(this);
    EditGrid1->viewport()->installEventFilter(this);

    // Frequency of the current entry.
    rgSched = Placed(new TRadioGroup(QStringLiteral("Schedule"),
                                     {QStringLiteral("As &Needed"), QStringLiteral("&Daily"),
                                      QStringLiteral("&Weekly"), QStringLiteral("&Monthly")},
                                     client),
                     "rgSched", {0, 248, 97, 105});
    rgSched->SetItemIndex(0);
    connect(rgSched, &TRadioGroup::itemClicked, this, [this](int) {
        // The box may still show a refused N read from the file for another entry; the
        // user's choice must not copy it into this one.
        if (EveryProblem(ToStd(Edit1->text())))
            Edit1->setText(QStringLiteral("1"));
        rgSchedClick();
    });

    Panel1 = Placed(new QFrame(client), "Panel1", {95, 254, 106, 99});
    Label1 = Placed(new QLabel(QStringLiteral("Every"), Panel1), "Label1", {8, 12, 90, 14});
    Edit1 = Placed(new QLineEdit(QStringLiteral("1"), Panel1), "Edit1", {8, 30, 33, 21});
    Edit1->installEventFilter(this);
    Label2 = Placed(new QLabel(QStringLiteral("Days"), Panel1), "Label2", {8, 56, 90, 14});
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Edit1, Label2})
        w->hide();

    Panel2 = Placed(new QFrame(client), "Panel2", {199, 254, 337, 99});
    Placed(new QLabel(QStringLiteral("Timer Interval (minutes)"), Panel2), "Label3", {8, 8, 200, 14});
    edtInterval = Placed(new QLineEdit(QStringLiteral("60"), Panel2), "edtInterval", {8, 24, 121, 21});
    Placed(new QLabel(QStringLiteral("Start Time (24 hr format)"), Panel2), "Label4", {8, 52, 200, 14});
    edtStart = Placed(new QLineEdit(QStringLiteral("01"), Panel2), "edtStart", {8, 68, 121, 21});
    edtStart->installEventFilter(this);

    // Below the fixed client area, as a status line.
    lblLastRun = Placed(new QLabel(this), "lblLastRun");
    lblLastRun->setContentsMargins(4, 2, 4, 2);
    lblLastRun->setFixedWidth(537);
    lblLastRun->setWordWrap(true);
    layout->addWidget(lblLastRun);

    // The schedule timer: off until checkTimer finds an entry with a frequency.
    Timer1 = Placed(new QTimer(this), "Timer1");
    Timer1->setTimerType(Qt::CoarseTimer);
    connect(Timer1, &QTimer::timeout, this, &TfrmSched::Timer1Timer);

    DropFileTarget1 = Placed(new ui::TDropFileTarget(this), "DropFileTarget1");

    // Under the window's old client area, so that nothing of that moves.
    panelBackground = Placed(
        new TBackgroundPanel(BackgroundTarget{ToStd(host_.appFolder),
                                              ToStd(host_.programFolder.isEmpty() ? host_.appFolder
                                                                                  : host_.programFolder) +
                                                  platform::SchedProgramName},
                             host_.trigger, this),
        "panelBackground");
    panelBackground->setFixedWidth(537);
    layout->addWidget(panelBackground);

    tmrWatch = Placed(new QTimer(this), "tmrWatch");
    connect(tmrWatch, &QTimer::timeout, this, &TfrmSched::NoticeFileChange);
    tmrWatch->start(2000);
}

void TfrmSched::createMenu() {
    MainMenu1 = Placed(new QMenuBar(this), "MainMenu1");
    layout()->setMenuBar(MainMenu1);
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TfrmSched::*handler)()) {
        QAction* action = Placed(menu->addAction(caption), name);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    QMenu* file = Placed(MainMenu1->addMenu(QStringLiteral("&File")), "File1");
    item(file, "SaveChanges1", QStringLiteral("&Save Changes"), &TfrmSched::SaveChanges1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    item(file, "AddRow1", QStringLiteral("&Add Row"), &TfrmSched::AddRow1Click);
    item(file, "DeleteRow1", QStringLiteral("&Delete Row"), &TfrmSched::DeleteRow1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N2"));
    item(file, "Close1", QStringLiteral("&Close"), &TfrmSched::Close1Click);
    MainMenu1->addSeparator()->setObjectName(QStringLiteral("N3"));
    QMenu* help = Placed(MainMenu1->addMenu(QStringLiteral("&Help")), "Help1");
    item(help, "Sheduler1", QStringLiteral("&Sheduler"), &TfrmSched::btnHelpClick);
}

// ---- Settings and the schedule file ----

void TfrmSched::loadAll() {
    QStringList problems;
    readTimerSettings(problems);
    if (const auto unreadable = editor_.Load())
        problems << FromStd(*unreadable);
    showEntries();
    checkTimer();
    if (const std::string entries = editor_.EntryProblemsText(); !entries.empty())
        problems << FromStd(entries);
    // One warning box for everything refused in what was just read.
    if (!problems.isEmpty())
        warn(problems.join(QStringLiteral("\n\n")));
}

void TfrmSched::readTimerSettings(QStringList& problems) {
    const AdminSettings settings(ToStd(host_.appFolder));
    const StoredTimer stored = settings.Timer();
    edtInterval->setText(FromStd(stored.interval));
    edtStart->setText(FromStd(stored.startTime));
    // An unattended schedule keeps running on the defaults rather than stopping.
    const EffectiveTimer timer = EffectiveTimerSettings(stored, settings.Path());
    for (const auto& problem : {timer.intervalProblem, timer.startProblem})
        if (problem)
            problems << FromStd(*problem);
    periodMs_ = timer.intervalMinutes * 60000;
    runner_.SetStart(timer.startHour, timer.startText);
}

void TfrmSched::warn(const QString& text) {
    prompts_.warn(ToStd(windowTitle()), ToStd(text));
}

void TfrmSched::refuse(QLineEdit* field, const std::string& problem) {
    warn(FromStd(problem) + QLatin1Char('.'));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void TfrmSched::pullGrid() {
    // A cell that still shows the editor's text keeps the editor's bytes.
    const std::vector<ScheduleEntry>& known = editor_.Entries();
    std::vector<ScheduleEntry> entries;
    for (int row = EditGrid1->FixedRows(); row < EditGrid1->RowCount(); ++row) {
        const auto i = static_cast<std::size_t>(row - EditGrid1->FixedRows());
        ScheduleEntry e = i < known.size() ? known[i] : ScheduleEntry{};
        for (int col : {ColDescription, ColConfigFile, ColCode}) {
            const QString text = EditGrid1->Cells(col, row);
            if (FromStd(Field(e, col)) != text)
                Field(e, col) = ToStd(text);
        }
        entries.push_back(std::move(e));
    }
    editor_.TakeEdits(std::move(entries), EditGrid1->Modified());
}

void TfrmSched::showEntries() {
    const QScopedValueRollback<bool> quiet(quiet_, true);
    std::vector<ScheduleEntry> entries = editor_.Entries();
    const int rows = EditGrid1->FixedRows() + std::max<int>(1, static_cast<int>(entries.size()));
    if (EditGrid1->RowCount() != rows)
        EditGrid1->SetRowCount(rows);
    for (int row = EditGrid1->FixedRows(); row < rows; ++row) {
        const auto i = static_cast<std::size_t>(row - EditGrid1->FixedRows());
        ScheduleEntry e = i < entries.size() ? entries[i] : ScheduleEntry{};
        for (int col : {ColDescription, ColConfigFile, ColCode})
            if (const QString text = FromStd(Field(e, col)); EditGrid1->Cells(col, row) != text)
                EditGrid1->SetCells(col, row, text);
    }
    EditGrid1->SetModified(editor_.Modified());
}

void TfrmSched::FormShow() {
    guarded([&] {
        panelBackground->Refresh();
        // During a run the table is the run's; it is reloaded at the next showing.
        if (runner_.Running())
            return;
        loadAll();
        showFirstEntry();
    });
}

void TfrmSched::NoticeFileChange() {
    if (runner_.Running())
        return;
    guarded([&] {
        pullGrid();
        if (editor_.NoticeFileChange() == ScheduleEditor::FileChange::None)
            return;
        showEntries();
        checkTimer();
        if (isVisible())
            showFrequency(currentCode());
    });
}

// Text still in the cell editor or the N box counts for the command at hand, also when
// the command comes from the menu, which leaves the focus where it was.
bool TfrmSched::takePendingEdits() {
    EditGrid1->CommitEditorText();
    if (edtStart->hasFocus() && !takeStart())
        return false;
    if (Edit1->hasFocus() && !takeEvery())
        return false;
    pullGrid();
    return true;
}

void TfrmSched::SaveChanges1Click() {
    guarded([&] { saveChanges(); });
}

void TfrmSched::saveChanges() {
    if (!takePendingEdits())
        return;
    const auto timer = runner_.SaveTimer(ToStd(edtInterval->text()), ToStd(edtStart->text()));
    if (timer.refused != ScheduleRunner::TimerSave::None)
        return refuse(timer.refused == ScheduleRunner::TimerSave::Interval ? edtInterval : edtStart,
                      timer.message);
    if (!timer.written)
        warn(FromStd(timer.message)); // the table is saved all the same
    periodMs_ = timer.intervalMinutes * 60000;
    checkTimer();

    const ScheduleEditor::SaveOutcome saved = editor_.Save();
    showEntries();
    checkTimer();
    if (saved.result == ScheduleEditor::SaveResult::Refused) {
        warn(FromStd(saved.message));
    } else if (saved.result == ScheduleEditor::SaveResult::Reloaded) {
        showFirstEntry();
        prompts_.inform(ToStd(windowTitle()),
                        (timer.written ? "The timer settings were saved. " : "") + saved.message);
    }
}

// ---- Frequency of the current entry ----

int TfrmSched::currentEntry() const {
    const int entry = EditGrid1->Row() - EditGrid1->FixedRows();
    return entry >= 0 && EditGrid1->Row() < EditGrid1->RowCount() ? entry : -1;
}

QString TfrmSched::currentCode() const {
    return currentEntry() < 0 ? QString() : EditGrid1->Cells(ColCode, EditGrid1->Row());
}

void TfrmSched::showFirstEntry() {
    {
        const QScopedValueRollback<bool> quiet(quiet_, true);
        EditGrid1->SetCurrentCell(ColDescription, EditGrid1->FixedRows());
    }
    showFrequency(currentCode());
}

void TfrmSched::showFrequency(const QString& code) {
    const int index = FrequencyIndex(ToStd(code));
    rgSched->SetItemIndex(index);
    // The entry's own N, so that showing an entry never rewrites it.
    if (index != 0)
        Edit1->setText(FromStd(GetField(ToStd(code), CodeSeparator, 1)));
    chooseFrequency();
}

void TfrmSched::rgSchedClick() {
    guarded([&] { chooseFrequency(); });
}

void TfrmSched::chooseFrequency() {
    const int index = rgSched->ItemIndex();
    const bool every = index >= 1 && index < FrequencyCount;
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Edit1, Label2})
        w->setVisible(every);
    if (every)
        Label2->setText(QString::fromLatin1(Frequencies[index].unit));
    if (const int entry = currentEntry(); entry >= 0) {
        pullGrid();
        editor_.ChooseFrequency(entry, index, ToStd(Edit1->text()));
        showEntries();
    }
    updateLastRun();
}

bool TfrmSched::Edit1Exit() {
    bool taken = true;
    guarded([&] { taken = takeEvery(); });
    return taken;
}

bool TfrmSched::takeEvery() {
    // Only what the user typed is written: after a delete or a sort the box can still
    // show another entry's N, which merely passing through the box must not copy.
    if (!Edit1->isModified())
        return true;
    Edit1->setModified(false);
    const int entry = currentEntry();
    if (entry < 0)
        return true;
    pullGrid();
    if (const auto problem = editor_.SetEvery(entry, ToStd(Edit1->text()))) {
        Edit1->setText(FromStd(editor_.ShownEvery(entry)));
        refuse(Edit1, *problem);
        return false;
    }
    showEntries();
    updateLastRun();
    return true;
}

bool TfrmSched::edtStartExit() {
    bool taken = true;
    guarded([&] { taken = takeStart(); });
    return taken;
}

bool TfrmSched::takeStart() {
    if (!edtStart->isModified())
        return true;
    edtStart->setModified(false);
    if (const auto problem = runner_.EnterStart(ToStd(edtStart->text()))) {
        edtStart->setText(FromStd(runner_.StartText()));
        refuse(edtStart, *problem);
        return false;
    }
    return true;
}

// ---- Timer and runs ----

void TfrmSched::checkTimer() {
    timerOn_ = editor_.AnyFrequency();
    // A period of 0 never fires (QTimer would fire at every pass of the event loop); a
    // timer that runs at its period keeps its countdown, so that showing the window or
    // saving never puts a tick off.
    if (!timerOn_ || periodMs_ <= 0)
        Timer1->stop();
    else if (!Timer1->isActive() || Timer1->interval() != periodMs_)
        Timer1->start(periodMs_);
}

void TfrmSched::setEditing(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{EditGrid1, rgSched, Panel1, Panel2, BitBtn3, BitBtn4,
                                                      BitBtn5, BitBtn7})
        w->setEnabled(on);
    for (const char* name : {"SaveChanges1", "AddRow1", "DeleteRow1"})
        if (auto* action = MainMenu1->findChild<QAction*>(QString::fromLatin1(name)))
            action->setEnabled(on);
}

void TfrmSched::showRun() {
    panelBackground->ShowRun(FromStd(runner_.ProgressText()));
}

void TfrmSched::awaitRun() {
    setEditing(false);
    // The window's own events go on meanwhile: it repaints, shows the run, takes a close.
    std::optional<ScheduleRunner::Ended> ended;
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        showRun();
        if ((ended = runner_.Poll()))
            loop.quit();
    });
    poll.start(20);
    showRun();
    loop.exec();
    if (!ended)
        return; // the program ends; the thread finishes the run by itself
    showEntries();
    setEditing(true);
    showRun();
    updateLastRun();
    if (ended->quit)
        QTimer::singleShot(0, this, ended->quit);
    if (ended->error)
        std::rethrow_exception(ended->error);
}

void TfrmSched::run(const std::function<bool()>& start) {
    bool started = false;
    guarded([&] {
        if ((started = start()))
            awaitRun();
    });
    // A tick that came during the run (not during its error box) runs now.
    if (started && runner_.FinishEnding())
        Timer1Timer();
}

void TfrmSched::Timer1Timer() {
    run([&] {
        pullGrid();
        return runner_.Tick() == ScheduleRunner::Start::Started;
    });
}

void TfrmSched::BitBtn7Click() {
    run([&] {
        const int entry = currentEntry();
        if (runner_.State() != RunState::Idle || !takePendingEdits() || entry < 0)
            return false;
        if (const auto problem = editor_.CompactProblem(entry)) {
            warn(FromStd(*problem));
            return false;
        }
        const ScheduleRunner::Start start = runner_.Compact(entry);
        if (start == ScheduleRunner::Start::Held)
            prompts_.inform(ToStd(windowTitle()), BackgroundCheckBusyText);
        return start == ScheduleRunner::Start::Started;
    });
}

void TfrmSched::updateLastRun() {
    const int entry = currentEntry();
    lblLastRun->setText(entry < 0 ? QString() : QString::fromUtf8(runner_.EntryStatus(entry)));
}

// ---- Window commands ----

void TfrmSched::AddRow1Click() {
    guarded([&] {
        pullGrid();
        editor_.AddEntry();
        showEntries();
    });
}

void TfrmSched::DeleteRow1Click() {
    guarded([&] {
        if (!takePendingEdits()) // an N typed for the entry goes with it, not to the next one
            return;
        if (const int entry = currentEntry(); entry >= 0) {
            const QScopedValueRollback<bool> quiet(quiet_, true);
            editor_.DeleteEntry(entry);
            EditGrid1->DeleteRow(EditGrid1->Row()); // the grid keeps its selection as it does
            showEntries();
        }
    });
}

void TfrmSched::DropFileTarget1Drop(const QStringList& files) {
    guarded([&] {
        pullGrid();
        for (const QString& path : files)
            editor_.AddFiles({ToStd(path)});
        showEntries();
    });
}

void TfrmSched::EditGrid1Click() {
    guarded([&] { showFrequency(currentCode()); });
}

void TfrmSched::EditGrid1KeyUp() {
    guarded([&] { showFrequency(currentCode()); });
}

void TfrmSched::btnHelpClick() {
    guarded([&] { ui::ShowHelpTopic(this, ui::HelpTopicScheduler); });
}

void TfrmSched::Close1Click() {
    done(QDialog::Accepted); // guarded there
}

void TfrmSched::FormClose() {
    guarded([&] {
        if (!takePendingEdits()) // a refused N still leaves the table's edits to ask about
            pullGrid();
        if (editor_.Modified() && prompts_.ask("Confirm", "Save changes?", false) == ui::Answer::Yes)
            saveChanges();
    });
}

bool TfrmSched::CanCloseProgram(std::function<void()> quit) {
    bool close = true;
    guarded([&] {
        pullGrid();
        close = runner_.CanCloseProgram(
            prompts_, ToStd(windowTitle()), std::move(quit),
            [] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    w->hide();
            },
            [this] {
                panelBackground->Refresh();
                return panelBackground->Installed();
            });
    });
    return close;
}

void TfrmSched::done(int result) {
    if (closing_)
        return;
    {
        const QScopedValueRollback<bool> closing(closing_, true);
        FormClose();
    }
    QDialog::done(result); // hides the window, whatever the answer
}

void TfrmSched::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmSched::keyPressEvent(QKeyEvent* event) {
    // The window closes by File > Close or its close box, not by Escape.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmSched::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Edit1 || watched == edtStart) && event->type() == QEvent::FocusOut) {
        // Leaving the box, not the window losing the focus to another window or a menu.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            watched == Edit1 ? Edit1Exit() : edtStartExit();
    } else if (event->type() == QEvent::KeyRelease &&
               (watched == EditGrid1 || watched->parent() == EditGrid1->viewport())) {
        // The cell editor keeps its key releases to itself, so both are watched.
        EditGrid1KeyUp();
    } else if (watched == EditGrid1->viewport() && event->type() == QEvent::ChildAdded) {
        // A cell editor opens: its keys belong to the grid.
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
            child->installEventFilter(this);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillet::scheduler
