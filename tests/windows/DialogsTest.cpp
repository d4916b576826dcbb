// The properties dialog, the About box, the new-database warning, the
// help viewer and the unpack's window on the offscreen platform.

#include "WindowFixture.h"
#include "core/Configuration.h"
#include "core/IniFile.h"
#include "windows/FrmAbout.h"
#include "windows/FrmDialog.h"
#include "windows/FrmFormIni.h"
#include "windows/FrmHelp.h"
#include "windows/FrmSetUpEmulators.h"
#include "windows/FrmUnpackProgress.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <fstream>
#include <iterator>
#include <thread>

namespace tavrin::test {
namespace {

void unloadClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class PropertiesDialogTest : public WindowTest {
protected:
    FrmFormIni& open()
    {
        form->mnuProperties->trigger();
        EXPECT_TRUE(form->frmFormIni);
        return *form->frmFormIni;
    }
};

TEST_F(PropertiesDialogTest, ShowsTheFileWithItsLabelsAndTheFourNames)
{
    dir.write("bbc.ini", "[BBC EMU]\nForm1.sBeebEmu=Someone else's\n[BeebEm]\n"
                         "Form1.sBeebEmExec=/usr/bin/beebem\n[ElectrEm]\nForm1.sElectrEmExec=elk\n");
    loadForm();
    FrmFormIni& d = open();
    EXPECT_EQ(d.windowTitle(), "Tavrin Properties");
    EXPECT_EQ(d.cmbEmu->currentText(), "Someone else's") << "the stored text stays";
    QStringList names;
    for (int i = 0; i < d.cmbEmu->count(); ++i)
        names << d.cmbEmu->itemText(i);
    EXPECT_EQ(names, (QStringList{"BeebEm", "B-Em", "PcBBC", "ElectrEm"}));
    EXPECT_EQ(d.txtBeebEmExec->text(), "/usr/bin/beebem");
    EXPECT_EQ(d.txtElectrEmExec->text(), "elk");
    EXPECT_TRUE(d.txtPcBBCDest->text().isEmpty());
    // Every label of the dialog.
    QStringList labels;
    for (const QLabel* l : d.findChildren<QLabel*>())
        labels << l->text();
    for (const char* text : {"Default emulator", "BeebEm data destination", "BeebEm exec/batch file",
                             "B-Em data destination", "B-Em exec/batch file",
                             "PcBBC data destination", "PcBBC exec/batch file", "ElectrEm exec file"})
        EXPECT_TRUE(labels.contains(text)) << text;
    EXPECT_EQ(d.cmdUpdateEdits->text(), "Save");
    EXPECT_EQ(d.cmdCancel->text(), "Cancel");
    // A name that is none of the four selects nothing.
    EXPECT_FALSE(form->mnuBeebEm->isChecked() || form->mnuB_Em->isChecked() ||
                 form->mnuPcBBC->isChecked() || form->mnuElectrEm->isChecked());
}

TEST_F(PropertiesDialogTest, AnIncompleteDialogIsRefusedAndStaysOpen)
{
    loadForm();
    FrmFormIni& d = open();
    d.cmbEmu->setEditText("PcBBC");
    d.txtPcBBCExec->setText("/pc/exec");
    QTest::mouseClick(d.cmdUpdateEdits, Qt::LeftButton);
    unloadClosedWindows();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              "Appropriate fields must hold data\nPcBBC: data destination is empty");
    EXPECT_EQ(prompt.shown[0].title, "Tavrin");
    EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::Ok);
    ASSERT_TRUE(form->frmFormIni);
    EXPECT_EQ(form->frmFormIni->txtPcBBCExec->text(), "/pc/exec");
    EXPECT_FALSE(std::filesystem::exists(dir / "bbc.ini"));
}

TEST_F(PropertiesDialogTest, SaveWritesTheFileSelectsTheEmulatorAndCloses)
{
    dir.write("bbc.ini", "[Other]\nKeep=1\n");
    loadForm();
    FrmFormIni& d = open();
    d.cmbEmu->setCurrentIndex(1); // B-Em
    d.txtB_EmDest->setText("/bem/disc.ssd");
    d.txtB_EmExec->setText("b-em");
    QTest::mouseClick(d.cmdUpdateEdits, Qt::LeftButton);
    unloadClosedWindows();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(form->frmFormIni);
    EXPECT_TRUE(form->mnuB_Em->isChecked());
    EXPECT_FALSE(form->mnuBeebEm->isChecked());
    EXPECT_EQ(form->f.sEmuApp, "b-em");
    EXPECT_EQ(form->f.sDataDestination, "/bem/disc.ssd");
    const auto ini = dir / "bbc.ini";
    EXPECT_EQ(GetPrivateProfileString("BBC EMU", "Form1.sBeebEmu", "", ini), "B-Em");
    EXPECT_EQ(GetPrivateProfileString("B-Em", "Form1.sB_EmExec", "", ini), "b-em");
    EXPECT_EQ(GetPrivateProfileString("Other", "Keep", "", ini), "1");

    // Read back across a restart.
    form.reset();
    Form1& again = loadForm();
    EXPECT_TRUE(again.mnuB_Em->isChecked());
    EXPECT_EQ(again.f.sEmuApp, "b-em");
}

