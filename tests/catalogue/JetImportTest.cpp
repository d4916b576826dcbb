// The Jet reader and the conversion of Jet catalogues, on a real Jet 3 file
// (Northwind), compared with what mdbtools' own mdb-export prints.

#include "catalogue/JetImport.h"
#include "CatalogueFixture.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <mdbtools.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

namespace tavrin::test
{
namespace
{

const char* const kNwind = TAVRIN_JET_TESTDATA;

std::string readBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch copy of nwind.mdb; the shared file is never written.
fs::path copyNwind(const TempDir& dir, const std::string& name = "nwind.mdb")
{
    if (!fs::exists(kNwind))
        throw std::runtime_error(std::string("test data missing: ") + kNwind);
    const fs::path copy = dir / name;
    fs::copy_file(kNwind, copy);
    return copy;
}

// Runs a command and returns what it printed.
std::string run(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

std::string shellQuoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// One cell of mdb-export's CSV: its text and whether it was quoted.
struct CsvCell {
    std::string text;
    bool quoted = false;
};

// mdb-export's CSV: fields separated by commas, text in double quotes with
// quotes doubled, values may hold line breaks.
std::vector<std::vector<CsvCell>> parseCsv(const std::string& csv)
{
    std::vector<std::vector<CsvCell>> rows;
    std::vector<CsvCell> row;
    CsvCell cell;
    size_t i = 0;
    while (i < csv.size()) {
        const char c = csv[i];
        if (c == '"') {
            cell.quoted = true;
            ++i;
            while (i < csv.size()) {
                if (csv[i] == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
                    cell.text += '"';
                    i += 2;
                } else if (csv[i] == '"') {
                    ++i;
                    break;
                } else {
                    cell.text += csv[i++];
                }
            }
        } else if (c == ',') {
            row.push_back(std::move(cell));
            cell = {};
            ++i;
        } else if (c == '\n') {
            row.push_back(std::move(cell));
            cell = {};
            rows.push_back(std::move(row));
            row.clear();
            ++i;
        } else {
            cell.text += c;
            ++i;
        }
    }
    if (!row.empty() || !cell.text.empty()) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::vector<CsvCell>> mdbExport(const fs::path& file, const std::string& table)
{
    return parseCsv(
        run("mdb-export -0 '\\N' -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -b hex " +
            shellQuoted(file.string()) + " " + shellQuoted(table)));
}

std::string hex(const void* data, int size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    const auto* b = static_cast<const unsigned char*>(data);
    for (int i = 0; i < size; ++i) {
        out += digits[b[i] >> 4];
        out += digits[b[i] & 15];
    }
    return out;
}

// Every cell of a SQLite table in rowid order, with the column names first.
// A cell is compared with mdb-export's: Null as "\N", numbers by value,
// blobs as hexadecimal, text as it stands.
void expectTableEqualsExport(sqlite3* db, const fs::path& jet, const std::string& table)
{
    SCOPED_TRACE(table);
    const auto exported = mdbExport(jet, table);
    ASSERT_FALSE(exported.empty());
    sqlite3_stmt* s = nullptr;
    std::string quoted = "\"" + table + "\"";
    ASSERT_EQ(sqlite3_prepare_v2(db, ("SELECT * FROM " + quoted + " ORDER BY rowid").c_str(), -1,
                                 &s, nullptr),
              SQLITE_OK);
    const int columns = sqlite3_column_count(s);
    ASSERT_EQ(static_cast<size_t>(columns), exported[0].size());
    for (int c = 0; c < columns; ++c)
        EXPECT_EQ(sqlite3_column_name(s, c), exported[0][c].text);
    size_t row = 1;
    while (sqlite3_step(s) == SQLITE_ROW) {
        ASSERT_LT(row, exported.size());
        const auto& want = exported[row];
        ASSERT_EQ(want.size(), static_cast<size_t>(columns)) << "row " << row;
        for (int c = 0; c < columns; ++c) {
            const CsvCell& w = want[c];
            SCOPED_TRACE("row " + std::to_string(row) + " column " + sqlite3_column_name(s, c));
            switch (sqlite3_column_type(s, c)) {
            case SQLITE_NULL:
                EXPECT_TRUE(!w.quoted && w.text == "\\N") << w.text;
                break;
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                EXPECT_FALSE(w.quoted);
                EXPECT_DOUBLE_EQ(sqlite3_column_double(s, c), std::strtod(w.text.c_str(), nullptr))
                    << w.text;
                break;
            case SQLITE_BLOB:
                EXPECT_EQ(hex(sqlite3_column_blob(s, c), sqlite3_column_bytes(s, c)), w.text);
                break;
            default:
                EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(s, c)), w.text);
            }
        }
        ++row;
    }
    sqlite3_finalize(s);
    EXPECT_EQ(row, exported.size()) << "records in the export";
}

TEST(JetImport, RecognisesJetHeaders)
{
    struct Case {
        std::string bytes;
        bool jet;
    };
    const std::string jet3 = std::string("\0\1\0\0Standard Jet DB\0", 20);
    const Case cases[] = {
        {jet3, true},
        {std::string("\0\1\0\0Standard ACE DB\0", 20), true},
        {jet3.substr(0, 18), false},                   // cut inside the magic
        {std::string("SQLite format 3\0", 16), false}, // the converted form
        {"", false},
        {std::string("\0\1\0\0standard jet db\0", 20), false},
    };
    for (const Case& c : cases) {
        const auto* p = reinterpret_cast<const uint8_t*>(c.bytes.data());
        EXPECT_EQ(IsJetHeader({p, c.bytes.size()}), c.jet) << c.bytes.size();
    }
    TempDir dir;
    EXPECT_TRUE(IsJetFile(copyNwind(dir).string()));
    EXPECT_FALSE(IsJetFile((dir / "missing.mdb").string()));
}

TEST(JetImport, MapsJetColumnTypesToFieldTypes)
{
    struct Case {
        int jetType;
        int bytes;
        bool unicode;
        int type;
        int size;
    };
    const Case cases[] = {
        {MDB_TEXT, 40, false, dao::dbText, 40},      {MDB_TEXT, 80, true, dao::dbText, 40},
        {MDB_MEMO, 0, false, dao::dbMemo, 0},        {MDB_OLE, 0, false, dao::dbMemo, 0},
        {MDB_BINARY, 8, false, dao::dbMemo, 0},      {MDB_BOOL, 0, false, dao::dbNumeric, 0},
        {MDB_BYTE, 1, false, dao::dbNumeric, 0},     {MDB_INT, 2, false, dao::dbNumeric, 0},
        {MDB_LONGINT, 4, false, dao::dbNumeric, 0},  {MDB_MONEY, 8, false, dao::dbNumeric, 0},
        {MDB_FLOAT, 4, false, dao::dbNumeric, 0},    {MDB_DOUBLE, 8, false, dao::dbNumeric, 0},
        {MDB_NUMERIC, 17, false, dao::dbNumeric, 0}, {MDB_DATETIME, 8, false, dao::dbText, 19},
        {MDB_REPID, 16, false, dao::dbText, 38},
    };
    for (const Case& c : cases) {
        const dao::Field f = JetColumnField("X", c.jetType, c.bytes, c.unicode);
        EXPECT_EQ(f.Type, c.type) << c.jetType;
        EXPECT_EQ(f.Size, c.size) << c.jetType;
    }
}

TEST(JetImport, ConvertsEveryTableOfNorthwindAsMdbExportReadsIt)
{
    TempDir dir;
    const fs::path jet = copyNwind(dir);
    const std::string before = readBytes(jet);
    const fs::path target = dir / "nwind.sqlite";
    const auto tables = ConvertJetToSqlite(jet.string(), target.string());

    const std::map<std::string, long> expectedRows = {
        {"Categories", 8}, {"Customers", 91}, {"Employees", 9}, {"Order Details", 2155},
        {"Orders", 830},   {"Products", 77},  {"Shippers", 3},  {"Suppliers", 29}};
    std::map<std::string, long> rows;
    for (const JetTableSummary& t : tables)
        rows[t.name] = t.rows;
    EXPECT_EQ(rows, expectedRows);
    EXPECT_EQ(readBytes(jet), before) << "the Jet file is only read";

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    for (const JetTableSummary& t : tables)
        expectTableEqualsExport(db, jet, t.name);
    sqlite3_close(db);

    // Read back through the engine layer: types by declaration, values as
    // the catalogue reads them.
    dao::Database d = dao::DBEngine::Workspaces(0).OpenDatabase(target.string());
    dao::Recordset shippers = d.OpenRecordset("Shippers");
    ASSERT_EQ(shippers.fieldDefs().size(), 3u);
    EXPECT_EQ(shippers.fieldDefs()[0].Type, dao::dbNumeric);
    EXPECT_EQ(shippers.fieldDefs()[1].Type, dao::dbText);
    EXPECT_EQ(shippers.fieldDefs()[1].Size, 40);
    EXPECT_EQ(shippers.Fields("CompanyName").text(), "Speedy Express");
    EXPECT_EQ(shippers.Fields("Phone").text(), "(503) 555-9831");
    dao::Recordset customers = d.OpenRecordset("Customers");
    customers.MoveNext();
    EXPECT_EQ(customers.Fields("City").text(), "México D.F.");
    EXPECT_TRUE(customers.Fields("Region").isNull());
    dao::Recordset orders = d.OpenRecordset("Orders");
    EXPECT_EQ(orders.Fields("OrderDate").text().size(), 19u);
}

TEST(JetImport, ConvertsInPlaceAndKeepsTheJetFileBeside)
{
    TempDir dir;
    const fs::path jet = copyNwind(dir, "bbc.mdb");
    const std::string before = readBytes(jet);
    std::string message;
    // No catalogue table is asked for: every table converted.
    ASSERT_EQ(ConvertJetFileInPlace(jet.string(), JetConversionCheck{}, "bbc.mdb", message),
              JetConversion::Converted)
        << message;
    EXPECT_FALSE(IsJetFile(jet.string()));
    EXPECT_EQ(readBytes(dir / "bbc.jet.mdb"), before);
    EXPECT_NE(message.find("8 tables, 3202 records"), std::string::npos) << message;
    EXPECT_NE(message.find((dir / "bbc.jet.mdb").string()), std::string::npos) << message;
    EXPECT_EQ(dao::DBEngine::Workspaces(0).OpenDatabase(jet.string()).tableNames().size(), 9u)
        << "eight tables and the database's properties";
    // Converted once: a second start finds the SQLite form and does nothing.
    EXPECT_EQ(ConvertJetFileInPlace(jet.string(), message), JetConversion::NotJet);
    EXPECT_TRUE(message.empty());
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2) << "no file left behind by the conversion";
}

TEST(JetImport, CataloguesChecksOnTheConvertedSide)
{
    TempDir dir;
    // Northwind has no BBCSoftware table: nothing converted, nothing left.
    const fs::path jet = copyNwind(dir, "bbc.mdb");
    const std::string before = readBytes(jet);
    std::string message;
    EXPECT_EQ(ConvertJetFileInPlace(jet.string(), message), JetConversion::Failed);
    EXPECT_NE(message.find("BBCSoftware"), std::string::npos) << message;
    EXPECT_NE(message.find("left as it was"), std::string::npos) << message;
    EXPECT_EQ(readBytes(jet), before);
    EXPECT_FALSE(fs::exists(dir / "bbc.jet.mdb"));
    EXPECT_FALSE(fs::exists(dir / "bbc.mdb.converting"));

    // The check itself: a catalogue passes; a table lacking a field fails.
    const std::string good = (dir / "good.mdb").string();
    writeCatalogue(good, {Record{}});
    EXPECT_NO_THROW(CheckCatalogueTables(good, {"BBCSoftware", "bbcsoftware"}));
    const std::string bad = (dir / "bad.mdb").string();
    {
        dao::Database d = dao::DBEngine::Workspaces(0).CreateDatabase(bad, dao::dbLangGeneral);
        dao::TableDef def = d.CreateTableDef("BBCSoftware");
        for (const CatalogueField& f : kCatalogueFields)
            if (std::string_view(f.name) != "Filepath")
                def.appendField(def.CreateField(f.name, f.type, f.size));
        d.appendTableDef(def);
    }
    try {
        CheckCatalogueTables(bad, {"BBCSoftware"});
        ADD_FAILURE() << "a table without Filepath passed";
    } catch (const dao::DaoError& e) {
        EXPECT_NE(std::string(e.what()).find("Filepath"), std::string::npos) << e.what();
    }
}

TEST(JetImport, LeavesDamagedJetFilesUntouched)
{
    const std::string whole = readBytes(kNwind);
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string scrambled = whole;
    // The catalogue's page and the tables' definitions overwritten.
    for (size_t i = 2048 * 2; i < 2048 * 40 && i < scrambled.size(); ++i)
        scrambled[i] = static_cast<char>((i * 37) & 0xFF);
    const Case cases[] = {
        {"cut inside a page", whole.substr(0, 100000)},
        {"cut at a page boundary", whole.substr(0, 2048 * 60)},
        {"the header alone", whole.substr(0, 64)},
        {"pages scrambled", scrambled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir.write("bbc.mdb", c.bytes);
        std::string message;
        EXPECT_EQ(ConvertJetFileInPlace(file.string(), JetConversionCheck{}, "bbc.mdb", message),
                  JetConversion::Failed);
        EXPECT_NE(message.find("cannot be converted"), std::string::npos) << message;
        EXPECT_EQ(readBytes(file), c.bytes);
        int files = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
            ++files;
        EXPECT_EQ(files, 1) << message;
    }
}

TEST(JetImport, NamesTheKeptJetFile)
{
    TempDir dir;
    EXPECT_EQ(KeptJetFileName(dir / "bbc.mdb"), dir / "bbc.jet.mdb");
    EXPECT_EQ(KeptJetFileName(dir / "BBC.MDB"), dir / "BBC.jet.MDB");
    EXPECT_EQ(KeptJetFileName(dir / "catalogue"), dir / "catalogue.jet.mdb");
    dir.write("bbc.jet.mdb");
    EXPECT_EQ(KeptJetFileName(dir / "bbc.mdb"), dir / "bbc.jet-2.mdb");
}

TEST(JetImport, ConvertsThroughASymbolicLink)
{
    TempDir dir;
    const fs::path real = copyNwind(dir, "store.mdb");
    fs::create_symlink(real, dir / "bbc.mdb");
    std::string message;
    ASSERT_EQ(
        ConvertJetFileInPlace((dir / "bbc.mdb").string(), JetConversionCheck{}, "bbc.mdb", message),
        JetConversion::Converted)
        << message;
    EXPECT_TRUE(fs::is_symlink(dir / "bbc.mdb"));
    EXPECT_FALSE(IsJetFile(real.string()));
    EXPECT_TRUE(IsJetFile((dir / "store.jet.mdb").string()));
}

} // namespace
} // namespace tavrin::test
