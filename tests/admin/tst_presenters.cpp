// The main window's and the options dialog's decisions without a window: a recording
// view stands for either face, the boxes and dialogs are scripted.
#include "admin/Branding.h"
#include "admin/MainFields.h"
#include "admin/MainPresenter.h"
#include "admin/OptionsPresenter.h"
#include "admin/Shortcut.h"
#include "core/RunHistory.h"
#include "platform/Files.h"
#include "platform/Programs.h"
#include "tests/admin/SpotChecks.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TempDir.h"
#include "ui/HelpFile.h"
#include "ui/WebAddresses.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillet;
using namespace quillet::admin;
using quillet::test::ScriptedPrompts;

namespace {

constexpr std::size_t Field(MainLayout::FieldValue value) {
    return static_cast<std::size_t>(value);
}
using V = MainLayout::FieldValue;

class RecordingView : public MainView {
public:
    std::string caption, lastRun = "<none>";
    CfgValues values;
    int selected = -1;
    std::optional<CfgOptions> optionsAnswer; // nullopt: the dialog is cancelled
    bool linksWork = true, mayEnd = true;
    std::vector<std::string> requests; // what the window was asked to open
    std::vector<std::function<void()>> readings;
    std::function<void()> whileDrawn; // a toolkit's change signals as the fields are set

    void showDocument(const std::string& c, const CfgValues& v, const std::string&) override {
        caption = c;
        values = v;
        if (whileDrawn)
            whileDrawn();
    }
    void showLastRun(const std::string& text) override { lastRun = text; }
    int selectedFile() const override { return selected; }
    std::optional<CfgOptions> editOptions(const CfgOptions&) override { return optionsAnswer; }
    void showScheduler() override { requests.push_back("scheduler"); }
    void showHistory() override { requests.push_back("history"); }
    void showAbout() override { requests.push_back("about"); }
    void helpContents() override { requests.push_back("contents"); }
    void helpSearch() override { requests.push_back("search"); }
    void helpTopic(int topic) override { requests.push_back("topic:" + std::to_string(topic)); }
    bool openLink(const std::string& address) override {
        requests.push_back(address);
        return linksWork;
    }
    void closeWindow() override { requests.push_back("close"); }
    bool mayEndProgram() override { return mayEnd; }
    void inBackground(std::function<std::string()> work, std::function<void(std::string)> done) override {
        readings.push_back([work, done] { done(work()); });
    }
    // Finishes the readings started so far, as the window's thread would.
    void finishReadings() {
        auto now = std::move(readings);
        readings.clear();
        for (auto& r : now)
            r();
    }
};

class Main : public ::testing::Test {
protected:
    test::TempDir dir;
    ScriptedPrompts prompts;
    RecordingView view;
    std::unique_ptr<MainPresenter> presenter;

    void start() {
        presenter = std::make_unique<MainPresenter>(view, prompts, dir.file("QuilletAdmin"), "Quilletadmin");
        presenter->start();
    }
    void TearDown() override { SetShortcutWriter({}); }
};

} // namespace

TEST_F(Main, SaveAsProposesTheShownFileOrTheNewOnesName) {
    start();
    EXPECT_EQ(view.caption, "Quillet - Config1");
    prompts.fileNames.push_back(dir.file("night.cfg"));
    presenter->run(MainCommand::SaveAs);
    EXPECT_EQ(prompts.shown.back().choice.fileName, "Config1.cfg");
    EXPECT_EQ(view.caption, "Quillet - " + dir.file("night.cfg"));
    presenter->run(MainCommand::SaveAs); // cancelled
    EXPECT_EQ(prompts.shown.back().choice.fileName, "night.cfg");
    EXPECT_EQ(prompts.shown.back().choice.directory + platform::PathSeparator + "night.cfg",
              dir.file("night.cfg"));
}

