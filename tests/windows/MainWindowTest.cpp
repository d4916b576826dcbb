// The main window on the offscreen platform: layout, menus, the picture
// buttons' protocol, the placement of the pictures and the emulator items.

#include "WindowFixture.h"
#include "core/Configuration.h"
#include "windows/FrmFormIni.h"
#include "windows/PictureButton.h"
#include "windows/Twips.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <optional>
#include <fstream>

namespace tavrin::test {
namespace {

class MainWindowTest : public WindowTest {
protected:
    // Clicks a picture button as the mouse does and returns the pictures
    // it was given, in order.
    QStringList click(PictureButton* button, std::optional<Qt::Key> key = std::nullopt)
    {
        QStringList shown;
        form->pictureShown = [&](const QLabel* b, const QString& picture) {
            EXPECT_EQ(b, button);
            shown << picture;
        };
        if (key)
            QTest::keyClick(button, *key);
        else
            QTest::mouseClick(button, Qt::LeftButton);
        form->pictureShown = nullptr;
        return shown;
    }

    static QString picture(const QLabel* label) { return label->property("pictureFile").toString(); }
};

TEST_F(MainWindowTest, CaptionAndControlPositionsInTwips)
{
    Form1& w = loadForm();
    EXPECT_EQ(w.windowTitle(), "Tavrin");
    struct Box {
        QWidget* control;
        int left, top, width, height;
    };
    const Box boxes[] = {
        {w.txtInfo, 1800, 180, 3675, 675},
        {w.txtText1, 2520, 7800, 12555, 1335},
        {w.Frame3, 7200, 1680, 7845, 4935},
        {w.picCmdNew, 270, 6900, 1935, 375},
        {w.picCmdEdit, 270, 7320, 1935, 375},
        {w.picCmdSort, 270, 7740, 1935, 375},
        {w.picCmdRun, 270, 8160, 1935, 375},
        {w.picCmdCatImages, 270, 8580, 1935, 375},
        {w.picCmdSource, 270, 9000, 1935, 375},
        {w.imgOwl, 14220, 9480, 960, 960},
        {w.PicCornerOuter, 0, 0, 375, 255},
        {w.PicCornerInner, 720, 120, 375, 135},
    };
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.control->objectName().toStdString());
        EXPECT_EQ(b.control->geometry(), twipsRect(b.left, b.top, b.width, b.height, &w));
    }
    // The grid's top left is fixed; its width is the columns' sum and 320 twips.
    const QRect grid = w.MSFlexGridView->geometry();
    EXPECT_EQ(grid.topLeft(), twipsRect(2520, 1695, 0, 0, &w).topLeft());
    EXPECT_EQ(grid.width(), twipsToPixels(4620, &w));
    EXPECT_EQ(w.client->size(), QSize(twipsToPixels(15180, &w), twipsToPixels(10440, &w)));
    EXPECT_TRUE(w.txtInfo->toPlainText().isEmpty());
    EXPECT_TRUE(w.txtText1->isReadOnly());
    EXPECT_EQ(w.txtText1->focusPolicy(), Qt::ClickFocus) << "focus, but no tab stop";
    EXPECT_FALSE(w.Image0->pixmap().isNull()) << "the background picture";
    EXPECT_FALSE(w.imgOwl->pixmap().isNull()) << "the owl stored with the window";
    EXPECT_FALSE(w.Frame3->isVisibleTo(&w)) << "the picture view is shown at start";
}

TEST(Twips, FifteenTwipsAPixelAt96DpiScaledByTheLogicalDpi)
{
    struct Row {
        int twips;
        double dpi;
        int pixels;
    };
    const Row rows[] = {{1935, 96, 129}, {375, 96, 25}, {15180, 96, 1012}, {10440, 96, 696},
                        {1935, 144, 194}, {375, 120, 31}, {15, 96, 1}, {7, 96, 0}, {8, 96, 1}};
    for (const Row& r : rows)
        EXPECT_EQ(twipsToPixels(r.twips, r.dpi), r.pixels) << r.twips << " twips at " << r.dpi;
}

