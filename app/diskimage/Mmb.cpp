#include "Mmb.h"

#include "CodePage1252.h"
#include "core/TextHelpers.h"

#include <algorithm>
#include <cstdio>

namespace tavrin
{

using namespace mmb;

namespace
{

// "204,800": a number as the messages write it.
std::string withCommas(uint64_t n)
{
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0)
            out += ',';
        out += digits[at];
    }
    return out;
}

std::string hexByte(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// Every reason of this file.
namespace reason
{
std::string tooShort(uint64_t size)
{
    return "it is shorter than an MMB index (" + withCommas(size) + " bytes, " +
           withCommas(kIndexSize) + " needed)";
}
std::string zonesDoNotFit(int zones, uint8_t mark, uint64_t size)
{
    return "its header (byte 8 = " + hexByte(mark) + ") declares " + std::to_string(zones) +
           " zones of " + withCommas(kZoneSize) + " bytes, but it holds " + withCommas(size) +
           " bytes";
}
std::string startZoneMissing(int zone, int zones)
{
    return "its start zone (byte 9) is " + std::to_string(zone) + ", but it has only " +
           std::to_string(zones) + " zones";
}
std::string unmarkedZones(uint64_t size, uint8_t mark)
{
    if (size % kZoneSize == 0)
        return "it holds " + std::to_string(size / kZoneSize) +
               " zones, but its header's byte 8 is " + hexByte(mark) + ", not 0xA0 + zones - 1";
    return "it is larger than one zone (" + withCommas(kZoneSize) + " bytes) and not a whole " +
           "number of zones (" + withCommas(size) + " bytes)";
}
std::string notWholeDiscs(uint64_t size)
{
    return "its size (" + withCommas(size) + " bytes) is not an index of " +
           withCommas(kIndexSize) + " bytes and whole discs of " + withCommas(kDiscSize) + " bytes";
}
std::string indexCut()
{
    return "its index could not be read whole";
}
std::string discPastEnd(int slot, int discs)
{
    return "its index lists a disc in slot " + std::to_string(slot) +
           ", past the end of the file, which holds " + std::to_string(discs) + " discs";
}
std::string discTooLarge(uint64_t size)
{
    return "it is larger than a single-sided 80-track disc (" + withCommas(size) + " bytes, " +
           withCommas(kDiscSize) + " at most)";
}
std::string tooManySectors(int sectors)
{
    return "its catalogue declares " + std::to_string(sectors) + " sectors, more than the " +
           std::to_string(kMaxDiscSectors) + " of a single-sided 80-track disc";
}
std::string doesNotHoldTogether(int sectors)
{
    return "its catalogue does not hold together: a file lies outside the disc's " +
           std::to_string(sectors) + " sectors, or the catalogue itself does";
}
} // namespace reason

uint8_t statusByte(std::span<const uint8_t> bytes, int slot)
{
    return bytes[MmbEntryOffset(slot) + kStatusOffset];
}

// The slots of one zone a reader sees: those before the first 0xFF entry.
int slotsBeforeEnd(std::span<const uint8_t> bytes, int zone)
{
    for (int n = 0; n < kSlotsPerZone; ++n)
        if (statusByte(bytes, zone * kSlotsPerZone + n) == kInvalid)
            return n;
    return kSlotsPerZone;
}

void writeBootNumber(std::span<uint8_t> header, int drive, int number)
{
    header[kDriveLowOffset + size_t(drive)] = static_cast<uint8_t>(number & 0xFF);
    header[kDriveHighOffset + size_t(drive)] = static_cast<uint8_t>(number >> 8);
}

std::span<uint8_t> headerOf(MmbIndex& index, int zone)
{
    return std::span<uint8_t>(index.bytes).subspan(size_t(zone) * kIndexSize, kHeaderSize);
}

} // namespace

