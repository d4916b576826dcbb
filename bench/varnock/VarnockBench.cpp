// Varnock against Debian's unzip and zip on the same archives:
//   - UnzipFiles.Unzip (defaults, HonorDirectories false) against
//     "unzip -o -j -qq", on 2,000 small files and on ten 20 MB files, each
//     compressed and stored;
//   - ZipFiles.MakeZipFile of 99 files against "zip -q -6" (the same level),
//     on plain text (99 manuals, 19 MB) and on a collection's mix (disk
//     images, BASIC programs, texts, JPEG, GIF and PNG pictures).
// Varnock runs in this process (its real use) and, for a fair comparison of
// time and peak memory with the tools, in a helper process of its own.
//
//   varnock_bench [--benchmark_format=json]
//
// The data is generated once into $TMPDIR/tavrin-bench/varnock and kept.

#include "VarnockLoad.h"
#include "ZipBenchData.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Text-like content: words of BBC BASIC listings and game names, so that
// deflate has something to do (about 3:1).
std::string TextLike(size_t size, unsigned seed)
{
    static const char* const words[] = {"10 ", "PRINT ", "\"ELITE\" ", "GOTO ", "CHUCKIE ",
                                        "EGG ", "REPTON ", "MODE 7", "\r\n", "FOR I%=1 TO ",
                                        "NEXT ", "VDU 23,1,0;0;0;0; ", "CALL &", "3F00 ",
                                        "*RUN ", "REVS "};
    std::mt19937 random(seed);
    std::string out;
    out.reserve(size + 32);
    while (out.size() < size) {
        out += words[random() % 16];
        if (random() % 4 == 0)
            out += std::to_string(random() % 100000);
    }
    out.resize(size);
    return out;
}

void WriteFile(const fs::path& file, const std::string& content)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

struct Outcome {
    double seconds = 0;
    long peakKb = 0;
    long cpuMs = 0; // user and system time of the program
    int exitCode = -1;
};

