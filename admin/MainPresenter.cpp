#include "admin/MainPresenter.h"

#include "admin/MainFields.h"
#include "admin/Shortcut.h"
#include "core/HistoryFile.h"
#include "core/HistorySummary.h"
#include "core/Include.h"
#include "core/RunHistory.h"
#include "platform/DataFolder.h"
#include "platform/Programs.h"
#include "ui/HelpFile.h"
#include "ui/Telling.h"
#include "ui/WebAddresses.h"

#include <charconv>

namespace quillet::admin {

using C = MainCommand;

const std::vector<ui::MenuLine> MainMenu = {
    {"File1", "&File", {}},
    ui::MenuItem("NewConfigFile1", "&New Config File", C::New, "Ctrl+N"),
    ui::MenuItem("OpenConfigFile1", "&Open Config File", C::Open, "Ctrl+O"),
    ui::MenuItem("SaveConfigFIle1", "&Save Config File", C::Save, "Ctrl+S"),
    ui::MenuItem("SaveAs1", "Save &As", C::SaveAs),
    ui::MenuItem("DeleteFile1", "&Delete File", C::DeleteEntry),
    ui::MenuSeparator,
    ui::MenuItem("CreateDesktopIcon1", "Create Desktop &Icon", C::CreateDesktopIcon),
    ui::MenuItem("Options1", "O&ptions...", C::Options),
    ui::MenuSeparator,
    ui::MenuItem("Exit1", "E&xit", C::Exit),
    {"View1", "&View", {}},
    ui::MenuItem("Scheduling1", "S&cheduling", C::Scheduling),
    ui::MenuItem("History1", "&History", C::History),
    {"Help1", "&Help", {}},
    ui::MenuItem("Contents1", "&Contents", C::Contents, "F1"),
    ui::MenuItem("KeywordSearch1", "Keyword &Search", C::KeywordSearch),
    ui::MenuSeparator,
    ui::MenuItem("QuilletWebPage1", "Quillet &Web Page", C::WebPage),
    ui::MenuItem("OrvaneHomePage1", "Orvane &Home Page", C::HomePage),
    ui::MenuItem("EmailFeedback1", "&E-mail Feedback", C::EmailFeedback),
    ui::MenuSeparator,
    ui::MenuItem("About1", "&About", C::About),
};

// Dragging is not the only way to fill the list (Add...): a desktop may have no file manager.
const std::vector<ToolEntry> MainToolbar = {
    {"New", "New configuration", C::New},
    {"Open", "Open an exisitng configuration file", C::Open},
    {"Save", "Save current configuration file", C::Save},
    {"Delete", "Removes selected database from compaction configuration", C::DeleteEntry},
    {"Schedule", "Show scheduler configuration screen", C::Scheduling},
    {"Help", "Help", C::Contents},
    {"Add...", "Adds databases to compaction configuration", C::AddFiles},
    {"History", "Show what the compactions did", C::History},
};

std::string VersionText(double version, const std::string& decimalSeparator) {
    // Whatever the C locale says: the separator is the caller's.
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, version, std::chars_format::fixed, 2).ptr;
    std::string result(text, end);
    result.replace(result.find('.'), 1, decimalSeparator);
    return result;
}

MainPresenter::MainPresenter(MainView& view, ui::Prompts& prompts, const std::string& programPath,
                             std::string appTitle)
    : view_(view), prompts_(prompts), appFolder_(ProgramFolder(programPath)), appTitle_(std::move(appTitle)),
      doc_(AdminSettings(appFolder_), prompts, appTitle_) {}

std::string MainPresenter::DataFolder() const {
    return platform::DataFolderOf(appFolder_);
}

void MainPresenter::start() {
    draw();
}

void MainPresenter::draw() {
    {
        const ui::Telling telling(telling_);
        view_.showDocument(doc_.Caption(), doc_.Values(), doc_.QuilletPath());
    }
    tick();
}

namespace {

using MainLayout::FieldValue;

// The document's text behind a box; none for the two paths kept apart, the list and the checks.
std::optional<TextField> textFieldOf(std::size_t field) {
    switch (static_cast<FieldValue>(field)) {
    case FieldValue::Description: return TextField::Description;
    case FieldValue::Workgroup: return TextField::Workgroup;
    case FieldValue::Login: return TextField::Login;
    case FieldValue::Password: return TextField::Password;
    case FieldValue::LaunchFile: return TextField::LaunchFile;
    default: return std::nullopt;
    }
}

} // namespace

std::string FieldText(const CfgValues& values, const std::string& quilletPath, std::size_t field) {
    if (const auto text = textFieldOf(field))
        return TextOf(values, *text);
    const auto value = static_cast<FieldValue>(field);
    return value == FieldValue::AccessPath ? values.accessPath
           : value == FieldValue::QuilletPath ? quilletPath
                                              : std::string();
}

