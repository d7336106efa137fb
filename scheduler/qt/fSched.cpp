#include "scheduler/qt/fSched.h"

#include "scheduler/ScheduleGrid.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "widgets/qt/TEditGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QChildEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QStyledItemDelegate>
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

// A path cut at its start, so that its file name stays in sight.
class StartElided : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideLeft;
    }
};

// Names a child, and places it where the window's fixed layout has it.
template <class W> W* Placed(W* widget, const char* name, QRect geometry = {}) {
    if constexpr (std::is_base_of_v<QWidget, W>)
        if (!geometry.isNull())
            widget->setGeometry(geometry);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

// ---- Creation ----

TfrmSched::TfrmSched(SchedulerHost host, QWidget* parent, std::unique_ptr<Clock> clock,
                     std::unique_ptr<ProcessRunner> runner)
    : QDialog(parent), host_(std::move(host)), prompts_(this),
      presenter_(*this, prompts_,
                 SchedulerSetup{ToStd(host_.appFolder), ToStd(host_.programFolder),
                                [this] { return host_.compactorPath ? ToStd(host_.compactorPath()) : std::string(); },
                                host_.trigger},
                 std::move(clock), std::move(runner)) {
    setObjectName(QStringLiteral("frmSched"));
    setWindowTitle(FromStd(SchedulerPresenter::Caption));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    createControls();
    createMenu();
    DropFileTarget1->Register(EditGrid1, [this](const QStringList& files) { DropFileTarget1Drop(files); });
    guarded([&] { presenter_.Create(); });
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
    auto* bar = Placed(new QFrame(client), "Panel3", {0, 0, 537, 59});
    bar->setFrameShape(QFrame::Panel);
    bar->setFrameShadow(QFrame::Raised);
    auto button = [&](const char* name, const char* caption, const char* hint, int left,
                      QStyle::StandardPixmap icon, void (TfrmSched::*handler)()) {
        auto* b = Placed(new QToolButton(bar), name, {left, 1, 65, 57});
        b->setText(FromStd(caption));
        b->setToolTip(FromStd(hint));
        b->setIcon(style()->standardIcon(icon));
        b->setIconSize(QSize(24, 24));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        // Out of the Tab order, but a click takes the focus as a button's click does, so
        // the N box and the cell editor are left (and their text taken) before the command.
        b->setFocusPolicy(Qt::ClickFocus);
        connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
        return b;
    };
    BitBtn3 = button("BitBtn3", "Save", "Save scheduler configuration", 0, QStyle::SP_DialogSaveButton,
                     &TfrmSched::SaveChanges1Click);
    BitBtn4 = button("BitBtn4", "insert", "Insert a scheduler record", 64, QStyle::SP_FileDialogNewFolder,
                     &TfrmSched::AddRow1Click);
    BitBtn5 = button("BitBtn5", "Delete", "Delete selected scheduler record", 128, QStyle::SP_TrashIcon,
                     &TfrmSched::DeleteRow1Click);
    BitBtn7 = button("BitBtn7", "Compact", "Compact database in selected scheduler configuration file", 192,
                     QStyle::SP_BrowserReload, &TfrmSched::BitBtn7Click);
    btnHelp = button("btnHelp", "Help", "Help", 256, QStyle::SP_DialogHelpButton, &TfrmSched::btnHelpClick);
    // Compact's keyboard path, its button staying out of the Tab order.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this), &QShortcut::activated, this,
            &TfrmSched::BitBtn7Click);

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
    EditGrid1->SetNewRowOnKeyDown(widgets::kdNever);
    EditGrid1->SetCells(ColDescription, 0, QStringLiteral("Description"));
    EditGrid1->SetCells(ColConfigFile, 0, QStringLiteral("Config File"));
    EditGrid1->SetReachableCols(SchedulerPresenter::ReachableColumns);
    EditGrid1->setItemDelegateForColumn(ColConfigFile, new StartElided(EditGrid1));
    // The grid's click: a press on a cell, or the current cell moved by the keyboard.
    connect(EditGrid1, &QTableWidget::cellPressed, this, &TfrmSched::EditGrid1Click);
    connect(EditGrid1, &QTableWidget::currentCellChanged, this, &TfrmSched::EditGrid1Click);
    EditGrid1->installEventFilter(this);
    EditGrid1->viewport()->installEventFilter(this);

    // Frequency of the current entry.
    rgSched = Placed(new TRadioGroup(QStringLiteral("Schedule"),
                                     {QStringLiteral("As &Needed"), QStringLiteral("&Daily"),
                                      QStringLiteral("&Weekly"), QStringLiteral("&Monthly")},
                                     client),
                     "rgSched", {0, 248, 97, 105});
    rgSched->SetItemIndex(0);
    connect(rgSched, &TRadioGroup::itemClicked, this, [this](int) { rgSchedClick(); });

    Panel1 = Placed(new QFrame(client), "Panel1", {95, 254, 106, 99});
    Label1 = Placed(new QLabel(QStringLiteral("Every"), Panel1), "Label1", {8, 12, 90, 14});
    Edit1 = Placed(new QLineEdit(QStringLiteral("1"), Panel1), "Edit1", {8, 30, 33, 21});
    Edit1->installEventFilter(this);
    Label2 = Placed(new QLabel(QStringLiteral("Days"), Panel1), "Label2", {8, 56, 90, 14});
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Edit1, Label2})
        w->hide();

    Panel2 = Placed(new QFrame(client), "Panel2", {199, 254, 337, 99});
    auto* label3 = Placed(new QLabel(QStringLiteral("Timer &Interval (minutes)"), Panel2), "Label3", {8, 8, 200, 14});
    edtInterval = Placed(new QLineEdit(QStringLiteral("60"), Panel2), "edtInterval", {8, 24, 121, 21});
    auto* label4 = Placed(new QLabel(QStringLiteral("Start &Time (24 hr format)"), Panel2), "Label4", {8, 52, 200, 14});
    edtStart = Placed(new QLineEdit(QStringLiteral("01"), Panel2), "edtStart", {8, 68, 121, 21});
    label3->setBuddy(edtInterval);
    label4->setBuddy(edtStart);
    edtStart->installEventFilter(this);

    // Below the fixed client area, as a status line.
    lblLastRun = Placed(new QLabel(this), "lblLastRun");
    lblLastRun->setContentsMargins(4, 2, 4, 2);
    lblLastRun->setFixedWidth(537);
    lblLastRun->setWordWrap(true);
    layout->addWidget(lblLastRun);

    Timer1 = Placed(new QTimer(this), "Timer1");
    Timer1->setTimerType(Qt::CoarseTimer);
    connect(Timer1, &QTimer::timeout, this, &TfrmSched::Timer1Timer);
    tmrPoll_ = new QTimer(this);
    connect(tmrPoll_, &QTimer::timeout, this, [this] { guarded([&] { presenter_.PollRun(); }); });

    DropFileTarget1 = Placed(new ui::TDropFileTarget(this), "DropFileTarget1");

    // Under the window's old client area, so that nothing of that moves.
    panelBackground = Placed(new TBackgroundPanel(this), "panelBackground");
    panelBackground->setFrameShape(QFrame::Panel);
    panelBackground->setFrameShadow(QFrame::Sunken);
    panelBackground->setFixedWidth(537);
    auto* strip = new QVBoxLayout(panelBackground);
    strip->setContentsMargins(6, 4, 6, 4);
    strip->setSpacing(2);
    auto& p = *panelBackground;
    p.chkBackground = Placed(new QCheckBox(QStringLiteral("Run the schedule when QuilletAdmin is closed"), &p),
                             "chkBackground");
    p.lblBackground = Placed(new QLabel(&p), "lblBackground");
    p.lblBackground->setWordWrap(true);
    p.lblRun = Placed(new QLabel(&p), "lblRun");
    p.barRun = Placed(new QProgressBar(&p), "barRun");
    p.barRun->setRange(0, 0); // no end known: the bar just moves
    p.barRun->setMaximumHeight(10);
    p.barRun->setTextVisible(false);
    for (QWidget* w : std::initializer_list<QWidget*>{p.chkBackground, p.lblBackground, p.lblRun, p.barRun})
        strip->addWidget(w);
    p.lblRun->hide();
    p.barRun->hide();
    connect(p.chkBackground, &QCheckBox::clicked, this, [this] { guarded([&] { presenter_.ToggleBackground(); }); });
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

