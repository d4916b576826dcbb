// Favourites and play history beside the catalogue table: kept by every
// operation on the catalogue, made only by the first change, and the record
// a launched file counts for.

#include "catalogue/PlayHistory.h"

#include "CatalogueFixture.h"
#include "catalogue/CatalogueGrid.h"
#include "catalogue/FolderScan.h"
#include "catalogue/JetImport.h"
#include "catalogue/RecordEditor.h"
#include "core/Prompt.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace tavrin::test {
namespace {

const std::string kElite = "Files\\acorn\\elite.ssd";
const std::string kRepton = "Files\\sup\\repton.ssd";
const std::string kAlpha = "Files\\zeta\\alpha.ssd";
const std::string kTime = "2026-12-08T18:20:38+00:00";

using Shown = std::map<std::string, std::string>;

// Each path's history as "plays|last started|fav".
Shown historyOf(const std::string& db)
{
    Shown out;
    for (const auto& [path, e] : ReadPlayHistory(db))
        out[path] = std::to_string(e.playCount) + "|" + e.lastPlayed + (e.favourite ? "|fav" : "");
    return out;
}

class PlayHistoryTest : public ::testing::Test {
protected:
    // Two records share Repton's path; Elite is a favourite played twice.
    void SetUp() override
    {
        std::filesystem::remove(db);
        writeCatalogue(db, {rec("Acornsoft", "Elite", "Arcade", kElite, 0),
                            rec("Superior", "Repton", "Arcade", kRepton, 1),
                            rec("Superior", "Repton (tape)", "Arcade", kRepton, 2),
                            rec("Zeta Soft", "Alpha Quest", "Adventure", kAlpha, 3)});
        for (const std::string& path : {kElite, kElite, kRepton, kAlpha})
            RecordPlayStarted(db, path, kTime);
        SetFavourite(db, kElite, true);
        f.sLocalDatabase = db;
        f.sLocalTable = kCatalogueTable;
        f.sAppPath = dir.path().string();
        TransferFromAccess(f, db, kCatalogueTable);
    }

    RecordEditor& open(RecordWindowKind kind, const std::string& title)
    {
        for (int r = 0; r < f.MSFlexGrid.Rows(); ++r)
            if (f.MSFlexGrid.TextMatrix(r, colSoftware) == title)
                f.MSFlexGrid.setRow(r);
        editor.emplace(kind, f, prompt);
        EXPECT_TRUE(editor->load());
        return *editor;
    }
    void editPath(const std::string& title, const std::string& path)
    {
        RecordBoxes boxes = open(RecordWindowKind::Edit, title).ShowRecord();
        boxes[boxFilepath] = path;
        EXPECT_TRUE(editor->ValidateRecord(boxes));
    }

    TempDir dir;
    CurrentDir current{dir.path()};
    const std::string db = (dir / "bbc.mdb").string();
    Form1State f;
    ScriptedPrompt prompt;
    std::optional<RecordEditor> editor;
};

TEST_F(PlayHistoryTest, EveryCatalogueOperationKeepsIt)
{
    const Shown before = historyOf(db);
    ASSERT_EQ(before.at(kElite), "2|" + kTime + "|fav");
    Shown moved = before, deleted = before;
    moved["Files\\zeta\\beta.ssd"] = moved[kAlpha];
    moved.erase(kAlpha);
    deleted.erase(kElite);
    const struct {
        const char* operation;
        std::function<void()> run;
        Shown expected;
    } cases[] = {
        {"sort database and exit", [&] { SortAndTransferToAccess(f); }, before},
        {"new database", [&] { CreateDatabase(f); }, before},
        {"conversions at start",
         [&] {
             sqlOn(db, "CREATE TABLE Notes (Body MEMO)");
             std::string message;
             EXPECT_EQ(ConvertJetFileInPlace(db, message), JetConversion::NotJet);
             EXPECT_TRUE(dao::ConvertOldMemoFields(db));
         },
         before},
        {"folder scan",
         [&] {
             dir.write("Files/acorn/elite.ssd");
             dir.write("Files/new/zoom.ssd");
             EXPECT_EQ(AddFolderOfSoftware(db, (dir / "Files").string(), f.sAppPath).added, 1);
         },
         before},
        {"edited path", [&] { editPath("Alpha Quest", "Files\\zeta\\beta.ssd"); }, moved},
        {"edited path another record keeps", [&] { editPath("Repton", "Files\\r2.ssd"); }, before},
        {"deleted record", [&] { EXPECT_TRUE(open(RecordWindowKind::Edit, "Elite").DeleteRecord()); },
         deleted},
        {"deleted record of a shared path",
         [&] { EXPECT_TRUE(open(RecordWindowKind::Edit, "Repton (tape)").DeleteRecord()); }, before},
        {"new record saved and one cancelled",
         [&] {
             EXPECT_TRUE(open(RecordWindowKind::New, "Elite").ValidateRecord(
                 {"Acornsoft", "Elite (tape)", "", kElite, "", "", ""}));
             EXPECT_TRUE(open(RecordWindowKind::New, "Elite").DeleteRecord());
         },
         before},
    };
    for (const auto& c : cases) {
        SetUp();
        c.run();
        editor.reset();
        EXPECT_EQ(historyOf(db), c.expected) << c.operation;
        EXPECT_TRUE(prompt.shown.empty()) << c.operation << ": " << prompt.shown.front().text;
    }
}

TEST_F(PlayHistoryTest, ACatalogueWithoutTheTableIsReadAsItIsAndGetsItOnTheFirstChange)
{
    std::filesystem::remove(db);
    writeCatalogue(db, {rec("Acornsoft", "Elite", "Arcade", kElite, 0)});
    const auto schema = [&] {
        return dao::DBEngine::Workspaces(0).OpenDatabase(db).tableNames();
    };
    const std::vector<std::string> old = schema();
    TransferFromAccess(f, db, kCatalogueTable);
    EXPECT_TRUE(ReadPlayHistory(db).empty());
    EXPECT_EQ(schema(), old) << "reading makes nothing";
    const std::vector<Record> records = readCatalogue(db);

    EXPECT_EQ(RecordPlayStarted(db, kElite, kTime).playCount, 1);
    EXPECT_EQ(schema().size(), old.size() + 1);
    EXPECT_EQ(readCatalogue(db).size(), records.size());
    EXPECT_EQ(readCatalogue(db)[0].filepath, records[0].filepath);
    // A favourite taken back from a title never played leaves nothing.
    SetFavourite(db, kAlpha, true);
    SetFavourite(db, kAlpha, false);
    EXPECT_EQ(historyOf(db), (Shown{{kElite, "1|" + kTime}}));
}

TEST_F(PlayHistoryTest, ALaunchedFileCountsForTheRecordThatNamesIt)
{
    const std::string app = dir.path().string();
    const struct {
        std::string file;
        std::optional<std::string> record;
    } cases[] = {
        {kElite, kElite},
        {"files/ACORN/Elite.SSD", kElite},
        {app + "/Files/acorn/elite.ssd", kElite}, // "Run a file..." gives the full path
        {app + "/Files/sup/../zeta/alpha.ssd", kAlpha},
        {app + "/Temp/elite.ssd", std::nullopt},
        {"/elsewhere/elite.ssd", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StoredPathOf(db, c.file, app), c.record) << c.file;
}

} // namespace
} // namespace tavrin::test
