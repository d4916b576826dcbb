#pragma once
// Builds UEF tape images for the tests, byte by byte from the layout.

#include "ImageBytes.h"

#include "diskimage/Uef.h"

#include <zlib.h>

#include <string_view>

namespace tavrin::test
{

inline void little(Bytes& b, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        b.push_back(uint8_t(value >> (8 * i)));
}

inline void crcHighFirst(Bytes& b, std::span<const uint8_t> over)
{
    const uint16_t crc = TapeCrc(over);
    b.push_back(uint8_t(crc >> 8));
    b.push_back(uint8_t(crc & 0xFF));
}

// One Acorn tape block: sync, header, header CRC, data, data CRC.
inline Bytes tapeBlock(std::string_view name, uint32_t load, uint32_t exec, uint16_t number,
                       const Bytes& data, uint8_t flag)
{
    Bytes header(name.begin(), name.end());
    header.push_back(0);
    little(header, load, 4);
    little(header, exec, 4);
    little(header, number, 2);
    little(header, uint32_t(data.size()), 2);
    header.push_back(flag);
    little(header, 0, 4);
    Bytes b = header;
    b.insert(b.begin(), 0x2A);
    crcHighFirst(b, header);
    if (!data.empty()) {
        b.insert(b.end(), data.begin(), data.end());
        crcHighFirst(b, data);
    }
    return b;
}

// The blocks of a file of 256-byte blocks, the last one flagged.
inline std::vector<Bytes> fileBlocks(std::string_view name, uint32_t load, uint32_t exec,
                                     const Bytes& data, bool locked = false)
{
    std::vector<Bytes> blocks;
    const size_t count = std::max<size_t>(1, (data.size() + 255) / 256);
    for (size_t k = 0; k < count; ++k) {
        const Bytes part(data.begin() + ptrdiff_t(std::min(data.size(), k * 256)),
                         data.begin() + ptrdiff_t(std::min(data.size(), k * 256 + 256)));
        blocks.push_back(tapeBlock(name, load, exec, uint16_t(k), part,
                                   uint8_t((k + 1 == count ? 0x80 : 0) | (locked ? 1 : 0))));
    }
    return blocks;
}

inline Bytes uefChunk(uint16_t id, const Bytes& body)
{
    Bytes b;
    little(b, id, 2);
    little(b, uint32_t(body.size()), 4);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// "UEF File!", NUL, version 0.10, then the chunks.
inline Bytes uefFile(const std::vector<Bytes>& chunks)
{
    Bytes b{'U', 'E', 'F', ' ', 'F', 'i', 'l', 'e', '!', 0, 10, 0};
    for (const Bytes& c : chunks)
        b.insert(b.end(), c.begin(), c.end());
    return b;
}

inline Bytes carrier() { return uefChunk(0x0110, {0xDC, 0x05}); }

inline Bytes gzipped(const Bytes& bytes)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, uLong(bytes.size())) + 32);
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = uInt(bytes.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace tavrin::test
