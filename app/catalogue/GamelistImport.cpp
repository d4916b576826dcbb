// Reading an ES-DE gamelist or Pegasus metadata file into the catalogue.

#include "Gamelist.h"

#include "Catalogue.h"
#include "CatalogueGrid.h"
#include "FolderScan.h"
#include "RecordEditor.h"
#include "core/FileHelpers.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"
#include "diskimage/DiskCatalogue.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

// A list this long is no list of BBC Micro software, and a picture this
// large no cover.
constexpr uintmax_t kMaxListBytes = 64u << 20;
constexpr uintmax_t kMaxPictureBytes = 32u << 20;

std::string_view trimmed(std::string_view s)
{
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(foldAsciiCase(static_cast<unsigned char>(c)));
    return out;
}

int64_t playCountOf(std::string_view text)
{
    int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size() && n > 0 ? n : 0;
}

// ---------------------------------------------------------------------------
// ES-DE

void readGame(QXmlStreamReader& xml, GamelistGame& g)
{
    while (xml.readNextStartElement()) {
        const QStringView tag = xml.name();
        std::string* field = tag == u"path"        ? &g.path
                             : tag == u"name"      ? &g.name
                             : tag == u"desc"      ? &g.description
                             : tag == u"publisher" ? &g.publisher
                             : tag == u"developer" ? &g.developer
                             : tag == u"genre"     ? &g.genre
                             : tag == u"thumbnail" ? &g.cover
                             : tag == u"image"     ? &g.screenshot
                                                   : nullptr;
        const bool history = tag == u"favorite" || tag == u"playcount" || tag == u"lastplayed";
        if (!field && !history) {
            xml.skipCurrentElement();
            continue;
        }
        const std::string text(
            trimmed(xml.readElementText(QXmlStreamReader::SkipChildElements).toStdString()));
        if (field)
            *field = text;
        else if (tag == u"favorite")
            g.history.favourite = lowered(text) == "true" || text == "1";
        else if (tag == u"playcount")
            g.history.playCount = playCountOf(text);
        else
            g.history.lastPlayed = PlayTimeOfEsDe(text).value_or(std::string());
    }
}

// ---------------------------------------------------------------------------
// Pegasus: "key: value" lines; lines that start with a blank go on with the
// value above (a line of "." stands for an empty one); "#" starts a comment.

void assignPegasus(GamelistGame& g, const std::string& key, std::vector<std::string> lines)
{
    if (lines.size() > 1 && lines.front().empty())
        lines.erase(lines.begin()); // the value starts on the next line
    const bool description = key == "description" || key == "summary";
    std::string value;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = lines[i] == "." ? std::string() : lines[i];
        if (description)
            value += (i > 0 ? "\n" : "") + line;
        else if (!line.empty())
            value += (value.empty() ? "" : " ") + line;
    }
    if (key == "file" || key == "files")
        g.path = lines.empty() ? std::string() : lines.front();
    else if (key == "publisher" || key == "publishers")
        g.publisher = value;
    else if (key == "developer" || key == "developers")
        g.developer = value;
    else if (key == "genre" || key == "genres")
        g.genre = value;
    else if (key == "description" || (key == "summary" && g.description.empty()))
        g.description = value;
    else if (key == "assets.boxfront")
        g.cover = value;
    else if (key == "assets.screenshot" || key == "assets.screenshots")
        g.screenshot = value;
}

// ---------------------------------------------------------------------------

bool readWhole(const fs::path& file, std::string& bytes, std::string& why)
{
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    if (ec || !fs::is_regular_file(file, ec)) {
        why = ec ? ec.message() : "it is no file";
        return false;
    }
    if (size > kMaxListBytes) {
        why = "it holds " + std::to_string(size) + " bytes, more than a list of titles would";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) {
        why = "it cannot be read";
        return false;
    }
    return true;
}

// A path as a list writes it: relative ones from the list's folder, "~/"
// from the home folder.
fs::path listedFile(const std::string& path, const fs::path& listFolder)
{
    if (path.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        return fs::path(home ? home : "") / path.substr(2);
    }
    const fs::path p(path);
    return (p.is_absolute() ? p : listFolder / p).lexically_normal();
}

