// The real program on the sample catalogue: the main window maximised, its
// menus reaching the properties dialog, help, the About box and the
// new-database warning, and settings saved and read back across a restart.
// The application object comes from the environment in StartupE2ETest.cpp.

#include "E2eHarness.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>
#include <sstream>

#include <gtest/gtest.h>

using namespace tavrin;
using namespace tavrin::e2e;

namespace {

// The sample catalogue with its software, the pictures and the help files.
void copySample(const AppFolder& app)
{
    for (const char* name : {"bbc.mdb", "Images", "Files", "help.hlp", "keywords.hlp"})
        app.copyFromBuild(name);
}

// "W H" of a window, from xdotool.
std::optional<std::pair<int, int>> windowSize(const Xvfb& x, const std::string& window)
{
    const auto out = x.run(QStringLiteral("xdotool"),
                           {QStringLiteral("getwindowgeometry"), QString::fromStdString(window)});
    if (!out)
        return std::nullopt;
    const auto at = out->find("Geometry: ");
    if (at == std::string::npos)
        return std::nullopt;
    int w = 0, h = 0;
    char by = 0;
    std::istringstream in(out->substr(at + 10));
    in >> w >> by >> h;
    return std::make_pair(w, h);
}

// The pixels of a part of a screenshot as (r, g, b), through ImageMagick.
std::vector<std::array<int, 3>> pixels(const Xvfb& x, const fs::path& png, int left, int top,
                                       int width, int height)
{
    const auto out = x.run(QStringLiteral("convert"),
                           {QString::fromStdString(png.string()), QStringLiteral("-crop"),
                            QStringLiteral("%1x%2+%3+%4").arg(width).arg(height).arg(left).arg(top),
                            QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("txt:-")});
    std::vector<std::array<int, 3>> result;
    std::istringstream lines(out.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        // "x,y: (r,g,b)  #RRGGBB  srgb(...)"
        const auto open = line.find(": (");
        if (open == std::string::npos)
            continue;
        std::array<int, 3> rgb{};
        char comma = 0;
        std::istringstream in(line.substr(open + 3));
        in >> rgb[0] >> comma >> rgb[1] >> comma >> rgb[2];
        result.push_back(rgb);
    }
    return result;
}

fs::path screenshotFolder()
{
    if (const char* shots = std::getenv("TAVRIN_E2E_SCREENSHOTS"))
        return shots;
    return {};
}

} // namespace

TEST(MainWindowE2E, TheSampleCatalogueInAMaximisedWindowWithItsPictureButtons)
{
    Xvfb x;
    AppFolder app;
    copySample(app);
    Tavrin tavrin(x, app);
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window) << "the main window never appeared";
    const auto size = windowSize(x, *window);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, std::make_pair(1600, 1000)) << "the window opens maximised";

    std::this_thread::sleep_for(500ms);
    const fs::path shot = app / "main-window.png";
    ASSERT_TRUE(x.screenshot(shot));
    if (const fs::path folder = screenshotFolder(); !folder.empty())
        fs::copy_file(shot, folder / "main-window.png", fs::copy_options::overwrite_existing);
    // The window of 1024 by 768 pixels scaled as one picture by the smaller
    // of 1600/1024 and 1000/768 and centred, its client area (1012 by 696)
    // under the menu bar: black beyond it, and the New button's yellow plus
    // sign at 270, 6900 twips scaled.
    const double scale = std::min(1600 / 1024.0, 1000 / 768.0);
    const int left = static_cast<int>((1600 - 1024 * scale) / 2);
    const int top = 20;
    const auto beyond = pixels(x, shot, left + static_cast<int>(1012 * scale) + 5, 800, 20, 20);
    ASSERT_EQ(beyond.size(), 400u);
    for (const auto& rgb : beyond)
        EXPECT_EQ(rgb, (std::array<int, 3>{0, 0, 0}));
    int yellow = 0;
    for (const auto& [r, g, b] : pixels(x, shot, left + static_cast<int>(18 * scale),
                                        top + static_cast<int>(460 * scale), 40, 45))
        yellow += r > 200 && g > 200 && b < 120;
    EXPECT_GT(yellow, 30) << "the New button's picture is not on the screen at its scaled place";

    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+f"), QStringLiteral("e"),
                                      QStringLiteral("e"), QStringLiteral("Return")}));
    EXPECT_EQ(tavrin.waitForExit(15s), std::optional<int>(0));
}