TEST_F(PropertiesDialogTest, BoxesLeftAsTheyWereKeepTheBytesOfTheFile)
{
    // An emulator's name in other letter case selects no list entry, and
    // Return in its box (as when passing through) does not rewrite it.
    for (const auto& [name, selected] : {std::pair("BeebEm", 0), {"beebem", -1}, {"b-em", -1}}) {
        const std::string before = "[BBC EMU]\nForm1.sBeebEmu=" + std::string(name) +
                                   "\n[BeebEm]\nForm1.sBeebEmDest=/discs/\xE9l\xE8ve.ssd\n"
                                   "Form1.sBeebEmExec=beebem\n";
        dir.write("bbc.ini", before);
        loadForm();
        FrmFormIni& d = open();
        EXPECT_EQ(d.cmbEmu->currentIndex(), selected) << name;
        QTest::keyClick(d.cmbEmu->lineEdit(), Qt::Key_Return);
        d.txtB_EmExec->setText("b-em");
        QTest::mouseClick(d.cmdUpdateEdits, Qt::LeftButton);
        EXPECT_EQ(form->f.sDataDestination, selected == 0 ? "/discs/\xE9l\xE8ve.ssd" : "");
        std::ifstream in(dir / "bbc.ini", std::ios::binary);
        const std::string after((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        EXPECT_EQ(after.substr(0, before.size()), before) << name;
        EXPECT_EQ(GetPrivateProfileString("B-Em", "Form1.sB_EmExec", "", dir / "bbc.ini"), "b-em");
        form.reset();
    }
}

TEST_F(PropertiesDialogTest, AFileThatCannotBeWrittenKeepsTheDialogOpenWithAMessage)
{
    loadForm();
    form->f.sAppPath = (dir / "missing folder").string();
    FrmFormIni& d = open();
    d.cmbEmu->setEditText("B-Em");
    d.txtB_EmExec->setText("b-em");
    d.txtB_EmDest->setText("/bbc/Disk0.ssd");
    QTest::mouseClick(d.cmdUpdateEdits, Qt::LeftButton);
    unloadClosedWindows();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("could not be saved"), std::string::npos)
        << prompt.shown[0].text;
    EXPECT_NE(prompt.shown[0].text.find("missing folder/bbc.ini"), std::string::npos);
    ASSERT_TRUE(form->frmFormIni) << "the dialog stays open";
    EXPECT_EQ(form->frmFormIni->cmbEmu->currentText(), "B-Em");
    EXPECT_EQ(form->frmFormIni->txtB_EmExec->text(), "b-em");
    EXPECT_TRUE(form->mnuB_Em->isChecked()) << "the choice holds for this run";
}

TEST_F(PropertiesDialogTest, ShowingItAgainBringsTheOpenDialogForward)
{
    loadForm();
    FrmFormIni& d = open();
    d.txtBeebEmDest->setText("typed, not saved");
    FrmFormIni& same = open();
    EXPECT_EQ(&same, &d);
    EXPECT_EQ(same.txtBeebEmDest->text(), "typed, not saved") << "its load did not run again";
}

using SetUpEmulatorsTest = WindowTest;

TEST_F(SetUpEmulatorsTest, AFolderLookedInFillsTheEmptySlotsAndSaveKeepsTheRestOfTheFile)
{
    const std::string before = "; mine\n[BBC EMU]\nForm1.sBeebEmu=BeebEm\n[BeebEm]\n"
                               "Form1.sBeebEmDest=/beeb/Disk0.ssd\nForm1.sBeebEmExec=beebem\n";
    dir.write("bbc.ini", before);
    for (const char* name : {"emus/b-em", "emus/elk"})
        std::filesystem::permissions(dir.write(name, "#!/bin/sh\n"),
                                     std::filesystem::perms::owner_all);
    loadForm();
    auto* d = new FrmSetUpEmulators(*form, {"", "", dir / "nothing here", {}});
    d->lookInFolder(QString::fromStdString((dir / "emus").string()));
    EXPECT_EQ(d->cmbB_Em->currentText().toStdString(), "B-Em: " + (dir / "emus/b-em").string());
    EXPECT_EQ(d->cmbBeebEm->currentText(), "Keep: beebem");
    d->cmbElectrEm->setCurrentIndex(1); // elk, listed for the user to choose
    EXPECT_EQ(d->cmbEmu->currentText(), "B-Em");
    QTest::mouseClick(d->cmdSave, Qt::LeftButton);
    unloadClosedWindows();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(form->frmSetUpEmulators);
    EXPECT_TRUE(form->mnuB_Em->isChecked());
    const std::string disk = (dir / "Emulator/B-Em/Disk0.ssd").string();
    EXPECT_EQ(form->f.sEmuApp, (dir / "emus/b-em").string() + " -disc " + disk + " -autoboot");
    // Only the lines of the keys change: the comment and BeebEm stay.
    std::string kept = before;
    kept.replace(kept.find("=BeebEm"), 7, "=B-Em");
    std::ifstream in(dir / "bbc.ini", std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(after.substr(0, kept.size()), kept);
    EXPECT_EQ(GetPrivateProfileString("ElectrEm", "Form1.sElectrEmExec", "", dir / "bbc.ini"),
              (dir / "emus/elk").string());
}

using AboutBoxTest = WindowTest;

TEST_F(AboutBoxTest, CaptionVersionAndTexts)
{
    FrmAbout about(QStringLiteral("2.0.0"));
    EXPECT_EQ(about.windowTitle(), "About Tavrin");
    EXPECT_EQ(about.lblVersion->text(), "Version 2.0");
    EXPECT_EQ(about.lblTitle->text(), "Tavrin");
    EXPECT_EQ(about.lblDescription->text(), "A BBC Micro and Electron emulation front-end.     Enjoy!");
    EXPECT_FALSE(about.lblDisclaimer->text().isEmpty());
    EXPECT_FALSE(about.picIcon->pixmap().isNull());
    EXPECT_EQ(about.picIcon->size(), QSize(32, 32));
    EXPECT_EQ(about.cmdOK->text(), "OK");
    EXPECT_TRUE(about.cmdOK->isDefault());
    EXPECT_EQ(aboutVersion("1.12.7"), "Version 1.12");
    EXPECT_EQ(aboutVersion("10.0"), "Version 10.0");
}

TEST_F(AboutBoxTest, TheMenuShowsItAndOKOrEscapeCloseIt)
{
    loadForm();
    for (bool escape : {false, true}) {
        form->mnuAbout->trigger();
        ASSERT_TRUE(form->frmAbout);
        EXPECT_TRUE(form->frmAbout->isVisible());
        EXPECT_FALSE(form->frmAbout->isModal());
        if (escape)
            QTest::keyClick(form->frmAbout, Qt::Key_Escape);
        else
            QTest::mouseClick(form->frmAbout->cmdOK, Qt::LeftButton);
        unloadClosedWindows();
        EXPECT_FALSE(form->frmAbout);
    }
}

using NewDatabaseTest = WindowTest;

TEST_F(NewDatabaseTest, TheWarningDialogsLook)
{
    loadForm();
    form->mnuNewDatabase->trigger();
    ASSERT_TRUE(form->frmDialog);
    FrmDialog& d = *form->frmDialog;
    EXPECT_EQ(d.windowTitle(), "Creat new database");
    EXPECT_EQ(d.Label1->text(), "Warning!");
    EXPECT_EQ(d.Text1->toPlainText(),
              "You are about to delete your current database \n"
              "and create a new file. Click OK to continue or \n"
              "else click Cancel to retain your existing database.");
    EXPECT_TRUE(d.Text1->isReadOnly());
    EXPECT_EQ(d.OKButton->text(), "OK");
    EXPECT_EQ(d.CancelButton->text(), "Cancel");
    EXPECT_FALSE(d.isModal());
}

TEST_F(NewDatabaseTest, CancelLeavesTheCatalogueUntouched)
{
    loadForm();
    const std::string before = readFile(dir / "bbc.mdb");
    form->mnuNewDatabase->trigger();
    ASSERT_TRUE(form->frmDialog);
    QTest::mouseClick(form->frmDialog->CancelButton, Qt::LeftButton);
    unloadClosedWindows();
    EXPECT_FALSE(form->frmDialog);
    EXPECT_EQ(readFile(dir / "bbc.mdb"), before);
    EXPECT_EQ(readCatalogue((dir / "bbc.mdb").string()).size(), 3u);
    EXPECT_EQ(form->f.MSFlexGrid.Rows(), 3);
    EXPECT_EQ(form->f.sFullFilename, "Files\\acorn\\elite.ssd");
}

TEST_F(NewDatabaseTest, OKLeavesAOneRowCatalogueAndShowsIt)
{
    loadForm();
    form->mnuNewDatabase->trigger();
    ASSERT_TRUE(form->frmDialog);
    QTest::mouseClick(form->frmDialog->OKButton, Qt::LeftButton);
    unloadClosedWindows();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(form->frmDialog);
    EXPECT_EQ(readCatalogue((dir / "bbc.mdb").string()).size(), 1u);
    EXPECT_EQ(form->f.MSFlexGrid.Rows(), 1);
    EXPECT_EQ(form->f.iProgRange, 1);
    EXPECT_EQ(form->f.sFullFilename, "") << "the old first title is no longer current";
    EXPECT_EQ(form->Image1->property("pictureFile").toString(), "Images\\logosp.jpg");
}

TEST_F(NewDatabaseTest, OKReplacesTheLocalCatalogueEvenAfterAnotherDatabaseWasShown)
{
    writeCatalogue((dir / "other.mdb").string(), sampleRecords());
    loadForm();
    form->f.sDatabaseFile = "other.mdb";
    form->mnuNewDatabase->trigger();
    QTest::mouseClick(form->frmDialog->OKButton, Qt::LeftButton);
    EXPECT_EQ(readCatalogue((dir / "other.mdb").string()).size(), 3u);
    EXPECT_EQ(readCatalogue((dir / "bbc.mdb").string()).size(), 1u);
}

class HelpTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        copyShipped(dir.path(), "help.hlp");
        copyShipped(dir.path(), "keywords.hlp");
    }
};