TEST_F(Main, DeleteRemovesTheSelectedEntryOnlyAndOptionsTakeTheDialogsAnswer) {
    start();
    presenter->filesDropped({"/a.mdb", "/b.mdb"});
    EXPECT_EQ(view.values.compactFiles, (std::vector<std::string>{"/a.mdb", "/b.mdb"}));
    presenter->run(MainCommand::DeleteEntry); // nothing selected
    EXPECT_EQ(view.values.compactFiles.size(), 2u);
    view.selected = 0;
    presenter->run(MainCommand::DeleteEntry);
    EXPECT_EQ(view.values.compactFiles, std::vector<std::string>{"/b.mdb"});

    const CfgOptions before = presenter->Document().Values().options;
    presenter->run(MainCommand::Options); // cancelled
    EXPECT_EQ(presenter->Document().Values().options.timeLimit, before.timeLimit);
    view.optionsAnswer = before;
    view.optionsAnswer->timeLimit = 45;
    presenter->run(MainCommand::Options);
    EXPECT_EQ(presenter->Document().Values().options.timeLimit, 45);
}

TEST_F(Main, SignalsOfTheDrawingItselfAreNoEdits) {
    start();
    view.whileDrawn = [this] {
        presenter->fieldEdited(Field(V::Description), "echo");
        presenter->fieldEdited(Field(V::AccessPath), "/echo");
        presenter->fieldClicked(Field(V::Repair), true);
    };
    presenter->filesDropped({"/a.mdb"});
    EXPECT_EQ(presenter->Document().Text(TextField::Description), "");
    EXPECT_FALSE(presenter->Document().TextFieldsChanged());
    EXPECT_FALSE(presenter->Document().Values().repair);
    EXPECT_NE(presenter->Document().Values().accessPath, "/echo");
    view.whileDrawn = nullptr;
    presenter->fieldEdited(Field(V::Description), "typed");
    EXPECT_TRUE(presenter->Document().TextFieldChanged(TextField::Description));
}

// Every field shows back what its edits set, so a face that draws and forwards by the
// table's index keeps each box on its own value.
TEST_F(Main, EachFieldShowsWhatItsEditsSet) {
    start();
    for (std::size_t i = 0; i < std::size(MainLayout::Fields); ++i) {
        const std::string typed = "/typed " + std::to_string(i);
        presenter->fieldEdited(i, typed);
        presenter->fieldClicked(i, true);
        const CfgValues& values = presenter->Document().Values();
        const std::string shown = FieldText(values, presenter->Document().QuilletPath(), i);
        const auto kind = MainLayout::Fields[i].kind;
        if (kind == FieldKind::Check) {
            EXPECT_TRUE(FieldChecked(values, i)) << i;
        } else if (kind != FieldKind::List) {
            EXPECT_EQ(shown, typed) << i;
        }
        EXPECT_EQ(shown.empty(), kind == FieldKind::Check || kind == FieldKind::List) << i;
    }
    EXPECT_EQ(presenter->Document().Values().workgroup, "/typed 4");
    EXPECT_TRUE(presenter->Document().Values().encrypt);
}

TEST_F(Main, ShellAndHelpCommands) {
    start();
    std::string target, linkName, arguments;
    SetShortcutWriter([&](const std::string& t, const std::string& n, const std::string& a, bool, bool) {
        target = t;
        linkName = n;
        arguments = a;
        return platform::ShortcutResult{"/Desktop/" + n + ".desktop", "the folder is missing"};
    });
    presenter->fieldEdited(Field(V::Description), "Nightly run");
    prompts.fileNames.push_back(dir.file("with blank.cfg"));
    presenter->run(MainCommand::Save);
    presenter->run(MainCommand::CreateDesktopIcon);
    EXPECT_EQ(target, dir.file(platform::CompactorProgramName));
    EXPECT_EQ(linkName, "Nightly run");
    EXPECT_EQ(arguments, "\"" + dir.file("with blank.cfg") + "\"");
    EXPECT_EQ(prompts.shown.back().kind, "warn");
    EXPECT_NE(prompts.shown.back().text.find("/Desktop/Nightly run.desktop"), std::string::npos);
    EXPECT_NE(prompts.shown.back().text.find("the folder is missing"), std::string::npos);

    for (MainCommand c : {MainCommand::Contents, MainCommand::KeywordSearch, MainCommand::WebPage,
                          MainCommand::Scheduling, MainCommand::History, MainCommand::About})
        presenter->run(c);
    view.linksWork = false;
    presenter->run(MainCommand::HomePage); // fails: the help topic follows
    view.linksWork = true;
    prompts.answers.push_back(ui::Answer::No);
    presenter->run(MainCommand::EmailFeedback);
    prompts.answers.push_back(ui::Answer::Yes);
    presenter->run(MainCommand::EmailFeedback);
    EXPECT_EQ(view.requests, (std::vector<std::string>{"contents", "search", ui::ProductWebAddress,
                                                       "scheduler", "history", "about", ui::MakerHomeAddress,
                                                       "topic:160", ui::SupportEmailAddress}));
}

