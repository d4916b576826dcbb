// Downloads and the catalogue update against a loopback HTTP server in this
// process: each case a row of a table.

#include "InternetFixture.h"
#include "LoopbackHttpServer.h"
#include "core/Form1State.h"
#include "core/Paths.h"
#include "core/Prompt.h"
#include "internet/InternetDownload.h"
#include "internet/InternetUpdate.h"
#include "launch/VarnockComponent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

namespace tavrin
{
namespace
{

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::HttpRoute;

// What the launch was handed.
struct Launch {
    std::string sFullFilename, sFilenameNoExt, sExt, bytes;
};

class InternetTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { test::ensureInternetApplication(); }

    void SetUp() override
    {
        InitGlobalData(f);
        f.sAppPath = dir.path().string();
        for (const char* folder : {"Temp", "Data"})
            fs::create_directory(dir / folder);
        download.stallTimeout = 500ms;
        download.maxTitleBytes = 5000;
        download.prepareFilesForEmu = [this] {
            launches.push_back({f.sFullFilename, f.sFilenameNoExt, f.sExt,
                                test::readFile(OsPath(f.sFullFilename))});
        };
        download.saveDiskImages = [this] { return save; };
    }

    // Only the files of a folder, leftovers of a download included.
    std::vector<std::string> filesIn(const std::string& folder) const
    {
        std::vector<std::string> names;
        if (fs::is_directory(dir / folder))
            for (const auto& e : fs::directory_iterator(dir / folder))
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir;
    test::CurrentDir current{dir.path()};
    test::LoopbackHttpServer server;
    Form1State f;
    ScriptedPrompt prompt;
    InternetDownload download{f, prompt};
    std::vector<Launch> launches;
    bool save = false;
};

const std::string kImage(3000, '\x42');

TEST_F(InternetTest, ARowIsDownloadedIntoTempAndLaunchedOrRefusedWithTheRightMessage)
{
    struct Case {
        const char* what;
        std::string rowPath;
        HttpRoute reply;
        bool save;
        std::string saved;       // the file left in Temp and launched ("" for none)
        std::string message;     // the first line of the one message shown ("" for none)
        std::string reason = {}; // its second line after the address tried and ": "
        std::string asked = {};  // the path the server is asked for, when not "/" + rowPath
    };
    const std::string base = server.base();
    const std::string page = "<!DOCTYPE html>\n<html><body>moved</body></html>";
    const std::string elite = "games/elite.zip";
    const std::string notFound = "elite.zip not found at " + base + "games/";
    const std::string failure = kConnectionFailure;
    const std::string pageSent = "the server sent a page instead of the file";
    const std::string stalled = "the transfer stalled: less than 1 KB arrived in 0.5 seconds";
    const std::string brokeOff = "the transfer broke off after 1500 of 3000 bytes";
    const std::string big = "the file is larger than 5000 bytes, the most a title may be";
    const std::string loop = "too many redirects";
    const std::string toFile = "the redirect to file:///etc/passwd was not followed";
    using K = HttpRoute::Kind;
    const HttpRoute ok{200, kImage};
    const Case cases[] = {
        {"a file", elite, ok, false, "elite.zip", ""},
        {"a file, kept in Transfer", elite, ok, true, "elite.zip", ""},
        {"a page in capitals", elite, {200, "<HTML><BODY>gone"}, false, "", notFound, pageSent},
        {"a page", elite, {200, "<html>gone"}, false, "", notFound, pageSent},
        {"a document-type line first", "games/page.ssd", {200, page}, false, "page.ssd", ""},
        {"404 without a page", elite, {404, "no such"}, false, "", notFound, "HTTP status 404"},
        {"500 with a text", elite, {500, "trouble"}, false, "", failure, "HTTP status 500"},
        {"cut half way", elite, {200, kImage, K::CutHalfway}, false, "", failure, brokeOff},
        {"stalled", elite, {200, kImage, K::Stall}, false, "", failure, stalled},
        {"no answer at all", elite, {200, kImage, K::Silent}, false, "", failure, stalled},
        {"a byte at a time", elite, {200, "tricklin", K::Trickle}, false, "", failure, stalled},
        {"too large for a title", elite, {200, std::string(6000, 'x')}, false, "", failure, big},
        {"redirected", elite, {302, "", K::Whole, "/mirror/elite.zip"}, false, "elite.zip", ""},
        {"in a loop", elite, {302, "", K::Whole, "/" + elite}, false, "", failure, loop},
        {"to a file", elite, {302, "", K::Whole, "file:///etc/passwd"}, false, "", failure, toFile},
        {"no folder", "elite.ssd", ok, false, "elite.ssd", ""},
        {"up and out", "../../../tmp/out.ssd", ok, false, "out.ssd", "", "", "/tmp/out.ssd"},
        {"deep", "a/b/c/deep.ssd", ok, false, "deep.ssd", ""},
        {"a backslash", "games\\..\\..\\evil.ssd", ok, false, "evil.ssd", "", "", "/evil.ssd"},
        {"a #", "ok/a#b.ssd", ok, false, "a#b.ssd", "", "", "/ok/a%23b.ssd"},
        {"a ?", "ok/a?b.ssd", ok, false, "a_b.ssd", "", "", "/ok/a%3Fb.ssd"},
        {"a %", "ok/100%.ssd", ok, false, "100%.ssd", "", "", "/ok/100%25.ssd"},
        {"an escape", "ok/a%20b.ssd", ok, false, "a%20b.ssd", "", "", "/ok/a%2520b.ssd"},
        {"blanks", "my games/a b.ssd", ok, false, "a b.ssd", "", "", "/my%20games/a%20b.ssd"},
        {"UTF-8", "ok/\xc3\xa9.ssd", ok, false, "\xc3\xa9.ssd", "", "", "/ok/%C3%A9.ssd"},
        {"not UTF-8", "ok/\xe9.ssd", ok, false, "\xe9.ssd", "", "", "/ok/%E9.ssd"},
        {"a step back", "a/b/../c.ssd", ok, false, "c.ssd", "", "", "/a/c.ssd"},
    };
    server.route("/mirror/elite.zip", {200, kImage});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "Temp");
        fs::remove_all(dir / "Transfer");
        fs::create_directory(dir / "Temp");
        // An earlier, longer file of the same name is never left behind.
        std::ofstream(dir / "Temp" / fs::path(c.saved.empty() ? "elite.zip" : c.saved))
            << std::string(9000, 'o');
        const std::string asked = c.asked.empty() ? "/" + c.rowPath : c.asked;
        server.route(asked, c.reply);
        const std::size_t requests = server.requests().size();
        prompt.shown.clear();
        launches.clear();
        save = c.save;

