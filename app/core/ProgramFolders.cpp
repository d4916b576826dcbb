#include "ProgramFolders.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#ifndef TAVRIN_INSTALLED_LIBRARY_FOLDER
#define TAVRIN_INSTALLED_LIBRARY_FOLDER "../lib/tavrin"
#endif
#ifndef TAVRIN_INSTALLED_DATA_FOLDER
#define TAVRIN_INSTALLED_DATA_FOLDER "../share/tavrin"
#endif

namespace tavrin {

namespace fs = std::filesystem;

namespace {

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

[[noreturn]] void Fail(const std::string& what, const std::error_code& ec)
{
    throw std::runtime_error(what + ": " + ec.message());
}

// Files of a portable folder that are the program itself, not its data.
bool IsProgramFile(const fs::path& relative)
{
    if (relative.has_parent_path())
        return false;
    const std::string name = relative.filename().string();
    return name == "tavrin" || name == "tavrin-disk" || relative.extension() == ".so";
}

// Moves `from` to `to` unless something already lies at `to`. Returns false
// (and leaves `from` in place) when it does.
bool RenameNoReplace(const fs::path& from, const fs::path& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        Fail("The file " + to.string() + " cannot be written", std::error_code(errno, std::generic_category()));
    // A file system without the no-replace rename.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec)))
        return false;
    fs::rename(from, to, ec);
    if (ec)
        Fail("The file " + to.string() + " cannot be written", ec);
    return true;
}

// Copies one shipped file into its place, unless the place is taken.
bool CopyWhenMissing(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec)))
        return false;
    const fs::path part = to.string() + ".tavrin-part";
    fs::remove(part, ec);
    if (!fs::copy_file(from, part, ec) || ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        Fail("The file " + from.string() + " cannot be copied to " + to.string(), ec);
    }
    // The copy is the user's own, even when the shipped file is read-only
    // (a portable folder on a read-only medium): the catalogue gets written.
    fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    try {
        if (RenameNoReplace(part, to))
            return true;
    } catch (...) {
        fs::remove(part, ec);
        throw;
    }
    fs::remove(part, ec);
    return false;
}

std::string ReadStamp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

void WriteStamp(const fs::path& file, const std::string& version)
{
    const fs::path part = file.string() + ".tavrin-part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << version << '\n';
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(part, ignored);
            throw std::runtime_error("The file " + file.string() + " cannot be written");
        }
    }
    std::error_code ec;
    fs::rename(part, file, ec);
    if (ec)
        Fail("The file " + file.string() + " cannot be written", ec);
}

} // namespace

InstallLayout InstalledLayout()
{
    return {TAVRIN_INSTALLED_LIBRARY_FOLDER, TAVRIN_INSTALLED_DATA_FOLDER};
}

UserEnvironment CurrentUserEnvironment()
{
    UserEnvironment env;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"))
        env.xdgDataHome = xdg;
    if (const char* home = std::getenv("HOME"))
        env.home = home;
    if (!IsAbsolute(env.home)) {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir)
            env.home = found->pw_dir;
    }
    return env;
}

fs::path PerUserDataFolder(const UserEnvironment& env)
{
    if (IsAbsolute(env.xdgDataHome))
        return fs::path(env.xdgDataHome) / "tavrin";
    if (IsAbsolute(env.home))
        return fs::path(env.home) / ".local" / "share" / "tavrin";
    return {};
}

fs::path ComponentLibraryFolder(const fs::path& programFolder, const InstallLayout& layout)
{
    std::error_code ec;
    if (fs::exists(programFolder / kComponentLibraryFile, ec))
        return programFolder;
    const fs::path installed = (programFolder / layout.libraryFolder).lexically_normal();
    if (fs::exists(installed / kComponentLibraryFile, ec))
        return installed;
    // Neither: loading reports the missing library beside the program.
    return programFolder;
}

bool FolderIsWritable(const fs::path& folder)
{
    return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

ProgramFolders ChooseProgramFolders(const fs::path& programFolder, bool writable,
                                    const UserEnvironment& env, const InstallLayout& layout)
{
    ProgramFolders folders;
    folders.programFolder = programFolder;
    folders.libraryFolder = ComponentLibraryFolder(programFolder, layout);
    const bool libraryBeside = folders.libraryFolder == programFolder;
    if (libraryBeside && writable) {
        folders.applicationFolder = programFolder;
        return folders;
    }
    folders.perUser = true;
    folders.applicationFolder = PerUserDataFolder(env);
    if (folders.applicationFolder.empty())
        throw std::runtime_error(
            "The folder for your Tavrin data cannot be found: neither XDG_DATA_HOME nor HOME "
            "names an absolute folder.");
    std::error_code ec;
    const fs::path installedData = (programFolder / layout.dataFolder).lexically_normal();
    folders.shippedData = !libraryBeside && fs::is_directory(installedData, ec) ? installedData
                                                                                 : programFolder;
    return folders;
}

int FillPerUserFolder(const fs::path& shipped, const fs::path& target, const std::string& version)
{
    std::error_code ec;
    if (!fs::is_directory(shipped, ec))
        throw std::runtime_error("The shipped data folder " + shipped.string() + " is missing.");
    fs::create_directories(target, ec);
    if (ec || !fs::is_directory(target, ec))
        throw std::runtime_error("The folder " + target.string() + " cannot be created" +
                                 (ec ? ": " + ec.message() : ": a file of that name is in the way."));
    const fs::path stamp = target / kFilledStampFile;
    if (ReadStamp(stamp) == version)
        return 0;

    int copied = 0;
    fs::recursive_directory_iterator it(shipped, fs::directory_options::none, ec);
    if (ec)
        Fail("The shipped data folder " + shipped.string() + " cannot be read", ec);
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(shipped);
        const fs::path to = target / relative;
        const fs::file_status status = it->symlink_status(ec);
        if (fs::is_directory(status)) {
            if (!fs::is_directory(to, ec)) {
                fs::create_directory(to, ec);
                if (ec || !fs::is_directory(to))
                    throw std::runtime_error("The folder " + to.string() + " cannot be created" +
                                             (ec ? ": " + ec.message()
                                                 : ": a file of that name is in the way."));
            }
        } else if (fs::is_regular_file(status) && !IsProgramFile(relative) &&
                   relative.filename() != kFilledStampFile) {
            if (CopyWhenMissing(it->path(), to))
                ++copied;
        }
    }
    if (ec)
        Fail("The shipped data folder " + shipped.string() + " cannot be read", ec);
    WriteStamp(stamp, version);
    return copied;
}

} // namespace tavrin

namespace tavrin {

ProgramFolders PrepareProgramFolders(const std::filesystem::path& programFolder,
                                     const std::string& version)
{
    ProgramFolders folders = ChooseProgramFolders(programFolder, FolderIsWritable(programFolder),
                                                 CurrentUserEnvironment());
    if (folders.perUser)
        FillPerUserFolder(folders.shippedData, folders.applicationFolder, version);
    return folders;
}

} // namespace tavrin
