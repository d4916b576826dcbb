#include "Dao.h"

#include "core/Paths.h"
#include "core/TextHelpers.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace dao {

namespace {

constexpr const char* kPropertiesTable = "MSysDatabaseProperties";

// `text` between two `quote` characters, each one inside doubled.
std::string quoted(std::string_view text, char quote)
{
    std::string q(1, quote);
    for (char c : text) {
        q.push_back(c);
        if (c == quote)
            q.push_back(quote);
    }
    q.push_back(quote);
    return q;
}

// An identifier as SQL names it.
std::string sqlName(std::string_view identifier) { return quoted(identifier, '"'); }

// A text as an SQL string literal.
std::string sqlQuote(std::string_view text) { return quoted(text, '\''); }

std::string upperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    return upper;
}

// How a field of each type code is declared: text and memo with TEXT
// affinity, so that text that looks like a number stays text.
std::string declaredType(const Field& f)
{
    switch (f.Type) {
    case dbText:
        return "TEXT(" + std::to_string(f.Size > 0 ? f.Size : 255) + ")";
    case dbMemo:
        return "TEXT";
    case dbNumeric:
        return "NUMERIC";
    default:
        throw DaoError(errTypeConversion, "Field '" + f.Name + "' has an unknown type code " +
                                              std::to_string(f.Type) + ".");
    }
}

// The first number in parentheses of a declared type ("VARCHAR(40)",
// "DECIMAL(10,2)"), or 0.
int declaredSize(std::string_view decl)
{
    const size_t open = decl.find('(');
    if (open == std::string_view::npos)
        return 0;
    size_t at = open + 1;
    while (at < decl.size() && decl[at] == ' ')
        ++at;
    int size = 0;
    auto [p, ec] = std::from_chars(decl.data() + at, decl.data() + decl.size(), size);
    (void)p;
    return ec == std::errc() && size > 0 ? size : 0;
}

} // namespace

Field fieldFromDeclaration(std::string name, std::string_view declaredType)
{
    // SQLite's own affinity rules, in their order: a name holding "INT" is an
    // integer; "CHAR", "CLOB" or "TEXT" text; "BLOB" or no name keeps values
    // as given; "REAL", "FLOA" or "DOUB" a real number; anything else numeric.
    const std::string decl = upperAscii(declaredType);
    const auto holds = [&](const char* part) { return decl.find(part) != std::string::npos; };
    Field f;
    f.Name = std::move(name);
    if (holds("INT")) {
        f.Type = dbNumeric;
    } else if (holds("CHAR") || holds("CLOB") || holds("TEXT")) {
        // Text with a declared size keeps it; text without one (TEXT,
        // LONGTEXT, CLOB) holds text of any length.
        f.Size = declaredSize(decl);
        f.Type = f.Size > 0 ? dbText : dbMemo;
    } else if (decl.empty() || holds("BLOB")) {
        f.Type = dbMemo;
    } else if (holds("REAL") || holds("FLOA") || holds("DOUB") || decl.rfind("NUMERIC", 0) == 0 ||
               decl.rfind("DECIMAL", 0) == 0) {
        f.Type = dbNumeric;
    } else {
        // Other names with numeric affinity ("STRING", the old "MEMO",
        // "DATE") are no numbers to the program: SQLite stores text that is no
        // number in them as text, and the program never refuses it.
        f.Type = dbMemo;
    }
    return f;
}

namespace {

// How long a call waits for a lock that another program holds.
std::atomic<int> lockWaitMilliseconds{5000};

bool isLockResult(int rc)
{
    rc &= 0xFF;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

// The error of a failed engine call on the database `name`: a lock held by
// another program is named as such, so that nobody takes a good catalogue
// for a broken one.
[[noreturn]] void throwEngineError(int rc, const std::string& what, const std::string& name,
                                   const std::string& detail)
{
    if (isLockResult(rc))
        throw DaoError(errFileInUse, "Could not use '" + name +
                                         "'; the file is locked by another program (" + detail +
                                         "). Close that program and try again.");
    if ((rc & 0xFF) == SQLITE_NOTADB)
        throw DaoError(errUnrecognizedFormat,
                       "Unrecognized database format '" + name + "': " + detail + ".");
    throw DaoError(errEngine, what + " in '" + name + "': " + detail + ".");
}

} // namespace

// ---------------------------------------------------------------------------

class Connection {
public:
    Connection(sqlite3* db, std::string name) : db(db), name(std::move(name)) {}
    ~Connection()
    {
        if (db && !sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[noreturn]] void fail(const std::string& what) const
    {
        throwEngineError(sqlite3_extended_errcode(db), what, name, sqlite3_errmsg(db));
    }

    void exec(const std::string& sql) const
    {
        char* message = nullptr;
        if (const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
            rc != SQLITE_OK) {
            std::string text = message ? message : sqlite3_errmsg(db);
            sqlite3_free(message);
            throwEngineError(rc, "A database operation failed", name, text);
        }
    }

    sqlite3_stmt* prepare(const std::string& sql) const
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
            SQLITE_OK)
            fail("A statement could not be prepared");
        return stmt;
    }

