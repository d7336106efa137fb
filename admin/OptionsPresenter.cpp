#include "admin/OptionsPresenter.h"

#include "core/Include.h"
#include "ui/HelpFile.h"

namespace quillet::admin {

void OptionsPresenter::browseBackupFolder(const std::string& shown) {
    ui::FileChoice choice;
    choice.caption = "Backup Folder";
    choice.directory = TrimText(shown);
    const std::string folder = prompts_.folder(choice);
    if (!folder.empty())
        view_.showBackupFolder(folder);
}

void OptionsPresenter::help() {
    view_.helpTopic(ui::HelpTopicOptions);
}

bool OptionsPresenter::accept(const OptionsInput& input) {
    struct Number {
        OptionsField field;
        OptionNumber number;
        const std::string& text;
        int& value;
    };
    CfgOptions o = options_;
    for (const Number& n : {Number{OptionsField::TimeLimit, OptionNumber::TimeLimit, input.timeLimit, o.timeLimit},
                            Number{OptionsField::BackupKeep, OptionNumber::BackupKeep, input.backupKeep, o.backupKeep},
                            Number{OptionsField::Parallel, OptionNumber::Parallel, input.parallel, o.parallel}}) {
        const NumberCheck check = CheckOptionNumber(n.number, TrimText(n.text));
        if (!check.value) {
            prompts_.warn(OptionsCaption, check.problem);
            view_.focus(n.field);
            return false;
        }
        n.value = *check.value;
    }
    o.skipInUse = input.skipInUse;
    o.backupFolder = input.backupFolder;
    o.onlyChanged = input.onlyChanged;
    if (!AcceptOptions(prompts_, OptionsCaption, o)) {
        view_.focus(OptionsField::BackupFolder);
        return false;
    }
    options_ = o;
    return true;
}

} // namespace quillet::admin
