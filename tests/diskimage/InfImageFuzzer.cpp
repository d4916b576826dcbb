// libFuzzer target for the ".inf" reader and the image builder: any ".inf"
// texts with any file sizes. The built image must read back through the DFS
// catalogue code with exactly the files the builder says it added, their
// data in place, inside the 800 sectors, no two under one DFS name. Traps
// when that breaks.
//
// Input: records of two size bytes (little-endian, in units of 4 bytes, so
// that files past the disk's size occur) and an ".inf" text up to a NUL.

#include "core/TextHelpers.h"
#include "diskimage/InfFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

using namespace tavrin;

namespace
{

struct Added {
    std::vector<uint8_t> entry; // the eight catalogue bytes expected
    size_t length;
    uint8_t fill;
};

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InfImage image("FUZZ");
    std::vector<Added> added;
    size_t i = 0;
    for (uint8_t record = 0; i + 2 <= size; ++record) {
        const size_t length = (size_t(data[i]) | size_t(data[i + 1]) << 8) * 4;
        i += 2;
        size_t end = i;
        while (end < size && data[end] != 0)
            ++end;
        const std::span<const uint8_t> inf(data + i, end - i);
        i = end + 1;

        const InfParse parsed = ParseInfDescription(ReadInfFirstField(inf));
        const std::vector<uint8_t> file(length, record);
        const int before = image.count();
        const auto why = image.add(file, inf);
        check(why.has_value() != (image.count() == before + 1));
        if (why)
            continue;
        check(parsed.description.has_value());
        const InfDescription& d = *parsed.description;
        std::vector<uint8_t> entry(7, ' ');
        for (size_t k = 0; k < d.name.size() && k < 7; ++k)
            entry[k] = uint8_t(d.name[k]);
        entry.push_back(uint8_t(d.directory | (d.locked ? 0x80 : 0)));
        added.push_back({entry, length, record});
    }

    const std::vector<uint8_t> bytes = image.bytes();
    check(!CheckDfsImage(bytes, bytes.size()).has_value());
    check(added.size() <= 31);
    const DiskCatalogue catalogue = ParseDiskCatalogue(bytes);
    const std::vector<DfsFile> files = ReadDfsFiles(bytes);
    check(files.size() == added.size());
    for (size_t n = 0; n < 31; ++n)
        check(catalogue.entries[n].empty() == (n >= added.size()));
    for (size_t n = 0; n < added.size(); ++n) {
        const DfsFile& f = files[n];
        check(std::equal(added[n].entry.begin(), added[n].entry.end(), bytes.begin() + 8 * (n + 1)));
        check(f.length == added[n].length);
        check(f.startSector >= 2 && f.startSector < dfs::kDiskSectors &&
              f.startSector + SectorsFor(f.length) <= dfs::kDiskSectors);
        check(size_t(f.startSector) * 256 + f.length <= bytes.size());
        for (size_t k : {size_t(0), size_t(f.length / 2), size_t(f.length) - 1})
            if (f.length > 0)
                check(bytes[f.startSector * 256 + k] == added[n].fill);
        if (n > 0)
            check(f.startSector == std::min(files[n - 1].startSector +
                                                SectorsFor(files[n - 1].length),
                                            dfs::kDiskSectors - 1));
        auto dfsName = [](const DfsFile& file) { return file.name + char(file.directory); };
        for (size_t k = 0; k < n; ++k) // no two entries under one DFS name
            check(!equalsIgnoringAsciiCase(dfsName(files[k]), dfsName(f)));
    }
    return 0;
}
