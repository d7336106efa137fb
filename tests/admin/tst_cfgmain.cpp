// The main window driven as a user would: start, edit, save, open, close.
#include "AdminTestSupport.h"

#include "core/CfgFile.h"
#include "core/Include.h"

#include "admin/qt/fOptions.h"

#include <QDir>
#include <QSpinBox>
#include <QTimer>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

using namespace quillet;
using namespace quillet::admin;
using namespace quillet::ui;
using namespace quillet::admin::test;

class CfgMainTest : public QObject {
    Q_OBJECT

private slots:
    // Start and close.
    void firstStartWithoutSettings();
    void savedSettingsAreUsed();
    void lastConfigurationIsLoadedAtStart();
    void lastConfigurationMissingOrAFolder();
    void garbageSettingsFile();
    void unreadableSettingsFile();
    void unwritableSettingsFolderStillCloses();
    void exitClosesTheWindow();

    // The close question.
    void everyChangeAsksOnClose_data();
    void everyChangeAsksOnClose();
    void yesOnCloseSavesUnderAChosenName();
    void pathFieldsAndUndoneChangesAskNothing();

    // Save, Save As, New, Open.
    void saveInNewStateAsksForAName();
    void saveAsCancelledKeepsTheCurrentFile();
    void saveAsIntoAnUnwritableFolderChangesNothing();
    void saveWritesNineKeysInOrder();
    void saveKeepsOtherContent();
    void listRoundTrips();
    void passwordsRoundTrip();
    void fileWithAPasswordIsReadableByItsOwnerOnly();
    void unstorablePasswordIsRefused();
    void saveToUnwritableFileReportsAndKeepsValues_data();
    void saveToUnwritableFileReportsAndKeepsValues();
    void openIgnoresMissingFilesAndCancel();
    void openKeepsAccessPathAndLoadClearsFlags();
    void newDropsTheConfiguration();
    void newAndOpenKeepUnsavedChangesUnlessTold();
    void longListLoadsWhole();
    void optionsAreSetInTheirDialogAndSaved();

    // The list.
    void deleteRemovesOnlyTheSelectedEntry();
    void droppedFilesAreAppendedInOrder();
    void addButtonAndInsertKeyPickSeveralFiles();

    // Window.
    void layoutNamesAndTabOrder();
    void menusAndToolbar();
    void dialogFolderIsTheConfigurationsFolder();
    void realConfigDialogs();
};

void CfgMainTest::firstStartWithoutSettings() {
    AdminWorld world;
    auto form = world.makeForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quillet - Config1"));
    QCOMPARE(form->AppFolder(), world.folder());
    QCOMPARE(form->CurrentCfgPath(), QString());
    QCOMPARE(form->QuilletPathText(), world.folder() + "Quillet");
    QCOMPARE(form->AccessPathText(), world.folder() + "QuilletEngine");
    for (const char* name : {"edtDesc", "fedtWrkgrp", "medtLogin", "medtPwd", "fedtDB"})
        QVERIFY2(Edit(form.get(), name)->text().isEmpty(), name);
    QVERIFY(!Check(form.get(), "chkRepair")->isChecked());
    QVERIFY(!Check(form.get(), "chkEncrypt")->isChecked());
    QCOMPARE(List(form.get())->count(), 0);

    QVERIFY(form->close());
    QVERIFY(world.dialogs.shown.empty());
    QVERIFY(world.reports.empty());
    QCOMPARE(FileLines(world.iniPath()),
             QStringList({"[Defaults]", "LastCfgPath=", "AccessPath=" + world.folder() + "QuilletEngine",
                          "QuilletPath=" + world.folder() + "Quillet"}));
}

void CfgMainTest::savedSettingsAreUsed() {
    AdminWorld world;
    SetProfileValue(world.iniPath(), "AccessPath", "/opt/office/Msaccess");
    SetProfileValue(world.iniPath(), "QuilletPath", "/usr/bin/quillet");
    SetProfileValue(world.iniPath(), "TimerInterval", "15");
    auto form = world.makeForm();
    QCOMPARE(form->AccessPathText(), QStringLiteral("/opt/office/Msaccess"));
    QCOMPARE(form->QuilletPathText(), QStringLiteral("/usr/bin/quillet"));

    FileBox(form.get(), "fedtAccess")->setText("/other/access");
    QVERIFY(form->close());
    QCOMPARE(ProfileValue(world.iniPath(), "AccessPath"), QStringLiteral("/other/access"));
    QCOMPARE(ProfileValue(world.iniPath(), "QuilletPath"), QStringLiteral("/usr/bin/quillet"));
    // The scheduler's keys are not the main window's to touch.
    QCOMPARE(ProfileValue(world.iniPath(), "TimerInterval"), QStringLiteral("15"));
}

