// The dialog "Create an .IMG file" on the offscreen platform: its controls,
// the folder and file lists starting at "Files", the extension check, the
// blank image written and the messages.

#include "WindowFixture.h"
#include "diskimage/FailingFiles.h"

#include "diskimage/DiskCatalogue.h"
#include "windows/FrmCreateImg.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace tavrin::test {
namespace {

std::vector<uint8_t> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

QStringList itemsOf(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

QString abs(const fs::path& p) { return QDir::cleanPath(QString::fromStdString(p.string())); }

class FrmCreateImgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override
    {
        fs::create_directories(dir / "Files/Acme");
        fs::create_directories(dir / "Files/Zed");
        std::ofstream(dir / "Files/readme.txt") << "x";
        std::ofstream(dir / "Files/Acme/game.ssd") << "x";
    }

    FrmCreateImg& open()
    {
        dialog = new FrmCreateImg(prompt);
        dialog->show();
        return *dialog;
    }

    void TearDown() override
    {
        delete dialog.data();
        QCoreApplication::processEvents();
    }

    TempDir dir;
    CurrentDir current{dir.path()};
    ScriptedPrompt prompt;
    QPointer<FrmCreateImg> dialog;
};

TEST_F(FrmCreateImgTest, ControlsAndTexts)
{
    FrmCreateImg& d = open();
    EXPECT_EQ(d.objectName(), "frmCreateImg");
    EXPECT_EQ(d.windowTitle(), "Create an .IMG file");
    EXPECT_FALSE(d.isModal());
    EXPECT_EQ(d.Label9->text(), "Name the file and select the folder to store the .IMG file.");
    EXPECT_EQ(d.Label1->text(), "Filename");
    EXPECT_EQ(d.cmdCreate->text(), "Create");
    EXPECT_EQ(d.cmdCancel->text(), "Cancel");
    EXPECT_EQ(d.txtFilename->text(), "");
}

TEST_F(FrmCreateImgTest, TheListsStartAtFilesAndFollowTheFolderList)
{
    FrmCreateImg& d = open();
    EXPECT_EQ(d.dirMain->path(), abs(dir / "Files"));
    EXPECT_EQ(d.filMain->path(), abs(dir / "Files"));
    EXPECT_EQ(itemsOf(d.filMain), QStringList{"readme.txt"});
    // The current folder's item is selected, its subfolders below it.
    QTreeWidgetItem* current = d.dirMain->currentItem();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->text(0), "Files");
    ASSERT_EQ(current->childCount(), 2);
    EXPECT_EQ(current->child(0)->text(0), "Acme");
    EXPECT_EQ(current->child(1)->text(0), "Zed");

    // Opening a subfolder.
    emit d.dirMain->itemActivated(current->child(0), 0);
    EXPECT_EQ(d.dirMain->path(), abs(dir / "Files/Acme"));
    EXPECT_EQ(d.filMain->path(), abs(dir / "Files/Acme"));
    EXPECT_EQ(itemsOf(d.filMain), QStringList{"game.ssd"});

    // And back up through the chain of folders above it.
    QTreeWidgetItem* parent = d.dirMain->currentItem()->parent();
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->text(0), "Files");
    emit d.dirMain->itemActivated(parent, 0);
    EXPECT_EQ(d.filMain->path(), abs(dir / "Files"));
}

TEST_F(FrmCreateImgTest, WithoutAFilesFolderTheListsStartInTheProgramFolder)
{
    fs::remove_all(dir / "Files");
    FrmCreateImg& d = open();
    EXPECT_EQ(d.dirMain->path(), abs(dir.path()));
    EXPECT_EQ(d.filMain->path(), abs(dir.path()));
}

TEST_F(FrmCreateImgTest, NamesWithoutImgAreRefusedAndNothingIsWritten)
{
    FrmCreateImg& d = open();
    for (const char* name : {"blank.ssd", "blank", "blank.img.", "blank.im g", ""}) {
        prompt.shown.clear();
        d.txtFilename->setText(QString::fromUtf8(name));
        QTest::mouseClick(d.cmdCreate, Qt::LeftButton);
        ASSERT_EQ(prompt.shown.size(), 1u) << name;
        EXPECT_EQ(prompt.shown[0].text, "Invalid filename, the extension must be .img");
        EXPECT_EQ(prompt.shown[0].title, "Tavrin");
        EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::Ok);
        EXPECT_TRUE(d.isVisible()) << "the dialog stays";
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Files"), fs::directory_iterator()), 3);
}

