#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueGrid.h"

#include "CatalogueFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

using namespace tavrin;
using namespace tavrin::test;

namespace {

std::vector<std::string> rowCells(const Form1State& f, int row)
{
    std::vector<std::string> out;
    for (int c = 0; c < 8; ++c)
        out.emplace_back(f.MSFlexGrid.TextMatrix(row, c));
    return out;
}

std::vector<std::string> columnText(const Form1State& f, int col)
{
    std::vector<std::string> out;
    for (int r = 0; r < f.MSFlexGrid.Rows(); ++r)
        out.emplace_back(f.MSFlexGrid.TextMatrix(r, col));
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(TransferFromAccess, WritesEveryCellWithStandInsForEmptyFields)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    Record nulls;  // every field Null but Index
    nulls.index = 0;
    Record empties{"", "", "", "", "", "", "", 1};
    writeCatalogue(path, {nulls, empties, rec("Zeta", "Game", "Arcade", "Files\\z.ssd", 2, "Fun")});

    Form1State f;
    TransferFromAccess(f, path, "BBCSoftware");
    EXPECT_EQ(f.iProgRange, 3);
    EXPECT_EQ(f.sDatabaseFile, path);
    ASSERT_EQ(f.MSFlexGrid.Rows(), 3);
    // Sorted by publisher: the two blank publishers " " come first, by title "" then index order.
    EXPECT_EQ(rowCells(f, 0), (Strings{" ", "", " ", "", "0", "0", " ", "0"}));
    EXPECT_EQ(rowCells(f, 1), (Strings{" ", "", " ", "", "0", "0", " ", "1"}));
    EXPECT_EQ(rowCells(f, 2), (Strings{"Zeta", "Game", "Arcade", "Files\\z.ssd", "0", "0", "Fun", "2"}));
    EXPECT_EQ(f.MSFlexGrid.Row(), 0);
    EXPECT_EQ(f.MSFlexGrid.Col(), 0);
    EXPECT_EQ(f.MSFlexGrid.Width, 4620);
    EXPECT_EQ(f.MSFlexGrid.ColWidth(1), 3000);
}

TEST(TransferFromAccess, LeavesNoStaleTextFromAnEarlierLoad)
{
    TempDir tmp;
    const std::string full = (tmp / "full.mdb").string();
    const std::string blank = (tmp / "blank.mdb").string();
    writeCatalogue(full, {rec("A", "Elite", "Space", "Files\\elite.ssd", 0)});
    Record r;
    r.publisher = "B";
    r.index = 0;
    writeCatalogue(blank, {r});
    Form1State f;
    TransferFromAccess(f, full, "BBCSoftware");
    TransferFromAccess(f, blank, "BBCSoftware");
    EXPECT_EQ(f.MSFlexGrid.TextMatrix(0, colSoftware), "");
    EXPECT_EQ(f.MSFlexGrid.TextMatrix(0, colFilepath), "");
}

TEST(TransferFromAccess, AnEmptyTableGivesNoRowsAndNoFailure)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    writeCatalogue(path, {});
    Form1State f;
    TransferFromAccess(f, path, "BBCSoftware");
    EXPECT_EQ(f.iProgRange, 0);
    EXPECT_EQ(f.MSFlexGrid.Rows(), 0);
    EXPECT_EQ(f.MSFlexGrid.TextMatrix(f.MSFlexGrid.Row(), colFilepath), "");
    f.sDatabaseFile = path;
    SortAndTransferToAccess(f);
    EXPECT_TRUE(readCatalogue(path).empty());
}

TEST(TransferFromAccess, TextThatLooksLikeANumberStaysText)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    writeCatalogue(path, {rec("007", "1.50", "1e3", "a.ssd", 0, "007"),
                          rec("B", "b", "g", "b.ssd", 1, "1.50"), rec("C", "c", "g", "c.ssd", 2, "1e3")});
    const std::vector<Record> stored = readCatalogue(path);
    EXPECT_EQ(stored[0].publisher, "007");
    EXPECT_EQ(stored[0].software, "1.50");
    EXPECT_EQ(stored[0].genre, "1e3");
    EXPECT_EQ(stored[0].description, "007");
    EXPECT_EQ(stored[1].description, "1.50");
    EXPECT_EQ(stored[2].description, "1e3");
}

