#pragma once
// The record editor behind the two record windows: "New record" appends one
// record to the catalogue and lets the user fill it in, "Edit record" changes
// or deletes the record of the grid's selected row. Each editor holds its own
// connection to the catalogue file while its window is open, and brings the
// main window's grid up to date after a save or a delete.

#include "Dao.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin
{

struct Form1State;
class Prompt;

enum class RecordWindowKind { New, Edit };

// The seven boxes of a record window, in the order the fields are written.
enum RecordBox {
    boxPublisher,
    boxSoftware,
    boxGenre,
    boxFilepath,
    boxData1,
    boxData2,
    boxDescription1,
    kRecordBoxCount
};
using RecordBoxes = std::array<std::string, kRecordBoxCount>;

// How Update writes a box into its field.
enum class FieldRule {
    Box,            // the box's text
    BoxOrSpace,     // the box's text, " " when the box is empty
    Zero,           // "0", whatever the box holds
    BoxOrUnchanged, // the box's text when non-empty, else the stored value stays
};

struct RecordFieldRules {
    const char* field; // the field's name in the table
    bool mandatory;    // the box must not be empty
    FieldRule onNew;   // the New window's rule
    FieldRule onEdit;  // the Edit window's rule
};

// One row per box, in RecordBox order.
extern const std::array<RecordFieldRules, kRecordBoxCount> kRecordFields;

// The value Update writes for one field: nullopt leaves the stored value.
std::optional<std::string> FieldValueFor(FieldRule rule, const std::string& box);

// The name of the last folder of a path: everything after its last separator
// ("\" or "/"); "" when the path ends in one; the whole text when it holds
// none.
std::string GetSingleDirName(std::string_view sScanString);

// The path a catalogue record stores for `file` (absolute): relative to the
// application folder, with "\" between its parts, when the file lies inside
// it; the full path otherwise.
std::string CataloguePathFor(const std::string& file, const std::string& appFolder);

// True for the extensions a record may point at: ".dsd", ".bbc", ".img",
// ".ssd", ".uef" and ".zip", compared on the name's last four characters,
// lower-cased.
bool IsSoftwareFileName(std::string_view name);

// What a click on a file of the file list puts into the boxes.
struct FileChoice {
    std::string filepath;
    std::optional<std::string> publisher; // New window only
};

inline constexpr const char* kNoDataInTable = "No Data in Table!";
inline constexpr const char* kMandatoryFields =
    "The Software, Publisher and Filepath fields must contain data";
inline constexpr const char* kRecordNotFound =
    "The selected record cannot be found in the catalogue; it may have been changed or "
    "removed since the list was loaded. Nothing was changed.";

class RecordEditor
{
  public:
    RecordEditor(RecordWindowKind kind, Form1State& f, Prompt& prompt);
    // A New window's record that was never saved is removed with the window
    // (also when the program ends with the window open). The main window's
    // state is not touched here: it may already be gone.
    ~RecordEditor();
    RecordEditor(const RecordEditor&) = delete;
    RecordEditor& operator=(const RecordEditor&) = delete;

    // The load steps: opens the catalogue named by sDatabaseFile, finds the
    // record of the grid's selected row and, in the New window, appends the
    // blank record. False when the window cannot open; the reason has been
    // shown.
    bool load();

    // The boxes' texts for the current record.
    RecordBoxes ShowRecord() const;

    // The most characters a box's field holds; 0 for no limit.
    int fieldSize(RecordBox box) const { return sizes_[box]; }

    // A file clicked in the file list: nullopt when it is no software file,
    // or when its path or folder name does not fit its field (said in a
    // message).
    std::optional<FileChoice> fileChosen(const std::string& folder, const std::string& name);

    // The Update button: checks the boxes and writes the record. True when
    // the window is to close.
    bool ValidateRecord(const RecordBoxes& boxes);

    // Removes the current record and numbers the rest 0 to N - 1 in the
    // table's order. True when the window is to close.
    bool DeleteRecord();

    // Closes the connection.
    void CloseRecordWindow();

    RecordWindowKind kind() const { return kind_; }
    int iNewRecord() const { return iNewRecord_; }
    const std::string& databasePath() const { return databasePath_; }

  private:
    struct FileIdentity {
        uint64_t device = 0, inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    bool openCatalogue();
    std::optional<dao::Bookmark> findRecord(dao::Recordset& table, bool& empty);
    bool AddBlankRecord();
    void rememberShown(dao::Recordset& table);
    bool stillTheSameFile();
    std::string fieldTooLong(RecordBox box, const std::string& text) const;
    void UpdateRecord();
    void writeFields(dao::Recordset& table, const RecordBoxes& boxes) const;
    void deleteAndRenumber();
    void rollBack();
    void reloadGrid(int col, int row, int sortMode);
    void fail(const std::string& what, const std::string& reason);
    static std::optional<FileIdentity> identityOf(const std::string& path);

    RecordWindowKind kind_;
    Form1State& f_;
    Prompt& prompt_;
    std::string databasePath_;
    std::optional<FileIdentity> identity_;
    std::optional<dao::Database> dbDatabase_;
    std::optional<dao::Bookmark> current_;
    int iNewRecord_ = 0;
    RecordBoxes shown_;  // the boxes' texts as ShowRecord gave them
    RecordBoxes stored_; // the stored values behind them, byte for byte
    std::array<int, kRecordBoxCount> sizes_{};
};

} // namespace tavrin
