#pragma once
// Starting the emulators. A program is started without a shell, detached
// from tavrin: it keeps running when tavrin ends and never stays behind as
// a zombie process. A ".bat" file is run by /bin/sh with its carriage
// returns dropped. The Windows window style is only a hint here.

#include "CommandLine.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tavrin {

// The window styles of the start-program operation.
enum class WindowStyle { Hidden = 0, NormalFocus = 1, MinimizedFocus = 2, MaximizedFocus = 3 };

struct StartedProgram {
    int64_t pid = 0;
    // Why the program could not be started; empty on success.
    std::string error;
    bool started() const { return pid > 0; }
};

// Starts the resolved program with its arguments in the current folder.
StartedProgram StartProgram(const CommandLine& command, WindowStyle style);

// True when the file is run as a batch file (its name ends in ".bat", in
// any letter case).
bool IsBatchFile(std::string_view program);

// The rule of the wait's time-out on the seconds-since-midnight clock: the
// quit time is start + timeOut, or start - 86400 + timeOut when that
// crosses midnight, in which case the wait ends only once the clock reads
// less than the start again.
struct WaitDeadline {
    int start = 0;
    int timeOut = 0; // seconds; 0 waits for as long as the program runs
    int quit = 0;
    bool crossesMidnight = false;

    static WaitDeadline from(int secondsSinceMidnight, int timeOut);
    bool passed(int secondsSinceMidnight) const;
};

// The local clock's seconds since midnight, rounded to a whole number.
int SecondsSinceMidnight();

// Waits until the process `pid` has ended or the deadline has passed,
// sleeping in slices of at most `sliceMs` and calling `between` (the
// window's event processing) after each slice; the wait also ends when
// `between` returns false. True when the process ended.
bool WaitForProgramEnd(int64_t pid, const WaitDeadline& deadline,
                       const std::function<bool()>& between, int sliceMs = 20);

} // namespace tavrin