TEST(TransferFromAccess, AnOldFormCatalogueIsConvertedOnceAndNothingElseChanges)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    sqlOn(path, "CREATE TABLE \"BBCSoftware\" (\"Publisher\" TEXT(30), \"Software\" TEXT(40), "
                "\"Genre\" TEXT(30), \"Filepath\" TEXT(50), \"Data1\" TEXT(50), \"Data2\" "
                "TEXT(50), \"Description1\" MEMO, \"Index\" NUMERIC);"
                "CREATE TABLE Other (x);"
                "INSERT INTO Other VALUES ('kept');"
                "INSERT INTO BBCSoftware VALUES ('B', 'b', 'g', 'b.ssd', '0', '0', '1.50', 0);"
                "INSERT INTO BBCSoftware VALUES ('A', 'a', NULL, 'a.ssd', '0', '0', 'Fun', 1);");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
    Form1State f;
    TransferFromAccess(f, path, "BBCSoftware");
    EXPECT_EQ(rowCells(f, 1), (Strings{"B", "b", "g", "b.ssd", "0", "0", "1.5", "0"}));
    EXPECT_FALSE(dao::ConvertOldMemoFields(path)); // once only
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::vector<Record> stored = readCatalogue(path);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].description, "1.5");
    EXPECT_FALSE(stored[1].genre.has_value());
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(path);
    EXPECT_EQ(db.tableNames(), (Strings{"BBCSoftware", "Other"}));
    EXPECT_EQ(db.OpenRecordset("Other").Fields("x").text(), "kept");
    db.Close();
    // From now on a description that looks like a number stays as typed.
    f.MSFlexGrid.setTextMatrix(0, colDescription1, "007");
    SortAndTransferToAccess(f);
    EXPECT_EQ(readCatalogue(path)[0].description, "007");
}

TEST(SortAndTransferToAccess, ATableMadeByTheSqliteShellLoadsSortsAndWritesBack)
{
    TempDir tmp;
    const std::string path = (tmp / "shell.mdb").string();
    const std::string longText(300, 'd');
    sqlOn(path, "CREATE TABLE BBCSoftware (Publisher NVARCHAR(30), Software VARCHAR(40), Genre TEXT, "
                "Filepath VARCHAR(50), Data1 TEXT, Data2 TEXT, Description1 TEXT, \"Index\" INTEGER);"
                "INSERT INTO BBCSoftware VALUES ('Zeta', 'z', 'g', 'z.ssd', '0', '0', '007', 0);"
                "INSERT INTO BBCSoftware VALUES ('Acme', 'a', 'g', 'a.ssd', '0', '0', '" + longText + "', 1);");
    Form1State f;
    TransferFromAccess(f, path, "BBCSoftware");
    EXPECT_EQ(f.MSFlexGrid.TextMatrix(0, colDescription1), longText);
    SortAndTransferToAccess(f);
    const std::vector<Record> stored = readCatalogue(path);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].publisher, "Acme");
    EXPECT_EQ(stored[0].description, longText);
    EXPECT_EQ(stored[1].description, "007");
    EXPECT_EQ(stored[1].index, 1);
}

