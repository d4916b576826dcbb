#include "DiskImageFile.h"

#include "PosixFile.h"

#include "core/Paths.h"
#include "core/TextHelpers.h"

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

// Every message of this file.
namespace message
{

std::string inQuotes(std::string_view path)
{
    return concat({"\"", path, "\""});
}

std::string reason(int error)
{
    return std::generic_category().message(error);
}

std::string cannotOpen(std::string_view path, int error)
{
    return "Cannot open " + inQuotes(path) + ": " + reason(error);
}
std::string cannotRead(std::string_view path, int error)
{
    return "Cannot read " + inQuotes(path) + ": " + reason(error);
}
std::string isFolder(std::string_view path)
{
    return inQuotes(path) + " is a folder, not a disk image";
}
std::string notRegularFile(std::string_view path)
{
    return inQuotes(path) + " is not a regular file";
}
std::string notDiskImageName()
{
    return "its name does not end in .ssd, .dsd, .img or .bbc";
}
std::string badBootOption(int option)
{
    return "Boot option " + std::to_string(option) + " is not one of 0, 1, 2 and 3";
}
std::string cannotWriteCatalogue(std::string_view path, int error)
{
    return "Cannot write the catalogue of " + inQuotes(path) + ": " + reason(error);
}
std::string cannotCreate(std::string_view path, const std::string& why)
{
    return "Cannot create " + inQuotes(path) + ": " + why;
}
std::string folderNotWritable(const fs::path& folder, int error)
{
    return "the folder " + inQuotes(folder.string()) + " cannot be written (" + reason(error) + ")";
}
std::string folderMissing(const fs::path& folder)
{
    return "the folder " + inQuotes(folder.string()) + " does not exist";
}
std::string fileReadOnly()
{
    return "the file exists and is read-only";
}
std::string createIsFolder()
{
    return "a folder of that name exists";
}

} // namespace message

// A temporary file that is removed unless it was renamed into place.
class TemporaryFile
{
  public:
    explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const fs::path& path() const { return path_; }
    void keep() { path_.clear(); }

  private:
    fs::path path_;
};

// Opens a file and refuses anything but a regular file. On failure
// `error` holds the message.
FileDescriptor openImage(std::string_view path, int flags, std::string& error, struct stat& info)
{
    const fs::path osPath = OsPath(path);
    // O_NONBLOCK keeps a named pipe from blocking the open; it changes
    // nothing for a regular file.
    FileDescriptor fd(::open(osPath.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) {
        const int openError = errno;
        if (openError == EISDIR)
            error = message::isFolder(path);
        else
            error = message::cannotOpen(path, openError);
        return FileDescriptor();
    }
    if (::fstat(fd.get(), &info) != 0) {
        error = message::cannotOpen(path, errno);
        return FileDescriptor();
    }
    if (S_ISDIR(info.st_mode)) {
        error = message::isFolder(path);
        return FileDescriptor();
    }
    if (!S_ISREG(info.st_mode)) {
        error = message::notRegularFile(path);
        return FileDescriptor();
    }
    return fd;
}

// Reads up to `length` bytes from offset 0; 0 or the error number.
int readHead(int fd, size_t length, std::vector<uint8_t>& bytes)
{
    bytes.assign(length, 0);
    size_t done = 0;
    const int error = ReadUpTo(fd, bytes.data(), length, 0, done);
    bytes.resize(done);
    return error;
}

// A name beside `target` that no file has yet, created for writing.
FileDescriptor createBeside(const fs::path& target, fs::path& created, int& error)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    const fs::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate =
            folder / concat({".", target.filename().string(), ".tavrin-", std::to_string(::getpid()),
                             "-", std::to_string(random() % 1000000000)});
        // Mode 0666 lets the user's umask decide, as for any new file.
        int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            created = candidate;
            return FileDescriptor(fd);
        }
        if (errno != EEXIST) {
            error = errno;
            return FileDescriptor();
        }
    }
    error = EEXIST;
    return FileDescriptor();
}

bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

} // namespace

DiskImageHead ReadDiskImageHead(std::string_view path, size_t length)
{
    DiskImageHead head;
    struct stat info {
    };
    FileDescriptor fd = openImage(path, O_RDONLY, head.error, info);
    if (!fd.valid())
        return head;
    if (int error = readHead(fd.get(), length, head.bytes)) {
        head.bytes.clear();
        head.error = message::cannotRead(path, error);
        return head;
    }
    head.size = static_cast<uint64_t>(info.st_size);
    return head;
}

