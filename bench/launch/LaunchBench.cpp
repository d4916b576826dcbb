// The launch's two speed goals, each beside its floor measured in the same
// run:
// - processor use while ShellandWait waits for an emulator that runs 5 s
//   (getrusage), against a plain sleep of the same length;
// - RunSelection to the emulator's process start for a 200 KB image with
//   B-Em (startDetached returns once the program has been executed),
//   against the bare copy and start the hand-off cannot do without.

#include "TempDir.h"
#include "catalogue/CatalogueFixture.h"
#include "core/Configuration.h"
#include "launch/Launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using namespace tavrin;

class NoKeyboard : public Keyboard {
public:
    bool capsLockLocked() override { return false; }
    void lockCapsLock(bool) override {}
};

double processorSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_ShellandWaitProcessorUse(benchmark::State& state)
{
    Form1State f;
    ScriptedPrompt prompt;
    NoKeyboard keyboard;
    LaunchHooks hooks;
    hooks.processEvents = [] { QCoreApplication::processEvents(); };
    Launcher launcher(f, prompt, keyboard, hooks);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = processorSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        launcher.ShellandWait("sleep 5", 0);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        cpu += processorSeconds() - c0;
    }
    state.counters["processor_percent"] = 100.0 * cpu / wall;
    state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
}

void BM_SleepProcessorUseFloor(benchmark::State& state)
{
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = processorSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        cpu += processorSeconds() - c0;
    }
    state.counters["processor_percent"] = 100.0 * cpu / wall;
}

// An application folder with a real catalogue of one 200 KB image and B-Em
// set up on /bin/true.
struct StartFolder {
    StartFolder() : cwd(dir.path())
    {
        std::string image(200 * 1024, '\0');
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i * 31);
        dir.write("Files/game.ssd", image);
        fs::create_directories(dir / "emu");
        test::writeCatalogue((dir / "bbc.mdb").string(), {test::rec("Acme", "Game", "Arcade", "Files\\game.ssd", 0)});
        InitGlobalData(f);
        TransferFromAccess(f, "bbc.mdb", "BBCSoftware");
        FormIniValues v;
        v.txtB_EmDest = (dir / "emu/Disk0.ssd").string();
        v.txtB_EmExec = "/bin/true -disc " + v.txtB_EmDest + " -autoboot";
        SetupEmulator(f, v, Emulator::B_Em);
    }
    test::TempDir dir;
    test::CurrentDir cwd;
    Form1State f;
};

void BM_RunSelectionToStart(benchmark::State& state)
{
    StartFolder folder;
    ScriptedPrompt prompt;
    NoKeyboard keyboard;
    Launcher launcher(folder.f, prompt, keyboard, {});
    for (auto _ : state)
        launcher.RunSelection();
    if (!prompt.shown.empty())
        state.SkipWithError(prompt.shown.front().text.c_str());
}

void BM_CopyAndStartFloor(benchmark::State& state)
{
    StartFolder folder;
    const fs::path from = folder.dir / "Files/game.ssd";
    const fs::path to = folder.dir / "emu/Disk0.ssd";
    for (auto _ : state) {
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
        QProcess p;
        p.setProgram(QStringLiteral("/bin/true"));
        p.setArguments({QStringLiteral("-disc"), QString::fromStdString(to.string()), QStringLiteral("-autoboot")});
        qint64 pid = 0;
        if (!p.startDetached(&pid))
            state.SkipWithError("cannot start /bin/true");
    }
}

BENCHMARK(BM_ShellandWaitProcessorUse)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SleepProcessorUseFloor)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RunSelectionToStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_CopyAndStartFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
