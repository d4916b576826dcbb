// Catalogue load, sort and write-back on catalogues of 1,000 to 1,000,000
// records, against a raw scan with the SQLite C API (the floor).
//
//   tavrin_catalogue_bench [--benchmark_format=json] [--benchmark_filter=/100000]
//
// Catalogues are generated once into $TMPDIR/tavrin-bench and kept.

#include "common/Words.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueGrid.h"
#include "catalogue/Dao.h"
#include "core/Form1State.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace tavrin;

namespace {

fs::path benchFolder()
{
    fs::path dir = fs::temp_directory_path() / "tavrin-bench";
    fs::create_directories(dir);
    return dir;
}

using tavrin::bench::word;

// A catalogue of n records with realistic field lengths, in random order.
std::string catalogue(int n)
{
    const fs::path file = benchFolder() / ("catalogue-" + std::to_string(n) + ".mdb");
    if (fs::exists(file))
        return file.string();
    const fs::path building = file.string() + ".part";
    fs::remove(building);
    Form1State f;
    f.sDatabaseFile = building.string();
    CreateDatabase(f);
    sqlite3* db = nullptr;
    sqlite3_open(building.c_str(), &db);
    sqlite3_exec(db, "DELETE FROM BBCSoftware; BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO BBCSoftware VALUES (?1, ?2, ?3, ?4, '0', '0', ?5, ?6)", -1,
                       &insert, nullptr);
    std::mt19937 rng(42);
    std::vector<std::string> publishers;
    for (int i = 0; i < 400; ++i)
        publishers.push_back(word(rng, 6, 24));
    static const char* genres[] = {"Arcade", "Adventure", "Puzzle", "Strategy", "Education",
                                   "Utility", "Simulation", "Sport"};
    std::uniform_int_distribution<int> pickPublisher(0, 399), pickGenre(0, 7), sentences(1, 4);
    for (int i = 0; i < n; ++i) {
        const std::string publisher = publishers[static_cast<size_t>(pickPublisher(rng))];
        const std::string title = word(rng, 4, 30);
        std::string path = "Files\\" + publisher.substr(0, 12) + "\\" + word(rng, 4, 12) + ".ssd";
        std::string description;
        for (int s = sentences(rng); s > 0; --s)
            description += word(rng, 3, 9) + " " + word(rng, 2, 8) + " the " + word(rng, 4, 10) +
                           " of " + word(rng, 4, 12) + " " + word(rng, 3, 10) + ". ";
        sqlite3_bind_text(insert, 1, publisher.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, genres[pickGenre(rng)], -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, description.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 6, i);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    fs::rename(building, file);
    return file.string();
}

// The same catalogue as "&Sort database and exit" leaves it: records in
// mode-0 order with a dense Index.
std::string sortedCatalogue(int n)
{
    const fs::path file = benchFolder() / ("catalogue-" + std::to_string(n) + "-sorted.mdb");
    if (fs::exists(file))
        return file.string();
    const fs::path building = file.string() + ".part";
    fs::copy_file(catalogue(n), building, fs::copy_options::overwrite_existing);
    Form1State f;
    TransferFromAccess(f, building.string(), "BBCSoftware");
    SortAndTransferToAccess(f);
    fs::rename(building, file);
    return file.string();
}

// A figure of /proc/self/status ("VmRSS", "VmHWM") in bytes.
long statusBytes(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1)) * 1024;
    return 0;
}

// In a fresh process of this program (so that no memory freed by an earlier
// benchmark is reused): how far the resident memory rises above where it
// stood when the catalogue is loaded, sorted in every mode and dropped.
double loadGrowthMB(const std::string& path)
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return -1;
    const std::string command = std::string(self, static_cast<size_t>(length)) + " --rss-child=" + path;
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return -1;
    long bytes = -1;
    if (std::fscanf(child, "%ld", &bytes) != 1)
        bytes = -1;
    pclose(child);
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

int rssChild(const std::string& path)
{
    const long before = statusBytes("VmRSS");
    {
        Form1State f;
        TransferFromAccess(f, path, "BBCSoftware");
        for (int mode : {0, 1, 2}) {
            f.iSort = mode;
            Sort(f);
        }
    }
    std::printf("%ld\n", statusBytes("VmHWM") - before);
    return 0;
}