DiskCatalogueRead ReadDiskCatalogue(std::string_view path)
{
    DiskCatalogueRead result;
    DiskImageHead head = ReadDiskImageHead(path);
    if (!head.ok()) {
        result.error = std::move(head.error);
        return result;
    }
    result.otherFormat = OtherFileFormat(head.bytes);
    if (!result.otherFormat)
        result.catalogue = ParseDiskCatalogue(head.bytes);
    result.notDfs = CheckDfsImage(head.bytes, head.size);
    return result;
}

std::string NotDfsImageMessage(std::string_view path, std::string_view reason)
{
    return message::inQuotes(path) + " is not a DFS disk image: " + std::string(reason);
}

DiskWriteResult WriteDiskCatalogue(std::string_view path, std::optional<std::string_view> title,
                                   std::optional<int> bootOption)
{
    DiskWriteResult result;
    if (bootOption && (*bootOption < 0 || *bootOption > 3)) {
        result.error = message::badBootOption(*bootOption);
        return result;
    }
    struct stat info {
    };
    FileDescriptor fd = openImage(path, O_RDWR, result.error, info);
    if (!fd.valid())
        return result;

    std::vector<uint8_t> catalogue;
    if (int error = readHead(fd.get(), dfs::kCatalogueReadLength, catalogue)) {
        result.error = message::cannotRead(path, error);
        return result;
    }
    if (auto reason = CheckDfsImage(catalogue, static_cast<uint64_t>(info.st_size))) {
        result.error = NotDfsImageMessage(path, *reason);
        return result;
    }
    if (!IsDiskImageFilename(path)) {
        result.error = NotDfsImageMessage(path, message::notDiskImageName());
        return result;
    }

    // The new bytes are made in memory and only the runs that hold them are
    // written back, so nothing else of the file changes.
    int error = 0;
    if (title) {
        WriteCatalogueTitle(catalogue, *title);
        error = WriteAt(fd.get(), catalogue.data(), dfs::kTitleHeadLength, 0);
        if (!error)
            error = WriteAt(fd.get(), catalogue.data() + dfs::kTitleTailOffset,
                             dfs::kTitleLength - dfs::kTitleHeadLength, dfs::kTitleTailOffset);
    }
    if (!error && bootOption) {
        WriteBootOption(catalogue, *bootOption);
        error = WriteAt(fd.get(), catalogue.data() + dfs::kBootOptionOffset, 1,
                         dfs::kBootOptionOffset);
    }
    if (int closeError = fd.close(); !error)
        error = closeError;
    if (error)
        result.error = message::cannotWriteCatalogue(path, error);
    return result;
}

DiskWriteResult CreateBlankImage(std::string_view path)
{
    DiskWriteResult result;
    fs::path target = OsPath(path);
    std::error_code ec;
    // Through a link, the file it names is the one replaced.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    if (target.filename().empty()) {
        result.error = message::cannotCreate(path, message::createIsFolder());
        return result;
    }
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";

    struct stat existing {
    };
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        result.error = message::cannotCreate(path, message::createIsFolder());
        return result;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        result.error = message::cannotCreate(path, message::fileReadOnly());
        return result;
    }
    if (!fs::is_directory(folder, ec)) {
        result.error = message::cannotCreate(path, message::folderMissing(folder));
        return result;
    }

    fs::path temporaryPath;
    int error = 0;
    FileDescriptor fd = createBeside(folder / target.filename(), temporaryPath, error);
    if (!fd.valid()) {
        // The folder exists, so whatever keeps a new file out of it (rights,
        // a read-only medium, a file system that holds no files) is the folder's.
        result.error = message::cannotCreate(path, message::folderNotWritable(folder, error));
        return result;
    }
    TemporaryFile temporary(temporaryPath);

    if (exists)
        ::fchmod(fd.get(), existing.st_mode & 07777);
    const std::vector<uint8_t> image = MakeBlankImage();
    error = WriteAt(fd.get(), image.data(), image.size(), 0);
    if (!error && ::fsync(fd.get()) != 0)
        error = errno;
    if (int closeError = fd.close(); !error)
        error = closeError;
    if (!error && ::rename(temporary.path().c_str(), target.c_str()) != 0)
        error = errno;
    if (error) {
        result.error = message::cannotCreate(path, isPermissionError(error)
                                                       ? message::folderNotWritable(folder, error)
                                                       : message::reason(error));
        return result;
    }
    temporary.keep();
    return result;
}

} // namespace tavrin
