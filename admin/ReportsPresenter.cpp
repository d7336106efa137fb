#include "admin/ReportsPresenter.h"

#include "core/AdminSettings.h"
#include "core/Include.h"
#include "core/Reports.h"
#include "platform/HostName.h"
#include "platform/SecretStore.h"
#include "ui/HelpFile.h"

#include <mutex>
#include <thread>

namespace quillet::admin {

using Kind = ReportsFieldKind;

const std::array<ReportsRow, 15> ReportsRows{{
    {ReportsField::MailServer, "MailServer", "Mail &server:", Kind::Text, "empty: no mail", 0},
    {ReportsField::MailPort, "MailPort", "Mail p&ort:", Kind::Text, "", 0},
    {ReportsField::MailSecurity, "MailSecurity", "Mail securit&y:", Kind::Choice, "", 0},
    {ReportsField::MailUser, "MailUser", "Mail &user:", Kind::Text, "empty: no sign-in", 0},
    {ReportsField::MailPassword, "MailPassword", "Mail pass&word:", Kind::Password, "", 0},
    {ReportsField::MailFrom, "MailFrom", "Mail &from:", Kind::Text, "quillet@example.com", 0},
    {ReportsField::MailTo, "MailTo", "Mail &to:", Kind::Text, "commas between addresses", 0},
    {ReportsField::MailWhen, "MailWhen", "Send &mail:", Kind::Choice, "", 0},
    {ReportsField::PingUrl, "PingUrl", "P&ing URL:", Kind::Text, "empty: no heartbeat", 1},
    {ReportsField::WebhookUrl, "WebhookUrl", "Webhoo&k URL:", Kind::Text, "empty: no webhook", 1},
    {ReportsField::TlsPin, "TlsPin", "Certificate pi&n:", Kind::Text, "empty: the system's trust", 1},
    {ReportsField::FleetFolder, "FleetFolder", "F&leet folder:", Kind::Folder, "empty: no fleet", 1},
    {ReportsField::ExpectEvery, "ExpectEvery", "&Expect a pass every:", Kind::Hours, "", 1},
    {ReportsField::Grace, "Grace", "&Grace:", Kind::Hours, "", 1},
    {ReportsField::DigestAt, "DigestAt", "&Digest at:", Kind::Text, "HH:MM; empty: no digest", 1},
}};

namespace {

// Each field's value, in the order of ReportsField; the password is never in the file.
using Member = std::string StoredReportSettings::*;
constexpr Member Members[] = {
    &StoredReportSettings::mailServer, &StoredReportSettings::mailPort,   &StoredReportSettings::mailSecurity,
    &StoredReportSettings::mailUser,   nullptr,                           &StoredReportSettings::mailFrom,
    &StoredReportSettings::mailTo,     &StoredReportSettings::mailWhen,   &StoredReportSettings::pingUrl,
    &StoredReportSettings::webhookUrl, &StoredReportSettings::tlsPin,     &StoredReportSettings::fleetFolder,
    &StoredReportSettings::expectEvery, &StoredReportSettings::grace,     &StoredReportSettings::digestAt,
};
static_assert(std::size(Members) == ReportsRows.size());

Member MemberOf(ReportsField field) {
    return Members[static_cast<int>(field)];
}

struct Choice {
    const char* value;
    const char* label;
    const char* port; // the port that goes with it
};
constexpr Choice SecurityChoices[] = {
    {"starttls", "STARTTLS (port 587)", "587"},
    {"tls", "TLS from the start (port 465)", "465"},
    {"none", "None: plain text (port 25)", "25"},
};
constexpr Choice WhenChoices[] = {
    {"failures", "After a failure, and when well again", ""},
    {"always", "After every pass", ""},
    {"never", "Never", ""},
};

std::vector<Choice> ChoicesOf(ReportsField field) {
    if (field == ReportsField::MailSecurity)
        return {std::begin(SecurityChoices), std::end(SecurityChoices)};
    return {std::begin(WhenChoices), std::end(WhenChoices)};
}

// The choice the stored text means, in any case; nothing for a text no choice means.
std::optional<std::size_t> ChoiceIndex(const std::vector<Choice>& choices, const std::string& text) {
    std::string value = TrimText(text);
    for (char& c : value)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (value == choices[i].value)
            return i;
    return std::nullopt;
}

std::string ChannelName(const std::string& channel) {
    if (channel == "mail")
        return "Mail";
    if (channel == "ping")
        return "Heartbeat ping";
    if (channel == "webhook")
        return "Webhook";
    return channel;
}

std::string AnswersText(const std::vector<ChannelAnswer>& answers) {
    if (answers.empty())
        return "No channel is configured: nothing was sent.\n";
    std::string text;
    for (const ChannelAnswer& a : answers)
        text += ChannelName(a.channel) + (a.delivered ? ": delivered. " : ": NOT delivered. ") + a.answer + "\n";
    return text;
}

// The shipped program's: the real delivery and the user's protected store. Tests set
// their own through SetReportsServices.
ReportsServices ShippedServices() {
    ReportsServices services;
    services.sendTest = SendTestReports;
    services.storePassword = StoreMailPassword;
    services.storedPassword = [](const std::string& dataFolder, std::string& reason) {
        return platform::LoadSecret(dataFolder + MailPasswordFileName, reason);
    };
    return services;
}

ReportsServices& Services() {
    static ReportsServices services = ShippedServices();
    return services;
}

} // namespace

void SetReportsServices(ReportsServices services) {
    Services() = std::move(services);
}

const ReportsServices& CurrentReportsServices() {
    return Services();
}

// Where a test's answers wait for the window's thread; the view is gone once the
// dialog is.
struct ReportsPresenter::Mailbox {
    std::mutex lock;
    ReportsView* view = nullptr;
    std::optional<std::vector<ChannelAnswer>> answers;
};

ReportsPresenter::ReportsPresenter(ReportsView& view, ui::Prompts& prompts, std::string dataFolder,
                                   ReportsServices services)
    : view_(view), prompts_(prompts), dataFolder_(std::move(dataFolder)), services_(std::move(services)),
      mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->view = &view_;
}

