// Adding a folder of disk and tape images to the catalogue.

#include "catalogue/FolderScan.h"
#include "catalogue/RecordEditor.h"
#include "CatalogueFixture.h"
#include "TempDir.h"
#include "diskimage/DiskCatalogue.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tavrin::test
{
namespace
{

// A blank DFS image with the given title bytes.
std::string dfsImage(const std::string& title)
{
    std::vector<uint8_t> image = MakeBlankImage();
    for (size_t i = 0; i < title.size() && i < 12; ++i)
        image[i < 8 ? i : 0x100 + i - 8] = static_cast<uint8_t>(title[i]);
    return std::string(image.begin(), image.end());
}

TEST(FolderScan, KnowsTheSoftwareFileNames)
{
    for (const char* name : {"a.ssd", "B.DSD", "c.Img", "d.bbc", "e.uef", "f.ZIP"})
        EXPECT_TRUE(IsSoftwareFileName(name)) << name;
    for (const char* name : {"ssd", "a.ssd.txt", "a.inf", "a.jpg", "", "a.ss"})
        EXPECT_FALSE(IsSoftwareFileName(name)) << name;
}

TEST(FolderScan, TakesThePublisherFromTheLastFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\BBC\\Disks\\Acornsoft", "Acornsoft"},
        {"/home/u/Disks/Superior", "Superior"},
        {"Disks\\", ""},
        {"Acornsoft", "Acornsoft"},
        {"", ""},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(GetSingleDirName(path), name) << path;
}

TEST(FolderScan, StoresPathsRelativeToTheApplicationFolder)
{
    TempDir app;
    const std::string a = app.path().string();
    const std::pair<std::string, std::string> cases[] = {
        {a + "/Disks/Acme/elite.ssd", "Disks\\Acme\\elite.ssd"},
        {a + "/./Disks/../Disks/x.uef", "Disks\\x.uef"},
        {a + "Other/x.ssd", a + "Other/x.ssd"}, // beside, not inside
        {"/elsewhere/x.ssd", "/elsewhere/x.ssd"},
    };
    for (const auto& [file, stored] : cases)
        EXPECT_EQ(CataloguePathFor(file, a + "/"), stored) << file;
    EXPECT_EQ(CataloguePathKey("Disks/ACME\\Elite.SSD"), "disks\\acme\\elite.ssd");
}

TEST(FolderScan, AddsEveryImageNotYetCatalogued)
{
    TempDir app;
    const std::string longTitleName = "The Very Long Title Of A Game Beyond Forty";
    app.write("Disks/Acme/elite.ssd", dfsImage("ELITE"));
    app.write("Disks/Acme/Arcade/FROGGER.SSD", dfsImage("")); // blank title: the file name
    app.write("Disks/Acme/ctrl.dsd", dfsImage("A\x01"
                                              "B"));    // no showable title
    app.write("Disks/Acme/held.ssd", dfsImage("HELD")); // already catalogued
    app.write("Disks/Acme/" + longTitleName + ".uef", "UEF File!");
    app.write("Disks/Acme/Deeply/Nested/Folders/Here/Lives/game01.ssd", dfsImage("DEEP"));
    app.write("Disks/A Publisher Name Far Too Long For It/x.ssd", dfsImage("X"));
    app.write("Disks/Superior/repton.UEF", "UEF File!");
    app.write("Disks/Superior/game.zip", "PK\x03\x04");
    app.write("Disks/Superior/readme.txt", "not software");
    app.write("Disks/Superior/short.ssd", "tiny"); // too short for a title: the file name
    fs::create_directories(app / "Disks/Superior/folder.ssd"); // a folder, not a file
    app.write("Disks/Éditions Spéciales/Zoé.uef", "UEF File!");
    app.write("Disks/Superior/bad\xFF.ssd", dfsImage("BAD")); // a name that is no text
    // Names that cannot be stored: control characters, a backslash.
    for (const char* name : {"Superior/tab\tname.ssd", "Bell\x07/x.uef", "Superior/a\\b.ssd"})
        app.write(std::string("Disks/") + name, "UEF File!");
    app.write("Disks/Acme/Arcade/frogger.ssd", dfsImage("")); // beside FROGGER.SSD
    fs::create_symlink(app / "nothing.ssd", app / "Disks/Superior/gone.ssd");
    // A folder deeper than a path may reach (4096 bytes) cannot be opened by
    // its path, by root too; one without permissions only by other users.
    const std::string longName(250, 'd');
    int fd = ::open((app / "Disks").c_str(), O_RDONLY);
    for (int level = 0; level < 17 && ::mkdirat(fd, longName.c_str(), 0755) == 0; ++level)
        ::close(std::exchange(fd, ::openat(fd, longName.c_str(), O_RDONLY)));
    ::close(::openat(fd, "lost.ssd", O_CREAT | O_WRONLY, 0644));
    ::close(fd);
    const bool asRoot = ::geteuid() == 0;
    app.write("Disks/Locked/hidden.ssd", dfsImage("HIDDEN"));
    fs::permissions(app / "Disks/Locked", asRoot ? fs::perms::owner_all : fs::perms::none);

    const std::string catalogue = (app / "bbc.mdb").string();
    writeCatalogue(catalogue,
                   {Record{"Acme", "Held", " ", "Disks\\acme\\HELD.ssd", "0", "0", {}, 0},
                    Record{"Other", "Other", " ", "Disks\\other.ssd", "0", "0", {}, 1}});

    std::vector<std::pair<int, int>> steps;
    const FolderScanReport report = AddFolderOfSoftware(
        catalogue, (app / "Disks").string(), app.path().string(), [&](int done, int total) {
            steps.emplace_back(done, total);
            return true;
        });

    const std::vector<Record> records = readCatalogue(catalogue);
    std::vector<std::array<std::string, 3>> expected = {
        {"Arcade", "FROGGER", "Disks\\Acme\\Arcade\\FROGGER.SSD"},
        {"Acme", "ctrl", "Disks\\Acme\\ctrl.dsd"},
        {"Acme", "ELITE", "Disks\\Acme\\elite.ssd"},
        {"Superior", "game", "Disks\\Superior\\game.zip"},
        {"Superior", "repton", "Disks\\Superior\\repton.UEF"},
        {"Superior", "short", "Disks\\Superior\\short.ssd"},
        {"Éditions Spéciales", "Zoé", "Disks\\Éditions Spéciales\\Zoé.uef"},
    };
    if (asRoot) // the folder without permissions is read
        expected.insert(expected.begin() + 3, {"Locked", "HIDDEN", "Disks\\Locked\\hidden.ssd"});
    ASSERT_EQ(records.size(), 2 + expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Record& r = records[2 + i];
        SCOPED_TRACE(expected[i][2]);
        EXPECT_EQ(r.publisher, expected[i][0]);
        EXPECT_EQ(r.software, expected[i][1]);
        EXPECT_EQ(r.filepath, expected[i][2]);
        EXPECT_EQ(r.genre, " ");
        EXPECT_EQ(r.data1, "0");
        EXPECT_EQ(r.data2, "0");
        EXPECT_EQ(r.index, static_cast<int64_t>(2 + i));
    }
    fs::permissions(app / "Disks/Locked", fs::perms::owner_all);
    EXPECT_EQ(report.added, static_cast<int>(expected.size()));
    EXPECT_EQ(report.badNames.size(), 4u);
    EXPECT_EQ(report.unreadable.size(), asRoot ? 2u : 3u) << "the deep folder, the link to nothing";
    EXPECT_EQ(report.duplicates, std::vector<std::string>{"Disks\\Acme\\held.ssd"});
    EXPECT_EQ(report.caseClashes.size(), 1u);
    ASSERT_EQ(report.tooLong.size(), 3u);
    const std::string summary = FolderScanSummary(report);
    for (const char* part :
         {"titles were added", "already in the catalogue: 1", "too long for their fields: 3",
          "cannot be stored (not text, control characters or a backslash): 4", "tab\\x09name",
          "only in letter case: 1", "frogger.ssd (beside Disks\\Acme\\Arcade\\FROGGER.SSD)",
          "d: File name too long", "gone.ssd: a link to nothing", "Publisher \"A Publisher Name",
          "Software \"The Very Long", "Filepath \"Disks\\Acme\\Deeply"})
        EXPECT_NE(summary.find(part), std::string::npos) << part << "\n" << summary;
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back().first, steps.back().second);

    // Again: everything is there already.
    const FolderScanReport again =
        AddFolderOfSoftware(catalogue, (app / "Disks").string(), app.path().string());
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.duplicates.size(), expected.size() + 1);
    EXPECT_EQ(readCatalogue(catalogue).size(), records.size());
}

