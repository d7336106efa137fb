#include "compactor/PassJournal.h"

#include "compactor/Compactor.h"
#include "core/Include.h"
#include "platform/Files.h"
#include "platform/HostName.h"
#include "platform/RegionalTime.h"

#include <chrono>

namespace quillet::compactor {

namespace {

std::string IsoNow() {
    using namespace std::chrono;
    return platform::IsoLocalTime(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

} // namespace

PassJournal::PassJournal(const std::string& folder, const std::string& configuration)
    : logPath_(folder + "error.log"), historyPath_(folder + HistoryFileName), started_(IsoNow()) {
    summary_.machine = platform::HostName();
    summary_.configuration = configuration;
    summary_.started = started_;
}

void PassJournal::describe(const std::string& description) const {
    const std::lock_guard lock(summaryMutex_);
    summary_.description = description;
}

void PassJournal::log(const std::string& message) const {
    const std::string line = LogStamp(platform::LocalNow()) + message;
    {
        const std::lock_guard lock(summaryMutex_);
        summary_.logLines.push_back(line);
    }
    if (!AppendLogLine(logPath_, line))
        logFailed_ = true;
}

void PassJournal::checkHistoryHeader() const {
    std::string head;
    if (platform::FileExists(historyPath_) && platform::ReadFileHead(historyPath_, 4096, head) && !head.empty() &&
        !IsHistoryHeader(head.substr(0, head.find_first_of("\r\n")))) {
        historyFailed_ = true;
        log(" Run history " + historyPath_ + " does not begin with its header line; lines are added all the same.");
    }
}

void PassJournal::writeHistory(const HistoryRecord& record) const {
    {
        const std::lock_guard lock(summaryMutex_);
        summary_.databases.push_back(record);
    }
    if (!AppendHistoryLine(historyPath_, record) && !historyFailed_.exchange(true))
        log(" Run history " + historyPath_ + " could not be written.");
}

PassSummary PassJournal::summary() const {
    const std::lock_guard lock(summaryMutex_);
    return summary_;
}

PassSummary PassJournal::finished(double seconds) const {
    const std::lock_guard lock(summaryMutex_);
    summary_.finished = IsoNow();
    summary_.seconds = seconds;
    return summary_;
}

} // namespace quillet::compactor