    sqlite3* db;
    std::string name;
};

namespace {

// Owns a statement for the length of one call.
struct Statement {
    explicit Statement(sqlite3_stmt* s) : stmt(s) {}
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* stmt;
};

void bindValue(sqlite3_stmt* stmt, int index, const Value& v)
{
    if (v.isNull())
        sqlite3_bind_null(stmt, index);
    else if (v.isNumber())
        sqlite3_bind_int64(stmt, index, v.number());
    else {
        const std::string text = v.text();
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
}

void readColumn(sqlite3_stmt* stmt, int column, Value& out)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        out.assignNull();
        return;
    case SQLITE_INTEGER:
        out.assignNumber(static_cast<int64_t>(sqlite3_column_int64(stmt, column)));
        return;
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(stmt, column);
        if (std::floor(d) == d && std::fabs(d) < 9e15) {
            out.assignNumber(static_cast<int64_t>(d));
            return;
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", d);
        out.assignText(buf);
        return;
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        const int bytes = sqlite3_column_bytes(stmt, column);
        out.assignText(std::string_view(text ? text : "", static_cast<size_t>(bytes)));
        return;
    }
    }
}

// A column of the statement's current row as a view; numbers of the real
// kind are written into `scratch` as the field reader writes them.
FieldView viewColumn(sqlite3_stmt* stmt, int column, std::string& scratch)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return FieldView{true, false, {}, 0};
    case SQLITE_INTEGER:
        return FieldView{false, true, {}, sqlite3_column_int64(stmt, column)};
    case SQLITE_FLOAT: {
        Value v;
        readColumn(stmt, column, v);
        if (v.isNumber())
            return FieldView{false, true, {}, v.number()};
        scratch = v.textData();
        return FieldView{false, false, scratch, 0};
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        const int bytes = sqlite3_column_bytes(stmt, column);
        return FieldView{false, false, std::string_view(text ? text : "", static_cast<size_t>(bytes)), 0};
    }
    }
}

} // namespace

// ---------------------------------------------------------------------------

std::string Value::text() const
{
    switch (kind_) {
    case Kind::Null:
        return {};
    case Kind::Number:
        return std::to_string(number_);
    case Kind::Text:
        break;
    }
    return text_;
}

bool Value::greaterThanEmpty() const
{
    return kind_ == Kind::Number || (kind_ == Kind::Text && !text_.empty());
}

Field TableDef::CreateField(const std::string& name, int type, int size) const
{
    Field f;
    f.Name = name;
    f.Type = type;
    f.Size = size;
    return f;
}

void TableDef::appendField(const Field& field)
{
    for (const Field& f : fields_)
        if (tavrin::equalsIgnoringAsciiCase(f.Name, field.Name))
            throw DaoError(3191, "The field '" + field.Name + "' is defined twice in the table '" +
                                     Name + "'.");
    fields_.push_back(field);
}

// ---------------------------------------------------------------------------

void DBEngine::SetLockWait(int milliseconds) { lockWaitMilliseconds = std::max(milliseconds, 0); }

Workspace DBEngine::Workspaces(int index)
{
    if (index != 0)
        throw DaoError(errItemNotFound, "Item not found in this collection: workspace " +
                                            std::to_string(index) + ".");
    return Workspace();
}

Database Workspace::OpenDatabase(const std::string& path) const
{
    const std::filesystem::path file = tavrin::OsPath(path);
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(file, ec))
        throw DaoError(errFileNotFound, "Could not find file '" + path + "'.");
    sqlite3* raw = nullptr;
    // A connection serves one operation on one thread: it needs no mutex of
    // its own, which saves a lock on every field read.
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    auto connection = std::make_shared<Connection>(raw, path);
    if (rc != SQLITE_OK)
        throw DaoError(errFileNotFound, "Could not open file '" + path + "': " +
                                            (raw ? sqlite3_errmsg(raw) : "out of memory") + ".");
    sqlite3_busy_timeout(raw, lockWaitMilliseconds);
    sqlite3_extended_result_codes(raw, 1);
    // Opening reads nothing; the first look at the schema tells whether the
    // file is a database at all.
    connection->exec("SELECT count(*) FROM sqlite_master");
    return Database(connection, path);
}

