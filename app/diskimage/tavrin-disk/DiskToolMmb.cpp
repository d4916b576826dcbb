#include "DiskToolMmb.h"

#include "DiskTool.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"
#include "diskimage/MmbFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>

namespace tavrin
{
namespace
{

using namespace mmb;

constexpr std::string_view kProgram = "tavrin-disk";

constexpr std::string_view kHelp =
    "mmb new FILE [--discs N]\n"
    "    Writes a new MMB file, the one file in which the SD-card and MMC\n"
    "    filing systems of a BBC Micro keep their discs: an index and 511\n"
    "    discs of 204,800 bytes (104,660,992 bytes), every slot unformatted;\n"
    "    with --discs N (1 to 511) only N discs, the slot after the last\n"
    "    marked as the end. Drives 0 to 3 start slots 0 to 3. FILE must not\n"
    "    exist yet.\n"
    "mmb list FILE [--json] [--all]\n"
    "    Prints the number of zones and of slots, the discs that drives 0 to 3\n"
    "    start with, then one line for each slot that is not unformatted:\n"
    "    the slot number, its status (locked, unlocked, invalid or unknown\n"
    "    0xNN) and its title. --all lists the unformatted slots too. --json\n"
    "    prints one object instead:\n"
    "        {\"zones\": n, \"slots\": n, \"discs\": n, \"boot\": [4 slots],\n"
    "         \"entries\": [{\"slot\": n, \"title\": text, \"status\": text}]}\n"
    "mmb add FILE IMAGE... [--slot N] [--title TEXT] [--locked] [--both-sides]\n"
    "    Puts each IMAGE into the first unformatted slot (into N, N+1 ...\n"
    "    with --slot, which must be unformatted). An IMAGE must be a\n"
    "    single-sided DFS disc of 80 tracks or fewer whose catalogue holds\n"
    "    together; a shorter one is padded with zeros. A double-sided .dsd is\n"
    "    refused, or with --both-sides its two sides go in as two discs. The\n"
    "    slot's title is TEXT (one disc only), else the disc's own title, else\n"
    "    the image's file name; --locked locks it. Nothing is written unless\n"
    "    every IMAGE goes in.\n"
    "mmb extract FILE SLOT IMAGE\n"
    "    Writes the disc of SLOT, all 204,800 bytes, as IMAGE.\n"
    "mmb remove FILE SLOT\n"
    "    Makes SLOT unformatted and clears its disc; a locked disc is kept.\n"
    "mmb lock FILE SLOT\n"
    "mmb unlock FILE SLOT\n"
    "    Locks or unlocks the disc of SLOT.\n"
    "mmb title FILE SLOT TEXT\n"
    "    Sets the title of SLOT in the index (the disc itself is unchanged):\n"
    "    at most 12 characters, those Windows-1252 cannot hold as \"?\".\n"
    "mmb boot FILE SLOT [--drive 0..3]\n"
    "    Makes drive 0 (or the drive given) start with the disc of SLOT. In a\n"
    "    file of several zones the start zone becomes the slot's zone, and the\n"
    "    other drives' numbers then count in that zone.\n"
    "mmb extend FILE\n"
    "    Adds a zone of 511 unformatted slots, up to 16 zones; a file of fewer\n"
    "    than 511 discs is first filled up to 511.\n"
    "    SLOT counts across zones: slot 511 is the first of the second zone.\n"
    "    Every change writes the whole new FILE beside the old one and renames\n"
    "    it into place, so a failure leaves the old file whole. Exit status of\n"
    "    mmb: 0 on success, 1 when a file cannot be read or written, FILE is\n"
    "    not an MMB file, an IMAGE is not a disc that fits a slot, or SLOT is\n"
    "    not in the file, holds no disc (holds one, for add --slot; is locked,\n"
    "    for remove), no slot is free, or FILE has 16 zones already; 2 for\n"
    "    bad arguments.\n";

// Every message of the command.
namespace message
{
std::string inQuotes(std::string_view text)
{
    return concat({"\"", text, "\""});
}
std::string prefix(std::string_view command)
{
    return "mmb " + std::string(command) + ": ";
}
std::string noCommand()
{
    return "mmb: give a command: new, list, add, extract, remove, lock, unlock, title, boot or "
           "extend";
}
std::string unknownCommand(std::string_view command)
{
    return "mmb: unknown command '" + std::string(command) + "'";
}
std::string unknownOption(std::string_view command, std::string_view option)
{
    return prefix(command) + "unknown option '" + std::string(option) + "'";
}
std::string missingValue(std::string_view command, std::string_view option)
{
    return prefix(command) + std::string(option) + " needs a value";
}
std::string repeatedOption(std::string_view command, std::string_view option)
{
    return prefix(command) + std::string(option) + " is given twice";
}
std::string usage(std::string_view usageLine)
{
    return "usage: tavrin-disk " + std::string(usageLine);
}
std::string badNumber(std::string_view command, std::string_view what, std::string_view text,
                      int highest)
{
    return prefix(command) + std::string(what) + " takes a number from 0 to " +
           std::to_string(highest) + ", not '" + std::string(text) + "'";
}
std::string badDiscs(std::string_view text)
{
    return "mmb new: --discs takes a number from 1 to 511, not '" + std::string(text) + "'";
}
std::string titleForOneDisc(size_t discs)
{
    return "mmb add: --title names one disc, but " + std::to_string(discs) + " are added";
}
std::string exists(std::string_view file)
{
    return "mmb new: " + inQuotes(file) + " exists already; remove it or choose another name";
}
std::string noSuchSlot(std::string_view file, int slot, size_t count)
{
    return inQuotes(file) + " has no slot " + std::to_string(slot) + " (it has " +
           std::to_string(count) + (count == 1 ? " slot)" : " slots)");
}
std::string noDisc(std::string_view file, int slot, uint8_t status)
{
    return "slot " + std::to_string(slot) + " of " + inQuotes(file) + " holds no disc (it is " +
           MmbStatusName(status) + ")";
}
std::string slotTaken(std::string_view file, int slot, const std::string& title, uint8_t status)
{
    return "slot " + std::to_string(slot) + " of " + inQuotes(file) + " is not free: it is " +
           MmbStatusName(status) + (title.empty() ? "" : ", " + inQuotes(title)) +
           "; remove that disc first";
}
std::string lockedDisc(std::string_view file, int slot)
{
    return "slot " + std::to_string(slot) + " of " + inQuotes(file) +
           " holds a locked disc; unlock it first";
}
std::string noRoom(std::string_view file, int free, size_t discs)
{
    return inQuotes(file) + " has " + std::to_string(free) + " unformatted slots, and " +
           std::to_string(discs) + " discs are to be added; 'mmb extend' adds 511 more";
}
std::string doubleSided(std::string_view image)
{
    return inQuotes(image) + " is a double-sided image (.dsd), and a slot holds one side; give " +
           "--both-sides to add its two sides as two discs";
}
std::string extractOntoItself(std::string_view file)
{
    return "mmb extract: IMAGE is " + inQuotes(file) + " itself; give another name";
}
std::string unchanged(std::string_view file)
{
    return inQuotes(file) + " is unchanged";
}
std::string fullZones(std::string_view file)
{
    return inQuotes(file) + " has 16 zones already, as many as an MMB file can have";
}
std::string zoneChanged(int zone)
{
    return "note: the start zone is now zone " + std::to_string(zone) +
           "; the other drives' numbers count in it";
}
std::string cannotWriteOutput()
{
    return "cannot write to standard output";
}
} // namespace message

// The arguments of one mmb command.
struct MmbArguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options; // name, value ("" for flags)
    bool help = false;