// Whether a folder may hold a file of a name without regard to case, each
// folder listed once: a picture that is not there yet would otherwise list
// its folder on every look, and an import places thousands. A name or a
// folder with letters beyond ASCII is left to the full lookup.
class FolderNames
{
  public:
    bool mayHold(const fs::path& folder, const std::string& file)
    {
        const Listing& l = listing(folder);
        const std::string name = fs::path(file).filename().string();
        return l.beyondAscii || !isAscii(name) || l.names.count(folded(name)) > 0;
    }
    void placed(const fs::path& file)
    {
        listing(file.parent_path()).names.insert(folded(file.filename().string()));
    }

  private:
    struct Listing {
        std::unordered_set<std::string> names;
        bool beyondAscii = false;
    };
    static bool isAscii(const std::string& name)
    {
        return std::all_of(name.begin(), name.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    }
    static std::string folded(std::string name)
    {
        for (char& c : name)
            c = static_cast<char>(foldAsciiCase(static_cast<unsigned char>(c)));
        return name;
    }
    Listing& listing(const fs::path& folder)
    {
        const auto [at, fresh] = folders_.try_emplace(folder.string());
        if (!fresh)
            return at->second;
        Listing& l = at->second;
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        l.beyondAscii = bool(ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            l.beyondAscii = l.beyondAscii || !isAscii(name);
            l.names.insert(folded(name));
        }
        l.beyondAscii = l.beyondAscii || bool(ec);
        return l;
    }
    std::unordered_map<std::string, Listing> folders_;
};

struct Adding {
    const GamelistGame* game;
    fs::path file;
    std::string stored;
};

class Importer
{
  public:
    Importer(const std::string& appFolder, const PictureConverter& convert,
             GamelistImportReport& report)
        : appFolder_(appFolder), convert_(convert), report_(report)
    {
    }

    bool read(const std::string& listFile, ParsedGamelist& parsed)
    {
        std::error_code ec;
        const fs::path file = fs::absolute(OsPath(listFile), ec);
        listFolder_ = file.parent_path();
        std::string bytes, why;
        if (!readWhole(file, bytes, why)) {
            report_.error = why;
            return false;
        }
        const size_t first = bytes.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
        const bool xml = first != std::string::npos && bytes[first] == '<';
        esDe_ = xml;
        parsed = xml ? ParseEsDeGamelist(bytes) : ParsePegasusMetadata(bytes);
        report_.error = parsed.error;
        return parsed.error.empty();
    }

    // Whether the game is added; why not, in the report.
    std::optional<Adding> check(const GamelistGame& g, std::unordered_set<std::string>& held)
    {
        const std::string shown = ShownText(g.path.empty() ? g.name : g.path);
        const fs::path file = listedFile(g.path, listFolder_);
        std::error_code ec;
        if (g.path.empty() || !IsSoftwareFileName(file.filename().string())) {
            report_.notRunnable.push_back(shown);
            return std::nullopt;
        }
        if (!fs::is_regular_file(file, ec)) {
            report_.missing.push_back(shown);
            return std::nullopt;
        }
        const std::string stored = CataloguePathFor(file.string(), appFolder_);
        bool text = IsStorablePath(file.string()) && IsGamelistText(g.description, true);
        for (const std::string* single : {&g.name, &g.publisher, &g.developer, &g.genre})
            text = text && IsGamelistText(*single, false);
        if (!text) {
            report_.notText.push_back(shown);
            return std::nullopt;
        }
        if (!held.insert(CataloguePathKey(stored)).second) {
            report_.alreadyThere.push_back(stored);
            return std::nullopt;
        }
        return Adding{&g, file, stored};
    }

    // Adds the record; false when a value does not fit its field (reported).
    bool add(dao::Recordset& table, const Adding& a, int64_t index)
    {
        const GamelistGame& g = *a.game;
        std::string publisher = !g.publisher.empty() ? g.publisher : g.developer;
        std::string software = g.name;
        if (publisher.empty() || software.empty()) {
            const ScannedSoftware scanned = ScanSoftwareFile(a.file.string(), appFolder_);
            publisher = publisher.empty() ? scanned.Publisher : publisher;
            software = software.empty() ? scanned.Software : software;
        }
        table.AddNew();
        try {
            table.setField("Publisher", dao::Value(publisher.empty() ? std::string(" ") : publisher));
            table.setField("Software", dao::Value(software));
            table.setField("Genre", dao::Value(g.genre.empty() ? std::string(" ") : g.genre));
            table.setField("Filepath", dao::Value(a.stored));
            table.setField("Data1", dao::Value("0"));
            table.setField("Data2", dao::Value("0"));
            if (!g.description.empty())
                table.setField("Description1", dao::Value(g.description));
            table.setField("Index", dao::Value(index));
        } catch (const dao::DaoError& e) {
            table.CancelUpdate();
            if (e.number() != dao::errFieldTooSmall)
                throw;
            report_.tooLong.push_back(a.stored + ": " + e.what());
            return false;
        }
        table.Update();
        return true;
    }