        const auto start = std::chrono::steady_clock::now();
        download.PrepareInternetRequest(base, c.rowPath);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);

        ASSERT_GT(server.requests().size(), requests);
        EXPECT_EQ(server.requests()[requests], asked);
        if (c.message.empty()) {
            EXPECT_TRUE(prompt.shown.empty()) << prompt.shown.front().text;
        } else {
            ASSERT_EQ(prompt.shown.size(), 1u);
            EXPECT_EQ(prompt.shown[0].text,
                      c.message + "\n" + base + asked.substr(1) + ": " + c.reason);
            EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Critical);
        }
        if (c.saved.empty()) {
            EXPECT_TRUE(launches.empty());
            EXPECT_EQ(filesIn("Temp"), std::vector<std::string>{});
            continue;
        }
        ASSERT_EQ(launches.size(), 1u);
        const std::string body = c.reply.body.empty() ? kImage : c.reply.body;
        EXPECT_EQ(launches[0].sFullFilename, "Temp\\" + c.saved);
        EXPECT_EQ(launches[0].sFilenameNoExt, fs::path(c.saved).stem().string());
        EXPECT_EQ(launches[0].sExt, c.saved.substr(c.saved.size() - 4));
        EXPECT_EQ(launches[0].bytes, body);
        EXPECT_EQ(filesIn("Temp"), std::vector<std::string>{c.saved});
        EXPECT_EQ(filesIn("Transfer"),
                  c.save ? std::vector<std::string>{c.saved} : std::vector<std::string>{});
        if (c.save) {
            EXPECT_EQ(test::readFile(dir / "Transfer" / c.saved), body);
        }
    }
    EXPECT_FALSE(fs::exists("/tmp/out.ssd") && test::readFile("/tmp/out.ssd") == kImage);
}

