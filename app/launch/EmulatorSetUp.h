#pragma once
// The emulator set-up: finds BBC Micro and Electron emulators on PATH, in
// the places programs are usually installed and in a folder the user picks,
// and turns a found program into an emulator slot's program box and data
// destination. Nothing found is ever run here.
//
// Known programs and the slot each one fits:
// - B-Em's Linux build "b-em": the B-Em slot, "b-em -disc DISK -autoboot".
// - MAME ("mame", Flatpak's "org.mamedev.MAME") with its BBC Micro Model B:
//   the BeebEm slot, "mame bbcb -skip_gameinfo -flop1 DISK"; with its Acorn
//   Electron: the ElectrEm slot, "mame electron -skip_gameinfo -cass", the
//   tape added by the launch.
// - "beebem" and "electrem", and in a picked folder any other program: a
//   program that takes a disk or tape image as its last argument (the
//   BeebEm slot, the ElectrEm slot).
// PcBBC is a DOS program and is never looked for.
//
// The BeebEm slot hands a ".dsd" or ".img" image over as "Disk0.dsd" or
// "Disk0.img" beside its destination "Disk0.ssd": its program is started
// through a small script beside the destination that adds the image copied
// last to the command line.

#include "core/Configuration.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

class FlexGrid;

enum class EmulatorProgramKind { BEm, MameBbcB, MameElectron, Generic };

struct FoundEmulator {
    Emulator slot = Emulator::BeebEm;
    EmulatorProgramKind kind = EmulatorProgramKind::Generic;
    std::filesystem::path program;
    // The program's name alone finds it on PATH: the slot names it so.
    bool onPath = false;
    // Found in the folder the user picked.
    bool picked = false;
};

// Where to look.
struct EmulatorSearch {
    std::string pathVariable;         // $PATH
    std::string home;                 // the user's home folder
    std::filesystem::path root = "/"; // the fixed places lie below it
    std::filesystem::path pickedFolder;
};
EmulatorSearch CurrentEmulatorSearch();

// The folders looked in, each once, in this order: the absolute folders of
// PATH; /usr/games, /usr/local/bin, /usr/local/games; each /opt/NAME and
// /opt/NAME/bin; ~/.local/bin and ~/bin; the Flatpak exports
// (~/.local/share/flatpak/exports/bin, /var/lib/flatpak/exports/bin);
// /snap/bin; last the picked folder and its bin.
std::vector<std::filesystem::path> EmulatorSearchFolders(const EmulatorSearch& search);

// Every emulator found, in the order of the folders, the known programs of
// a slot before the picked folder's other programs. A program reached twice
// (through a link, or /bin and /usr/bin) is listed once.
std::vector<FoundEmulator> FindEmulators(const EmulatorSearch& search);

// What a found program is, for the user: "B-Em", "MAME, BBC Micro Model B",
// "takes the image as its last argument".
std::string DescribeFoundEmulator(const FoundEmulator& found);

// The slot's program box and data destination for a found program. The
// destination lies in "Emulator/SLOT" of the application folder; the
// ElectrEm slot has none.
struct SlotSetting {
    std::string exec;
    std::string dest;
};
SlotSetting SlotSettingFor(const FoundEmulator& found, const std::filesystem::path& appFolder);

// The script beside the BeebEm slot's destination, and its text.
std::filesystem::path NewestDiskScript(const std::filesystem::path& appFolder);
extern const char* const kNewestDiskScriptText;

// Creates the destination's folder and, for the BeebEm slot, the script.
// False with why in `error`.
bool PrepareSlotFolder(Emulator slot, const std::filesystem::path& appFolder,
                       std::string* error = nullptr);

// The box values with one slot's program box and data destination replaced
// (ElectrEm: its program box).
FormIniValues ApplySlotSetting(FormIniValues values, Emulator slot, const SlotSetting& setting);

// The catalogue row "Try it" runs with a slot: row 0 when the slot takes its
// file, else the first disk or tape image the slot takes, else the first
// zip a disk emulator takes. None when the slot takes no row.
std::optional<int> TryItRow(const FlexGrid& grid, Emulator slot);

} // namespace tavrin
