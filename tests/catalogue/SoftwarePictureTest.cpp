// The pictures found beside a software file and what a click on a row does.

#include "catalogue/CatalogueGrid.h"
#include "core/Form1State.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace tavrin::test;

namespace {

// A grid of one row: path in column 3, description in column 6.
void oneRow(Form1State& f, const std::string& path, const std::string& description)
{
    f.iProgRange = 1;
    SetupGrid(f);
    f.MSFlexGrid.setTextMatrix(0, 3, path);
    f.MSFlexGrid.setTextMatrix(0, 6, description);
    f.MSFlexGrid.setRow(0);
}

} // namespace

TEST(ShowSoftwarePicture, FindsTheFourNamesBesideTheFileInOrder)
{
    struct Case {
        const char* name;
        std::vector<std::string> files; // beside Games/elite.ssd
        std::string box, screen;         // expected, "" for the placeholder
    };
    const std::vector<Case> cases = {
        {"jpeg pair", {"elite-box.jpg", "elite.jpg"}, "Games\\elite-box.jpg", "Games\\elite.jpg"},
        {"gif only", {"elite-box.gif", "elite.gif"}, "Games\\elite-box.gif", "Games\\elite.gif"},
        {"jpeg wins", {"elite-box.gif", "elite-box.jpg", "elite.gif", "elite.jpg"},
         "Games\\elite-box.jpg", "Games\\elite.jpg"},
        {"box only", {"elite-box.gif"}, "Games\\elite-box.gif", ""},
        {"none", {}, "", ""},
        {"another title's pictures", {"elite2-box.jpg", "elit.jpg"}, "", ""},
        // A folder of that name is no picture.
        {"folder", {"elite-box.jpg/inside"}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir tmp;
        CurrentDir here(tmp.path());
        tmp.write("Games/elite.ssd");
        for (const std::string& file : c.files)
            tmp.write("Games/" + file);
        Form1State f;
        oneRow(f, "Games\\elite.ssd", "A space trading game");
        const SoftwarePictures p = ShowSoftwarePicture(f, "Games\\elite.ssd");
        EXPECT_EQ(p.boxPicture, c.box);
        EXPECT_EQ(p.secondPicture, c.screen);
        EXPECT_EQ(p.description, "A space trading game");
        EXPECT_EQ(f.sFilename, "elite.ssd");
        EXPECT_EQ(f.sFilenameNoExt, "elite");
    }
}

TEST(ShowSoftwarePicture, NamesWithTwoPointsNoPointOrNoFolder)
{
    struct Case {
        std::string path, noExt, picture;
        std::string file; // written beside
    };
    const std::vector<Case> cases = {
        // The name stops at its first point.
        {"Games\\elite.disk.ssd", "elite", "Games\\elite-box.jpg", "Games/elite-box.jpg"},
        // No point: the whole name.
        {"Games\\README", "README", "Games\\README-box.jpg", "Games/README-box.jpg"},
        // No folder: the current folder.
        {"elite.ssd", "elite", "elite-box.jpg", "elite-box.jpg"},
        // Forward slashes and another letter case find the same picture.
        {"games/ELITE.SSD", "ELITE", "games/ELITE-box.jpg", "Games/elite-box.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TempDir tmp;
        CurrentDir here(tmp.path());
        tmp.write(c.file);
        Form1State f;
        oneRow(f, c.path, "");
        const SoftwarePictures p = ShowSoftwarePicture(f, c.path);
        EXPECT_EQ(f.sFilenameNoExt, c.noExt);
        EXPECT_EQ(p.boxPicture, c.picture);
        EXPECT_EQ(p.description, " "); // an empty description shows one space
    }
}

TEST(GridClick, LocalRowsShowPicturesInternetRowsOnlyTheirText)
{
    TempDir tmp;
    CurrentDir here(tmp.path());
    tmp.write("Games/elite-box.jpg");
    Form1State f;
    oneRow(f, "Games\\elite.ssd", "");

    GridClickResult r = GridClick(f);
    EXPECT_EQ(f.sFullFilename, "Games\\elite.ssd");
    EXPECT_TRUE(r.showPictures);
    EXPECT_EQ(r.pictures.boxPicture, "Games\\elite-box.jpg");
    EXPECT_FALSE(r.refillCatalogue);
    f.iCatalogueView = 2;
    EXPECT_TRUE(GridClick(f).refillCatalogue);

    // An Internet list shows the description, or the file when there is none.
    f.boolInternet = true;
    f.sFilename.clear();
    r = GridClick(f);
    EXPECT_FALSE(r.showPictures);
    EXPECT_TRUE(r.showDescriptionOnly);
    EXPECT_EQ(r.description, "Games\\elite.ssd");
    EXPECT_TRUE(f.sFilename.empty()) << "an Internet click looked for pictures";
    f.MSFlexGrid.setTextMatrix(0, 6, "Elite, the original");
    EXPECT_EQ(GridClick(f).description, "Elite, the original");

    // A row without a file shows the placeholders and its own description.
    f.boolInternet = false;
    f.MSFlexGrid.setTextMatrix(0, 3, "");
    f.sFilename = "elite.ssd";
    r = GridClick(f);
    EXPECT_EQ(f.sFullFilename, "");
    EXPECT_TRUE(r.showPictures);
    EXPECT_EQ(r.pictures.boxPicture, "");
    EXPECT_EQ(r.pictures.description, "Elite, the original");
    EXPECT_TRUE(f.sFilename.empty());
}
