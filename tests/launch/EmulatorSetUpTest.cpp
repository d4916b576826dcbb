// The emulator set-up's search and what it makes of a found program: the
// places looked in, the programs recognised, the slot's command line and
// destination, the script that hands the BeebEm slot its newest disk, and
// the catalogue row "Try it" runs.

#include "TempDir.h"
#include "core/FlexGrid.h"
#include "launch/CommandLine.h"
#include "launch/EmulatorSetUp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;

class PathVariable {
public:
    explicit PathVariable(const std::string& value)
    {
        if (const char* old = std::getenv("PATH"))
            old_ = old;
        ::setenv("PATH", value.c_str(), 1);
    }
    ~PathVariable() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

TEST(EmulatorSetUp, FindsTheKnownProgramsOnPathInTheUsualPlacesAndInAPickedFolder)
{
    TempDir dir;
    const fs::path root = dir / "root";
    auto program = [&](const std::string& name, fs::perms perms = fs::perms::owner_all) {
        fs::permissions(dir.write(name, "#!/bin/sh\n"), perms);
        return dir / name;
    };
    const fs::path mame = program("root/usr/games/mame");
    fs::create_directories(dir / "bin");
    fs::create_symlink(mame, dir / "bin/mame"); // the same MAME, once
    const fs::path bem = program("root/opt/b-em/b-em");
    program("root/usr/local/bin/beebem", fs::perms::owner_read); // cannot be run
    const fs::path electrem = program("home/.local/bin/ElectrEm");
    const fs::path mine = program("picked/bin/my emu");
    program("picked/libfoo.so.1");
    const PathVariable path((dir / "bin").string() + "::relative");

    EmulatorSearch search{(dir / "bin").string() + "::relative", (dir / "home").string(), root,
                          dir / "picked/"};
    const std::vector<fs::path> folders = EmulatorSearchFolders(search);
    const std::vector<fs::path> expected = {
        dir / "bin", root / "usr/games", root / "usr/local/bin", root / "usr/local/games",
        root / "opt/b-em", root / "opt/b-em/bin", dir / "home/.local/bin", dir / "home/bin",
        dir / "home/.local/share/flatpak/exports/bin", root / "var/lib/flatpak/exports/bin",
        root / "snap/bin", dir / "picked", dir / "picked/bin"};
    EXPECT_EQ(folders, expected);

    using Found = std::tuple<Emulator, EmulatorProgramKind, fs::path, bool>;
    std::vector<Found> found;
    for (const FoundEmulator& f : FindEmulators(search))
        found.emplace_back(f.slot, f.kind, f.program, f.onPath);
    const std::vector<Found> want = {
        {Emulator::BeebEm, EmulatorProgramKind::MameBbcB, dir / "bin/mame", true},
        {Emulator::ElectrEm, EmulatorProgramKind::MameElectron, dir / "bin/mame", true},
        {Emulator::B_Em, EmulatorProgramKind::BEm, bem, false},
        {Emulator::ElectrEm, EmulatorProgramKind::Generic, electrem, false},
        {Emulator::BeebEm, EmulatorProgramKind::Generic, mine, false},
        {Emulator::ElectrEm, EmulatorProgramKind::Generic, mine, false},
    };
    EXPECT_EQ(found, want);
}

TEST(EmulatorSetUp, TheSlotsCommandLineAndTheScriptThatGivesItTheNewestDisk)
{
    TempDir dir;
    const fs::path app = dir / "my app";
    const std::string disk = (app / "Emulator/BeebEm/Disk0.ssd").string();
    const std::string script = (app / "Emulator/BeebEm/newest-disk.sh").string();
    struct Case {
        FoundEmulator found;
        std::string exec, dest;
    } cases[] = {
        {{Emulator::B_Em, EmulatorProgramKind::BEm, "/usr/bin/b-em", true},
         "b-em -disc '" + (app / "Emulator/B-Em/Disk0.ssd").string() + "' -autoboot",
         (app / "Emulator/B-Em/Disk0.ssd").string()},
        {{Emulator::BeebEm, EmulatorProgramKind::MameBbcB, "/opt/mame/mame", false},
         "'" + script + "' /opt/mame/mame bbcb -skip_gameinfo -flop1", disk},
        {{Emulator::ElectrEm, EmulatorProgramKind::MameElectron, "/usr/games/mame", true},
         "mame electron -skip_gameinfo -cass", ""},
        {{Emulator::BeebEm, EmulatorProgramKind::Generic, "/home/ann/My Emus/beeb", false},
         "'" + script + "' '/home/ann/My Emus/beeb'", disk},
        {{Emulator::ElectrEm, EmulatorProgramKind::Generic, "/usr/bin/elk", false},
         "/usr/bin/elk",
         ""},
    };
    for (const Case& c : cases) {
        const SlotSetting s = SlotSettingFor(c.found, app);
        EXPECT_EQ(s.exec, c.exec);
        EXPECT_EQ(s.dest, c.dest);
    }

    ASSERT_TRUE(PrepareSlotFolder(Emulator::BeebEm, app));
    auto handedOver = [&] {
        FILE* out = ::popen(("'" + script + "' printf %s").c_str(), "r");
        char line[512] = {};
        const size_t n = std::fread(line, 1, sizeof line - 1, out);
        ::pclose(out);
        return std::string(line, n);
    };
    EXPECT_EQ(handedOver(), disk);
    dir.write("my app/Emulator/BeebEm/Disk0.ssd", "ssd");
    dir.write("my app/Emulator/BeebEm/Disk0.img", "img");
    const fs::path img = app / "Emulator/BeebEm/Disk0.img";
    fs::last_write_time(app / "Emulator/BeebEm/Disk0.ssd",
                        fs::last_write_time(img) - std::chrono::seconds(5));
    EXPECT_EQ(handedOver(), img.string());
}

// Each option of a MAME command line is one the installed MAME prints in its
// -showusage, or a medium its machine lists with -listmedia.
TEST(EmulatorSetUp, TheMameOptionsAreOnesTheInstalledMameKnows)
{
    const fs::path mame = fs::exists("/usr/games/mame") ? "/usr/games/mame" : FindProgram("mame");
    if (mame.empty())
        GTEST_SKIP() << "MAME is not installed";
    auto output = [&](const std::string& arguments) {
        std::string text;
        FILE* out = ::popen((QuoteForShell(mame.string()) + " " + arguments).c_str(), "r");
        for (char buffer[4096]; const size_t n = std::fread(buffer, 1, sizeof buffer, out);)
            text.append(buffer, n);
        ::pclose(out);
        return text;
    };
    const std::string usage = output("-showusage 2>&1");
    for (const auto& [kind, machine] : {std::pair(EmulatorProgramKind::MameBbcB, "bbcb"),
                                        {EmulatorProgramKind::MameElectron, "electron"}}) {
        const std::string media = output(std::string(machine) + " -listmedia 2>&1");
        const SlotSetting s = SlotSettingFor({Emulator::BeebEm, kind, mame, false}, "/app");
        const std::vector<std::string> words = SplitCommandLine(s.exec).value();
        for (const std::string& word : words) {
            if (word.front() != '-')
                continue;
            EXPECT_TRUE(usage.find("\n" + word + " ") != std::string::npos ||
                        media.find("(" + word.substr(1) + ")") != std::string::npos)
                << machine << " " << word;
        }
    }
}

TEST(EmulatorSetUp, TryItRunsRowZeroOrTheFirstTitleTheSlotTakes)
{
    FlexGrid grid;
    grid.setCols(8);
    const std::vector<std::string> paths = {"Files\\Atlas.SSD", "Files\\pack.zip",
                                            "Files\\game.dsd", "Files\\tape.uef"};
    grid.setRows(static_cast<int>(paths.size()));
    for (int row = 0; row < grid.Rows(); ++row)
        grid.setTextMatrix(row, 3, paths[row]);
    EXPECT_EQ(TryItRow(grid, Emulator::B_Em), 0);
    EXPECT_EQ(TryItRow(grid, Emulator::ElectrEm), 3);
    grid.setTextMatrix(0, 3, "Files\\readme.txt");
    EXPECT_EQ(TryItRow(grid, Emulator::BeebEm), 2);
    EXPECT_EQ(TryItRow(grid, Emulator::B_Em), 1); // only the zip is left
    grid.setTextMatrix(3, 3, "");
    EXPECT_EQ(TryItRow(grid, Emulator::ElectrEm), std::nullopt);
}

} // namespace
} // namespace tavrin::test
