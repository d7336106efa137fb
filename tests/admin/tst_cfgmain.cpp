// The main window's wiring, driven as a user would: each control reaches the document,
// each command redraws the window. The rules themselves: tst_config_document.
#include "AdminTestSupport.h"

#include "core/CfgFile.h"

#include "admin/qt/fOptions.h"

#include <QDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace quillet;
using namespace quillet::admin;
using namespace quillet::ui;
using namespace quillet::admin::test;

class CfgMainTest : public QObject {
    Q_OBJECT

private slots:
    // Start and close.
    void lastConfigurationIsLoadedAtStart();
    void exitClosesTheWindow();

    // The close question.
    void everyChangeAsksOnClose_data();
    void everyChangeAsksOnClose();
    void pathFieldsAndUndoneChangesAskNothing();

    // Save, Save As, New, Open.
    void saveInNewStateAsksForAName();
    void newAndOpenRedrawTheWindow();
    void optionsAreSetInTheirDialogAndSaved();

    // The list.
    void droppedFilesAreAppendedInOrder();
    void addButtonAndInsertKeyPickSeveralFiles();

    // Window.
    void tabOrderAndMaskedFields();
    void everyMenuRowAndButtonIsThere();
    void realConfigDialogs();
};

void CfgMainTest::lastConfigurationIsLoadedAtStart() {
    AdminWorld world;
    const QString cfg = world.file("nightly run.cfg");
    QVERIFY(WriteFile(cfg, "[Defaults]\r\nCompactFiles=/data/a.mdb|/data/b.mdb|\r\nDescription=Nightly\r\n"
                           "Repair=1\r\nWorkgroup=/data/system.mdw\r\nLogin=admin\r\nEncrypt=1\r\n"
                           "Password=xjhwjy\r\nLaunchFile=/bin/true\r\n"));
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QCOMPARE(form->windowTitle(), "Quillet - " + cfg);
    QCOMPARE(Edit(form.get(), "edtDesc")->text(), QStringLiteral("Nightly"));
    QCOMPARE(ListEntries(form.get()), QStringList({"/data/a.mdb", "/data/b.mdb"}));
    QVERIFY(Check(form.get(), "chkRepair")->isChecked());
    QVERIFY(Check(form.get(), "chkEncrypt")->isChecked());
    QCOMPARE(Edit(form.get(), "fedtWrkgrp")->text(), QStringLiteral("/data/system.mdw"));
    QCOMPARE(Edit(form.get(), "medtLogin")->text(), QStringLiteral("admin"));
    QCOMPARE(Edit(form.get(), "medtPwd")->text(), QStringLiteral("secret"));
    QCOMPARE(Edit(form.get(), "fedtDB")->text(), QStringLiteral("/bin/true"));
    QCOMPARE(Edit(form.get(), "fedtAccess")->text(), world.folder() + "QuilletEngine");
    QCOMPARE(Edit(form.get(), "fedtQuilletPath")->text(), world.folder() + "Quillet");
    QVERIFY(!form->Document().Changed());
    QVERIFY(form->close());
    QVERIFY(world.dialogs.shown.empty());
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), cfg);
}

void CfgMainTest::exitClosesTheWindow() {
    AdminWorld world;
    auto form = world.makeForm();
    Action(form.get(), "Exit1")->trigger();
    QVERIFY(!form->isVisible());
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), QString());
}

