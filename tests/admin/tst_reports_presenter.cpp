// The Reports dialog's decisions without a window: a recording view stands for either
// face, the channels and the password store are seams, Quillet.ini is a real file.
#include "admin/ReportsPresenter.h"
#include "core/AdminSettings.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TempDir.h"
#include "ui/HelpFile.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

using namespace quillet;
using namespace quillet::admin;
using quillet::test::ScriptedPrompts;

namespace {

class RecordingView : public ReportsView {
public:
    std::map<ReportsField, std::string> texts;
    std::map<ReportsField, std::pair<std::vector<std::string>, std::size_t>> choices;
    std::map<ReportsField, bool> enabled;
    std::vector<ReportsField> focused;
    std::vector<int> topics;
    std::string passwordNote, answers;
    bool testEnabled = false;

    void showText(ReportsField f, const std::string& t) override { texts[f] = t; }
    void showChoices(ReportsField f, const std::vector<std::string>& l, std::size_t c) override { choices[f] = {l, c}; }
    void showPasswordNote(const std::string& note) override { passwordNote = note; }
    void showAnswers(const std::string& text) override { answers = text; }
    void enable(ReportsField f, bool on) override { enabled[f] = on; }
    void enableTest(bool on) override { testEnabled = on; }
    void focus(ReportsField f) override { focused.push_back(f); }
    void helpTopic(int topic) override { topics.push_back(topic); }
    void postTestDone() override {
        const std::lock_guard<std::mutex> hold(lock);
        posted = true;
        wake.notify_all();
    }
    // Waits for the test's thread to post, as the window's thread would.
    bool waitPosted() {
        std::unique_lock<std::mutex> hold(lock);
        return wake.wait_for(hold, std::chrono::seconds(20), [this] { return posted; });
    }
    std::mutex lock;
    std::condition_variable wake;
    bool posted = false;
};

// The channels and the store as the dialog reaches them, recording what it asked.
struct Seams {
    std::mutex lock;
    std::condition_variable wake;
    bool release = true;
    ReportSettings sentSettings;
    std::string sentPassword, machine;
    std::thread::id sentOn;
    std::vector<std::pair<std::string, std::string>> stored; // folder, password
    std::optional<std::string> kept;
    bool storeWorks = true;

    ReportsServices services() {
        ReportsServices s;
        s.sendTest = [this](const ReportSettings& settings, const std::string& password, const std::string& m) {
            std::unique_lock<std::mutex> hold(lock);
            wake.wait(hold, [this] { return release; });
            sentSettings = settings;
            sentPassword = password;
            machine = m;
            sentOn = std::this_thread::get_id();
            return std::vector<ChannelAnswer>{{"mail", true, "250 2.0.0 queued"},
                                              {"ping", false, "certificate not trusted: self-signed"}};
        };
        s.storePassword = [this](const std::string& folder, const std::string& password, std::string& reason) {
            stored.emplace_back(folder, password);
            reason = "others can read the folder";
            return storeWorks;
        };
        s.storedPassword = [this](const std::string&, std::string& reason) {
            reason = "no password is stored";
            return kept;
        };
        return s;
    }
    std::string password() {
        const std::lock_guard<std::mutex> hold(lock);
        return sentPassword;
    }
    void let(bool go) {
        const std::lock_guard<std::mutex> hold(lock);
        release = go;
        wake.notify_all();
    }
};

class Reports : public ::testing::Test {
protected:
    test::TempDir dir;
    ScriptedPrompts prompts;
    RecordingView view;
    Seams seams;
    std::unique_ptr<ReportsPresenter> presenter;

    std::string folder() const { return dir.file(""); }
    std::string ini() const { return dir.file(SettingsFileName); }
    std::string key(const char* name) const {
        return platform::GetPrivateProfileString(ReportsSection, name, "<missing>", ini());
    }
    void start() {
        presenter = std::make_unique<ReportsPresenter>(view, prompts, folder(), seams.services());
        presenter->start();
    }
    std::string file() const {
        std::string text;
        platform::ReadWholeFile(ini(), text);
        return text;
    }
};

} // namespace

