// The window plumbing: the application title, the error reporter and its box, the
// file-name box, the drop target and the scripted dialogs.
#include "core/Errors.h"
#include "tests/support/UiTestSupport.h"
#include "ui/qt/ApplicationTitle.h"
#include "ui/qt/DropFileTarget.h"
#include "ui/qt/ExceptionBox.h"
#include "ui/qt/FileNameEdit.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace quillet;
using namespace quillet::ui;
using namespace quillet::test;

namespace {

class ThrowingObject : public QObject {
protected:
    void customEvent(QEvent*) override { throw std::runtime_error("thrown from an event"); }
};

QPushButton* Button(QWidget* box, const char* name) {
    return box->findChild<QPushButton*>(QLatin1String(name));
}

} // namespace

class UiPartsTest : public QObject {
    Q_OBJECT

private slots:
    void applicationTitle();

    void guardedHandlersReportTheirErrors();
    void errorsEscapingAHandlerAreCaught();
    void exceptionBoxContinuesShowsAndSaves();
    void reportWithoutSinkShowsTheBoxAndGoesOn();

    void browseStartsAtTheBoxPath();
    void browsedPathsAreQuoted();
    void browseListsFilesWithoutExtension();

    void dropTargetBindsAndReleases();
    void scriptedDialogsAnswerInOrder();
};

void UiPartsTest::applicationTitle() {
    QCOMPARE(ApplicationTitle("/opt/q/QuilletAdmin"), QStringLiteral("Quilletadmin"));
    QCOMPARE(ApplicationTitle("/opt/q/QuilletAdmin.exe"), QStringLiteral("Quilletadmin"));
    QCOMPARE(ApplicationTitle("/opt/q/ab.CD.exe"), QStringLiteral("ab.cd"));
}

void UiPartsTest::guardedHandlersReportTheirErrors() {
    UiWorld world;
    bool after = false;
    guarded([] { throw EConvertError("'12x' is not a valid integer value"); });
    guarded([] { throw EIniFileException("/x/Quillet.ini"); });
    guarded([] { throw 42; });
    guarded([&] { after = true; });
    QVERIFY(after);
    QCOMPARE(world.reports.size(), std::size_t(3));
    QCOMPARE(world.reports[0].message, QStringLiteral("'12x' is not a valid integer value"));
    QVERIFY(world.reports[0].details.contains("EConvertError"));
    QCOMPARE(world.reports[1].message, QStringLiteral("Unable to write to /x/Quillet.ini"));
    QCOMPARE(world.reports[2].message, QStringLiteral("An unknown error occurred."));
}

void UiPartsTest::errorsEscapingAHandlerAreCaught() {
    UiWorld world;
    ThrowingObject target;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(world.reports.size(), std::size_t(1));
    QCOMPARE(world.reports[0].message, QStringLiteral("thrown from an event"));
    // The program goes on handling events.
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QTRY_VERIFY(ran);
}

void UiPartsTest::exceptionBoxContinuesShowsAndSaves() {
    UiWorld world;
    const QString report =
        ErrorReporter::ReportText("Cannot create file /x", "Error class: quillet::EFCreateError");
    QVERIFY(report.startsWith("An error occurred in the application."));
    QVERIFY(report.contains("Cannot create file /x"));
    TExceptionBox box("Cannot create file /x", report);
    QCOMPARE(box.findChild<QLabel*>("lblHeadline")->text(),
             QStringLiteral("An error occurred in the application."));
    QCOMPARE(box.findChild<QLabel*>("lblMessage")->text(), QStringLiteral("Cannot create file /x"));
    auto* details = box.findChild<QPlainTextEdit*>("memDetails");
    box.show();
    QVERIFY(!details->isVisible());
    QTest::mouseClick(Button(&box, "btnDetails"), Qt::LeftButton);
    QVERIFY(details->isVisible());
    QCOMPARE(details->toPlainText(), report);

    const QString saved = world.file("exception_report.txt");
    world.dialogs.fileNames.push_back(saved);
    QTest::mouseClick(Button(&box, "btnSave"), Qt::LeftButton);
    QCOMPARE(world.dialogs.shown.back().request.fileName, QStringLiteral("exception_report.txt"));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Cannot create file /x\r\n"));

    // A report that cannot be written says so.
    const QString unwritable = world.file("no folder/exception_report.txt");
    world.dialogs.fileNames.push_back(unwritable);
    box.SaveReport();
    QCOMPARE(world.dialogs.shown.back().kind, QStringLiteral("error"));
    QVERIFY(world.dialogs.shown.back().text.startsWith("Cannot create file " + unwritable + ". "));

    QTest::mouseClick(Button(&box, "btnRestart"), Qt::LeftButton);
    QCOMPARE(box.choice(), ErrorReporter::Choice::Restart);
    box.show();
    QTest::keyClick(&box, Qt::Key_Escape);
    QCOMPARE(box.choice(), ErrorReporter::Choice::Continue);
    QVERIFY(!box.isVisible());

    // Enter in a fresh box is Continue, not the button that comes first.
    TExceptionBox fresh("Cannot create file /x", report);
    fresh.show();
    QVERIFY(QTest::qWaitForWindowActive(&fresh));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!fresh.isVisible());
    QCOMPARE(fresh.choice(), ErrorReporter::Choice::Continue);
}

