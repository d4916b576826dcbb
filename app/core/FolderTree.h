#pragma once
// The breadth-first listing of a folder tree that the search for an unpacked
// image and the builder of images from ".inf" files share.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Three parallel lists, indexed from 0. `names` holds the name (without its
// folder) of every file found, in listing order; `nameFolders[i]` is the
// index in `folders` of the folder holding `names[i]`; `folders` holds every
// folder visited, each with one trailing backslash, the starting folder at
// index 0. A starting folder holding no file at all gives the single name "".
struct FolderListing {
    std::vector<std::string> names;
    std::vector<int32_t> nameFolders;
    std::vector<std::string> folders;
};

// The path with a backslash added when its last character is not one.
std::string WithTrailingBackslash(std::string_view path);

// Lists the tree under `folder`: the starting folder, then its sub-folders,
// then theirs. Within each folder the sub-folders and the files are taken
// sorted by name without regard to letter case. A folder that does not exist
// leaves `out` untouched and gives false.
bool ListFolderTree(std::string_view folder, FolderListing& out);

} // namespace tavrin
