// Every message box, question and file dialog of the administrator goes through this
// seam, so tests can script the answers and nothing waits for a person.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

class QWidget;

namespace quillet::ui {

struct FileDialogRequest {
    QString caption;
    QString directory; // starting folder; empty for the system's choice
    QString fileName;  // proposed name
    QString filter;    // Qt filter text, e.g. "Config Files (*.cfg)"
    QString defaultSuffix;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A box with the given buttons; the answer is the button pressed, or the escape
    // button when the box is dismissed.
    virtual QMessageBox::StandardButton question(QWidget* parent, const QString& caption, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton) = 0;
    virtual void information(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A value the user can fix was refused.
    virtual void warning(QWidget* parent, const QString& caption, const QString& text) = 0;
    virtual void error(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Empty when cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Several existing files at once, in the order the dialog gives them; empty when cancelled.
    virtual QStringList openFileNames(QWidget* parent, const FileDialogRequest& request) = 0;
    // An existing folder (request.directory is where it starts); empty when cancelled.
    virtual QString folderName(QWidget* parent, const FileDialogRequest& request) = 0;

    // The process-wide instance; real Qt dialogs unless a test installed its own.
    static Dialogs& instance();
    // Takes ownership; nullptr puts the real dialogs back.
    static void setInstance(std::unique_ptr<Dialogs> dialogs);
};

// A typed file name without an extension gets the dialog's default one, as the file
// dialogs do.
QString WithDefaultSuffix(const QString& fileName, const QString& suffix);

// Real Qt dialogs.
class QtDialogs : public Dialogs {
public:
    QMessageBox::StandardButton question(QWidget* parent, const QString& caption, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) override;
    void information(QWidget* parent, const QString& caption, const QString& text) override;
    void warning(QWidget* parent, const QString& caption, const QString& text) override;
    void error(QWidget* parent, const QString& caption, const QString& text) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    QStringList openFileNames(QWidget* parent, const FileDialogRequest& request) override;
    QString folderName(QWidget* parent, const FileDialogRequest& request) override;
};

} // namespace quillet::ui
