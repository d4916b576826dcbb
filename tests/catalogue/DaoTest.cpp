#include "catalogue/Dao.h"
#include "core/TextHelpers.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

using namespace dao;
using tavrin::test::TempDir;

namespace {

Database makeTable(const std::string& path)
{
    Database db = DBEngine::Workspaces(0).CreateDatabase(path, dbLangGeneral);
    TableDef def = db.CreateTableDef("Things");
    Field name = def.CreateField("Name", dbText);
    name.Size = 5;
    def.appendField(name);
    def.appendField(def.CreateField("Notes", dbMemo));
    def.appendField(def.CreateField("Number", dbNumeric));
    db.appendTableDef(def);
    return db;
}

void add(Recordset& rs, const Value& name, const Value& number)
{
    rs.AddNew();
    rs.setField("Name", name);
    rs.setField("Number", number);
    rs.Update();
}

int expectError(int number, const std::function<void()>& call)
{
    try {
        call();
    } catch (const DaoError& e) {
        EXPECT_EQ(e.number(), number) << e.what();
        return e.number();
    }
    ADD_FAILURE() << "no error raised";
    return 0;
}

} // namespace

TEST(Dao, NewDatabaseKeepsFieldOrderTypesSizesAndLocale)
{
    TempDir tmp;
    const std::string path = (tmp / "new.mdb").string();
    makeTable(path).Close();
    Database db = DBEngine::Workspaces(0).OpenDatabase(path);
    EXPECT_EQ(db.locale(), ";LANGID=0x0409;CP=1252;COUNTRY=0");
    Recordset rs = db.OpenRecordset("things"); // table names ignore case
    ASSERT_EQ(rs.fieldDefs().size(), 3u);
    EXPECT_EQ(rs.fieldDefs()[0].Name, "Name");
    EXPECT_EQ(rs.fieldDefs()[0].Type, dbText);
    EXPECT_EQ(rs.fieldDefs()[0].Size, 5);
    EXPECT_EQ(rs.fieldDefs()[1].Type, dbMemo);
    EXPECT_EQ(rs.fieldDefs()[2].Type, dbNumeric);
    EXPECT_TRUE(rs.BOF());
    EXPECT_TRUE(rs.isEOF());
    expectError(errNoCurrentRecord, [&] { rs.MoveFirst(); });
    expectError(errNoCurrentRecord, [&] { (void)rs.Fields("Name"); });
    expectError(errDatabaseExists, [&] { DBEngine::Workspaces(0).CreateDatabase(path, dbLangGeneral); });
}

TEST(Dao, OpeningAMissingOrForeignFileIsAClearError)
{
    TempDir tmp;
    expectError(errFileNotFound, [&] { DBEngine::Workspaces(0).OpenDatabase((tmp / "none.mdb").string()); });
    const auto junk = tmp.write("junk.mdb", std::string(4096, 'J'));
    try {
        DBEngine::Workspaces(0).OpenDatabase(junk.string());
        FAIL() << "a file of junk opened as a database";
    } catch (const DaoError& e) {
        EXPECT_EQ(e.number(), errUnrecognizedFormat);
        EXPECT_NE(std::string(e.what()).find("junk.mdb"), std::string::npos);
    }
    EXPECT_EQ(tavrin::test::readFile(junk), std::string(4096, 'J'));
    makeTable((tmp / "t.mdb").string()).Close();
    Database db = DBEngine::Workspaces(0).OpenDatabase((tmp / "t.mdb").string());
    expectError(errTableNotFound, [&] { db.OpenRecordset("Missing"); });

    // A file that another program holds locked is named as locked, not as
    // broken.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((tmp / "t.mdb").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; DELETE FROM Things", nullptr, nullptr, nullptr),
              SQLITE_OK);
    DBEngine::SetLockWait(20);
    try {
        DBEngine::Workspaces(0).OpenDatabase((tmp / "t.mdb").string());
        ADD_FAILURE() << "a locked file opened";
    } catch (const DaoError& e) {
        EXPECT_EQ(e.number(), errFileInUse) << e.what();
        EXPECT_NE(std::string(e.what()).find("locked by another program"), std::string::npos);
    }
    DBEngine::SetLockWait(5000);
    sqlite3_close(other);
}

