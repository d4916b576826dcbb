#pragma once
// The catalogue of an Acorn DFS disk image, read and written as bytes.
//
// A DFS disk starts with its catalogue in sectors 0 and 1:
//   0x000  8 bytes  title characters 1 to 8
//   0x008  31 entries of 8 bytes: seven name characters, then the directory
//          character, whose bit 7 marks a locked file
//   0x100  4 bytes  title characters 9 to 12
//   0x105  1 byte   eight times the number of files
//   0x106  1 byte   boot option in bits 4 and 5, sector count bits 8 and 9 in bits 0 and 1
//   0x107  1 byte   sector count, low byte
//   0x108  31 records of 8 bytes, one for each entry: load address, execution
//          address and length (low 16 bits each, low byte first), a mixed
//          byte, and the start sector's low byte. The mixed byte holds the
//          start sector's bits 8 and 9 in bits 0 and 1, and bits 16 and 17 of
//          the load address in bits 2 and 3, of the length in bits 4 and 5,
//          of the execution address in bits 6 and 7.
// A Watford 62-file disk marks sector 2 with eight bytes 0xAA and holds 31
// more entries from 0x208 on, in the same 8-byte form, with their records in
// sector 3 from 0x308 on and their file count at 0x305.
//
// Every function here is pure and bounds-checked: bytes past the end of a
// short image read as absent, never past the span.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

namespace dfs
{
constexpr size_t kSectorSize = 256;
constexpr size_t kCatalogueSize = 2 * kSectorSize; // sectors 0 and 1
constexpr size_t kTitleLength = 12;                // 8 in sector 0, 4 in sector 1
constexpr size_t kTitleHeadLength = 8;
constexpr size_t kTitleTailOffset = 0x100;
constexpr size_t kEntrySize = 8;
constexpr size_t kEntryNameLength = 7;
constexpr int kEntriesPerCatalogue = 31;
constexpr int kMaxEntries = 62; // with the Watford second catalogue
constexpr size_t kFirstEntryOffset = 0x008;
constexpr size_t kFileCountOffset = 0x105;
constexpr size_t kBootOptionOffset = 0x106;
constexpr size_t kSectorCountLowOffset = 0x107;
constexpr size_t kWatfordMarkerOffset = 0x200;
constexpr size_t kWatfordMarkerLength = 8;
constexpr uint8_t kWatfordMarkerByte = 0xAA;
constexpr size_t kWatfordFirstEntryOffset = 0x208;
constexpr int kFirstEntryPosition = 9;           // offset 0x008 as a position counted from 1
constexpr int kWatfordFirstEntryPosition = 521; // offset 0x208
// Every byte the catalogue is read from, and enough to see the root
// directory of an ADFS disk (at 0x200, 0x400 or 0x800, up to 0x800 long).
constexpr size_t kCatalogueReadLength = 0x1000;
constexpr size_t kRecordOffset = 0x100;         // an entry's record lies one sector after its name
constexpr size_t kSectorCountHighOffset = 0x106;
constexpr uint8_t kSectorCountHighMask = 0x03;
constexpr size_t kWatfordFileCountOffset = 0x305;
constexpr size_t kCatalogueSectors = 2;
constexpr uint8_t kBootOptionMask = 0x30;
constexpr int kBootOptionShift = 4;
constexpr uint8_t kDirectoryLockBit = 0x80;
constexpr uint8_t kHiddenDirectory = 0x10; // an entry in this directory shows empty

// The blank image: 800 sectors (80 tracks of 10) of which sectors 2 to 799
// are filled with the format filler byte.
constexpr size_t kBlankImageSectors = 800;
constexpr size_t kBlankImageSize = kBlankImageSectors * kSectorSize; // 204,800
constexpr uint8_t kFormatFillerByte = 0xE5;
} // namespace dfs

// The labels beside the four boot options, option 0 to 3.
constexpr std::array<std::string_view, 4> kBootOptionLabels = {"Nothing", "Load", "Run", "Exec"};

// A catalogue as the panel shows it.
struct DiskCatalogue {
    std::string title; // UTF-8, at most 12 characters
    std::array<std::string, dfs::kMaxEntries>
        entries;                   // entries[n - 1] is box n; "" is an empty box
    std::optional<int> bootOption; // 0 to 3; none for any other byte 0x106
    bool watford = false;          // entries 32 to 62 were read
};

// Offset of entry n (1 to 62) in the image.
size_t CatalogueEntryOffset(int n);

// The display text of the 8-byte entry at `offset`: the directory character,
// ".", the seven name characters as stored, a space, then "L" for a locked
// file or a space. Empty when the first name byte is 0, when the directory
// character (bit 7 removed) is 0x10, or when any of the eight bytes lies past
// the end of the image. A NUL among the characters, which no text box can
// show, appears as a space, so every shown entry has eleven characters.
std::string FormatCatalogueEntry(std::span<const uint8_t> image, size_t offset);

// The same for the entry at the running position `iCatPos`, counted from 1
// (position p is offset p - 1), which then moves on by one entry (8 bytes).
std::string FormatCatalogueEntry(std::span<const uint8_t> image, int& iCatPos);

// The title, characters 1 to 8 and 9 to 12; it ends at the first NUL byte or
// at the end of a short image.
std::string ReadCatalogueTitle(std::span<const uint8_t> image);

// True when sector 2 starts with the eight 0xAA bytes of a 62-file catalogue.
bool HasWatfordCatalogue(std::span<const uint8_t> image);

// Boot option 0 to 3 from bits 4 and 5 of byte 0x106, whatever the sector
// count bits 0 and 1 beside them (3 on an 800-sector disk, 1 on a 400-sector
// one). None when any of the bits no DFS uses (2, 3, 6, 7) is set, or when
// the image is too short to hold the byte.
std::optional<int> ReadBootOption(std::span<const uint8_t> image);

