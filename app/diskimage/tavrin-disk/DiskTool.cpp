#include "DiskTool.h"
#include "DiskToolFiles.h"
#include "DiskToolUef.h"
#include "DiskToolMmb.h"

#include "diskimage/DiskImageFile.h"
#include "diskimage/ImageTools.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string_view>

namespace tavrin
{
namespace
{

constexpr std::string_view kProgram = "tavrin-disk";

#ifndef TAVRIN_VERSION
#define TAVRIN_VERSION "unknown"
#endif

constexpr std::string_view kIntroHelp =
    "Reads and writes the catalogue of Acorn DFS disk images (.ssd, .dsd, .img,\n"
    ".bbc) as the catalogue panel of Tavrin does, and creates blank images.\n"
    "Lists and extracts the files of UEF tape images (.uef).\n"
    "IMAGE may be written with \\ or / and in any letter case.\n";

constexpr std::string_view kCatHelp =
    "cat [--info] [--json] IMAGE\n"
    "    Prints the disk's title, its boot option and its 62 catalogue entries\n"
    "    as the catalogue panel shows them:\n"
    "        Title: TITLE\n"
    "        Boot: 0 Nothing | 1 Load | 2 Run | 3 Exec | none\n"
    "    then 62 lines, one for each box: the box number in two columns, a\n"
    "    space and the entry's text (nothing after the space for an empty box).\n"
    "    An entry reads directory, \".\", seven name characters, a space, and\n"
    "    \"L\" for a locked file. Entries 32 to 62 are filled only on a Watford\n"
    "    62-file disk. The boot option is bits 4 and 5 of byte 0x106; it is\n"
    "    \"none\" when a bit no DFS uses (2, 3, 6 or 7) is set there. Control\n"
    "    characters in the title and names are shown as \\xNN, a backslash as\n"
    "    \\\\. A file that is plainly another kind of file (an ADFS or DOS\n"
    "    disk, a database, an archive, a picture, a program) is not listed: cat\n"
    "    says what it is and fails. Any other file that is not a DFS image is\n"
    "    shown all the same, with a note on standard error telling why set will\n"
    "    not write to it.\n"
    "    --info adds, after the boot option,\n"
    "        Sectors: the disk's sector count (bytes 0x106 and 0x107)\n"
    "        Free: the sectors no counted file or catalogue sector uses\n"
    "    and to each entry its load and execution address, length and start\n"
    "    sector in hexadecimal, as DFS's *INFO shows them (FF1900 FF8023\n"
    "    002800 002); bits 16 and 17 come from the entry's mixed byte, and an\n"
    "    address with both set shows as FFxxxx.\n"
    "    --json prints one object instead, with the title and entries as they\n"
    "    are (JSON escapes):\n"
    "        {\"title\": text, \"boot\": 0 to 3 or null, \"entries\": [62 texts]}\n"
    "    with \"\" for an empty box. With --info it also holds \"sectors\",\n"
    "    \"free_sectors\" and \"files\", one object for each shown entry:\n"
    "        {\"box\": 1 to 62, \"name\": text, \"directory\": text,\n"
    "         \"locked\": true or false, \"load\": number, \"exec\": number,\n"
    "         \"length\": number, \"start_sector\": number}\n"
    "    (numbers are null where a short file ends before them).\n";

constexpr std::string_view kSetHelp =
    "set IMAGE [--title TEXT] [--boot 0..3]\n"
    "    Writes the title and/or the boot option into the image, as the\n"
    "    panel's \"Update\" does: the title is cut to 12 characters or padded with\n"
    "    spaces to 12, characters that Windows-1252 cannot hold are written as\n"
    "    \"?\"; the boot option changes only bits 4 and 5 of byte 0x106. Nothing\n"
    "    else in the file changes. What is not given is left as it is. Only a\n"
    "    file named .ssd, .dsd, .img or .bbc that is a DFS image is written.\n";

constexpr std::string_view kBlankHelp =
    "blank IMAGE\n"
    "    Writes a blank 80-track single-sided image of 204,800 bytes, as the\n"
    "    \"Create\" dialog does; IMAGE must end in .img. A file of that name is\n"
    "    replaced entirely.\n";

// The help of every command, in the order --help lists them; the first line
// of each is its usage.
constexpr std::string_view kCommandHelp[] = {
    kCatHelp, kSetHelp, kBlankHelp,
};

constexpr std::string_view kStatusHelp =
    "Exit status:\n"
    "    0  success (build: every file of FOLDER is in the image)\n"
    "    1  failure: a file cannot be read or written; or cat, set or extract is\n"
    "       given a file that is plainly another kind of file (an ADFS or DOS\n"
    "       disk, a database, an archive, a picture, a program, a tape image;\n"
    "       a signature made of letters counts only when the catalogue does\n"
    "       not hold together as DFS writes it, since a title may begin so);\n"
    "       or set or extract is given a file that is not a DFS disk image in\n"
    "       another way (shorter than its two catalogue sectors, 512 bytes;\n"
    "       plain text; a file count byte at 0x105 that is not a multiple of\n"
    "       8), or set a file not named .ssd, .dsd, .img or .bbc; or build\n"
    "       could add no file, or not write its image\n"
    "    2  bad arguments\n"
    "    3  build wrote its image but left some files out (see its \"skipped\"\n"
    "       and \"unpaired\" lines)\n"
    "Messages go to standard error; a file that is not a DFS image is never\n"
    "written.\n";

std::string_view firstLine(std::string_view text)
{
    return text.substr(0, text.find('\n'));
}

// Every message of the program.
namespace message
{
std::string missingCommand()
{
    return "no command given";
}
std::string unknownCommand(std::string_view command)
{
    return "unknown command '" + std::string(command) + "'";
}
std::string unknownOption(std::string_view command, std::string_view option)
{
    return std::string(command) + ": unknown option '" + std::string(option) + "'";
}
std::string missingValue(std::string_view command, std::string_view option)
{
    return std::string(command) + ": " + std::string(option) + " needs a value";
}
std::string repeatedOption(std::string_view command, std::string_view option)
{
    return std::string(command) + ": " + std::string(option) + " is given twice";
}
std::string missingImage(std::string_view command)
{
    return std::string(command) + ": no IMAGE given";
}
std::string extraArgument(std::string_view command, std::string_view argument)
{
    return std::string(command) + ": unexpected argument '" + std::string(argument) + "'";
}
std::string badBoot(std::string_view value)
{
    return "set: --boot takes 0, 1, 2 or 3, not '" + std::string(value) + "'";
}
std::string nothingToSet()
{
    return "set: nothing to set; give --title TEXT, --boot 0..3 or both";
}
std::string badImgName()
{
    return kInvalidImgFilename;
}
std::string cannotWriteOutput()
{
    return "cannot write to standard output";
}
std::string setWillNotWrite(const std::string& notDfs)
{
    return "note: " + notDfs + "; set will not write to it";
}
} // namespace message

// The arguments of one command: options with or without a value, and the
// one IMAGE.
struct Arguments {
    std::optional<std::string> image;
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

// Splits the arguments after the command. `valued` and `flags` name the
// options the command takes; "--name=value" and "--name value" both work,
// and "--" ends the options. Returns an error message or "".
std::string parseArguments(std::string_view command, const std::vector<std::string>& args,
                           const std::vector<std::string_view>& valued,
                           const std::vector<std::string_view>& flags, Arguments& parsed)
{
    auto contains = [](const std::vector<std::string_view>& list, std::string_view name) {
        for (auto n : list)
            if (n == name)
                return true;
        return false;
    };
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (parsed.image)
                return message::extraArgument(command, arg);
            parsed.image = arg;
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
        if (contains(valued, name)) {
            if (!value) {
                if (i + 1 >= args.size())
                    return message::missingValue(command, name);
                value = args[++i];
            }
        } else if (!contains(flags, name) || value) {
            return message::unknownOption(command, arg);
        }
        if (parsed.option(name))
            return message::repeatedOption(command, name);
        parsed.options.emplace_back(name, value.value_or(""));
    }
    if (!parsed.help && !parsed.image)
        return message::missingImage(command);
    return {};
}

void appendJsonString(std::string& json, std::string_view text)
{
    json += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                json += escaped;
            } else {
                json += c;
            }
        }
    }
    json += '"';
}