void CfgMainTest::lastConfigurationIsLoadedAtStart() {
    AdminWorld world;
    const QString cfg = world.file("nightly run.cfg");
    QVERIFY(WriteFile(cfg, "[Defaults]\r\nCompactFiles=/data/a.mdb|/data/b.mdb|\r\nDescription=Nightly\r\n"
                           "Repair=1\r\nWorkgroup=/data/system.mdw\r\nLogin=admin\r\nEncrypt=0\r\n"
                           "Password=secret\r\nLaunchFile=/bin/true\r\nAccessPath=/ignored\r\n"));
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QCOMPARE(form->windowTitle(), "Quillet - " + cfg);
    QCOMPARE(form->CurrentCfgPath(), cfg);
    QCOMPARE(form->DescriptionText(), QStringLiteral("Nightly"));
    QCOMPARE(ListEntries(form.get()), QStringList({"/data/a.mdb", "/data/b.mdb"}));
    QVERIFY(Check(form.get(), "chkRepair")->isChecked());
    QCOMPARE(Edit(form.get(), "fedtWrkgrp")->text(), QStringLiteral("/data/system.mdw"));
    QCOMPARE(Edit(form.get(), "medtLogin")->text(), QStringLiteral("admin"));
    QCOMPARE(Edit(form.get(), "medtPwd")->text(), QStringLiteral("secret"));
    QCOMPARE(Edit(form.get(), "fedtDB")->text(), QStringLiteral("/bin/true"));
    // A configuration's own Access path is never shown.
    QCOMPARE(form->AccessPathText(), world.folder() + "QuilletEngine");
    QVERIFY(!form->TextFieldsChanged());
    QVERIFY(form->close());
    QVERIFY(world.dialogs.shown.empty());
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), cfg);
}

void CfgMainTest::lastConfigurationMissingOrAFolder() {
    AdminWorld world;
    const QString missing = world.file("gone.cfg");
    SetProfileValue(world.iniPath(), "LastCfgPath", missing);
    {
        auto form = world.makeForm();
        QCOMPARE(form->windowTitle(), "Quillet - " + missing);
        QVERIFY(form->DescriptionText().isEmpty());
        QCOMPARE(List(form.get())->count(), 0);
        // Save writes the file there again, without asking for a name.
        form->SaveConfigFIle1Click();
        QVERIFY(world.dialogs.shown.empty());
        QCOMPARE(ProfileValue(missing, "CompactFiles"), QString());
        form->close();
    }
    SetProfileValue(world.iniPath(), "LastCfgPath", world.dir.path());
    auto form = world.makeForm();
    QCOMPARE(form->windowTitle(), "Quillet - " + world.dir.path());
    QVERIFY(form->DescriptionText().isEmpty());
    QVERIFY(world.reports.empty());
    form->close();
}

void CfgMainTest::garbageSettingsFile() {
    AdminWorld world;
    QByteArray garbage;
    for (int i = 0; i < 200000; ++i)
        garbage.append(char((i * 7919) % 256));
    QVERIFY(WriteFile(world.iniPath(), garbage));
    auto form = world.makeForm();
    QCOMPARE(form->windowTitle().left(10), QStringLiteral("Quillet - "));
    QVERIFY(form->close());
    QVERIFY(world.reports.empty());
    QCOMPARE(ProfileValue(world.iniPath(), "QuilletPath"), world.folder() + "Quillet");
}

void CfgMainTest::unreadableSettingsFile() {
    AdminWorld world;
    QVERIFY(QDir(world.dir.path()).mkdir("Quillet.ini"));
    auto form = world.makeForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quillet - Config1"));
    QCOMPARE(form->QuilletPathText(), world.folder() + "Quillet");
    QVERIFY(form->close());
    // A file problem the user can put right: a plain warning, not the crash box.
    QVERIFY(world.reports.empty());
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(world.dialogs.shown[0].text, "Unable to write to " + world.iniPath() + ". Is a directory");
}