// The icon starts the shown configuration, quoted only where a blank needs it; the
// document keeps its own path unquoted, and without a saved one the icon has no arguments.
TEST_F(Main, TheDesktopIconStartsTheSavedConfiguration) {
    start();
    std::vector<std::string> arguments;
    SetShortcutWriter(
        [&](const std::string&, const std::string& n, const std::string& a, bool desktop, bool menu) {
            EXPECT_TRUE(desktop && !menu);
            arguments.push_back(a);
            return platform::ShortcutResult{"/Desktop/" + n + ".desktop", ""};
        });
    const std::string plain = dir.file("nightly.cfg"), blank = dir.file("nightly run.cfg");
    prompts.fileNames = {plain, blank};
    presenter->run(MainCommand::Save);
    presenter->run(MainCommand::CreateDesktopIcon);
    presenter->run(MainCommand::SaveAs);
    presenter->run(MainCommand::CreateDesktopIcon);
    EXPECT_EQ(arguments, (std::vector<std::string>{plain, "\"" + blank + "\""}));
    EXPECT_EQ(prompts.kinds(), (std::vector<std::string>{"save", "save"})); // nothing after success
    std::filesystem::remove(blank);
    presenter->run(MainCommand::Save);
    EXPECT_TRUE(std::filesystem::exists(blank));
    presenter->run(MainCommand::New);
    presenter->run(MainCommand::CreateDesktopIcon);
    EXPECT_EQ(arguments.back(), "");
}

TEST_F(Main, CloseAsksAboutTheDocumentFirstAndTheSchedulerLast) {
    start();
    presenter->fieldEdited(Field(V::Description), "x");
    prompts.answers.push_back(ui::Answer::Cancel);
    EXPECT_FALSE(presenter->close());
    prompts.answers.push_back(ui::Answer::No);
    view.mayEnd = false;
    EXPECT_FALSE(presenter->close());
    view.mayEnd = true;
    presenter->run(MainCommand::Exit);
    EXPECT_EQ(view.requests.back(), "close");
}

TEST_F(Main, LastRunIsReadOffTheThreadAndOnlyWhenTheHistoryChanged) {
    const std::string cfg = dir.file("night.cfg");
    const std::string history = dir.file(HistoryFileName);
    ASSERT_TRUE(platform::ReplaceFileContent(cfg, "[Defaults]\r\n"));
    start();
    EXPECT_EQ(view.lastRun, ""); // no file shown: nothing to say
    prompts.fileNames.push_back(cfg);
    presenter->run(MainCommand::Open);
    ASSERT_EQ(view.readings.size(), 1u);
    view.finishReadings();
    EXPECT_EQ(view.lastRun, "No run recorded");
    presenter->tick();
    EXPECT_TRUE(view.readings.empty()); // nothing changed, nothing read

    HistoryRecord record;
    record.start = "2026-12-08T01:00:02+01:00";
    record.configuration = cfg;
    record.database = "/a.mdb";
    record.outcome = RunOutcome::Ok;
    record.exitCode = 0;
    record.sizeBefore = 2000000;
    record.sizeAfter = 1000000;
    ASSERT_TRUE(platform::ReplaceFileContent(history, HistoryHeader + FormatHistoryLine(record)));
    presenter->tick();
    presenter->tick(); // still reading, the file as it was: not read twice
    ASSERT_EQ(view.readings.size(), 1u);
    view.finishReadings();
    EXPECT_EQ(view.lastRun.rfind("Last run 2026-12-08 01:00", 0), 0u) << view.lastRun;

    // An answer for a configuration no longer shown is dropped.
    presenter->run(MainCommand::New);
    EXPECT_EQ(view.lastRun, "");
    view.finishReadings();
    EXPECT_EQ(view.lastRun, "");
}