void UiPartsTest::reportWithoutSinkShowsTheBoxAndGoesOn() {
    UiWorld world;
    ErrorReporter::setSink({});
    QString shownMessage;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TExceptionBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        shownMessage = box->findChild<QLabel*>("lblMessage")->text();
        QTest::mouseClick(Button(box, "btnContinue"), Qt::LeftButton);
    });
    guarded([] { throw EConvertError("'abc' is not a valid integer value"); });
    QCOMPARE(shownMessage, QStringLiteral("'abc' is not a valid integer value"));
}

void UiPartsTest::browseStartsAtTheBoxPath() {
    UiWorld world;
    const QString spaced = world.file("with blank.txt");
    QVERIFY(WriteFile(spaced, "x"));
    // A file that exists is taken whole, blanks and all.
    QCOMPARE(TFileNameEdit::BrowseStartPath(spaced), spaced);
    // Otherwise the first word, which may be quoted.
    QCOMPARE(TFileNameEdit::BrowseStartPath("/bin/prog -x -y"), QStringLiteral("/bin/prog"));
    QCOMPARE(TFileNameEdit::BrowseStartPath("\"/a b/prog\" -x"), QStringLiteral("/a b/prog"));
    QCOMPARE(TFileNameEdit::BrowseStartPath(""), QString());

    TFileNameEdit box;
    box.setText("\"" + world.file("tool.sh") + "\" --now");
    box.Browse();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    const FileDialogRequest& request = world.dialogs.shown[0].request;
    QCOMPARE(request.caption, QStringLiteral("Browse"));
    QCOMPARE(request.filter, QStringLiteral("All files (*)"));
    QCOMPARE(request.directory, world.dir.path());
    QCOMPARE(request.fileName, QStringLiteral("tool.sh"));

    // A folder that does not exist leaves the start to the dialog.
    box.setText("/no/such/folder/x.mdb");
    box.Browse();
    QCOMPARE(world.dialogs.shown[1].request.directory, QString());
    QCOMPARE(world.dialogs.shown[1].request.fileName, QStringLiteral("x.mdb"));
}

void UiPartsTest::browsedPathsAreQuoted() {
    UiWorld world;
    QCOMPARE(TFileNameEdit::QuoteBrowsedPath("/a b/c"), QStringLiteral("\"/a b/c\""));
    QCOMPARE(TFileNameEdit::QuoteBrowsedPath("\"/a b/c\""), QStringLiteral("\"/a b/c\""));
    QCOMPARE(TFileNameEdit::QuoteBrowsedPath("/a/c"), QStringLiteral("/a/c"));

    TFileNameEdit box;
    QTest::keyClicks(box.lineEdit(), "typed");
    QVERIFY(box.isModified());
    box.Browse(); // cancelled: nothing changes
    QCOMPARE(box.text(), QStringLiteral("typed"));
    QVERIFY(box.isModified());

    world.dialogs.fileNames.push_back(world.file("my db.mdb"));
    QTest::mouseClick(box.browseButton(), Qt::LeftButton);
    QCOMPARE(box.text(), "\"" + world.file("my db.mdb") + "\"");
    QVERIFY(!box.isModified());
    // The next browse starts in that file's folder even when the box names none.
    box.setText("");
    box.Browse();
    QCOMPARE(world.dialogs.shown.back().request.directory, world.dir.path());
}

