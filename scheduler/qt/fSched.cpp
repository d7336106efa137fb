#include "scheduler/qt/fSched.h"

#include "core/AdminSettings.h"
#include "core/Convert.h"
#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/Programs.h"
#include "scheduler/qt/fSchedBackground.h"
#include "scheduler/EntryStatus.h"
#include "scheduler/ScheduleFile.h"
#include "scheduler/ScheduleSync.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "widgets/qt/TEditGrid.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QChildEvent>
#include <QDateTime>
#include <QEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace quillet::scheduler {

using ui::FromStd;
using ui::guarded;
using ui::ToStd;
using widgets::TEditGrid;

namespace {

constexpr int ColDescription = 1;
constexpr int ColConfigFile = 2;
constexpr int ColCode = 3;
constexpr char Tab = '\t';

// The frequencies in the order of rgSched's items; As Needed (item 0) has no code.
struct Frequency {
    char letter;
    const char* unit;
};
constexpr Frequency Frequencies[] = {{'\0', ""}, {'d', "Day(s)"}, {'w', "Week(s)"}, {'m', "Month(s)"}};
constexpr int FrequencyCount = static_cast<int>(std::size(Frequencies));

// Holds a flag up for the length of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

TfrmSched*& current() {
    static TfrmSched* window = nullptr;
    return window;
}

} // namespace

// ---- TRadioGroup ----

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(objectName() + QString::number(i));
        buttons_->addButton(button, i);
        layout->addWidget(button);
    }
    connect(buttons_, &QButtonGroup::idClicked, this, &TRadioGroup::itemClicked);
}

int TRadioGroup::ItemIndex() const {
    return buttons_->checkedId();
}

int TRadioGroup::ItemCount() const {
    return static_cast<int>(buttons_->buttons().size());
}

void TRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = buttons_->button(index)) {
        button->setChecked(true);
        return;
    }
    // No item: uncheck whichever is checked.
    if (QAbstractButton* checked = buttons_->checkedButton()) {
        buttons_->setExclusive(false);
        checked->setChecked(false);
        buttons_->setExclusive(true);
    }
}

// ---- Creation ----