Database Workspace::CreateDatabase(const std::string& path, const std::string& locale) const
{
    const std::filesystem::path file = tavrin::OsPath(path);
    std::error_code ec;
    if (std::filesystem::exists(file, ec))
        throw DaoError(errDatabaseExists, "Database '" + path + "' already exists.");
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    auto connection = std::make_shared<Connection>(raw, path);
    if (rc != SQLITE_OK)
        throw DaoError(errFileNotFound, "Could not create the database '" + path + "': " +
                                            (raw ? sqlite3_errmsg(raw) : "out of memory") + ".");
    sqlite3_busy_timeout(raw, lockWaitMilliseconds);
    connection->exec(std::string("CREATE TABLE ") + sqlName(kPropertiesTable) +
                     " (\"Name\" TEXT PRIMARY KEY, \"Value\" TEXT)");
    Statement insert(connection->prepare(std::string("INSERT INTO ") + sqlName(kPropertiesTable) +
                                         " VALUES ('Locale', ?1)"));
    sqlite3_bind_text(insert.stmt, 1, locale.data(), static_cast<int>(locale.size()),
                      SQLITE_TRANSIENT);
    if (sqlite3_step(insert.stmt) != SQLITE_DONE)
        connection->fail("The locale could not be stored");
    return Database(connection, path);
}

// ---------------------------------------------------------------------------

Database::Database(std::shared_ptr<Connection> db, std::string name)
    : db_(std::move(db)), name_(std::move(name))
{
}

Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

Connection& Database::connection() const
{
    if (!db_)
        throw DaoError(3420, "Object invalid or no longer set: the database '" + name_ +
                                 "' is closed.");
    return *db_;
}

void Database::Close()
{
    if (db_ && !sqlite3_get_autocommit(db_->db))
        db_->exec("ROLLBACK");
    db_.reset();
}

void Database::BeginTrans()
{
    // A transaction may rewrite every record: a page cache that holds the
    // changed pages saves spilling them (and syncing the journal) part way
    // through. Reading needs no more than the default cache.
    connection().exec("PRAGMA cache_size = -65536");
    connection().exec("BEGIN IMMEDIATE");
}
void Database::CommitTrans() { connection().exec("COMMIT"); }
void Database::Rollback() { connection().exec("ROLLBACK"); }

std::vector<std::string> Database::tableNames() const
{
    Connection& c = connection();
    Statement s(c.prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                          "'sqlite_%' ORDER BY name"));
    std::vector<std::string> names;
    while (sqlite3_step(s.stmt) == SQLITE_ROW)
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 0)));
    return names;
}

std::string Database::locale() const
{
    Connection& c = connection();
    sqlite3_stmt* raw = nullptr;
    const std::string sql = std::string("SELECT \"Value\" FROM ") + sqlName(kPropertiesTable) +
                            " WHERE \"Name\" = 'Locale'";
    if (sqlite3_prepare_v2(c.db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        return {};
    Statement s(raw);
    if (sqlite3_step(s.stmt) != SQLITE_ROW)
        return {};
    return reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 0));
}

void Database::appendTableDef(const TableDef& def)
{
    if (def.Fields().empty())
        throw DaoError(3286, "The table '" + def.Name + "' has no fields.");
    std::string sql = "CREATE TABLE " + sqlName(def.Name) + " (";
    bool first = true;
    for (const Field& f : def.Fields()) {
        if (!first)
            sql += ", ";
        first = false;
        sql += sqlName(f.Name) + " " + declaredType(f);
    }
    sql += ")";
    connection().exec(sql);
}

Recordset Database::OpenRecordset(const std::string& name, int type)
{
    if (type != dbOpenTable)
        throw DaoError(3001, "Invalid argument: only table-type recordsets are supported.");
    Connection& c = connection();
    Statement info(c.prepare("SELECT name, type FROM pragma_table_info(?1)"));
    sqlite3_bind_text(info.stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    std::vector<Field> fields;
    while (sqlite3_step(info.stmt) == SQLITE_ROW) {
        const auto* n = reinterpret_cast<const char*>(sqlite3_column_text(info.stmt, 0));
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(info.stmt, 1));
        fields.push_back(fieldFromDeclaration(n ? n : "", t ? t : ""));
    }
    if (fields.empty())
        throw DaoError(errTableNotFound,
                       "Cannot find the table '" + name + "' in the database '" + name_ + "'.");
    return Recordset(db_, name, std::move(fields));
}

// ---------------------------------------------------------------------------

