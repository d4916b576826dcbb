#include "MmbExport.h"

#include "Catalogue.h"
#include "core/FlexGrid.h"
#include "core/FolderTree.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"
#include "diskimage/MmbFile.h"

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <optional>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

// Every message of the export.
namespace message
{
std::string cannotUnpack(const std::string& archive, const std::string& why)
{
    return "the archive \"" + archive + "\" cannot be unpacked: " + why;
}
std::string noSsd(const std::string& archive)
{
    return "the archive \"" + archive + "\" holds no .ssd image";
}
std::string noScratchFolder(const std::string& why)
{
    return "no scratch folder for unpacked archives can be made: " + why;
}
std::string notAFile(const std::string& path)
{
    return "\"" + path + "\" is not a file here";
}
} // namespace message

bool endsWith(const std::string& path, std::string_view extension)
{
    return path.size() >= extension.size() &&
           equalsIgnoringAsciiCase(std::string_view(path).substr(path.size() - extension.size()),
                                   extension);
}

// The ".ssd" an unpacked archive holds: the one named like the archive,
// else the first in listing order. "" when there is none.
std::string findSsd(const std::string& folder, const std::string& archive)
{
    FolderListing listing;
    if (!ListFolderTree(folder, listing))
        return {};
    const std::string named = OsPath(archive).stem().string() + ".ssd";
    std::string first;
    for (size_t i = 0; i < listing.names.size(); ++i) {
        const std::string& name = listing.names[i];
        if (!endsWith(name, ".ssd"))
            continue;
        const std::string path = listing.folders[size_t(listing.nameFolders[i])] + name;
        if (equalsIgnoringAsciiCase(name, named))
            return path;
        if (first.empty())
            first = path;
    }
    return first;
}

// The scratch folders archives are unpacked into, one for each, removed
// when the export is over.
class Scratch
{
  public:
    bool ready(std::string& error)
    {
        if (!folder_)
            folder_ = std::make_unique<QTemporaryDir>();
        if (!folder_->isValid()) {
            error = message::noScratchFolder(folder_->errorString().toStdString());
            return false;
        }
        return true;
    }
    // A new empty folder for one archive; the last one's files go.
    std::string next()
    {
        std::error_code ec;
        if (!last_.empty())
            fs::remove_all(last_, ec);
        last_ = fs::path(folder_->path().toStdString()) / std::to_string(++count_);
        fs::create_directory(last_, ec);
        return last_.string();
    }

  private:
    std::unique_ptr<QTemporaryDir> folder_;
    fs::path last_;
    int count_ = 0;
};

} // namespace

std::vector<MmbExportTitle> MmbExportTitles(const FlexGrid& grid, const RowsShown& shown)
{
    std::vector<MmbExportTitle> titles;
    for (int row = 0; row < grid.Rows(); ++row)
        if (shown.empty() || (size_t(row) < shown.size() && shown[size_t(row)]))
            titles.push_back({std::string(grid.TextMatrix(row, colSoftware)),
                              std::string(grid.TextMatrix(row, colFilepath))});
    return titles;
}

MmbExportReport ExportToMmb(const std::vector<MmbExportTitle>& titles, const std::string& mmbPath,
                            const UnpackArchive& unpack, const MmbExportProgress& progress)
{
    MmbExportReport report;
    MmbIndex index = NewMmbIndex();
    std::optional<MmbWriter> writer; // made with the first disc
    Scratch scratch;
    const int total = static_cast<int>(titles.size());
    int slot = 0;
    for (int i = 0; i < total; ++i) {
        if (progress && !progress(i, total)) {
            report.cancelled = true;
            return report;
        }
        const MmbExportTitle& title = titles[size_t(i)];
        const bool zipped = endsWith(title.Filepath, ".zip");
        if (!zipped && !endsWith(title.Filepath, ".ssd")) {
            ++report.otherKinds;
            continue;
        }
        if (slot >= mmb::kMaxSlots) {
            report.didNotFit.push_back(title.Software);
            continue;
        }
        auto leftOut = [&](const std::string& why) {
            report.notDiscs.push_back(title.Software + ": " + why);
        };
        std::string image = title.Filepath;
        if (zipped) {
            std::error_code ec;
            if (!fs::is_regular_file(OsPath(title.Filepath), ec)) {
                leftOut(message::notAFile(title.Filepath));
                continue;
            }
            if (!scratch.ready(report.error))
                return report;
            const std::string unpacked = scratch.next();
            if (std::string why = unpack(OsPathString(title.Filepath), unpacked); !why.empty()) {
                leftOut(message::cannotUnpack(title.Filepath, why));
                continue;
            }
            image = findSsd(unpacked, title.Filepath);
            if (image.empty()) {
                leftOut(message::noSsd(title.Filepath));
                continue;
            }
        }
        const MmbImageRead disc = ReadImageForMmb(image);
        if (!disc.ok()) {
            leftOut(disc.error);
            continue;
        }
        if (!writer) {
            writer.emplace(mmbPath);
            if (!writer->ok()) {
                report.error = writer->error();
                return report;
            }
        }
        if (MmbZoneOf(slot) >= index.zones)
            ExtendMmbIndex(index);
        if (!writer->writeDisc(slot, disc.discs[0])) {
            report.error = writer->error();
            return report;
        }
        MmbTitle name = MmbTitleOfDisc(disc.discs[0]);
        if (IsBlankMmbTitle(name))
            name = EncodeMmbTitle(title.Software);
        SetMmbEntry(index, slot, name, mmb::kUnlocked);
        if (slot == 0)
            report.firstTitle = index.slot(0).title;
        ++slot;
    }
    if (progress)
        progress(total, total);
    if (!writer)
        return report;
    if (!writer->commit(index)) {
        report.error = writer->error();
        return report;
    }
    report.written = slot;
    report.zones = index.zones;
    return report;
}

std::string MmbExportSummary(const MmbExportReport& report, const std::string& mmbPath)
{
    if (report.cancelled)
        return "The export was stopped; \"" + mmbPath + "\" was not written.";
    if (!report.error.empty())
        return report.error + "\n\nNothing was exported.";
    std::string text;
    if (report.written == 0)
        text = "No title is a single-sided DFS disc (.ssd, or a zip holding one), so no MMB file "
               "was written.";
    else
        text = std::to_string(report.written) +
               (report.written == 1 ? " disc was" : " discs were") + " written to \"" + mmbPath +
               "\" (" + std::to_string(report.zones) + (report.zones == 1 ? " zone" : " zones") +
               " of 511 slots). Drive 0 starts slot 0, \"" + report.firstTitle + "\".";
    if (!report.notDiscs.empty())
        text +=
            "\n\nLeft out, not a single-sided DFS disc: " + std::to_string(report.notDiscs.size()) +
            ListedLines(report.notDiscs);
    if (!report.didNotFit.empty())
        text += "\n\nLeft out, past the last of the 8,176 slots of 16 zones: " +
                std::to_string(report.didNotFit.size()) + ListedLines(report.didNotFit);
    if (report.otherKinds > 0)
        text += "\n\nLeft out, neither .ssd images nor zip archives: " +
                std::to_string(report.otherKinds);
    return text;
}

} // namespace tavrin
