// A download of 10 MB and of 100 MB from a loopback HTTP server: the
// program's GetInternetFile (Qt Network, streamed to disk) against
// "curl -s -o" on the same server, both in every iteration. Reported:
//   - the time of GetInternetFile (manual time) and of curl (curl_s),
//   - vs_curl: GetInternetFile's time over curl's (goal: at most 1.2),
//   - rss_growth_MB: how far the resident memory rose above its level
//     before the download while it ran (goal: the same for both sizes).
//
//   internet_bench [--benchmark_format=json]
//
// The files are written once into $TMPDIR/tavrin-bench/internet and kept.

#include "core/Form1State.h"
#include "core/Prompt.h"
#include "internet/InternetDownload.h"
#include "internet/LoopbackHttpServer.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace fs = std::filesystem;

namespace
{

fs::path Folder()
{
    const fs::path folder = fs::temp_directory_path() / "tavrin-bench" / "internet";
    fs::create_directories(folder / "Temp");
    return folder;
}

// A file of incompressible bytes (an image of that size as served).
fs::path Payload(int megabytes)
{
    const fs::path file = Folder() / ("payload-" + std::to_string(megabytes) + ".bin");
    const auto size = static_cast<std::uintmax_t>(megabytes) << 20;
    if (fs::exists(file) && fs::file_size(file) == size)
        return file;
    std::mt19937_64 random(megabytes);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::vector<std::uint64_t> block(1 << 16);
    for (std::uintmax_t written = 0; written < size; written += block.size() * 8) {
        for (auto& word : block)
            word = random();
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * 8));
    }
    return file;
}

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

double Curl(const std::string& url, const fs::path& out)
{
    const std::string o = out.string();
    const char* argv[] = {"curl", "-s", "-o", o.c_str(), url.c_str(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_GetInternetFile(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "internet_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const int megabytes = static_cast<int>(state.range(0));
    const fs::path payload = Payload(megabytes);
    tavrin::test::LoopbackHttpServer server;
    tavrin::test::HttpRoute route;
    route.file = payload;
    server.route("/payload.bin", route);
    const std::string url = server.base() + "payload.bin";

    tavrin::Form1State f;
    tavrin::ScriptedPrompt prompt;
    tavrin::InternetDownload download(f, prompt);
    const fs::path target = Folder() / "Temp" / "payload.bin";
    double qtSeconds = 0, curlSeconds = 0;
    long growth = 0;
    for (auto _ : state) {
        const double curl = Curl(url, Folder() / "Temp" / "curl.bin");
        if (curl < 0) {
            state.SkipWithError("curl failed");
            break;
        }
        curlSeconds += curl;

        const long before = ResidentKilobytes();
        long peak = before;
        tavrin::DownloadOptions options;
        qint64 sampled = 0;
        options.progress = [&](qint64 received, qint64) {
            // Every megabyte: reading /proc costs more than a small chunk.
            if (received - sampled < (1 << 20))
                return;
            sampled = received;
            peak = std::max(peak, ResidentKilobytes());
        };
        const auto start = std::chrono::steady_clock::now();
        const tavrin::DownloadResult r = tavrin::DownloadToFile(url, target, options);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r.outcome != tavrin::DownloadOutcome::Saved ||
            fs::file_size(target) != fs::file_size(payload)) {
            state.SkipWithError(("download failed: " + r.detail).c_str());
            break;
        }
        state.SetIterationTime(seconds);
        qtSeconds += seconds;
        growth = std::max(growth, peak - before);
    }
    state.SetBytesProcessed(state.iterations() * (static_cast<int64_t>(megabytes) << 20));
    state.counters["curl_s"] = benchmark::Counter(curlSeconds, benchmark::Counter::kAvgIterations);
    state.counters["vs_curl"] = curlSeconds > 0 ? qtSeconds / curlSeconds : 0;
    state.counters["rss_growth_MB"] = static_cast<double>(growth) / 1024.0;
}
BENCHMARK(BM_GetInternetFile)
    ->Arg(10)
    ->Arg(100)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