void CfgMainTest::everyChangeAsksOnClose_data() {
    QTest::addColumn<QString>("change");
    for (const char* name : {"edtDesc", "fedtWrkgrp", "medtLogin", "medtPwd", "fedtDB", "chkRepair",
                             "chkEncrypt", "drop", "delete"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void CfgMainTest::everyChangeAsksOnClose() {
    QFETCH(QString, change);
    AdminWorld world;
    const QString cfg = world.file("a.cfg");
    QVERIFY(WriteFile(cfg, "[Defaults]\r\nDescription=before\r\nCompactFiles=/a.mdb|\r\n"));
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QWidget* control = form->findChild<QWidget*>(change);
    if (change == "drop") {
        QVERIFY(DropFiles(List(form.get()), {world.file("x.mdb")}));
    } else if (change == "delete") {
        List(form.get())->setCurrentRow(0);
        form->Run(MainCommand::DeleteEntry);
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QTest::mouseClick(box, Qt::LeftButton);
    } else {
        QTest::keyClicks(Edit(form.get(), change.toLatin1().constData()), "x");
    }

    // Cancel stays, with the edits.
    world.dialogs.answers.push_back(QMessageBox::Cancel);
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    const auto& box = world.dialogs.shown[0];
    QCOMPARE(box.kind, QStringLiteral("question"));
    QCOMPARE(box.caption, QStringLiteral("Confirm"));
    QCOMPARE(box.text, QStringLiteral("Save changes?"));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    world.dialogs.answers.push_back(QMessageBox::No);
    QVERIFY(form->close());
}

void CfgMainTest::pathFieldsAndUndoneChangesAskNothing() {
    AdminWorld world;
    auto form = world.makeForm();
    QTest::mouseClick(Check(form.get(), "chkRepair"), Qt::LeftButton);
    QTest::mouseClick(Check(form.get(), "chkRepair"), Qt::LeftButton);
    // The two paths are settings, written at every close.
    QTest::keyClicks(Edit(form.get(), "fedtQuilletPath"), "2");
    QTest::keyClicks(Edit(form.get(), "fedtAccess"), "2");
    QCOMPARE(form->QuilletPathText(), world.folder() + "Quillet2");
    QVERIFY(form->close());
    QVERIFY(world.dialogs.shown.empty());
    QCOMPARE(ProfileValue(world.iniPath(), "AccessPath"), world.folder() + "QuilletEngine2");
    QCOMPARE(ProfileValue(world.iniPath(), "QuilletPath"), world.folder() + "Quillet2");
}

void CfgMainTest::saveInNewStateAsksForAName() {
    AdminWorld world;
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "medtLogin"), "bob");
    Action(form.get(), "SaveConfigFIle1")->trigger(); // cancelled: the script has no name
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("save"));
    QCOMPARE(world.dialogs.shown[0].request.filter, QStringLiteral("Config Files (*.cfg)"));
    QCOMPARE(world.dialogs.shown[0].request.defaultSuffix, QStringLiteral("cfg"));

    world.dialogs.fileNames.push_back(world.file("bob.cfg"));
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn3"), Qt::LeftButton);
    QCOMPARE(form->windowTitle(), "Quillet - " + world.file("bob.cfg"));
    QVERIFY(!form->Document().Changed());
    QCOMPARE(ProfileValue(world.file("bob.cfg"), "Login"), QStringLiteral("bob"));

    world.dialogs.fileNames.push_back(world.file("other.cfg"));
    Action(form.get(), "SaveAs1")->trigger();
    QCOMPARE(form->windowTitle(), "Quillet - " + world.file("other.cfg"));
    form->close();
}

void CfgMainTest::newAndOpenRedrawTheWindow() {
    AdminWorld world;
    const QString cfg = world.file("full.cfg");
    SetProfileValue(cfg, "CompactFiles", "/a.mdb|");
    SetProfileValue(cfg, "Description", "full");
    SetProfileValue(cfg, "Repair", "0x10");
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "fedtDB"), "x");
    world.dialogs.answers.push_back(QMessageBox::No);
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn1"), Qt::LeftButton);
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].text, QStringLiteral("Save changes?"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Quillet - Config1"));
    QVERIFY(Edit(form.get(), "edtDesc")->text().isEmpty());
    QVERIFY(Edit(form.get(), "fedtDB")->text().isEmpty());
    QVERIFY(!Check(form.get(), "chkRepair")->isChecked());
    QCOMPARE(List(form.get())->count(), 0);

    world.dialogs.fileNames.push_back(cfg);
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn2"), Qt::LeftButton);
    QCOMPARE(world.dialogs.shown.back().kind, QStringLiteral("open"));
    QCOMPARE(world.dialogs.shown.back().request.directory, world.dir.path());
    QCOMPARE(form->windowTitle(), "Quillet - " + cfg);
    QCOMPARE(Edit(form.get(), "edtDesc")->text(), QStringLiteral("full"));
    QVERIFY(Check(form.get(), "chkRepair")->isChecked());
    QCOMPARE(ListEntries(form.get()), QStringList({"/a.mdb"}));
    QVERIFY(!form->Document().Changed());
    form->close();
}

