#pragma once
// Whether an emulator's program box names something that can be started,
// by the same rules the launch resolves the box's command line with
// (ResolveCommandLine): the properties dialog marks a box that would fail.

#include <string>
#include <string_view>

namespace tavrin {

enum class ProgramState {
    Empty,          // nothing configured
    Runnable,       // an executable file, or a ".bat" file that can be read
    Missing,        // no such program
    NotOnPath,      // a bare name that PATH does not hold
    NotRunnable,    // a folder, or a file without the right to run it
    BadCommandLine, // an unclosed quote
};

struct ProgramCheck {
    ProgramState state = ProgramState::Empty;
    std::string program; // the program part of the command line
};

ProgramCheck CheckEmulatorProgram(std::string_view commandLine);

// The mark shown beside a program box: empty for a program that can be run.
std::string ProgramStateText(ProgramState state);

} // namespace tavrin
