#pragma once
// "Export to MMB": the titles of the catalogue grid that are single-sided
// DFS discs, written into a new MMB file for the SD card of a real BBC Micro.

#include "core/GridSearch.h"

#include <functional>
#include <string>
#include <vector>

namespace tavrin
{

class FlexGrid;

// Told when the grid shows an Internet source's list, whose files are not here.
inline constexpr const char* kMmbExportNeedsLocalCatalogue =
    "Export to MMB takes the titles of your own catalogue. Switch back to it with the "
    "Internet / Local button first.";

// One title of the grid: its name and its stored file path.
struct MmbExportTitle {
    std::string Software;
    std::string Filepath;
};

// The titles of the rows `shown` shows (every row when it is empty), in
// grid order.
std::vector<MmbExportTitle> MmbExportTitles(const FlexGrid& grid, const RowsShown& shown);

// Unpacks an archive flat into an empty folder; "" when it did, else the reason.
using UnpackArchive =
    std::function<std::string(const std::string& archive, const std::string& folder)>;

// Called before each title with the titles done and the titles in all;
// returns false to stop (nothing is then written).
using MmbExportProgress = std::function<bool(int done, int total)>;

// What an export did.
struct MmbExportReport {
    int written = 0;                    // discs in the new file
    int zones = 0;                      // its zones of 511 slots
    std::string firstTitle;             // the title of slot 0, which drive 0 starts
    std::vector<std::string> notDiscs;  // "Software: reason" of what is no single-sided DFS disc
    std::vector<std::string> didNotFit; // titles past the last slot of 16 zones
    int otherKinds = 0;                 // titles that are neither ".ssd" nor ".zip"
    bool cancelled = false;             // stopped: nothing was written
    std::string error;                  // why the file could not be written
};

// Writes a new MMB file at `mmbPath` (replacing any file there) from the
// titles, in their order, from slot 0: each ".ssd" image, and the ".ssd"
// that a ".zip" holds (one named like the archive, else the first found),
// unpacked with `unpack` into a scratch folder of its own. A disc that is no
// single-sided DFS disc of 80 tracks or fewer is left out and reported; so
// is every title past 16 zones of 511. Zones are added as the discs need
// them. Drive 0 starts slot 0. Nothing is written when no disc was found.
MmbExportReport ExportToMmb(const std::vector<MmbExportTitle>& titles, const std::string& mmbPath,
                            const UnpackArchive& unpack, const MmbExportProgress& progress = {});

// The summary the user is shown.
std::string MmbExportSummary(const MmbExportReport& report, const std::string& mmbPath);

} // namespace tavrin
