// Zipped software: real archives made with Debian's zip, unpacked through the
// real libvarnock.so, and the search for the image to run.

#include "launch/ZippedSoftware.h"

#include "launch/VarnockComponent.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr const char* kNoArchive1 = "The compressed file did not contain a standard archive (1)";
constexpr const char* kNoArchive2 = "The compressed file did not contain a standard archive (2)";

// Zips `files` (name -> content; a name ending in "/" is an empty folder)
// into `zip`, keeping their folders.
void MakeZip(const TempDir& t, const fs::path& zip, const std::map<std::string, std::string>& files)
{
    const fs::path src = t / ("src-" + zip.stem().string());
    fs::create_directories(src);
    for (const auto& [name, content] : files) {
        if (name.back() == '/')
            fs::create_directories(src / name);
        else
            t.write(fs::relative(src / name, t.path()).string(), content);
    }
    const std::string command = "cd '" + src.string() + "' && zip -q -r '" + zip.string() + "' .";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct LaunchRun {
    Form1State f;
    ScriptedPrompt prompt;
    std::string info;
    bool ok = false;
};

// Runs UnzipSoftware as the launch does: a grid click has set the file and
// its name up to the first dot, and iZipped is 0.
void Unzip(LaunchRun& run, const fs::path& archive, const fs::path& temp,
           const CreateUnzipFiles& create, const ShowUnpackProgress& show = {})
{
    run.f.sFullFilename = archive.string();
    run.f.sFilenameNoExt = archive.stem().string();
    run.f.sTempDir = temp.string();
    run.f.iZipped = 0;
    run.ok = UnzipSoftware(run.f, run.prompt, create,
                           [&](const std::string& text) { run.info += text; }, show);
}

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::vector<std::string> Texts(const ScriptedPrompt& prompt)
{
    std::vector<std::string> texts;
    for (const auto& s : prompt.shown)
        texts.push_back(s.text);
    return texts;
}

TEST(ZippedSoftware, SearchOrderOnRealArchives)
{
    struct Row {
        const char* archive;
        std::map<std::string, std::string> files;
        const char* image; // expected, relative to the temporary folder ("" for none)
        const char* ext;
        const char* info;
        std::vector<std::string> messages;
    } rows[] = {
        {"Elite.zip", {{"Elite.dsd", "D"}, {"Elite.ssd", "S"}}, "Elite.ssd", ".ssd", ".ssd", {}},
        {"Games.zip", {{"Chuckie.img", "I"}, {"readme.txt", "r"}}, "chuckie.img", ".img", "", {}},
        {"Box.zip", {{"DISKS/Inner.SSD", "S"}}, "inner.ssd", ".ssd", "", {}},
        {"Loose.zip",
         {{"ELITE", "E"}, {"ELITE.inf", "$.ELITE FF1900 FF8023"}, {"README", "r"}},
         "Loose.ssd", ".ssd", ".ssd", {}},
        {"Empty.zip", {{"nothing/", ""}}, "", "", "", {kNoArchive1, kNoArchive2}},
        {"Readme.zip", {{"README.TXT", "read me"}}, "", "", "", {kNoArchive2}},
    };
    TempDir t;
    ScriptedPrompt factoryPrompt;
    const CreateUnzipFiles create = UnzipFilesFactory(factoryPrompt, TAVRIN_APP_DIR);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.archive);
        const fs::path archive = t / row.archive;
        MakeZip(t, archive, row.files);
        const fs::path temp = t / ("Temp-" + archive.stem().string());
        LaunchRun run;
        Unzip(run, archive, temp, create);
        EXPECT_TRUE(run.ok);
        EXPECT_EQ(run.f.strZipFilename, archive.string());
        EXPECT_EQ(Texts(run.prompt), row.messages);
        EXPECT_EQ(run.info, row.info);
        if (*row.image) {
            EXPECT_EQ(run.f.iZipped, 1);
            EXPECT_EQ(run.f.sFullFilename, temp.string() + "\\" + row.image);
            EXPECT_EQ(run.f.sExt, row.ext);
        } else {
            EXPECT_EQ(run.f.iZipped, 0);
            EXPECT_EQ(run.f.sFullFilename, "");
        }
    }
}

