// Clock and process runner for the scheduler's tests: the day and hour are set by the
// test, and runs are recorded instead of started.
#pragma once

#include "scheduler/Schedule.h"

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

} // namespace quillet::scheduler::testing
