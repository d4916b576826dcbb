#include "Catalogue.h"

#include "CatalogueGrid.h"
#include "Dao.h"
#include "core/Form1State.h"
#include "core/Paths.h"

#include <array>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tavrin {
namespace {

// The cell text of a field: its text when it holds any, else the column's
// stand-in (" ", "0" or an empty cell).
std::string_view cellText(const dao::FieldView& v, std::string& scratch, std::string_view otherwise)
{
    if (v.isNumber) {
        scratch = std::to_string(v.number);
        return scratch;
    }
    if (!v.isNull && !v.text.empty())
        return v.text;
    return otherwise;
}

// The stored value of a cell: an empty cell stores Null.
dao::Value storedValue(std::string_view cell)
{
    return cell.empty() ? dao::Value() : dao::Value(cell);
}

} // namespace

void TransferFromAccess(Form1State& f, const std::string& databasePath, const std::string& table)
{
    dao::Workspace dbWorkspace = dao::DBEngine::Workspaces(0);
    dao::Database dbDatabase = dbWorkspace.OpenDatabase(databasePath);
    dao::Recordset dbTable = dbDatabase.OpenRecordset(table, dao::dbOpenTable);
    f.sDatabaseFile = databasePath;

    int count = 0;
    if (!dbTable.isEOF()) {
        dbTable.MoveFirst();
        while (!dbTable.isEOF()) {
            dbTable.MoveNext();
            ++count;
        }
        dbTable.MoveFirst();
    }

    FlexGrid& grid = f.MSFlexGrid;
    FlexGrid::Batch batch(grid);
    f.iProgRange = count;
    SetupGrid(f);
    static const std::array<const char*, 8> names = {"Publisher", "Software", "Genre", "filepath",
                                                     "Data1", "Data2", "Description1", "Index"};
    // Each cell is written, so no text of an earlier load survives in a row.
    static const std::array<std::string_view, 8> otherwise = {" ", "", " ", "", "0", "0", " ", ""};
    std::array<int, 8> ordinals;
    for (size_t c = 0; c < names.size(); ++c)
        ordinals[c] = dbTable.FieldOrdinal(names[c]);
    std::array<std::string, 8> scratch;
    std::vector<std::string_view> cells(8);
    for (int i = 0; i < count; ++i) {
        for (size_t c = 0; c < names.size(); ++c)
            cells[c] = cellText(dbTable.fieldView(ordinals[c]), scratch[c], otherwise[c]);
        grid.setRowCells(i, cells);
        dbTable.MoveNext();
    }
    dbTable.Close();
    dbDatabase.Close();

    f.iSort = 0;
    Sort(f);
}

void SortAndTransferToAccess(Form1State& f, const std::function<void(int done, int total)>& progress)
{
    dao::Workspace dbWorkspace = dao::DBEngine::Workspaces(0);
    dao::Database dbDatabase = dbWorkspace.OpenDatabase(f.sDatabaseFile);
    dao::Recordset dbTable = dbDatabase.OpenRecordset(kCatalogueTable, dao::dbOpenTable);
    const int n = f.iProgRange;
    f.iSort = 0;
    Sort(f);

    // Row i goes over record i: with another number of records the rows
    // would land on the wrong records.
    if (dbTable.RecordCount() != n)
        throw dao::DaoError(dao::errEngine,
                            "The catalogue '" + f.sDatabaseFile + "' holds " +
                                std::to_string(dbTable.RecordCount()) + " records but the grid shows " +
                                std::to_string(n) + "; nothing was written.");

    const FlexGrid& grid = f.MSFlexGrid;
    dbDatabase.BeginTrans();
    if (n > 0)
        dbTable.MoveFirst();
    for (int i = 0; i < n; ++i) {
        dbTable.Edit();
        dbTable.setField("Publisher", storedValue(grid.TextMatrix(i, colPublisher)));
        dbTable.setField("Software", storedValue(grid.TextMatrix(i, colSoftware)));
        dbTable.setField("Genre", storedValue(grid.TextMatrix(i, colGenre)));
        dbTable.setField("filepath", storedValue(grid.TextMatrix(i, colFilepath)));
        dbTable.setField("Description1", storedValue(grid.TextMatrix(i, colDescription1)));
        dbTable.setField("Data1", dao::Value("0"));
        dbTable.setField("Data2", dao::Value("0"));
        dbTable.setField("Index", dao::Value(i));
        dbTable.Update();
        dbTable.MoveNext();
        if (progress && ((i + 1) % 1000 == 0 || i + 1 == n))
            progress(i + 1, n);
    }
    dbDatabase.CommitTrans();
    dbTable.Close();
    dbDatabase.Close();
}

void CreateDatabase(Form1State& f)
{
    const fs::path target = OsPath(f.sDatabaseFile);
    const fs::path building = fs::path(target.string() + ".new");
    std::error_code ec;
    fs::remove(building, ec);

    // A catalogue left with a hot journal by a crash is first rolled back by
    // opening it, so that the journal cannot be applied to the new file.
    if (fs::exists(fs::path(target.string() + "-journal"), ec)) {
        try {
            dao::DBEngine::Workspaces(0).OpenDatabase(target.string()).tableNames();
        } catch (const dao::DaoError&) {
        }
    }

    try {
        dao::Workspace dbWorkspace = dao::DBEngine::Workspaces(0);
        dao::Database dbDatabase = dbWorkspace.CreateDatabase(building.string(), dao::dbLangGeneral);
        dao::TableDef dbTableDef = dbDatabase.CreateTableDef(kCatalogueTable);
        dao::Field dbPublisher = dbTableDef.CreateField("Publisher", dao::dbText);
        dao::Field dbSoftware = dbTableDef.CreateField("Software", dao::dbText);
        dao::Field dbGenre = dbTableDef.CreateField("Genre", dao::dbText);
        dao::Field dbFilepath = dbTableDef.CreateField("Filepath", dao::dbText);
        dao::Field dbData1 = dbTableDef.CreateField("Data1", dao::dbText);
        dao::Field dbData2 = dbTableDef.CreateField("Data2", dao::dbText);
        dao::Field dbDescription1 = dbTableDef.CreateField("Description1", dao::dbMemo);
        dao::Field dbIndex = dbTableDef.CreateField("Index", dao::dbNumeric);
        dbPublisher.Size = 30;
        dbSoftware.Size = 40;
        dbGenre.Size = 30;
        dbFilepath.Size = 50;
        dbData1.Size = 50;
        dbData2.Size = 50;
        for (const dao::Field* field : {&dbPublisher, &dbSoftware, &dbGenre, &dbFilepath, &dbData1,
                                        &dbData2, &dbDescription1, &dbIndex})
            dbTableDef.appendField(*field);
        dbDatabase.appendTableDef(dbTableDef);

        dao::Recordset dbTable = dbDatabase.OpenRecordset(kCatalogueTable, dao::dbOpenTable);
        dbTable.AddNew();
        dbTable.setField("Index", dao::Value(0));
        dbTable.Update();
        dbTable.Close();
        dbDatabase.Close();
    } catch (...) {
        fs::remove(building, ec);
        throw;
    }

    fs::rename(building, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(building, ignored);
        throw dao::DaoError(dao::errEngine, "The new catalogue could not replace '" +
                                                f.sDatabaseFile + "': " + ec.message() + ".");
    }
}

} // namespace tavrin
