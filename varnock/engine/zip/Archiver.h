#pragma once
// One run of the zip engine: gather the named files (recursing into
// folders when asked) and create or update the archive with libzip.

#include <varnock/ZipApi.h>

#include <zip.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace varnock::engine {

class Deflater;

// A path given in Windows or Unix form as the engine uses it: the drive
// letter dropped, backslashes turned into "/", "." and ".." resolved
// lexically, relative paths taken from `base`.
std::string NormalisePath(std::string_view path, std::string_view base);

// The name stored for `path` (normalised and absolute): relative to `root`
// when it lies below it, else the path without its leading "/".
std::string StoredName(const std::string& path, const std::string& root);

// The compression level from the option record's level byte: '0' to '9'
// or 1 to 9; 0 (or anything else) is the default, 6.
int CompressionLevel(char level);

class Archiver {
public:
    Archiver(const ZIPUSERFUNCTIONS& functions, const ZPOPT& options, std::string root);
    int run(int32_t argc, const char* zipName, const ZIPNAMES* names);

private:
    struct Item {
        std::string path;   // on disk
        std::string stored; // in the archive; folders end with "/"
        bool folder = false;
        time_t mtime = 0;
        mode_t mode = 0;
        uint64_t size = 0;
        std::string linkTarget; // for a link to a folder, stored as the link
    };

    void print(bool problem, const std::string& text);
    void note(int code) { code_ = code > code_ ? code : code_; }
    bool gather(const std::string& name);
    void addPath(const std::string& path, bool named);
    void addFolderTree(const std::string& folder, const struct stat& st);
    bool followLink(const std::string& path, struct stat& st, std::string& linkTarget);
    bool readLink(const std::string& path, std::string& target);
    bool expandWildcard(const std::string& path);
    int deleteEntries(const std::string& archivePath);

    // The steps of run().
    int locateRootAndArchive();
    int deleteNamedEntries(int32_t argc, const ZIPNAMES* names);
    bool gatherNames(int32_t argc, const ZIPNAMES* names);
    int writeArchive();
    int openArchive(zip_t*& archive);
    bool askPassword();
    bool wanted(zip_t* za, const Item& item, zip_int64_t existing);
    int addItem(zip_t* za, const Item& item, Deflater& deflater);
    zip_source_t* fileSource(const Item& item, Deflater& deflater);
    zip_source_t* linkSource(zip_t* za, const Item& item);
    void setEntryDetails(zip_t* za, zip_uint64_t at, const Item& item);
    void setComment(zip_t* za);
    int closeArchive(zip_t* za);

    const ZIPUSERFUNCTIONS& functions_;
    const ZPOPT& options_;
    std::string root_;
    std::string zipName_;     // as the caller gave it
    std::string archivePath_;
    std::string password_;
    dev_t archiveDevice_ = 0;
    ino_t archiveInode_ = 0;
    bool archiveExists_ = false;
    std::vector<Item> items_;
    std::set<std::string> storedNames_;
    std::set<std::pair<dev_t, ino_t>> visitedFolders_;
    std::vector<std::string> patterns_;
    int code_ = ZE_OK;
};

} // namespace varnock::engine
