// The history window's model over a history of 100,000 lines: reading and parsing, and
// all a window asks of it when it opens (rows, filter boxes, totals, charts), each
// against a plain read-and-split of the same file run side by side. Without a window,
// so that both faces' builds run it (the Windows one under wine).
//   bench_history [LINES]   (default 100000)
#include "admin/HistoryQuery.h"
#include "core/HistorySummary.h"
#include "core/RunHistory.h"

#include <filesystem>
#include <random>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Nights of two configurations over a few dozen databases, every outcome among them.
std::string SampleHistory(int lines) {
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
std::size_t PlainSplit(const std::string& path) {
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

double BestMs(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}


// What a window asks of the model when it opens: the rows, the filter boxes, the
// totals, both charts and the log of the newest pass.
std::size_t OpenHistory(const std::string& path, const std::string& logPath) {
    quillet::admin::HistoryQuery query;
    query.setHistory(std::make_shared<const quillet::HistoryLoad>(quillet::LoadHistory(path)));
    std::size_t sink = query.rowCount() + query.configurationChoices().size() + query.databaseChoices().size() +
                       query.outcomeChoices().size() + query.totalsText().size() + query.savedPerNight().size();
    for (std::size_t row = 0; row < std::min<std::size_t>(query.rowCount(), 40); ++row)
        for (int c = 0; c < quillet::admin::HistoryColumnCount; ++c)
            sink += query.cellText(row, static_cast<quillet::admin::HistoryColumn>(c)).size();
    const auto newest = query.rowCount() ? std::optional(query.recordIndexAt(0)) : std::nullopt;
    sink += query.sizeChart(newest).before.size() + query.passLog(newest, logPath).text.size();
    return sink;
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const auto dir = std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / quillet::HistoryFileName).string();
    {
        std::ofstream out(path, std::ios::binary);
        out << SampleHistory(lines);
    }
    const int runs = 5;
    std::size_t sink = 0;
    const double plain = BestMs(runs, [&] { sink += PlainSplit(path); });
    const double parse = BestMs(runs, [&] { sink += quillet::LoadHistory(path).contents.records.size(); });
    const double open = BestMs(runs, [&] { sink += OpenHistory(path, (dir / "error.log").string()); });
    const auto load = quillet::LoadHistory(path);
    const double status = BestMs(runs, [&] { sink += quillet::LastRunTextOf(load.contents.records, "/srv/cfg/nightly.cfg").size(); });

    std::printf("history of %d lines (%.1f MB), best of %d runs\n", lines,
                static_cast<double>(load.fileSize) / (1 << 20), runs);
    std::printf("  %-44s %8.1f ms  ratio 1.00 (baseline)\n", "plain read and split into fields", plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f\n", "LoadHistory (read and parse)", parse, parse / plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f  (must stay under 1000 ms)\n", "history model: read, rows, filters, charts", open,
                open / plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f\n", "last-run line of a configuration", status, status / plain);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return sink == 0 ? 1 : 0;
}
