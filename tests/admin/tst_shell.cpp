// The Qt main window's shell commands wired to the desktop: the desktop icon, the web
// links and the help requests, with the URL opener, the help engine and the dialogs
// replaced by recorders. Their decisions are tested with the presenter.
#include "AdminTestSupport.h"

#include "admin/Shortcut.h"
#include "admin/qt/AboutBox.h"
#include "admin/qt/Startup.h"
#include "ui/qt/Help.h"
#include "ui/qt/WebLinks.h"

#include <QDir>
#include <QToolButton>
#include <QtTest>

using namespace quillet;
using namespace quillet::admin;
using namespace quillet::ui;
using namespace quillet::admin::test;

namespace {

struct ShortcutCall {
    std::string target, linkName, arguments;
    bool onDesktop = false, inStartMenu = false;
};

// Records what the desktop-icon command asks of the shortcut writer.
struct RecordingWriter {
    std::vector<ShortcutCall> calls;
    RecordingWriter() {
        SetShortcutWriter([this](const std::string& target, const std::string& name, const std::string& args,
                                 bool desktop, bool startMenu) {
            calls.push_back({target, name, args, desktop, startMenu});
            return platform::ShortcutResult{"/somewhere/" + name + ".desktop", {}};
        });
    }
    ~RecordingWriter() { SetShortcutWriter({}); }
};

// A main window showing the configuration at `cfg` with the description `description`.
std::unique_ptr<TForm1> FormWith(AdminWorld& world, const QString& cfg, const QString& description) {
    if (!cfg.isEmpty()) {
        QDir().mkpath(QFileInfo(cfg).absolutePath());
        SetProfileValue(cfg, "Description", description);
        SetProfileValue(world.iniPath(), "LastCfgPath", cfg);
    }
    return world.makeForm();
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        UrlOpener::setInstance(nullptr);
        HelpEngine::setInstance(nullptr);
    }

    void desktopIconQuotesOnlyAPathWithABlank_data();
    void desktopIconQuotesOnlyAPathWithABlank();

    void menuLinksNeverAsk();

    void helpCommandsReachTheHelpFile();
};

void ShellTest::desktopIconQuotesOnlyAPathWithABlank_data() {
    QTest::addColumn<QString>("cfgName");
    QTest::addColumn<bool>("quoted");
    QTest::newRow("blank") << "my cfgs/nightly run.cfg" << true;
    QTest::newRow("none") << "cfgs/nightly.cfg" << false;
}

void ShellTest::desktopIconQuotesOnlyAPathWithABlank() {
    QFETCH(QString, cfgName);
    QFETCH(bool, quoted);
    AdminWorld world;
    RecordingWriter writer;
    const QString cfg = world.file(cfgName);
    auto form = FormWith(world, cfg, "Nightly compaction");
    Action(form.get(), "CreateDesktopIcon1")->trigger();

    QCOMPARE(writer.calls.size(), 1u);
    const ShortcutCall& call = writer.calls[0];
    QCOMPARE(FromStd(call.target), world.folder() + "Quillet"); // the compactor next to us
    QCOMPARE(FromStd(call.linkName), QStringLiteral("Nightly compaction"));
    QCOMPARE(FromStd(call.arguments), quoted ? '"' + cfg + '"' : cfg);
    QVERIFY(call.onDesktop);
    QVERIFY(!call.inStartMenu);
    QVERIFY(world.dialogs.shown.empty()); // nothing is shown after success
    QVERIFY(world.reports.empty());
}

void ShellTest::menuLinksNeverAsk() {
    AdminWorld world;
    auto& opener = RecordingUrlOpener::install();
    auto& help = RecordingHelp::install();
    auto form = world.makeForm();
    Action(form.get(), "QuilletWebPage1")->trigger();
    Action(form.get(), "OrvaneHomePage1")->trigger();
    QCOMPARE(opener.opened, (std::vector<QString>{ProductWebPage, MakerHomePage}));
    QVERIFY(world.dialogs.shown.empty());
    QVERIFY(help.requests.empty());

    // A failing product page shows the launch error and nothing more.
    opener.result = false;
    Action(form.get(), "QuilletWebPage1")->trigger();
    QCOMPARE(world.dialogs.shown.size(), 1u);
    QCOMPARE(world.dialogs.shown[0].kind, QStringLiteral("error"));
    QCOMPARE(world.dialogs.shown[0].caption, QStringLiteral("Could not start your Internet browser"));
    QCOMPARE(world.dialogs.shown[0].text, QStringLiteral("Launch Error"));
    QVERIFY(help.requests.empty());
}

void ShellTest::helpCommandsReachTheHelpFile() {
    AdminWorld world;
    auto& help = RecordingHelp::install();
    // Start-up order: the main window, then the about box; the help file is set between.
    auto windows = CreateWindows(world.programPath());
    QVERIFY(windows->AboutBox);
    QVERIFY(!windows->AboutBox->isVisible());
    TForm1* form = windows->Form1.get();
    const QString file = world.folder() + "Quillet.hlp";

    Action(form, "Contents1")->trigger();
    form->findChild<QToolButton*>("BitBtn6")->click();
    Action(form, "KeywordSearch1")->trigger();
    QCOMPARE(help.requests.size(), 3u);
    QCOMPARE(help.requests[0].kind, QStringLiteral("contents"));
    QCOMPARE(help.requests[1].kind, QStringLiteral("contents"));
    QCOMPARE(help.requests[2].kind, QStringLiteral("search"));
    QCOMPARE(help.requests[2].key, QString());
    for (const auto& r : help.requests)
        QCOMPARE(r.helpFile, file);
    QVERIFY(world.reports.empty());
}

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
