#include "FolderScan.h"
#include "RecordEditor.h"

#include "Catalogue.h"
#include "Dao.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"
#include "diskimage/DiskCatalogue.h"
#include "diskimage/DiskImageFile.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

constexpr std::string_view kSoftwareExtensions[] = {".ssd", ".dsd", ".img", ".bbc", ".uef", ".zip"};
constexpr std::string_view kDiskExtensions[] = {".ssd", ".dsd", ".img", ".bbc"};

bool hasExtension(std::string_view name, std::span<const std::string_view> extensions)
{
    if (name.size() < 4)
        return false;
    const std::string_view ext = name.substr(name.size() - 4);
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](std::string_view e) { return equalsIgnoringAsciiCase(ext, e); });
}

// A title worth showing: some character other than a space, and no control
// characters.
bool isShowableTitle(std::string_view title)
{
    bool visible = false;
    for (unsigned char c : title) {
        if (c < 0x20 || c == 0x7F)
            return false;
        visible = visible || c != ' ';
    }
    return visible && isUtf8Text(title);
}

std::string shown(const fs::path& path) { return WithVisibleControlCharacters(path.string()); }

std::string withoutTrailingSpaces(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

fs::path absoluteNormal(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::absolute(OsPath(path), ec);
    if (ec)
        p = OsPath(path);
    p = p.lexically_normal();
    // No trailing separator, so that prefixes compare part by part.
    if (!p.has_filename() && p.has_parent_path() && p != p.root_path())
        p = p.parent_path();
    return p;
}

} // namespace

bool IsStorablePath(std::string_view text)
{
    if (!isUtf8Text(text))
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7F || c1 || c == '\\')
            return false;
    }
    return true;
}

std::string CataloguePathKey(std::string_view path)
{
    std::string key(path);
    for (char& c : key) {
        if (c == '/')
            c = '\\';
        else
            c = static_cast<char>(foldAsciiCase(static_cast<unsigned char>(c)));
    }
    return key;
}

ScannedSoftware ScanSoftwareFile(const std::string& file, const std::string& appFolder)
{
    ScannedSoftware s;
    const fs::path p = absoluteNormal(file);
    s.Publisher = p.parent_path().filename().string();
    s.Filepath = CataloguePathFor(p.string(), absoluteNormal(appFolder).string());
    const std::string name = p.filename().string();
    if (hasExtension(name, kDiskExtensions)) {
        const DiskImageHead head = ReadDiskImageHead(p.string());
        if (head.ok() && !CheckDfsImage(head.bytes, head.size)) {
            std::string title = withoutTrailingSpaces(ReadCatalogueTitle(head.bytes));
            if (isShowableTitle(title))
                s.Software = std::move(title);
        }
    }
    if (s.Software.empty())
        s.Software = p.stem().string();
    return s;
}

