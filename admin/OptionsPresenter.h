// The options dialog without a toolkit: what it shows, the folder browser, and the OK's
// rule. Both faces take the numbers as typed text, so a bad number gets the same message
// naming the field in both, and the dialog stays open with that field focused.
#pragma once

#include "admin/ConfigDocument.h"

#include <string>

namespace quillet::admin {

inline const char* const OptionsCaption = "Options for Unattended Passes";
inline const char* const ReportsButtonLabel = "&Reports...";

enum class OptionsField { TimeLimit, BackupKeep, Parallel, BackupFolder };

// The dialog's rows, top to bottom in Tab order: a box's label before it, so that its
// mnemonic reaches the box, and a number's unit after it.
enum class OptionsRowKind { Number, Check, Folder };
struct OptionsRow {
    OptionsRowKind kind;
    const char* name;    // the control's
    const char* caption; // a box's label, a check box's own
    const char* unit;    // a number's; the folder's text when empty
};
inline constexpr OptionsRow OptionsRows[] = {
    {OptionsRowKind::Number, "edtTimeLimit", "&Time limit per database:", "minutes (0: no limit)"},
    {OptionsRowKind::Check, "chkSkipInUse", "Skip databases in &use (their lock file is held)", ""},
    {OptionsRowKind::Folder, "edtBackupFolder", "&Backup folder:", "No backups"},
    {OptionsRowKind::Number, "edtBackupKeep", "Backups to &keep:", "per database"},
    {OptionsRowKind::Check, "chkOnlyChanged",
     "Only &changed databases (skip those unchanged since their last compaction)", ""},
    {OptionsRowKind::Number, "edtParallel", "&Parallel engines:", "at the same time"},
};
inline const char* const OptionsNote = "A database is compacted only when its disk has room for a copy of it.\n"
                                       "A failed backup leaves the database uncompacted.";

// What the dialog's boxes hold when the user confirms.
struct OptionsInput {
    std::string timeLimit, backupKeep, parallel, backupFolder;
    bool skipInUse = false;
    bool onlyChanged = false;
};

class OptionsView {
public:
    virtual ~OptionsView() = default;
    virtual void showOptions(const CfgOptions& options) = 0;
    virtual void showBackupFolder(const std::string& folder) = 0;
    virtual void focus(OptionsField field) = 0;
    virtual void helpTopic(int topic) = 0;
    // The Reports dialog over this one, for "Quillet.ini" in `dataFolder`.
    virtual void showReports(const std::string& dataFolder) = 0;
};

class OptionsPresenter {
public:
    // dataFolder: where "Quillet.ini" lies, for the Reports dialog.
    OptionsPresenter(OptionsView& view, ui::Prompts& prompts, CfgOptions options, std::string dataFolder)
        : view_(view), prompts_(prompts), options_(std::move(options)), dataFolder_(std::move(dataFolder)) {}
    void start() { view_.showOptions(options_); }
    void browseBackupFolder(const std::string& shown);
    void help();
    void reports() { view_.showReports(dataFolder_); }
    // True when the values are taken (options() holds them) and the dialog may close.
    bool accept(const OptionsInput& input);
    const CfgOptions& options() const { return options_; }

private:
    OptionsView& view_;
    ui::Prompts& prompts_;
    CfgOptions options_;
    std::string dataFolder_;
};

} // namespace quillet::admin
