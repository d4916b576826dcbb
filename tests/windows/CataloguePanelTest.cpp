// The disk catalogue panel on the offscreen platform: its controls, what it
// shows for an image, "Update", the two views of the main window, the grid
// click while the panel is shown and the Electron rule.

#include "WindowFixture.h"
#include "diskimage/FailingFiles.h"
#include "diskimage/ImageBytes.h"
#include "diskimage/TapeBytes.h"

#include "diskimage/DiskCatalogue.h"
#include "windows/CataloguePanel.h"
#include "windows/FrmEditDatabase.h"
#include "windows/FrmNewRecord.h"
#include "windows/PictureButton.h"
#include "windows/Twips.h"

#include <QAction>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

namespace tavrin::test {
namespace {

void writeBytes(const fs::path& path, const Bytes& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An 800-sector image: title, a few entries of each kind, boot byte.
Bytes sampleImage(std::string_view head8, std::string_view tail4, uint8_t boot)
{
    Bytes image = MakeBlankImage();
    put(image, 0x000, head8);
    put(image, 0x100, tail4);
    putEntry(image, 1, "ELITE", 0xA4);
    putEntry(image, 2, "LOADER", 0x24);
    putEntry(image, 3, std::string_view("\0HIDDEN", 7), 0x24);
    putEntry(image, 4, "SECRET", 0x10);
    putEntry(image, 31, "LAST", 0x41);
    image[0x105] = 0x28;
    image[0x106] = boot;
    return image;
}

QString text(const QLineEdit* box) { return box->text(); }

// The panel over a frame of its own, with Form1's state and a grid of files.
class CataloguePanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override
    {
        f.MSFlexGrid.setCols(8);
        frame3.resize(twipsToPixels(7845, &frame3), twipsToPixels(4935, &frame3));
        panel = new CataloguePanel(&frame3, f, prompt);
    }

    void rows(const std::vector<std::string>& files)
    {
        f.MSFlexGrid.setRows(static_cast<int>(files.size()));
        for (size_t r = 0; r < files.size(); ++r)
            f.MSFlexGrid.setTextMatrix(static_cast<int>(r), 3, files[r]);
    }
    // The grid click of a row while the panel is shown.
    void clickRow(int row)
    {
        f.MSFlexGrid.setRow(row);
        panel->ShowSelectedCatalogue();
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    std::vector<bool> checkedOptions() const
    {
        return {panel->Option1->isChecked(), panel->Option2->isChecked(),
                panel->Option3->isChecked(), panel->Option4->isChecked()};
    }

    TempDir dir;
    Form1State f;
    ScriptedPrompt prompt;
    QWidget frame3;
    CataloguePanel* panel = nullptr;
};

TEST_F(CataloguePanelTest, ControlsNamesTextsAndFont)
{
    EXPECT_EQ(panel->txtTitle->objectName(), "txtTitle");
    EXPECT_EQ(panel->TextExt->objectName(), "TextExt");
    EXPECT_EQ(panel->Frame1->objectName(), "Frame1");
    EXPECT_EQ(panel->Frame2->objectName(), "Frame2");
    EXPECT_EQ(panel->Frame3, &frame3);
    EXPECT_EQ(panel->txtFile1[0], nullptr);
    for (int n = 1; n <= 62; ++n) {
        QLineEdit* box = panel->txtFile1[size_t(n)];
        ASSERT_NE(box, nullptr) << n;
        EXPECT_EQ(box->objectName(), QStringLiteral("txtFile1_%1").arg(n));
        // Fixed pitch: every character as wide as any other.
        const QFontMetrics metrics(box->font());
        EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')),
                  metrics.horizontalAdvance(QLatin1Char('W')))
            << n;
        EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('.')),
                  metrics.horizontalAdvance(QLatin1Char('$')))
            << n;
        EXPECT_TRUE(box->isReadOnly());
        // Wide enough for the eleven characters of an entry.
        EXPECT_GE(box->contentsRect().width(),
                  QFontMetrics(box->font()).horizontalAdvance(QStringLiteral("$.LOADER2 L")));
    }
    const std::vector<std::pair<QLineEdit*, QString>> labels = {
        {panel->Text1, "Nothing"}, {panel->Text2, "Load"}, {panel->Text3, "Run"},
        {panel->Text4, "Exec"}};
    for (const auto& [label, caption] : labels)
        EXPECT_EQ(label->text(), caption);
    EXPECT_EQ(panel->Option1->objectName(), "Option1");
    EXPECT_EQ(panel->Option4->objectName(), "Option4");
    EXPECT_EQ(panel->cmdUpdateEdits->text(), "Update");
    EXPECT_TRUE(panel->cmdUpdateEdits->font().bold());
    // At 14100, 6060 of the main window, whose Frame3 stands at 7200, 1680.
    EXPECT_EQ(panel->cmdUpdateEdits->geometry(), twipsRect(6900, 4380, 855, 315, &frame3));
    // Every control lies inside Frame3.
    for (QWidget* w : frame3.findChildren<QWidget*>())
        EXPECT_TRUE(frame3.rect().contains(
            QRect(w->mapTo(&frame3, QPoint(0, 0)), w->size())))
            << w->objectName().toStdString();
}

