#include "ui/qt/QtPrompts.h"

#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Text.h"

#include <QStringList>

namespace quillet::ui {
namespace {

FileDialogRequest Request(const FileChoice& choice) {
    QStringList filters;
    for (const auto& filter : choice.filters) {
        QString patterns = FromStd(filter.patterns);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << FromStd(filter.name) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return {FromStd(choice.caption), FromStd(choice.directory), FromStd(choice.fileName),
            filters.join(QStringLiteral(";;")), FromStd(choice.defaultSuffix)};
}

} // namespace

Answer QtPrompts::ask(const std::string& caption, const std::string& text, bool withCancel) {
    auto buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel)
        buttons |= QMessageBox::Cancel;
    switch (Dialogs::instance().question(parent_, FromStd(caption), FromStd(text), buttons, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return withCancel ? Answer::Cancel : Answer::No;
    }
}

Answer QtPrompts::askDefaultNo(const std::string& caption, const std::string& text) {
    return Dialogs::instance().question(parent_, FromStd(caption), FromStd(text), QMessageBox::Yes | QMessageBox::No,
                                        QMessageBox::No) == QMessageBox::Yes
               ? Answer::Yes
               : Answer::No;
}

void QtPrompts::warn(const std::string& caption, const std::string& text) {
    Dialogs::instance().warning(parent_, FromStd(caption), FromStd(text));
}

void QtPrompts::inform(const std::string& caption, const std::string& text) {
    Dialogs::instance().information(parent_, FromStd(caption), FromStd(text));
}

void QtPrompts::fault(const std::string& message, const std::string& details) {
    ErrorReporter::report(FromStd(message), FromStd(details));
}

std::string QtPrompts::openFile(const FileChoice& choice) {
    return ToStd(Dialogs::instance().openFileName(parent_, Request(choice)));
}

std::string QtPrompts::saveFile(const FileChoice& choice) {
    return ToStd(Dialogs::instance().saveFileName(parent_, Request(choice)));
}

std::vector<std::string> QtPrompts::openFiles(const FileChoice& choice) {
    std::vector<std::string> files;
    for (const auto& file : Dialogs::instance().openFileNames(parent_, Request(choice)))
        files.push_back(ToStd(file));
    return files;
}

std::string QtPrompts::folder(const FileChoice& choice) {
    return ToStd(Dialogs::instance().folderName(parent_, Request(choice)));
}

} // namespace quillet::ui
