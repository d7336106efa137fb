#include "scheduler/qt/fSched.h"

#include "scheduler/FaceView.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/Help.h"
#include "ui/qt/Menus.h"
#include "ui/qt/ToolButtons.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillet::scheduler {

using ui::FromStd;
using ui::guarded;
using ui::ToStd;
using widgets::TRadioGroup;

namespace {

// Names a child, and places it where the window's fixed layout has it.
template <class W> W* Placed(W* widget, const char* name, QRect geometry = {}) {
    if constexpr (std::is_base_of_v<QWidget, W>)
        if (!geometry.isNull())
            widget->setGeometry(geometry);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The grid's cells hold QString.
struct QtCells {
    static QString shown(const std::string& text) { return FromStd(text); }
    static std::string stored(const QString& text) { return ToStd(text); }
};

// Each control drawn as FaceView asks.
struct QtKit {
    static void label(QLabel* w, const std::string& text) { w->setText(FromStd(text)); }
    static void fill(QLineEdit* w, const std::string& text) { w->setText(FromStd(text)); } // unmodified
    static std::string text(const QLineEdit* w) { return ToStd(w->text()); }
    static bool modified(const QLineEdit* w) { return w->isModified(); }
    static void clearMark(QLineEdit* w) { w->setModified(false); }
    static void focusAll(QLineEdit* w) {
        w->setFocus(Qt::OtherFocusReason);
        w->selectAll();
    }
    static void show(QWidget* w, bool on) { w->setVisible(on); }
    static void showBar(QProgressBar* w, bool on) { w->setVisible(on); }
    static void check(QCheckBox* w, bool on) { w->setChecked(on); }
    static void choose(TfrmSched& f, int index) { f.rgSched->SetItemIndex(index); }
};

} // namespace

// ---- What the presenter shows ----

class TfrmSched::View final : public FaceView<TfrmSched, QtCells, QtKit> {
public:
    using FaceView::FaceView;

    void enable(Control control, bool enabled) override {
        if (const auto command = face::CommandOf(control)) {
            f.buttons[static_cast<int>(*command)]->setEnabled(enabled);
            if (const auto item = f.items_.find(static_cast<int>(*command)); item != f.items_.end())
                item->second->setEnabled(enabled); // Compact has none
            return;
        }
        QWidget* const inputs[] = {f.EditGrid1, f.rgSched, f.Panel1, f.edtInterval, f.edtStart};
        inputs[static_cast<int>(control)]->setEnabled(enabled);
    }
    void setBusy(bool busy) override {
        busy ? QApplication::setOverrideCursor(Qt::WaitCursor) : QApplication::restoreOverrideCursor();
    }
    bool shown() const override { return f.isVisible(); }
    void hideWindows() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->hide();
    }
    void fault(std::exception_ptr error) override {
        guarded([&] { std::rethrow_exception(error); });
    }

private:
    // A period of 0 would fire at every pass of the event loop: it stops the timer.
    void arm(face::Timer which, int periodMs) override {
        QTimer* timer = f.timers_[static_cast<int>(which)];
        periodMs > 0 ? timer->start(periodMs) : timer->stop();
    }
};

// ---- Creation ----

TfrmSched::TfrmSched(SchedulerHost host, QWidget* parent, std::unique_ptr<Clock> clock,
                     std::unique_ptr<ProcessRunner> runner)
    : QDialog(parent), host_(std::move(host)), prompts_(this), view_(std::make_unique<View>(*this)),
      presenter_(*view_, prompts_,
                 SchedulerSetup{ToStd(host_.appFolder), ToStd(host_.programFolder),
                                [this] { return host_.compactorPath ? ToStd(host_.compactorPath()) : std::string(); },
                                host_.trigger},
                 std::move(clock), std::move(runner)) {
    setObjectName(QStringLiteral("frmSched"));
    setWindowTitle(FromStd(SchedulerPresenter::Caption));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* client = Placed(new QWidget(this), "ClientArea");
    client->setFixedSize(537, 358);
    layout->addWidget(client);
    createButtons(client);
    EditGrid1 = Placed(new widgets::TEditGrid(client), "EditGrid1", {0, 56, 537, 191});
    view_->shapeGrid();
    EditGrid1->SetDefaultRowHeight(19);
    for (int col = 0; col < ColumnCount; ++col)
        EditGrid1->SetColWidths(col, ColumnWidths[col]);
    EditGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    EditGrid1->OnClick = [this] { EditGrid1Click(); };
    createBoxes(client);
    createStrip(layout);
    createMenu();
    for (int i = 0; i < face::TimerCount; ++i) {
        timers_[i] = new QTimer(this);
        connect(timers_[i], &QTimer::timeout, this, [this, i] { forward(face::TimerActions[i]); });
    }
    Timer1 = Placed(timers_[static_cast<int>(face::Timer::Schedule)], "Timer1");
    Timer1->setTimerType(Qt::CoarseTimer);
    auto* watch = Placed(timers_[static_cast<int>(face::Timer::Watch)], "tmrWatch");
    watch->start(SchedulerPresenter::WatchMilliseconds);
    auto* drop = Placed(new ui::TDropFileTarget(this), "DropFileTarget1");
    drop->Register(EditGrid1, [this](const QStringList& files) { DropFileTarget1Drop(files); });
    forward(&SchedulerPresenter::Create);
}

TfrmSched::~TfrmSched() = default;

