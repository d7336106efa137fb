// Test doubles for the window plumbing's seams: scripted dialogs, recorded help
// requests and recorded web links. Each install() puts a fresh double behind its seam.
#pragma once

#include "ui/qt/Dialogs.h"
#include "ui/qt/Help.h"
#include "ui/qt/WebLinks.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace quillet::test {

using ui::Dialogs;
using ui::FileDialogRequest;
using ui::HelpEngine;
using ui::UrlOpener;

// For tests: answers come from queues, and every box shown is recorded.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString kind; // "question", "information", "warning", "error", "open", "save", "open files", "folder"
        QString caption;
        QString text; // the box text, or the dialog's caption for file dialogs
        QMessageBox::StandardButtons buttons;
        FileDialogRequest request;
    };

    std::deque<QMessageBox::StandardButton> answers; // empty queue: the escape answer
    std::deque<QString> fileNames;                   // empty queue: cancelled
    std::deque<QStringList> fileLists;               // for openFileNames; empty queue: cancelled
    std::vector<Shown> shown;

    QMessageBox::StandardButton question(QWidget* parent, const QString& caption, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;
    void information(QWidget* parent, const QString& caption, const QString& text) override;
    void warning(QWidget* parent, const QString& caption, const QString& text) override;
    void error(QWidget* parent, const QString& caption, const QString& text) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    QStringList openFileNames(QWidget* parent, const FileDialogRequest& request) override;
    QString folderName(QWidget* parent, const FileDialogRequest& request) override; // from fileNames

    // Installs a fresh scripted instance and returns it (owned by Dialogs).
    static ScriptedDialogs& install();

private:
    QString nextFileName(const QString& kind, const FileDialogRequest& request);
};

// For tests: every request is recorded, nothing is shown.
class RecordingHelp : public HelpEngine {
public:
    struct Request {
        QString kind; // "contents", "search", "topic"
        QString helpFile;
        QString key;   // search only
        int topic = 0; // topic only
    };
    std::vector<Request> requests;

    void contents(QWidget* parent, const QString& helpFile) override;
    void search(QWidget* parent, const QString& helpFile, const QString& key) override;
    void topic(QWidget* parent, const QString& helpFile, int topic) override;

    // Installs a fresh recorder and returns it (owned by HelpEngine).
    static RecordingHelp& install();
};

// For tests: records every address and answers with `result`.
class RecordingUrlOpener : public UrlOpener {
public:
    std::vector<QString> opened;
    bool result = true;
    bool open(const QString& address) override;
    static RecordingUrlOpener& install();
};

} // namespace quillet::test
