#include "DiskCatalogue.h"

#include "CodePage1252.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace tavrin
{

using namespace dfs;

namespace
{

// True when `count` bytes from `offset` lie inside the image.
bool holds(std::span<const uint8_t> image, size_t offset, size_t count)
{
    return offset <= image.size() && count <= image.size() - offset;
}

// The character a stored byte shows as; a NUL shows as a space.
char32_t shownCharacter(uint8_t byte)
{
    return byte == 0 ? U' ' : Cp1252ToUnicode(byte);
}

// Files that are sometimes given a disk image's name by mistake, known by
// their first bytes. A signature with a control byte cannot begin a title
// typed on a BBC Micro; one made of letters can ("GIF89a DEMOS").
struct Signature {
    std::string_view bytes;
    std::string_view kind;
    bool lettersOnly;
};
constexpr Signature kOtherSignatures[] = {
    {std::string_view("PK\x03\x04", 4), "a zip archive", false},
    {std::string_view("PK\x05\x06", 4), "a zip archive", false},
    {std::string_view("\x1F\x8B", 2), "a gzip file", false},
    {std::string_view("\x7F"
                      "ELF",
                      4),
     "a program", false},
    {std::string_view("\x89PNG", 4), "a PNG picture", false},
    {std::string_view("GIF87a", 6), "a GIF picture", true},
    {std::string_view("GIF89a", 6), "a GIF picture", true},
    {std::string_view("\xFF\xD8\xFF", 3), "a JPEG picture", false},
    {std::string_view("%PDF-", 5), "a PDF document", true},
    {std::string_view("UEF File!", 9), "a UEF tape image", true},
};

const Signature* otherFileSignature(std::span<const uint8_t> image)
{
    for (const Signature& s : kOtherSignatures)
        if (image.size() >= s.bytes.size() &&
            std::equal(s.bytes.begin(), s.bytes.end(), image.begin(),
                       [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }))
            return &s;
    return nullptr;
}

// Printable ASCII and the white space of text files. A catalogue holds
// control bytes somewhere in its two sectors: NUL padding, sector count bits
// in byte 0x106, binary load and start addresses in sector 1.
bool isTextByte(uint8_t byte)
{
    return (byte >= 0x20 && byte < 0x7F) || byte == '\t' || byte == '\n' || byte == '\r';
}

std::string hexDigits(uint8_t byte)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string hexByte(uint8_t byte)
{
    return "0x" + hexDigits(byte);
}

} // namespace

size_t CatalogueEntryOffset(int n)
{
    if (n >= 1 && n <= kEntriesPerCatalogue)
        return kFirstEntryOffset + kEntrySize * static_cast<size_t>(n - 1);
    if (n > kEntriesPerCatalogue && n <= kMaxEntries)
        return kWatfordFirstEntryOffset +
               kEntrySize * static_cast<size_t>(n - kEntriesPerCatalogue - 1);
    return std::numeric_limits<size_t>::max();
}

std::string FormatCatalogueEntry(std::span<const uint8_t> image, size_t offset)
{
    if (!holds(image, offset, kEntrySize))
        return {};
    std::span<const uint8_t> entry = image.subspan(offset, kEntrySize);
    if (entry[0] == 0)
        return {};
    const uint8_t directoryByte = entry[kEntryNameLength];
    const bool locked = (directoryByte & kDirectoryLockBit) != 0;
    const uint8_t directory = directoryByte & static_cast<uint8_t>(~kDirectoryLockBit);
    if (directory == kHiddenDirectory)
        return {};

    std::string text;
    AppendUtf8(text, shownCharacter(directory));
    text += '.';
    for (size_t i = 0; i < kEntryNameLength; ++i)
        AppendUtf8(text, shownCharacter(entry[i]));
    text += ' ';
    text += locked ? 'L' : ' ';
    return text;
}

std::string FormatCatalogueEntry(std::span<const uint8_t> image, int& iCatPos)
{
    std::string text;
    if (iCatPos >= 1)
        text = FormatCatalogueEntry(image, static_cast<size_t>(iCatPos - 1));
    iCatPos += static_cast<int>(kEntrySize);
    return text;
}

std::string ReadCatalogueTitle(std::span<const uint8_t> image)
{
    std::string title;
    auto appendRun = [&](size_t offset, size_t count) {
        for (size_t i = offset; i < offset + count; ++i) {
            if (i >= image.size() || image[i] == 0)
                return false;
            AppendUtf8(title, Cp1252ToUnicode(image[i]));
        }
        return true;
    };
    if (appendRun(0, kTitleHeadLength))
        appendRun(kTitleTailOffset, kTitleLength - kTitleHeadLength);
    return title;
}

bool HasWatfordCatalogue(std::span<const uint8_t> image)
{
    if (!holds(image, kWatfordMarkerOffset, kWatfordMarkerLength))
        return false;
    auto marker = image.subspan(kWatfordMarkerOffset, kWatfordMarkerLength);
    return std::all_of(marker.begin(), marker.end(),
                       [](uint8_t b) { return b == kWatfordMarkerByte; });
}

std::optional<int> ReadBootOption(std::span<const uint8_t> image)
{
    if (!holds(image, kBootOptionOffset, 1))
        return std::nullopt;
    // Bits 0 and 1 are the sector count's; the others no DFS sets.
    const uint8_t byte = image[kBootOptionOffset];
    constexpr uint8_t kUnusedBits = static_cast<uint8_t>(~(kBootOptionMask | kSectorCountHighMask));
    if ((byte & kUnusedBits) != 0)
        return std::nullopt;
    return (byte & kBootOptionMask) >> kBootOptionShift;
}

namespace
{

// The eight bytes of an entry's record: load, exec and length (low 16 bits,
// low byte first), the mixed byte and the start sector's low byte.
constexpr size_t kRecordMixedByte = 6;
constexpr size_t kRecordStartSectorLow = 7;

uint32_t word(std::span<const uint8_t> record, size_t at)
{
    return static_cast<uint32_t>(record[at] | (record[at + 1] << 8));
}

// Two bits of the mixed byte, as bits 16 and 17.
uint32_t highBits(uint8_t mixed, int shift)
{
    return static_cast<uint32_t>((mixed >> shift) & 3) << 16;
}

int sectorsOf(uint32_t length)
{
    return static_cast<int>((length + kSectorSize - 1) / kSectorSize);
}

int startSectorOf(std::span<const uint8_t> record)
{
    return ((record[kRecordMixedByte] & 3) << 8) | record[kRecordStartSectorLow];
}

uint32_t lengthOf(std::span<const uint8_t> record)
{
    return word(record, 4) | highBits(record[kRecordMixedByte], 4);
}

// The records of the files a catalogue's file count counts: `count` records
// from `first`; empty when the image does not hold them all.
std::vector<std::span<const uint8_t>> countedRecords(std::span<const uint8_t> image, size_t first,
                                                     uint8_t countByte)
{
    std::vector<std::span<const uint8_t>> records;
    const size_t count = countByte / kEntrySize;
    if (!holds(image, first, count * kEntrySize))
        return records;
    for (size_t i = 0; i < count; ++i)
        records.push_back(image.subspan(first + i * kEntrySize, kEntrySize));
    return records;
}

} // namespace

uint32_t HostAddress(uint32_t address18)
{
    return (address18 & 0x30000) == 0x30000 ? (address18 & 0xFFFF) | 0xFF0000 : address18;
}

std::optional<CatalogueFile> ReadCatalogueFile(std::span<const uint8_t> image, int n)
{
    if (n < 1 || n > kMaxEntries || (n > kEntriesPerCatalogue && !HasWatfordCatalogue(image)))
        return std::nullopt;
    const size_t offset = CatalogueEntryOffset(n);
    if (FormatCatalogueEntry(image, offset).empty())
        return std::nullopt;

    CatalogueFile file;
    file.box = n;
    const std::span<const uint8_t> entry = image.subspan(offset, kEntrySize);
    const uint8_t directoryByte = entry[kEntryNameLength];
    file.locked = (directoryByte & kDirectoryLockBit) != 0;
    AppendUtf8(file.directory,
               shownCharacter(directoryByte & static_cast<uint8_t>(~kDirectoryLockBit)));
    size_t nameLength = kEntryNameLength;
    while (nameLength > 0 && (entry[nameLength - 1] == ' ' || entry[nameLength - 1] == 0))
        --nameLength;
    for (size_t i = 0; i < nameLength; ++i)
        AppendUtf8(file.name, shownCharacter(entry[i]));

    if (holds(image, offset + kRecordOffset, kEntrySize)) {
        const auto record = image.subspan(offset + kRecordOffset, kEntrySize);
        const uint8_t mixed = record[kRecordMixedByte];
        file.load = HostAddress(word(record, 0) | highBits(mixed, 2));
        file.exec = HostAddress(word(record, 2) | highBits(mixed, 6));
        file.length = lengthOf(record);
        file.startSector = startSectorOf(record);
    }
    return file;
}

std::optional<int> ReadSectorCount(std::span<const uint8_t> image)
{
    if (!holds(image, kSectorCountHighOffset, 2))
        return std::nullopt;
    return ((image[kSectorCountHighOffset] & kSectorCountHighMask) << 8) |
           image[kSectorCountLowOffset];
}

std::optional<int> FreeSectors(std::span<const uint8_t> image)
{
    const std::optional<int> sectors = ReadSectorCount(image);
    if (!sectors || !holds(image, kFileCountOffset, 1))
        return std::nullopt;
    const uint8_t count = image[kFileCountOffset];
    auto records = countedRecords(image, kRecordOffset + kFirstEntryOffset, count);
    if (records.size() != count / kEntrySize)
        return std::nullopt;
    int used = static_cast<int>(kCatalogueSectors);
    if (HasWatfordCatalogue(image)) {
        if (!holds(image, kWatfordFileCountOffset, 1))
            return std::nullopt;
        const uint8_t watfordCount = image[kWatfordFileCountOffset];
        auto more = countedRecords(image, kRecordOffset + kWatfordFirstEntryOffset, watfordCount);
        if (more.size() != watfordCount / kEntrySize)
            return std::nullopt;
        records.insert(records.end(), more.begin(), more.end());
        used += static_cast<int>(kCatalogueSectors);
    }
    for (const auto& record : records)
        used += sectorsOf(lengthOf(record));
    return std::max(0, *sectors - used);
}

bool CatalogueHoldsTogether(std::span<const uint8_t> image)
{
    if (image.size() < kCatalogueSize)
        return false;
    const uint8_t count = image[kFileCountOffset];
    const int sectors = ReadSectorCount(image).value_or(0);
    if (count % kEntrySize != 0 || sectors < static_cast<int>(kCatalogueSectors))
        return false;
    for (const auto& record : countedRecords(image, kRecordOffset + kFirstEntryOffset, count)) {
        const uint32_t length = lengthOf(record);
        const int start = startSectorOf(record);
        if (length > 0 &&
            (start < static_cast<int>(kCatalogueSectors) || start + sectorsOf(length) > sectors))
            return false;
    }
    return true;
}

std::string WithVisibleControlCharacters(std::string_view utf8)
{
    std::string shown;
    const QList<uint> characters =
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUcs4();
    for (uint c : characters) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            shown += "\\x" + hexDigits(static_cast<uint8_t>(c));
        } else if (c == '\\') {
            shown += "\\\\";
        } else {
            AppendUtf8(shown, static_cast<char32_t>(c));
        }
    }
    return shown;
}

