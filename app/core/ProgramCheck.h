#pragma once
// Whether an emulator's program box names something that can be started.
// The box holds a command line: the program and its arguments. A whole value
// that names an existing file is that program, blanks and all; otherwise the
// value is split into words as a shell would split it and the first word is
// the program. A name without a folder is looked up on the search path.

#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

enum class ProgramState {
    Empty,          // nothing configured
    Runnable,       // an executable file, or a ".bat" file that can be read
    Missing,        // no such file
    NotRunnable,    // a folder, or a file without the right to run it
    BadCommandLine, // an unbalanced quote or a trailing backslash
};

struct ProgramCheck {
    ProgramState state = ProgramState::Empty;
    std::string program; // the program part, as found on disk when found
};

// Splits a command line into words as a POSIX shell does: blanks separate,
// single quotes keep everything, double quotes keep all but \" \\ \$ \`,
// a backslash outside quotes keeps the next character. False on an open
// quote or a trailing backslash.
bool SplitCommandLine(std::string_view line, std::vector<std::string>* words);

// Checks the program part of a command line. `searchPath` is the list of
// folders a bare name is looked up in, separated by ":" (normally $PATH).
ProgramCheck CheckEmulatorProgram(std::string_view commandLine, std::string_view searchPath);
// The same with the process's own $PATH.
ProgramCheck CheckEmulatorProgram(std::string_view commandLine);

// The mark shown beside a program box: empty for a program that can be run.
std::string ProgramStateText(ProgramState state);

} // namespace tavrin
