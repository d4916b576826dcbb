// The real program fetching the Internet sources' reference catalogue from
// an update server on this machine, named in "bbc.ini".

#include "E2eHarness.h"
#include "internet/LoopbackHttpServer.h"

#include <fstream>

#include <gtest/gtest.h>

using namespace tavrin;
using namespace tavrin::e2e;

TEST(InternetE2E, TheMenuUpdatesTheReferenceCatalogueFromTheServerInBbcIni)
{
    test::LoopbackHttpServer server;
    test::TempDir zipped;
    fs::copy_file(builtAppDir() / "Data/internet.mdb", zipped / "internet.mdb");
    ASSERT_EQ(std::system(("cd '" + zipped.path().string() + "' && zip -q ../" +
                           zipped.path().filename().string() + ".zip internet.mdb")
                              .c_str()),
              0);
    const fs::path archive = zipped.path().string() + ".zip";
    server.route("/downloads/iv.dat", {200, "3,2026-12-08\r\n"});
    test::HttpRoute zip;
    zip.file = archive;
    server.route("/downloads/internet.zip", zip);

    Xvfb x;
    AppFolder app;
    for (const char* name : {"bbc.mdb", "Images"})
        app.copyFromBuild(name);
    fs::create_directory(app / "Data");
    std::ofstream(app / "Data/internet.mdb") << "an old edition";
    std::ofstream(app / "Data/iv.dat") << "2";
    std::ofstream(app / "bbc.ini") << "[Internet]\nForm1.sUpdateServer=" << server.base() << "\n";

    Tavrin tavrin(x, app);
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window);
    ASSERT_TRUE(x.typeKeys(*window, {QStringLiteral("alt+f"), QStringLiteral("d")}));
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (test::readFile(app / "Data/iv.dat") != "3,2026-12-08\r\n" &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(200ms);
    EXPECT_EQ(test::readFile(app / "Data/iv.dat"), "3,2026-12-08\r\n");
    EXPECT_EQ(test::readFile(app / "Data/internet.mdb"), test::readFile(zipped / "internet.mdb"));
    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{"/downloads/iv.dat", "/downloads/internet.zip"}));
    fs::remove(archive);
    EXPECT_TRUE(tavrin.running());
}
