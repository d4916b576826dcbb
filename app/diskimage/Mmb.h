#pragma once
// MMB files, read and written as bytes: the one file in which the SD-card and
// MMC filing systems of the BBC Micro keep up to 511 DFS discs.
//
// A zone is 8,192 bytes of index followed by 511 discs of 204,800 bytes:
//   0x0000  16 bytes  header:
//             0-3  the slot numbers (low bytes) loaded into drives 0 to 3 at start
//             4-7  their high bytes
//             8    0xA0 + (zones - 1) in a file of several zones; never 0xA0 to
//                  0xAF in a file of one
//             9    in a file of several zones, the zone the drives' numbers count in
//   0x0010  511 index entries of 16 bytes:
//             0-11 the disc's title, padded with NULs (or blanks)
//             15   its status: 0x00 locked, 0x0F unlocked, 0xF0 unformatted
//                  (an empty slot), 0xFF invalid; readers stop at the first
//                  0xFF, which ends a file that holds fewer than 511 discs
//   0x2000  disc n of the zone at 0x2000 + n * 204,800: an 80-track
//           single-sided DFS image, a shorter one padded with zeros.
// A file of N zones is N such blocks one after the other; slot numbers run on
// across them, slot = zone * 511 + n. Every zone's header here holds the same
// bytes, so whichever one a reader takes, it starts the same discs.
//
// Every function here is pure and bounds-checked: bytes that lie past the
// end of a span read as absent, never past the span.

#include "DiskCatalogue.h"

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

namespace mmb
{
constexpr size_t kHeaderSize = 16;
constexpr size_t kEntrySize = 16;
constexpr int kSlotsPerZone = 511;
constexpr size_t kIndexSize = kHeaderSize + kSlotsPerZone * kEntrySize; // 8,192
constexpr size_t kDiscSize = dfs::kBlankImageSize;                      // 204,800
constexpr uint64_t kZoneSize = kIndexSize + uint64_t(kSlotsPerZone) * kDiscSize;
constexpr int kMaxZones = 16;
constexpr int kMaxSlots = kMaxZones * kSlotsPerZone;
constexpr int kDrives = 4;
constexpr int kMaxDiscSectors = int(dfs::kBlankImageSectors); // 80 tracks of 10

// Header bytes.
constexpr size_t kDriveLowOffset = 0;
constexpr size_t kDriveHighOffset = 4;
constexpr size_t kZonesOffset = 8;
constexpr uint8_t kZonesMark = 0xA0; // 0xA0 + (zones - 1)
constexpr uint8_t kZonesMarkMask = 0xF0;
constexpr uint8_t kZonesCountMask = 0x0F;
constexpr size_t kStartZoneOffset = 9;

// Index entry bytes.
constexpr size_t kTitleLength = 12;
constexpr size_t kStatusOffset = 15;
constexpr uint8_t kLocked = 0x00;
constexpr uint8_t kUnlocked = 0x0F;
constexpr uint8_t kUnformatted = 0xF0;
constexpr uint8_t kInvalid = 0xFF;

// A double-sided image (".dsd") holds its two sides track by track.
constexpr size_t kTrackSize = 10 * dfs::kSectorSize;
constexpr size_t kDoubleSidedSize = 2 * kDiscSize;
} // namespace mmb

using MmbTitle = std::array<uint8_t, mmb::kTitleLength>;

// One slot as a reader sees it.
struct MmbSlot {
    int slot = 0;
    std::string title; // UTF-8, up to the first NUL, trailing blanks removed
    uint8_t status = mmb::kUnformatted;
    bool holdsDisc() const { return status == mmb::kLocked || status == mmb::kUnlocked; }
    bool isEmpty() const { return status == mmb::kUnformatted; }
};

// The index of an MMB file: the index blocks of every zone, and how many
// slots of each zone a reader sees.
struct MmbIndex {
    int zones = 0;
    std::vector<int> slotsInZone; // slots before the first 0xFF entry, inside the file
    std::vector<uint8_t> bytes;   // 8,192 bytes for each zone
    uint64_t fileSize = 0;        // the size of the file these blocks describe

