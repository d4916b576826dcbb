// "Export to MMB": which titles go in, in which slots, and what is left out.

#include "catalogue/MmbExport.h"
#include "TempDir.h"
#include "diskimage/MmbFile.h"
#include "diskimage/RealDiscs.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace tavrin::test
{
namespace
{

std::string text(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

TEST(MmbExport, SsdImagesAndZippedOnesGoInInOrder)
{
    TempDir dir;
    const Bytes zipped = realDisc("IN A ZIP", 5);
    const std::vector<MmbExportTitle> titles = {
        {"Elite", dir.write("Games/elite.ssd", text(realDisc("ELITE"))).string()},
        {"Read me", dir.write("Games/readme.SSD", "Load the game with CHAIN\n").string()},
        {"Tape", dir.write("Games/tape.uef", "UEF File!").string()},
        {"Zipped", dir.write("Games/Zipped.zip", "PK").string()},
        {"Broken", dir.write("Games/broken.zip", "PK").string()},
        {"Blank title", dir.write("Games/blank.ssd", text(MakeBlankImage())).string()},
    };
    const UnpackArchive unpack = [&](const std::string& archive, const std::string& folder) {
        if (fs::path(archive).stem() != "Zipped")
            return std::string("bad CRC");
        std::ofstream(fs::path(folder) / "first.ssd") << text(realDisc("NOT THIS"));
        std::ofstream(fs::path(folder) / "ZIPPED.SSD") << text(zipped);
        return std::string();
    };
    const std::string mmb = (dir / "BEEB.MMB").string();
    const MmbExportReport report = ExportToMmb(titles, mmb, unpack);
    EXPECT_EQ(MmbExportSummary(report, mmb),
              "3 discs were written to \"" + mmb +
                  "\" (1 zone of 511 slots). Drive 0 starts slot 0, \"ELITE\".\n\n"
                  "Left out, not a single-sided DFS disc: 2\n"
                  "  Read me: " +
                  ReadImageForMmb(titles[1].Filepath).error +
                  "\n"
                  "  Broken: the archive \"" +
                  titles[4].Filepath +
                  "\" cannot be unpacked: bad CRC\n\n"
                  "Left out, neither .ssd images nor zip archives: 1");

    const MmbFileRead read = ReadMmbFile(mmb);
    ASSERT_TRUE(read.ok()) << read.error;
    const std::vector<std::string> expected = {"ELITE", "IN A ZIP", "Blank title"};
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(read.index.slot(slot).title, slot < 3 ? expected[size_t(slot)] : "");
    EXPECT_EQ(read.index.slot(2).status, mmb::kUnlocked);
    EXPECT_EQ(read.index.bootSlots()[0], 0);
    Bytes padded = zipped;
    padded.resize(mmb::kDiscSize);
    EXPECT_TRUE(ReadMmbDisc(mmb, read.index, 1).disc == padded);
}

TEST(MmbExport, ZonesAreAddedAndAStopWritesNothing)
{
    TempDir dir;
    const std::string disc = dir.write("disc.ssd", text(realDisc("DISC"))).string();
    const std::vector<MmbExportTitle> titles(512, {"Disc", disc});
    const std::string mmb = (dir / "BEEB.MMB").string();

    const MmbExportReport stopped =
        ExportToMmb(titles, mmb, {}, [](int done, int) { return done < 100; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(fs::exists(mmb));
    EXPECT_EQ(fs::directory_iterator(dir.path())->path(), disc); // no file left beside

    const MmbExportReport report = ExportToMmb(titles, mmb, {});
    EXPECT_EQ(report.written, 512);
    EXPECT_EQ(report.zones, 2);
    const MmbFileRead read = ReadMmbFile(mmb);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.index.slot(511).title, "DISC");
    EXPECT_TRUE(read.index.slot(512).isEmpty());
}

} // namespace
} // namespace tavrin::test
