#include "admin/Dialogs.h"

#include "admin/Startup.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>

namespace quillet::admin {

namespace {

std::unique_ptr<Dialogs>& installed() {
    static std::unique_ptr<Dialogs> dialogs;
    return dialogs;
}

QString boxCaption(const QString& caption) {
    return caption.isEmpty() ? ApplicationTitle() : caption;
}

// Window managers cut a title that is wider than its box, and a long caption such as
// "Could not start your Internet browser" is the message itself; widen the box to it.
int runBox(QMessageBox& box) {
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int titleWidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 120;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(),
                      0, 1, grid->columnCount());
    }
    return box.exec();
}

QStringList runFileDialog(QWidget* parent, const FileDialogRequest& request, QFileDialog::AcceptMode mode,
                          QFileDialog::FileMode fileMode = QFileDialog::AnyFile) {
    QFileDialog dialog(parent, request.caption, request.directory, request.filter);
    dialog.setObjectName(mode == QFileDialog::AcceptSave ? QStringLiteral("SaveDialog1")
                                                         : QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(mode);
    // The configuration dialogs: open does not insist that the file exists, save
    // replaces an existing file without asking.
    dialog.setFileMode(fileMode);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    QStringList files = dialog.selectedFiles();
    for (QString& file : files)
        file = QDir::toNativeSeparators(file);
    return files;
}

QString firstOf(const QStringList& files) {
    return files.isEmpty() ? QString() : files.first();
}

} // namespace

QString WithDefaultSuffix(const QString& fileName, const QString& suffix) {
    if (fileName.isEmpty() || suffix.isEmpty() || !QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + QLatin1Char('.') + suffix;
}

Dialogs& Dialogs::instance() {
    static QtDialogs real;
    auto& dialogs = installed();
    return dialogs ? *dialogs : real;
}

void Dialogs::setInstance(std::unique_ptr<Dialogs> dialogs) {
    installed() = std::move(dialogs);
}

QMessageBox::StandardButton QtDialogs::question(QWidget* parent, const QString& caption, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::Question, boxCaption(caption), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(runBox(box));
}

void QtDialogs::information(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Information, boxCaption(caption), text, QMessageBox::Ok, parent);
    runBox(box);
}

void QtDialogs::error(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, boxCaption(caption), text, QMessageBox::Ok, parent);
    runBox(box);
}

QString QtDialogs::openFileName(QWidget* parent, const FileDialogRequest& request) {
    return firstOf(runFileDialog(parent, request, QFileDialog::AcceptOpen));
}

QString QtDialogs::saveFileName(QWidget* parent, const FileDialogRequest& request) {
    return firstOf(runFileDialog(parent, request, QFileDialog::AcceptSave));
}

QStringList QtDialogs::openFileNames(QWidget* parent, const FileDialogRequest& request) {
    return runFileDialog(parent, request, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
}

QMessageBox::StandardButton ScriptedDialogs::question(QWidget*, const QString& caption, const QString& text,
                                                      QMessageBox::StandardButtons buttons,
                                                      QMessageBox::StandardButton) {
    shown.push_back({QStringLiteral("question"), caption, text, buttons, {}});
    if (answers.empty()) {
        // Dismissing a box gives its escape button.
        for (auto escape : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Abort, QMessageBox::Ok}) {
            if (buttons & escape)
                return escape;
        }
        return QMessageBox::NoButton;
    }
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedDialogs::information(QWidget*, const QString& caption, const QString& text) {
    shown.push_back({QStringLiteral("information"), caption, text, QMessageBox::Ok, {}});
}

void ScriptedDialogs::error(QWidget*, const QString& caption, const QString& text) {
    shown.push_back({QStringLiteral("error"), caption, text, QMessageBox::Ok, {}});
}

QString ScriptedDialogs::openFileName(QWidget*, const FileDialogRequest& request) {
    return nextFileName(QStringLiteral("open"), request);
}

QString ScriptedDialogs::saveFileName(QWidget*, const FileDialogRequest& request) {
    return nextFileName(QStringLiteral("save"), request);
}

QStringList ScriptedDialogs::openFileNames(QWidget*, const FileDialogRequest& request) {
    shown.push_back({QStringLiteral("open files"), request.caption, request.caption, {}, request});
    if (fileLists.empty())
        return {};
    QStringList files = fileLists.front();
    fileLists.pop_front();
    return files;
}

QString ScriptedDialogs::nextFileName(const QString& kind, const FileDialogRequest& request) {
    shown.push_back({kind, request.caption, request.caption, {}, request});
    if (fileNames.empty())
        return QString();
    QString name = fileNames.front();
    fileNames.pop_front();
    return WithDefaultSuffix(name, request.defaultSuffix);
}

ScriptedDialogs& ScriptedDialogs::install() {
    auto dialogs = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& ref = *dialogs;
    Dialogs::setInstance(std::move(dialogs));
    return ref;
}

} // namespace quillet::admin