TEST_F(MainWindowTest, MenuCaptionsInOrder)
{
    Form1& w = loadForm();
    QStringList menus;
    QStringList items;
    for (QAction* menu : w.menuBar()->actions()) {
        menus << menu->text();
        for (QAction* a : menu->menu()->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text()) + " " + a->objectName();
    }
    EXPECT_EQ(menus, (QStringList{"&File", "&Options", "&Help"}));
    EXPECT_EQ(items, (QStringList{
                         "&Download latest Internet database mnuDownloadInternetDatabase",
                         "&New database mnuNewDatabase",
                         "&Sort database and exit mnuSortExit",
                         "&Create .img file mnuCreateImg",
                         "&Add a folder of software... mnuAddFolder",
                         "&Export to MMB... mnuExportMmb",
                         "Export &gamelist for ES-DE... mnuExportEsDe",
                         "Export metadata for &Pegasus... mnuExportPegasus",
                         "&Import gamelist... mnuImportGamelist",
                         "&Run a file... mnuRunFile",
                         "&Exit mnuExit",
                         "&Properties mnuProperties",
                         "- mnuOptionsSep1",
                         "&BeebEm mnuBeebEm",
                         "&B-Em mnuB_Em",
                         "&ElectrEm mnuElectrEm",
                         "&PcBBC mnuPcBBC",
                         "- mnuOptionsSep2",
                         "&Save downloaded disk images mnuSaveDiskImages",
                         "- mnuOptionsSep3",
                         "Set &up emulators... mnuSetUpEmulators",
                         "&Contents mnuHelp1",
                         "&Basic keywords reference mnuHelp2",
                         "&About mnuAbout",
                     }));
}

TEST_F(MainWindowTest, ButtonsShowTheirStoredPicturesUntilTheFirstClick)
{
    Form1& w = loadForm();
    const std::pair<PictureButton*, const char*> first[] = {
        {w.picCmdNew, ":/windows/button-new.gif"},
        {w.picCmdEdit, ":/windows/button-edit.gif"},
        {w.picCmdSort, ":/windows/button-sort.gif"},
        {w.picCmdRun, ":/windows/button-run.gif"},
        {w.picCmdCatImages, ":/windows/button-catalogue.gif"},
        {w.picCmdSource, ":/windows/button-internet.gif"},
    };
    for (const auto& [button, stored] : first) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_EQ(picture(button), stored);
        ASSERT_FALSE(button->pixmap().isNull());
        EXPECT_EQ(button->pixmap().size(), QSize(128, 24));
    }
}

TEST_F(MainWindowTest, PicturesAfterOneAndTwoClicks)
{
    Form1& w = loadForm();
    struct Row {
        PictureButton* button;
        QStringList first;
        QStringList second;
    };
    const Row rows[] = {
        {w.picCmdNew, {"images\\button-new-down.gif", "images\\button-new.gif"},
         {"images\\button-new-down.gif", "images\\button-new.gif"}},
        {w.picCmdEdit, {"images\\button-edit-down.gif", "images\\button-edit.gif"},
         {"images\\button-edit-down.gif", "images\\button-edit.gif"}},
        {w.picCmdSort, {"images\\button-sort-down.gif", "images\\button-sort.gif"},
         {"images\\button-sort-down.gif", "images\\button-sort.gif"}},
        {w.picCmdRun, {"images\\button-run-down.gif", "images\\button-run.gif"},
         {"images\\button-run-down.gif", "images\\button-run.gif"}},
        {w.picCmdCatImages, {"images\\button-catalogue-down.gif", "images\\button-images.gif"},
         {"images\\button-images-down.gif", "images\\button-catalogue.gif"}},
        // To Internet mode and back.
        {w.picCmdSource, {"images\\button-internet-down.gif", "images\\button-local.gif"},
         {"images\\button-local-down.gif", "images\\button-internet.gif"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.button->objectName().toStdString());
        EXPECT_EQ(click(r.button), r.first);
        EXPECT_EQ(picture(r.button), r.first.last());
        EXPECT_FALSE(r.button->pixmap().isNull()) << "the picture file was found and decoded";
        EXPECT_EQ(click(r.button), r.second);
        EXPECT_EQ(picture(r.button), r.second.last());
    }
    EXPECT_FALSE(w.f.boolInternet);
}

TEST_F(MainWindowTest, TheKeyboardReachesTheButtonsAndTheDescription)
{
    Form1& w = loadForm();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.picCmdNew->setFocus(Qt::TabFocusReason);
    QStringList order;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order, (QStringList{"picCmdEdit", "picCmdSort", "picCmdRun", "picCmdCatImages",
                                  "picCmdSource"}));
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
        EXPECT_EQ(click(w.picCmdSort, key), click(w.picCmdSort)) << key;

    w.txtText1->setPlainText(QStringLiteral("A space trading game"));
    QTest::mouseClick(w.txtText1->viewport(), Qt::LeftButton);
    ASSERT_TRUE(w.txtText1->hasFocus());
    QTest::keyClick(w.txtText1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w.txtText1->textCursor().selectedText(), "A space trading game");
}

