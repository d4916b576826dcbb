// The ".inf" reader and the builder of ".ssd" images from ".inf" pairs; every
// built image is read back through the DFS catalogue code.

#include "diskimage/InfImageBuilder.h"

#include "FailingFiles.h"
#include "ImageBytes.h"
#include "ImageFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

// A folder for one test, removed afterwards.
class Folder {
public:
    // Qt cannot name files whose names are not UTF-8; the standard library removes them.
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(*this / "", ec);
    }
    fs::path operator/(const std::string& name) const { return fs::path(dir_.path().toStdString()) / name; }
    void write(const std::string& name, const std::string& content) const
    {
        const fs::path file = *this / name;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

private:
    QTemporaryDir dir_;
};

Bytes span(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A sound image of `count` files: a DFS catalogue whose files lie inside the
// 800 sectors and inside the image.
void ExpectSound(const Bytes& image, size_t count)
{
    EXPECT_EQ(CheckDfsImage(image, image.size()), std::nullopt);
    EXPECT_EQ(ReadDfsFiles(image).size(), count);
    for (const DfsFile& f : ReadDfsFiles(image)) {
        EXPECT_LT(f.startSector, dfs::kDiskSectors);
        EXPECT_LE(f.startSector + SectorsFor(f.length), dfs::kDiskSectors);
        EXPECT_LE(f.startSector * 256 + f.length, image.size());
    }
    EXPECT_EQ(image.at(0x106), 0x03);
    EXPECT_EQ(image.at(0x107), 0x20);
}

// The image read back through the catalogue code shows exactly these entries.
void ExpectReadsBack(const Bytes& image, const std::vector<std::string>& shown)
{
    const DiskCatalogue catalogue = ParseDiskCatalogue(image);
    for (size_t n = 0; n < 31; ++n)
        EXPECT_EQ(catalogue.entries[n], n < shown.size() ? shown[n] : "") << "entry " << n + 1;
    ExpectSound(image, shown.size());
}

TEST(InfReader, FirstFieldAndDescriptionForms)
{
    struct Row {
        std::string text;
        char dir;
        const char* name;
        uint32_t load, exec;
        bool locked;
        const char* error; // part of the reason, or "" when the text describes a file
    } rows[] = {
        {"$.ELITE FF1900 FF8023 002800\r\n", '$', "ELITE", 0x31900, 0x38023, false, ""},
        {"$.LOADER 1900 1900 100 Locked", '$', "LOADER", 0x1900, 0x1900, true, ""},
        {"ELITE FF1900 FF8023", '$', "ELITE", 0x31900, 0x38023, false, ""},
        {"ELITE 001900 008023 2800 L", '$', "ELITE", 0x1900, 0x8023, true, ""},
        {"\xEF\xBB\xBF$.BOM FFFF1900 011900 2800 08", '$', "BOM", 0x31900, 0x11900, true, ""},
        {"\"$.MY GAME\" 21900 8023 100 CRC=1A2B", '$', "MY GAME", 0x21900, 0x8023, false, ""},
        {"\"C.Q%22T%25, %07\" 0 E00,x", 'C', "Q\"T%, \x07", 0, 0xE00, false, ""},
        {"$.ACC 0 0 100 07 ORDER=3", '$', "ACC", 0, 0, false, ""},
        {"  B.GAME\t E00 8023 ,ignored", 'B', "GAME", 0x0E00, 0x8023, false, ""},
        {"\"$.QUOTED 1900 1900 LOCKED\" tail", '$', "QUOTED", 0x1900, 0x1900, true, ""},
        {"$.X 1900 1900 L CRC=1A2B", '$', "X", 0x1900, 0x1900, true, ""},
        {"$.X 1900 1900 002800 locked CRC=1A2B", '$', "X", 0x1900, 0x1900, true, ""},
        {"$.LOCKED 1900 1900 Unlocked", '$', "LOCKED", 0x1900, 0x1900, false, ""},
        {"$.X 1 12345678\nLocked", '$', "X", 0x0001, 0x5678, false, ""},
        {"$.X 19G0 8023", 0, "", 0, 0, false, "load address \"19G0\" is not hexadecimal"},
        {"$.X 1900 &8023", 0, "", 0, 0, false, "execution address \"&8023\" is not hexadecimal"},
        {"$.X 1900", 0, "", 0, 0, false, "no execution address"},
        {"$. 1900 1900", 0, "", 0, 0, false, "gives no file name"},
        {"\n$.X 1900 1900", 0, "", 0, 0, false, "names no file"},
        {"\x01.X 1900 1900", 0, "", 0, 0, false, "not a printable character"},
        {"$.A\x02 1900 1900", 0, "", 0, 0, false, "control character"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const InfParse p = ParseInfDescription(ReadInfFirstField(span(row.text)));
        if (*row.error) {
            EXPECT_FALSE(p.description);
            EXPECT_NE(p.error.find(row.error), std::string::npos) << p.error;
            continue;
        }
        ASSERT_TRUE(p.description) << p.error;
        EXPECT_EQ(p.description->directory, uint8_t(row.dir));
        EXPECT_EQ(p.description->name, row.name);
        EXPECT_EQ(p.description->load, row.load);
        EXPECT_EQ(p.description->exec, row.exec);
        EXPECT_EQ(p.description->locked, row.locked);
    }
}

TEST(InfBuilder, EliteAndLoaderByteForByte)
{
    Folder t;
    t.write("Temp/ELITE", std::string(300, 'E'));
    t.write("Temp/ELITE.inf", "$.ELITE FF1900 FF8023 002800\r\n");
    t.write("Temp/LOADER", std::string(256, 'L'));
    t.write("Temp/LOADER.inf", "$.LOADER 1900 1900 100 Locked\r\n");
    Form1State f;
    f.sTempDir = (t / "Temp").string();
    f.sFilenameNoExt = "EliteDisk";
    const InfBuildReport report = BuildImageFromInfFiles(f);
    EXPECT_EQ(report.added, 2);
    EXPECT_EQ(report.message, "");
    EXPECT_EQ(f.iZipped, 1);
    EXPECT_EQ(f.sFullFilename, f.sTempDir + "\\EliteDisk.ssd");

    Bytes expected(0x500, 0);
    test::put(expected, 0x000, "EliteDis");
    test::put(expected, 0x008, "ELITE  \x24" "LOADER \xA4");
    test::put(expected, 0x100, std::string_view("    \x00\x10\x03\x20", 8));
    test::put(expected, 0x108, std::string_view("\x00\x19\x23\x80\x2C\x01\xCC\x02", 8));
    test::put(expected, 0x110, std::string_view("\x00\x19\x00\x19\x00\x01\x00\x04", 8));
    test::put(expected, 0x200, std::string(300, 'E'));
    test::put(expected, 0x400, std::string(256, 'L'));
    const Bytes image = test::readFile(t / "Temp/EliteDisk.ssd");
    EXPECT_EQ(image, expected);
    ExpectReadsBack(image, {"$.ELITE    ", "$.LOADER  L"});
}

TEST(InfBuilder, SectorsAndLimits)
{
    // Each row adds files of these sizes and names to a new image.
    struct Row {
        std::vector<std::pair<size_t, std::string>> files; // size, ".inf" text
        int added;
        size_t nextSector;
        const char* skipped; // part of the first reason, or ""
    } rows[] = {
        {{{0, "$.A 0 0"}, {0, "$.B 0 0"}}, 2, 2, ""},
        {{{512, "$.A 0 0"}}, 1, 4, ""},
        {{{513, "$.A 0 0"}}, 1, 5, ""},
        {{{dfs::kMaxFileLength, "$.A 0 0"}}, 1, 800, ""},
        {{{256, "$.A 0 0"}, {dfs::kMaxFileLength, "$.B 0 0"}, {10, "$.C 0 0"}}, 2, 4,
         "its 798 sectors do not fit in the 797 sectors left"},
        {{{1, "$.LONGNAME1 0 0"}}, 1, 3, ""},
        {{{dfs::kMaxFileLength, "$.A 0 0"}, {0, "$.B 0 0"}}, 2, 800, ""},
        {{{1, "$.SAME 0 0"}, {1, "$.same 0 0"}}, 1, 3,
         "$.same would be the same DFS name as $.SAME (DFS keeps seven characters"},
        {{{1, "$.LONGNAME8 0 0"}, {1, "$.LONGNAME9 0 0"}}, 1, 3,
         "$.LONGNAME9 would be the same DFS name as $.LONGNAME8"},
    };
    for (const Row& row : rows) {
        InfImage image("T");
        std::vector<std::string> reasons;
        for (const auto& [size, inf] : row.files)
            if (auto why = image.add(Bytes(size, 0x5A), span(inf)))
                reasons.push_back(*why);
        EXPECT_EQ(image.count(), row.added);
        EXPECT_EQ(image.nextSector(), row.nextSector);
        if (*row.skipped) {
            ASSERT_FALSE(reasons.empty());
            EXPECT_NE(reasons[0].find(row.skipped), std::string::npos) << reasons[0];
        } else {
            EXPECT_TRUE(reasons.empty());
        }
        const Bytes bytes = image.bytes();
        EXPECT_EQ(bytes.size(), std::max<size_t>(512, row.nextSector * 256));
        EXPECT_EQ(bytes.at(0x105), 8 * row.added);
        ExpectSound(bytes, size_t(row.added));
    }

    // A long name is cut to seven characters; 64 KiB or more sets the
    // length's high bits in the mixed byte; a 32nd file finds the catalogue full.
    InfImage image("T");
    EXPECT_EQ(image.add(Bytes(70000, 1), span("$.LONGNAME1 3000 3000")), std::nullopt);
    const Bytes bytes = image.bytes();
    EXPECT_EQ(ParseDiskCatalogue(bytes).entries[0], "$.LONGNAM  ");
    EXPECT_EQ(bytes.at(0x10C), 70000 & 0xFF);
    EXPECT_EQ(bytes.at(0x10D), (70000 >> 8) & 0xFF);
    EXPECT_EQ(bytes.at(0x10E), 0x10); // length bits 16-17 = 1, start sector 2
    EXPECT_EQ(ReadDfsFiles(bytes).at(0).length, 70000u);
    for (int i = 2; i <= 31; ++i)
        EXPECT_EQ(image.add({}, span("$.F" + std::to_string(i) + " 0 0")), std::nullopt);
    EXPECT_EQ(image.add({}, span("$.F32 0 0")), "the catalogue already holds 31 files");
    EXPECT_EQ(image.bytes().at(0x105), 248);
}

TEST(InfBuilder, FolderPairingAndWhatIsLeftOut)
{
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files; // under Temp
        std::vector<std::string> shown;                         // entries read back
        const char* message; // part of the message, or "" for none
    } rows[] = {
        {"two files make no image", {{"GAME", "G"}, {"GAME.inf", "$.GAME 0 0"}}, {}, ""},
        {"no pair among three",
         {{"A", "a"}, {"B.inf", "$.B 0 0"}, {"README", "r"}}, {}, ""},
        {"mixed case and a name sorting between",
         {{"Elite", "e"}, {"ELITE-A", "a"}, {"ELITE-A.inf", "$.ELITEA 0 0"},
          {"ELITE.INF", "$.ELITE 1900 8023"}, {"readme", "r"}},
         {"$.ELITE    ", "$.ELITEA   "}, ""},
        {"from a subfolder, read where it lies",
         {{"sub/GAME", "g"}, {"sub/GAME.inf", "$.GAME 0 0 L"}, {"README", "r"}},
         {"$.GAME    L"}, ""},
        {"names that are not UTF-8 pair only with their own description",
         {{"\xff", "x"}, {"\xfe.inf", "$.A 0 0"}, {"\xff.INF", "$.B 0 0"}}, {"$.B        "}, ""},
        {"a data file named like a description, and the order its descriptions give",
         {{"GAM.INF", "g"}, {"GAM.INF.inf", "$.GAM.INF 0 0 ORDER=2"}, {"Z", "z"},
          {"Z.inf", "$.Z 0 0 ORDER=1"}},
         {"$.Z        ", "$.GAM.INF  "}, ""},
        {"a control byte in a reason is shown escaped",
         {{"A", "a"}, {"A.inf", "$.A\x01 0 0"}, {"R", "r"}}, {},
         "A: the name \"$.A\\x01\" holds a control character (A.inf)"},
        {"a bad address is named, the rest added",
         {{"A", "a"}, {"A.inf", "$.A 1900 1900"}, {"B", "b"}, {"B.inf", "$.B XYZ 1900"}},
         {"$.A        "}, "B: the load address \"XYZ\" is not hexadecimal (B.inf)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Folder t;
        for (const auto& [name, content] : row.files)
            t.write("Temp/" + name, content);
        Form1State f;
        f.sTempDir = (t / "Temp").string();
        f.sFilenameNoExt = "Disk";
        const InfBuildReport report = BuildImageFromInfFiles(f);
        EXPECT_EQ(report.added, int(row.shown.size()));
        EXPECT_EQ(f.iZipped, row.shown.empty() ? 0 : 1);
        EXPECT_EQ(fs::exists(t / "Temp/Disk.ssd"), !row.shown.empty());
        if (*row.message)
            EXPECT_NE(report.message.find(row.message), std::string::npos) << report.message;
        else
            EXPECT_EQ(report.message, "");
        if (!row.shown.empty())
            ExpectReadsBack(test::readFile(t / "Temp/Disk.ssd"), row.shown);
    }
}

TEST(InfBuilder, FilesThatCannotBeReadOrWritten)
{
    Folder t;
    t.write("GAME", "g");
    t.write("GAME.inf", "$.GAME 0 0");
    fs::create_directory(t / "FOLDER");
    InfImage image("T");
    InfBuildReport report;
    AddInfFileToImage({t / "GAME", t / "MISSING.inf", "GAME"}, image, report);
    AddInfFileToImage({t / "FOLDER", t / "GAME.inf", "FOLDER"}, image, report);
    EXPECT_EQ(image.count(), 0);
    ASSERT_EQ(report.skipped.size(), 2u);
    EXPECT_EQ(report.skipped[0],
              "GAME: its description MISSING.inf cannot be read (No such file or directory)");
    EXPECT_EQ(report.skipped[1], "FOLDER: it cannot be read (not a regular file)");

    // An old, longer image is replaced; a write that fails is reported and
    // leaves the old image as it was.
    t.write("Temp/GAME", "g");
    t.write("Temp/GAME.inf", "$.GAME 0 0");
    t.write("Temp/README", "r");
    t.write("Temp/Old.ssd", std::string(4096, 'x'));
    Form1State f;
    f.sTempDir = (t / "Temp").string();
    f.sFilenameNoExt = "Old";
    {
        test::FileSizeLimit full;
        const InfBuildReport failed = BuildImageFromInfFiles(f);
        EXPECT_FALSE(failed.imageWritten);
        EXPECT_EQ(failed.message.rfind("The disk image " + f.sTempDir + "\\Old.ssd could not be written: ", 0), 0u)
            << failed.message;
        EXPECT_EQ(f.iZipped, 0);
    }
    EXPECT_EQ(fs::file_size(t / "Temp/Old.ssd"), 4096u);
    EXPECT_TRUE(BuildImageFromInfFiles(f).imageWritten);
    EXPECT_EQ(fs::file_size(t / "Temp/Old.ssd"), 768u);
}

} // namespace
} // namespace tavrin
