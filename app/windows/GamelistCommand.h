#pragma once
// "tavrin --export-gamelist es-de|pegasus FOLDER": the catalogue written for
// another front-end from the command line, without a window. Messages go to
// standard error.

#include <iosfwd>
#include <string>
#include <vector>

namespace tavrin {

inline constexpr const char* kExportGamelistOption = "--export-gamelist";

// Runs the command with the words after the option, in the application
// folder (the current folder). 0 when the list was written, 1 when the
// catalogue or the list could not be read or written, 2 for words that are
// no such command.
int RunExportGamelistCommand(const std::vector<std::string>& words, const std::string& appFolder,
                             std::ostream& err);

} // namespace tavrin
