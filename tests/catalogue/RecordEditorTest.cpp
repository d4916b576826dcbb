// The record editor on real catalogue files: the field rules of both windows
// as one table, the blank record of the New window and its removal, the
// renumbering after a delete, the file choice and the refusals.

#include "catalogue/RecordEditor.h"

#include "CatalogueFixture.h"
#include "catalogue/CatalogueGrid.h"
#include "core/Prompt.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <tuple>

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::test;

namespace
{

using Opt = std::optional<std::string>;

auto fieldsOf(const Record& r)
{
    return std::tie(r.publisher, r.software, r.genre, r.filepath, r.data1, r.data2, r.description,
                    r.index);
}

std::vector<int64_t> indexes(const std::vector<Record>& records)
{
    std::vector<int64_t> out;
    for (const Record& r : records)
        out.push_back(r.index.value_or(-1));
    return out;
}

// Three records in table order; Index 1 is "Welcome".
std::vector<Record> threeRecords()
{
    return {
        rec("Zeta Soft", "Alpha Quest", "Adventure", "Files\\zeta\\alpha.ssd", 0, "An adventure"),
        Record{"Acorn", "Welcome", "Utility", "Files\\acorn\\welcome.ssd", "7", "8", "Welcome disc",
               1},
        rec("Acorn", "Elite", "Arcade", "Files\\acorn\\elite.ssd", 2, ""),
    };
}

void execSql(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class RecordEditorTest : public ::testing::Test
{
  protected:
    void SetUp() override { open(threeRecords()); }

    void open(const std::vector<Record>& records)
    {
        writeCatalogue(path, records);
        f.sLocalDatabase = path;
        f.sLocalTable = kCatalogueTable;
        f.sAppPath = tmp.path().string();
        TransferFromAccess(f, path, kCatalogueTable);
    }

    // Selects the grid row that shows Index `index`.
    void selectIndex(const std::string& index)
    {
        for (int r = 0; r < f.MSFlexGrid.Rows(); ++r)
            if (f.MSFlexGrid.TextMatrix(r, colIndex) == index)
                f.MSFlexGrid.setRow(r);
    }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& s : prompt.shown)
            out.push_back(s.text);
        return out;
    }

    TempDir tmp;
    std::string path = (tmp / "bbc.mdb").string();
    Form1State f;
    ScriptedPrompt prompt;
};

} // namespace

// Each window's rules for every field, through load and Update on a file;
// after a save the grid is loaded again, sorted as each window sorts it, and
// its current cell put back.
TEST_F(RecordEditorTest, FieldRulesOfBothWindows)
{
    using K = RecordWindowKind;
    const Record welcome = threeRecords()[1];
    const Record blank{{}, {}, {}, {}, {}, {}, {}, 3};
    struct Row {
        K kind;
        RecordBoxes boxes; // Publisher, Software, Genre, Filepath, Data1, Data2, Description1
        std::string message;
        Record expected; // the New window's record (Index 3) or record Index 1
    };
    const std::vector<Row> rows = {
        {K::New,
         {"Acme", "Game", "", "Files\\g.ssd", "", "", ""},
         "",
         Record{"Acme", "Game", " ", "Files\\g.ssd", "0", "0", std::nullopt, 3}},
        {K::New,
         {"Acme", "Game", "Arcade", "g.ssd", "5", "6", "Fun"},
         "",
         Record{"Acme", "Game", "Arcade", "g.ssd", "0", "0", "Fun", 3}},
        {K::New,
         {"Acme", " ", "", "g.ssd", "", "", ""},
         "",
         Record{"Acme", " ", " ", "g.ssd", "0", "0", std::nullopt, 3}},
        {K::New, {"Acme", "", "", "g.ssd", "", "", ""}, kMandatoryFields, blank},
        {K::Edit,
         {"Acorn2", "Welcome2", "", "w.ssd", "", "", ""},
         "",
         Record{"Acorn2", "Welcome2", "Utility", "w.ssd", "7", "8", "Welcome disc", 1}},
        {K::Edit,
         {"A", "W", "Puzzle", "w.ssd", "1", "2", "New text"},
         "",
         Record{"A", "W", "Puzzle", "w.ssd", "1", "2", "New text", 1}},
        {K::Edit, {"A", "W", "", "", "", "", ""}, kMandatoryFields, welcome},
        {K::Edit,
         {std::string(31, 'p'), "W", "", "w.ssd", "", "", ""},
         "The Publisher field holds at most 30 characters",
         welcome},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.boxes[boxSoftware] + " " + row.boxes[boxPublisher]);
        open(threeRecords());
        f.iSort = 1;
        Sort(f);
        f.MSFlexGrid.setCol(1);
        selectIndex("1");
        prompt.shown.clear();
        RecordEditor editor(row.kind, f, prompt);
        ASSERT_TRUE(editor.load());
        EXPECT_EQ(editor.ShowRecord()[boxPublisher], row.kind == K::Edit ? "Acorn" : "");
        EXPECT_EQ(editor.ValidateRecord(row.boxes), row.message.empty());
        const std::vector<Record> stored = readCatalogue(path);
        ASSERT_EQ(stored.size(), row.kind == K::New ? 4u : 3u);
        EXPECT_EQ(fieldsOf(stored[row.kind == K::New ? 3 : 1]), fieldsOf(row.expected));
        if (row.message.empty()) {
            EXPECT_TRUE(prompt.shown.empty());
            EXPECT_EQ(f.MSFlexGrid.Rows(), static_cast<int>(stored.size()));
            EXPECT_EQ(f.iSort, row.kind == K::New ? 0 : 1);
            EXPECT_EQ(f.MSFlexGrid.Col(), 1);
            EXPECT_EQ(f.MSFlexGrid.Row(), 2);
        } else {
            ASSERT_EQ(prompt.shown.size(), 1u);
            EXPECT_NE(prompt.shown[0].text.find(row.message), std::string::npos)
                << prompt.shown[0].text;
        }
    }
}