// Reads every field of every record with the SQLite C API into strings: the
// least that any load must do.
void rawScan(const std::string& path, size_t records)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* scan = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM BBCSoftware ORDER BY rowid", -1, &scan, nullptr);
    std::vector<std::string> cells;
    cells.reserve(records * 8);
    while (sqlite3_step(scan) == SQLITE_ROW)
        for (int c = 0; c < 8; ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(scan, c));
            cells.emplace_back(text ? text : "");
        }
    sqlite3_finalize(scan);
    sqlite3_close(db);
    benchmark::DoNotOptimize(cells.data());
}

// The wall-clock and processor seconds that `work` takes. On a machine that
// runs other work too, the processor time is the steadier figure.
struct Seconds {
    double wall;
    double cpu;
};

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

Seconds secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            threadCpuSeconds() - cpuStart};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The load of an already sorted and of a shuffled catalogue against the raw
// scan, taken in turns five times in one run, so that a busy machine slows
// all three alike. The counters are the ratios of the medians, of wall-clock
// and of processor time (goals at 100,000 records: at most 1.3 sorted, at
// most 2 shuffled).
void BM_LoadAgainstRawScan(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const std::string shuffled = catalogue(n);
    const std::string sorted = sortedCatalogue(n);
    std::vector<Seconds> raw, sortedLoad, shuffledLoad;
    for (auto _ : state) {
        for (int round = 0; round < 5; ++round) {
            raw.push_back(secondsOf([&] { rawScan(shuffled, static_cast<size_t>(n)); }));
            sortedLoad.push_back(secondsOf([&] {
                Form1State f;
                TransferFromAccess(f, sorted, "BBCSoftware");
            }));
            shuffledLoad.push_back(secondsOf([&] {
                Form1State f;
                TransferFromAccess(f, shuffled, "BBCSoftware");
            }));
        }
    }
    const auto medianOf = [](const std::vector<Seconds>& runs, double Seconds::*part) {
        std::vector<double> v;
        for (const Seconds& s : runs)
            v.push_back(s.*part);
        return median(v);
    };
    for (auto [name, part] : {std::pair{"", &Seconds::wall}, std::pair{"cpu_", &Seconds::cpu}}) {
        const double r = medianOf(raw, part);
        state.counters[std::string(name) + "raw_ms"] = r * 1000;
        state.counters[std::string(name) + "sorted_ratio"] = medianOf(sortedLoad, part) / r;
        state.counters[std::string(name) + "shuffled_ratio"] = medianOf(shuffledLoad, part) / r;
    }
}

void BM_RawScan(benchmark::State& state)
{
    const std::string path = catalogue(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rawScan(path, static_cast<size_t>(state.range(0)));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TransferFromAccess(benchmark::State& state)
{
    const std::string path = catalogue(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Form1State f;
        TransferFromAccess(f, path, "BBCSoftware");
    }
    state.counters["rss_growth_MB"] = loadGrowthMB(path);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Sort(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    Form1State f;
    TransferFromAccess(f, catalogue(static_cast<int>(state.range(1))), "BBCSoftware");
    for (auto _ : state) {
        state.PauseTiming();
        f.iSort = (mode + 1) % 3; // another order first, so each sort has work to do
        Sort(f);
        f.iSort = mode;
        state.ResumeTiming();
        Sort(f);
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

void BM_SortAndTransferToAccess(benchmark::State& state)
{
    const std::string master = catalogue(static_cast<int>(state.range(0)));
    const fs::path work = benchFolder() / "writeback.mdb";
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(master, work, fs::copy_options::overwrite_existing);
        Form1State f;
        TransferFromAccess(f, work.string(), "BBCSoftware");
        f.iSort = 1;
        Sort(f);
        state.ResumeTiming();
        SortAndTransferToAccess(f);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

// With --benchmark_repetitions=N each benchmark also reports its fastest
// run ("_min"), the figure least disturbed by other work on the machine.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_LoadAgainstRawScan)
    ->Arg(1000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_RawScan)
    ->Arg(1000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK(BM_TransferFromAccess)
    ->Arg(1000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK(BM_Sort)
    ->ArgsProduct({{0, 1, 2}, {1000, 100000, 1000000}})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK(BM_SortAndTransferToAccess)
    ->Arg(1000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->ComputeStatistics("min", fastest);

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--rss-child=", 0) == 0)
            return rssChild(arg.substr(12));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
