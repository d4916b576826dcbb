#include "DiskToolFiles.h"

#include "DiskTool.h"
#include "diskimage/CodePage1252.h"
#include "diskimage/DiskImageFile.h"
#include "diskimage/InfImageBuilder.h"
#include "core/Paths.h"

#include <QString>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>

namespace fs = std::filesystem;

namespace tavrin
{
namespace
{

constexpr std::string_view kProgram = "tavrin-disk";
// Enough for a double-sided 80-track image.
constexpr size_t kLargestImage = 2 * dfs::kDiskSectors * dfs::kSectorSize;
constexpr size_t kSectorsPerTrack = 10;

constexpr std::string_view kHelp =
    "build FOLDER IMAGE [--title TEXT]\n"
    "    Builds a single-sided 800-sector image from the loose files of FOLDER\n"
    "    and its sub-folders that have a description beside them: a file NAME\n"
    "    and NAME.inf (any letter case) whose first line reads, for example,\n"
    "        $.ELITE FF1900 FF8023 002800 Locked\n"
    "    the DFS name (\"$.\" may be left out; in double quotes when it holds\n"
    "    blanks, with %XX for the byte XX), the load and execution addresses in\n"
    "    hexadecimal (kept in 18 bits as DFS keeps them: FF1900 and FFFF1900 are\n"
    "    I/O processor addresses), and \"Locked\" or \"L\" for a locked file;\n"
    "    the length, CRC=... and other fields are read past. ORDER=n puts the\n"
    "    file in place n of the catalogue. IMAGE must end in .ssd, .img or\n"
    "    .bbc. The title is TEXT, or IMAGE's name without its extension; its\n"
    "    first eight characters are kept. Prints each file added, each file\n"
    "    left out with the reason (a catalogue holds 31 files with names DFS\n"
    "    can tell apart, and the disk 800 sectors), and each file without a\n"
    "    partner. IMAGE is replaced whole, unless it is plainly another kind\n"
    "    of file. Fails when no file could be added; no image is written then.\n"
    "extract IMAGE FOLDER\n"
    "    Writes every file of the image's catalogue into FOLDER (created when\n"
    "    missing, otherwise it must be empty) as a data file and its .inf in\n"
    "    the form above, with addresses and length as six hexadecimal digits\n"
    "    and ORDER=n for the file's place in the catalogue. File names are the\n"
    "    DFS name (with \"D.\" in front for a directory D other than $), with\n"
    "    characters that a file system cannot hold as \"_\" and \"~2\", \"~3\"\n"
    "    ... added where two names differ only in letter case. \"build\" of the\n"
    "    folder gives back the same files in the same order.\n"
    "    Names shown by both commands have their control characters and bytes\n"
    "    that are not UTF-8 as \\xNN, a backslash as \\\\.\n";

namespace message
{
std::string usage(std::string_view command)
{
    return std::string(command) + (command == "build" ? ": give FOLDER and IMAGE" : ": give IMAGE and FOLDER");
}
std::string unknownOption(std::string_view command, std::string_view option)
{
    return std::string(command) + ": unknown option '" + std::string(option) + "'";
}
std::string badImageName()
{
    return "build: IMAGE must end in .ssd, .img or .bbc";
}
std::string notReplaced(const std::string& notDfs)
{
    return "build: " + notDfs + "; it is not replaced";
}
std::string cannotWriteImage(std::string_view image, const std::string& why)
{
    return "build: the image " + std::string(image) + " cannot be written: " + why;
}
std::string notAFolder(std::string_view folder)
{
    return "build: " + std::string(folder) + " is not a folder";
}
std::string nothingAdded(std::string_view folder)
{
    return "build: no file of " + std::string(folder) +
           " could be added (a data file NAME needs its description NAME.inf); no image written";
}
std::string folderNotEmpty(std::string_view folder)
{
    return "extract: " + std::string(folder) + " already holds files; give a new or empty folder";
}
std::string cannotCreateFolder(std::string_view folder, const std::string& why)
{
    return "extract: the folder " + std::string(folder) + " cannot be created: " + why;
}
std::string cannotWrite(const fs::path& file)
{
    return "extract: " + file.string() + " cannot be written";
}
std::string pastTheEnd(const std::string& name)
{
    return "extract: " + name + " left out: its data lies past the end of the image";
}
} // namespace message

// "--title TEXT", "--title=TEXT", "--" and two positional arguments.
struct FilesArguments {
    std::vector<std::string> positional;
    std::optional<std::string> title;
    bool help = false;
    std::string error;
};

FilesArguments parse(const std::vector<std::string>& args)
{
    FilesArguments a;
    const bool build = args[0] == "build";
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size() && a.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (optionsEnded || arg.size() < 2 || arg[0] != '-')
            a.positional.push_back(arg);
        else if (arg == "--help" || arg == "-h")
            a.help = true;
        else if (build && (arg == "--title" || arg.rfind("--title=", 0) == 0)) {
            if (a.title)
                a.error = "build: --title is given twice";
            else if (arg != "--title")
                a.title = arg.substr(8);
            else if (i + 1 < args.size())
                a.title = args[++i];
            else
                a.error = "build: --title needs a value";
        }
        else
            a.error = message::unknownOption(args[0], arg);
    }
    if (a.error.empty() && !a.help && a.positional.size() != 2)
        a.error = message::usage(args[0]);
    return a;
}

std::string folded(const std::string& name)
{
    return QString::fromStdString(name).toCaseFolded().toStdString();
}

bool isUnsafeInName(char32_t c)
{
    return c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
           c == '"' || c == '<' || c == '>' || c == '|';
}

bool endsWithDsd(std::string_view path)
{
    return path.size() >= 4 && folded(std::string(path.substr(path.size() - 4))) == ".dsd";
}

// A line for the terminal: control characters and bytes that are not UTF-8
// as \xNN, as cat shows them.
std::string shown(std::string_view text)
{
    return WithVisibleControlCharacters(text);
}

// A DFS file's ".inf" line as the terminal shows it: its name read in the
// disk's code page.
std::string shownInfLine(const DfsFile& file)
{
    const std::string line = FormatInfLine(file);
    return shown(Cp1252ToUtf8({reinterpret_cast<const uint8_t*>(line.data()), line.size()}));
}

bool isBuiltImageName(std::string_view path)
{
    return IsDiskImageFilename(path) && !endsWithDsd(path);
}

int build(const FilesArguments& a, std::ostream& out, std::ostream& err)
{
    const std::string& folder = a.positional[0];
    const std::string& image = a.positional[1];
    if (!isBuiltImageName(image)) {
        err << kProgram << ": " << message::badImageName() << "\nTry 'tavrin-disk --help'.\n";
        return kDiskToolBadArguments;
    }
    std::error_code ec;
    if (!fs::is_directory(OsPath(folder), ec)) {
        err << kProgram << ": " << message::notAFolder(folder) << '\n';
        return kDiskToolFailed;
    }
    // A file of IMAGE's name that is plainly something else stays.
    if (const DiskImageHead old = ReadDiskImageHead(image);
        old.ok() && OtherFileFormat(old.bytes)) {
        err << kProgram << ": "
            << message::notReplaced(
                   NotDfsImageMessage(image, CheckDfsImage(old.bytes, old.size).value()))
            << '\n';
        return kDiskToolFailed;
    }
    const std::string title = a.title ? *a.title : OsPath(image).stem().string();
    const InfBuildReport report = BuildInfImage(folder, title, image);
    if (report.imageWritten)
        for (const std::string& added : report.addedFiles)
            out << "added    " << shown(added) << '\n';
    for (const std::string& skipped : report.skipped)
        out << "skipped  " << shown(skipped) << '\n';
    for (const std::string& unpaired : report.unpaired)
        out << "unpaired " << shown(unpaired) << '\n';
    if (report.added == 0) {
        err << kProgram << ": " << message::nothingAdded(folder) << '\n';
        return kDiskToolFailed;
    }
    if (!report.imageWritten) {
        err << kProgram << ": " << message::cannotWriteImage(image, report.error) << '\n';
        return kDiskToolFailed;
    }
    out << "wrote " << image << ": " << report.added << (report.added == 1 ? " file" : " files")
        << '\n';
    return report.skipped.empty() && report.unpaired.empty() ? kDiskToolOk : kDiskToolSomeLeftOut;
}

bool writeFile(const fs::path& path, std::span<const uint8_t> bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    return !file.fail();
}

std::optional<std::string> prepareFolder(const std::string& folder)
{
    const fs::path path = OsPath(folder);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) {
        if (!fs::is_directory(path, ec))
            return message::cannotCreateFolder(folder, "a file has that name");
        if (!fs::is_empty(path, ec) || ec)
            return message::folderNotEmpty(folder);
        return std::nullopt;
    }
    fs::create_directories(path, ec);
    if (ec)
        return message::cannotCreateFolder(folder, ec.message());
    return std::nullopt;
}

