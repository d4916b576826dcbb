// The real program runs catalogue rows with each of the four emulators
// (stand-in scripts recording their arguments and the bytes at their
// destination) and a zipped row: the emulator chosen from the Options menu,
// the row chosen with the keyboard, the Run button clicked.

#include "E2eHarness.h"
#include "catalogue/CatalogueFixture.h"

#include <QProcess>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tavrin;
using namespace tavrin::e2e;

namespace {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A stand-in emulator recording its arguments and what lies beside its
// destination while it runs.
void writeStandIn(const fs::path& script, const fs::path& record)
{
    writeFile(script, "#!/bin/sh\n"
                      "r='" + record.string() + "'\n"
                      "mkdir -p \"$r\"\n"
                      "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$r/args\"\n"
                      "for d in '" + script.parent_path().string() + "'/Disk0.* '" +
                      script.parent_path().string() + "'/Emulator.cfg; do\n"
                      "  [ -f \"$d\" ] && cp \"$d\" \"$r/\"\n"
                      "done\n"
                      "touch \"$r/done\"\n");
    ::chmod(script.c_str(), 0755);
}

bool waitFor(const fs::path& file, std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!fs::exists(file) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(50ms);
    return fs::exists(file);
}

// The catalogue, with publishers chosen so that the sorted grid keeps this
// order.
void writeCatalogue(const AppFolder& app, const std::vector<std::string>& paths)
{
    std::vector<test::Record> records;
    for (size_t i = 0; i < paths.size(); ++i)
        records.push_back(test::rec("Publisher " + std::string(1, char('A' + i)), "Title", "Arcade", paths[i],
                                    static_cast<int64_t>(i)));
    test::writeCatalogue((app / "bbc.mdb").string(), records);
}

TEST(LaunchE2E, EachEmulatorAndAZippedRow)
{
    Xvfb x;
    AppFolder app;
    app.copyFromBuild("Images");
    const fs::path dir = app.path();
    const std::string ssd(200 * 1024, 's'), dsd(200 * 1024, 'd'), uef = "UEF File!", chuckie(100 * 1024, 'c');
    writeFile(dir / "Files/game.ssd", ssd);
    writeFile(dir / "Files/game.dsd", dsd);
    writeFile(dir / "Files/game.uef", uef);
    writeCatalogue(app, {"Files\\game.ssd", "Files\\game.dsd", "Files\\game.uef", "Files\\pack.zip"});
    {
        writeFile(dir / "staging/Chuckie.ssd", chuckie);
        QProcess zip;
        zip.setWorkingDirectory(QString::fromStdString((dir / "staging").string()));
        zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QString::fromStdString((dir / "Files/pack.zip").string()),
                                          QStringLiteral("Chuckie.ssd")});
        ASSERT_TRUE(zip.waitForFinished(10000) && zip.exitCode() == 0);
        fs::remove_all(dir / "staging");
    }
    const fs::path emu = dir / "emu";
    // BeebEm's program path has a blank and is written quoted, as the help says.
    writeStandIn(emu / "Beeb Em/beebem", dir / "record/BeebEm");
    writeStandIn(emu / "B-Em/b-em", dir / "record/B-Em");
    writeStandIn(emu / "PcBBC/pcbbc", dir / "record/PcBBC");
    writeStandIn(emu / "ElectrEm/electrem", dir / "record/ElectrEm");
    writeFile(emu / "PcBBC/Emulator.cfg", "Disk0.ssd\r\n");
    writeFile(dir / "bbc.ini",
              "[BBC EMU]\r\nForm1.sBeebEmu=BeebEm\r\n"
              "[PcBBC]\r\nForm1.sPcBBCDest=" + (emu / "PcBBC/Disk0.ssd").string() + "\r\n"
              "Form1.sPcBBCExec=" + (emu / "PcBBC/pcbbc").string() + "\r\n"
              "[BeebEm]\r\nForm1.sBeebEmDest=" + (emu / "Beeb Em/Disk0.ssd").string() + "\r\n"
              "Form1.sBeebEmExec=\"" + (emu / "Beeb Em/beebem").string() + "\"\r\n"
              "[B-Em]\r\nForm1.sB_EmDest=" + (emu / "B-Em/Disk0.ssd").string() + "\r\n"
              "Form1.sB_EmExec=" + (emu / "B-Em/b-em").string() + " -disc " + (emu / "B-Em/Disk0.ssd").string() + " -autoboot\r\n"
              "[ElectrEm]\r\nForm1.sElectrEmExec=" + (emu / "ElectrEm/electrem").string() + "\r\n");

    Tavrin tavrin(x, app);
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window);
    ASSERT_TRUE(x.designSize(*window));

    // Where the window shows the Run button and the grid's rows, in pixels
    // from its top left corner, with the menu bar above the client area.
    auto clickAt = [&](int left, int top, int clicks = 1) {
        return x.run(QStringLiteral("xdotool"),
                     {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::fromStdString(*window),
                      QString::number(left), QString::number(top), QStringLiteral("click"),
                      QStringLiteral("--repeat"), QString::number(clicks), QStringLiteral("--delay"),
                      QStringLiteral("80"), QStringLiteral("1")})
            .has_value();
    };
    auto clickRun = [&] { return clickAt(92, 575); };
    auto clickRow = [&](int row) { return clickAt(200, 142 + 19 * row); };
    // The emulator items follow "&Properties" in the Options menu: BeebEm,
    // B-Em, ElectrEm, PcBBC.
    auto chooseEmulator = [&](int item) {
        QStringList keys{QStringLiteral("alt+o")};
        for (int i = 0; i < item; ++i)
            keys << QStringLiteral("Down");
        keys << QStringLiteral("Return");
        return x.typeKeys(*window, keys);
    };

    ASSERT_TRUE(clickRun());
    ASSERT_TRUE(waitFor(dir / "record/BeebEm/done", 10s));
    EXPECT_TRUE(readAll(dir / "record/BeebEm/Disk0.ssd") == ssd);

    ASSERT_TRUE(chooseEmulator(2));
    ASSERT_TRUE(clickRun());
    ASSERT_TRUE(waitFor(dir / "record/B-Em/done", 10s));
    EXPECT_EQ(readAll(dir / "record/B-Em/args"), "-disc\n" + (emu / "B-Em/Disk0.ssd").string() + "\n-autoboot\n");
    EXPECT_TRUE(readAll(dir / "record/B-Em/Disk0.ssd") == ssd);

    ASSERT_TRUE(chooseEmulator(4));
    ASSERT_TRUE(clickRow(1));
    ASSERT_TRUE(clickRun());
    ASSERT_TRUE(waitFor(dir / "record/PcBBC/done", 10s));
    EXPECT_TRUE(readAll(dir / "record/PcBBC/Disk0.dsd") == dsd);
    EXPECT_EQ(readAll(dir / "record/PcBBC/Emulator.cfg"), "Disk0.dsd\r\n");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(readAll(emu / "PcBBC/Emulator.cfg"), "Disk0.ssd\r\n");

    ASSERT_TRUE(chooseEmulator(3));
    ASSERT_TRUE(clickRow(2));
    ASSERT_TRUE(clickRun());
    ASSERT_TRUE(waitFor(dir / "record/ElectrEm/done", 10s));
    EXPECT_EQ(readAll(dir / "record/ElectrEm/args"), (dir / "Files/game.uef").string() + "\n");

    fs::remove_all(dir / "record/BeebEm");
    ASSERT_TRUE(chooseEmulator(1));
    ASSERT_TRUE(clickAt(200, 142 + 19 * 3, 2)); // a double click on the zipped row runs it
    ASSERT_TRUE(waitFor(dir / "record/BeebEm/done", 10s));
    EXPECT_TRUE(readAll(dir / "record/BeebEm/Disk0.ssd") == chuckie);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(fs::is_empty(dir / "Temp"));
    // No message box came up on the way: the main window is the one
    // window of that title.
    const auto windows = x.run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--name"), QStringLiteral("^Tavrin$")});
    ASSERT_TRUE(windows);
    EXPECT_EQ(*windows, *window + "\n");
    EXPECT_TRUE(tavrin.running());
}

} // namespace