TEST(MainWindowE2E, HelpAboutAndTheNewDatabaseWarningOpenAndCancelChangesNothing)
{
    Xvfb x;
    AppFolder app;
    copySample(app);
    const std::string before = test::readFile(app / "bbc.mdb");
    Tavrin tavrin(x, app);
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window);

    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+h"), QStringLiteral("Return")}));
    const auto guide = x.waitForWindow("Tavrin Help", 10s);
    EXPECT_TRUE(guide) << "Help > Contents shows help.hlp";
    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+h"), QStringLiteral("b")}));
    EXPECT_TRUE(x.waitForWindow("BBC BASIC Keyword Reference", 10s))
        << "Help > Basic keywords reference shows keywords.hlp";
    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+h"), QStringLiteral("a")}));
    const auto about = x.waitForWindow("About Tavrin", 10s);
    ASSERT_TRUE(about);
    ASSERT_TRUE(x.typeKeys(*about, {QStringLiteral("Escape")}));

    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+f"), QStringLiteral("n")}));
    const auto warning = x.waitForWindow("Creat new database", 10s);
    ASSERT_TRUE(warning);
    if (const fs::path folder = screenshotFolder(); !folder.empty())
        x.screenshot(folder / "windows.png");
    // Tab moves from OK to Cancel; Space presses it.
    ASSERT_TRUE(x.typeKeys(*warning, {QStringLiteral("Tab"), QStringLiteral("space")}));
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(x.waitForWindow("Creat new database", 1s));
    EXPECT_EQ(test::readFile(app / "bbc.mdb"), before) << "Cancel changed the catalogue";
    EXPECT_TRUE(tavrin.running());
}

TEST(MainWindowE2E, PropertiesAreSavedAndReadBackAcrossARestart)
{
    Xvfb x;
    AppFolder app;
    copySample(app);
    std::ofstream(app / "bbc.ini") << "; kept by hand\n[Window]\nLeft=3\n";
    {
        Tavrin tavrin(x, app);
        const auto window = x.waitForWindow("Tavrin", 60s);
        ASSERT_TRUE(window);
        ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+o"), QStringLiteral("Return")}));
        const auto dialog = x.waitForWindow("Tavrin Properties", 10s);
        ASSERT_TRUE(dialog);
        // The emulator's name, then its destination and program, then Save.
        ASSERT_TRUE(x.typeKeys(*dialog, {QStringLiteral("ctrl+a")}));
        ASSERT_TRUE(x.run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("B-Em")}));
        ASSERT_TRUE(x.typeKeys(*dialog, {QStringLiteral("Tab"), QStringLiteral("Tab"),
                                         QStringLiteral("Tab")}));
        ASSERT_TRUE(x.run(QStringLiteral("xdotool"),
                          {QStringLiteral("type"), QStringLiteral("/tmp/b-em/disc.ssd")}));
        ASSERT_TRUE(x.typeKeys(*dialog, {QStringLiteral("Tab")}));
        ASSERT_TRUE(x.run(QStringLiteral("xdotool"),
                          {QStringLiteral("type"), QStringLiteral("b-em -fullscreen")}));
        ASSERT_TRUE(x.typeKeys(*dialog, {QStringLiteral("Return")}));
        std::this_thread::sleep_for(1s);
        EXPECT_FALSE(x.waitForWindow("Tavrin Properties", 1s)) << "Save closes the dialog";
        ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+f"), QStringLiteral("e"),
                                          QStringLiteral("e"), QStringLiteral("Return")}));
        EXPECT_EQ(tavrin.waitForExit(15s), std::optional<int>(0));
    }
    const std::string ini = test::readFile(app / "bbc.ini");
    EXPECT_NE(ini.find("; kept by hand"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Left=3"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[BBC EMU]\nForm1.sBeebEmu=B-Em\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Form1.sB_EmDest=/tmp/b-em/disc.ssd\nForm1.sB_EmExec=b-em -fullscreen\n"),
              std::string::npos)
        << ini;

    // The next run shows the stored values in the dialog again.
    Tavrin again(x, app);
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window);
    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+o"), QStringLiteral("Return")}));
    const auto dialog = x.waitForWindow("Tavrin Properties", 10s);
    ASSERT_TRUE(dialog);
    // Cancel (Escape) writes nothing.
    ASSERT_TRUE(x.typeKeys(*dialog, {QStringLiteral("Escape")}));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(test::readFile(app / "bbc.ini"), ini);
}
