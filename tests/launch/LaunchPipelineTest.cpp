// The launch's decision by ticked emulator and extension, driven through
// RunSelection on a real catalogue against stand-in emulators: the messages
// in their order, what was started with which arguments in which folder,
// the bytes found at the destination, the wait, "Emulator.cfg" during and
// after the run, the update prompt, Caps Lock, the emptied "Temp" and the
// play counted.

#include "LaunchFixture.h"

#include "catalogue/CatalogueGrid.h"
#include "launch/VarnockComponent.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

namespace tavrin {
namespace {

using namespace test;

constexpr const char* kInvalid = "Invalid file extension for emulation, must be .bbc, .dsd, .img, .ssd or .uef";
constexpr const char* kNoUef = "Temporarily, Tavrin does not support the .UEF file format";
constexpr const char* kB_Em = "Currently Tavrin only supports .ssd files with B-Em";
constexpr const char* kElectrEm = "ElectrEm supports .UEF files only";
constexpr const char* kBeebEmBbc = "BeebEm does not support the .BBC file format";
constexpr const char* kZipElectrEm = "Zip files cannot be executed with ElectrEm.";
constexpr const char* kNoArchive2 = "The compressed file did not contain a standard archive (2)";

// The catalogue's software: path as stored, and the bytes of the file.
const std::map<std::string, std::string>& software()
{
    static const std::map<std::string, std::string> files = [] {
        std::map<std::string, std::string> m;
        for (const char* name : {"game.ssd", "game.dsd", "game.img", "game.bbc", "game.uef",
                                 "GAME2.SSD", "notes.tx"}) {
            std::string bytes(200 * 1024, '\0');
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<char>((i * 7 + std::string(name).size() + name[5]) & 0xFF);
            m[std::string("Files\\") + name] = std::string(name) + bytes;
        }
        return m;
    }();
    return files;
}

struct Started {
    const char* emulator;
    const char* destination; // file name beside the stand-in; the unpacked or catalogue file's bytes
    bool waited;
    const char* cfgDuring = nullptr; // Emulator.cfg as PcBBC found it
};

struct Row {
    Emulator emulator;
    std::string file; // catalogue path
    std::vector<std::string> messages;
    std::optional<Started> started;
    bool updatePrompt = false;
    std::string bytesOf = {}; // the file whose bytes reach the destination, when not `file`
};

std::vector<std::string> argsFor(const LaunchFolder& app, const std::string& emulator)
{
    if (emulator == "B-Em")
        return {"-disc", (app.emu("B-Em") / "Disk0.ssd").string(), "-autoboot"};
    if (emulator == "ElectrEm")
        return {(app.path() / "Files" / "game.uef").string()};
    return {};
}

// Archives made by Debian's zip, flat.
void writeZip(const LaunchFolder& app, const std::string& zip, const std::map<std::string, std::string>& members)
{
    const fs::path staging = app / "staging";
    fs::create_directories(staging);
    std::string command = "cd '" + staging.string() + "' && zip -q -X '" + (app / "Files" / zip).string() + "'";
    for (const auto& [name, bytes] : members) {
        std::ofstream(staging / name, std::ios::binary) << bytes;
        command += " '" + name + "'";
    }
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    fs::remove_all(staging);
}

TEST(LaunchPipeline, DecisionByEmulatorAndExtension)
{
    const std::string ssd = software().at("Files\\game.ssd");
    const std::string img = software().at("Files\\game.img");
    const std::vector<Row> rows = {
        {Emulator::BeebEm, "", {"sFullfilename is null"}, {}},
        {Emulator::BeebEm, "Files\\game.ssd", {}, Started{"BeebEm", "Disk0.ssd", false}},
        {Emulator::BeebEm, "Files\\game.dsd", {}, Started{"BeebEm", "Disk0.dsd", false}},
        {Emulator::BeebEm, "Files\\game.img", {}, Started{"BeebEm", "Disk0.img", true}, true},
        {Emulator::BeebEm, "Files\\game.bbc", {kBeebEmBbc}, {}},
        {Emulator::BeebEm, "Files\\game.uef", {kNoUef}, {}},
        {Emulator::BeebEm, "Files\\notes.tx", {kInvalid}, {}},
        {Emulator::BeebEm, "Files\\game.zip", {}, Started{"BeebEm", "Disk0.ssd", false}, false, ssd},
        {Emulator::BeebEm, "Files\\chuckie.zip", {}, Started{"BeebEm", "Disk0.img", false}, false, img},
        {Emulator::B_Em, "Files\\game.ssd", {}, Started{"B-Em", "Disk0.ssd", false}},
        {Emulator::B_Em, "Files\\GAME2.SSD", {}, Started{"B-Em", "Disk0.ssd", false}},
        {Emulator::B_Em, "Files\\game.dsd", {kB_Em}, {}},
        {Emulator::B_Em, "Files\\game.img", {kB_Em}, {}},
        {Emulator::B_Em, "Files\\game.bbc", {kB_Em}, {}},
        {Emulator::B_Em, "Files\\game.uef", {kNoUef, kB_Em}, {}},
        {Emulator::B_Em, "Files\\notes.tx", {kInvalid}, {}},
        {Emulator::B_Em, "Files\\readme.zip", {kNoArchive2, "Files/readme.zip does not include a *.bbc, *.dsd, *.img or *.ssd file"}, {}},
        {Emulator::PcBBC, "Files\\game.ssd", {}, Started{"PcBBC", "Disk0.ssd", true, "Drive0=Disk0.ssd\r\n"}},
        {Emulator::PcBBC, "Files\\game.dsd", {}, Started{"PcBBC", "Disk0.dsd", true, "Drive0=Disk0.dsd\r\n"}},
        {Emulator::PcBBC, "Files\\game.img", {}, Started{"PcBBC", "Disk0.img", true, "Drive0=Disk0.img\r\n"}, true},
        {Emulator::PcBBC, "Files\\game.bbc", {}, Started{"PcBBC", "Disk0.bbc", true, "Drive0=Disk0.bbc\r\n"}},
        {Emulator::PcBBC, "Files\\game.uef", {kNoUef}, {}},
        {Emulator::PcBBC, "Files\\notes.tx", {kInvalid}, {}},
        {Emulator::PcBBC, "Files\\game.zip", {}, Started{"PcBBC", "Disk0.ssd", true, "Drive0=Disk0.ssd\r\n"}, false, ssd},
        {Emulator::ElectrEm, "Files\\game.uef", {}, Started{"ElectrEm", nullptr, false}},
        {Emulator::ElectrEm, "Files\\game.ssd", {kElectrEm}, {}},
        {Emulator::ElectrEm, "Files\\game.dsd", {kElectrEm}, {}},
        {Emulator::ElectrEm, "Files\\game.img", {kElectrEm}, {}},
        {Emulator::ElectrEm, "Files\\game.bbc", {kElectrEm}, {}},
        {Emulator::ElectrEm, "Files\\game.zip", {kZipElectrEm, kInvalid}, {}},
        {Emulator::ElectrEm, "Files\\notes.tx", {kInvalid}, {}},
    };

    std::vector<std::unique_ptr<LaunchFolder>> folders;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(kEmulatorNames[static_cast<size_t>(row.emulator)]) + " " + row.file);
        std::vector<std::string> catalogue;
        for (const auto& [path, bytes] : software())
            catalogue.push_back(path);
        for (const char* zip : {"Files\\game.zip", "Files\\chuckie.zip", "Files\\readme.zip"})
            catalogue.push_back(zip);
        catalogue.push_back(""); // a row whose path cell is empty
        auto app = std::make_unique<LaunchFolder>(catalogue);
        for (const auto& [path, bytes] : software())
            app->write("Files/" + path.substr(6), bytes);
        writeZip(*app, "game.zip", {{"game.ssd", ssd}, {"game.dsd", "other"}});
        writeZip(*app, "chuckie.zip", {{"Chuckie.img", img}});
        writeZip(*app, "readme.zip", {{"readme.txt", "no image here"}});
        // The stand-ins take a moment to end, so that a wait shows.
        for (const auto& [name, script] : {std::pair{"BeebEm", "beebem"}, {"B-Em", "b-em"},
                                           {"PcBBC", "pcbbc"}, {"ElectrEm", "electrem"}})
            writeStandIn(app->emu(name) / script, app->emu(name), app->record(name), "sleep 0.3\n");
        app->choose(row.emulator);
        app->keyboard.locked = true;