TfrmSched::TfrmSched(SchedulerHost host, QWidget* parent, std::unique_ptr<Clock> clock,
                     std::unique_ptr<ProcessRunner> runner)
    : QDialog(parent), host_(std::move(host)),
      clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()),
      runner_(runner ? std::move(runner) : std::make_unique<SystemProcessRunner>()) {
    setObjectName(QStringLiteral("frmSched"));
    setWindowTitle(QStringLiteral("Quillet Scheduler"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    createControls();
    createMenu();
    guarded([&] { FormCreate(); });
    current() = this;
}

TfrmSched::~TfrmSched() {
    if (current() == this)
        current() = nullptr;
    FormDestroy();
}

TfrmSched* TfrmSched::instance() {
    return current();
}

void TfrmSched::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(537, 358);
    layout->addWidget(client);

    // Button bar.
    Panel3 = new QFrame(client);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(0, 0, 537, 59);
    Panel3->setFrameShape(QFrame::Panel);
    Panel3->setFrameShadow(QFrame::Raised);
    auto button = [&](const char* name, const QString& caption, const QString& hint, int left,
                      QStyle::StandardPixmap icon, void (TfrmSched::*handler)()) {
        auto* b = new QToolButton(Panel3);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setToolTip(hint);
        b->setIcon(style()->standardIcon(icon));
        b->setIconSize(QSize(24, 24));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        // Out of the Tab order, but a click takes the focus as a button's click does, so
        // the N box and the cell editor are left (and their text taken) before the command.
        b->setFocusPolicy(Qt::ClickFocus);
        b->setGeometry(left, 1, 65, 57);
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
    EditGrid1 = new TEditGrid(client);
    EditGrid1->setObjectName(QStringLiteral("EditGrid1"));
    EditGrid1->setGeometry(0, 56, 537, 191);
    EditGrid1->SetColCount(4);
    EditGrid1->SetRowCount(2);
    EditGrid1->SetDefaultRowHeight(19);
    const int widths[] = {32, 220, 279, 3};
    for (int col = 0; col < 4; ++col)
        EditGrid1->SetColWidths(col, widths[col]);
    EditGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    EditGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    EditGrid1->SetNewRowOnKeyDown(TEditGrid::kdNever);
    EditGrid1->SetModified(true);
    // The grid's click: a press on a cell, or the current cell moved by the keyboard.
    connect(EditGrid1, &QTableWidget::cellPressed, this, [this](int, int) {
        if (!quiet_)
            EditGrid1Click();
    });
    connect(EditGrid1, &QTableWidget::currentCellChanged, this, [this](int, int, int, int) {
        if (!quiet_)
            EditGrid1Click();
    });
    EditGrid1->installEventFilter(this);
    EditGrid1->viewport()->installEventFilter(this);

    // Frequency of the current entry.
    rgSched = new TRadioGroup(QStringLiteral("Schedule"),
                              {QStringLiteral("As &Needed"), QStringLiteral("&Daily"),
                               QStringLiteral("&Weekly"), QStringLiteral("&Monthly")},
                              client);
    rgSched->setObjectName(QStringLiteral("rgSched"));
    rgSched->setGeometry(0, 248, 97, 105);
    rgSched->SetItemIndex(0);
    connect(rgSched, &TRadioGroup::itemClicked, this, [this](int) {
        // The box may still show a refused N read from the file for another entry; the
        // user's choice must not copy it into this one.
        if (EveryProblem(ToStd(Edit1->text())))
            Edit1->setText(QStringLiteral("1"));
        rgSchedClick();
    });

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(95, 254, 106, 99);
    Label1 = new QLabel(QStringLiteral("Every"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 12, 90, 14);
    Edit1 = new QLineEdit(QStringLiteral("1"), Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(8, 30, 33, 21);
    Edit1->installEventFilter(this);
    Label2 = new QLabel(QStringLiteral("Days"), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 56, 90, 14);
    Label1->setVisible(false);
    Edit1->setVisible(false);
    Label2->setVisible(false);

    Panel2 = new QFrame(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(199, 254, 337, 99);
    auto* intervalLabel = new QLabel(QStringLiteral("Timer Interval (minutes)"), Panel2);
    intervalLabel->setObjectName(QStringLiteral("Label3"));
    intervalLabel->setGeometry(8, 8, 200, 14);
    edtInterval = new QLineEdit(QStringLiteral("60"), Panel2);
    edtInterval->setObjectName(QStringLiteral("edtInterval"));
    edtInterval->setGeometry(8, 24, 121, 21);
    auto* startLabel = new QLabel(QStringLiteral("Start Time (24 hr format)"), Panel2);
    startLabel->setObjectName(QStringLiteral("Label4"));
    startLabel->setGeometry(8, 52, 200, 14);
    edtStart = new QLineEdit(QStringLiteral("01"), Panel2);
    edtStart->setObjectName(QStringLiteral("edtStart"));
    edtStart->setGeometry(8, 68, 121, 21);
    edtStart->installEventFilter(this);

    // Below the fixed client area, as a status line.
    lblLastRun = new QLabel(this);
    lblLastRun->setObjectName(QStringLiteral("lblLastRun"));
    lblLastRun->setContentsMargins(4, 2, 4, 2);
    lblLastRun->setFixedWidth(537);
    lblLastRun->setWordWrap(true);
    layout->addWidget(lblLastRun);

    // The schedule timer: off until CheckTimer finds an entry with a frequency.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::CoarseTimer);
    connect(Timer1, &QTimer::timeout, this, &TfrmSched::Timer1Timer);
    periodMs_ = 60 * 60000;

    DropFileTarget1 = new ui::TDropFileTarget(this);
    DropFileTarget1->setObjectName(QStringLiteral("DropFileTarget1"));

    // Under the window's old client area, so that nothing of that moves.
    panelBackground = new TBackgroundPanel(
        BackgroundTarget{folder(), ToStd(host_.programFolder.isEmpty() ? host_.appFolder : host_.programFolder) +
                                       platform::SchedProgramName},
        host_.trigger, this);
    panelBackground->setObjectName(QStringLiteral("panelBackground"));
    panelBackground->setFixedWidth(537);
    layout->addWidget(panelBackground);

    tmrWatch = new QTimer(this);
    tmrWatch->setObjectName(QStringLiteral("tmrWatch"));
    connect(tmrWatch, &QTimer::timeout, this, &TfrmSched::NoticeFileChange);
    tmrWatch->start(2000);
}

void TfrmSched::createMenu() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    layout()->setMenuBar(MainMenu1);
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TfrmSched::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    QMenu* file = MainMenu1->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    item(file, "SaveChanges1", QStringLiteral("&Save Changes"), &TfrmSched::SaveChanges1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    item(file, "AddRow1", QStringLiteral("&Add Row"), &TfrmSched::AddRow1Click);
    item(file, "DeleteRow1", QStringLiteral("&Delete Row"), &TfrmSched::DeleteRow1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N2"));
    item(file, "Close1", QStringLiteral("&Close"), &TfrmSched::Close1Click);
    MainMenu1->addSeparator()->setObjectName(QStringLiteral("N3"));
    QMenu* help = MainMenu1->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    item(help, "Sheduler1", QStringLiteral("&Sheduler"), &TfrmSched::btnHelpClick);
}

void TfrmSched::FormCreate() {
    DropFileTarget1->Register(EditGrid1, [this](const QStringList& files) { DropFileTarget1Drop(files); });
    QStringList problems;
    readTimerSettings(problems);
    tableNotLoaded_ = true;
    {
        FlagScope quiet(quiet_);
        EditGrid1->SetRowCount(2);
        if (platform::FileExists(ToStd(ScheduleFilePath()))) {
            EditGrid1->LoadFromDelimitedFile(ScheduleFilePath(), Tab, false, false);
            EditGrid1->SetModified(false);
        }
    }
    tableNotLoaded_ = false;
    base_ = gridEntries();
    if (!platform::ReadWholeFile(ToStd(ScheduleFilePath()), seen_))
        seen_.clear();
    CheckTimer();
    reportStoredProblems(problems + entryProblems());
}

void TfrmSched::FormDestroy() {
    Timer1->stop();
    DropFileTarget1->Revoke();
}

// ---- Settings and the schedule file ----

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
    setPeriod(timer.intervalMinutes * 60000);
    intervalUsable_ = true;
    startHour_ = timer.startHour;
    startText_ = FromStd(timer.startText);
}

QStringList TfrmSched::entryProblems() const {
    QStringList lines;
    for (int row = 1; row < EditGrid1->RowCount(); ++row) {
        if (const auto problem = CodeProblem(ToStd(EditGrid1->Cells(ColCode, row)))) {
            QString name = EditGrid1->Cells(ColDescription, row);
            if (name.isEmpty())
                name = EditGrid1->Cells(ColConfigFile, row);
            lines << QStringLiteral("Entry %1 (%2): %3").arg(row).arg(name, FromStd(*problem));
        }
    }
    if (lines.isEmpty())
        return lines;
    constexpr int Shown = 10;
    const qsizetype more = lines.size() - Shown;
    if (more > 0) {
        lines = lines.mid(0, Shown);
        lines << QStringLiteral("(and %1 more)").arg(more);
    }
    lines.prepend(QStringLiteral("These entries of %1 do not run until their frequency is chosen again "
                                 "and saved; the other entries run as scheduled:")
                      .arg(ScheduleFilePath()));
    return {lines.join(QLatin1Char('\n'))};
}

void TfrmSched::reportStoredProblems(const QStringList& problems) {
    if (!problems.isEmpty())
        ui::Dialogs::instance().warning(this, windowTitle(), problems.join(QStringLiteral("\n\n")));
}

void TfrmSched::refuse(QLineEdit* field, const std::string& problem) {
    ui::Dialogs::instance().warning(this, windowTitle(), FromStd(problem) + QLatin1Char('.'));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

bool TfrmSched::edtStartExit() {
    if (!edtStart->isModified())
        return true;
    edtStart->setModified(false);
    const std::string text = ToStd(edtStart->text());
    if (const auto problem = StartTimeProblem(text)) {
        edtStart->setText(startText_);
        refuse(edtStart, *problem);
        return false;
    }
    // An edited start hour counts at once, saved or not.
    startHour_ = StrToInt(text);
    startText_ = edtStart->text();
    return true;
}

void TfrmSched::reloadTable() {
    FlagScope quiet(quiet_);
    EditGrid1->SetModified(false);
    EditGrid1->SetRowCount(2);
    if (platform::FileExists(ToStd(ScheduleFilePath())))
        EditGrid1->LoadFromDelimitedFile(ScheduleFilePath(), Tab, false, false);
    EditGrid1->SetCells(ColDescription, 0, QStringLiteral("Description"));
    EditGrid1->SetCells(ColConfigFile, 0, QStringLiteral("Config File"));
    EditGrid1->SetModified(false);
    tableNotLoaded_ = false;
    EditGrid1->SetCurrentCell(ColDescription, 1);
    base_ = gridEntries();
    if (!platform::ReadWholeFile(ToStd(ScheduleFilePath()), seen_))
        seen_.clear();
}

void TfrmSched::saveSchedule() {
    // A table that was never loaded from the file must not replace it.
    if (tableNotLoaded_)
        throw EInvalidValue(
            "The schedule was not saved to " + ToStd(ScheduleFilePath()) +
            ": it could not be read from there, and this table would replace what it holds.");
    // Run dates that the background check recorded since the table was read stay.
    std::vector<ScheduleEntry> entries = gridEntries();
    SaveTakingRecordedDates(ToStd(ScheduleFilePath()), entries, base_);
    setGridCodes(entries);
    if (!platform::ReadWholeFile(ToStd(ScheduleFilePath()), seen_))
        seen_.clear();
}

void TfrmSched::FormShow() {
    panelBackground->Refresh();
    // During a run the table is the run's; it is reloaded at the next showing.
    if (run_)
        return;
    guarded([&] {
        QStringList problems;
        readTimerSettings(problems);
        tableNotLoaded_ = true;
        reloadTable();
        UpdateFreq(EditGrid1->Cells(ColCode, 1));
        reportStoredProblems(problems + entryProblems());
    });
}

// Text still in the cell editor or the N box counts for the command at hand, also when
// the command comes from the menu, which leaves the focus where it was.
bool TfrmSched::takePendingEdits() {
    EditGrid1->CommitEditorText();
    if (edtStart->hasFocus() && !edtStartExit())
        return false;
    return !Edit1->hasFocus() || Edit1Exit();
}

void TfrmSched::SaveChanges1Click() {
    guarded([&] {
        if (!takePendingEdits())
            return;
        // Refused before anything is written, so the settings file never holds a value
        // that the next start would have to refuse.
        const std::string interval = ToStd(edtInterval->text());
        if (const auto problem = TimerIntervalProblem(interval))
            return refuse(edtInterval, *problem);
        const std::string start = ToStd(edtStart->text());
        if (const auto problem = StartTimeProblem(start))
            return refuse(edtStart, *problem);
        AdminSettings(ToStd(host_.appFolder)).SaveTimer({interval, start});
        setPeriod(StrToInt(interval) * 60000);
        intervalUsable_ = true;
        startHour_ = StrToInt(start);
        startText_ = edtStart->text();

        if (tableNotLoaded_ && platform::FileExists(ToStd(ScheduleFilePath()))) {
            // The grid does not hold the stored schedule: load it instead of overwriting it.
            reloadTable();
            UpdateFreq(EditGrid1->Cells(ColCode, 1));
            CheckTimer();
            ui::Dialogs::instance().information(
                this, windowTitle(),
                QStringLiteral(
                    "The timer settings were saved. The schedule had not been loaded from %1, because "
                    "it could not be read; it has been loaded now and was not "
                    "overwritten. Changes made to the table before were not saved.")
                    .arg(ScheduleFilePath()));
            return;
        }
        tableNotLoaded_ = false;
        saveSchedule();
        EditGrid1->SetModified(false);
        CheckTimer();
    });
}

// ---- Frequency of the current entry ----

bool TfrmSched::isEntry(int row) const {
    return row >= EditGrid1->FixedRows() && row < EditGrid1->RowCount();
}

QString TfrmSched::currentCode() const {
    const int row = EditGrid1->Row();
    return isEntry(row) ? EditGrid1->Cells(ColCode, row) : QString();
}

void TfrmSched::setCurrentCode(const QString& code) {
    if (const int row = EditGrid1->Row(); isEntry(row))
        EditGrid1->SetCells(ColCode, row, code);
}

QString TfrmSched::todayText() const {
    return FromStd(DateToDashText(clock_->today()));
}

void TfrmSched::UpdateFreq(const QString& code) {
    guarded([&] {
        int index = 0;
        for (int i = 1; i < FrequencyCount && !code.isEmpty(); ++i)
            if (code.front() == QLatin1Char(Frequencies[i].letter))
                index = i;
        rgSched->SetItemIndex(index);
        // The entry's own N, so that showing an entry never rewrites it.
        if (index != 0)
            Edit1->setText(FromStd(GetField(ToStd(code), CodeSeparator, 1)));
        rgSchedClick();
    });
}

void TfrmSched::rgSchedClick() {
    guarded([&] {
        QString date = FromStd(GetField(ToStd(currentCode()), CodeSeparator, 2));
        if (date.isEmpty())
            date = todayText();
        const int index = rgSched->ItemIndex();
        const bool every = index >= 1 && index < FrequencyCount;
        Label1->setVisible(every);
        Edit1->setVisible(every);
        Label2->setVisible(every);
        QString code;
        if (every) {
            const Frequency& frequency = Frequencies[index];
            Label2->setText(QString::fromLatin1(frequency.unit));
            code = FromStd(MakeCode(frequency.letter, ToStd(Edit1->text()), ToStd(date)));
        }
        setCurrentCode(code);
        updateLastRun();
    });
}

bool TfrmSched::Edit1Exit() {
    bool taken = true;
    guarded([&] {
        // Only what the user typed is written: after a delete or a sort the box can still
        // show another entry's N, which merely passing through the box must not copy.
        if (!Edit1->isModified())
            return;
        Edit1->setModified(false);
        const std::string code = ToStd(currentCode());
        if (code.empty())
            return; // an entry without a frequency has no N to change
        if (const auto problem = EveryProblem(ToStd(Edit1->text()))) {
            const std::string n = GetField(code, CodeSeparator, 1);
            Edit1->setText(EveryProblem(n) ? QStringLiteral("1") : FromStd(n));
            taken = false;
            return refuse(Edit1, *problem);
        }
        std::string date = GetField(code, CodeSeparator, 2);
        if (date.empty())
            date = ToStd(todayText());
        setCurrentCode(FromStd(MakeCode(code.front(), ToStd(Edit1->text()), date)));
        updateLastRun();
    });
    return taken;
}

// ---- Timer and runs ----

void TfrmSched::setTimerOn(bool on) {
    timerOn_ = on;
    // A period of 0 never fires; QTimer would fire at every pass of the event loop.
    if (on && periodMs_ > 0)
        Timer1->start(periodMs_);
    else
        Timer1->stop();
}

void TfrmSched::setPeriod(int ms) {
    if (ms == periodMs_)
        return; // the same period keeps the countdown running
    periodMs_ = ms;
    setTimerOn(timerOn_);
}

void TfrmSched::CheckTimer() {
    guarded([&] {
        setTimerOn(false);
        if (!intervalUsable_)
            return;
        for (int row = 1; row < EditGrid1->RowCount(); ++row) {
            if (!EditGrid1->Cells(ColCode, row).isEmpty()) {
                setTimerOn(true);
                return;
            }
        }
    });
}

std::string TfrmSched::folder() const {
    return ToStd(host_.appFolder);
}

std::vector<ScheduleEntry> TfrmSched::gridEntries() const {
    std::vector<ScheduleEntry> entries;
    for (int row = EditGrid1->FixedRows(); row < EditGrid1->RowCount(); ++row)
        entries.push_back({ToStd(EditGrid1->Cells(ColDescription, row)), ToStd(EditGrid1->Cells(ColConfigFile, row)),
                           ToStd(EditGrid1->Cells(ColCode, row))});
    return entries;
}

void TfrmSched::setGridCodes(const std::vector<ScheduleEntry>& entries) {
    FlagScope quiet(quiet_);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int row = EditGrid1->FixedRows() + static_cast<int>(i);
        if (row < EditGrid1->RowCount() && ToStd(EditGrid1->Cells(ColCode, row)) != entries[i].code)
            EditGrid1->SetCells(ColCode, row, FromStd(entries[i].code));
    }
}

bool TfrmSched::hasUnsavedChanges() const {
    // What a save would write, as the file gives it back: trimmed, empty entries left out.
    auto stored = [](const std::vector<ScheduleEntry>& entries) {
        std::vector<ScheduleEntry> out;
        for (const ScheduleEntry& e : entries) {
            ScheduleEntry t{TrimText(e.description), TrimText(e.configPath), TrimText(e.code)};
            if (!t.description.empty() || !t.configPath.empty() || !t.code.empty())
                out.push_back(std::move(t));
        }
        return out;
    };
    const auto mine = stored(gridEntries()), theirs = stored(base_);
    return EditGrid1->Modified() || mine.size() != theirs.size() ||
           !std::equal(mine.begin(), mine.end(), theirs.begin(), [](const ScheduleEntry& a, const ScheduleEntry& b) {
               return a.description == b.description && a.configPath == b.configPath && a.code == b.code;
           });
}

void TfrmSched::NoticeFileChange() {
    if (run_ || tableNotLoaded_)
        return;
    guarded([&] {
        std::string bytes;
        if (!platform::ReadWholeFile(ToStd(ScheduleFilePath()), bytes))
            bytes.clear();
        if (bytes == seen_)
            return;
        ScheduleFile disk;
        try {
            disk.Load(ToStd(ScheduleFilePath()));
        } catch (const EFOpenError&) {
            // Unreadable for now: looked at again when it changes; a save reports it.
            seen_ = bytes;
            return;
        }
        if (!hasUnsavedChanges()) {
            const int row = EditGrid1->Row(), col = EditGrid1->Col();
            reloadTable();
            FlagScope quiet(quiet_);
            if (isEntry(row))
                EditGrid1->SetCurrentCell(col, row);
        } else {
            std::vector<ScheduleEntry> entries = gridEntries();
            if (TakeRecordedDates(entries, base_, disk.Entries()))
                setGridCodes(entries);
            base_ = disk.Entries();
            seen_ = bytes;
        }
        CheckTimer();
        if (isVisible())
            UpdateFreq(currentCode());
    });
}

void TfrmSched::setEditing(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{EditGrid1, rgSched, Panel1, Panel2, BitBtn3, BitBtn4, BitBtn5,
                                                      BitBtn7})
        w->setEnabled(on);
    for (const char* name : {"SaveChanges1", "AddRow1", "DeleteRow1"})
        if (auto* action = MainMenu1->findChild<QAction*>(QString::fromLatin1(name)))
            action->setEnabled(on);
}

void TfrmSched::showRun() {
    if (!run_) {
        panelBackground->ShowRun({});
        return;
    }
    const int entry = run_->CurrentEntry();
    const int row = EditGrid1->FixedRows() + entry;
    if (entry < 0 || row >= EditGrid1->RowCount()) {
        panelBackground->ShowRun(QStringLiteral("Checking the schedule..."));
        return;
    }
    QString name = EditGrid1->Cells(ColDescription, row);
    const QString path = EditGrid1->Cells(ColConfigFile, row);
    name = name.isEmpty() ? path : QStringLiteral("%1 (%2)").arg(name, path);
    const QString since = QDateTime::fromSecsSinceEpoch(run_->CurrentSince()).toString(QStringLiteral("HH:mm:ss"));
    panelBackground->ShowRun(QStringLiteral("Running: %1, since %2").arg(name, since));
}

bool TfrmSched::runOnThread(RunThread::Work work) {
    bool held = false;
    auto lock = platform::FileLock::TryAcquire(folder() + CheckLockFileName, &held);
    if (!lock) {
        if (held)
            return false;
        throw EFCreateError(folder() + CheckLockFileName);
    }
    NoticeFileChange(); // a background check may have recorded runs since the last look
    const std::string refusal =
        tableNotLoaded_ ? "The schedule was not saved to " + ToStd(ScheduleFilePath()) +
                              ": it could not be read from there, and this table would replace what it holds."
                        : std::string();
    const std::string compactor = host_.compactorPath ? ToStd(host_.compactorPath()) : std::string();
    run_ = std::make_unique<RunThread>(gridEntries(), base_, ToStd(ScheduleFilePath()), std::move(lock), clock_,
                                       runner_, compactor, std::move(work), refusal);
    setEditing(false);
    // The window's own events go on meanwhile: it repaints, shows the run, takes a close.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        showRun();
        if (run_->Finished())
            loop.quit();
    });
    poll.start(20);
    showRun();
    loop.exec();
    if (!run_->Finished())
        return true; // the program ends; the thread finishes the run by itself

    setGridCodes(run_->Entries());
    if (run_->Saved()) {
        base_ = run_->Base();
        if (!platform::ReadWholeFile(ToStd(ScheduleFilePath()), seen_))
            seen_.clear();
        EditGrid1->SetModified(false);
    }
    const std::exception_ptr error = run_->Error();
    run_.reset();
    setEditing(true);
    showRun();
    if (quitAfterRun_)
        QTimer::singleShot(0, this, std::exchange(quitAfterRun_, nullptr));
    if (error)
        std::rethrow_exception(error);
    return true;
}

void TfrmSched::Timer1Timer() {
    // A tick during a run waits for its end; one during an earlier tick's error box
    // does nothing.
    if (run_) {
        pendingTick_ = true;
        return;
    }
    if (running_)
        return;
    {
        FlagScope running(running_);
        guarded([&] {
            // Most ticks end here, outside the start hour, without a thread. The hour is
            // the one in effect: a refused text in the box never reaches a tick.
            const std::string startText = IntToStr(startHour_);
            if (startHour_ != clock_->hourNow())
                return;
            runOnThread([startText](ScheduleTable& table, const RunEnvironment& env) {
                RunDueEntries(table, startText, env);
            });
            updateLastRun();
        });
    }
    if (std::exchange(pendingTick_, false))
        Timer1Timer();
}

void TfrmSched::CompactEntry(int row, bool force) {
    guarded([&] {
        const int entry = row - EditGrid1->FixedRows();
        const bool ran = runOnThread([entry, force](ScheduleTable& table, const RunEnvironment& env) {
            scheduler::CompactEntry(table, entry, force, env);
        });
        if (!ran)
            ui::Dialogs::instance().information(
                this, windowTitle(),
                QStringLiteral("The schedule is being checked in the background right now (QuilletSched --due). "
                               "Compact again when that check has ended."));
    });
    guarded([&] { updateLastRun(); });
}

void TfrmSched::updateLastRun() {
    const int row = EditGrid1->Row();
    if (!isEntry(row) || EditGrid1->Cells(ColConfigFile, row).isEmpty()) {
        lblLastRun->clear();
        return;
    }
    const std::string compactor = host_.compactorPath ? ToStd(host_.compactorPath()) : std::string();
    const HistoryLoad& history = history_.get(CompactorFileOf(compactor, HistoryFileName));
    lblLastRun->setText(QString::fromUtf8(EntryStatusText(history.contents.records,
                                                          ToStd(EditGrid1->Cells(ColConfigFile, row)), ToStd(currentCode()),
                                                          ToStd(startText_), clock_->today(), clock_->hourNow())));
}

// ---- Window commands ----

void TfrmSched::AddRow1Click() {
    guarded([&] {
        FlagScope quiet(quiet_);
        EditGrid1->AddRow();
    });
}

void TfrmSched::DeleteRow1Click() {
    guarded([&] {
        if (!takePendingEdits()) // an N typed for the entry goes with it, not to the next one
            return;
        FlagScope quiet(quiet_);
        EditGrid1->DeleteRow(EditGrid1->Row());
    });
}

void TfrmSched::BitBtn7Click() {
    if (running_ || run_)
        return;
    FlagScope running(running_);
    guarded([&] {
        if (!takePendingEdits())
            return;
        const int row = EditGrid1->Row();
        if (!isEntry(row))
            return;
        if (const auto problem = CodeProblem(ToStd(EditGrid1->Cells(ColCode, row)))) {
            ui::Dialogs::instance().warning(
                this, windowTitle(),
                QStringLiteral("Entry %1 cannot be compacted: %2. Choose its frequency again.")
                    .arg(row)
                    .arg(FromStd(*problem)));
            return;
        }
        CompactEntry(row, true);
    });
}

void TfrmSched::DropFileTarget1Drop(const QStringList& files) {
    guarded([&] {
        FlagScope quiet(quiet_);
        for (const QString& path : files) {
            if (!EditGrid1->Cells(ColConfigFile, EditGrid1->RowCount() - 1).isEmpty())
                EditGrid1->SetRowCount(EditGrid1->RowCount() + 1);
            EditGrid1->SetCells(ColConfigFile, EditGrid1->RowCount() - 1, path);
        }
    });
}

void TfrmSched::EditGrid1Click() {
    guarded([&] { UpdateFreq(currentCode()); });
}

void TfrmSched::EditGrid1KeyUp() {
    guarded([&] { UpdateFreq(currentCode()); });
}

void TfrmSched::btnHelpClick() {
    guarded([&] { ui::ShowHelpTopic(this, ui::HelpTopicScheduler); });
}

void TfrmSched::Close1Click() {
    guarded([&] { done(QDialog::Accepted); });
}

int TfrmSched::ShowModal() {
    return exec();
}

void TfrmSched::FormClose() {
    guarded([&] {
        takePendingEdits();
        if (!EditGrid1->Modified())
            return;
        const auto answer =
            ui::Dialogs::instance().question(this, QStringLiteral("Confirm"), QStringLiteral("Save changes?"),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::Yes)
            SaveChanges1Click();
    });
}

bool TfrmSched::CanCloseProgram(std::function<void()> quit) {
    bool close = true;
    guarded([&] {
        if (run_) {
            const auto answer = ui::Dialogs::instance().question(
                this, windowTitle(),
                QStringLiteral("%1\n\nWait for it to end?\n\nYes: QuilletAdmin closes as soon as the run has ended "
                               "and is recorded.\nNo: the windows close now; the run goes on by itself, is recorded, "
                               "and then QuilletAdmin ends.\nCancel: QuilletAdmin stays open.")
                    .arg(panelBackground->lblRun->text()),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
            close = false;
            if (answer == QMessageBox::Cancel)
                return;
            quitAfterRun_ = std::move(quit);
            if (answer == QMessageBox::No) {
                for (QWidget* w : QApplication::topLevelWidgets())
                    w->hide();
            }
            return;
        }
        // Said once per exit, and never again once the user says so.
        const AdminSettings settings(ToStd(host_.appFolder));
        if (!settings.WarnScheduleClosed())
            return;
        const auto entries = gridEntries();
        if (std::none_of(entries.begin(), entries.end(), [](const ScheduleEntry& e) { return !e.code.empty(); }))
            return;
        panelBackground->Refresh();
        if (panelBackground->Installed())
            return;
        const auto answer = ui::Dialogs::instance().question(
            this, windowTitle(),
            QStringLiteral("Entries of the schedule have a frequency, but nothing of the schedule runs while "
                           "QuilletAdmin is closed: no background check is installed for this folder. To run it "
                           "anyway, tick \"Run the schedule when QuilletAdmin is closed\" in the scheduler "
                           "window.\n\nShow this warning again next time?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer == QMessageBox::No)
            settings.SaveWarnScheduleClosed(false);
    });
    return close;
}

void TfrmSched::done(int result) {
    if (closing_)
        return;
    {
        FlagScope closing(closing_);
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
