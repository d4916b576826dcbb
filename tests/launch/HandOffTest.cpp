// The hand-off rules, each once: PcBBC's "Emulator.cfg", its restoring on
// every way out, the wait, the update prompt's copy back, "ElectrEm.bat",
// batch files, detached programs, and the failures that must be reported.

#include "LaunchFixture.h"

#include "launch/Process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <utility>

#include <sys/types.h>
#include <unistd.h>

namespace tavrin {
namespace {

using namespace test;

TEST(HandOff, EmulatorCfgDiskBytes)
{
    struct Case {
        const char* name;
        std::optional<std::string> before; // none: no file
        const char* ext;
        std::optional<std::string> after;
    };
    const std::string far(40000, 'x');
    const std::vector<Case> cases = {
        {"DDisk0 steps back to the D", "DDisk0.ssd\r\n", ".img", "DDisk0.img\r\n"},
        {"lower-case disk0 is no match", "disk0.ssd\r\n", ".dsd", "disk0.ssd\r\n"},
        {"only the first Disk0", "Disk0.ssd Disk0.ssd", ".bbc", "Disk0.bbc Disk0.ssd"},
        {"beyond 32767", far + "Disk0.ssd", ".dsd", far + "Disk0.dsd"},
        {"an extension not in the table", "Disk0.ssd", ".uef", "Disk0.ssd"},
        {"no Disk0", "Drive=A", ".img", "Drive=A"},
        {"Disk0 at the very end", "Disk0", ".img", "Disk0.img"},
        {"missing stays missing", std::nullopt, ".img", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LaunchFolder app({"Files\\game.ssd"});
        app.choose(Emulator::PcBBC);
        const fs::path cfg = app.emu("PcBBC") / "Emulator.cfg";
        fs::remove(cfg);
        if (c.before)
            std::ofstream(cfg, std::ios::binary) << *c.before;
        app.launcher().SetEmulatorCfgDisk(c.ext);
        ASSERT_EQ(fs::exists(cfg), c.after.has_value());
        if (c.after) {
            EXPECT_TRUE(readFile(cfg) == *c.after);
        }
        EXPECT_TRUE(app.prompt.shown.empty());
    }
}

// A failed start or a failed copy: a message naming the cause, nothing
// started, "Emulator.cfg" and the destination back at rest.
TEST(HandOff, FailuresAreReportedAndRestored)
{
    struct Case {
        const char* name;
        Emulator emulator;
        const char* file;
        std::function<void(LaunchFolder&)> spoil;
        std::string message; // with <dir> for the folder
    };
    const std::vector<Case> cases = {
        {"empty program", Emulator::B_Em, "Files\\game.ssd",
         [](LaunchFolder& a) { a.values.txtB_EmExec = "  "; },
         "No program is set for B-Em. Enter its command line in \"B-Em exec/batch file\" under Options, Properties."},
        {"missing program", Emulator::PcBBC, "Files\\game.bbc",
         [](LaunchFolder& a) { a.values.txtPcBBCExec = (a / "emu/PcBBC/gone").string(); },
         "The program \"<dir>/emu/PcBBC/gone\" of PcBBC cannot be started: it does not exist.\n\n"
         "Its command line is: <dir>/emu/PcBBC/gone"},
        {"program not executable", Emulator::BeebEm, "Files\\game.ssd",
         [](LaunchFolder& a) { fs::permissions(a.emu("BeebEm") / "beebem", fs::perms::owner_read | fs::perms::owner_write); },
         "The program \"<dir>/emu/BeebEm/beebem\" of BeebEm cannot be started: Permission denied (the file is not executable)."},
        {"missing source", Emulator::PcBBC, "Files\\gone.img", [](LaunchFolder&) {},
         "The file \"<dir>/Files/gone.img\" cannot be copied to \"<dir>/emu/PcBBC/Disk0.img\": the file does not exist. PcBBC was not started."},
        {"missing destination folder", Emulator::BeebEm, "Files\\game.dsd",
         [](LaunchFolder& a) { a.values.txtBeebEmDest = (a / "nowhere/Disk0.ssd").string(); },
         "The file \"<dir>/Files/game.dsd\" cannot be copied to \"<dir>/nowhere/Disk0.dsd\": the folder \"<dir>/nowhere\" does not exist. BeebEm was not started."},
        {"a line break in the tape's name", Emulator::ElectrEm, "Files\\a\nb.uef", [](LaunchFolder&) {},
         "\"<dir>/Files\\a\nb.uef\" cannot be handed to ElectrEm: its name holds a line break."},
        {"a line break in ElectrEm's command line", Emulator::ElectrEm, "Files\\game.uef",
         [](LaunchFolder& a) { a.values.txtElectrEmExec += " 'a\rb'"; },
         "The command line of ElectrEm holds a line break, which its batch file cannot hold. ElectrEm was not started."},
        {"empty destination", Emulator::PcBBC, "Files\\game.ssd",
         [](LaunchFolder& a) { a.values.txtPcBBCDest.clear(); },
         "No data destination is set for PcBBC. Enter it in \"PcBBC data destination\" under Options, Properties."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LaunchFolder app({c.file});
        app.write("Files/game.ssd", "ssd");
        app.write("Files/game.bbc", "bbc");
        app.write("Files/game.dsd", "dsd");
        c.spoil(app);
        app.choose(c.emulator);
        const std::string configured = app.f.sDataDestination;
        app.f.MSFlexGrid.setRow(0);
        int prompts = 0;
        LaunchHooks hooks;
        hooks.showUpdateImg = [&] { ++prompts; };
        app.launcher(hooks).RunSelection();

        std::string expected = c.message;
        for (size_t at; (at = expected.find("<dir>")) != std::string::npos;)
            expected.replace(at, 5, app.path().string());
        ASSERT_EQ(app.prompt.shown.size(), 1u);
        EXPECT_EQ(app.prompt.shown[0].text, expected);
        EXPECT_EQ(prompts, 0);
        EXPECT_EQ(app.f.sDataDestination, configured);
        EXPECT_EQ(readFile(app.emu("PcBBC") / "Emulator.cfg"), "Drive0=Disk0.ssd\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(fs::exists(app / "record"));
    }
}

TEST(HandOff, ShellandWaitWaitsForTheEndAndKeepsTheWindowLive)
{
    LaunchFolder app({"Files\\game.ssd"});
    app.choose(Emulator::PcBBC);
    int passes = 0;
    LaunchHooks hooks;
    hooks.processEvents = [&] { ++passes; };
    const fs::path script = app.write("wait.sh", "#!/bin/sh\nsleep 0.4\ntouch '" + (app / "ended").string() + "'\n");
    makeExecutable(script);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(app.launcher(hooks).ShellandWait(script.string(), 0));
    EXPECT_TRUE(fs::exists(app / "ended"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_GE(passes, 5); // events between slices, not once at the end
}

// What changes while BeebEm is waited for on a catalogue's ".img" leaves the
// launch as it began: no second launch, no other emulator, and the update
// copies onto the image the launch began with.
TEST(HandOff, WhatChangesDuringAWaitLeavesTheLaunchAsItBegan)
{
    const std::pair<std::string, std::function<void(LaunchFolder&, Launcher&)>> cases[] = {
        {"another row run",
         [](LaunchFolder& a, Launcher& l) {
             a.f.MSFlexGrid.setRow(1);
             l.RunSelection();
         }},
        {"another file and emulator current",
         [](LaunchFolder& a, Launcher&) {
             a.f.sFullFilename = "Files\\other.img";
             a.f.sExt = ".ssd";
             a.f.mnuBeebEmChecked = false;
             a.f.mnuB_EmChecked = true;
         }},
        {"waiting stopped", [](LaunchFolder&, Launcher& l) { l.StopWaiting(); }},
    };
    for (const auto& [name, during] : cases) {
        SCOPED_TRACE(name);
        LaunchFolder app({"Files\\first.img", "Files\\other.img"});
        app.write("Files/first.img", "first");
        app.write("Files/other.img", "other");
        writeStandIn(app.emu("BeebEm") / "beebem", app.emu("BeebEm"), app.record("BeebEm"),
                     "sleep 0.3\necho played > Disk0.img\n");
        app.choose(Emulator::BeebEm);
        Launcher* l = nullptr;
        std::string question;
        int asked = 0;
        LaunchHooks hooks;
        hooks.processEvents = [&] {
            if (question.empty() && l->Waiting()) {
                question = l->StopWaitingQuestion();
                during(app, *l);
            }
        };
        hooks.showUpdateImg = [&] { asked += l->UpdateImageFromWorkingCopy(); };
        Launcher launcher = app.launcher(hooks);
        l = &launcher;
        launcher.RunSelection();
        EXPECT_FALSE(launcher.LaunchUnderWay());
        EXPECT_EQ(asked, name == "waiting stopped" ? 0 : 1);
        ASSERT_TRUE(waitForFile(app.record("BeebEm") / "done")) << "the emulator runs on";
        EXPECT_EQ(readFile(app / "Files/first.img"), asked ? "played\n" : "first");
        EXPECT_EQ(readFile(app / "Files/other.img"), "other");
        EXPECT_FALSE(fs::exists(app.record("B-Em")));
        EXPECT_EQ(question, "Tavrin is waiting for BeebEm to end, to offer to copy the changed disk "
                            "image back over \"Files\\first.img\".\n\nStop waiting and close Tavrin? "
                            "BeebEm keeps running on its own, and the changes it makes to the disk "
                            "image are not copied back.");
    }
}

TEST(HandOff, WaitTimeOutOnTheMidnightClock)
{
    struct Case {
        int start, timeOut, now;
        bool passed;
    };
    const Case cases[] = {
        {100, 0, 90000, false},   // no time-out
        {100, 5, 105, false},     // not past the quit time yet
        {100, 5, 106, true},
        {86398, 5, 86399, false}, // crosses midnight: quit at 3
        {86398, 5, 2, false},
        {86398, 5, 4, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WaitDeadline::from(c.start, c.timeOut).passed(c.now), c.passed)
            << c.start << "+" << c.timeOut << " at " << c.now;
}

TEST(HandOff, UpdatePromptOkReplacesTheCatalogueImage)
{
    LaunchFolder app({"Files\\game.img"});
    const fs::path image = app.write("Files/game.img", "catalogue image");
    fs::permissions(image, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = app / "Files/link.img";
    fs::create_symlink("game.img", link);
    app.write("emu/PcBBC/Disk0.img", "played image");
    app.f.sFullFilename = "files\\LINK.IMG";
    app.f.sDataDestination = (app.emu("PcBBC") / "Disk0.img").string();

    EXPECT_TRUE(app.launcher().UpdateImageFromWorkingCopy());
    EXPECT_EQ(readFile(image), "played image");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(image).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(app / "Files"), {}), 2);

    // A working copy that is gone leaves the image as it was, with a message.
    fs::remove(app.emu("PcBBC") / "Disk0.img");
    EXPECT_FALSE(app.launcher().UpdateImageFromWorkingCopy());
    EXPECT_EQ(readFile(image), "played image");
    ASSERT_EQ(app.prompt.shown.size(), 1u);
    EXPECT_EQ(app.prompt.shown[0].text, "The disk image \"" + image.string() + "\" was not updated from \"" +
                                            (app.emu("PcBBC") / "Disk0.img").string() +
                                            "\": the file does not exist. It stays as it was.");
}

TEST(HandOff, ElectrEmBatHoldsOneQuotedLine)
{
    // The program box (<emu>: the stand-in's folder), the tape, the batch
    // file's line and what ElectrEm gets (<app>: the program folder).
    struct Case {
        const char* program;
        const char* file;
        const char* line;
        std::vector<std::string> args;
    };
    const char* odd = "\"<emu>/El $HOME `x`/electrem\" -b '$(touch pwned);`touch pwned`' \"it's\"";
    const Case cases[] = {
        {"<emu>/electrem", "Games\\Repton.uef", "<emu>/electrem <app>/Games/Repton.uef", {"<app>/Games/Repton.uef"}},
        {"<emu>/electrem", "Games\\Rep ton's.uef", "<emu>/electrem '<app>/Games/Rep ton'\\''s.uef'",
         {"<app>/Games/Rep ton's.uef"}},
        {"<emu>/electrem", "Games\\$(touch pwned);x.uef", "<emu>/electrem '<app>/Games/$(touch pwned);x.uef'",
         {"<app>/Games/$(touch pwned);x.uef"}},
        {odd, "Games\\R\xE9pton.uef",
         "'<emu>/El $HOME `x`/electrem' -b '$(touch pwned);`touch pwned`' 'it'\\''s' '<app>/Games/R\xE9pton.uef'",
         {"-b", "$(touch pwned);`touch pwned`", "it's", "<app>/Games/R\xE9pton.uef"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        LaunchFolder app({c.file});
        app.f.sAppPath = (app / "Tools/Launcher").string();
        auto fill = [&](std::string text) {
            for (auto [key, value] : {std::pair{"<emu>", app.emu("ElectrEm").string()}, {"<app>", app.f.sAppPath}})
                for (size_t at; (at = text.find(key)) != std::string::npos;)
                    text.replace(at, 5, value);
            return text;
        };
        writeStandIn(app.emu("ElectrEm") / "El $HOME `x`/electrem", app.emu("ElectrEm"), app.record("ElectrEm"));
        app.values.txtElectrEmExec = fill(c.program);
        app.choose(Emulator::ElectrEm);
        std::string file = c.file;
        std::replace(file.begin(), file.end(), '\\', '/');
        app.write("Tools/Launcher/" + file, "uef");
        app.f.sFullFilename = c.file;
        app.f.sExt = ".uef";
        app.launcher().SendFileToElectrEm();

        EXPECT_EQ(readFile(app / "ElectrEm.bat"), fill(c.line) + "\r\n");
        ASSERT_TRUE(waitForFile(app.record("ElectrEm") / "done"));
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(fill(a));
        EXPECT_EQ(lines(readFile(app.record("ElectrEm") / "args")), args);
        EXPECT_FALSE(fs::exists(app / "pwned"));
        EXPECT_TRUE(app.prompt.shown.empty());
    }
}

// A batch file runs through /bin/sh without its carriage returns; a program
// started without waiting is no child of ours, so it never stays a zombie
// and outlives the program.
TEST(HandOff, StartedProgramsAreDetachedAndBatchFilesRunBySh)
{
    TempDir dir;
    const fs::path bat = dir.write("Run Me.BAT", "echo $PPID > '" + (dir / "parent").string() + "'\r\n"
                                                 "printf '%s' \"$1\" > '" + (dir / "out").string() + "'\r\n");
    const StartedProgram started = StartProgram(CommandLine{bat.string(), {"arg one"}}, WindowStyle::MinimizedFocus);
    ASSERT_TRUE(started.started()) << started.error;
    ASSERT_TRUE(waitForFile(dir / "out"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(readFile(dir / "out"), "arg one");
    EXPECT_NE(std::stol(readFile(dir / "parent")), static_cast<long>(getpid()));
    // No process of ours is left a zombie.
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readFile(entry.path() / "stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        long ppid = 0;
        std::istringstream(stat.substr(close + 2)) >> state >> ppid;
        EXPECT_FALSE(state == 'Z' && ppid == getpid()) << stat;
    }
    // Names that are not UTF-8 reach the program as the bytes they are.
    const fs::path emu = dir / "Emu\xE9";
    const std::string script = "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$(pwd)\" > out\n";
    const fs::path program = dir.write("Emu\xE9/emu\xE9", script);
    fs::permissions(program, fs::perms::owner_all);
    const StartedProgram odd = StartProgram(CommandLine{program.string(), {"R\xE9pton.ssd"}, emu.string()},
                                            WindowStyle::MaximizedFocus);
    ASSERT_TRUE(odd.started()) << odd.error;
    ASSERT_TRUE(waitForFile(emu / "out"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(readFile(emu / "out"), "R\xE9pton.ssd|" + emu.string());
    EXPECT_EQ(StartProgram(CommandLine{program.string(), {}, (dir / "none").string()},
                           WindowStyle::MaximizedFocus).error,
              "its folder " + (dir / "none").string() + " cannot be entered: No such file or directory");
}

} // namespace
} // namespace tavrin
