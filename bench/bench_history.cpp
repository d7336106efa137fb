// The history window's presenter over a history of 100,000 lines: reading and parsing,
// and all a window asks of it when it opens (rows, filter boxes, totals, charts), each
// against a plain read-and-split of the same file run side by side. Without a window,
// so that both faces' builds run it (the Windows one under wine).
//   bench_history [LINES]   (default 100000)
#include "admin/HistoryPresenter.h"
#include "core/HistoryFile.h"
#include "core/HistorySummary.h"
#include "core/RunHistory.h"

#include "bench/HistorySample.h"

#include <atomic>
#include <filesystem>
#include <thread>
#include <optional>
#include <random>

#include <cstdio>
#include <cstdlib>

using namespace quillet::bench;

namespace {

// A window that shows nothing but asks what a table asks: the cells of its first rows.
struct TableOnly : quillet::admin::HistoryView {
    quillet::admin::HistoryPresenter* presenter = nullptr;
    std::atomic<bool> loaded{false};
    std::size_t sink = 0;
    void showRows() override {
        const auto& query = presenter->Query();
        for (std::size_t row = 0; row < std::min<std::size_t>(query.rowCount(), 40); ++row)
            for (int c = 0; c < quillet::admin::HistoryColumnCount; ++c)
                sink += query.cellText(row, static_cast<quillet::admin::HistoryColumn>(c)).size();
    }
    void showSelection(std::optional<std::size_t>) override {}
    void showSort(quillet::admin::HistoryColumn, bool) override {}
    void showChoices(quillet::admin::FilterBox, const std::vector<quillet::admin::FilterChoice>& c, std::size_t) override {
        sink += c.size();
    }
    void showDates(quillet::Date, quillet::Date) override {}
    void showTotals(const std::string& text) override { sink += text.size(); }
    void showFileNote(const std::string&) override {}
    void showCharts(const quillet::admin::HistoryChart& size, const quillet::admin::HistoryChart& saved) override {
        sink += size.series.size() + saved.x.ticks.size();
    }
    void showLog(const quillet::admin::LogPane& pane) override { sink += pane.text.size(); }
    void hide() override {}
    std::optional<std::string> open(const std::string&) override { return std::nullopt; }
    void warn(const std::string&) override {}
    void postLoaded() override { loaded = true; }
};

// What the window's presenter does when it opens: the reading on its thread, rows,
// filter boxes, totals, both charts, then the newest row selected with its log.
std::size_t OpenHistory(const std::string& folder) {
    TableOnly view;
    quillet::admin::HistoryPresenter presenter(view, [&] { return folder + "/Quillet"; });
    view.presenter = &presenter;
    presenter.Reload();
    while (!view.loaded)
        std::this_thread::yield();
    presenter.Loaded();
    presenter.RowSelected(0);
    return view.sink;
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
    const double open = BestMs(runs, [&] { sink += OpenHistory(dir.string()); });
    const auto load = quillet::LoadHistory(path);
    const double status = BestMs(runs, [&] { sink += quillet::LastRunTextOf(load.contents.records, "/srv/cfg/nightly.cfg").size(); });

    std::printf("history of %d lines (%.1f MB), best of %d runs\n", lines,
                static_cast<double>(load.fileSize) / (1 << 20), runs);
    std::printf("  %-44s %8.1f ms  ratio 1.00 (baseline)\n", "plain read and split into fields", plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f\n", "LoadHistory (read and parse)", parse, parse / plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f  (must stay under 1000 ms)\n", "history presenter: read, rows, filters, charts", open,
                open / plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f\n", "last-run line of a configuration", status, status / plain);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return sink == 0 ? 1 : 0;
}