// What an earlier unpack left in Temp (files, folders, links) never joins
// the next archive's files; an archive lying there (a download) stays.
TEST(ZippedSoftware, TempIsEmptiedBeforeEachUnpack)
{
    TempDir t;
    MakeZip(t, t / "Other.zip", {{"OTHER", "O"}, {"OTHER.inf", "$.OTHER FF1900 FF8023"}});
    t.write("Temp/GAME", "G");
    t.write("Temp/GAME.inf", "$.GAME FF1900 FF8023");
    t.write("Temp/old/Older.ssd", "S");
    t.write("outside/mine.txt", "mine");
    fs::create_directory_symlink(t / "outside", t / "Temp/link");
    ScriptedPrompt factoryPrompt;
    const CreateUnzipFiles create = UnzipFilesFactory(factoryPrompt, TAVRIN_APP_DIR);
    LaunchRun run;
    Unzip(run, t / "Other.zip", t / "Temp", create);
    EXPECT_EQ(run.f.iZipped, 0);
    EXPECT_EQ(Texts(run.prompt), std::vector<std::string>{kNoArchive2});
    EXPECT_EQ(Names(t / "Temp"), (std::set<std::string>{"OTHER", "OTHER.inf"}));
    EXPECT_EQ(test::readFile(t / "outside/mine.txt"), "mine");

    MakeZip(t, t / "Temp/Dl.zip", {{"Dl.ssd", "D"}});
    LaunchRun download;
    Unzip(download, t / "Temp/Dl.zip", t / "Temp", create);
    EXPECT_EQ(download.f.iZipped, 1);
    EXPECT_EQ(Names(t / "Temp"), (std::set<std::string>{"Dl.ssd", "Dl.zip"}));
}

// An archive that would expand beyond what a title can need is refused
// before anything is written; Cancel in the progress window stops the
// unpack. Either way nothing unpacked stays and the launch stops.
TEST(ZippedSoftware, OversizedOrCancelledUnpackLeavesNothing)
{
    struct Window : UnpackProgress {
        Window(std::vector<std::string>& s, size_t c) : seen(s), cancelAt(c) {}
        bool report(const std::string& entry, uint64_t done, uint64_t total) override
        {
            seen.push_back(entry + " " + std::to_string(done) + "/" + std::to_string(total));
            return seen.size() < cancelAt;
        }
        std::vector<std::string>& seen;
        size_t cancelAt;
    };
    TempDir t;
    MakeZip(t, t / "Elite.zip", {{"Elite.ssd", std::string(300000, 'E')}});
    t.write("Bomb.zip", test::withDeclaredSize(test::readFile(t / "Elite.zip"), 100u << 20));
    struct Row {
        const char* archive;
        size_t cancelAt;
        std::vector<std::string> messages;
    } rows[] = {
        {"Elite.zip", SIZE_MAX, {}},
        {"Elite.zip", 3, {}}, // after its first piece is written
        {"Bomb.zip", SIZE_MAX,
         {"The archive " + (t / "Bomb.zip").string() + " was not unpacked: its files would take 100 MB, "
          "more than the 64 MB that a title for the BBC Micro or the Acorn Electron could need."}},
    };
    ScriptedPrompt factoryPrompt;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.archive + std::to_string(row.cancelAt));
        std::vector<std::string> seen;
        LaunchRun run;
        Unzip(run, t / row.archive, t / "Temp", UnzipFilesFactory(factoryPrompt, TAVRIN_APP_DIR),
              [&](const std::string&) { return std::make_unique<Window>(seen, row.cancelAt); });
        const bool whole = row.cancelAt == SIZE_MAX && row.messages.empty();
        EXPECT_EQ(run.ok, whole);
        EXPECT_EQ(Texts(run.prompt), row.messages);
        EXPECT_EQ(Names(t / "Temp"), whole ? std::set<std::string>{"Elite.ssd"} : std::set<std::string>{});
        EXPECT_EQ(seen.size() >= 2 ? seen[1] : "", row.messages.empty() ? "Elite.ssd 0/300000" : "");
        if (whole) {
            EXPECT_EQ(seen.empty() ? "" : seen.back(), "Elite.ssd 300000/300000");
        }
    }
}