// One file of the catalogue as DFS's *INFO tells it.
struct CatalogueFile {
    int box = 0;           // the entry's number, 1 to 62
    std::string name;      // UTF-8, the seven name characters without trailing spaces
    std::string directory; // UTF-8, one character
    bool locked = false;
    // The entry's record, none when it lies past the end of a short image.
    // Addresses whose bits 16 and 17 are both set are I/O processor
    // addresses and read as FFxxxx, as DFS shows them.
    std::optional<uint32_t> load;
    std::optional<uint32_t> exec;
    std::optional<uint32_t> length;
    std::optional<int> startSector;
};

// The file of entry n (1 to 62) when the panel shows that entry (see
// FormatCatalogueEntry); none for an empty box. Entries 32 to 62 are read
// only from a Watford 62-file disk.
std::optional<CatalogueFile> ReadCatalogueFile(std::span<const uint8_t> image, int n);

// An 18-bit address of a catalogue record as DFS shows it: FF0000 added
// when bits 16 and 17 are both set.
uint32_t HostAddress(uint32_t address18);

// The disk's sector count from bytes 0x106 (bits 0 and 1) and 0x107; none
// when the image is too short to hold them.
std::optional<int> ReadSectorCount(std::span<const uint8_t> image);

// The sectors no file uses: the sector count less the catalogue's two
// sectors (four on a Watford 62-file disk) and the sectors of every file
// the file count byte (bytes) counts, and never below 0. None when the
// image is too short to hold the catalogue and its records.
std::optional<int> FreeSectors(std::span<const uint8_t> image);

// Text for a terminal line or a text box: each control character (C0, DEL
// and C1) and each byte that is not UTF-8 as "\xNN", and the backslash as
// "\\", so that no byte of a name or title can break a line, reach the
// terminal as a command or vanish from sight. Other characters are kept.
std::string WithVisibleControlCharacters(std::string_view utf8);

// The reverse for a title typed in that form: "\\" is a backslash and
// "\xNN" the character of byte NN in the disk's code page; any other
// backslash stays as it is.
std::string FromVisibleControlCharacters(std::string_view shown);

// The whole catalogue: title, 31 or 62 entries, boot option.
DiskCatalogue ParseDiskCatalogue(std::span<const uint8_t> image);

// True when sector 1 describes its files as DFS writes them: a file count
// that is a multiple of 8, a disk of at least the two catalogue sectors, and
// the sectors of every counted file of some length lying inside the disk,
// after the catalogue. False when the image does not hold both sectors.
bool CatalogueHoldsTogether(std::span<const uint8_t> image);

// What the bytes plainly are when they are another kind of file than a DFS
// disk ("an SQLite database", "an ADFS disk image"), or none. Known are the
// signatures of files sometimes given a disk image's name (databases,
// archives, pictures, programs, tape images), the root directory of an
// ADFS disk (its "Hugo" or "Nick" markers at both ends, as it lies on an
// S, M, L, D or E format disk) and the boot sector of a DOS disk (a jump
// and a sound BIOS parameter block). A signature made of letters only
// ("GIF89a", "%PDF-", "UEF File!") can also be the start of a disk's title,
// so it counts only when the catalogue does not hold together
// (CatalogueHoldsTogether).
std::optional<std::string> OtherFileFormat(std::span<const uint8_t> image);

// Why the bytes cannot be the start of a DFS image, or none when they can.
// An image must hold both catalogue sectors (512 bytes); it must not be
// another kind of file (OtherFileFormat) nor hold nothing but text in its
// two sectors; and
// its file count byte 0x105 must be a multiple of 8. Every multiple of 8 that
// fits the byte (0 to 0xF8) stays within the 31 entries of a catalogue, so
// that one test also keeps the count within its maximum. `imageSize` is the
// size of the whole file, which may be longer than the bytes passed.
std::optional<std::string> CheckDfsImage(std::span<const uint8_t> image, uint64_t imageSize);

// The twelve title bytes for a title typed as UTF-8 text: composed to single
// characters where possible, cut to 12 characters or padded with spaces to
// 12, each character as its Windows-1252 byte or "?" when the code page has
// none (invalid UTF-8 also gives "?").
std::array<uint8_t, dfs::kTitleLength> EncodeCatalogueTitle(std::string_view title);

// Writes the title: characters 1 to 8 at 0x000, 9 to 12 at 0x100. False, with
// nothing written, when the image is too short to hold all twelve.
bool WriteCatalogueTitle(std::span<uint8_t> image, std::string_view title);

// Byte 0x106 with its boot option bits (4 and 5) set to `option` and every
// other bit kept; `option` is taken modulo 4.
uint8_t BootOptionByte(uint8_t current, int option);

// Sets the boot option in byte 0x106, keeping its other bits. False, with
// nothing written, for an option outside 0 to 3 or an image too short.
bool WriteBootOption(std::span<uint8_t> image, int option);

// True when a file name ends in ".img" in any letter case.
bool IsImgFilename(std::string_view name);

// True when a file name ends in ".ssd", ".dsd", ".img" or ".bbc" in any
// letter case: the only files whose catalogue is written.
bool IsDiskImageFilename(std::string_view name);

// The blank 80-track single-sided image, 204,800 bytes: empty title and
// catalogue, byte 0x106 = 0x03, byte 0x107 = 0x20 (800 sectors), the rest
// of sector 1 zero and sectors 2 to 799 filled with 0xE5.
std::vector<uint8_t> MakeBlankImage();

} // namespace tavrin
