// MMB files against cp, in the same run and on the same disk:
//   - BM_MmbAdd: "tavrin-disk mmb add" of 511 discs into a new MMB file, against
//     cp of the same 511 images into a folder (the bytes add reads and writes),
//     and against cp of the finished MMB file (the file add writes);
//   - BM_MmbList: "tavrin-disk mmb list" of a full file, against cp of its
//     8,192-byte index (the bytes list reads), and against cp of the whole file;
//     "tool_start" is "tavrin-disk --help", the start of the program alone
//     (loading Qt Core), which no command of it can go below.
// The discs are built by the program's own image builder from BASIC programs,
// machine code and screens, 3 to 31 files each; a quarter of them padded to
// the whole 204,800 bytes, the rest as long as their files, as collections
// hold them. add syncs the new file to the disk before it renames it into
// place, which cp does not; "cp_sync" times cp followed by "sync -d" of the copy.
//
// Counters are milliseconds a run (each side run in turns, `--benchmark_repetitions`
// gives spread) and the ratios tavrin-disk / cp. Files in $TMPDIR/tavrin-bench/mmb.

#include "common/Words.h"
#include "diskimage/DiskCatalogue.h"
#include "diskimage/InfFile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace tavrin;

namespace
{

constexpr int kDiscs = 511;

fs::path benchFolder()
{
    return fs::temp_directory_path() / "tavrin-bench" / "mmb";
}

// Runs a program, its output to /dev/null; the wall time in seconds, or -1
// when it failed.
double run(const std::vector<std::string>& program)
{
    std::vector<char*> argv;
    for (const std::string& a : program)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

std::vector<uint8_t> basicProgram(std::mt19937& rng, size_t size)
{
    static const char* keywords[] = {"\xF1", "\xE7", "\xE3", "\xE5",
                                     "\xEB", "\xF4", "\xDE", "\xF5"};
    std::vector<uint8_t> program;
    for (int line = 10; program.size() < size; line += 10) {
        std::string text = std::string(keywords[rng() % 8]) + " ";
        while (text.size() < 20 + rng() % 40)
            text += bench::word(rng, 2, 8) + (rng() % 3 ? " " : "\":");
        program.insert(program.end(),
                       {0x0D, uint8_t(line >> 8), uint8_t(line & 0xFF), uint8_t(text.size() + 4)});
        program.insert(program.end(), text.begin(), text.end());
    }
    program.insert(program.end(), {0x0D, 0xFF});
    return program;
}

std::vector<uint8_t> disc(unsigned seed)
{
    std::mt19937 rng(seed);
    const std::string title = bench::word(rng, 4, 12);
    InfImage image(title);
    const int files = 3 + int(rng() % 29);
    for (int i = 0; i < files; ++i) {
        std::vector<uint8_t> data;
        switch (rng() % 4) {
        case 0: // machine code
            data.resize(500 + rng() % 6000);
            for (uint8_t& b : data)
                b = uint8_t(rng() % 4 ? 0x20 + rng() % 64 : rng());
            break;
        case 1: // a screen of MODE 7 text
            data.resize(1000);
            for (size_t at = 0; at < data.size(); ++at)
                data[at] = uint8_t(at % 40 < 2 ? 0x81 + rng() % 7 : 0x20 + rng() % 90);
            break;
        default:
            data = basicProgram(rng, 500 + rng() % 6000);
        }
        const std::string name = bench::word(rng, 3, 5) + std::to_string(i);
        if (image.add(data, InfDescription{'$', name, 0x1900, 0x8023, rng() % 5 == 0, {}}))
            break; // the disc is full
    }
    std::vector<uint8_t> bytes = image.bytes();
    WriteCatalogueTitle(bytes, title);
    if (seed % 4 == 0)
        bytes.resize(dfs::kBlankImageSize, 0);
    return bytes;
}

struct Files {
    std::string tool = TAVRIN_DISK_TOOL;
    std::vector<std::string> discs;
    fs::path full;  // an MMB file of 511 discs
    fs::path index; // its first 8,192 bytes
    uint64_t discBytes = 0;
};

const Files& files()
{
    static Files made = [] {
        Files f;
        const fs::path folder = benchFolder() / "discs";
        fs::create_directories(folder);
        for (int i = 0; i < kDiscs; ++i) {
            const fs::path path = folder / ("disc" + std::to_string(1000 + i).substr(1) + ".ssd");
            const std::vector<uint8_t> bytes = disc(unsigned(i) + 1);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            f.discs.push_back(path.string());
            f.discBytes += bytes.size();
        }
        f.full = benchFolder() / "full.mmb";
        fs::remove(f.full);
        std::vector<std::string> add = {f.tool, "mmb", "add", f.full.string()};
        add.insert(add.end(), f.discs.begin(), f.discs.end());
        if (run({f.tool, "mmb", "new", f.full.string()}) < 0 || run(add) < 0)
            throw std::runtime_error("tavrin-disk could not make the full MMB file");
        f.index = benchFolder() / "index.bin";
        std::ifstream in(f.full, std::ios::binary);
        std::vector<char> head(8192);
        in.read(head.data(), std::streamsize(head.size()));
        std::ofstream(f.index, std::ios::binary).write(head.data(), std::streamsize(head.size()));
        return f;
    }();
    return made;
}

// Runs each side once an iteration, in turns, and reports milliseconds and
// the ratios of the first side to the others.
void paired(benchmark::State& state, const std::vector<std::string>& names,
            const std::vector<std::function<double()>>& sides)
{
    std::vector<double> totals(sides.size(), 0);
    size_t first = 0;
    for (auto _ : state) {
        std::vector<double> seconds(sides.size());
        for (size_t k = 0; k < sides.size(); ++k) {
            const size_t i = (first + k) % sides.size();
            seconds[i] = sides[i]();
            if (seconds[i] < 0) {
                state.SkipWithError(("the " + names[i] + " run failed").c_str());
                return;
            }
        }
        first = (first + 1) % sides.size();
        state.SetIterationTime(seconds[0]);
        for (size_t i = 0; i < sides.size(); ++i)
            totals[i] += seconds[i];
    }
    const double n = double(std::max<int64_t>(1, int64_t(state.iterations())));
    for (size_t i = 0; i < sides.size(); ++i) {
        state.counters[names[i] + "_ms"] = totals[i] * 1000 / n;
        if (i > 0)
            state.counters["ratio_vs_" + names[i]] = totals[i] > 0 ? totals[0] / totals[i] : 0;
    }
}

void BM_MmbAdd(benchmark::State& state)
{
    const Files& f = files();
    const fs::path mmb = benchFolder() / "added.mmb", copies = benchFolder() / "copies";
    const fs::path copy = benchFolder() / "copy.mmb";
    std::vector<std::string> add = {f.tool, "mmb", "add", mmb.string()};
    add.insert(add.end(), f.discs.begin(), f.discs.end());
    std::vector<std::string> cp = {"cp"};
    cp.insert(cp.end(), f.discs.begin(), f.discs.end());
    cp.push_back(copies.string());
    paired(state, {"add", "cp_discs", "cp_mmb", "cp_sync_mmb"},
           {[&] {
                fs::remove(mmb);
                if (run({f.tool, "mmb", "new", mmb.string()}) < 0)
                    return -1.0;
                return run(add);
            },
            [&] {
                fs::remove_all(copies);
                fs::create_directories(copies);
                return run(cp);
            },
            [&] {
                fs::remove(copy);
                return run({"cp", f.full.string(), copy.string()});
            },
            [&] {
                fs::remove(copy);
                const double a = run({"cp", f.full.string(), copy.string()});
                const double b = run({"sync", "-d", copy.string()});
                return a < 0 || b < 0 ? -1.0 : a + b;
            }});
    state.counters["disc_MB"] = double(f.discBytes) / 1e6;
}

void BM_MmbList(benchmark::State& state)
{
    const Files& f = files();
    const fs::path copy = benchFolder() / "copy.bin";
    paired(state, {"list", "cp_index", "cp_mmb", "tool_start"},
           {[&] {
                return run({f.tool, "mmb", "list", f.full.string()});
            },
            [&] {
                fs::remove(copy);
                return run({"cp", f.index.string(), copy.string()});
            },
            [&] {
                fs::remove(copy);
                return run({"cp", f.full.string(), copy.string()});
            },
            [&] {
                return run({f.tool, "--help"});
            }});
}

} // namespace

BENCHMARK(BM_MmbAdd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MmbList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