TEST(TransferFromAccess, AFailedLoadLeavesTheGridAndRefusesTheWriteBack)
{
    TempDir tmp;
    const std::string good = (tmp / "bbc.mdb").string();
    const std::string bad = (tmp / "bad.mdb").string();
    writeCatalogue(good, {rec("B", "b", "g", "b.ssd", 0), rec("A", "a", "g", "a.ssd", 1)});
    sqlOn(bad, "CREATE TABLE BBCSoftware (Publisher TEXT, Software TEXT, \"Index\" INTEGER);"
               "INSERT INTO BBCSoftware VALUES ('X', 'x', 0), ('Y', 'y', 1), ('Z', 'z', 2);");
    Form1State f;
    TransferFromAccess(f, good, "BBCSoftware");
    EXPECT_THROW(TransferFromAccess(f, bad, "BBCSoftware"), dao::DaoError);
    EXPECT_EQ(f.MSFlexGrid.Rows(), 2);
    EXPECT_EQ(columnText(f, colPublisher), (Strings{"A", "B"}));
    const std::string before = readFile(good);
    try {
        SortAndTransferToAccess(f);
        FAIL() << "a grid of a failed load was written back";
    } catch (const dao::DaoError& e) {
        EXPECT_NE(std::string(e.what()).find("last load failed"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(good), before);
}

TEST(Sort, ThreeModesOnMixedNumericAndTextKeys)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    writeCatalogue(path, {rec("acme", "Zap", "Puzzle", "a.ssd", 0),
                          rec("10", "beta", "Arcade", "b.ssd", 1),
                          rec("9", "Alpha", "2", "c.ssd", 2),
                          rec("Acme", "alpha", "Arcade", "d.ssd", 3),
                          rec("acme", "Zap", "Adventure", "e.ssd", 4)});
    Form1State f;
    TransferFromAccess(f, path, "BBCSoftware");
    EXPECT_EQ(columnText(f, colIndex), (Strings{"2", "1", "3", "4", "0"}));
    struct Row {
        int mode;
        Strings order;
        int col;
    };
    const Row rows[] = {
        {1, {"2", "3", "1", "4", "0"}, 1},
        {2, {"2", "4", "3", "1", "0"}, 2}, // "2" is a number and comes first; ties keep order
        {0, {"2", "1", "3", "4", "0"}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        f.iSort = r.mode;
        Sort(f);
        EXPECT_EQ(columnText(f, colIndex), r.order);
        EXPECT_EQ(f.MSFlexGrid.Row(), 0);
        EXPECT_EQ(f.MSFlexGrid.Col(), r.col);
    }
    // Modes 3 to 7 change nothing.
    f.MSFlexGrid.setRow(3);
    f.iSort = 4;
    Sort(f);
    EXPECT_EQ(columnText(f, colIndex), (Strings{"2", "1", "3", "4", "0"}));
    EXPECT_EQ(f.MSFlexGrid.Row(), 3);
}

TEST(SortAndTransferToAccess, RewritesRecordsInSortedOrderWithDenseIndex)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    Record noTitle = rec("Mid", "", "Puzzle", "m.ssd", 2);
    noTitle.software.reset();
    // NUL, control and Latin-1 bytes in every field the write-back stores.
    using namespace std::string_literals;
    const Record odd = rec("Zz\0l\xE9"s, "T\x01\0"s, "G\0\xFF"s, "Disks\\\xE9\0.ssd"s, 3,
                           "Line\0one\r\n\xE9t\xE9\0"s);
    writeCatalogue(path, {rec("Zed", "Zulu", "Arcade", "z.ssd", 0, "last"),
                          rec("Acme", "Alpha", "Puzzle", "a.ssd", 1, "first"),
                          noTitle, odd});
    // Data1 edited by someone else is reset to "0" by the write-back.
    {
        dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(path);
        dao::Recordset rs = db.OpenRecordset("BBCSoftware");
        rs.Edit();
        rs.setField("Data1", dao::Value("edited"));
        rs.Update();
    }
    Form1State f;
    TransferFromAccess(f, path, "BBCSoftware");
    f.iSort = 1; // the write-back always sorts in mode 0
    Sort(f);
    SortAndTransferToAccess(f);

    const std::vector<Record> stored = readCatalogue(path);
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(std::tie(stored[3].publisher, stored[3].software, stored[3].genre,
                       stored[3].filepath, stored[3].description),
              std::tie(odd.publisher, odd.software, odd.genre, odd.filepath, odd.description));
    EXPECT_EQ(stored[0].publisher, "Acme");
    EXPECT_EQ(stored[0].description, "first");
    EXPECT_EQ(stored[1].publisher, "Mid");
    // The record that had no title must not inherit the title stored at its new place.
    EXPECT_FALSE(stored[1].software.has_value());
    EXPECT_EQ(stored[1].filepath, "m.ssd");
    EXPECT_EQ(stored[2].software, "Zulu");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stored[i].index, i);
        EXPECT_EQ(stored[i].data1, "0");
        EXPECT_EQ(stored[i].data2, "0");
    }
}

