// Clock and process runner for the scheduler's tests: the day and hour are set by the
// test, and runs are recorded instead of started.
#pragma once

#include "scheduler/Schedule.h"
#include "ui/Prompts.h"

#include <functional>
#include <string>
#include <vector>

namespace quillet::scheduler::testing {

class MockClock final : public Clock {
public:
    Date day = 0;
    int hour = 0;
    Date today() const override { return day; }
    int hourNow() const override { return hour; }
};

class RecordingRunner final : public ProcessRunner {
public:
    std::vector<std::string> commandLines;
    bool startSucceeds = true;
    // Runs "during" the compactor's run, after it was recorded.
    std::function<void(const std::string&)> whileRunning;

    bool runAndWait(const std::string& commandLine) override {
        commandLines.push_back(commandLine);
        if (whileRunning)
            whileRunning(commandLine);
        return startSucceeds;
    }
};

// Answers in order (Yes once they run out) and every box shown, as "kind: text".
class ScriptedPrompts final : public ui::Prompts {
public:
    std::vector<ui::Answer> answers;
    std::vector<std::string> shown;

    ui::Answer ask(const std::string&, const std::string& text, bool) override {
        shown.push_back("ask: " + text);
        if (answers.empty())
            return ui::Answer::Yes;
        const ui::Answer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    void warn(const std::string&, const std::string& text) override { shown.push_back("warn: " + text); }
    void inform(const std::string&, const std::string& text) override { shown.push_back("inform: " + text); }
    void fault(const std::string& message, const std::string&) override { shown.push_back("fault: " + message); }
    std::string openFile(const ui::FileChoice&) override { return {}; }
    std::string saveFile(const ui::FileChoice&) override { return {}; }
    std::vector<std::string> openFiles(const ui::FileChoice&) override { return {}; }
    std::string folder(const ui::FileChoice&) override { return {}; }
};

} // namespace quillet::scheduler::testing
