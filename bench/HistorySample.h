// The sample history of the history benchmarks and their baseline: a plain read of the
// file cut into lines and fields, nothing interpreted.
#pragma once

#include "core/RunHistory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace quillet::bench {

// Nights of two configurations over a few dozen databases, every outcome among them.
inline std::string SampleHistory(int lines) {
    using O = quillet::RunOutcome;
    static const O outcomes[] = {O::Ok, O::Ok, O::Ok, O::Ok, O::Ok, O::Ok, O::Unchanged, O::InUse, O::Failed, O::TimedOut};
    std::string text = quillet::HistoryHeader;
    int night = 0;
    for (int n = 0; n < lines; ++night) {
        char start[40];
        const int day = night % 28 + 1, month = night / 28 % 12 + 1, year = 2020 + night / 336;
        for (int cfg = 0; cfg < 2 && n < lines; ++cfg) {
            std::snprintf(start, sizeof start, "%04d-%02d-%02dT0%d:00:03+01:00", year, month, day, cfg + 1);
            for (int db = 0; db < 25 && n < lines; ++db, ++n) {
                quillet::HistoryRecord r;
                r.start = start;
                r.configuration = cfg ? "/srv/cfg/archive, old.cfg" : "/srv/cfg/nightly.cfg";
                r.database = "/srv/access/db" + std::to_string(cfg * 25 + db) + ".mdb";
                r.outcome = outcomes[(n * 7 + night) % 10];
                r.sizeBefore = 100000000 + db * 1000000 + night * 1000;
                if (r.outcome == O::Ok || r.outcome == O::Unchanged)
                    r.sizeAfter = *r.sizeBefore - (r.outcome == O::Ok ? 25000000 : 0);
                if (r.outcome != O::InUse && r.outcome != O::Unchanged) {
                    r.exitCode = r.outcome == O::Ok ? 0 : 1;
                    r.seconds = 12.5 + db;
                }
                if (r.outcome == O::Failed)
                    r.detail = "Unrecognized database format \"db.mdb\", line 1";
                text += quillet::FormatHistoryLine(r);
            }
        }
    }
    return text;
}

// The baseline: the file read and cut into lines and fields, nothing interpreted.
inline std::size_t PlainSplit(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::size_t fields = 0;
    std::vector<std::string> row;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        row.clear();
        std::size_t from = at;
        for (std::size_t i = at; i <= end; ++i)
            if (i == end || text[i] == ',') {
                row.emplace_back(text, from, i - from);
                from = i + 1;
            }
        fields += row.size();
        at = end + 1;
    }
    return fields;
}

inline double BestMs(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

} // namespace quillet::bench
