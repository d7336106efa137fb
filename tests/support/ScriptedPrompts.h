// For the models' tests, without a toolkit: answers and chosen files come from queues,
// and every box or dialog asked for is recorded.
#pragma once

#include "ui/Prompts.h"

#include <deque>
#include <string>
#include <vector>

namespace quillet::test {

class ScriptedPrompts : public ui::Prompts {
public:
    struct Shown {
        std::string kind; // "ask", "warn", "inform", "fault", "open", "save", "open files", "folder"
        std::string caption;
        std::string text; // the box text; a dialog's choice is in `choice`
        ui::FileChoice choice;
    };

    std::deque<ui::Answer> answers;                  // empty: the box is dismissed
    std::deque<std::string> fileNames;               // empty: cancelled
    std::deque<std::vector<std::string>> fileLists;  // empty: cancelled
    std::vector<Shown> shown;

    ui::Answer ask(const std::string& caption, const std::string& text, bool withCancel) override {
        shown.push_back({"ask", caption, text, {}});
        const ui::Answer dismissed = withCancel ? ui::Answer::Cancel : ui::Answer::No;
        return next(answers, dismissed);
    }
    void warn(const std::string& caption, const std::string& text) override {
        shown.push_back({"warn", caption, text, {}});
    }
    void inform(const std::string& caption, const std::string& text) override {
        shown.push_back({"inform", caption, text, {}});
    }
    void fault(const std::string& message, const std::string& details) override {
        shown.push_back({"fault", message, details, {}});
    }
    std::string openFile(const ui::FileChoice& choice) override { return file("open", choice); }
    std::string saveFile(const ui::FileChoice& choice) override { return file("save", choice); }
    std::string folder(const ui::FileChoice& choice) override { return file("folder", choice); }
    std::vector<std::string> openFiles(const ui::FileChoice& choice) override {
        shown.push_back({"open files", choice.caption, {}, choice});
        return next(fileLists, {});
    }

    std::vector<std::string> kinds() const {
        std::vector<std::string> all;
        for (const auto& s : shown)
            all.push_back(s.kind);
        return all;
    }

private:
    template <class T> static T next(std::deque<T>& queue, T otherwise) {
        if (queue.empty())
            return otherwise;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
    std::string file(const char* kind, const ui::FileChoice& choice) {
        shown.push_back({kind, choice.caption, {}, choice});
        // As the systems' dialogs do with a name typed without an extension.
        return ui::WithDefaultSuffix(next(fileNames, std::string()), choice.defaultSuffix);
    }
};

} // namespace quillet::test