TEST_F(MainWindowTest, TheCatalogueButtonSwitchesTheViews)
{
    Form1& w = loadForm();
    ASSERT_EQ(w.f.iCatalogueView, 1);
    click(w.picCmdCatImages);
    EXPECT_EQ(w.f.iCatalogueView, 2);
    EXPECT_TRUE(w.Frame3->isVisibleTo(&w));
    EXPECT_FALSE(w.Image1->isVisibleTo(&w));
    EXPECT_FALSE(w.Image2->isVisibleTo(&w));
    click(w.picCmdCatImages);
    EXPECT_EQ(w.f.iCatalogueView, 1);
    EXPECT_FALSE(w.Frame3->isVisibleTo(&w));
    EXPECT_TRUE(w.Image1->isVisibleTo(&w));
    EXPECT_TRUE(w.Image2->isVisibleTo(&w));
    EXPECT_EQ(picture(w.picCmdCatImages), "images\\button-catalogue.gif");

    // Any other view number: the click does nothing.
    w.f.iCatalogueView = 3;
    EXPECT_TRUE(click(w.picCmdCatImages).isEmpty());
    EXPECT_EQ(w.f.iCatalogueView, 3);
}

TEST_F(MainWindowTest, NothingHappensInInternetModeForNewEditAndCatalogue)
{
    Form1& w = loadForm();
    w.f.boolInternet = true;
    for (PictureButton* b : {w.picCmdNew, w.picCmdEdit, w.picCmdCatImages}) {
        SCOPED_TRACE(b->objectName().toStdString());
        const QString before = picture(b);
        const qint64 key = b->pixmap().cacheKey();
        EXPECT_TRUE(click(b).isEmpty());
        EXPECT_EQ(picture(b), before);
        EXPECT_EQ(b->pixmap().cacheKey(), key);
    }
    EXPECT_EQ(w.f.iCatalogueView, 1);
    EXPECT_FALSE(w.Frame3->isVisibleTo(&w));
    // Sort and Run still work in Internet mode.
    EXPECT_EQ(click(w.picCmdSort).size(), 2);
    EXPECT_EQ(click(w.picCmdRun).size(), 2);
}

TEST_F(MainWindowTest, TheSourceButtonEndsInModeZeroOrderAndBringsTheLocalCatalogueBack)
{
    Form1& w = loadForm();
    // In local mode too.
    w.f.iSort = 1;
    Sort(w.f);
    ASSERT_EQ(w.f.MSFlexGrid.TextMatrix(0, 1), "Alpha Quest");
    click(w.picCmdSource);
    EXPECT_EQ(w.f.iSort, 0);
    EXPECT_EQ(w.f.MSFlexGrid.TextMatrix(0, 1), "Elite");

    // An Internet list in the grid.
    w.f.boolInternet = true;
    w.f.MSFlexGrid.setRows(1);
    w.f.MSFlexGrid.setTextMatrix(0, 0, "Remote");
    w.f.iSort = 2;
    EXPECT_EQ(click(w.picCmdSource),
              (QStringList{"images\\button-local-down.gif", "images\\button-internet.gif"}));
    EXPECT_FALSE(w.f.boolInternet);
    EXPECT_EQ(w.f.iSort, 0);
    ASSERT_EQ(w.f.MSFlexGrid.Rows(), 3);
    EXPECT_EQ(w.f.MSFlexGrid.TextMatrix(0, 1), "Elite");
}

