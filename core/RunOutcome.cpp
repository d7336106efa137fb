#include "core/RunOutcome.h"

#include <array>
#include <utility>

namespace quillet {
namespace {

constexpr std::array<std::pair<RunOutcome, std::string_view>, 9> Texts{{
    {RunOutcome::Ok, "ok"},
    {RunOutcome::Unchanged, "unchanged"},
    {RunOutcome::InUse, "in-use"},
    {RunOutcome::NoSpace, "no-space"},
    {RunOutcome::Failed, "failed"},
    {RunOutcome::TimedOut, "timed-out"},
    {RunOutcome::NotStarted, "not-started"},
    {RunOutcome::BackupFailed, "backup-failed"},
    {RunOutcome::Damaged, "damaged"},
}};

constexpr std::array<RunOutcome, Texts.size()> Known = [] {
    std::array<RunOutcome, Texts.size()> known{};
    for (std::size_t i = 0; i < Texts.size(); ++i)
        known[i] = Texts[i].first;
    return known;
}();

} // namespace

std::span<const RunOutcome> KnownOutcomes() {
    return Known;
}

std::string_view OutcomeText(RunOutcome outcome) {
    for (const auto& [o, text] : Texts)
        if (o == outcome)
            return text;
    return {};
}

RunOutcome OutcomeOfText(std::string_view text) {
    for (const auto& [o, t] : Texts)
        if (t == text)
            return o;
    return RunOutcome::Other;
}

OutcomeKind KindOfOutcome(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Ok: return OutcomeKind::Compacted;
    case RunOutcome::Unchanged: return OutcomeKind::Unchanged;
    case RunOutcome::InUse:
    case RunOutcome::NoSpace: return OutcomeKind::Skipped;
    case RunOutcome::Failed:
    case RunOutcome::TimedOut:
    case RunOutcome::NotStarted:
    case RunOutcome::BackupFailed:
    case RunOutcome::Damaged: return OutcomeKind::Failed;
    case RunOutcome::Other: break;
    }
    return OutcomeKind::Other;
}

} // namespace quillet
