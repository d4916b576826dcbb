// libFuzzer target for the MMB index: any bytes as the index blocks of a
// file of some size, then the index's own changes read back. Traps when a
// property of the format breaks.
//
// Input: a byte choosing how the file's size is made (the input's own size,
// an index and N discs, N whole zones, or four bytes as they come), four
// bytes for it, then the index blocks.

#include "core/TextHelpers.h"
#include "diskimage/Mmb.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace tavrin;
using namespace tavrin::mmb;

namespace
{

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

uint64_t fileSizeFor(const uint8_t* data, size_t size)
{
    if (size < 5)
        return size;
    const uint32_t n = uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16 |
                       uint32_t(data[4]) << 24;
    switch (data[0] % 4) {
    case 0:
        return size;
    case 1:
        return kIndexSize + uint64_t(n % 600) * kDiscSize;
    case 2:
        return uint64_t(1 + n % 17) * kZoneSize;
    default:
        return n;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint64_t fileSize = fileSizeFor(data, size);
    const std::span<const uint8_t> indexes(data + std::min<size_t>(size, 5),
                                           size - std::min<size_t>(size, 5));
    (void)CheckMmbDisc(std::span<const uint8_t>(data, size), size);
    if (auto sides = SplitDoubleSided(std::span<const uint8_t>(data, size)))
        check((*sides)[0].size() + (*sides)[1].size() == size);

    const MmbIndexRead read = ReadMmbIndex(indexes, fileSize);
    if (read.notMmb)
        return 0;
    const MmbIndex& index = read.index;
    check(index.zones >= 1 && index.zones <= kMaxZones);
    check(index.bytes.size() == size_t(index.zones) * kIndexSize);
    const std::vector<MmbSlot> seen = index.seenSlots();
    check(seen.size() <= size_t(index.zones) * kSlotsPerZone);
    for (const MmbSlot& s : seen) {
        check(utf8CharacterCount(s.title) <= kTitleLength);
        check(s.title.find('\0') == std::string::npos);
        if (s.holdsDisc())
            check(MmbDiscOffset(s.slot) + kDiscSize <= fileSize);
    }
    if (seen.empty())
        return 0;

    // A disc written into a slot, a boot slot set, a zone added: the index
    // reads back as a whole file with them.
    MmbIndex changed = index;
    const int slot = seen[size_t(data[size % 5]) % seen.size()].slot;
    const uint8_t status = data[size / 2] % 2 ? kLocked : kUnlocked;
    check(SetMmbEntry(changed, slot, EncodeMmbTitle("FUZZ"), status));
    check(SetMmbBootSlot(changed, data[0] % kDrives, slot));
    check(changed.bootSlots()[data[0] % kDrives] == slot);
    const bool extended = ExtendMmbIndex(changed);
    check(extended == (index.zones < kMaxZones));
    const MmbIndexRead again = ReadMmbIndex(changed.bytes, changed.fileSize);
    check(!again.notMmb);
    check(again.index.slot(slot).status == status && again.index.slot(slot).title == "FUZZ");
    check(again.index.seenSlots().size() >= seen.size());
    return 0;
}