        int row3 = -1;
        for (int r = 0; r < app->f.MSFlexGrid.Rows(); ++r)
            if (app->f.MSFlexGrid.TextMatrix(r, 3) == row.file)
                row3 = r;
        ASSERT_GE(row3, 0);
        app->f.MSFlexGrid.setRow(row3);
        GridClick(app->f);

        int prompts = 0;
        LaunchHooks hooks;
        hooks.createUnzipFiles = UnzipFilesFactory(app->prompt, TAVRIN_APP_DIR);
        hooks.appendInfo = [](const std::string&) {};
        hooks.showUpdateImg = [&] { ++prompts; };
        std::vector<std::string> told; // plays counted: once, for a started emulator only
        hooks.emulatorStarted = [&](const std::string& file) { told.push_back(file); };
        Launcher launcher = app->launcher(hooks);
        launcher.RunSelection();
        EXPECT_EQ(told, row.started ? std::vector<std::string>{row.file} : std::vector<std::string>{});

        std::vector<std::string> shown;
        for (const auto& s : app->prompt.shown) {
            shown.push_back(s.text);
            EXPECT_EQ(s.title, "Tavrin");
            EXPECT_EQ(s.buttons, PromptButtons::Ok);
        }
        EXPECT_EQ(shown, row.messages);
        EXPECT_EQ(prompts, row.updatePrompt ? 1 : 0);
        // Caps Lock goes off after every PcBBC launch attempt, and only then.
        const bool attempted = row.emulator == Emulator::PcBBC && row.file != "Files\\notes.tx";
        EXPECT_EQ(app->keyboard.locked, !attempted);
        // The destination and Emulator.cfg are back at their resting values.
        const std::string name = kEmulatorNames[static_cast<size_t>(row.emulator)];
        EXPECT_EQ(app->f.sDataDestination,
                  row.emulator == Emulator::ElectrEm ? "" : (app->emu(name) / "Disk0.ssd").string());
        EXPECT_EQ(readFile(app->emu("PcBBC") / "Emulator.cfg"), "Drive0=Disk0.ssd\r\n");
        if (row.file.ends_with(".zip") && row.started) {
            EXPECT_TRUE(fs::is_empty(*app / "Temp"));
        }
        if (row.started) {
            const fs::path record = app->record(row.started->emulator);
            if (row.started->waited) {
                EXPECT_TRUE(fs::exists(record / "done")) << "not waited for";
            } else {
                EXPECT_FALSE(fs::exists(record / "done")) << "waited for";
                EXPECT_TRUE(waitForFile(record / "done"));
            }
            EXPECT_EQ(lines(readFile(record / "args")), argsFor(*app, row.started->emulator));
            // A program given by its path starts in its own folder; ElectrEm's
            // batch file in the application folder.
            const fs::path cwd = row.emulator == Emulator::ElectrEm ? app->path() : app->emu(name);
            EXPECT_EQ(readFile(record / "cwd"), cwd.string() + "\n");
            if (row.started->destination) {
                const std::string& expected = row.bytesOf.empty() ? software().at(row.file) : row.bytesOf;
                EXPECT_TRUE(readFile(record / row.started->destination) == expected)
                    << row.started->destination << " holds other bytes";
            }
            if (row.started->cfgDuring) {
                EXPECT_EQ(readFile(record / "Emulator.cfg"), row.started->cfgDuring);
            }
        }
        folders.push_back(std::move(app));
    }
    // Nothing else was started: every stand-in not in a row's result left
    // no record (a started one would have written it by now).
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (size_t i = 0; i < rows.size(); ++i) {
        for (const char* name : kEmulatorNames) {
            const bool expected = rows[i].started && rows[i].started->emulator == std::string(name);
            EXPECT_EQ(fs::exists(folders[i]->record(name)), expected) << rows[i].file << " " << name;
        }
    }
}

} // namespace
} // namespace tavrin
