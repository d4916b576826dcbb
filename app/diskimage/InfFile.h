#pragma once
// Loose BBC files with ".inf" descriptions, and the single-sided DFS image
// (".ssd") built from them, as bytes.
//
// A ".inf" file describes the data file of the same name: its first line
// reads, for example,
//   $.ELITE FF1900 FF8023 002800 Locked
// the DFS name (directory, ".", name), the load and execution addresses in
// hexadecimal, then anything else (length, flags, checksums). A name that
// holds blanks, commas, quotes or control characters is written in double
// quotes, with "%" and a byte's two hexadecimal digits for a quote, a "%" or
// a control character:
//   "$.MY GAME" 001900 001900 000100
//
// The image holds a DFS catalogue in sectors 0 and 1 and the files one after
// another from sector 2. Each file has an 8-byte entry in sector 0 (seven
// name characters, the directory character with bit 7 as the lock) and an
// 8-byte record in sector 1:
//   +0 load address, low 16 bits    +2 execution address, low 16 bits
//   +4 length, low 16 bits          +6 the mixed byte   +7 start sector, low byte
// The mixed byte holds the high bits: bits 6-7 execution address bits
// 16-17, bits 4-5 length bits 16-17, bits 2-3 load address bits 16-17 and
// bits 0-1 start sector bits 8-9.
//
// Every function here is pure and bounds-checked.

#include "DiskCatalogue.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin
{

namespace dfs
{
constexpr int kFirstDataSector = 2;
constexpr size_t kDiskSectors = 800; // 80 tracks of 10 sectors, the size the header declares
constexpr size_t kFileRecordOffset = 0x100; // sector-1 record of slot s at 0x100 + 8 * s
constexpr uint8_t kBuiltBootByte = 0x03;    // boot option 0, sector count bits 8-9 = 3
constexpr uint8_t kBuiltSectorCountLow = 0x20; // with 0x106: 0x320 = 800 sectors
constexpr size_t kMaxFileLength = (kDiskSectors - kFirstDataSector) * kSectorSize;
} // namespace dfs

// The first field of a ".inf" text: its first line (after a UTF-8 byte
// order mark, which is skipped) up to any comma, leading blanks skipped; a
// field that opens with a double quote runs to the closing quote (or to the
// end of the line when there is none), unless a blank and a hexadecimal
// address follow that quote: then the quotes hold only the name, and the
// field is the line up to any comma after them, quotes included. Trailing
// blanks are dropped. Lines may end in CR, LF or both.
std::string ReadInfFirstField(std::span<const uint8_t> text);

// What a ".inf" first field says about its file.
struct InfDescription {
    uint8_t directory = '$';
    std::string name;    // the name's bytes, before cutting to seven characters
    uint32_t load = 0;   // 18 bits, as a catalogue record holds them (ParseInfAddress)
    uint32_t exec = 0;   // 18 bits
    bool locked = false; // "Locked" or "L" (any case), or an access byte with bit 3 set
    // "ORDER=n": the file's place in the catalogue it was taken from, which
    // orders the files of a build.
    std::optional<int> order;
};

struct InfParse {
    std::optional<InfDescription> description;
    std::string error; // why the field describes no file, when it does not
};

// Reads the fields, separated by blanks (spaces or tabs): the name, with or
// without a directory prefix ("$.ELITE", "ELITE" is in "$"), in double
// quotes when it holds blanks ("%XX" in the quotes is the byte XX); then the
// load and execution addresses, which must be hexadecimal; then, in any
// order, the length, an access byte (bit 3: locked), "L" or "Locked", and
// fields KEY=VALUE such as CRC=1A2B or ORDER=3.
InfParse ParseInfDescription(std::string_view firstField);

// An address field: hexadecimal digits of any number, of which the last
// eight give the value. Stored as DFS stores it, in 18 bits: a value whose
// bits 16 to 23 are all set (FF1900, FFFF1900: the I/O processor's) has
// bits 16 and 17 set; any other keeps its bits 0 to 17 (031900 is 0x31900,
// E00 is 0x0E00). None when the field is empty or holds anything else.
std::optional<uint32_t> ParseInfAddress(std::string_view field);

// Sectors used by a file of `length` bytes: whole sectors, rounded up.
size_t SectorsFor(uint64_t length);

// The mixed byte of a sector-1 record.
uint8_t DfsMixedByte(uint32_t load, uint32_t exec, uint32_t length, uint32_t startSector);

// One file as the catalogue of an image records it.
struct DfsFile {
    uint8_t directory = '$'; // bit 7 removed
    std::string name;        // the stored characters, trailing spaces and NULs removed
    bool locked = false;
    uint32_t load = 0;   // 18 bits: the high two from the mixed byte
    uint32_t exec = 0;   // 18 bits
    uint32_t length = 0; // 18 bits
    uint32_t startSector = 0; // 10 bits
};

// The files of the standard catalogue (at most 31, as the file count byte
// 0x105 says). Entries past the end of a short image are left out.
std::vector<DfsFile> ReadDfsFiles(std::span<const uint8_t> image);

// A name ("$.ELITE") as an ".inf" line writes it: in quotes, with "%XX" for
// the byte XX of a control character, quote or "%", when it holds a blank,
// a control character, a quote or a comma; as it stands otherwise.
std::string InfName(std::string_view name);

// A file's ".inf" line in the common form, addresses and length as six
// hexadecimal digits (an address whose high bits are both set shows as
// FFxxxx, as the I/O processor's addresses are written), the name in quotes
// when it needs them, and ORDER=n when `order` is given:
//   $.ELITE FF1900 FF8023 002800 Locked
std::string FormatInfLine(const DfsFile& file, std::optional<int> order = std::nullopt);

// A single-sided 800-sector image being built: title, catalogue, and the
// data of each file added, from sector 2.
class InfImage
{
public:
    // The title is the first eight characters of `title` (UTF-8, stored in
    // the disk's code page), padded with spaces; characters 9 to 12 are spaces.
    explicit InfImage(std::string_view title);

    // Adds one file: its data and its ".inf" text. On success the file has
    // the next slot and starts at `nextSector()` (a file of no bytes on a
    // full disk at the last sector). Otherwise the image is unchanged and
    // the result says why: the description is unreadable, the catalogue is
    // full, the data would not fit in the 800 sectors, or DFS could not
    // tell the name from one already added (letter case aside, and cut to
    // seven characters).
    std::optional<std::string> add(std::span<const uint8_t> data,
                                   std::span<const uint8_t> infText);

    // Adds a file already described.
    std::optional<std::string> add(std::span<const uint8_t> data, const InfDescription& file);

    int count() const { return count_; }
    size_t nextSector() const { return iNextSector_; }

    // The finished image: the catalogue with its sector-1 header (file count,
    // boot option 0, 800 sectors), and every file's sectors, in whole sectors.
    std::vector<uint8_t> bytes() const;

private:
    std::vector<uint8_t> image_;
    std::vector<std::pair<uint8_t, std::string>> names_; // directory and full name of each slot
    int count_ = 0;
    size_t iNextSector_ = dfs::kFirstDataSector;
};

} // namespace tavrin
