#include "DiskToolUef.h"

#include "DiskTool.h"
#include "DiskToolFiles.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"
#include "diskimage/DiskImageFile.h"
#include "diskimage/InfFile.h"
#include "diskimage/UefFile.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

constexpr std::string_view kProgram = "tavrin-disk";

constexpr std::string_view kHelp =
    "cat [--info] [--json] TAPE.uef\n"
    "    For a UEF tape image (gzip-compressed or not; known by its .uef ending\n"
    "    or its first bytes) prints \"Tape: N files\", then one line for each\n"
    "    file in tape order: its number, name, load and execution address (32\n"
    "    bits), length and number of blocks, \"L\" for a locked file, and after\n"
    "    \"!\" what is wrong with its blocks (\"block 03 data CRC wrong\", \"blocks\n"
    "    05-06 missing\", \"block 07 cut short\", \"no last block after 08\").\n"
    "    Addresses, lengths and block numbers are hexadecimal. A file is the run\n"
    "    of blocks of one name, numbered from 0 up to the block marked last.\n"
    "    --info adds the UEF version, whether it is compressed, the chunks by\n"
    "    id, what could not be read, and each block: number, length, flag.\n"
    "    --json prints one object instead:\n"
    "        {\"files\": [{\"name\": text, \"load\": number, \"exec\": number,\n"
    "          \"length\": number, \"blocks\": number, \"locked\": true or false,\n"
    "          \"faults\": [{\"fault\": \"header_crc\" | \"data_crc\" | \"cut_short\"\n"
    "          | \"no_last_block\", \"block\": number} or {\"fault\": \"missing\",\n"
    "          \"first\": number, \"last\": number}]}]}\n"
    "    with --info also \"version\", \"compressed\", \"chunks\", \"framing_errors\",\n"
    "    \"other_format_chunks\" and each file's \"block_list\".\n"
    "extract TAPE.uef FOLDER\n"
    "    Writes every file of the tape into FOLDER (created when missing,\n"
    "    otherwise it must be empty) with its .inf beside it, as for discs but\n"
    "    with the tape's 32-bit addresses written whole:\n"
    "        $.ELITE 00001900 00008023 002800 Locked\n"
    "    A name holding a blank, a comma, a quote or a control character is\n"
    "    written in quotes, such a byte as %XX, as for discs. A\n"
    "    file with a missing or cut block is left out; one whose CRC is wrong is\n"
    "    written as read. Either is told, and the exit status is then 1.\n"
    "    (Up to 16 MB of tape is read; a gzip file that inflates to more is\n"
    "    given up.)\n";

namespace message
{
std::string usage(std::string_view command)
{
    return std::string(command) +
           (command == "cat" ? ": give one TAPE.uef" : ": give TAPE.uef and FOLDER");
}
std::string unknownOption(std::string_view command, std::string_view option)
{
    return std::string(command) + ": unknown option '" + std::string(option) + "'";
}
std::string readProblem(std::string_view path, const std::string& problem)
{
    return "note: " + std::string(path) + ": " + problem + "; the files before that are shown";
}
std::string chunkCutShort(std::string_view path)
{
    return "note: " + std::string(path) + ": the file ends inside a chunk";
}
std::string leftOut(const std::string& line, const std::string& why)
{
    return "extract: " + line + " left out: " + why;
}
std::string writtenAsRead(const std::string& line, const std::string& why)
{
    return "extract: " + line + ": " + why + "; written as read";
}
std::string cannotWrite(const fs::path& file)
{
    return "extract: " + file.string() + " cannot be written";
}
} // namespace message

struct UefArguments {
    std::vector<std::string> positional;
    bool json = false;
    bool info = false;
    bool help = false;
    std::string error;
};

UefArguments parse(const std::vector<std::string>& args)
{
    UefArguments a;
    const bool cat = args[0] == "cat";
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size() && a.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (optionsEnded || arg.size() < 2 || arg[0] != '-')
            a.positional.push_back(arg);
        else if (arg == "--help" || arg == "-h")
            a.help = true;
        else if (cat && arg == "--json")
            a.json = true;
        else if (cat && arg == "--info")
            a.info = true;
        else
            a.error = message::unknownOption(args[0], arg);
    }
    if (a.error.empty() && a.positional.size() != (cat ? 1u : 2u))
        a.error = message::usage(args[0]);
    return a;
}

std::string hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, unsigned(value));
    return text;
}

std::string faultsText(const TapeFile& file)
{
    std::string text;
    for (const TapeFault& fault : file.faults)
        text += (text.empty() ? "" : "; ") + TapeFaultText(fault);
    return text;
}

