#include "InfImageBuilder.h"

#include "CodePage1252.h"
#include "PosixFile.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"

#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <optional>

namespace fs = std::filesystem;

namespace tavrin {
namespace {

constexpr std::string_view kInfExtension = ".inf";
constexpr size_t kMaxInfRead = 64 * 1024; // only the first line counts
// Unpacked software: a lone file and its ".inf" are not taken for an archive.
constexpr size_t kFewestFiles = 3;

// The name without regard to letter case. A name that is not UTF-8 is
// folded byte by byte (A to Z only), so that two different such names never
// fold to the same replacement characters.
std::string foldCase(std::string_view name)
{
    const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
        return text.toCaseFolded().toStdString();
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

bool endsWithInf(std::string_view name)
{
    return name.size() > kInfExtension.size() &&
           foldCase(name.substr(name.size() - kInfExtension.size())) == kInfExtension;
}

struct FileRead {
    std::vector<uint8_t> bytes;
    uint64_t size = 0; // of the whole file
    std::string error;
};

// Reads at most `limit` bytes of a regular file.
FileRead readFile(const fs::path& path, size_t limit)
{
    FileRead r;
    // O_NONBLOCK keeps a named pipe from blocking the open.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        r.error = std::strerror(errno);
        return r;
    }
    if (!S_ISREG(info.st_mode)) {
        r.error = "not a regular file";
        return r;
    }
    r.size = static_cast<uint64_t>(info.st_size);
    r.bytes.resize(static_cast<size_t>(std::min<uint64_t>(r.size, limit)));
    size_t done = 0;
    if (const int error = ReadUpTo(fd.get(), r.bytes.data(), r.bytes.size(), 0, done)) {
        r.error = std::strerror(error);
        return r;
    }
    r.bytes.resize(done);
    return r;
}

std::string fileName(const fs::path& path) { return path.filename().string(); }

// Writes the image beside `path` and renames it into place, so that an old
// image of that name is replaced whole and a failed write leaves it as it
// was. The reason when the image could not be written.
std::string writeImage(const std::string& path, const std::vector<uint8_t>& image)
{
    const fs::path target = OsPath(path);
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return "a folder has that name";
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder / concat({".", target.filename().string(), ".tavrin-",
                                     std::to_string(::getpid()), "-", std::to_string(attempt)});
        // Mode 0666 lets the user's umask decide, as for any new file.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST)
            return std::strerror(errno);
    }
    if (fd < 0)
        return std::strerror(EEXIST);
    int error = WriteAt(fd, image.data(), image.size(), 0);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    return {};
}

std::string reportMessage(const std::string& imagePath, const InfBuildReport& report)
{
    std::string text;
    if (!report.error.empty())
        text = "The disk image " + imagePath + " could not be written: " + report.error;
    if (!report.skipped.empty()) {
        if (!text.empty())
            text += "\n\n";
        text += "These files were left out of the disk image " + imagePath + ":";
        // Names and fields as read, their control bytes made visible.
        for (const std::string& s : report.skipped)
            text += "\n" + WithVisibleControlCharacters(s);
    }
    return text;
}

} // namespace

