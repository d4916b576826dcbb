#include "FileHelpers.h"

#include "Paths.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tavrin {
namespace {

size_t lastSeparator(std::string_view s)
{
    for (size_t i = s.size(); i-- > 0;)
        if (isPathSeparator(s[i]))
            return i;
    return std::string_view::npos;
}

} // namespace

bool DirExists(std::string_view DName)
{
    if (DName.empty())
        return true;
    std::error_code ec;
    return fs::is_directory(OsPath(DName), ec);
}

bool DeleteAllFiles(std::string_view FolderSpec)
{
    std::error_code ec;
    const fs::path folder = OsPath(FolderSpec);
    if (FolderSpec.empty() || !fs::is_directory(folder, ec))
        return false;
    bool allGone = true;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return false;
        std::error_code typeError;
        const auto status = it->symlink_status(typeError);
        if (typeError || fs::is_directory(status))
            continue;
        // On this platform a read-only file goes with its folder's permission;
        // the file's own bits do not stop the removal.
        std::error_code removeError;
        if (!fs::remove(it->path(), removeError) || removeError)
            allGone = false;
    }
    return allGone;
}

std::string GetFullNameLessExt(std::string_view ScanString)
{
    const size_t sep = lastSeparator(ScanString);
    const size_t nameStart = sep == std::string_view::npos ? 0 : sep + 1;
    const size_t dot = ScanString.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return std::string(ScanString);
    return std::string(ScanString.substr(0, dot));
}

std::string GetDirPath(std::string_view ScanString)
{
    const size_t sep = lastSeparator(ScanString);
    if (sep == std::string_view::npos)
        return {};
    return std::string(ScanString.substr(0, sep + 1));
}

std::string GetFilename(std::string_view sFullPath)
{
    const size_t sep = lastSeparator(sFullPath);
    std::string_view name = sep == std::string_view::npos ? sFullPath : sFullPath.substr(sep + 1);
    const size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const size_t last = name.find_last_not_of(' ');
    return std::string(name.substr(first, last - first + 1));
}

bool FileExists(std::string_view path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    return fs::is_regular_file(OsPath(path), ec);
}

} // namespace tavrin