TEST_F(InternetTest, LinksInTempAndTransferAreReplacedNeverWrittenThrough)
{
    std::ofstream(dir / "outside.bin") << "keep";
    fs::create_directory(dir / "Transfer");
    fs::create_symlink(dir / "outside.bin", dir / "Temp/elite.ssd");
    fs::create_symlink(dir / "outside.bin", dir / "Transfer/elite.ssd");
    server.route("/games/elite.ssd", {200, kImage});
    save = true;
    download.PrepareInternetRequest(server.base(), "games/elite.ssd");
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(test::readFile(dir / "outside.bin"), "keep");
    EXPECT_FALSE(fs::is_symlink(dir / "Temp/elite.ssd"));
    EXPECT_EQ(test::readFile(dir / "Temp/elite.ssd"), kImage);
    EXPECT_EQ(test::readFile(dir / "Transfer/elite.ssd"), kImage);
    EXPECT_EQ(filesIn("Transfer"), std::vector<std::string>{"elite.ssd"});
}

TEST_F(InternetTest, NoServerAtTheAddressIsAConnectionFailure)
{
    int port = 0;
    {
        test::LoopbackHttpServer gone;
        port = gone.port();
    }
    const std::string gone = "http://127.0.0.1:" + std::to_string(port) + "/";
    download.PrepareInternetRequest(gone, "a/b.ssd");
    download.PrepareInternetRequest("ftp://127.0.0.1/", "a/b.ssd");
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].text,
              std::string(kConnectionFailure) + "\n" + gone + "a/b.ssd: connection refused");
    EXPECT_EQ(prompt.shown[1].text, std::string(kConnectionFailure) +
                                        "\nftp://127.0.0.1/a/b.ssd: not an http or https address");
    EXPECT_TRUE(launches.empty());
}

TEST_F(InternetTest, MessagesShowPathsAsThePlatformWritesThem)
{
    fs::create_directories(dir / "Transfer/elite.ssd/in the way");
    server.route("/games/elite.ssd", {200, kImage});
    save = true;
    download.PrepareInternetRequest(server.base(), "games/elite.ssd");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text.rfind("\"Temp/elite.ssd\" could not be copied to "
                                         "\"Transfer/elite.ssd\": ",
                                         0),
              0u)
        << prompt.shown[0].text;
    EXPECT_EQ(prompt.shown[0].text.find('\\'), std::string::npos) << prompt.shown[0].text;
    EXPECT_EQ(launches.size(), 1u);
}

TEST(SavedFileName, TheLastPartOfTheRowPathWithUnsafeCharactersReplaced)
{
    const std::pair<std::string, std::string> cases[] = {
        {"games/elite.zip", "elite.zip"},
        {"elite.zip", "elite.zip"},
        {"a/b/../c.ssd", "c.ssd"},
        {"games\\..\\x.ssd", "x.ssd"},
        {"games/..", "__"},
        {"games/", "download"},
        {"games/a:b*c?.ssd", "a_b_c_.ssd"},
        {std::string("games/a\nb\0c.ssd", 15), "a_b_c.ssd"},
        {"games/" + std::string(300, 'x') + ".ssd", std::string(196, 'x') + ".ssd"},
        {"games/" + std::string(199, 'x') + "\xc3\xa9" + ".ssd", std::string(196, 'x') + ".ssd"},
    };
    for (const auto& [row, name] : cases)
        EXPECT_EQ(SavedFileName(row), name) << row;
}

