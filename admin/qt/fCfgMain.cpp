#include "admin/qt/fCfgMain.h"

#include "admin/qt/Startup.h"
#include "admin/qt/fHistory.h"
#include "admin/qt/fOptions.h"
#include "core/AdminSettings.h"
#include "core/CfgFile.h"
#include "core/Errors.h"
#include "platform/Files.h"
#include "platform/Programs.h"
#include "scheduler/qt/fSched.h"
#include "ui/qt/ApplicationTitle.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/FileNameEdit.h"
#include "ui/qt/Text.h"
#include "widgets/qt/BevelPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

bool isSeparator(QChar c) {
    // Windows paths also end a folder at a drive colon; elsewhere ":" is an ordinary character.
    return c == QLatin1Char('/') || c == QDir::separator() ||
           (QDir::separator() == QLatin1Char('\\') && c == QLatin1Char(':'));
}

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

FileDialogRequest configDialogRequest(const QString& caption, const QString& folder) {
    FileDialogRequest request;
    request.caption = caption;
    request.directory = folder;
    request.filter = QStringLiteral("Config Files (*.cfg)");
    request.defaultSuffix = QStringLiteral("cfg");
    return request;
}

} // namespace

QString ProgramFolder(const QString& programPath) {
    for (qsizetype i = programPath.size() - 1; i >= 0; --i) {
        if (isSeparator(programPath[i]))
            return programPath.left(i + 1);
    }
    return QString();
}