std::string MmbStatusName(uint8_t status)
{
    switch (status) {
    case kLocked:
        return "locked";
    case kUnlocked:
        return "unlocked";
    case kUnformatted:
        return "unformatted";
    case kInvalid:
        return "invalid";
    default:
        return "unknown " + hexByte(status);
    }
}

int MmbZoneOf(int slot)
{
    return slot / kSlotsPerZone;
}

size_t MmbEntryOffset(int slot)
{
    return size_t(MmbZoneOf(slot)) * kIndexSize + kHeaderSize +
           size_t(slot % kSlotsPerZone) * kEntrySize;
}

uint64_t MmbDiscOffset(int slot)
{
    return uint64_t(MmbZoneOf(slot)) * kZoneSize + kIndexSize +
           uint64_t(slot % kSlotsPerZone) * kDiscSize;
}

uint64_t MmbFileSize(int zones, int discs)
{
    if (zones > 1)
        return uint64_t(zones) * kZoneSize;
    return kIndexSize + uint64_t(discs) * kDiscSize;
}

std::optional<int> MmbZonesInHeader(std::span<const uint8_t> header)
{
    if (header.size() < kHeaderSize)
        return std::nullopt;
    const uint8_t mark = header[kZonesOffset];
    if ((mark & kZonesMarkMask) != kZonesMark)
        return 1;
    return 1 + (mark & kZonesCountMask);
}

bool MmbIndex::hasSlot(int slot) const
{
    if (slot < 0 || MmbZoneOf(slot) >= zones || size_t(MmbZoneOf(slot)) >= slotsInZone.size())
        return false;
    return slot % kSlotsPerZone < slotsInZone[size_t(MmbZoneOf(slot))] &&
           MmbEntryOffset(slot) + kEntrySize <= bytes.size();
}

MmbSlot MmbIndex::slot(int slot) const
{
    MmbSlot s;
    s.slot = slot;
    if (!hasSlot(slot))
        return s;
    const auto entry = std::span<const uint8_t>(bytes).subspan(MmbEntryOffset(slot), kEntrySize);
    s.title = MmbTitleText(entry.first(kTitleLength));
    s.status = entry[kStatusOffset];
    return s;
}

std::vector<MmbSlot> MmbIndex::seenSlots() const
{
    std::vector<MmbSlot> all;
    for (int zone = 0; zone < zones && size_t(zone) < slotsInZone.size(); ++zone)
        for (int n = 0; n < slotsInZone[size_t(zone)]; ++n)
            all.push_back(slot(zone * kSlotsPerZone + n));
    return all;
}

std::array<int, kDrives> MmbIndex::bootSlots() const
{
    std::array<int, kDrives> drives{};
    if (bytes.size() < kHeaderSize)
        return drives;
    const int zone = zones > 1 ? bytes[kStartZoneOffset] : 0;
    for (int d = 0; d < kDrives; ++d)
        drives[size_t(d)] = zone * kSlotsPerZone + (bytes[kDriveLowOffset + size_t(d)] |
                                                    (bytes[kDriveHighOffset + size_t(d)] << 8));
    return drives;
}

int MmbIndex::firstEmptySlot(int from) const
{
    for (int s = std::max(from, 0); s < zones * kSlotsPerZone; ++s)
        if (hasSlot(s) && slot(s).isEmpty())
            return s;
    return -1;
}

int MmbIndex::emptySlots() const
{
    int count = 0;
    for (const MmbSlot& s : seenSlots())
        count += s.isEmpty() ? 1 : 0;
    return count;
}

