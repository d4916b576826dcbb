#pragma once
// The catalogue as other emulator front-ends keep their collections, and
// back: ES-DE's "gamelist.xml" (a <gameList> of <game> elements, the
// pictures in covers/ and screenshots/ beside it under each file's base
// name) and Pegasus's "metadata.pegasus.txt" (a collection header, then one
// "game:" entry a title).

#include "PlayHistory.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

class FlexGrid;

enum class GamelistFormat { EsDe, Pegasus };

inline constexpr const char* kEsDeGamelist = "gamelist.xml";
inline constexpr const char* kPegasusMetadata = "metadata.pegasus.txt";
inline constexpr const char* kCoversFolder = "covers";
inline constexpr const char* kScreenshotsFolder = "screenshots";
// Pegasus's placeholder for the file in a launch command.
inline constexpr const char* kPegasusFilePath = "{file.path}";

// One catalogue title, its cells as the grid holds them.
struct GamelistTitle {
    std::string publisher, software, genre, filepath, description;
};

// The titles of the grid's rows, in the order given.
std::vector<GamelistTitle> GamelistTitlesOf(const FlexGrid& grid, const std::vector<int>& rows);

// Text a list can carry as it is: UTF-8 without control characters (a tab
// aside; line breaks too where the value may span lines).
bool IsGamelistText(std::string_view text, bool multiLine);
// Text for a message: as it is when a list could carry it, else with its
// control characters and bytes that are no UTF-8 as "\xNN".
std::string ShownText(std::string_view text);

// The name a title's pictures take in covers/ and screenshots/: the file's
// path below `folder` without its extension, or its bare base name when it
// lies elsewhere ("elite" for "elite.ssd").
std::string MediaBaseName(const std::filesystem::path& file, const std::filesystem::path& folder);

// The file a stored catalogue path names: relative ones below the
// application folder, every part matched as OsPath matches it.
std::filesystem::path CatalogueFileOnDisk(const std::string& filepath, const std::string& appFolder);

// A start time as ES-DE writes it ("20261208T182038", local time) and back.
std::optional<std::string> EsDeTimeOf(std::string_view playTime);
std::optional<std::string> PlayTimeOfEsDe(std::string_view esDeTime);

// Called with the steps done and the steps in all; false stops the work.
using GamelistProgress = std::function<bool(int done, int total)>;

struct GamelistExport {
    GamelistFormat format = GamelistFormat::EsDe;
    std::string folder;     // the list, covers/ and screenshots/ go here
    std::string appFolder;  // where stored paths are relative to
    std::string launchLine; // Pegasus: the emulator's command with {file.path}; none when empty
};

struct GamelistExportReport {
    std::string listFile;
    int written = 0;
    std::vector<std::string> notText;  // titles whose text no list can carry
    std::vector<std::string> missing;  // files that do not exist
    std::vector<std::string> pictures; // "picture: why" of pictures not copied
    bool cancelled = false;            // the list was not written
};

// Writes the list for the titles into the export folder (made when
// missing; the list written beside and renamed into place) with each
// title's history and pictures. Throws std::runtime_error saying why when
// the folder or the list cannot be written.
GamelistExportReport ExportGamelist(const std::vector<GamelistTitle>& titles,
                                    const PlayHistory& history, const GamelistExport& options,
                                    const GamelistProgress& progress = {});
std::string GamelistExportSummary(const GamelistExportReport& report);

// One game as a list gives it; pictures and path as written there.
struct GamelistGame {
    std::string path, name, description, publisher, developer, genre, cover, screenshot;
    PlayHistoryEntry history;
};

struct ParsedGamelist {
    std::vector<GamelistGame> games;
    std::string error; // why the list cannot be read, with its line
};

// Unknown elements and keys are passed by; a list that is no well-formed
// XML gives the reader's reason and line, and no games.
ParsedGamelist ParseEsDeGamelist(std::string_view xml);
ParsedGamelist ParsePegasusMetadata(std::string_view text);

// Writes the picture `from` (of any kind Qt reads) as the JPEG file `to`;
// false with the reason.
using PictureConverter =
    std::function<bool(const std::string& from, const std::string& to, std::string& why)>;

struct GamelistImportReport {
    std::string listFile;
    int added = 0;
    std::vector<std::string> alreadyThere, missing, notRunnable, notText, tooLong, pictures;
    std::string error;      // the list or the catalogue could not be used: nothing was added
    bool cancelled = false; // stopped: nothing was added
};

// Adds one record for each game of the list (either format, told by its
// first character) whose file exists, is a kind Tavrin runs and is not in
// the catalogue yet, with its history, all in one transaction; then copies
// its pictures to where Tavrin looks for them, converting those that are
// no JPEG or GIF. Throws dao::DaoError when the catalogue cannot be read or
// written; nothing is then added.
GamelistImportReport ImportGamelist(const std::string& databasePath, const std::string& listFile,
                                    const std::string& appFolder, const PictureConverter& convert,
                                    const GamelistProgress& progress = {});
std::string GamelistImportSummary(const GamelistImportReport& report);

// The "Skipped, ..." paragraphs of a summary: each group that holds
// anything, with its first few names.
std::string SkippedGroups(
    const std::vector<std::pair<const char*, const std::vector<std::string>*>>& groups);

} // namespace tavrin