    // The game's pictures where Tavrin looks for the title's own, unless it
    // has one of that kind already.
    void placePictures(const Adding& a)
    {
        const std::string stem = PictureStem(a.file.string());
        const auto mayHold = [&](const char* suffix) {
            return folderNames_.mayHold(a.file.parent_path(), stem + suffix + ".jpg") ||
                   folderNames_.mayHold(a.file.parent_path(), stem + suffix + ".gif");
        };
        SoftwarePictures present;
        if (mayHold("-box") || mayHold(""))
            present = FindSoftwarePictures(a.file.string());
        if (present.boxPicture.empty())
            place(source(a.game->cover, kCoversFolder, a.file), stem + "-box");
        if (present.secondPicture.empty())
            place(source(a.game->screenshot, kScreenshotsFolder, a.file), stem);
    }

  private:
    // The picture the list names, or for ES-DE the one in its media folder.
    fs::path source(const std::string& named, const char* folder, const fs::path& file) const
    {
        if (!named.empty())
            return listedFile(named, listFolder_);
        if (!esDe_)
            return {};
        std::error_code ec;
        const fs::path base = listFolder_ / folder / MediaBaseName(file, fs::weakly_canonical(listFolder_, ec));
        for (const char* ext : {".jpg", ".jpeg", ".png", ".gif", ".JPG", ".PNG"})
            if (fs::is_regular_file(base.string() + ext, ec))
                return base.string() + ext;
        return {};
    }

    void place(const fs::path& from, const std::string& to)
    {
        if (from.empty())
            return;
        std::error_code ec;
        const std::string ext = lowered(from.extension().string());
        const std::string target = to + (ext == ".gif" ? ".gif" : ".jpg");
        const fs::path final = fs::path(target);
        const fs::path beside = final.parent_path() / ("." + final.filename().string() + ".tavrin-new");
        const auto refuse = [&](const std::string& why) {
            report_.pictures.push_back(from.string() + ": " + why);
            fs::remove(beside, ec);
        };
        if (!fs::is_regular_file(from, ec) || fs::file_size(from, ec) > kMaxPictureBytes)
            return refuse("no picture file");
        if (ext == ".jpg" || ext == ".jpeg" || ext == ".gif") {
            fs::copy_file(from, beside, fs::copy_options::overwrite_existing, ec);
            if (ec)
                return refuse(ec.message());
        } else {
            std::string why = "no converter for this kind of picture";
            if (!convert_ || !convert_(from.string(), beside.string(), why))
                return refuse(why);
        }
        fs::rename(beside, final, ec);
        if (ec)
            return refuse(ec.message());
        folderNames_.placed(final);
    }

    std::string appFolder_;
    const PictureConverter& convert_;
    GamelistImportReport& report_;
    fs::path listFolder_;
    bool esDe_ = false;
    FolderNames folderNames_;
};

} // namespace

ParsedGamelist ParseEsDeGamelist(std::string_view bytes)
{
    ParsedGamelist parsed;
    QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    bool root = false;
    if (xml.readNextStartElement()) {
        root = true;
        if (xml.name() != u"gameList") {
            xml.raiseError(QStringLiteral("its first element is <%1>, not <gameList>").arg(xml.name()));
        } else {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"game")
                    readGame(xml, parsed.games.emplace_back());
                else
                    xml.skipCurrentElement();
            }
        }
    }
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext(); // what follows the list must be well-formed too
    if (xml.hasError() || !root) {
        parsed.games.clear();
        parsed.error = xml.hasError()
                           ? "line " + std::to_string(xml.lineNumber()) + ", column " +
                                 std::to_string(xml.columnNumber()) + ": " +
                                 xml.errorString().toStdString()
                           : "it holds no <gameList>";
    }
    return parsed;
}

