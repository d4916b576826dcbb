#pragma once
// The configuration: which of the four emulators is current, the program
// that starts each one and where it expects its disk image. The values live
// in "bbc.ini" in the application folder; the properties dialog shows them
// and the Options menu's emulator items switch between them for the run.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

struct Form1State;

enum class Emulator { BeebEm, B_Em, PcBBC, ElectrEm };

// The emulator names as the dialog's list holds them, in its order.
inline constexpr std::array<const char*, 4> kEmulatorNames = {"BeebEm", "B-Em", "PcBBC",
                                                              "ElectrEm"};

// The emulator of exactly that name; none for any other text.
std::optional<Emulator> EmulatorByName(std::string_view name);

// The text of the properties dialog's controls.
struct FormIniValues {
    std::string cmbEmu;
    std::string txtPcBBCDest;
    std::string txtPcBBCExec;
    std::string txtBeebEmDest;
    std::string txtBeebEmExec;
    std::string txtB_EmDest;
    std::string txtB_EmExec;
    std::string txtElectrEmExec;
};

// One key of the file and the dialog control that shows it.
struct IniKey {
    const char* section;
    const char* key;
    const char* defaultValue;
    std::string FormIniValues::*control;
};

// The keys in the order in which they are read and written.
inline constexpr std::array<IniKey, 8> kIniKeys = {{
    {"BBC EMU", "Form1.sBeebEmu", "BeebEm", &FormIniValues::cmbEmu},
    {"PcBBC", "Form1.sPcBBCDest", "", &FormIniValues::txtPcBBCDest},
    {"PcBBC", "Form1.sPcBBCExec", "", &FormIniValues::txtPcBBCExec},
    {"BeebEm", "Form1.sBeebEmDest", "", &FormIniValues::txtBeebEmDest},
    {"BeebEm", "Form1.sBeebEmExec", "", &FormIniValues::txtBeebEmExec},
    {"B-Em", "Form1.sB_EmDest", "", &FormIniValues::txtB_EmDest},
    {"B-Em", "Form1.sB_EmExec", "", &FormIniValues::txtB_EmExec},
    {"ElectrEm", "Form1.sElectrEmExec", "", &FormIniValues::txtElectrEmExec},
}};

// The refusal of an incomplete dialog.
inline constexpr const char* kIncompleteMessage = "Appropriate fields must hold data";

// The configuration file: the application folder and sIniFile.
std::string IniFilePath(const Form1State& f);

// Reads every key of the file (defaults for what is missing), sets sBeebEmu,
// and makes the stored emulator current; a stored name that is none of the
// four changes nothing. A file that exists but cannot be read (a folder, no
// read permission, UTF-16 cut short) reads as a missing one, and `problem`
// says which file and why, for the user; a save then refuses to write over
// it. Bytes that are no text (NUL, binary junk) in lines that are none of
// these keys do not stop the keys being read.
FormIniValues ReadIni(Form1State& f, std::string* problem = nullptr);
// The values of the file as ReadIni reads them, without making the stored
// emulator current.
FormIniValues ReadIniValues(const Form1State& f, std::string* problem = nullptr);

// Make one emulator current: its destination (not for ElectrEm, which has
// none) and its program from the dialog's values, and its menu check mark.
void SetupBeebEm(Form1State& f, const FormIniValues& v);
void SetupB_Em(Form1State& f, const FormIniValues& v);
void SetupPcBBC(Form1State& f, const FormIniValues& v);
void SetupElectrEm(Form1State& f, const FormIniValues& v);
void SetupEmulator(Form1State& f, const FormIniValues& v, Emulator e);

// Runs the setup routine of the emulator named by cmbEmu; none for any
// other name. True when one ran.
bool SetupEmulatorByName(Form1State& f, const FormIniValues& v);

// The emulator whose menu item is checked; none when no item is.
std::optional<Emulator> CheckedEmulator(const Form1State& f);

// An emulator item of the Options menu: the stored emulator is applied
// first, then the chosen one with the values of the file. The file is not
// changed; the choice lasts for the run.
void ChooseEmulatorForRun(Form1State& f, Emulator e);

// The dialog's validation: false when cmbEmu is empty, or when the boxes
// the named emulator needs are empty (B-Em needs none).
bool InputIsComplete(const FormIniValues& v);

// The refusal of incomplete input: kIncompleteMessage and, on a second line,
// what made it incomplete in the dialog's own words ("PcBBC: exec/batch file
// and data destination are empty", "Default emulator is empty"). Empty when
// the input is complete.
std::string IncompleteMessage(const FormIniValues& v);

// Writes every key, in order, in one replacement of the file; only the lines
// of these keys change or are added. False with `error` when the file cannot
// be read or written, or a value holds a line break.
bool WriteIni(const Form1State& f, const FormIniValues& v, std::string* error = nullptr);

// The emulator set-up is offered once, at a start where no emulator has a
// program; that it was offered is kept in a section of Tavrin's own.
inline constexpr const char* kSetUpSection = "Set up emulators";
inline constexpr const char* kSetUpOfferedKey = "Offered";

// True when no emulator has a program and the offer was never made. False
// too when the file cannot be read: the offer could not be remembered.
bool ShouldOfferEmulatorSetUp(const Form1State& f);
// Notes in the file that the offer was made; every other byte stays.
bool RememberEmulatorSetUpOffered(const Form1State& f, std::string* error = nullptr);

} // namespace tavrin