void CfgMainTest::unwritableSettingsFolderStillCloses() {
    AdminWorld world;
    // A program folder that does not exist stands for one that cannot be written (the
    // tests may run with rights that ignore file permissions).
    const QString program = world.file("no such folder/QuilletAdmin");
    auto form = world.makeForm(program);
    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QVERIFY(world.reports.empty());
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(world.dialogs.shown[0].text,
             "Unable to write to " + world.file("no such folder/Quillet.ini") + ". No such file or directory");
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
    for (const char* name : {"edtDesc", "fedtWrkgrp", "medtLogin", "medtPwd", "fedtDB", "chkRepair", "chkEncrypt",
                             "drop", "delete"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void CfgMainTest::everyChangeAsksOnClose() {
    QFETCH(QString, change);
    AdminWorld world;
    const QString cfg = world.file("a.cfg");
    const QStringList before = {"[Defaults]", "Description=before", "CompactFiles=/a.mdb|"};
    QVERIFY(WriteFile(cfg, before.join("\r\n").toLatin1() + "\r\n"));
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QWidget* control = form->findChild<QWidget*>(change);
    if (change == "drop") {
        QVERIFY(DropFiles(List(form.get()), {world.file("x.mdb")}));
    } else if (change == "delete") {
        List(form.get())->setCurrentRow(0);
        form->DeleteFile1Click();
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QTest::mouseClick(box, Qt::LeftButton);
    } else {
        QTest::keyClicks(Edit(form.get(), change.toLatin1().constData()), "x");
    }

    // Cancel stays, with the edits and without writing anything.
    world.dialogs.answers.push_back(QMessageBox::Cancel);
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    const auto& box = world.dialogs.shown[0];
    QCOMPARE(box.kind, QStringLiteral("question"));
    QCOMPARE(box.caption, QStringLiteral("Confirm"));
    QCOMPARE(box.text, QStringLiteral("Save changes?"));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY(form->ConfigurationChanged());
    QCOMPARE(ProfileValue(world.iniPath(), "AccessPath"), QStringLiteral("<missing>"));

    // No closes without saving; the settings are written all the same.
    world.dialogs.answers.push_back(QMessageBox::No);
    QVERIFY(form->close());
    QCOMPARE(FileLines(cfg), before);
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), cfg);
}

void CfgMainTest::yesOnCloseSavesUnderAChosenName() {
    AdminWorld world;
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "edtDesc"), "Weekly");
    world.dialogs.answers.push_back(QMessageBox::Yes);
    world.dialogs.fileNames.push_back(world.file("weekly")); // typed without an extension
    QVERIFY(form->close());
    QCOMPARE(world.dialogs.shown.size(), std::size_t(2));
    QCOMPARE(world.dialogs.shown[1].kind, QStringLiteral("save"));
    QCOMPARE(world.dialogs.shown[1].request.filter, QStringLiteral("Config Files (*.cfg)"));
    QCOMPARE(world.dialogs.shown[1].request.defaultSuffix, QStringLiteral("cfg"));
    QCOMPARE(ProfileValue(world.file("weekly.cfg"), "Description"), QStringLiteral("Weekly"));
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), world.file("weekly.cfg"));
}

void CfgMainTest::pathFieldsAndUndoneChangesAskNothing() {
    AdminWorld world;
    auto form = world.makeForm();
    // A tick undone is no change.
    QTest::mouseClick(Check(form.get(), "chkRepair"), Qt::LeftButton);
    QTest::mouseClick(Check(form.get(), "chkRepair"), Qt::LeftButton);
    // The two paths are settings, written at every close.
    QTest::keyClicks(Edit(form.get(), "fedtQuilletPath"), "2");
    QTest::keyClicks(Edit(form.get(), "fedtAccess"), "2");
    QVERIFY(form->close());
    QVERIFY(world.dialogs.shown.empty());
    QCOMPARE(QDir(world.dir.path()).entryList(QDir::Files), QStringList({"Quillet.ini"}));
    QCOMPARE(ProfileValue(world.iniPath(), "AccessPath"), world.folder() + "QuilletEngine2");
}

void CfgMainTest::saveInNewStateAsksForAName() {
    AdminWorld world;
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "medtLogin"), "bob");
    Action(form.get(), "SaveConfigFIle1")->trigger(); // cancelled: the script has no name
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("save"));
    QCOMPARE(form->CurrentCfgPath(), QString());
    QVERIFY(form->TextFieldsChanged());
    QCOMPARE(QDir(world.dir.path()).entryList(QDir::Files), QStringList());

    world.dialogs.fileNames.push_back(world.file("bob.cfg"));
    form->findChild<QWidget*>("BitBtn3")->setFocus();
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn3"), Qt::LeftButton);
    QCOMPARE(form->CurrentCfgPath(), world.file("bob.cfg"));
    QCOMPARE(form->windowTitle(), "Quillet - " + world.file("bob.cfg"));
    QVERIFY(!form->TextFieldsChanged());
    QCOMPARE(ProfileValue(world.file("bob.cfg"), "Login"), QStringLiteral("bob"));

    // Named: Save writes without a question.
    QTest::keyClicks(Edit(form.get(), "medtLogin"), "by");
    form->SaveConfigFIle1Click();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(2));
    QCOMPARE(ProfileValue(world.file("bob.cfg"), "Login"), QStringLiteral("bobby"));
    form->close();
}

void CfgMainTest::saveAsCancelledKeepsTheCurrentFile() {
    AdminWorld world;
    const QString cfg = world.file("old.cfg");
    SetProfileValue(cfg, "Description", "old");
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    Action(form.get(), "SaveAs1")->trigger();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("save"));
    QCOMPARE(form->CurrentCfgPath(), cfg);
    QCOMPARE(form->windowTitle(), "Quillet - " + cfg);
    QCOMPARE(FileLines(cfg), QStringList({"[Defaults]", "Description=old"}));
    QVERIFY(form->close());
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), cfg);
}

