#pragma once
// Small routines that take stored paths apart and test and empty folders.
// Stored paths may use "\" or "/" as separators; every path reaches the file
// system through OsPath.

#include <string>
#include <string_view>

namespace tavrin {

// True when the folder exists. A folder given with or without its trailing
// separator is found; an empty name means the current folder. Never throws.
bool DirExists(std::string_view DName);

// Deletes every file directly in the folder (read-only ones too); subfolders
// and what they hold are left alone. False when the folder does not exist or
// some file could not be deleted. Never throws.
bool DeleteAllFiles(std::string_view FolderSpec);

// The path without the extension of its file name: "C:\BBC\elite.ssd" gives
// "C:\BBC\elite". A file name without "." is returned whole; a point in a
// folder name never counts.
std::string GetFullNameLessExt(std::string_view ScanString);

// Everything up to and including the last separator: "C:\BBC\elite.ssd" gives
// "C:\BBC\"; a bare file name gives "".
std::string GetDirPath(std::string_view ScanString);

// The file name part, leading and trailing spaces removed: "C:\BBC\elite.ssd"
// gives "elite.ssd".
std::string GetFilename(std::string_view sFullPath);

// True when a file (not a folder) of that path exists.
bool FileExists(std::string_view path);

} // namespace tavrin