void UiPartsTest::browseListsFilesWithoutExtension() {
    UiWorld world;
    Dialogs::setInstance(nullptr); // the real dialog
    // The programs that the path boxes name have no extension here.
    QVERIFY(WriteFile(world.file("Quillet"), "x"));
    QVERIFY(WriteFile(world.file("notes.txt"), "x"));
    TFileNameEdit box;
    box.setText(world.file("notes.txt"));
    FileDialogVisit browse;
    AnswerNextFileDialog(browse, world.file("Quillet"), "Quillet");
    box.Browse();
    QVERIFY(browse.seen);
    QCOMPARE(browse.title, QStringLiteral("Browse"));
    QVERIFY2(browse.listed.contains("Quillet"), qPrintable(browse.listed.join(", ")));
    QCOMPARE(box.text(), world.file("Quillet"));
}

void UiPartsTest::dropTargetBindsAndReleases() {
    UiWorld world;
    QStringList received;
    auto list = std::make_unique<QListWidget>();
    {
        TDropFileTarget target;
        QVERIFY(!DropFiles(list.get(), {"/a"}));
        target.Register(list.get(), [&](const QStringList& files) { received += files; });
        QVERIFY(target.IsRegistered());
        QVERIFY(DropFiles(list.get(), {"/a", "/b/"}));
        QCOMPARE(received, QStringList({"/a", "/b"}));
        // A handler that fails does not take the drop target down.
        target.Register(list.get(), [](const QStringList&) { throw EConvertError("bad drop"); });
        QVERIFY(DropFiles(list.get(), {"/c"}));
        QCOMPARE(world.reports.size(), std::size_t(1));
        target.Revoke();
        QVERIFY(!target.IsRegistered());
        QVERIFY(!DropFiles(list.get(), {"/d"}));
        QVERIFY(!list->viewport()->acceptDrops());
        target.Register(list.get(), [&](const QStringList& files) { received += files; });
    } // released when the target goes
    QVERIFY(!DropFiles(list.get(), {"/e"}));
    QCOMPARE(received, QStringList({"/a", "/b"}));

    // A control that goes first leaves nothing dangling.
    TDropFileTarget target;
    target.Register(list.get(), [](const QStringList&) {});
    list.reset();
    QVERIFY(!target.IsRegistered());
    target.Revoke();

    QMimeData mixed;
    mixed.setUrls({QUrl("https://example.org/a"), QUrl::fromLocalFile("/x y/z.mdb")});
    QCOMPARE(TDropFileTarget::DroppedFiles(&mixed), QStringList({"/x y/z.mdb"}));
    QCOMPARE(TDropFileTarget::DroppedFiles(nullptr), QStringList());
}

void UiPartsTest::scriptedDialogsAnswerInOrder() {
    UiWorld world;
    Dialogs& dialogs = Dialogs::instance();
    QCOMPARE(&dialogs, static_cast<Dialogs*>(&world.dialogs));
    world.dialogs.answers.push_back(QMessageBox::Yes);
    QCOMPARE(dialogs.question(nullptr, "C", "T", QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Yes),
             QMessageBox::Yes);
    // Out of answers: the box is dismissed with its escape button.
    QCOMPARE(dialogs.question(nullptr, "C", "T", QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Yes),
             QMessageBox::Cancel);
    QCOMPARE(dialogs.question(nullptr, "C", "T", QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes),
             QMessageBox::No);
    QCOMPARE(WithDefaultSuffix("/a/b", "cfg"), QStringLiteral("/a/b.cfg"));
    QCOMPARE(WithDefaultSuffix("/a/b.txt", "cfg"), QStringLiteral("/a/b.txt"));
    QCOMPARE(WithDefaultSuffix("", "cfg"), QString());
    Dialogs::setInstance(nullptr);
    QVERIFY(dynamic_cast<QtDialogs*>(&Dialogs::instance()));
}

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    UiPartsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uiparts.moc"
