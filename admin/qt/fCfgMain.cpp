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
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolButton>

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

// Set for the lifetime of the scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = was_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool was_;
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

void TForm1::addToolButton(QWidget* panel, const char* name, const QString& caption, const QString& hint,
                           int x, const QIcon& icon, Command command) {
    auto* button = new QToolButton(panel);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(x, 0, 65, 55);
    connect(button, &QToolButton::clicked, this, [this, command] { guarded([&] { (this->*command)(); }); });
}

void TForm1::createToolbar(QWidget* panel) {
    auto icon = [this](const char* themeName, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1String(themeName), style()->standardIcon(fallback));
    };
    addToolButton(panel, "BitBtn1", QStringLiteral("New"), QStringLiteral("New configuration"), 0,
                  icon("document-new", QStyle::SP_FileIcon), &TForm1::NewConfigFile1Click);
    addToolButton(panel, "BitBtn2", QStringLiteral("Open"),
                  QStringLiteral("Open an exisitng configuration file"), 64,
                  icon("document-open", QStyle::SP_DialogOpenButton), &TForm1::OpenConfigFile1Click);
    addToolButton(panel, "BitBtn3", QStringLiteral("Save"), QStringLiteral("Save current configuration file"),
                  128, icon("document-save", QStyle::SP_DialogSaveButton), &TForm1::SaveConfigFIle1Click);
    addToolButton(panel, "BitBtn4", QStringLiteral("Delete"),
                  QStringLiteral("Removes selected database from compaction configuration"), 192,
                  icon("edit-delete", QStyle::SP_TrashIcon), &TForm1::DeleteFile1Click);
    addToolButton(panel, "BitBtn5", QStringLiteral("Schedule"),
                  QStringLiteral("Show scheduler configuration screen"), 256,
                  icon("appointment-new", QStyle::SP_FileDialogDetailedView), &TForm1::Scheduling1Click);
    addToolButton(panel, "BitBtn6", QStringLiteral("Help"), QStringLiteral("Help"), 320,
                  icon("help-contents", QStyle::SP_DialogHelpButton), &TForm1::Contents1Click);
    // Dragging is not the only way to fill the list: a desktop may have no file manager.
    addToolButton(panel, "BitBtn7", QStringLiteral("Add..."),
                  QStringLiteral("Adds databases to compaction configuration"), 384,
                  icon("list-add", QStyle::SP_FileDialogNewFolder), &TForm1::AddFiles1Click);
    addToolButton(panel, "BitBtn8", QStringLiteral("History"), QStringLiteral("Show what the compactions did"), 448,
                  icon("document-open-recent", QStyle::SP_FileDialogContentsView), &TForm1::History1Click);
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
    lboxCompactFiles->installEventFilter(this); // Insert adds, Delete removes

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

void TForm1::addAction(QMenu* menu, const char* name, const QString& caption, Command command) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, [this, command] { guarded([&] { (this->*command)(); }); });
}

void TForm1::createMenus() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    addAction(File1, "NewConfigFile1", QStringLiteral("&New Config File"), &TForm1::NewConfigFile1Click);
    addAction(File1, "OpenConfigFile1", QStringLiteral("&Open Config File"), &TForm1::OpenConfigFile1Click);
    addAction(File1, "SaveConfigFIle1", QStringLiteral("&Save Config File"), &TForm1::SaveConfigFIle1Click);
    addAction(File1, "SaveAs1", QStringLiteral("Save &As"), &TForm1::SaveAs1Click);
    addAction(File1, "DeleteFile1", QStringLiteral("&Delete File"), &TForm1::DeleteFile1Click);
    File1->addSeparator();
    addAction(File1, "CreateDesktopIcon1", QStringLiteral("Create Desktop &Icon"),
              &TForm1::CreateDesktopIcon1Click);
    addAction(File1, "Options1", QStringLiteral("O&ptions..."), &TForm1::Options1Click);
    File1->addSeparator();
    addAction(File1, "Exit1", QStringLiteral("E&xit"), &TForm1::Exit1Click);

    QMenu* View1 = MainMenu1->addMenu(QStringLiteral("&View"));
    View1->setObjectName(QStringLiteral("View1"));
    addAction(View1, "Scheduling1", QStringLiteral("S&cheduling"), &TForm1::Scheduling1Click);
    addAction(View1, "History1", QStringLiteral("&History"), &TForm1::History1Click);

    QMenu* Help1 = MainMenu1->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    addAction(Help1, "Contents1", QStringLiteral("&Contents"), &TForm1::Contents1Click);
    addAction(Help1, "KeywordSearch1", QStringLiteral("Keyword &Search"), &TForm1::KeywordSearch1Click);
    Help1->addSeparator();
    addAction(Help1, "QuilletWebPage1", QStringLiteral("Quillet &Web Page"), &TForm1::QuilletWebPage1Click);
    addAction(Help1, "OrvaneHomePage1", QStringLiteral("Orvane &Home Page"), &TForm1::OrvaneHomePage1Click);
    addAction(Help1, "EmailFeedback1", QStringLiteral("&E-mail Feedback"), &TForm1::EmailFeedback1Click);
    Help1->addSeparator();
    addAction(Help1, "About1", QStringLiteral("&About"), &TForm1::About1Click);
}