// ---------------------------------------------------------------------------
// The catalogue update.

const VarnockLibrary& Varnock()
{
    static VarnockLibrary library(TAVRIN_APP_DIR);
    return library;
}

class InternetUpdateTest : public InternetTest
{
  protected:
    void SetUp() override
    {
        InternetTest::SetUp();
        download.hiddenTimeLimit = 300ms;
        std::ofstream(dir / "bbc.ini")
            << "[Internet]\nForm1.sUpdateServer=" << server.base() << "\n";
        test::writeInternetDatabase((dir / "fresh.mdb").string(),
                                    {{"P", "S", "G", "games/s.ssd", "D"}});
        fresh = test::readFile(dir / "fresh.mdb");
    }

    // An archive holding these files (name, content).
    std::string archive(const std::vector<std::pair<std::string, std::string>>& files)
    {
        const fs::path folder = dir / ("zip" + std::to_string(++zips));
        for (const auto& [name, content] : files) {
            fs::create_directories((folder / name).parent_path());
            std::ofstream(folder / name, std::ios::binary) << content;
        }
        test::zipFolder(folder, folder.string() + ".zip");
        return test::readFile(folder.string() + ".zip");
    }

    void update()
    {
        UpdateInternetDatabase(f, prompt, download, [] { return Varnock().createUnzipFiles(); });
    }

    std::string fresh;
    int zips = 0;
};

