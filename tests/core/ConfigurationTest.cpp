// The configuration on real files: which emulator is current after reading,
// saving and the Options menu's choices.

#include "TempDir.h"
#include "core/Configuration.h"
#include "core/Form1State.h"
#include "core/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <vector>
#include <sstream>

namespace tavrin {
namespace {

using test::TempDir;

struct Checks {
    bool beebEm, bEm, pcBbc, electrEm;
    bool operator==(const Checks&) const = default;
};

Checks checks(const Form1State& f)
{
    return {f.mnuBeebEmChecked, f.mnuB_EmChecked, f.mnuPcBBCChecked, f.mnuElectrEmChecked};
}

void PrintTo(const Checks& c, std::ostream* os)
{
    *os << "{" << c.beebEm << c.bEm << c.pcBbc << c.electrEm << "}";
}

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override { start(f); }

    // A fresh run in the same application folder.
    void start(Form1State& state)
    {
        InitGlobalData(state);
        state.sAppPath = dir.path().string();
    }

    std::filesystem::path iniPath() const { return dir / "bbc.ini"; }

    void writeIni(const std::string& text) { dir.write("bbc.ini", text); }

    std::string readIniText() const
    {
        std::ifstream in(iniPath(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static constexpr const char* kAllFour =
        "[BBC EMU]\nForm1.sBeebEmu=%s\n"
        "[PcBBC]\nForm1.sPcBBCDest=/pc/dest\nForm1.sPcBBCExec=/pc/exec\n"
        "[BeebEm]\nForm1.sBeebEmDest=/beeb/dest\nForm1.sBeebEmExec=/beeb/exec\n"
        "[B-Em]\nForm1.sB_EmDest=/bem/dest\nForm1.sB_EmExec=/bem/exec\n"
        "[ElectrEm]\nForm1.sElectrEmExec=/elk/exec\n";

    void writeAllFour(const std::string& emulator)
    {
        std::string text = kAllFour;
        text.replace(text.find("%s"), 2, emulator);
        writeIni(text);
    }

    TempDir dir;
    Form1State f;
};

TEST_F(ConfigurationTest, AMissingFileSelectsBeebEmWithEmptyPaths)
{
    const FormIniValues v = ReadIni(f);
    EXPECT_EQ(v.cmbEmu, "BeebEm");
    EXPECT_EQ(f.sBeebEmu, "BeebEm");
    EXPECT_EQ(checks(f), (Checks{true, false, false, false}));
    EXPECT_EQ(f.sEmuApp, "");
    EXPECT_EQ(f.sDataDestination, "");
    EXPECT_FALSE(std::filesystem::exists(iniPath())) << "reading never creates the file";
}

TEST_F(ConfigurationTest, TheStoredEmulatorIsCurrentWithItsOwnPaths)
{
    struct Row {
        const char* name;
        Checks checked;
        const char* app;
        const char* destination;
    };
    const Row rows[] = {
        {"BeebEm", {true, false, false, false}, "/beeb/exec", "/beeb/dest"},
        {"B-Em", {false, true, false, false}, "/bem/exec", "/bem/dest"},
        {"PcBBC", {false, false, true, false}, "/pc/exec", "/pc/dest"},
        // ElectrEm has no destination: the one before stays.
        {"ElectrEm", {false, false, false, true}, "/elk/exec", "kept"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeAllFour(row.name);
        Form1State run;
        start(run);
        run.sDataDestination = "kept";
        ReadIni(run);
        EXPECT_EQ(checks(run), row.checked);
        EXPECT_EQ(run.sEmuApp, row.app);
        EXPECT_EQ(run.sDataDestination, row.destination);
        EXPECT_EQ(CheckedEmulator(run), EmulatorByName(row.name));
    }
}

TEST_F(ConfigurationTest, AStoredNameThatIsNoneOfTheFourSelectsNothing)
{
    for (const char* name : {"Beeb", "beebem", "B-EM", "PcBBC2", "MAME"}) {
        SCOPED_TRACE(name);
        writeAllFour(name);
        Form1State run;
        start(run);
        const FormIniValues v = ReadIni(run);
        EXPECT_EQ(checks(run), (Checks{false, false, false, false}));
        EXPECT_EQ(run.sEmuApp, "");
        EXPECT_EQ(run.sDataDestination, "");
        EXPECT_EQ(v.cmbEmu, name) << "the dialog shows the stored text";
    }
    // Later in a run, such a name leaves the current emulator as it was.
    writeAllFour("B-Em");
    ReadIni(f);
    writeAllFour("Unknown");
    ReadIni(f);
    EXPECT_EQ(checks(f), (Checks{false, true, false, false}));
    EXPECT_EQ(f.sEmuApp, "/bem/exec");
}

TEST_F(ConfigurationTest, AMenuChoiceLastsForTheRunOnlyAndAReopenedDialogReplacesIt)
{
    writeAllFour("BeebEm");
    const std::string before = readIniText();
    ReadIni(f);
    ChooseEmulatorForRun(f, Emulator::PcBBC);
    EXPECT_EQ(checks(f), (Checks{false, false, true, false}));
    EXPECT_EQ(f.sEmuApp, "/pc/exec");
    EXPECT_EQ(f.sDataDestination, "/pc/dest");
    EXPECT_EQ(readIniText(), before) << "the menu never writes the file";

    // Opening the dialog (and cancelling it) reads the file again.
    ReadIni(f);
    EXPECT_EQ(checks(f), (Checks{true, false, false, false}));
    EXPECT_EQ(f.sEmuApp, "/beeb/exec");

    // The next run starts with the stored emulator too.
    Form1State next;
    start(next);
    ReadIni(next);
    EXPECT_EQ(CheckedEmulator(next), Emulator::BeebEm);
}

TEST_F(ConfigurationTest, ElectrEmFromTheMenuKeepsTheStoredEmulatorsDestination)
{
    writeAllFour("B-Em");
    ChooseEmulatorForRun(f, Emulator::ElectrEm);
    EXPECT_EQ(checks(f), (Checks{false, false, false, true}));
    EXPECT_EQ(f.sEmuApp, "/elk/exec");
    EXPECT_EQ(f.sDataDestination, "/bem/dest");
}

TEST_F(ConfigurationTest, SavedBEmIsReadBackSelectedOnTheNextStart)
{
    FormIniValues v = ReadIni(f);
    v.cmbEmu = "B-Em";
    v.txtB_EmDest = "/home/me/b-em/disc.ssd";
    v.txtB_EmExec = "b-em -autoboot";
    ASSERT_TRUE(InputIsComplete(v));
    ASSERT_TRUE(SetupEmulatorByName(f, v));
    std::string error;
    ASSERT_TRUE(WriteIni(f, v, &error)) << error;

    Form1State next;
    start(next);
    const FormIniValues back = ReadIni(next);
    EXPECT_EQ(back.cmbEmu, "B-Em");
    EXPECT_EQ(CheckedEmulator(next), Emulator::B_Em);
    EXPECT_EQ(next.sEmuApp, "b-em -autoboot");
    EXPECT_EQ(next.sDataDestination, "/home/me/b-em/disc.ssd");
    EXPECT_EQ(GetPrivateProfileString("B-Em", "Form1.sB_EmExec", "", iniPath()), "b-em -autoboot");
}

TEST_F(ConfigurationTest, SavingWritesEveryKeyInOrderAndKeepsTheRestOfTheFile)
{
    writeIni("[Window]\nMaximised=1\n[b-em]\nform1.sb_emdest=/old/bem\n");
    FormIniValues v = ReadIni(f);
    EXPECT_EQ(v.txtB_EmDest, "/old/bem");
    v.cmbEmu = "BeebEm";
    v.txtBeebEmDest = "/beeb/dest";
    v.txtBeebEmExec = "/beeb/exec";
    v.txtB_EmDest = ""; // an empty box is written as an empty key
    ASSERT_TRUE(InputIsComplete(v));
    ASSERT_TRUE(WriteIni(f, v));

    const std::string text = readIniText();
    EXPECT_NE(text.find("[Window]\nMaximised=1\n"), std::string::npos) << text;
    IniFile ini(iniPath());
    ASSERT_TRUE(ini.load());
    for (const IniKey& k : kIniKeys)
        EXPECT_EQ(ini.GetString(k.section, k.key, "<missing>"), v.*k.control) << k.key;

    // In a new file the sections follow the order of the keys.
    TempDir other;
    Form1State g;
    InitGlobalData(g);
    g.sAppPath = other.path().string();
    ASSERT_TRUE(WriteIni(g, v));
    std::ifstream in(other / "bbc.ini");
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "[BBC EMU]\nForm1.sBeebEmu=BeebEm\n\n"
                       "[PcBBC]\nForm1.sPcBBCDest=\nForm1.sPcBBCExec=\n\n"
                       "[BeebEm]\nForm1.sBeebEmDest=/beeb/dest\nForm1.sBeebEmExec=/beeb/exec\n\n"
                       "[B-Em]\nForm1.sB_EmDest=\nForm1.sB_EmExec=\n\n"
                       "[ElectrEm]\nForm1.sElectrEmExec=\n");
}

TEST_F(ConfigurationTest, AnUnreadableFileIsNamedReadAsDefaultsAndNeverWrittenOver)
{
    // UTF-16 cut in the middle of a character.
    const std::string cutUtf16("\xFF\xFE[\0B\0B\0C\0 \0E\0M\0U\0]\0\n", 21);
    struct Row {
        const char* what;
        std::function<void()> make;
        const char* why;
    };
    const Row rows[] = {
        {"a folder", [&] { std::filesystem::create_directory(iniPath()); }, "it is a folder"},
        {"UTF-16 with an odd number of bytes", [&] { writeIni(cutUtf16); }, "odd number of bytes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(iniPath());
        row.make();
        Form1State run;
        start(run);
        std::string problem;
        FormIniValues v = ReadIni(run, &problem);
        EXPECT_NE(problem.find("\"" + iniPath().string() + "\""), std::string::npos) << problem;
        EXPECT_NE(problem.find(row.why), std::string::npos) << problem;
        EXPECT_EQ(v.cmbEmu, "BeebEm") << "the defaults";
        EXPECT_EQ(checks(run), (Checks{true, false, false, false}));
        // A save would write defaults over keys nobody could read: refused.
        v.txtB_EmExec = "/usr/bin/b-em";
        std::string error;
        EXPECT_FALSE(WriteIni(run, v, &error));
        EXPECT_NE(error.find(row.why), std::string::npos) << error;
    }
    EXPECT_EQ(readIniText(), cutUtf16);
}

TEST_F(ConfigurationTest, NulBytesAndUtf16FilesAreReadAndASaveChangesOnlyTheChangedKey)
{
    using namespace std::string_literals;
    std::string plain = kAllFour;
    plain.replace(plain.find("%s"), 2, "B-Em");
    std::string nul = plain;
    nul.replace(nul.find("/pc/exec"), 8, "/pc/exec\0 -junk"s);
    // UTF-16 form: 0 none, 1 and 2 little- and big-endian with a mark, 3 without.
    auto encode = [](const std::string& text, int utf16) {
        std::string out = utf16 == 1 ? "\xFF\xFE" : utf16 == 2 ? "\xFE\xFF" : "";
        for (char c : text)
            out += utf16 == 2 ? "\0"s + c : c + "\0"s;
        return utf16 == 0 ? text : out;
    };
    const std::pair<std::string, int> rows[] = {
        {nul, 0}, {"; by \0 an editor\r\n"s + plain, 0}, {plain + "\x7F" "ELF\x02\0\0"s, 0},
        {plain, 1}, {nul, 2}, {"; \xC3\xA9\xF0\x9F\x98\x80\r\n" + plain, 3}};
    for (const auto& [text, utf16] : rows) {
        writeIni(encode(text, utf16));
        std::string problem, read;
        FormIniValues v = ReadIni(f, &problem);
        for (const IniKey& k : kIniKeys)
            read += v.*k.control + "|";
        EXPECT_EQ(problem + read,
                  "B-Em|/pc/dest|/pc/exec|/beeb/dest|/beeb/exec|/bem/dest|/bem/exec|/elk/exec|")
            << utf16 << text;
        v.txtB_EmExec = "/usr/bin/b-em";
        ASSERT_TRUE(WriteIni(f, v));
        std::string after = text;
        after.replace(after.find("/bem/exec"), 9, "/usr/bin/b-em");
        EXPECT_EQ(readIniText(), encode(after, utf16)) << "that value only, in the file's form";
    }
}

TEST_F(ConfigurationTest, AThreeHundredCharacterPathIsReadAsItsFirst254)
{
    const std::string path300 = "/" + std::string(299, 'p');
    writeIni("[BBC EMU]\nForm1.sBeebEmu=PcBBC\n[PcBBC]\nForm1.sPcBBCExec=" + path300 +
             "\nForm1.sPcBBCDest=/d\n");
    const FormIniValues v = ReadIni(f);
    EXPECT_EQ(v.txtPcBBCExec, path300.substr(0, 254));
    EXPECT_EQ(f.sEmuApp, path300.substr(0, 254));
}

TEST(ConfigurationValidation, FieldsTheNamedEmulatorNeeds)
{
    struct Row {
        const char* emulator;
        std::vector<std::string> blank; // the boxes left empty
        const char* refusal;            // the second line of the refusal; "" when complete
    };
    const Row rows[] = {
        {"", {}, "Default emulator is empty"},
        {"BeebEm", {}, ""},
        {"BeebEm", {"txtBeebEmDest"}, "BeebEm: data destination is empty"},
        {"BeebEm", {"txtBeebEmExec"}, "BeebEm: exec/batch file is empty"},
        {"BeebEm", {"txtB_EmExec"}, ""},
        {"PcBBC", {"txtPcBBCDest", "txtPcBBCExec"},
         "PcBBC: exec/batch file and data destination are empty"},
        {"PcBBC", {"txtPcBBCExec"}, "PcBBC: exec/batch file is empty"},
        {"PcBBC", {"txtBeebEmExec"}, ""},
        {"ElectrEm", {"txtElectrEmExec", "txtPcBBCDest"}, "ElectrEm: exec file is empty"},
        {"ElectrEm", {"txtPcBBCExec"}, ""},
        {"B-Em", {"txtB_EmDest", "txtB_EmExec"},
         "B-Em: exec/batch file and data destination are empty"},
        {"B-Em", {"txtB_EmDest"}, "B-Em: data destination is empty"},
        {"Other", {"txtBeebEmDest"}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.emulator) + " without " + std::to_string(row.blank.size()));
        FormIniValues v{row.emulator, "a", "b", "c", "d", "e", "f", "g"};
        const std::pair<const char*, std::string FormIniValues::*> boxes[] = {
            {"txtPcBBCDest", &FormIniValues::txtPcBBCDest},
            {"txtPcBBCExec", &FormIniValues::txtPcBBCExec},
            {"txtBeebEmDest", &FormIniValues::txtBeebEmDest},
            {"txtBeebEmExec", &FormIniValues::txtBeebEmExec},
            {"txtB_EmDest", &FormIniValues::txtB_EmDest},
            {"txtB_EmExec", &FormIniValues::txtB_EmExec},
            {"txtElectrEmExec", &FormIniValues::txtElectrEmExec},
        };
        for (const auto& [name, member] : boxes)
            if (std::find(row.blank.begin(), row.blank.end(), name) != row.blank.end())
                v.*member = "";
        EXPECT_EQ(InputIsComplete(v), *row.refusal == '\0');
        EXPECT_EQ(IncompleteMessage(v),
                  *row.refusal ? std::string(kIncompleteMessage) + "\n" + row.refusal : "");
    }
}

TEST_F(ConfigurationTest, TheSetUpIsOfferedOnceWhileNoEmulatorHasAProgram)
{
    EXPECT_TRUE(ShouldOfferEmulatorSetUp(f)); // no file yet
    const std::string kept = "; mine\r\n[BeebEm]\r\nForm1.sBeebEmDest=/beeb/Disk0.ssd\r\n";
    writeIni(kept);
    EXPECT_TRUE(ShouldOfferEmulatorSetUp(f)); // a destination is no program
    ASSERT_TRUE(RememberEmulatorSetUpOffered(f));
    EXPECT_EQ(readIniText(), kept + "\r\n[Set up emulators]\r\nOffered=1\r\n");
    EXPECT_FALSE(ShouldOfferEmulatorSetUp(f));
    writeIni("[b-em]\nform1.sb_emexec=b-em\n");
    EXPECT_FALSE(ShouldOfferEmulatorSetUp(f));
}

TEST_F(ConfigurationTest, AFileThatCannotBeWrittenIsReported)
{
    f.sAppPath = (dir / "gone").string(); // a folder that does not exist
    FormIniValues v = ReadIni(f);
    std::string error;
    EXPECT_FALSE(WriteIni(f, v, &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace tavrin
