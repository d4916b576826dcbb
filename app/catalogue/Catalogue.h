#pragma once
// The catalogue table and its loading into and writing back from the grid.

#include <functional>
#include <string>

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

// Loads every record of the table into the grid, sets iProgRange and
// sDatabaseFile, and sorts the grid in mode 0. Throws dao::DaoError.
void TransferFromAccess(Form1State& f, const std::string& databasePath, const std::string& table);

// Sorts the grid in mode 0 and writes row i over the i-th record of
// sDatabaseFile's table, all in one transaction: the file holds either the
// old records or the new ones, never a mixture. Throws dao::DaoError.
// `progress`, when given, hears now and then how many of the records are written.
void SortAndTransferToAccess(Form1State& f,
                             const std::function<void(int done, int total)>& progress = {});

// Replaces sDatabaseFile with a new catalogue holding one blank record. The
// new file is built beside the old one and renamed over it, so a failure
// leaves the old catalogue as it was. Throws dao::DaoError.
void CreateDatabase(Form1State& f);

} // namespace tavrin
