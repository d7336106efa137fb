// TEditGrid with tables of 1,000 to 100,000 rows: loading, sorting and saving a
// Tab-delimited file of schedule-like rows, each alone and the three together.
// Run: build/<dir>/bin/bench_editgrid (headless; big-O fits are printed at the end).
#include "widgets/qt/TEditGrid.h"

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using quillet::widgets::TEditGrid;

namespace {

QTemporaryDir* Folder() {
    static QTemporaryDir dir;
    return &dir;
}

// One file per size: description, configuration path and frequency code per row.
QString InputFile(int rows) {
    static std::map<int, QString> files;
    if (auto it = files.find(rows); it != files.end())
        return it->second;
    QRandomGenerator random(static_cast<quint32>(rows));
    QByteArray data;
    data.reserve(rows * 64);
    for (int r = 0; r < rows; ++r) {
        const quint32 key = random.generate();
        data += "\"Nightly run " + QByteArray::number(key % 100000) + " of " +
                QByteArray::number(random.bounded(1000)) + "\"\t\"/srv/access/db" +
                QByteArray::number(key, 16) + ".cfg\"\t\"w|2|2024-0" +
                QByteArray::number(1 + random.bounded(9)) + "-1" + QByteArray::number(random.bounded(10)) +
                "\"\r\n";
    }
    const QString path = Folder()->filePath(QString("in%1.dat").arg(rows));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
    return files[rows] = path;
}

std::unique_ptr<TEditGrid> MakeGrid() {
    auto grid = std::make_unique<TEditGrid>();
    grid->SetColCount(4);
    grid->SetRowCount(2);
    return grid;
}

void BM_Load(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const QString in = InputFile(rows);
    auto grid = MakeGrid();
    for (auto _ : state)
        grid->LoadFromDelimitedFile(in, '\t', false);
    state.SetComplexityN(rows);
}

void BM_Sort(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const QString in = InputFile(rows);
    auto grid = MakeGrid();
    for (auto _ : state) {
        // Every sort starts from the file's unsorted order.
        state.PauseTiming();
        grid->LoadFromDelimitedFile(in, '\t', false);
        state.ResumeTiming();
        grid->SortByColumn(1, true);
    }
    state.SetComplexityN(rows);
}

void BM_Save(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    auto grid = MakeGrid();
    grid->LoadFromDelimitedFile(InputFile(rows), '\t', false);
    const QString out = Folder()->filePath("out.dat");
    for (auto _ : state)
        grid->SaveToDelimitedFile(out, '\t', false);
    state.SetComplexityN(rows);
}

void BM_LoadSortSave(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const QString in = InputFile(rows);
    const QString out = Folder()->filePath("out.dat");
    auto grid = MakeGrid();
    for (auto _ : state) {
        grid->LoadFromDelimitedFile(in, '\t', false);
        grid->SortByColumn(1, true);
        grid->SaveToDelimitedFile(out, '\t', false);
    }
    state.SetComplexityN(rows);
}

#define QUILLET_GRID_SIZES(bm)                                                                               \
    BENCHMARK(bm)                                                                                            \
        ->RangeMultiplier(10)                                                                                \
        ->Range(1000, 100000)                                                                                \
        ->Unit(benchmark::kMillisecond)                                                                      \
        ->Complexity(benchmark::oNLogN)

QUILLET_GRID_SIZES(BM_Load);
QUILLET_GRID_SIZES(BM_Sort);
QUILLET_GRID_SIZES(BM_Save);
QUILLET_GRID_SIZES(BM_LoadSortSave);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