TEST_F(Reports, ShowsTheFileEnablesMailByItsServerAndSavesOnlyAChange) {
    ASSERT_TRUE(platform::WritePrivateProfileString(ReportsSection, "PingUrl", "https://ping.example/abc", ini()));
    ASSERT_TRUE(platform::WritePrivateProfileString("Defaults", "StartTime", "02", ini()));
    const std::string before = file();
    seams.kept = "secret";
    start();
    EXPECT_EQ(view.texts[ReportsField::PingUrl], "https://ping.example/abc");
    EXPECT_EQ(view.texts[ReportsField::MailPort], "587");
    EXPECT_EQ(view.texts[ReportsField::ExpectEvery], "24");
    EXPECT_EQ(view.texts.count(ReportsField::MailPassword), 0u); // never shown back
    EXPECT_EQ(view.choices[ReportsField::MailSecurity].second, 0u);
    EXPECT_EQ(view.choices[ReportsField::MailWhen].second, 0u);
    EXPECT_EQ(view.passwordNote, "kept for this user: type to replace it");
    EXPECT_FALSE(view.enabled[ReportsField::MailPort]);
    EXPECT_FALSE(view.enabled[ReportsField::MailWhen]);
    EXPECT_TRUE(view.enabled[ReportsField::FleetFolder]);
    EXPECT_TRUE(view.testEnabled); // the heartbeat is a channel

    // Unchanged: the file stays as it was, no [Reports] keys appear.
    EXPECT_TRUE(presenter->accept());
    EXPECT_EQ(file(), before);

    presenter->edited(ReportsField::MailServer, "smtp.office.example");
    EXPECT_TRUE(view.enabled[ReportsField::MailPort]);
    EXPECT_FALSE(view.enabled[ReportsField::MailPassword]); // no user, no sign-in
    presenter->edited(ReportsField::MailUser, "night");
    EXPECT_TRUE(view.enabled[ReportsField::MailPassword]);
    presenter->edited(ReportsField::MailFrom, " quillet@office.example ");
    presenter->edited(ReportsField::MailTo, "admin@office.example, boss@office.example");
    presenter->chosen(ReportsField::MailWhen, 1);
    prompts.fileNames.push_back("/srv/fleet");
    presenter->browseFleetFolder();
    EXPECT_EQ(view.texts[ReportsField::FleetFolder], "/srv/fleet");
    EXPECT_TRUE(presenter->accept());
    EXPECT_EQ(key("MailServer"), "smtp.office.example");
    EXPECT_EQ(key("MailFrom"), "quillet@office.example");
    EXPECT_EQ(key("MailWhen"), "always");
    EXPECT_EQ(key("FleetFolder"), "/srv/fleet");
    EXPECT_EQ(platform::GetPrivateProfileString("Defaults", "StartTime", "", ini()), "02");
    EXPECT_TRUE(seams.stored.empty()); // an empty password box keeps the kept one
    presenter->help();
    EXPECT_EQ(view.topics, std::vector<int>{ui::HelpTopicReports});
}

TEST_F(Reports, ARefusedValueIsNamedFocusedAndReachableAndNothingIsKept) {
    ASSERT_TRUE(platform::WritePrivateProfileString(ReportsSection, "MailWhen", "sometimes", ini()));
    start();
    // A value no choice means stays in the list, so that the check can name it.
    EXPECT_EQ(view.choices[ReportsField::MailWhen].first.size(), 4u);
    EXPECT_EQ(view.choices[ReportsField::MailWhen].second, 3u);
    EXPECT_FALSE(view.enabled[ReportsField::MailWhen]);
    presenter->edited(ReportsField::MailPassword, "pw");
    EXPECT_FALSE(presenter->accept());
    EXPECT_EQ(prompts.shown.back().caption, ReportsCaption);
    EXPECT_EQ(prompts.shown.back().text.rfind("Send mail: \"sometimes\"", 0), 0u) << prompts.shown.back().text;
    EXPECT_EQ(view.focused.back(), ReportsField::MailWhen);
    EXPECT_TRUE(view.enabled[ReportsField::MailWhen]); // though mail is off: it can be corrected
    presenter->chosen(ReportsField::MailWhen, 2);

    presenter->edited(ReportsField::MailServer, "smtp.office.example");
    presenter->edited(ReportsField::MailPort, "99999");
    EXPECT_FALSE(presenter->accept());
    EXPECT_EQ(prompts.shown.back().text.rfind("Mail port:", 0), 0u);
    EXPECT_EQ(view.focused.back(), ReportsField::MailPort);
    presenter->edited(ReportsField::MailPort, "587");
    presenter->edited(ReportsField::MailFrom, "q@office.example");
    presenter->edited(ReportsField::MailTo, "admin@office.example");
    presenter->edited(ReportsField::DigestAt, "25:00");
    EXPECT_FALSE(presenter->accept());
    EXPECT_EQ(view.focused.back(), ReportsField::DigestAt);
    EXPECT_TRUE(seams.stored.empty());
    EXPECT_EQ(key("MailServer"), "<missing>");
}

