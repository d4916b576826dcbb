#include "DiskCatalogue.h"

#include "CodePage1252.h"
#include "core/TextHelpers.h"

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
    {std::string_view("Rar!\x1A\x07", 6), "a RAR archive", false},
    {std::string_view("7z\xBC\xAF\x27\x1C", 6), "a 7-Zip archive", false},
    {std::string_view("SQLite format 3\0", 16), "an SQLite database", false},
    {std::string_view("\0\x01\0\0Standard Jet DB", 19), "a Jet database", false},
    {std::string_view("\0\x01\0\0Standard ACE DB", 19), "a Jet database", false},
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

bool bytesAre(std::span<const uint8_t> image, size_t offset, std::string_view text)
{
    return offset <= image.size() && text.size() <= image.size() - offset &&
           std::equal(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(offset),
                      [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

// The root directory of an ADFS disk: a master sequence byte and "Hugo" (or
// "Nick" on the E format) at its start, the same name five bytes before its
// end. It lies at 0x200 on S, M and L disks (0x500 bytes), at 0x400 on D
// disks and at 0x800 on E disks (0x800 bytes).
bool hasAdfsRootDirectory(std::span<const uint8_t> image)
{
    constexpr size_t kStarts[] = {0x200, 0x400, 0x800};
    constexpr std::pair<std::string_view, size_t> kForms[] = {
        {"Hugo", 0x500}, {"Hugo", 0x800}, {"Nick", 0x800}};
    for (size_t start : kStarts)
        for (const auto& [marker, size] : kForms)
            if (bytesAre(image, start + 1, marker) && bytesAre(image, start + size - 5, marker))
                return true;
    return false;
}

// The boot sector of a DOS disk: a jump to the boot code, then a BIOS
// parameter block whose sector size, cluster size, reserved sectors, number
// of FATs and media byte make sense.
bool hasDosBootSector(std::span<const uint8_t> image)
{
    if (image.size() < 0x16)
        return false;
    auto powerOfTwo = [](unsigned v) { return v != 0 && (v & (v - 1)) == 0; };
    const bool jump = (image[0] == 0xEB && image[2] == 0x90) || image[0] == 0xE9;
    const unsigned sectorSize = image[0x0B] | (image[0x0C] << 8);
    const unsigned reserved = image[0x0E] | (image[0x0F] << 8);
    const uint8_t fats = image[0x10];
    const uint8_t media = image[0x15];
    return jump && powerOfTwo(sectorSize) && sectorSize >= 128 && sectorSize <= 4096 &&
           powerOfTwo(image[0x0D]) && reserved >= 1 && (fats == 1 || fats == 2) &&
           (media == 0xF0 || media >= 0xF8);
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
    for (size_t i = 0; i < utf8.size();) {
        const size_t n = utf8SequenceLength(utf8, i);
        const auto byte = static_cast<uint8_t>(utf8[i]);
        // C1 controls are U+0080 to U+009F, in UTF-8 0xC2 0x80 to 0xC2 0x9F.
        const bool c1 = n == 2 && byte == 0xC2 && static_cast<uint8_t>(utf8[i + 1]) < 0xA0;
        if (n == 0 || (n == 1 && (byte < 0x20 || byte == 0x7F)))
            shown += "\\x" + hexDigits(byte);
        else if (c1)
            shown += "\\x" + hexDigits(static_cast<uint8_t>(utf8[i + 1]));
        else if (byte == '\\')
            shown += "\\\\";
        else
            shown.append(utf8, i, n);
        i += n == 0 ? 1 : n;
    }
    return shown;
}

std::string FromVisibleControlCharacters(std::string_view shown)
{
    auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string text;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '\\' && i + 1 < shown.size() && shown[i + 1] == '\\') {
            text += '\\';
            ++i;
        } else if (shown[i] == '\\' && i + 3 < shown.size() && shown[i + 1] == 'x' &&
                   hex(shown[i + 2]) >= 0 && hex(shown[i + 3]) >= 0) {
            AppendUtf8(text, Cp1252ToUnicode(
                                 static_cast<uint8_t>(hex(shown[i + 2]) * 16 + hex(shown[i + 3]))));
            i += 3;
        } else {
            text += shown[i];
        }
    }
    return text;
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

std::optional<std::string> OtherFileFormat(std::span<const uint8_t> image)
{
    if (const Signature* other = otherFileSignature(image);
        other && !(other->lettersOnly && CatalogueHoldsTogether(image)))
        return std::string(other->kind);
    if (hasAdfsRootDirectory(image))
        return "an ADFS disk image";
    if (hasDosBootSector(image))
        return "a DOS disk image";
    return std::nullopt;
}

std::optional<std::string> CheckDfsImage(std::span<const uint8_t> image, uint64_t imageSize)
{
    if (auto other = OtherFileFormat(image))
        return "it is " + *other;
    if (imageSize < kCatalogueSize || image.size() < kCatalogueSize)
        return "it is shorter than the two sectors of a DFS catalogue (" +
               std::to_string(std::min<uint64_t>(imageSize, image.size())) + " bytes, " +
               std::to_string(kCatalogueSize) + " needed)";
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

namespace
{
bool endsWithIgnoringCase(std::string_view name, std::string_view ending)
{
    return name.size() >= ending.size() &&
           equalsIgnoringAsciiCase(name.substr(name.size() - ending.size()), ending);
}
} // namespace

bool IsImgFilename(std::string_view name)
{
    return endsWithIgnoringCase(name, ".img");
}

bool IsDiskImageFilename(std::string_view name)
{
    for (std::string_view extension : {".ssd", ".dsd", ".img", ".bbc"})
        if (endsWithIgnoringCase(name, extension))
            return true;
    return false;
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
