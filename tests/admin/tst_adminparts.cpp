// The administrator's start-up and splash.
#include "AdminTestSupport.h"

#include "admin/qt/Splash.h"
#include "admin/qt/Startup.h"
#include "ui/qt/ErrorReporter.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace quillet;
using namespace quillet::admin;
using namespace quillet::admin::test;

class AdminPartsTest : public QObject {
    Q_OBJECT

private slots:
    void startupShowsMainWindowAndDropsSplash();
    void splashLayout();
};

void AdminPartsTest::startupShowsMainWindowAndDropsSplash() {
    AdminWorld world;
    // While the splash is held it is on screen, and no window has been made yet.
    bool splashShown = false;
    bool mainWindowMade = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            splashShown = splashShown || (qobject_cast<TfrmSplash*>(top) && top->isVisible());
            mainWindowMade = mainWindowMade || qobject_cast<TForm1*>(top);
        }
    });
    auto windows = StartAdministrator(world.programPath(), std::chrono::milliseconds(50));
    QVERIFY(splashShown);
    QVERIFY(!mainWindowMade);
    QVERIFY(windows->Form1);
    QVERIFY(windows->Form1->isVisible());
    QCOMPARE(windows->Form1->AppFolder(), world.folder());
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TfrmSplash*>(top));
    QVERIFY(windows->Form1->close());
    QCOMPARE(ProfileValue(world.iniPath(), "QuilletPath"), world.folder() + "Quillet");
}

void AdminPartsTest::splashLayout() {
    TfrmSplash splash;
    QCOMPARE(splash.size(), QSize(360, 212));
    QCOMPARE(splash.windowTitle(), QStringLiteral("Loading Quillet"));
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    auto* name = splash.findChild<QLabel*>("Label1");
    QCOMPARE(name->text(), QStringLiteral("Quillet\u2122"));
    QCOMPARE(name->pos(), QPoint(48, 8));
    QVERIFY(name->font().bold());
    QCOMPARE(name->font().pixelSize(), 37);
    QCOMPARE(splash.findChild<QLabel*>("Image1")->geometry(), QRect(223, 40, 137, 137));
    QCOMPARE(splash.palette().color(QPalette::Window), QColor(Qt::white));
}

int main(int argc, char** argv) {
    ui::GuardedApplication app(argc, argv);
    AdminPartsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_adminparts.moc"
