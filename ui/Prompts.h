// What a window asks of the user, without a toolkit: the models decide what to ask and
// act on the answer; each face (Qt, Win32) shows it in its own boxes and dialogs, and tests
// script the answers.
#pragma once

#include <string>
#include <vector>

namespace quillet::ui {

enum class Answer { Yes, No, Cancel };

// One entry of a file dialog's type list: "Config Files" with "*.cfg" (patterns joined by ';').
struct FileFilter {
    std::string name;
    std::string patterns;
};

struct FileChoice {
    std::string caption;
    std::string directory;     // starting folder; empty for the system's choice
    std::string fileName;      // proposed name
    std::vector<FileFilter> filters;
    std::string defaultSuffix; // added to a typed name without an extension, without the dot
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // Yes/No, or Yes/No/Cancel with withCancel; a dismissed box answers Cancel (No without Cancel).
    virtual Answer ask(const std::string& caption, const std::string& text, bool withCancel) = 0;
    // Yes/No with No as the default answer, for a choice that Enter should not take by
    // accident; a face without default buttons asks as ask does.
    virtual Answer askDefaultNo(const std::string& caption, const std::string& text) {
        return ask(caption, text, false);
    }
    // A value the user can fix was refused; the text names the field.
    virtual void warn(const std::string& caption, const std::string& text) = 0;
    virtual void inform(const std::string& caption, const std::string& text) = 0;
    // A real fault for the error box.
    virtual void fault(const std::string& message, const std::string& details) = 0;
    // Empty when cancelled.
    virtual std::string openFile(const FileChoice& choice) = 0;
    virtual std::string saveFile(const FileChoice& choice) = 0;
    virtual std::vector<std::string> openFiles(const FileChoice& choice) = 0;
    virtual std::string folder(const FileChoice& choice) = 0;
};

// A typed file name without an extension gets the dialog's default one, as the file
// dialogs of both systems do.
std::string WithDefaultSuffix(const std::string& fileName, const std::string& suffix);

} // namespace quillet::ui
