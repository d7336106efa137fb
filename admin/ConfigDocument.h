// The configuration file the main window shows, without a window: its path, the values
// as edited and as last loaded or saved, what counts as unsaved, New, Open, Save and
// Save As, the question before the shown file is dropped, and the administrator's two
// paths that are shown with it and kept in "Quillet.ini". Each face (Qt, Win32) shows
// it, forwards what the user does and draws it again after each command.
#pragma once

#include "core/AdminSettings.h"
#include "core/CfgFile.h"
#include "ui/Prompts.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::admin {

// The five text fields whose edits are tracked one by one.
enum class TextField { Description, Workgroup, Login, Password, LaunchFile };
const std::string& TextOf(const CfgValues& values, TextField field);

// What a command did: done, cancelled by the user, or failed (the failure shown).
enum class Outcome { Done, Cancelled, Failed };

// The starting folder of the open and save dialogs for a configuration path: the
// folder without its final separator, except for a root folder.
std::string DialogFolderOf(const std::string& path);
// The folder part of a program path, ending with its separator; empty without one.
std::string ProgramFolder(const std::string& programPath);

class ConfigDocument {
public:
    // Reads the administrator's settings and loads the configuration last shown.
    // appTitle is the caption of the boxes about files.
    ConfigDocument(AdminSettings settings, ui::Prompts& prompts, std::string appTitle);

    // Empty for a new configuration that has no file yet.
    const std::string& Path() const { return path_; }
    // "Quillet - <path>", or "Quillet - Config1" without a file.
    std::string Caption() const;

    // The values as edited; accessPath is the administrator's setting, written with the
    // configuration but never read from it.
    const CfgValues& Values() const { return values_; }
    const std::string& Text(TextField field) const { return admin::TextOf(values_, field); }
    const std::string& QuilletPath() const { return quilletPath_; }

    // Edits the user made.
    void SetText(TextField field, const std::string& text);
    void SetRepair(bool on) { values_.repair = on; }
    void SetEncrypt(bool on) { values_.encrypt = on; }
    void SetOptions(const CfgOptions& options) { values_.options = options; }
    void AddFiles(const std::vector<std::string>& files);
    // Out of range does nothing.
    void RemoveFile(int index);
    // The two paths are settings: written at every close, never asked about.
    void SetAccessPath(const std::string& path) { values_.accessPath = path; }
    void SetQuilletPath(const std::string& path) { quilletPath_ = path; }

    // Whether one of the five text fields was edited since it was last loaded or saved.
    // A load that puts the same text into a field leaves its mark as it was.
    bool TextFieldsChanged() const;
    bool TextFieldChanged(TextField field) const { return edited_[Index(field)]; }
    // The text fields as above, the list, a check box or the options.
    bool Changed() const;

    // Commands. Save writes to the file shown, asking for a name when there is none;
    // a cancelled or failed save keeps the edits marked and the former file.
    Outcome Save();
    Outcome SaveAs();
    // Both ask about unsaved changes first.
    Outcome New();
    Outcome Open();
    // Asks the databases to add from a file dialog.
    Outcome AddFilesFromDialog();

    // Before the shown configuration is closed or replaced: true when nothing is unsaved,
    // or the user saved it or said to drop it ("Save changes?"); false keeps it.
    bool MayDrop();
    // The window's close: false keeps it open. Otherwise the settings are written; a
    // failure is a warning, and the window still closes.
    bool Close();

private:
    static std::size_t Index(TextField field) { return static_cast<std::size_t>(field); }
    // values_ is the document's own, so its fields may be written through the shared reader.
    std::string& TextOf(TextField field) { return const_cast<std::string&>(admin::TextOf(values_, field)); }
    void Load();
    Outcome SaveTo(bool chooseName);
    ui::FileChoice ConfigChoice(const std::string& caption) const;

    AdminSettings settings_;
    ui::Prompts& prompts_;
    std::string appTitle_;
    std::string path_;
    std::string dialogFolder_;
    std::string quilletPath_;
    CfgValues values_;
    CfgValues saved_;
    bool edited_[5] = {};
};

// The options of unattended passes as a face edits them.
// Limits of the numbers the file holds (whole numbers of up to nine digits).
constexpr int MaxTimeLimit = 999999999;
constexpr int MaxBackupKeep = 999999999;
constexpr int MaxParallel = 64;

enum class OptionNumber { TimeLimit, BackupKeep, Parallel };
// The number a user typed into an option's box, or the message naming the field and
// what it takes.
struct NumberCheck {
    std::optional<int> value;
    std::string problem;
};
NumberCheck CheckOptionNumber(OptionNumber field, const std::string& text);

// The options dialog's OK: the backup folder trimmed, and a folder that does not exist
// kept only when the user says so (it may be a drive that is there only at night).
// False keeps the dialog open.
bool AcceptOptions(ui::Prompts& prompts, const std::string& caption, CfgOptions& options);

} // namespace quillet::admin