// What cannot be extracted whole (a block missing or cut), or none.
std::optional<std::string> notWhole(const TapeFile& file)
{
    std::string text;
    for (const TapeFault& fault : file.faults)
        if (fault.kind != TapeFault::Kind::HeaderCrc && fault.kind != TapeFault::Kind::DataCrc)
            text += (text.empty() ? "" : "; ") + TapeFaultText(fault);
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

std::string blockLine(const TapeBlock& block)
{
    std::string state = "CRC ok";
    if (block.cutShort)
        state = "cut short";
    else if (!block.headerCrcOk)
        state = "header CRC wrong";
    else if (!block.dataCrcOk)
        state = "data CRC wrong";
    return "    block " + hex(block.number, 2) + "  " + hex(block.length, 4) + " bytes  flag " +
           hex(block.flag, 2) + "  " + state;
}

std::string chunksText(const UefTape& tape)
{
    std::string text;
    for (const auto& [id, count] : tape.chunkCounts)
        text += (text.empty() ? "" : ", ") + hex(id, 4) + " x" + std::to_string(count);
    return text.empty() ? "none" : text;
}

std::string counted(size_t count, const std::string& what)
{
    return std::to_string(count) + ' ' + what + (count == 1 ? "" : "s");
}

void printTape(const UefTape& tape, bool info, std::ostream& out)
{
    const size_t count = tape.files.size();
    out << "Tape: " << counted(count, "file") << '\n';
    if (info) {
        out << "Version: " << unsigned(tape.majorVersion) << '.' << unsigned(tape.minorVersion)
            << '\n';
        out << "Compressed: " << (tape.compressed ? "yes" : "no") << '\n';
        out << "Chunks: " << chunksText(tape) << '\n';
        out << "Not read: " << counted(tape.bytes.otherFormatChunks, "chunk") << " in other formats"
            << (tape.bytes.otherFormats.empty() ? "" : " (" + tape.bytes.otherFormats + ")") << ", "
            << counted(tape.bytes.framingErrors, "framing error") << " in raw bits\n";
    }
    const int width = static_cast<int>(std::to_string(count).size());
    for (size_t n = 0; n < count; ++n) {
        const TapeFile& file = tape.files[n];
        std::string name = WithVisibleControlCharacters(TapeFileName(file));
        name.append(uef::kMaxNameLength - std::min(uef::kMaxNameLength, utf8CharacterCount(name)),
                    ' ');
        std::string number = std::to_string(n + 1);
        number.insert(0, size_t(std::max(width, 2)) - number.size(), ' ');
        std::string line = number + ' ' + name + ' ' + hex(file.load, 8) + ' ' + hex(file.exec, 8) +
                           ' ' + hex(file.length, 6) + ' ';
        char blocks[16];
        std::snprintf(blocks, sizeof blocks, "%3d", file.blocks);
        line += blocks;
        line += file.locked ? " L" : "  ";
        if (file.damaged())
            line += "  ! " + faultsText(file);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out << line << '\n';
        if (info)
            for (const TapeBlock& block : file.blockList)
                out << blockLine(block) << '\n';
    }
}

std::string faultJson(const TapeFault& fault)
{
    static constexpr std::string_view kNames[] = {"header_crc", "data_crc", "cut_short", "missing",
                                                  "no_last_block"};
    std::string json = "{\"fault\": \"" + std::string(kNames[static_cast<int>(fault.kind)]) + "\"";
    if (fault.kind == TapeFault::Kind::Missing)
        json += ", \"first\": " + std::to_string(fault.first) +
                ", \"last\": " + std::to_string(fault.last) + "}";
    else
        json += ", \"block\": " + std::to_string(fault.first) + "}";
    return json;
}

std::string blockJson(const TapeBlock& block)
{
    auto flag = [](bool b) { return b ? "true" : "false"; };
    return "{\"number\": " + std::to_string(block.number) +
           ", \"length\": " + std::to_string(block.length) +
           ", \"flag\": " + std::to_string(block.flag) +
           ", \"header_crc\": " + flag(block.headerCrcOk) +
           ", \"data_crc\": " + flag(block.dataCrcOk) + ", \"cut_short\": " + flag(block.cutShort) +
           "}";
}

template <typename T, typename F> std::string jsonList(const std::vector<T>& items, F each)
{
    std::string json = "[";
    for (size_t i = 0; i < items.size(); ++i)
        json += (i > 0 ? ", " : "") + each(items[i]);
    return json + "]";
}

int cat(const UefArguments& a, std::ostream& out, std::ostream& err)
{
    const std::string& path = a.positional[0];
    const UefTapeRead read = ReadUefTapeFile(path);
    if (!read.tape) {
        err << kProgram << ": " << read.error << '\n';
        return kDiskToolFailed;
    }
    if (a.json)
        out << UefTapeJson(*read.tape, a.info) << '\n';
    else
        printTape(*read.tape, a.info, out);
    if (!read.tape->inflateProblem.empty())
        err << kProgram << ": " << message::readProblem(path, read.tape->inflateProblem) << '\n';
    if (read.tape->chunksCutShort)
        err << kProgram << ": " << message::chunkCutShort(path) << '\n';
    return kDiskToolOk;
}

int extract(const UefArguments& a, std::ostream& out, std::ostream& err)
{
    const std::string& path = a.positional[0];
    const std::string& folder = a.positional[1];
    const UefTapeRead read = ReadUefTapeFile(path);
    if (!read.tape) {
        err << kProgram << ": " << read.error << '\n';
        return kDiskToolFailed;
    }
    if (auto error = PrepareExtractFolder(folder)) {
        err << kProgram << ": " << *error << '\n';
        return kDiskToolFailed;
    }
    const fs::path target = OsPath(folder);
    std::set<std::string> taken;
    int status = kDiskToolOk;
    for (const TapeFile& file : read.tape->files) {
        const std::string line = TapeInfLine(file);
        if (auto why = notWhole(file)) {
            err << kProgram << ": " << message::leftOut(line, *why) << '\n';
            status = kDiskToolFailed;
            continue;
        }
        if (file.damaged()) {
            err << kProgram << ": " << message::writtenAsRead(line, faultsText(file)) << '\n';
            status = kDiskToolFailed;
        }
        DfsFile named;
        named.name = file.name;
        const std::string name = SafeFileName(named, taken);
        const std::string inf = line + "\n";
        const std::span<const uint8_t> infBytes(reinterpret_cast<const uint8_t*>(inf.data()),
                                                inf.size());
        for (const auto& [to, bytes] :
             {std::pair{target / name, std::span<const uint8_t>(file.data)},
              std::pair{target / (name + ".inf"), infBytes}}) {
            if (!WriteExtractedFile(to, bytes)) {
                err << kProgram << ": " << message::cannotWrite(to) << '\n';
                return kDiskToolFailed;
            }
        }
        out << line << " -> " << name << '\n';
    }
    return status;
}

// The first argument after the command that is not an option.
std::optional<std::string> firstFileArgument(const std::vector<std::string>& args)
{
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (optionsEnded || arg.size() < 2 || arg[0] != '-')
            return arg;
    }
    return std::nullopt;
}

} // namespace

