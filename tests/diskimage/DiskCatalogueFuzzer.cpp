// libFuzzer target for the catalogue reader: any bytes as an image, and the
// same bytes as a typed title. Traps when a property of the format breaks.

#include "diskimage/DiskCatalogue.h"

#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using namespace tavrin;

namespace
{

size_t characterCount(const std::string& utf8)
{
    return static_cast<size_t>(QString::fromUtf8(utf8).toUcs4().size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> image(data, size);
    const DiskCatalogue catalogue = ParseDiskCatalogue(image);
    (void)CheckDfsImage(image, size);

    // A shown entry always has eleven characters; a title at most twelve.
    for (const std::string& entry : catalogue.entries)
        if (!entry.empty() && characterCount(entry) != 11)
            __builtin_trap();
    if (characterCount(catalogue.title) > dfs::kTitleLength)
        __builtin_trap();

    // A shown entry, and only a shown one, is a file, and its plain-text
    // form holds no control character.
    for (int n = 1; n <= dfs::kMaxEntries; ++n) {
        const std::string& entry = catalogue.entries[static_cast<size_t>(n - 1)];
        if (ReadCatalogueFile(image, n).has_value() == entry.empty())
            __builtin_trap();
        for (unsigned char c : WithVisibleControlCharacters(entry))
            if (c < 0x20 || c == 0x7F)
                __builtin_trap();
    }
    (void)FreeSectors(image);

    // Writing back the title as shown gives the same title, padded to 12.
    std::vector<uint8_t> copy(data, data + size);
    if (WriteCatalogueTitle(copy, catalogue.title)) {
        std::string padded = catalogue.title;
        padded.append(dfs::kTitleLength - characterCount(catalogue.title), ' ');
        if (ReadCatalogueTitle(copy) != padded)
            __builtin_trap();
    }
    if (!copy.empty() && WriteBootOption(copy, data[0] & 3)) {
        if ((copy[dfs::kBootOptionOffset] & ~dfs::kBootOptionMask) !=
            (data[dfs::kBootOptionOffset] & ~dfs::kBootOptionMask))
            __builtin_trap();
    }

    // The title as the panel shows it reads back as itself.
    if (FromVisibleControlCharacters(WithVisibleControlCharacters(catalogue.title)) !=
        catalogue.title)
        __builtin_trap();

    // The same bytes typed as a title (any UTF-8, valid or not).
    const auto title =
        EncodeCatalogueTitle(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)title;
    return 0;
}
