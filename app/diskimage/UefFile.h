#pragma once
// UEF tape image files: read whole from a path as stored (backslashes and
// any letter case are fine), gzip-compressed or not. Failures are readable
// messages that name the file and the reason.

#include "Uef.h"

#include <string_view>

namespace tavrin
{

// Reads the tape, opened for reading only. A file larger than any tape
// image (uef::kLargestTape) is not read.
UefTapeRead ReadUefTapeFile(std::string_view path);

// True for a path whose last four characters are ".uef" in any letter case.
bool IsUefFilename(std::string_view path);

} // namespace tavrin