// The New window's record exists from the opening on; Cancel removes it and
// numbers every other record from 0 in table order, whatever their Index
// held and whatever iProgRange said; the selection moves one row up.
TEST_F(RecordEditorTest, NewRecordOnOpeningAndCancelRenumbers)
{
    std::vector<Record> drifted = threeRecords();
    drifted[0].index = 5;
    drifted[1].index = 9;
    drifted[2].index = 2;
    for (const auto& [selected, expectedRow] : std::vector<std::pair<int, int>>{{2, 1}, {0, 0}}) {
        open(drifted);
        f.iProgRange = 7; // out of step with the table
        f.iSort = 1;
        Sort(f);
        f.MSFlexGrid.setRow(selected);
        RecordEditor editor(RecordWindowKind::New, f, prompt);
        ASSERT_TRUE(editor.load());
        EXPECT_EQ(editor.iNewRecord(), 1);
        EXPECT_EQ(f.iProgRange, 8);
        EXPECT_EQ(f.MSFlexGrid.Rows(), 3); // not reloaded yet
        std::vector<Record> stored = readCatalogue(path);
        ASSERT_EQ(stored.size(), 4u);
        EXPECT_EQ(fieldsOf(stored[3]), fieldsOf(Record{{}, {}, {}, {}, {}, {}, {}, 7}));
        EXPECT_EQ(editor.ShowRecord(), RecordBoxes{});

        ASSERT_TRUE(editor.DeleteRecord());
        stored = readCatalogue(path);
        EXPECT_EQ(indexes(stored), (std::vector<int64_t>{0, 1, 2}));
        EXPECT_EQ(*stored[1].software, "Welcome");
        EXPECT_EQ(f.iProgRange, 3);
        EXPECT_EQ(f.iSort, 1);
        EXPECT_EQ(f.MSFlexGrid.Row(), expectedRow);
    }
}

// A New window that goes without Update or Cancel (the program ends) takes
// its blank record with it.
TEST_F(RecordEditorTest, UnsavedNewRecordGoesWithTheEditor)
{
    {
        RecordEditor editor(RecordWindowKind::New, f, prompt);
        ASSERT_TRUE(editor.load());
        EXPECT_EQ(readCatalogue(path).size(), 4u);
    }
    EXPECT_EQ(indexes(readCatalogue(path)), (std::vector<int64_t>{0, 1, 2}));
}

// Cancel closes the New window when its blank record went another way.
TEST_F(RecordEditorTest, CancelClosesWhenTheBlankRecordIsGone)
{
    RecordEditor editor(RecordWindowKind::New, f, prompt);
    ASSERT_TRUE(editor.load());
    execSql(path, "DELETE FROM BBCSoftware WHERE \"Index\" = 3");
    EXPECT_TRUE(editor.DeleteRecord());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(f.MSFlexGrid.Rows(), 3);
}

// No record to stand on: the New window still appends; the Edit window says
// so and changes nothing.
TEST_F(RecordEditorTest, RecordNotFound)
{
    struct Row {
        const char* what;
        std::vector<Record> records;
        std::string gridIndex; // "" leaves the grid as loaded
        std::string editMessage;
    };
    Record noIndex = threeRecords()[1];
    noIndex.index.reset();
    const std::vector<Row> rows = {
        {"empty table", {}, "", kNoDataInTable},
        {"Index not in the table", threeRecords(), "12", kRecordNotFound},
        {"Index no number", threeRecords(), "1x", kRecordNotFound},
        {"record without Index", {noIndex}, "1", kRecordNotFound},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        open(row.records);
        if (!row.gridIndex.empty())
            f.MSFlexGrid.setTextMatrix(f.MSFlexGrid.Row(), colIndex, row.gridIndex);
        prompt.shown.clear();
        {
            RecordEditor edit(RecordWindowKind::Edit, f, prompt);
            EXPECT_FALSE(edit.load());
        }
        EXPECT_EQ(texts(), std::vector<std::string>{row.editMessage});
        EXPECT_EQ(readCatalogue(path).size(), row.records.size());

        prompt.shown.clear();
        RecordEditor added(RecordWindowKind::New, f, prompt);
        ASSERT_TRUE(added.load());
        ASSERT_TRUE(added.ValidateRecord({"Acme", "Game", "", "g.ssd", "", "", ""}));
        const std::vector<Record> stored = readCatalogue(path);
        ASSERT_EQ(stored.size(), row.records.size() + 1);
        EXPECT_EQ(*stored.back().software, "Game");
        EXPECT_EQ(texts(), row.records.empty() ? std::vector<std::string>{kNoDataInTable}
                                               : std::vector<std::string>{});
    }
}

