// Image files: reading the catalogue read-only, writing title and boot option
// in place, creating blank images beside the target.

#include "FailingFiles.h"
#include "ImageBytes.h"
#include "ImageFiles.h"

#include "diskimage/DiskImageFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::test;

namespace
{

// An 800-sector image whose every byte outside the catalogue fields is
// noise, so a write that touches anything else shows.
Bytes noisyImage()
{
    Bytes image(204800);
    std::mt19937 random(1234);
    for (uint8_t& b : image)
        b = uint8_t(random());
    put(image, 0x000, "ELITE\0\0\0");
    put(image, 0x100, std::string("\0\0\0\0", 4));
    putEntry(image, 1, "ELITE", 0xA4);
    image[0x105] = 0x08;
    image[0x106] = 0x03;
    image[0x107] = 0x20;
    return image;
}

class DiskImageFile : public testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    fs::path path(const std::string& name) const
    {
        return fs::path(dir_.path().toStdString()) / name;
    }
    QTemporaryDir dir_;
};

TEST_F(DiskImageFile, ReadsTheCatalogueAsTheBytesShowIt)
{
    Bytes image = zeroImage(0x400);
    put(image, 0x000, "WATFORD ");
    put(image, 0x100, "62  ");
    putEntry(image, 1, "BOOT", 0xA4);
    putWatfordMarker(image);
    putEntry(image, 40, "FORTY", 0x41);
    image[0x106] = 0x33;
    writeFile(path("w62.ssd"), image);

    const DiskCatalogueRead read = ReadDiskCatalogue(path("w62.ssd").string());
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.catalogue.title, "WATFORD 62  ");
    EXPECT_EQ(read.catalogue.entries[0], "$.BOOT    L");
    EXPECT_EQ(read.catalogue.entries[39], "A.FORTY    ");
    EXPECT_EQ(read.catalogue.bootOption, 3);
    EXPECT_TRUE(read.catalogue.watford);
}

TEST_F(DiskImageFile, StoredPathWithBackslashesAndOtherCaseFindsTheFile)
{
    fs::create_directories(path("Disks/Acme"));
    Bytes image = zeroImage(0x200);
    put(image, 0, "ACME");
    writeFile(path("Disks/Acme/Game.SSD"), image);

    const std::string stored = dir_.path().toStdString() + "\\disks\\ACME\\game.ssd";
    const DiskCatalogueRead read = ReadDiskCatalogue(stored);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.catalogue.title, "ACME");

    EXPECT_TRUE(WriteDiskCatalogue(stored, "NEW", 2).ok());
    EXPECT_EQ(ReadDiskCatalogue(stored).catalogue.title, "NEW         ");
}

TEST_F(DiskImageFile, ShortFileShowsWhatItHolds)
{
    Bytes image = zeroImage(20);
    put(image, 0, "TINY    ");
    putEntry(image, 1, "ONE", 0x24);
    put(image, 16, "TWO!"); // entry 2 is cut by the end of the file
    writeFile(path("short.ssd"), image);

    const DiskCatalogueRead read = ReadDiskCatalogue(path("short.ssd").string());
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.catalogue.title, "TINY    ");
    EXPECT_EQ(read.catalogue.entries[0], "$.ONE      ");
    for (size_t i = 1; i < read.catalogue.entries.size(); ++i)
        EXPECT_EQ(read.catalogue.entries[i], "") << i;
    EXPECT_EQ(read.catalogue.bootOption, std::nullopt);

    writeFile(path("empty.ssd"), {});
    const DiskCatalogueRead empty = ReadDiskCatalogue(path("empty.ssd").string());
    ASSERT_TRUE(empty.ok()) << empty.error;
    EXPECT_EQ(empty.catalogue.title, "");
}

