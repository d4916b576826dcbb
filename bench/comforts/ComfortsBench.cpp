// A keystroke in the main window's search box on a catalogue of 100,000
// titles: the search over the grid, the rows hidden or shown again in the
// view, and the window's layout and paint, against the floor of one plain
// pass over the same cells. The goal: at most 50 ms a keystroke.
//
//   QT_QPA_PLATFORM=offscreen tavrin_comforts_bench [--benchmark_format=json]

#include "common/Words.h"
#include "core/GridSearch.h"
#include "core/TextHelpers.h"
#include "windows/Form1.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tavrin;

namespace {

using tavrin::bench::word;

// A main window whose grid holds n titles of realistic lengths (a publisher
// of one or two words, a title of one to three, a genre, a path and a
// description), shown on the screen.
std::unique_ptr<Form1> window;
int rows = 0;

Form1& windowWith(int n)
{
    if (window && rows == n)
        return *window;
    window = std::make_unique<Form1>();
    FlexGrid& g = window->f.MSFlexGrid;
    std::mt19937 rng(42);
    {
        FlexGrid::Batch batch(g);
        g.setCols(8);
        g.setRows(n);
        std::vector<std::string> cells(8);
        for (int r = 0; r < n; ++r) {
            cells[0] = word(rng, 4, 10);
            if (r % 3 == 0)
                cells[0] += concat({" ", word(rng, 4, 8)});
            cells[1] = concat({word(rng, 3, 12), " ", word(rng, 2, 9)});
            if (r % 2)
                cells[1] += concat({" ", word(rng, 3, 7)});
            cells[2] = word(rng, 6, 10);
            cells[3] = concat({"Disks\\", cells[0], "\\", word(rng, 4, 8), ".ssd"});
            cells[4] = std::to_string(0);
            cells[5] = cells[4];
            cells[6] = word(rng, 40, 120);
            cells[7] = std::to_string(r);
            g.setRowCells(r, {cells.begin(), cells.end()});
        }
    }
    g.setColWidth(0, 1300);
    g.setColWidth(1, 3000);
    for (int c = 2; c < 8; ++c)
        g.setColWidth(c, 0);
    window->show();
    (void)QTest::qWaitForWindowExposed(window.get());
    window->openSearch();
    rows = n;
    return *window;
}

// What a user types and takes back: each step is one keystroke.
const std::vector<QString> kKeystrokes = {"r", "ro", "rom", "romi", "rom", "ro", "r", "",
                                          "q", "qu", "que", "qu", "q", "", "Z", "Zo", "Z", ""};

void BM_SearchKeystroke(benchmark::State& state)
{
    Form1& w = windowWith(static_cast<int>(state.range(0)));
    size_t step = 0;
    for (auto _ : state) {
        w.txtSearch->setText(kKeystrokes[step++ % kKeystrokes.size()]);
        QCoreApplication::processEvents(); // layout and paint
    }
    w.txtSearch->clear();
    QCoreApplication::processEvents();
    state.counters["rows"] = static_cast<double>(w.f.MSFlexGrid.Rows());
}

// The worst keystroke: from every row shown to almost none, and back.
void BM_SearchAllToNoneAndBack(benchmark::State& state)
{
    Form1& w = windowWith(static_cast<int>(state.range(0)));
    bool none = false;
    for (auto _ : state) {
        none = !none;
        w.txtSearch->setText(none ? QStringLiteral("qqq") : QString());
        QCoreApplication::processEvents();
    }
    w.txtSearch->clear();
    QCoreApplication::processEvents();
}

// The floor: one case-sensitive look for the text in each searched cell,
// nothing shown.
void BM_FloorPlainScan(benchmark::State& state)
{
    Form1& w = windowWith(static_cast<int>(state.range(0)));
    const FlexGrid& g = w.f.MSFlexGrid;
    size_t step = 0;
    for (auto _ : state) {
        const std::string text = kKeystrokes[step++ % kKeystrokes.size()].toStdString();
        int found = 0;
        for (int r = 0; r < g.Rows(); ++r)
            for (int c = 0; c < 3; ++c)
                if (g.TextMatrix(r, c).find(text) != std::string_view::npos) {
                    ++found;
                    break;
                }
        benchmark::DoNotOptimize(found);
    }
}

// The search alone, without the view.
void BM_GridSearchRows(benchmark::State& state)
{
    Form1& w = windowWith(static_cast<int>(state.range(0)));
    size_t step = 0;
    for (auto _ : state) {
        const std::string text = kKeystrokes[step++ % kKeystrokes.size()].toStdString();
        benchmark::DoNotOptimize(GridSearchRows(w.f.MSFlexGrid, text));
    }
}

double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

} // namespace

BENCHMARK(BM_FloorPlainScan)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_GridSearchRows)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_SearchKeystroke)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_SearchAllToNoneAndBack)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.reset(); // before the application ends
    return 0;
}
