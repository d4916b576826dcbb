// Real archives through the real engines: round trips with Debian's zip and
// unzip, the options of an extraction, and the password questions.

#include "VarnockTestSupport.h"

#include <sys/stat.h>

namespace varnock::test {
namespace {

struct Hook {
    std::vector<std::string> passwords; // answers in order; then declined
    std::vector<int32_t> buttons;       // answers in order; then No
    int inputs = 0, questions = 0;
    std::vector<std::string> asked;
    std::vector<std::tuple<std::string, uint64_t, uint64_t>> progress; // entry, done, total
    size_t stopAt = SIZE_MAX; // the progress call that answers stop

    VarnockPromptHook make()
    {
        return {this,
                [](void* c, const char*, const char*, char* answer, int32_t size) -> int32_t {
                    auto& h = *static_cast<Hook*>(c);
                    std::string a = h.inputs < static_cast<int>(h.passwords.size()) ? h.passwords[h.inputs] : "";
                    ++h.inputs;
                    size_t n = std::min(a.size(), static_cast<size_t>(size - 1));
                    memcpy(answer, a.data(), n);
                    answer[n] = '\0';
                    return static_cast<int32_t>(n);
                },
                [](void* c, const char* text, const char*) -> int32_t {
                    auto& h = *static_cast<Hook*>(c);
                    h.asked.push_back(text);
                    int32_t b = h.questions < static_cast<int>(h.buttons.size()) ? h.buttons[h.questions] : vbNo;
                    ++h.questions;
                    return b;
                },
                nullptr,
                [](void* c, const char* name, uint64_t done, uint64_t total) -> int32_t {
                    auto& h = *static_cast<Hook*>(c);
                    h.progress.emplace_back(name, done, total);
                    return h.progress.size() > h.stopAt ? 1 : 0;
                }};
    }
};

void SetHook(_UnzipFiles* u, Hook& hook)
{
    void* p = nullptr;
    ASSERT_EQ(u->QueryInterface(IID_IPromptHost, &p), S_OK);
    VarnockPromptHook h = hook.make();
    static_cast<IPromptHost*>(p)->SetPromptHook(&h);
    static_cast<IPromptHost*>(p)->Release();
}

// A tree of files of several kinds below `folder`.
std::map<std::string, std::string> MakeTree(const TempDir& t, const std::string& folder)
{
    std::map<std::string, std::string> files = {
        {"README.TXT", TextBytes(3000, 1)},
        {"GAMES/ELITE.SSD", RandomBytes(102400, 2)},
        {"GAMES/REVS.SSD", std::string(200000, '\xE5')},
        {"GAMES/BIG.DSD", TextBytes(700000, 3)}, // more than one read of the compressor
        {"GAMES/deep/er/CHUCKIE.INF", "$.CHUCKIE 001900 008023 0004A0\n"},
        {"empty.dat", ""},
        {"name with spaces.txt", "spaces"},
        {"\xC3\xA9l\xC3\xA8ve.txt", "unicode name"},
    };
    for (auto& [name, content] : files)
        t.write(folder + "/" + name, content);
    return files;
}

class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, DebianZipToVarnock)
{
    TempDir t;
    auto files = MakeTree(t, "src");
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q -r " + GetParam() + " ../a.zip ."), 0);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    ASSERT_EQ(Unzip(u.p, (t / "a.zip").string(), (t / "out").string()), 0) << LastMessage(u.p);
    EXPECT_EQ(FolderContents(t / "out"), files);
    EXPECT_TRUE(PartFiles(t / "out").empty());
    // Times come back as Debian's unzip gives them.
    ASSERT_EQ(Shell("unzip -qq -o " + Quote(t / "a.zip") + " -d " + Quote(t / "debian")), 0);
    EXPECT_EQ(fs::last_write_time(t / "out/GAMES/ELITE.SSD"),
              fs::last_write_time(t / "debian/GAMES/ELITE.SSD"));
}

TEST_P(RoundTrip, VarnockZipToDebianUnzip)
{
    TempDir t;
    auto files = MakeTree(t, "src");
    t.write("src/querty", "nobody asked for it"); // the list's placeholder names no file
    Releaser<_ZipFiles> z{RealComponent().zip()};
    for (const char* name : {"README.TXT", "GAMES", "empty.dat", "name with spaces.txt",
                             "\xC3\xA9l\xC3\xA8ve.txt"}) {
        Bstr b(name);
        ASSERT_EQ(z->AddFile(b.get(), nullptr), S_OK);
    }
    z->put_RecurseFolders(VARIANT_TRUE);
    Bstr root((t / "src").string()), zip((t / "v.zip").string());
    z->put_RootDirectory(root.get());
    z->put_ZipFileName(zip.get());
    int32_t result = -1;
    ASSERT_EQ(z->MakeZipFile(&result), S_OK);
    ASSERT_EQ(result, 0) << LastMessage(z.p);
    EXPECT_EQ(LastMessage(z.p).find("querty"), std::string::npos) << LastMessage(z.p);
    ASSERT_EQ(Shell("unzip -qq " + Quote(t / "v.zip") + " -d " + Quote(t / "out")), 0);
    EXPECT_EQ(FolderContents(t / "out"), files);
    EXPECT_EQ(Shell("unzip -tqq " + Quote(t / "v.zip")), 0);
}

INSTANTIATE_TEST_SUITE_P(Levels, RoundTrip, ::testing::Values("-6", "-0", "-9"));

TEST(Extraction, JunkedFolderNamesAndSpaces)
{
    TempDir t;
    MakeTree(t, "src");
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q -r ../a.zip ."), 0);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    u->put_HonorDirectories(VARIANT_FALSE);
    u->put_SpaceToUnderScore(VARIANT_TRUE);
    ASSERT_EQ(Unzip(u.p, (t / "a.zip").string(), (t / "out").string()), 0) << LastMessage(u.p);
    auto out = FolderContents(t / "out");
    std::vector<std::string> names;
    for (auto& [name, content] : out)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"BIG.DSD", "CHUCKIE.INF", "ELITE.SSD", "README.TXT", "REVS.SSD",
                                               "empty.dat", "name_with_spaces.txt",
                                               "\xC3\xA9l\xC3\xA8ve.txt"}));
    EXPECT_EQ(LastMessage(u.p), ""); // NoMessages: nothing went wrong, nothing said
}