    const std::string* option(std::string_view name) const
    {
        for (const auto& [n, v] : options)
            if (n == name)
                return &v;
        return nullptr;
    }
};

class MmbTool;

// One mmb command: its name, its positional arguments, its options.
struct MmbCommand {
    std::string_view name;
    size_t fewest;
    size_t most; // SIZE_MAX: any number
    std::vector<std::string_view> valued;
    std::vector<std::string_view> flags;
    int (MmbTool::*run)(const MmbArguments&);
};

// The block of kHelp for a command: its usage line (and those of the
// commands it shares its text with), then the indented text.
std::string_view helpBlock(std::string_view name)
{
    const std::string start = "mmb " + std::string(name) + " ";
    const size_t at = kHelp.find(start);
    if (at == std::string_view::npos)
        return {};
    size_t end = at;
    bool described = false;
    while (end < kHelp.size() && (kHelp[end] == ' ' || !described)) {
        described = described || kHelp[end] == ' ';
        end = kHelp.find('\n', end) + 1;
    }
    return kHelp.substr(at, end - at);
}

std::string_view usageLine(std::string_view name)
{
    const std::string_view block = helpBlock(name);
    return block.substr(0, block.find('\n'));
}

// A number of decimal digits only, from 0 to `highest`.
std::optional<int> parseNumber(std::string_view text, int highest)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > highest)
        return std::nullopt;
    return value;
}

