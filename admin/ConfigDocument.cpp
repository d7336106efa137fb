#include "admin/ConfigDocument.h"

#include "core/Errors.h"
#include "core/Include.h"
#include "platform/Files.h"
#include "platform/PathText.h"
#include "platform/Programs.h"

#include <algorithm>
#include <string_view>

namespace quillet::admin {

std::string ProgramFolder(const std::string& programPath) {
    return platform::FolderOf(programPath);
}

std::string DialogFolderOf(const std::string& path) {
    const std::string withSeparator = ProgramFolder(path);
    if (withSeparator.empty())
        return withSeparator;
    // Drop the final separator unless it closes a root ("C:\", "/") or follows another.
    const std::size_t last = withSeparator.size() - 1;
    if (withSeparator[last] == ':' || last == 0 || std::string_view(platform::PathCuts).find(withSeparator[last - 1]) != std::string_view::npos)
        return withSeparator;
    return withSeparator.substr(0, last);
}

ConfigDocument::ConfigDocument(AdminSettings settings, ui::Prompts& prompts, std::string appTitle)
    : settings_(std::move(settings)), prompts_(prompts), appTitle_(std::move(appTitle)) {
    path_ = settings_.LastCfgPath();
    values_.accessPath = settings_.AccessPath();
    quilletPath_ = settings_.QuilletPath();
    dialogFolder_ = DialogFolderOf(path_);
    Load();
}

std::string ConfigDocument::Caption() const {
    return "Quillet - " + (path_.empty() ? std::string("Config1") : path_);
}

const std::string& TextOf(const CfgValues& values, TextField field) {
    switch (field) {
    case TextField::Description: return values.description;
    case TextField::Workgroup: return values.workgroup;
    case TextField::Login: return values.login;
    case TextField::Password: return values.password;
    case TextField::LaunchFile: break;
    }
    return values.launchFile;
}

void ConfigDocument::SetText(TextField field, const std::string& text) {
    TextOf(field) = text;
    edited_[Index(field)] = true;
}

void ConfigDocument::AddFiles(const std::vector<std::string>& files) {
    values_.compactFiles.insert(values_.compactFiles.end(), files.begin(), files.end());
}

void ConfigDocument::RemoveFile(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < values_.compactFiles.size())
        values_.compactFiles.erase(values_.compactFiles.begin() + index);
}

bool ConfigDocument::TextFieldsChanged() const {
    return std::any_of(std::begin(edited_), std::end(edited_), [](bool e) { return e; });
}

bool ConfigDocument::Changed() const {
    return TextFieldsChanged() || values_.compactFiles != saved_.compactFiles || values_.repair != saved_.repair ||
           values_.encrypt != saved_.encrypt || values_.options != saved_.options;
}

void ConfigDocument::Load() {
    // A new configuration has no file: every value takes its default.
    const CfgValues loaded = path_.empty() ? CfgValues{} : ReadCfgForEditor(path_);
    // As a text box does: a different text clears the field's mark, the same leaves it.
    const std::pair<TextField, const std::string*> texts[] = {{TextField::Description, &loaded.description},
                                                              {TextField::Workgroup, &loaded.workgroup},
                                                              {TextField::Login, &loaded.login},
                                                              {TextField::Password, &loaded.password},
                                                              {TextField::LaunchFile, &loaded.launchFile}};
    for (const auto& [field, text] : texts) {
        if (TextOf(field) != *text) {
            TextOf(field) = *text;
            edited_[Index(field)] = false;
        }
    }
    values_.compactFiles = loaded.compactFiles;
    values_.repair = loaded.repair;
    values_.encrypt = loaded.encrypt;
    values_.options = loaded.options;
    saved_ = values_;
}

ui::FileChoice ConfigDocument::ConfigChoice(const std::string& caption) const {
    ui::FileChoice choice;
    choice.caption = caption;
    choice.directory = dialogFolder_;
    choice.filters = {{"Config Files", "*.cfg"}};
    choice.defaultSuffix = "cfg";
    return choice;
}