int extract(const FilesArguments& a, std::ostream& out, std::ostream& err)
{
    const std::string& imagePath = a.positional[0];
    const std::string& folder = a.positional[1];
    const DiskImageHead head = ReadDiskImageHead(imagePath, kLargestImage);
    if (!head.ok()) {
        err << kProgram << ": " << head.error << '\n';
        return kDiskToolFailed;
    }
    if (auto reason = CheckDfsImage(head.bytes, head.size)) {
        err << kProgram << ": " << NotDfsImageMessage(imagePath, *reason) << '\n';
        return kDiskToolFailed;
    }
    if (auto error = prepareFolder(folder)) {
        err << kProgram << ": " << *error << '\n';
        return kDiskToolFailed;
    }
    const fs::path target = OsPath(folder);
    std::set<std::string> taken;
    int status = kDiskToolOk;
    int order = 0;
    for (const DfsFile& file : ReadDfsFiles(head.bytes)) {
        ++order;
        const std::string line = shownInfLine(file);
        const std::optional<std::vector<uint8_t>> data =
            DfsFileData(head.bytes, file, endsWithDsd(imagePath));
        if (!data) {
            err << kProgram << ": " << message::pastTheEnd(line) << '\n';
            status = kDiskToolFailed;
            continue;
        }
        const std::string name = SafeFileName(file, taken);
        const std::string inf = FormatInfLine(file, order) + "\n";
        const std::span<const uint8_t> infBytes(reinterpret_cast<const uint8_t*>(inf.data()),
                                                inf.size());
        for (const auto& [path, bytes] : {std::pair{target / name, std::span<const uint8_t>(*data)},
                                          std::pair{target / (name + ".inf"), infBytes}}) {
            if (!writeFile(path, bytes)) {
                err << kProgram << ": " << shown(message::cannotWrite(path)) << '\n';
                return kDiskToolFailed;
            }
        }
        out << line << " -> " << shown(name) << '\n';
    }
    return status;
}

} // namespace

