#include "InfFile.h"

#include "CodePage1252.h"
#include "core/TextHelpers.h"

#include <algorithm>
#include <cstdio>

namespace tavrin
{

using namespace dfs;

namespace
{

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits off the next blank-separated word; `rest` keeps what follows it.
std::string_view nextWord(std::string_view& rest)
{
    while (!rest.empty() && isBlank(rest.front()))
        rest.remove_prefix(1);
    size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end]))
        ++end;
    std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A character that can stand in a DFS name or be its directory: printable,
// not a blank. Bytes above 0x7F (the disk's code page) are allowed in names.
bool isNameByte(uint8_t byte) { return byte > 0x20 && byte != 0x7F; }
bool isDirectoryByte(uint8_t byte) { return byte > 0x20 && byte < 0x7F; }

std::string quoted(std::string_view text) { return concat({"\"", text, "\""}); }

// A DFS name as text: its bytes in the disk's code page.
std::string dfsName(uint8_t directory, std::string_view name)
{
    std::string text;
    AppendUtf8(text, Cp1252ToUnicode(directory));
    text += '.';
    text += Cp1252ToUtf8({reinterpret_cast<const uint8_t*>(name.data()), name.size()});
    return text;
}

// Bytes that a name in quotes writes as "%XX", and that make quotes needed.
bool isEscapedInQuotes(uint8_t byte)
{
    return byte < 0x20 || byte == 0x7F || byte == '"' || byte == '%';
}
bool needsQuotes(uint8_t byte)
{
    return byte <= 0x20 || byte == 0x7F || byte == '"' || byte == ',';
}

// The bytes of a quoted name, its "%XX" read as the byte XX.
std::string unescapeQuoted(std::string_view text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
            hexDigit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

bool isHexWord(std::string_view word)
{
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return hexDigit(c) >= 0; });
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

void put16(std::vector<uint8_t>& image, size_t offset, uint32_t value)
{
    image[offset] = static_cast<uint8_t>(value & 0xFF);
    image[offset + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

uint32_t get16(std::span<const uint8_t> image, size_t offset)
{
    return image[offset] | (uint32_t(image[offset + 1]) << 8);
}

// An 18-bit address as written in ".inf" files.
uint32_t infAddress(uint32_t address)
{
    return (address >> 16) == 3 ? 0xFF0000 | (address & 0xFFFF) : address;
}

} // namespace

std::string ReadInfFirstField(std::span<const uint8_t> text)
{
    std::string_view line(reinterpret_cast<const char*>(text.data()), text.size());
    if (line.starts_with(kUtf8ByteOrderMark))
        line.remove_prefix(kUtf8ByteOrderMark.size());
    line = line.substr(0, std::find_if(line.begin(), line.end(), isLineEnd) - line.begin());
    size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (i < line.size() && line[i] == '"') {
        const size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos)
            return std::string(trimBlanks(line.substr(i + 1)));
        // A quoted name followed by its addresses.
        const std::string_view after = line.substr(close + 1, line.find(',', close) - close - 1);
        std::string_view rest = after;
        if (!after.empty() && isBlank(after.front()) && isHexWord(nextWord(rest)))
            return std::string(trimBlanks(line.substr(i, close + 1 + after.size() - i)));
        return std::string(trimBlanks(line.substr(i + 1, close - i - 1)));
    }
    return std::string(trimBlanks(line.substr(i, line.find(',', i) - i)));
}

std::optional<uint32_t> ParseInfAddress(std::string_view field)
{
    if (!isHexWord(field))
        return std::nullopt;
    uint32_t value = 0;
    for (char c : field)
        value = (value << 4) | uint32_t(hexDigit(c));
    if ((value & 0xFF0000) == 0xFF0000)
        return 0x30000 | (value & 0xFFFF);
    return value & 0x3FFFF;
}

