// The about box: its texts, the version in the user's number format, its keys and its
// link, which asks before it connects.
#include "AdminTestSupport.h"

#include "admin/MainPresenter.h"
#include "admin/qt/AboutBox.h"
#include "ui/qt/Text.h"
#include "ui/qt/Help.h"
#include "ui/qt/WebLinks.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace quillet::admin;
using namespace quillet::ui;
using namespace quillet::admin::test;

namespace {
QString LabelText(QWidget* box, const char* name) {
    auto* label = box->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}
} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QLocale::setDefault(QLocale::c());
        UrlOpener::setInstance(nullptr);
        HelpEngine::setInstance(nullptr);
    }
    void contents();
    void versionUsesTheDecimalSeparator_data();
    void versionUsesTheDecimalSeparator();
    void okEnterAndEscapeClose();
    void f1OpensTopic61();
    void linkAsksBeforeConnecting();
    void aboutCommandShowsTheBoxModally();
};

void AboutTest::contents() {
    TAboutBox box;
    QCOMPARE(box.objectName(), QStringLiteral("AboutBox"));
    QCOMPARE(box.windowTitle(), QStringLiteral("About Quillet"));
    QVERIFY(box.isModal());
    QCOMPARE(box.font().family(), QStringLiteral("Arial"));
    QCOMPARE(LabelText(&box, "MakerName"), QStringLiteral("Orvane\u00AE"));
    QVERIFY(box.findChild<QLabel*>("MakerName")->font().bold());
    QCOMPARE(LabelText(&box, "ProductName"), QStringLiteral("Quillet\u2122"));
    QVERIFY(box.findChild<QLabel*>("ProductName")->font().bold());
    QCOMPARE(LabelText(&box, "Build"), QStringLiteral("Build 1.112"));
    QCOMPARE(box.findChild<QLabel*>("ProgramIcon")->pixmap().size(), QSize(96, 96));
    auto* link = box.findChild<QLabel*>("Label2");
    QCOMPARE(link->text(), MakerHomePageText);
    QVERIFY(MakerHomePage.contains(MakerHomePageText));
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    auto* ok = box.findChild<QPushButton*>("OKButton");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
}

void AboutTest::versionUsesTheDecimalSeparator_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("C") << QLocale::c() << "Version 1.11";
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "Version 1.11";
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "Version 1,11";
    QTest::newRow("French") << QLocale(QLocale::French, QLocale::France) << "Version 1,11";
}

void AboutTest::versionUsesTheDecimalSeparator() {
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QLocale::setDefault(locale);
    TAboutBox box;
    QCOMPARE(LabelText(&box, "Version"), text);
    // Two decimals always, no grouping.
    const std::string point = ToStd(locale.decimalPoint());
    QCOMPARE(VersionText(2.0, point), "2" + point + "00");
    QCOMPARE(VersionText(1234.5, point), "1234" + point + "50");
}

void AboutTest::okEnterAndEscapeClose() {
    TAboutBox box;
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        if (key)
            QTest::keyClick(&box, Qt::Key(key));
        else
            QTest::mouseClick(box.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
        QVERIFY2(!box.isVisible(), qPrintable(QString::number(key)));
    }
}

void AboutTest::f1OpensTopic61() {
    auto& help = RecordingHelp::install();
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    // F1 reaches the box from the focused button.
    QTest::keyClick(box.findChild<QPushButton*>("OKButton"), Qt::Key_F1);
    QCOMPARE(help.requests.size(), 1u);
    QCOMPARE(help.requests[0].kind, QStringLiteral("topic"));
    QCOMPARE(help.requests[0].topic, 61);
    QVERIFY(box.isVisible());
}

void AboutTest::linkAsksBeforeConnecting() {
    AdminWorld world;
    auto& opener = RecordingUrlOpener::install();
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* link = box.findChild<QLabel*>("Label2");

    world.dialogs.answers = {QMessageBox::No};
    QTest::mouseClick(link, Qt::LeftButton);
    QVERIFY(opener.opened.empty());
    QCOMPARE(world.dialogs.shown.size(), 1u);
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("question"));
    QCOMPARE(world.dialogs.shown[0].text, QStringLiteral("Connect to the Internet now?"));
    QCOMPARE(world.dialogs.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);

    world.dialogs.answers = {QMessageBox::Yes};
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(opener.opened, (std::vector<QString>{MakerHomePageFromAbout}));
    QVERIFY(MakerHomePageFromAbout.startsWith(MakerHomePage + "?"));

    // A browser that does not start: the launch error, and the box stays.
    opener.result = false;
    world.dialogs.answers = {QMessageBox::Yes};
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(world.dialogs.shown.back().caption, QStringLiteral("Could not start your Internet browser"));
    QCOMPARE(world.dialogs.shown.back().text, QStringLiteral("Launch Error"));
    QVERIFY(box.isVisible());
}

void AboutTest::aboutCommandShowsTheBoxModally() {
    AdminWorld world;
    auto form = world.makeForm();
    TAboutBox box;
    form->SetStartupWindows(nullptr, &box);
    QWidget* modal = nullptr;
    QTimer::singleShot(0, [&] {
        modal = QApplication::activeModalWidget();
        if (modal)
            QTest::keyClick(modal, Qt::Key_Escape);
    });
    Action(form.get(), "About1")->trigger(); // returns once the box is closed
    QCOMPARE(modal, static_cast<QWidget*>(&box));
    QVERIFY(!box.isVisible());
}

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