namespace {

TEST(LaunchE2E, TheSetUpOfferedAtTheFirstStartFindsBEmOnPathAndTriesTheFirstTitle)
{
    Xvfb x;
    AppFolder app;
    for (const char* name : {"bbc.mdb", "Images", "Files"})
        app.copyFromBuild(name);
    const fs::path dir = app.path();
    writeStandIn(dir / "stand-ins/b-em", dir / "record");

    Tavrin tavrin(x, app, {{QString::fromStdString((dir / "stand-ins").string())}, true});
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window);
    // The offer is a question of the same title over the main window.
    std::optional<std::string> offer;
    for (int i = 0; i < 50 && !offer; ++i, std::this_thread::sleep_for(200ms)) {
        std::istringstream ids(x.run(QStringLiteral("xdotool"),
                                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                      QStringLiteral("--name"), QStringLiteral("^Tavrin$")})
                                   .value_or(""));
        for (std::string id; std::getline(ids, id);)
            if (id != *window)
                offer = id;
    }
    ASSERT_TRUE(offer) << "no set-up was offered";
    ASSERT_TRUE(x.typeKeys(*offer, {QStringLiteral("Return")})); // Yes
    const auto setUp = x.waitForWindow("Set up emulators", 10s);
    ASSERT_TRUE(setUp);
    ASSERT_TRUE(x.typeKeys(*setUp, {QStringLiteral("alt+t")}));

    ASSERT_TRUE(waitFor(dir / "record/done", 10s));
    const fs::path disk = dir / "Emulator/B-Em/Disk0.ssd";
    EXPECT_EQ(readAll(dir / "record/args"), "-disc\n" + disk.string() + "\n-autoboot\n");
    // Row 0 of the sorted sample catalogue.
    EXPECT_TRUE(readAll(disk) == readAll(dir / "Files/Brackenwood/atlas.ssd"));
    const std::string ini = readAll(dir / "bbc.ini");
    for (const std::string& line : std::vector<std::string>{"Offered=1", "Form1.sBeebEmu=B-Em",
                                   "Form1.sB_EmExec=b-em -disc " + disk.string() + " -autoboot",
                                   "Form1.sB_EmDest=" + disk.string()})
        EXPECT_NE(ini.find(line + "\n"), std::string::npos) << line << "\n" << ini;
    EXPECT_TRUE(tavrin.running());
}

} // namespace
