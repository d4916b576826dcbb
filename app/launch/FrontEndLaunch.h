#pragma once
// The command another front-end runs to start the emulator on a title.

#include <string>
#include <string_view>

namespace tavrin {

// The emulator's configured command line for Pegasus's "launch:" line, with
// `placeholder` (Pegasus's "{file.path}") where the configured destination
// stands in it (B-Em given "-disc /home/ann/bbc/Disk0.ssd"), else after it
// (an emulator that takes the file as its last argument). Words with blanks
// or quotes are put in double quotes, a quote in one written three times, as
// Qt splits a command. Empty when no program is configured.
std::string FrontEndLaunchLine(std::string_view commandLine, std::string_view destination,
                               std::string_view placeholder);

} // namespace tavrin
