#include "ProgramFolders.h"

#include <QCryptographicHash>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
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

// The SHA-256 of a file in hexadecimal; empty when it cannot be read.
std::string FileHash(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        hash.addData(QByteArrayView(buffer.data(), in.gcount()));
    }
    if (in.bad())
        return {};
    return hash.result().toHex().toStdString();
}

// The manifest: each shipped file's name and the hash of the bytes it was
// put there with. Lines that are not "HASH  NAME" are skipped.
using Manifest = std::map<std::string, std::string>;

Manifest ReadManifest(const fs::path& file)
{
    constexpr std::size_t kHashLength = 64;
    // Far more than every shipped file's line: a larger file is no manifest.
    constexpr std::uintmax_t kMaxManifestSize = 16u << 20;
    Manifest manifest;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size > kMaxManifestSize)
        return manifest;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (line.size() <= kHashLength + 2 || line.compare(kHashLength, 2, "  ") != 0 ||
            line.find_first_not_of("0123456789abcdef") < kHashLength)
            continue;
        manifest[line.substr(kHashLength + 2)] = line.substr(0, kHashLength);
    }
    return manifest;
}

void WriteWhole(const fs::path& file, const std::string& text)
{
    const fs::path part = file.string() + ".tavrin-part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
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

void WriteManifest(const fs::path& file, const Manifest& manifest)
{
    std::string text = "# The shipped files as Tavrin put them here: SHA-256, then the name.\n";
    for (const auto& [name, hash] : manifest)
        text += hash + "  " + name + "\n";
    WriteWhole(file, text);
}

// The user's own files: never replaced, whatever they hold.
bool IsUsersFile(const fs::path& relative)
{
    return !relative.has_parent_path() &&
           (relative == "bbc.mdb" || relative == "bbc.ini");
}

// True when no folder between `target` and the file is a link: a file
// reached through a link may be anywhere and is not replaced.
bool NoLinkOnTheWay(const fs::path& target, const fs::path& relative)
{
    fs::path at = target;
    std::error_code ec;
    for (const fs::path& part : relative.parent_path()) {
        at /= part;
        if (fs::is_symlink(fs::symlink_status(at, ec)))
            return false;
    }
    return true;
}

// Replaces a file the user never changed by the shipped one.
void Replace(const fs::path& from, const fs::path& to)
{
    const fs::path part = to.string() + ".tavrin-part";
    std::error_code ec;
    fs::remove(part, ec);
    if (!fs::copy_file(from, part, ec) || ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        Fail("The file " + from.string() + " cannot be copied to " + to.string(), ec);
    }
    fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    ec);
    fs::rename(part, to, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        Fail("The file " + to.string() + " cannot be written", ec);
    }
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
    WriteWhole(file, version + "\n");
}

// Brings one shipped file into the per-user folder and records in `after`
// the bytes it was put there with; 1 when the file was copied or replaced.
int Bring(const fs::path& from, const fs::path& target, const fs::path& relative,
          const Manifest& before, Manifest& after)
{
    const std::string name = relative.generic_string();
    // A name the manifest cannot hold is never recorded, so never replaced.
    const bool recordable = name.find_first_of("\r\n") == std::string::npos;
    const fs::path to = target / relative;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(to, ec);
    const auto known = before.find(name);
    if (!fs::exists(status)) {
        if (!CopyWhenMissing(from, to))
            return 0;
        if (recordable)
            after[name] = FileHash(from);
        return 1;
    }
    const std::string shippedHash = FileHash(from);
    const std::string hash = fs::is_regular_file(status) ? FileHash(to) : std::string();
    if (!recordable)
        return 0;
    if (!hash.empty() && hash == shippedHash) {
        after[name] = hash;
        return 0;
    }
    if (!hash.empty() && !shippedHash.empty() && known != before.end() && known->second == hash &&
        !IsUsersFile(relative) && NoLinkOnTheWay(target, relative)) {
        Replace(from, to);
        after[name] = shippedHash;
        return 1;
    }
    // Changed by the user (or not known to be unchanged): kept, and still
    // counted as changed at the next upgrade.
    if (known != before.end())
        after[name] = known->second;
    return 0;
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

    const Manifest before = ReadManifest(target / kShippedManifestFile);
    Manifest after;
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
                   relative.filename() != kFilledStampFile &&
                   relative.filename() != kShippedManifestFile) {
            copied += Bring(it->path(), target, relative, before, after);
        }
    }
    if (ec)
        Fail("The shipped data folder " + shipped.string() + " cannot be read", ec);
    WriteManifest(target / kShippedManifestFile, after);
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