// Runs `step` on the options dialog once it is shown modally.
static void WhenOptionsShown(std::function<void(TfrmOptions*)> step) {
    QTimer::singleShot(0, [step] {
        auto* dialog = qobject_cast<TfrmOptions*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        step(dialog);
    });
}

void CfgMainTest::optionsAreSetInTheirDialogAndSaved() {
    AdminWorld world;
    const QString cfg = world.file("night.cfg");
    QVERIFY(WriteFile(cfg, "[Defaults]\r\nTimeLimit=30\r\nBackupKeep=7\r\n"));
    world.dialogs.fileNames.push_back(cfg);
    auto form = world.makeForm();
    form->Run(MainCommand::Open);

    // Cancel changes nothing.
    WhenOptionsShown([](TfrmOptions* d) {
        QCOMPARE(d->findChild<QLineEdit*>("edtTimeLimit")->text(), QStringLiteral("30"));
        d->findChild<QLineEdit*>("edtTimeLimit")->setText("5");
        d->reject();
    });
    form->Run(MainCommand::Options);
    QVERIFY(!form->Document().Changed());

    // A missing backup folder is kept only when the user says so.
    const QString missing = world.file("no such folder");
    WhenOptionsShown([&](TfrmOptions* d) {
        d->findChild<QLineEdit*>("edtTimeLimit")->setText("45");
        d->findChild<QCheckBox*>("chkSkipInUse")->setChecked(false);
        d->findChild<QLineEdit*>("edtBackupFolder")->setText(missing);
        d->findChild<QLineEdit*>("edtParallel")->setText("99");
        d->accept(); // the same message as on Windows: stays open
        QVERIFY(world.dialogs.shown.back().text.contains("Parallel engines"));
        d->findChild<QLineEdit*>("edtParallel")->setText("2");
        d->accept(); // scripted No: stays open
        QVERIFY(d->isVisible());
        world.dialogs.answers.push_back(QMessageBox::Yes);
        d->accept();
    });
    form->Run(MainCommand::Options);
    QVERIFY(form->Document().Changed());
    form->Run(MainCommand::Save);
    QVERIFY(!form->Document().Changed());
    const CfgValues saved = ReadCfgForEditor(ToStd(cfg));
    QCOMPARE(saved.options.timeLimit, 45);
    QVERIFY(!saved.options.skipInUse);
    QCOMPARE(FromStd(saved.options.backupFolder), missing);
    QCOMPARE(saved.options.backupKeep, 7);
    QCOMPARE(saved.options.parallel, 2);
    form->close();
}

void CfgMainTest::droppedFilesAreAppendedInOrder() {
    AdminWorld world;
    auto form = world.makeForm();
    QListWidget* list = List(form.get());
    QVERIFY(DropFiles(list, {"/z.mdb"}, Qt::MoveAction));
    // Folders, other files and duplicates are taken as they come.
    QVERIFY(DropFiles(list, {world.dir.path(), "/notes.txt", "/z.mdb"}, Qt::LinkAction));
    QCOMPARE(ListEntries(form.get()), QStringList({"/z.mdb", world.dir.path(), "/notes.txt", "/z.mdb"}));
    // Something that is not a file is not accepted.
    QVERIFY(!DropUrls(list, {QUrl("https://example.org/x.mdb")}));
    QCOMPARE(list->count(), 4);
    form->close();
}

void CfgMainTest::addButtonAndInsertKeyPickSeveralFiles() {
    AdminWorld world;
    auto form = world.makeForm();
    QListWidget* list = List(form.get());
    world.dialogs.fileLists.push_back({"/d/a.mdb", "/d/b c.db"});
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn7"), Qt::LeftButton);
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("open files"));
    const QStringList filters = world.dialogs.shown[0].request.filter.split(";;");
    QCOMPARE(filters.size(), 2);
    QVERIFY(filters[0].startsWith("Database Files (*.mdb "));
    QCOMPARE(filters[1], QStringLiteral("All files (*)"));

    list->setFocus();
    world.dialogs.fileLists.push_back({"/d/c.mdb"});
    QTest::keyClick(list, Qt::Key_Insert);
    QTest::keyClick(list, Qt::Key_Insert); // cancelled
    QCOMPARE(world.dialogs.shown.size(), std::size_t(3));
    QCOMPARE(ListEntries(form.get()), QStringList({"/d/a.mdb", "/d/b c.db", "/d/c.mdb"}));
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(ListEntries(form.get()), QStringList({"/d/a.mdb", "/d/c.mdb"}));
    // Nothing is selected afterwards, so a second Delete removes nothing.
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(ListEntries(form.get()), QStringList({"/d/a.mdb", "/d/c.mdb"}));
    world.dialogs.answers.push_back(QMessageBox::No);
    QVERIFY(form->close());
}

