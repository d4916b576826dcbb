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

// A row of a source is downloaded from the address in "bbc.ini" and handed
// to the ticked emulator (a stand-in recording what it was given).
TEST(InternetE2E, ARowOfASourceIsDownloadedAndRun)
{
    const std::string image(200 * 1024, 'i');
    test::LoopbackHttpServer server;
    // The sample list's first row in publisher order.
    server.route("/Brackenwood/atlas.ssd", {200, image});

    Xvfb x;
    AppFolder app;
    for (const char* name : {"bbc.mdb", "Images", "Data"})
        app.copyFromBuild(name);
    const fs::path emu = app / "emu";
    fs::create_directories(emu);
    // The copy is renamed into place, so a file that exists is complete.
    std::ofstream(emu / "b-em") << "#!/bin/sh\ncp \"$1\" \"$1.part\" && mv \"$1.part\" '"
                                << (emu / "received.ssd").string() << "'\n";
    fs::permissions(emu / "b-em", fs::perms::owner_all);
    std::ofstream(app / "bbc.ini")
        << "[BBC EMU]\nForm1.sBeebEmu=B-Em\n[B-Em]\nForm1.sB_EmDest=" << (emu / "Disk0.ssd").string()
        << "\nForm1.sB_EmExec=" << (emu / "b-em").string() << " " << (emu / "Disk0.ssd").string()
        << "\n[Internet]\nForm1.sURL8bs=" << server.base() << "\n";

    Tavrin tavrin(x, app);
    const auto window = x.waitForWindow("Tavrin", 60s);
    ASSERT_TRUE(window);
    ASSERT_TRUE(x.designSize(*window));
    // The Internet button, then No to the update question and OK for the
    // first source; then the Run button on the list's first row.
    auto clickAt = [&](int left, int top) {
        return x.run(QStringLiteral("xdotool"),
                     {QStringLiteral("mousemove"), QStringLiteral("--window"),
                      QString::fromStdString(*window), QString::number(left), QString::number(top),
                      QStringLiteral("click"), QStringLiteral("1")})
            .has_value();
    };
    ASSERT_TRUE(clickAt(92, 631));
    // The title is matched as a pattern: "." stands for its question mark.
    const auto question = x.waitForWindow("MsgBox Do you want to check for Internet updates.", 10s);
    ASSERT_TRUE(question);
    ASSERT_TRUE(x.typeKeys(*question, {QStringLiteral("Return")}));
    const auto sources = x.waitForWindow("Internet Source Select", 10s);
    ASSERT_TRUE(sources);
    ASSERT_TRUE(x.typeKeys(*sources, {QStringLiteral("Return")}));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(clickAt(92, 575));

    const auto until = std::chrono::steady_clock::now() + 20s;
    while (!fs::exists(emu / "received.ssd") && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(200ms);
    EXPECT_EQ(test::readFile(emu / "received.ssd"), image);
    EXPECT_EQ(server.requests(), std::vector<std::string>{"/Brackenwood/atlas.ssd"});
    EXPECT_TRUE(tavrin.running());
}
