// "&Export to MMB..." in the File menu: the rows the search box shows, in
// grid order, into the file the user names.

#include "WindowFixture.h"
#include "diskimage/MmbFile.h"
#include "diskimage/RealDiscs.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

namespace tavrin::test
{
namespace
{

class ExportMmbWindowTest : public WindowTest
{
};

TEST_F(ExportMmbWindowTest, TheShownTitlesGoIntoTheNamedFileInGridOrder)
{
    for (const char* name : {"acorn/welcome", "acorn/elite", "zeta/alpha"}) {
        const Bytes disc = realDisc(std::string(name).substr(6));
        dir.write(std::string("Files/") + name + ".ssd", std::string(disc.begin(), disc.end()));
    }
    Form1& w = loadForm();
    EXPECT_TRUE(w.mnuFile->actions().contains(w.mnuExportMmb));
    EXPECT_EQ(w.mnuExportMmb->text(), "&Export to MMB...");
    w.openSearch();
    w.txtSearch->setText("acorn");
    w.applySearch();
    const std::string mmb = (dir / "BEEB.MMB").string();
    w.chooseMmbFile = [&] { return QString::fromStdString(mmb); };

    w.mnuExportMmb->trigger();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text.rfind("2 discs were written to \"" + mmb + "\"", 0), 0u)
        << prompt.shown[0].text;
    const MmbFileRead read = ReadMmbFile(mmb);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.index.slot(0).title, "elite");
    EXPECT_EQ(read.index.slot(1).title, "welcome");
    EXPECT_TRUE(read.index.slot(2).isEmpty());
}

} // namespace
} // namespace tavrin::test
