#include "FolderTree.h"

#include "Paths.h"

#include <QString>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tavrin {
namespace {

// Name order without regard to letter case ("ELITE" beside "Elite.inf");
// names that differ only in case keep a fixed order among themselves.
bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    const int folded = QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

struct FolderEntries {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

// The sub-folders and regular files of one folder, each sorted. Links are
// not followed (a link to a folder above would never end the listing), and
// pipes, devices and sockets are no files to read.
FolderEntries readFolder(const std::string& folder)
{
    FolderEntries entries;
    std::error_code ec;
    fs::directory_iterator it(OsPath(folder), ec);
    if (ec)
        return entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::error_code typeError;
        const fs::file_status status = it->symlink_status(typeError);
        if (typeError)
            continue;
        const std::string name = it->path().filename().string();
        if (fs::is_directory(status))
            entries.folders.push_back(name);
        else if (fs::is_regular_file(status))
            entries.files.push_back(name);
    }
    std::sort(entries.folders.begin(), entries.folders.end(), lessIgnoringCase);
    std::sort(entries.files.begin(), entries.files.end(), lessIgnoringCase);
    return entries;
}

} // namespace

std::string WithTrailingBackslash(std::string_view path)
{
    std::string result(path);
    if (result.empty() || result.back() != '\\')
        result += '\\';
    return result;
}

bool ListFolderTree(std::string_view folder, FolderListing& out)
{
    const std::string start = WithTrailingBackslash(folder);
    std::error_code ec;
    if (!fs::is_directory(OsPath(start), ec))
        return false;

    FolderListing listing;
    listing.folders.push_back(start);
    // Breadth-first: the folders array grows while it is walked.
    for (size_t k = 0; k < listing.folders.size(); ++k) {
        FolderEntries entries = readFolder(listing.folders[k]);
        for (const std::string& sub : entries.folders)
            listing.folders.push_back(listing.folders[k] + sub + "\\");
        for (std::string& file : entries.files) {
            listing.names.push_back(std::move(file));
            listing.nameFolders.push_back(static_cast<int32_t>(k));
        }
    }
    if (listing.names.empty()) {
        listing.names.emplace_back();
        listing.nameFolders.push_back(0);
    }
    out = std::move(listing);
    return true;
}

} // namespace tavrin
