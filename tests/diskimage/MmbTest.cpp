// MMB files: the index and discs against the layout, what is no MMB file,
// slots across zones, what fits a slot, and tavrin-disk mmb end to end.

#include "DiskToolRun.h"
#include "ImageFiles.h"
#include "RealDiscs.h"

#include "diskimage/Mmb.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::mmb;
using namespace tavrin::test;

namespace
{

// The index entry of slot n of zone 0, as the layout places it.
void putLayoutEntry(Bytes& file, int n, const Bytes& title12, uint8_t status)
{
    const size_t at = 16 + 16 * size_t(n);
    std::copy(title12.begin(), title12.end(), file.begin() + ptrdiff_t(at));
    file[at + 15] = status;
}

// A disc's twelve title bytes as its catalogue holds them, NULs after the first.
Bytes titleOf(const Bytes& disc)
{
    Bytes title(disc.begin(), disc.begin() + 8);
    title.insert(title.end(), disc.begin() + 0x100, disc.begin() + 0x104);
    return title;
}

Bytes interleave(const Bytes& side0, const Bytes& side1)
{
    Bytes dsd;
    for (size_t at = 0; at < std::max(side0.size(), side1.size()); at += 2560)
        for (const Bytes* side : {&side0, &side1}) {
            Bytes track(2560, 0);
            for (size_t i = 0; i < 2560 && at + i < side->size(); ++i)
                track[i] = (*side)[at + i];
            dsd.insert(dsd.end(), track.begin(), track.end());
        }
    return dsd;
}

TEST(MmbTool, AddListExtractAgainstTheLayout)
{
    QTemporaryDir dir;
    auto path = [&](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    const Bytes full = realDisc("FULL CATALOG", 27, 200);
    const Bytes game = realDisc("My Game");
    const Bytes forty = fortyTrackDisc("FORTY");
    const Bytes side0 = realDisc("SIDE ZERO"), side1 = realDisc("SIDE ONE", 3);
    ASSERT_EQ(ReadCatalogueFile(full, 31)->name, "LEVEL26");
    writeFile(path("full.ssd").toStdString(), full);
    writeFile(path("game.ssd").toStdString(), game);
    writeFile(path("forty.ssd").toStdString(), forty);
    writeFile(path("two.DSD").toStdString(), interleave(side0, side1));

    const QString mmb = path("BEEB.MMB");
    EXPECT_EQ(runTool({"mmb", "new", mmb, "--discs", "8"}).status, 0);
    EXPECT_EQ(runTool({"mmb", "add", mmb, path("full.ssd"), path("game.ssd")}).status, 0);
    EXPECT_EQ(runTool({"mmb", "add", mmb, path("two.DSD")}).status, 1);
    EXPECT_EQ(runTool({"mmb", "add", mmb, "--both-sides", path("two.DSD")}).status, 0);
    EXPECT_EQ(runTool({"mmb", "add", mmb, path("forty.ssd"), "--slot=5", "--title", "Side Story",
                       "--locked"})
                  .status,
              0);

    // The whole file, byte for byte: header, index, discs padded with zeros.
    Bytes expected(8192 + 8 * 204800, 0);
    for (uint8_t d = 0; d < 4; ++d)
        expected[d] = d;
    const Bytes sideStory = {'S', 'i', 'd', 'e', ' ', 'S', 't', 'o', 'r', 'y', 0, 0};
    const Bytes* discs[] = {&full, &game, &side0, &side1, nullptr, &forty};
    for (int n = 0; n < 511; ++n) {
        const Bytes* disc = n < 6 ? discs[n] : nullptr;
        const uint8_t status = n == 5 ? 0x00 : disc ? 0x0F : n < 8 ? 0xF0 : 0xFF;
        putLayoutEntry(expected, n,
                       n == 5 ? sideStory
                       : disc ? titleOf(*disc)
                              : Bytes(12, 0),
                       status);
        if (disc)
            std::copy(disc->begin(), disc->end(), expected.begin() + 8192 + 204800 * n);
    }
    EXPECT_TRUE(readFile(mmb.toStdString()) == expected);

    const ToolRun list = runTool({"mmb", "list", mmb});
    EXPECT_EQ(list.out, "Zones: 1\nSlots: 8\nDiscs: 5\nBoot: 0 1 2 3\n"
                        "   0  unlocked     FULL CATALOG\n"
                        "   1  unlocked     My Game\n"
                        "   2  unlocked     SIDE ZERO\n"
                        "   3  unlocked     SIDE ONE\n"
                        "   5  locked       Side Story\n");

    // A disc taken out again is the image padded to 204,800 bytes, and reads the same.
    EXPECT_EQ(runTool({"mmb", "extract", mmb, "5", path("out.ssd")}).status, 0);
    Bytes padded = forty;
    padded.resize(204800, 0);
    EXPECT_TRUE(readFile(path("out.ssd").toStdString()) == padded);
    EXPECT_EQ(runTool({"cat", "--info", path("out.ssd")}).out,
              runTool({"cat", "--info", path("forty.ssd")}).out);
}

TEST(MmbTool, BadArgumentsExitWith2)
{
    const std::pair<QStringList, std::string> cases[] = {
        {{"mmb", "add", "BEEB.MMB"}, "usage: tavrin-disk mmb add FILE IMAGE... [--slot N]"},
        {{"mmb", "boot", "BEEB.MMB", "7", "--drive", "4"},
         "mmb boot: --drive takes a number from 0 to 3, not '4'"},
        {{"mmb", "remove", "BEEB.MMB", "1e3"}, "mmb remove: SLOT takes a number from 0 to 8175"},
        {{"mmb", "add", "BEEB.MMB", "a.ssd", "b.ssd", "--title", "X"},
         "mmb add: --title names one disc, but 2 are added"},
    };
    for (const auto& [args, message] : cases) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_NE(
        runTool({"--help"}).out.find("       tavrin-disk mmb boot FILE SLOT [--drive 0..3]\n"),
        std::string::npos);
}

TEST(MmbTool, AFailedWriteLeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString mmb = dir.filePath("BEEB.MMB"), disc = dir.filePath("game.ssd");
    writeFile(disc.toStdString(), realDisc("GAME"));
    ASSERT_EQ(runTool({"mmb", "new", mmb, "--discs", "3"}).status, 0);
    ASSERT_EQ(runTool({"mmb", "add", mmb, disc}).status, 0);
    const Bytes before = readFile(mmb.toStdString());

    for (const QStringList& change : {QStringList{"add", mmb, disc},
                                      {"lock", mmb, "0"},
                                      {"extend", mmb},
                                      {"remove", mmb, "0"}}) {
        const ToolRun run = runTool(QStringList{"mmb"} + change, As::FullDisk);
        EXPECT_EQ(run.status, 1) << change.join(' ').toStdString();
        EXPECT_NE(run.err.find("Cannot write \"" + mmb.toStdString() + "\""), std::string::npos)
            << run.err;
    }
    EXPECT_TRUE(readFile(mmb.toStdString()) == before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

struct ShapeCase {
    const char* name;
    int zones;
    uint64_t size;
    uint8_t mark, startZone;
    int endAt;            // slot of zone 0 marked 0xFF, -1 for none
    int discAt;           // slot of zone 0 marked unlocked, -1 for none
    const char* expected; // "N slots" or part of the reason
};

TEST(MmbIndex, ShapesAndReasons)
{
    const uint64_t zone = kZoneSize;
    const ShapeCase cases[] = {
        {"short", 1, 100, 0, 0, -1, -1, "shorter than an MMB index (100 bytes, 8,192 needed)"},
        {"whole zone", 1, zone, 0x00, 7, -1, 3, "511 slots"},
        {"three discs", 1, 8192 + 3 * 204800, 0x00, 0, 3, 1, "3 slots"},
        {"end at 0", 1, zone, 0x00, 0, 0, -1, "0 slots"},
        {"odd size", 1, 8192 + 3 * 204800 + 5, 0, 0, 3, -1,
         "its size (622,597 bytes) is not an index of 8,192 bytes and whole discs of 204,800"},
        {"two zones", 2, 2 * zone, 0xA1, 1, -1, -1, "1022 slots"},
        {"mark for three", 2, 2 * zone, 0xA2, 0, -1, -1,
         "its header (byte 8 = 0xA2) declares 3 zones of 104,660,992 bytes, but it holds "
         "209,321,984 bytes"},
        {"start zone", 2, 2 * zone, 0xA1, 2, -1, -1, "its start zone (byte 9) is 2"},
        {"unmarked", 2, 2 * zone, 0xB1, 0, -1, -1,
         "it holds 2 zones, but its header's byte 8 is 0xB1"},
        {"disc past end", 1, 8192 + 3 * 204800, 0, 0, 4, 3,
         "its index lists a disc in slot 3, past the end of the file, which holds 3 discs"},
    };
    for (const ShapeCase& c : cases) {
        Bytes indexes(size_t(c.zones) * 8192, 0xF0);
        for (int z = 0; z < c.zones; ++z) {
            std::fill_n(indexes.begin() + z * 8192, 16, 0);
            indexes[size_t(z) * 8192 + 8] = c.mark;
            indexes[size_t(z) * 8192 + 9] = c.startZone;
        }
        if (c.endAt >= 0)
            indexes[16 + 16 * size_t(c.endAt) + 15] = 0xFF;
        if (c.discAt >= 0)
            indexes[16 + 16 * size_t(c.discAt) + 15] = 0x0F;
        const MmbIndexRead read = ReadMmbIndex(indexes, c.size);
        const std::string got =
            read.notMmb ? *read.notMmb : std::to_string(read.index.seenSlots().size()) + " slots";
        EXPECT_NE(got.find(c.expected), std::string::npos) << c.name << ": " << got;
    }
}

TEST(MmbIndex, SlotsRunOnAcrossZones)
{
    MmbIndex index = NewMmbIndex(3);
    ASSERT_TRUE(ExtendMmbIndex(index));
    EXPECT_EQ(index.zones, 2);
    EXPECT_EQ(index.fileSize, 2 * kZoneSize);
    EXPECT_EQ(index.seenSlots().size(), 1022u);
    EXPECT_EQ(index.slot(400).status, kUnformatted); // past the old end
    EXPECT_EQ(MmbDiscOffset(511), kZoneSize + 8192);
    EXPECT_EQ(MmbEntryOffset(512), 8192u + 16 + 16);

    ASSERT_TRUE(SetMmbBootSlot(index, 2, 600));
    for (size_t header : {size_t(0), size_t(8192)}) {
        EXPECT_EQ(index.bytes[header + 2], 89); // 600 = 511 + 89
        EXPECT_EQ(index.bytes[header + 6], 0);
        EXPECT_EQ(index.bytes[header + 8], 0xA1);
        EXPECT_EQ(index.bytes[header + 9], 1);
    }
    EXPECT_EQ(index.bootSlots(), (std::array<int, 4>{511, 512, 600, 511}));
    ASSERT_TRUE(SetMmbBootSlot(index, 3, 300 + 511));
    EXPECT_EQ(index.bytes[7], 1); // 300 = 0x12C: the high byte
    EXPECT_FALSE(SetMmbBootSlot(index, 4, 1));
    EXPECT_FALSE(SetMmbBootSlot(index, 0, 1022));
    EXPECT_FALSE(ReadMmbIndex(index.bytes, index.fileSize).notMmb);

    while (index.zones < 16)
        ASSERT_TRUE(ExtendMmbIndex(index));
    EXPECT_FALSE(ExtendMmbIndex(index));
    EXPECT_EQ(index.bytes[15 * 8192 + 8], 0xAF);
}

TEST(MmbDisc, WhatFitsASlot)
{
    Bytes tooManySectors = realDisc("WIDE");
    tooManySectors[0x106] = 0x33;
    tooManySectors[0x107] = 0xFF;
    Bytes outside = realDisc("OUTSIDE");
    outside[0x106] = 0x30; // 10 sectors; the files reach further
    outside[0x107] = 0x0A;
    Bytes zip = realDisc("ZIPPED");
    put(zip, 0, std::string_view("PK\x03\x04", 4));
    const std::pair<Bytes, const char*> cases[] = {
        {realDisc("FULL", 27), ""},
        {fortyTrackDisc("FORTY"), ""},
        {MakeBlankImage(), ""},
        {Bytes(204801, 0), "larger than a single-sided 80-track disc (204,801 bytes"},
        {zip, "it is a zip archive"},
        {Bytes(600, 'A'), "plain text"},
        {tooManySectors, "declares 1023 sectors, more than the 800"},
        {outside, "does not hold together"},
    };
    for (const auto& [disc, reason] : cases) {
        const auto why = CheckMmbDisc(disc, disc.size());
        if (*reason == 0)
            EXPECT_FALSE(why) << *why;
        else
            EXPECT_NE(why.value_or("").find(reason), std::string::npos) << why.value_or(reason);
    }
}

} // namespace
