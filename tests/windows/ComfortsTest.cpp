// The everyday comforts on a real catalogue: finding a title, setting an
// emulator up, the feedback on long work and running a file directly.

#include "WindowFixture.h"
#include "catalogue/PlayHistory.h"
#include "core/TextHelpers.h"
#include "launch/LaunchFixture.h"
#include "windows/FrmFormIni.h"
#include "windows/GamelistCommand.h"
#include "windows/PictureButton.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <sstream>

namespace tavrin::test {
namespace {

class ComfortsTest : public WindowTest {
protected:
    std::vector<Record> records() const override
    {
        std::vector<Record> r = sampleRecords();
        r.push_back(rec("Superior", "Repton", "Arcade", "Files\\sup\\repton.ssd", 3, "Dig"));
        r.push_back(rec("Acornsoft", "Aviator", "Simulation", "Files\\acorn\\aviator.ssd", 4, ""));
        return r;
    }
    Form1& shownForm()
    {
        Form1& w = loadForm();
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        return w;
    }
    QStringList shownTitles() const
    {
        QStringList titles;
        const FlexGrid& g = form->f.MSFlexGrid;
        for (int r = 0; r < g.Rows(); ++r)
            if (!form->MSFlexGridView->isRowHidden(r))
                titles << QString::fromUtf8(g.TextMatrix(r, 1));
        return titles;
    }
    int rowOf(const char* title) const
    {
        const FlexGrid& g = form->f.MSFlexGrid;
        for (int r = 0; r < g.Rows(); ++r)
            if (g.TextMatrix(r, 1) == title)
                return r;
        return -1;
    }
};

TEST_F(ComfortsTest, TheSearchBoxShowsMatchingRowsAndEscapeGivesBackEveryRow)
{
    Form1& w = shownForm();
    // Sorted by publisher: Acorn Elite, Acorn Welcome, Acornsoft Aviator,
    // Superior Repton, Zeta Soft Alpha Quest.
    ASSERT_EQ(shownTitles(), (QStringList{"Elite", "Welcome", "Aviator", "Repton", "Alpha Quest"}));
    EXPECT_TRUE(w.txtSearch->isHidden());
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(w.txtSearch->isVisible());
    EXPECT_TRUE(w.txtSearch->hasFocus());

    QTest::keyClicks(w.txtSearch, "ARCADE");
    EXPECT_EQ(shownTitles(), (QStringList{"Elite", "Repton"})) << "the genre is searched";
    QTest::keyClick(w.txtSearch, Qt::Key_Backspace);
    w.txtSearch->setText("soft");
    EXPECT_EQ(shownTitles(), (QStringList{"Aviator", "Alpha Quest"}));
    // The current row was hidden: the first shown row is the current title.
    EXPECT_EQ(w.f.MSFlexGrid.Row(), rowOf("Aviator"));
    EXPECT_EQ(w.f.sFullFilename, "Files\\acorn\\aviator.ssd");

    // A click on the second shown row makes its own record the current file.
    QTableView* view = w.MSFlexGridView;
    const int alpha = rowOf("Alpha Quest");
    const QRect cell = view->visualRect(w.f.MSFlexGrid.index(alpha, 1));
    ASSERT_TRUE(cell.isValid());
    EXPECT_EQ(view->rowAt(cell.center().y()), alpha);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(w.f.MSFlexGrid.Row(), alpha);
    EXPECT_EQ(w.f.sFullFilename, "Files\\zeta\\alpha.ssd");
    EXPECT_EQ(w.txtText1->toPlainText(), "An adventure");

    // A sort (by title, the clicked column) while searching keeps the search.
    QTest::mouseClick(w.picCmdSort, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(shownTitles(), (QStringList{"Alpha Quest", "Aviator"}));
    const QRect aviator = view->visualRect(w.f.MSFlexGrid.index(rowOf("Aviator"), 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, aviator.center());
    ASSERT_EQ(w.f.sFullFilename, "Files\\acorn\\aviator.ssd");

    QTest::keyClick(w.txtSearch, Qt::Key_Escape);
    EXPECT_TRUE(w.txtSearch->isHidden());
    EXPECT_EQ(shownTitles().size(), 5);
    EXPECT_EQ(w.f.MSFlexGrid.Row(), rowOf("Aviator")) << "the selection is kept";
    EXPECT_EQ(view->currentIndex().row(), rowOf("Aviator"));
    EXPECT_TRUE(view->hasFocus());
}

TEST_F(ComfortsTest, TheFilterNeverChangesWhatSortAndExitWrites)
{
    Form1& w = shownForm();
    w.openSearch();
    w.txtSearch->setText("zeta");
    ASSERT_EQ(shownTitles(), (QStringList{"Alpha Quest"}));
    w.mnuSortExit->trigger();
    EXPECT_TRUE(prompt.shown.empty());
    const std::vector<Record> stored = readCatalogue((dir / "bbc.mdb").string());
    ASSERT_EQ(stored.size(), 5u);
    QStringList titles;
    for (const Record& r : stored)
        titles << QString::fromStdString(*r.software);
    EXPECT_EQ(titles, (QStringList{"Elite", "Welcome", "Aviator", "Repton", "Alpha Quest"}));
}

TEST_F(ComfortsTest, FavouritesAndRecentPlaysAreMarkedFilteredAndOrderedInTheViewOnly)
{
    const std::string db = (dir / "bbc.mdb").string();
    RecordPlayStarted(db, "Files\\sup\\repton.ssd", "2026-12-01T10:00:00+00:00");
    RecordPlayStarted(db, "Files\\zeta\\alpha.ssd", "2026-12-08T18:20:38+00:00");
    Form1& w = shownForm();
    const QStringList gridOrder = shownTitles();
    w.MSFlexGridView->setCurrentIndex(w.f.MSFlexGrid.index(rowOf("Elite"), 1));
    QTest::keyClick(w.MSFlexGridView, Qt::Key_F9);
    EXPECT_TRUE(w.playHistory().at("Files\\acorn\\elite.ssd").favourite);
    EXPECT_TRUE(w.f.MSFlexGrid.index(rowOf("Elite"), 1).data(Qt::DecorationRole).isValid());
    EXPECT_FALSE(w.f.MSFlexGrid.index(rowOf("Repton"), 1).data(Qt::DecorationRole).isValid());
    EXPECT_TRUE(w.MSFlexGridView->actions().contains(w.mnuFavourite)) << "the context menu";

    const auto viewTitles = [&] {
        QStringList titles;
        const QHeaderView* header = w.MSFlexGridView->verticalHeader();
        for (int v = 0; v < header->count(); ++v)
            if (const int r = header->logicalIndex(v); !w.MSFlexGridView->isRowHidden(r))
                titles << QString::fromUtf8(w.f.MSFlexGrid.TextMatrix(r, 1));
        return titles;
    };
    w.openSearch();
    w.chkFavourites->setChecked(true);
    EXPECT_EQ(viewTitles(), (QStringList{"Elite"}));
    dir.write("Files/acorn/elite.ssd", "disc");
    dir.write("Files/zeta/alpha.ssd", "disc");
    w.exportGamelist(GamelistFormat::EsDe, (dir / "shown").string());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text.rfind("1 title was written", 0), 0u) << "the rows shown only";
    prompt.shown.clear();
    w.chkFavourites->setChecked(false);
    w.chkRecentlyPlayed->setChecked(true);
    EXPECT_EQ(viewTitles(), (QStringList{"Alpha Quest", "Repton"})) << "the last started first";
    EXPECT_EQ(w.f.MSFlexGrid.Row(), rowOf("Alpha Quest"));
    QTest::keyClick(w.txtSearch, Qt::Key_Escape);
    EXPECT_EQ(viewTitles(), gridOrder);
    EXPECT_EQ(shownTitles(), gridOrder) << "the rows themselves never move";
    EXPECT_TRUE(prompt.shown.empty());

    dir.write("roms/chuckie.ssd", "disc");
    dir.write("gamelist.xml", "<gameList><game><path>./roms/chuckie.ssd</path><name>Chuckie "
                              "Egg</name><favorite>true</favorite></game><game><path>./Files/acorn/elite.ssd</path></game>"
                              "</gameList>");
    w.chooseGamelist = [&] { return QString::fromStdString((dir / "gamelist.xml").string()); };
    w.mnuImportGamelist->trigger();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text.rfind("1 title was added to the catalogue", 0), 0u);
    EXPECT_NE(prompt.shown[0].text.find("already in the catalogue: 1"), std::string::npos);
    ASSERT_NE(rowOf("Chuckie Egg"), -1) << "the catalogue is read again";
    EXPECT_TRUE(w.f.MSFlexGrid.index(rowOf("Chuckie Egg"), 1).data(Qt::DecorationRole).isValid());
}

TEST_F(ComfortsTest, ExportGamelistFromTheCommandLine)
{
    dir.write("Files/acorn/elite.ssd", "disc");
    const std::string out = (dir / "out").string();
    const struct {
        std::vector<std::string> words;
        int code;
        const char* told;
    } cases[] = {
        {{"es-de", out}, 0, "1 title was written to"},
        {{"pegasus", out}, 0, "metadata.pegasus.txt"},
        {{"pegasus"}, 2, "usage: tavrin --export-gamelist es-de|pegasus FOLDER"},
        {{"kodi", out}, 2, "usage:"},
        {{"es-de", "/proc/no/such"}, 1, "could not be exported"},
    };
    for (const auto& c : cases) {
        std::ostringstream err;
        EXPECT_EQ(RunExportGamelistCommand(c.words, dir.path().string(), err), c.code) << c.told;
        EXPECT_NE(err.str().find(c.told), std::string::npos) << err.str();
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "gamelist.xml"));
}

TEST_F(ComfortsTest, TypingInTheGridJumpsToTheFirstTitleThenPublisher)
{
    Form1& w = shownForm();
    QTableView* view = w.MSFlexGridView;
    view->setFocus();
    QTest::keyClicks(view, "rep");
    EXPECT_EQ(w.f.MSFlexGrid.Row(), rowOf("Repton"));
    EXPECT_EQ(view->currentIndex().row(), rowOf("Repton"));
    EXPECT_EQ(w.f.sFullFilename, "Files\\sup\\repton.ssd");
    EXPECT_EQ(w.txtText1->toPlainText(), "Dig");
    // After a pause a new text starts: "zeta" is a publisher only.
    EXPECT_TRUE(w.typeAhead("zeta", QDateTime::currentMSecsSinceEpoch() + 5000));
    EXPECT_EQ(w.f.sFullFilename, "Files\\zeta\\alpha.ssd");
    // While searching, only the shown rows are found.
    w.openSearch();
    w.txtSearch->setText("acorn");
    view->setFocus();
    EXPECT_FALSE(w.typeAhead("rep", QDateTime::currentMSecsSinceEpoch() + 10000));
    EXPECT_TRUE(w.typeAhead("w", QDateTime::currentMSecsSinceEpoch() + 15000));
    EXPECT_EQ(w.f.sFullFilename, "Files\\acorn\\welcome.ssd");
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(w.txtSearch->isHidden());
    EXPECT_EQ(w.f.sFullFilename, "Files\\acorn\\welcome.ssd");
}

TEST_F(ComfortsTest, ThePropertiesDialogBrowsesAndMarksProgramsThatCannotRun)
{
    const fs::path emu = dir.write("emus/b-em", "#!/bin/sh\n");
    makeExecutable(emu);
    // A program whose name is not UTF-8 (Latin-1 "e acute") is found by its bytes.
    makeExecutable(dir.write("emus/caf\xe9", "#!/bin/sh\n"));
    dir.write("bbc.ini", "[BBC EMU]\nForm1.sBeebEmu=BeebEm\n[BeebEm]\nForm1.sBeebEmExec=emus/none -x\n"
                         "Form1.sBeebEmDest=dest/game.ssd\n[B-Em]\nForm1.sB_EmExec=" + emu.string() +
                         "\n[PcBBC]\nForm1.sPcBBCExec=emus/caf\xe9 -x\n");
    fs::create_directories(dir / "dest");
    loadForm();
    form->mnuProperties->trigger();
    FrmFormIni& d = *form->frmFormIni;
    auto mark = [&](const char* name) { return d.findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(mark("lblBeebEmExecCheck"), "does not exist");
    EXPECT_EQ(mark("lblB_EmExecCheck"), "");
    EXPECT_EQ(mark("lblPcBBCExecCheck"), "");
    EXPECT_EQ(mark("lblElectrEmExecCheck"), "") << "an empty box is no fault";
    d.txtElectrEmExec->setText("'emus/b-em");
    EXPECT_EQ(mark("lblElectrEmExecCheck"), "has an unclosed quote");
    d.txtElectrEmExec->setText("emus");
    EXPECT_EQ(mark("lblElectrEmExecCheck"), "cannot be run");

    std::vector<FrmFormIni::FileRequest> asked;
    d.chooseFile = [&](const FrmFormIni::FileRequest& r) {
        asked.push_back(r);
        return r.save ? QString::fromStdString((dir / "dest/Disk0.ssd").string())
                      : QString::fromStdString(emu.string());
    };
    QTest::mouseClick(d.findChild<QToolButton*>("cmdBrowseBeebEmExec"), Qt::LeftButton);
    EXPECT_EQ(d.txtBeebEmExec->text().toStdString(), emu.string());
    EXPECT_EQ(mark("lblBeebEmExecCheck"), "");
    QTest::mouseClick(d.findChild<QToolButton*>("cmdBrowseB_EmDest"), Qt::LeftButton);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(asked[0].save);
    EXPECT_EQ(asked[0].start.toStdString(), (dir / "emus").string()) << "the program's folder";
    EXPECT_TRUE(asked[1].save);
    EXPECT_EQ(asked[1].start.toStdString(), (dir / "Disk0.ssd").string())
        << "an empty destination proposes Disk0.ssd in the application folder";
    EXPECT_EQ(d.txtB_EmDest->text().toStdString(), (dir / "dest/Disk0.ssd").string());
    QTest::mouseClick(d.findChild<QToolButton*>("cmdBrowseBeebEmDest"), Qt::LeftButton);
    EXPECT_EQ(asked[2].start.toStdString(), (dir / "dest/game.ssd").string());

    // A program that cannot run is no reason to refuse the save.
    d.txtPcBBCExec->setText("nowhere/pcbbc");
    QTest::mouseClick(d.cmdUpdateEdits, Qt::LeftButton);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_NE(readFile(dir / "bbc.ini").find("Form1.sPcBBCExec=nowhere/pcbbc"), std::string::npos);
}

TEST_F(ComfortsTest, AFileRunsFromTheMenuAndByDropWithoutJoiningTheCatalogue)
{
    const fs::path record = dir / "ran";
    const fs::path emu = writeStandIn(dir / "emus/b-em", dir / "dest", record);
    dir.write("bbc.ini", "[BBC EMU]\nForm1.sBeebEmu=B-Em\n[B-Em]\nForm1.sB_EmExec=" + emu.string() +
                             "\nForm1.sB_EmDest=" + (dir / "dest/Disk0.ssd").string() + "\n");
    fs::create_directories(dir / "dest");
    dir.write("elsewhere/My Game.SSD", "game bytes");
    Form1& w = shownForm();
    ASSERT_TRUE(w.mnuB_Em->isChecked());
    const std::string selected = w.f.sFullFilename;
    EXPECT_EQ(w.mnuRunFile->text(), "&Run a file...");
    EXPECT_EQ(w.mnuFile->actions().indexOf(w.mnuRunFile), w.mnuFile->actions().indexOf(w.mnuExit) - 1);

    w.chooseRunFile = [&] { return QString::fromStdString((dir / "elsewhere/My Game.SSD").string()); };
    w.mnuRunFile->trigger();
    ASSERT_TRUE(waitForFile(record / "done"));
    EXPECT_EQ(readFile(record / "Disk0.ssd"), "game bytes");
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(w.f.sFullFilename, selected) << "afterwards the selected row is current again";
    EXPECT_EQ(w.f.MSFlexGrid.Rows(), 5);

    // A dropped image runs the same way; other kinds are refused.
    fs::remove_all(record);
    dir.write("elsewhere/other.ssd", "other bytes");
    auto drop = [&](const fs::path& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &dropped);
        QCoreApplication::processEvents();
        return dropped.isAccepted();
    };
    EXPECT_FALSE(drop(dir / "bbc.ini"));
    EXPECT_TRUE(drop(dir / "elsewhere/other.ssd"));
    ASSERT_TRUE(waitForFile(record / "done"));
    EXPECT_EQ(readFile(record / "Disk0.ssd"), "other bytes");
    EXPECT_EQ(readCatalogue((dir / "bbc.mdb").string()).size(), 5u);
}

TEST_F(ComfortsTest, DuringAWaitNothingStartsAgainAndClosingAsksToStopWaiting)
{
    const fs::path record = dir / "ran";
    const fs::path pcbbc = writeStandIn(dir / "emus/pcbbc", dir / "dest", record, "sleep 2\n");
    dir.write("bbc.ini", "[BBC EMU]\nForm1.sBeebEmu=PcBBC\n[PcBBC]\nForm1.sPcBBCExec=" + pcbbc.string() +
                             "\nForm1.sPcBBCDest=" + (dir / "dest/Disk0.ssd").string() + "\n");
    dir.write("Files/acorn/elite.ssd", "elite");
    fs::create_directories(dir / "dest");
    Form1& w = shownForm();
    prompt.answers = {PromptAnswer::No, PromptAnswer::Yes};
    QTimer::singleShot(300, &w, [&] {
        for (QObject* o : std::initializer_list<QObject*>{w.picCmdRun, w.mnuRunFile, w.mnuB_Em,
                                                          w.mnuProperties})
            EXPECT_FALSE(o->property("enabled").toBool()) << o->objectName().toStdString();
        w.mnuB_Em_Click();
        w.close(); // No: Tavrin waits on
        EXPECT_TRUE(w.isVisible());
        w.close(); // Yes: the wait ends, then the window closes
    });
    QTest::mouseClick(w.picCmdRun, Qt::LeftButton);
    EXPECT_FALSE(fs::exists(record / "done")) << "waited to the end";
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text, "Tavrin is waiting for PcBBC to end.\n\nStop waiting and close "
                                    "Tavrin? PcBBC keeps running on its own.");
    EXPECT_TRUE(prompt.shown[1].defaultNo);
    ASSERT_TRUE(waitForFile(record / "done")) << "the emulator runs on";
    EXPECT_EQ(readFile(record / "Disk0.ssd"), "elite");
    EXPECT_TRUE(w.mnuPcBBC->isChecked()) << "the tick during the wait did nothing";
}

