#include "tests/support/UiDoubles.h"

#include <memory>

namespace quillet::test {

using ui::WithDefaultSuffix;

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

void ScriptedDialogs::warning(QWidget*, const QString& caption, const QString& text) {
    shown.push_back({QStringLiteral("warning"), caption, text, QMessageBox::Ok, {}});
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

QString ScriptedDialogs::folderName(QWidget*, const FileDialogRequest& request) {
    return nextFileName(QStringLiteral("folder"), request);
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

void RecordingHelp::contents(QWidget*, const QString& file) {
    requests.push_back({QStringLiteral("contents"), file, {}, 0});
}

void RecordingHelp::search(QWidget*, const QString& file, const QString& key) {
    requests.push_back({QStringLiteral("search"), file, key, 0});
}

void RecordingHelp::topic(QWidget*, const QString& file, int topic) {
    requests.push_back({QStringLiteral("topic"), file, {}, topic});
}

RecordingHelp& RecordingHelp::install() {
    auto engine = std::make_unique<RecordingHelp>();
    RecordingHelp& ref = *engine;
    HelpEngine::setInstance(std::move(engine));
    return ref;
}

bool RecordingUrlOpener::open(const QString& address) {
    opened.push_back(address);
    return result;
}

RecordingUrlOpener& RecordingUrlOpener::install() {
    auto opener = std::make_unique<RecordingUrlOpener>();
    RecordingUrlOpener& ref = *opener;
    UrlOpener::setInstance(std::move(opener));
    return ref;
}

} // namespace quillet::test
