// The Internet / Local button, the source dialog and the download window,
// wired into the real main window on Qt's offscreen platform.

#include "InternetFixture.h"
#include "LoopbackHttpServer.h"
#include "core/Paths.h"
#include "windows/FrmInternet.h"
#include "windows/FrmInternetSourceSelect.h"
#include "windows/PictureButton.h"
#include "windows/WindowFixture.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <fstream>

namespace tavrin
{
namespace
{

namespace fs = std::filesystem;

class InternetWindowTest : public test::WindowTest
{
  protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        fs::create_directory(dir / "Data");
        test::writeInternetDatabase((dir / "Data/internet.mdb").string(),
                                    {{"Remote Soft", "Zed", "Arcade", "games/zed.ssd", "Far away"},
                                     {"Remote Soft", "Able", "Arcade", "games/able.ssd", ""}});
        std::ofstream(dir / "bbc.ini") << "[Internet]\nForm1.sURL8bs=" << server.base() << "\n";
        loadForm();
        form->pictureShown = [this](const QLabel* button, const QString& picture) {
            if (button == form->picCmdSource)
                pictures.push_back(picture.toStdString());
        };
    }

    std::vector<std::string> column(int c) const
    {
        std::vector<std::string> cells;
        for (int r = 0; r < form->f.MSFlexGrid.Rows(); ++r)
            cells.emplace_back(form->f.MSFlexGrid.TextMatrix(r, c));
        return cells;
    }

    test::LoopbackHttpServer server;
    std::vector<std::string> pictures;
};

TEST_F(InternetWindowTest, TheSourceButtonGoesToASourceAndBackAskingAboutUpdatesOnce)
{
    Form1& w = *form;
    w.picCmdCatImages_Click(); // the catalogue panel is shown (its image is missing)
    prompt.shown.clear();
    prompt.answers = {PromptAnswer::No};
    w.picCmdSource_Click();

    EXPECT_TRUE(w.f.boolInternet);
    EXPECT_EQ(w.f.iCatalogueView, 1);
    EXPECT_FALSE(w.Frame3->isVisible());
    EXPECT_EQ(pictures, (std::vector<std::string>{"images\\button-internet-down.gif",
                                                  "images\\button-local.gif"}));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Do you want to check for any Internet database updates?");
    EXPECT_EQ(prompt.shown[0].title, "MsgBox Do you want to check for Internet updates?");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Question);
    EXPECT_TRUE(prompt.shown[0].defaultNo);
    EXPECT_EQ(w.Image1->width(), 128);

    ASSERT_TRUE(w.frmInternetSourceSelect);
    FrmInternetSourceSelect& dialog = *w.frmInternetSourceSelect;
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.windowTitle(), "Internet Source Select");
    EXPECT_TRUE(dialog.Option[0]->isChecked());
    EXPECT_TRUE(dialog.cmdOK->isDefault());
    // Return presses OK: the first source's list, sorted.
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(column(1), (std::vector<std::string>{"Able", "Zed"}));
    EXPECT_EQ(w.f.sDbTable, "8bs");
    EXPECT_EQ(w.f.sURLMain, server.base());
    EXPECT_EQ(w.f.sInternetSiteName, "8 Bit Software");
    EXPECT_EQ(w.f.sInternetDatabase, "Data\\Internet.mdb");
    EXPECT_EQ(w.f.sFullFilename, "games/able.ssd");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.frmInternetSourceSelect);

    // Back to the local catalogue; the question is not asked again.
    pictures.clear();
    w.picCmdSource_Click();
    EXPECT_FALSE(w.f.boolInternet);
    EXPECT_EQ(pictures, (std::vector<std::string>{"images\\button-local-down.gif",
                                                  "images\\button-internet.gif"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"Elite", "Welcome", "Alpha Quest"}));

    // Escape cancels the dialog: local mode again, the grid untouched.
    pictures.clear();
    w.picCmdSource_Click();
    ASSERT_TRUE(w.frmInternetSourceSelect);
    QTest::keyClick(w.frmInternetSourceSelect, Qt::Key_Escape);
    EXPECT_FALSE(w.f.boolInternet);
    EXPECT_EQ(pictures, (std::vector<std::string>{
                            "images\\button-internet-down.gif", "images\\button-local.gif",
                            "images\\button-local-down.gif", "images\\button-internet.gif"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"Elite", "Welcome", "Alpha Quest"}));
    EXPECT_EQ(prompt.shown.size(), 1u);
}