TEST(Extraction, MessageLevelAllReportsEachFile)
{
    TempDir t;
    t.write("src/A.TXT", "a");
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q ../a.zip A.TXT"), 0);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    u->put_MessageLevel(All);
    ASSERT_EQ(Unzip(u.p, (t / "a.zip").string(), (t / "out").string()), 0);
    std::string text = LastMessage(u.p);
    EXPECT_NE(text.find("Archive:  " + (t / "a.zip").string()), std::string::npos) << text;
    EXPECT_NE(text.find("A.TXT"), std::string::npos) << text;
}

// Control characters in names reach neither the written names nor the
// report, where they are shown in caret notation.
TEST(Extraction, ControlCharactersInNames)
{
    TempDir t;
    ZipBuilder b(t / "c.zip");
    b.add("line\nfeed.txt", "1");
    b.add("tab\there/x.txt", "2");
    b.add("../\r\nclimb.txt", "3");
    b.close();
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    u->put_MessageLevel(All);
    EXPECT_EQ(Unzip(u.p, (t / "c.zip").string(), (t / "out").string()), PK_WARN);
    auto out = FolderContents(t / "out");
    EXPECT_EQ(out, (std::map<std::string, std::string>{{"linefeed.txt", "1"}, {"tabhere/x.txt", "2"}}));
    std::string text = LastMessage(u.p);
    EXPECT_NE(text.find("skipping: ../^M^Jclimb.txt"), std::string::npos) << text;
    EXPECT_NE(text.find("inflating: linefeed.txt"), std::string::npos) << text;
    EXPECT_EQ(text.find_first_of("\t\r"), std::string::npos) << text;
    EXPECT_EQ(text.find("line\n"), std::string::npos) << text;
}

