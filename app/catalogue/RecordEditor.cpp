#include "RecordEditor.h"

#include "Catalogue.h"
#include "CatalogueGrid.h"
#include "PlayHistory.h"
#include "core/Form1State.h"
#include "core/Paths.h"
#include "core/Prompt.h"
#include "core/TextHelpers.h"

#include <QString>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tavrin
{

const std::array<RecordFieldRules, kRecordBoxCount> kRecordFields = {{
    {"Publisher", true, FieldRule::Box, FieldRule::Box},
    {"Software", true, FieldRule::Box, FieldRule::Box},
    {"Genre", false, FieldRule::BoxOrSpace, FieldRule::BoxOrUnchanged},
    {"Filepath", true, FieldRule::Box, FieldRule::Box},
    {"Data1", false, FieldRule::Zero, FieldRule::BoxOrUnchanged},
    {"Data2", false, FieldRule::Zero, FieldRule::BoxOrUnchanged},
    // The New window's record is blank: "unchanged" keeps its Null.
    {"Description1", false, FieldRule::BoxOrUnchanged, FieldRule::BoxOrUnchanged},
}};

namespace
{

constexpr const char* kIndexField = "Index";

// An Index as the grid shows it: plain decimal digits, maybe signed, maybe
// padded with blanks. Anything else names no record.
std::optional<int64_t> parseIndex(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

std::optional<int64_t> indexOf(const dao::Value& v)
{
    if (v.isNumber())
        return v.number();
    if (v.isText())
        return parseIndex(v.textData());
    return std::nullopt;
}

// Text as a text box holds it: bytes that are no UTF-8 become U+FFFD.
std::string asBoxText(const std::string& stored)
{
    return QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size())).toStdString();
}

// `path` below `folder`, as its parts; nullopt when it lies elsewhere.
std::optional<fs::path> relativeInside(const fs::path& path, const fs::path& folder)
{
    const fs::path rel = path.lexically_relative(folder);
    if (rel.empty() || rel == "." || *rel.begin() == "..")
        return std::nullopt;
    return rel;
}

bool recordGone(const dao::DaoError& e)
{
    constexpr int errNotAValidBookmark = 3159;
    return e.number() == dao::errRecordDeleted || e.number() == errNotAValidBookmark;
}

// Why a change was refused, in the user's words where the engine's are
// about bookmarks.
std::string reasonOf(const dao::DaoError& e)
{
    if (recordGone(e))
        return "The record has been removed from the catalogue since this window opened.";
    return e.what();
}

} // namespace

std::optional<std::string> FieldValueFor(FieldRule rule, const std::string& box)
{
    switch (rule) {
    case FieldRule::Box:
        return box;
    case FieldRule::BoxOrSpace:
        return box.empty() ? std::string(" ") : box;
    case FieldRule::Zero:
        return std::string("0");
    case FieldRule::BoxOrUnchanged:
        if (box.empty())
            return std::nullopt;
        return box;
    }
    return std::nullopt;
}

std::string GetSingleDirName(std::string_view sScanString)
{
    for (size_t i = sScanString.size(); i > 0; --i)
        if (isPathSeparator(sScanString[i - 1]))
            return std::string(sScanString.substr(i));
    return std::string(sScanString);
}

std::string CataloguePathFor(const std::string& file, const std::string& appFolder)
{
    const fs::path path = fs::path(file).lexically_normal();
    std::optional<fs::path> rel = relativeInside(path, fs::path(appFolder).lexically_normal());
    if (!rel) {
        // The same folders reached another way (a link to the program's folder).
        std::error_code ec1, ec2;
        const fs::path realPath = fs::weakly_canonical(path, ec1);
        const fs::path realApp = fs::weakly_canonical(fs::path(appFolder), ec2);
        if (!ec1 && !ec2)
            rel = relativeInside(realPath, realApp);
    }
    if (!rel)
        return path.string();
    std::string out;
    for (const fs::path& part : *rel) {
        if (!out.empty())
            out += '\\';
        out += part.string();
    }
    return out;
}