void CfgMainTest::saveAsIntoAnUnwritableFolderChangesNothing() {
    AdminWorld world;
    const QString cfg = world.file("old.cfg");
    SetProfileValue(cfg, "Description", "old");
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "edtDesc"), " and new");
    // A folder that does not exist stands for any that cannot be written.
    const QString target = world.file("no such folder/new.cfg");
    world.dialogs.fileNames.push_back(target);
    form->SaveAs1Click();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(2));
    QCOMPARE(world.dialogs.shown[1].kind, QStringLiteral("error"));
    QCOMPARE(world.dialogs.shown[1].text, "Unable to write to " + target + ". No such file or directory");
    QCOMPARE(form->CurrentCfgPath(), cfg);
    QCOMPARE(form->windowTitle(), "Quillet - " + cfg);

    // Yes on close saves to the window's file, which works: the window closes.
    world.dialogs.answers.push_back(QMessageBox::Yes);
    QVERIFY(form->close());
    QCOMPARE(ProfileValue(cfg, "Description"), QStringLiteral("old and new"));
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), cfg);
}

void CfgMainTest::saveWritesNineKeysInOrder() {
    AdminWorld world;
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "edtDesc"), "Desc");
    QTest::keyClicks(Edit(form.get(), "fedtWrkgrp"), "/w/system.mdw");
    QTest::keyClicks(Edit(form.get(), "medtLogin"), "me");
    QTest::keyClicks(Edit(form.get(), "medtPwd"), "pw");
    QTest::keyClicks(Edit(form.get(), "fedtDB"), "/bin/echo done");
    QTest::mouseClick(Check(form.get(), "chkRepair"), Qt::LeftButton);
    world.dialogs.fileNames.push_back(world.file("new.cfg"));
    form->SaveConfigFIle1Click();
    QCOMPARE(FileLines(world.file("new.cfg")),
             QStringList({"[Defaults]", "CompactFiles=", "AccessPath=" + world.folder() + "QuilletEngine",
                          "Description=Desc", "Repair=1", "Workgroup=/w/system.mdw", "Login=me", "Encrypt=0",
                          "Password=pw", "LaunchFile=/bin/echo done", "TimeLimit=0", "SkipInUse=1", "BackupFolder=",
                          "BackupKeep=3", "OnlyChanged=0", "Parallel=1"}));
    form->close();
}

void CfgMainTest::saveKeepsOtherContent() {
    AdminWorld world;
    const QString cfg = world.file("shared.cfg");
    QVERIFY(WriteFile(cfg, "; kept\r\n[Other]\r\nKey=Value\r\n[Defaults]\r\nCustom=1\r\nLogin=old\r\nTimeLimit=30\r\n"));
    world.dialogs.fileNames.push_back(cfg);
    auto form = world.makeForm();
    form->OpenConfigFile1Click();
    QCOMPARE(Edit(form.get(), "medtLogin")->text(), QStringLiteral("old"));
    form->SaveConfigFIle1Click();
    const QStringList lines = FileLines(cfg);
    QCOMPARE(lines.mid(0, 6),
             QStringList({"; kept", "[Other]", "Key=Value", "[Defaults]", "Custom=1", "Login=old"}));
    QCOMPARE(ProfileValue(cfg, "Key", "Other"), QStringLiteral("Value"));
    QCOMPARE(lines.size(), 4 + 9 + 6 + 1);
    QCOMPARE(ProfileValue(cfg, "TimeLimit", "Defaults"), QStringLiteral("30"));
    form->close();
}

void CfgMainTest::listRoundTrips() {
    AdminWorld world;
    const QString a = world.file("a.mdb");
    const QString bc = world.file("b c.mdb");
    world.dialogs.fileNames.push_back(world.file("list.cfg"));
    {
        auto form = world.makeForm();
        QVERIFY(DropFiles(List(form.get()), {a, bc}));
        form->SaveConfigFIle1Click();
        QCOMPARE(ProfileValue(world.file("list.cfg"), "CompactFiles"), a + "|" + bc + "|");
        form->close();
    }
    auto form = world.makeForm();
    QCOMPARE(ListEntries(form.get()), QStringList({a, bc}));
    form->close();
}

void CfgMainTest::passwordsRoundTrip() {
    AdminWorld world;
    const QString cfg = world.file("pw.cfg");
    world.dialogs.fileNames.push_back(cfg);
    {
        auto form = world.makeForm();
        QTest::keyClicks(Edit(form.get(), "medtLogin"), "Sam");
        QTest::keyClicks(Edit(form.get(), "medtPwd"), "Open Sesame!");
        QTest::mouseClick(Check(form.get(), "chkEncrypt"), Qt::LeftButton);
        form->SaveConfigFIle1Click();
        form->close();
    }
    QCOMPARE(ProfileValue(cfg, "Encrypt"), QStringLiteral("1"));
    QCOMPARE(ProfileValue(cfg, "Login"), QStringLiteral("Sam"));
    QCOMPARE(ToStd(ProfileValue(cfg, "Password")), ShiftText("Open Sesame!", PasswordShift));
    {
        auto form = world.makeForm();
        QCOMPARE(Edit(form.get(), "medtPwd")->text(), QStringLiteral("Open Sesame!"));
        QVERIFY(Check(form.get(), "chkEncrypt")->isChecked());
        // Stored plain once Encrypt is cleared.
        QTest::mouseClick(Check(form.get(), "chkEncrypt"), Qt::LeftButton);
        form->SaveConfigFIle1Click();
        form->close();
    }
    QCOMPARE(ProfileValue(cfg, "Password"), QStringLiteral("Open Sesame!"));
    QCOMPARE(ProfileValue(cfg, "Encrypt"), QStringLiteral("0"));
}