// A database that refuses the change, or a file that went: a message, the
// window stays, and the file holds what it held.
TEST_F(RecordEditorTest, RefusedChangesLeaveTheFileAsItWas)
{
    selectIndex("1");
    RecordEditor editor(RecordWindowKind::Edit, f, prompt);
    ASSERT_TRUE(editor.load());
    execSql(path, "CREATE TRIGGER refuse BEFORE UPDATE ON BBCSoftware "
                  "BEGIN SELECT RAISE(ABORT, 'the disk is write-protected'); END");

    EXPECT_FALSE(editor.ValidateRecord({"A", "W", "", "w.ssd", "", "", ""}));
    EXPECT_FALSE(editor.DeleteRecord()); // the delete goes through, the renumbering not
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_NE(prompt.shown[0].text.find("could not be saved"), std::string::npos);
    EXPECT_NE(prompt.shown[0].text.find("write-protected"), std::string::npos);
    EXPECT_NE(prompt.shown[1].text.find("could not be removed"), std::string::npos);
    std::vector<Record> stored = readCatalogue(path);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(fieldsOf(stored[1]), fieldsOf(threeRecords()[1]));

    execSql(path, "DROP TRIGGER refuse; DELETE FROM BBCSoftware WHERE Software = 'Welcome'");
    EXPECT_FALSE(editor.ValidateRecord({"A", "W", "", "w.ssd", "", "", ""}));
    EXPECT_NE(prompt.shown.back().text.find("has been removed from the catalogue"),
              std::string::npos);

    fs::rename(path, path + ".moved");
    EXPECT_FALSE(editor.ValidateRecord({"A", "W", "", "w.ssd", "", "", ""}));
    EXPECT_NE(prompt.shown.back().text.find("removed or replaced"), std::string::npos);
    EXPECT_EQ(indexes(readCatalogue(path + ".moved")), (std::vector<int64_t>{0, 2}));
}

TEST_F(RecordEditorTest, FileChoice)
{
    const std::string app = tmp.path().string();
    struct Row {
        RecordWindowKind kind;
        std::string folder, name;
        std::optional<FileChoice> expected;
    };
    const std::vector<Row> rows = {
        {RecordWindowKind::New, app + "/Disks/Acme", "GAME.SSD",
         FileChoice{"Disks\\Acme\\GAME.SSD", "Acme"}},
        {RecordWindowKind::Edit, app + "/Disks/Acme", "game.uef",
         FileChoice{"Disks\\Acme\\game.uef", {}}},
        {RecordWindowKind::New, app + "/Disks/Acme", "readme.txt", std::nullopt},
        {RecordWindowKind::New, app + "/Disks/Acme", "ssd", std::nullopt},
        {RecordWindowKind::New, app + "x/Acme", "a.zip", FileChoice{app + "x/Acme/a.zip", "Acme"}},
        {RecordWindowKind::New, "/", "a.img", FileChoice{"/a.img", ""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder + " " + row.name);
        RecordEditor editor(row.kind, f, prompt);
        ASSERT_TRUE(editor.load());
        const std::optional<FileChoice> got = editor.fileChosen(row.folder, row.name);
        ASSERT_EQ(got.has_value(), row.expected.has_value());
        if (got) {
            EXPECT_EQ(got->filepath, row.expected->filepath);
            EXPECT_EQ(got->publisher, row.expected->publisher);
        }
    }
    EXPECT_TRUE(prompt.shown.empty());

    // A path that does not fit the field is said, not cut.
    RecordEditor editor(RecordWindowKind::Edit, f, prompt);
    ASSERT_TRUE(editor.load());
    EXPECT_FALSE(editor.fileChosen(app + "/" + std::string(60, 'd'), "a.ssd"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(prompt.shown[0].text.find("The Filepath field holds at most 50 characters"),
              std::string::npos);
}

TEST(GetSingleDirName, LastFolderOfAPath)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"C:\\Front\\Disks\\Acme", "Acme"},
        {"/app/Disks/Acme", "Acme"},
        {"C:\\", ""},
        {"/", ""},
        {"Acme", "Acme"},
        {"", ""},
    };
    for (const auto& [path, name] : rows)
        EXPECT_EQ(GetSingleDirName(path), name) << path;
}