namespace {

class RecordingOptionsView : public OptionsView {
public:
    CfgOptions shown;
    std::string folder;
    std::vector<OptionsField> focused;
    std::vector<int> topics;
    std::string reportsFolder;
    void showOptions(const CfgOptions& o) override { shown = o; }
    void showReports(const std::string& f) override { reportsFolder = f; }
    void showBackupFolder(const std::string& f) override { folder = f; }
    void focus(OptionsField field) override { focused.push_back(field); }
    void helpTopic(int topic) override { topics.push_back(topic); }
};

} // namespace

TEST(Options, ABadNumberIsNamedAndKeepsTheDialogOnItsField) {
    ScriptedPrompts prompts;
    RecordingOptionsView view;
    CfgOptions start;
    start.timeLimit = 30;
    OptionsPresenter presenter(view, prompts, start, "/data/");
    presenter.start();
    EXPECT_EQ(view.shown.timeLimit, 30);
    OptionsInput input{"45", "7", "99", "", true, true};
    EXPECT_FALSE(presenter.accept(input));
    EXPECT_EQ(prompts.shown.back().caption, OptionsCaption);
    EXPECT_EQ(prompts.shown.back().text,
              "'99' is not a valid Parallel engines: enter a whole number from 1 to 64 engines at a time");
    EXPECT_EQ(view.focused, std::vector<OptionsField>{OptionsField::Parallel});
    input.timeLimit = "-1";
    EXPECT_FALSE(presenter.accept(input));
    EXPECT_EQ(view.focused.back(), OptionsField::TimeLimit);
    EXPECT_EQ(presenter.options().timeLimit, 30);

    input = {" 45 ", "7", "2", "", false, true};
    EXPECT_TRUE(presenter.accept(input));
    EXPECT_EQ(presenter.options().timeLimit, 45);
    EXPECT_EQ(presenter.options().backupKeep, 7);
    EXPECT_EQ(presenter.options().parallel, 2);
    EXPECT_FALSE(presenter.options().skipInUse);
    EXPECT_TRUE(presenter.options().onlyChanged);
}

TEST(Options, AMissingBackupFolderFocusesItAndTheBrowserFillsIt) {
    ScriptedPrompts prompts;
    RecordingOptionsView view;
    OptionsPresenter presenter(view, prompts, CfgOptions{}, "/data/");
    EXPECT_FALSE(presenter.accept({"0", "1", "1", "/no/such/folder", false, false})); // dismissed: No
    EXPECT_EQ(view.focused.back(), OptionsField::BackupFolder);
    prompts.fileNames.push_back("/backups");
    presenter.browseBackupFolder("  /start ");
    EXPECT_EQ(prompts.shown.back().choice.directory, "/start");
    EXPECT_EQ(view.folder, "/backups");
    presenter.help();
    EXPECT_EQ(view.topics, std::vector<int>{ui::HelpTopicOptions});
    presenter.reports();
    EXPECT_EQ(view.reportsFolder, "/data/");
}

TEST(Branding, SplashHoldIsAtMostAMinuteAndNoneForABadNumber) {
    using std::chrono::milliseconds;
    EXPECT_EQ(SplashHold({"QuilletAdmin", "--splash-ms=1500"}), milliseconds(1500));
    EXPECT_EQ(SplashHold({"--splash-ms=999999"}), milliseconds(60000));
    for (const char* bad : {"--splash-ms=-5", "--splash-ms=5x", "--splash-ms=", "--splash=5"})
        EXPECT_EQ(SplashHold({bad}), milliseconds(0)) << bad;
}

TEST(Branding, AboutAndSplashKeepTheirPartsInsideAndApart) {
    const AboutPlaces& a = AboutSpots;
    test::ExpectInsideAndApart({a.picture, a.maker, a.product, a.version, a.build, a.link, a.ok}, AboutWidth,
                               AboutHeight, "about box");
    test::ExpectInsideAndApart({SplashPicture, SplashName}, SplashWidth, SplashHeight, "splash");
}
