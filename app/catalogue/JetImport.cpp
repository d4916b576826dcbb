#include "JetImport.h"

#include "Catalogue.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

constexpr size_t kHeaderMagicOffset = 4;
constexpr std::string_view kJetMagic = "Standard Jet DB";
constexpr std::string_view kAceMagic = "Standard ACE DB";
constexpr size_t kJetVersionOffset = 0x14;
constexpr size_t kJet3PageSize = 2048;
constexpr size_t kJet4PageSize = 4096;
// The longest memo or OLE value read whole; a longer one is an error rather
// than a value cut short.
constexpr size_t kBindSize = 1 << 18;
constexpr int kDateLength = 19;  // "1996-07-04 00:00:00"
constexpr int kRepIdLength = 38; // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
// A reader that runs longer than this on one file is taken to be stuck.
constexpr int kChildTimeLimitMs = 5 * 60 * 1000;

struct MdbCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableCloser {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

std::string quotedName(std::string_view name)
{
    std::string q = "\"";
    for (char c : name) {
        q.push_back(c);
        if (c == '"')
            q.push_back('"');
    }
    return q + "\"";
}

void sqliteCheck(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw dao::DaoError(dao::errEngine, std::string(what) + ": " + sqlite3_errmsg(db) + ".");
}

// Why the file cannot be a whole Jet database, judged from its size and its
// first page; empty when it may be one.
std::string jetFileProblem(const fs::path& file)
{
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    if (ec)
        return "it cannot be read (" + ec.message() + ")";
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> head(kJet4PageSize, 0);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    if (!IsJetHeader(head))
        return "it is not a Jet database";
    if (head.size() <= kJetVersionOffset)
        return "it is cut short";
    const size_t page = head[kJetVersionOffset] == MDB_VER_JET3 ? kJet3PageSize : kJet4PageSize;
    // Page 0 and at least the catalogue's page, and whole pages only.
    if (size < page * (MDB_CATALOG_PG + 1) || size % page != 0)
        return "it is cut short or damaged (" + std::to_string(size) +
               " bytes, not a whole number of " + std::to_string(page) + "-byte pages)";
    return {};
}

// The text of a Jet column's value as libmdb binds it, and whether it is Null.
struct BoundColumn {
    MdbColumn* col = nullptr;
    std::vector<char> buffer;
    int length = 0;
};

// Reads every user table of the open Jet database into the new SQLite file.
// Runs in the child process.
std::vector<JetTableSummary> copyJetTables(const std::string& jetPath, const std::string& target)
{
    std::unique_ptr<MdbHandle, MdbCloser> mdb(mdb_open(OsPath(jetPath).c_str(), MDB_NOFLAGS));
    if (!mdb)
        throw dao::DaoError(dao::errUnrecognizedFormat, "libmdb cannot open it");
    mdb_set_bind_size(mdb.get(), kBindSize);
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(mdb.get());
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE))
        throw dao::DaoError(dao::errUnrecognizedFormat, "its list of tables cannot be read");
    const bool unicode = mdb->f->jet_version != MDB_VER_JET3;

    struct Table {
        std::string name;
        std::unique_ptr<MdbTableDef, TableCloser> def;
    };
    std::vector<Table> tables;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        std::unique_ptr<MdbTableDef, TableCloser> def(mdb_read_table(entry));
        if (!def || !mdb_read_columns(def.get()))
            throw dao::DaoError(dao::errUnrecognizedFormat, std::string("the table '") +
                                                                entry->object_name +
                                                                "' cannot be read");
        tables.push_back({entry->object_name, std::move(def)});
    }

    // The tables, declared as the engine layer declares its fields.
    {
        dao::Database created =
            dao::DBEngine::Workspaces(0).CreateDatabase(target, dao::dbLangGeneral);
        for (const Table& t : tables) {
            dao::TableDef def = created.CreateTableDef(t.name);
            for (unsigned c = 0; c < t.def->num_cols; ++c) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t.def->columns, c));
                def.appendField(JetColumnField(col->name, col->col_type, col->col_size, unicode));
            }
            created.appendTableDef(def);
        }
        created.Close();
    }

    sqlite3* raw = nullptr;
    const int openRc =
        sqlite3_open_v2(OsPath(target).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, SqliteCloser> db(raw);
    sqliteCheck(raw, openRc, "The new database cannot be opened");
    sqliteCheck(raw, sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr), "BEGIN");

    std::vector<JetTableSummary> summary;
    for (Table& t : tables) {
        MdbTableDef* table = t.def.get();
        std::vector<BoundColumn> bound(table->num_cols);
        std::string sql = "INSERT INTO " + quotedName(t.name) + " VALUES (";
        for (unsigned c = 0; c < table->num_cols; ++c) {
            bound[c].col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            bound[c].buffer.assign(kBindSize, 0);
            mdb_bind_column(table, static_cast<int>(c + 1), bound[c].buffer.data(),
                            &bound[c].length);
            sql += c ? ",?" : "?";
        }
        sql += ")";
        sqlite3_stmt* rawStmt = nullptr;
        sqliteCheck(raw, sqlite3_prepare_v2(raw, sql.c_str(), -1, &rawStmt, nullptr),
                    "The insert cannot be prepared");
        std::unique_ptr<sqlite3_stmt, StmtCloser> insert(rawStmt);

        mdb_rewind_table(table);
        long rows = 0;
        while (mdb_fetch_row(table)) {
            for (unsigned c = 0; c < table->num_cols; ++c) {
                BoundColumn& b = bound[c];
                const int n = static_cast<int>(c + 1);
                const int type = b.col->col_type;
                if (type == MDB_OLE) {
                    if (b.length == 0) {
                        sqlite3_bind_null(rawStmt, n);
                        continue;
                    }
                    size_t size = 0;
                    void* ole = mdb_ole_read_full(mdb.get(), b.col, &size);
                    if (!ole) {
                        // Nothing read: an empty value, or one whose pages
                        // are lost, which is not passed off as empty.
                        if ((mdb_get_int32(b.buffer.data(), 0) & 0x3FFFFFFF) != 0)
                            throw dao::DaoError(dao::errUnrecognizedFormat,
                                                "a value of '" + std::string(b.col->name) +
                                                    "' in table '" + t.name + "' cannot be read");
                        sqlite3_bind_zeroblob(rawStmt, n, 0);
                        continue;
                    }
                    sqlite3_bind_blob64(rawStmt, n, ole, size, SQLITE_TRANSIENT);
                    g_free(ole);
                    continue;
                }
                if (type != MDB_BOOL && b.length == 0) {
                    sqlite3_bind_null(rawStmt, n);
                    continue;
                }
                if (static_cast<size_t>(b.length) >= kBindSize - 1)
                    throw dao::DaoError(dao::errFieldTooSmall,
                                        "a value of '" + std::string(b.col->name) + "' in table '" +
                                            t.name + "' is longer than " +
                                            std::to_string(kBindSize - 1) + " bytes");
                if (type == MDB_BINARY)
                    sqlite3_bind_blob(rawStmt, n, b.buffer.data(), b.length, SQLITE_STATIC);
                else if (type == MDB_BOOL)
                    sqlite3_bind_int(rawStmt, n, b.buffer[0] == '1' ? 1 : 0);
                else
                    sqlite3_bind_text(rawStmt, n, b.buffer.data(), b.length, SQLITE_STATIC);
            }
            sqliteCheck(raw, sqlite3_step(rawStmt), "A record cannot be written");
            sqlite3_reset(rawStmt);
            sqlite3_clear_bindings(rawStmt);
            ++rows;
        }
        // libmdb keeps the bound pointers: unbind before the buffers go.
        for (unsigned c = 0; c < table->num_cols; ++c)
            mdb_bind_column(table, static_cast<int>(c + 1), nullptr, nullptr);
        if (rows != static_cast<long>(table->num_rows))
            throw dao::DaoError(dao::errUnrecognizedFormat,
                                "the table '" + t.name + "' says it holds " +
                                    std::to_string(table->num_rows) + " records, but " +
                                    std::to_string(rows) + " could be read");
        summary.push_back({t.name, static_cast<int>(table->num_cols), rows});
    }
    sqliteCheck(raw, sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr),
                "The new database cannot be written");
    return summary;
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The child's report: "T<tab>name<tab>columns<tab>rows" lines, or one
// "E<tab>reason" line.
std::string encodeSummary(const std::vector<JetTableSummary>& tables)
{
    std::string out;
    for (const JetTableSummary& t : tables)
        out += "T\t" + t.name + "\t" + std::to_string(t.columns) + "\t" + std::to_string(t.rows) +
               "\n";
    return out;
}

