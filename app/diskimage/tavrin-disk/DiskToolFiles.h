#pragma once
// tavrin-disk's commands that move files between a disk image and a folder
// of loose files with ".inf" descriptions:
//   build FOLDER IMAGE [--title TEXT]   an image from the ".inf" pairs of a folder
//   extract IMAGE FOLDER                every file of an image with its ".inf"

#include "diskimage/InfFile.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

// True for "build" and "extract".
bool IsDiskToolFilesCommand(std::string_view command);

// Runs "build" or "extract" with the arguments (args[0] is the command);
// results go to `out`, messages to `err`. Returns the exit status of
// tavrin-disk.
int RunDiskToolFiles(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The help text of the two commands.
std::string_view DiskToolFilesHelp();

// A file name for a DFS file: its name for directory "$", otherwise the
// directory, "." and the name; characters that a file system (Linux or
// Windows) cannot hold in a name become "_", bytes above 0x7F are read in the
// disk's code page. The name and the name plus ".inf" are made distinct from
// every name in `taken` without regard to letter case ("~2", "~3" ... added),
// and both are added to it (folded to lower case).
std::string SafeFileName(const DfsFile& file, std::set<std::string>& taken);

// The bytes of a file of the image, or none when they lie past its end.
// A ".dsd" image holds its two sides track by track (10 sectors of side 0,
// then 10 of side 1); the catalogue's sectors count on side 0.
std::optional<std::vector<uint8_t>> DfsFileData(std::span<const uint8_t> image, const DfsFile& file,
                                                bool interleaved);

// Makes extract's FOLDER: created when missing, otherwise it must be an
// empty folder. The message why it cannot be used, or none.
std::optional<std::string> PrepareExtractFolder(const std::string& folder);

// Writes one extracted file; false when it could not be written whole.
bool WriteExtractedFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

} // namespace tavrin
