// Shared by the administrator's window tests: a private AppFolder, scripted dialogs,
// recorded error reports and quick access to controls by name.
#pragma once

#include "admin/AdminText.h"
#include "admin/Dialogs.h"
#include "admin/ErrorReporter.h"
#include "admin/FileNameEdit.h"
#include "admin/fCfgMain.h"
#include "platform/Profile.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace quillet::admin::test {

struct Report {
    QString message;
    QString details;
};

// One test's world: a program folder of its own, dialogs that answer from a script and
// an error reporter that records instead of showing its box.
class AdminWorld {
public:
    AdminWorld() : dialogs(ScriptedDialogs::install()) {
        ErrorReporter::setSink([this](const QString& message, const QString& details) {
            reports.push_back({message, details});
        });
    }
    ~AdminWorld() {
        ErrorReporter::setSink({});
        Dialogs::setInstance(nullptr);
    }
    AdminWorld(const AdminWorld&) = delete;
    AdminWorld& operator=(const AdminWorld&) = delete;

    QString folder() const { return dir.path() + QLatin1Char('/'); }
    QString programPath() const { return folder() + QStringLiteral("QuilletAdmin"); }
    QString iniPath() const { return folder() + QStringLiteral("Quillet.ini"); }
    QString file(const QString& name) const { return folder() + name; }

    std::unique_ptr<TForm1> makeForm(const QString& program = QString()) const {
        auto form = std::make_unique<TForm1>(nullptr, program.isEmpty() ? programPath() : program);
        form->show();
        return form;
    }

    QTemporaryDir dir;
    ScriptedDialogs& dialogs;
    std::vector<Report> reports;
};

// "<missing>" for a key the file lacks.
inline QString ProfileValue(const QString& file, const QString& key, const QString& section = "Defaults") {
    return FromStd(platform::GetPrivateProfileString(ToStd(section), ToStd(key), "<missing>", ToStd(file),
                                                     platform::ProfileListBufferSize));
}

inline void SetProfileValue(const QString& file, const QString& key, const QString& value,
                            const QString& section = "Defaults") {
    QVERIFY(platform::WritePrivateProfileString(ToStd(section), ToStd(key), ToStd(value), ToStd(file)));
}

inline QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Controls by their names.
inline QLineEdit* Edit(QWidget* form, const char* name) {
    if (auto* box = form->findChild<TFileNameEdit*>(QLatin1String(name)))
        return box->lineEdit();
    return form->findChild<QLineEdit*>(QLatin1String(name));
}
inline TFileNameEdit* FileBox(QWidget* form, const char* name) {
    return form->findChild<TFileNameEdit*>(QLatin1String(name));
}
inline QListWidget* List(QWidget* form) {
    return form->findChild<QListWidget*>(QStringLiteral("lboxCompactFiles"));
}
inline QCheckBox* Check(QWidget* form, const char* name) {
    return form->findChild<QCheckBox*>(QLatin1String(name));
}
inline QAction* Action(QWidget* form, const char* name) {
    return form->findChild<QAction*>(QLatin1String(name));
}

inline QStringList ListEntries(QWidget* form) {
    QStringList entries;
    QListWidget* list = List(form);
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

// Drags the URLs onto the control as the file manager does, with the given action, and
// drops them. True when the drop was accepted.
inline bool DropUrls(QWidget* control, const QList<QUrl>& urls, Qt::DropAction action = Qt::CopyAction) {
    QWidget* surface = control;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control))
        surface = area->viewport();
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint pos(5, 5);
    QDragEnterEvent enter(pos, action, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(pos, action, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
    QDropEvent drop(QPointF(pos), action, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &drop);
    return drop.isAccepted();
}

inline bool DropFiles(QWidget* control, const QStringList& paths, Qt::DropAction action = Qt::CopyAction) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    return DropUrls(control, urls, action);
}

// What a real file dialog showed, seen from inside while it ran.
struct FileDialogVisit {
    bool seen = false;
    QString title;
    QStringList nameFilters;
    QString defaultSuffix;
    bool confirmsOverwrite = true;
    bool anyFile = false;
    QStringList listed;    // names listed in the starting folder
    QStringList questions; // texts of message boxes the dialog raised
};

// Answers the next real file dialog as a user would: waits until its folder lists
// loadedWhen, types the name and confirms it (an empty name cancels). A message box
// the dialog raises is recorded and dismissed, and a dialog still open after that is
// cancelled, so a wrong dialog fails the test instead of hanging it.
inline void AnswerNextFileDialog(FileDialogVisit& visit, const QString& typed,
                                 const QString& loadedWhen = {}) {
    QTimer::singleShot(0, [&visit, typed, loadedWhen] {
        QFileDialog* dialog = nullptr;
        (void)QTest::qWaitFor(
            [&] { return (dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); }, 5000);
        if (!dialog)
            return;
        visit.seen = true;
        visit.title = dialog->windowTitle();
        visit.nameFilters = dialog->nameFilters();
        visit.defaultSuffix = dialog->defaultSuffix();
        visit.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        visit.anyFile = dialog->fileMode() == QFileDialog::AnyFile;
        auto listed = [dialog] {
            QStringList names;
            if (auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"))) {
                const QModelIndex root = view->rootIndex();
                for (int row = 0; row < view->model()->rowCount(root); ++row)
                    names << view->model()->index(row, 0, root).data().toString();
            }
            return names;
        };
        if (!loadedWhen.isEmpty())
            (void)QTest::qWaitFor([&] { return listed().contains(loadedWhen); }, 5000);
        visit.listed = listed();
        if (typed.isEmpty()) {
            dialog->reject();
            return;
        }
        QTimer watchdog;
        QObject::connect(&watchdog, &QTimer::timeout, [&visit] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                visit.questions << box->text();
                box->reject();
            }
        });
        watchdog.start(20);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
        static_cast<QDialog*>(dialog)->accept(); // as the dialog's own button does
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace quillet::admin::test