TEST(SortAndTransferToAccess, RefusesWhenTheTableNoLongerMatchesTheGrid)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    writeCatalogue(path, {rec("B", "b", "g", "b.ssd", 0), rec("A", "a", "g", "a.ssd", 1)});
    Form1State f;
    TransferFromAccess(f, path, "BBCSoftware");
    writeCatalogue(path, {rec("B", "b", "g", "b.ssd", 0), rec("A", "a", "g", "a.ssd", 1),
                          rec("C", "c", "g", "c.ssd", 2)});
    const std::string before = readFile(path);
    EXPECT_THROW(SortAndTransferToAccess(f), dao::DaoError);
    EXPECT_EQ(readFile(path), before);
}

TEST(CreateDatabase, MakesAOneRecordCatalogueWhetherOrNotTheFileExists)
{
    TempDir tmp;
    CurrentDir here(tmp.path());
    Form1State f;
    f.sDatabaseFile = "bbc.mdb";
    CreateDatabase(f);
    writeCatalogue("other.mdb", {rec("A", "a", "g", "a.ssd", 0), rec("B", "b", "g", "b.ssd", 1)});
    std::filesystem::rename("other.mdb", "bbc.mdb");
    CreateDatabase(f);
    EXPECT_FALSE(std::filesystem::exists("bbc.mdb.new"));

    TransferFromAccess(f, "bbc.mdb", "BBCSoftware");
    ASSERT_EQ(f.iProgRange, 1);
    EXPECT_EQ(rowCells(f, 0), (Strings{" ", "", " ", "", "0", "0", " ", "0"}));
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase("bbc.mdb");
    EXPECT_EQ(db.locale(), ";LANGID=0x0409;CP=1252;COUNTRY=0");
    dao::Recordset rs = db.OpenRecordset("BBCSoftware");
    const std::vector<std::pair<std::string, int>> expected = {
        {"Publisher", 30}, {"Software", 40}, {"Genre", 30}, {"Filepath", 50},
        {"Data1", 50},     {"Data2", 50},    {"Description1", 0}, {"Index", 0}};
    ASSERT_EQ(rs.fieldDefs().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rs.fieldDefs()[i].Name, expected[i].first);
        EXPECT_EQ(rs.fieldDefs()[i].Size, expected[i].second);
    }
    EXPECT_EQ(rs.fieldDefs()[6].Type, dao::dbMemo);
    EXPECT_EQ(rs.fieldDefs()[7].Type, dao::dbNumeric);
}

TEST(CreateDatabase, ReplacesTheTargetOfALinkWithItsPermissionsAndNoStaleJournal)
{
    namespace fs = std::filesystem;
    TempDir tmp;
    const fs::path real = tmp / "store" / "real.mdb";
    fs::create_directories(real.parent_path());
    writeCatalogue(real.string(), {rec("A", "a", "g", "a.ssd", 0), rec("B", "b", "g", "b.ssd", 1)});
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    tmp.write("store/real.mdb-wal", std::string(100, 'w'));
    tmp.write("store/real.mdb-shm", std::string(100, 's'));
    fs::create_symlink(real, tmp / "bbc.mdb");
    Form1State f;
    f.sDatabaseFile = (tmp / "bbc.mdb").string();
    CreateDatabase(f);
    EXPECT_TRUE(fs::is_symlink(tmp / "bbc.mdb"));
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_FALSE(fs::exists(tmp / "store/real.mdb-wal"));
    EXPECT_FALSE(fs::exists(tmp / "store/real.mdb-shm"));
    EXPECT_EQ(readCatalogue(f.sDatabaseFile).size(), 1u);
}

TEST(CreateDatabase, AFailureLeavesTheOldCatalogueInPlace)
{
    TempDir tmp;
    const std::string path = (tmp / "bbc.mdb").string();
    writeCatalogue(path, {rec("A", "a", "g", "a.ssd", 0)});
    const std::string before = readFile(path);
    // The new catalogue is built beside the old one; a folder in its way
    // makes the build fail, whoever runs the test.
    tmp.write("bbc.mdb.new/blocker");
    Form1State f;
    f.sDatabaseFile = path;
    EXPECT_THROW(CreateDatabase(f), dao::DaoError);
    EXPECT_EQ(readFile(path), before);
    EXPECT_TRUE(std::filesystem::exists(tmp / "bbc.mdb.new/blocker"));
}