MmbIndexRead ReadMmbIndex(std::span<const uint8_t> indexes, uint64_t fileSize)
{
    MmbIndexRead read;
    if (fileSize < kIndexSize) {
        read.notMmb = reason::tooShort(fileSize);
        return read;
    }
    const std::optional<int> declared = MmbZonesInHeader(indexes);
    if (!declared) {
        read.notMmb = reason::indexCut();
        return read;
    }
    const int zones = *declared;
    const uint8_t mark = indexes[kZonesOffset];
    int discsInFile = kSlotsPerZone;
    if (zones > 1) {
        if (fileSize != MmbFileSize(zones)) {
            read.notMmb = reason::zonesDoNotFit(zones, mark, fileSize);
            return read;
        }
        if (indexes[kStartZoneOffset] >= zones) {
            read.notMmb = reason::startZoneMissing(indexes[kStartZoneOffset], zones);
            return read;
        }
    } else {
        if (fileSize > kZoneSize) {
            read.notMmb = reason::unmarkedZones(fileSize, mark);
            return read;
        }
        if ((fileSize - kIndexSize) % kDiscSize != 0) {
            read.notMmb = reason::notWholeDiscs(fileSize);
            return read;
        }
        discsInFile = static_cast<int>((fileSize - kIndexSize) / kDiscSize);
    }
    if (indexes.size() < size_t(zones) * kIndexSize) {
        read.notMmb = reason::indexCut();
        return read;
    }

    MmbIndex& index = read.index;
    index.zones = zones;
    index.fileSize = fileSize;
    index.bytes.assign(indexes.begin(), indexes.begin() + ptrdiff_t(size_t(zones) * kIndexSize));
    for (int zone = 0; zone < zones; ++zone) {
        const int listed = slotsBeforeEnd(index.bytes, zone);
        for (int n = discsInFile; n < listed; ++n) {
            const uint8_t status = statusByte(index.bytes, zone * kSlotsPerZone + n);
            if (status == kLocked || status == kUnlocked) {
                read.notMmb = reason::discPastEnd(zone * kSlotsPerZone + n, discsInFile);
                return read;
            }
        }
        index.slotsInZone.push_back(std::min(listed, discsInFile));
    }
    return read;
}

MmbIndex NewMmbIndex(int discs)
{
    discs = std::clamp(discs, 1, kSlotsPerZone);
    MmbIndex index;
    index.zones = 1;
    index.slotsInZone = {discs};
    index.fileSize = MmbFileSize(1, discs);
    index.bytes.assign(kIndexSize, 0);
    for (int n = 0; n < kSlotsPerZone; ++n)
        index.bytes[MmbEntryOffset(n) + kStatusOffset] = n < discs ? kUnformatted : kInvalid;
    for (int d = 0; d < kDrives; ++d)
        writeBootNumber(headerOf(index, 0), d, d < discs ? d : 0);
    return index;
}

bool ExtendMmbIndex(MmbIndex& index)
{
    if (index.zones < 1 || index.zones >= kMaxZones ||
        index.bytes.size() != size_t(index.zones) * kIndexSize ||
        index.slotsInZone.size() != size_t(index.zones))
        return false;
    if (index.zones == 1) {
        // A short file becomes a whole zone first.
        for (int n = index.slotsInZone[0]; n < kSlotsPerZone; ++n) {
            std::fill_n(index.bytes.begin() + ptrdiff_t(MmbEntryOffset(n)), kEntrySize, 0);
            index.bytes[MmbEntryOffset(n) + kStatusOffset] = kUnformatted;
        }
        index.slotsInZone[0] = kSlotsPerZone;
        index.bytes[kStartZoneOffset] = 0;
    }
    const std::vector<uint8_t> header(index.bytes.begin(), index.bytes.begin() + kHeaderSize);
    index.bytes.insert(index.bytes.end(), header.begin(), header.end());
    for (int n = 0; n < kSlotsPerZone; ++n) {
        index.bytes.insert(index.bytes.end(), kEntrySize - 1, 0);
        index.bytes.push_back(kUnformatted);
    }
    ++index.zones;
    index.slotsInZone.push_back(kSlotsPerZone);
    index.fileSize = MmbFileSize(index.zones);
    for (int zone = 0; zone < index.zones; ++zone)
        headerOf(index, zone)[kZonesOffset] = static_cast<uint8_t>(kZonesMark + index.zones - 1);
    return true;
}