// Overwriting: OverWriteFiles, PromptOverwrite with its three answers,
// ExtractNewer (freshen) and ExtractOnlyNewer (update).
TEST(Extraction, ExistingFiles)
{
    TempDir t;
    t.write("src/A.TXT", "new a");
    t.write("src/B.TXT", "new b");
    t.write("src/C.TXT", "new c");
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q ../a.zip A.TXT B.TXT C.TXT"), 0);
    auto prepare = [&](const std::string& dir, bool older, bool withC) {
        fs::remove_all(t / dir);
        t.write(dir + "/A.TXT", "old a");
        t.write(dir + "/B.TXT", "old b");
        if (withC)
            t.write(dir + "/C.TXT", "old c");
        auto when = fs::last_write_time(t / "src/A.TXT") + (older ? -std::chrono::hours(24) : std::chrono::hours(24));
        for (const char* f : {"A.TXT", "B.TXT", "C.TXT"})
            if (fs::exists(t / dir / f))
                fs::last_write_time(t / dir / f, when);
    };
    auto contents = [&](const std::string& dir) {
        std::string s;
        for (const char* f : {"A.TXT", "B.TXT", "C.TXT"})
            s += fs::exists(t / dir / f) ? tavrin::test::readFile(t / dir / f) : std::string("-");
        return s + "|";
    };
    std::string zip = (t / "a.zip").string();
    struct Row {
        const char* what;
        bool overwrite, prompt, freshen, onlyNewer, older, withC;
        std::vector<int32_t> buttons;
        std::string expected;
        int questions;
    } rows[] = {
        {"overwrite", true, false, false, false, true, true, {}, "new anew bnew c|", 0},
        {"keep", false, false, false, false, true, false, {}, "old aold bnew c|", 0},
        {"ask no then yes", false, true, false, false, true, true, {vbNo, vbYes, vbNo}, "old anew bold c|", 3},
        {"ask cancel", false, true, false, false, true, true, {vbCancel}, "old aold bold c|", 1},
        {"freshen older", true, false, true, false, true, false, {}, "new anew b-|", 0},
        {"freshen newer", true, false, true, false, false, false, {}, "old aold b-|", 0},
        {"update older", true, false, false, true, true, false, {}, "new anew bnew c|", 0},
        {"update newer", true, false, false, true, false, false, {}, "old aold bnew c|", 0},
    };
    for (const Row& row : rows) {
        prepare("out", row.older, row.withC);
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        Hook hook;
        hook.buttons = row.buttons;
        SetHook(u.p, hook);
        u->put_OverWriteFiles(row.overwrite ? VARIANT_TRUE : VARIANT_FALSE);
        u->put_PromptOverwrite(row.prompt ? VARIANT_TRUE : VARIANT_FALSE);
        u->put_ExtractNewer(row.freshen ? VARIANT_TRUE : VARIANT_FALSE);
        u->put_ExtractOnlyNewer(row.onlyNewer ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(Unzip(u.p, zip, (t / "out").string()), 0) << row.what << LastMessage(u.p);
        EXPECT_EQ(contents("out"), row.expected) << row.what;
        EXPECT_EQ(hook.questions, row.questions) << row.what;
        if (row.questions > 0) {
            EXPECT_NE(hook.asked[0].find("Overwrite "), std::string::npos);
        }
    }
}

// The hook hears the declared total before anything is written, then each
// entry and its bytes as they are written; a stop removes the file being
// written and ends the extraction.
TEST(Extraction, ProgressReachesTheHookWhichMayStop)
{
    TempDir t;
    const std::string big = TextBytes(700000, 3), small = "$.ELITE FF1900 FF8023\n";
    ZipBuilder b(t / "a.zip");
    b.add("BIG.DSD", big);
    b.add("ELITE.INF", small);
    b.close();
    for (size_t stopAt : {SIZE_MAX, size_t(2)}) {
        fs::remove_all(t / "out");
        Hook hook;
        hook.stopAt = stopAt;
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        SetHook(u.p, hook);
        const uint64_t total = big.size() + small.size();
        EXPECT_EQ(Unzip(u.p, (t / "a.zip").string(), (t / "out").string()), stopAt == SIZE_MAX ? PK_OK : IZ_CTRLC);
        ASSERT_GE(hook.progress.size(), 3u);
        EXPECT_EQ(hook.progress[0], std::make_tuple(std::string(), uint64_t(0), total));
        EXPECT_EQ(hook.progress[1], std::make_tuple(std::string("BIG.DSD"), uint64_t(0), total));
        EXPECT_GT(std::get<1>(hook.progress[2]), 0u); // a first piece written
        EXPECT_EQ(hook.progress.back(), stopAt == SIZE_MAX ? std::make_tuple(std::string("ELITE.INF"), total, total)
                                                           : hook.progress[2]);
        EXPECT_EQ(FolderContents(t / "out").size(), stopAt == SIZE_MAX ? 2u : 0u);
        EXPECT_TRUE(PartFiles(t / "out").empty());
    }
}

TEST(Extraction, TestOnlyListOnlyAndCaseOfPatterns)
{
    TempDir t;
    MakeTree(t, "src");
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q -r ../a.zip ."), 0);
    std::string zip = (t / "a.zip").string();
    {
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        u->put_TestZip(VARIANT_TRUE);
        u->put_MessageLevel(Less);
        EXPECT_EQ(Unzip(u.p, zip, (t / "out").string()), 0);
        EXPECT_NE(LastMessage(u.p).find("No errors detected"), std::string::npos) << LastMessage(u.p);
        EXPECT_FALSE(fs::exists(t / "out/README.TXT"));
    }
    {
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        u->put_ExtractList(ListContents);
        EXPECT_EQ(Unzip(u.p, zip, (t / "out").string()), 0);
        EXPECT_FALSE(fs::exists(t / "out/README.TXT"));
    }
    {
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        u->put_Verbose(VARIANT_TRUE);
        EXPECT_EQ(Unzip(u.p, zip, (t / "out").string()), 0);
        EXPECT_NE(LastMessage(u.p).find("GAMES/ELITE.SSD"), std::string::npos);
        EXPECT_FALSE(fs::exists(t / "out/README.TXT"));
    }
}

TEST(Extraction, ConvertsCrLfOfTextEntriesOnly)
{
    TempDir t;
    std::string binary = std::string("\x00\x01\r\n\x02", 5);
    t.write("src/T.BAS", "10 PRINT \"HI\"\r\n20 GOTO 10\r\n");
    t.write("src/B.BIN", binary);
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q ../a.zip T.BAS B.BIN"), 0);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    u->put_ConvertCRtoCRLF(VARIANT_TRUE);
    ASSERT_EQ(Unzip(u.p, (t / "a.zip").string(), (t / "out").string()), 0) << LastMessage(u.p);
    EXPECT_EQ(tavrin::test::readFile(t / "out/T.BAS"), "10 PRINT \"HI\"\n20 GOTO 10\n");
    EXPECT_EQ(tavrin::test::readFile(t / "out/B.BIN"), binary);
}

TEST(Extraction, WindowsStylePathsAreFoundWithoutRegardToCase)
{
    TempDir t;
    t.write("Disks/Acme/src/A.TXT", "a");
    ASSERT_EQ(Shell("cd " + Quote(t / "Disks/Acme/src") + " && zip -q ../GAME.ZIP A.TXT"), 0);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    std::string zip = t.path().string() + "\\disks\\ACME\\game.zip";
    ASSERT_EQ(Unzip(u.p, zip, (t / "Temp").string()), 0) << LastMessage(u.p);
    EXPECT_EQ(tavrin::test::readFile(t / "Temp/A.TXT"), "a");
}

TEST(Extraction, UnixModesAndSymbolicLinksInside)
{
    TempDir t;
    t.write("src/run.sh", "#!/bin/sh\n");
    fs::permissions(t / "src/run.sh", fs::perms(0755));
    fs::create_symlink("run.sh", t / "src/link.sh");
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q -y ../a.zip run.sh link.sh"), 0);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    ASSERT_EQ(Unzip(u.p, (t / "a.zip").string(), (t / "out").string()), 0) << LastMessage(u.p);
    EXPECT_EQ(fs::status(t / "out/run.sh").permissions() & fs::perms::all, fs::perms(0755));
    ASSERT_TRUE(fs::is_symlink(t / "out/link.sh"));
    EXPECT_EQ(fs::read_symlink(t / "out/link.sh"), "run.sh");
}

class Passwords : public ::testing::TestWithParam<const char*> {
protected:
    // Two encrypted entries and a plain one.
    std::string makeArchive(const TempDir& t)
    {
        std::string zip = (t / "p.zip").string();
        if (std::string(GetParam()) == "pkware") {
            t.write("src/ONE.TXT", "first secret");
            t.write("src/TWO.TXT", "second secret");
            t.write("src/PLAIN.TXT", "plain");
            EXPECT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q -P swordfish ../p.zip ONE.TXT TWO.TXT"), 0);
            EXPECT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q ../p.zip PLAIN.TXT"), 0);
        } else {
            ZipBuilder b(zip);
            b.encrypt(b.add("ONE.TXT", "first secret"), ZIP_EM_AES_256, "swordfish");
            b.encrypt(b.add("TWO.TXT", "second secret"), ZIP_EM_AES_128, "swordfish");
            b.add("PLAIN.TXT", "plain");
            b.close();
        }
        return zip;
    }
};

TEST_P(Passwords, RightPasswordIsAskedOnceAndUsedForAll)
{
    TempDir t;
    std::string zip = makeArchive(t);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    Hook hook;
    hook.passwords = {"swordfish"};
    SetHook(u.p, hook);
    ASSERT_EQ(Unzip(u.p, zip, (t / "out").string()), 0) << LastMessage(u.p);
    EXPECT_EQ(hook.inputs, 1);
    EXPECT_EQ(tavrin::test::readFile(t / "out/ONE.TXT"), "first secret");
    EXPECT_EQ(tavrin::test::readFile(t / "out/TWO.TXT"), "second secret");
    EXPECT_EQ(tavrin::test::readFile(t / "out/PLAIN.TXT"), "plain");
}

TEST_P(Passwords, WrongOrDeclinedPasswordLeavesNoFile)
{
    struct Row {
        const char* what;
        std::vector<std::string> answers;
        int expectedQuestions;
    } rows[] = {
        {"declined", {}, 1},                // declined once: not asked again
        {"wrong", {"a", "b", "c", "d", "e", "f"}, 6}, // three tries for each entry
        {"wrong then declined", {"nope"}, 2},
    };
    for (const Row& row : rows) {
        TempDir t;
        std::string zip = makeArchive(t);
        Releaser<_UnzipFiles> u{RealComponent().unzip()};
        Hook hook;
        hook.passwords = row.answers;
        SetHook(u.p, hook);
        int32_t code = Unzip(u.p, zip, (t / "out").string());
        if (std::string(GetParam()) == "aes") {
            EXPECT_EQ(code, IZ_BADPWD) << row.what;
            EXPECT_EQ(hook.inputs, row.expectedQuestions) << row.what;
        } else {
            // One wrong password in 256 passes the traditional check byte;
            // the entry then fails its CRC instead.
            EXPECT_TRUE(code == IZ_BADPWD || code == PK_ERR) << row.what << code;
        }
        EXPECT_FALSE(fs::exists(t / "out/ONE.TXT")) << row.what;
        EXPECT_FALSE(fs::exists(t / "out/TWO.TXT")) << row.what;
        EXPECT_EQ(tavrin::test::readFile(t / "out/PLAIN.TXT"), "plain") << row.what;
        EXPECT_TRUE(PartFiles(t / "out").empty()) << row.what;
        std::string text = LastMessage(u.p);
        EXPECT_NE(text.find("ONE.TXT"), std::string::npos) << text;
        EXPECT_NE(text.find("password"), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, Passwords, ::testing::Values("pkware", "aes"));

TEST(Extraction, WithoutHookEncryptedEntriesAreSkipped)
{
    TempDir t;
    t.write("src/ONE.TXT", "secret");
    ASSERT_EQ(Shell("cd " + Quote(t / "src") + " && zip -q -P pw ../p.zip ONE.TXT"), 0);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    EXPECT_EQ(Unzip(u.p, (t / "p.zip").string(), (t / "out").string()), IZ_BADPWD);
    EXPECT_FALSE(fs::exists(t / "out/ONE.TXT"));
}

// UpdatingZip replaces entries only by newer files and adds new ones; a
// folder without RecurseFolders is stored as a folder entry alone.
TEST(ZipFiles, UpdatingReplacesOnlyNewerFiles)
{
    TempDir t;
    t.write("src/A.TXT", "a1");
    t.write("src/B.TXT", "b1");
    t.write("src/SUB/C.TXT", "c1");
    auto make = [&](bool update, std::vector<std::string> names) {
        Releaser<_ZipFiles> z{RealComponent().zip()};
        for (const std::string& n : names) {
            Bstr b(n);
            z->AddFile(b.get(), nullptr);
        }
        Bstr root((t / "src").string()), zip((t / "u.zip").string());
        z->put_RootDirectory(root.get());
        z->put_ZipFileName(zip.get());
        z->put_UpdatingZip(update ? VARIANT_TRUE : VARIANT_FALSE);
        int32_t result = -1;
        EXPECT_EQ(z->MakeZipFile(&result), S_OK);
        return result;
    };
    ASSERT_EQ(make(false, {"A.TXT", "B.TXT", "SUB"}), 0);
    auto listing = [&] {
        fs::remove_all(t / "out");
        EXPECT_EQ(Shell("unzip -qq -o " + Quote(t / "u.zip") + " -d " + Quote(t / "out")), 0);
        return FolderContents(t / "out");
    };
    EXPECT_EQ(listing(), (std::map<std::string, std::string>{{"A.TXT", "a1"}, {"B.TXT", "b1"}}));
    EXPECT_TRUE(fs::is_directory(t / "out/SUB"));
    auto then = fs::last_write_time(t / "src/A.TXT");
    t.write("src/A.TXT", "a2");
    fs::last_write_time(t / "src/A.TXT", then + std::chrono::hours(1));
    t.write("src/B.TXT", "b2");
    fs::last_write_time(t / "src/B.TXT", then - std::chrono::hours(1));
    t.write("src/D.TXT", "d1");
    ASSERT_EQ(make(true, {"A.TXT", "B.TXT", "D.TXT"}), 0);
    EXPECT_EQ(listing(), (std::map<std::string, std::string>{{"A.TXT", "a2"}, {"B.TXT", "b1"}, {"D.TXT", "d1"}}));
    // Without updating, every named file is replaced.
    ASSERT_EQ(make(false, {"B.TXT"}), 0);
    EXPECT_EQ(listing()["B.TXT"], "b2");
    // Nothing that exists: the engine's "nothing to do", no archive.
    fs::remove(t / "u.zip");
    EXPECT_EQ(make(false, {"missing.txt"}), ZE_NONE);
    EXPECT_FALSE(fs::exists(t / "u.zip"));
}

// The zip engine's report shows control characters of file names too.
TEST(ZipFiles, ControlCharactersInReportedNames)
{
    TempDir t;
    t.write("src/new\nline.txt", "x");
    Releaser<_ZipFiles> z{RealComponent().zip()};
    Bstr name("new\nline.txt"), root((t / "src").string()), zip((t / "n.zip").string());
    z->AddFile(name.get(), nullptr);
    z->put_RootDirectory(root.get());
    z->put_ZipFileName(zip.get());
    int32_t result = -1;
    ASSERT_EQ(z->MakeZipFile(&result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(LastMessage(z.p), "  adding: new^Jline.txt\n");
}

// Links to folders inside a tree (here a circle back to the root) are
// stored as links; a link to a file brings the file's data.
TEST(ZipFiles, RecursionStoresLinksToFoldersAsLinks)
{
    TempDir t;
    t.write("src/GAMES/a.txt", "a");
    fs::create_directory_symlink("..", t / "src/GAMES/up");
    fs::create_directory_symlink(".", t / "src/GAMES/self");
    fs::create_symlink("a.txt", t / "src/GAMES/alias.txt");
    Releaser<_ZipFiles> z{RealComponent().zip()};
    Bstr games("GAMES"), root((t / "src").string()), zip((t / "r.zip").string());
    z->AddFile(games.get(), nullptr);
    z->put_RecurseFolders(VARIANT_TRUE);
    z->put_RootDirectory(root.get());
    z->put_ZipFileName(zip.get());
    int32_t result = -1;
    ASSERT_EQ(z->MakeZipFile(&result), S_OK);
    ASSERT_EQ(result, 0) << LastMessage(z.p);
    Releaser<_UnzipFiles> u{RealComponent().unzip()};
    ASSERT_EQ(Unzip(u.p, (t / "r.zip").string(), (t / "out").string()), 0) << LastMessage(u.p);
    EXPECT_EQ(FolderContents(t / "out"),
              (std::map<std::string, std::string>{{"GAMES/a.txt", "a"}, {"GAMES/alias.txt", "a"}}));
    EXPECT_EQ(fs::read_symlink(t / "out/GAMES/up"), "..");
    EXPECT_EQ(fs::read_symlink(t / "out/GAMES/self"), ".");
}

} // namespace
} // namespace varnock::test