Recordset::Recordset(std::shared_ptr<Connection> db, std::string table, std::vector<Field> fields)
    : db_(std::move(db)), table_(std::move(table)), fields_(std::move(fields))
{
    pos_ = 0;
}

// The rowids of every record, read when first asked for: a caller that only
// walks the table once with forEachRecord never needs them.
std::vector<int64_t>& Recordset::ids() const
{
    if (!rowidsRead_) {
        if (!db_)
            throw DaoError(3420, "Object invalid or no longer set: the recordset is closed.");
        Statement list(db_->prepare("SELECT rowid FROM " + sqlName(table_) + " ORDER BY rowid"));
        int rc;
        while ((rc = sqlite3_step(list.stmt)) == SQLITE_ROW)
            rowids_.push_back(sqlite3_column_int64(list.stmt, 0));
        if (rc != SQLITE_DONE)
            db_->fail("The table '" + table_ + "' could not be read");
        rowidsRead_ = true;
    }
    return rowids_;
}

void Recordset::forEachRecord(const std::vector<int>& ordinals,
                              const std::function<void(const std::vector<FieldView>&)>& visit)
{
    if (!db_)
        throw DaoError(3420, "Object invalid or no longer set: the recordset is closed.");
    std::string sql = "SELECT ";
    for (size_t i = 0; i < ordinals.size(); ++i) {
        if (ordinals[i] < 0 || static_cast<size_t>(ordinals[i]) >= fields_.size())
            throw DaoError(errItemNotFound, "Item not found in this collection: the table '" +
                                                table_ + "' has no field number " +
                                                std::to_string(ordinals[i]) + ".");
        sql += (i ? ", " : "") + sqlName(fields_[static_cast<size_t>(ordinals[i])].Name);
    }
    sql += " FROM " + sqlName(table_) + " ORDER BY rowid";
    Statement scan(db_->prepare(sql));
    std::vector<FieldView> views(ordinals.size());
    std::vector<std::string> scratch(ordinals.size());
    int rc;
    while ((rc = sqlite3_step(scan.stmt)) == SQLITE_ROW) {
        for (size_t i = 0; i < views.size(); ++i)
            views[i] = viewColumn(scan.stmt, static_cast<int>(i), scratch[i]);
        visit(views);
    }
    if (rc != SQLITE_DONE)
        db_->fail("The table '" + table_ + "' could not be read");
}

Recordset::Recordset(Recordset&& other) noexcept { *this = std::move(other); }

Recordset& Recordset::operator=(Recordset&& other) noexcept
{
    if (this != &other) {
        Close();
        db_ = std::move(other.db_);
        table_ = std::move(other.table_);
        fields_ = std::move(other.fields_);
        rowids_ = std::move(other.rowids_);
        rowidsRead_ = other.rowidsRead_;
        pos_ = other.pos_;
        currentDeleted_ = other.currentDeleted_;
        current_ = std::move(other.current_);
        currentLoaded_ = other.currentLoaded_;
        buffer_ = std::move(other.buffer_);
        assigned_ = std::move(other.assigned_);
        editMode_ = other.editMode_;
        lastModified_ = other.lastModified_;
        cursor_ = std::exchange(other.cursor_, nullptr);
        cursorPos_ = other.cursorPos_;
        updateStmt_ = std::exchange(other.updateStmt_, nullptr);
    }
    return *this;
}

Recordset::~Recordset() { Close(); }

void Recordset::Close()
{
    sqlite3_finalize(cursor_);
    sqlite3_finalize(updateStmt_);
    cursor_ = nullptr;
    updateStmt_ = nullptr;
    db_.reset();
}

bool Recordset::BOF() const { return ids().empty() || pos_ < 0; }
bool Recordset::isEOF() const
{
    return ids().empty() || pos_ >= static_cast<long>(ids().size());
}

void Recordset::requireCurrent() const
{
    if (!db_)
        throw DaoError(3420, "Object invalid or no longer set: the recordset is closed.");
    if (currentDeleted_)
        throw DaoError(errRecordDeleted, "Record is deleted.");
    if (BOF() || isEOF())
        throw DaoError(errNoCurrentRecord, "No current record.");
}

void Recordset::MoveFirst()
{
    if (ids().empty())
        throw DaoError(errNoCurrentRecord, "No current record.");
    pos_ = 0;
    currentDeleted_ = false;
    currentLoaded_ = false;
}

void Recordset::MoveLast()
{
    if (ids().empty())
        throw DaoError(errNoCurrentRecord, "No current record.");
    pos_ = static_cast<long>(ids().size()) - 1;
    currentDeleted_ = false;
    currentLoaded_ = false;
}