// Runs a program (in `folder` when given) through the helper's measure
// mode and measures it.
Outcome Spawn(const std::vector<std::string>& program, const fs::path& folder = {})
{
    static const std::string report = (fs::temp_directory_path() / "varnock-bench-peak").string();
    std::vector<std::string> arguments = {HELPER_PATH, "measure", report};
    arguments.insert(arguments.end(), program.begin(), program.end());
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    Outcome outcome;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return outcome;
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream(report) >> outcome.peakKb >> outcome.cpuMs;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

// The files of one MakeZipFile run: 99 names below one folder.
struct ZipSet {
    fs::path folder;
    std::vector<std::string> names;
};

struct Data {
    fs::path dir;
};

fs::path BenchFolder() { return fs::temp_directory_path() / "tavrin-bench" / "varnock"; }

// 99 manuals and READMEs, 19 MB of plain text.
ZipSet MakeTextSet(const fs::path& folder)
{
    ZipSet set{folder, {}};
    std::mt19937 random(2024);
    for (int i = 0; i < 99; ++i) {
        set.names.push_back("MANUAL" + std::to_string(i) + ".TXT");
        WriteFile(folder / set.names.back(), bench::Prose(100000 + random() % 180000, 700u + static_cast<unsigned>(i)));
    }
    return set;
}

// What one shelf of a collection holds: disk images, BASIC programs,
// instructions, and pictures already compressed (the sample data's JPEG
// and GIF box art and screenshots, and PNG scans).
ZipSet MakeMixSet(const fs::path& folder)
{
    ZipSet set{folder, {}};
    std::mt19937 random(1984);
    auto add = [&](const std::string& name, const std::string& content) {
        set.names.push_back(name);
        WriteFile(folder / name, content);
    };
    for (unsigned i = 0; i < 22; ++i)
        add("DISK" + std::to_string(i) + ".SSD", bench::DiskImage(i % 2 ? 800 : 400, 100 + i));
    for (unsigned i = 0; i < 25; ++i)
        add("PROG" + std::to_string(i) + ".BAS", bench::BasicProgram(1000 + random() % 20000, 300 + i));
    for (unsigned i = 0; i < 14; ++i)
        add("README" + std::to_string(i) + ".TXT", bench::Prose(3000 + random() % 60000, 500 + i));
    std::vector<fs::path> pictures;
    for (auto& entry : fs::recursive_directory_iterator(fs::path(SAMPLE_DATA_DIR) / "Files"))
        if (entry.path().extension() == ".jpg" || entry.path().extension() == ".gif")
            pictures.push_back(entry.path());
    std::sort(pictures.begin(), pictures.end());
    for (size_t i = 0; i < pictures.size() && set.names.size() < 84; ++i) {
        set.names.push_back(pictures[i].filename().string());
        fs::copy_file(pictures[i], folder / set.names.back(), fs::copy_options::overwrite_existing);
    }
    for (unsigned i = 0; set.names.size() < 99; ++i)
        add("SCAN" + std::to_string(i) + ".PNG", bench::Png(240 + random() % 160, 200 + random() % 120, 900 + i));
    return set;
}

// A set is made once and kept; a marker says that it is complete.
ZipSet KeptSet(const fs::path& folder, ZipSet (*make)(const fs::path&))
{
    fs::path marker = folder.string() + ".ready";
    if (!fs::exists(marker)) {
        fs::remove_all(folder);
        ZipSet set = make(folder);
        std::ofstream(marker) << "ok";
        return set;
    }
    ZipSet set{folder, {}};
    for (auto& entry : fs::directory_iterator(folder))
        set.names.push_back(entry.path().filename().string());
    std::sort(set.names.begin(), set.names.end());
    return set;
}

const Data& GetData()
{
    static Data data = [] {
        Data d;
        d.dir = BenchFolder();
        fs::path marker = d.dir / "ready";
        if (fs::exists(marker))
            return d;
        for (const char* old : {"small", "large", "small-deflated.zip", "small-stored.zip",
                                "large-deflated.zip", "large-stored.zip"})
            fs::remove_all(d.dir / old);
        std::mt19937 random(1986);
        for (int i = 0; i < 2000; ++i)
            WriteFile(d.dir / "small" / ("DISK" + std::to_string(i / 100)) / ("FILE" + std::to_string(i) + ".INF"),
                      TextLike(200 + random() % 6000, static_cast<unsigned>(i)));
        for (int i = 0; i < 10; ++i)
            WriteFile(d.dir / "large" / ("IMAGE" + std::to_string(i) + ".SSD"),
                      TextLike(20u << 20, 5000u + static_cast<unsigned>(i)));
        for (const char* set : {"small", "large"}) {
            for (const char* level : {"-6", "-0"}) {
                std::string archive = (d.dir / (std::string(set) + (level[1] == '0' ? "-stored.zip" : "-deflated.zip"))).string();
                Spawn({"zip", "-q", "-r", level, archive, "."}, d.dir / set);
            }
        }
        std::ofstream(marker) << "ok";
        return d;
    }();
    return data;
}

fs::path Archive(const std::string& name) { return GetData().dir / name; }

fs::path FreshFolder(const std::string& name)
{
    fs::path folder = BenchFolder() / "out" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Peak resident size of the program, and its processor time per run (less
// disturbed by a busy machine than the wall-clock time).
void Report(benchmark::State& state, long peakKb, long cpuMs)
{
    state.counters["peak_rss_kb"] = benchmark::Counter(static_cast<double>(peakKb));
    state.counters["cpu_ms"] = benchmark::Counter(static_cast<double>(cpuMs),
                                                  benchmark::Counter::kAvgIterations);
}

long ProcessCpuMs()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Times one command per iteration (its own wall clock, peak memory and
// processor time); `before` runs ahead of each, e.g. to remove an output.
void MeasureCommand(benchmark::State& state, const std::vector<std::string>& command,
                    const char* failure, const fs::path& folder = {},
                    const std::function<void()>& before = {})
{
    long peak = 0, cpu = 0;
    for (auto _ : state) {
        if (before)
            before();
        Outcome o = Spawn(command, folder);
        if (o.exitCode != 0) {
            state.SkipWithError(failure);
            break;
        }
        state.SetIterationTime(o.seconds);
        peak = std::max(peak, o.peakKb);
        cpu += o.cpuMs;
    }
    Report(state, peak, cpu);
}

void BM_Unzip_Varnock(benchmark::State& state, const std::string& archive)
{
    std::string zip = Archive(archive).string();
    std::string out = FreshFolder("varnock-" + archive).string();
    long cpuBefore = ProcessCpuMs();
    for (auto _ : state) {
        if (bench::VarnockUnzip(zip, out) != 0) {
            state.SkipWithError("Unzip failed");
            break;
        }
    }
    state.counters["cpu_ms"] = benchmark::Counter(static_cast<double>(ProcessCpuMs() - cpuBefore),
                                                  benchmark::Counter::kAvgIterations);
}

void BM_Unzip_VarnockProcess(benchmark::State& state, const std::string& archive)
{
    std::string zip = Archive(archive).string();
    std::string out = FreshFolder("helper-" + archive).string();
    MeasureCommand(state, {HELPER_PATH, "unzip", zip, out}, "helper failed");
}

void BM_Unzip_Debian(benchmark::State& state, const std::string& archive)
{
    std::string zip = Archive(archive).string();
    std::string out = FreshFolder("debian-" + archive).string();
    MeasureCommand(state, {"unzip", "-o", "-j", "-qq", zip, "-d", out}, "unzip failed");
}

const ZipSet& Set(const std::string& name)
{
    static const ZipSet text = KeptSet(BenchFolder() / "zip-text", MakeTextSet);
    static const ZipSet mix = KeptSet(BenchFolder() / "zip-mix", MakeMixSet);
    return name == "text" ? text : mix;
}

void BM_Zip_Varnock(benchmark::State& state, const std::string& setName)
{
    const ZipSet& set = Set(setName);
    std::string zip = (FreshFolder("zip-varnock-" + setName) / "out.zip").string();
    long cpuBefore = ProcessCpuMs();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(zip);
        state.ResumeTiming();
        if (bench::VarnockZip(set.folder.string(), set.names, zip) != 0) {
            state.SkipWithError("MakeZipFile failed");
            break;
        }
    }
    state.counters["cpu_ms"] = benchmark::Counter(static_cast<double>(ProcessCpuMs() - cpuBefore),
                                                  benchmark::Counter::kAvgIterations);
}

void BM_Zip_VarnockProcess(benchmark::State& state, const std::string& setName)
{
    const ZipSet& set = Set(setName);
    std::string zip = (FreshFolder("zip-helper-" + setName) / "out.zip").string();
    std::vector<std::string> args = {HELPER_PATH, "zip", set.folder.string(), zip};
    args.insert(args.end(), set.names.begin(), set.names.end());
    MeasureCommand(state, args, "helper failed", {}, [&] { fs::remove(zip); });
}

void BM_Zip_Debian(benchmark::State& state, const std::string& setName)
{
    const ZipSet& set = Set(setName);
    std::string zip = (FreshFolder("zip-debian-" + setName) / "out.zip").string();
    std::vector<std::string> args = {"zip", "-q", "-6", zip};
    args.insert(args.end(), set.names.begin(), set.names.end());
    MeasureCommand(state, args, "zip failed", set.folder, [&] { fs::remove(zip); });
}

// Varnock's helper and Debian's tool taken in turns within each iteration,
// so that both see the same load of a shared machine; the counters give
// each one's mean time and the ratio of the two.
void Paired(benchmark::State& state, const std::vector<std::string>& varnock,
            const std::vector<std::string>& debian, const fs::path& debianFolder,
            const std::function<void()>& before)
{
    double varnockSeconds = 0, debianSeconds = 0;
    long varnockCpu = 0, debianCpu = 0, varnockPeak = 0, debianPeak = 0;
    bool varnockFirst = true;
    for (auto _ : state) {
        Outcome v, d;
        for (int turn = 0; turn < 2; ++turn) {
            before();
            if ((turn == 0) == varnockFirst)
                v = Spawn(varnock);
            else
                d = Spawn(debian, debianFolder);
        }
        varnockFirst = !varnockFirst;
        if (v.exitCode != 0 || d.exitCode != 0) {
            state.SkipWithError("a run failed");
            break;
        }
        state.SetIterationTime(v.seconds);
        varnockSeconds += v.seconds;
        debianSeconds += d.seconds;
        varnockCpu += v.cpuMs;
        debianCpu += d.cpuMs;
        varnockPeak = std::max(varnockPeak, v.peakKb);
        debianPeak = std::max(debianPeak, d.peakKb);
    }
    double n = static_cast<double>(std::max<int64_t>(1, static_cast<int64_t>(state.iterations())));
    state.counters["varnock_ms"] = varnockSeconds * 1000 / n;
    state.counters["debian_ms"] = debianSeconds * 1000 / n;
    state.counters["time_ratio"] = debianSeconds > 0 ? varnockSeconds / debianSeconds : 0;
    state.counters["varnock_cpu_ms"] = static_cast<double>(varnockCpu) / n;
    state.counters["debian_cpu_ms"] = static_cast<double>(debianCpu) / n;
    state.counters["cpu_ratio"] = debianCpu > 0 ? static_cast<double>(varnockCpu) / static_cast<double>(debianCpu) : 0;
    state.counters["varnock_peak_kb"] = static_cast<double>(varnockPeak);
    state.counters["debian_peak_kb"] = static_cast<double>(debianPeak);
}

void BM_Unzip_Paired(benchmark::State& state, const std::string& archive)
{
    std::string zip = Archive(archive).string();
    std::string out1 = FreshFolder("paired-varnock-" + archive).string();
    std::string out2 = FreshFolder("paired-debian-" + archive).string();
    Paired(state, {HELPER_PATH, "unzip", zip, out1}, {"unzip", "-o", "-j", "-qq", zip, "-d", out2}, {},
           [] {});
}

void BM_Zip_Paired(benchmark::State& state, const std::string& setName)
{
    const ZipSet& set = Set(setName);
    fs::path folder = FreshFolder("paired-zip-" + setName);
    std::string zip1 = (folder / "varnock.zip").string(), zip2 = (folder / "debian.zip").string();
    std::vector<std::string> varnock = {HELPER_PATH, "zip", set.folder.string(), zip1};
    varnock.insert(varnock.end(), set.names.begin(), set.names.end());
    std::vector<std::string> debian = {"zip", "-q", "-6", zip2};
    debian.insert(debian.end(), set.names.begin(), set.names.end());
    Paired(state, varnock, debian, set.folder, [&] {
        fs::remove(zip1);
        fs::remove(zip2);
    });
    // Each turn removed the other's archive: make both once more to weigh them.
    fs::remove(zip1);
    fs::remove(zip2);
    Spawn(varnock);
    Spawn(debian, set.folder);
    std::error_code error;
    state.counters["varnock_bytes"] = static_cast<double>(fs::file_size(zip1, error));
    state.counters["debian_bytes"] = static_cast<double>(fs::file_size(zip2, error));
}

// UnzipFiles.Unzip called in this process (as tavrin calls it) in turns
// with the command "unzip -o -j -qq".
void BM_Unzip_CallPaired(benchmark::State& state, const std::string& archive)
{
    std::string zip = Archive(archive).string();
    std::string out1 = FreshFolder("call-varnock-" + archive).string();
    std::string out2 = FreshFolder("call-debian-" + archive).string();
    double varnockSeconds = 0, debianSeconds = 0;
    bool varnockFirst = true;
    for (auto _ : state) {
        double v = 0;
        Outcome d;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == varnockFirst) {
                auto start = std::chrono::steady_clock::now();
                if (bench::VarnockUnzip(zip, out1) != 0)
                    state.SkipWithError("Unzip failed");
                v = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            } else {
                d = Spawn({"unzip", "-o", "-j", "-qq", zip, "-d", out2});
            }
        }
        varnockFirst = !varnockFirst;
        state.SetIterationTime(v);
        varnockSeconds += v;
        debianSeconds += d.seconds;
    }
    double n = static_cast<double>(std::max<int64_t>(1, static_cast<int64_t>(state.iterations())));
    state.counters["varnock_ms"] = varnockSeconds * 1000 / n;
    state.counters["debian_ms"] = debianSeconds * 1000 / n;
    state.counters["time_ratio"] = debianSeconds > 0 ? varnockSeconds / debianSeconds : 0;
}

} // namespace

