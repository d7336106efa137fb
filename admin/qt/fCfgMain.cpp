#include "admin/qt/fCfgMain.h"

#include "admin/MainFields.h"
#include "admin/qt/AboutBox.h"
#include "admin/qt/fHistory.h"
#include "admin/qt/fOptions.h"
#include "platform/Programs.h"
#include "scheduler/qt/fSched.h"
#include "ui/qt/ApplicationTitle.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/FileNameEdit.h"
#include "ui/qt/Help.h"
#include "ui/qt/Looks.h"
#include "ui/qt/Menus.h"
#include "ui/qt/QtPrompts.h"
#include "ui/qt/Text.h"
#include "ui/qt/ToolButtons.h"
#include "ui/qt/WebLinks.h"
#include "widgets/qt/BevelPanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QtConcurrent>
#include <QFutureWatcher>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <limits>

namespace quillet::admin {

using namespace quillet::ui;
using namespace MainLayout;
using widgets::TBevelPanel;

namespace {

// The line edit of a box or of a file-name box; none for the list and the check boxes.
QLineEdit* lineEditOf(QWidget* field) {
    if (auto* path = qobject_cast<TFileNameEdit*>(field))
        return path->lineEdit();
    return qobject_cast<QLineEdit*>(field);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QWidget* makeField(QWidget* panel, const MainField& f, QStyle* hashes) {
    QWidget* field = nullptr;
    switch (f.kind) {
    case FieldKind::Path: {
        auto* edit = new TFileNameEdit(panel);
        edit->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
        field = edit;
        break;
    }
    case FieldKind::Edit:
    case FieldKind::Masked: {
        auto* edit = new QLineEdit(panel);
        edit->setMaxLength(std::numeric_limits<int>::max());
        if (f.kind == FieldKind::Masked) {
            edit->setEchoMode(QLineEdit::Password);
            edit->setStyle(hashes);
        }
        field = edit;
        break;
    }
    case FieldKind::List: {
        auto* list = new QListWidget(panel);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(false);
        list->setUniformItemSizes(true);
        list->setItemDelegate(new FixedRowDelegate(14, list));
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setTextElideMode(Qt::ElideNone);
        field = list;
        break;
    }
    case FieldKind::Check:
        field = new QCheckBox(FromStd(f.caption), panel);
        break;
    }
    field->setObjectName(QLatin1String(f.name));
    field->setGeometry(f.at.x, f.at.y, f.at.width, f.at.height);
    if (f.kind != FieldKind::Check)
        makeLabel(panel, f.labelName, FromStd(f.caption), f.labelX, f.labelY)->setBuddy(field);
    return field;
}

} // namespace

class TForm1::View : public MainView {
public:
    explicit View(TForm1& form) : d_(form) {}
    void showDocument(const std::string& caption, const CfgValues& values, const std::string& quilletPath) override;
    void showLastRun(const std::string& text) override { d_.lblLastRun->setText(FromStd(text)); }
    int selectedFile() const override {
        const QList<QListWidgetItem*> selected = d_.lboxCompactFiles->selectedItems();
        return selected.isEmpty() ? -1 : d_.lboxCompactFiles->row(selected.first());
    }
    std::optional<CfgOptions> editOptions(const CfgOptions& options) override {
        TfrmOptions dialog(*d_.prompts_, options, d_.presenter_->DataFolder(), &d_);
        return dialog.exec() == QDialog::Accepted ? std::optional(dialog.options()) : std::nullopt;
    }
    void showScheduler() override {
        if (d_.frmSched_)
            d_.frmSched_->ShowModal();
    }
    void showHistory() override;
    void showAbout() override;
    void helpContents() override { ShowHelpContents(&d_); }
    void helpSearch() override { ShowHelpSearch(&d_, QString()); }
    void helpTopic(int topic) override { ShowHelpTopic(&d_, topic); }
    bool openLink(const std::string& address) override { return OpenWebLink(FromStd(address), false); }
    void closeWindow() override { d_.close(); }
    // A scheduled run going on, or a schedule that would not run once the program is
    // closed, has its say.
    bool mayEndProgram() override {
        return !d_.frmSched_ || d_.frmSched_->CanCloseProgram([] { QCoreApplication::quit(); });
    }
    void inBackground(std::function<std::string()> work, std::function<void(std::string)> done) override;

private:
    TForm1& d_;
};

void TForm1::View::showDocument(const std::string& caption, const CfgValues& values, const std::string& quilletPath) {
    d_.setWindowTitle(FromStd(caption));
    for (std::size_t i = 0; i < d_.fields_.size(); ++i) {
        const QString text = FromStd(FieldText(values, quilletPath, i));
        // Set only when it differs: the same text keeps the caret and the modified flag.
        if (QLineEdit* edit = lineEditOf(d_.fields_[i]); edit && edit->text() != text)
            edit->setText(text);
        else if (auto* check = qobject_cast<QCheckBox*>(d_.fields_[i]))
            check->setChecked(FieldChecked(values, i));
    }
    // Drawn anew only when it changed, so that a save keeps the selection.
    const QStringList files = FromStd(values.compactFiles);
    QStringList shown;
    for (int row = 0; row < d_.lboxCompactFiles->count(); ++row)
        shown << d_.lboxCompactFiles->item(row)->text();
    if (shown != files) {
        d_.lboxCompactFiles->clear();
        d_.lboxCompactFiles->addItems(files);
    }
}

void TForm1::View::showHistory() {
    if (!d_.frmHistory_)
        d_.frmHistory_ = new TfrmHistory([this] { return d_.QuilletPathText(); }, &d_);
    else
        d_.frmHistory_->ReloadIfChanged();
    d_.frmHistory_->show();
    d_.frmHistory_->raise();
    d_.frmHistory_->activateWindow();
}

void TForm1::View::showAbout() {
    if (d_.aboutBox_) {
        d_.aboutBox_->exec();
        return;
    }
    // Only a main window without the start-up around it (as in tests) gets here.
    TAboutBox box(&d_);
    box.exec();
}

void TForm1::View::inBackground(std::function<std::string()> work, std::function<void(std::string)> done) {
    auto* watcher = new QFutureWatcher<std::string>(&d_);
    QObject::connect(watcher, &QFutureWatcherBase::finished, &d_, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        guarded([&] { done(watcher->result()); });
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

TForm1::TForm1(QWidget* parent, const QString& programPath)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form1"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(11);
    setFont(arial);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    auto* toolbarPanel = new TBevelPanel(client);
    toolbarPanel->setObjectName(QStringLiteral("Panel1"));
    toolbarPanel->setGeometry(0, 0, ClientWidth, 57);
    auto* fieldPanel = new TBevelPanel(client);
    fieldPanel->setObjectName(QStringLiteral("Panel2"));
    fieldPanel->setGeometry(0, 55, ClientWidth, 291);

    createToolbar(toolbarPanel);
    createFields(fieldPanel);
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    AddMenus(menuBar(), MainMenu, [this](int command) { Run(static_cast<MainCommand>(command)); });
    lblLastRun = new QLabel(this);
    lblLastRun->setObjectName(QStringLiteral("lblLastRun"));
    statusBar()->addWidget(lblLastRun, 1);
    statusBar()->setSizeGripEnabled(false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { guarded([this] { presenter_->tick(); }); });
    timer->start(3000);

    const QString program = QDir::toNativeSeparators(
        programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath);
    prompts_ = std::make_unique<QtPrompts>(this);
    view_ = std::make_unique<View>(*this);
    presenter_ = std::make_unique<MainPresenter>(*view_, *prompts_, ToStd(program),
                                                 ToStd(ApplicationTitle(program)));
    DropFileTarget1 = new TDropFileTarget(this);
    DropFileTarget1->setObjectName(QStringLiteral("DropFileTarget1"));
    DropFileTarget1->Register(lboxCompactFiles, [this](const QStringList& files) {
        guarded([&] { presenter_->filesDropped(ToStd(files)); });
    });
    connectEdits();
    presenter_->start();
}

TForm1::~TForm1() {
    if (DropFileTarget1)
        DropFileTarget1->Revoke();
}

void TForm1::createToolbar(QWidget* panel) {
    // Each button's theme icon, and the style's own where the theme has none.
    const std::pair<const char*, QStyle::StandardPixmap> looks[] = {{"document-new", QStyle::SP_FileIcon},
                          {"document-open", QStyle::SP_DialogOpenButton},
                          {"document-save", QStyle::SP_DialogSaveButton},
                          {"edit-delete", QStyle::SP_TrashIcon},
                          {"appointment-new", QStyle::SP_FileDialogDetailedView},
                          {"help-contents", QStyle::SP_DialogHelpButton},
                          {"list-add", QStyle::SP_FileDialogNewFolder},
                          {"document-open-recent", QStyle::SP_FileDialogContentsView}};
    for (std::size_t i = 0; i < MainToolbar.size(); ++i) {
        const ToolEntry& b = MainToolbar[i];
        QToolButton* button = MakeToolButton(
            panel, FromStd(b.caption), FromStd(b.hint),
            QIcon::fromTheme(QLatin1String(looks[i].first), style()->standardIcon(looks[i].second)), Qt::NoFocus);
        button->setObjectName(QStringLiteral("BitBtn%1").arg(i + 1));
        button->setGeometry(64 * static_cast<int>(i), 0, 65, 55);
        connect(button, &QToolButton::clicked, this, [this, c = b.command] { Run(c); });
    }
}

void TForm1::createFields(QWidget* panel) {
    auto* hashes = new HashEchoStyle();
    hashes->setParent(this); // a child after the panel, so it outlives the edits
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i] = makeField(panel, Fields[i], hashes);
        if (i > 0)
            setTabOrder(fields_[i - 1], fields_[i]);
    }
    lboxCompactFiles = panel->findChild<QListWidget*>(QStringLiteral("lboxCompactFiles"));
    lboxCompactFiles->installEventFilter(this);

