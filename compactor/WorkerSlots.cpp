#include "compactor/WorkerSlots.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace quillet::compactor {

namespace {

class Slots {
public:
    Slots(const std::vector<std::string>& entries, const std::function<SlotStep(const std::string&)>& prepare)
        : entries_(entries), prepare_(prepare) {}

    // One slot's work: entries until none is left or one has failed.
    void work() {
        std::unique_lock lock(mutex_);
        while (next_ < entries_.size() && !failure_) {
            const std::string& entry = entries_[next_++];
            ended_.wait(lock, [&] { return running_.count(entry) == 0; });
            running_.insert(entry);
            handle(entry, lock);
            running_.erase(entry);
            ended_.notify_all();
        }
    }

    void rethrowFailure() const {
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    // Entered and left with the lock held; the step runs without it.
    void handle(const std::string& entry, std::unique_lock<std::mutex>& lock) {
        SlotStep step;
        try {
            step = prepare_(entry);
            lock.unlock();
            if (step)
                step();
        } catch (...) {
            if (!lock.owns_lock())
                lock.lock();
            if (!failure_)
                failure_ = std::current_exception();
        }
        if (!lock.owns_lock())
            lock.lock();
        step = nullptr;
    }

    const std::vector<std::string>& entries_;
    const std::function<SlotStep(const std::string&)>& prepare_;
    std::mutex mutex_;              // all below
    std::condition_variable ended_; // an entry's run has ended
    std::set<std::string> running_; // entries handed out and not done
    std::size_t next_ = 0;
    std::exception_ptr failure_;
};

} // namespace

void RunInSlots(const std::vector<std::string>& entries, int parallel,
                const std::function<SlotStep(const std::string&)>& prepare) {
    const std::size_t slots = std::min<std::size_t>(static_cast<std::size_t>(std::max(parallel, 1)), entries.size());
    Slots shared(entries, prepare);
    std::vector<std::thread> workers;
    try {
        while (workers.size() + 1 < slots)
            workers.emplace_back([&] { shared.work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: fewer slots.
    }
    shared.work();
    for (auto& w : workers)
        w.join();
    shared.rethrowFailure();
}

} // namespace quillet::compactor
