// Shared by the window tests: a private AppFolder, scripted dialogs, recorded error
// reports, files and settings, drops and real file dialogs answered as a user would.
#pragma once

#include "platform/Profile.h"
#include "tests/support/UiDoubles.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Text.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <vector>

namespace quillet::test {

using ui::FromStd;
using ui::ToStd;

struct Report {
    QString message;
    QString details;
};

// One test's world: a program folder of its own, dialogs that answer from a script and
// an error reporter that records instead of showing its box.
class UiWorld {
public:
    UiWorld() : dialogs(ScriptedDialogs::install()) {
        ui::ErrorReporter::setSink([this](const QString& message, const QString& details) {
            reports.push_back({message, details});
        });
    }
    ~UiWorld() {
        ui::ErrorReporter::setSink({});
        ui::Dialogs::setInstance(nullptr);
    }
    UiWorld(const UiWorld&) = delete;
    UiWorld& operator=(const UiWorld&) = delete;

    QString folder() const { return dir.path() + QLatin1Char('/'); }
    QString programPath() const { return folder() + QStringLiteral("QuilletAdmin"); }
    QString iniPath() const { return folder() + QStringLiteral("Quillet.ini"); }
    QString file(const QString& name) const { return folder() + name; }

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

} // namespace quillet::test