class LargeCatalogueTest : public ComfortsTest {
protected:
    std::vector<Record> records() const override
    {
        std::vector<Record> r;
        for (int i = 0; i < 10001; ++i)
            r.push_back(rec(concat({"P", std::to_string(10001 - i)}), "T", "G", "f.ssd", i, ""));
        return r;
    }
};

TEST_F(LargeCatalogueTest, LongWorkShowsTheBusyCursorAndWritingBackAProgressBar)
{
    // The cursor at each refill or sort of the grid.
    std::vector<bool> busy;
    auto watch = [&](Form1& w) {
        QObject::connect(&w.f.MSFlexGrid, &QAbstractItemModel::modelAboutToBeReset, [&] {
            busy.push_back(QApplication::overrideCursor() &&
                           QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        });
    };
    form = std::make_unique<Form1>(&prompt);
    form->f.sAppPath = dir.path().string();
    watch(*form);
    ASSERT_TRUE(form->load());
    ASSERT_FALSE(busy.empty());
    EXPECT_TRUE(std::all_of(busy.begin(), busy.end(), [](bool b) { return b; })) << "the load";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // A grid already in order is left as it is, so two rows change places
    // before each sort.
    auto unsort = [&] {
        auto& grid = form->f.MSFlexGrid;
        const std::string first(grid.TextMatrix(0, 0));
        grid.setTextMatrix(0, 0, grid.TextMatrix(grid.Rows() - 1, 0));
        grid.setTextMatrix(grid.Rows() - 1, 0, first);
    };
    unsort();
    busy.clear();
    QTest::mouseClick(form->picCmdSort, Qt::LeftButton);
    EXPECT_EQ(busy, std::vector<bool>{true}) << "the sort";

    std::vector<std::pair<int, int>> progress;
    bool barShown = false;
    form->sortExitProgressShown = [&](int done, int total) {
        progress.emplace_back(done, total);
        auto* bar = form->findChild<QProgressDialog*>("prgSortExit");
        barShown = bar && bar->isVisible() && bar->maximum() == 10001 &&
                   unnamedControls(QAccessible::queryAccessibleInterface(bar)).isEmpty();
    };
    unsort();
    busy.clear();
    form->mnuSortExit->trigger();
    EXPECT_EQ(busy, std::vector<bool>{true}) << "the sort before writing back";
    ASSERT_EQ(progress.size(), 11u);
    EXPECT_EQ(progress.front(), std::make_pair(1000, 10001));
    EXPECT_EQ(progress.back(), std::make_pair(10001, 10001));
    EXPECT_TRUE(barShown);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(readCatalogue((dir / "bbc.mdb").string()).front().publisher, "P1");
}

} // namespace
} // namespace tavrin::test