void TfrmSched::createButtons(QWidget* client) {
    auto* bar = Placed(new QFrame(client), "Panel3", {0, 0, 537, 59});
    bar->setFrameShape(QFrame::Panel);
    bar->setFrameShadow(QFrame::Raised);
    const QStyle::StandardPixmap icons[] = {QStyle::SP_DialogSaveButton, QStyle::SP_FileDialogNewFolder,
                                            QStyle::SP_TrashIcon, QStyle::SP_BrowserReload,
                                            QStyle::SP_DialogHelpButton};
    for (int i = 0; i < face::ButtonCount; ++i) {
        // Out of the Tab order, but a click takes the focus as a button's click does, so
        // the N box and the cell editor are left (and their text taken) before the command.
        auto* b = Placed(ui::MakeToolButton(bar, FromStd(face::Buttons[i].caption), FromStd(face::Buttons[i].hint),
                                            style()->standardIcon(icons[i]), Qt::ClickFocus),
                         face::Buttons[i].name, {64 * i, 1, 65, 57});
        connect(b, &QToolButton::clicked, this, [this, i] { run(static_cast<face::Command>(i)); });
        buttons[i] = b;
    }
    // Compact's keyboard path, its button staying out of the Tab order.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this), &QShortcut::activated, this,
            &TfrmSched::BitBtn7Click);
}

// The frequency of the current entry with its N, and the timer settings.
void TfrmSched::createBoxes(QWidget* client) {
    const std::vector<std::string> choices(std::begin(face::FrequencyTexts), std::end(face::FrequencyTexts));
    rgSched = Placed(new TRadioGroup(FromStd(face::FrequencyTitle), FromStd(choices), client), "rgSched",
                     {0, 248, 97, 105});
    connect(rgSched, &TRadioGroup::itemClicked, this, [this](int) { rgSchedClick(); });

    Panel1 = Placed(new QFrame(client), "Panel1", {95, 254, 106, 99});
    Label1 = Placed(new QLabel(FromStd(face::EveryLabel), Panel1), "Label1", {8, 12, 90, 14});
    Edit1 = Placed(new QLineEdit(Panel1), "Edit1", {8, 30, 33, 21});
    Edit1->installEventFilter(this);
    Label2 = Placed(new QLabel(Panel1), "Label2", {8, 56, 90, 14});

    auto* panel2 = Placed(new QFrame(client), "Panel2", {199, 254, 337, 99});
    auto* label3 = Placed(new QLabel(FromStd(face::IntervalLabel), panel2), "Label3", {8, 8, 200, 14});
    edtInterval = Placed(new QLineEdit(panel2), "edtInterval", {8, 24, 121, 21});
    auto* label4 = Placed(new QLabel(FromStd(face::StartLabel), panel2), "Label4", {8, 52, 200, 14});
    edtStart = Placed(new QLineEdit(panel2), "edtStart", {8, 68, 121, 21});
    label3->setBuddy(edtInterval);
    label4->setBuddy(edtStart);
    edtStart->installEventFilter(this);
}

// Under the window's old client area, so that nothing of that moves: the status line,
// then the strip of the background check.
void TfrmSched::createStrip(QLayout* layout) {
    lblLastRun = Placed(new QLabel(this), "lblLastRun");
    lblLastRun->setContentsMargins(4, 2, 4, 2);
    lblLastRun->setFixedWidth(537);
    lblLastRun->setWordWrap(true);
    layout->addWidget(lblLastRun);
    auto* panel = Placed(new QFrame(this), "panelBackground");
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setFixedWidth(537);
    auto* strip = new QVBoxLayout(panel);
    strip->setContentsMargins(6, 4, 6, 4);
    strip->setSpacing(2);
    chkBackground = Placed(new QCheckBox(FromStd(face::BackgroundLabel), panel), "chkBackground");
    lblBackground = Placed(new QLabel(panel), "lblBackground");
    lblBackground->setWordWrap(true);
    lblRun = Placed(new QLabel(panel), "lblRun");
    barRun = Placed(new QProgressBar(panel), "barRun");
    barRun->setRange(0, 0); // no end known: the bar just moves
    barRun->setMaximumHeight(10);
    barRun->setTextVisible(false);
    for (QWidget* w : std::initializer_list<QWidget*>{chkBackground, lblBackground, lblRun, barRun})
        strip->addWidget(w);
    lblRun->hide();
    barRun->hide();
    connect(chkBackground, &QCheckBox::clicked, this,
            [this] { forward(&SchedulerPresenter::ToggleBackground); });
    layout->addWidget(panel);
}

void TfrmSched::createMenu() {
    auto* bar = Placed(new QMenuBar(this), "MainMenu1");
    layout()->setMenuBar(bar);
    items_ = ui::AddMenus(bar, face::MenuLines, [this](int command) { run(static_cast<face::Command>(command)); });
}

void TfrmSched::run(face::Command command) {
    if (const auto action = face::ActionOf(command))
        return forward(action);
    if (command == face::Command::Close)
        return Close1Click();
    guarded([&] { ui::ShowHelpTopic(this, ui::HelpTopicScheduler); });
}

// ---- What the user does, to the presenter ----

void TfrmSched::forward(face::Action command) {
    guarded([&] { (presenter_.*command)(); });
}

void TfrmSched::done(int result) {
    if (closing_)
        return;
    const ui::Telling closing(closing_);
    if (ask([&] { return presenter_.Close(); })) // Escape too
        QDialog::done(result);
}

void TfrmSched::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        forward(&SchedulerPresenter::Show);
}

bool TfrmSched::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Edit1 || watched == edtStart) && event->type() == QEvent::FocusOut) {
        // Leaving the box, not the window losing the focus to another window or a menu.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            watched == Edit1 ? Edit1Exit() : edtStartExit();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillet::scheduler
