#include "ui/qt/Dialogs.h"

#include "ui/Prompts.h"
#include "ui/qt/Text.h"

#include "ui/qt/ApplicationTitle.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>

namespace quillet::ui {

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
    return FromStd(ui::WithDefaultSuffix(ToStd(fileName), ToStd(suffix)));
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

void QtDialogs::warning(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, boxCaption(caption), text, QMessageBox::Ok, parent);
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

QString QtDialogs::folderName(QWidget* parent, const FileDialogRequest& request) {
    const QString folder = QFileDialog::getExistingDirectory(parent, request.caption, request.directory);
    return folder.isEmpty() ? folder : QDir::toNativeSeparators(folder);
}

} // namespace quillet::ui