ReportsPresenter::~ReportsPresenter() {
    const std::lock_guard<std::mutex> hold(mailbox_->lock);
    mailbox_->view = nullptr;
}

std::string ReportsPresenter::SettingsPath() const {
    return dataFolder_ + SettingsFileName;
}

void ReportsPresenter::start() {
    loaded_ = pending_ = ReadStoredReportSettings(SettingsPath());
    for (const ReportsRow& row : ReportsRows) {
        if (row.kind == Kind::Choice)
            showChoices(row.field);
        else if (const Member member = MemberOf(row.field))
            view_.showText(row.field, pending_.*member);
    }
    std::string reason;
    const bool kept = services_.storedPassword && services_.storedPassword(dataFolder_, reason).has_value();
    view_.showPasswordNote(kept ? "kept for this user: type to replace it" : "none kept");
    updateEnabled();
}

void ReportsPresenter::showChoices(ReportsField field) {
    const std::vector<Choice> choices = ChoicesOf(field);
    const std::string& value = pending_.*MemberOf(field);
    std::vector<std::string> labels;
    for (const Choice& c : choices)
        labels.push_back(c.label);
    const auto chosen = ChoiceIndex(choices, value);
    // A value no choice means stays visible, so that the check can name it.
    if (!chosen)
        labels.push_back("\"" + value + "\" (not understood)");
    view_.showChoices(field, labels, chosen.value_or(choices.size()));
}

void ReportsPresenter::edited(ReportsField field, const std::string& text) {
    if (field == ReportsField::MailPassword)
        password_ = text;
    else if (ReportsRows[static_cast<int>(field)].kind != Kind::Choice)
        pending_.*MemberOf(field) = text;
    updateEnabled();
}

void ReportsPresenter::chosen(ReportsField field, std::size_t index) {
    const std::vector<Choice> choices = ChoicesOf(field);
    if (index >= choices.size())
        return; // the value not understood, chosen again: it stays as it is
    std::string& value = pending_.*MemberOf(field);
    // The port that went with the former choice follows the new one; a port typed by
    // hand stays.
    if (field == ReportsField::MailSecurity) {
        const auto was = ChoiceIndex(choices, value);
        const std::string port = TrimText(pending_.mailPort);
        if (port.empty() || (was && port == choices[*was].port)) {
            pending_.mailPort = choices[index].port;
            view_.showText(ReportsField::MailPort, pending_.mailPort);
        }
    }
    value = choices[index].value;
    updateEnabled();
}

