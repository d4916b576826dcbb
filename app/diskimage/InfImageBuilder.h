#pragma once
// The builder of a single-sided DFS image (".ssd") from loose files that
// each have a ".inf" description beside them, as archives of BBC Micro
// software often hold them.

#include "core/Form1State.h"

#include <string>
#include <vector>

namespace tavrin {

struct InfBuildReport {
    int added = 0;                // files written into the image
    std::vector<std::string> skipped; // each file left out, with the reason
    bool imageWritten = false;    // an image was (re)built
    // What was left out, for a message box; empty when nothing was.
    std::string message;
};

// Builds f.sTempDir "\" f.sFilenameNoExt ".ssd" from the ".inf" pairs found
// in f.sTempDir, titled with f.sFilenameNoExt. Sets f.iZipped to 1 and
// f.sFullFilename to the image when at least one file was added; builds no
// image and leaves both alone otherwise. Shows nothing.
InfBuildReport BuildImageFromInfFiles(Form1State& f);

} // namespace tavrin
