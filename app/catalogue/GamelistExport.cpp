// Writing the catalogue as an ES-DE gamelist or Pegasus metadata file, and
// the helpers the export and the import share.

#include "Gamelist.h"

#include "Catalogue.h"
#include "CatalogueGrid.h"
#include "core/FlexGrid.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"
#include "diskimage/DiskCatalogue.h"

#include <QDate>
#include <QDateTime>
#include <QSaveFile>
#include <QString>

#include <set>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

// A value that says nothing: empty, or the blanks the loader shows for an
// empty field.
bool blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string xmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break; // a reader would turn CR LF into LF
        default: out += c;
        }
    }
    return out;
}

void xmlElement(std::string& out, const char* tag, std::string_view text)
{
    if (!blank(text))
        out.append("\t\t<").append(tag).append(">").append(xmlEscaped(text)).append("</").append(tag).append(">\n");
}

void pegasusLine(std::string& out, const char* key, std::string_view text)
{
    if (!blank(text))
        out.append(key).append(": ").append(text).append("\n");
}

// A value over several lines: the first after the key, the others indented
// by one space, an empty line written as ".".
void pegasusLines(std::string& out, const char* key, std::string_view text)
{
    if (blank(text))
        return;
    out.append(key).append(":");
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.append(" ").append(blank(line) ? std::string_view(".") : line).append("\n");
        at = end + 1;
    }
}

std::string exportedPath(const fs::path& file, const fs::path& folder)
{
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(file, ec);
    const fs::path rel = (ec ? file : real).lexically_relative(folder);
    if (!rel.empty() && *rel.begin() != "..")
        return "./" + rel.generic_string();
    return file.string();
}

std::string lowerExtension(const std::string& name)
{
    std::string ext = fs::path(name).extension().string();
    for (char& c : ext)
        c = static_cast<char>(foldAsciiCase(static_cast<unsigned char>(c)));
    return ext;
}

class Exporter
{
  public:
    Exporter(const GamelistExport& options, GamelistExportReport& report)
        : options_(options), report_(report)
    {
        std::error_code ec;
        fs::create_directories(OsPath(options.folder), ec);
        folder_ = fs::weakly_canonical(fs::absolute(OsPath(options.folder)), ec);
        if (ec || !fs::is_directory(folder_))
            throw std::runtime_error("The folder \"" + options.folder + "\" cannot be made: " +
                                     (ec ? ec.message() : "it is no folder") + ".");
        appFolder_ = options.appFolder.empty() ? fs::current_path(ec).string() : options.appFolder;
        const bool esDe = options.format == GamelistFormat::EsDe;
        report_.listFile = (folder_ / (esDe ? kEsDeGamelist : kPegasusMetadata)).string();
        if (esDe) {
            text_ = "<?xml version=\"1.0\"?>\n<gameList>\n";
        } else {
            text_ = "collection: Tavrin\nextensions: ssd, dsd, img, uef, zip\n";
            pegasusLine(text_, "launch", options.launchLine);
        }
    }

    void add(const GamelistTitle& t, const PlayHistory& history)
    {
        const std::string shown = ShownText(t.filepath);
        if (!IsGamelistText(t.filepath, false) || !IsGamelistText(t.software, false) ||
            !IsGamelistText(t.publisher, false) || !IsGamelistText(t.genre, false) ||
            !IsGamelistText(t.description, true)) {
            report_.notText.push_back(shown + " (" + ShownText(t.software) + ")");
            return;
        }
        std::error_code ec;
        const fs::path file = CatalogueFileOnDisk(t.filepath, appFolder_);
        if (!fs::is_regular_file(file, ec)) {
            report_.missing.push_back(shown);
            return;
        }
        const std::string path = exportedPath(file, folder_);
        if (!IsGamelistText(path, false)) {
            report_.notText.push_back(shown);
            return;
        }
        const auto found = history.find(t.filepath);
        const PlayHistoryEntry entry = found != history.end() ? found->second : PlayHistoryEntry{};
        const SoftwarePictures pictures = FindSoftwarePictures(file.string());
        const std::string base = MediaBaseName(file, folder_);
        const std::string cover = copied(pictures.boxPicture, kCoversFolder, base);
        const std::string screenshot = copied(pictures.secondPicture, kScreenshotsFolder, base);
        const std::string name = blank(t.software) ? file.stem().string() : t.software;
        if (options_.format == GamelistFormat::EsDe) {
            text_ += "\t<game>\n";
            xmlElement(text_, "path", path);
            xmlElement(text_, "name", name);
            xmlElement(text_, "desc", t.description);
            xmlElement(text_, "publisher", t.publisher);
            xmlElement(text_, "genre", t.genre);
            if (entry.favourite)
                xmlElement(text_, "favorite", "true");
            if (entry.playCount > 0)
                xmlElement(text_, "playcount", std::to_string(entry.playCount));
            if (const auto time = EsDeTimeOf(entry.lastPlayed))
                xmlElement(text_, "lastplayed", *time);
            text_ += "\t</game>\n";
        } else {
            text_ += "\ngame: " + name + "\n";
            pegasusLine(text_, "file", path);
            pegasusLine(text_, "publisher", t.publisher);
            pegasusLine(text_, "genre", t.genre);
            pegasusLines(text_, "description", t.description);
            pegasusLine(text_, "assets.box_front", cover);
            pegasusLine(text_, "assets.screenshot", screenshot);
        }
        ++report_.written;
    }