bool FieldChecked(const CfgValues& values, std::size_t field) {
    const auto value = static_cast<FieldValue>(field);
    return value == FieldValue::Repair ? values.repair : value == FieldValue::Encrypt && values.encrypt;
}

void MainPresenter::fieldEdited(std::size_t field, const std::string& text) {
    if (telling_)
        return;
    if (const auto textField = textFieldOf(field))
        doc_.SetText(*textField, text);
    else if (static_cast<FieldValue>(field) == FieldValue::AccessPath)
        doc_.SetAccessPath(text);
    else if (static_cast<FieldValue>(field) == FieldValue::QuilletPath)
        doc_.SetQuilletPath(text);
}

void MainPresenter::fieldClicked(std::size_t field, bool on) {
    if (telling_)
        return;
    if (static_cast<FieldValue>(field) == FieldValue::Repair)
        doc_.SetRepair(on);
    else if (static_cast<FieldValue>(field) == FieldValue::Encrypt)
        doc_.SetEncrypt(on);
}

void MainPresenter::filesDropped(const std::vector<std::string>& files) {
    doc_.AddFiles(files);
    draw();
}

void MainPresenter::run(MainCommand command) {
    switch (command) {
    case C::New: doc_.New(); break;
    case C::Open: doc_.Open(); break;
    case C::Save: doc_.Save(); break;
    case C::SaveAs: doc_.SaveAs(); break;
    case C::DeleteEntry:
        // Nothing selected removes nothing; the list is drawn anew, so nothing is selected after.
        doc_.RemoveFile(view_.selectedFile());
        break;
    case C::AddFiles: doc_.AddFilesFromDialog(); break;
    case C::Options:
        if (const auto options = view_.editOptions(doc_.Values().options))
            doc_.SetOptions(*options);
        return;
    case C::Exit: view_.closeWindow(); return;
    case C::CreateDesktopIcon: shortcut(); return;
    case C::Scheduling: view_.showScheduler(); return;
    case C::History: view_.showHistory(); return;
    case C::Contents: view_.helpContents(); return;
    case C::KeywordSearch: view_.helpSearch(); return;
    case C::WebPage: view_.openLink(ui::ProductWebAddress); return;
    case C::HomePage: homePage(); return;
    case C::EmailFeedback: emailFeedback(); return;
    case C::About: view_.showAbout(); return;
    }
    draw();
}

bool MainPresenter::close() {
    // A scheduled run going on has its say last, after the configuration was dealt with.
    return doc_.Close() && view_.mayEndProgram();
}

void MainPresenter::tick() {
    const std::string config = doc_.Path();
    if (config.empty()) {
        lastRunFor_.clear();
        view_.showLastRun("");
        return;
    }
    const std::string file = CompactorFileOf(doc_.QuilletPath(), HistoryFileName);
    // Read again only when the file changed, or another configuration is shown.
    const auto start = config != lastRunFor_ ? history_.reload(file) : history_.reloadIfChanged(file);
    if (start)
        readLastRun(*start, config);
}

void MainPresenter::readLastRun(const std::string& file, const std::string& config) {
    lastRunFor_ = config;
    view_.inBackground([file, config] { return LastRunTextOf(LoadHistory(file).contents.records, config); },
                       [this, config](std::string text) { lastRunRead(config, text); });
}

void MainPresenter::lastRunRead(const std::string& config, const std::string& text) {
    // An answer for a configuration no longer shown is dropped, and the right one asked.
    if (config == doc_.Path())
        view_.showLastRun(text);
    if (const auto again = history_.loaded())
        readLastRun(*again, doc_.Path());
    else if (config != doc_.Path())
        tick();
}

void MainPresenter::shortcut() {
    // The shortcut starts the compactor next to the administrator, whatever the Quillet
    // Path field says; the configuration's path itself stays unquoted.
    const auto result = CreateShortcut(appFolder_ + platform::CompactorProgramName, doc_.Text(TextField::Description),
                                       QuotePath(doc_.Path()), true, false);
    // Telling the user is better than a shortcut that silently never appears.
    if (!result.written())
        prompts_.warn(appTitle_, "Cannot create file " + result.linkPath + ".\n\n" + result.failure);
}

void MainPresenter::homePage() {
    if (!view_.openLink(ui::MakerHomeAddress))
        view_.helpTopic(ui::HelpTopicHomePage);
}

void MainPresenter::emailFeedback() {
    if (prompts_.ask("Confirm",
                     "Have you checked the help file and Orvane web site first before requesting technical support?",
                     false) == ui::Answer::Yes)
        view_.openLink(ui::SupportEmailAddress);
}

} // namespace quillet::admin
