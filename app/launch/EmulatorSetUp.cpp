#include "EmulatorSetUp.h"

#include "CommandLine.h"
#include "core/FlexGrid.h"
#include "core/TextHelpers.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <system_error>

#include <unistd.h>

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// Programs listed from a picked folder at most (a folder such as /usr/bin
// holds thousands).
constexpr std::size_t kMaxPickedPrograms = 64;

// The folder of a slot's destination, below the application folder.
const char* slotFolder(Emulator slot)
{
    return kEmulatorNames[static_cast<std::size_t>(slot)];
}

struct KnownName {
    const char* name;
    Emulator slot;
    EmulatorProgramKind kind;
};

// Known program names, matched without regard to letter case.
constexpr KnownName kKnownNames[] = {
    {"b-em", Emulator::B_Em, EmulatorProgramKind::BEm},
    {"mame", Emulator::BeebEm, EmulatorProgramKind::MameBbcB},
    {"mame", Emulator::ElectrEm, EmulatorProgramKind::MameElectron},
    {"org.mamedev.MAME", Emulator::BeebEm, EmulatorProgramKind::MameBbcB},
    {"org.mamedev.MAME", Emulator::ElectrEm, EmulatorProgramKind::MameElectron},
    {"beebem", Emulator::BeebEm, EmulatorProgramKind::Generic},
    {"electrem", Emulator::ElectrEm, EmulatorProgramKind::Generic},
};

// A file that can be started: an executable regular file (or a link to
// one), or a batch file that can be read.
bool isProgram(const fs::path& file)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return false;
    const std::string name = file.filename().string();
    const bool batch =
        name.size() > 4 && equalsIgnoringAsciiCase(name.substr(name.size() - 4), ".bat");
    return ::access(file.c_str(), batch ? R_OK : X_OK) == 0;
}

bool isKnownName(const std::string& name)
{
    return std::any_of(std::begin(kKnownNames), std::end(kKnownNames),
                       [&](const KnownName& k) { return equalsIgnoringAsciiCase(name, k.name); });
}

// The programs of a folder, by name: every one, or only those of a known
// name (a folder of PATH such as /usr/bin holds thousands).
std::vector<fs::path> programsIn(const fs::path& folder, bool every)
{
    std::vector<fs::path> programs;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.' || name.find(".so") != std::string::npos ||
            (!every && !isKnownName(name)))
            continue;
        if (isProgram(it->path()))
            programs.push_back(it->path());
    }
    std::sort(programs.begin(), programs.end());
    return programs;
}

void addFolder(std::vector<fs::path>& folders, const fs::path& folder)
{
    if (folder.empty() || !folder.is_absolute())
        return;
    const fs::path clean = folder.lexically_normal();
    const fs::path key = clean.has_filename() ? clean : clean.parent_path();
    if (std::find(folders.begin(), folders.end(), key) == folders.end())
        folders.push_back(key);
}

// A path below the root of the search.
fs::path underRoot(const fs::path& root, const char* path)
{
    return root / fs::path(path).relative_path();
}

// The same file, however reached.
std::string identity(const fs::path& file)
{
    std::error_code ec;
    const fs::path real = fs::canonical(file, ec);
    return (ec ? file : real).string();
}

bool foundOnPath(const fs::path& program)
{
    const fs::path first = FindProgram(program.filename().string());
    return !first.empty() && identity(first) == identity(program);
}

std::string programWord(const FoundEmulator& found)
{
    return QuoteForShell(found.onPath ? found.program.filename().string() : found.program.string());
}

bool writeWhole(const fs::path& file, const std::string& text, std::string* error)
{
    const fs::path beside = file.string() + ".tavrin-part";
    std::ofstream out(beside, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    std::error_code ec;
    if (out)
        fs::permissions(beside, fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec, ec);
    if (!out || ec || (fs::rename(beside, file, ec), ec)) {
        fs::remove(beside, ec);
        if (error)
            *error = concat({"\"", file.string(), "\" cannot be written"});
        return false;
    }
    return true;
}

std::string lowerExtension(std::string_view path)
{
    std::string ext(path.size() > 4 ? path.substr(path.size() - 4) : path);
    for (char& c : ext)
        c = static_cast<char>(foldAsciiCase(static_cast<unsigned char>(c)));
    return ext;
}

bool slotTakes(Emulator slot, const std::string& ext)
{
    switch (slot) {
    case Emulator::BeebEm: return ext == ".ssd" || ext == ".dsd" || ext == ".img";
    case Emulator::B_Em: return ext == ".ssd";
    case Emulator::PcBBC: return ext == ".ssd" || ext == ".dsd" || ext == ".img" || ext == ".bbc";
    case Emulator::ElectrEm: return ext == ".uef";
    }
    return false;
}

} // namespace

