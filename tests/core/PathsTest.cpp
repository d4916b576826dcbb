#include "core/Paths.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using tavrin::OsPath;
using tavrin::test::TempDir;

TEST(OsPath, FindsEntriesWithoutRegardToLetterCase)
{
    TempDir tmp;
    tmp.write("Images/background.jpg");
    tmp.write("Images/button-run.gif");
    tmp.write("Files/Acme Soft/Game.SSD");
    const std::string root = tmp.path().string();
    struct Row {
        std::string stored;
        fs::path expected;
    };
    const Row rows[] = {
        {root + "\\images\\button-run.gif", tmp / "Images/button-run.gif"},
        {root + "\\Images\\background.jpg", tmp / "Images/background.jpg"},
        {root + "/IMAGES/BACKGROUND.JPG", tmp / "Images/background.jpg"},
        {root + "\\files\\ACME SOFT\\game.ssd", tmp / "Files/Acme Soft/Game.SSD"},
        // A missing part ends the matching; the rest is kept as written.
        {root + "\\images\\New Folder\\x.gif", tmp / "Images/New Folder/x.gif"},
        {root + "\\Nothing\\images", tmp / "Nothing/images"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.stored);
        EXPECT_EQ(OsPath(r.stored), r.expected);
    }
}

TEST(OsPath, RelativePathsResolveAgainstTheCurrentFolder)
{
    TempDir tmp;
    tmp.write("Images/logosp.jpg");
    tavrin::test::CurrentDir here(tmp.path());
    EXPECT_EQ(OsPath("images\\LOGOSP.jpg"), fs::path("Images/logosp.jpg"));
    EXPECT_EQ(OsPath("Temp"), fs::path("Temp"));
    EXPECT_EQ(OsPath(""), fs::path());
    EXPECT_EQ(OsPath(".\\images\\logosp.jpg"), fs::path("./Images/logosp.jpg"));
}
