#include "Archiver.h"

#include "DeflateSource.h"

#include "common/EntryName.h"
#include "common/HostPath.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnock::engine {
namespace {

constexpr zip_uint16_t kExtendedTimeField = 0x5455;
constexpr int kDefaultLevel = 6;

bool HasWildcard(const std::string& text) { return text.find_first_of("*?[") != std::string::npos; }

std::string CurrentFolder()
{
    std::string buffer(4096, '\0');
    if (!::getcwd(buffer.data(), buffer.size()))
        return "/";
    return buffer.c_str();
}

std::vector<std::string> SortedEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// DOS times have a two-second grain: a file is newer than an entry only
// by more than that, unless the entry carries an exact time.
bool NewerThanEntry(time_t file, time_t entry) { return file > entry + 1; }

struct ArchiveHandle {
    zip_t* archive = nullptr;
    ~ArchiveHandle()
    {
        if (archive)
            zip_discard(archive);
    }
};

void PrintEmpty(zip_t*, double, void* data)
{
    // Keeps the client's window live while libzip compresses.
    auto* functions = static_cast<const ZIPUSERFUNCTIONS*>(data);
    char nothing[1] = {'\0'};
    functions->print(nothing, 0);
}

} // namespace

std::string NormalisePath(std::string_view path, std::string_view base)
{
    std::string text = ToSlashes(path);
    if (text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])))
        text.erase(0, 2);
    if (text.empty() || text.front() != '/') {
        std::string b = ToSlashes(base);
        if (b.size() >= 2 && b[1] == ':' && std::isalpha(static_cast<unsigned char>(b[0])))
            b.erase(0, 2);
        if (b.empty() || b.front() != '/')
            b = CurrentFolder() + "/" + b;
        text = b + "/" + text;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        std::string part = text.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

std::string StoredName(const std::string& path, const std::string& root)
{
    if (root != "/" && path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
        path[root.size()] == '/')
        return path.substr(root.size() + 1);
    return path.size() > 1 ? path.substr(1) : std::string();
}

int CompressionLevel(char level)
{
    if (level >= '0' && level <= '9')
        return level - '0';
    if (level >= 1 && level <= 9)
        return level;
    return kDefaultLevel;
}

Archiver::Archiver(const ZIPUSERFUNCTIONS& functions, const ZPOPT& options, std::string root)
    : functions_(functions), options_(options), root_(std::move(root))
{
}

void Archiver::print(bool problem, const std::string& text)
{
    if (!functions_.print || (!problem && options_.fQuiet))
        return;
    // Each message is one line: control characters of the names in it
    // are shown, not sent.
    bool line = !text.empty() && text.back() == '\n';
    std::string copy = Printable(line ? text.substr(0, text.size() - 1) : text) + (line ? "\n" : "");
    functions_.print(copy.data(), static_cast<uint32_t>(copy.size()));
}

void Archiver::addPath(const std::string& path, bool named)
{
    // A named link is followed, as the user named it; inside a folder
    // tree a link to a folder is stored as the link (following it could
    // walk in a circle, or out of the tree).
    if (named)
        visitedFolders_.clear();
    struct stat st;
    if ((named ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
        if (named)
            print(true, "zip warning: name not matched: " + path + "\n");
        return;
    }
    std::string linkTarget;
    if (S_ISLNK(st.st_mode) && !followLink(path, st, linkTarget))
        return;
    if (archiveExists_ && st.st_dev == archiveDevice_ && st.st_ino == archiveInode_)
        return; // never the archive itself
    Item item;
    item.path = path;
    item.mtime = st.st_mtime;
    item.mode = st.st_mode;
    std::string stored = StoredName(path, root_);
    if (options_.fJunkDir) {
        size_t slash = stored.rfind('/');
        if (slash != std::string::npos)
            stored.erase(0, slash + 1);
    }
    if (S_ISDIR(st.st_mode)) {
        if (!options_.fNoDirEntries && !options_.fJunkDir && !stored.empty()) {
            item.folder = true;
            item.stored = stored + "/";
            if (storedNames_.insert(item.stored).second)
                items_.push_back(item);
        }
        if (options_.fRecurse)
            addFolderTree(path, st);
        return;
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        print(true, "zip warning: skipping special file " + path + "\n");
        return;
    }
    if (stored.empty())
        return;
    item.stored = stored;
    item.size = S_ISLNK(st.st_mode) ? linkTarget.size() : static_cast<uint64_t>(st.st_size);
    item.linkTarget = std::move(linkTarget);
    if (storedNames_.insert(item.stored).second)
        items_.push_back(item);
    else if (named)
        print(true, "zip warning: duplicate name " + stored + " left out\n");
}

// A link met in a folder tree: one to a file stands for the file (`st`
// becomes the file's), one to a folder is kept as the link with its
// target; a link to nothing is left out.
bool Archiver::followLink(const std::string& path, struct stat& st, std::string& linkTarget)
{
    struct stat target;
    if (::stat(path.c_str(), &target) != 0)
        return false;
    if (S_ISDIR(target.st_mode))
        return readLink(path, linkTarget);
    st = target;
    return true;
}

bool Archiver::readLink(const std::string& path, std::string& target)
{
    std::string buffer(4097, '\0');
    ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) {
        print(true, "zip warning: could not read the link " + path + "\n");
        note(ZE_OPEN);
        return false;
    }
    target.assign(buffer.data(), static_cast<size_t>(n));
    return true;
}

void Archiver::addFolderTree(const std::string& folder, const struct stat& st)
{
    // Within the tree of one name, no folder is walked twice (a folder
    // mounted inside itself would be walked for ever).
    if (!visitedFolders_.insert({st.st_dev, st.st_ino}).second) {
        print(true, "zip warning: " + folder + " was already walked; left out\n");
        return;
    }
    for (const std::string& name : SortedEntries(folder))
        addPath(folder + "/" + name, false);
}

bool Archiver::expandWildcard(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string folder = ResolveHostPath(slash == 0 ? "/" : path.substr(0, slash));
    std::string pattern = path.substr(slash + 1);
    bool any = false;
    for (const std::string& name : SortedEntries(folder)) {
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0) {
            addPath((folder == "/" ? "" : folder) + "/" + name, true);
            any = true;
        }
    }
    return any;
}