TEST_F(InternetWindowTest, ASourceWithoutAnAddressSaysWhichKeyToSetAndChangesNothing)
{
    Form1& w = *form;
    prompt.answers = {PromptAnswer::No};
    w.picCmdSource_Click();
    FrmInternetSourceSelect& dialog = *w.frmInternetSourceSelect;
    dialog.Option[1]->setChecked(true);
    dialog.cmdOK->click();
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_NE(prompt.shown[1].text.find("Form1.sURLtbl"), std::string::npos)
        << prompt.shown[1].text;
    EXPECT_NE(prompt.shown[1].text.find("bbc.ini"), std::string::npos);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(w.f.sDbTable, "");
    EXPECT_EQ(column(1), (std::vector<std::string>{"Elite", "Welcome", "Alpha Quest"}));

    // With its address set, the empty list of that source; running it asks for a path.
    std::ofstream(dir / "bbc.ini") << "[Internet]\nForm1.sURLtbl=" << server.base() << "\n";
    dialog.cmdOK->click();
    EXPECT_EQ(w.f.sDbTable, "tbl");
    EXPECT_EQ(w.f.MSFlexGrid.Rows(), 0);
    EXPECT_EQ(w.f.sFullFilename, "");
    w.internetWindow().PrepareInternetRequest(w.f.sURLMain, w.f.sFullFilename);
    EXPECT_EQ(prompt.shown.back().text, "sFullfilename is null");
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(InternetWindowTest, ARowIsDownloadedKeptInTransferAndHandedToTheLaunch)
{
    Form1& w = *form;
    prompt.answers = {PromptAnswer::No};
    w.picCmdSource_Click();
    w.frmInternetSourceSelect->cmdOK->click();
    server.route("/games/able.ssd", {200, std::string(2560, 'A')});
    std::vector<std::string> launched;
    w.internetLaunch = [&] { launched.push_back(w.f.sFullFilename); };

    w.mnuSaveDiskImages->trigger();
    EXPECT_TRUE(w.mnuSaveDiskImages->isChecked());
    EXPECT_EQ(prompt.shown.back().text,
              "Downloaded files will be saved to the directory 'Transfer'");
    std::string label;
    FrmInternet& window = w.internetWindow();
    window.download.prepareFilesForEmu = [&, launch = window.download.prepareFilesForEmu] {
        label = window.Label2->text().toStdString();
        launch();
    };
    window.PrepareInternetRequest(w.f.sURLMain, w.f.sFullFilename);
    EXPECT_EQ(window.windowTitle(), "Internet download");
    EXPECT_EQ(window.txtText1->text().toStdString(),
              "Downloading: " + server.base() + "games/able.ssd");
    EXPECT_EQ(label, "HTTP connection to 8 Bit Software");
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(launched, std::vector<std::string>{"Temp\\able.ssd"});
    EXPECT_EQ(test::readFile(dir / "Transfer/able.ssd"), std::string(2560, 'A'));

    const std::size_t messages = prompt.shown.size();
    w.mnuSaveDiskImages->trigger();
    EXPECT_FALSE(w.mnuSaveDiskImages->isChecked());
    EXPECT_EQ(prompt.shown.size(), messages);
}

TEST_F(InternetWindowTest, TheWindowSaysWhenBytesArriveAndCancelStopsTheTransfer)
{
    Form1& w = *form;
    server.route("/games/slow.ssd", {200, std::string(600, 'S'), test::HttpRoute::Kind::Trickle});
    FrmInternet& window = w.internetWindow();
    std::vector<std::string> texts;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        texts.push_back(window.lblBytes->text().toStdString());
        if (texts.back().rfind("Receiving", 0) != 0)
            return;
        timer.stop();
        EXPECT_TRUE(window.isVisible());
        // A second click while the transfer runs starts nothing.
        window.PrepareInternetRequest(server.base(), "games/slow.ssd");
        window.cmdCancel->click();
    });
    timer.start(20);
    const auto start = std::chrono::steady_clock::now();
    window.PrepareInternetRequest(server.base(), "games/slow.ssd");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "Connecting...");
    EXPECT_EQ(texts.back().rfind("Receiving", 0), 0u) << texts.back();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(prompt.shown.empty()) << prompt.shown.front().text;
    EXPECT_TRUE(fs::is_empty(dir / "Temp"));
}

} // namespace
} // namespace tavrin
