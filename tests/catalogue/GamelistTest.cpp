// The catalogue as ES-DE and Pegasus lists and back: the exact text of each
// format, hand-written lists, the round trip, malformed XML and hostile
// lists.

#include "catalogue/Gamelist.h"

#include "CatalogueFixture.h"
#include "catalogue/CatalogueGrid.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace tavrin::test {
namespace {

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class GamelistTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC0", 1);
        tzset();
        writeCatalogue(db, {rec("Acornsoft", "Elite", "Arcade", "Files\\acorn\\elite.ssd", 0, ""),
                            rec("Superior", "Repton", "Arcade", "Files\\sup\\repton.ssd", 1,
                                "Dig for diamonds.\n\nAvoid the rocks & <monsters>"),
                            rec("Bad", "Caf\xE9", "Arcade", "Files\\bad.ssd", 2),
                            rec("Lost", "Gone", "Arcade", "Files\\gone.ssd", 3)});
        for (const char* file : {"Files/acorn/elite.ssd", "Files/sup/repton.ssd", "Files/bad.ssd"})
            dir.write(file, "disc");
        dir.write("Files/acorn/elite-box.jpg", "box art");
        dir.write("Files/acorn/elite.jpg", "screen");
        for (int i = 0; i < 3; ++i)
            RecordPlayStarted(db, "Files\\acorn\\elite.ssd", "2026-12-08T18:20:38+00:00");
        SetFavourite(db, "Files\\acorn\\elite.ssd", true);
    }

    GamelistExportReport exportTo(GamelistFormat format, const fs::path& folder)
    {
        Form1State f;
        TransferFromAccess(f, db, kCatalogueTable);
        return ExportGamelist(GamelistTitlesOf(f.MSFlexGrid, {0, 1, 2, 3}), ReadPlayHistory(db),
                              {format, folder.string(), app, "b-em -disc {file.path} -autoboot"});
    }
    GamelistImportReport import(const fs::path& list, const std::string& into = "bbc.mdb")
    {
        return ImportGamelist((dir / into).string(), list.string(), app,
                              [&](const std::string& from, const std::string& to, std::string&) {
                                  converted.push_back(fs::path(from).filename().string());
                                  std::ofstream(to) << "converted";
                                  return true;
                              });
    }

    TempDir dir;
    CurrentDir current{dir.path()};
    const std::string app = dir.path().string();
    const std::string db = (dir / "bbc.mdb").string();
    std::vector<std::string> converted;
};

TEST_F(GamelistTest, ExportWritesEachFormatExactly)
{
    const GamelistExportReport esDe = exportTo(GamelistFormat::EsDe, dir.path());
    EXPECT_EQ(readFile(dir / "gamelist.xml"), "<?xml version=\"1.0\"?>\n<gameList>\n"
                                              "\t<game>\n"
                                              "\t\t<path>./Files/acorn/elite.ssd</path>\n"
                                              "\t\t<name>Elite</name>\n"
                                              "\t\t<publisher>Acornsoft</publisher>\n"
                                              "\t\t<genre>Arcade</genre>\n"
                                              "\t\t<favorite>true</favorite>\n"
                                              "\t\t<playcount>3</playcount>\n"
                                              "\t\t<lastplayed>20261208T182038</lastplayed>\n"
                                              "\t</game>\n"
                                              "\t<game>\n"
                                              "\t\t<path>./Files/sup/repton.ssd</path>\n"
                                              "\t\t<name>Repton</name>\n"
                                              "\t\t<desc>Dig for diamonds.\n\nAvoid the rocks &amp; "
                                              "&lt;monsters&gt;</desc>\n"
                                              "\t\t<publisher>Superior</publisher>\n"
                                              "\t\t<genre>Arcade</genre>\n"
                                              "\t</game>\n"
                                              "</gameList>\n");
    EXPECT_EQ(readFile(dir / "covers/Files/acorn/elite.jpg"), "box art");
    EXPECT_EQ(readFile(dir / "screenshots/Files/acorn/elite.jpg"), "screen");
    EXPECT_EQ(esDe.notText, (std::vector<std::string>{"Files\\bad.ssd (Caf\\xE9)"}));
    EXPECT_EQ(esDe.missing, (std::vector<std::string>{"Files\\gone.ssd"}));

    exportTo(GamelistFormat::Pegasus, dir / "pegasus");
    EXPECT_EQ(readFile(dir / "pegasus/metadata.pegasus.txt"),
              "collection: Tavrin\nextensions: ssd, dsd, img, uef, zip\n"
              "launch: b-em -disc {file.path} -autoboot\n\n"
              "game: Elite\nfile: " + app + "/Files/acorn/elite.ssd\n"
              "publisher: Acornsoft\ngenre: Arcade\n"
              "assets.box_front: ./covers/elite.jpg\nassets.screenshot: ./screenshots/elite.jpg\n\n"
              "game: Repton\nfile: " + app + "/Files/sup/repton.ssd\n"
              "publisher: Superior\ngenre: Arcade\n"
              "description: Dig for diamonds.\n .\n Avoid the rocks & <monsters>\n");
    EXPECT_EQ(readFile(dir / "pegasus/covers/elite.jpg"), "box art");
}