    // True when a reader sees `slot` (a number counted across zones).
    bool hasSlot(int slot) const;
    // The slot as a reader sees it; an unformatted slot for one it does not.
    MmbSlot slot(int slot) const;
    // Every slot a reader sees, in order.
    std::vector<MmbSlot> seenSlots() const;
    // The slot loaded into each drive at start, counted across zones.
    std::array<int, mmb::kDrives> bootSlots() const;
    // The first unformatted slot a reader sees, from `from` on; -1 when
    // there is none.
    int firstEmptySlot(int from = 0) const;
    // Unformatted slots a reader sees.
    int emptySlots() const;
};

// The words used for a status byte: "locked", "unlocked", "unformatted",
// "invalid", or "unknown 0xNN".
std::string MmbStatusName(uint8_t status);

// Where slot `slot` (counted across zones) lies: its entry in the index
// blocks, and its disc in the file.
int MmbZoneOf(int slot);
size_t MmbEntryOffset(int slot);
uint64_t MmbDiscOffset(int slot);
// The size of a file of one zone holding `discs` discs, or of `zones` whole zones.
uint64_t MmbFileSize(int zones, int discs = mmb::kSlotsPerZone);

// The number of zones the header declares: 1 + the low four bits of byte 8
// when it is 0xA0 to 0xAF, otherwise 1. None when the span holds no header.
std::optional<int> MmbZonesInHeader(std::span<const uint8_t> header);

// Reads the index blocks of a file of `fileSize` bytes (the first 8,192
// bytes of every zone the header declares, one after another). Gives the
// index, or the reason why the file is no MMB file: too short for an index;
// a header that declares more zones than the file holds or a start zone it
// lacks; a size that is not 8,192 bytes and whole discs (one zone) or whole
// zones; index blocks missing from `indexes`; a disc listed past the end of
// the file.
struct MmbIndexRead {
    MmbIndex index;
    std::optional<std::string> notMmb;
};
MmbIndexRead ReadMmbIndex(std::span<const uint8_t> indexes, uint64_t fileSize);

// The index of a new file of one zone with `discs` slots (1 to 511), all
// unformatted; the entry after the last slot, when there is one, is 0xFF.
// Drive d starts slot d (slot 0 when the file has fewer slots).
MmbIndex NewMmbIndex(int discs = mmb::kSlotsPerZone);

// Adds a zone of 511 unformatted slots (false, with nothing changed, at 16
// zones). A short file of one zone is first filled up to 511 slots; entries
// a reader did not see become unformatted. Every header then marks the new
// number of zones.
bool ExtendMmbIndex(MmbIndex& index);

// Writes an entry: title, and status. False, with nothing written, for a
// slot the index does not see.
bool SetMmbEntry(MmbIndex& index, int slot, const MmbTitle& title, uint8_t status);
bool SetMmbTitle(MmbIndex& index, int slot, const MmbTitle& title);
bool SetMmbStatus(MmbIndex& index, int slot, uint8_t status);

// Makes `slot` the disc of `drive` (0 to 3) at start, in every zone's header;
// in a file of several zones the start zone becomes the slot's zone, so the
// other drives' numbers then count in that zone. False, with nothing
// written, for a drive outside 0 to 3 or a slot the index does not see.
bool SetMmbBootSlot(MmbIndex& index, int drive, int slot);

// The disc's title for its entry: the twelve title bytes of its DFS
// catalogue up to the first NUL, padded with NULs.
MmbTitle MmbTitleOfDisc(std::span<const uint8_t> disc);
// A title typed as UTF-8: as EncodeCatalogueTitle makes it, with NULs in
// place of the blanks that pad it.
MmbTitle EncodeMmbTitle(std::string_view title);
// The title as text: Windows-1252 up to the first NUL, trailing blanks removed.
std::string MmbTitleText(std::span<const uint8_t> title);
bool IsBlankMmbTitle(const MmbTitle& title);

// Why the bytes of an image (a file of `imageSize` bytes) cannot be a disc
// of an MMB file, or none when they can: it must be a DFS image
// (CheckDfsImage) no larger than 204,800 bytes whose catalogue declares at
// most 800 sectors and holds together (CatalogueHoldsTogether).
std::optional<std::string> CheckMmbDisc(std::span<const uint8_t> image, uint64_t imageSize);

// The two sides of a double-sided image, each as long as its tracks go;
// none when the image is larger than two 80-track sides.
std::optional<std::array<std::vector<uint8_t>, 2>> SplitDoubleSided(std::span<const uint8_t> image);

// True when a file name ends in ".dsd" in any letter case.
bool IsDsdFilename(std::string_view name);

} // namespace tavrin
