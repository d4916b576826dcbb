#include "core/FileHelpers.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace tavrin;
using tavrin::test::TempDir;

TEST(FileHelpers, TakesPathsApartWithEitherSeparator)
{
    struct Row {
        const char* path;
        const char* dir;
        const char* name;
        const char* lessExt;
    };
    const Row rows[] = {
        {"C:\\BBC\\elite.ssd", "C:\\BBC\\", "elite.ssd", "C:\\BBC\\elite"},
        {"Files/Acme/game.ssd", "Files/Acme/", "game.ssd", "Files/Acme/game"},
        {"Files\\Acme/mixed.dsd", "Files\\Acme/", "mixed.dsd", "Files\\Acme/mixed"},
        {"elite.ssd", "", "elite.ssd", "elite"},
        {" elite.ssd ", "", "elite.ssd", " elite"},
        {"C:\\BBC\\", "C:\\BBC\\", "", "C:\\BBC\\"},
        {"games/elite.disk.ssd", "games/", "elite.disk.ssd", "games/elite.disk"},
        // A file name without a point is taken whole; a point in a folder never counts.
        {"C:\\Games.old\\readme", "C:\\Games.old\\", "readme", "C:\\Games.old\\readme"},
        {"noext", "", "noext", "noext"},
        {"", "", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(GetDirPath(r.path), r.dir);
        EXPECT_EQ(GetFilename(r.path), r.name);
        EXPECT_EQ(GetFullNameLessExt(r.path), r.lessExt);
    }
}

TEST(FileHelpers, DirExistsWithAndWithoutTrailingSeparatorAndAnyCase)
{
    TempDir tmp;
    fs::create_directories(tmp / "Games/Acme");
    tmp.write("Games/file.txt");
    const std::string base = (tmp / "Games").string();
    EXPECT_TRUE(DirExists(base));
    EXPECT_TRUE(DirExists(base + "/"));
    EXPECT_TRUE(DirExists(base + "\\Acme\\"));
    EXPECT_TRUE(DirExists(tmp.path().string() + "\\gAMES\\acme"));
    EXPECT_FALSE(DirExists(base + "/Missing"));
    EXPECT_FALSE(DirExists(base + "/file.txt"));
    EXPECT_TRUE(DirExists(""));
}

TEST(FileHelpers, FileExistsIsFalseForFoldersAndMissingFiles)
{
    TempDir tmp;
    tmp.write("Images/Logo.JPG");
    EXPECT_TRUE(FileExists((tmp / "Images/Logo.JPG").string()));
    EXPECT_TRUE(FileExists(tmp.path().string() + "\\images\\logo.jpg"));
    EXPECT_FALSE(FileExists((tmp / "Images").string()));
    EXPECT_FALSE(FileExists((tmp / "Images/none.jpg").string()));
    EXPECT_FALSE(FileExists(""));
}

TEST(FileHelpers, DeleteAllFilesKeepsSubfoldersAndRemovesReadOnlyFiles)
{
    TempDir tmp;
    tmp.write("Temp/a.ssd");
    const auto readOnly = tmp.write("Temp/locked.img");
    fs::permissions(readOnly, fs::perms::owner_read, fs::perm_options::replace);
    tmp.write("Temp/Sub/keep.txt");
    fs::create_symlink(tmp / "outside.txt", tmp / "Temp/link");
    tmp.write("outside.txt", "precious");

    EXPECT_TRUE(DeleteAllFiles((tmp / "Temp").string()));
    EXPECT_FALSE(fs::exists(tmp / "Temp/a.ssd"));
    EXPECT_FALSE(fs::exists(readOnly));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp / "Temp/link")));
    EXPECT_TRUE(fs::exists(tmp / "Temp/Sub/keep.txt"));
    EXPECT_EQ(tavrin::test::readFile(tmp / "outside.txt"), "precious");
}

TEST(FileHelpers, DeleteAllFilesOfAMissingFolderCreatesNothing)
{
    TempDir tmp;
    EXPECT_FALSE(DeleteAllFiles((tmp / "Temp").string()));
    EXPECT_FALSE(fs::exists(tmp / "Temp"));
    EXPECT_FALSE(DeleteAllFiles(""));
}

TEST(FileHelpers, DeleteAllFilesReportsFilesThatStay)
{
    // Nobody, root included, can delete the files of /proc; its folders are
    // left alone as any subfolder is.
    EXPECT_FALSE(DeleteAllFiles("/proc/self"));
    EXPECT_TRUE(fs::exists("/proc/self/status"));
    if (geteuid() != 0) {
        TempDir tmp;
        tmp.write("Temp/a.ssd");
        fs::permissions(tmp / "Temp", fs::perms::owner_read | fs::perms::owner_exec,
                        fs::perm_options::replace);
        EXPECT_FALSE(DeleteAllFiles((tmp / "Temp").string()));
        EXPECT_TRUE(fs::exists(tmp / "Temp/a.ssd"));
    }
}
