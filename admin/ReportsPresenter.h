// The Reports dialog without a toolkit: the [Reports] keys of "Quillet.ini" in the data
// folder as pending edits, what is enabled when, the checks that name a field and keep
// the dialog on it, the mail password kept apart in the protected store (never in the
// file, never shown back), and a test report sent off the window's thread. Both faces
// lay their controls out from ReportsRows and forward what the user does.
#pragma once

#include "core/Reports.h"
#include "ui/Prompts.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::admin {

inline const char* const ReportsCaption = "Reports";
inline const char* const SendTestLabel = "Send test &report";
inline const char* const ReportsColumnTitles[2] = {"Mail", "Heartbeat, webhook and fleet"};

enum class ReportsField {
    MailServer, MailPort, MailSecurity, MailUser, MailPassword, MailFrom, MailTo, MailWhen,
    PingUrl, WebhookUrl, TlsPin, FleetFolder, ExpectEvery, Grace, DigestAt,
};
enum class ReportsFieldKind { Text, Password, Choice, Folder, Hours };

// One row of the dialog, in Tab order, which is that of ReportsField.
struct ReportsRow {
    ReportsField field;
    const char* name;  // its key in the file, and the name of its box
    const char* label; // with its mnemonic
    ReportsFieldKind kind;
    const char* hint;  // shown in an empty box
    int column;        // index into ReportsColumnTitles
};
extern const std::array<ReportsRow, 15> ReportsRows;

// What the dialog reaches beyond its window: the channels and the protected store.
struct ReportsServices {
    std::function<std::vector<ChannelAnswer>(const ReportSettings&, const std::string& password,
                                             const std::string& machine)>
        sendTest;
    std::function<bool(const std::string& dataFolder, const std::string& password, std::string& reason)>
        storePassword;
    // The kept password; nothing, with the reason, when none is kept or it may not be used.
    std::function<std::optional<std::string>(const std::string& dataFolder, std::string& reason)> storedPassword;
};
// Set once by the program's start-up; dialogs made afterwards use them.
void SetReportsServices(ReportsServices services);
const ReportsServices& CurrentReportsServices();

class ReportsView {
public:
    virtual ~ReportsView() = default;
    virtual void showText(ReportsField field, const std::string& text) = 0;
    virtual void showChoices(ReportsField field, const std::vector<std::string>& labels, std::size_t chosen) = 0;
    // Shown in the empty password box: whether one is kept.
    virtual void showPasswordNote(const std::string& note) = 0;
    // The test's answers, lines ended by "\n".
    virtual void showAnswers(const std::string& text) = 0;
    virtual void enable(ReportsField field, bool enabled) = 0;
    virtual void enableTest(bool enabled) = 0;
    virtual void focus(ReportsField field) = 0;
    virtual void helpTopic(int topic) = 0;
    // Called on the test's thread: have testDone() called on the window's thread.
    virtual void postTestDone() = 0;
};

class ReportsPresenter {
public:
    ReportsPresenter(ReportsView& view, ui::Prompts& prompts, std::string dataFolder,
                     ReportsServices services = CurrentReportsServices());
    // A test still under way ends on its own; its answers go nowhere.
    ~ReportsPresenter();
    ReportsPresenter(const ReportsPresenter&) = delete;
    ReportsPresenter& operator=(const ReportsPresenter&) = delete;

    std::string SettingsPath() const;

    void start();
    void edited(ReportsField field, const std::string& text);
    void chosen(ReportsField field, std::size_t index);
    void browseFleetFolder();
    void sendTest();
    void testDone();
    void help();
    // True when the settings are kept and the dialog may close.
    bool accept();

private:
    struct Mailbox;
    StoredReportSettings trimmed() const;
    bool refused(const StoredReportSettings& settings);
    void showChoices(ReportsField field);
    void updateEnabled();

    ReportsView& view_;
    ui::Prompts& prompts_;
    std::string dataFolder_;
    ReportsServices services_;
    StoredReportSettings loaded_, pending_;
    std::string password_; // typed in this dialog; empty: the kept one stays
    std::optional<ReportsField> refused_; // enabled, so that it can be corrected
    std::array<std::optional<bool>, ReportsRows.size() + 1> enabled_{}; // as last told; the test last
    bool testing_ = false;
    std::shared_ptr<Mailbox> mailbox_;
};

} // namespace quillet::admin
