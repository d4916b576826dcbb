#pragma once
// One run of the unzip engine: open the archive, then list, test or extract
// its entries as the option record says, reporting through the callbacks.

#include "common/EntryName.h"

#include <varnock/UnzipApi.h>

#include <zip.h>

#include <sys/stat.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace varnock::engine {

// Free space that extraction leaves on the target file system: one
// hundredth of its size, at least 1 MiB and at most 64 MiB.
uint64_t FreeSpaceReserve(uint64_t fileSystemSize);

// True when `needed` more bytes leave at least the reserve free.
bool RoomFor(uint64_t needed, uint64_t available, uint64_t fileSystemSize);

// Line-end conversion of text entries: CR LF becomes LF.
class CrLfToLf {
public:
    void convert(const char* data, size_t size, std::string& out);
    void finish(std::string& out);

private:
    bool pendingCr_ = false;
};

// A first block of an entry looks like text: no zero byte and few control
// characters.
bool LooksLikeText(const char* data, size_t size);

class Extraction {
public:
    Extraction(int32_t ifnc, char** ifnv, int32_t xfnc, char** xfnv, const DCL& options,
               USERFUNCTIONS* functions);
    ~Extraction();
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    int run();

private:
    enum class Level { Detail, Summary, Problem };
    enum class Mode { List, ZipInfo, Test, Print, Extract };

    struct Entry {
        zip_uint64_t index = 0;
        zip_stat_t stat{};
        std::string name;
        std::string shown; // the name as printed: control characters in caret notation
        uint32_t mode = 0; // Unix mode bits, 0 when the archive holds none
        bool isLink = false;
        time_t mtime = 0;
        bool exactTime = false; // from the extended time field, not DOS time
    };

    // Where a file's data is written: its own name, a name beside it, or
    // an unnamed file in its folder (named once complete, while still open).
    struct Target {
        std::string written; // empty while unnamed
        int fd = -1;
        bool direct = true; // written under its own name
    };

    struct PendingLink {
        std::string path;
        std::string shownName;
        std::string target;
    };

    void print(Level level, const std::string& text);
    void note(int code) { code_ = code > code_ ? code : code_; }
    bool openArchive();
    void announceArchive();
    int prepareFolder();
    void takeEntries();
    bool announceTotal();
    bool goOn(const char* name, uint64_t size);
    void reportUnmatchedPatterns();
    void printSummary();
    bool readEntry(zip_uint64_t index, Entry& entry);
    bool selected(const std::string& name);
    void listEntry(const Entry& entry);
    void zipinfoEntry(const Entry& entry);
    void testEntry(const Entry& entry);
    void extractEntry(const Entry& entry);
    void printEntryData(const Entry& entry);
    zip_file_t* openEntry(const Entry& entry);
    zip_file_t* openFailed(const Entry& entry);
    zip_file_t* openWithPassword(const Entry& entry, const std::string& password, bool& wrong);
    zip_file_t* openEncrypted(const Entry& entry);
    bool askPassword(const Entry& entry, bool first, std::string& password);
    bool readAll(const Entry& entry, zip_file_t* file, int fd, bool toPrint);
    bool deliver(const Entry& entry, const char* data, size_t size, int fd, bool toPrint);
    bool sizeMismatch(const Entry& entry, uint64_t total);
    bool ensureFolders(const std::vector<std::string>& parts, size_t count, const std::string& entryName);
    bool replaceExisting(const Entry& entry, const std::string& path, const struct stat& existing);
    bool checkRoom(const std::string& folder, uint64_t needed, const std::string& entryName);
    bool writeFile(const Entry& entry, const std::string& folder, const std::string& path,
                   const std::string& shownName, bool replacing);
    bool createTarget(const std::string& folder, const std::string& path, bool replacing, Target& target);
    void applyAttributes(const Entry& entry, int fd);
    bool putInPlace(Target& target, const std::string& path, const std::string& shownName);
    bool readLinkTarget(const Entry& entry, std::string& target);
    void createPendingLinks();
    void reportReadError(const Entry& entry, zip_error_t* error);
    void fillTotals();

    int32_t ifnc_;
    char** ifnv_;
    int32_t xfnc_;
    char** xfnv_;
    const DCL& options_;
    USERFUNCTIONS* functions_;
    std::string archiveName_;
    std::string archiveShown_; // as printed
    std::string archivePath_;
    std::string folder_;
    zip_t* archive_ = nullptr;
    Mode mode_ = Mode::Extract;
    int code_ = PK_OK;
    bool stop_ = false;
    bool archiveNamed_ = false; // the line "Archive:  name" has been printed
    bool replaceAll_ = false;
    bool replaceNone_ = false;
    std::string password_;
    std::vector<bool> patternMatched_;
    std::set<std::string> knownFolders_;
    std::vector<PendingLink> links_;
    uint64_t sinceSpaceCheck_ = 0; // bytes written since the file system was last asked
    int unnamedFiles_ = -1; // the folder's file system makes unnamed files: -1 not yet known
    bool spaceKnown_ = false;
    uint64_t knownFree_ = 0, knownSize_ = 0;
    uint64_t totalSize_ = 0, totalCompressed_ = 0, members_ = 0;
    int problems_ = 0;
    std::vector<char> buffer_;
};

} // namespace varnock::engine