void Recordset::MoveNext()
{
    currentLoaded_ = false;
    if (currentDeleted_) {
        // The position already names the record after the deleted one, or
        // the end of the table when the last record went.
        currentDeleted_ = false;
        return;
    }
    if (isEOF())
        throw DaoError(errNoCurrentRecord, "No current record.");
    ++pos_;
}

void Recordset::MovePrevious()
{
    if (BOF())
        throw DaoError(errNoCurrentRecord, "No current record.");
    currentDeleted_ = false;
    --pos_;
    currentLoaded_ = false;
}

size_t Recordset::fieldIndex(std::string_view name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (tavrin::equalsIgnoringAsciiCase(fields_[i].Name, name))
            return i;
    throw DaoError(errItemNotFound, "Item not found in this collection: the table '" + table_ +
                                        "' has no field '" + std::string(name) + "'.");
}

void Recordset::positionCursor()
{
    if (cursorPos_ == pos_ && cursorPos_ >= 0)
        return;
    const int64_t wanted = ids()[static_cast<size_t>(pos_)];
    if (!cursor_) {
        std::string sql = "SELECT rowid";
        for (const Field& f : fields_)
            sql += ", " + sqlName(f.Name);
        sql += " FROM " + sqlName(table_) + " WHERE rowid >= ?1 ORDER BY rowid";
        cursor_ = db_->prepare(sql);
        cursorPos_ = -2;
    }
    // Walking forward one record at a time is a step of the open cursor;
    // anything else seeks afresh.
    bool stepped = false;
    if (cursorPos_ >= 0 && cursorPos_ + 1 == pos_) {
        stepped = sqlite3_step(cursor_) == SQLITE_ROW && sqlite3_column_int64(cursor_, 0) == wanted;
    }
    if (!stepped) {
        sqlite3_reset(cursor_);
        sqlite3_bind_int64(cursor_, 1, wanted);
        const int rc = sqlite3_step(cursor_);
        if (rc != SQLITE_ROW || sqlite3_column_int64(cursor_, 0) != wanted) {
            cursorPos_ = -2;
            sqlite3_reset(cursor_);
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                db_->fail("A record of the table '" + table_ + "' could not be read");
            throw DaoError(errRecordDeleted, "Record is deleted: another user removed it.");
        }
    }
    cursorPos_ = pos_;
}

void Recordset::loadCurrent()
{
    if (currentLoaded_)
        return;
    positionCursor();
    current_.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i)
        readColumn(cursor_, static_cast<int>(i) + 1, current_[i]);
    currentLoaded_ = true;
}

FieldView Recordset::fieldView(int ordinal)
{
    if (ordinal < 0 || static_cast<size_t>(ordinal) >= fields_.size() ||
        editMode_ != EditMode::None) {
        const Value& v = Fields(ordinal); // the checks, and the edit buffer
        return FieldView{v.isNull(), v.isNumber(), v.textData(), v.number()};
    }
    requireCurrent();
    positionCursor();
    const int column = ordinal + 1;
    switch (sqlite3_column_type(cursor_, column)) {
    case SQLITE_NULL:
        return FieldView{true, false, {}, 0};
    case SQLITE_INTEGER:
        return FieldView{false, true, {}, sqlite3_column_int64(cursor_, column)};
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(cursor_, column));
        const int bytes = sqlite3_column_bytes(cursor_, column);
        return FieldView{false, false, std::string_view(text ? text : "", static_cast<size_t>(bytes)), 0};
    }
    default: {
        const Value& v = Fields(ordinal); // floats and blobs as Fields reads them
        return FieldView{v.isNull(), v.isNumber(), v.textData(), v.number()};
    }
    }
}

const Value& Recordset::Fields(std::string_view name)
{
    return Fields(static_cast<int>(fieldIndex(name)));
}

const Value& Recordset::Fields(int ordinal)
{
    if (ordinal < 0 || static_cast<size_t>(ordinal) >= fields_.size())
        throw DaoError(errItemNotFound, "Item not found in this collection: the table '" + table_ +
                                            "' has no field number " + std::to_string(ordinal) + ".");
    const size_t i = static_cast<size_t>(ordinal);
    if (editMode_ == EditMode::AddNew || (editMode_ == EditMode::Edit && assigned_[i]))
        return buffer_[i];
    requireCurrent();
    loadCurrent();
    return current_[i];
}

void Recordset::AddNew()
{
    if (!db_)
        throw DaoError(3420, "Object invalid or no longer set: the recordset is closed.");
    ids(); // the records as they were before this one is added
    buffer_.assign(fields_.size(), Value());
    assigned_.assign(fields_.size(), false);
    editMode_ = EditMode::AddNew;
}