Outcome ConfigDocument::SaveTo(bool chooseName) {
    std::string path = path_;
    if (chooseName || path.empty()) {
        // Proposes the file shown, or the name a new configuration has in the caption.
        ui::FileChoice choice = ConfigChoice("Save As");
        choice.fileName = path_.empty() ? "Config1.cfg" : path_.substr(ProgramFolder(path_).size());
        if (!path_.empty())
            choice.directory = DialogFolderOf(path_);
        path = prompts_.saveFile(choice);
        if (path.empty())
            return Outcome::Cancelled;
    }
    try {
        WriteCfgFile(path, values_);
    } catch (const EInvalidValue& refused) {
        // Nothing was written: the edits stay marked as unsaved.
        prompts_.warn(appTitle_, refused.what());
        return Outcome::Failed;
    } catch (const EIniFileException& failed) {
        // The file was not (wholly) written, so the document keeps its former file and the
        // edits stay marked: closing still asks, and the settings never name this file.
        prompts_.warn(appTitle_, failed.what());
        return Outcome::Failed;
    }
    path_ = path;
    std::fill(std::begin(edited_), std::end(edited_), false);
    saved_ = values_;
    return Outcome::Done;
}

Outcome ConfigDocument::Save() {
    return SaveTo(false);
}

Outcome ConfigDocument::SaveAs() {
    return SaveTo(true);
}

bool ConfigDocument::MayDrop() {
    if (!Changed())
        return true;
    // Cancel (or a dismissed box) and a save that did not happen keep the edits.
    switch (prompts_.ask("Confirm", "Save changes?", true)) {
    case ui::Answer::No:
        return true;
    case ui::Answer::Yes:
        return SaveTo(false) == Outcome::Done;
    case ui::Answer::Cancel:
        break;
    }
    return false;
}

Outcome ConfigDocument::New() {
    if (!MayDrop())
        return Outcome::Cancelled;
    path_.clear();
    Load();
    return Outcome::Done;
}

Outcome ConfigDocument::Open() {
    if (!MayDrop())
        return Outcome::Cancelled;
    const std::string path = prompts_.openFile(ConfigChoice("Open"));
    // The dialog may return a name where no file is; that opens nothing.
    if (path.empty() || !platform::FileExists(path))
        return Outcome::Cancelled;
    path_ = path;
    Load();
    return Outcome::Done;
}

Outcome ConfigDocument::AddFilesFromDialog() {
    ui::FileChoice choice;
    choice.caption = "Add Databases";
    choice.directory = dialogFolder_;
    std::string patterns = platform::DatabaseFilePatterns;
    std::replace(patterns.begin(), patterns.end(), ' ', ';');
    choice.filters = {{"Database Files", patterns}, {"All files", "*"}};
    const std::vector<std::string> files = prompts_.openFiles(choice);
    if (files.empty())
        return Outcome::Cancelled;
    AddFiles(files);
    return Outcome::Done;
}

bool ConfigDocument::Close() {
    if (!MayDrop())
        return false;
    try {
        settings_.SaveMainWindow(path_, values_.accessPath, quilletPath_);
    } catch (const EIniFileException& failed) {
        // A file the user can put right; the configuration itself was dealt with.
        prompts_.warn(appTitle_, failed.what());
    }
    return true;
}

NumberCheck CheckOptionNumber(OptionNumber field, const std::string& text) {
    struct Rule {
        const char* name;
        int min;
        int max;
        const char* unit;
    };
    static constexpr Rule rules[] = {{"Time limit", 0, MaxTimeLimit, "minutes (0: no limit)"},
                                     {"Backups to keep", 1, MaxBackupKeep, "backups per database"},
                                     {"Parallel engines", 1, MaxParallel, "engines at a time"}};
    const Rule& rule = rules[static_cast<std::size_t>(field)];
    const auto value = ParseWholeNumber(text);
    if (value && *value >= rule.min && *value <= rule.max)
        return {value, {}};
    return {std::nullopt, "'" + text + "' is not a valid " + rule.name + ": enter a whole number from " +
                              std::to_string(rule.min) + " to " + std::to_string(rule.max) + " " + rule.unit};
}

bool AcceptOptions(ui::Prompts& prompts, const std::string& caption, CfgOptions& options) {
    // Blanks at the ends would not survive the file anyway.
    options.backupFolder = TrimText(options.backupFolder);
    const std::string& folder = options.backupFolder;
    return folder.empty() || platform::FolderExists(folder) ||
           prompts.askDefaultNo(caption, "The backup folder " + folder +
                                             " does not exist. While it is missing, no database is compacted. "
                                             "Keep it?") == ui::Answer::Yes;
}

} // namespace quillet::admin