std::vector<JetTableSummary> decodeSummary(const std::string& report)
{
    std::vector<JetTableSummary> tables;
    std::istringstream in(report);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("E\t", 0) == 0)
            throw dao::DaoError(dao::errUnrecognizedFormat, line.substr(2));
        if (line.rfind("T\t", 0) != 0)
            continue;
        const size_t a = line.find('\t', 2);
        const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos)
            throw dao::DaoError(dao::errEngine, "the reader's report is garbled");
        tables.push_back({line.substr(2, a - 2), std::stoi(line.substr(a + 1, b - a - 1)),
                          std::stol(line.substr(b + 1))});
    }
    return tables;
}

// Runs the reader in a child process and reads its report.
std::string runReader(const std::string& jetPath, const std::string& target)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw dao::DaoError(dao::errEngine, std::string("no pipe: ") + std::strerror(errno));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw dao::DaoError(dao::errEngine, std::string("no process: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(fds[0]);
        // libmdb prints its complaints on standard error; they mean nothing
        // to the user, whose message comes from the report.
        if (const int null = ::open("/dev/null", O_WRONLY); null >= 0) {
            ::dup2(null, STDERR_FILENO);
            ::close(null);
        }
        std::string report;
        int code = 0;
        try {
            report = encodeSummary(copyJetTables(jetPath, target));
        } catch (const std::exception& e) {
            report = std::string("E\t") + e.what() + "\n";
            code = 1;
        } catch (...) {
            report = "E\tthe reader failed\n";
            code = 1;
        }
        writeAll(fds[1], report);
        ::close(fds[1]);
        ::_exit(code);
    }
    ::close(fds[1]);
    std::string report;
    char buf[4096];
    int waited = 0;
    bool stuck = false;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            waited += 100;
            if (waited >= kChildTimeLimitMs) {
                ::kill(pid, SIGKILL);
                stuck = true;
                break;
            }
            continue;
        }
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        report.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (stuck)
        throw dao::DaoError(dao::errUnrecognizedFormat, "the reader did not finish with it");
    if (WIFSIGNALED(status))
        throw dao::DaoError(dao::errUnrecognizedFormat,
                            "it is damaged (the reader stopped on signal " +
                                std::to_string(WTERMSIG(status)) + ")");
    if (report.empty())
        throw dao::DaoError(dao::errUnrecognizedFormat, "the reader gave no report");
    return report;
}