    void write()
    {
        if (options_.format == GamelistFormat::EsDe)
            text_ += "</gameList>\n";
        QSaveFile out(QString::fromStdString(report_.listFile));
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(text_.data(), static_cast<qint64>(text_.size())) !=
                static_cast<qint64>(text_.size()) ||
            !out.commit())
            throw std::runtime_error("\"" + report_.listFile + "\" cannot be written: " +
                                     out.errorString().toStdString() + ".");
    }

  private:
    // Copies a found picture into the folder under the title's base name;
    // the copy's path as the list writes it, or "" when there is none.
    std::string copied(const std::string& picture, const char* kind, const std::string& base)
    {
        if (picture.empty())
            return {};
        const fs::path to = folder_ / kind / (base + lowerExtension(picture));
        if (!taken_.insert(to.string()).second) {
            report_.pictures.push_back(OsPathString(picture) + ": another title's picture is " +
                                       to.string());
            return {};
        }
        std::error_code ec;
        fs::create_directories(to.parent_path(), ec);
        if (!ec)
            fs::copy_file(OsPath(picture), to, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            report_.pictures.push_back(OsPathString(picture) + ": " + ec.message());
            return {};
        }
        return exportedPath(to, folder_);
    }

    const GamelistExport& options_;
    GamelistExportReport& report_;
    fs::path folder_;
    std::string appFolder_;
    std::string text_;
    std::set<std::string> taken_;
};

} // namespace

std::string SkippedGroups(
    const std::vector<std::pair<const char*, const std::vector<std::string>*>>& groups)
{
    std::string text;
    for (const auto& [what, items] : groups)
        if (!items->empty())
            text += std::string("\n\nSkipped, ") + what + ": " + std::to_string(items->size()) +
                    ListedLines(*items);
    return text;
}

std::vector<GamelistTitle> GamelistTitlesOf(const FlexGrid& grid, const std::vector<int>& rows)
{
    std::vector<GamelistTitle> titles;
    titles.reserve(rows.size());
    for (int r : rows) {
        auto cell = [&](int col) { return std::string(grid.TextMatrix(r, col)); };
        titles.push_back({cell(colPublisher), cell(colSoftware), cell(colGenre), cell(colFilepath),
                          cell(colDescription1)});
    }
    return titles;
}

std::string ShownText(std::string_view text)
{
    return IsGamelistText(text, false) ? std::string(text) : WithVisibleControlCharacters(text);
}

bool IsGamelistText(std::string_view text, bool multiLine)
{
    if (!isUtf8Text(text))
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool lineBreak = c == '\n' || c == '\r';
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if ((c < 0x20 && c != '\t' && !(multiLine && lineBreak)) || c == 0x7F || c1)
            return false;
    }
    return true;
}

std::string MediaBaseName(const fs::path& file, const fs::path& folder)
{
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(file, ec);
    const fs::path rel = (ec ? file : real).lexically_relative(folder);
    if (!rel.empty() && *rel.begin() != "..")
        return (rel.parent_path() / rel.stem()).generic_string();
    return file.stem().string();
}

fs::path CatalogueFileOnDisk(const std::string& filepath, const std::string& appFolder)
{
    const bool full = !filepath.empty() && isPathSeparator(filepath.front());
    return fs::absolute(OsPath(full ? filepath : appFolder + "/" + filepath)).lexically_normal();
}

std::optional<std::string> EsDeTimeOf(std::string_view t)
{
    // "YYYY-MM-DDTHH:MM:SS", a blank for the T from a Jet date, any offset after.
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
    if (t.size() < kShape.size())
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < kShape.size(); ++i) {
        const char c = t[i];
        if (kShape[i] == 'd' && !(c >= '0' && c <= '9'))
            return std::nullopt;
        if (kShape[i] == 'T' && c != 'T' && c != ' ')
            return std::nullopt;
        if (kShape[i] != 'd' && kShape[i] != 'T' && c != kShape[i])
            return std::nullopt;
        if (kShape[i] == 'd' || kShape[i] == 'T')
            out += kShape[i] == 'T' ? 'T' : c;
    }
    return out;
}

std::optional<std::string> PlayTimeOfEsDe(std::string_view t)
{
    const QDateTime time =
        QDateTime::fromString(QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size())),
                              QStringLiteral("yyyyMMdd'T'HHmmss"));
    if (t.size() != 15 || !time.isValid())
        return std::nullopt;
    return PlayTimeText(time);
}

GamelistExportReport ExportGamelist(const std::vector<GamelistTitle>& titles,
                                    const PlayHistory& history, const GamelistExport& options,
                                    const GamelistProgress& progress)
{
    GamelistExportReport report;
    Exporter exporter(options, report);
    const int total = static_cast<int>(titles.size());
    for (int i = 0; i < total; ++i) {
        if (progress && i % 32 == 0 && !progress(i, total)) {
            report.cancelled = true;
            return report;
        }
        exporter.add(titles[static_cast<size_t>(i)], history);
    }
    exporter.write();
    if (progress)
        progress(total, total);
    return report;
}

std::string GamelistExportSummary(const GamelistExportReport& report)
{
    if (report.cancelled)
        return "The export was stopped; \"" + report.listFile + "\" was not written.";
    return std::to_string(report.written) + (report.written == 1 ? " title was" : " titles were") +
           " written to \"" + report.listFile + "\"." +
           SkippedGroups({{"text that cannot be written (not UTF-8, or control characters)",
                           &report.notText},
                          {"files that do not exist", &report.missing},
                          {"pictures not copied", &report.pictures}});
}

} // namespace tavrin
