#pragma once
// One run of the zip engine: gather the named files (recursing into
// folders when asked) and create or update the archive with libzip.

#include <varnock/ZipApi.h>

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace varnock::engine {

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
    };

    void print(bool problem, const std::string& text);
    void note(int code) { code_ = code > code_ ? code : code_; }
    bool gather(const std::string& name);
    void addPath(const std::string& path, bool named);
    void addFolderTree(const std::string& folder);
    bool expandWildcard(const std::string& path);
    int deleteEntries(const std::string& archivePath);

    const ZIPUSERFUNCTIONS& functions_;
    const ZPOPT& options_;
    std::string root_;
    std::string archivePath_;
    dev_t archiveDevice_ = 0;
    ino_t archiveInode_ = 0;
    bool archiveExists_ = false;
    std::vector<Item> items_;
    std::set<std::string> storedNames_;
    std::vector<std::string> patterns_;
    int code_ = ZE_OK;
};

} // namespace varnock::engine