void TForm1::connectEdits() {
    const std::pair<QLineEdit*, TextField> texts[] = {{edtDesc, TextField::Description},
                                                      {fedtWrkgrp->lineEdit(), TextField::Workgroup},
                                                      {medtLogin, TextField::Login},
                                                      {medtPwd, TextField::Password},
                                                      {fedtDB->lineEdit(), TextField::LaunchFile}};
    for (const auto& [edit, field] : texts)
        connect(edit, &QLineEdit::textChanged, this, [this, field = field](const QString& text) {
            if (!drawing_)
                doc_->SetText(field, ToStd(text));
        });
    connect(fedtAccess->lineEdit(), &QLineEdit::textChanged, this,
            [this](const QString& text) { doc_->SetAccessPath(ToStd(text)); });
    connect(fedtQuilletPath->lineEdit(), &QLineEdit::textChanged, this,
            [this](const QString& text) { doc_->SetQuilletPath(ToStd(text)); });
    connect(chkRepair, &QCheckBox::toggled, this, [this](bool on) {
        if (!drawing_)
            doc_->SetRepair(on);
    });
    connect(chkEncrypt, &QCheckBox::toggled, this, [this](bool on) {
        if (!drawing_)
            doc_->SetEncrypt(on);
    });
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

QString TForm1::CurrentCfgPath() const {
    return FromStd(doc_->Path());
}

QString TForm1::QuilletPathText() const {
    return FromStd(doc_->QuilletPath());
}

QString TForm1::AccessPathText() const {
    return FromStd(doc_->Values().accessPath);
}

QString TForm1::DescriptionText() const {
    return FromStd(doc_->Text(TextField::Description));
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
    {
        FlagScope drawing(drawing_);
        fedtAccess->setText(AccessPathText());
        fedtQuilletPath->setText(QuilletPathText());
    }
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
    if (close)
        event->accept();
    else
        event->ignore();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lboxCompactFiles && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Insert) {
            guarded([this] { AddFiles1Click(); });
            return true;
        }
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Delete) {
            guarded([this] { DeleteFile1Click(); });
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
    FlagScope drawing(drawing_);
    setWindowTitle(FromStd(doc_->Caption()));
    const CfgValues& values = doc_->Values();
    replaceText(edtDesc, FromStd(values.description));
    replaceText(fedtWrkgrp, FromStd(values.workgroup));
    replaceText(medtLogin, FromStd(values.login));
    replaceText(medtPwd, FromStd(values.password));
    replaceText(fedtDB, FromStd(values.launchFile));
    chkRepair->setChecked(values.repair);
    chkEncrypt->setChecked(values.encrypt);
    QStringList files;
    for (const std::string& file : values.compactFiles)
        files << FromStd(file);
    if (listEntries() != files) {
        lboxCompactFiles->clear();
        lboxCompactFiles->addItems(files);
    }
    lblLastRun->Refresh();
}

QStringList TForm1::listEntries() const {
    QStringList entries;
    for (int row = 0; row < lboxCompactFiles->count(); ++row)
        entries << lboxCompactFiles->item(row)->text();
    return entries;
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
    const int row = lboxCompactFiles->row(selected.first());
    doc_->RemoveFile(row);
    delete lboxCompactFiles->takeItem(row);
    // As after any removal from the list, nothing is selected.
    lboxCompactFiles->setCurrentRow(-1);
    lboxCompactFiles->clearSelection();
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
        std::vector<std::string> paths;
        for (const QString& file : files)
            paths.push_back(ToStd(file));
        doc_->AddFiles(paths);
        showDocument();
    });
}

} // namespace quillet::admin
