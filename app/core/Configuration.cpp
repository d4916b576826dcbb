#include "Configuration.h"

#include "Form1State.h"
#include "IniFile.h"
#include "Paths.h"

#include <vector>

namespace tavrin {

std::optional<Emulator> EmulatorByName(std::string_view name)
{
    for (std::size_t i = 0; i < kEmulatorNames.size(); ++i) {
        if (name == kEmulatorNames[i])
            return static_cast<Emulator>(i);
    }
    return std::nullopt;
}

std::string IniFilePath(const Form1State& f)
{
    if (f.sAppPath.empty())
        return f.sIniFile;
    return f.sAppPath + "/" + f.sIniFile;
}

FormIniValues ReadIni(Form1State& f, std::string* problem)
{
    const FormIniValues v = ReadIniValues(f, problem);
    f.sBeebEmu = v.cmbEmu;
    SetupEmulatorByName(f, v);
    return v;
}

FormIniValues ReadIniValues(const Form1State& f, std::string* problem)
{
    FormIniValues v;
    IniFile ini(OsPath(IniFilePath(f)));
    std::string why;
    if (!ini.load(&why)) {
        // Read as a missing file: every key takes its default. A save
        // reads the file again and refuses while it still cannot be read,
        // so the defaults never go over the keys it holds.
        ini.setBytes({});
        if (problem)
            *problem = "The settings file \"" + IniFilePath(f) + "\" could not be read: " + why +
                       ".\n\nTavrin goes on with the default settings and leaves the file as it "
                       "is.";
    }
    for (const IniKey& k : kIniKeys)
        v.*k.control = ini.GetString(k.section, k.key, k.defaultValue);
    return v;
}

namespace {

void checkOnly(Form1State& f, Emulator e)
{
    f.mnuBeebEmChecked = e == Emulator::BeebEm;
    f.mnuB_EmChecked = e == Emulator::B_Em;
    f.mnuPcBBCChecked = e == Emulator::PcBBC;
    f.mnuElectrEmChecked = e == Emulator::ElectrEm;
}

} // namespace

void SetupBeebEm(Form1State& f, const FormIniValues& v)
{
    f.sDataDestination = v.txtBeebEmDest;
    f.sEmuApp = v.txtBeebEmExec;
    checkOnly(f, Emulator::BeebEm);
}

void SetupB_Em(Form1State& f, const FormIniValues& v)
{
    f.sDataDestination = v.txtB_EmDest;
    f.sEmuApp = v.txtB_EmExec;
    checkOnly(f, Emulator::B_Em);
}

void SetupPcBBC(Form1State& f, const FormIniValues& v)
{
    f.sDataDestination = v.txtPcBBCDest;
    f.sEmuApp = v.txtPcBBCExec;
    checkOnly(f, Emulator::PcBBC);
}

void SetupElectrEm(Form1State& f, const FormIniValues& v)
{
    // ElectrEm takes its image through its batch file, not a destination.
    f.sEmuApp = v.txtElectrEmExec;
    checkOnly(f, Emulator::ElectrEm);
}

void SetupEmulator(Form1State& f, const FormIniValues& v, Emulator e)
{
    switch (e) {
    case Emulator::BeebEm: SetupBeebEm(f, v); break;
    case Emulator::B_Em: SetupB_Em(f, v); break;
    case Emulator::PcBBC: SetupPcBBC(f, v); break;
    case Emulator::ElectrEm: SetupElectrEm(f, v); break;
    }
}

bool SetupEmulatorByName(Form1State& f, const FormIniValues& v)
{
    const std::optional<Emulator> e = EmulatorByName(v.cmbEmu);
    if (!e)
        return false;
    SetupEmulator(f, v, *e);
    return true;
}

std::optional<Emulator> CheckedEmulator(const Form1State& f)
{
    if (f.mnuBeebEmChecked)
        return Emulator::BeebEm;
    if (f.mnuB_EmChecked)
        return Emulator::B_Em;
    if (f.mnuPcBBCChecked)
        return Emulator::PcBBC;
    if (f.mnuElectrEmChecked)
        return Emulator::ElectrEm;
    return std::nullopt;
}

void ChooseEmulatorForRun(Form1State& f, Emulator e)
{
    const FormIniValues v = ReadIni(f);
    SetupEmulator(f, v, e);
}

namespace {

// The boxes of the named emulator that are needed and empty, by the words
// of their labels after the emulator's name.
std::vector<const char*> emptyNeededBoxes(const FormIniValues& v)
{
    std::vector<const char*> empty;
    auto need = [&](const std::string& box, const char* words) {
        if (box.empty())
            empty.push_back(words);
    };
    if (v.cmbEmu == "PcBBC") {
        need(v.txtPcBBCExec, "exec/batch file");
        need(v.txtPcBBCDest, "data destination");
    }
    if (v.cmbEmu == "BeebEm") {
        need(v.txtBeebEmExec, "exec/batch file");
        need(v.txtBeebEmDest, "data destination");
    }
    // B-Em too: a B-Em saved without its program and destination fails at
    // every launch, so the dialog says so now.
    if (v.cmbEmu == "B-Em") {
        need(v.txtB_EmExec, "exec/batch file");
        need(v.txtB_EmDest, "data destination");
    }
    if (v.cmbEmu == "ElectrEm")
        need(v.txtElectrEmExec, "exec file");
    return empty;
}

} // namespace

bool InputIsComplete(const FormIniValues& v)
{
    return !v.cmbEmu.empty() && emptyNeededBoxes(v).empty();
}

std::string IncompleteMessage(const FormIniValues& v)
{
    if (InputIsComplete(v))
        return {};
    std::string line;
    if (v.cmbEmu.empty()) {
        line = "Default emulator is empty";
    } else {
        const std::vector<const char*> empty = emptyNeededBoxes(v);
        line = v.cmbEmu + ": " + empty[0];
        line += empty.size() > 1 ? std::string(" and ") + empty[1] + " are empty" : " is empty";
    }
    return std::string(kIncompleteMessage) + "\n" + line;
}

bool WriteIni(const Form1State& f, const FormIniValues& v, std::string* error)
{
    IniFile ini(OsPath(IniFilePath(f)));
    // The other sections and keys of the file are kept: read it first.
    if (!ini.load(error))
        return false;
    for (const IniKey& k : kIniKeys) {
        if (!ini.SetString(k.section, k.key, v.*k.control, error))
            return false;
    }
    return ini.save(error);
}

bool ShouldOfferEmulatorSetUp(const Form1State& f)
{
    IniFile ini(OsPath(IniFilePath(f)));
    if (!ini.load())
        return false;
    for (const IniKey& k : kIniKeys) {
        const std::string_view key(k.key);
        const bool program = key.size() > 4 && key.substr(key.size() - 4) == "Exec";
        if (program && !ini.GetString(k.section, k.key, "").empty())
            return false;
    }
    return ini.GetString(kSetUpSection, kSetUpOfferedKey, "").empty();
}

bool RememberEmulatorSetUpOffered(const Form1State& f, std::string* error)
{
    IniFile ini(OsPath(IniFilePath(f)));
    return ini.load(error) && ini.SetString(kSetUpSection, kSetUpOfferedKey, "1", error) &&
           ini.save(error);
}

} // namespace tavrin
