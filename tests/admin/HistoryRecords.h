// History records as the compactor writes them, for the history window's tests.
#pragma once

#include "core/FleetFolder.h"
#include "core/RunHistory.h"
#include "platform/Files.h"
#include "platform/HostName.h"
#include "platform/Profile.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::test {

inline HistoryRecord Rec(const std::string& start, const std::string& cfg, const std::string& db, const char* outcome,
                         std::optional<std::int64_t> before = {}, std::optional<std::int64_t> after = {},
                         std::optional<double> seconds = {}, const char* detail = "") {
    HistoryRecord r;
    r.start = start;
    r.configuration = cfg;
    r.database = db;
    SetOutcomeText(r, outcome);
    r.sizeBefore = before;
    r.sizeAfter = after;
    r.seconds = seconds;
    r.detail = detail;
    if (seconds)
        r.exitCode = r.outcome == RunOutcome::Ok ? 0 : 1;
    return r;
}

inline std::string HistoryText(const std::vector<HistoryRecord>& records) {
    std::string text = HistoryHeader;
    for (const HistoryRecord& r : records)
        text += FormatHistoryLine(r);
    return text;
}

// A fleet folder "share" in `folder` (ending in its separator), named in "Quillet.ini"
// there: three other machines (one whose name is not ASCII, one failing since `late`,
// one silent since `silent`) and a stale copy of this machine, whose own file then holds
// the truth.
inline void WriteFleet(const std::string& folder, const char* early, const char* late, const char* silent) {
    const std::string share = folder + "share";
    platform::ReplaceFileContent(folder + "Quillet.ini",
                                 platform::ProfileFileBytes("[Reports]\r\nFleetFolder=" + share + "\r\n"));
    const auto machine = [&](const std::string& name, const std::vector<HistoryRecord>& records) {
        platform::CreateFolder(share);
        platform::CreateFolder(share + "/" + name);
        platform::ReplaceFileContent(share + "/" + name + "/" + HistoryFileName, HistoryText(records));
    };
    machine("b\xC3\xBCro-\xCE\xB1", {Rec(early, "/cfg/b.cfg", "/db/orders.mdb", "ok", 5 << 20, 4 << 20),
                                         Rec(late, "/cfg/b.cfg", "/db/orders.mdb", "ok", 6 << 20, 4 << 20)});
    machine("lager", {Rec(early, "/cfg/l.cfg", "/db/orders.mdb", "ok", 9 << 20, 7 << 20),
                      Rec(late, "/cfg/l.cfg", "/db/orders.mdb", "failed")});
    machine("laptop", {Rec(silent, "/cfg/p.cfg", "/db/p.mdb", "ok", 1 << 20, 1 << 20)});
    machine(FleetMachineFolderName(platform::HostName()), {Rec(silent, "/cfg/p.cfg", "/db/stale.mdb", "ok")});
}

} // namespace quillet::test
