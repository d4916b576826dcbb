#include "Catalogue.h"

#include "CatalogueGrid.h"
#include "Dao.h"
#include "PlayHistory.h"
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
    f.gridLoaded = false;
    try {
        dao::ConvertOldMemoFields(databasePath);
    } catch (const dao::DaoError& e) {
        // A catalogue of the old form that cannot be converted now (a full
        // disk, say) is still whole and is read as it is; the next load tries
        // again. Only a file that cannot be read at all stops the load, below.
        if (e.number() == dao::errFileInUse)
            throw;
    }
    dao::Workspace dbWorkspace = dao::DBEngine::Workspaces(0);
    dao::Database dbDatabase = dbWorkspace.OpenDatabase(databasePath);
    dao::Recordset dbTable = dbDatabase.OpenRecordset(table, dao::dbOpenTable);

    // Every cell of every row is written, so no text of an earlier load
    // survives in a row. One pass over the table counts and reads.
    FlexGrid loaded;
    loaded.setCols(static_cast<int>(kCatalogueFields.size()));
    std::vector<int> ordinals;
    for (const CatalogueField& field : kCatalogueFields)
        ordinals.push_back(dbTable.FieldOrdinal(field.name));
    std::array<std::string, kCatalogueFields.size()> scratch;
    std::vector<std::string_view> cells(kCatalogueFields.size());
    int count = 0;
    {
        FlexGrid::Batch filling(loaded); // nobody watches this grid: no signal per row
        dbTable.forEachRecord(ordinals, [&](const std::vector<dao::FieldView>& fields) {
            for (size_t c = 0; c < kCatalogueFields.size(); ++c)
                cells[c] = cellText(fields[c], scratch[c], kCatalogueFields[c].whenEmpty);
            loaded.setRows(count + 1);
            loaded.setRowCells(count, cells);
            ++count;
        });
    }
    dbTable.Close();
    dbDatabase.Close();

    // The whole table was read: the new rows take the place of the old.
    FlexGrid::Batch batch(f.MSFlexGrid);
    f.MSFlexGrid.takeCells(loaded);
    f.sDatabaseFile = databasePath;
    f.iProgRange = count;
    SetupGrid(f);
    f.iSort = 0;
    Sort(f);
    f.gridLoaded = true;
}

void SortAndTransferToAccess(Form1State& f, const std::function<void(int done, int total)>& progress)
{
    if (!f.gridLoaded)
        throw dao::DaoError(dao::errEngine,
                            "The grid does not hold the whole catalogue '" + f.sDatabaseFile +
                                "', because its last load failed; nothing was written.");
    dao::Workspace dbWorkspace = dao::DBEngine::Workspaces(0);
    dao::Database dbDatabase = dbWorkspace.OpenDatabase(f.sDatabaseFile);
    dao::Recordset dbTable = dbDatabase.OpenRecordset(kCatalogueTable, dao::dbOpenTable);
    const int n = f.iProgRange;
    f.iSort = 0;
    Sort(f);

    // Row i goes over record i: with another number of records the rows
    // would land on the wrong records. The transaction starts before the
    // count, so that no other program adds or removes a record in between.
    dbDatabase.BeginTrans();
    if (dbTable.RecordCount() != n)
        throw dao::DaoError(dao::errEngine,
                            "The catalogue '" + f.sDatabaseFile + "' holds " +
                                std::to_string(dbTable.RecordCount()) + " records but the grid shows " +
                                std::to_string(n) + "; nothing was written.");

    const FlexGrid& grid = f.MSFlexGrid;
    if (n > 0)
        dbTable.MoveFirst();
    for (int i = 0; i < n; ++i) {
        dbTable.Edit();
        for (const CatalogueField& field : kCatalogueFields) {
            switch (field.column) {
            case colData1:
            case colData2:
                dbTable.setField(field.name, dao::Value("0"));
                break;
            case colIndex:
                dbTable.setField(field.name, dao::Value(i));
                break;
            default:
                dbTable.setField(field.name, storedValue(grid.TextMatrix(i, field.column)));
            }
        }
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
    const fs::path target = dao::RealDatabaseFile(f.sDatabaseFile);
    const fs::path building = fs::path(target.string() + ".new");
    std::error_code ec;
    fs::remove(building, ec);
    fs::remove(fs::path(building.string() + "-journal"), ec);

    // A catalogue left with a hot journal by a crash is first rolled back by
    // opening it; what is left of its journal goes with the old file.
    if (fs::exists(fs::path(target.string() + "-journal"), ec)) {
        try {
            dao::DBEngine::Workspaces(0).OpenDatabase(target.string()).tableNames();
        } catch (const dao::DaoError&) {
        }
    }

    // The play history goes over to the new catalogue. A file that cannot be
    // read (the reason for a new one, often) has none to give.
    std::vector<std::pair<std::string, PlayHistoryEntry>> history;
    if (fs::exists(target, ec)) {
        try {
            dao::Database old = dao::DBEngine::Workspaces(0).OpenDatabase(target.string());
            history = ReadPlayHistoryRecords(old);
        } catch (const dao::DaoError&) {
        }
    }

    try {
        dao::Workspace dbWorkspace = dao::DBEngine::Workspaces(0);
        dao::Database dbDatabase = dbWorkspace.CreateDatabase(building.string(), dao::dbLangGeneral);
        dao::TableDef dbTableDef = dbDatabase.CreateTableDef(kCatalogueTable);
        for (const CatalogueField& field : kCatalogueFields) {
            dao::Field created = dbTableDef.CreateField(field.name, field.type);
            created.Size = field.size;
            dbTableDef.appendField(created);
        }
        dbDatabase.appendTableDef(dbTableDef);

        dao::Recordset dbTable = dbDatabase.OpenRecordset(kCatalogueTable, dao::dbOpenTable);
        dbTable.AddNew();
        dbTable.setField("Index", dao::Value(0));
        dbTable.Update();
        dbTable.Close();
        if (!history.empty()) {
            dbDatabase.BeginTrans();
            {
                PlayHistoryTable kept(dbDatabase);
                for (const auto& [path, entry] : history)
                    kept.put(path, entry);
            }
            dbDatabase.CommitTrans();
        }
        dbDatabase.Close();
    } catch (...) {
        fs::remove(building, ec);
        throw;
    }
    dao::ReplaceDatabaseFile(building, target);
}

} // namespace tavrin