TEST(FolderScan, AStoppedScanWritesNothing)
{
    TempDir app;
    for (int i = 0; i < 100; ++i)
        app.write("Disks/Acme/g" + std::to_string(i) + ".ssd", dfsImage("G"));
    const std::string catalogue = (app / "bbc.mdb").string();
    writeCatalogue(catalogue, {Record{"A", "B", " ", "x.ssd", "0", "0", {}, 0}});
    for (int stopAt : {0, 64, 150}) {
        const FolderScanReport report =
            AddFolderOfSoftware(catalogue, (app / "Disks").string(), app.path().string(),
                                [&](int done, int) { return done < stopAt; });
        EXPECT_TRUE(report.cancelled) << stopAt;
        EXPECT_EQ(readCatalogue(catalogue).size(), 1u) << stopAt;
    }
    EXPECT_EQ(FolderScanSummary(FolderScanReport{0, {}, {}, {}, {}, {}, true}),
              "The folder scan was stopped; nothing was added to the catalogue.");
}

TEST(FolderScan, AMissingCatalogueOrFolderIsReported)
{
    TempDir app;
    app.write("Disks/a.ssd", dfsImage("A"));
    EXPECT_THROW(AddFolderOfSoftware((app / "none.mdb").string(), (app / "Disks").string(),
                                     app.path().string()),
                 dao::DaoError);
    const std::string catalogue = (app / "bbc.mdb").string();
    writeCatalogue(catalogue, {Record{"A", "B", " ", "x.ssd", "0", "0", {}, 0}});
    const FolderScanReport report =
        AddFolderOfSoftware(catalogue, (app / "nowhere").string(), app.path().string());
    EXPECT_EQ(report.added, 0);
    ASSERT_EQ(report.unreadable.size(), 1u);
    EXPECT_NE(FolderScanSummary(report).find("cannot be read"), std::string::npos);
}

} // namespace
} // namespace tavrin::test