TEST(Dao, FieldTypesOfOtherToolsFollowSQLiteAffinity)
{
    const struct {
        const char* declared;
        int type;
        int size;
    } rows[] = {
        {"TEXT(30)", dbText, 30},    {"VARCHAR(40)", dbText, 40}, {"NVARCHAR(30)", dbText, 30},
        {"character(12)", dbText, 12}, {"TEXT", dbMemo, 0},     {"LONGTEXT", dbMemo, 0},
        {"CLOB", dbMemo, 0},         {"STRING", dbMemo, 0},       {"MEMO", dbMemo, 0},
        {"", dbMemo, 0},             {"BLOB", dbMemo, 0},         {"INTEGER", dbNumeric, 0},
        {"BIGINT", dbNumeric, 0},    {"NUMERIC", dbNumeric, 0},   {"DECIMAL(10,2)", dbNumeric, 0},
        {"DOUBLE", dbNumeric, 0},
    };
    for (const auto& row : rows) {
        const Field f = fieldFromDeclaration("F", row.declared);
        EXPECT_EQ(f.Type, row.type) << row.declared;
        EXPECT_EQ(f.Size, row.size) << row.declared;
    }
}

TEST(Dao, FieldsReadByNameKeepNullApartFromEmptyText)
{
    TempDir tmp;
    Database db = makeTable((tmp / "t.mdb").string());
    Recordset rs = db.OpenRecordset("Things");
    add(rs, Value(), Value(1));
    add(rs, Value(""), Value(2));
    add(rs, Value("abc"), Value("3"));
    rs.MoveFirst();
    EXPECT_TRUE(rs.Fields("NAME").isNull());
    EXPECT_FALSE(rs.Fields("name").greaterThanEmpty());
    EXPECT_TRUE(rs.Fields("Notes").isNull());
    rs.MoveNext();
    EXPECT_FALSE(rs.Fields("Name").isNull());
    EXPECT_FALSE(rs.Fields("Name").greaterThanEmpty());
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("Name").text(), "abc");
    EXPECT_TRUE(rs.Fields("Name").greaterThanEmpty());
    EXPECT_EQ(rs.Fields("Number").number(), 3);
    EXPECT_EQ(rs.Fields("Number").text(), "3");
    expectError(errItemNotFound, [&] { (void)rs.Fields("Nope"); });

    // The copy-free view tells the same, record by record and in an edit.
    const int name = rs.FieldOrdinal("name"), number = rs.FieldOrdinal("NUMBER");
    rs.MoveFirst();
    EXPECT_TRUE(rs.fieldView(name).isNull);
    EXPECT_EQ(rs.fieldView(number).number, 1);
    EXPECT_TRUE(rs.fieldView(number).isNumber);
    rs.MoveNext();
    EXPECT_FALSE(rs.fieldView(name).isNull);
    EXPECT_EQ(rs.fieldView(name).text, "");
    rs.MoveNext();
    EXPECT_EQ(rs.fieldView(name).text, "abc");
    rs.Edit();
    rs.setField("Name", Value("xyz"));
    EXPECT_EQ(rs.fieldView(name).text, "xyz");
    rs.CancelUpdate();
    EXPECT_EQ(rs.fieldView(name).text, "abc");
    expectError(errItemNotFound, [&] { (void)rs.fieldView(9); });

    rs.MoveNext();
    EXPECT_TRUE(rs.isEOF());
    expectError(errNoCurrentRecord, [&] { (void)rs.fieldView(name); });
    expectError(errNoCurrentRecord, [&] { rs.MoveNext(); });
}