TEST_F(GamelistTest, HandWrittenListsImportAsExpected)
{
    for (const char* file : {"roms/chuckie.ssd", "roms/citadel.ssd", "roms/exile.ssd", "roms/readme.txt"})
        dir.write(file, "x");
    dir.write("covers/roms/chuckie.jpg", "chuckie box");
    dir.write("screenshots/roms/citadel.jpg", "listed screen");
    dir.write("roms/CITADEL.JPG", "own screen"); // the title's own picture stays
    dir.write("media/exile.png", "png");
    dir.write("gamelist.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- scraped for the bbcmicro system -->
<gameList>
  <alternativeEmulator><label>b-em</label></alternativeEmulator>
  <game id="1">
    <path>./roms/chuckie.ssd</path>
    <name>Chuckie Egg &amp; Friends</name>
    <desc><![CDATA[Farmyard <platform> fun]]> &#169; 1983</desc>
    <developer>A&amp;F</developer>
    <rating>0.8</rating><unknown><nested>x</nested></unknown>
    <genre>Platform</genre>
    <favorite>true</favorite><playcount>4</playcount><lastplayed>20261201T090000</lastplayed>
  </game>
  <game><path>./roms/citadel.ssd</path></game>
  <game><path>./roms/missing.ssd</path><name>Gone</name></game>
  <game><path>./roms/readme.txt</path></game>
  <folder><path>./roms</path></folder>
</gameList>
)");
    const GamelistImportReport esDe = import(dir / "gamelist.xml");
    EXPECT_EQ(esDe.added, 2);
    EXPECT_EQ(esDe.missing.size(), 1u);
    EXPECT_EQ(esDe.notRunnable.size(), 1u);

    dir.write("metadata.pegasus.txt", "# my collection\ncollection: BBC\nextensions: ssd\n\n"
                                      "game: Exile\nfile: roms/exile.ssd\ndeveloper: Superior\n"
                                      "description:\n  First paragraph\n  goes on.\n  .\n  Second.\n"
                                      "assets.box_front: media/exile.png\nx-id: 7\n");
    EXPECT_EQ(import(dir / "metadata.pegasus.txt").added, 1);

    const std::vector<Record> all = readCatalogue(db);
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[4], (Record{"A&F", "Chuckie Egg & Friends", "Platform", "roms\\chuckie.ssd", "0",
                              "0", "Farmyard <platform> fun \xC2\xA9 1983", 4}));
    EXPECT_EQ(all[5], (Record{"roms", "citadel", " ", "roms\\citadel.ssd", "0", "0", std::nullopt, 5}));
    EXPECT_EQ(all[6], (Record{"Superior", "Exile", " ", "roms\\exile.ssd", "0", "0",
                              "First paragraph\ngoes on.\n\nSecond.", 6}));
    EXPECT_EQ(ReadPlayHistory(db).at("roms\\chuckie.ssd"),
              (PlayHistoryEntry{4, "2026-12-01T09:00:00+00:00", true}));
    EXPECT_EQ(readFile(dir / "roms/chuckie-box.jpg"), "chuckie box");
    EXPECT_EQ(readFile(dir / "roms/CITADEL.JPG"), "own screen");
    EXPECT_FALSE(fs::exists(dir / "roms/citadel.jpg"));
    EXPECT_EQ(converted, (std::vector<std::string>{"exile.png"}));
    EXPECT_EQ(readFile(dir / "roms/exile-box.jpg"), "converted");
}

TEST_F(GamelistTest, AnExportReadBackAddsNothingAndAFreshCatalogueGetsTheSameTitles)
{
    for (const GamelistFormat format : {GamelistFormat::EsDe, GamelistFormat::Pegasus}) {
        const GamelistExportReport exported = exportTo(format, dir / "out");
        const std::vector<Record> before = readCatalogue(db);
        const auto history = ReadPlayHistory(db);
        const GamelistImportReport same = import(exported.listFile);
        EXPECT_EQ(same.added, 0);
        EXPECT_EQ(same.alreadyThere.size(), 2u);
        EXPECT_EQ(readCatalogue(db), before);
        EXPECT_EQ(ReadPlayHistory(db), history);

        writeCatalogue((dir / "fresh.mdb").string(), {});
        EXPECT_EQ(import(exported.listFile, "fresh.mdb").added, 2);
        const std::vector<Record> fresh = readCatalogue((dir / "fresh.mdb").string());
        ASSERT_EQ(fresh.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(std::tie(fresh[i].publisher, fresh[i].software, fresh[i].filepath),
                      std::tie(before[i].publisher, before[i].software, before[i].filepath));
            EXPECT_EQ(fresh[i].description.value_or(""), before[i].description.value_or(""));
        }
        if (format == GamelistFormat::EsDe) {
            EXPECT_EQ(ReadPlayHistory((dir / "fresh.mdb").string()), history);
        }
        fs::remove_all(dir / "out");
        fs::remove(dir / "fresh.mdb");
    }
}