void Recordset::Edit()
{
    // The stored values are read only for the fields that the edit leaves
    // alone, at Update: a caller that assigns every field reads nothing.
    requireCurrent();
    buffer_.assign(fields_.size(), Value());
    assigned_.assign(fields_.size(), false);
    editMode_ = EditMode::Edit;
}

void Recordset::setField(std::string_view name, const Value& value)
{
    if (editMode_ == EditMode::None)
        throw DaoError(errNoEditInProgress, "Update or CancelUpdate without AddNew or Edit.");
    const size_t i = fieldIndex(name);
    const Field& f = fields_[i];
    assigned_[i] = true;
    if (value.isNull()) {
        buffer_[i] = value;
        return;
    }
    if (f.Type == dbNumeric) {
        if (value.isNumber()) {
            buffer_[i] = value;
            return;
        }
        const std::string text = value.text();
        int64_t n = 0;
        auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || p != text.data() + text.size())
            throw DaoError(errTypeConversion, "Data type conversion error: '" + text +
                                                  "' is no number for the field '" + f.Name + "'.");
        buffer_[i] = Value(n);
        return;
    }
    std::string text = value.text();
    if (f.Type == dbText) {
        const size_t length = tavrin::utf8CharacterCount(text);
        if (length > static_cast<size_t>(f.Size))
            throw DaoError(errFieldTooSmall,
                           "The field '" + f.Name + "' is too small for the value: it holds " +
                               std::to_string(f.Size) + " characters and the value has " +
                               std::to_string(length) + ".");
    }
    buffer_[i] = Value(std::move(text));
}

void Recordset::CancelUpdate()
{
    editMode_ = EditMode::None;
    buffer_.clear();
}

void Recordset::Update()
{
    if (editMode_ == EditMode::None)
        throw DaoError(errNoEditInProgress, "Update or CancelUpdate without AddNew or Edit.");
    if (editMode_ == EditMode::Edit) {
        requireCurrent();
        if (std::find(assigned_.begin(), assigned_.end(), false) != assigned_.end()) {
            loadCurrent();
            for (size_t i = 0; i < fields_.size(); ++i)
                if (!assigned_[i])
                    buffer_[i] = current_[i];
        }
    }
    // A write invalidates the reading cursor's position.
    if (cursor_)
        sqlite3_reset(cursor_);
    cursorPos_ = -2;
    currentLoaded_ = false;
    if (editMode_ == EditMode::Edit) {
        requireCurrent();
        if (!updateStmt_) {
            std::string sql = "UPDATE " + sqlName(table_) + " SET ";
            for (size_t i = 0; i < fields_.size(); ++i)
                sql += (i ? ", " : "") + sqlName(fields_[i].Name) + " = ?" + std::to_string(i + 1);
            sql += " WHERE rowid = ?" + std::to_string(fields_.size() + 1);
            updateStmt_ = db_->prepare(sql);
        }
        sqlite3_reset(updateStmt_);
        for (size_t i = 0; i < fields_.size(); ++i)
            bindValue(updateStmt_, static_cast<int>(i) + 1, buffer_[i]);
        const int64_t rowid = ids()[static_cast<size_t>(pos_)];
        sqlite3_bind_int64(updateStmt_, static_cast<int>(fields_.size()) + 1, rowid);
        if (sqlite3_step(updateStmt_) != SQLITE_DONE) {
            sqlite3_reset(updateStmt_);
            db_->fail("The record could not be updated");
        }
        sqlite3_reset(updateStmt_);
        if (sqlite3_changes(db_->db) == 0)
            throw DaoError(errRecordDeleted, "Record is deleted: another user removed it.");
        lastModified_ = rowid;
    } else {
        std::string sql = "INSERT INTO " + sqlName(table_) + " (";
        std::string values;
        for (size_t i = 0; i < fields_.size(); ++i) {
            sql += (i ? ", " : "") + sqlName(fields_[i].Name);
            values += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        sql += ") VALUES (" + values + ")";
        Statement insert(db_->prepare(sql));
        for (size_t i = 0; i < fields_.size(); ++i)
            bindValue(insert.stmt, static_cast<int>(i) + 1, buffer_[i]);
        if (sqlite3_step(insert.stmt) != SQLITE_DONE)
            db_->fail("The record could not be added");
        const int64_t rowid = sqlite3_last_insert_rowid(db_->db);
        const auto at = std::lower_bound(ids().begin(), ids().end(), rowid);
        const long index = static_cast<long>(at - ids().begin());
        ids().insert(at, rowid);
        if (index <= pos_)
            ++pos_; // the current record (or end of file) keeps its place
        lastModified_ = rowid;
    }
    editMode_ = EditMode::None;
    buffer_.clear();
}

void Recordset::Delete()
{
    requireCurrent();
    if (cursor_)
        sqlite3_reset(cursor_);
    cursorPos_ = -2;
    const int64_t rowid = ids()[static_cast<size_t>(pos_)];
    Statement del(db_->prepare("DELETE FROM " + sqlName(table_) + " WHERE rowid = ?1"));
    sqlite3_bind_int64(del.stmt, 1, rowid);
    if (sqlite3_step(del.stmt) != SQLITE_DONE)
        db_->fail("The record could not be deleted");
    ids().erase(ids().begin() + pos_);
    currentDeleted_ = true;
    currentLoaded_ = false;
}

Bookmark Recordset::LastModified() const
{
    if (!lastModified_)
        throw DaoError(errNoCurrentRecord, "No current record: nothing was added or changed.");
    return *lastModified_;
}

Bookmark Recordset::bookmark() const
{
    requireCurrent();
    return ids()[static_cast<size_t>(pos_)];
}

void Recordset::setBookmark(Bookmark bookmark)
{
    const auto at = std::lower_bound(ids().begin(), ids().end(), bookmark);
    if (at == ids().end() || *at != bookmark)
        throw DaoError(3159, "Not a valid bookmark.");
    pos_ = static_cast<long>(at - ids().begin());
    currentDeleted_ = false;
    currentLoaded_ = false;
}

} // namespace dao