class DiskTool
{
  public:
    DiskTool(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int run(const std::vector<std::string>& args)
    {
        if (args.empty())
            return badArguments(message::missingCommand());
        const std::string& command = args[0];
        if (IsDiskToolUefCommand(args))
            return finish(RunDiskToolUef(args, out_, err_));
        if (command == "--help" || command == "-h" || command == "help") {
            printHelp();
            return finish(kDiskToolOk);
        }
        if (command == "--version") {
            out_ << kProgram << ' ' << TAVRIN_VERSION << '\n';
            return finish(kDiskToolOk);
        }
        if (command == "cat")
            return cat(args);
        if (command == "set")
            return set(args);
        if (command == "blank")
            return blank(args);
        if (IsDiskToolFilesCommand(command))
            return finish(RunDiskToolFiles(args, out_, err_));
        if (command == "mmb")
            return finish(RunDiskToolMmb(args, out_, err_));
        return badArguments(message::unknownCommand(command));
    }

  private:
    int cat(const std::vector<std::string>& args)
    {
        Arguments parsed;
        if (auto error = parseArguments("cat", args, {}, {"--json", "--info"}, parsed);
            !error.empty())
            return badArguments(error);
        if (parsed.help)
            return commandHelp(kCatHelp);

        const DiskImageHead head = ReadDiskImageHead(*parsed.image);
        if (!head.ok())
            return failed(head.error);
        // What is plainly another kind of file has no catalogue to list.
        if (OtherFileFormat(head.bytes))
            return failed(
                NotDfsImageMessage(*parsed.image, CheckDfsImage(head.bytes, head.size).value()));

        // Shown as the panel shows it; set's refusal is told.
        const DiskCatalogue catalogue = ParseDiskCatalogue(head.bytes);
        std::optional<DiskInfo> info;
        if (parsed.option("--info"))
            info = ReadDiskInfo(head.bytes);
        if (parsed.option("--json"))
            out_ << DiskCatalogueJson(catalogue, info ? &*info : nullptr) << '\n';
        else
            printCatalogue(catalogue, info ? &*info : nullptr);
        if (auto reason = CheckDfsImage(head.bytes, head.size))
            note(message::setWillNotWrite(NotDfsImageMessage(*parsed.image, *reason)));
        return finish(kDiskToolOk);
    }

    int set(const std::vector<std::string>& args)
    {
        Arguments parsed;
        if (auto error = parseArguments("set", args, {"--title", "--boot"}, {}, parsed);
            !error.empty())
            return badArguments(error);
        if (parsed.help)
            return commandHelp(kSetHelp);

        std::optional<std::string_view> title;
        if (const std::string* text = parsed.option("--title"))
            title = *text;
        std::optional<int> boot;
        if (const std::string* value = parsed.option("--boot")) {
            if (value->size() != 1 || (*value)[0] < '0' || (*value)[0] > '3')
                return badArguments(message::badBoot(*value));
            boot = (*value)[0] - '0';
        }
        if (!title && !boot)
            return badArguments(message::nothingToSet());

        const DiskWriteResult result = WriteDiskCatalogue(*parsed.image, title, boot);
        return result.ok() ? finish(kDiskToolOk) : failed(result.error);
    }

    int blank(const std::vector<std::string>& args)
    {
        Arguments parsed;
        if (auto error = parseArguments("blank", args, {}, {}, parsed); !error.empty())
            return badArguments(error);
        if (parsed.help)
            return commandHelp(kBlankHelp);
        if (!IsImgFilename(*parsed.image))
            return badArguments(message::badImgName());
        const DiskWriteResult result = CreateBlankImage(*parsed.image);
        return result.ok() ? finish(kDiskToolOk) : failed(result.error);
    }

    void printCatalogue(const DiskCatalogue& catalogue, const DiskInfo* info)
    {
        out_ << "Title: " << WithVisibleControlCharacters(catalogue.title) << '\n';
        out_ << "Boot: ";
        if (catalogue.bootOption)
            out_ << *catalogue.bootOption << ' ' << kBootOptionLabels[*catalogue.bootOption];
        else
            out_ << "none";
        out_ << '\n';
        if (info) {
            auto number = [](std::optional<int> n) {
                return n ? std::to_string(*n) : std::string("unknown");
            };
            out_ << "Sectors: " << number(info->sectors) << '\n';
            out_ << "Free: " << number(info->freeSectors) << '\n';
        }
        for (size_t n = 1; n <= catalogue.entries.size(); ++n) {
            char number[8];
            std::snprintf(number, sizeof number, "%2zu ", n);
            out_ << number << WithVisibleControlCharacters(catalogue.entries[n - 1]);
            if (const CatalogueFile* file = info ? info->file(static_cast<int>(n)) : nullptr)
                out_ << infoColumns(*file);
            out_ << '\n';
        }
    }

    // "  FF1900 FF8023 002800 002", as *INFO shows a file; nothing when the
    // record lies past the end of a short file.
    static std::string infoColumns(const CatalogueFile& file)
    {
        if (!file.load)
            return {};
        char text[40];
        std::snprintf(text, sizeof text, "  %06X %06X %06X %03X", unsigned(*file.load),
                      unsigned(*file.exec), unsigned(*file.length), unsigned(*file.startSector));
        return text;
    }

    void printHelp()
    {
        std::string_view lead = "Usage: ";
        for (std::string_view help : kCommandHelp) {
            out_ << lead << "tavrin-disk " << firstLine(help) << '\n';
            lead = "       ";
        }
        // The file commands' help holds one block per command; a block's
        // first line, the one not indented, is its usage.
        std::string_view files = DiskToolFilesHelp();
        for (std::string_view blocks : {files, DiskToolUefHelp()})
            for (size_t at = 0; at < blocks.size();) {
                const size_t end = std::min(blocks.find('\n', at), blocks.size());
                if (blocks[at] != ' ')
                    out_ << lead << "tavrin-disk " << blocks.substr(at, end - at) << '\n';
                at = end + 1;
            }
        for (std::string_view usage : DiskToolMmbUsages())
            out_ << lead << "tavrin-disk " << usage << '\n';
        out_ << "       tavrin-disk --help\n       tavrin-disk --version\n\n"
             << kIntroHelp << "\nCommands:\n";
        for (std::string_view help : kCommandHelp)
            out_ << help;
        out_ << files << "\nTape images:\n" << DiskToolUefHelp();
        out_ << DiskToolMmbHelp();
        out_ << '\n' << kStatusHelp;
    }

    int commandHelp(std::string_view help)
    {
        out_ << "Usage: tavrin-disk " << help << '\n' << kStatusHelp;
        return finish(kDiskToolOk);
    }

    int badArguments(const std::string& text)
    {
        err_ << kProgram << ": " << text << "\nTry 'tavrin-disk --help'.\n";
        return kDiskToolBadArguments;
    }

    int failed(const std::string& text)
    {
        err_ << kProgram << ": " << text << '\n';
        return kDiskToolFailed;
    }

    void note(const std::string& text) { err_ << kProgram << ": " << text << '\n'; }

    // A result that cannot be written (a full disk, a closed pipe) is a failure.
    int finish(int status)
    {
        out_.flush();
        if (!out_)
            return failed(message::cannotWriteOutput());
        return status;
    }

    std::ostream& out_;
    std::ostream& err_;
};

} // namespace