std::string titleText(const std::string& title)
{
    return WithVisibleControlCharacters(title);
}

class MmbTool
{
  public:
    MmbTool(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int run(const std::vector<std::string>& args)
    {
        static const MmbCommand commands[] = {
            {"new", 1, 1, {"--discs"}, {}, &MmbTool::create},
            {"list", 1, 1, {}, {"--json", "--all"}, &MmbTool::list},
            {"add",
             2,
             SIZE_MAX,
             {"--slot", "--title"},
             {"--locked", "--both-sides"},
             &MmbTool::add},
            {"extract", 3, 3, {}, {}, &MmbTool::extract},
            {"remove", 2, 2, {}, {}, &MmbTool::remove},
            {"lock", 2, 2, {}, {}, &MmbTool::lock},
            {"unlock", 2, 2, {}, {}, &MmbTool::unlock},
            {"title", 3, 3, {}, {}, &MmbTool::title},
            {"boot", 2, 2, {"--drive"}, {}, &MmbTool::boot},
            {"extend", 1, 1, {}, {}, &MmbTool::extend},
        };
        if (args.size() < 2)
            return badArguments(message::noCommand());
        if (args[1] == "--help" || args[1] == "-h") {
            out_ << "Usage: tavrin-disk " << kHelp;
            return finish(kDiskToolOk);
        }
        for (const MmbCommand& command : commands) {
            if (args[1] != command.name)
                continue;
            command_ = &command;
            MmbArguments parsed;
            if (std::string error = parse(args, parsed); !error.empty())
                return badArguments(error);
            if (parsed.help) {
                std::string_view lead = "Usage: ";
                const std::string_view block = helpBlock(command.name);
                for (size_t at = 0; at < block.size(); at = block.find('\n', at) + 1) {
                    if (block[at] != ' ') {
                        out_ << lead << "tavrin-disk ";
                        lead = "       ";
                    }
                    out_ << block.substr(at, block.find('\n', at) + 1 - at);
                }
                return finish(kDiskToolOk);
            }
            return (this->*command.run)(parsed);
        }
        return badArguments(message::unknownCommand(args[1]));
    }

  private:
    // "--name=value", "--name value", flags, and "--" to end the options.
    std::string parse(const std::vector<std::string>& args, MmbArguments& parsed) const
    {
        const MmbCommand& c = *command_;
        auto contains = [](const std::vector<std::string_view>& list, std::string_view name) {
            return std::find(list.begin(), list.end(), name) != list.end();
        };
        bool optionsEnded = false;
        for (size_t i = 2; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (!optionsEnded && arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
                parsed.positional.push_back(arg);
                continue;
            }
            if (arg == "--help" || arg == "-h") {
                parsed.help = true;
                continue;
            }
            std::string name = arg;
            std::optional<std::string> value;
            if (auto equals = arg.find('='); equals != std::string::npos) {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
            }
            if (contains(c.valued, name)) {
                if (!value) {
                    if (i + 1 >= args.size())
                        return message::missingValue(c.name, name);
                    value = args[++i];
                }
            } else if (!contains(c.flags, name) || value) {
                return message::unknownOption(c.name, arg);
            }
            if (parsed.option(name))
                return message::repeatedOption(c.name, name);
            parsed.options.emplace_back(name, value.value_or(""));
        }
        if (!parsed.help &&
            (parsed.positional.size() < c.fewest || parsed.positional.size() > c.most))
            return message::usage(usageLine(c.name));
        return {};
    }

    // The MMB file named first; false, with the reason told, when it cannot be used.
    bool readFile(const std::string& file, MmbFileRead& read)
    {
        read = ReadMmbFile(file);
        if (read.ok())
            return true;
        failed(read.error);
        return false;
    }

    // SLOT as a number; false, with the reason told, when it is none.
    bool slotArgument(const std::string& text, int& slot)
    {
        const auto number = parseNumber(text, kMaxSlots - 1);
        if (!number) {
            badArguments(message::badNumber(command_->name, "SLOT", text, kMaxSlots - 1));
            return false;
        }
        slot = *number;
        return true;
    }

    // The file and the slot of a command that changes one disc; the slot
    // must hold a disc. The status to return, or -1 to go on.
    int fileAndDisc(const MmbArguments& a, MmbFileRead& read, int& slot)
    {
        if (!slotArgument(a.positional[1], slot))
            return kDiskToolBadArguments;
        if (!readFile(a.positional[0], read))
            return kDiskToolFailed;
        const std::string& file = a.positional[0];
        if (!read.index.hasSlot(slot))
            return failed(message::noSuchSlot(file, slot, read.index.seenSlots().size()));
        if (const MmbSlot s = read.index.slot(slot); !s.holdsDisc())
            return failed(message::noDisc(file, slot, s.status));
        return -1;
    }

    // Writes the changed index (and nothing else new) into place.
    int writeIndex(const std::string& file, const MmbFileRead& old, const MmbIndex& index,
                   const std::vector<int>& cleared = {})
    {
        MmbWriter writer(file, &old.index, cleared);
        if (!writer.commit(index))
            return failed(writer.error() + "; " + message::unchanged(file));
        return finish(kDiskToolOk);
    }

    int create(const MmbArguments& a)
    {
        int discs = kSlotsPerZone;
        if (const std::string* value = a.option("--discs")) {
            const auto n = parseNumber(*value, kSlotsPerZone);
            if (!n || *n < 1)
                return badArguments(message::badDiscs(*value));
            discs = *n;
        }
        const std::string& file = a.positional[0];
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(OsPath(file), ec)))
            return failed(message::exists(file));
        const MmbIndex index = NewMmbIndex(discs);
        MmbWriter writer(file);
        if (!writer.commit(index))
            return failed(writer.error());
        out_ << "wrote " << file << ": " << discs << (discs == 1 ? " slot" : " slots")
             << ", all unformatted\n";
        return finish(kDiskToolOk);
    }

    int list(const MmbArguments& a)
    {
        MmbFileRead read;
        if (!readFile(a.positional[0], read))
            return kDiskToolFailed;
        const bool all = a.option("--all") != nullptr;
        const std::vector<MmbSlot> seen = read.index.seenSlots();
        const auto boot = read.index.bootSlots();
        const auto discs =
            std::count_if(seen.begin(), seen.end(), [](const MmbSlot& s) { return s.holdsDisc(); });
        if (a.option("--json")) {
            QJsonArray entries;
            for (const MmbSlot& s : seen)
                if (all || !s.isEmpty())
                    entries.append(
                        QJsonObject{{"slot", s.slot},
                                    {"title", QString::fromStdString(s.title)},
                                    {"status", QString::fromStdString(MmbStatusName(s.status))}});
            QJsonObject json{{"zones", read.index.zones},
                             {"slots", qint64(seen.size())},
                             {"discs", qint64(discs)},
                             {"boot", QJsonArray{boot[0], boot[1], boot[2], boot[3]}},
                             {"entries", entries}};
            out_ << QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString() << '\n';
            return finish(kDiskToolOk);
        }
        std::string text = "Zones: " + std::to_string(read.index.zones) +
                           "\nSlots: " + std::to_string(seen.size()) +
                           "\nDiscs: " + std::to_string(discs) + "\nBoot:";
        for (int slot : boot)
            text += " " + std::to_string(slot);
        text += '\n';
        for (const MmbSlot& s : seen) {
            if (!all && s.isEmpty())
                continue;
            char head[32];
            std::snprintf(head, sizeof head, "%4d  %-11s  ", s.slot,
                          MmbStatusName(s.status).c_str());
            text += head + titleText(s.title) + '\n';
        }
        out_ << text;
        return finish(kDiskToolOk);
    }

    int add(const MmbArguments& a)
    {
        const std::string& file = a.positional[0];
        const std::vector<std::string> images(a.positional.begin() + 1, a.positional.end());
        const bool bothSides = a.option("--both-sides") != nullptr;
        std::optional<int> firstSlot;
        if (const std::string* value = a.option("--slot")) {
            int slot = 0;
            if (!slotArgument(*value, slot))
                return kDiskToolBadArguments;
            firstSlot = slot;
        }
        size_t discs = 0;
        for (const std::string& image : images)
            discs += bothSides && IsDsdFilename(image) ? 2 : 1;
        const std::string* title = a.option("--title");
        if (title && discs != 1)
            return badArguments(message::titleForOneDisc(discs));
        for (const std::string& image : images)
            if (!bothSides && IsDsdFilename(image))
                return failed(message::doubleSided(image));

        MmbFileRead read;
        if (!readFile(file, read))
            return kDiskToolFailed;
        MmbIndex index = read.index;
        // The slots, in the order the discs go in.
        std::vector<int> targets;
        if (firstSlot) {
            for (int slot = *firstSlot; targets.size() < discs; ++slot) {
                if (!index.hasSlot(slot))
                    return failed(message::noSuchSlot(file, slot, index.seenSlots().size()));
                if (const MmbSlot s = index.slot(slot); !s.isEmpty())
                    return failed(message::slotTaken(file, slot, s.title, s.status));
                targets.push_back(slot);
            }
        } else {
            for (int slot = index.firstEmptySlot(); slot >= 0 && targets.size() < discs;
                 slot = index.firstEmptySlot(slot + 1))
                targets.push_back(slot);
            if (targets.size() < discs)
                return failed(message::noRoom(file, index.emptySlots(), discs));
        }

        MmbWriter writer(file, &read.index, targets);
        if (!writer.ok())
            return failed(writer.error() + "; " + message::unchanged(file));
        const uint8_t status = a.option("--locked") ? kLocked : kUnlocked;
        std::string report;
        size_t next = 0;
        for (const std::string& image : images) {
            const MmbImageRead disc = ReadImageForMmb(image, bothSides);
            if (!disc.ok())
                return failed(disc.error + "; " + message::unchanged(file));
            for (const std::vector<uint8_t>& bytes : disc.discs) {
                const int slot = targets[next++];
                MmbTitle name = title ? EncodeMmbTitle(*title) : MmbTitleOfDisc(bytes);
                if (IsBlankMmbTitle(name))
                    name = EncodeMmbTitle(OsPath(image).stem().string());
                if (!writer.writeDisc(slot, bytes))
                    return failed(writer.error() + "; " + message::unchanged(file));
                SetMmbEntry(index, slot, name, status);
                report += "slot " + std::to_string(slot) + ": " +
                          titleText(index.slot(slot).title) + " (" + image + ")\n";
            }
        }
        if (!writer.commit(index))
            return failed(writer.error() + "; " + message::unchanged(file));
        out_ << report;
        return finish(kDiskToolOk);
    }

    int extract(const MmbArguments& a)
    {
        MmbFileRead read;
        int slot = 0;
        if (int status = fileAndDisc(a, read, slot); status >= 0)
            return status;
        std::error_code ec;
        if (std::filesystem::equivalent(OsPath(a.positional[0]), OsPath(a.positional[2]), ec))
            return failed(message::extractOntoItself(a.positional[0]));
        const MmbDiscRead disc = ReadMmbDisc(a.positional[0], read.index, slot);
        if (!disc.ok())
            return failed(disc.error);
        if (std::string error = WriteWholeFile(a.positional[2], disc.disc); !error.empty())
            return failed(error);
        out_ << "wrote " << a.positional[2] << ": slot " << slot << ", "
             << titleText(read.index.slot(slot).title) << '\n';
        return finish(kDiskToolOk);
    }

    int remove(const MmbArguments& a)
    {
        MmbFileRead read;
        int slot = 0;
        if (int status = fileAndDisc(a, read, slot); status >= 0)
            return status;
        if (read.index.slot(slot).status == kLocked)
            return failed(message::lockedDisc(a.positional[0], slot));
        MmbIndex index = read.index;
        SetMmbEntry(index, slot, MmbTitle{}, kUnformatted);
        return writeIndex(a.positional[0], read, index, {slot});
    }

    int setStatus(const MmbArguments& a, uint8_t status)
    {
        MmbFileRead read;
        int slot = 0;
        if (int result = fileAndDisc(a, read, slot); result >= 0)
            return result;
        MmbIndex index = read.index;
        SetMmbStatus(index, slot, status);
        return writeIndex(a.positional[0], read, index);
    }
    int lock(const MmbArguments& a) { return setStatus(a, kLocked); }
    int unlock(const MmbArguments& a) { return setStatus(a, kUnlocked); }

    int title(const MmbArguments& a)
    {
        MmbFileRead read;
        int slot = 0;
        if (int status = fileAndDisc(a, read, slot); status >= 0)
            return status;
        MmbIndex index = read.index;
        SetMmbTitle(index, slot, EncodeMmbTitle(a.positional[2]));
        return writeIndex(a.positional[0], read, index);
    }

    int boot(const MmbArguments& a)
    {
        int drive = 0;
        if (const std::string* value = a.option("--drive")) {
            const auto n = parseNumber(*value, kDrives - 1);
            if (!n)
                return badArguments(message::badNumber("boot", "--drive", *value, kDrives - 1));
            drive = *n;
        }
        MmbFileRead read;
        int slot = 0;
        if (int status = fileAndDisc(a, read, slot); status >= 0)
            return status;
        MmbIndex index = read.index;
        const int zoneBefore = index.bytes[kStartZoneOffset];
        SetMmbBootSlot(index, drive, slot);
        const int status = writeIndex(a.positional[0], read, index);
        if (status == kDiskToolOk && index.zones > 1 && MmbZoneOf(slot) != zoneBefore)
            err_ << kProgram << ": " << message::zoneChanged(MmbZoneOf(slot)) << '\n';
        return status;
    }

    int extend(const MmbArguments& a)
    {
        MmbFileRead read;
        if (!readFile(a.positional[0], read))
            return kDiskToolFailed;
        MmbIndex index = read.index;
        if (!ExtendMmbIndex(index))
            return failed(message::fullZones(a.positional[0]));
        if (const int status = writeIndex(a.positional[0], read, index); status != kDiskToolOk)
            return status;
        out_ << "wrote " << a.positional[0] << ": " << index.zones << " zones, "
             << index.seenSlots().size() << " slots\n";
        return finish(kDiskToolOk);
    }

    int badArguments(const std::string& text)
    {
        err_ << kProgram << ": " << text << "\nTry 'tavrin-disk mmb --help'.\n";
        return kDiskToolBadArguments;
    }

    int failed(const std::string& text)
    {
        err_ << kProgram << ": " << text << '\n';
        return kDiskToolFailed;
    }

    int finish(int status)
    {
        out_.flush();
        if (!out_)
            return failed(message::cannotWriteOutput());
        return status;
    }

    std::ostream& out_;
    std::ostream& err_;
    const MmbCommand* command_ = nullptr;
};

} // namespace

int RunDiskToolMmb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    return MmbTool(out, err).run(args);
}

std::string_view DiskToolMmbHelp()
{
    return kHelp;
}

std::vector<std::string_view> DiskToolMmbUsages()
{
    std::vector<std::string_view> usages;
    for (size_t at = 0; at < kHelp.size(); at = kHelp.find('\n', at) + 1)
        if (kHelp[at] != ' ')
            usages.push_back(kHelp.substr(at, kHelp.find('\n', at) - at));
    return usages;
}

} // namespace tavrin