TEST_F(InternetUpdateTest, VersionsArchivesAndTheInstallEachGiveTheirMessage)
{
    struct Case {
        const char* what;
        std::optional<std::string> installed; // Data\iv.dat
        HttpRoute version;
        std::optional<HttpRoute> zip;
        std::string message; // the first line of the last message
        bool updated;
        std::string reason = {}; // its second line, when checked
    };
    const std::string good = archive({{"internet.mdb", fresh}, {"readme.txt", "x"}});
    const Case cases[] = {
        {"none installed, 1 offered",
         std::nullopt,
         {200, "1,2024-01-01\r\n"},
         HttpRoute{200, good},
         "The Internet database is updated.",
         true},
        {"9 installed, 10 offered",
         "9",
         {200, "10"},
         HttpRoute{200, good},
         "You appear to have the latest updates.",
         false},
        {"equal",
         " 7,old",
         {200, "7,new"},
         HttpRoute{200, good},
         "You appear to have the latest updates.",
         false},
        {"no version file",
         std::nullopt,
         {404, "none"},
         std::nullopt,
         "There were problems downloading the Internet database reference file",
         false,
         server.base() + "downloads/iv.dat: HTTP status 404"},
        {"a version file that trickles",
         std::nullopt,
         {200, "12345678901234567890", HttpRoute::Kind::Trickle},
         std::nullopt,
         "There were problems downloading the Internet database reference file",
         false,
         server.base() + "downloads/iv.dat: no whole answer within 0.3 seconds"},
        {"a page for the version",
         std::nullopt,
         {200, "<html>sorry"},
         std::nullopt,
         "There were problems downloading the Internet database reference file",
         false},
        {"missing archive",
         "1",
         {200, "2"},
         std::nullopt,
         "Failed to download Internet.zip",
         false},
        {"archive without the database",
         "1",
         {200, "2"},
         HttpRoute{200, archive({{"other.mdb", fresh}})},
         "Failed to unzip the internet database!",
         false},
        {"a Jet file without the sources' tables",
         "1",
         {200, "2"},
         HttpRoute{200, archive({{"internet.mdb", test::readFile(TAVRIN_JET_TESTDATA)}})},
         "Failed to unzip the internet database!",
         false},
        {"a text called internet.mdb",
         "1",
         {200, "2"},
         HttpRoute{200, archive({{"internet.mdb", "just text, not a catalogue"}})},
         "Failed to unzip the internet database!",
         false},
        {"a database that would take 3 GB",
         "1",
         {200, "2"},
         HttpRoute{200, test::withDeclaredSize(archive({{"internet.mdb", fresh}}), 3u << 30)},
         "The archive Temp/internet.zip was not unpacked: its files would take 3072 MB, more "
         "than the 256 MB that the Internet database could need.",
         false},
        {"a damaged archive",
         "1",
         {200, "2"},
         HttpRoute{200, "PK\x03\x04 damaged"},
         "Failed to unzip the internet database!",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "Data");
        fs::create_directory(dir / "Data");
        std::ofstream(dir / "Data/internet.mdb") << "the installed one";
        if (c.installed)
            std::ofstream(dir / "Data/iv.dat") << *c.installed;
        // A database left in Temp by an earlier attempt never passes for this one.
        fs::copy_file(dir / "fresh.mdb", dir / "Temp/internet.mdb",
                      fs::copy_options::overwrite_existing);
        server.route("/downloads/iv.dat", c.version);
        if (c.zip)
            server.route("/downloads/internet.zip", *c.zip);
        else
            server.route("/downloads/internet.zip", {404, "none"});
        prompt.shown.clear();

        update();

        ASSERT_FALSE(prompt.shown.empty());
        const std::string& text = prompt.shown.back().text;
        EXPECT_EQ(text.substr(0, text.find('\n')), c.message);
        if (!c.reason.empty()) {
            EXPECT_EQ(text, c.message + "\n" + c.reason);
        }
        if (c.updated) {
            EXPECT_EQ(prompt.shown.size(), 1u);
            EXPECT_EQ(test::readFile(dir / "Data/internet.mdb"), fresh);
            EXPECT_EQ(test::readFile(dir / "Data/iv.dat"), c.version.body);
            EXPECT_EQ(filesIn("Temp"), std::vector<std::string>{});
        } else {
            EXPECT_EQ(test::readFile(dir / "Data/internet.mdb"), "the installed one");
            EXPECT_EQ(fs::exists(dir / "Data/iv.dat"), c.installed.has_value());
            if (c.installed) {
                EXPECT_EQ(test::readFile(dir / "Data/iv.dat"), *c.installed);
            }
        }
    }
}

TEST_F(InternetUpdateTest, WithoutAnUpdateServerItSaysWhichKeyToSetAndAsksNothing)
{
    std::ofstream(dir / "bbc.ini") << "[Internet]\nForm1.sURL8bs=http://x/\n";
    update();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("Form1.sUpdateServer"), std::string::npos);
    EXPECT_NE(prompt.shown[0].text.find("[Internet]"), std::string::npos);
    EXPECT_NE(prompt.shown[0].text.find("bbc.ini"), std::string::npos);
    EXPECT_TRUE(server.requests().empty());
}

TEST(InternetVersions, TheFirstFieldComparedAsText)
{
    const std::pair<std::string, std::string> fields[] = {
        {"12,2024", "12"}, {"  7\r\nnext", "7"}, {"3", "3"}, {"", ""}, {" , x", ""}};
    for (const auto& [text, field] : fields)
        EXPECT_EQ(FirstField(text), field) << text;
    struct Versions {
        const char* offered;
        const char* installed;
        bool newer;
    };
    for (const Versions& v :
         {Versions{"1", "0", true}, Versions{"10", "9", false}, Versions{"9", "9", false},
          Versions{"b", "a", true}, Versions{"\xe9", "z", true}, Versions{"", "0", false}})
        EXPECT_EQ(IsNewerVersion(v.offered, v.installed), v.newer)
            << v.offered << " " << v.installed;
}

} // namespace
} // namespace tavrin