bool IsSoftwareFileName(std::string_view name)
{
    std::string ext(name.substr(name.size() > 4 ? name.size() - 4 : 0));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* accepted : {".dsd", ".bbc", ".img", ".ssd", ".uef", ".zip"})
        if (ext == accepted)
            return true;
    return false;
}

// ---------------------------------------------------------------------------

RecordEditor::RecordEditor(RecordWindowKind kind, Form1State& f, Prompt& prompt)
    : kind_(kind), f_(f), prompt_(prompt)
{
}

RecordEditor::~RecordEditor()
{
    if (iNewRecord_ == 1 && dbDatabase_ && stillTheSameFile()) {
        try {
            deleteAndRenumber();
        } catch (const dao::DaoError&) {
            // The table keeps the blank record; nothing else was changed.
        }
    }
}

std::optional<RecordEditor::FileIdentity> RecordEditor::identityOf(const std::string& path)
{
    struct stat st {
    };
    if (::stat(OsPath(path).c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// A catalogue file removed or replaced under an open connection would take
// the change with it unseen.
bool RecordEditor::stillTheSameFile()
{
    const std::optional<FileIdentity> now = identityOf(databasePath_);
    return now && identity_ && *now == *identity_;
}

void RecordEditor::fail(const std::string& what, const std::string& reason)
{
    prompt_.messageBox(what + "\n\n" + reason, PromptButtons::Ok, PromptIcon::Exclamation);
}

bool RecordEditor::openCatalogue()
{
    databasePath_ = f_.sDatabaseFile;
    try {
        dbDatabase_.emplace(dao::DBEngine::Workspaces(0).OpenDatabase(databasePath_));
        identity_ = identityOf(databasePath_);
        dao::Recordset table = dbDatabase_->OpenRecordset(kCatalogueTable, dao::dbOpenTable);
        for (int b = 0; b < kRecordBoxCount; ++b) {
            const dao::Field& def = table.fieldDefs()[table.FieldOrdinal(kRecordFields[b].field)];
            sizes_[b] = def.Type == dao::dbText ? def.Size : 0;
        }
        table.FieldOrdinal(kIndexField);
    } catch (const dao::DaoError& e) {
        dbDatabase_.reset();
        fail("The catalogue \"" + databasePath_ + "\" cannot be opened.", e.what());
        return false;
    }
    return true;
}

std::optional<dao::Bookmark> RecordEditor::findRecord(dao::Recordset& table, bool& empty)
{
    empty = table.BOF() && table.isEOF();
    const FlexGrid& grid = f_.MSFlexGrid;
    if (empty || grid.Rows() == 0)
        return std::nullopt;
    const std::optional<int64_t> wanted = parseIndex(grid.TextMatrix(grid.Row(), colIndex));
    if (!wanted)
        return std::nullopt;
    // A record without a number is never taken for the wanted one.
    for (table.MoveFirst(); !table.isEOF(); table.MoveNext())
        if (indexOf(table.Fields(kIndexField)) == wanted)
            return table.bookmark();
    return std::nullopt;
}

void RecordEditor::rememberShown(dao::Recordset& table)
{
    for (int b = 0; b < kRecordBoxCount; ++b) {
        const dao::Value& v = table.Fields(kRecordFields[b].field);
        stored_[b] = v.greaterThanEmpty() ? v.text() : std::string();
        shown_[b] = asBoxText(stored_[b]);
    }
}

bool RecordEditor::load()
{
    iNewRecord_ = 0;
    if (!openCatalogue())
        return false;
    bool empty = false;
    try {
        dao::Recordset table = dbDatabase_->OpenRecordset(kCatalogueTable, dao::dbOpenTable);
        current_ = findRecord(table, empty);
        if (current_) {
            table.setBookmark(*current_);
            rememberShown(table);
        }
    } catch (const dao::DaoError& e) {
        CloseRecordWindow();
        fail("The catalogue \"" + databasePath_ + "\" cannot be read.", e.what());
        return false;
    }
    if (empty)
        prompt_.messageBox(kNoDataInTable);
    if (kind_ == RecordWindowKind::New)
        return AddBlankRecord();
    if (!current_) {
        // After "No Data in Table!" there is nothing more to say.
        if (!empty)
            prompt_.messageBox(kRecordNotFound, PromptButtons::Ok, PromptIcon::Exclamation);
        CloseRecordWindow();
        return false;
    }
    return true;
}

bool RecordEditor::AddBlankRecord()
{
    try {
        dao::Recordset table = dbDatabase_->OpenRecordset(kCatalogueTable, dao::dbOpenTable);
        table.AddNew();
        table.setField(kIndexField, dao::Value(f_.iProgRange));
        table.Update();
        current_ = table.LastModified();
    } catch (const dao::DaoError& e) {
        CloseRecordWindow();
        fail("A new record cannot be added to the catalogue \"" + databasePath_ + "\".", e.what());
        return false;
    }
    iNewRecord_ = 1;
    shown_ = {};
    stored_ = {};
    f_.iProgRange += 1;
    return true;
}

RecordBoxes RecordEditor::ShowRecord() const
{
    return shown_;
}

std::string RecordEditor::fieldTooLong(RecordBox box, const std::string& text) const
{
    const size_t length = utf8CharacterCount(text);
    if (sizes_[box] <= 0 || length <= static_cast<size_t>(sizes_[box]))
        return {};
    return std::string("The ") + kRecordFields[box].field + " field holds at most " +
           std::to_string(sizes_[box]) + " characters, but \"" + asBoxText(text) + "\" has " +
           std::to_string(length) + ". Nothing was changed.";
}

std::optional<FileChoice> RecordEditor::fileChosen(const std::string& folder,
                                                   const std::string& name)
{
    if (!IsSoftwareFileName(name))
        return std::nullopt;
    std::error_code ec;
    const std::string appFolder = f_.sAppPath.empty() ? fs::current_path(ec).string() : f_.sAppPath;
    const fs::path full = fs::path(folder) / name;
    FileChoice choice{CataloguePathFor(full.string(), appFolder), std::nullopt};
    if (kind_ == RecordWindowKind::New)
        choice.publisher = GetSingleDirName(folder);
    std::string problem = fieldTooLong(boxFilepath, choice.filepath);
    if (problem.empty() && choice.publisher)
        problem = fieldTooLong(boxPublisher, *choice.publisher);
    if (!problem.empty()) {
        prompt_.messageBox(problem, PromptButtons::Ok, PromptIcon::Exclamation);
        return std::nullopt;
    }
    return choice;
}

bool RecordEditor::ValidateRecord(const RecordBoxes& boxes)
{
    for (int b = 0; b < kRecordBoxCount; ++b) {
        if (kRecordFields[b].mandatory && boxes[b].empty()) {
            prompt_.messageBox(kMandatoryFields);
            return false;
        }
    }
    for (int b = 0; b < kRecordBoxCount; ++b) {
        const FieldRule rule =
            kind_ == RecordWindowKind::New ? kRecordFields[b].onNew : kRecordFields[b].onEdit;
        const std::optional<std::string> value = FieldValueFor(rule, boxes[b]);
        const std::string problem = value ? fieldTooLong(static_cast<RecordBox>(b), *value) : "";
        if (!problem.empty()) {
            prompt_.messageBox(problem, PromptButtons::Ok, PromptIcon::Exclamation);
            return false;
        }
    }
    const std::string refused = "The record could not be saved in the catalogue \"" +
                                databasePath_ + "\". Nothing was changed.";
    if (!dbDatabase_ || !current_ || !stillTheSameFile()) {
        fail(refused, "The file has been removed or replaced since this window opened.");
        return false;
    }
    // The record and the history of its file change together or not at all.
    try {
        dbDatabase_->BeginTrans();
        dao::Recordset table = dbDatabase_->OpenRecordset(kCatalogueTable, dao::dbOpenTable);
        table.setBookmark(*current_);
        table.Edit();
        writeFields(table, boxes);
        table.Update();
        if (kind_ == RecordWindowKind::Edit)
            MovePlayHistory(*dbDatabase_, stored_[boxFilepath], table.Fields("Filepath").text());
        table.Close();
        dbDatabase_->CommitTrans();
    } catch (const dao::DaoError& e) {
        rollBack();
        fail(refused, reasonOf(e));
        return false;
    }
    iNewRecord_ = 0;
    UpdateRecord();
    return true;
}

void RecordEditor::writeFields(dao::Recordset& table, const RecordBoxes& boxes) const
{
    for (int b = 0; b < kRecordBoxCount; ++b) {
        const FieldRule rule =
            kind_ == RecordWindowKind::New ? kRecordFields[b].onNew : kRecordFields[b].onEdit;
        const std::optional<std::string> value = FieldValueFor(rule, boxes[b]);
        if (!value)
            continue;
        // A box left as it was shown writes the stored text, byte for byte.
        const bool asShown = rule != FieldRule::Zero && *value == boxes[b] &&
                             boxes[b] == shown_[b] && !stored_[b].empty();
        table.setField(kRecordFields[b].field, dao::Value(asShown ? stored_[b] : *value));
    }
}

// The grid is brought up to date after the change was written.
void RecordEditor::UpdateRecord()
{
    const int col = f_.MSFlexGrid.Col();
    const int row = f_.MSFlexGrid.Row();
    reloadGrid(col, row, kind_ == RecordWindowKind::New ? 0 : f_.iSort);
}

bool RecordEditor::DeleteRecord()
{
    const std::string refused = "The record could not be removed from the catalogue \"" +
                                databasePath_ + "\". Nothing was changed.";
    // The New window's blank record that is gone already, with its file or
    // through another window, leaves nothing to remove: Cancel just closes.
    const bool blank = iNewRecord_ == 1;
    if (!dbDatabase_ || !current_ || !stillTheSameFile()) {
        if (!blank) {
            fail(refused, "The file has been removed or replaced since this window opened.");
            return false;
        }
    } else {
        try {
            deleteAndRenumber();
        } catch (const dao::DaoError& e) {
            if (!blank || !recordGone(e)) {
                fail(refused, reasonOf(e));
                return false;
            }
        }
    }
    iNewRecord_ = 0;
    current_.reset();
    reloadGrid(f_.MSFlexGrid.Col(), std::max(f_.MSFlexGrid.Row() - 1, 0), f_.iSort);
    return true;
}

// One transaction: the record goes and the rest are numbered 0 to N - 1 in
// the table's order (records other windows added included), or nothing
// changes.
void RecordEditor::deleteAndRenumber()
{
    dao::Database& db = *dbDatabase_;
    db.BeginTrans();
    try {
        {
            dao::Recordset table = db.OpenRecordset(kCatalogueTable, dao::dbOpenTable);
            table.setBookmark(*current_);
            const std::string filepath = table.Fields("Filepath").text();
            table.Delete();
            DropPlayHistoryOfDeleted(db, filepath);
        }
        dao::Recordset table = db.OpenRecordset(kCatalogueTable, dao::dbOpenTable);
        int64_t d = 0;
        for (; !table.isEOF(); table.MoveNext(), ++d) {
            if (table.Fields(kIndexField) == dao::Value(d))
                continue;
            table.Edit();
            table.setField(kIndexField, dao::Value(d));
            table.Update();
        }
        table.Close();
        db.CommitTrans();
    } catch (const dao::DaoError&) {
        rollBack();
        throw;
    }
}

void RecordEditor::rollBack()
{
    try {
        dbDatabase_->Rollback();
    } catch (const dao::DaoError&) {
        // No transaction was open: nothing to undo.
    }
}

void RecordEditor::reloadGrid(int col, int row, int sortMode)
{
    // The grid shows another list now (an Internet source): it stays as it is.
    if (f_.sDatabaseFile != databasePath_)
        return;
    // The main window follows the row the grid ends on, not the steps between.
    FlexGrid::CurrentCellHold hold(f_.MSFlexGrid);
    try {
        TransferFromAccess(f_, databasePath_, f_.sLocalTable);
    } catch (const dao::DaoError& e) {
        fail("The change was saved, but the catalogue \"" + databasePath_ +
                 "\" could not be shown again.",
             e.what());
        return;
    }
    f_.iSort = sortMode;
    Sort(f_);
    f_.MSFlexGrid.setCol(col);
    f_.MSFlexGrid.setRow(row);
}

void RecordEditor::CloseRecordWindow()
{
    dbDatabase_.reset();
}

} // namespace tavrin