DiskCatalogue ParseDiskCatalogue(std::span<const uint8_t> image)
{
    DiskCatalogue catalogue;
    catalogue.title = ReadCatalogueTitle(image);
    catalogue.watford = HasWatfordCatalogue(image);
    int iCatPos = kFirstEntryPosition;
    for (int n = 1; n <= kEntriesPerCatalogue; ++n)
        catalogue.entries[n - 1] = FormatCatalogueEntry(image, iCatPos);
    if (catalogue.watford) {
        iCatPos = kWatfordFirstEntryPosition;
        for (int n = kEntriesPerCatalogue + 1; n <= kMaxEntries; ++n)
            catalogue.entries[n - 1] = FormatCatalogueEntry(image, iCatPos);
    }
    catalogue.bootOption = ReadBootOption(image);
    return catalogue;
}

std::optional<std::string> CheckDfsImage(std::span<const uint8_t> image, uint64_t imageSize)
{
    if (imageSize < kCatalogueSize || image.size() < kCatalogueSize)
        return "it is shorter than the two sectors of a DFS catalogue (" +
               std::to_string(std::min<uint64_t>(imageSize, image.size())) + " bytes, " +
               std::to_string(kCatalogueSize) + " needed)";
    if (const Signature* other = otherFileSignature(image);
        other && !(other->lettersOnly && CatalogueHoldsTogether(image)))
        return "it is " + std::string(other->kind);
    const auto sectors = image.first(kCatalogueSize);
    if (std::all_of(sectors.begin(), sectors.end(), isTextByte))
        return "its first 512 bytes are plain text";
    const uint8_t count = image[kFileCountOffset];
    if (count % kEntrySize != 0)
        return "its file count byte at 0x105 is " + hexByte(count) + ", not a multiple of 8";
    return std::nullopt;
}