bool IsDiskToolFilesCommand(std::string_view command)
{
    return command == "build" || command == "extract";
}

std::string_view DiskToolFilesHelp() { return kHelp; }

std::string SafeFileName(const DfsFile& file, std::set<std::string>& taken)
{
    std::string base;
    auto append = [&base](uint8_t byte) {
        const char32_t c = Cp1252ToUnicode(byte);
        AppendUtf8(base, isUnsafeInName(c) ? U'_' : c);
    };
    if (file.directory != '$') {
        append(file.directory);
        base += '.';
    }
    for (char c : file.name)
        append(static_cast<uint8_t>(c));
    if (base.empty() || base == "." || base == "..")
        base = std::string(base.size() + 1, '_');

    std::string name = base;
    for (int n = 2; taken.count(folded(name)) || taken.count(folded(name + ".inf")); ++n)
        name = base + "~" + std::to_string(n);
    taken.insert(folded(name));
    taken.insert(folded(name + ".inf"));
    return name;
}

std::optional<std::vector<uint8_t>> DfsFileData(std::span<const uint8_t> image, const DfsFile& file,
                                                bool interleaved)
{
    std::vector<uint8_t> data;
    data.reserve(file.length);
    size_t sector = file.startSector;
    while (data.size() < file.length) {
        const size_t physical =
            interleaved ? (sector / kSectorsPerTrack) * 2 * kSectorsPerTrack + sector % kSectorsPerTrack
                        : sector;
        const size_t offset = physical * dfs::kSectorSize;
        const size_t count = std::min<size_t>(dfs::kSectorSize, file.length - data.size());
        if (offset > image.size() || count > image.size() - offset)
            return std::nullopt;
        data.insert(data.end(), image.begin() + ptrdiff_t(offset),
                    image.begin() + ptrdiff_t(offset + count));
        ++sector;
    }
    return data;
}

std::optional<std::string> PrepareExtractFolder(const std::string& folder)
{
    return prepareFolder(folder);
}

bool WriteExtractedFile(const fs::path& path, std::span<const uint8_t> bytes)
{
    return writeFile(path, bytes);
}

int RunDiskToolFiles(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const FilesArguments a = parse(args);
    if (!a.error.empty()) {
        err << kProgram << ": " << a.error << "\nTry 'tavrin-disk --help'.\n";
        return kDiskToolBadArguments;
    }
    if (a.help) {
        out << "Usage: tavrin-disk " << kHelp;
        return kDiskToolOk;
    }
    return args[0] == "build" ? build(a, out, err) : extract(a, out, err);
}

} // namespace tavrin
