#pragma once
// "Add a folder of software": the scan of a folder with a progress bar and
// the summary of what was added and skipped.

#include <string>

class QWidget;

namespace tavrin
{

class Prompt;

// Adds every image below `folder` that the catalogue `databasePath` does not
// hold, showing a progress bar that can stop the scan, then the summary (or
// why the catalogue could not be changed). True when records were added.
bool AddFolderWithProgress(QWidget* parent, Prompt& prompt, const std::string& databasePath,
                           const std::string& folder, const std::string& appFolder);

} // namespace tavrin