bool Archiver::gather(const std::string& name)
{
    std::string path = NormalisePath(name, root_);
    std::string resolved = ResolveHostPath(path);
    struct stat st;
    if (::stat(resolved.c_str(), &st) == 0) {
        addPath(resolved, true);
        return true;
    }
    if (HasWildcard(path) && expandWildcard(path))
        return true;
    print(true, "zip warning: name not matched: " + name + "\n");
    return false;
}

int Archiver::deleteEntries(const std::string& archivePath)
{
    int error = 0;
    ArchiveHandle handle;
    handle.archive = zip_open(archivePath.c_str(), 0, &error);
    if (!handle.archive) {
        print(true, "zip error: cannot open " + archivePath + " to delete entries\n");
        return ZE_NAME;
    }
    zip_int64_t count = zip_get_num_entries(handle.archive, 0);
    int deleted = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zip_get_name(handle.archive, static_cast<zip_uint64_t>(i), 0);
        if (!entry)
            continue;
        for (const std::string& pattern : patterns_) {
            if (::fnmatch(pattern.c_str(), entry, 0) == 0) {
                print(false, std::string("deleting: ") + entry + "\n");
                zip_delete(handle.archive, static_cast<zip_uint64_t>(i));
                ++deleted;
                break;
            }
        }
    }
    if (deleted == 0) {
        print(true, "zip error: Nothing to do! (" + archivePath + ")\n");
        return ZE_NONE;
    }
    if (zip_close(handle.archive) != 0) {
        print(true, std::string("zip error: cannot write ") + archivePath + ": " +
                        zip_strerror(handle.archive) + "\n");
        return ZE_WRITE;
    }
    handle.archive = nullptr;
    return ZE_OK;
}

// Creates or updates the archive from the named files: check the call,
// find the root and the archive, gather the files, write them.
int Archiver::run(int32_t argc, const char* zipName, const ZIPNAMES* names)
{
    if (!zipName || !*zipName) {
        print(true, "zip error: no archive name given\n");
        return ZE_NAME;
    }
    if (!names || argc < 0 || argc > ZP_NAME_SLOTS) {
        print(true, "zip error: bad list of names\n");
        return ZE_PARMS;
    }
    zipName_ = zipName;
    if (int code = locateRootAndArchive(); code != ZE_OK)
        return code;
    if (options_.fDeleteEntries)
        return deleteNamedEntries(argc, names);
    if (!gatherNames(argc, names)) {
        print(true, "zip error: Nothing to do! (" + zipName_ + ")\n");
        return ZE_NONE;
    }
    return writeArchive();
}

