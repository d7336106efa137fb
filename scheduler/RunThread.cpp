#include "scheduler/RunThread.h"

#include "core/Errors.h"
#include "scheduler/ScheduleSync.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace quillet::scheduler {

struct RunThread::State final : public ScheduleTable {
    mutable std::mutex mutex;
    std::vector<ScheduleEntry> entries, base;
    std::string path;
    std::unique_ptr<platform::FileLock> checkLock;
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<ProcessRunner> runner;
    std::string compactorPath;
    std::string refusal;
    std::exception_ptr error;
    bool saved = false;
    std::atomic<int> current{-1};
    std::atomic<long long> since{0};
    std::atomic<bool> finished{false};

    int entryCount() const override {
        std::lock_guard lock(mutex);
        return static_cast<int>(entries.size());
    }
    std::string code(int entry) const override {
        std::lock_guard lock(mutex);
        return entries.at(static_cast<std::size_t>(entry)).code;
    }
    std::string configPath(int entry) const override {
        std::lock_guard lock(mutex);
        return entries.at(static_cast<std::size_t>(entry)).configPath;
    }
    void setCode(int entry, const std::string& code) override {
        std::lock_guard lock(mutex);
        entries.at(static_cast<std::size_t>(entry)).code = code;
    }
    void saveAfterRun() override {
        if (!refusal.empty())
            throw EInvalidValue(refusal);
        std::vector<ScheduleEntry> mine, before;
        {
            std::lock_guard lock(mutex);
            mine = entries;
            before = base;
        }
        SaveTakingRecordedDates(path, mine, before);
        std::lock_guard lock(mutex);
        entries = mine;
        base = before;
        saved = true;
    }
};

namespace {

// Tells the window which entry runs: the compactor's start names it.
class WatchedRunner final : public ProcessRunner {
public:
    WatchedRunner(RunThread::State& state) : state_(state) {}
    bool runAndWait(const std::string& commandLine) override {
        state_.since = static_cast<long long>(state_.clock->secondsNow());
        state_.current = pending;
        const bool started = state_.runner->runAndWait(commandLine);
        state_.current = -1;
        return started;
    }
    int pending = -1;

private:
    RunThread::State& state_;
};

} // namespace

RunThread::RunThread(std::vector<ScheduleEntry> entries, std::vector<ScheduleEntry> base, std::string path,
                     std::unique_ptr<platform::FileLock> checkLock, std::shared_ptr<const Clock> clock,
                     std::shared_ptr<ProcessRunner> runner, std::string compactorPath, Work work,
                     std::string refusal)
    : state_(std::make_shared<State>()) {
    state_->refusal = std::move(refusal);
    state_->entries = std::move(entries);
    state_->base = std::move(base);
    state_->path = std::move(path);
    state_->checkLock = std::move(checkLock);
    state_->clock = std::move(clock);
    state_->runner = std::move(runner);
    state_->compactorPath = std::move(compactorPath);
    // The thread owns the state with this object, so it may outlive it.
    std::thread([state = state_, work = std::move(work)] {
        WatchedRunner watched(*state);
        RunEnvironment env{*state->clock, watched, [&] { return state->compactorPath; }};
        env.beforeRun = [&](int entry) { watched.pending = entry; };
        try {
            work(*state, env);
        } catch (...) {
            std::lock_guard lock(state->mutex);
            state->error = std::current_exception();
        }
        state->checkLock.reset();
        state->finished = true;
    }).detach();
}

RunThread::~RunThread() = default;

bool RunThread::Finished() const { return state_->finished; }
int RunThread::CurrentEntry() const { return state_->current; }
long long RunThread::CurrentSince() const { return state_->since; }

std::vector<ScheduleEntry> RunThread::Entries() const {
    std::lock_guard lock(state_->mutex);
    return state_->entries;
}

std::vector<ScheduleEntry> RunThread::Base() const {
    std::lock_guard lock(state_->mutex);
    return state_->base;
}

bool RunThread::Saved() const {
    std::lock_guard lock(state_->mutex);
    return state_->saved;
}

std::exception_ptr RunThread::Error() const {
    std::lock_guard lock(state_->mutex);
    return state_->error;
}

} // namespace quillet::scheduler