// Archive names with a dash are not identifiers: spell them out.
BENCHMARK_CAPTURE(BM_Unzip_Varnock, small_deflated, "small-deflated.zip")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Unzip_VarnockProcess, small_deflated, "small-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Unzip_Debian, small_deflated, "small-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Unzip_Varnock, small_stored, "small-stored.zip")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Unzip_VarnockProcess, small_stored, "small-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Unzip_Debian, small_stored, "small-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Unzip_Varnock, large_deflated, "large-deflated.zip")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Unzip_VarnockProcess, large_deflated, "large-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Unzip_Debian, large_deflated, "large-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Unzip_Varnock, large_stored, "large-stored.zip")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Unzip_VarnockProcess, large_stored, "large-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Unzip_Debian, large_stored, "large-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Zip_Varnock, text, "text")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Zip_VarnockProcess, text, "text")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Zip_Debian, text, "text")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Zip_Varnock, mix, "mix")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Zip_VarnockProcess, mix, "mix")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK_CAPTURE(BM_Zip_Debian, mix, "mix")->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

BENCHMARK_CAPTURE(BM_Unzip_Paired, small_deflated, "small-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK_CAPTURE(BM_Unzip_Paired, small_stored, "small-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK_CAPTURE(BM_Unzip_Paired, large_deflated, "large-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);
BENCHMARK_CAPTURE(BM_Unzip_Paired, large_stored, "large-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);
BENCHMARK_CAPTURE(BM_Unzip_CallPaired, small_deflated, "small-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK_CAPTURE(BM_Unzip_CallPaired, small_stored, "small-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK_CAPTURE(BM_Unzip_CallPaired, large_deflated, "large-deflated.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);
BENCHMARK_CAPTURE(BM_Unzip_CallPaired, large_stored, "large-stored.zip")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);
BENCHMARK_CAPTURE(BM_Zip_Paired, text, "text")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK_CAPTURE(BM_Zip_Paired, mix, "mix")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);

BENCHMARK_MAIN();
