// A tape image as collections hold them, gzip-compressed to about 1 MB:
// tavrin-disk cat of it against zcat of it, in turns, each a process of its
// own (same run, same file), and the reading alone in this process.
//
//   tavrin_tape_bench [--benchmark_format=json]
//
// The tape is made once, from fixed seeds, into $TMPDIR/tavrin-bench/tape
// and kept: a compilation of BASIC programs, machine code and text files,
// each a run of 256-byte blocks with carrier tone between blocks and a gap
// between files, some written as raw bits (0x0102) and some as data in a
// stated format (0x0104) as tape-to-UEF converters do.

#include "common/Words.h"
#include "varnock/ZipBenchData.h"

#include "diskimage/Uef.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace
{

constexpr size_t kCompressedSize = 1024 * 1024;

void little(Bytes& b, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        b.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void crc(Bytes& b, std::span<const uint8_t> over)
{
    const uint16_t value = tavrin::TapeCrc(over);
    b.push_back(static_cast<uint8_t>(value >> 8));
    b.push_back(static_cast<uint8_t>(value & 0xFF));
}

void chunk(Bytes& tape, uint16_t id, const Bytes& body)
{
    little(tape, id, 2);
    little(tape, static_cast<uint32_t>(body.size()), 4);
    tape.insert(tape.end(), body.begin(), body.end());
}

Bytes block(const std::string& name, uint32_t load, uint32_t exec, uint16_t number,
            std::span<const uint8_t> data, uint8_t flag)
{
    Bytes header(name.begin(), name.end());
    header.push_back(0);
    little(header, load, 4);
    little(header, exec, 4);
    little(header, number, 2);
    little(header, static_cast<uint32_t>(data.size()), 2);
    header.push_back(flag);
    little(header, 0, 4);
    Bytes b{0x2A};
    b.insert(b.end(), header.begin(), header.end());
    crc(b, header);
    b.insert(b.end(), data.begin(), data.end());
    if (!data.empty())
        crc(b, data);
    return b;
}

// The bytes framed as on tape (start bit, eight data bits, stop bit) after
// a short lead of stop-level bits, lowest bit first.
Bytes rawBits(const Bytes& bytes)
{
    std::vector<int> bits(4, 1);
    for (uint8_t byte : bytes) {
        bits.push_back(0);
        for (int k = 0; k < 8; ++k)
            bits.push_back((byte >> k) & 1);
        bits.push_back(1);
    }
    Bytes body{static_cast<uint8_t>((8 - bits.size() % 8) % 8)};
    for (size_t i = 0; i < bits.size(); ++i) {
        if (i % 8 == 0)
            body.push_back(0);
        body.back() = static_cast<uint8_t>(body.back() | (bits[i] << (i % 8)));
    }
    return body;
}

Bytes fileData(unsigned n, std::mt19937& random)
{
    std::string data;
    switch (n % 3) {
    case 0:
        data = bench::BasicProgram(2000 + random() % 12000, 500 + n);
        break;
    case 1: // machine code: bytes of a few kinds, unevenly spread
        data.resize(1000 + random() % 9000);
        for (char& c : data)
            c = static_cast<char>(random() % 4 ? random() % 64 + 0x20 : random() % 256);
        break;
    default:
        data = bench::Prose(1000 + random() % 6000, 900 + n);
        break;
    }
    return Bytes(data.begin(), data.end());
}

void addFile(Bytes& tape, unsigned n, std::mt19937& random)
{
    std::string name = tavrin::bench::word(random, 3, 10);
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const Bytes data = fileData(n, random);
    const uint32_t load = n % 3 == 0 ? 0xFFFF0E00 : n % 3 == 1 ? 0x1900 : 0x3000;
    const uint32_t exec = n % 3 == 0 ? 0xFFFF802B : load;
    const size_t blocks = (data.size() + 255) / 256;
    chunk(tape, 0x0112, {0xE8, 0x03}); // a gap of a second or so
    chunk(tape, 0x0110, {0xB0, 0x04}); // then a lead tone
    for (size_t k = 0; k < blocks; ++k) {
        const std::span<const uint8_t> part(data.data() + k * 256,
                                            std::min<size_t>(256, data.size() - k * 256));
        const Bytes b =
            block(name, load, exec, static_cast<uint16_t>(k), part, k + 1 == blocks ? 0x80 : 0x00);
        if (n % 7 == 3) {
            chunk(tape, 0x0102, rawBits(b));
        } else if (n % 11 == 5) {
            Bytes stated = {8, 'N', 1};
            stated.insert(stated.end(), b.begin(), b.end());
            chunk(tape, 0x0104, stated);
        } else {
            chunk(tape, 0x0100, b);
        }
        chunk(tape, 0x0110, {0xC0, 0x00});
    }
}

Bytes gzip(const Bytes& bytes)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 64);
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct Tape {
    fs::path path;
    size_t inflated = 0;
    size_t files = 0;
};

const Tape& TheTape()
{
    static const Tape tape = [] {
        Tape t;
        const fs::path folder = fs::temp_directory_path() / "tavrin-bench" / "tape";
        fs::create_directories(folder);
        t.path = folder / "compilation.uef.gz";
        std::mt19937 random(1982);
        Bytes uef = {'U', 'E', 'F', ' ', 'F', 'i', 'l', 'e', '!', 0, 10, 0};
        const std::string origin = "Tavrin benchmark tape";
        chunk(uef, 0x0000, Bytes(origin.begin(), origin.end() + 1));
        Bytes compressed;
        unsigned n = 0;
        while (compressed.size() < kCompressedSize) {
            for (unsigned batch = 0; batch < 25; ++batch)
                addFile(uef, n++, random);
            compressed = gzip(uef);
        }
        std::ofstream(t.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(compressed.data()),
                   static_cast<std::streamsize>(compressed.size()));
        t.inflated = uef.size();
        t.files = n;
        return t;
    }();
    return tape;
}

struct Outcome {
    double seconds = 0;
    long peakKb = 0;
    int exitCode = -1;
};

// Runs a program with its output thrown away, and measures it.
Outcome Spawn(const std::vector<std::string>& program)
{
    std::vector<char*> argv;
    for (const std::string& a : program)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage {
        };
        wait4(pid, &status, 0, &usage);
        outcome.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        outcome.peakKb = usage.ru_maxrss;
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

// tavrin-disk cat and zcat in turns, the first of the pair alternating.
void BM_Cat_AgainstZcat(benchmark::State& state)
{
    const Tape& tape = TheTape();
    const std::vector<std::string> cat = {TAPE_TOOL, "cat", tape.path.string()};
    const std::vector<std::string> zcat = {"zcat", tape.path.string()};
    double catSeconds = 0, zcatSeconds = 0;
    long catPeak = 0, zcatPeak = 0;
    bool catFirst = true;
    for (auto _ : state) {
        Outcome c, z;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == catFirst)
                c = Spawn(cat);
            else
                z = Spawn(zcat);
        }
        catFirst = !catFirst;
        if (c.exitCode != 0 || z.exitCode != 0) {
            state.SkipWithError("a run failed");
            break;
        }
        state.SetIterationTime(c.seconds);
        catSeconds += c.seconds;
        zcatSeconds += z.seconds;
        catPeak = std::max(catPeak, c.peakKb);
        zcatPeak = std::max(zcatPeak, z.peakKb);
    }
    const double n = static_cast<double>(std::max<int64_t>(1, state.iterations()));
    state.counters["compressed_kb"] = static_cast<double>(fs::file_size(tape.path)) / 1024;
    state.counters["inflated_kb"] = static_cast<double>(tape.inflated) / 1024;
    state.counters["files"] = static_cast<double>(tape.files);
    state.counters["cat_ms"] = catSeconds * 1000 / n;
    state.counters["zcat_ms"] = zcatSeconds * 1000 / n;
    state.counters["time_ratio"] = zcatSeconds > 0 ? catSeconds / zcatSeconds : 0;
    state.counters["cat_peak_kb"] = static_cast<double>(catPeak);
    state.counters["zcat_peak_kb"] = static_cast<double>(zcatPeak);
}

// The reading alone: inflate, chunks, blocks, files, in this process.
void BM_ReadUefTape(benchmark::State& state)
{
    std::ifstream in(TheTape().path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t files = 0;
    for (auto _ : state) {
        const tavrin::UefTapeRead read = tavrin::ReadUefTape(file);
        files = read.tape ? read.tape->files.size() : 0;
        benchmark::DoNotOptimize(files);
    }
    if (files != TheTape().files)
        state.SkipWithError("the tape did not read back whole");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TheTape().inflated));
}

} // namespace

BENCHMARK(BM_Cat_AgainstZcat)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
BENCHMARK(BM_ReadUefTape)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