TEST(ZippedSoftware, RefusalNamesTheFreeSpace)
{
    EXPECT_EQ(UnpackRefusal("E.zip", 64u << 20, 64u << 20, "a title", 64u << 20, "Temp"), "");
    EXPECT_EQ(UnpackRefusal("E.zip", 3u << 19, 64u << 20, "a title", (1u << 20) + 1, "Temp"),
              "The archive E.zip was not unpacked: its files would take 2 MB, but only 1 MB are "
              "free in the folder Temp.");
}

TEST(ZippedSoftware, ImageFoundByTheTreeSearchBecomesTheCurrentFile)
{
    TempDir t;
    MakeZip(t, t / "Games.zip", {{"Chuckie.IMG", "I"}});
    ScriptedPrompt factoryPrompt;
    LaunchRun run;
    Unzip(run, t / "Games.zip", t / "Temp", UnzipFilesFactory(factoryPrompt, TAVRIN_APP_DIR));
    EXPECT_EQ(run.f.sFilename, "chuckie.img");
    EXPECT_EQ(run.f.sFilenameNoExt, "chuckie");
    EXPECT_EQ(run.f.sExt, ".img");
    EXPECT_EQ(test::readFile(t / "Temp/Chuckie.IMG"), "I");
}

TEST(ZippedSoftware, AFailingUnpackerStopsTheLaunchWithItsCause)
{
    TempDir t;
    MakeZip(t, t / "Elite.zip", {{"Elite.ssd", "S"}});
    // The component library missing; then present without its unzip engine.
    fs::create_directories(t / "nolib");
    fs::create_directories(t / "noengine");
    fs::copy_file(fs::path(TAVRIN_APP_DIR) / "libvarnock.so", t / "noengine/libvarnock.so");
    struct Row {
        const char* folder;
        const char* cause;
    } rows[] = {{"nolib", "libvarnock.so cannot be loaded"},
                {"noengine", "libvarnockunzip.so"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        LaunchRun run;
        Unzip(run, t / "Elite.zip", t / "Temp", UnzipFilesFactory(run.prompt, t / row.folder));
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.f.iZipped, 0);
        ASSERT_EQ(run.prompt.shown.size(), 1u);
        const std::string& text = run.prompt.shown[0].text;
        EXPECT_EQ(text.rfind("The archive " + (t / "Elite.zip").string() + " cannot be unpacked: ", 0),
                  0u)
            << text;
        EXPECT_NE(text.find(row.cause), std::string::npos) << text;
    }
}

TEST(ZippedSoftware, NoTemporaryFolderToUnpackInto)
{
    TempDir t;
    MakeZip(t, t / "Elite.zip", {{"Elite.ssd", "S"}});
    t.write("Temp", "a file, not a folder");
    for (const fs::path& temp : {fs::path(), t / "Temp"}) {
        LaunchRun run;
        Unzip(run, t / "Elite.zip", temp, UnzipFilesFactory(run.prompt, TAVRIN_APP_DIR));
        EXPECT_FALSE(run.ok);
        ASSERT_EQ(run.prompt.shown.size(), 1u);
        EXPECT_EQ(run.prompt.shown[0].text,
                  temp.empty() ? "No folder for unpacked files is set, so the archive cannot be unpacked."
                               : "The folder " + temp.string() +
                                     " for unpacked files cannot be created: Not a directory");
    }
}

TEST(ZippedSoftware, DamagedArchiveShowsTheUnpackersTextAndSearchesOn)
{
    TempDir t;
    t.write("Bad.zip", "PK\x03\x04 not really a zip");
    ScriptedPrompt factoryPrompt;
    LaunchRun run;
    Unzip(run, t / "Bad.zip", t / "Temp", UnzipFilesFactory(factoryPrompt, TAVRIN_APP_DIR));
    EXPECT_TRUE(run.ok);
    ASSERT_EQ(run.prompt.shown.size(), 3u);
    EXPECT_NE(run.prompt.shown[0].text.find("Bad.zip"), std::string::npos);
    EXPECT_EQ(run.prompt.shown[0].title, kProgramTitle);
    EXPECT_EQ(run.prompt.shown[0].icon, PromptIcon::None);
    EXPECT_EQ(run.prompt.shown[1].text, kNoArchive1);
    EXPECT_EQ(run.prompt.shown[2].text, kNoArchive2);
}

} // namespace
} // namespace tavrin
