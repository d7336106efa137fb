// The Windows history window over a history of 100,000 lines, under wine: the whole open
// (read and parse on the worker thread, table, filters, totals, charts) against a plain
// read-and-split of the same file run side by side.
//   bench_history_win32.exe [LINES]   (wine with the null graphics driver; default 100000)
#include "admin/win32/fHistory.h"
#include "bench/HistorySample.h"
#include "core/HistoryFile.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    using namespace quillet::bench;
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    const std::string folder = dir.string() + "\\";
    const std::string path = folder + quillet::HistoryFileName;
    {
        std::ofstream out(path, std::ios::binary);
        out << SampleHistory(lines);
    }
    const int runs = 5;
    std::size_t sink = 0;
    const double plain = BestMs(runs, [&] { sink += PlainSplit(path); });
    const double parse = BestMs(runs, [&] { sink += quillet::LoadHistory(path).contents.records.size(); });
    const double open = BestMs(runs, [&] {
        quillet::admin::TfrmHistory window([&] { return folder + "Quillet.exe"; });
        window.Reload();
        MSG msg;
        while (window.IsLoading() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        sink += window.Query().rowCount();
    });
    std::printf("history of %d lines, best of %d runs, under wine\n", lines, runs);
    std::printf("  %-44s %8.1f ms  ratio 1.00 (baseline)\n", "plain read and split into fields", plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f\n", "LoadHistory (read and parse)", parse, parse / plain);
    std::printf("  %-44s %8.1f ms  ratio %.2f  (must stay under 1000 ms)\n", "history window open, table and charts",
                open, open / plain);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return sink == 0 ? 1 : 0;
}
