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
#include <random>
#include <tuple>

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::test;

namespace
{

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
    write("src/CTRL", "c");
    write("src/CTRL.inf", "$.C\x1B[2J\xE9 0 0\n");
    write("lonely/README", "r");
    ToolRun run = runTool({"build", at("src"), at("Game.ssd")});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_EQ(run.out, "added    $.ELITE FF1900 FF8023 00012C (ELITE)\n"
                       "skipped  BAD: the execution address \"nothex\" is not hexadecimal (BAD.inf)\n"
                       "skipped  CTRL: the name \"$.C\\x1B[2J\\xE9\" holds a control "
                       "character (CTRL.inf)\n"
                       "unpaired README\n"
                       "wrote " + (root / "Game.ssd").string() + ": 1 file\n");
    // All added gives 0; an image that cannot be written, 1 and no "added".
    for (const char* name : {"BAD", "BAD.inf", "CTRL", "CTRL.inf", "README"})
        fs::remove(root / "src" / name);
    EXPECT_EQ(runTool({"build", at("src"), at("Game.ssd")}).status, 0);
    run = runTool({"build", at("src"), at("Full.ssd")}, As::FullDisk);
    EXPECT_EQ(std::tie(run.status, run.out), std::make_tuple(1, std::string()));
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
        {{"build", at("src"), at("bbc.mdb")}, 2, "build: IMAGE must end in .ssd, .img or .bbc"},
        {{"build", at("src"), at("Zip.ssd")}, 1, "it is a zip archive; it is not replaced"},
        {{"extract", at("Game.ssd"), at("src")}, 1, "already holds files"},
    };
    write("Zip.ssd", std::string("PK\x03\x04", 4));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        run = runTool(row.args);
        EXPECT_EQ(run.status, row.status);
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(root / "x.ssd"));
    }
}

// A disk as real collections hold them: entry 1 at the highest sector, 18-bit
// addresses, locked files, names with spaces and odd characters, over 64 KiB.
Bytes realWorldDisk(unsigned seed, int files, int sectors)
{
    std::mt19937 random(seed);
    Bytes image(size_t(sectors) * 256, 0);
    const char* names[] = {"!BOOT", "MY GAME", "A/B", "A?B", "50% OFF", "Q\"T", "A,B",
                           "\xA3" "CASH", "BEL\x07", "DEL\x7F", " LEAD", "x", "<>|*?"};
    const uint32_t loads[] = {0x31900, 0x1900, 0x11900, 0x2E00, 0x3FFFF};
    size_t next = 2;
    for (int n = files; n >= 1; --n) {
        const uint32_t length = n == 5 && sectors == 800 ? 70000 : n == 7 ? 0 : random() % 5000;
        const uint32_t load = loads[n % 5], exec = random() & 0x3FFFF;
        putEntry(image, n, names[n % 13], uint8_t("$AB!#"[n / 13] | (n % 3 == 0 ? 0x80 : 0)));
        const uint32_t start = uint32_t(next), record[] = {
            load, load >> 8, exec, exec >> 8, length, length >> 8,
            DfsMixedByte(load, exec, length, start), start};
        for (size_t k = 0; k < 8; ++k)
            image[0x100 + 8 * size_t(n) + k] = uint8_t(record[k]);
        for (uint32_t k = 0; k < length; ++k)
            image[next * 256 + k] = uint8_t(random());
        next += SectorsFor(length);
    }
    image[0x105] = uint8_t(8 * files);
    image[0x106] = uint8_t(0x30 | sectors >> 8);
    image[0x107] = uint8_t(sectors);
    return image;
}

// Every field and byte of each file, in catalogue order.
auto filesOf(const Bytes& image)
{
    std::vector<std::tuple<uint8_t, std::string, bool, uint32_t, uint32_t, Bytes>> list;
    for (const DfsFile& f : ReadDfsFiles(image))
        list.emplace_back(f.directory, f.name, f.locked, f.load, f.exec,
                          Bytes(image.begin() + f.startSector * 256,
                                image.begin() + f.startSector * 256 + f.length));
    return list;
}

TEST_F(DiskToolFiles, ExtractThenBuildGivesBackTheSameFiles)
{
    const std::pair<std::string, Bytes> disks[] = {{"full.ssd", realWorldDisk(1, 31, 800)},
                                                   {"forty.bbc", realWorldDisk(2, 14, 400)},
                                                   {"two.dsd", realWorldDisk(3, 31, 800)}};
    for (const auto& [name, disk] : disks) {
        SCOPED_TRACE(name);
        Bytes file = disk;
        if (name.ends_with(".dsd")) { // side 0's tracks interleaved with those of side 1
            file.clear();
            for (size_t track = 0; track * 2560 < disk.size(); ++track) {
                file.insert(file.end(), disk.begin() + ptrdiff_t(track * 2560),
                            disk.begin() + ptrdiff_t(track * 2560 + 2560));
                file.insert(file.end(), 2560, 0x77);
            }
        }
        writeFile(root / name, file);
        ToolRun run = runTool({"extract", at(name), at(name + "-files")});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\n$.\u00A3CASH "), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find_first_of("\x07\x7F"), std::string::npos);
        run = runTool({"build", at(name + "-files"), at(name + "-back.ssd")});
        ASSERT_EQ(run.status, 0) << run.out;
        const Bytes back = readFile(root / (name + "-back.ssd"));
        EXPECT_EQ(filesOf(back), filesOf(disk));
    }
}

} // namespace