std::vector<InfPairPaths> FindInfPairs(const FolderListing& listing,
                                       std::vector<std::string>& unpaired)
{
    // Every file of each folder by its folded name.
    std::map<std::pair<int32_t, std::string>, std::vector<size_t>> byName;
    for (size_t i = 0; i < listing.names.size(); ++i)
        byName[{listing.nameFolders[i], foldCase(listing.names[i])}].push_back(i);
    std::vector<bool> used(listing.names.size(), false);
    const std::string top = listing.folders.empty() ? std::string() : listing.folders[0];
    auto label = [&](size_t i) {
        const std::string& folder = listing.folders[size_t(listing.nameFolders[i])];
        return folder.substr(std::min(top.size(), folder.size())) + listing.names[i];
    };
    auto osPath = [&](size_t i) {
        return OsPath(listing.folders[size_t(listing.nameFolders[i])]) / listing.names[i];
    };
    // Data files are paired first; then the ".inf" files that describe no
    // data file, as a data file of their own ("GAM.INF" with "GAM.INF.inf").
    std::vector<std::pair<size_t, InfPairPaths>> found;
    std::vector<std::string> lonelyData;
    for (const bool infNames : {false, true}) {
        for (size_t i = 0; i < listing.names.size(); ++i) {
            const std::string& name = listing.names[i];
            if (name.empty() || used[i] || endsWithInf(name) != infNames)
                continue;
            auto candidates =
                byName.find({listing.nameFolders[i], foldCase(name + std::string(kInfExtension))});
            std::optional<size_t> partner;
            // The description of exactly this name first, then any unused one.
            for (size_t j :
                 candidates == byName.end() ? std::vector<size_t>{} : candidates->second) {
                if (used[j] || j == i)
                    continue;
                if (listing.names[j].starts_with(name)) {
                    partner = j;
                    break;
                }
                if (!partner)
                    partner = j;
            }
            if (!partner) {
                if (!infNames)
                    lonelyData.push_back(label(i));
                continue;
            }
            used[i] = used[*partner] = true;
            found.emplace_back(i, InfPairPaths{osPath(i), osPath(*partner), label(i)});
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<InfPairPaths> pairs;
    for (auto& [index, pair] : found)
        pairs.push_back(std::move(pair));
    unpaired.insert(unpaired.end(), lonelyData.begin(), lonelyData.end());
    for (size_t i = 0; i < listing.names.size(); ++i)
        if (!used[i] && endsWithInf(listing.names[i]))
            unpaired.push_back(label(i));
    return pairs;
}

namespace
{

// The description of a pair, or none with the reason in the report.
std::optional<InfDescription> readDescription(const InfPairPaths& pair, InfBuildReport& report)
{
    const FileRead inf = readFile(pair.inf, kMaxInfRead);
    if (!inf.error.empty()) {
        report.skipped.push_back(pair.label + ": its description " + fileName(pair.inf) +
                                 " cannot be read (" + inf.error + ")");
        return std::nullopt;
    }
    InfParse parsed = ParseInfDescription(ReadInfFirstField(inf.bytes));
    if (!parsed.description)
        report.skipped.push_back(pair.label + ": " + parsed.error + " (" + fileName(pair.inf) +
                                 ")");
    return std::move(parsed.description);
}

void addDescribedFile(const InfPairPaths& pair, const InfDescription& description, InfImage& image,
                      InfBuildReport& report)
{
    auto skip = [&](const std::string& why) { report.skipped.push_back(pair.label + ": " + why); };
    const FileRead data = readFile(pair.data, dfs::kMaxFileLength);
    if (!data.error.empty())
        return skip("it cannot be read (" + data.error + ")");
    if (data.size > dfs::kMaxFileLength)
        return skip("its " + std::to_string(data.size) + " bytes are more than a disk of " +
                    std::to_string(dfs::kDiskSectors) + " sectors holds");
    if (std::optional<std::string> why = image.add(data.bytes, description))
        return skip(*why);

    DfsFile added;
    added.directory = description.directory;
    added.name = description.name.substr(0, dfs::kEntryNameLength);
    added.locked = description.locked;
    added.load = description.load;
    added.exec = description.exec;
    added.length = static_cast<uint32_t>(data.bytes.size());
    const std::string line = FormatInfLine(added);
    report.addedFiles.push_back(
        Cp1252ToUtf8({reinterpret_cast<const uint8_t*>(line.data()), line.size()}) + " (" +
        pair.label + ")");
    ++report.added;
}

} // namespace

void AddInfFileToImage(const InfPairPaths& pair, InfImage& image, InfBuildReport& report)
{
    if (const std::optional<InfDescription> description = readDescription(pair, report))
        addDescribedFile(pair, *description, image, report);
}

InfBuildReport BuildInfImage(std::string_view folder, std::string_view title,
                             const std::string& imagePath, size_t fewestFiles)
{
    InfBuildReport report;
    FolderListing listing;
    if (!ListFolderTree(folder, listing) || listing.names.size() < fewestFiles)
        return report;

    // Files taken from a disk keep the order of its catalogue (ORDER=n);
    // the others follow in the order they were found.
    std::vector<std::pair<InfPairPaths, InfDescription>> described;
    for (const InfPairPaths& pair : FindInfPairs(listing, report.unpaired))
        if (std::optional<InfDescription> description = readDescription(pair, report))
            described.emplace_back(pair, std::move(*description));
    std::stable_sort(described.begin(), described.end(), [](const auto& a, const auto& b) {
        return a.second.order.value_or(INT_MAX) < b.second.order.value_or(INT_MAX);
    });
    InfImage image(title);
    for (const auto& [pair, description] : described)
        addDescribedFile(pair, description, image, report);
    if (report.added > 0) {
        report.error = writeImage(imagePath, image.bytes());
        report.imageWritten = report.error.empty();
    }
    report.message = reportMessage(imagePath, report);
    return report;
}

InfBuildReport BuildImageFromInfFiles(Form1State& f)
{
    const std::string imagePath = f.sTempDir + "\\" + f.sFilenameNoExt + ".ssd";
    InfBuildReport report = BuildInfImage(f.sTempDir, f.sFilenameNoExt, imagePath, kFewestFiles);
    if (report.imageWritten) {
        f.iZipped = 1;
        f.sFullFilename = imagePath;
    }
    return report;
}

} // namespace tavrin