// ---- What the user does, to the presenter ----

void TfrmSched::FormShow() {
    guarded([&] { presenter_.Show(); });
}
void TfrmSched::NoticeFileChange() {
    guarded([&] { presenter_.NoticeFileChange(); });
}
void TfrmSched::SaveChanges1Click() {
    guarded([&] { presenter_.Save(); });
}
void TfrmSched::rgSchedClick() {
    guarded([&] { presenter_.ChooseFrequency(rgSched->ItemIndex()); });
}
bool TfrmSched::Edit1Exit() {
    bool taken = true;
    guarded([&] { taken = presenter_.LeaveEvery(); });
    return taken;
}
bool TfrmSched::edtStartExit() {
    bool taken = true;
    guarded([&] { taken = presenter_.LeaveStart(); });
    return taken;
}
void TfrmSched::Timer1Timer() {
    guarded([&] { presenter_.Tick(); });
}
void TfrmSched::AddRow1Click() {
    guarded([&] { presenter_.AddRow(); });
}
void TfrmSched::DeleteRow1Click() {
    guarded([&] { presenter_.DeleteRow(); });
}
void TfrmSched::BitBtn7Click() {
    guarded([&] { presenter_.Compact(); });
}
void TfrmSched::DropFileTarget1Drop(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& path : files)
        paths.push_back(ToStd(path));
    guarded([&] { presenter_.Drop(paths); });
}
void TfrmSched::EditGrid1Click() {
    guarded([&] { presenter_.EntryChosen(); });
}
void TfrmSched::EditGrid1KeyUp() {
    EditGrid1Click();
}
void TfrmSched::btnHelpClick() {
    guarded([&] { ui::ShowHelpTopic(this, ui::HelpTopicScheduler); });
}
void TfrmSched::Close1Click() {
    done(QDialog::Accepted);
}