// ---------------------------------------------------------------------------
// Replacing a database file and converting the old form.

namespace dao {

std::filesystem::path RealDatabaseFile(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path file = tavrin::OsPath(path);
    std::error_code ec;
    // A symbolic link is followed to the file it names (to the place where
    // that file would be, when the link dangles), so that the link stays.
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(file, ec)); ++hops) {
        const fs::path target = fs::read_symlink(file, ec);
        if (ec)
            break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    const fs::path real = fs::weakly_canonical(file, ec);
    return ec ? file : real;
}

void ReplaceDatabaseFile(const std::filesystem::path& built, const std::filesystem::path& real)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status old = fs::status(real, ec);
    if (!ec && fs::exists(old))
        fs::permissions(built, old.permissions(), ec);
    // A journal or write-ahead log of the old file would be applied to the
    // new one by the next program that opens it.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        fs::remove(fs::path(real.string() + suffix), ec);
    fs::rename(built, real, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(built, ignored);
        throw DaoError(errEngine, "The new database could not replace '" +
                                      real.string() + "': " + ec.message() + ".");
    }
}

namespace {

// The declaration of a table with every bare word MEMO (not a quoted name)
// written TEXT, and the name of the table replaced by `newName`.
std::string declarationWithTextMemos(std::string_view sql, const std::string& newName)
{
    std::string out;
    size_t i = 0;
    bool renamed = false;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '"' || c == '\'' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            size_t end = i + 1;
            while (end < sql.size() && sql[end] != close)
                ++end;
            out.append(sql.substr(i, end + 1 - i));
            i = end + 1;
            continue;
        }
        if (c == '(' && !renamed) {
            // Everything before the column list is "CREATE TABLE name".
            out = "CREATE TABLE " + sqlName(newName) + " ";
            renamed = true;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t end = i;
            while (end < sql.size() &&
                   (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_'))
                ++end;
            const std::string_view word = sql.substr(i, end - i);
            out.append(renamed && tavrin::equalsIgnoringAsciiCase(word, "MEMO") ? "TEXT" : word);
            i = end;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

struct SqliteFile {
    sqlite3* db = nullptr;
    ~SqliteFile() { sqlite3_close_v2(db); }
};

std::vector<std::string> columnTexts(sqlite3* db, const std::string& sql, const std::string& name)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throwEngineError(sqlite3_extended_errcode(db), "The database could not be read", name,
                         sqlite3_errmsg(db));
    Statement s(raw);
    std::vector<std::string> out;
    int rc;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 0));
        out.emplace_back(text ? text : "");
    }
    if (rc != SQLITE_DONE)
        throwEngineError(rc, "The database could not be read", name, sqlite3_errmsg(db));
    return out;
}