int Archiver::locateRootAndArchive()
{
    std::string rootText = root_;
    root_ = ResolveHostPath(NormalisePath(rootText.empty() ? "." : rootText, CurrentFolder()));
    struct stat st;
    if (::stat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        print(true, "zip error: root folder " + rootText + " not found\n");
        return ZE_PARMS;
    }
    archivePath_ = ResolveHostPath(NormalisePath(zipName_, root_));
    if (::stat(archivePath_.c_str(), &st) == 0) {
        archiveExists_ = true;
        archiveDevice_ = st.st_dev;
        archiveInode_ = st.st_ino;
    }
    return ZE_OK;
}

int Archiver::deleteNamedEntries(int32_t argc, const ZIPNAMES* names)
{
    for (int32_t i = 0; i < argc; ++i)
        if (names->s[i])
            patterns_.push_back(ToSlashes(names->s[i]));
    if (!archiveExists_) {
        print(true, "zip error: " + zipName_ + " not found\n");
        return ZE_NAME;
    }
    return deleteEntries(archivePath_);
}

bool Archiver::gatherNames(int32_t argc, const ZIPNAMES* names)
{
    bool matched = false;
    for (int32_t i = 0; i < argc; ++i)
        if (names->s[i] && *names->s[i] && gather(names->s[i]))
            matched = true;
    return matched && !items_.empty();
}

int Archiver::writeArchive()
{
    Deflater deflater(CompressionLevel(options_.fLevel)); // outlives the archive, whose sources use it
    ArchiveHandle handle;
    if (int code = openArchive(handle.archive); code != ZE_OK)
        return code;
    if (options_.fEncrypt && !askPassword())
        return ZE_PARMS;
    for (const Item& item : items_)
        if (int code = addItem(handle.archive, item, deflater); code != ZE_OK)
            return code;
    setComment(handle.archive);
    if (int code = closeArchive(handle.archive); code != ZE_OK)
        return code;
    handle.archive = nullptr;
    return code_;
}

int Archiver::openArchive(zip_t*& archive)
{
    int error = 0;
    archive = zip_open(archivePath_.c_str(), archiveExists_ ? 0 : ZIP_CREATE, &error);
    if (archive)
        return ZE_OK;
    zip_error_t ze;
    zip_error_init_with_code(&ze, error);
    int code = error == ZIP_ER_NOZIP || error == ZIP_ER_INCONS ? ZE_FORM
               : error == ZIP_ER_EOF                          ? ZE_EOF
               : error == ZIP_ER_MEMORY                       ? ZE_MEM
                                                              : ZE_CREAT;
    print(true, "zip error: cannot open " + zipName_ + ": " +
                    (error == ZIP_ER_NOZIP ? "it is not a zip archive" : zip_error_strerror(&ze)) + "\n");
    zip_error_fini(&ze);
    return code;
}

bool Archiver::askPassword()
{
    if (functions_.password) {
        char answer[256] = {};
        if (functions_.password(answer, sizeof answer, "Enter password: ", zipName_.c_str()) == 0) {
            answer[sizeof answer - 1] = '\0';
            password_ = answer;
        }
    }
    if (password_.empty())
        print(true, "zip error: no password given for the encrypted archive\n");
    return !password_.empty();
}

// Whether an item goes into the archive: an update passes over files no
// newer than their entries, a freshen over files without one.
bool Archiver::wanted(zip_t* za, const Item& item, zip_int64_t existing)
{
    bool update = options_.fUpdate || options_.fFreshen;
    if (existing >= 0 && update && !item.folder) {
        zip_stat_t zs;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(existing), 0, &zs) == 0 &&
            (zs.valid & ZIP_STAT_MTIME) && !NewerThanEntry(item.mtime, zs.mtime))
            return false;
    }
    return !(existing < 0 && options_.fFreshen) && !(existing >= 0 && item.folder);
}

