// The update prompt as a modal window: its texts, OK copying the working
// copy back over the catalogue's image, No leaving the image alone.

#include "LaunchFixture.h"

#include "windows/FrmUpdateImg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using namespace test;

QApplication& app()
{
    static int argc = 1;
    static char name[] = "tavrin_launch_tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    return application;
}

TEST(FrmUpdateImg, OkCopiesTheWorkingCopyBackNoLeavesTheImage)
{
    app();
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "No");
        LaunchFolder folder({"Files\\game.img"});
        const fs::path image = folder.write("Files/game.img", "catalogue image");
        folder.write("emu/BeebEm/Disk0.img", "played image");
        folder.f.sFullFilename = "Files\\game.img";
        folder.f.sDataDestination = (folder.emu("BeebEm") / "Disk0.img").string();
        Launcher launcher = folder.launcher();

        FrmUpdateImg w(launcher);
        EXPECT_EQ(w.windowTitle(), "Update image");
        EXPECT_EQ(w.Label2->text(), "The last disk image used was of the type .IMG and is updateable.");
        EXPECT_EQ(w.Label1->text(), "Do you want to update and save any changes to this disk image?");
        EXPECT_EQ(w.OKButton->text(), "OK");
        EXPECT_EQ(w.NoButton->text(), "No");
        QTimer::singleShot(0, &w, [&] {
            EXPECT_TRUE(w.isModal() && w.isVisible());
            (ok ? w.OKButton : w.NoButton)->click();
        });
        w.exec();
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(readFile(image), ok ? "played image" : "catalogue image");
        EXPECT_TRUE(folder.prompt.shown.empty());
    }
}

} // namespace
} // namespace tavrin
