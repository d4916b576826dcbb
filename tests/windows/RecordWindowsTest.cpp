// The "New record" and "Edit record" windows on the offscreen platform, opened
// from the main window's picture buttons: their controls, the file choice,
// Update, Delete and the close box, and both windows open at once.

#include "WindowFixture.h"

#include "windows/FrmCreateImg.h"
#include "windows/FrmEditDatabase.h"
#include "windows/FrmNewRecord.h"
#include "windows/PictureButton.h"
#include "windows/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace fs = std::filesystem;

namespace tavrin::test
{
namespace
{

class RecordWindowsTest : public WindowTest
{
  protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dir.write("Files/Acme/GAME.SSD");
        dir.write("Files/Acme/readme.txt");
    }

    // The title of Welcome holds a byte that is no UTF-8.
    std::vector<Record> records() const override
    {
        std::vector<Record> r = sampleRecords();
        r[1].software = "Welcome\xff";
        return r;
    }

    std::vector<Record> stored() const { return readCatalogue((dir / "bbc.mdb").string()); }

    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    static void clickFile(RecordWindow& w, const QString& name)
    {
        const QList<QListWidgetItem*> items = w.filMain->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        QTest::mouseClick(w.filMain->viewport(), Qt::LeftButton, {},
                          w.filMain->visualItemRect(items[0]).center());
    }

    // The keyboard focus order from the Update button on.
    static QList<QWidget*> tabOrder(RecordWindow& w, int count)
    {
        QList<QWidget*> out{w.cmdUpdateEdits};
        for (QWidget* next = w.cmdUpdateEdits->nextInFocusChain(); out.size() < count;
             next = next->nextInFocusChain())
            if (next->focusPolicy() & Qt::TabFocus)
                out << next;
        return out;
    }
};

TEST_F(RecordWindowsTest, NewWindowAddsARecordAndItsCloseBoxRemovesIt)
{
    Form1& form1 = loadForm();
    QTest::mouseClick(form1.picCmdNew, Qt::LeftButton);
    ASSERT_TRUE(form1.frmNewRecord);
    FrmNewRecord& w = *form1.frmNewRecord;
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isModal());
    EXPECT_EQ(w.windowTitle(), "New record");
    EXPECT_EQ(w.cmdDelete, nullptr);
    EXPECT_EQ(w.txtSoftware->geometry(), twipsRect(1200, 480, 2895, 375, &w));
    EXPECT_EQ(w.cmdCancel->geometry(), twipsRect(3000, 5280, 1095, 375, &w));
    EXPECT_EQ(w.Label9->text(), "Fields marked * are mandatory");
    EXPECT_EQ(tabOrder(w, 11),
              (QList<QWidget*>{w.cmdUpdateEdits, w.txtSoftware, w.txtPublisher, w.txtGenre,
                               w.txtFilepath, w.txtData1, w.txtData2, w.txtDescription1,
                               w.cmdCancel, w.filMain, w.dirMain}));
    EXPECT_EQ(stored().size(), 4u); // the blank record, stored on opening
    EXPECT_EQ(form1.f.iProgRange, 4);

    ASSERT_TRUE(w.dirMain->path().endsWith("/Files")) << w.dirMain->path().toStdString();
    ASSERT_TRUE(w.dirMain->setPath(w.dirMain->path() + "/Acme"));
    clickFile(w, "readme.txt");
    EXPECT_EQ(w.txtFilepath->text(), "");
    w.txtPublisher->setText("typed");
    clickFile(w, "GAME.SSD");
    EXPECT_EQ(w.txtFilepath->text(), "Files\\Acme\\GAME.SSD");
    EXPECT_EQ(w.txtPublisher->text(), "Acme");
    QTest::keyClicks(w.txtSoftware, "Game");
    EXPECT_EQ(w.txtSoftware->maxLength(), 40);

    // A second click only brings the same window forward.
    QTest::mouseClick(form1.picCmdNew, Qt::LeftButton);
    EXPECT_EQ(form1.frmNewRecord, &w);
    EXPECT_EQ(stored().size(), 4u);

