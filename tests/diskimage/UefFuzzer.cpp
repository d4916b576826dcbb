// libFuzzer target for the tape reader: any bytes as a UEF file, as the
// chunks after a UEF header, as gzip data and as raw bits. Traps when what
// is read breaks a property of the format or of its bound.

#include "diskimage/Uef.h"

#include <vector>

using namespace tavrin;

namespace
{

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkTape(const UefTapeRead& read)
{
    check(read.tape.has_value() == read.error.empty());
    if (!read.tape)
        return;
    for (const TapeFile& file : read.tape->files) {
        check(!file.name.empty() && file.name.size() <= uef::kMaxNameLength);
        check(file.data.size() == file.length && file.blockList.size() == size_t(file.blocks));
        size_t length = 0;
        for (const TapeBlock& block : file.blockList)
            length += block.length;
        check(!file.whole() || length == file.length);
        for (const TapeFault& fault : file.faults)
            check(fault.first <= fault.last && !TapeFaultText(fault).empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    checkTape(ReadUefTape(bytes));
    std::vector<uint8_t> uef(uef::kSignature.begin(), uef::kSignature.end());
    uef.insert(uef.end(), {10, 0});
    uef.insert(uef.end(), bytes.begin(), bytes.end());
    checkTape(ReadUefTape(uef));

    std::vector<uint8_t> gzip = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    gzip.insert(gzip.end(), bytes.begin(), bytes.end());
    const Inflated inflated = InflateGzip(gzip, 1 << 20);
    check(inflated.bytes.size() <= (1 << 20) && (!inflated.tooLarge || inflated.bytes.empty()));

    for (const TapeStretch& stretch : DecodeFramedBits(bytes, size * 8))
        check(!stretch.empty() && stretch.size() <= size * 8 / uef::kFrameBits);
    return 0;
}
