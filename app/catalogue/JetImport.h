#pragma once
// Catalogues made by the Windows program are Jet database files (".mdb").
// They are read once through libmdb and converted into the SQLite form the
// program works on: every table and every column, each Jet type mapped to
// one of the engine layer's field types. The Jet file is kept beside the
// converted one under a name that says what it is ("bbc.jet.mdb").

#include "Dao.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tavrin
{

// True when the bytes start with the header of a Jet (or Access ACE)
// database: page 0 carries "Standard Jet DB" or "Standard ACE DB" at
// offset 4.
bool IsJetHeader(std::span<const uint8_t> bytes);

// True when the file that `path` names (through OsPath) starts with a Jet
// header. A missing or unreadable file is no Jet file.
bool IsJetFile(const std::string& path);

// The engine layer's field for a Jet column: text of its size (characters),
// memo for memo, OLE, binary and anything unknown, numeric for the integer,
// boolean, currency, decimal and floating kinds; dates become text of 19
// characters ("1996-07-04 00:00:00") and replication ids text of 38.
// `jetTextBytes` is the column size as stored; `unicode` is true for Jet 4
// and later, whose text sizes count two bytes a character.
dao::Field JetColumnField(const std::string& name, int jetType, int jetTextBytes, bool unicode);

// What a conversion read: one entry per table, in the Jet file's order.
struct JetTableSummary {
    std::string name;
    int columns = 0;
    long rows = 0;
};

// Reads every user table of the Jet file `jetPath` and writes it into the new
// SQLite database `target` (which must not exist yet), then checks that each
// table of the new file holds as many records as were read. Runs the reader
// in a child process, so that a damaged file cannot take the program down.
// Throws dao::DaoError with a readable reason; `target` is then removed.
std::vector<JetTableSummary> ConvertJetToSqlite(const std::string& jetPath,
                                                const std::string& target);

// The place where the Jet file is kept after a conversion: "bbc.mdb" gives
// "bbc.jet.mdb", a file without ".mdb" gets ".jet.mdb" added; when that name
// is taken, "bbc.jet-2.mdb", "bbc.jet-3.mdb" and so on.
std::filesystem::path KeptJetFileName(const std::filesystem::path& file);

// A check of the converted side: the tables that must be there, each with
// the catalogue's eight fields.
struct JetConversionCheck {
    std::vector<std::string> catalogueTables;
};

enum class JetConversion {
    NotJet,    // the file is no Jet database (or does not exist): nothing done
    Converted, // the file now holds the SQLite form; the Jet file is kept beside
    Failed,    // the Jet file could not be read or failed the checks: left untouched
};

// Converts a Jet file in its place: the SQLite form is built beside it,
// checked (every table read, `check`'s tables and fields present), the Jet
// file is kept under KeptJetFileName, and the new file is renamed onto the
// old name (onto the target of a symbolic link). `message` tells the user
// what was converted and where the old file is, or why nothing was done.
// `shownName` is the name the message uses for the file. Never throws.
JetConversion ConvertJetFileInPlace(const std::string& path, const JetConversionCheck& check,
                                    const std::string& shownName, std::string& message);

// The check of the Internet reference catalogue ("Data\internet.mdb"): the
// tables of the five sources, "8bs", "tbl", "kov", "otbbs" and "swth".
JetConversionCheck InternetCatalogueCheck();

// The same with the check of a catalogue: the table "BBCSoftware".
JetConversion ConvertJetFileInPlace(const std::string& path, std::string& message);

// The catalogue's own checks on a SQLite file: each named table is there and
// holds the eight catalogue fields. Throws dao::DaoError naming what lacks.
void CheckCatalogueTables(const std::string& sqlitePath, const std::vector<std::string>& tables);

} // namespace tavrin