int Archiver::addItem(zip_t* za, const Item& item, Deflater& deflater)
{
    zip_int64_t existing = zip_name_locate(za, item.stored.c_str(), 0);
    if (!wanted(za, item, existing))
        return ZE_OK;
    if (functions_.service && functions_.service(item.stored.c_str(), item.size) != 0) {
        print(true, "zip error: stopped by the caller\n");
        return ZE_PARMS;
    }
    zip_int64_t index = -1;
    if (item.folder) {
        index = zip_dir_add(za, item.stored.substr(0, item.stored.size() - 1).c_str(), ZIP_FL_ENC_GUESS);
    } else {
        zip_source_t* source = item.linkTarget.empty() ? fileSource(item, deflater) : linkSource(za, item);
        if (!source)
            return ZE_OK; // reported; the other files go on
        index = zip_file_add(za, item.stored.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
        if (index < 0)
            zip_source_free(source);
    }
    if (index < 0) {
        print(true, "zip error: cannot add " + item.stored + ": " + zip_strerror(za) + "\n");
        return ZE_LOGIC;
    }
    setEntryDetails(za, static_cast<zip_uint64_t>(index), item);
    print(false, std::string(existing >= 0 ? "updating: " : "  adding: ") + item.stored + "\n");
    return ZE_OK;
}

zip_source_t* Archiver::fileSource(const Item& item, Deflater& deflater)
{
    int fd = ::open(item.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    zip_source_t* source = nullptr;
    if (fd >= 0) {
        zip_error_t ze;
        zip_error_init(&ze);
        // Deflated here unless stored or encrypted: libzip's own layers do those.
        bool deflated = CompressionLevel(options_.fLevel) != 0 && password_.empty();
        source = deflated ? deflater.source(item.path, item.size, item.mtime, &ze)
                          : zip_source_file_create(item.path.c_str(), 0, -1, &ze);
        zip_error_fini(&ze);
    }
    if (!source) {
        print(true, "zip warning: could not open for reading: " + item.path + "\n");
        note(ZE_OPEN);
    }
    return source;
}

zip_source_t* Archiver::linkSource(zip_t* za, const Item& item)
{
    zip_source_t* source = zip_source_buffer(za, item.linkTarget.data(), item.linkTarget.size(), 0);
    if (!source) {
        print(true, "zip warning: could not store the link " + item.path + "\n");
        note(ZE_OPEN);
    }
    return source;
}

// Compression, encryption, time and Unix mode of a new entry.
void Archiver::setEntryDetails(zip_t* za, zip_uint64_t at, const Item& item)
{
    int level = CompressionLevel(options_.fLevel);
    if (!item.folder) {
        bool stored = level == 0 || !item.linkTarget.empty();
        zip_set_file_compression(za, at, stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 stored ? 0 : static_cast<zip_uint32_t>(level));
        if (!password_.empty())
            zip_file_set_encryption(za, at,
                                    zip_encryption_method_supported(ZIP_EM_TRAD_PKWARE, 1) ? ZIP_EM_TRAD_PKWARE
                                                                                           : ZIP_EM_AES_256,
                                    password_.c_str());
    }
    zip_file_set_mtime(za, at, item.mtime, 0);
    zip_file_set_external_attributes(za, at, 0, ZIP_OPSYS_UNIX,
                                     static_cast<zip_uint32_t>(item.mode & 0xFFFF) << 16 |
                                         (item.folder ? 0x10u : 0u));
    zip_uint8_t field[5] = {1};
    auto t = static_cast<uint32_t>(item.mtime);
    for (int i = 0; i < 4; ++i)
        field[1 + i] = static_cast<zip_uint8_t>(t >> (8 * i));
    zip_file_extra_field_set(za, at, kExtendedTimeField, ZIP_EXTRA_FIELD_NEW, field, sizeof field,
                             ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
}

void Archiver::setComment(zip_t* za)
{
    if (!options_.fComment || !functions_.comment)
        return;
    std::vector<char> buffer(ZP_COMMENT_SIZE, '\0');
    char* answer = functions_.comment(buffer.data());
    if (!answer)
        answer = buffer.data();
    size_t length = strnlen(answer, ZP_COMMENT_SIZE - 1);
    if (length > 0)
        zip_set_archive_comment(za, answer, static_cast<zip_uint16_t>(length));
}

int Archiver::closeArchive(zip_t* za)
{
    if (functions_.print)
        zip_register_progress_callback_with_state(za, 0.02, PrintEmpty, nullptr,
                                                  const_cast<ZIPUSERFUNCTIONS*>(&functions_));
    if (zip_close(za) == 0)
        return ZE_OK;
    zip_error_t* ze = zip_get_error(za);
    int code = zip_error_code_zip(ze);
    bool source = code == ZIP_ER_OPEN || code == ZIP_ER_READ || code == ZIP_ER_CHANGED;
    print(true, std::string("zip error: ") + (source ? "a file could not be read" : "cannot write") +
                    " while writing " + zipName_ + ": " + zip_error_strerror(ze) +
                    " (the archive is left as it was)\n");
    return code == ZIP_ER_MEMORY ? ZE_MEM : source ? ZE_OPEN : code == ZIP_ER_TMPOPEN ? ZE_CREAT : ZE_WRITE;
}

} // namespace varnock::engine
