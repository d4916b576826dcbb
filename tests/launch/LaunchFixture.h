#pragma once
// An application folder for launch tests: a real catalogue whose rows name
// software files, four stand-in emulators (shell scripts recording their
// arguments, working folder and the bytes found at their destination) and
// a keyboard whose Caps Lock a test can read.

#include "TempDir.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFixture.h"
#include "core/Configuration.h"
#include "core/Form1State.h"
#include "launch/Keyboard.h"
#include "launch/Launcher.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace tavrin::test {

namespace fs = std::filesystem;

class FakeKeyboard : public Keyboard {
public:
    bool capsLockLocked() override { return locked; }
    void lockCapsLock(bool on) override
    {
        locked = on;
        ++locks;
    }
    bool locked = false;
    int locks = 0;
};

inline void makeExecutable(const fs::path& file)
{
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// A stand-in emulator: records into `record` its arguments (one a line),
// its working folder, every "Disk0.*" and "Emulator.cfg" beside
// `destination`, then "done".
inline fs::path writeStandIn(const fs::path& script, const fs::path& destinationDir,
                             const fs::path& record, const std::string& extra = {})
{
    const std::string text = "#!/bin/sh\n"
                             "r='" + record.string() + "'\n"
                             "mkdir -p \"$r\"\n"
                             "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$r/args\"\n"
                             "pwd > \"$r/cwd\"\n"
                             "for d in '" + destinationDir.string() + "'/Disk0.* '" +
                             destinationDir.string() + "'/Emulator.cfg; do\n"
                             "  [ -f \"$d\" ] && cp \"$d\" \"$r/\"\n"
                             "done\n" + extra +
                             "touch \"$r/done\"\n";
    fs::create_directories(script.parent_path());
    std::ofstream(script, std::ios::binary) << text;
    makeExecutable(script);
    return script;
}

// Waits up to `timeout` for a file to appear.
inline bool waitForFile(const fs::path& file, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        out.push_back(text.substr(start, nl - start));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return out;
}

// The application folder, made the current folder, with the catalogue
// loaded into the state's grid and the four stand-ins configured.
class LaunchFolder {
public:
    explicit LaunchFolder(const std::vector<std::string>& catalogueFiles) : cwd_(dir_.path())
    {
        std::vector<Record> records;
        int64_t i = 0;
        for (const std::string& path : catalogueFiles)
            records.push_back(rec("Acme", "Title " + std::to_string(i), "Arcade", path, i));
        writeCatalogue((dir_ / "bbc.mdb").string(), records);
        InitGlobalData(f);
        f.sAppPath = dir_.path().string();
        fs::create_directories(dir_ / "Temp");
        TransferFromAccess(f, "bbc.mdb", "BBCSoftware");

        values.cmbEmu = "BeebEm";
        values.txtBeebEmExec = writeStandIn(emu("BeebEm") / "beebem", emu("BeebEm"), record("BeebEm")).string();
        values.txtBeebEmDest = (emu("BeebEm") / "Disk0.ssd").string();
        values.txtB_EmExec = writeStandIn(emu("B-Em") / "b-em", emu("B-Em"), record("B-Em")).string() +
                             " -disc " + (emu("B-Em") / "Disk0.ssd").string() + " -autoboot";
        values.txtB_EmDest = (emu("B-Em") / "Disk0.ssd").string();
        values.txtPcBBCExec = writeStandIn(emu("PcBBC") / "pcbbc", emu("PcBBC"), record("PcBBC")).string();
        values.txtPcBBCDest = (emu("PcBBC") / "Disk0.ssd").string();
        std::ofstream(emu("PcBBC") / "Emulator.cfg", std::ios::binary) << "Drive0=Disk0.ssd\r\n";
        values.txtElectrEmExec =
            writeStandIn(emu("ElectrEm") / "electrem", emu("ElectrEm"), record("ElectrEm")).string();
    }

    void choose(Emulator e) { SetupEmulator(f, values, e); }

    Launcher launcher(LaunchHooks hooks = {})
    {
        if (!hooks.processEvents)
            hooks.processEvents = [] {};
        return Launcher(f, prompt, keyboard, std::move(hooks));
    }

    fs::path emu(const std::string& name) const { return dir_ / "emu" / name; }
    fs::path record(const std::string& name) const { return dir_ / "record" / name; }
    const fs::path& path() const { return dir_.path(); }
    fs::path operator/(const std::string& name) const { return dir_ / name; }
    fs::path write(const std::string& name, const std::string& content) const
    {
        return dir_.write(name, content);
    }

    Form1State f;
    FormIniValues values;
    ScriptedPrompt prompt;
    FakeKeyboard keyboard;

private:
    TempDir dir_;
    CurrentDir cwd_;
};

} // namespace tavrin::test