TEST_F(CataloguePanelTest, TheTwoViewsHideAndShowEveryControl)
{
    std::vector<QWidget*> controls = {panel->txtTitle, panel->Frame1,  panel->Frame2,
                                      panel->Option1,  panel->Option2, panel->Option3,
                                      panel->Option4,  panel->Text1,   panel->Text2,
                                      panel->Text3,    panel->Text4,   panel->TextExt,
                                      panel->cmdUpdateEdits};
    for (int n = 1; n <= 62; ++n)
        controls.push_back(panel->txtFile1[size_t(n)]);
    // Built in the picture view.
    EXPECT_TRUE(frame3.isHidden());
    for (QWidget* c : controls)
        EXPECT_TRUE(c->isHidden()) << c->objectName().toStdString();
    panel->ShowCataloguePanel();
    EXPECT_FALSE(frame3.isHidden());
    for (QWidget* c : controls)
        EXPECT_FALSE(c->isHidden()) << c->objectName().toStdString();
    panel->ShowPictureView();
    EXPECT_TRUE(frame3.isHidden());
    for (QWidget* c : controls)
        EXPECT_TRUE(c->isHidden()) << c->objectName().toStdString();
}

TEST_F(CataloguePanelTest, ShowsTheCatalogueOfTheSelectedImage)
{
    writeBytes(dir / "Disks/ELITE.SSD", sampleImage("Acornsof", "t   ", 0x23));
    rows({"Disks\\elite.ssd"});
    CurrentDir current(dir.path());
    panel->ShowCataloguePanel();
    panel->ShowSelectedCatalogue();

    EXPECT_EQ(f.sFullFilename, "Disks\\elite.ssd");
    EXPECT_EQ(f.sExt, ".ssd");
    EXPECT_EQ(text(panel->TextExt), ".ssd");
    EXPECT_EQ(text(panel->txtTitle), "Acornsoft   ");
    EXPECT_EQ(text(panel->txtFile1[1]), "$.ELITE   L");
    EXPECT_EQ(text(panel->txtFile1[2]), "$.LOADER   ");
    EXPECT_EQ(text(panel->txtFile1[3]), "");
    EXPECT_EQ(text(panel->txtFile1[4]), "");
    EXPECT_EQ(text(panel->txtFile1[31]), "A.LAST     ");
    for (int n = 32; n <= 62; ++n)
        EXPECT_EQ(text(panel->txtFile1[size_t(n)]), "") << n;
    EXPECT_EQ(checkedOptions(), (std::vector<bool>{false, false, true, false}));
    EXPECT_TRUE(panel->cmdUpdateEdits->isEnabled());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(CataloguePanelTest, AWatfordImageFillsAll62Boxes)
{
    Bytes image = sampleImage("WATFORD ", "62  ", 0x13);
    putWatfordMarker(image);
    put(image, 0x208, std::string(248, '\0'));
    putEntry(image, 32, "MORE", 0xA4);
    putEntry(image, 62, "LAST62", 0x42);
    writeBytes(dir / "w.dsd", image);
    rows({path("w.dsd")});
    panel->ShowSelectedCatalogue();
    EXPECT_EQ(text(panel->txtFile1[32]), "$.MORE    L");
    EXPECT_EQ(text(panel->txtFile1[62]), "B.LAST62   ");
    EXPECT_EQ(checkedOptions(), (std::vector<bool>{false, true, false, false}));

    // Seven marker bytes: boxes 32 to 62 empty.
    image[0x207] = 0xA9;
    writeBytes(dir / "w.dsd", image);
    panel->ShowSelectedCatalogue();
    EXPECT_EQ(text(panel->txtFile1[32]), "");
    EXPECT_EQ(text(panel->txtFile1[62]), "");
}

TEST_F(CataloguePanelTest, BootOptionsFollowBits4And5)
{
    const std::vector<std::pair<uint8_t, std::vector<bool>>> cases = {
        {0x03, {true, false, false, false}}, {0x13, {false, true, false, false}},
        {0x23, {false, false, true, false}}, {0x33, {false, false, false, true}},
        {0x31, {false, false, false, true}}, {0x27, {false, false, false, false}},
        {0x03, {true, false, false, false}}};
    rows({path("boot.ssd")});
    for (const auto& [byte, checked] : cases) {
        writeBytes(dir / "boot.ssd", sampleImage("BOOT", "", byte));
        panel->ShowSelectedCatalogue();
        EXPECT_EQ(checkedOptions(), checked) << int(byte);
    }
}

TEST_F(CataloguePanelTest, OtherFilesClearThePanelAndDisableUpdate)
{
    writeBytes(dir / "one.ssd", sampleImage("ONE", "", 0x03));
    rows({path("one.ssd"), path("game.zip")});
    panel->ShowSelectedCatalogue();
    ASSERT_EQ(text(panel->txtTitle), "ONE");
    clickRow(1);
    EXPECT_EQ(text(panel->TextExt), ".zip");
    EXPECT_EQ(text(panel->txtTitle), "");
    for (int n = 1; n <= 62; ++n)
        EXPECT_EQ(text(panel->txtFile1[size_t(n)]), "") << n;
    EXPECT_EQ(checkedOptions(), (std::vector<bool>{false, false, false, false}));
    EXPECT_FALSE(panel->cmdUpdateEdits->isEnabled());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(CataloguePanelTest, AnImageThatCannotBeOpenedIsToldOnce)
{
    writeBytes(dir / "one.ssd", sampleImage("ONE", "", 0x03));
    rows({path("one.ssd"), path("gone.img")});
    panel->ShowSelectedCatalogue();
    clickRow(1);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "The catalogue of the disk image cannot be shown.\n\n"
                                    "Cannot open \"" +
                                        path("gone.img") + "\": No such file or directory.");
    EXPECT_EQ(prompt.shown[0].title, "Tavrin");
    EXPECT_EQ(text(panel->txtTitle), "");
    EXPECT_EQ(text(panel->txtFile1[1]), "");
    EXPECT_EQ(checkedOptions(), (std::vector<bool>{false, false, false, false}));
    EXPECT_FALSE(panel->cmdUpdateEdits->isEnabled());
}

TEST_F(CataloguePanelTest, UpdateWritesTitleAndOptionOnly)
{
    const Bytes before = sampleImage("ELITE\0\0\0", std::string_view("\0\0\0\0", 4), 0x03);
    writeBytes(dir / "elite.ssd", before);
    rows({path("elite.ssd")});
    panel->ShowCataloguePanel();
    panel->ShowSelectedCatalogue();
    EXPECT_EQ(text(panel->txtTitle), "ELITE");

    panel->txtTitle->setText(QStringLiteral("Elite \u65E5 Stardust!"));
    panel->Option4->setChecked(true); // "Exec"
    panel->txtFile1[1]->setText(QStringLiteral("$.CHANGED L"));
    QTest::mouseClick(panel->cmdUpdateEdits, Qt::LeftButton);
    EXPECT_TRUE(prompt.shown.empty());

    Bytes expected = before;
    put(expected, 0x000, "Elite ? ");
    put(expected, 0x100, "Star");
    expected[0x106] = 0x33;
    EXPECT_EQ(readBytes(dir / "elite.ssd"), expected);
    // The panel is not read again.
    EXPECT_EQ(text(panel->txtFile1[1]), "$.CHANGED L");

    // A 3-character title is padded with spaces.
    panel->txtTitle->setText(QStringLiteral("ABC"));
    panel->Option1->setChecked(true);
    panel->cmdUpdateEdits->click();
    put(expected, 0x000, "ABC     ");
    put(expected, 0x100, "    ");
    expected[0x106] = 0x03;
    EXPECT_EQ(readBytes(dir / "elite.ssd"), expected);
}

TEST_F(CataloguePanelTest, ControlBytesShowEscapedAndStayUnlessChanged)
{
    Bytes before = sampleImage("BEL\x07" "ESC\x1B", "\x7F   ", 0x03);
    putEntry(before, 5, "DEL\x7F", 0x24);
    writeBytes(dir / "ctrl.ssd", before);
    rows({path("ctrl.ssd")});
    panel->ShowSelectedCatalogue();
    EXPECT_EQ(text(panel->txtTitle), "BEL\\x07ESC\\x1B\\x7F   ");
    EXPECT_EQ(text(panel->txtFile1[5]), "$.DEL\\x7F     ");
    panel->Option3->setChecked(true);
    panel->cmdUpdateEdits->click(); // writes the option only
    before[0x106] = 0x23;
    EXPECT_EQ(readBytes(dir / "ctrl.ssd"), before);
}

TEST_F(CataloguePanelTest, UpdateKeepsTheSectorCountBitsAndAnUncheckedByte)
{
    Bytes before = sampleImage("FORTY", "", 0x25); // bit 2: no option shown
    before[0x107] = 0x90;
    writeBytes(dir / "forty.ssd", before);
    rows({path("forty.ssd")});
    panel->ShowSelectedCatalogue();
    ASSERT_EQ(checkedOptions(), (std::vector<bool>{false, false, false, false}));
    panel->cmdUpdateEdits->click();
    Bytes after = readBytes(dir / "forty.ssd");
    EXPECT_EQ(after[0x106], 0x25);
    EXPECT_EQ(after[0x107], 0x90);

    panel->Option2->setChecked(true); // "Load"
    panel->cmdUpdateEdits->click();
    after = readBytes(dir / "forty.ssd");
    EXPECT_EQ(after[0x106], 0x15);
    EXPECT_EQ(after[0x107], 0x90);
}

TEST_F(CataloguePanelTest, UpdateIsDisabledWhenTheSelectionMovesAway)
{
    writeBytes(dir / "one.ssd", sampleImage("ONE", "", 0x03));
    writeBytes(dir / "two.ssd", sampleImage("TWO", "", 0x03));
    rows({path("one.ssd"), path("two.ssd")});
    panel->ShowSelectedCatalogue();
    ASSERT_TRUE(panel->cmdUpdateEdits->isEnabled());

    // A sort or a load moves the current row: the panel did not follow.
    f.MSFlexGrid.setRow(1);
    EXPECT_FALSE(panel->cmdUpdateEdits->isEnabled());
    panel->txtTitle->setText(QStringLiteral("WRONG"));
    panel->WriteDiskCatalogue();
    EXPECT_EQ(readBytes(dir / "two.ssd"), sampleImage("TWO", "", 0x03));
    EXPECT_EQ(readBytes(dir / "one.ssd"), sampleImage("ONE", "", 0x03));

    f.MSFlexGrid.setRow(0);
    EXPECT_TRUE(panel->cmdUpdateEdits->isEnabled());
    // The row's file changed under the panel.
    f.MSFlexGrid.setTextMatrix(0, 3, path("two.ssd"));
    EXPECT_FALSE(panel->cmdUpdateEdits->isEnabled());
}

TEST_F(CataloguePanelTest, WithElectrEmSelectedOnlyTheExtensionFollows)
{
    writeBytes(dir / "one.ssd", sampleImage("ONE", "", 0x13));
    writeBytes(dir / "two.ssd", sampleImage("TWO", "", 0x33));
    rows({path("one.ssd"), path("two.ssd"), path("menu.zip")});
    panel->ShowSelectedCatalogue();
    f.mnuElectrEmChecked = true;

    clickRow(2);
    EXPECT_EQ(f.sFullFilename, path("menu.zip"));
    EXPECT_EQ(text(panel->TextExt), ".zip");
    EXPECT_EQ(text(panel->txtTitle), "ONE");
    EXPECT_EQ(text(panel->txtFile1[1]), "$.ELITE   L");
    EXPECT_EQ(checkedOptions(), (std::vector<bool>{false, true, false, false}));
    EXPECT_FALSE(panel->cmdUpdateEdits->isEnabled());

    clickRow(1);
    EXPECT_EQ(text(panel->TextExt), ".ssd");
    EXPECT_EQ(text(panel->txtTitle), "ONE");
    EXPECT_FALSE(panel->cmdUpdateEdits->isEnabled());
    panel->WriteDiskCatalogue();
    EXPECT_EQ(readBytes(dir / "two.ssd"), sampleImage("TWO", "", 0x33));

    // Another emulator: the panel follows again.
    f.mnuElectrEmChecked = false;
    clickRow(1);
    EXPECT_EQ(text(panel->txtTitle), "TWO");
    EXPECT_TRUE(panel->cmdUpdateEdits->isEnabled());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(CataloguePanelTest, AFailedUpdateIsTold)
{
    writeBytes(dir / "gone.ssd", sampleImage("GONE", "", 0x03));
    rows({path("gone.ssd")});
    panel->ShowSelectedCatalogue();
    ASSERT_TRUE(panel->cmdUpdateEdits->isEnabled());
    fs::remove(dir / "gone.ssd");
    panel->txtTitle->setText(QStringLiteral("GONE TOO"));
    panel->cmdUpdateEdits->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "The title and boot option were not written.\n\nCannot open \"" + path("gone.ssd") +
                  "\": No such file or directory.");
    EXPECT_FALSE(fs::exists(dir / "gone.ssd"));
}

TEST_F(CataloguePanelTest, WhatIsNoDfsImageIsShownWithUpdateOffAndTheReason)
{
    Bytes odd = sampleImage("ODD", "", 0x03);
    odd[0x105] = 0x0C;
    writeBytes(dir / "odd.ssd", odd);
    writeBytes(dir / "one.ssd", sampleImage("ONE", "", 0x03));
    rows({path("odd.ssd"), path("one.ssd")});
    panel->ShowCataloguePanel();
    panel->ShowSelectedCatalogue();
    EXPECT_EQ(text(panel->txtFile1[1]), "$.ELITE   L");
    EXPECT_FALSE(panel->cmdUpdateEdits->isEnabled());
    EXPECT_FALSE(panel->lblUpdateOff->isHidden());
    EXPECT_EQ(panel->lblUpdateOff->text().toStdString(), panel->state().UpdateRefusal());
    clickRow(1);
    EXPECT_TRUE(panel->cmdUpdateEdits->isEnabled());
    EXPECT_TRUE(panel->lblUpdateOff->isHidden());
}

TEST_F(CataloguePanelTest, TheTitleBoxTakesTwelveCharacters)
{
    panel->ShowCataloguePanel();
    panel->txtTitle->clear();
    QTest::keyClicks(panel->txtTitle, QStringLiteral("Fifteen letters"));
    EXPECT_EQ(text(panel->txtTitle), "Fifteen lett");
}

TEST_F(CataloguePanelTest, TheBlankImageShowsEmptyWithNothingChecked)
{
    writeBytes(dir / "blank.img", MakeBlankImage());
    rows({path("blank.img")});
    panel->ShowSelectedCatalogue();
    EXPECT_EQ(text(panel->txtTitle), "");
    for (int n = 1; n <= 62; ++n)
        EXPECT_EQ(text(panel->txtFile1[size_t(n)]), "") << n;
    EXPECT_EQ(checkedOptions(), (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(text(panel->TextExt), ".img");
}

// The panel in the main window.
class MainWindowCatalogue : public WindowTest {
protected:
    std::vector<Record> records() const override
    {
        return {
            rec("Acorn", "Alpha", "Arcade", "Files\\acorn\\alpha.ssd", 0, ""),
            rec("Acorn", "Beta", "Arcade", "Files\\acorn\\beta.SSD", 1, "The second disc"),
            rec("Acorn", "Gamma", "Arcade", "Files\\acorn\\gamma.uef", 2, ""),
        };
    }
    void SetUp() override
    {
        WindowTest::SetUp();
        writeBytes(dir / "Files/acorn/alpha.ssd", sampleImage("ALPHA", "", 0x13));
        writeBytes(dir / "Files/acorn/beta.SSD", sampleImage("BETA", "", 0x23));
        writeBytes(dir / "Files/acorn/gamma.uef",
                   uefFile({carrier(), uefChunk(0x0100, tapeBlock("GAMMA", 0, 0, 0, {}, 0x81))}));
    }
    void clickGridRow(int row)
    {
        QTableView* view = form->MSFlexGridView;
        const QRect cell = view->visualRect(form->f.MSFlexGrid.index(row, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    }
    CataloguePanel& panel() { return *form->catalogue; }
};

TEST_F(MainWindowCatalogue, TheCatalogueButtonShowsThePanelAndThePicturesAgain)
{
    Form1& w = loadForm();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_FALSE(panel().txtTitle->isVisible());
    EXPECT_TRUE(w.Image1->isVisible());

    QTest::mouseClick(w.picCmdCatImages, Qt::LeftButton);
    EXPECT_EQ(w.f.iCatalogueView, 2);
    EXPECT_TRUE(panel().txtTitle->isVisible());
    EXPECT_TRUE(panel().txtFile1[62]->isVisible());
    EXPECT_TRUE(panel().cmdUpdateEdits->isVisible());
    EXPECT_FALSE(w.Image1->isVisible());
    EXPECT_FALSE(w.Image2->isVisible());
    // Row 0 after the start-up sort is Alpha.
    EXPECT_EQ(panel().txtTitle->text(), "ALPHA");
    EXPECT_EQ(panel().TextExt->text(), ".ssd");
    EXPECT_TRUE(panel().Option2->isChecked());
    EXPECT_TRUE(panel().cmdUpdateEdits->isEnabled());

    QTest::mouseClick(w.picCmdCatImages, Qt::LeftButton);
    EXPECT_EQ(w.f.iCatalogueView, 1);
    EXPECT_FALSE(panel().txtTitle->isVisible());
    EXPECT_FALSE(w.Frame3->isVisible());
    EXPECT_TRUE(w.Image1->isVisible());
    EXPECT_TRUE(w.Image2->isVisible());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(MainWindowCatalogue, AGridClickRefillsThePanelOnlyWhileItIsShown)
{
    Form1& w = loadForm();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.picCmdCatImages, Qt::LeftButton);
    ASSERT_EQ(panel().txtTitle->text(), "ALPHA");

    clickGridRow(1);
    EXPECT_EQ(w.f.sFullFilename, "Files\\acorn\\beta.SSD");
    EXPECT_EQ(panel().TextExt->text(), ".ssd");
    EXPECT_EQ(panel().txtTitle->text(), "BETA");
    EXPECT_TRUE(panel().Option3->isChecked());
    EXPECT_TRUE(panel().cmdUpdateEdits->isEnabled());
    // The pictures stay hidden behind the panel.
    EXPECT_FALSE(w.Image1->isVisible());

    clickGridRow(2);
    EXPECT_EQ(panel().TextExt->text(), ".uef");
    EXPECT_EQ(panel().txtTitle->text(), "GAMMA");
    EXPECT_FALSE(panel().cmdUpdateEdits->isEnabled());

    // In the picture view a click does not touch the panel.
    QTest::mouseClick(w.picCmdCatImages, Qt::LeftButton);
    clickGridRow(0);
    EXPECT_EQ(panel().TextExt->text(), ".uef");
    EXPECT_EQ(panel().txtTitle->text(), "GAMMA");
    QTest::mouseClick(w.picCmdCatImages, Qt::LeftButton);
    EXPECT_EQ(panel().txtTitle->text(), "ALPHA");
    EXPECT_TRUE(prompt.shown.empty());
}

// Whatever moves the current row, the current file, the pictures, the
// description and the panel follow it.
TEST_F(MainWindowCatalogue, WhateverMovesTheRowTheWindowFollowsIt)
{
    fs::copy_file(dir / "Images/logosp.jpg", dir / "Files/acorn/beta-box.jpg");
    Form1& w = loadForm();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.picCmdCatImages, Qt::LeftButton);
    QTableView* view = w.MSFlexGridView;
    const auto key = [&](Qt::Key k) { return [&, k] { QTest::keyClick(view, k); }; };
    const std::pair<const char*, std::function<void()>> moves[] = {
        {"Down", key(Qt::Key_Down)},
        {"Page Down", key(Qt::Key_PageDown)},
        {"type-ahead", [&] { QTest::keyClicks(view, "a"); }},
        {"search box", [&] { w.openSearch(); w.txtSearch->setText("Gamma"); w.closeSearch(); }},
        {"New", [&] {
             w.picCmdNew_Click();
             for (auto [box, text] : {std::pair{w.frmNewRecord->txtSoftware, "Aardvark"},
                                      {w.frmNewRecord->txtPublisher, "Acorn"},
                                      {w.frmNewRecord->txtFilepath, "Files\\acorn\\beta.SSD"}})
                 box->setText(text);
             w.frmNewRecord->cmdUpdateEdits_Click();
         }},
        {"Edit emptying the description", [&] {
             w.picCmdEdit_Click();
             w.frmEditDatabase->txtDescription1->clear();
             w.frmEditDatabase->cmdUpdateEdits_Click();
         }},
        {"Edit, Delete", [&] { w.picCmdEdit_Click(); w.frmEditDatabase->cmdDelete_Click(); }},
    };
    std::map<std::string, QString> titles = {{"Files\\acorn\\alpha.ssd", "ALPHA"},
                                             {"Files\\acorn\\beta.SSD", "BETA"},
                                             {"Files\\acorn\\gamma.uef", "GAMMA"}};
    for (const auto& [name, move] : moves) {
        SCOPED_TRACE(name);
        view->setFocus();
        move();
        const FlexGrid& g = w.f.MSFlexGrid;
        const std::string file(g.TextMatrix(g.Row(), 3));
        EXPECT_EQ(view->currentIndex().row(), g.Row());
        EXPECT_EQ(w.f.sFullFilename, file);
        EXPECT_EQ(w.txtText1->toPlainText().toStdString(), CurrentDescription(w.f));
        EXPECT_EQ(w.Image1->property("pictureFile").toString(),
                  titles[file] == "BETA" ? "Files\\acorn\\beta-box.jpg" : "Images\\logosp.jpg");
        EXPECT_EQ(panel().TextExt->text().toStdString(), ExtensionOf(file));
        EXPECT_EQ(panel().txtTitle->text(), titles[file]);
        EXPECT_EQ(panel().cmdUpdateEdits->isEnabled(),
                  !titles[file].isEmpty() && ExtensionOf(file) != ".uef");
    }
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(MainWindowCatalogue, WithElectrEmCheckedAClickChangesOnlyTheExtension)
{
    Form1& w = loadForm();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.picCmdCatImages, Qt::LeftButton);
    ASSERT_EQ(panel().txtTitle->text(), "ALPHA");
    w.mnuElectrEm->trigger();
    ASSERT_TRUE(w.mnuElectrEm->isChecked());

    // A tape row shows the tape's files, read-only; a disk row leaves them.
    clickGridRow(2);
    EXPECT_EQ(panel().TextExt->text(), ".uef");
    EXPECT_EQ(panel().txtTitle->text(), "GAMMA");
    EXPECT_EQ(panel().txtFile1[1]->text(), "GAMMA      L");
    EXPECT_FALSE(panel().cmdUpdateEdits->isEnabled());
    EXPECT_TRUE(panel().lblUpdateOff->isVisible());
    clickGridRow(1);
    EXPECT_EQ(panel().TextExt->text(), ".ssd");
    EXPECT_EQ(panel().txtTitle->text(), "GAMMA");
    EXPECT_FALSE(panel().cmdUpdateEdits->isEnabled());

    w.mnuBeebEm->trigger();
    clickGridRow(1);
    EXPECT_EQ(panel().txtTitle->text(), "BETA");
    EXPECT_TRUE(panel().cmdUpdateEdits->isEnabled());
}

} // namespace
} // namespace tavrin::test
