#pragma once
// Disk image files: reading and writing the catalogue, creating blank images.
//
// Each routine takes a path as stored (backslashes and any letter case are
// fine), opens the file for the one operation and closes it again, and
// reports failure as a readable message that names the file and the reason.
// None of them shows anything; the caller decides how to tell the user.

#include "DiskCatalogue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

// The first bytes of an image file.
struct DiskImageHead {
    std::vector<uint8_t> bytes; // at most the length asked for; fewer for a short file
    uint64_t size = 0;          // size of the whole file
    std::string error;          // empty when the file was read
    bool ok() const { return error.empty(); }
};

// The catalogue of an image file, as the panel shows it.
struct DiskCatalogueRead {
    // Empty for a file that is plainly another kind (`otherFormat`).
    DiskCatalogue catalogue;
    // Why WriteDiskCatalogue would refuse the file, as CheckDfsImage tells
    // it; none when it is a DFS image.
    std::optional<std::string> notDfs;
    // What the file is when it is plainly no DFS disk (OtherFileFormat).
    std::optional<std::string> otherFormat;
    std::string error; // empty when the file was read
    bool ok() const { return error.empty(); }
};

// The outcome of a write.
struct DiskWriteResult {
    std::string error; // empty when everything was written
    bool ok() const { return error.empty(); }
};

// Reads up to `length` bytes from the start of the file, opened for reading
// only. A short file is not an error: `bytes` holds what there is.
DiskImageHead ReadDiskImageHead(std::string_view path, size_t length = dfs::kCatalogueReadLength);

// Reads the catalogue of the image, opened for reading only. A file shorter
// than the bytes read gives empty boxes for what lies past its end (see
// ParseDiskCatalogue); only a file that cannot be opened or read fails. A
// file that is not a DFS image is shown all the same, with the reason why,
// unless it is plainly another kind of file: then nothing of it is shown.
DiskCatalogueRead ReadDiskCatalogue(std::string_view path);

// The message for a file that is not a DFS image, `reason` as CheckDfsImage
// gives it.
std::string NotDfsImageMessage(std::string_view path, std::string_view reason);

// Writes the title (when given) and the boot option 0 to 3 (when given) into
// the catalogue of the image, in place: only bytes 0x000 to 0x007 and 0x100
// to 0x103 for the title and bits 4 and 5 of byte 0x106 for the option change;
// byte 0x107 and the rest of 0x106 are kept. A file whose name does not end
// in ".ssd", ".dsd", ".img" or ".bbc", or that is not a DFS image (see
// CheckDfsImage), is left untouched and reported.
DiskWriteResult WriteDiskCatalogue(std::string_view path, std::optional<std::string_view> title,
                                   std::optional<int> bootOption);

// Writes the blank 204,800-byte image (MakeBlankImage) to `path`, replacing
// any file there entirely: the image is written beside it under a temporary
// name and renamed into place, so a failure leaves the old file as it was.
// An existing file keeps its permissions; a read-only one is not replaced.
DiskWriteResult CreateBlankImage(std::string_view path);

} // namespace tavrin
