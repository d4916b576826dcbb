#include "InfFile.h"

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

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
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
    std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
    size_t i = 0;
    while (i < all.size() && isBlank(all[i]))
        ++i;
    if (i < all.size() && all[i] == '"') {
        const size_t start = i + 1;
        size_t end = start;
        while (end < all.size() && all[end] != '"' && !isLineEnd(all[end]))
            ++end;
        return std::string(trimBlanks(all.substr(start, end - start)));
    }
    size_t end = i;
    while (end < all.size() && all[end] != ',' && !isLineEnd(all[end]))
        ++end;
    return std::string(trimBlanks(all.substr(i, end - i)));
}

std::optional<uint16_t> ParseInfAddress(std::string_view field)
{
    if (field.empty())
        return std::nullopt;
    uint32_t value = 0;
    for (char c : field) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = ((value << 4) | uint32_t(digit)) & 0xFFFF;
    }
    return static_cast<uint16_t>(value);
}

InfParse ParseInfDescription(std::string_view firstField)
{
    InfParse result;
    std::string_view rest = firstField;
    const std::string_view word = nextWord(rest);
    if (word.empty()) {
        result.error = "the description names no file";
        return result;
    }
    InfDescription d;
    std::string_view name = word;
    if (word.size() >= 2 && word[1] == '.') {
        d.directory = static_cast<uint8_t>(word[0]);
        name = word.substr(2);
    }
    if (!isDirectoryByte(d.directory)) {
        result.error = "the directory of " + quoted(word) + " is not a printable character";
        return result;
    }
    if (name.empty()) {
        result.error = "the description " + quoted(word) + " gives no file name";
        return result;
    }
    if (!std::all_of(name.begin(), name.end(), [](char c) { return isNameByte(uint8_t(c)); })) {
        result.error = "the name " + quoted(word) + " holds a control character";
        return result;
    }
    d.name = std::string(name);

    const std::string_view load = nextWord(rest);
    const std::string_view exec = nextWord(rest);
    const char* const which[] = {"load", "execution"};
    const std::string_view fields[] = {load, exec};
    uint16_t* const targets[] = {&d.load, &d.exec};
    for (int k = 0; k < 2; ++k) {
        if (fields[k].empty()) {
            result.error = std::string("the description has no ") + which[k] + " address";
            return result;
        }
        const std::optional<uint16_t> value = ParseInfAddress(fields[k]);
        if (!value) {
            result.error = std::string("the ") + which[k] + " address " + quoted(fields[k]) +
                           " is not hexadecimal";
            return result;
        }
        *targets[k] = *value;
    }
    for (std::string_view flag = nextWord(rest); !flag.empty(); flag = nextWord(rest))
        if (equalsIgnoringCase(flag, "locked") || equalsIgnoringCase(flag, "L"))
            d.locked = true;
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

std::string FormatInfLine(const DfsFile& file)
{
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, " %06X %06X %06X", unsigned(infAddress(file.load)),
                  unsigned(infAddress(file.exec)), unsigned(file.length));
    std::string line;
    line += static_cast<char>(file.directory);
    line += '.';
    line += file.name;
    line += numbers;
    if (file.locked)
        line += " Locked";
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
    const auto start = static_cast<uint32_t>(iNextSector_);
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