void CfgMainTest::tabOrderAndMaskedFields() {
    AdminWorld world;
    auto form = world.makeForm();
    const char* const order[] = {"fedtAccess", "edtDesc", "lboxCompactFiles", "chkRepair", "fedtWrkgrp",
                                 "medtLogin",  "medtPwd", "chkEncrypt",       "fedtDB",    "fedtQuilletPath"};
    QWidget* previous = nullptr;
    for (const char* name : order) {
        auto* widget = form->findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(widget, name);
        if (previous) {
            // The next widget that Tab reaches; browse buttons are not among them.
            QWidget* next = previous->focusProxy() ? previous->focusProxy() : previous;
            do
                next = next->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus) || next->focusProxy());
            QWidget* expected = widget->focusProxy() ? widget->focusProxy() : widget;
            QCOMPARE(next, expected);
        }
        previous = widget;
    }
    QCOMPARE(Edit(form.get(), "medtPwd")->echoMode(), QLineEdit::Password);
    QCOMPARE(Edit(form.get(), "medtLogin")->echoMode(), QLineEdit::Password);
    form->close();
}

// Every command of the presenter's menu and toolbar reaches the window; what each does
// is tested on the presenter.
void CfgMainTest::everyMenuRowAndButtonIsThere() {
    AdminWorld world;
    auto form = world.makeForm();
    for (const ui::MenuLine& e : MainMenu)
        if (e.command)
            QVERIFY2(Action(form.get(), e.name), e.name);
    for (std::size_t i = 0; i < MainToolbar.size(); ++i) {
        auto* button = form->findChild<QToolButton*>(QStringLiteral("BitBtn%1").arg(i + 1));
        QVERIFY(button && !button->icon().isNull() && button->focusPolicy() == Qt::NoFocus);
    }
    form->close();
}

void CfgMainTest::realConfigDialogs() {
    AdminWorld world;
    Dialogs::setInstance(nullptr); // the real dialogs from here on
    const QString existing = world.file("old.cfg");
    QVERIFY(WriteFile(existing, "[Defaults]\r\nDescription=old\r\n"));
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "edtDesc"), "new");
    auto isConfigDialog = [](const FileDialogVisit& visit) {
        return visit.seen && visit.nameFilters == QStringList({"Config Files (*.cfg)"}) &&
               visit.defaultSuffix == QStringLiteral("cfg") && visit.questions.isEmpty();
    };

    // Typed without its extension, the name of an existing file: replaced without a question.
    FileDialogVisit save;
    AnswerNextFileDialog(save, world.file("old"));
    form->Run(MainCommand::Save);
    QVERIFY(isConfigDialog(save));
    QVERIFY(!save.confirmsOverwrite);
    QCOMPARE(form->CurrentCfgPath(), existing);
    QCOMPARE(ProfileValue(existing, "Description"), QStringLiteral("new"));

    // The open dialog takes a name where no file is; the window then ignores it.
    FileDialogVisit missing;
    AnswerNextFileDialog(missing, world.file("missing"));
    form->Run(MainCommand::Open);
    QVERIFY(isConfigDialog(missing));
    QCOMPARE(form->CurrentCfgPath(), existing);

    form->Run(MainCommand::New);
    FileDialogVisit open;
    AnswerNextFileDialog(open, world.file("old"));
    form->Run(MainCommand::Open);
    QVERIFY(isConfigDialog(open));
    QCOMPARE(form->CurrentCfgPath(), existing);
    QCOMPARE(Edit(form.get(), "edtDesc")->text(), QStringLiteral("new"));

    ScriptedDialogs::install(); // nothing real may wait for a person at the close
    QVERIFY(form->close());
}

QTEST_MAIN(CfgMainTest)
#include "tst_cfgmain.moc"