bool TfrmSched::CanCloseProgram(std::function<void()> quit) {
    bool close = true;
    guarded([&] { close = presenter_.CanCloseProgram(std::move(quit)); });
    return close;
}

void TfrmSched::done(int result) {
    if (closing_)
        return;
    {
        const QScopedValueRollback<bool> closing(closing_, true);
        guarded([&] { presenter_.Close(); });
    }
    QDialog::done(result); // hides the window, whatever the answer; Escape too
}

void TfrmSched::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
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

// ---- SchedulerView ----

void TfrmSched::showEntries(const std::vector<ScheduleEntry>& entries, bool modified,
                            const std::vector<bool>& missing) {
    ShowEntriesIn(*EditGrid1, entries, modified, [](const std::string& s) { return FromStd(s); });
    for (int row = EditGrid1->FixedRows(); row < EditGrid1->RowCount(); ++row) {
        const auto i = static_cast<std::size_t>(row - EditGrid1->FixedRows());
        QTableWidgetItem* cell = EditGrid1->item(row, ColConfigFile);
        if (!cell)
            continue;
        const bool absent = i < missing.size() && missing[i];
        cell->setForeground(absent ? QBrush(Qt::red) : QBrush());
        cell->setToolTip(cell->text().isEmpty() ? QString() : cell->text() + FromStd(absent ? MissingNote : ""));
    }
}

std::vector<ScheduleEntry> TfrmSched::gridEntries() {
    return EntriesIn(*EditGrid1, [](const QString& s) { return ToStd(s); });
}

bool TfrmSched::gridModified() const {
    return EditGrid1->Modified();
}

std::string TfrmSched::asShown(const std::string& text) const {
    return ToStd(FromStd(text));
}

bool TfrmSched::typing() const {
    return EditGrid1->Editing();
}

int TfrmSched::currentEntry() const {
    return CurrentEntryIn(*EditGrid1);
}

void TfrmSched::selectEntry(int entry) {
    EditGrid1->SetCurrentCell(EditGrid1->Col(), EditGrid1->FixedRows() + std::max(0, entry));
}

void TfrmSched::showFrequency(int index, const std::optional<Every>& every) {
    rgSched->SetItemIndex(index);
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Edit1, Label2})
        w->setVisible(every.has_value());
    if (every) {
        Label2->setText(FromStd(every->unit));
        Edit1->setText(FromStd(every->value));
    }
}

QLineEdit* TfrmSched::box(Box box) const {
    return box == Box::Every ? Edit1 : box == Box::Interval ? edtInterval : edtStart;
}

void TfrmSched::showText(Box which, const std::string& text) {
    box(which)->setText(FromStd(text));
}

std::string TfrmSched::text(Box which) const {
    return ToStd(box(which)->text());
}

std::optional<std::string> TfrmSched::takeTyped(Box which) {
    QLineEdit* edit = box(which);
    if (!edit->isModified())
        return std::nullopt;
    edit->setModified(false);
    return ToStd(edit->text());
}

void TfrmSched::focus(Box which) {
    box(which)->setFocus(Qt::OtherFocusReason);
    box(which)->selectAll();
}

void TfrmSched::showStatus(const std::string& text) {
    lblLastRun->setText(FromStd(text));
}

void TfrmSched::showBackground(bool installed, const std::string& text) {
    panelBackground->chkBackground->setChecked(installed);
    panelBackground->lblBackground->setText(FromStd(text));
}

void TfrmSched::showRun(const std::string& text) {
    panelBackground->lblRun->setText(FromStd(text));
    panelBackground->lblRun->setVisible(!text.empty());
    panelBackground->barRun->setVisible(!text.empty());
}

void TfrmSched::enable(Control control, bool enabled) {
    QWidget* const controls[] = {EditGrid1, rgSched, Panel1, edtInterval, edtStart, BitBtn3, BitBtn4, BitBtn5, BitBtn7};
    const char* const menu[] = {"SaveChanges1", "AddRow1", "DeleteRow1"};
    const auto at = static_cast<std::size_t>(control);
    controls[at]->setEnabled(enabled);
    if (at >= 5 && at < 8)
        MainMenu1->findChild<QAction*>(QLatin1String(menu[at - 5]))->setEnabled(enabled);
}

void TfrmSched::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// A period of 0 would fire at every pass of the event loop: it stops the timer.
void TfrmSched::armTimer(int periodMs) {
    periodMs > 0 ? Timer1->start(periodMs) : Timer1->stop();
}

void TfrmSched::armPoll(int periodMs) {
    periodMs > 0 ? tmrPoll_->start(periodMs) : tmrPoll_->stop();
}

void TfrmSched::hideWindows() {
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
}

void TfrmSched::fault(std::exception_ptr error) {
    guarded([&] { std::rethrow_exception(error); });
}

} // namespace quillet::scheduler
