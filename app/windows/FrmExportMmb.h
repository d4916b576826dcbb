#pragma once
// "Export to MMB...": the export of the grid's titles into an MMB file, with
// a progress bar that can stop it and the summary of what was left out.

#include "catalogue/MmbExport.h"

#include <string>
#include <vector>

class QWidget;

namespace tavrin
{

class Prompt;

// Writes the titles into a new MMB file at `mmbPath`, showing a progress bar
// that can stop the export, then the summary. True when a file was written.
bool ExportMmbWithProgress(QWidget* parent, Prompt& prompt,
                           const std::vector<MmbExportTitle>& titles, const std::string& mmbPath,
                           const UnpackArchive& unpack);

} // namespace tavrin
