#pragma once
// A small data-access layer in the manner of DAO over SQLite 3: the engine's
// workspace 0, databases opened by path, table-type recordsets that walk every
// record in the table's own order (rowid order), table definitions with typed
// fields. Every failure throws DaoError with a number and a readable text.

#include <cstdint>
#include <functional>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace dao {

class Connection; // one open SQLite file, shared by a database and its recordsets

enum FieldType { dbText = 10, dbMemo = 12, dbNumeric = 19 };
enum RecordsetType { dbOpenTable = 1 };

// The general (English) sort order with code page 1252.
inline constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";

// Error numbers, as the Jet engine numbers the same conditions.
enum ErrorNumber {
    errNoCurrentRecord = 3021,
    errFileNotFound = 3024,
    errTableNotFound = 3078,
    errNoEditInProgress = 3020,
    errFieldTooSmall = 3163,
    errRecordDeleted = 3167,
    errDatabaseExists = 3204,
    errItemNotFound = 3265,
    errUnrecognizedFormat = 3343,
    errFileInUse = 3045,
    errTypeConversion = 3421,
    errEngine = 3000,
};

class DaoError : public std::runtime_error {
public:
    DaoError(int number, const std::string& description)
        : std::runtime_error(description), number_(number)
    {
    }
    int number() const { return number_; }

private:
    int number_;
};

// A field value: Null, text or a number.
class Value {
public:
    Value() = default;
    Value(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
    Value(const char* text) : kind_(Kind::Text), text_(text) {}
    Value(std::string_view text) : kind_(Kind::Text), text_(text) {}
    Value(int64_t number) : kind_(Kind::Number), number_(number) {}
    Value(int number) : kind_(Kind::Number), number_(number) {}

    bool isNull() const { return kind_ == Kind::Null; }
    bool isNumber() const { return kind_ == Kind::Number; }
    bool isText() const { return kind_ == Kind::Text; }
    // The stored text of a text value (empty for Null and numbers).
    const std::string& textData() const { return text_; }
    // The value as text: "" for Null, a number in plain decimal digits.
    std::string text() const;
    int64_t number() const { return number_; }
    // Null and empty text are not greater than the empty string; any other
    // value is.
    bool greaterThanEmpty() const;

    bool operator==(const Value& other) const = default;

    // Makes this value the given text or number, reusing the storage of the
    // text it held (a walk over many records then allocates nothing).
    void assignText(std::string_view text)
    {
        kind_ = Kind::Text;
        text_.assign(text.data(), text.size());
    }
    void assignNumber(int64_t number)
    {
        kind_ = Kind::Number;
        number_ = number;
        text_.clear();
    }
    void assignNull()
    {
        kind_ = Kind::Null;
        text_.clear();
    }

private:
    enum class Kind { Null, Text, Number };
    Kind kind_ = Kind::Null;
    std::string text_;
    int64_t number_ = 0;
};

struct Field {
    std::string Name;
    int Type = dbText;
    int Size = 0; // characters, for text fields; 0 for memo and numeric
};

class TableDef {
public:
    explicit TableDef(std::string name) : Name(std::move(name)) {}
    Field CreateField(const std::string& name, int type, int size = 0) const;
    // Fields().Append: fields stay in the order they are appended.
    void appendField(const Field& field);
    const std::vector<Field>& Fields() const { return fields_; }

    std::string Name;

private:
    std::vector<Field> fields_;
};

using Bookmark = int64_t; // a record's rowid

// A field of the current record as it lies in the engine's buffer.
struct FieldView {
    bool isNull;
    bool isNumber;
    std::string_view text; // a text value
    int64_t number;        // a number value
};

class Database;

class Recordset {
public:
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    bool BOF() const;
    bool isEOF() const; // EOF is a macro of the C library
    long RecordCount() const { return static_cast<long>(ids().size()); }

    // The current record's field, by name without regard to letter case.
    const Value& Fields(std::string_view name);
    // The current record's field by its position in the table (0 first);
    // FieldOrdinal finds the position of a name once for a loop.
    const Value& Fields(int ordinal);
    int FieldOrdinal(std::string_view name) const { return static_cast<int>(fieldIndex(name)); }
    // The same without a copy: the view is valid until the recordset moves
    // or changes (the loader's fast path over many records).
    FieldView fieldView(int ordinal);
    const std::vector<Field>& fieldDefs() const { return fields_; }