void CfgMainTest::fileWithAPasswordIsReadableByItsOwnerOnly() {
    AdminWorld world;
    const mode_t previousMask = ::umask(022);
    const QString plain = world.file("plain.cfg");
    const QString cfg = world.file("secret.cfg");
    SetProfileValue(cfg, "Description", "readable by all so far");
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    auto form = world.makeForm();
    world.dialogs.fileNames.push_back(plain);
    form->SaveConfigFIle1Click();
    QVERIFY(QFile::permissions(plain) & QFile::ReadOther); // nothing secret in it
    world.dialogs.fileNames.push_back(cfg);
    form->OpenConfigFile1Click();
    QVERIFY(QFile::permissions(cfg) & QFile::ReadOther);
    QTest::keyClicks(Edit(form.get(), "medtPwd"), "secret");
    form->SaveConfigFIle1Click();
    QCOMPARE(QFile::permissions(cfg) & others, QFile::Permissions());
    // Kept on a later save, also once the password is gone.
    Edit(form.get(), "medtPwd")->clear();
    QTest::keyClicks(Edit(form.get(), "edtDesc"), "!");
    form->SaveConfigFIle1Click();
    QCOMPARE(QFile::permissions(cfg) & others, QFile::Permissions());
    QVERIFY(QFile::permissions(cfg) & QFile::WriteOwner);
    QVERIFY(form->close());
    ::umask(previousMask);
}

void CfgMainTest::unstorablePasswordIsRefused() {
    AdminWorld world;
    const QString cfg = world.file("refused.cfg");
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    // Shifted, a trailing blank would be lost by the file: refused before anything is written.
    static_assert(PasswordShift <= 32);
    Edit(form.get(), "medtPwd")->setText(QString(QChar(32 - PasswordShift)));
    Edit(form.get(), "medtPwd")->setModified(true);
    QTest::mouseClick(Check(form.get(), "chkEncrypt"), Qt::LeftButton);
    form->SaveConfigFIle1Click();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("error"));
    QVERIFY(!QFile::exists(cfg));
    QVERIFY(form->TextFieldsChanged());
    world.dialogs.answers.push_back(QMessageBox::Cancel);
    form->close();
}

void CfgMainTest::saveToUnwritableFileReportsAndKeepsValues_data() {
    QTest::addColumn<bool>("readOnlyFile");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder") << false << "Is a directory";
    QTest::newRow("read-only file") << true << "Permission denied";
}

