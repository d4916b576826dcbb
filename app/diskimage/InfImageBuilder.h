#pragma once
// The builder of a single-sided DFS image (".ssd") from loose files that
// each have a ".inf" description beside them, as archives of BBC Micro
// software often hold them.

#include "InfFile.h"
#include "core/FolderTree.h"
#include "core/Form1State.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

struct InfBuildReport {
    int added = 0;                     // files written into the image
    // Each file added, as its ".inf" line and, in brackets, its data file;
    // UTF-8, the DFS name read in the disk's code page.
    std::vector<std::string> addedFiles;
    std::vector<std::string> skipped;  // each pair left out, with the reason
    std::vector<std::string> unpaired; // files with no partner (read-me files and the like)
    bool imageWritten = false;         // an image was (re)built
    std::string error;                 // why the image could not be written, when it could not
    // What was left out or went wrong, for a message box; empty when nothing was.
    std::string message;
};

// A data file and its ".inf" description, found side by side in one folder.
struct InfPairPaths {
    std::filesystem::path data;
    std::filesystem::path inf;
    std::string label; // the data file's name, with its sub-folder when it has one
};

// The pairs among the files of a folder tree listing: each data file with
// the ".inf" of its name in the same folder, matched without regard to letter
// case, in listing order. A file whose own name ends in ".inf" is a data file
// when it describes no other file and has a ".inf" of its own. Files
// without a partner go to `unpaired`.
std::vector<InfPairPaths> FindInfPairs(const FolderListing& listing,
                                       std::vector<std::string>& unpaired);

// Reads one pair and adds it to the image; a file that cannot be read or a
// description that cannot be used leaves the image unchanged and is named in
// the report.
void AddInfFileToImage(const InfPairPaths& pair, InfImage& image, InfBuildReport& report);

// Builds an image at `imagePath` from the ".inf" pairs of the tree under
// `folder`, titled `title`, the files in the order their descriptions give
// (ORDER=n), the others after them in listing order. The image replaces any
// file of that name (written beside it and renamed into place) and is
// written only when at least one file was added. With fewer than
// `fewestFiles` files in the tree nothing is tried.
InfBuildReport BuildInfImage(std::string_view folder, std::string_view title,
                             const std::string& imagePath, size_t fewestFiles = 1);

// Builds f.sTempDir "\" f.sFilenameNoExt ".ssd" from the ".inf" pairs found
// in f.sTempDir, titled with f.sFilenameNoExt. Sets f.iZipped to 1 and
// f.sFullFilename to the image when at least one file was added; builds no
// image and leaves both alone otherwise. Shows nothing.
InfBuildReport BuildImageFromInfFiles(Form1State& f);

} // namespace tavrin
