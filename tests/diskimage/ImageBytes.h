#pragma once
// Builds catalogue bytes for the tests, byte by byte.

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tavrin::test
{

using Bytes = std::vector<uint8_t>;

// `size` zero bytes.
inline Bytes zeroImage(size_t size = 0x300)
{
    return Bytes(size, 0);
}

// Puts raw bytes (a string of any bytes, NULs included) at `offset`.
inline void put(Bytes& image, size_t offset, std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i)
        image.at(offset + i) = static_cast<uint8_t>(bytes[i]);
}

// Entry n (1 to 62): seven name bytes and the directory byte.
inline void putEntry(Bytes& image, int n, std::string_view name7, uint8_t directory)
{
    const size_t offset = n <= 31 ? 0x008 + 8 * size_t(n - 1) : 0x208 + 8 * size_t(n - 32);
    put(image, offset, name7.substr(0, 7));
    for (size_t i = name7.size(); i < 7; ++i)
        image.at(offset + i) = ' ';
    image.at(offset + 7) = directory;
}

inline void putWatfordMarker(Bytes& image)
{
    std::fill(image.begin() + 0x200, image.begin() + 0x208, uint8_t(0xAA));
}

} // namespace tavrin::test
