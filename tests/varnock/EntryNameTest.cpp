// The engines' pure helpers: where an entry may land, links, free space,
// line ends, and the zip engine's paths.

#include "common/EntryName.h"
#include "common/HostPath.h"
#include "unzip/Extraction.h"
#include "zip/Archiver.h"

#include <gtest/gtest.h>

namespace varnock::engine {
namespace {

using V = EntryPath::Verdict;

TEST(EntryName, Classification)
{
    struct Row {
        std::string name;
        bool junk, spaces;
        V verdict;
        std::string joined;
    } rows[] = {
        {"GAMES/ELITE.SSD", false, false, V::File, "GAMES/ELITE.SSD"},
        {"GAMES/ELITE.SSD", true, false, V::File, "ELITE.SSD"},
        {"GAMES\\ELITE.SSD", false, false, V::File, "GAMES/ELITE.SSD"},
        {"./a//b.txt", false, false, V::File, "a/b.txt"},
        {"GAMES/", false, false, V::Directory, "GAMES"},
        {"GAMES/", true, false, V::Nothing, ""},
        {"my game/a b.txt", false, true, V::File, "my_game/a_b.txt"},
        {"a..b/c..", false, false, V::File, "a..b/c.."},
        {"../x", false, false, V::Unsafe, ""},
        {"../x", true, false, V::Unsafe, ""},
        {"a/../../x", true, false, V::Unsafe, ""},
        {"a/../x", false, false, V::Unsafe, ""}, // any ".." is refused
        {"..\\x", false, false, V::Unsafe, ""},
        {"/etc/passwd", true, false, V::Unsafe, ""},
        {"\\\\server\\share\\x", false, false, V::Unsafe, ""},
        {"C:\\x", false, false, V::Unsafe, ""},
        {"z:x", true, false, V::Unsafe, ""},
        {"", false, false, V::Unsafe, ""},
        {"./", false, false, V::Nothing, ""},
        // Control characters are left out of the written names.
        {"a\nb.txt", false, false, V::File, "ab.txt"},
        {"dir\x01/f\tx\x7F.txt", false, false, V::File, "dir/fx.txt"},
        {"esc\x1B[31m/", false, false, V::Directory, "esc[31m"},
        {".\n./x", false, false, V::Unsafe, ""}, // ".." once the line feed is out
        {"\x1B/\r", false, false, V::Unsafe, ""},
    };
    for (const Row& row : rows) {
        EntryPath p = ClassifyEntryName(row.name, row.junk, row.spaces);
        EXPECT_EQ(p.verdict, row.verdict) << row.name;
        EXPECT_EQ(p.joined(), row.joined) << row.name;
        if (row.verdict == V::Unsafe) {
            EXPECT_FALSE(p.reason.empty());
        }
    }
}

TEST(EntryName, LinkTargets)
{
    struct Row {
        std::vector<std::string> link;
        std::string target;
        bool inside;
    } rows[] = {
        {{"a"}, "b", true},
        {{"d", "a"}, "../b", true},
        {{"d", "a"}, "../../b", false},
        {{"a"}, "../a", false},
        {{"a"}, "/etc", false},
        {{"a"}, "C:\\x", false},
        {{"a"}, "x/../../y", false},
        {{"a"}, "x/./y/..", true},
        {{"a"}, "", false},
        {{"d", "e", "a"}, "..\\..\\b", true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LinkStaysInside(row.link, row.target), row.inside) << row.target;
}

TEST(EntryName, PrintableNames)
{
    struct Row {
        std::string name, printed;
    } rows[] = {
        {"a\nb.txt", "a^Jb.txt"},   {"tab\there", "tab^Ihere"}, {"\x1B[31mred", "^[[31mred"},
        {"del\x7F", "del^?"},       {"cr\r", "cr^M"},           {std::string("nul\0x", 5), "nul^@x"},
        {"\xC3\xA9l\xC3\xA8ve", "\xC3\xA9l\xC3\xA8ve"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Printable(row.name), row.printed) << row.printed;
}

TEST(EntryName, Patterns)
{
    EXPECT_TRUE(MatchPattern("*.SSD", "GAMES/ELITE.SSD", true));
    EXPECT_FALSE(MatchPattern("*.ssd", "ELITE.SSD", true));
    EXPECT_TRUE(MatchPattern("*.ssd", "ELITE.SSD", false));
    EXPECT_TRUE(MatchPattern("EL?TE.SSD", "ELITE.SSD", true));
}

TEST(FreeSpace, ReserveAndRoom)
{
    const uint64_t MiB = 1u << 20;
    EXPECT_EQ(FreeSpaceReserve(8 * MiB), MiB);
    EXPECT_EQ(FreeSpaceReserve(1000 * MiB), 10 * MiB);
    EXPECT_EQ(FreeSpaceReserve(uint64_t(1) << 40), 64 * MiB);
    EXPECT_TRUE(RoomFor(3 * MiB, 8 * MiB, 8 * MiB));
    EXPECT_TRUE(RoomFor(7 * MiB, 8 * MiB, 8 * MiB));
    EXPECT_FALSE(RoomFor(7 * MiB + 1, 8 * MiB, 8 * MiB));
    EXPECT_FALSE(RoomFor(0, MiB / 2, 8 * MiB));
    EXPECT_FALSE(RoomFor(uint64_t(1) << 50, uint64_t(1) << 36, uint64_t(1) << 38));
}

TEST(LineEnds, CrLfBecomesLfAcrossBlocks)
{
    struct Row {
        std::vector<std::string> blocks;
        std::string expected;
    } rows[] = {
        {{"a\r\nb\r\n"}, "a\nb\n"},
        {{"a\r", "\nb"}, "a\nb"},
        {{"a\r", "b"}, "a\rb"},
        {{"a\r"}, "a\r"},
        {{"\n\r\r\n"}, "\n\r\n"},
    };
    for (const Row& row : rows) {
        CrLfToLf c;
        std::string out;
        for (const std::string& b : row.blocks)
            c.convert(b.data(), b.size(), out);
        c.finish(out);
        EXPECT_EQ(out, row.expected);
    }
    EXPECT_TRUE(LooksLikeText("10 PRINT\r\n", 10));
    EXPECT_FALSE(LooksLikeText("a\0b", 3));
    EXPECT_FALSE(LooksLikeText("\x01\x02\x03\x04", 4));
}

TEST(ZipPaths, NormaliseAndStoredNames)
{
    struct Row {
        std::string path, base, normal, root, stored;
    } rows[] = {
        {"a.txt", "/r", "/r/a.txt", "/r", "a.txt"},
        {"GAMES\\ELITE.SSD", "C:\\R", "/R/GAMES/ELITE.SSD", "/R", "GAMES/ELITE.SSD"},
        {"C:\\R\\x\\y.txt", "/else", "/R/x/y.txt", "/R", "x/y.txt"},
        {"/other/y.txt", "/r", "/other/y.txt", "/r", "other/y.txt"},
        {"../y.txt", "/r/s", "/r/y.txt", "/r/s", "r/y.txt"},
        {"a/./b/../c.txt", "/r", "/r/a/c.txt", "/r", "a/c.txt"},
        {"x.txt", "/", "/x.txt", "/", "x.txt"},
        {"/rx/y", "/", "/rx/y", "/r", "rx/y"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NormalisePath(row.path, row.base), row.normal) << row.path;
        EXPECT_EQ(StoredName(row.normal, row.root), row.stored) << row.path;
    }
    EXPECT_EQ(CompressionLevel(0), 6);
    EXPECT_EQ(CompressionLevel('0'), 0);
    EXPECT_EQ(CompressionLevel('9'), 9);
    EXPECT_EQ(CompressionLevel(3), 3);
}

TEST(HostPath, CaseFoldingAndUpperCase)
{
    EXPECT_EQ(FoldCase("ELITE.SSD"), "elite.ssd");
    EXPECT_EQ(FoldCase("\xC3\x89L\xC3\x88VE"), "\xC3\xA9l\xC3\xA8ve");
    EXPECT_TRUE(SameNameIgnoringCase("Images", "iMAGES"));
    EXPECT_EQ(UpperCase("c:\\games\\\xC3\xA9"), "C:\\GAMES\\\xC3\x89");
    EXPECT_EQ(ToSlashes("a\\b/c"), "a/b/c");
}

} // namespace
} // namespace varnock::engine