void CfgMainTest::saveToUnwritableFileReportsAndKeepsValues() {
    QFETCH(bool, readOnlyFile);
    QFETCH(QString, reason);
    AdminWorld world;
    const QString cfg = world.file("locked.cfg");
    const QByteArray before = "[Defaults]\r\nDescription=\r\n";
    if (readOnlyFile) {
        QVERIFY(WriteFile(cfg, before));
        QVERIFY(QFile::setPermissions(cfg, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else {
        // A folder in the configuration's place cannot be written as a file.
        QVERIFY(QDir(world.dir.path()).mkdir("locked.cfg"));
    }
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "edtDesc"), "keep me");
    QVERIFY(DropFiles(List(form.get()), {world.file("x.mdb")}));
    form->SaveConfigFIle1Click();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("error"));
    QCOMPARE(world.dialogs.shown[0].caption, QStringLiteral("Quilletadmin"));
    QCOMPARE(world.dialogs.shown[0].text, "Unable to write to " + cfg + ". " + reason);
    QCOMPARE(form->DescriptionText(), QStringLiteral("keep me"));
    QCOMPARE(ListEntries(form.get()), QStringList({world.file("x.mdb")}));
    QVERIFY(form->TextFieldsChanged()); // not saved, so still marked
    // Yes on close fails the same way and keeps the window open with the edits.
    world.dialogs.answers.push_back(QMessageBox::Yes);
    QVERIFY(!form->close());
    QCOMPARE(world.dialogs.shown.size(), std::size_t(3));
    QCOMPARE(world.dialogs.shown[1].text, QStringLiteral("Save changes?"));
    QCOMPARE(world.dialogs.shown[2].kind, QStringLiteral("error"));
    QCOMPARE(form->DescriptionText(), QStringLiteral("keep me"));
    world.dialogs.answers.push_back(QMessageBox::No);
    QVERIFY(form->close());
    if (readOnlyFile) {
        QFile file(cfg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
}

void CfgMainTest::openIgnoresMissingFilesAndCancel() {
    AdminWorld world;
    auto form = world.makeForm();
    QTest::keyClicks(Edit(form.get(), "edtDesc"), "unsaved");
    // Each Open asks about the edit first; No goes on to the file dialog.
    world.dialogs.answers = {QMessageBox::No, QMessageBox::No, QMessageBox::No};
    form->OpenConfigFile1Click(); // cancelled
    world.dialogs.fileNames.push_back(world.file("missing.cfg"));
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn2"), Qt::LeftButton);
    world.dialogs.fileNames.push_back(world.dir.path()); // a folder is no file
    Action(form.get(), "OpenConfigFile1")->trigger();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(6));
    QCOMPARE(world.dialogs.shown[1].request.filter, QStringLiteral("Config Files (*.cfg)"));
    QCOMPARE(form->CurrentCfgPath(), QString());
    QCOMPARE(form->DescriptionText(), QStringLiteral("unsaved"));
    QVERIFY(form->TextFieldsChanged());
    world.dialogs.answers.push_back(QMessageBox::Cancel);
    form->close();
}

void CfgMainTest::openKeepsAccessPathAndLoadClearsFlags() {
    AdminWorld world;
    const QString first = world.file("first.cfg");
    const QString second = world.file("second.cfg");
    SetProfileValue(first, "Description", "same");
    SetProfileValue(first, "AccessPath", "/first/access");
    SetProfileValue(second, "Description", "same");
    SetProfileValue(second, "Login", "other");
    SetProfileValue(world.iniPath(), "LastCfgPath", first);
    auto form = world.makeForm();
    FileBox(form.get(), "fedtAccess")->setText("/mine/access");

    // A load that puts the same text leaves that field's flag; a different text clears it.
    Edit(form.get(), "edtDesc")->setModified(true);
    QTest::keyClicks(Edit(form.get(), "medtLogin"), "x");
    world.dialogs.answers.push_back(QMessageBox::No);
    world.dialogs.fileNames.push_back(second);
    form->OpenConfigFile1Click();
    QCOMPARE(form->CurrentCfgPath(), second);
    QCOMPARE(form->windowTitle(), "Quillet - " + second);
    QVERIFY(Edit(form.get(), "edtDesc")->isModified());
    QVERIFY(!Edit(form.get(), "medtLogin")->isModified());
    QCOMPARE(form->AccessPathText(), QStringLiteral("/mine/access"));

    form->SaveConfigFIle1Click();
    QCOMPARE(ProfileValue(second, "AccessPath"), QStringLiteral("/mine/access"));
    QVERIFY(!form->TextFieldsChanged());
    form->close();
}

void CfgMainTest::newDropsTheConfiguration() {
    AdminWorld world;
    const QString cfg = world.file("full.cfg");
    SetProfileValue(cfg, "CompactFiles", "/a.mdb|");
    SetProfileValue(cfg, "Description", "full");
    SetProfileValue(cfg, "Repair", "0x10");
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QVERIFY(Check(form.get(), "chkRepair")->isChecked());
    QTest::keyClicks(Edit(form.get(), "fedtDB"), "x");
    world.dialogs.answers.push_back(QMessageBox::No);
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn1"), Qt::LeftButton);
    QCOMPARE(world.dialogs.shown.size(), std::size_t(1));
    QCOMPARE(world.dialogs.shown[0].text, QStringLiteral("Save changes?"));
    QCOMPARE(FileLines(cfg).filter("LaunchFile").size(), 0); // No: nothing saved
    world.dialogs.shown.clear();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quillet - Config1"));
    QCOMPARE(form->CurrentCfgPath(), QString());
    QVERIFY(form->DescriptionText().isEmpty());
    QVERIFY(Edit(form.get(), "fedtDB")->text().isEmpty());
    QVERIFY(!Check(form.get(), "chkRepair")->isChecked());
    QCOMPARE(List(form.get())->count(), 0);
    QVERIFY(!form->TextFieldsChanged());
    QVERIFY(form->close());
    QVERIFY(world.dialogs.shown.empty());
    QCOMPARE(ProfileValue(world.iniPath(), "LastCfgPath"), QString());
}

void CfgMainTest::newAndOpenKeepUnsavedChangesUnlessTold() {
    AdminWorld world;
    const QString other = world.file("other.cfg");
    SetProfileValue(other, "Description", "other");
    auto form = world.makeForm();
    QVERIFY(DropFiles(List(form.get()), {"/a.mdb"}));

    // Cancel, and Yes with the save dialog cancelled, keep the list on screen.
    world.dialogs.answers = {QMessageBox::Cancel, QMessageBox::Yes};
    form->NewConfigFile1Click();
    form->OpenConfigFile1Click();
    QCOMPARE(world.dialogs.shown.size(), std::size_t(3));
    QCOMPARE(world.dialogs.shown[0].text, QStringLiteral("Save changes?"));
    QCOMPARE(world.dialogs.shown[2].kind, QStringLiteral("save"));
    QCOMPARE(ListEntries(form.get()), QStringList({"/a.mdb"}));
    QCOMPARE(form->CurrentCfgPath(), QString());

    // Yes with a name saves first, then opens.
    world.dialogs.answers = {QMessageBox::Yes};
    world.dialogs.fileNames = {world.file("mine.cfg"), other};
    form->OpenConfigFile1Click();
    QCOMPARE(ProfileValue(world.file("mine.cfg"), "CompactFiles"), QStringLiteral("/a.mdb|"));
    QCOMPARE(form->CurrentCfgPath(), other);
    QCOMPARE(form->DescriptionText(), QStringLiteral("other"));
    form->close();
}

void CfgMainTest::longListLoadsWhole() {
    AdminWorld world;
    const QString cfg = world.file("long.cfg");
    QString value;
    QStringList expected;
    for (int i = 0; i < 200; ++i) {
        const QString path = QStringLiteral("/some/rather/long/folder/name/database%1.mdb").arg(i);
        expected << path;
        value += path + "|";
    }
    QVERIFY(value.size() > 2047);
    SetProfileValue(cfg, "CompactFiles", value);
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QCOMPARE(ListEntries(form.get()), expected);
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
    form->OpenConfigFile1Click();

    // Cancel changes nothing.
    WhenOptionsShown([](TfrmOptions* d) {
        QCOMPARE(d->findChild<QSpinBox*>("spnTimeLimit")->value(), 30);
        d->findChild<QSpinBox*>("spnTimeLimit")->setValue(5);
        d->reject();
    });
    form->Options1Click();
    QVERIFY(!form->ConfigurationChanged());

    // A missing backup folder is kept only when the user says so.
    const QString missing = world.file("no such folder");
    WhenOptionsShown([&](TfrmOptions* d) {
        d->findChild<QSpinBox*>("spnTimeLimit")->setValue(45);
        d->findChild<QCheckBox*>("chkSkipInUse")->setChecked(false);
        d->findChild<QLineEdit*>("edtBackupFolder")->setText(missing);
        d->findChild<QSpinBox*>("spnParallel")->setValue(2);
        d->accept(); // scripted No: stays open
        QVERIFY(d->isVisible());
        world.dialogs.answers.push_back(QMessageBox::Yes);
        d->accept();
    });
    form->Options1Click();
    QVERIFY(form->ConfigurationChanged());
    form->SaveConfigFIle1Click();
    QVERIFY(!form->ConfigurationChanged());
    const CfgValues saved = ReadCfgForEditor(ToStd(cfg));
    QCOMPARE(saved.options.timeLimit, 45);
    QVERIFY(!saved.options.skipInUse);
    QCOMPARE(FromStd(saved.options.backupFolder), missing);
    QCOMPARE(saved.options.backupKeep, 7);
    QCOMPARE(saved.options.parallel, 2);
    form->close();
}

void CfgMainTest::deleteRemovesOnlyTheSelectedEntry() {
    AdminWorld world;
    auto form = world.makeForm();
    QListWidget* list = List(form.get());
    QVERIFY(DropFiles(list, {"/a", "/b", "/c"}));
    Action(form.get(), "DeleteFile1")->trigger();
    QCOMPARE(ListEntries(form.get()), QStringList({"/a", "/b", "/c"}));
    list->setCurrentRow(1);
    QTest::mouseClick(form->findChild<QWidget*>("BitBtn4"), Qt::LeftButton);
    QCOMPARE(ListEntries(form.get()), QStringList({"/a", "/c"}));
    // Nothing is selected afterwards, so a second Delete removes nothing.
    form->DeleteFile1Click();
    QCOMPARE(ListEntries(form.get()), QStringList({"/a", "/c"}));
    QVERIFY(world.dialogs.shown.empty());
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
    world.dialogs.answers.push_back(QMessageBox::No);
    QVERIFY(form->close());
}

void CfgMainTest::layoutNamesAndTabOrder() {
    AdminWorld world;
    auto form = world.makeForm();
    QWidget* client = form->centralWidget();
    QCOMPARE(client->size(), QSize(534, 347));
    QCOMPARE(form->findChild<QWidget*>("Panel1")->geometry(), QRect(0, 0, 534, 57));
    QCOMPARE(form->findChild<QWidget*>("Panel2")->geometry(), QRect(0, 55, 534, 291));
    struct Place {
        const char* name;
        QPoint at;
        int width;
    };
    const Place places[] = {{"fedtAccess", {128, 16}, 385},       {"edtDesc", {128, 40}, 385},
                            {"lboxCompactFiles", {128, 64}, 385}, {"chkRepair", {32, 136}, -1},
                            {"fedtWrkgrp", {128, 168}, 385},      {"medtLogin", {128, 192}, 121},
                            {"medtPwd", {320, 192}, 121},         {"chkEncrypt", {456, 194}, -1},
                            {"fedtDB", {128, 228}, 385},          {"fedtQuilletPath", {128, 260}, 385}};
    QWidget* previous = nullptr;
    for (const Place& place : places) {
        auto* widget = form->findChild<QWidget*>(QLatin1String(place.name));
        QVERIFY2(widget, place.name);
        QCOMPARE(widget->pos(), place.at);
        if (place.width > 0)
            QCOMPARE(widget->width(), place.width);
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
    QCOMPARE(List(form.get())->height(), 97);
    QCOMPARE(List(form.get())->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(Edit(form.get(), "medtPwd")->echoMode(), QLineEdit::Password);
    QCOMPARE(Edit(form.get(), "medtLogin")->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter),
             int('#'));
    auto* hint = form->findChild<QLabel*>("Label4");
    QCOMPARE(hint->pos(), QPoint(40, 96));
    // The hint names what the platform has, not Windows' file manager everywhere.
    QCOMPARE(hint->text(), QStringLiteral("Drag files from \na file manager -->"));
    QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
    form->close();
}

void CfgMainTest::menusAndToolbar() {
    AdminWorld world;
    auto form = world.makeForm();
    const std::pair<const char*, const char*> items[] = {{"NewConfigFile1", "&New Config File"},
                                                         {"OpenConfigFile1", "&Open Config File"},
                                                         {"SaveConfigFIle1", "&Save Config File"},
                                                         {"SaveAs1", "Save &As"},
                                                         {"DeleteFile1", "&Delete File"},
                                                         {"CreateDesktopIcon1", "Create Desktop &Icon"},
                                                         {"Options1", "O&ptions..."},
                                                         {"Exit1", "E&xit"},
                                                         {"Scheduling1", "S&cheduling"},
                                                         {"Contents1", "&Contents"},
                                                         {"KeywordSearch1", "Keyword &Search"},
                                                         {"QuilletWebPage1", "Quillet &Web Page"},
                                                         {"OrvaneHomePage1", "Orvane &Home Page"},
                                                         {"EmailFeedback1", "&E-mail Feedback"},
                                                         {"About1", "&About"}};
    for (const auto& [name, caption] : items) {
        QAction* action = Action(form.get(), name);
        QVERIFY2(action, name);
        QCOMPARE(action->text(), QString::fromUtf8(caption));
    }
    const std::tuple<const char*, const char*, const char*, int> buttons[] = {
        {"BitBtn1", "New", "New configuration", 0},
        {"BitBtn2", "Open", "Open an exisitng configuration file", 64},
        {"BitBtn3", "Save", "Save current configuration file", 128},
        {"BitBtn4", "Delete", "Removes selected database from compaction configuration", 192},
        {"BitBtn5", "Schedule", "Show scheduler configuration screen", 256},
        {"BitBtn6", "Help", "Help", 320}};
    for (const auto& [name, caption, hint, x] : buttons) {
        auto* button = form->findChild<QToolButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QCOMPARE(button->text(), QString::fromLatin1(caption));
        QCOMPARE(button->toolTip(), QString::fromLatin1(hint));
        QCOMPARE(button->geometry(), QRect(x, 0, 65, 55));
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(!button->icon().isNull());
    }
    form->close();
}

void CfgMainTest::dialogFolderIsTheConfigurationsFolder() {
    QCOMPARE(DialogFolderOf("/data/configs/a.cfg"), QStringLiteral("/data/configs"));
    QCOMPARE(DialogFolderOf("/a.cfg"), QStringLiteral("/"));
    QCOMPARE(DialogFolderOf("//a.cfg"), QStringLiteral("//"));
    QCOMPARE(DialogFolderOf("a.cfg"), QString());
    QCOMPARE(DialogFolderOf(""), QString());
    QCOMPARE(ProgramFolder("/opt/quillet/QuilletAdmin"), QStringLiteral("/opt/quillet/"));
    // ":" is an ordinary character in these paths.
    QCOMPARE(ProgramFolder("/opt/a:b/QuilletAdmin"), QStringLiteral("/opt/a:b/"));

    AdminWorld world;
    const QString cfg = world.file("a.cfg");
    SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    auto form = world.makeForm();
    QCOMPARE(form->DialogFolder(), world.dir.path());
    form->OpenConfigFile1Click();
    QCOMPARE(world.dialogs.shown[0].request.directory, world.dir.path());
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
    form->SaveConfigFIle1Click();
    QVERIFY(isConfigDialog(save));
    QVERIFY(!save.confirmsOverwrite);
    QCOMPARE(form->CurrentCfgPath(), existing);
    QCOMPARE(ProfileValue(existing, "Description"), QStringLiteral("new"));

    // The open dialog takes a name where no file is; the window then ignores it.
    FileDialogVisit missing;
    AnswerNextFileDialog(missing, world.file("missing"));
    form->OpenConfigFile1Click();
    QVERIFY(isConfigDialog(missing));
    QCOMPARE(form->CurrentCfgPath(), existing);

    form->NewConfigFile1Click();
    FileDialogVisit open;
    AnswerNextFileDialog(open, world.file("old"));
    form->OpenConfigFile1Click();
    QVERIFY(isConfigDialog(open));
    QCOMPARE(form->CurrentCfgPath(), existing);
    QCOMPARE(form->DescriptionText(), QStringLiteral("new"));

    ScriptedDialogs::install(); // nothing real may wait for a person at the close
    QVERIFY(form->close());
}

QTEST_MAIN(CfgMainTest)
#include "tst_cfgmain.moc"