ParsedGamelist ParsePegasusMetadata(std::string_view text)
{
    ParsedGamelist parsed;
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t game = kNone; // the entry the keys belong to
    std::string key;
    std::vector<std::string> lines; // the value of `key`, line by line
    const auto finish = [&] {
        if (game != kNone && !key.empty())
            assignPegasus(parsed.games[game], key, std::move(lines));
        key.clear();
        lines.clear();
    };
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (trimmed(line).empty() || line.front() == '#')
            continue;
        if (line.front() == ' ' || line.front() == '\t') {
            if (!key.empty())
                lines.emplace_back(trimmed(line));
            continue;
        }
        finish();
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string name = lowered(trimmed(line.substr(0, colon)));
        std::erase(name, '_');
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (name == "collection") {
            game = kNone;
        } else if (name == "game") {
            game = parsed.games.size();
            parsed.games.emplace_back().name = std::string(value);
        } else {
            key = std::move(name);
            lines.emplace_back(value);
        }
    }
    finish();
    return parsed;
}

GamelistImportReport ImportGamelist(const std::string& databasePath, const std::string& listFile,
                                    const std::string& appFolder, const PictureConverter& convert,
                                    const GamelistProgress& progress)
{
    GamelistImportReport report;
    report.listFile = listFile;
    std::error_code ec;
    Importer importer(appFolder.empty() ? fs::current_path(ec).string() : appFolder, convert, report);
    ParsedGamelist parsed;
    if (!importer.read(listFile, parsed))
        return report;
    const int total = static_cast<int>(parsed.games.size());
    auto going = [&](int done) { return !progress || progress(done, 3 * total); };

    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(databasePath);
    dao::Recordset table = db.OpenRecordset(kCatalogueTable);
    std::unordered_set<std::string> held;
    table.forEachRecord({table.FieldOrdinal("Filepath")}, [&](const std::vector<dao::FieldView>& f) {
        if (!f[0].isNull && !f[0].isNumber)
            held.insert(CataloguePathKey(f[0].text));
    });
    std::vector<Adding> adding;
    for (int i = 0; i < total; ++i) {
        if (i % 64 == 0 && !going(i)) {
            report.cancelled = true;
            return report;
        }
        if (std::optional<Adding> a = importer.check(parsed.games[static_cast<size_t>(i)], held))
            adding.push_back(std::move(*a));
    }

    std::vector<const Adding*> added;
    int64_t nextIndex = table.RecordCount();
    db.BeginTrans();
    std::optional<PlayHistoryTable> history;
    for (size_t i = 0; i < adding.size(); ++i) {
        if (i % 64 == 0 && !going(total + static_cast<int>(i))) {
            db.Rollback();
            report.cancelled = true;
            return report;
        }
        const Adding& a = adding[i];
        if (!importer.add(table, a, nextIndex))
            continue;
        ++nextIndex;
        added.push_back(&a);
        if (a.game->history.empty())
            continue;
        if (!history)
            history.emplace(db);
        // History the catalogue kept for the path (from before a new
        // catalogue) is Tavrin's own, and stays.
        if (!history->find(a.stored))
            history->put(a.stored, a.game->history);
    }
    history.reset();
    db.CommitTrans();
    table.Close();
    db.Close();
    report.added = static_cast<int>(added.size());

    for (size_t i = 0; i < added.size(); ++i) {
        importer.placePictures(*added[i]);
        if (i % 64 == 0 && progress)
            progress(2 * total + static_cast<int>(i), 3 * total);
    }
    if (progress)
        progress(3 * total, 3 * total);
    return report;
}

std::string GamelistImportSummary(const GamelistImportReport& report)
{
    if (!report.error.empty())
        return "The list \"" + report.listFile + "\" cannot be read: " + report.error +
               ". Nothing was added to the catalogue.";
    if (report.cancelled)
        return "The import was stopped; nothing was added to the catalogue.";
    return std::to_string(report.added) + (report.added == 1 ? " title was" : " titles were") +
           " added to the catalogue from \"" + report.listFile + "\"." +
           SkippedGroups({{"already in the catalogue", &report.alreadyThere},
                          {"files that do not exist", &report.missing},
                          {"not a kind of file Tavrin runs", &report.notRunnable},
                          {"text that is not UTF-8 or holds control characters", &report.notText},
                          {"too long for their fields", &report.tooLong},
                          {"pictures not copied", &report.pictures}});
}

} // namespace tavrin
