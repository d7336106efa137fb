#include "compactor/FleetCopy.h"

#include "core/FleetFolder.h"
#include "core/Include.h"
#include "core/ReportSettings.h"
#include "platform/FsPath.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quillet::compactor {

namespace {

// Shared with a copy that may outlive the wait: a hung share keeps its thread.
struct CopyState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::string problem;
};

std::string InFolder(const std::string& folder, const char* name) {
    return platform::Utf8Path(platform::FsPath(folder) / name);
}

} // namespace

void CopyPassToFleet(const PassContext& context, const PassSummary& summary, std::chrono::milliseconds limit) {
    const ReportSettings settings = ReadReportSettings(InFolder(context.logFolder, "Quillet.ini"));
    if (settings.fleetFolder.empty())
        return;
    const FleetStatus status = FleetStatusOf(summary, settings.expectEveryHours, settings.graceHours);
    auto state = std::make_shared<CopyState>();
    std::thread copy([state, folder = context.logFolder, fleet = settings.fleetFolder, status] {
        std::string problem = CopyToFleet(folder, fleet, status);
        const std::lock_guard lock(state->mutex);
        state->problem = std::move(problem);
        state->finished = true;
        state->done.notify_all();
    });
    std::unique_lock lock(state->mutex);
    const bool finished = state->done.wait_for(lock, limit, [&] { return state->finished; });
    std::string problem = state->problem;
    lock.unlock();
    if (finished) {
        copy.join();
    } else {
        copy.detach(); // the process ends without it; the mark moves only after the share took the lines
        problem = "Fleet folder " + settings.fleetFolder + " did not answer within " +
                  std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) +
                  " s; the lines wait for the next pass.";
    }
    if (!problem.empty())
        AppendLogLine(InFolder(context.logFolder, "error.log"), LogStamp(platform::LocalNow()) + " " + problem);
}

} // namespace quillet::compactor