const CatalogueFile* DiskInfo::file(int box) const
{
    for (const CatalogueFile& f : files)
        if (f.box == box)
            return &f;
    return nullptr;
}

DiskInfo ReadDiskInfo(std::span<const uint8_t> image)
{
    DiskInfo info;
    info.sectors = ReadSectorCount(image);
    info.freeSectors = FreeSectors(image);
    for (int n = 1; n <= dfs::kMaxEntries; ++n)
        if (auto file = ReadCatalogueFile(image, n))
            info.files.push_back(std::move(*file));
    return info;
}

std::string DiskCatalogueJson(const DiskCatalogue& catalogue, const DiskInfo* info)
{
    auto number = [](auto value) { return value ? std::to_string(*value) : std::string("null"); };
    std::string json = "{\"title\": ";
    appendJsonString(json, catalogue.title);
    json += ", \"boot\": ";
    json += number(catalogue.bootOption);
    if (info) {
        json += ", \"sectors\": " + number(info->sectors);
        json += ", \"free_sectors\": " + number(info->freeSectors);
    }
    json += ", \"entries\": [";
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        if (i > 0)
            json += ", ";
        appendJsonString(json, catalogue.entries[i]);
    }
    json += "]";
    if (info) {
        json += ", \"files\": [";
        for (const CatalogueFile& file : info->files) {
            if (&file != &info->files.front())
                json += ", ";
            json += "{\"box\": " + std::to_string(file.box) + ", \"name\": ";
            appendJsonString(json, file.name);
            json += ", \"directory\": ";
            appendJsonString(json, file.directory);
            json += std::string(", \"locked\": ") + (file.locked ? "true" : "false");
            json += ", \"load\": " + number(file.load);
            json += ", \"exec\": " + number(file.exec);
            json += ", \"length\": " + number(file.length);
            json += ", \"start_sector\": " + number(file.startSector) + "}";
        }
        json += "]";
    }
    json += "}";
    return json;
}

std::string JsonString(std::string_view text)
{
    std::string json;
    appendJsonString(json, text);
    return json;
}

int RunDiskTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    return DiskTool(out, err).run(args);
}

} // namespace tavrin
