// The initialisation file on real files: reading as Windows reads, writing
// that keeps the rest of the file.

#include "TempDir.h"
#include "core/IniFile.h"
#include "diskimage/FailingFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tavrin {
namespace {

using test::TempDir;

std::string readText(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(IniFile, LongValuesAreCutTo254Characters)
{
    TempDir dir;
    const std::string value300(300, 'v');
    std::string utf8;
    for (int i = 0; i < 300; ++i)
        utf8 += "\xC3\xA9"; // é
    const auto file = dir.write("bbc.ini", "[S]\nascii=" + value300 + "\nutf8=" + utf8 +
                                               "\nlatin1=" + std::string(300, '\xE9') + "\n");
    IniFile ini(file);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.GetString("S", "ascii", ""), std::string(254, 'v'));
    const std::string cut = ini.GetString("S", "utf8", "");
    EXPECT_EQ(cut.size(), 254u * 2) << "254 whole characters, no split sequence";
    EXPECT_EQ(ini.GetString("S", "latin1", ""), std::string(254, '\xE9'));
    // A default is cut the same way.
    EXPECT_EQ(ini.GetString("S", "missing", value300), std::string(254, 'v'));
    // 254 characters come back whole.
    EXPECT_EQ(CutIniValue(std::string(254, 'x')), std::string(254, 'x'));
    EXPECT_EQ(CutIniValue(std::string(255, 'x')), std::string(254, 'x'));
}

TEST(IniFile, SectionsAndKeysIgnoreLetterCase)
{
    TempDir dir;
    const auto file = dir.write("bbc.ini", "[bbc emu]\nFORM1.SBEEBEMU=B-Em\n[BeebEm]\nform1.sBeebEmExec=/usr/bin/beebem\n");
    IniFile ini(file);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.GetString("BBC EMU", "Form1.sBeebEmu", "BeebEm"), "B-Em");
    EXPECT_EQ(ini.GetString("BEEBEM", "FORM1.SBEEBEMEXEC", ""), "/usr/bin/beebem");
    // The value keeps its own case.
    EXPECT_EQ(ini.GetString("beebem", "form1.sbeebemexec", ""), "/usr/bin/beebem");
}

TEST(IniFile, MissingFileSectionOrKeyGivesTheDefault)
{
    TempDir dir;
    IniFile none(dir / "absent.ini");
    EXPECT_TRUE(none.load()) << "a missing file is no error";
    EXPECT_EQ(none.GetString("BBC EMU", "Form1.sBeebEmu", "BeebEm"), "BeebEm");

    const auto file = dir.write("bbc.ini", "[PcBBC]\nForm1.sPcBBCDest=\n");
    IniFile ini(file);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.GetString("Other", "Form1.sPcBBCDest", "d"), "d");
    EXPECT_EQ(ini.GetString("PcBBC", "Form1.sPcBBCExec", "d"), "d");
    // A key that is there but empty is empty, not the default.
    EXPECT_EQ(ini.GetString("PcBBC", "Form1.sPcBBCDest", "d"), "");
}

TEST(IniFile, ReadsAsWindowsDoes)
{
    TempDir dir;
    const auto file = dir.write("bbc.ini",
                                "\xEF\xBB\xBF; written by hand\r\n"
                                "[B-Em]\r\n"
                                "  Form1.sB_EmExec  =  /opt/b-em/b-em  \r\n"
                                "Form1.sB_EmDest=\"/home/me/discs/a b.ssd\"\r\n"
                                "Form1.sB_EmExec=/second/ignored\r\n"
                                "a line without an equals sign\r\n"
                                "eq=a=b\r\n");
    IniFile ini(file);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.GetString("B-Em", "Form1.sB_EmExec", ""), "/opt/b-em/b-em")
        << "spaces around key and value are dropped; the first of two keys wins";
    EXPECT_EQ(ini.GetString("B-Em", "Form1.sB_EmDest", ""), "/home/me/discs/a b.ssd")
        << "matching quotes are dropped";
    EXPECT_EQ(ini.GetString("B-Em", "eq", ""), "a=b");
}

TEST(IniFile, WritingKeepsOtherSectionsKeysAndComments)
{
    TempDir dir;
    const auto file = dir.write("bbc.ini",
                                "; my settings\n"
                                "[Window]\nLeft=10\nTop=20\n"
                                "[beebem]\n; my beebem\nform1.sbeebemdest=/old\nMine=keep me\n");
    IniFile ini(file);
    ASSERT_TRUE(ini.load());
    ini.SetString("BeebEm", "Form1.sBeebEmDest", "/new/disc.ssd");
    ini.SetString("ElectrEm", "Form1.sElectrEmExec", "/usr/games/electrem");
    std::string error;
    ASSERT_TRUE(ini.save(&error)) << error;

    const std::string text = readText(file);
    EXPECT_NE(text.find("; my settings"), std::string::npos);
    EXPECT_NE(text.find("; my beebem"), std::string::npos);
    EXPECT_EQ(count(text, "sbeebemdest") + count(text, "sBeebEmDest"), 1u)
        << "the key is replaced where it stands, not added again:\n" << text;
    EXPECT_NE(text.find("=/new/disc.ssd"), std::string::npos);
    EXPECT_EQ(text.find("/old"), std::string::npos);

    IniFile again(file);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.GetString("Window", "Left", ""), "10");
    EXPECT_EQ(again.GetString("Window", "Top", ""), "20");
    EXPECT_EQ(again.GetString("BeebEm", "Mine", ""), "keep me");
    EXPECT_EQ(again.GetString("BeebEm", "Form1.sBeebEmDest", ""), "/new/disc.ssd");
    EXPECT_EQ(again.GetString("ElectrEm", "Form1.sElectrEmExec", ""), "/usr/games/electrem");
}