TEST_F(HelpTest, BothItemsOpenTheirFilesInTheHelpViewer)
{
    loadForm();
    form->mnuHelp1->trigger();
    ASSERT_TRUE(form->frmHelpContents);
    EXPECT_TRUE(form->frmHelpContents->browser->source().path().endsWith("/help.hlp"));
    EXPECT_FALSE(form->frmHelpContents->windowTitle().isEmpty());
    EXPECT_GT(form->frmHelpContents->browser->toPlainText().size(), 1000);
    form->mnuHelp2->trigger();
    ASSERT_TRUE(form->frmHelpKeywords);
    EXPECT_TRUE(form->frmHelpKeywords->browser->source().path().endsWith("/keywords.hlp"));
    EXPECT_TRUE(form->frmHelpKeywords->browser->toPlainText().contains("RENUMBER"));
    EXPECT_NE(form->frmHelpContents, form->frmHelpKeywords);
    EXPECT_TRUE(prompt.shown.empty());

    // A link inside the file moves within it; Contents returns.
    QTextBrowser* b = form->frmHelpKeywords->browser;
    b->setSource(QUrl(b->source().toString() + "#contents"));
    EXPECT_EQ(b->source().fragment(), "contents");
    EXPECT_TRUE(b->toPlainText().contains("RENUMBER")) << "still the same file";
}

