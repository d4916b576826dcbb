#pragma once
// A configured emulator program is a command line: the program and its
// arguments, split as a shell splits them but never run through a shell.
// The configuration file's reader removes quotes around a whole value, as
// Windows does, so a program path with blanks may reach us quoted, bare, or
// with its opening quote taken away; resolving the value copes with each.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

struct CommandLine {
    std::string program;
    std::vector<std::string> arguments;
    // The folder the program starts in: its own folder when it was given by
    // its path (an emulator finds its ROMs and settings beside it), the
    // current folder when empty (a name found on PATH).
    std::string workingFolder = {};
};

// The words of `text` as a POSIX shell reads them, without any expansion:
// blanks and tabs separate words; '...' keeps everything literally; "..."
// keeps everything but a backslash before \ " $ or `; a backslash outside
// quotes keeps the next character. None for an unclosed quote.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view text);

// The word written so that a shell reads it back as exactly that word:
// unchanged when it holds only characters a shell never treats specially,
// otherwise in single quotes.
std::string QuoteForShell(std::string_view word);

// The command line written back as shell words.
std::string JoinCommandLine(const CommandLine& command);

// The existing file a program word names: a word holding "/" is a path
// (relative ones from the current folder); a bare name is looked for on
// PATH, then in the current folder (where a batch file such as
// "ElectrEm.bat" is written). Empty when there is none.
std::filesystem::path FindProgram(std::string_view word);

// The outcome of resolving a configured value.
struct ResolvedCommandLine {
    CommandLine command;
    // Empty when the program exists; otherwise why it cannot be started.
    std::string error;
};

// Resolves a configured value, first rule that names an existing program
// winning:
// 1. the whole value (blanks and tabs around it removed) names a program;
// 2. the value's first word, split as a shell would;
// 3. the value with its outer quotes given back, for a quoted program path
//    followed by arguments whose quotes the reader took as the value's own;
// 4. the shortest run of blank-separated words that names a program, the
//    rest split into arguments (a path with blanks typed without quotes).
// When none does, the split of rule 2 is returned with the reason.
ResolvedCommandLine ResolveCommandLine(std::string_view value);

} // namespace tavrin
