// The first run of the real program in a folder that holds only the program,
// its libraries, the catalogue and the pictures.

#include "E2eHarness.h"

#include <QCoreApplication>

#include <fstream>

#include <gtest/gtest.h>

using namespace tavrin;
using namespace tavrin::e2e;

namespace {

// QProcess wants an application object.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "tavrin_e2e_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

TEST(StartupE2E, FirstRunMakesTheFoldersShowsTheWindowAndExitLeavesTheCatalogue)
{
    Xvfb x;
    AppFolder app;
    app.copyFromBuild("bbc.mdb");
    app.copyFromBuild("Images");
    const std::string before = test::readFile(app / "bbc.mdb");
    ASSERT_FALSE(before.empty());

    const auto started = std::chrono::steady_clock::now();
    Tavrin tavrin(x, app);

    // The splash covers the screen first; the main window follows 6.5 s
    // after start-up has made the working folders.
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window) << "the main window never appeared";
    EXPECT_GE(std::chrono::steady_clock::now() - started, 6s);
    for (const char* folder : {"Temp", "Data", "Transfer"})
        EXPECT_TRUE(fs::is_directory(app / folder)) << folder;
    EXPECT_TRUE(tavrin.running());

    if (const char* shots = std::getenv("TAVRIN_E2E_SCREENSHOTS"))
        x.screenshot(fs::path(shots) / "startup.png");

    // File > Exit: "E" is the letter of "Export to MMB..." too, so the
    // second "E" reaches Exit.
    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+f"), QStringLiteral("e"),
                                      QStringLiteral("e"), QStringLiteral("Return")}));
    EXPECT_EQ(tavrin.waitForExit(15s), std::optional<int>(0));
    EXPECT_EQ(test::readFile(app / "bbc.mdb"), before) << "Exit changed the catalogue";
}

TEST(StartupE2E, AMissingCatalogueIsCreatedAndTheProgramGoesOn)
{
    Xvfb x;
    AppFolder app;
    app.copyFromBuild("Images");
    Tavrin tavrin(x, app);
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window) << "the main window never appeared";
    EXPECT_EQ(test::readFile(app / "bbc.mdb").substr(0, 16), std::string("SQLite format 3\0", 16));
    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+f"), QStringLiteral("e"),
                                      QStringLiteral("e"), QStringLiteral("Return")}));
    EXPECT_EQ(tavrin.waitForExit(15s), std::optional<int>(0));
}

TEST(StartupE2E, ADamagedCatalogueIsReportedLeftAloneAndTheProgramEnds)
{
    Xvfb x;
    AppFolder app;
    app.copyFromBuild("Images");
    const std::string damaged = "Standard Jet DB\0 not a database of this program";
    std::ofstream(app / "bbc.mdb", std::ios::binary) << damaged;
    Tavrin tavrin(x, app);
    // The message names the catalogue; the main window never shows.
    const auto message = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(message) << "no message about the damaged catalogue";
    EXPECT_TRUE(tavrin.running());
    ASSERT_TRUE(x.typeKeys(*message, {QStringLiteral("Return")}));
    EXPECT_EQ(tavrin.waitForExit(15s), std::optional<int>(1));
    EXPECT_EQ(test::readFile(app / "bbc.mdb"), damaged);
    EXPECT_FALSE(fs::exists(app / "Temp")) << "start-up went on past the catalogue";
}
