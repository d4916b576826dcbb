#pragma once
// What the Internet tests share: a Qt application, a reference catalogue
// of the five sources written through SQLite, and zip archives.

#include "TempDir.h"

#include <QApplication>
#include <QCoreApplication>

#include <sqlite3.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrin::test
{

inline void ensureInternetApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tavrin_internet_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

struct InternetRow {
    std::string publisher, software, genre, filepath, description;
};

// The reference catalogue: the five tables in the catalogue's layout,
// `rows` in the first ("8bs").
inline void writeInternetDatabase(const std::string& path, const std::vector<InternetRow>& rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot write " + path);
    std::string sql =
        "CREATE TABLE \"MSysDatabaseProperties\" (\"Name\" TEXT PRIMARY KEY, \"Value\" TEXT);";
    for (const char* table : {"8bs", "tbl", "kov", "otbbs", "swth"})
        sql += std::string("CREATE TABLE \"") + table +
               "\" (\"Publisher\" TEXT(30), \"Software\" TEXT(40), \"Genre\" TEXT(30), "
               "\"Filepath\" TEXT(50), \"Data1\" TEXT(50), \"Data2\" TEXT(50), "
               "\"Description1\" TEXT, \"Index\" INTEGER);";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"8bs\" VALUES (?, ?, ?, ?, '0', '0', ?, ?)", -1, &insert,
                       nullptr);
    int index = 0;
    for (const InternetRow& r : rows) {
        int column = 1;
        for (const std::string* text :
             {&r.publisher, &r.software, &r.genre, &r.filepath, &r.description})
            sqlite3_bind_text(insert, column++, text->c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, column, index++);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

// Zips the files of `folder` (names as they lie there) into `zip`.
inline void zipFolder(const std::filesystem::path& folder, const std::filesystem::path& zip)
{
    const std::string command =
        "cd '" + folder.string() + "' && zip -q -r '" + zip.string() + "' .";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("zip failed: " + command);
}

} // namespace tavrin::test
