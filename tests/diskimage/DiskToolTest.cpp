// tavrin-disk run as the child process it is: exit status, standard output
// and standard error.

#include "DiskToolRun.h"
#include "FailingFiles.h"
#include "ImageBytes.h"
#include "ImageFiles.h"

#include "core/TextHelpers.h"
#include "diskimage/DiskCatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace tavrin;
using namespace tavrin::test;

namespace
{

// A Watford 62-file image with a few entries of each kind.
Bytes sampleImage()
{
    Bytes image = MakeBlankImage();
    put(image, 0x000, "Acornsof");
    put(image, 0x100, "t   ");
    putEntry(image, 1, "ELITE", 0xA4);
    putEntry(image, 2, "LOADER", 0x24);
    putEntry(image, 3, std::string_view("\0HIDDEN", 7), 0x24);
    putEntry(image, 4, "SECRET", 0x10);
    putEntry(image, 5, "HELLO", 0x41);
    image[0x105] = 0x28;
    image[0x106] = 0x23;
    putWatfordMarker(image);
    put(image, 0x208, std::string(248, '\0'));
    putEntry(image, 32, "MORE", 0xA4);
    putEntry(image, 62, "LAST", 0x24);
    return image;
}

class DiskTool : public testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    fs::path root() const { return fs::path(dir_.path().toStdString()); }
    fs::path path(const std::string& name) const { return root() / name; }
    QString arg(const std::string& name) const { return QString::fromStdString(path(name)); }
    QTemporaryDir dir_;
};

struct BadArgumentsCase {
    QStringList args;
    std::string message;
};

void PrintTo(const BadArgumentsCase& c, std::ostream* out)
{
    *out << "tavrin-disk " << c.args.join(' ').toStdString();
}

class DiskToolBadArguments : public testing::TestWithParam<BadArgumentsCase>
{
};

