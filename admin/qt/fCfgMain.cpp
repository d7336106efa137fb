#include "admin/qt/fCfgMain.h"

#include "admin/qt/fHistory.h"
#include "admin/qt/fOptions.h"
#include "platform/Programs.h"
#include "scheduler/qt/fSched.h"
#include "ui/qt/ApplicationTitle.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/FileNameEdit.h"
#include "ui/qt/QtPrompts.h"
#include "ui/qt/Text.h"
#include "widgets/qt/BevelPanel.h"

#include <QAction>
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
#include <QProxyStyle>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <array>
#include <limits>

namespace quillet::admin {

using namespace quillet::ui;
using widgets::TBevelPanel;

namespace {

constexpr int ClientWidth = 534;
constexpr int ClientHeight = 347;
constexpr int EditHeight = 21;
constexpr int BoxWidth = 385;

// Masked edits show "#" for every character.
class HashEchoStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return '#';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// List rows are 14 pixels high.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(14);
        return size;
    }
};

// A program-side change of a tracked field (QLineEdit or TFileNameEdit): same text
// leaves the flag alone, a different text clears it, as setText does.
template <class Edit> void replaceText(Edit* edit, const QString& text) {
    if (edit->text() != text)
        edit->setText(text);
}

QLineEdit* makeEdit(QWidget* parent, const char* name, int x, int y, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(x, y, width, EditHeight);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

TFileNameEdit* makeFileNameEdit(QWidget* parent, const char* name, int x, int y) {
    auto* edit = new TFileNameEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    edit->setGeometry(x, y, BoxWidth, EditHeight);
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

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
    createMenus();
    lblLastRun = new THistoryStatus([this] { return QuilletPathText(); }, [this] { return CurrentCfgPath(); }, this);
    statusBar()->addWidget(lblLastRun, 1);
    statusBar()->setSizeGripEnabled(false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    DropFileTarget1 = new TDropFileTarget(this);
    DropFileTarget1->setObjectName(QStringLiteral("DropFileTarget1"));

    FormCreate(programPath);
}

TForm1::~TForm1() {
    FormDestroy();
}

void TForm1::createToolbar(QWidget* panel) {
    struct Button {
        const char *name, *caption, *hint, *icon;
        QStyle::StandardPixmap fallback;
        Command command;
    };
    // Dragging is not the only way to fill the list (Add...): a desktop may have no file manager.
    const Button buttons[] = {
        {"BitBtn1", "New", "New configuration", "document-new", QStyle::SP_FileIcon, &TForm1::NewConfigFile1Click},
        {"BitBtn2", "Open", "Open an exisitng configuration file", "document-open", QStyle::SP_DialogOpenButton,
         &TForm1::OpenConfigFile1Click},
        {"BitBtn3", "Save", "Save current configuration file", "document-save", QStyle::SP_DialogSaveButton,
         &TForm1::SaveConfigFIle1Click},
        {"BitBtn4", "Delete", "Removes selected database from compaction configuration", "edit-delete",
         QStyle::SP_TrashIcon, &TForm1::DeleteFile1Click},
        {"BitBtn5", "Schedule", "Show scheduler configuration screen", "appointment-new",
         QStyle::SP_FileDialogDetailedView, &TForm1::Scheduling1Click},
        {"BitBtn6", "Help", "Help", "help-contents", QStyle::SP_DialogHelpButton, &TForm1::Contents1Click},
        {"BitBtn7", "Add...", "Adds databases to compaction configuration", "list-add",
         QStyle::SP_FileDialogNewFolder, &TForm1::AddFiles1Click},
        {"BitBtn8", "History", "Show what the compactions did", "document-open-recent",
         QStyle::SP_FileDialogContentsView, &TForm1::History1Click}};
    int x = 0;
    for (const Button& b : buttons) {
        auto* button = new QToolButton(panel);
        button->setObjectName(QLatin1String(b.name));
        button->setText(QLatin1String(b.caption));
        button->setToolTip(QLatin1String(b.hint));
        button->setIcon(QIcon::fromTheme(QLatin1String(b.icon), style()->standardIcon(b.fallback)));
        button->setIconSize(QSize(24, 24));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(x, 0, 65, 55);
        x += 64;
        connect(button, &QToolButton::clicked, this, [this, c = b.command] { guarded([&] { (this->*c)(); }); });
    }
}

void TForm1::createFields(QWidget* panel) {
    makeLabel(panel, "Label1", QStringLiteral("MS Access Path:"), 40, 16);
    fedtAccess = makeFileNameEdit(panel, "fedtAccess", 128, 16);
    makeLabel(panel, "Label2", QStringLiteral("Description:"), 64, 40);
    edtDesc = makeEdit(panel, "edtDesc", 128, 40, BoxWidth);
    makeLabel(panel, "Label3", QStringLiteral("Files To Compact:"), 32, 72);
    lboxCompactFiles = new QListWidget(panel);
    lboxCompactFiles->setObjectName(QStringLiteral("lboxCompactFiles"));
    lboxCompactFiles->setGeometry(128, 64, BoxWidth, 97);
    lboxCompactFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lboxCompactFiles->setSortingEnabled(false);
    lboxCompactFiles->setUniformItemSizes(true);
    lboxCompactFiles->setItemDelegate(new FixedRowDelegate(lboxCompactFiles));
    lboxCompactFiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lboxCompactFiles->setTextElideMode(Qt::ElideNone);
    lboxCompactFiles->installEventFilter(this);

    QLabel* hint = makeLabel(panel, "Label4", QString::fromUtf8(platform::DropHint), 40, 96);
    hint->setAutoFillBackground(true);
    hint->setBackgroundRole(QPalette::ToolTipBase);
    hint->setForegroundRole(QPalette::ToolTipText);

    chkRepair = new QCheckBox(QStringLiteral("Repair"), panel);
    chkRepair->setObjectName(QStringLiteral("chkRepair"));
    chkRepair->move(32, 136);
    chkRepair->adjustSize();

    makeLabel(panel, "Label5", QStringLiteral("Security File:"), 56, 168);
    fedtWrkgrp = makeFileNameEdit(panel, "fedtWrkgrp", 128, 168);
    makeLabel(panel, "Label6", QStringLiteral("Login:"), 88, 192);
    medtLogin = makeEdit(panel, "medtLogin", 128, 192, 121);
    makeLabel(panel, "Label7", QStringLiteral("Password:"), 264, 192);
    medtPwd = makeEdit(panel, "medtPwd", 320, 192, 121);
    chkEncrypt = new QCheckBox(QStringLiteral("Encrypt"), panel);
    chkEncrypt->setObjectName(QStringLiteral("chkEncrypt"));
    chkEncrypt->move(456, 194);
    chkEncrypt->adjustSize();
    makeLabel(panel, "Label8", QStringLiteral("Launch File:"), 56, 227);
    fedtDB = makeFileNameEdit(panel, "fedtDB", 128, 228);
    makeLabel(panel, "Label9", QStringLiteral("Quillet Path:"), 24, 259);
    fedtQuilletPath = makeFileNameEdit(panel, "fedtQuilletPath", 128, 260);

    auto* hashes = new HashEchoStyle();
    hashes->setParent(this); // created after the edits, so it outlives them
    for (QLineEdit* masked : {medtLogin, medtPwd}) {
        masked->setEchoMode(QLineEdit::Password);
        masked->setStyle(hashes);
    }

    QWidget* order[] = {fedtAccess, edtDesc, lboxCompactFiles, chkRepair, fedtWrkgrp,
                        medtLogin,  medtPwd, chkEncrypt,       fedtDB,    fedtQuilletPath};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TForm1::createMenus() {
    // An entry without a command opens the next menu; one without a name is a separator.
    struct Entry {
        const char *name, *caption;
        Command command;
    };
    const Entry entries[] = {{"File1", "&File", nullptr},
                             {"NewConfigFile1", "&New Config File", &TForm1::NewConfigFile1Click},
                             {"OpenConfigFile1", "&Open Config File", &TForm1::OpenConfigFile1Click},
                             {"SaveConfigFIle1", "&Save Config File", &TForm1::SaveConfigFIle1Click},
                             {"SaveAs1", "Save &As", &TForm1::SaveAs1Click},
                             {"DeleteFile1", "&Delete File", &TForm1::DeleteFile1Click},
                             {nullptr, nullptr, nullptr},
                             {"CreateDesktopIcon1", "Create Desktop &Icon", &TForm1::CreateDesktopIcon1Click},
                             {"Options1", "O&ptions...", &TForm1::Options1Click},
                             {nullptr, nullptr, nullptr},
                             {"Exit1", "E&xit", &TForm1::Exit1Click},
                             {"View1", "&View", nullptr},
                             {"Scheduling1", "S&cheduling", &TForm1::Scheduling1Click},
                             {"History1", "&History", &TForm1::History1Click},
                             {"Help1", "&Help", nullptr},
                             {"Contents1", "&Contents", &TForm1::Contents1Click},
                             {"KeywordSearch1", "Keyword &Search", &TForm1::KeywordSearch1Click},
                             {nullptr, nullptr, nullptr},
                             {"QuilletWebPage1", "Quillet &Web Page", &TForm1::QuilletWebPage1Click},
                             {"OrvaneHomePage1", "Orvane &Home Page", &TForm1::OrvaneHomePage1Click},
                             {"EmailFeedback1", "&E-mail Feedback", &TForm1::EmailFeedback1Click},
                             {nullptr, nullptr, nullptr},
                             {"About1", "&About", &TForm1::About1Click}};
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* menu = nullptr;
    for (const Entry& e : entries) {
        if (!e.name) {
            menu->addSeparator();
            continue;
        }
        QObject* item = e.command ? static_cast<QObject*>(menu->addAction(QString::fromUtf8(e.caption)))
                                  : (menu = menuBar()->addMenu(QString::fromUtf8(e.caption)));
        item->setObjectName(QLatin1String(e.name));
        if (e.command)
            connect(static_cast<QAction*>(item), &QAction::triggered, this,
                    [this, c = e.command] { guarded([&] { (this->*c)(); }); });
    }
}

void TForm1::connectEdits() {
    for (const auto& [edit, field] : textEdits())
        connect(edit, &QLineEdit::textChanged, this, [this, field = field](const QString& text) {
            if (!drawing_)
                doc_->SetText(field, ToStd(text));
        });
    connect(fedtAccess->lineEdit(), &QLineEdit::textChanged, this,
            [this](const QString& text) { doc_->SetAccessPath(ToStd(text)); });
    connect(fedtQuilletPath->lineEdit(), &QLineEdit::textChanged, this,
            [this](const QString& text) { doc_->SetQuilletPath(ToStd(text)); });
    // Only the user clicks; drawing sets them.
    connect(chkRepair, &QCheckBox::clicked, this, [this](bool on) { doc_->SetRepair(on); });
    connect(chkEncrypt, &QCheckBox::clicked, this, [this](bool on) { doc_->SetEncrypt(on); });
}

void TForm1::SetStartupWindows(scheduler::TfrmSched* scheduler, TAboutBox* about) {
    frmSched_ = scheduler;
    aboutBox_ = about;
}

void TForm1::Scheduling1Click() {
    if (frmSched_)
        frmSched_->ShowModal();
}

void TForm1::History1Click() {
    if (!frmHistory_)
        frmHistory_ = new TfrmHistory([this] { return QuilletPathText(); }, this);
    else
        frmHistory_->ReloadIfChanged();
    frmHistory_->show();
    frmHistory_->raise();
    frmHistory_->activateWindow();
}

void TForm1::FormCreate(const QString& programPath) {
    const QString program = QDir::toNativeSeparators(
        programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath);
    appFolder_ = FromStd(ProgramFolder(ToStd(program)));
    prompts_ = std::make_unique<QtPrompts>(this);
    doc_ = std::make_unique<ConfigDocument>(AdminSettings(ToStd(appFolder_)), *prompts_,
                                            ToStd(ApplicationTitle(program)));
    DropFileTarget1->Register(lboxCompactFiles,
                              [this](const QStringList& files) { DropFileTarget1Drop(files); });
    connectEdits();
    showDocument();
}

void TForm1::FormDestroy() {
    if (DropFileTarget1)
        DropFileTarget1->Revoke();
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool close = true;
    guarded([&] { close = doc_->Close(); });
    // A scheduled run going on, or a schedule that would not run once the program is
    // closed, has its say last, after the configuration was dealt with.
    if (close && frmSched_)
        close = frmSched_->CanCloseProgram([] { QCoreApplication::quit(); });
    event->setAccepted(close);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Insert adds to the list, Delete removes from it.
    if (watched == lboxCompactFiles && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const Command command = key == Qt::Key_Insert   ? &TForm1::AddFiles1Click
                                : key == Qt::Key_Delete ? &TForm1::DeleteFile1Click
                                                        : nullptr;
        if (command) {
            guarded([&] { (this->*command)(); });
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

void TForm1::showDocument() {
    const QScopedValueRollback<bool> drawing(drawing_, true);
    setWindowTitle(FromStd(doc_->Caption()));
    for (const auto& [edit, field] : textEdits())
        replaceText(edit, FromStd(doc_->Text(field)));
    replaceText(fedtAccess->lineEdit(), AccessPathText());
    replaceText(fedtQuilletPath->lineEdit(), QuilletPathText());
    chkRepair->setChecked(doc_->Values().repair);
    chkEncrypt->setChecked(doc_->Values().encrypt);
    // Drawn anew only when it changed, so that a save keeps the selection.
    const QStringList files = FromStd(doc_->Values().compactFiles);
    QStringList shown;
    for (int row = 0; row < lboxCompactFiles->count(); ++row)
        shown << lboxCompactFiles->item(row)->text();
    if (shown != files) {
        lboxCompactFiles->clear();
        lboxCompactFiles->addItems(files);
    }
    lblLastRun->Refresh();
}

std::array<std::pair<QLineEdit*, TextField>, 5> TForm1::textEdits() const {
    return {{{edtDesc, TextField::Description},
             {fedtWrkgrp->lineEdit(), TextField::Workgroup},
             {medtLogin, TextField::Login},
             {medtPwd, TextField::Password},
             {fedtDB->lineEdit(), TextField::LaunchFile}}};
}

void TForm1::SaveConfigFIle1Click() {
    doc_->Save();
    showDocument();
}

void TForm1::SaveAs1Click() {
    doc_->SaveAs();
    showDocument();
}

void TForm1::Options1Click() {
    TfrmOptions dialog(*prompts_, this);
    dialog.setOptions(doc_->Values().options);
    if (dialog.exec() == QDialog::Accepted)
        doc_->SetOptions(dialog.options());
}

void TForm1::NewConfigFile1Click() {
    doc_->New();
    showDocument();
}

void TForm1::OpenConfigFile1Click() {
    doc_->Open();
    showDocument();
}

void TForm1::DeleteFile1Click() {
    const QList<QListWidgetItem*> selected = lboxCompactFiles->selectedItems();
    if (selected.isEmpty())
        return;
    doc_->RemoveFile(lboxCompactFiles->row(selected.first()));
    showDocument(); // the list is drawn anew: as after any removal, nothing is selected
}

void TForm1::AddFiles1Click() {
    if (doc_->AddFilesFromDialog() == Outcome::Done)
        showDocument();
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::DropFileTarget1Drop(const QStringList& files) {
    guarded([&] {
        doc_->AddFiles(ToStd(files));
        showDocument();
    });
}

} // namespace quillet::admin