TEST(Dao, ValuesThatDoNotFitAreRefusedNeverCut)
{
    TempDir tmp;
    Database db = makeTable((tmp / "t.mdb").string());
    Recordset rs = db.OpenRecordset("Things");
    rs.AddNew();
    rs.setField("Name", Value("12345"));
    rs.setField("Name", Value("äöüßé")); // five characters, ten bytes
    try {
        rs.setField("Name", Value("123456"));
        FAIL() << "a six-character value was taken by a five-character field";
    } catch (const DaoError& e) {
        EXPECT_EQ(e.number(), errFieldTooSmall);
        EXPECT_NE(std::string(e.what()).find("'Name'"), std::string::npos);
    }
    // Bytes that are no UTF-8 count one character each.
    expectError(errFieldTooSmall, [&] { rs.setField("Name", Value(std::string(6, '\xA0'))); });
    expectError(errTypeConversion, [&] { rs.setField("Number", Value("twelve")); });
    rs.setField("Notes", Value(std::string(100000, 'n')));
    rs.Update();
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields("Name").text(), "äöüßé");
    EXPECT_EQ(rs.Fields("Notes").text().size(), 100000u);
    expectError(errNoEditInProgress, [&] { rs.setField("Name", Value("x")); });
    expectError(errNoEditInProgress, [&] { rs.Update(); });
}

TEST(Dao, EditDeleteBookmarksAndRecordOrder)
{
    TempDir tmp;
    const std::string path = (tmp / "t.mdb").string();
    {
        Database db = makeTable(path);
        Recordset rs = db.OpenRecordset("Things");
        for (int i = 0; i < 5; ++i)
            add(rs, Value(tavrin::concat({"r", std::to_string(i)})), Value(i));
        const Bookmark last = rs.LastModified();
        rs.setBookmark(last);
        EXPECT_EQ(rs.Fields("Name").text(), "r4");
        rs.MoveFirst();
        rs.MoveNext();
        rs.Edit();
        EXPECT_EQ(rs.Fields("Number").number(), 1); // unassigned fields read the stored value
        rs.setField("Name", Value("one"));
        EXPECT_EQ(rs.Fields("Name").text(), "one");
        rs.Update();
        EXPECT_EQ(rs.Fields("Name").text(), "one"); // still the current record
        EXPECT_EQ(rs.Fields("Number").number(), 1); // a field the edit left alone keeps its value
        rs.MoveNext();
        rs.Delete();
        expectError(errRecordDeleted, [&] { (void)rs.Fields("Name"); });
        rs.MoveNext();
        EXPECT_EQ(rs.Fields("Name").text(), "r3");
        rs.MoveLast();
        EXPECT_EQ(rs.Fields("Name").text(), "r4");
        EXPECT_EQ(rs.RecordCount(), 4);
        // Deleting the last record and moving on reaches the end of the table.
        rs.Delete();
        rs.MoveNext();
        EXPECT_TRUE(rs.isEOF());
        add(rs, Value("r4"), Value(4));
        expectError(3159, [&] { rs.setBookmark(999); });
    }
    Database db = DBEngine::Workspaces(0).OpenDatabase(path);
    Recordset rs = db.OpenRecordset("Things");
    std::string names;
    while (!rs.isEOF()) {
        names += rs.Fields("Name").text() + ",";
        rs.MoveNext();
    }
    EXPECT_EQ(names, "r0,one,r3,r4,");
}

TEST(Dao, ClosingADatabaseInATransactionRollsItBack)
{
    TempDir tmp;
    const std::string path = (tmp / "t.mdb").string();
    {
        Database db = makeTable(path);
        Recordset rs = db.OpenRecordset("Things");
        add(rs, Value("kept"), Value(1));
        db.BeginTrans();
        rs.MoveFirst();
        rs.Edit();
        rs.setField("Name", Value("gone"));
        rs.Update();
        add(rs, Value("gone"), Value(2));
    } // no commit
    Database db = DBEngine::Workspaces(0).OpenDatabase(path);
    Recordset rs = db.OpenRecordset("Things");
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields("Name").text(), "kept");
}
