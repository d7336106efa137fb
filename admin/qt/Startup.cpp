#include "admin/qt/Startup.h"

#include "admin/Branding.h"
#include "admin/qt/AboutBox.h"
#include "admin/qt/Splash.h"
#include "admin/qt/fCfgMain.h"
#include "scheduler/qt/fSched.h"
#include "ui/qt/ErrorReporter.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

namespace quillet::admin {

using namespace quillet::ui;

namespace {

void HoldSplash(std::chrono::milliseconds hold) {
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < hold.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}

} // namespace

AdminWindows::AdminWindows() = default;

AdminWindows::~AdminWindows() = default;

std::unique_ptr<AdminWindows> CreateWindows(const QString& programPath) {
    auto windows = std::make_unique<AdminWindows>();
    // 1. The main window: sets AppFolder and loads the last configuration.
    windows->Form1 = std::make_unique<TForm1>(nullptr, programPath);
    // 2. The about box. The help commands use the main window's help file from now on.
    SetHelpFile(windows->Form1->HelpFilePath());
    windows->AboutBox = std::make_unique<TAboutBox>();
    // 3. The scheduler window (hidden; loads the schedule and arms its timer). It reads
    // the compactor path from the main window at each run, so an unsaved edit counts.
    TForm1* form1 = windows->Form1.get();
    windows->frmSched = std::make_unique<scheduler::TfrmSched>(
        scheduler::SchedulerHost{form1->DataFolder(),
                                 [form1] { return form1->QuilletPathText(); }, {}, form1->AppFolder()});
    form1->SetStartupWindows(windows->frmSched.get(), windows->AboutBox.get());
    return windows;
}

std::unique_ptr<AdminWindows> StartAdministrator(const QString& programPath, std::chrono::milliseconds splashHold) {
    std::unique_ptr<AdminWindows> windows;
    {
        // The splash goes at the end of this block, also when creating a window throws.
        TfrmSplash splash;
        splash.show();
        splash.repaint();
        QCoreApplication::processEvents();
        HoldSplash(splashHold);
        windows = CreateWindows(programPath);
        splash.hide();
    }
    windows->Form1->show();
    return windows;
}

int RunAdministrator(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("QuilletAdmin"));
    std::unique_ptr<AdminWindows> windows;
    try {
        windows = StartAdministrator(QString(), SplashHold(ToStd(QCoreApplication::arguments())));
    } catch (...) {
        ErrorReporter::reportCurrentException();
        return 1;
    }
    return app.exec();
}

} // namespace quillet::admin
