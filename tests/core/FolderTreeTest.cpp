#include "core/FolderTree.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace tavrin;
using tavrin::test::TempDir;

TEST(FolderTree, WithTrailingBackslash)
{
    EXPECT_EQ(WithTrailingBackslash("Temp"), "Temp\\");
    EXPECT_EQ(WithTrailingBackslash("Temp\\"), "Temp\\");
    EXPECT_EQ(WithTrailingBackslash(""), "\\");
}

TEST(FolderTree, BreadthFirstEachFolderSortedWithoutRegardToCase)
{
    TempDir t;
    for (const char* name : {"Temp/b", "Temp/ELITE.inf", "Temp/A", "Temp/elite", "Temp/Zeta/z",
                             "Temp/alpha/Deep/d", "Temp/alpha/c"})
        t.write(name);
    fs::create_symlink(t / "Temp", t / "Temp/alpha/loop");    // not followed
    fs::create_symlink(t / "Temp/A", t / "Temp/alpha/link"); // not a file of its own
    ASSERT_EQ(::mkfifo((t / "Temp/pipe").c_str(), 0600), 0);   // no file to read

    FolderListing listing;
    ASSERT_TRUE(ListFolderTree((t / "Temp").string(), listing));
    const std::string top = (t / "Temp").string() + "\\";
    EXPECT_EQ(listing.folders,
              (std::vector<std::string>{top, top + "alpha\\", top + "Zeta\\", top + "alpha\\Deep\\"}));
    EXPECT_EQ(listing.names,
              (std::vector<std::string>{"A", "b", "elite", "ELITE.inf", "c", "z", "d"}));
    EXPECT_EQ(listing.nameFolders, (std::vector<int32_t>{0, 0, 0, 0, 1, 2, 3}));
}

TEST(FolderTree, EmptyAndMissingFolders)
{
    TempDir t;
    fs::create_directories(t / "Empty/sub");
    FolderListing listing;
    ASSERT_TRUE(ListFolderTree((t / "Empty").string(), listing));
    EXPECT_EQ(listing.names, std::vector<std::string>{""});
    EXPECT_EQ(listing.nameFolders, std::vector<int32_t>{0});
    EXPECT_EQ(listing.folders.size(), 2u);

    EXPECT_FALSE(ListFolderTree((t / "Missing").string(), listing));
    EXPECT_EQ(listing.names, std::vector<std::string>{""}); // untouched
}
