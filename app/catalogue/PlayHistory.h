#pragma once
// What the catalogue table does not hold: how often each title was started,
// when it was last started and whether the user marked it a favourite. It
// lives in a table of its own, "PlayHistory", beside "BBCSoftware", whose
// eight fields other tools and older catalogues rely on. A title's history is
// keyed by its stored file path, byte for byte as BBCSoftware's Filepath
// holds it. A catalogue without the table has no history yet; the table is
// made by the first change, so a catalogue that may not be written still
// loads.

#include "Dao.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class QDateTime;

namespace tavrin
{

inline constexpr const char* kPlayHistoryTable = "PlayHistory";

struct PlayHistoryEntry {
    int64_t playCount = 0;
    std::string lastPlayed; // ISO 8601 local time with its offset; empty: never started
    bool favourite = false;

    bool empty() const { return playCount == 0 && lastPlayed.empty() && !favourite; }
    bool operator==(const PlayHistoryEntry&) const = default;
};

// Looks stored paths up by a view into a grid cell, without a copy.
struct StoredPathHash {
    using is_transparent = void;
    size_t operator()(std::string_view path) const { return std::hash<std::string_view>()(path); }
};
using PlayHistory = std::unordered_map<std::string, PlayHistoryEntry, StoredPathHash, std::equal_to<>>;

// The history records of an open catalogue in the table's order; none when
// it has no history table. Throws dao::DaoError.
std::vector<std::pair<std::string, PlayHistoryEntry>> ReadPlayHistoryRecords(dao::Database& db);
PlayHistory ReadPlayHistory(dao::Database& db);
PlayHistory ReadPlayHistory(const std::string& databasePath);

// The history table of an open catalogue, made when it is missing, for
// changes inside the caller's transaction.
class PlayHistoryTable
{
  public:
    explicit PlayHistoryTable(dao::Database& db);
    std::optional<PlayHistoryEntry> find(const std::string& filepath);
    // Stores the entry; an empty entry removes the title's record.
    void put(const std::string& filepath, const PlayHistoryEntry& entry);

  private:
    void index();
    dao::Recordset rs_;
    std::unordered_map<std::string, dao::Bookmark> where_;
    bool indexed_ = false;
};

// A launch of the title started its emulator at `when`: one play more.
// Returns the title's history as it now is. Throws dao::DaoError.
PlayHistoryEntry RecordPlayStarted(const std::string& databasePath, const std::string& filepath,
                                   const std::string& when);
PlayHistoryEntry SetFavourite(const std::string& databasePath, const std::string& filepath,
                              bool favourite);

// The record editor changed a record's path from `from` to `to`: the history
// goes along, merged into one `to` may have already (plays added, the later
// start, a favourite if either was), unless another record still has `from`.
void MovePlayHistory(dao::Database& db, const std::string& from, const std::string& to);
// A record of `filepath` was deleted: its history goes, unless another
// record still has that path.
void DropPlayHistoryOfDeleted(dao::Database& db, const std::string& filepath);

// The Filepath of the catalogue's record for a file a launch started: the
// record holding `file` exactly, else one naming the same file without
// regard to letter case or separators (a full path is taken as the record
// editor would store it). None when the catalogue has no such record.
std::optional<std::string> StoredPathOf(const std::string& databasePath, const std::string& file,
                                        const std::string& appFolder);

// A time as the table stores it: local time with its offset from UTC,
// "2026-12-08T18:20:38+01:00".
std::string PlayTimeText(const QDateTime& time);
std::string PlayTimeNow();
// A stored time as seconds since 1970 (UTC), for ordering; none when it
// reads as no time ("2026-12-08 18:20:38" from a Jet date reads as local).
std::optional<int64_t> PlayTimeSeconds(const std::string& text);

} // namespace tavrin
