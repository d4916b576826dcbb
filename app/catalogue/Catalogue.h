#pragma once
// The catalogue table and its loading into and writing back from the grid.

#include "Dao.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace tavrin {

struct Form1State;

// The catalogue table's name as the write-back names it.
inline constexpr const char* kCatalogueTable = "BBCSoftware";

// Grid columns of a catalogue record.
enum CatalogueColumn {
    colPublisher = 0,
    colSoftware = 1,
    colGenre = 2,
    colFilepath = 3,
    colData1 = 4,
    colData2 = 5,
    colDescription1 = 6,
    colIndex = 7,
};

// What the columns are called where a user hears or reads of them.
inline constexpr std::array<const char*, 8> kColumnNames = {
    "Publisher", "Title", "Genre", "File", "Data 1", "Data 2", "Description", "Index"};

// A field of the catalogue table: its name, engine type code and size, the
// grid column that shows it, and what that cell shows when the field is
// empty or Null (an empty stand-in: the cell stays empty).
struct CatalogueField {
    const char* name;
    dao::FieldType type;
    int size; // characters, for text fields
    CatalogueColumn column;
    std::string_view whenEmpty;
};

// The eight fields in table order, the order in which a new catalogue
// creates them. Names are matched without regard to case.
inline constexpr std::array<CatalogueField, 8> kCatalogueFields = {{
    {"Publisher", dao::dbText, 30, colPublisher, " "},
    {"Software", dao::dbText, 40, colSoftware, ""},
    {"Genre", dao::dbText, 30, colGenre, " "},
    {"Filepath", dao::dbText, 50, colFilepath, ""},
    {"Data1", dao::dbText, 50, colData1, "0"},
    {"Data2", dao::dbText, 50, colData2, "0"},
    {"Description1", dao::dbMemo, 0, colDescription1, " "},
    {"Index", dao::dbNumeric, 0, colIndex, ""},
}};

// Loads every record of the table into the grid, sets iProgRange and
// sDatabaseFile, and sorts the grid in mode 0. The records are read into a
// grid of their own, which takes the place of the shown one only when the
// whole table was read: a failed load leaves the grid as it was, clears
// gridLoaded and throws dao::DaoError. A catalogue of the old form (memo
// fields declared "MEMO") is converted first (dao::ConvertOldMemoFields).
void TransferFromAccess(Form1State& f, const std::string& databasePath, const std::string& table);

// Sorts the grid in mode 0 and writes row i over the i-th record of
// sDatabaseFile's table, all in one transaction: the file holds either the
// old records or the new ones, never a mixture. Refused, with nothing
// written, when the grid does not hold a whole load (gridLoaded). Throws
// dao::DaoError. `progress`, when given, hears now and then how many of the
// records are written.
void SortAndTransferToAccess(Form1State& f,
                             const std::function<void(int done, int total)>& progress = {});

// Replaces sDatabaseFile with a new catalogue holding one blank record and
// the play history of the old one (PlayHistory.h), when it can be read. The
// new file is built beside the old one (beside the target of a symbolic
// link) and renamed over it with the old file's permissions, so a failure
// leaves the old catalogue as it was. Throws dao::DaoError.
void CreateDatabase(Form1State& f);

} // namespace tavrin