std::string fileNameOf(const fs::path& p)
{
    return p.filename().string();
}

} // namespace

bool IsJetHeader(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kHeaderMagicOffset + kJetMagic.size())
        return false;
    const std::string_view magic(reinterpret_cast<const char*>(bytes.data()) + kHeaderMagicOffset,
                                 kJetMagic.size());
    return magic == kJetMagic || magic == kAceMagic;
}

bool IsJetFile(const std::string& path)
{
    std::ifstream in(OsPath(path), std::ios::binary);
    if (!in)
        return false;
    uint8_t head[32] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return IsJetHeader(std::span<const uint8_t>(head, static_cast<size_t>(in.gcount())));
}

dao::Field JetColumnField(const std::string& name, int jetType, int jetTextBytes, bool unicode)
{
    dao::Field f;
    f.Name = name;
    switch (jetType) {
    case MDB_TEXT:
        f.Type = dao::dbText;
        f.Size = unicode ? jetTextBytes / 2 : jetTextBytes;
        if (f.Size <= 0)
            f.Size = 255;
        break;
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        f.Type = dao::dbNumeric;
        break;
    case MDB_DATETIME:
        f.Type = dao::dbText;
        f.Size = kDateLength;
        break;
    case MDB_REPID:
        f.Type = dao::dbText;
        f.Size = kRepIdLength;
        break;
    default: // memo, OLE, binary, complex
        f.Type = dao::dbMemo;
        break;
    }
    return f;
}

std::vector<JetTableSummary> ConvertJetToSqlite(const std::string& jetPath,
                                                const std::string& target)
{
    const fs::path jetFile = OsPath(jetPath);
    if (const std::string problem = jetFileProblem(jetFile); !problem.empty())
        throw dao::DaoError(dao::errUnrecognizedFormat, problem);
    std::error_code ec;
    const fs::path targetFile = OsPath(target);
    if (fs::exists(targetFile, ec))
        throw dao::DaoError(dao::errDatabaseExists, "'" + target + "' already exists");
    auto removeTarget = [&] {
        std::error_code ignored;
        fs::remove(targetFile, ignored);
        fs::remove(fs::path(targetFile.string() + "-journal"), ignored);
    };
    try {
        std::vector<JetTableSummary> tables = decodeSummary(runReader(jetPath, target));
        // What the reader wrote is read back: each table there, whole.
        dao::Database written = dao::DBEngine::Workspaces(0).OpenDatabase(target);
        for (const JetTableSummary& t : tables) {
            dao::Recordset r = written.OpenRecordset(t.name);
            if (r.RecordCount() != t.rows || static_cast<int>(r.fieldDefs().size()) != t.columns)
                throw dao::DaoError(dao::errEngine, "the converted table '" + t.name +
                                                        "' does not hold what was read");
            r.Close();
        }
        written.Close();
        return tables;
    } catch (...) {
        removeTarget();
        throw;
    }
}