    QLabel* hint = makeLabel(panel, "Label4", FromStd(platform::DropHint), 40, 96);
    hint->setAutoFillBackground(true);
    hint->setBackgroundRole(QPalette::ToolTipBase);
    hint->setForegroundRole(QPalette::ToolTipText);
}

void TForm1::Run(MainCommand command) {
    guarded([&] { presenter_->run(command); });
}

void TForm1::connectEdits() {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (QLineEdit* edit = lineEditOf(fields_[i]))
            connect(edit, &QLineEdit::textChanged, this,
                    [this, i](const QString& text) { presenter_->fieldEdited(i, ToStd(text)); });
        // Only the user clicks; drawing sets them.
        else if (auto* check = qobject_cast<QCheckBox*>(fields_[i]))
            connect(check, &QCheckBox::clicked, this, [this, i](bool on) { presenter_->fieldClicked(i, on); });
    }
}

void TForm1::SetStartupWindows(scheduler::TfrmSched* scheduler, TAboutBox* about) {
    frmSched_ = scheduler;
    aboutBox_ = about;
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool close = true;
    guarded([&] { close = presenter_->close(); });
    event->setAccepted(close);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Insert adds to the list, Delete removes from it.
    if (watched == lboxCompactFiles && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Insert || key == Qt::Key_Delete) {
            Run(key == Qt::Key_Insert ? MainCommand::AddFiles : MainCommand::DeleteEntry);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace quillet::admin