bool IsDiskToolUefCommand(const std::vector<std::string>& args)
{
    if (args.empty() || (args[0] != "cat" && args[0] != "extract"))
        return false;
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h")
            return false;
    const std::optional<std::string> file = firstFileArgument(args);
    if (!file)
        return false;
    if (IsUefFilename(*file))
        return true;
    const DiskImageHead head = ReadDiskImageHead(*file, uef::kSignature.size());
    return head.ok() && (IsUef(head.bytes) || IsGzip(head.bytes));
}

int RunDiskToolUef(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const UefArguments a = parse(args);
    if (!a.error.empty()) {
        err << kProgram << ": " << a.error << "\nTry 'tavrin-disk --help'.\n";
        return kDiskToolBadArguments;
    }
    return args[0] == "cat" ? cat(a, out, err) : extract(a, out, err);
}

std::string_view DiskToolUefHelp()
{
    return kHelp;
}

std::string TapeInfLine(const TapeFile& file)
{
    std::string line = InfName("$." + file.name);
    line += ' ' + hex(file.load, 8) + ' ' + hex(file.exec, 8) + ' ' + hex(file.length, 6);
    if (file.locked)
        line += " Locked";
    return line;
}

std::string UefTapeJson(const UefTape& tape, bool info)
{
    std::string json = "{";
    if (info) {
        json += "\"version\": " +
                JsonString(std::to_string(tape.majorVersion) + "." +
                           std::to_string(tape.minorVersion)) +
                ", \"compressed\": " + (tape.compressed ? "true" : "false") + ", \"chunks\": {";
        for (const auto& [id, count] : tape.chunkCounts)
            json += (&id == &tape.chunkCounts.front().first ? "\"" : ", \"") + hex(id, 4) +
                    "\": " + std::to_string(count);
        json += "}, \"framing_errors\": " + std::to_string(tape.bytes.framingErrors) +
                ", \"other_format_chunks\": " + std::to_string(tape.bytes.otherFormatChunks) + ", ";
    }
    json += "\"files\": " + jsonList(tape.files, [info](const TapeFile& file) {
                std::string f = "{\"name\": " + JsonString(TapeFileName(file)) +
                                ", \"load\": " + std::to_string(file.load) +
                                ", \"exec\": " + std::to_string(file.exec) +
                                ", \"length\": " + std::to_string(file.length) +
                                ", \"blocks\": " + std::to_string(file.blocks) +
                                ", \"locked\": " + (file.locked ? "true" : "false") +
                                ", \"faults\": " + jsonList(file.faults, faultJson);
                if (info)
                    f += ", \"block_list\": " + jsonList(file.blockList, blockJson);
                return f + "}";
            });
    return json + "}";
}

} // namespace tavrin
