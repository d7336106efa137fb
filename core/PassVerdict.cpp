#include "core/PassVerdict.h"

#include "platform/Files.h"
#include "platform/Programs.h"

#include <cstdint>

namespace quillet {

namespace {

constexpr const char* StateFolderName = "report-state";

// One small file per configuration, named by a hash of its path, so that passes of
// different configurations never write the same file.
std::string StatePath(const std::string& dataFolder, const std::string& configuration) {
    std::uint64_t h = 14695981039346656037ULL;
    for (const unsigned char c : configuration)
        h = (h ^ c) * 1099511628211ULL;
    static const char hex[] = "0123456789abcdef";
    std::string name;
    for (int shift = 60; shift >= 0; shift -= 4)
        name += hex[(h >> shift) & 0xF];
    return dataFolder + StateFolderName + platform::PathSeparator + name + ".txt";
}

// Left alone before the engine ran, or the file was not there.
bool LeftAlone(const HistoryRecord& r) {
    return r.outcome == RunOutcome::InUse || r.outcome == RunOutcome::NoSpace ||
           r.outcome == RunOutcome::BackupFailed || !r.sizeBefore;
}

} // namespace

std::string_view ResultText(PassResult result) {
    switch (result) {
    case PassResult::Ok: return "ok";
    case PassResult::Failed: return "failed";
    case PassResult::Recovered: return "recovered";
    case PassResult::NothingDone: return "nothing-done";
    }
    return "failed";
}

bool IsBadResult(PassResult result) {
    return result == PassResult::Failed || result == PassResult::NothingDone;
}

bool DatabaseFailed(const HistoryRecord& record) {
    const OutcomeKind kind = KindOfOutcome(record.outcome);
    // A file that was not there failed, whatever the engine made of it.
    return (kind != OutcomeKind::Compacted && kind != OutcomeKind::Unchanged) || !record.sizeBefore;
}

PassVerdict JudgePass(const PassSummary& summary, bool lastWasBad) {
    PassVerdict v;
    v.total = summary.databases.size();
    bool allLeftAlone = v.total > 0;
    for (const HistoryRecord& r : summary.databases) {
        if (DatabaseFailed(r))
            ++v.failed;
        allLeftAlone = allLeftAlone && LeftAlone(r);
    }
    if (allLeftAlone)
        v.result = PassResult::NothingDone;
    else if (v.failed > 0 || (v.total == 0 && !summary.logLines.empty()))
        v.result = PassResult::Failed;
    else
        v.result = lastWasBad ? PassResult::Recovered : PassResult::Ok;
    return v;
}

bool LastPassWasBad(const std::string& dataFolder, const std::string& configuration) {
    std::string text;
    if (!platform::ReadWholeFile(StatePath(dataFolder, configuration), text))
        return false;
    return text.rfind("failed", 0) == 0 || text.rfind("nothing-done", 0) == 0;
}

void RememberPassResult(const std::string& dataFolder, const std::string& configuration, PassResult result) {
    platform::CreateFolder(dataFolder + StateFolderName);
    // The path follows for whoever looks into the folder; only the first line is read.
    platform::ReplaceFileContent(StatePath(dataFolder, configuration),
                                 std::string(ResultText(result)) + "\r\n" + configuration + "\r\n");
}

} // namespace quillet
