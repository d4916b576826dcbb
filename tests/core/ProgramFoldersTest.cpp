#include "core/ProgramFolders.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace tavrin;
using tavrin::test::readFile;
using tavrin::test::TempDir;

namespace {

const InstallLayout kLayout{"../lib/tavrin", "../share/tavrin"};

} // namespace

TEST(PerUserDataFolder, FollowsXdgDataHomeElseHome)
{
    struct Row {
        std::string xdg, home;
        fs::path expected;
    };
    const Row rows[] = {
        {"/x/data", "/home/ann", "/x/data/tavrin"},
        {"", "/home/ann", "/home/ann/.local/share/tavrin"},
        // A relative XDG_DATA_HOME is invalid and ignored.
        {"relative/data", "/home/ann", "/home/ann/.local/share/tavrin"},
        {"", "", ""},
        {"", "home/ann", ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(PerUserDataFolder({r.xdg, r.home}), r.expected) << r.xdg << " | " << r.home;
}

TEST(ChooseProgramFolders, PortableWhenTheLibraryIsBesideAWritableFolder)
{
    // A portable folder (library beside the program) and an installed tree.
    TempDir tmp;
    tmp.write("portable/tavrin");
    tmp.write("portable/libvarnock.so");
    tmp.write("portable/bbc.mdb");
    tmp.write("usr/bin/tavrin");
    tmp.write("usr/lib/tavrin/libvarnock.so");
    tmp.write("usr/share/tavrin/bbc.mdb");
    tmp.write("broken/tavrin");
    const UserEnvironment env{"", (tmp / "home").string()};
    const fs::path user = tmp / "home/.local/share/tavrin";

    struct Row {
        std::string folder;
        bool writable;
        bool perUser;
        fs::path library, application, shipped;
    };
    const Row rows[] = {
        {"portable", true, false, tmp / "portable", tmp / "portable", {}},
        // A read-only unpacked archive: its own folder holds the data.
        {"portable", false, true, tmp / "portable", user, tmp / "portable"},
        // Installed, run by a user or by root (who may write /usr/bin).
        {"usr/bin", false, true, tmp / "usr/lib/tavrin", user, tmp / "usr/share/tavrin"},
        {"usr/bin", true, true, tmp / "usr/lib/tavrin", user, tmp / "usr/share/tavrin"},
        // No library anywhere: portable, and loading reports it missing.
        {"broken", true, false, tmp / "broken", tmp / "broken", {}},
    };
    for (const Row& r : rows) {
        const ProgramFolders f = ChooseProgramFolders(tmp / r.folder, r.writable, env, kLayout);
        SCOPED_TRACE(r.folder + (r.writable ? " writable" : " read-only"));
        EXPECT_EQ(f.perUser, r.perUser);
        EXPECT_EQ(f.programFolder, tmp / r.folder);
        EXPECT_EQ(f.libraryFolder, r.library);
        EXPECT_EQ(f.applicationFolder, r.application);
        EXPECT_EQ(f.shippedData, r.shipped);
    }
    EXPECT_THROW(ChooseProgramFolders(tmp / "usr/bin", false, {"", ""}, kLayout), std::runtime_error);
}

TEST(FolderIsWritable, FollowsThePermissions)
{
    TempDir tmp;
    EXPECT_TRUE(FolderIsWritable(tmp.path()));
    EXPECT_FALSE(FolderIsWritable(tmp / "missing"));
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write any folder";
    fs::permissions(tmp.path(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(FolderIsWritable(tmp.path()));
}

TEST(FillPerUserFolder, CopiesWhatIsMissingOncePerVersionAndNeverReplaces)
{
    TempDir tmp;
    const fs::path shipped = tmp / "share";
    tmp.write("share/bbc.mdb", "shipped catalogue");
    tmp.write("share/bbc.ini", "[Emulator]\n");
    tmp.write("share/Images/background.jpg", "picture");
    tmp.write("share/Files/Game/game.ssd", "disk");
    tmp.write("share/help.hlp", "help");
    // A read-only portable folder also holds the program itself.
    tmp.write("share/tavrin", "program");
    tmp.write("share/libvarnock.so", "library");
    fs::create_directories(shipped / "Empty");
    const fs::path user = tmp / "home/.local/share/tavrin";
    // The user's own catalogue and configuration from before.
    tmp.write("home/.local/share/tavrin/bbc.mdb", "my catalogue");
    tmp.write("home/.local/share/tavrin/bbc.ini", "[Emulator]\nEmulator=PcBBC\n");

    EXPECT_EQ(FillPerUserFolder(shipped, user, "1.0.0"), 3);
    EXPECT_EQ(readFile(user / "bbc.mdb"), "my catalogue");
    EXPECT_EQ(readFile(user / "bbc.ini"), "[Emulator]\nEmulator=PcBBC\n");
    EXPECT_EQ(readFile(user / "Images/background.jpg"), "picture");
    EXPECT_EQ(readFile(user / "Files/Game/game.ssd"), "disk");
    EXPECT_EQ(readFile(user / "help.hlp"), "help");
    EXPECT_TRUE(fs::is_directory(user / "Empty"));
    EXPECT_FALSE(fs::exists(user / "tavrin"));
    EXPECT_FALSE(fs::exists(user / "libvarnock.so"));
    EXPECT_EQ(readFile(user / kFilledStampFile), "1.0.0\n");
    // Shipped read-only, the copy is still the user's to change.
    fs::permissions(shipped / "help.hlp", fs::perms::owner_write, fs::perm_options::remove);
    fs::remove(user / "help.hlp");
    fs::remove(user / kFilledStampFile);
    EXPECT_EQ(FillPerUserFolder(shipped, user, "1.0.0"), 1);
    EXPECT_NE(fs::status(user / "help.hlp").permissions() & fs::perms::owner_write, fs::perms::none);
    for (const auto& entry : fs::recursive_directory_iterator(user))
        EXPECT_EQ(entry.path().string().find(".tavrin-part"), std::string::npos) << entry.path();

    // Later starts of the same version leave the folder alone: a sample the
    // user deleted stays deleted.
    fs::remove(user / "Files/Game/game.ssd");
    EXPECT_EQ(FillPerUserFolder(shipped, user, "1.0.0"), 0);
    EXPECT_FALSE(fs::exists(user / "Files/Game/game.ssd"));

    // A new version brings the files that are missing and replaces those
    // the user never changed; a changed one, the catalogue and bbc.ini stay.
    tmp.write("home/.local/share/tavrin/help.hlp", "my notes");
    tmp.write("share/help.hlp", "new help");
    tmp.write("share/bbc.mdb", "new catalogue");
    tmp.write("share/Images/background.jpg", "new picture");
    tmp.write("share/Data/internet.mdb", "sources");
    EXPECT_EQ(FillPerUserFolder(shipped, user, "1.1.0"), 3);
    EXPECT_EQ(readFile(user / "Images/background.jpg"), "new picture");
    EXPECT_EQ(readFile(user / "Data/internet.mdb"), "sources");
    EXPECT_EQ(readFile(user / "Files/Game/game.ssd"), "disk");
    EXPECT_EQ(readFile(user / "help.hlp"), "my notes");
    EXPECT_EQ(readFile(user / "bbc.mdb"), "my catalogue");
}

TEST(FillPerUserFolder, WithoutAManifestOnlyTheFilesAsShippedAreKnownAndLinksAreKept)
{
    TempDir tmp;
    const fs::path user = tmp / "user";
    tmp.write("share/a.txt", "A1");
    tmp.write("share/b.txt", "B1");
    tmp.write("share/Images/c.jpg", "C1");
    // Filled by a version that kept no manifest; the pictures are a link to
    // a folder of the user's.
    tmp.write("user/a.txt", "A1");
    tmp.write("user/b.txt", "B0");
    tmp.write("mine/c.jpg", "C1");
    tmp.write("user/.tavrin-data", "0.9\n");
    fs::create_directory_symlink(tmp / "mine", user / "Images");
    EXPECT_EQ(FillPerUserFolder(tmp / "share", user, "1.0"), 0);

    // A damaged line names nothing.
    std::ofstream(user / kShippedManifestFile, std::ios::app) << "zz  b.txt\nno hash\n";
    tmp.write("share/a.txt", "A2");
    tmp.write("share/b.txt", "B2");
    tmp.write("share/Images/c.jpg", "C2");
    EXPECT_EQ(FillPerUserFolder(tmp / "share", user, "1.1"), 1);
    EXPECT_EQ(readFile(user / "a.txt"), "A2");
    EXPECT_EQ(readFile(user / "b.txt"), "B0");
    EXPECT_EQ(readFile(tmp / "mine/c.jpg"), "C1");
}

TEST(FillPerUserFolder, ReportsWhatIsInTheWayAndTriesAgainNextTime)
{
    TempDir tmp;
    tmp.write("share/Images/background.jpg", "picture");
    tmp.write("share/bbc.mdb", "catalogue");
    const fs::path user = tmp / "user";
    tmp.write("user/Images", "a file where a folder belongs");
    EXPECT_THROW(FillPerUserFolder(tmp / "share", user, "1.0.0"), std::runtime_error);
    EXPECT_FALSE(fs::exists(user / kFilledStampFile));

    fs::remove(user / "Images");
    EXPECT_NO_THROW(FillPerUserFolder(tmp / "share", user, "1.0.0"));
    EXPECT_EQ(readFile(user / "Images/background.jpg"), "picture");
    EXPECT_EQ(readFile(user / "bbc.mdb"), "catalogue");
    EXPECT_EQ(readFile(user / kFilledStampFile), "1.0.0\n");

    // The per-user folder's own place taken by a file; shipped data missing.
    tmp.write("file", "x");
    EXPECT_THROW(FillPerUserFolder(tmp / "share", tmp / "file", "1.0.0"), std::runtime_error);
    EXPECT_THROW(FillPerUserFolder(tmp / "nothing", tmp / "user2", "1.0.0"), std::runtime_error);
}
