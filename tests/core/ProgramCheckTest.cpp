// The check of an emulator's program box: what the command line names, and
// whether that can be started.

#include "TempDir.h"
#include "core/ProgramCheck.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;

TEST(SplitCommandLine, SplitsAsAShellDoes)
{
    struct Case {
        const char* line;
        bool ok;
        std::vector<std::string> words;
    } cases[] = {
        {"", true, {}},
        {"  beebem  -fullscreen ", true, {"beebem", "-fullscreen"}},
        {"'/opt/My Emus/b-em' -sp", true, {"/opt/My Emus/b-em", "-sp"}},
        {"\"/opt/My Emus/b-em\" \"a\\\"b\" c\\ d", true, {"/opt/My Emus/b-em", "a\"b", "c d"}},
        {"x''y \"\"", true, {"xy", ""}},
        {"'it's", true, {"its"}},
        {"it's", false, {}},
        {"\"open", false, {}},
        {"trailing\\", false, {}},
        {"tab\tnew\nline", true, {"tab", "new", "line"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> words;
        EXPECT_EQ(SplitCommandLine(c.line, &words), c.ok);
        if (c.ok) {
            EXPECT_EQ(words, c.words);
        }
    }
}

TEST(CheckEmulatorProgram, NamesTheStateOfTheProgramPart)
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
    make("bin/notexec", plain);
    fs::create_directories(dir / "emus/folder");
    fs::create_symlink(dir / "emus/beebem", dir / "emus/link");
    fs::create_symlink(dir / "emus/gone", dir / "emus/dangling");
    const std::string searchPath = (dir / "nothing").string() + "::" + (dir / "bin").string();

    struct Case {
        std::string line;
        ProgramState state;
    } cases[] = {
        {"", ProgramState::Empty},
        {"   ", ProgramState::Empty},
        {"emus/beebem", ProgramState::Runnable},
        {"emus/beebem -fullscreen \"a b\"", ProgramState::Runnable},
        {"EMUS\\BeebEm", ProgramState::Runnable},      // stored Windows-style, whole
        {"EMUS/BeebEm -x", ProgramState::Runnable},      // letter case as Windows would
        {(dir / "emus/My Emus/b-em run").string(), ProgramState::Runnable}, // blanks, unquoted
        {"'emus/My Emus/b-em run' -sp", ProgramState::Runnable},
        {"emus/My Emus/b-em run -sp", ProgramState::Missing},  // neither whole nor split
        {"emus/plain", ProgramState::NotRunnable},
        {"emus/Start.BAT /x", ProgramState::Runnable},          // read by /bin/sh
        {"emus/folder", ProgramState::NotRunnable},
        {"emus/link", ProgramState::Runnable},
        {"emus/dangling", ProgramState::Missing},
        {"emus/none", ProgramState::Missing},
        {"onpath --help", ProgramState::Runnable},
        {"notexec", ProgramState::NotRunnable},
        {"beebem", ProgramState::Missing},                       // bare names use the path only
        {"'emus/beebem", ProgramState::BadCommandLine},
        {"\"\" x", ProgramState::Missing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(CheckEmulatorProgram(c.line, searchPath).state, c.state);
    }
    EXPECT_EQ(CheckEmulatorProgram("onpath", searchPath).program, (dir / "bin/onpath").string());
}

TEST(CheckEmulatorProgram, MarkTexts)
{
    EXPECT_EQ(ProgramStateText(ProgramState::Empty), "");
    EXPECT_EQ(ProgramStateText(ProgramState::Runnable), "");
    EXPECT_EQ(ProgramStateText(ProgramState::Missing), "does not exist");
    EXPECT_EQ(ProgramStateText(ProgramState::NotRunnable), "cannot be run");
    EXPECT_EQ(ProgramStateText(ProgramState::BadCommandLine), "has an unclosed quote");
}

} // namespace
} // namespace tavrin::test
