// The main window's wiring of the two ways collections come in: a Jet
// catalogue found at start-up, and "Add a folder of software...".

#include "WindowFixture.h"
#include "catalogue/JetImport.h"
#include "diskimage/DiskCatalogue.h"

#include <QAction>

namespace fs = std::filesystem;

namespace tavrin::test
{
namespace
{

class AddFolderWindowTest : public WindowTest
{
};

TEST_F(AddFolderWindowTest, AJetCatalogueThatIsNoCatalogueStopsTheStartAndStays)
{
    // Northwind is a Jet file without the catalogue's table.
    fs::remove(dir / "bbc.mdb");
    fs::copy_file(TAVRIN_JET_TESTDATA, dir / "bbc.mdb");
    form = std::make_unique<Form1>(&prompt);
    form->f.sAppPath = dir.path().string();
    EXPECT_FALSE(form->load());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("cannot be converted"), std::string::npos)
        << prompt.shown[0].text;
    EXPECT_NE(prompt.shown[0].text.find("BBCSoftware"), std::string::npos);
    EXPECT_TRUE(IsJetFile((dir / "bbc.mdb").string()));
    EXPECT_FALSE(fs::exists(dir / "bbc.jet.mdb"));
}

TEST_F(AddFolderWindowTest, AddingAFolderReloadsTheGridAndShowsTheSummary)
{
    Form1& w = loadForm();
    std::vector<uint8_t> image = MakeBlankImage();
    WriteCatalogueTitle(image, "REPTON");
    dir.write("Disks/Superior/repton.ssd", std::string(image.begin(), image.end()));
    dir.write("Disks/Superior/Citadel.UEF", "UEF File!");
    EXPECT_EQ(w.mnuAddFolder->text(), "&Add a folder of software...");

    w.addFolderOfSoftware((dir / "Disks").string());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "2 titles were added to the catalogue.");
    EXPECT_EQ(w.f.iProgRange, 5);
    EXPECT_EQ(w.f.MSFlexGrid.Rows(), 5);
    bool found = false;
    for (int r = 0; r < w.f.MSFlexGrid.Rows(); ++r)
        found =
            found || (w.f.MSFlexGrid.TextMatrix(r, colSoftware) == "REPTON" &&
                      w.f.MSFlexGrid.TextMatrix(r, colFilepath) == "Disks\\Superior\\repton.ssd");
    EXPECT_TRUE(found);
}

} // namespace
} // namespace tavrin::test