TEST_F(MainWindowTest, TheSortButtonTakesItsModeFromTheCurrentColumn)
{
    Form1& w = loadForm();
    auto titles = [&] {
        QStringList t;
        for (int r = 0; r < w.f.MSFlexGrid.Rows(); ++r)
            t << QString::fromStdString(std::string(w.f.MSFlexGrid.TextMatrix(r, 1)));
        return t;
    };
    // The load sorted by publisher, title and genre.
    ASSERT_EQ(titles(), (QStringList{"Elite", "Welcome", "Alpha Quest"}));

    // Column 4: no sort, but both pictures.
    w.f.MSFlexGrid.setCol(4);
    EXPECT_EQ(click(w.picCmdSort).size(), 2);
    EXPECT_EQ(w.f.iSort, 4);
    EXPECT_EQ(titles(), (QStringList{"Elite", "Welcome", "Alpha Quest"}));

    // A click in the title column, then Sort: by title.
    const QTableView* view = w.MSFlexGridView;
    const QRect cell = view->visualRect(w.f.MSFlexGrid.index(2, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(w.f.MSFlexGrid.Col(), 1);
    click(w.picCmdSort);
    EXPECT_EQ(w.f.iSort, 1);
    EXPECT_EQ(titles(), (QStringList{"Alpha Quest", "Elite", "Welcome"}));
    EXPECT_EQ(w.f.MSFlexGrid.Row(), 0);
    EXPECT_EQ(w.f.MSFlexGrid.Col(), 1);
}

TEST_F(MainWindowTest, PlacementBoxesInTwipsAndInPixels)
{
    Form1& w = loadForm();
    w.ShowBoxArt();
    EXPECT_EQ(w.Image1->geometry(), twipsRect(7260, 1700, 3600, 4900, &w));
    w.ShowScreenshot();
    EXPECT_EQ(w.Image2->geometry(), twipsRect(11000, 1700, 4000, 3600, &w));
    w.ShowBoxArtPlaceholder();
    EXPECT_EQ(w.Image1->geometry(),
              QRect(twipsToPixels(8700, &w), twipsToPixels(2500, &w), 128, 191));
    w.ShowScreenshotPlaceholder();
    EXPECT_EQ(w.Image2->geometry(),
              QRect(twipsToPixels(11800, &w), twipsToPixels(3000, &w), 160, 128));
    for (const QLabel* image : {w.Image1, w.Image2}) {
        EXPECT_TRUE(image->hasScaledContents());
        EXPECT_TRUE(image->isVisibleTo(&w));
    }
}

// Run a second time on a screen of 144 dpi without Qt's own scaling (see
// CMakeLists.txt): the twips boxes grow with the dpi, the placeholders keep
// their pixel sizes.
TEST_F(MainWindowTest, TwipsFollowTheLogicalDpiAndPlaceholdersStayInPixels)
{
    Form1& w = loadForm();
    const int dpi = w.logicalDpiX();
    if (const char* expected = std::getenv("TAVRIN_EXPECT_DPI")) {
        ASSERT_EQ(dpi, std::atoi(expected)) << "the screen's logical dpi";
    }
    EXPECT_EQ(w.picCmdNew->width(), static_cast<int>(1935 * dpi / 1440.0 + 0.5));
    w.ShowBoxArt();
    EXPECT_EQ(w.Image1->width(), static_cast<int>(3600 * dpi / 1440.0 + 0.5));
    EXPECT_EQ(w.Image1->height(), static_cast<int>(4900 * dpi / 1440.0 + 0.5));
    w.ShowBoxArtPlaceholder();
    EXPECT_EQ(w.Image1->size(), QSize(128, 191));
    w.ShowScreenshotPlaceholder();
    EXPECT_EQ(w.Image2->size(), QSize(160, 128));
}

TEST_F(MainWindowTest, TheFirstTitleWithoutPicturesShowsThePlaceholders)
{
    Form1& w = loadForm();
    EXPECT_EQ(w.f.sFullFilename, "Files\\acorn\\elite.ssd");
    EXPECT_EQ(picture(w.Image1), "Images\\logosp.jpg");
    EXPECT_EQ(picture(w.Image2), "Images\\logosl.jpg");
    EXPECT_EQ(w.Image1->size(), QSize(128, 191));
    EXPECT_EQ(w.txtText1->toPlainText(), " ");
}

TEST_F(MainWindowTest, MissingAndUndecodablePicturesShowNothingAndTheProgramGoesOn)
{
    // Images\ holds a broken background and no button pictures at all.
    std::filesystem::remove_all(dir / "Images");
    dir.write("Images/background.jpg", "not a JPEG");
    dir.write("Images/button-run-down.gif", "GIF89a broken");
    Form1& w = loadForm();
    EXPECT_TRUE(prompt.shown.empty()) << "no message about a picture";
    EXPECT_TRUE(w.Image0->pixmap().isNull());
    EXPECT_TRUE(w.Image1->pixmap().isNull()) << "no placeholder picture either";
    for (PictureButton* b : {w.picCmdNew, w.picCmdEdit, w.picCmdSort, w.picCmdRun,
                             w.picCmdCatImages, w.picCmdSource}) {
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_EQ(click(b).size(), 2);
        EXPECT_TRUE(b->pixmap().isNull());
    }
    // The clicks still did their work: the catalogue panel was shown, and the
    // switch to Internet mode went back to the picture view.
    EXPECT_TRUE(w.f.boolInternet);
    EXPECT_EQ(w.f.iCatalogueView, 1);
}

TEST_F(MainWindowTest, AnUnreadableSettingsFileIsNamedOnceAtStartUp)
{
    std::filesystem::create_directory(dir / "bbc.ini");
    Form1& w = loadForm();
    ASSERT_EQ(prompt.shown.size(), 1u);
    const std::string named = (dir / "bbc.ini").string() + "\" could not be read: it is a folder";
    EXPECT_NE(prompt.shown[0].text.find(named), std::string::npos) << prompt.shown[0].text;
    EXPECT_TRUE(w.mnuBeebEm->isChecked()) << "the defaults";
    w.mnuB_Em->trigger();
    EXPECT_EQ(prompt.shown.size(), 1u) << "said once";
    EXPECT_TRUE(std::filesystem::is_directory(dir / "bbc.ini"));
}

TEST_F(MainWindowTest, StartUpReadsTheConfigurationAndTheMenuChecksFollow)
{
    dir.write("bbc.ini", "[BBC EMU]\nForm1.sBeebEmu=B-Em\n[B-Em]\nForm1.sB_EmExec=/bem/exec\n"
                         "Form1.sB_EmDest=/bem/dest\n[PcBBC]\nForm1.sPcBBCExec=/pc/exec\n");
    Form1& w = loadForm();
    auto checked = [&] {
        return QList<bool>{w.mnuBeebEm->isChecked(), w.mnuB_Em->isChecked(),
                           w.mnuElectrEm->isChecked(), w.mnuPcBBC->isChecked()};
    };
    EXPECT_EQ(checked(), (QList<bool>{false, true, false, false}));
    EXPECT_EQ(w.f.sEmuApp, "/bem/exec");
    EXPECT_FALSE(w.frmFormIni) << "the dialog is not shown at start-up";

    w.mnuPcBBC->trigger();
    EXPECT_EQ(checked(), (QList<bool>{false, false, false, true}));
    EXPECT_EQ(w.f.sEmuApp, "/pc/exec");
    // Choosing the checked item again keeps it checked.
    w.mnuPcBBC->trigger();
    EXPECT_EQ(checked(), (QList<bool>{false, false, false, true}));

    // The properties dialog reads the file again: the stored emulator returns.
    w.mnuProperties->trigger();
    ASSERT_TRUE(w.frmFormIni);
    EXPECT_TRUE(w.frmFormIni->isVisible());
    EXPECT_EQ(checked(), (QList<bool>{false, true, false, false}));
    QTest::mouseClick(w.frmFormIni->cmdCancel, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.frmFormIni) << "Cancel unloads the dialog";
    EXPECT_EQ(checked(), (QList<bool>{false, true, false, false}));
    EXPECT_EQ(w.f.sEmuApp, "/bem/exec");
}

TEST_F(MainWindowTest, SortDatabaseAndExitWritesTheSortedGridAndEndsOnlyOnSuccess)
{
    Form1& w = loadForm();
    w.show();
    // The local catalogue comes back broken (a field is gone): the failed
    // reload must not be written back, and the window stays.
    const std::string path = (dir / "bbc.mdb").string();
    const std::string good = readFile(path);
    std::filesystem::remove(path);
    sqlOn(path, "CREATE TABLE BBCSoftware (Publisher TEXT, Software TEXT, \"Index\" INTEGER);"
                "INSERT INTO BBCSoftware VALUES ('X', 'x', 0), ('Y', 'y', 1), ('Z', 'z', 2);");
    w.f.boolInternet = true;
    QTest::mouseClick(w.picCmdSource, Qt::LeftButton);
    const std::string broken = readFile(path);
    prompt.shown.clear();
    w.mnuSortExit->trigger();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("last load failed"), std::string::npos) << prompt.shown[0].text;
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(readFile(path), broken);

    // A whole catalogue is written in mode-0 order and the program ends.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << good;
    w.f.boolInternet = true;
    QTest::mouseClick(w.picCmdSource, Qt::LeftButton);
    w.f.iSort = 1;
    Sort(w.f);
    prompt.shown.clear();
    w.mnuSortExit->trigger();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(w.isVisible());
    std::vector<std::string> titles;
    for (const Record& r : readCatalogue(path))
        titles.push_back(*r.software + "/" + std::to_string(*r.index));
    EXPECT_EQ(titles, (std::vector<std::string>{"Elite/0", "Welcome/1", "Alpha Quest/2"}));
}

TEST_F(MainWindowTest, StartUpEmptiesTempButNotItsSubfolders)
{
    dir.write("Temp/left.ssd");
    dir.write("Temp/old.zip");
    dir.write("Temp/unpacked/kept.txt");
    loadForm();
    EXPECT_FALSE(std::filesystem::exists(dir / "Temp/left.ssd"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Temp/old.zip"));
    EXPECT_TRUE(std::filesystem::exists(dir / "Temp/unpacked/kept.txt"));
}

} // namespace
} // namespace tavrin::test