TEST_F(GamelistTest, MalformedXmlIsToldWithItsLineAndAddsNothing)
{
    const struct {
        const char* xml;
        const char* told;
    } cases[] = {
        {"<gameList>\n<game>\n<path>./x.ssd</path>\n</gme>\n</gameList>\n", "line 4"},
        {"<gameList>\n<game><name>A &nbsp; B</name></game>\n</gameList>\n", "line 2"},
        {"<?xml version=\"1.0\"?>\n<games/>\n", "not <gameList>"},
        {"<gameList></gameList>\n<gameList/>\n", "line 2"},
    };
    for (const auto& c : cases) {
        dir.write("bad.xml", c.xml);
        const GamelistImportReport report = import(dir / "bad.xml");
        EXPECT_NE(report.error.find(c.told), std::string::npos) << report.error;
        EXPECT_NE(GamelistImportSummary(report).find("Nothing was added"), std::string::npos);
        EXPECT_EQ(readCatalogue(db).size(), 4u);
    }
}

TEST_F(GamelistTest, HostileListsAreToldAndNeverStoredBroken)
{
    for (const char* file : {"roms/cafe.ssd", "roms/long.ssd", "roms/ok.ssd", "roms/zc.ssd"})
        dir.write(file, "x");
    fs::create_directories(dir / "lists");
    fs::create_symlink(dir / "roms/ok.ssd", dir / "lists/link.ssd");
    fs::create_symlink(dir / "nowhere.ssd", dir / "lists/dangling.ssd");
    fs::create_symlink("/dev/null", dir / "lists/device.ssd");
    fs::create_symlink("/dev/zero", dir / "lists/zero.jpg");
    dir.write("lists/metadata.pegasus.txt",
              "game: Caf\xE9\nfile: ../roms/cafe.ssd\n"
              "game: " + std::string(41, 'L') + "\nfile: ../roms/long.ssd\n"
              "game: Secrets\nfile: ../../../../../../../../etc/passwd\n"
              "game: Fine\nfile: ../roms/ok.ssd\n"
              "game: Linked\nfile: link.ssd\n"
              "game: Dangling\nfile: dangling.ssd\ngame: Device\nfile: device.ssd\n"
              "game: Zero cover\nfile: ../roms/zc.ssd\nassets.box_front: zero.jpg\n");
    const GamelistImportReport r = import(dir / "lists/metadata.pegasus.txt");
    EXPECT_EQ(r.added, 3);
    EXPECT_EQ(r.notText, (std::vector<std::string>{"../roms/cafe.ssd"}));
    ASSERT_EQ(r.tooLong.size(), 1u);
    EXPECT_NE(r.tooLong[0].find("holds 40 characters and the value has 41"), std::string::npos);
    EXPECT_EQ(r.notRunnable.size(), 1u);
    EXPECT_EQ(r.missing, (std::vector<std::string>{"dangling.ssd", "device.ssd"}));
    EXPECT_EQ(r.pictures.size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "roms/zc-box.jpg"));
    EXPECT_EQ(readCatalogue(db).back().filepath, "roms\\zc.ssd");
    EXPECT_EQ(readCatalogue(db)[5].filepath, "lists\\link.ssd");
}

TEST(GamelistTimes, EsDeTimesAreLocalTimeWithoutOffset)
{
    setenv("TZ", "CET-1", 1);
    tzset();
    EXPECT_EQ(EsDeTimeOf("2026-12-08T18:20:38+01:00"), "20261208T182038");
    EXPECT_EQ(EsDeTimeOf("2026-12-08 18:20:38"), "20261208T182038"); // a Jet date
    EXPECT_EQ(EsDeTimeOf("yesterday"), std::nullopt);
    EXPECT_EQ(PlayTimeOfEsDe("20261208T182038"), "2026-12-08T18:20:38+01:00");
    EXPECT_EQ(PlayTimeOfEsDe("20261308T182038"), std::nullopt);
    EXPECT_EQ(PlayTimeText(QDateTime::fromSecsSinceEpoch(1796754038)), "2026-12-08T19:20:38+01:00");
    setenv("TZ", "UTC0", 1);
    tzset();
}

} // namespace
} // namespace tavrin::test