void ReportsPresenter::browseFleetFolder() {
    ui::FileChoice choice;
    choice.caption = "Fleet Folder";
    choice.directory = TrimText(pending_.fleetFolder);
    const std::string folder = prompts_.folder(choice);
    if (folder.empty())
        return;
    pending_.fleetFolder = folder;
    view_.showText(ReportsField::FleetFolder, folder);
    updateEnabled();
}

void ReportsPresenter::updateEnabled() {
    const bool mail = !TrimText(pending_.mailServer).empty();
    const auto tell = [this](std::size_t slot, bool on, auto draw) {
        if (enabled_[slot] != on) {
            enabled_[slot] = on;
            draw(on);
        }
    };
    for (std::size_t i = 0; i < ReportsRows.size(); ++i) {
        const ReportsField field = ReportsRows[i].field;
        bool on = true;
        if (field == ReportsField::MailPassword)
            on = mail && !TrimText(pending_.mailUser).empty();
        else if (field != ReportsField::MailServer && ReportsRows[i].column == 0)
            on = mail;
        tell(i, on || refused_ == field, [&](bool b) { view_.enable(field, b); });
    }
    const bool channel = mail || !TrimText(pending_.pingUrl).empty() || !TrimText(pending_.webhookUrl).empty();
    tell(ReportsRows.size(), channel && services_.sendTest && !testing_, [&](bool b) { view_.enableTest(b); });
}

StoredReportSettings ReportsPresenter::trimmed() const {
    StoredReportSettings s = pending_;
    for (const Member member : Members)
        if (member)
            s.*member = TrimText(s.*member);
    return s;
}

bool ReportsPresenter::refused(const StoredReportSettings& settings) {
    const auto refusal = FirstReportSettingsRefusal(settings);
    if (!refusal) {
        refused_.reset();
        return false;
    }
    for (const ReportsRow& row : ReportsRows)
        if (refusal->key == row.name)
            refused_ = row.field;
    prompts_.warn(ReportsCaption, refusal->message);
    updateEnabled();
    if (refused_)
        view_.focus(*refused_);
    return true;
}

void ReportsPresenter::sendTest() {
    const StoredReportSettings settings = trimmed();
    if (testing_ || !services_.sendTest || refused(settings))
        return;
    std::string password = password_, reason;
    if (password.empty() && services_.storedPassword)
        password = services_.storedPassword(dataFolder_, reason).value_or("");
    testing_ = true;
    view_.showAnswers("Sending a test report through every configured channel...\n");
    updateEnabled();
    std::thread([box = mailbox_, send = services_.sendTest, effective = EffectiveReportSettings(settings),
                 password = std::move(password)] {
        std::vector<ChannelAnswer> answers;
        try {
            answers = send(effective, password, platform::HostName());
        } catch (const std::exception& e) {
            answers.push_back({"test", false, e.what()});
        }
        const std::lock_guard<std::mutex> hold(box->lock);
        box->answers = std::move(answers);
        if (box->view)
            box->view->postTestDone();
    }).detach();
}

void ReportsPresenter::testDone() {
    std::optional<std::vector<ChannelAnswer>> answers;
    {
        const std::lock_guard<std::mutex> hold(mailbox_->lock);
        answers.swap(mailbox_->answers);
    }
    if (!answers)
        return;
    testing_ = false;
    view_.showAnswers(AnswersText(*answers));
    updateEnabled();
}

void ReportsPresenter::help() {
    view_.helpTopic(ui::HelpTopicReports);
}

bool ReportsPresenter::accept() {
    const StoredReportSettings settings = trimmed();
    if (refused(settings))
        return false;
    if (!password_.empty()) {
        std::string reason = "this program keeps no passwords";
        if (!services_.storePassword || !services_.storePassword(dataFolder_, password_, reason)) {
            prompts_.warn(ReportsCaption, "Mail password: it could not be kept: " + reason);
            view_.focus(ReportsField::MailPassword);
            return false;
        }
    }
    // An unchanged dialog leaves the file as it was.
    if (pending_ != loaded_)
        SaveReportSettings(SettingsPath(), settings);
    return true;
}

} // namespace quillet::admin