fs::path KeptJetFileName(const fs::path& file)
{
    std::string stem = file.filename().string();
    std::string ext = ".mdb";
    if (stem.size() >= 4 &&
        equalsIgnoringAsciiCase(std::string_view(stem).substr(stem.size() - 4), ".mdb")) {
        ext = stem.substr(stem.size() - 4);
        stem.resize(stem.size() - 4);
    }
    std::error_code ec;
    for (int n = 1;; ++n) {
        const std::string number = n == 1 ? std::string() : std::to_string(n);
        const std::string name = concat({stem, ".jet", number.empty() ? "" : "-", number, ext});
        const fs::path candidate = file.parent_path() / name;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
    }
}

void CheckCatalogueTables(const std::string& sqlitePath, const std::vector<std::string>& tables)
{
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(sqlitePath);
    const std::vector<std::string> present = db.tableNames();
    for (const std::string& table : tables) {
        if (std::none_of(present.begin(), present.end(), [&](const std::string& name) {
                return equalsIgnoringAsciiCase(name, table);
            }))
            throw dao::DaoError(dao::errTableNotFound, "it has no table '" + table + "'");
        dao::Recordset r = db.OpenRecordset(table);
        for (const CatalogueField& field : kCatalogueFields) {
            bool found = false;
            for (const dao::Field& f : r.fieldDefs())
                found = found || equalsIgnoringAsciiCase(f.Name, field.name);
            if (!found)
                throw dao::DaoError(dao::errItemNotFound,
                                    "the table '" + table + "' has no field '" + field.name + "'");
        }
        r.Close();
    }
    db.Close();
}

JetConversion ConvertJetFileInPlace(const std::string& path, const JetConversionCheck& check,
                                    const std::string& shownName, std::string& message)
{
    message.clear();
    if (!IsJetFile(path))
        return JetConversion::NotJet;
    const fs::path real = dao::RealDatabaseFile(path);
    const fs::path building = fs::path(real.string() + ".converting");
    std::error_code ec;
    fs::remove(building, ec);
    fs::remove(fs::path(building.string() + "-journal"), ec);
    try {
        const std::vector<JetTableSummary> tables =
            ConvertJetToSqlite(real.string(), building.string());
        try {
            CheckCatalogueTables(building.string(), check.catalogueTables);
        } catch (...) {
            fs::remove(building, ec);
            throw;
        }
        // The Jet file gets its second name first, so that at every moment
        // the catalogue's name holds one whole database or the other.
        const fs::path kept = KeptJetFileName(real);
        fs::create_hard_link(real, kept, ec);
        if (ec) {
            ec.clear();
            fs::copy_file(real, kept, ec);
            if (ec) {
                fs::remove(building, ec);
                throw dao::DaoError(dao::errEngine, "the Jet file cannot be kept as '" +
                                                        fileNameOf(kept) + "': " + ec.message());
            }
        }
        try {
            dao::ReplaceDatabaseFile(building, real);
        } catch (...) {
            fs::remove(kept, ec);
            throw;
        }
        long records = 0;
        for (const JetTableSummary& t : tables)
            records += t.rows;
        message = "The catalogue \"" + shownName +
                  "\" was made by the Windows program (a Jet database) and has been converted "
                  "for Tavrin: " +
                  std::to_string(tables.size()) + (tables.size() == 1 ? " table, " : " tables, ") +
                  std::to_string(records) + (records == 1 ? " record" : " records") +
                  ".\n\nThe original file is kept as \"" + kept.string() + "\".";
        return JetConversion::Converted;
    } catch (const std::exception& e) {
        std::string reason = e.what();
        while (!reason.empty() && reason.back() == '.')
            reason.pop_back();
        message = "The catalogue \"" + shownName +
                  "\" is a Jet database made by the Windows program, but it cannot be converted: " +
                  reason + ".\n\nThe file has been left as it was.";
        return JetConversion::Failed;
    }
}

JetConversionCheck InternetCatalogueCheck()
{
    return JetConversionCheck{{"8bs", "tbl", "kov", "otbbs", "swth"}};
}

JetConversion ConvertJetFileInPlace(const std::string& path, std::string& message)
{
    return ConvertJetFileInPlace(path, JetConversionCheck{{kCatalogueTable}}, path, message);
}

} // namespace tavrin