TEST_F(HelpTest, AMissingHelpFileIsAMessage)
{
    std::filesystem::remove(dir / "keywords.hlp");
    loadForm();
    form->mnuHelp2->trigger();
    EXPECT_FALSE(form->frmHelpKeywords);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("keywords.hlp"), std::string::npos);
}

// Modal over the main window, shown once the unpack lasts, the entry and
// the bytes written, and Cancel stopping the unpack.
TEST(UnpackProgressWindow, ShowsTheBytesWrittenAndCancelStops)
{
    ensureApplication();
    Form1 form;
    std::unique_ptr<UnpackProgress> opened = FrmUnpackProgress::opener(&form)("Files\\Elite.zip");
    auto* window = dynamic_cast<FrmUnpackProgress*>(opened.get());
    ASSERT_TRUE(window && window->parentWidget() == &form);
    EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(window->report("ELITE.SSD", 0, 400));
    EXPECT_FALSE(window->isVisible()); // a quick unpack shows nothing
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(window->report("ELITE.SSD", 100, 400));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->value(), 250);
    EXPECT_EQ(window->labelText(), "Unpacking Elite.zip\nELITE.SSD");
    QTest::mouseClick(window->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_FALSE(window->report("ELITE.SSD", 200, 400));
}

} // namespace
} // namespace tavrin::test