InfParse ParseInfDescription(std::string_view firstField)
{
    InfParse result;
    std::string_view rest = trimBlanks(firstField);
    std::string word;
    const bool inQuotes = !rest.empty() && rest.front() == '"';
    if (inQuotes) {
        const size_t close = rest.find('"', 1);
        word =
            unescapeQuoted(rest.substr(1, close == std::string_view::npos ? rest.npos : close - 1));
        rest.remove_prefix(close == std::string_view::npos ? rest.size() : close + 1);
    } else {
        word = std::string(nextWord(rest));
    }
    if (word.empty()) {
        result.error = "the description names no file";
        return result;
    }
    InfDescription d;
    std::string_view name = word;
    if (word.size() >= 2 && word[1] == '.') {
        d.directory = static_cast<uint8_t>(word[0]);
        name = std::string_view(word).substr(2);
    }
    // In quotes any byte can be written; bit 7 of the directory byte is the lock.
    if (inQuotes ? d.directory == 0 || d.directory > 0x7F : !isDirectoryByte(d.directory)) {
        result.error = "the directory of " + quoted(word) + " is not a printable character";
        return result;
    }
    if (name.empty() || name.front() == '\0') {
        result.error = "the description " + quoted(word) + " gives no file name";
        return result;
    }
    if (!inQuotes &&
        !std::all_of(name.begin(), name.end(), [](char c) { return isNameByte(uint8_t(c)); })) {
        result.error = "the name " + quoted(word) + " holds a control character";
        return result;
    }
    d.name = std::string(name);

    const std::string_view load = nextWord(rest);
    const std::string_view exec = nextWord(rest);
    const char* const which[] = {"load", "execution"};
    const std::string_view fields[] = {load, exec};
    uint32_t* const targets[] = {&d.load, &d.exec};
    for (int k = 0; k < 2; ++k) {
        if (fields[k].empty()) {
            result.error = std::string("the description has no ") + which[k] + " address";
            return result;
        }
        const std::optional<uint32_t> value = ParseInfAddress(fields[k]);
        if (!value) {
            result.error = std::string("the ") + which[k] + " address " + quoted(fields[k]) +
                           " is not hexadecimal";
            return result;
        }
        *targets[k] = *value;
    }
    // The length (not used: the data file's size counts), then an access byte.
    int numbers = 0;
    for (std::string_view flag = nextWord(rest); !flag.empty(); flag = nextWord(rest)) {
        if (equalsIgnoringAsciiCase(flag, "locked") || equalsIgnoringAsciiCase(flag, "L")) {
            d.locked = true;
        } else if (flag.size() > 6 && equalsIgnoringAsciiCase(flag.substr(0, 6), "ORDER=")) {
            const std::string_view digits = flag.substr(6);
            if (digits.size() <= 3 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '9'; }))
                d.order = std::stoi(std::string(digits));
        } else if (isHexWord(flag) && ++numbers == 2 && flag.size() <= 2) {
            d.locked = d.locked || (ParseInfAddress(flag).value_or(0) & 0x08) != 0;
        }
    }
    result.description = std::move(d);
    return result;
}

size_t SectorsFor(uint64_t length)
{
    return static_cast<size_t>(length / kSectorSize + (length % kSectorSize != 0 ? 1 : 0));
}

uint8_t DfsMixedByte(uint32_t load, uint32_t exec, uint32_t length, uint32_t startSector)
{
    return static_cast<uint8_t>((((exec >> 16) & 3) << 6) | (((length >> 16) & 3) << 4) |
                                (((load >> 16) & 3) << 2) | ((startSector >> 8) & 3));
}

std::vector<DfsFile> ReadDfsFiles(std::span<const uint8_t> image)
{
    std::vector<DfsFile> files;
    if (image.size() <= kFileCountOffset)
        return files;
    const int count = std::min<int>(image[kFileCountOffset] / 8, kEntriesPerCatalogue);
    for (int s = 1; s <= count; ++s) {
        const size_t entry = kEntrySize * size_t(s);
        const size_t record = kFileRecordOffset + kEntrySize * size_t(s);
        if (record + kEntrySize > image.size())
            break;
        DfsFile f;
        std::string name(reinterpret_cast<const char*>(image.data() + entry), kEntryNameLength);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0'))
            name.pop_back();
        f.name = std::move(name);
        f.directory = image[entry + 7] & 0x7F;
        f.locked = (image[entry + 7] & kDirectoryLockBit) != 0;
        const uint8_t mixed = image[record + 6];
        f.load = get16(image, record) | (uint32_t((mixed >> 2) & 3) << 16);
        f.exec = get16(image, record + 2) | (uint32_t((mixed >> 6) & 3) << 16);
        f.length = get16(image, record + 4) | (uint32_t((mixed >> 4) & 3) << 16);
        f.startSector = image[record + 7] | (uint32_t(mixed & 3) << 8);
        files.push_back(std::move(f));
    }
    return files;
}

std::string InfName(std::string_view name)
{
    if (std::none_of(name.begin(), name.end(), [](char c) { return needsQuotes(uint8_t(c)); }))
        return std::string(name);
    std::string written = "\"";
    for (char c : name) {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", unsigned(uint8_t(c)));
        written += isEscapedInQuotes(uint8_t(c)) ? std::string(escaped) : std::string(1, c);
    }
    return written + '"';
}

