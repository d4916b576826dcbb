#pragma once
// tavrin-disk's commands on UEF tape images (gzip-compressed or not):
//   cat [--info] [--json] TAPE.uef   the tape's files
//   extract TAPE.uef FOLDER          every file with its ".inf"

#include "diskimage/Uef.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

// True when "cat" or "extract" (args[0]) is given a tape image: its first
// file argument ends in ".uef" (any letter case), or the file starts with
// the UEF signature or with gzip's magic number. False for "--help".
bool IsDiskToolUefCommand(const std::vector<std::string>& args);

// Runs "cat" or "extract" on a tape image; results go to `out`, messages to
// `err`. Returns the exit status of tavrin-disk.
int RunDiskToolUef(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The help text of the two commands on tape images.
std::string_view DiskToolUefHelp();

// A file's ".inf" line in the form of the disc files', its 32-bit addresses
// written whole: "$.ELITE 00001900 00008023 002800 Locked". A blank or a
// control character of the name, which would split the line's fields, is
// written "_".
std::string TapeInfLine(const TapeFile& file);

// The tape as one JSON object: {"files": [...]}, and with `info` also
// "version", "compressed", "chunks" and each file's "block_list".
std::string UefTapeJson(const UefTape& tape, bool info);

} // namespace tavrin
