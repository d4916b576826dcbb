// Configured programs as command lines: the shell's word splitting without a
// shell, quoting for a shell, and the resolution of a program path with
// blanks however the configuration file gives it back.

#include "LaunchFixture.h"

#include "launch/CommandLine.h"
#include "launch/FrontEndLaunch.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

using namespace test;
using Words = std::vector<std::string>;

TEST(CommandLine, SplitLikeAShell)
{
    struct Case {
        const char* text;
        std::optional<Words> words;
    };
    const Case cases[] = {
        {"b-em -disc /home/ann/Disk0.ssd -autoboot", Words{"b-em", "-disc", "/home/ann/Disk0.ssd", "-autoboot"}},
        {"  a\t b  ", Words{"a", "b"}},
        {"\"/home/ann/My Emulators/beebem\" -x", Words{"/home/ann/My Emulators/beebem", "-x"}},
        {"'it''s' a\\ b", Words{"its", "a b"}},
        {"\"a\\\"b\\$c\\d\"", Words{"a\"b$c\\d"}},
        {"'$(rm -rf ~)' `x` ;|&", Words{"$(rm -rf ~)", "`x`", ";|&"}},
        {"\"\" x", Words{"", "x"}},
        {"", Words{}},
        {"\"open", std::nullopt},
        {"it's", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCommandLine(c.text), c.words) << c.text;
}

TEST(CommandLine, FrontEndLaunchLinePutsTheFileWhereTheDestinationStands)
{
    const struct {
        const char* commandLine;
        const char* destination;
        const char* line;
    } cases[] = {
        {"b-em -disc /home/ann/bbc/Disk0.ssd -autoboot", "/home/ann/bbc/Disk0.ssd",
         "b-em -disc {file.path} -autoboot"},
        {"/usr/local/bin/electrem", "", "/usr/local/bin/electrem {file.path}"},
        {"'/opt/My Emulators/beebem' -title 'Say \"hi\"'", "/bbc/Disk0.ssd",
         "\"/opt/My Emulators/beebem\" -title \"Say \"\"\"hi\"\"\"\" {file.path}"},
        {"", "/bbc/Disk0.ssd", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrontEndLaunchLine(c.commandLine, c.destination, "{file.path}"), c.line) << c.commandLine;
}

TEST(CommandLine, ResolveProgramPathsWithBlanks)
{
    TempDir dir;
    const fs::path program = dir.write("My Emulators/beebem", "#!/bin/sh\n");
    makeExecutable(program);
    const std::string p = program.string();
    struct Case {
        std::string value;
        std::string program;
        Words arguments;
        std::string error;
    };
    const std::vector<Case> cases = {
        {p, p, {}, ""},                                                 // unquoted, whole value
        {"  " + p + " ", p, {}, ""},
        {"\"" + p + "\"", p, {}, ""},                                    // quoted, as typed
        {"\"" + p + "\" -disc \"a b.ssd\"", p, {"-disc", "a b.ssd"}, ""}, // quoted, arguments after
        {p + "\" -disc \"a b.ssd", p, {"-disc", "a b.ssd"}, ""},          // the same after the reader took the outer quotes
        {p + " -disc x.ssd", p, {"-disc", "x.ssd"}, ""},                 // unquoted with arguments
        {"sh -c true", "/usr/bin/sh", {"-c", "true"}, ""},               // a name on PATH
        {"", "", {}, "no program is set"},
        {(dir / "gone").string() + " -x", (dir / "gone").string(), {"-x"}, "it does not exist"},
        {"\"unclosed", "\"unclosed", {}, "a quote is not closed"},
        {dir.path().string(), dir.path().string(), {}, "it is a folder"},
    };
    for (const Case& c : cases) {
        const ResolvedCommandLine r = ResolveCommandLine(c.value);
        std::string got = r.command.program;
        if (c.program == "/usr/bin/sh" && (got == "/bin/sh"))
            got = "/usr/bin/sh";
        EXPECT_EQ(got, c.program) << c.value;
        EXPECT_EQ(r.command.arguments, c.arguments) << c.value;
        EXPECT_EQ(r.error, c.error) << c.value;
    }
    EXPECT_EQ(ResolveCommandLine(p + " -x").command.workingFolder, (dir / "My Emulators").string());
    EXPECT_EQ(ResolveCommandLine("sh -c true").command.workingFolder, "");
}

// Typed in the properties dialog, saved, read back at the next start: the
// program with blanks in its path starts with its arguments.
TEST(CommandLine, ProgramPathWithBlanksStartsAfterSaveAndRestart)
{
    const std::vector<std::string> forms = {
        "\"<emu>\"", "<emu>", "\"<emu>\" -disc \"<dest>\" -autoboot"};
    for (const std::string& form : forms) {
        SCOPED_TRACE(form);
        LaunchFolder app({"Files\\game.ssd"});
        app.write("Files/game.ssd", "ssd");
        const fs::path emu = writeStandIn(app / "My Emulators/b em", app / "My Emulators", app.record("B-Em"));
        const fs::path dest = app / "My Emulators/Disk0.ssd";
        std::string value = form;
        for (size_t at; (at = value.find("<emu>")) != std::string::npos;)
            value.replace(at, 5, emu.string());
        for (size_t at; (at = value.find("<dest>")) != std::string::npos;)
            value.replace(at, 6, dest.string());
        app.values.cmbEmu = "B-Em";
        app.values.txtB_EmExec = value;
        app.values.txtB_EmDest = dest.string();
        ASSERT_TRUE(WriteIni(app.f, app.values));

        Form1State restarted;
        InitGlobalData(restarted);
        restarted.sAppPath = app.path().string();
        ReadIni(restarted);
        ScriptedPrompt prompt;
        FakeKeyboard keyboard;
        restarted.sFullFilename = "Files\\game.ssd";
        restarted.sExt = ".ssd";
        Launcher(restarted, prompt, keyboard, {}).PrepareFilesForEmu();
        EXPECT_TRUE(prompt.shown.empty()) << prompt.shown[0].text;
        ASSERT_TRUE(waitForFile(app.record("B-Em") / "done"));
        const Words expected = form.find("-disc") != std::string::npos
                                   ? Words{"-disc", dest.string(), "-autoboot"}
                                   : Words{};
        EXPECT_EQ(lines(readFile(app.record("B-Em") / "args")), expected);
    }
}

} // namespace
} // namespace tavrin