bool SetMmbEntry(MmbIndex& index, int slot, const MmbTitle& title, uint8_t status)
{
    if (!index.hasSlot(slot))
        return false;
    const auto at = index.bytes.begin() + ptrdiff_t(MmbEntryOffset(slot));
    std::copy(title.begin(), title.end(), at);
    std::fill(at + kTitleLength, at + kStatusOffset, 0);
    at[kStatusOffset] = status;
    return true;
}

bool SetMmbTitle(MmbIndex& index, int slot, const MmbTitle& title)
{
    return SetMmbEntry(index, slot, title, index.slot(slot).status);
}

bool SetMmbStatus(MmbIndex& index, int slot, uint8_t status)
{
    if (!index.hasSlot(slot))
        return false;
    index.bytes[MmbEntryOffset(slot) + kStatusOffset] = status;
    return true;
}

bool SetMmbBootSlot(MmbIndex& index, int drive, int slot)
{
    if (drive < 0 || drive >= kDrives || !index.hasSlot(slot))
        return false;
    for (int zone = 0; zone < index.zones; ++zone) {
        const std::span<uint8_t> header = headerOf(index, zone);
        writeBootNumber(header, drive, slot % kSlotsPerZone);
        if (index.zones > 1)
            header[kStartZoneOffset] = static_cast<uint8_t>(MmbZoneOf(slot));
    }
    return true;
}

MmbTitle MmbTitleOfDisc(std::span<const uint8_t> disc)
{
    MmbTitle title{};
    for (size_t i = 0; i < kTitleLength; ++i) {
        const size_t at =
            i < dfs::kTitleHeadLength ? i : dfs::kTitleTailOffset + (i - dfs::kTitleHeadLength);
        if (at >= disc.size() || disc[at] == 0)
            break;
        title[i] = disc[at];
    }
    return title;
}

MmbTitle EncodeMmbTitle(std::string_view text)
{
    const auto encoded = EncodeCatalogueTitle(text);
    MmbTitle title{};
    std::copy(encoded.begin(), encoded.end(), title.begin());
    for (size_t i = kTitleLength; i > 0 && title[i - 1] == ' '; --i)
        title[i - 1] = 0;
    return title;
}

std::string MmbTitleText(std::span<const uint8_t> title)
{
    size_t length = 0;
    while (length < std::min(title.size(), kTitleLength) && title[length] != 0)
        ++length;
    while (length > 0 && title[length - 1] == ' ')
        --length;
    return Cp1252ToUtf8(title.first(length));
}

bool IsBlankMmbTitle(const MmbTitle& title)
{
    return MmbTitleText(title).empty();
}

std::optional<std::string> CheckMmbDisc(std::span<const uint8_t> image, uint64_t imageSize)
{
    if (imageSize > kDiscSize)
        return reason::discTooLarge(imageSize);
    if (auto notDfs = CheckDfsImage(image, imageSize))
        return notDfs;
    const int sectors = ReadSectorCount(image).value_or(0);
    if (sectors > kMaxDiscSectors)
        return reason::tooManySectors(sectors);
    if (!CatalogueHoldsTogether(image))
        return reason::doesNotHoldTogether(sectors);
    return std::nullopt;
}

std::optional<std::array<std::vector<uint8_t>, 2>> SplitDoubleSided(std::span<const uint8_t> image)
{
    if (image.size() > kDoubleSidedSize)
        return std::nullopt;
    std::array<std::vector<uint8_t>, 2> sides;
    for (size_t at = 0, track = 0; at < image.size(); at += kTrackSize, ++track) {
        const size_t count = std::min(kTrackSize, image.size() - at);
        auto& side = sides[track % 2];
        side.insert(side.end(), image.begin() + ptrdiff_t(at),
                    image.begin() + ptrdiff_t(at + count));
    }
    return sides;
}

bool IsDsdFilename(std::string_view name)
{
    return name.size() >= 4 && equalsIgnoringAsciiCase(name.substr(name.size() - 4), ".dsd");
}

} // namespace tavrin
