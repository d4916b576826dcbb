#pragma once
// tavrin-disk: the catalogue panel's reading and writing, and the blank
// image of "Create", for people who keep their collections with scripts.

#include "diskimage/DiskCatalogue.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

// Exit statuses of tavrin-disk.
enum DiskToolStatus : int {
    kDiskToolOk = 0,
    kDiskToolFailed = 1, // a file could not be read or written, or is not a DFS image
    kDiskToolBadArguments = 2,
    kDiskToolSomeLeftOut = 3, // build wrote its image without some of the files
};

// Runs tavrin-disk with its arguments (without the program name); results go
// to `out`, messages to `err`. Returns the exit status.
int RunDiskTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// What "cat --info" adds: the disk's sector count and free sectors, and the
// record of each shown entry.
struct DiskInfo {
    std::optional<int> sectors;
    std::optional<int> freeSectors;
    std::vector<CatalogueFile> files; // by box number, shown entries only
    const CatalogueFile* file(int box) const;
};

DiskInfo ReadDiskInfo(std::span<const uint8_t> image);

// The catalogue as one JSON object:
// {"title": text, "boot": 0 to 3 or null, "entries": [62 texts]}, and with
// `info` also "sectors", "free_sectors" and "files".
std::string DiskCatalogueJson(const DiskCatalogue& catalogue, const DiskInfo* info = nullptr);

// Text as a JSON string, quotes included.
std::string JsonString(std::string_view text);

} // namespace tavrin