std::array<uint8_t, kTitleLength> EncodeCatalogueTitle(std::string_view title)
{
    std::array<uint8_t, kTitleLength> bytes;
    bytes.fill(' ');
    // Composed first, so that a letter typed with a combining accent is one
    // character and, where the code page holds it, one byte.
    const QString text = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()))
                             .normalized(QString::NormalizationForm_C);
    const QList<uint> characters = text.toUcs4();
    const size_t count = std::min<size_t>(kTitleLength, static_cast<size_t>(characters.size()));
    for (size_t i = 0; i < count; ++i)
        bytes[i] = UnicodeToCp1252(static_cast<char32_t>(characters[static_cast<qsizetype>(i)]));
    return bytes;
}

bool WriteCatalogueTitle(std::span<uint8_t> image, std::string_view title)
{
    const size_t tailLength = kTitleLength - kTitleHeadLength;
    if (image.size() < kTitleTailOffset + tailLength)
        return false;
    const auto bytes = EncodeCatalogueTitle(title);
    std::copy_n(bytes.begin(), kTitleHeadLength, image.begin());
    std::copy_n(bytes.begin() + kTitleHeadLength, tailLength,
                image.begin() + static_cast<std::ptrdiff_t>(kTitleTailOffset));
    return true;
}

uint8_t BootOptionByte(uint8_t current, int option)
{
    const auto bits = static_cast<uint8_t>(((option & 3) << kBootOptionShift) & kBootOptionMask);
    return static_cast<uint8_t>((current & ~kBootOptionMask) | bits);
}

bool WriteBootOption(std::span<uint8_t> image, int option)
{
    if (option < 0 || option > 3 || image.size() <= kBootOptionOffset)
        return false;
    image[kBootOptionOffset] = BootOptionByte(image[kBootOptionOffset], option);
    return true;
}

bool IsImgFilename(std::string_view name)
{
    if (name.size() < 4)
        return false;
    std::string_view ext = name.substr(name.size() - 4);
    const char* img = ".img";
    for (size_t i = 0; i < 4; ++i) {
        char c = ext[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != img[i])
            return false;
    }
    return true;
}

std::vector<uint8_t> MakeBlankImage()
{
    std::vector<uint8_t> image(kBlankImageSize, 0x00);
    image[kBootOptionOffset] = 0x03;     // boot option 0, sector count bits 8 and 9 = 3
    image[kSectorCountLowOffset] = 0x20; // 0x320 = 800 sectors
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(kCatalogueSize), image.end(),
              kFormatFillerByte);
    return image;
}

} // namespace tavrin