TEST_F(FrmCreateImgTest, NamesReachingOutsideTheFolderAreRefused)
{
    FrmCreateImg& d = open();
    emit d.dirMain->itemActivated(d.dirMain->currentItem()->child(0), 0); // Acme
    d.txtFilename->setText(QStringLiteral("../up.img"));
    QTest::mouseClick(d.cmdCreate, Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Invalid filename, it must not hold \"/\", \"\\\" or \"..\"");
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(fs::exists(dir / "Files/up.img"));
}

TEST_F(FrmCreateImgTest, CreateWritesTheBlankImageTellsAndCloses)
{
    FrmCreateImg& d = open();
    emit d.dirMain->itemActivated(d.dirMain->currentItem()->child(0), 0); // Acme
    d.txtFilename->setText(QStringLiteral("SAVES.IMG"));
    QTest::mouseClick(d.cmdCreate, Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Image file created successfully");
    EXPECT_EQ(readBytes(dir / "Files/Acme/SAVES.IMG"), MakeBlankImage());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull()) << "closed and gone; the next one loads afresh";
}

TEST_F(FrmCreateImgTest, AnExistingLongerFileIsReplacedEntirely)
{
    {
        std::ofstream old(dir / "Files/old.img", std::ios::binary);
        old << std::string(300000, 'U');
    }
    FrmCreateImg& d = open();
    d.txtFilename->setText(QStringLiteral("old.img"));
    d.cmdCreate->click();
    EXPECT_EQ(readBytes(dir / "Files/old.img"), MakeBlankImage());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Files"), fs::directory_iterator()), 4);
}

TEST_F(FrmCreateImgTest, AFolderThatCannotBeWrittenIsToldWithoutSuccess)
{
    FrmCreateImg& d = open();
    ASSERT_TRUE(d.dirMain->setPath(QString::fromUtf8(kUncreatableFolder)));
    EXPECT_EQ(d.filMain->path(), kUncreatableFolder);
    d.txtFilename->setText(QStringLiteral("new.img"));
    d.cmdCreate->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "The image file was not created.\n\nCannot create \"/proc/new.img\": the folder "
              "\"/proc\" cannot be written (No such file or directory).");
    EXPECT_TRUE(d.isVisible());

    // A full disk: nothing is left behind.
    prompt.shown.clear();
    ASSERT_TRUE(d.dirMain->setPath(abs(dir / "Files")));
    {
        FileSizeLimit full;
        d.cmdCreate->click();
    }
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "The image file was not created.\n\nCannot create \"" +
                                        (dir / "Files/new.img").string() +
                                        "\": File too large.");
    EXPECT_FALSE(fs::exists(dir / "Files/new.img"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Files"), fs::directory_iterator()), 3);
}

TEST_F(FrmCreateImgTest, CancelClosesWithoutWriting)
{
    FrmCreateImg& d = open();
    d.txtFilename->setText(QStringLiteral("new.img"));
    QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(fs::exists(dir / "Files/new.img"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
}

// From the main window's menu: one dialog at a time, not modal.
class CreateImgMenu : public WindowTest {};

TEST_F(CreateImgMenu, TheMenuItemOpensOneDialog)
{
    Form1& w = loadForm();
    ASSERT_NE(w.mnuCreateImg, nullptr);
    EXPECT_EQ(w.mnuCreateImg->text(), "&Create .img file");
    w.mnuCreateImg->trigger();
    ASSERT_FALSE(w.frmCreateImg.isNull());
    FrmCreateImg* first = w.frmCreateImg;
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    first->txtFilename->setText(QStringLiteral("typed.img"));
    w.mnuCreateImg->trigger();
    EXPECT_EQ(w.frmCreateImg.data(), first);
    EXPECT_EQ(first->txtFilename->text(), "typed.img") << "no second load";
    first->cmdCancel->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.frmCreateImg.isNull());
}

} // namespace
} // namespace tavrin::test