    // Reads every record in the table's own order, first to last, and hands
    // the fields at `ordinals` to `visit` (views valid during the call). The
    // recordset's position does not move. The loader's fast path: one pass
    // over the table.
    void forEachRecord(const std::vector<int>& ordinals,
                       const std::function<void(const std::vector<FieldView>&)>& visit);

    void AddNew();
    void Edit();
    // Assigns a field of the record being added or edited. Text longer than
    // a text field's size, or text that is no number for a numeric field, is
    // refused with an error; nothing is cut.
    void setField(std::string_view name, const Value& value);
    void Update();
    void CancelUpdate();
    void Delete();

    Bookmark LastModified() const;
    Bookmark bookmark() const;
    void setBookmark(Bookmark bookmark);

    void Close();

private:
    friend class Database;
    Recordset(std::shared_ptr<Connection> db, std::string table, std::vector<Field> fields);
    size_t fieldIndex(std::string_view name) const;
    void positionCursor();
    void loadCurrent();
    void requireCurrent() const;
    sqlite3_stmt* prepare(const std::string& sql) const;

    enum class EditMode { None, Edit, AddNew };

    std::shared_ptr<Connection> db_;
    std::string table_;
    std::vector<Field> fields_;
    std::vector<int64_t>& ids() const;
    mutable std::vector<int64_t> rowids_;
    mutable bool rowidsRead_ = false;
    long pos_ = 0; // -1: before the first record; size: after the last
    bool currentDeleted_ = false;
    std::vector<Value> current_;
    bool currentLoaded_ = false;
    std::vector<Value> buffer_;
    std::vector<bool> assigned_; // fields set since AddNew or Edit
    EditMode editMode_ = EditMode::None;
    std::optional<Bookmark> lastModified_;
    // A reading cursor that walks the table in rowid order; a write resets it.
    sqlite3_stmt* cursor_ = nullptr;
    long cursorPos_ = -2;
    sqlite3_stmt* updateStmt_ = nullptr;
};

class Database {
public:
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    ~Database(); // rolls back an open transaction and closes

    Recordset OpenRecordset(const std::string& name, int type = dbOpenTable);
    TableDef CreateTableDef(const std::string& name) const { return TableDef(name); }
    // TableDefs().Append: the table exists afterwards.
    void appendTableDef(const TableDef& def);
    std::vector<std::string> tableNames() const;
    std::string locale() const;

    void BeginTrans();
    void CommitTrans();
    void Rollback();

    void Close();
    const std::string& Name() const { return name_; }

private:
    friend class Workspace;
    friend bool ConvertOldMemoFields(const std::string& path);
    Database(std::shared_ptr<Connection> db, std::string name);
    Connection& connection() const;

    std::shared_ptr<Connection> db_;
    std::string name_;
};

class Workspace {
public:
    // Opens an existing database for shared reading and writing.
    Database OpenDatabase(const std::string& path) const;
    // Creates a new, empty database; an existing file is an error.
    Database CreateDatabase(const std::string& path, const std::string& locale) const;
};

class DBEngine {
public:
    static Workspace Workspaces(int index);
    // How long an operation waits for a lock that another program holds
    // before it fails with errFileInUse (5 seconds unless set).
    static void SetLockWait(int milliseconds);
};

// The field that a column declared with `declaredType` is, by SQLite's own
// affinity rules: text affinity with a size in parentheses is a text field
// of that size, text affinity without one a memo; integer and real affinity,
// and the declared names NUMERIC and DECIMAL, numeric; every other name
// (none, BLOB, STRING, MEMO) a memo whose values SQLite keeps as it stores them.
Field fieldFromDeclaration(std::string name, std::string_view declaredType);

// A catalogue file made when memo fields were declared "MEMO", a name to
// which SQLite gives numeric affinity (so that "007" was stored as 7), is
// converted once: a copy is made beside the file, its memo fields are
// declared "TEXT", the copy is checked against the file record by record and
// renamed over it (onto the target of a symbolic link, with the file's
// permissions). Nothing else in the file changes. Returns true when the file
// was converted, false when it was already in the new form or may not be
// changed (it is then read as it is). Throws DaoError; the file is then
// unchanged.
bool ConvertOldMemoFields(const std::string& path);

// The file that a database path names: the target of a symbolic link, with
// letter case matched as every path of the program is.
std::filesystem::path RealDatabaseFile(const std::string& path);

// Puts the complete file `built` in the place of the database file `real`
// (from RealDatabaseFile): with the permissions of the file it replaces, and
// without that file's journal or write-ahead log. Throws DaoError.
void ReplaceDatabaseFile(const std::filesystem::path& built, const std::filesystem::path& real);

} // namespace dao