TEST_F(Reports, ThePasswordGoesToTheStoreOnlyAndAFailureKeepsTheDialog) {
    start();
    EXPECT_EQ(view.passwordNote, "none kept");
    presenter->edited(ReportsField::MailServer, "smtp.office.example");
    presenter->edited(ReportsField::MailUser, "night");
    presenter->edited(ReportsField::MailFrom, "q@office.example");
    presenter->edited(ReportsField::MailTo, "admin@office.example");
    presenter->edited(ReportsField::MailPassword, "S3cret pw");
    seams.storeWorks = false;
    EXPECT_FALSE(presenter->accept());
    EXPECT_EQ(prompts.shown.back().text, "Mail password: it could not be kept: others can read the folder");
    EXPECT_EQ(view.focused.back(), ReportsField::MailPassword);
    EXPECT_EQ(key("MailServer"), "<missing>");
    seams.storeWorks = true;
    EXPECT_TRUE(presenter->accept());
    ASSERT_EQ(seams.stored.size(), 2u);
    EXPECT_EQ(seams.stored.back(), std::make_pair(folder(), std::string("S3cret pw")));
    EXPECT_EQ(key("MailUser"), "night");
    EXPECT_EQ(file().find("S3cret"), std::string::npos);
}

TEST_F(Reports, TheSecurityChoiceTakesItsPortAlongButNotATypedOne) {
    start();
    presenter->edited(ReportsField::MailServer, "smtp.office.example");
    presenter->chosen(ReportsField::MailSecurity, 1);
    EXPECT_EQ(view.texts[ReportsField::MailPort], "465");
    presenter->chosen(ReportsField::MailSecurity, 0);
    EXPECT_EQ(view.texts[ReportsField::MailPort], "587");
    presenter->edited(ReportsField::MailPort, "2525");
    view.texts.erase(ReportsField::MailPort);
    presenter->chosen(ReportsField::MailSecurity, 1);
    EXPECT_EQ(view.texts.count(ReportsField::MailPort), 0u);
    presenter->edited(ReportsField::MailFrom, "q@office.example");
    presenter->edited(ReportsField::MailTo, "admin@office.example");
    EXPECT_TRUE(presenter->accept());
    EXPECT_EQ(key("MailSecurity"), "tls");
    EXPECT_EQ(key("MailPort"), "2525");
}

TEST_F(Reports, ATestRunsOffTheWindowsThreadWithTheShownValuesAndShowsEachAnswer) {
    seams.kept = "kept pw";
    start();
    EXPECT_FALSE(view.testEnabled); // no channel yet
    presenter->edited(ReportsField::WebhookUrl, "ftp://nowhere");
    presenter->sendTest();
    EXPECT_EQ(view.focused.back(), ReportsField::WebhookUrl); // checked first, nothing sent
    presenter->edited(ReportsField::WebhookUrl, " https://hooks.example/q ");
    EXPECT_TRUE(view.testEnabled);

    seams.let(false);
    presenter->sendTest();
    EXPECT_FALSE(view.testEnabled); // one at a time
    EXPECT_NE(view.answers.find("Sending"), std::string::npos);
    presenter->sendTest(); // ignored while one runs
    seams.let(true);
    ASSERT_TRUE(view.waitPosted());
    presenter->testDone();
    EXPECT_EQ(view.answers, "Mail: delivered. 250 2.0.0 queued\n"
                            "Heartbeat ping: NOT delivered. certificate not trusted: self-signed\n");
    EXPECT_TRUE(view.testEnabled);
    EXPECT_NE(seams.sentOn, std::this_thread::get_id());
    EXPECT_EQ(seams.sentSettings.webhookUrl, "https://hooks.example/q"); // not saved, yet used
    EXPECT_EQ(seams.sentPassword, "kept pw");
    EXPECT_FALSE(seams.machine.empty());
    EXPECT_EQ(key("WebhookUrl"), "<missing>");

    // A typed password is used for the test; a dialog closed during one hears nothing.
    presenter->edited(ReportsField::MailPassword, "typed");
    view.posted = false;
    seams.let(false);
    presenter->sendTest();
    presenter.reset();
    seams.let(true);
    for (int i = 0; i < 500 && seams.password() != "typed"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(seams.password(), "typed");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::lock_guard<std::mutex> hold(view.lock);
    EXPECT_FALSE(view.posted);
}
