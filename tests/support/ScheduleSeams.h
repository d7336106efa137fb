// Clock and process runner for the scheduler's tests: the day and hour are set by the
// test, and runs are recorded instead of started.
#pragma once

#include "scheduler/Background.h"
#include "scheduler/Schedule.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
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

// A compactor that runs until the test lets it end.
class HeldRunner final : public ProcessRunner {
public:
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};
    bool runAndWait(const std::string&) override {
        ++runs;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return true;
    }
};

// The system's scheduler left alone: installing succeeds and nothing is installed.
class NoTrigger final : public TriggerControl {
public:
    TriggerResult install(const BackgroundTarget&) override { return {true, "installed"}; }
    TriggerResult uninstall(const BackgroundTarget&) override { return {true, ""}; }
    TriggerStatus query(const BackgroundTarget&) override { return {}; }
};

} // namespace quillet::scheduler::testing
