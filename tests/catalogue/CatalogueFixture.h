#pragma once
// Builds catalogue files for tests through the real database layer.

#include "TempDir.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Dao.h"
#include "core/Form1State.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrin::test {

// A record as stored: nullopt for Null.
struct Record {
    std::optional<std::string> publisher, software, genre, filepath, data1, data2, description;
    std::optional<int64_t> index;
    bool operator==(const Record&) const = default;
};

// A new catalogue with the BBCSoftware table, holding `records` in order.
inline void writeCatalogue(const std::string& path, const std::vector<Record>& records)
{
    Form1State f;
    f.sDatabaseFile = path;
    CreateDatabase(f); // one blank record, replaced below
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(path);
    dao::Recordset rs = db.OpenRecordset(kCatalogueTable);
    rs.MoveFirst();
    rs.Delete();
    db.BeginTrans();
    auto opt = [](const std::optional<std::string>& v) { return v ? dao::Value(*v) : dao::Value(); };
    for (const Record& r : records) {
        rs.AddNew();
        rs.setField("Publisher", opt(r.publisher));
        rs.setField("Software", opt(r.software));
        rs.setField("Genre", opt(r.genre));
        rs.setField("Filepath", opt(r.filepath));
        rs.setField("Data1", opt(r.data1));
        rs.setField("Data2", opt(r.data2));
        rs.setField("Description1", opt(r.description));
        rs.setField("Index", r.index ? dao::Value(*r.index) : dao::Value());
        rs.Update();
    }
    db.CommitTrans();
}

// Every record of the catalogue in the table's own order.
inline std::vector<Record> readCatalogue(const std::string& path)
{
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(path);
    dao::Recordset rs = db.OpenRecordset(kCatalogueTable);
    std::vector<Record> out;
    auto get = [&](const char* name) -> std::optional<std::string> {
        const dao::Value& v = rs.Fields(name);
        if (v.isNull())
            return std::nullopt;
        return v.text();
    };
    while (!rs.isEOF()) {
        Record r;
        r.publisher = get("Publisher");
        r.software = get("Software");
        r.genre = get("Genre");
        r.filepath = get("Filepath");
        r.data1 = get("Data1");
        r.data2 = get("Data2");
        r.description = get("Description1");
        const dao::Value& i = rs.Fields("Index");
        if (!i.isNull())
            r.index = i.number();
        out.push_back(r);
        rs.MoveNext();
    }
    return out;
}

// Runs SQL on a database file as another tool (the sqlite3 shell) would.
inline void sqlOn(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "?";
        sqlite3_free(message);
        sqlite3_close(db);
        throw std::runtime_error(text);
    }
    sqlite3_close(db);
}

inline Record rec(std::string publisher, std::string software, std::string genre,
                  std::string filepath, int64_t index, std::string description = "About it")
{
    return Record{publisher, software, genre, filepath, "0", "0", description, index};
}

} // namespace tavrin::test