TEST_F(DiskImageFile, ReadsFilesThatCannotBeOpenedForWriting)
{
    // A running program cannot be opened for writing, not even by root.
    linkToRunningProgram(path("busy.ssd"));
    const DiskCatalogueRead running = ReadDiskCatalogue(path("busy.ssd").string());
    EXPECT_TRUE(running.ok()) << running.error;
    EXPECT_EQ(running.otherFormat, "a program");
    EXPECT_EQ(running.catalogue.title, "");

    Bytes image = zeroImage(0x200);
    put(image, 0, "LOCKED");
    writeFile(path("ro.ssd"), image);
    fs::permissions(path("ro.ssd"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const DiskCatalogueRead read = ReadDiskCatalogue(path("ro.ssd").string());
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.catalogue.title, "LOCKED");
}

TEST_F(DiskImageFile, FilesThatCannotBeReadGiveAClearMessage)
{
    const std::string missing = path("missing.ssd").string();
    EXPECT_EQ(ReadDiskCatalogue(missing).error,
              "Cannot open \"" + missing + "\": No such file or directory");
    const std::string folder = dir_.path().toStdString();
    EXPECT_EQ(ReadDiskCatalogue(folder).error, "\"" + folder + "\" is a folder, not a disk image");
    EXPECT_EQ(WriteDiskCatalogue(folder, "X", 0).error,
              "\"" + folder + "\" is a folder, not a disk image");
}

TEST_F(DiskImageFile, UpdateChangesOnlyTheCatalogueBytes)
{
    const Bytes before = noisyImage();
    writeFile(path("game.ssd"), before);

    const DiskWriteResult result =
        WriteDiskCatalogue(path("game.ssd").string(), "Exile + Elite!", 3);
    ASSERT_TRUE(result.ok()) << result.error;

    Bytes expected = before;
    put(expected, 0x000, "Exile + ");
    put(expected, 0x100, "Elit");
    expected[0x106] = 0x33;
    EXPECT_EQ(readFile(path("game.ssd")), expected);
}

TEST_F(DiskImageFile, UpdateKeepsTheSectorCountBits)
{
    Bytes image = noisyImage();
    image[0x106] = 0x21; // a 400-sector disk set to run: 0x190 sectors
    image[0x107] = 0x90;
    writeFile(path("forty.ssd"), image);

    ASSERT_TRUE(WriteDiskCatalogue(path("forty.ssd").string(), std::nullopt, 3).ok());
    Bytes after = readFile(path("forty.ssd"));
    EXPECT_EQ(after[0x106], 0x31);
    EXPECT_EQ(after[0x107], 0x90);

    ASSERT_TRUE(WriteDiskCatalogue(path("forty.ssd").string(), std::nullopt, 0).ok());
    after = readFile(path("forty.ssd"));
    EXPECT_EQ(after[0x106], 0x01);
    EXPECT_EQ(after[0x107], 0x90);
}

TEST_F(DiskImageFile, WhatIsNotGivenIsLeftAsItIs)
{
    const Bytes before = noisyImage();
    writeFile(path("game.ssd"), before);

    // Title only: byte 0x106 stays.
    ASSERT_TRUE(WriteDiskCatalogue(path("game.ssd").string(), "ABC", std::nullopt).ok());
    Bytes expected = before;
    put(expected, 0x000, "ABC     ");
    put(expected, 0x100, "    ");
    EXPECT_EQ(readFile(path("game.ssd")), expected);

    // Option only: the title bytes stay, NUL padding and all.
    writeFile(path("game.ssd"), before);
    ASSERT_TRUE(WriteDiskCatalogue(path("game.ssd").string(), std::nullopt, 1).ok());
    expected = before;
    expected[0x106] = 0x13;
    EXPECT_EQ(readFile(path("game.ssd")), expected);
}

TEST_F(DiskImageFile, UpdateRefusesWhatIsNoDfsImage)
{
    Bytes odd = noisyImage();
    odd[0x105] = 0x05;
    writeFile(path("odd.ssd"), odd);
    const std::string oddPath = path("odd.ssd").string();
    EXPECT_EQ(WriteDiskCatalogue(oddPath, "X", 0).error,
              "\"" + oddPath +
                  "\" is not a DFS disk image: its file count byte at 0x105 is 0x05, not a "
                  "multiple of 8");
    EXPECT_EQ(readFile(path("odd.ssd")), odd);

    const Bytes shortImage = zeroImage(300);
    writeFile(path("short.ssd"), shortImage);
    const std::string shortPath = path("short.ssd").string();
    EXPECT_EQ(WriteDiskCatalogue(shortPath, "X", 0).error,
              "\"" + shortPath +
                  "\" is not a DFS disk image: it is shorter than the two sectors of a DFS "
                  "catalogue (300 bytes, 512 needed)");
    EXPECT_EQ(readFile(path("short.ssd")), shortImage);

    const std::string mdb = path("game.mdb").string();
    writeFile(mdb, noisyImage());
    EXPECT_EQ(WriteDiskCatalogue(mdb, "X", 0).error,
              "\"" + mdb + "\" is not a DFS disk image: its name does not end in .ssd, .dsd, "
                            ".img or .bbc");

    const std::string missing = path("missing.ssd").string();
    EXPECT_EQ(WriteDiskCatalogue(missing, "X", 0).error,
              "Cannot open \"" + missing + "\": No such file or directory");
    EXPECT_FALSE(fs::exists(path("missing.ssd")));
}

TEST_F(DiskImageFile, UpdateRefusesABootOptionOutside0To3)
{
    const Bytes before = noisyImage();
    writeFile(path("game.ssd"), before);
    EXPECT_EQ(WriteDiskCatalogue(path("game.ssd").string(), "NEW", 4).error,
              "Boot option 4 is not one of 0, 1, 2 and 3");
    EXPECT_EQ(readFile(path("game.ssd")), before);
}

TEST_F(DiskImageFile, UpdateOfAnImageThatCannotBeOpenedForWritingFailsClearly)
{
    linkToRunningProgram(path("busy.ssd"));
    const Bytes before = readFile(path("busy.ssd"));
    const std::string busy = path("busy.ssd").string();
    EXPECT_TRUE(ReadDiskCatalogue(busy).ok());
    EXPECT_EQ(WriteDiskCatalogue(busy, "X", 0).error,
              "Cannot open \"" + busy + "\": Text file busy");
    EXPECT_EQ(readFile(path("busy.ssd")), before);
}

TEST_F(DiskImageFile, UpdateThatCannotWriteFailsClearly)
{
    const Bytes before = noisyImage();
    writeFile(path("game.ssd"), before);
    const std::string game = path("game.ssd").string();
    for (auto [title, option] : {std::pair<std::optional<std::string_view>, std::optional<int>>{
                                     "NEW", 3},
                                 {std::nullopt, 1}}) {
        DiskWriteResult result;
        {
            FileSizeLimit full;
            result = WriteDiskCatalogue(game, title, option);
        }
        EXPECT_EQ(result.error,
                  "Cannot write the catalogue of \"" + game + "\": File too large");
        EXPECT_EQ(readFile(path("game.ssd")), before);
    }
}

TEST_F(DiskImageFile, CreateWritesTheBlankImage)
{
    const DiskWriteResult result = CreateBlankImage(path("new.img").string());
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(readFile(path("new.img")), MakeBlankImage());
    // Nothing else is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(path("")), fs::directory_iterator()), 1);
}

TEST_F(DiskImageFile, CreateReplacesALongerFileEntirelyAndKeepsItsPermissions)
{
    writeFile(path("old.img"), Bytes(300000, 0x55));
    fs::permissions(path("old.img"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(CreateBlankImage(path("old.img").string()).ok());
    EXPECT_EQ(readFile(path("old.img")), MakeBlankImage());
    EXPECT_EQ(fs::status(path("old.img")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(path("")), fs::directory_iterator()), 1);
}

TEST_F(DiskImageFile, CreateThroughALinkReplacesTheFileItNames)
{
    fs::create_directory(path("store"));
    writeFile(path("store/real.img"), Bytes(10, 1));
    fs::create_symlink(path("store/real.img"), path("link.img"));
    ASSERT_TRUE(CreateBlankImage(path("link.img").string()).ok());
    EXPECT_TRUE(fs::is_symlink(path("link.img")));
    EXPECT_EQ(readFile(path("store/real.img")), MakeBlankImage());
}

TEST_F(DiskImageFile, CreateFailuresGiveAClearMessage)
{
    const std::string nowhere = path("none/new.img").string();
    EXPECT_EQ(CreateBlankImage(nowhere).error, "Cannot create \"" + nowhere + "\": the folder \"" +
                                                   path("none").string() + "\" does not exist");

    fs::create_directory(path("taken.img"));
    const std::string taken = path("taken.img").string();
    EXPECT_EQ(CreateBlankImage(taken).error,
              "Cannot create \"" + taken + "\": a folder of that name exists");
}

TEST_F(DiskImageFile, CreateInAFolderThatCannotBeWrittenFailsClearly)
{
    const std::string target = std::string(kUncreatableFolder) + "/new.img";
    EXPECT_EQ(CreateBlankImage(target).error,
              "Cannot create \"" + target + "\": the folder \"" + kUncreatableFolder +
                  "\" cannot be written (No such file or directory)");
    EXPECT_FALSE(fs::exists(target));

    // A folder that has become a file.
    writeFile(path("Files"), Bytes(3, 1));
    const std::string inFile = path("Files/new.img").string();
    EXPECT_EQ(CreateBlankImage(inFile).error, "Cannot create \"" + inFile + "\": the folder \"" +
                                                  path("Files").string() + "\" does not exist");
    EXPECT_EQ(readFile(path("Files")), Bytes(3, 1));
}

TEST_F(DiskImageFile, CreateThatCannotWriteLeavesTheOldFileAndNothingElse)
{
    const Bytes old(300000, 0x55);
    writeFile(path("old.img"), old);
    DiskWriteResult result;
    {
        FileSizeLimit full;
        result = CreateBlankImage(path("old.img").string());
    }
    EXPECT_EQ(result.error,
              "Cannot create \"" + path("old.img").string() + "\": File too large");
    EXPECT_EQ(readFile(path("old.img")), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(path("")), fs::directory_iterator()), 1);

    {
        FileSizeLimit full;
        result = CreateBlankImage(path("new.img").string());
    }
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(fs::exists(path("new.img")));
    EXPECT_EQ(std::distance(fs::directory_iterator(path("")), fs::directory_iterator()), 1);
}

} // namespace
