#include "PlayHistory.h"

#include "Catalogue.h"
#include "FolderScan.h"
#include "RecordEditor.h"
#include "core/TextHelpers.h"

#include <QDateTime>

#include <charconv>
#include <cstdlib>

namespace tavrin
{
namespace
{

constexpr const char* kPathField = "Filepath";
constexpr const char* kCountField = "PlayCount";
constexpr const char* kLastField = "LastPlayed";
constexpr const char* kFavouriteField = "Favourite";
constexpr int kLastPlayedSize = 32; // "2026-12-08T18:20:38+01:00" and room to spare

bool hasHistoryTable(const dao::Database& db)
{
    for (const std::string& name : db.tableNames())
        if (equalsIgnoringAsciiCase(name, kPlayHistoryTable))
            return true;
    return false;
}

dao::Recordset openHistoryTable(dao::Database& db)
{
    if (!hasHistoryTable(db)) {
        dao::TableDef def = db.CreateTableDef(kPlayHistoryTable);
        def.appendField(def.CreateField(kPathField, dao::dbMemo));
        def.appendField(def.CreateField(kCountField, dao::dbNumeric));
        def.appendField(def.CreateField(kLastField, dao::dbText, kLastPlayedSize));
        def.appendField(def.CreateField(kFavouriteField, dao::dbNumeric));
        db.appendTableDef(def);
    }
    return db.OpenRecordset(kPlayHistoryTable);
}

// Values as this program writes them, and as another tool (or a table
// converted from Jet, whose yes/no fields read 1 or -1) may have.
int64_t countOf(const dao::FieldView& v)
{
    if (v.isNumber)
        return std::max<int64_t>(v.number, 0);
    int64_t n = 0;
    const auto [end, ec] = std::from_chars(v.text.data(), v.text.data() + v.text.size(), n);
    return ec == std::errc() && end == v.text.data() + v.text.size() ? std::max<int64_t>(n, 0) : 0;
}

bool flagOf(const dao::FieldView& v)
{
    if (v.isNumber)
        return v.number != 0;
    for (const char* yes : {"1", "-1", "true", "yes"})
        if (equalsIgnoringAsciiCase(v.text, yes))
            return true;
    return false;
}

PlayHistoryEntry entryOf(const dao::FieldView& count, const dao::FieldView& last,
                         const dao::FieldView& favourite)
{
    PlayHistoryEntry e;
    e.playCount = countOf(count);
    e.lastPlayed = last.isNumber ? std::to_string(last.number) : std::string(last.text);
    e.favourite = flagOf(favourite);
    return e;
}

dao::FieldView viewOf(const dao::Value& v)
{
    return dao::FieldView{v.isNull(), v.isNumber(), v.textData(), v.number()};
}

// True when a record of the catalogue has exactly this path.
bool catalogueHolds(dao::Database& db, const std::string& filepath)
{
    dao::Recordset rs = db.OpenRecordset(kCatalogueTable);
    bool held = false;
    rs.forEachRecord({rs.FieldOrdinal(kPathField)}, [&](const std::vector<dao::FieldView>& f) {
        held = held || (!f[0].isNull && !f[0].isNumber && f[0].text == filepath);
    });
    return held;
}

std::optional<QDateTime> parsedPlayTime(const std::string& text)
{
    QString iso = QString::fromStdString(text);
    if (iso.size() > 10 && iso[10] == QLatin1Char(' '))
        iso[10] = QLatin1Char('T');
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    return t.isValid() ? std::optional(t) : std::nullopt;
}

std::string laterPlayTime(const std::string& a, const std::string& b)
{
    const auto ta = parsedPlayTime(a), tb = parsedPlayTime(b);
    if (!ta || !tb)
        return ta ? a : (tb ? b : (a.empty() ? b : a));
    return *tb > *ta ? b : a;
}

template <typename Change>
PlayHistoryEntry changeEntry(const std::string& databasePath, const std::string& filepath,
                             Change change)
{
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(databasePath);
    db.BeginTrans();
    PlayHistoryEntry entry;
    {
        PlayHistoryTable table(db);
        entry = table.find(filepath).value_or(PlayHistoryEntry{});
        change(entry);
        table.put(filepath, entry);
    }
    db.CommitTrans();
    return entry;
}

} // namespace

std::vector<std::pair<std::string, PlayHistoryEntry>> ReadPlayHistoryRecords(dao::Database& db)
{
    std::vector<std::pair<std::string, PlayHistoryEntry>> records;
    if (!hasHistoryTable(db))
        return records;
    dao::Recordset rs = db.OpenRecordset(kPlayHistoryTable);
    const std::vector<int> ordinals = {rs.FieldOrdinal(kPathField), rs.FieldOrdinal(kCountField),
                                       rs.FieldOrdinal(kLastField), rs.FieldOrdinal(kFavouriteField)};
    rs.forEachRecord(ordinals, [&](const std::vector<dao::FieldView>& f) {
        if (!f[0].isNull && !f[0].isNumber && !f[0].text.empty())
            records.emplace_back(std::string(f[0].text), entryOf(f[1], f[2], f[3]));
    });
    return records;
}

PlayHistory ReadPlayHistory(dao::Database& db)
{
    PlayHistory history;
    for (auto& [path, entry] : ReadPlayHistoryRecords(db))
        history.emplace(std::move(path), std::move(entry));
    return history;
}

PlayHistory ReadPlayHistory(const std::string& databasePath)
{
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(databasePath);
    return ReadPlayHistory(db);
}

PlayHistoryTable::PlayHistoryTable(dao::Database& db) : rs_(openHistoryTable(db)) {}

void PlayHistoryTable::index()
{
    if (indexed_)
        return;
    indexed_ = true;
    if (rs_.RecordCount() == 0)
        return;
    const int path = rs_.FieldOrdinal(kPathField);
    for (rs_.MoveFirst(); !rs_.isEOF(); rs_.MoveNext()) {
        const dao::FieldView v = rs_.fieldView(path);
        if (!v.isNull && !v.isNumber)
            where_.emplace(std::string(v.text), rs_.bookmark());
    }
}

std::optional<PlayHistoryEntry> PlayHistoryTable::find(const std::string& filepath)
{
    index();
    const auto at = where_.find(filepath);
    if (at == where_.end())
        return std::nullopt;
    rs_.setBookmark(at->second);
    return entryOf(viewOf(rs_.Fields(kCountField)), viewOf(rs_.Fields(kLastField)),
                   viewOf(rs_.Fields(kFavouriteField)));
}

void PlayHistoryTable::put(const std::string& filepath, const PlayHistoryEntry& entry)
{
    index();
    const auto at = where_.find(filepath);
    if (at != where_.end())
        rs_.setBookmark(at->second);
    if (entry.empty()) {
        if (at != where_.end()) {
            rs_.Delete();
            where_.erase(at);
        }
        return;
    }
    if (at != where_.end()) {
        rs_.Edit();
    } else {
        rs_.AddNew();
        rs_.setField(kPathField, dao::Value(filepath));
    }
    rs_.setField(kCountField, dao::Value(entry.playCount));
    rs_.setField(kLastField, entry.lastPlayed.empty() ? dao::Value() : dao::Value(entry.lastPlayed));
    rs_.setField(kFavouriteField, dao::Value(entry.favourite ? 1 : 0));
    rs_.Update();
    if (at == where_.end())
        where_.emplace(filepath, rs_.LastModified());
}

PlayHistoryEntry RecordPlayStarted(const std::string& databasePath, const std::string& filepath,
                                   const std::string& when)
{
    return changeEntry(databasePath, filepath, [&](PlayHistoryEntry& e) {
        e.playCount += 1;
        e.lastPlayed = when;
    });
}

PlayHistoryEntry SetFavourite(const std::string& databasePath, const std::string& filepath,
                              bool favourite)
{
    return changeEntry(databasePath, filepath, [&](PlayHistoryEntry& e) { e.favourite = favourite; });
}

void MovePlayHistory(dao::Database& db, const std::string& from, const std::string& to)
{
    if (from.empty() || from == to || !hasHistoryTable(db) || catalogueHolds(db, from))
        return;
    PlayHistoryTable table(db);
    const std::optional<PlayHistoryEntry> moving = table.find(from);
    if (!moving)
        return;
    PlayHistoryEntry merged = table.find(to).value_or(PlayHistoryEntry{});
    merged.playCount += moving->playCount;
    merged.lastPlayed = laterPlayTime(merged.lastPlayed, moving->lastPlayed);
    merged.favourite = merged.favourite || moving->favourite;
    table.put(from, PlayHistoryEntry{});
    table.put(to, merged);
}

void DropPlayHistoryOfDeleted(dao::Database& db, const std::string& filepath)
{
    if (filepath.empty() || !hasHistoryTable(db) || catalogueHolds(db, filepath))
        return;
    PlayHistoryTable(db).put(filepath, PlayHistoryEntry{});
}

std::optional<std::string> StoredPathOf(const std::string& databasePath, const std::string& file,
                                        const std::string& appFolder)
{
    const bool full = !file.empty() && file.front() == '/';
    const std::string key = CataloguePathKey(full ? CataloguePathFor(file, appFolder) : file);
    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(databasePath);
    dao::Recordset rs = db.OpenRecordset(kCatalogueTable);
    std::optional<std::string> exact, sameFile;
    rs.forEachRecord({rs.FieldOrdinal(kPathField)}, [&](const std::vector<dao::FieldView>& f) {
        if (exact || f[0].isNull || f[0].isNumber || f[0].text.empty())
            return;
        if (f[0].text == file)
            exact = std::string(f[0].text);
        else if (!sameFile && CataloguePathKey(f[0].text) == key)
            sameFile = std::string(f[0].text);
    });
    return exact ? exact : sameFile;
}

std::string PlayTimeText(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QString zone = QStringLiteral("%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return (local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + zone).toStdString();
}

std::string PlayTimeNow() { return PlayTimeText(QDateTime::currentDateTime()); }

std::optional<int64_t> PlayTimeSeconds(const std::string& text)
{
    const std::optional<QDateTime> t = parsedPlayTime(text);
    return t ? std::optional<int64_t>(t->toSecsSinceEpoch()) : std::nullopt;
}

} // namespace tavrin
