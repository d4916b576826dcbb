#pragma once
// tavrin-disk's "mmb" command: MMB files, the one file in which the SD-card
// and MMC filing systems of a real BBC Micro keep up to 511 discs a zone.
//   mmb new | list | add | extract | remove | lock | unlock | title | boot | extend

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

// Runs "mmb" with the arguments (args[0] is "mmb"); results go to `out`,
// messages to `err`. Returns the exit status of tavrin-disk.
int RunDiskToolMmb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The help of the mmb commands: one block for each, its first line (the one
// not indented) its usage; then the exit statuses.
std::string_view DiskToolMmbHelp();

// The usage lines of the mmb commands, for the help of tavrin-disk.
std::vector<std::string_view> DiskToolMmbUsages();

} // namespace tavrin
