#pragma once
// Adding a folder of software to the catalogue: one record for every disk or
// tape image below the folder that the catalogue does not hold yet.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

// IsSoftwareFileName, GetSingleDirName and CataloguePathFor, which the scan
// shares with the record windows, are in RecordEditor.h.

// The key by which two stored paths name the same file: separators as "\",
// letters folded to lower case.
std::string CataloguePathKey(std::string_view path);

// A path a catalogue can store and give back: UTF-8 text without control
// characters (C0, DEL, C1), and no "\" inside a name, which a stored path
// would read as a separator.
bool IsStorablePath(std::string_view path);

// One record the scan would add.
struct ScannedSoftware {
    std::string Publisher;
    std::string Software;
    std::string Filepath;
};

// The record for one image file: Publisher from the folder that holds it,
// Software from the DFS title of a disk image that has one (printable and
// not blank), else the file name without its extension.
ScannedSoftware ScanSoftwareFile(const std::string& file, const std::string& appFolder);

// What a scan did. Names in the lists show control characters as "\xNN".
struct FolderScanReport {
    int added = 0;
    std::vector<std::string> duplicates;  // already in the catalogue (stored paths)
    std::vector<std::string> caseClashes; // "path (beside path)": differ from a file of the
                                          // same scan only in letter case
    std::vector<std::string> tooLong;     // "path: field" of what did not fit a field
    std::vector<std::string> badNames;    // not text, or holding control characters or "\"
    std::vector<std::string> unreadable;  // "path: why" of folders and links that cannot be read
    bool cancelled = false;               // the user stopped it: nothing was written
};

// Called as the scan goes on with the files done and the files in all;
// returns false to stop (nothing is then written).
using FolderScanProgress = std::function<bool(int done, int total)>;

// Every image file below `folder` (the folder itself and all folders below
// it; symbolic links to folders are not followed), sorted by path. Paths
// that a catalogue cannot store (no UTF-8 text, control characters, a "\"
// in a name) go to `badNames`; folders that cannot be opened, and image
// names that are links to nothing, to `unreadable`, each with why.
std::vector<std::string> FindSoftwareFiles(const std::string& folder,
                                           std::vector<std::string>& badNames,
                                           std::vector<std::string>& unreadable);

// Adds to the catalogue `databasePath` (table "BBCSoftware") one record per
// image file below `folder` whose stored path the catalogue does not hold:
// Genre " ", Data1 and Data2 "0", Index continuing the numbering. Records
// whose texts do not fit their fields are skipped and reported. All records
// go in one transaction. Throws dao::DaoError when the catalogue cannot be
// read or written; nothing is then added.
FolderScanReport AddFolderOfSoftware(const std::string& databasePath, const std::string& folder,
                                     const std::string& appFolder,
                                     const FolderScanProgress& progress = {});

// The summary shown to the user after a scan.
std::string FolderScanSummary(const FolderScanReport& report);

} // namespace tavrin
