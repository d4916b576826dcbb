// The mark of the properties dialog's program boxes: what the launch would
// find for a command line, and whether that can be started.

#include "TempDir.h"
#include "launch/ProgramCheck.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;

TEST(ProgramCheck, NamesTheStateOfTheProgramPart)
{
    TempDir dir;
    CurrentDir current(dir.path());
    auto make = [&](const std::string& name, fs::perms perms) {
        const fs::path file = dir.write(name, "#!/bin/sh\n");
        fs::permissions(file, perms);
    };
    const auto exec = fs::perms::owner_all;
    const auto plain = fs::perms::owner_read | fs::perms::owner_write;
    make("emus/beebem", exec);
    make("emus/My Emus/b-em run", exec);
    make("emus/plain", plain);
    make("emus/Start.BAT", plain);
    make("bin/onpath", exec);
    fs::create_directories(dir / "emus/folder");
    fs::create_symlink(dir / "emus/beebem", dir / "emus/link");
    fs::create_symlink(dir / "emus/gone", dir / "emus/dangling");
    const char* oldPath = std::getenv("PATH");
    const std::string keptPath = oldPath ? oldPath : "";
    ::setenv("PATH", (dir / "bin").c_str(), 1);

    struct Case {
        std::string line;
        ProgramState state;
    } cases[] = {
        {"", ProgramState::Empty},
        {" \t ", ProgramState::Empty},
        {"emus/beebem", ProgramState::Runnable},
        {"./emus/beebem -fullscreen \"a b\"", ProgramState::Runnable},
        {(dir / "emus/My Emus/b-em run").string(), ProgramState::Runnable}, // blanks, unquoted
        {"'emus/My Emus/b-em run' -sp", ProgramState::Runnable},
        {"emus/plain", ProgramState::NotRunnable},     // no right to run it
        {"emus/Start.BAT /x", ProgramState::Runnable}, // read by /bin/sh
        {"emus/folder", ProgramState::NotRunnable},
        {"emus/link", ProgramState::Runnable},
        {"emus/dangling", ProgramState::Missing},
        {"emus/none -x", ProgramState::Missing},
        {"onpath --help", ProgramState::Runnable},
        {"beebem", ProgramState::NotOnPath},
        {"beebem -disc 'emus/beebem'", ProgramState::NotOnPath},
        {"'emus/beebem", ProgramState::BadCommandLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(CheckEmulatorProgram(c.line).state, c.state);
    }
    EXPECT_EQ(CheckEmulatorProgram("onpath").program, (dir / "bin/onpath").string());
    ::setenv("PATH", keptPath.c_str(), 1);
}

TEST(ProgramCheck, MarkTexts)
{
    const std::pair<ProgramState, const char*> marks[] = {
        {ProgramState::Empty, ""},
        {ProgramState::Runnable, ""},
        {ProgramState::Missing, "does not exist"},
        {ProgramState::NotOnPath, "not found on PATH"},
        {ProgramState::NotRunnable, "cannot be run"},
        {ProgramState::BadCommandLine, "has an unclosed quote"},
    };
    for (const auto& [state, text] : marks)
        EXPECT_EQ(ProgramStateText(state), text);
}

} // namespace
} // namespace tavrin::test
