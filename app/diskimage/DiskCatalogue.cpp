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

std::string hexByte(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
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
    // The byte is compared whole: an option is shown only for the 800-sector
    // disks whose low bits are 3.
    switch (image[kBootOptionOffset]) {
    case 0x03:
        return 0;
    case 0x13:
        return 1;
    case 0x23:
        return 2;
    case 0x33:
        return 3;
    default:
        return std::nullopt;
    }
}

DiskCatalogue ParseDiskCatalogue(std::span<const uint8_t> image)
{
    DiskCatalogue catalogue;
    catalogue.title = ReadCatalogueTitle(image);
    catalogue.watford = HasWatfordCatalogue(image);
    const int last = catalogue.watford ? kMaxEntries : kEntriesPerCatalogue;
    for (int n = 1; n <= last; ++n)
        catalogue.entries[n - 1] = FormatCatalogueEntry(image, CatalogueEntryOffset(n));
    catalogue.bootOption = ReadBootOption(image);
    return catalogue;
}

std::optional<std::string> CheckDfsImage(std::span<const uint8_t> image, uint64_t imageSize)
{
    if (imageSize < kCatalogueSize || image.size() < kCatalogueSize)
        return "it is shorter than the two sectors of a DFS catalogue (" +
               std::to_string(std::min<uint64_t>(imageSize, image.size())) + " bytes, " +
               std::to_string(kCatalogueSize) + " needed)";
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