std::string FormatInfLine(const DfsFile& file, std::optional<int> order)
{
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, " %06X %06X %06X", unsigned(infAddress(file.load)),
                  unsigned(infAddress(file.exec)), unsigned(file.length));
    std::string name;
    name += static_cast<char>(file.directory);
    name += '.';
    name += file.name;
    std::string line = InfName(name);
    line += numbers;
    if (file.locked)
        line += " Locked";
    if (order)
        line += " ORDER=" + std::to_string(*order);
    return line;
}

// ---- InfImage ---------------------------------------------------------------

InfImage::InfImage(std::string_view title) : image_(kCatalogueSize, 0)
{
    const std::array<uint8_t, kTitleLength> encoded = EncodeCatalogueTitle(title);
    std::copy_n(encoded.begin(), kTitleHeadLength, image_.begin());
    std::fill_n(image_.begin() + kTitleTailOffset, kTitleLength - kTitleHeadLength, ' ');
}

std::optional<std::string> InfImage::add(std::span<const uint8_t> data,
                                         std::span<const uint8_t> infText)
{
    const InfParse parsed = ParseInfDescription(ReadInfFirstField(infText));
    if (!parsed.description)
        return parsed.error;
    return add(data, *parsed.description);
}

std::optional<std::string> InfImage::add(std::span<const uint8_t> data, const InfDescription& file)
{
    if (count_ >= kEntriesPerCatalogue)
        return "the catalogue already holds " + std::to_string(kEntriesPerCatalogue) + " files";
    // DFS finds a file by the seven characters stored, letter case aside;
    // padding with NULs reads as padding with spaces.
    auto dfsKey = [](uint8_t directory, std::string_view name) {
        std::string key = char(directory) + std::string(name.substr(0, kEntryNameLength));
        while (key.size() > 1 && (key.back() == ' ' || key.back() == '\0'))
            key.pop_back();
        return key;
    };
    for (const auto& [directory, name] : names_)
        if (equalsIgnoringAsciiCase(dfsKey(directory, name), dfsKey(file.directory, file.name)))
            return dfsName(file.directory, file.name) + " would be the same DFS name as " +
                   dfsName(directory, name) +
                   " (DFS keeps seven characters of a name and does not tell letter case apart)";
    const size_t sectors = SectorsFor(data.size());
    if (data.size() > kMaxFileLength || iNextSector_ + sectors > kDiskSectors)
        return "its " + std::to_string(sectors) + " sectors do not fit in the " +
               std::to_string(kDiskSectors - std::min(iNextSector_, kDiskSectors)) +
               " sectors left on the disk";

    const int slot = count_ + 1;
    const size_t entry = kEntrySize * size_t(slot);
    std::fill_n(image_.begin() + entry, kEntryNameLength, ' ');
    std::copy_n(file.name.begin(), std::min(file.name.size(), kEntryNameLength),
                image_.begin() + entry);
    image_[entry + 7] = static_cast<uint8_t>(file.directory | (file.locked ? kDirectoryLockBit : 0));

    const size_t record = kFileRecordOffset + kEntrySize * size_t(slot);
    const auto length = static_cast<uint32_t>(data.size());
    // A file of no bytes after a full disk still starts inside it.
    const auto start = static_cast<uint32_t>(std::min(iNextSector_, kDiskSectors - 1));
    put16(image_, record, file.load);
    put16(image_, record + 2, file.exec);
    put16(image_, record + 4, length & 0xFFFF);
    image_[record + 6] = DfsMixedByte(file.load, file.exec, length, start);
    image_[record + 7] = static_cast<uint8_t>(start & 0xFF);

    const size_t offset = iNextSector_ * kSectorSize;
    if (!data.empty()) {
        image_.resize(std::max(image_.size(), offset + sectors * kSectorSize), 0);
        std::copy(data.begin(), data.end(), image_.begin() + static_cast<ptrdiff_t>(offset));
    }
    iNextSector_ += sectors;
    names_.emplace_back(file.directory, file.name);
    ++count_;
    return std::nullopt;
}

std::vector<uint8_t> InfImage::bytes() const
{
    std::vector<uint8_t> image = image_;
    image[kFileCountOffset - 1] = 0; // cycle number
    image[kFileCountOffset] = static_cast<uint8_t>(kEntrySize * size_t(count_));
    image[kBootOptionOffset] = kBuiltBootByte;
    image[kSectorCountLowOffset] = kBuiltSectorCountLow;
    return image;
}

} // namespace tavrin