// Rebuilds one table of the open copy with its memo fields declared TEXT:
// same columns, same rowids, same indexes and triggers.
void convertTable(const Connection& copy, const std::string& table)
{
    const std::string sql = columnTexts(copy.db,
                                        "SELECT sql FROM sqlite_master WHERE type = 'table' AND "
                                        "name = " + sqlQuote(table),
                                        copy.name)
                                .at(0);
    const std::vector<std::string> extras = columnTexts(
        copy.db,
        "SELECT sql FROM sqlite_master WHERE type IN ('index', 'trigger') AND sql IS NOT NULL "
        "AND tbl_name = " + sqlQuote(table),
        copy.name);
    const std::vector<std::string> columns =
        columnTexts(copy.db, "SELECT name FROM pragma_table_info(" + sqlQuote(table) + ")", copy.name);
    std::string list = "rowid";
    for (const std::string& c : columns)
        list += ", " + sqlName(c);
    const std::string building = "tavrin_converting_" + table;
    copy.exec(declarationWithTextMemos(sql, building));
    copy.exec("INSERT INTO " + sqlName(building) + " (" + list + ") SELECT " + list + " FROM " +
              sqlName(table));
    copy.exec("DROP TABLE " + sqlName(table));
    copy.exec("ALTER TABLE " + sqlName(building) + " RENAME TO " + sqlName(table));
    for (const std::string& extra : extras)
        copy.exec(extra);
}

// The copy holds every record of the original with the same text in every
// field, and is a sound database file.
void checkConvertedCopy(const Connection& copy, const std::vector<std::string>& tables,
                        const std::string& original)
{
    copy.exec("ATTACH DATABASE " + sqlQuote(original) + " AS original");
    for (const std::string& table : tables) {
        const std::vector<std::string> columns = columnTexts(
            copy.db, "SELECT name FROM pragma_table_info(" + sqlQuote(table) + ")", copy.name);
        std::string differ = "o.rowid IS NOT c.rowid";
        for (const std::string& c : columns)
            differ += " OR CAST(o." + sqlName(c) + " AS TEXT) IS NOT CAST(c." + sqlName(c) +
                      " AS TEXT)";
        const std::string from = " FROM original." + sqlName(table) + " o FULL JOIN main." +
                                 sqlName(table) + " c ON o.rowid = c.rowid";
        const std::string count = columnTexts(copy.db, "SELECT count(*)" + from + " WHERE " + differ,
                                              copy.name)
                                      .at(0);
        if (count != "0")
            throw DaoError(errEngine, "The converted copy of '" + copy.name + "' differs from it in " +
                                          count + " records of the table '" + table +
                                          "'; the file was left as it was.");
    }
    copy.exec("DETACH DATABASE original");
    const std::vector<std::string> check = columnTexts(copy.db, "PRAGMA integrity_check", copy.name);
    if (check.size() != 1 || check[0] != "ok")
        throw DaoError(errEngine, "The converted copy of '" + copy.name +
                                      "' failed its check; the file was left as it was.");
}

} // namespace

bool ConvertOldMemoFields(const std::string& path)
{
    namespace fs = std::filesystem;
    const fs::path real = RealDatabaseFile(path);
    // A catalogue that may not be changed here (a read-only file or folder)
    // is read as it is.
    const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    if (::access(real.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0)
        return false;
    std::vector<std::string> tables;
    {
        // Opening checks that the file is there and is a database.
        Database original = DBEngine::Workspaces(0).OpenDatabase(path);
        tables = columnTexts(original.connection().db,
                             "SELECT DISTINCT m.name FROM sqlite_master m, "
                             "pragma_table_info(m.name) p WHERE m.type = 'table' AND "
                             "upper(p.type) = 'MEMO' ORDER BY m.name",
                             path);
        if (tables.empty())
            return false;
        const fs::path copyPath = fs::path(real.string() + ".convert");
        std::error_code ec;
        fs::remove(copyPath, ec);
        fs::remove(fs::path(copyPath.string() + "-journal"), ec);
        try {
            original.connection().exec("VACUUM INTO " + sqlQuote(copyPath.string()));
            SqliteFile raw;
            if (sqlite3_open_v2(copyPath.c_str(), &raw.db, SQLITE_OPEN_READWRITE, nullptr) !=
                SQLITE_OK)
                throw DaoError(errEngine, "The converted copy of '" + path + "' could not be opened.");
            Connection copy(std::exchange(raw.db, nullptr), path);
            sqlite3_extended_result_codes(copy.db, 1);
            copy.exec("BEGIN IMMEDIATE");
            for (const std::string& table : tables)
                convertTable(copy, table);
            copy.exec("COMMIT");
            checkConvertedCopy(copy, tables, real.string());
        } catch (...) {
            fs::remove(copyPath, ec);
            throw;
        }
        original.Close();
        ReplaceDatabaseFile(copyPath, real);
    }
    return true;
}

} // namespace dao
