// What a pass writes down: its lines in "error.log", a line per database in the run
// history, and the summary gathered from both for the reports. Safe to use from every
// database's thread at once.
#pragma once

#include "core/PassSummary.h"
#include "core/RunHistory.h"

#include <atomic>
#include <mutex>
#include <string>

namespace quillet::compactor {

class PassJournal {
public:
    // `folder` ends in the path separator; "error.log" and the history lie in it. The
    // pass starts now, on this machine, with the configuration at that absolute path.
    PassJournal(const std::string& folder, const std::string& configuration);

    // The start that every history line of the pass shares.
    const std::string& started() const { return started_; }
    void describe(const std::string& description) const;

    // A line of "error.log": the local date and time, then `message`.
    void log(const std::string& message) const;
    // A history line that does not begin with the header is said once in the log; the
    // lines are added all the same.
    void checkHistoryHeader() const;
    void writeHistory(const HistoryRecord& record) const;

    // Some line could not be written to "error.log".
    bool logFailed() const { return logFailed_; }
    PassSummary summary() const;
    // The summary with its end set.
    PassSummary finished(double seconds) const;

private:
    std::string logPath_;
    std::string historyPath_;
    std::string started_;
    mutable std::atomic<bool> historyFailed_{false}; // one log line per pass is enough
    mutable std::atomic<bool> logFailed_{false};
    mutable std::mutex summaryMutex_; // summary_, written by every run's thread
    mutable PassSummary summary_;
};

} // namespace quillet::compactor