std::vector<std::string> FindSoftwareFiles(const std::string& folder,
                                           std::vector<std::string>& badNames,
                                           std::vector<std::string>& unreadable)
{
    std::vector<std::string> files;
    std::error_code ec;
    const fs::path root = absoluteNormal(folder);
    fs::recursive_directory_iterator it(root, ec);
    if (ec) {
        unreadable.push_back(shown(root) + ": " + ec.message());
        return files;
    }
    for (const fs::recursive_directory_iterator end; it != end;) {
        const fs::path& path = it->path();
        std::error_code kindError;
        const fs::file_status link = it->symlink_status(kindError);
        std::error_code openError = kindError;
        // A folder that cannot be opened by its path (no permission, a path
        // too long) is named and passed by: the iterator would end the whole
        // listing in it, or find files there that nothing can open.
        if (!kindError && fs::is_directory(link)) {
            const fs::directory_iterator probe(path, openError);
        }
        if (openError) {
            unreadable.push_back(shown(path) + ": " + openError.message());
            it.disable_recursion_pending();
        } else if (IsSoftwareFileName(path.filename().string())) {
            if (fs::is_symlink(link) && !fs::exists(it->status(kindError)))
                unreadable.push_back(shown(path) + ": a link to nothing");
            else if (it->is_regular_file(kindError) && IsStorablePath(path.string()))
                files.push_back(path.string());
            else if (it->is_regular_file(kindError))
                badNames.push_back(shown(path));
        }
        // A folder that fails part way (a disk error) ends the listing
        // there; what was found so far is kept.
        const std::string at = shown(path);
        it.increment(ec);
        if (ec) {
            unreadable.push_back(at + ": " + ec.message());
            break;
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

FolderScanReport AddFolderOfSoftware(const std::string& databasePath, const std::string& folder,
                                     const std::string& appFolder,
                                     const FolderScanProgress& progress)
{
    FolderScanReport report;
    const std::vector<std::string> files =
        FindSoftwareFiles(folder, report.badNames, report.unreadable);
    const int total = static_cast<int>(files.size());
    // Listing, reading and writing count as one step a file each.
    auto going = [&](int done) { return !progress || progress(done, 2 * total); };
    if (!going(0)) {
        report.cancelled = true;
        return report;
    }

    dao::Database db = dao::DBEngine::Workspaces(0).OpenDatabase(databasePath);
    dao::Recordset table = db.OpenRecordset(kCatalogueTable);
    std::unordered_set<std::string> held;
    const int pathOrdinal = table.FieldOrdinal("Filepath");
    table.forEachRecord({pathOrdinal}, [&](const std::vector<dao::FieldView>& fields) {
        if (!fields[0].isNull && !fields[0].isNumber)
            held.insert(CataloguePathKey(fields[0].text));
    });
    long nextIndex = table.RecordCount();

    struct Limit {
        const char* field;
        size_t size;
    };
    const auto sizeOf = [](const char* name) {
        for (const CatalogueField& f : kCatalogueFields)
            if (std::string_view(f.name) == name)
                return static_cast<size_t>(f.size);
        return size_t{0};
    };
    const Limit limits[] = {{"Publisher", sizeOf("Publisher")},
                            {"Software", sizeOf("Software")},
                            {"Filepath", sizeOf("Filepath")}};

    std::vector<ScannedSoftware> adding;
    // The stored path of each key this scan met first: another file under
    // the same key differs from it only in letter case.
    std::unordered_map<std::string, std::string> scanned;
    for (int i = 0; i < total; ++i) {
        if (i % 64 == 0 && !going(i)) {
            report.cancelled = true;
            return report;
        }
        ScannedSoftware s = ScanSoftwareFile(files[i], appFolder);
        const std::string key = CataloguePathKey(s.Filepath);
        if (const auto [first, isNew] = scanned.emplace(key, s.Filepath); !isNew) {
            report.caseClashes.push_back(s.Filepath + " (beside " + first->second + ")");
            continue;
        }
        if (held.count(key) != 0) {
            report.duplicates.push_back(s.Filepath);
            continue;
        }
        const std::string* values[] = {&s.Publisher, &s.Software, &s.Filepath};
        bool fits = true;
        for (size_t k = 0; k < std::size(limits); ++k) {
            const size_t length = utf8CharacterCount(*values[k]);
            if (length > limits[k].size) {
                report.tooLong.push_back(s.Filepath + ": " + limits[k].field + " \"" + *values[k] +
                                         "\" has " + std::to_string(length) + " characters, " +
                                         std::to_string(limits[k].size) + " fit");
                fits = false;
                break;
            }
        }
        if (fits)
            adding.push_back(std::move(s));
    }
    db.BeginTrans();
    for (size_t i = 0; i < adding.size(); ++i) {
        if (i % 64 == 0 && !going(total + static_cast<int>(i))) {
            db.Rollback();
            report.cancelled = true;
            return report;
        }
        const ScannedSoftware& s = adding[i];
        table.AddNew();
        table.setField("Publisher",
                       dao::Value(s.Publisher.empty() ? std::string(" ") : s.Publisher));
        table.setField("Software", dao::Value(s.Software));
        table.setField("Genre", dao::Value(" "));
        table.setField("Filepath", dao::Value(s.Filepath));
        table.setField("Data1", dao::Value("0"));
        table.setField("Data2", dao::Value("0"));
        table.setField("Index", dao::Value(static_cast<int64_t>(nextIndex++)));
        table.Update();
    }
    db.CommitTrans();
    table.Close();
    db.Close();
    report.added = static_cast<int>(adding.size());
    going(2 * total);
    return report;
}

std::string FolderScanSummary(const FolderScanReport& report)
{
    if (report.cancelled)
        return "The folder scan was stopped; nothing was added to the catalogue.";
    std::string text = std::to_string(report.added) +
                       (report.added == 1 ? " title was" : " titles were") +
                       " added to the catalogue.";
    const std::pair<const char*, const std::vector<std::string>*> groups[] = {
        {"already in the catalogue", &report.duplicates},
        {"paths that differ from another of this scan only in letter case", &report.caseClashes},
        {"too long for their fields", &report.tooLong},
        {"names that cannot be stored (not text, control characters or a backslash)",
         &report.badNames},
        {"folders and links that cannot be read", &report.unreadable},
    };
    for (const auto& [what, items] : groups)
        if (!items->empty())
            text += std::string("\n\nSkipped, ") + what + ": " + std::to_string(items->size()) +
                    ListedLines(*items);
    return text;
}

} // namespace tavrin
