// The catalogue as bytes: what the panel shows for given bytes, and the bytes
// that writing the title and the boot option produces.

#include "ImageBytes.h"

#include "diskimage/CodePage1252.h"
#include "diskimage/DiskCatalogue.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

using namespace std::string_literals;
using namespace tavrin;
using namespace tavrin::test;

namespace
{

struct EntryCase {
    const char* what;
    std::string name7; // seven name bytes
    uint8_t directory;
    std::string shown;
};

void PrintTo(const EntryCase& c, std::ostream* out)
{
    *out << c.what;
}

class EntryDisplay : public testing::TestWithParam<EntryCase>
{
};

TEST_P(EntryDisplay, ShowsTheEntryAsThePanelDoes)
{
    const EntryCase& c = GetParam();
    Bytes image = zeroImage();
    putEntry(image, 1, c.name7, c.directory);
    EXPECT_EQ(FormatCatalogueEntry(image, CatalogueEntryOffset(1)), c.shown) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EntryDisplay,
    testing::Values(EntryCase{"locked, directory $", "ELITE  ", 0xA4, "$.ELITE   L"},
                    EntryCase{"unlocked, directory $", "ELITE  ", 0x24, "$.ELITE    "},
                    EntryCase{"other directory, locked", "B      ", 0xC1, "A.B       L"},
                    EntryCase{"seven-letter name", "LOADER2", 0x57, "W.LOADER2  "},
                    EntryCase{"first name byte 0 hides data", "\0LITE  "s, 0x24, ""},
                    EntryCase{"directory 0x10", "ELITE  ", 0x10, ""},
                    EntryCase{"directory 0x10 locked", "ELITE  ", 0x90, ""},
                    EntryCase{"directory 0x11 shows", "A      ", 0x11, "\x11.A        "},
                    EntryCase{"NUL padding shows as spaces", "ELITE\0\0"s, 0xA4, "$.ELITE   L"},
                    EntryCase{"directory byte 0 shows a space", "GAME   ", 0x80, " .GAME    L"},
                    EntryCase{"Windows-1252 letters", "\xA3\x80\xE9   X"s, 0x24,
                              "$.\u00A3\u20AC\u00E9   X  "}));

TEST(CatalogueEntry, OffsetsOfBothCatalogues)
{
    EXPECT_EQ(CatalogueEntryOffset(1), 0x008u);
    EXPECT_EQ(CatalogueEntryOffset(31), 0x0F8u);
    EXPECT_EQ(CatalogueEntryOffset(32), 0x208u);
    EXPECT_EQ(CatalogueEntryOffset(62), 0x2F8u);
    EXPECT_EQ(CatalogueEntryOffset(0), std::numeric_limits<size_t>::max());
    EXPECT_EQ(CatalogueEntryOffset(63), std::numeric_limits<size_t>::max());
    EXPECT_EQ(FormatCatalogueEntry(zeroImage(), CatalogueEntryOffset(63)), "");
}

TEST(CatalogueEntry, RunningPositionCountsFromOneAndMovesOnByAnEntry)
{
    Bytes image = zeroImage();
    putEntry(image, 1, "FIRST", 0x24);
    putEntry(image, 2, "SECOND", 0xA4);
    int iCatPos = 9;
    EXPECT_EQ(FormatCatalogueEntry(image, iCatPos), "$.FIRST    ");
    EXPECT_EQ(iCatPos, 17);
    EXPECT_EQ(FormatCatalogueEntry(image, iCatPos), "$.SECOND  L");
    EXPECT_EQ(iCatPos, 25);
    iCatPos = 0x2F9; // entry 62, the last 8 bytes of a 0x300-byte image
    EXPECT_EQ(FormatCatalogueEntry(image, iCatPos), "");
    iCatPos = 0x2FA; // one byte short
    EXPECT_EQ(FormatCatalogueEntry(image, iCatPos), "");
    EXPECT_EQ(iCatPos, 0x302);
    iCatPos = 0;
    EXPECT_EQ(FormatCatalogueEntry(image, iCatPos), "");
}

TEST(CatalogueEntry, EntriesPastTheFileCountAreShown)
{
    Bytes image = zeroImage();
    image[0x105] = 0x08; // one file
    putEntry(image, 1, "ONE", 0x24);
    putEntry(image, 2, "TWO", 0x24);
    const DiskCatalogue catalogue = ParseDiskCatalogue(image);
    EXPECT_EQ(catalogue.entries[0], "$.ONE      ");
    EXPECT_EQ(catalogue.entries[1], "$.TWO      ");
}

struct TitleCase {
    const char* what;
    std::string head8;
    std::string tail4;
    std::string shown;
};

void PrintTo(const TitleCase& c, std::ostream* out)
{
    *out << c.what;
}

class TitleDisplay : public testing::TestWithParam<TitleCase>
{
};

TEST_P(TitleDisplay, ShowsTheTitle)
{
    const TitleCase& c = GetParam();
    Bytes image = zeroImage();
    put(image, 0x000, c.head8);
    put(image, 0x100, c.tail4);
    EXPECT_EQ(ReadCatalogueTitle(image), c.shown) << c.what;
    EXPECT_EQ(ParseDiskCatalogue(image).title, c.shown) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TitleDisplay,
    testing::Values(TitleCase{"12 characters", "ABCDEFGH", "IJKL", "ABCDEFGHIJKL"},
                    TitleCase{"space padded", "ELITE   ", "    ", "ELITE       "},
                    TitleCase{"NUL padded", "ELITE\0\0\0"s, "\0\0\0\0"s, "ELITE"},
                    TitleCase{"NUL in the tail", "ABCDEFGH", "IJ\0\0"s, "ABCDEFGHIJ"},
                    TitleCase{"NUL ends it before the tail", "AB\0\0\0\0\0\0"s, "IJKL", "AB"},
                    TitleCase{"empty", "\0\0\0\0\0\0\0\0"s, "\0\0\0\0"s, ""},
                    TitleCase{"Windows-1252", "\x80\xE9\x8C\x81    "s, "\xFF   ",
                              "\u20AC\u00E9\u0152\u0081    \u00FF   "}));

struct BootCase {
    uint8_t byte;
    std::optional<int> option;
};

void PrintTo(const BootCase& c, std::ostream* out)
{
    *out << "byte " << int(c.byte);
}

class BootOptionDisplay : public testing::TestWithParam<BootCase>
{
};

TEST_P(BootOptionDisplay, ReadsBits4And5WhateverTheSectorCountBits)
{
    Bytes image = zeroImage();
    image[0x106] = GetParam().byte;
    EXPECT_EQ(ReadBootOption(image), GetParam().option);
}

// 800-sector disks (low bits 3) as before, 400-sector ones (low bits 1) too;
// a bit that no DFS sets shows no option.
INSTANTIATE_TEST_SUITE_P(Table, BootOptionDisplay,
                         testing::Values(BootCase{0x03, 0}, BootCase{0x13, 1}, BootCase{0x23, 2},
                                         BootCase{0x33, 3}, BootCase{0x21, 2}, BootCase{0x00, 0},
                                         BootCase{0x31, 3}, BootCase{0x43, std::nullopt},
                                         BootCase{0x27, std::nullopt}));

TEST(WatfordCatalogue, EightMarkerBytesShow62Entries)
{
    Bytes image = zeroImage();
    putEntry(image, 31, "LAST31", 0x24);
    putEntry(image, 32, "FIRST32", 0xA4);
    putEntry(image, 62, "LAST62", 0x42);
    putWatfordMarker(image);
    const DiskCatalogue catalogue = ParseDiskCatalogue(image);
    EXPECT_TRUE(catalogue.watford);
    EXPECT_EQ(catalogue.entries[30], "$.LAST31   ");
    EXPECT_EQ(catalogue.entries[31], "$.FIRST32 L");
    EXPECT_EQ(catalogue.entries[61], "B.LAST62   ");
}

TEST(WatfordCatalogue, SevenMarkerBytesLeaveBoxes32To62Empty)
{
    for (size_t odd = 0x200; odd < 0x208; ++odd) {
        Bytes image = zeroImage();
        putEntry(image, 32, "FIRST32", 0xA4);
        putEntry(image, 62, "LAST62", 0x42);
        putWatfordMarker(image);
        image[odd] = 0xAB;
        const DiskCatalogue catalogue = ParseDiskCatalogue(image);
        EXPECT_FALSE(catalogue.watford) << std::hex << odd;
        for (int n = 32; n <= 62; ++n)
            EXPECT_EQ(catalogue.entries[size_t(n - 1)], "") << n;
    }
}

// A file shorter than the bytes read: what lies past its end shows empty.
struct ShortCase {
    size_t size;
    std::string title;
    bool entry1;
    bool entry2;
    std::optional<int> boot;
    bool watford;
    bool entry62;
};

void PrintTo(const ShortCase& c, std::ostream* out)
{
    *out << c.size << " bytes";
}

class ShortImage : public testing::TestWithParam<ShortCase>
{
};

TEST_P(ShortImage, BoxesPastTheEndAreEmpty)
{
    const ShortCase& c = GetParam();
    Bytes full = zeroImage();
    put(full, 0, "ABCDEFGH");
    put(full, 0x100, "IJKL");
    putEntry(full, 1, "FIRST", 0x24);
    putEntry(full, 2, "SECOND", 0x24);
    full[0x106] = 0x13;
    putWatfordMarker(full);
    putEntry(full, 62, "LAST", 0x24);
    const Bytes image(full.begin(), full.begin() + std::ptrdiff_t(c.size));

    const DiskCatalogue catalogue = ParseDiskCatalogue(image);
    EXPECT_EQ(catalogue.title, c.title);
    EXPECT_EQ(catalogue.entries[0], c.entry1 ? "$.FIRST    " : "");
    EXPECT_EQ(catalogue.entries[1], c.entry2 ? "$.SECOND   " : "");
    EXPECT_EQ(catalogue.bootOption, c.boot);
    EXPECT_EQ(catalogue.watford, c.watford);
    EXPECT_EQ(catalogue.entries[61], c.entry62 ? "$.LAST     " : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShortImage,
    testing::Values(ShortCase{0, "", false, false, std::nullopt, false, false},
                    ShortCase{5, "ABCDE", false, false, std::nullopt, false, false},
                    ShortCase{15, "ABCDEFGH", false, false, std::nullopt, false, false},
                    ShortCase{16, "ABCDEFGH", true, false, std::nullopt, false, false},
                    ShortCase{0x102, "ABCDEFGHIJ", true, true, std::nullopt, false, false},
                    ShortCase{0x106, "ABCDEFGHIJKL", true, true, std::nullopt, false, false},
                    ShortCase{0x107, "ABCDEFGHIJKL", true, true, 1, false, false},
                    ShortCase{0x207, "ABCDEFGHIJKL", true, true, 1, false, false},
                    ShortCase{0x2FF, "ABCDEFGHIJKL", true, true, 1, true, false},
                    ShortCase{0x300, "ABCDEFGHIJKL", true, true, 1, true, true}));

struct DfsCheckCase {
    size_t size;
    uint8_t fileCount;
    std::string head; // the first bytes
    bool dfs;
    std::string reason;
    std::string sector1 = {}; // bytes from 0x100 on, before the file count
    std::vector<std::pair<size_t, std::string>> more = {}; // bytes further on
};

void PrintTo(const DfsCheckCase& c, std::ostream* out)
{
    *out << c.size << " bytes, count " << int(c.fileCount) << ", head " << c.head.size();
}

class DfsCheck : public testing::TestWithParam<DfsCheckCase>
{
};

TEST_P(DfsCheck, TellsWhyBytesAreNoDfsImage)
{
    const DfsCheckCase& c = GetParam();
    Bytes image = zeroImage(c.size);
    put(image, 0, c.head);
    put(image, 0x100, c.sector1);
    for (const auto& [offset, bytes] : c.more)
        put(image, offset, bytes);
    if (c.size > 0x105)
        image[0x105] = c.fileCount;
    const auto reason = CheckDfsImage(image, image.size());
    EXPECT_EQ(!reason.has_value(), c.dfs);
    EXPECT_EQ(reason.value_or(""), c.reason);
}

const std::string kShort = "it is shorter than the two sectors of a DFS catalogue (";

INSTANTIATE_TEST_SUITE_P(
    Table, DfsCheck,
    testing::Values(
        DfsCheckCase{512, 0x00, "", true, ""}, DfsCheckCase{512, 0xF8, "", true, ""},
        DfsCheckCase{204800, 0x10, "ELITE   ", true, ""},
        DfsCheckCase{512, 0x00, "PK", true, ""}, // a title may start so
        DfsCheckCase{511, 0x00, "", false, kShort + "511 bytes, 512 needed)"},
        DfsCheckCase{0, 0x00, "", false, kShort + "0 bytes, 512 needed)"},
        DfsCheckCase{512, 0x05, "", false,
                     "its file count byte at 0x105 is 0x05, not a multiple of 8"},
        DfsCheckCase{512, 0xFF, "", false,
                     "its file count byte at 0x105 is 0xFF, not a multiple of 8"},
        DfsCheckCase{1024, 0x00, "PK\x03\x04"s, false, "it is a zip archive"},
        DfsCheckCase{1024, 0x00, "PK\x05\x06"s, false, "it is a zip archive"},
        DfsCheckCase{1024, 0x00, "\x1F\x8B\x08"s, false, "it is a gzip file"},
        DfsCheckCase{1024, 0x00, "\x7F" "ELF\x02"s, false, "it is a program"},
        DfsCheckCase{1024, 0x00, "\x89PNG\r\n"s, false, "it is a PNG picture"},
        DfsCheckCase{1024, 0x00, "GIF89a", false, "it is a GIF picture"},
        DfsCheckCase{1024, 0x00, "GIF87a", false, "it is a GIF picture"},
        DfsCheckCase{1024, 0x00, "\xFF\xD8\xFF\xE0"s, false, "it is a JPEG picture"},
        DfsCheckCase{1024, 0x00, "%PDF-1.4", false, "it is a PDF document"},
        DfsCheckCase{1024, 0x00, "UEF File!\0"s, false, "it is a UEF tape image"},
        DfsCheckCase{1024, 0x00, "SQLite format 3\0"s, false, "it is an SQLite database"},
        DfsCheckCase{1024, 0x00, "\0\x01\0\0Standard Jet DB\0"s, false, "it is a Jet database"},
        DfsCheckCase{300, 0x00, "Rar!\x1A\x07\x01"s, false, "it is a RAR archive"},
        // ADFS root directories (S, M, L; E), and a DOS boot sector.
        DfsCheckCase{0x700, 0x00, "", false, "it is an ADFS disk image", "",
                     {{0x201, "Hugo"}, {0x6FB, "Hugo"}}},
        DfsCheckCase{0x1000, 0x00, "", false, "it is an ADFS disk image", "",
                     {{0x801, "Nick"}, {0xFFB, "Nick"}}},
        DfsCheckCase{0x700, 0x00, "", true, "", "", {{0x201, "Hugo"}}}, // a file's bytes
        DfsCheckCase{512, 0x00, "\xEB\x3C\x90MSDOS5.0\0\x02\x02\x01\0\x02\xE0\0\x40\x0B\xF0"s,
                     false, "it is a DOS disk image"},
        // A title may begin like a signature of letters: the catalogue decides.
        DfsCheckCase{1024, 0x00, "GIF89a D", true, "", "EMOS\0\0\x03\x20"s},
        DfsCheckCase{1024, 0x08, "%PDF-VIE", true, "", "WER \0\0\x01\x90\0\x19\0\0\0\x28\0\x02"s},
        DfsCheckCase{1024, 0x08, "GIF89a D", false, "it is a GIF picture",
                     "EMOS\0\0\x03\x20\0\x19\0\0\0\x28\x03\x20"s}, // a file past the end
        // One with a control byte cannot be typed as a title.
        DfsCheckCase{1024, 0x00, "PK\x03\x04"s, false, "it is a zip archive", "    \0\0\x03\x20"s},
        DfsCheckCase{512, 0x20, std::string(510, 'a') + "\r\n", false,
                     "its first 512 bytes are plain text"},
        // One control byte anywhere in the two sectors: no text file.
        DfsCheckCase{512, 0x20, std::string(300, 'a') + "\x03" + std::string(211, 'a'), true,
                     ""}));

TEST(DfsCheck, TextPastTheCatalogueSectorsDoesNotCount)
{
    Bytes image(2048, 'x');
    image[0x105] = 0x08;
    image[0x106] = 0x03;
    EXPECT_EQ(CheckDfsImage(image, image.size()), std::nullopt);
    std::fill(image.begin(), image.begin() + 512, uint8_t(' '));
    EXPECT_EQ(CheckDfsImage(image, image.size()).value_or(""),
              "its first 512 bytes are plain text");
}

struct TitleBytesCase {
    const char* what;
    std::string typed; // UTF-8
    std::string bytes; // the twelve bytes written
};

void PrintTo(const TitleBytesCase& c, std::ostream* out)
{
    *out << c.what;
}

class TitleEncoding : public testing::TestWithParam<TitleBytesCase>
{
};

TEST_P(TitleEncoding, WritesTwelveCodePageBytes)
{
    const TitleBytesCase& c = GetParam();
    const auto bytes = EncodeCatalogueTitle(c.typed);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TitleEncoding,
    testing::Values(
        TitleBytesCase{"3 characters padded with spaces", "ABC", "ABC         "},
        TitleBytesCase{"15 characters cut to 12", "ABCDEFGHIJKLMNO", "ABCDEFGHIJKL"},
        TitleBytesCase{"empty", "", "            "},
        TitleBytesCase{"Latin-1 letter", "Caf\u00E9", "Caf\xE9        "},
        TitleBytesCase{"combining accent composed", "Cafe\u0301", "Caf\xE9        "},
        TitleBytesCase{"Windows-1252 extras", "\u20AC\u0152\u2122", "\x80\x8C\x99         "},
        TitleBytesCase{"undefined byte's character", "\u0081", "\x81           "},
        TitleBytesCase{"characters the code page lacks", "\u65E5\u672C\u0416", "???         "},
        TitleBytesCase{"a character beyond 16 bits is one ?", "A\U0001F600B", "A?B         "},
        TitleBytesCase{"invalid UTF-8",
                       "A\xFF"
                       "B",
                       "A?B         "},
        TitleBytesCase{"cut counts characters, not bytes",
                       "\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9"
                       "\u00E9",
                       "\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9"}));

TEST(TitleEncoding, EveryByteReadsBackAsItself)
{
    for (int b = 1; b < 256; ++b) {
        const std::string shown = Cp1252ToUtf8(std::vector<uint8_t>{uint8_t(b)});
        EXPECT_EQ(EncodeCatalogueTitle(shown)[0], b) << b;
    }
}

TEST(TitleWriting, CharactersNineToTwelveLandInSectorOne)
{
    Bytes image = zeroImage();
    putEntry(image, 1, "ELITE", 0xA4);
    image[0x104] = 0x07;
    image[0x105] = 0x08;
    image[0x106] = 0x21;
    image[0x107] = 0x90;
    Bytes expected = image;
    put(expected, 0x000, "ABCDEFGH");
    put(expected, 0x100, "IJKL");

    ASSERT_TRUE(WriteCatalogueTitle(image, "ABCDEFGHIJKLMNO"));
    EXPECT_EQ(image, expected);

    ASSERT_TRUE(WriteCatalogueTitle(image, "XYZ"));
    put(expected, 0x000, "XYZ     ");
    put(expected, 0x100, "    ");
    EXPECT_EQ(image, expected);
}

TEST(TitleWriting, RefusesAnImageTooShortForTheTitle)
{
    Bytes image = zeroImage(0x103);
    EXPECT_FALSE(WriteCatalogueTitle(image, "ABC"));
    EXPECT_EQ(image, zeroImage(0x103));
    Bytes longEnough = zeroImage(0x104);
    EXPECT_TRUE(WriteCatalogueTitle(longEnough, "ABCDEFGHIJKL"));
    EXPECT_EQ(longEnough[0x103], 'L');
}

struct BootByteCase {
    uint8_t before;
    int option;
    uint8_t after;
};

void PrintTo(const BootByteCase& c, std::ostream* out)
{
    *out << "byte " << int(c.before) << ", option " << c.option;
}

class BootOptionWriting : public testing::TestWithParam<BootByteCase>
{
};

TEST_P(BootOptionWriting, ChangesOnlyBits4And5)
{
    const BootByteCase& c = GetParam();
    EXPECT_EQ(BootOptionByte(c.before, c.option), c.after);
    Bytes image = zeroImage();
    image[0x106] = c.before;
    image[0x107] = 0x5A;
    ASSERT_TRUE(WriteBootOption(image, c.option));
    EXPECT_EQ(image[0x106], c.after);
    EXPECT_EQ(image[0x107], 0x5A);
}

INSTANTIATE_TEST_SUITE_P(Table, BootOptionWriting,
                         testing::Values(BootByteCase{0x03, 3, 0x33}, BootByteCase{0x33, 0, 0x03},
                                         BootByteCase{0x03, 1, 0x13}, BootByteCase{0x13, 2, 0x23},
                                         BootByteCase{0x21, 0, 0x01}, BootByteCase{0x01, 2, 0x21},
                                         BootByteCase{0x00, 3, 0x30}, BootByteCase{0xC7, 1, 0xD7},
                                         BootByteCase{0xFF, 0, 0xCF}));

TEST(BootOptionWriting, RefusesOptionsOutside0To3AndShortImages)
{
    Bytes image = zeroImage();
    image[0x106] = 0x03;
    EXPECT_FALSE(WriteBootOption(image, 4));
    EXPECT_FALSE(WriteBootOption(image, -1));
    EXPECT_EQ(image[0x106], 0x03);
    Bytes shortImage = zeroImage(0x106);
    EXPECT_FALSE(WriteBootOption(shortImage, 3));
    EXPECT_EQ(shortImage, zeroImage(0x106));
}

// Load 0x1900, exec 0x8023, length 0x2800 and start sector 2, with the high
// bits of each from the mixed byte; both address bits set read as FF.
TEST(FileInfo, TakesTheHighBitsFromTheMixedByte)
{
    const uint32_t table[][5] = {{0x00, 0x001900, 0x008023, 0x02800, 0x002},
                                 {0xFF, 0xFF1900, 0xFF8023, 0x32800, 0x302},
                                 {0x55, 0x011900, 0x018023, 0x12800, 0x102},
                                 {0xA6, 0x011900, 0x028023, 0x22800, 0x202},
                                 {0xCC, 0xFF1900, 0xFF8023, 0x02800, 0x002}};
    for (const auto& [mixed, load, exec, length, start] : table) {
        Bytes image = zeroImage(0x400);
        putEntry(image, 2, "ELITE", 0xA4);
        put(image, 0x110, "\0\x19\x23\x80\0\x28"s + char(mixed) + "\x02");
        const auto file = ReadCatalogueFile(image, 2);
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(std::tie(file->box, file->name, file->directory, file->locked),
                  std::make_tuple(2, "ELITE", "$", true));
        EXPECT_EQ(std::make_tuple(*file->load, *file->exec, *file->length, *file->startSector),
                  std::make_tuple(load, exec, length, int(start)))
            << mixed;
    }
}

// Files of 0x2800 (40 sectors) and 0x201 (3 sectors) bytes; a Watford
// catalogue with one of 0x10000 bytes (256 sectors).
Bytes withFiles(uint8_t count, uint8_t high, uint8_t low, bool watford = false)
{
    Bytes image = zeroImage(0x400);
    put(image, 0x105, std::string{char(count), char(high), char(low)});
    put(image, 0x108, "\0\0\0\0\0\x28\0\x02\0\0\0\0\x01\x02\0\x2A"s);
    if (watford) {
        putWatfordMarker(image);
        put(image, 0x305, "\x08\0\0\0\0\0\0\0\0\x10\x30"s);
    }
    return image;
}

TEST(FreeSpace, IsTheSectorCountLessCatalogueAndCountedFiles)
{
    const std::vector<std::tuple<Bytes, std::optional<int>, std::optional<int>>> table = {
        {MakeBlankImage(), 800, 798},
        {withFiles(0x10, 0x21, 0x90), 400, 355},
        {withFiles(0x08, 0x03, 0x20), 800, 758},       // one file counted
        {withFiles(0x10, 0x03, 0x20, true), 800, 497}, // Watford
        {withFiles(0x10, 0x00, 0x10), 16, 0},          // over full
        {Bytes(0x10F, 0x08), 8, std::nullopt}};        // the record is cut
    for (const auto& [image, sectors, free] : table) {
        EXPECT_EQ(ReadSectorCount(image), sectors);
        EXPECT_EQ(FreeSectors(image), free) << image.size();
    }
}

TEST(VisibleText, ControlCharactersAndTheBackslashAreEscaped)
{
    const std::pair<std::string, std::string> table[] = {
        {"$.ELITE   L", "$.ELITE   L"},
        {"A\nB\rC\tD", "A\\x0AB\\x0DC\\x09D"},
        {"\x1B[2J\x01\x7F", "\\x1B[2J\\x01\\x7F"},
        {"\u0081\u009B\u00A0\u00E9\u20AC", "\\x81\\x9B\u00A0\u00E9\u20AC"},
        {"C:\\x0A", "C:\\\\x0A"},
        {"\xA3\xFF\xC3", "\\xA3\\xFF\\xC3"}};
    for (const auto& [text, shown] : table)
        EXPECT_EQ(WithVisibleControlCharacters(text), shown);
}

TEST(ImgFilename, ExtensionIsCheckedWithoutRegardToCase)
{
    EXPECT_TRUE(IsImgFilename("blank.img"));
    EXPECT_TRUE(IsImgFilename("BLANK.IMG"));
    EXPECT_TRUE(IsImgFilename(".Img"));
    EXPECT_FALSE(IsImgFilename("blank.ssd"));
    EXPECT_FALSE(IsImgFilename("blank"));
    EXPECT_FALSE(IsImgFilename("img"));
    EXPECT_FALSE(IsImgFilename("blank.img "));
    EXPECT_FALSE(IsImgFilename(""));
}

TEST(BlankImage, ByteForByte)
{
    const Bytes image = MakeBlankImage();
    ASSERT_EQ(image.size(), 204800u);
    for (size_t i = 0; i < image.size(); ++i) {
        uint8_t expected = i < 0x200 ? 0x00 : 0xE5;
        if (i == 0x106)
            expected = 0x03;
        if (i == 0x107)
            expected = 0x20;
        ASSERT_EQ(image[i], expected) << "at offset " << i;
    }
    EXPECT_EQ(image[0x1FF], 0x00);
    EXPECT_EQ(image[0x200], 0xE5);
}

TEST(BlankImage, ReadsBackEmptyWithBootOptionNothing)
{
    const Bytes image = MakeBlankImage();
    const DiskCatalogue catalogue = ParseDiskCatalogue(image);
    EXPECT_EQ(catalogue.title, "");
    EXPECT_FALSE(catalogue.watford);
    for (const std::string& entry : catalogue.entries)
        EXPECT_EQ(entry, "");
    EXPECT_EQ(catalogue.bootOption, 0);
    EXPECT_FALSE(CheckDfsImage(image, image.size()).has_value());
}

} // namespace