const char* const kNewestDiskScriptText =
    "#!/bin/sh\n"
    "# Written by Tavrin's emulator set-up. Tavrin copies a disk image beside\n"
    "# this script as Disk0.ssd, Disk0.dsd or Disk0.img; the one copied last is\n"
    "# added as the last argument to the command line this script is given.\n"
    "here=$(dirname \"$0\")\n"
    "disk=\"$here/Disk0.ssd\"\n"
    "for d in \"$here/Disk0.dsd\" \"$here/Disk0.img\"; do\n"
    "  [ \"$d\" -nt \"$disk\" ] && disk=$d\n"
    "done\n"
    "exec \"$@\" \"$disk\"\n";

EmulatorSearch CurrentEmulatorSearch()
{
    EmulatorSearch search;
    if (const char* path = std::getenv("PATH"))
        search.pathVariable = path;
    if (const char* home = std::getenv("HOME"))
        search.home = home;
    return search;
}

std::vector<fs::path> EmulatorSearchFolders(const EmulatorSearch& search)
{
    std::vector<fs::path> folders;
    for (std::size_t at = 0; at <= search.pathVariable.size();) {
        const std::size_t end =
            std::min(search.pathVariable.find(':', at), search.pathVariable.size());
        addFolder(folders, search.pathVariable.substr(at, end - at));
        at = end + 1;
    }
    for (const char* place : {"/usr/games", "/usr/local/bin", "/usr/local/games"})
        addFolder(folders, underRoot(search.root, place));
    std::vector<fs::path> opt;
    std::error_code ec;
    for (fs::directory_iterator it(underRoot(search.root, "/opt"), ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_directory(ec))
            opt.push_back(it->path());
    std::sort(opt.begin(), opt.end());
    for (const fs::path& folder : opt) {
        addFolder(folders, folder);
        addFolder(folders, folder / "bin");
    }
    if (!search.home.empty() && search.home.front() == '/') {
        const fs::path home(search.home);
        addFolder(folders, home / ".local/bin");
        addFolder(folders, home / "bin");
        addFolder(folders, home / ".local/share/flatpak/exports/bin");
    }
    addFolder(folders, underRoot(search.root, "/var/lib/flatpak/exports/bin"));
    addFolder(folders, underRoot(search.root, "/snap/bin"));
    if (!search.pickedFolder.empty()) {
        const fs::path picked = fs::absolute(search.pickedFolder, ec);
        addFolder(folders, picked);
        addFolder(folders, picked / "bin");
    }
    return folders;
}

std::vector<FoundEmulator> FindEmulators(const EmulatorSearch& search)
{
    std::vector<FoundEmulator> known, others;
    std::set<std::pair<std::string, int>> seen; // the file and the kind of use
    bool inPicked = false;
    auto add = [&](std::vector<FoundEmulator>& list, const fs::path& program, Emulator slot,
                   EmulatorProgramKind kind) {
        const int use = static_cast<int>(kind) * 4 + static_cast<int>(slot);
        if (seen.insert({identity(program), use}).second)
            list.push_back({slot, kind, program, foundOnPath(program), inPicked});
    };
    std::vector<fs::path> picked;
    if (!search.pickedFolder.empty()) {
        std::error_code ec;
        const fs::path folder = fs::absolute(search.pickedFolder, ec);
        addFolder(picked, folder);
        addFolder(picked, folder / "bin");
    }
    for (const fs::path& folder : EmulatorSearchFolders(search)) {
        inPicked = std::find(picked.begin(), picked.end(), folder) != picked.end();
        for (const fs::path& program : programsIn(folder, inPicked)) {
            const std::string name = program.filename().string();
            bool recognised = false;
            for (const KnownName& k : kKnownNames) {
                if (equalsIgnoringAsciiCase(name, k.name)) {
                    add(known, program, k.slot, k.kind);
                    recognised = true;
                }
            }
            // A program of the picked folder that is none of the known ones
            // may take a disk or a tape image.
            if (inPicked && !recognised && others.size() < 2 * kMaxPickedPrograms) {
                add(others, program, Emulator::BeebEm, EmulatorProgramKind::Generic);
                add(others, program, Emulator::ElectrEm, EmulatorProgramKind::Generic);
            }
        }
    }
    known.insert(known.end(), others.begin(), others.end());
    return known;
}

std::string DescribeFoundEmulator(const FoundEmulator& found)
{
    switch (found.kind) {
    case EmulatorProgramKind::BEm: return "B-Em";
    case EmulatorProgramKind::MameBbcB: return "MAME, BBC Micro Model B";
    case EmulatorProgramKind::MameElectron: return "MAME, Acorn Electron";
    case EmulatorProgramKind::Generic: break;
    }
    return found.slot == Emulator::ElectrEm ? "takes the tape image as its last argument"
                                            : "takes the disk image as its last argument";
}

fs::path NewestDiskScript(const fs::path& appFolder)
{
    return appFolder / "Emulator" / slotFolder(Emulator::BeebEm) / "newest-disk.sh";
}

SlotSetting SlotSettingFor(const FoundEmulator& found, const fs::path& appFolder)
{
    SlotSetting setting;
    if (found.slot != Emulator::ElectrEm)
        setting.dest = (appFolder / "Emulator" / slotFolder(found.slot) / "Disk0.ssd").string();
    const std::string program = programWord(found);
    switch (found.kind) {
    case EmulatorProgramKind::BEm:
        setting.exec = program + " -disc " + QuoteForShell(setting.dest) + " -autoboot";
        break;
    case EmulatorProgramKind::MameBbcB:
        setting.exec = QuoteForShell(NewestDiskScript(appFolder).string()) + " " + program +
                       " bbcb -skip_gameinfo -flop1";
        break;
    case EmulatorProgramKind::MameElectron:
        setting.exec = program + " electron -skip_gameinfo -cass";
        break;
    case EmulatorProgramKind::Generic:
        setting.exec = found.slot == Emulator::BeebEm
                           ? QuoteForShell(NewestDiskScript(appFolder).string()) + " " + program
                           : program;
        break;
    }
    return setting;
}

bool PrepareSlotFolder(Emulator slot, const fs::path& appFolder, std::string* error)
{
    if (slot == Emulator::ElectrEm)
        return true;
    const fs::path folder = appFolder / "Emulator" / slotFolder(slot);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        if (error)
            *error = "The folder \"" + folder.string() + "\" cannot be created" +
                     (ec ? ": " + ec.message() : "");
        return false;
    }
    if (slot != Emulator::BeebEm)
        return true;
    const fs::path script = NewestDiskScript(appFolder);
    std::ifstream in(script, std::ios::binary);
    const std::string now(std::istreambuf_iterator<char>(in), {});
    if (now == kNewestDiskScriptText && ::access(script.c_str(), X_OK) == 0)
        return true;
    return writeWhole(script, kNewestDiskScriptText, error);
}

FormIniValues ApplySlotSetting(FormIniValues v, Emulator slot, const SlotSetting& setting)
{
    switch (slot) {
    case Emulator::BeebEm:
        v.txtBeebEmExec = setting.exec;
        v.txtBeebEmDest = setting.dest;
        break;
    case Emulator::B_Em:
        v.txtB_EmExec = setting.exec;
        v.txtB_EmDest = setting.dest;
        break;
    case Emulator::PcBBC:
        v.txtPcBBCExec = setting.exec;
        v.txtPcBBCDest = setting.dest;
        break;
    case Emulator::ElectrEm: v.txtElectrEmExec = setting.exec; break;
    }
    return v;
}

std::optional<int> TryItRow(const FlexGrid& grid, Emulator slot)
{
    constexpr int kPathColumn = 3;
    std::optional<int> zip;
    for (int row = 0; row < grid.Rows(); ++row) {
        const std::string ext = lowerExtension(grid.TextMatrix(row, kPathColumn));
        if (slotTakes(slot, ext))
            return row;
        if (!zip && ext == ".zip" && slot != Emulator::ElectrEm)
            zip = row;
    }
    return zip;
}

} // namespace tavrin
