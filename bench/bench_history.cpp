// The history window's model over a history of 100,000 lines: reading and parsing, and
// all a window asks of it when it opens (rows, filter boxes, totals, charts), each
// against a plain read-and-split of the same file run side by side. Without a window,
// so that both faces' builds run it (the Windows one under wine).
//   bench_history [LINES]   (default 100000)
#include "admin/HistoryQuery.h"
#include "core/HistorySummary.h"
#include "core/RunHistory.h"

#include "bench/HistorySample.h"

#include <filesystem>
#include <optional>
#include <random>

#include <cstdio>
#include <cstdlib>

using namespace quillet::bench;

namespace {

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