TEST_P(DiskToolBadArguments, ExitWith2AndAMessage)
{
    const ToolRun run = runTool(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tavrin-disk: " + GetParam().message + "\nTry 'tavrin-disk --help'.\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiskToolBadArguments,
    testing::Values(
        BadArgumentsCase{{}, "no command given"},
        BadArgumentsCase{{"list", "a.ssd"}, "unknown command 'list'"},
        BadArgumentsCase{{"cat"}, "cat: no IMAGE given"},
        BadArgumentsCase{{"cat", "a.ssd", "b.ssd"}, "cat: unexpected argument 'b.ssd'"},
        BadArgumentsCase{{"cat", "--xml", "a.ssd"}, "cat: unknown option '--xml'"},
        BadArgumentsCase{{"cat", "--json=yes", "a.ssd"}, "cat: unknown option '--json=yes'"},
        BadArgumentsCase{{"set", "a.ssd"},
                         "set: nothing to set; give --title TEXT, --boot 0..3 or both"},
        BadArgumentsCase{{"set", "a.ssd", "--boot", "4"},
                         "set: --boot takes 0, 1, 2 or 3, not '4'"},
        BadArgumentsCase{{"set", "a.ssd", "--boot=x"}, "set: --boot takes 0, 1, 2 or 3, not 'x'"},
        BadArgumentsCase{{"set", "a.ssd", "--boot", "12"},
                         "set: --boot takes 0, 1, 2 or 3, not '12'"},
        BadArgumentsCase{{"set", "a.ssd", "--boot"}, "set: --boot needs a value"},
        BadArgumentsCase{{"set", "a.ssd", "--title"}, "set: --title needs a value"},
        BadArgumentsCase{{"set", "a.ssd", "--boot", "1", "--boot", "2"},
                         "set: --boot is given twice"},
        BadArgumentsCase{{"set", "--title", "X"}, "set: no IMAGE given"},
        BadArgumentsCase{{"blank", "x.ssd"}, "Invalid filename, the extension must be .img"},
        BadArgumentsCase{{"blank", "img"}, "Invalid filename, the extension must be .img"},
        BadArgumentsCase{{"blank"}, "blank: no IMAGE given"}));

TEST(DiskToolHelp, ExplainsEachCommand)
{
    const ToolRun run = runTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    for (const char* text :
         {"Usage: tavrin-disk cat [--info] [--json] IMAGE\n       tavrin-disk set",
          "set IMAGE [--title TEXT] [--boot 0..3]", "blank IMAGE", "Exit status",
          "\n    3  build wrote its image but left some files out"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;

    const ToolRun version = runTool({"--version"});
    EXPECT_EQ(version.out, "tavrin-disk " TAVRIN_VERSION "\n");
    EXPECT_EQ(version.status, 0);

    for (const char* command : {"cat", "set", "blank"}) {
        const ToolRun help = runTool({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("Usage: tavrin-disk ") + command, 0), 0u) << command;
    }
}

TEST_F(DiskTool, CatPrintsTheCatalogueAsThePanelShowsIt)
{
    writeFile(path("sample.ssd"), sampleImage());
    const ToolRun run = runTool({"cat", arg("sample.ssd")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::string expected = "Title: Acornsoft   \nBoot: 2 Run\n";
    const std::map<int, std::string> shown = {{1, "$.ELITE   L"},
                                              {2, "$.LOADER   "},
                                              {5, "A.HELLO    "},
                                              {32, "$.MORE    L"},
                                              {62, "$.LAST     "}};
    for (int n = 1; n <= 62; ++n) {
        char number[4];
        std::snprintf(number, sizeof number, "%2d ", n);
        expected += number + (shown.count(n) ? shown.at(n) : "") + "\n";
    }
    EXPECT_EQ(run.out, expected);
}

TEST_F(DiskTool, CatJsonPrintsOneObject)
{
    writeFile(path("sample.ssd"), sampleImage());
    const ToolRun run = runTool({"cat", "--json", arg("sample.ssd")});
    ASSERT_EQ(run.status, 0) << run.err;

    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    ASSERT_TRUE(json.isObject());
    const QJsonObject object = json.object();
    EXPECT_EQ(object.keys(), QStringList({"boot", "entries", "title"}));
    EXPECT_EQ(object["title"].toString(), "Acornsoft   ");
    EXPECT_EQ(object["boot"].toInt(-1), 2);
    const QJsonArray entries = object["entries"].toArray();
    ASSERT_EQ(entries.size(), 62);
    EXPECT_EQ(entries[0].toString(), "$.ELITE   L");
    EXPECT_EQ(entries[2].toString(), "");
    EXPECT_EQ(entries[3].toString(), "");
    EXPECT_EQ(entries[31].toString(), "$.MORE    L");
    EXPECT_EQ(entries[61].toString(), "$.LAST     ");
    EXPECT_EQ(run.out.back(), '\n');
}

TEST_F(DiskTool, CatJsonEscapesTextAndGivesNullForAnUnknownOption)
{
    Bytes image = zeroImage(0x200);
    put(image, 0x000, "Q\"B\\S\x01\xE9\x80");
    put(image, 0x100, "\n\t  ");
    putEntry(image, 1, "A\"B\\", 0x24);
    image[0x106] = 0x25; // bit 2: no option
    writeFile(path("odd.ssd"), image);

    const ToolRun json = runTool({"cat", arg("odd.ssd"), "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(object["title"].toString(), QString::fromUtf8("Q\"B\\S\x01\u00E9\u20AC\n\t  "));
    EXPECT_TRUE(object["boot"].isNull());
    EXPECT_EQ(object["entries"].toArray()[0].toString(), "$.A\"B\\     ");

    // In plain text no control byte reaches the terminal or breaks the line.
    const ToolRun text = runTool({"cat", arg("odd.ssd")});
    EXPECT_EQ(text.out.substr(0, text.out.find("\n 2 ")),
              "Title: Q\"B\\\\S\\x01\u00E9\u20AC\\x0A\\x09  \nBoot: none\n 1 $.A\"B\\\\     ");
}

TEST_F(DiskTool, CatShowsWhatIsNoDfsImageAndSetRefusesIt)
{
    const std::string missing = path("missing.ssd").string();
    const std::string folder = root().string();
    writeFile(path("short.ssd"), zeroImage(511));
    Bytes odd = zeroImage(0x200);
    odd[0x105] = 0x0C;
    putEntry(odd, 1, "ODD", 0x24);
    writeFile(path("odd.ssd"), odd);
    Bytes zip = zeroImage(0x400);
    put(zip, 0, "PK\x03\x04");
    writeFile(path("game.ssd"), zip);
    Bytes sqlite = sampleImage(), adfs = sampleImage();
    put(sqlite, 0, "SQLite format 3\0"s), put(adfs, 0x201, "Hugo"), put(adfs, 0x6FB, "Hugo");
    writeFile(path("bbc.mdb"), sqlite);
    writeFile(path("adfs.img"), adfs);

    EXPECT_EQ(runTool({"cat", QString::fromStdString(missing)}).err,
              "tavrin-disk: Cannot open \"" + missing + "\": No such file or directory\n");
    EXPECT_EQ(runTool({"cat", QString::fromStdString(folder)}).err,
              "tavrin-disk: \"" + folder + "\" is a folder, not a disk image\n");
    // Files that are plainly something else are not listed at all.
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"short.ssd",
         "it is shorter than the two sectors of a DFS catalogue (511 bytes, 512 needed)", true},
        {"odd.ssd", "its file count byte at 0x105 is 0x0C, not a multiple of 8", true},
        {"game.ssd", "it is a zip archive", false},
        {"bbc.mdb", "it is an SQLite database", false},
        {"adfs.img", "it is an ADFS disk image", false}};
    for (const auto& [name, reason, listed] : cases) {
        const Bytes before = readFile(path(name));
        const std::string notDfs =
            concat({"\"", path(name).string(), "\" is not a DFS disk image: ", reason});
        const std::string note = listed ? concat({"note: ", notDfs, "; set will not write to it"}) : notDfs;
        const ToolRun cat = runTool({"cat", arg(name)});
        EXPECT_EQ(std::tie(cat.status, cat.err),
                  std::make_tuple(listed ? 0 : 1, "tavrin-disk: " + note + "\n"));
        EXPECT_EQ(cat.out.empty(), !listed);
        const ToolRun set = runTool({"set", arg(name), "--title", "TEST"});
        EXPECT_EQ(std::tie(set.status, set.err),
                  std::make_tuple(1, "tavrin-disk: " + notDfs + "\n"));
        EXPECT_EQ(readFile(path(name)), before);
    }
    EXPECT_NE(runTool({"cat", arg("odd.ssd")}).out.find("\n 1 $.ODD      \n"), std::string::npos);
}

TEST_F(DiskTool, CatInfoAddsEachFilesRecordAndTheFreeSectors)
{
    Bytes image = sampleImage();
    put(image, 0x105, "\x10\x21\x90"s); // two files on a 400-sector disk
    image[0x305] = 0x00;                // none in the second catalogue
    put(image, 0x108,
        "\0\x19\x23\x80\0\x28\xCC\x02"
        "\0\x19\0\x19\x01\x01\0\x2A"s);
    writeFile(path("info.ssd"), image);

    const ToolRun text = runTool({"cat", "--info", arg("info.ssd")});
    EXPECT_EQ(text.out.substr(0, text.out.find("\n 3 ")),
              "Title: Acornsoft   \nBoot: 2 Run\nSectors: 400\nFree: 354\n"
              " 1 $.ELITE   L  FF1900 FF8023 002800 002\n 2 $.LOADER     001900 001900 000101 02A");
    const ToolRun json = runTool({"cat", "--json", "--info", arg("info.ssd")});
    EXPECT_NE(json.out.find(R"("boot": 2, "sectors": 400, "free_sectors": 354, "entries": [)"
                            R"("$.ELITE   L", )"),
              std::string::npos);
    EXPECT_NE(json.out.find(
                  R"(], "files": [{"box": 1, "name": "ELITE", "directory": "$", "locked": true, )"
                  R"("load": 16718080, "exec": 16744483, "length": 10240, "start_sector": 2}, )"
                  R"({"box": 2, "name": "LOADER")"),
              std::string::npos);
}

TEST_F(DiskTool, SetWritesAsUpdateDoes)
{
    Bytes before = sampleImage(); // titled like a picture, on a 400-sector disk
    put(before, 0, "GIF89a D");
    put(before, 0x106, "\x21\x90");
    writeFile(path("sample.ssd"), before);

    const ToolRun run =
        runTool({"set", arg("sample.ssd"), "--title", "Caf\u00E9 \u65E5 Thirteen", "--boot", "3"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    Bytes expected = before;
    put(expected, 0x000, "Caf\xE9 ? T");
    put(expected, 0x100, "hirt");
    expected[0x106] = 0x31;
    EXPECT_EQ(readFile(path("sample.ssd")), expected);
    EXPECT_NE(runTool({"cat", arg("sample.ssd")}).out.find("\nBoot: 3 Exec\n"), std::string::npos);
    EXPECT_NE(runTool({"cat", "--json", arg("sample.ssd")}).out.find("\"boot\": 3,"),
              std::string::npos);

    ASSERT_EQ(runTool({"set", "--boot=0", arg("sample.ssd"), "--title=Me"}).status, 0);
    put(expected, 0x000, "Me      ");
    put(expected, 0x100, "    ");
    expected[0x106] = 0x01;
    EXPECT_EQ(readFile(path("sample.ssd")), expected);
}

TEST_F(DiskTool, BlankWritesTheImageAsCreateDoes)
{
    writeFile(path("OLD.IMG"), Bytes(300000, 0x55));
    const ToolRun run = runTool({"blank", arg("OLD.IMG")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(path("OLD.IMG")), MakeBlankImage());

    ASSERT_EQ(runTool({"blank", arg("new.img")}).status, 0);
    EXPECT_EQ(readFile(path("new.img")), MakeBlankImage());
    EXPECT_EQ(std::distance(fs::directory_iterator(root()), fs::directory_iterator()), 2);

    const ToolRun cat = runTool({"cat", "--json", arg("new.img")});
    ASSERT_EQ(cat.status, 0) << cat.err;
    std::string empty = R"({"title": "", "boot": 0, "entries": [)";
    for (int n = 1; n <= 62; ++n)
        empty += n == 1 ? "\"\"" : ", \"\"";
    EXPECT_EQ(cat.out, empty + "]}\n");

    const std::string nowhere = path("none/new.img").string();
    const ToolRun missing = runTool({"blank", QString::fromStdString(nowhere)});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "tavrin-disk: Cannot create \"" + nowhere + "\": the folder \"" +
                               path("none").string() + "\" does not exist\n");
}

TEST_F(DiskTool, ImageThatCannotBeWrittenIsShownButNotWritten)
{
    linkToRunningProgram(path("busy.ssd"));
    const Bytes before = readFile(path("busy.ssd"));

    const ToolRun cat = runTool({"cat", "--json", arg("busy.ssd")});
    // The running program is no DFS image, and says so; it was opened all the same.
    EXPECT_EQ(cat.status, 1);
    EXPECT_EQ(cat.err, "tavrin-disk: \"" + path("busy.ssd").string() +
                           "\" is not a DFS disk image: it is a program\n");

    const ToolRun set = runTool({"set", arg("busy.ssd"), "--boot", "0"});
    EXPECT_EQ(set.status, 1);
    EXPECT_EQ(set.err,
              "tavrin-disk: Cannot open \"" + path("busy.ssd").string() + "\": Text file busy\n");
    EXPECT_EQ(readFile(path("busy.ssd")), before);
}

TEST_F(DiskTool, WritesThatFailAreToldAndChangeNothing)
{
    const Bytes before = sampleImage();
    writeFile(path("sample.ssd"), before);
    const ToolRun set = runTool({"set", arg("sample.ssd"), "--title", "X"}, As::FullDisk);
    EXPECT_EQ(set.status, 1);
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(set.err, "tavrin-disk: Cannot write the catalogue of \"" +
                           path("sample.ssd").string() + "\": File too large\n");
    EXPECT_EQ(readFile(path("sample.ssd")), before);

    const ToolRun blank = runTool({"blank", arg("sample.img")}, As::FullDisk);
    EXPECT_EQ(blank.status, 1);
    EXPECT_EQ(blank.err,
              "tavrin-disk: Cannot create \"" + path("sample.img").string() + "\": File too large\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(root()), fs::directory_iterator()), 1);
}

TEST_F(DiskTool, BlankInAFolderThatCannotBeWrittenFails)
{
    const std::string target = std::string(kUncreatableFolder) + "/new.img";
    const ToolRun run = runTool({"blank", QString::fromStdString(target)});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tavrin-disk: Cannot create \"" + target + "\": the folder \"" +
                           kUncreatableFolder + "\" cannot be written (No such file or directory)\n");
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(DiskTool, OutputThatCannotBeWrittenFails)
{
    writeFile(path("sample.ssd"), sampleImage());
    const ToolRun run = runTool({"cat", arg("sample.ssd")}, As::Me, "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tavrin-disk: cannot write to standard output\n");
}

} // namespace