    QTest::mouseClick(w.cmdUpdateEdits, Qt::LeftButton);
    settle();
    EXPECT_FALSE(form1.frmNewRecord);
    std::vector<Record> records = stored();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[3].software, "Game");
    EXPECT_EQ(records[3].filepath, "Files\\Acme\\GAME.SSD");
    EXPECT_EQ(records[3].genre, " ");
    EXPECT_EQ(form1.f.MSFlexGrid.Rows(), 4);

    // Opened again and closed with the close box: the blank record goes.
    QTest::mouseClick(form1.picCmdNew, Qt::LeftButton);
    ASSERT_TRUE(form1.frmNewRecord);
    EXPECT_EQ(stored().size(), 5u);
    form1.frmNewRecord->close();
    settle();
    EXPECT_FALSE(form1.frmNewRecord);
    EXPECT_EQ(stored().size(), 4u);
    EXPECT_EQ(form1.f.MSFlexGrid.Rows(), 4);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(RecordWindowsTest, EditWindowChangesAndDeletesTheSelectedRecord)
{
    Form1& form1 = loadForm();
    form1.f.MSFlexGrid.setRow(1); // Acorn, Welcome after the sort
    QTest::mouseClick(form1.picCmdEdit, Qt::LeftButton);
    ASSERT_TRUE(form1.frmEditDatabase);
    FrmEditDatabase& w = *form1.frmEditDatabase;
    EXPECT_EQ(w.windowTitle(), "Edit record");
    EXPECT_EQ(w.cmdDelete->geometry(), twipsRect(2400, 5280, 1095, 375, &w));
    EXPECT_EQ(w.cmdCancel->geometry(), twipsRect(3600, 5280, 1095, 375, &w));
    EXPECT_EQ(tabOrder(w, 10).back(), w.cmdDelete);
    EXPECT_TRUE(w.txtData1->isReadOnly());
    EXPECT_EQ(w.txtSoftware->text(), QString::fromUtf8("Welcome\xef\xbf\xbd"));
    EXPECT_EQ(w.txtGenre->text(), "Utility");
    EXPECT_EQ(w.txtPublisher->maxLength(), 30);
    EXPECT_TRUE(w.dirMain->path().endsWith("/Files"));

    w.txtGenre->clear();
    w.txtDescription1->setPlainText("New words");
    QTest::mouseClick(w.cmdUpdateEdits, Qt::LeftButton);
    settle();
    EXPECT_FALSE(form1.frmEditDatabase);
    EXPECT_EQ(form1.txtText1->toPlainText(), "New words");
    std::vector<Record> records = stored();
    EXPECT_EQ(records[1].software, "Welcome\xff"); // an untouched box keeps its bytes
    EXPECT_EQ(records[1].genre, "Utility");
    EXPECT_EQ(records[1].description, "New words");

    form1.f.MSFlexGrid.setRow(1);
    QTest::mouseClick(form1.picCmdEdit, Qt::LeftButton);
    ASSERT_TRUE(form1.frmEditDatabase);
    QTest::mouseClick(form1.frmEditDatabase->cmdDelete, Qt::LeftButton);
    settle();
    records = stored();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].software, "Alpha Quest");
    EXPECT_EQ(records[1].software, "Elite");
    EXPECT_EQ(records[1].index, 1);
    EXPECT_EQ(form1.f.MSFlexGrid.Rows(), 2);
    EXPECT_EQ(form1.f.MSFlexGrid.Row(), 0);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(RecordWindowsTest, BothWindowsOpenAtOnceOnTheSameCatalogue)
{
    Form1& form1 = loadForm();
    QTest::mouseClick(form1.picCmdNew, Qt::LeftButton);
    form1.f.MSFlexGrid.setRow(2); // Zeta Soft, Alpha Quest
    QTest::mouseClick(form1.picCmdEdit, Qt::LeftButton);
    ASSERT_TRUE(form1.frmNewRecord);
    ASSERT_TRUE(form1.frmEditDatabase);
    EXPECT_TRUE(form1.frmNewRecord->isVisible());
    EXPECT_TRUE(form1.frmEditDatabase->isVisible());

    FrmNewRecord& added = *form1.frmNewRecord;
    FrmEditDatabase& edited = *form1.frmEditDatabase;
    edited.txtSoftware->setText("Alpha Quest II");
    QTest::mouseClick(edited.cmdUpdateEdits, Qt::LeftButton);
    added.txtSoftware->setText("Beta");
    added.txtPublisher->setText("Acme");
    added.txtFilepath->setText("beta.ssd");
    QTest::mouseClick(added.cmdUpdateEdits, Qt::LeftButton);
    settle();

    EXPECT_TRUE(prompt.shown.empty());
    const std::vector<Record> records = stored();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].software, "Alpha Quest II");
    EXPECT_EQ(records[3].software, "Beta");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(records[static_cast<size_t>(i)].index, i);
    EXPECT_EQ(form1.f.MSFlexGrid.Rows(), 4);
}

TEST_F(RecordWindowsTest, AClickOnAFolderListsItsFilesAndNamesShowWhole)
{
    const QString name = "Marsh Harrier Software";
    dir.write("Files/Marsh Harrier Software/harbour.ssd");
    QTest::mouseClick(loadForm().picCmdEdit, Qt::LeftButton);
    RecordWindow& w = *form->frmEditDatabase;
    w.show();
    QCoreApplication::processEvents();
    const auto found = w.dirMain->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    const QRect box = w.dirMain->visualItemRect(found[0]);
    EXPECT_GT(box.width(), w.dirMain->fontMetrics().horizontalAdvance(name)) << "not cut to Ma...";
    QTest::mouseClick(w.dirMain->viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(30, 4));
    EXPECT_TRUE(w.dirMain->path().endsWith(name));
    EXPECT_EQ(w.dirMain->findItems("Acme", Qt::MatchExactly | Qt::MatchRecursive).size(), 1)
        << "the list keeps its folders until one is opened";
    clickFile(w, "harbour.ssd");
    EXPECT_EQ(w.txtFilepath->text(), "Files\\" + name + "\\harbour.ssd");
}

} // namespace
} // namespace tavrin::test