QString DialogFolderOf(const QString& path) {
    const QString withSeparator = ProgramFolder(path);
    if (withSeparator.isEmpty())
        return withSeparator;
    // Drop the final separator unless it closes a root ("C:\", "/") or follows another.
    const qsizetype last = withSeparator.size() - 1;
    if (!isSeparator(withSeparator[last]) || withSeparator[last] == QLatin1Char(':'))
        return withSeparator;
    if (last == 0 || isSeparator(withSeparator[last - 1]))
        return withSeparator;
    return withSeparator.left(last);
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
    createMenus();
    lblLastRun = new THistoryStatus([this] { return QuilletPathText(); }, [this] { return currentCfgPath_; }, this);
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

void TForm1::Scheduling1Click() {
    guarded([] {
        if (scheduler::TfrmSched* frmSched = scheduler::TfrmSched::instance())
            frmSched->ShowModal();
    });
}

void TForm1::History1Click() {
    guarded([this] {
        if (!frmHistory_)
            frmHistory_ = new TfrmHistory([this] { return QuilletPathText(); }, this);
        else
            frmHistory_->ReloadIfChanged();
        frmHistory_->show();
        frmHistory_->raise();
        frmHistory_->activateWindow();
    });
}

QString TForm1::QuilletPathText() const {
    return fedtQuilletPath->text();
}

QString TForm1::AccessPathText() const {
    return fedtAccess->text();
}

QString TForm1::DescriptionText() const {
    return edtDesc->text();
}

bool TForm1::TextFieldsChanged() const {
    return fedtWrkgrp->isModified() || medtLogin->isModified() || medtPwd->isModified() ||
           edtDesc->isModified() || fedtDB->isModified();
}

bool TForm1::ConfigurationChanged() const {
    QStringList files;
    for (int row = 0; row < lboxCompactFiles->count(); ++row)
        files << lboxCompactFiles->item(row)->text();
    return TextFieldsChanged() || files != savedFiles_ || chkRepair->isChecked() != savedRepair_ ||
           chkEncrypt->isChecked() != savedEncrypt_ || options_ != savedOptions_;
}

void TForm1::rememberSavedState() {
    savedFiles_.clear();
    for (int row = 0; row < lboxCompactFiles->count(); ++row)
        savedFiles_ << lboxCompactFiles->item(row)->text();
    savedRepair_ = chkRepair->isChecked();
    savedEncrypt_ = chkEncrypt->isChecked();
    savedOptions_ = options_;
}

void TForm1::setCaption() {
    setWindowTitle(QStringLiteral("Quillet - ") +
                   (currentCfgPath_.isEmpty() ? QStringLiteral("Config1") : currentCfgPath_));
}

void TForm1::FormCreate(const QString& programPath) {
    const QString program = QDir::toNativeSeparators(
        programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath);
    appFolder_ = ProgramFolder(program);
    appTitle_ = ApplicationTitle(program);
    DropFileTarget1->Register(lboxCompactFiles,
                              [this](const QStringList& files) { DropFileTarget1Drop(files); });

    const AdminSettings settings(ToStd(appFolder_));
    currentCfgPath_ = FromStd(settings.LastCfgPath());
    fedtAccess->setText(FromStd(settings.AccessPath()));
    fedtQuilletPath->setText(FromStd(settings.QuilletPath()));

    dialogFolder_ = DialogFolderOf(currentCfgPath_);
    UpdateForm();
}

bool TForm1::MayDropConfiguration() {
    if (!ConfigurationChanged())
        return true;
    const auto answer = Dialogs::instance().question(this, QStringLiteral("Confirm"), QStringLiteral("Save changes?"),
                                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                                     QMessageBox::Yes);
    // Cancel (or a dismissed box) and a save that did not happen keep the edits on screen.
    if (answer == QMessageBox::No)
        return true;
    return answer == QMessageBox::Yes && saveConfig(false);
}

bool TForm1::FormClose() {
    if (!MayDropConfiguration())
        return false;
    try {
        AdminSettings(ToStd(appFolder_))
            .SaveMainWindow(ToStd(currentCfgPath_), ToStd(fedtAccess->text()), ToStd(fedtQuilletPath->text()));
    } catch (const EIniFileException& failed) {
        // A file the user can put right; the configuration itself was dealt with, so the
        // window still closes.
        Dialogs::instance().warning(this, appTitle_, FromStd(failed.what()));
    }
    return true;
}

void TForm1::FormDestroy() {
    if (DropFileTarget1)
        DropFileTarget1->Revoke();
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool close = true;
    guarded([&] { close = FormClose(); });
    // A scheduled run going on, or a schedule that would not run once the program is
    // closed, has its say last, after the configuration was dealt with.
    if (close)
        if (scheduler::TfrmSched* frmSched = scheduler::TfrmSched::instance())
            close = frmSched->CanCloseProgram([] { QCoreApplication::quit(); });
    // A failed settings write has been shown as a warning by now and does not hold the window.
    if (close)
        event->accept();
    else
        event->ignore();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lboxCompactFiles && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Insert) {
            AddFiles1Click();
            return true;
        }
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Delete) {
            DeleteFile1Click();
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

void TForm1::UpdateForm() {
    guarded([this] {
        setCaption();
        // A new configuration has no file: every value takes its default.
        const CfgValues values =
            currentCfgPath_.isEmpty() ? CfgValues{} : ReadCfgForEditor(ToStd(currentCfgPath_));
        options_ = values.options;
        replaceText(edtDesc, FromStd(values.description));
        chkRepair->setChecked(values.repair);
        replaceText(fedtWrkgrp, FromStd(values.workgroup));
        replaceText(medtLogin, FromStd(values.login));
        replaceText(medtPwd, FromStd(values.password));
        chkEncrypt->setChecked(values.encrypt);
        replaceText(fedtDB, FromStd(values.launchFile));
        lboxCompactFiles->clear();
        for (const std::string& file : values.compactFiles)
            lboxCompactFiles->addItem(FromStd(file));
        rememberSavedState();
        lblLastRun->Refresh();
    });
}

void TForm1::SaveConfigFIle1Click() {
    guarded([this] { saveConfig(false); });
}

void TForm1::SaveAs1Click() {
    guarded([this] { saveConfig(true); });
}

bool TForm1::saveConfig(bool chooseName) {
    QString path = currentCfgPath_;
    if (chooseName || path.isEmpty()) {
        const QString chosen = Dialogs::instance().saveFileName(
            this, configDialogRequest(QStringLiteral("Save As"), dialogFolder_));
        if (chosen.isEmpty())
            return false;
        path = QDir::toNativeSeparators(chosen);
    }
    CfgValues values;
    for (int row = 0; row < lboxCompactFiles->count(); ++row)
        values.compactFiles.push_back(ToStd(lboxCompactFiles->item(row)->text()));
    values.accessPath = ToStd(fedtAccess->text());
    values.description = ToStd(edtDesc->text());
    values.repair = chkRepair->isChecked();
    values.workgroup = ToStd(fedtWrkgrp->text());
    values.login = ToStd(medtLogin->text());
    values.encrypt = chkEncrypt->isChecked();
    values.password = ToStd(medtPwd->text());
    values.launchFile = ToStd(fedtDB->text());
    values.options = options_;
    try {
        WriteCfgFile(ToStd(path), values);
    } catch (const EInvalidValue& refused) {
        // Nothing was written: the edits stay marked as unsaved.
        Dialogs::instance().error(this, appTitle_, FromStd(refused.what()));
        return false;
    } catch (const EIniFileException& failed) {
        // The file was not (wholly) written, so the window keeps its former file and the
        // edits stay marked: closing still asks, and the settings never name this file.
        Dialogs::instance().error(this, appTitle_, FromStd(failed.what()));
        return false;
    }
    currentCfgPath_ = path;
    setCaption();
    for (QLineEdit* edit : {edtDesc, medtLogin, medtPwd})
        edit->setModified(false);
    for (TFileNameEdit* edit : {fedtWrkgrp, fedtDB})
        edit->setModified(false);
    rememberSavedState();
    return true;
}

void TForm1::Options1Click() {
    guarded([this] {
        TfrmOptions dialog(this);
        dialog.setOptions(options_);
        if (dialog.exec() == QDialog::Accepted)
            options_ = dialog.options();
    });
}

void TForm1::NewConfigFile1Click() {
    guarded([this] {
        if (!MayDropConfiguration())
            return;
        currentCfgPath_.clear();
        UpdateForm();
    });
}

void TForm1::OpenConfigFile1Click() {
    guarded([this] {
        if (!MayDropConfiguration())
            return;
        const QString path = Dialogs::instance().openFileName(
            this, configDialogRequest(QStringLiteral("Open"), dialogFolder_));
        if (path.isEmpty() || !QFileInfo(path).isFile())
            return;
        currentCfgPath_ = QDir::toNativeSeparators(path);
        UpdateForm();
    });
}

void TForm1::DeleteFile1Click() {
    guarded([this] {
        const QList<QListWidgetItem*> selected = lboxCompactFiles->selectedItems();
        if (selected.isEmpty())
            return;
        delete lboxCompactFiles->takeItem(lboxCompactFiles->row(selected.first()));
        // As after any removal from the list, nothing is selected.
        lboxCompactFiles->setCurrentRow(-1);
        lboxCompactFiles->clearSelection();
    });
}

void TForm1::AddFiles1Click() {
    guarded([this] {
        FileDialogRequest request;
        request.caption = QStringLiteral("Add Databases");
        request.directory = dialogFolder_;
        request.filter = QStringLiteral("Database Files (%1);;All files (*)").arg(QLatin1String(platform::DatabaseFilePatterns));
        lboxCompactFiles->addItems(Dialogs::instance().openFileNames(this, request));
    });
}

void TForm1::Exit1Click() {
    guarded([this] { close(); });
}

void TForm1::DropFileTarget1Drop(const QStringList& files) {
    guarded([&] { lboxCompactFiles->addItems(files); });
}

} // namespace quillet::admin