TEST(IniFile, AWriteChangesOnlyTheLineOfItsKey)
{
    using namespace std::string_literals;
    struct Row {
        const char* what;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    };
    const Row rows[] = {
        {"quotes of other keys, CRLF", "[B-Em]\r\nA=\"x y\"\r\nForm1.sB_EmExec=old\r\n", "B-Em",
         "form1.sb_emexec", "new", "[B-Em]\r\nA=\"x y\"\r\nForm1.sB_EmExec=new\r\n"},
        {"odd line, comment on the last line", "[S]\nodd line\n; last", "T", "k", "v",
         "[S]\nodd line\n; last\n\n[T]\nk=v\n"},
        {"repeated keys: the first is the one read", "[S]\nk=1\nk=2\n", "S", "k", "3",
         "[S]\nk=3\nk=2\n"},
        {"NUL and bytes that are not UTF-8", "[S]\nb=\xE9\0z\nk=a\n"s, "S", "k", "\xE9",
         "[S]\nb=\xE9\0z\nk=\xE9\n"s},
        {"the value it reads changes nothing", "[S]\n  k =  \"quoted\"  \r\n", "s", "K", "quoted",
         "[S]\n  k =  \"quoted\"  \r\n"},
        {"a new key ends its section", "[S]\na=1\n\n[T]\nb=2\n", "S", "k", "v",
         "[S]\na=1\nk=v\n\n[T]\nb=2\n"},
        {"blanks and quotes survive reading", "[S]\nk=x\n", "S", "k", " \"a\" ",
         "[S]\nk=\" \"a\" \"\n"},
        {"a line break is refused", "[S]\nk=x\n", "S", "k", "a\nb", "[S]\nk=x\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        IniFile ini("bbc.ini");
        ini.setBytes(row.before);
        const bool holdable = std::string_view(row.value).find('\n') == std::string_view::npos;
        EXPECT_EQ(ini.SetString(row.section, row.key, row.value), holdable);
        EXPECT_EQ(ini.bytes(), row.after);
        if (holdable) {
            EXPECT_EQ(ini.GetString(row.section, row.key, "<none>"), row.value);
        }
    }
}

TEST(IniFile, WritesPlainKeyValueLines)
{
    TempDir dir;
    const auto file = dir / "bbc.ini";
    ASSERT_TRUE(WritePrivateProfileString("BBC EMU", "Form1.sBeebEmu", "PcBBC", file));
    ASSERT_TRUE(WritePrivateProfileString("PcBBC", "Form1.sPcBBCDest", "", file));
    EXPECT_EQ(readText(file), "[BBC EMU]\nForm1.sBeebEmu=PcBBC\n\n[PcBBC]\nForm1.sPcBBCDest=\n");
    EXPECT_EQ(GetPrivateProfileString("bbc emu", "form1.sbeebemu", "BeebEm", file), "PcBBC");
}

TEST(IniFile, AFileThatCannotBeWrittenIsReportedAndLeftAlone)
{
    TempDir dir;
    // A folder that does not exist cannot take the file.
    IniFile missingFolder(dir / "no such folder" / "bbc.ini");
    ASSERT_TRUE(missingFolder.load());
    missingFolder.SetString("BBC EMU", "Form1.sBeebEmu", "B-Em");
    std::string error;
    EXPECT_FALSE(missingFolder.save(&error));
    EXPECT_FALSE(error.empty());

    // A folder in the file's place cannot be read or written.
    std::filesystem::create_directory(dir / "bbc.ini");
    IniFile folder(dir / "bbc.ini");
    error.clear();
    EXPECT_FALSE(folder.load(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(folder.save(&error));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "bbc.ini"));
}

TEST(IniFile, AFullDiskLeavesTheOldFileWhole)
{
    TempDir dir;
    const auto file = dir / "bbc.ini";
    std::ofstream(file, std::ios::binary) << "[BBC EMU]\nForm1.sBeebEmu=BeebEm\n";
    IniFile ini(file);
    ASSERT_TRUE(ini.load());
    ini.SetString("BBC EMU", "Form1.sBeebEmu", "B-Em");
    std::string error;
    {
        test::FileSizeLimit full;
        EXPECT_FALSE(ini.save(&error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readText(file), "[BBC EMU]\nForm1.sBeebEmu=BeebEm\n");
}

} // namespace
} // namespace tavrin
