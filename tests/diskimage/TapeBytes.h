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

// The CRC of the bytes from `from` on, appended high byte first.
inline void appendCrc(Bytes& b, size_t from)
{
    const uint16_t crc = TapeCrc(std::span(b).subspan(from));
    b.insert(b.end(), {uint8_t(crc >> 8), uint8_t(crc & 0xFF)});
}

// One Acorn tape block: sync, header, header CRC, data, data CRC.
inline Bytes tapeBlock(std::string_view name, uint32_t load, uint32_t exec, uint16_t number,
                       const Bytes& data, uint8_t flag)
{
    Bytes b(name.begin(), name.end());
    b.insert(b.begin(), 0x2A);
    b.push_back(0);
    for (auto [value, count] : {std::pair{load, 4}, {exec, 4}, {uint32_t(number), 2},
                                {uint32_t(data.size()), 2}, {uint32_t(flag), 1}, {0u, 4}})
        little(b, value, count);
    appendCrc(b, 1);
    if (!data.empty()) {
        const size_t at = b.size();
        b.insert(b.end(), data.begin(), data.end());
        appendCrc(b, at);
    }
    return b;
}

// The blocks of a file of 256-byte blocks, the last one flagged.
inline std::vector<Bytes> fileBlocks(std::string_view name, uint32_t load, uint32_t exec,
                                     const Bytes& data, bool locked = false)
{
    std::vector<Bytes> blocks;
    for (size_t at = 0; at == 0 || at < data.size(); at += 256) {
        const bool last = at + 256 >= data.size();
        blocks.push_back(tapeBlock(name, load, exec, uint16_t(at / 256),
                                   Bytes(data.begin() + ptrdiff_t(at),
                                         data.begin() + ptrdiff_t(std::min(data.size(), at + 256))),
                                   uint8_t((last ? 0x80 : 0) | (locked ? 1 : 0))));
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
    Bytes out(deflateBound(&z, uLong(bytes.size())));
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = uInt(bytes.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    deflateEnd(&z);
    out.resize(z.total_out);
    return out;
}

} // namespace tavrin::test
