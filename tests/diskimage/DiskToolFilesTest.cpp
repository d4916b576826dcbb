// tavrin-disk build and extract, run as the child process they are.

#include "DiskToolRun.h"
#include "ImageBytes.h"
#include "ImageFiles.h"

#include "diskimage/InfFile.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::test;

namespace
{

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

class DiskToolFiles : public testing::Test
{
  protected:
    QString at(const std::string& name) const { return QString::fromStdString((root / name).string()); }
    void write(const std::string& name, const std::string& content) const
    {
        fs::create_directories((root / name).parent_path());
        std::ofstream(root / name, std::ios::binary) << content;
    }

    QTemporaryDir dir;
    fs::path root{dir.path().toStdString()};
};

TEST_F(DiskToolFiles, BuildsFromPairsAndFailsClearly)
{
    write("src/ELITE", std::string(300, 'E'));
    write("src/elite.INF", "$.ELITE FF1900 FF8023 002800\n");
    write("src/BAD", "b");
    write("src/BAD.inf", "$.BAD 1900 nothex\n");
    write("src/README", "r");
    write("lonely/README", "r");
    ToolRun run = runTool({"build", at("src"), at("Game.ssd")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "added    $.ELITE 001900 008023 00012C (ELITE)\n"
                       "skipped  BAD: the execution address \"nothex\" is not hexadecimal (BAD.inf)\n"
                       "unpaired README\n"
                       "wrote " + (root / "Game.ssd").string() + ": 1 file\n");
    const Bytes image = readFile(root / "Game.ssd");
    EXPECT_EQ(ParseDiskCatalogue(image).title, "Game        ");
    EXPECT_EQ(ParseDiskCatalogue(image).entries[0], "$.ELITE    ");

    struct Row {
        QStringList args;
        int status;
        const char* err;
    } rows[] = {
        {{"build", at("missing"), at("x.ssd")}, 1, " is not a folder"},
        {{"build", at("lonely"), at("x.ssd")}, 1, "could be added"},
        {{"build", at("src")}, 2, "build: give FOLDER and IMAGE"},
        {{"extract", at("Game.ssd"), at("src")}, 1, "already holds files"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        run = runTool(row.args);
        EXPECT_EQ(run.status, row.status);
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(root / "x.ssd"));
    }
}

TEST_F(DiskToolFiles, ExtractThenBuildGivesBackTheSameFiles)
{
    // A hand-made catalogue: names that differ only in case, a locked file,
    // I/O processor addresses, a name a file system cannot hold, a file of
    // more than 64 KiB.
    Bytes image(0x200, 0);
    put(image, 0, "HANDMADE");
    struct File {
        const char* name;
        uint8_t dir;
        uint32_t load, exec, length, start;
    } files[] = {
        {"ELITE", '$' | 0x80, 0x31900, 0x38023, 300, 2},
        {"elite", '$', 0x0E00, 0x8023, 0, 4},
        {"A/B", 'B', 0x1900, 0x1900, 70000, 4},
    };
    for (size_t i = 0; i < std::size(files); ++i) {
        const File& f = files[i];
        putEntry(image, int(i + 1), f.name, f.dir);
        const size_t r = 0x108 + 8 * i;
        image[r] = f.load & 0xFF, image[r + 1] = (f.load >> 8) & 0xFF;
        image[r + 2] = f.exec & 0xFF, image[r + 3] = (f.exec >> 8) & 0xFF;
        image[r + 4] = f.length & 0xFF, image[r + 5] = (f.length >> 8) & 0xFF;
        image[r + 6] = DfsMixedByte(f.load, f.exec, f.length, f.start);
        image[r + 7] = uint8_t(f.start);
        image.resize(std::max(image.size(), (f.start + SectorsFor(f.length)) * 256));
        for (uint32_t k = 0; k < f.length; ++k)
            image[f.start * 256 + k] = uint8_t(k * 7 + i);
    }
    image[0x105] = 8 * 3;
    image[0x106] = 0x03;
    image[0x107] = 0x20;
    writeFile(root / "hand.ssd", image);

    ToolRun run = runTool({"extract", at("hand.ssd"), at("files")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "$.ELITE FF1900 FF8023 00012C Locked -> ELITE\n"
                       "$.elite 000E00 008023 000000 -> elite~2\n"
                       "B.A/B 001900 001900 011170 -> B.A_B\n");
    EXPECT_EQ(readFile(root / "files/B.A_B.inf"), bytesOf("B.A/B 001900 001900 011170\n"));

    // The same disk as a double-sided ".dsd", its tracks interleaved with those of side 1.
    Bytes dsd;
    for (size_t track = 0; track * 2560 < image.size(); ++track) {
        Bytes side0(image.begin() + ptrdiff_t(track * 2560),
                    image.begin() + ptrdiff_t(std::min(image.size(), (track + 1) * 2560)));
        side0.resize(2560, 0);
        dsd.insert(dsd.end(), side0.begin(), side0.end());
        dsd.insert(dsd.end(), 2560, 0x77);
    }
    writeFile(root / "hand.dsd", dsd);
    ASSERT_EQ(runTool({"extract", at("hand.dsd"), at("fromdsd")}).status, 0);
    EXPECT_EQ(readFile(root / "fromdsd/B.A_B"), readFile(root / "files/B.A_B"));

    run = runTool({"build", at("files"), at("back.ssd")});
    ASSERT_EQ(run.status, 0) << run.err;
    auto files16 = [](const Bytes& bytes) {
        std::vector<std::tuple<uint8_t, std::string, bool, uint32_t, uint32_t, std::vector<uint8_t>>> list;
        for (const DfsFile& f : ReadDfsFiles(bytes))
            list.emplace_back(f.directory, f.name, f.locked, f.load & 0xFFFF, f.exec & 0xFFFF,
                              Bytes(bytes.begin() + f.startSector * 256,
                                    bytes.begin() + f.startSector * 256 + f.length));
        std::sort(list.begin(), list.end());
        return list;
    };
    const Bytes back = readFile(root / "back.ssd");
    EXPECT_EQ(files16(back), files16(image));
    EXPECT_EQ(files16(back).size(), 3u);
}

} // namespace
