#include "Uef.h"

#include "CodePage1252.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>

namespace tavrin
{

using namespace uef;

namespace
{

// Every message of this file.
namespace message
{
std::string endsEarly()
{
    return "the compressed data ends early";
}
std::string damaged()
{
    return "the compressed data is damaged";
}
std::string tooLarge()
{
    return "it inflates to more than " + std::to_string(kLargestTape / (1024 * 1024)) +
           " MB, more than any tape image holds";
}
std::string noCompressedData(const std::string& why)
{
    return "it is gzip-compressed, but " + why;
}
std::string notUef(bool compressed)
{
    return std::string(compressed ? "inflated, it" : "it") +
           " does not start with \"UEF File!\" and a NUL";
}
std::string noVersion()
{
    return "it ends before its version bytes";
}
} // namespace message

// kCrcTables[k][b] is the CRC of the byte b followed by k zero bytes, so
// that eight bytes are taken at a time: the CRC is linear, and each byte
// adds its own share wherever it stands.
constexpr int kCrcSlices = 8;
using CrcTables = std::array<std::array<uint16_t, 256>, kCrcSlices>;
constexpr CrcTables makeCrcTables()
{
    CrcTables tables{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        tables[0][i] = static_cast<uint16_t>(crc);
    }
    for (int k = 1; k < kCrcSlices; ++k)
        for (unsigned i = 0; i < 256; ++i) {
            const uint16_t before = tables[size_t(k - 1)][i];
            tables[size_t(k)][i] = static_cast<uint16_t>((before << 8) ^ tables[0][before >> 8]);
        }
    return tables;
}
constexpr CrcTables kCrcTables = makeCrcTables();

bool startsWith(std::span<const uint8_t> bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

uint32_t little16(std::span<const uint8_t> b, size_t at)
{
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8);
}

uint32_t little32(std::span<const uint8_t> b, size_t at)
{
    return little16(b, at) | (little16(b, at + 2) << 16);
}

// An inflate stream, ended on every way out.
class GzipStream
{
  public:
    GzipStream() { ok_ = inflateInit2(&stream_, MAX_WBITS + 16) == Z_OK; }
    ~GzipStream()
    {
        if (ok_)
            inflateEnd(&stream_);
    }
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;
    bool ok() const { return ok_; }
    z_stream* get() { return &stream_; }

  private:
    z_stream stream_{};
    bool ok_ = false;
};

// Collects the bytes of a tape into stretches: consecutive data chunks make
// one stretch, anything else on the tape ends it.
class StretchBuilder
{
  public:
    explicit StretchBuilder(TapeBytes& out) : out_(out) {}
    void add(uint8_t byte)
    {
        if (!open_) {
            out_.stretches.emplace_back();
            open_ = true;
        }
        out_.stretches.back().push_back(byte);
    }
    void add(std::span<const uint8_t> bytes)
    {
        if (bytes.empty())
            return;
        if (!open_) {
            out_.stretches.emplace_back();
            open_ = true;
        }
        out_.stretches.back().insert(out_.stretches.back().end(), bytes.begin(), bytes.end());
    }
    void end() { open_ = false; }
    TapeBytes& out() { return out_; }

  private:
    TapeBytes& out_;
    bool open_ = false;
};

void decodeFramedBits(std::span<const uint8_t> bits, size_t bitCount, StretchBuilder& into)
{
    bitCount = std::min(bitCount, bits.size() * 8);
    auto bit = [&](size_t i) { return (bits[i / 8] >> (i % 8)) & 1; };
    // The bits from bit i on, at least a frame's worth where the bits hold them.
    auto window = [&](size_t i) {
        const size_t at = i / 8;
        uint32_t w = bits[at];
        if (at + 1 < bits.size())
            w |= uint32_t(bits[at + 1]) << 8;
        if (at + 2 < bits.size())
            w |= uint32_t(bits[at + 2]) << 16;
        return w >> (i % 8);
    };
    size_t idle = 0;
    size_t i = 0;
    while (i < bitCount) {
        const uint32_t w = window(i);
        if ((w & 1) == 1) {
            if (++idle == kLongestIdleBits + 1)
                into.end();
            ++i;
            continue;
        }
        idle = 0;
        if (bitCount - i < size_t(kFrameBits))
            break;
        if (((w >> (kFrameBits - 1)) & 1) == 0) {
            // Not a frame: wait for the line to go idle, then look for a
            // start bit again.
            ++into.out().framingErrors;
            into.end();
            for (++i; i < bitCount && bit(i) == 0; ++i) {
            }
            continue;
        }
        into.add(static_cast<uint8_t>(w >> 1));
        i += kFrameBits;
    }
}

// Where a block's header fields start, or none when `at` holds no sync
// byte, name and NUL.
std::optional<size_t> headerFieldsAt(std::span<const uint8_t> s, size_t at)
{
    const size_t name = at + 1;
    for (size_t n = 0; n <= kMaxNameLength && name + n < s.size(); ++n)
        if (s[name + n] == 0)
            return n == 0 ? std::nullopt : std::optional<size_t>(name + n + 1);
    return std::nullopt;
}

// A block number as the machines show it, in hexadecimal.
std::string blockNumber(uint16_t n)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", unsigned(n));
    return text;
}

} // namespace

uint16_t TapeCrc(std::span<const uint8_t> bytes)
{
    const auto& t = kCrcTables;
    uint16_t crc = 0;
    size_t i = 0;
    for (; bytes.size() - i >= size_t(kCrcSlices); i += kCrcSlices) {
        const uint8_t* b = bytes.data() + i;
        crc =
            static_cast<uint16_t>(t[7][b[0] ^ (crc >> 8)] ^ t[6][b[1] ^ (crc & 0xFF)] ^ t[5][b[2]] ^
                                  t[4][b[3]] ^ t[3][b[4]] ^ t[2][b[5]] ^ t[1][b[6]] ^ t[0][b[7]]);
    }
    for (; i < bytes.size(); ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ t[0][((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

bool IsUef(std::span<const uint8_t> bytes)
{
    return startsWith(bytes, kSignature);
}

bool IsGzip(std::span<const uint8_t> bytes)
{
    return startsWith(bytes, std::string_view("\x1F\x8B", 2));
}

Inflated InflateGzip(std::span<const uint8_t> gzip, size_t limit)
{
    Inflated result;
    GzipStream stream;
    if (!stream.ok()) {
        result.problem = message::damaged();
        return result;
    }
    z_stream* z = stream.get();
    std::vector<uint8_t>& out = result.bytes;
    // A tape compresses to about a third; the buffer grows when it must.
    out.resize(std::min(limit + 1, std::max<size_t>(size_t(1) << 16, gzip.size() * 4)));
    size_t produced = 0;
    size_t consumed = 0;
    for (;;) {
        if (produced == out.size()) {
            if (out.size() > limit) {
                result.tooLarge = true;
                out.clear();
                return result;
            }
            out.resize(std::min(limit + 1, out.size() * 2));
        }
        const size_t inPiece = std::min<size_t>(gzip.size() - consumed, UINT_MAX);
        const size_t outPiece = std::min<size_t>(out.size() - produced, UINT_MAX);
        z->next_in = const_cast<Bytef*>(gzip.data() + consumed);
        z->avail_in = static_cast<uInt>(inPiece);
        z->next_out = out.data() + produced;
        z->avail_out = static_cast<uInt>(outPiece);
        const int status = inflate(z, Z_NO_FLUSH);
        consumed += inPiece - z->avail_in;
        produced += outPiece - z->avail_out;
        if (produced > limit) {
            result.tooLarge = true;
            out.clear();
            return result;
        }
        if (status == Z_STREAM_END) {
            // Another member may follow; anything else after the end is ignored.
            if (!IsGzip(gzip.subspan(consumed)) || inflateReset(z) != Z_OK)
                break;
            continue;
        }
        if (status == Z_OK)
            continue;
        if (status == Z_BUF_ERROR && produced == out.size())
            continue; // no room for output: the buffer grows
        if (status == Z_BUF_ERROR) {
            result.problem = message::endsEarly();
            break;
        }
        result.problem = message::damaged();
        break;
    }
    out.resize(produced);
    return result;
}

std::vector<UefChunk> ReadUefChunks(std::span<const uint8_t> uefFile)
{
    std::vector<UefChunk> chunks;
    size_t at = kHeaderSize;
    while (at <= uefFile.size() && uefFile.size() - at >= kChunkHeaderSize) {
        UefChunk chunk;
        chunk.id = static_cast<uint16_t>(little16(uefFile, at));
        const uint32_t length = little32(uefFile, at + 2);
        at += kChunkHeaderSize;
        const size_t available = uefFile.size() - at;
        chunk.cutShort = length > available;
        chunk.body = uefFile.subspan(at, std::min<size_t>(length, available));
        at += chunk.body.size();
        chunks.push_back(chunk);
    }
    return chunks;
}

size_t RawBitCount(std::span<const uint8_t> body)
{
    if (body.empty())
        return 0;
    const size_t unused = body[0] % 8;
    const size_t bits = (body.size() - 1) * 8;
    return bits >= unused ? bits - unused : 0;
}

std::vector<TapeStretch> DecodeFramedBits(std::span<const uint8_t> bits, size_t bitCount)
{
    TapeBytes bytes;
    StretchBuilder builder(bytes);
    decodeFramedBits(bits, bitCount, builder);
    return std::move(bytes.stretches);
}

std::string DefinedFormat(std::span<const uint8_t> body)
{
    if (body.size() < kDefinedFormatSize)
        return "?";
    const char parity = body[1] >= 0x20 && body[1] < 0x7F ? char(body[1]) : '?';
    return std::to_string(body[0]) + parity + std::to_string(int8_t(body[2]));
}

TapeBytes ReadTapeBytes(std::span<const UefChunk> chunks)
{
    TapeBytes bytes;
    StretchBuilder builder(bytes);
    for (const UefChunk& chunk : chunks) {
        switch (chunk.id) {
        case kChunkData:
            builder.add(chunk.body);
            break;
        case kChunkRawBits:
            if (!chunk.body.empty())
                decodeFramedBits(chunk.body.subspan(1), RawBitCount(chunk.body), builder);
            break;
        case kChunkDefinedData: {
            const std::string format = DefinedFormat(chunk.body);
            if (format == "8N1") {
                builder.add(chunk.body.subspan(kDefinedFormatSize));
                break;
            }
            builder.end();
            ++bytes.otherFormatChunks;
            if (bytes.otherFormats.find(format) == std::string::npos)
                bytes.otherFormats += (bytes.otherFormats.empty() ? "" : ", ") + format;
            break;
        }
        case kChunkBaseFrequency:
        case kChunkPhaseChange:
        case kChunkBaudRate:
            break; // how the signal is made, not a part of it
        default:
            if (chunk.id >= kFirstTapeChunk && chunk.id <= kLastTapeChunk)
                builder.end();
            break;
        }
        // A chunk cut by the end of the file ends the tape there.
        if (chunk.cutShort)
            builder.end();
    }
    return bytes;
}

std::vector<TapeBlock> ReadTapeBlocks(std::span<const uint8_t> s)
{
    std::vector<TapeBlock> blocks;
    size_t at = 0;
    bool anchored = true; // `at` is the start of the stretch or just after a block
    while (at < s.size()) {
        const auto* found =
            static_cast<const uint8_t*>(std::memchr(s.data() + at, kSyncByte, s.size() - at));
        if (!found)
            break;
        const size_t sync = size_t(found - s.data());
        const bool atAnchor = anchored && sync == at;
        anchored = false;
        at = sync + 1;
        const std::optional<size_t> fields = headerFieldsAt(s, sync);
        if (!fields || s.size() - *fields < kHeaderFieldsSize + kCrcSize)
            continue;
        const size_t crcAt = *fields + kHeaderFieldsSize;
        const std::span<const uint8_t> header = s.subspan(sync + 1, crcAt - (sync + 1));
        const bool headerCrcOk = TapeCrc(header) == ((s[crcAt] << 8) | s[crcAt + 1]);
        TapeBlock block;
        block.length = static_cast<uint16_t>(little16(s, *fields + 10));
        if (!headerCrcOk && (!atAnchor || block.length > kLargestBlock))
            continue;
        block.name.assign(reinterpret_cast<const char*>(s.data() + sync + 1), *fields - sync - 2);
        block.load = little32(s, *fields);
        block.exec = little32(s, *fields + 4);
        block.number = static_cast<uint16_t>(little16(s, *fields + 8));
        block.flag = s[*fields + 12];
        block.headerCrcOk = headerCrcOk;
        const size_t dataAt = crcAt + kCrcSize;
        const size_t available = s.size() - dataAt;
        const size_t taken = std::min<size_t>(block.length, available);
        block.data.assign(s.begin() + ptrdiff_t(dataAt), s.begin() + ptrdiff_t(dataAt + taken));
        at = dataAt + taken;
        if (block.length == 0) {
            block.dataCrcOk = true;
        } else if (available - taken < kCrcSize) {
            block.cutShort = true;
            at = s.size();
        } else {
            block.dataCrcOk = TapeCrc(block.data) == ((s[at] << 8) | s[at + 1]);
            at += kCrcSize;
        }
        blocks.push_back(std::move(block));
        anchored = true;
    }
    return blocks;
}

bool TapeFile::whole() const
{
    return std::none_of(faults.begin(), faults.end(), [](const TapeFault& f) {
        return f.kind == TapeFault::Kind::Missing || f.kind == TapeFault::Kind::NoLastBlock ||
               f.kind == TapeFault::Kind::CutShort;
    });
}

std::vector<TapeFile> GroupTapeFiles(std::vector<TapeBlock> blocks)
{
    using Kind = TapeFault::Kind;
    std::vector<TapeFile> files;
    bool ended = true;
    uint16_t lastNumber = 0;
    auto fault = [&](Kind kind, uint16_t first, uint16_t last) {
        files.back().faults.push_back(TapeFault{kind, first, last});
    };
    for (TapeBlock& block : blocks) {
        const bool joins = !ended && block.name == files.back().name && block.number > lastNumber;
        if (!joins) {
            if (!ended)
                fault(Kind::NoLastBlock, lastNumber, lastNumber);
            TapeFile file;
            file.name = block.name;
            file.load = block.load;
            file.exec = block.exec;
            files.push_back(std::move(file));
            if (block.number > 0)
                fault(Kind::Missing, 0, static_cast<uint16_t>(block.number - 1));
        } else if (block.number > lastNumber + 1) {
            fault(Kind::Missing, static_cast<uint16_t>(lastNumber + 1),
                  static_cast<uint16_t>(block.number - 1));
        }
        TapeFile& file = files.back();
        if (!block.headerCrcOk)
            fault(Kind::HeaderCrc, block.number, block.number);
        if (!block.dataCrcOk && !block.cutShort)
            fault(Kind::DataCrc, block.number, block.number);
        if (block.cutShort)
            fault(Kind::CutShort, block.number, block.number);
        file.data.insert(file.data.end(), block.data.begin(), block.data.end());
        file.length += static_cast<uint32_t>(block.data.size());
        ++file.blocks;
        file.locked = file.locked || block.locked();
        lastNumber = block.number;
        ended = block.last();
        block.data = {};
        file.blockList.push_back(std::move(block));
    }
    if (!ended)
        fault(Kind::NoLastBlock, lastNumber, lastNumber);
    return files;
}

std::string TapeFaultText(const TapeFault& fault)
{
    const std::string first = blockNumber(fault.first);
    switch (fault.kind) {
    case TapeFault::Kind::HeaderCrc:
        return "block " + first + " header CRC wrong";
    case TapeFault::Kind::DataCrc:
        return "block " + first + " data CRC wrong";
    case TapeFault::Kind::CutShort:
        return "block " + first + " cut short";
    case TapeFault::Kind::Missing:
        return fault.first == fault.last
                   ? "block " + first + " missing"
                   : "blocks " + first + "-" + blockNumber(fault.last) + " missing";
    case TapeFault::Kind::NoLastBlock:
        break;
    }
    return "no last block after " + first;
}

std::string TapeFileName(const TapeFile& file)
{
    return Cp1252ToUtf8(
        std::span(reinterpret_cast<const uint8_t*>(file.name.data()), file.name.size()));
}

std::string TapeFileEntry(const TapeFile& file)
{
    std::string entry = TapeFileName(file);
    entry.append(kMaxNameLength - std::min(kMaxNameLength, file.name.size()), ' ');
    entry += file.damaged() ? '!' : ' ';
    entry += file.locked ? 'L' : ' ';
    return entry;
}

UefTapeRead ReadUefTape(std::span<const uint8_t> file)
{
    UefTapeRead read;
    UefTape tape;
    Inflated inflated;
    std::span<const uint8_t> uef = file;
    if (IsGzip(file)) {
        inflated = InflateGzip(file);
        if (inflated.tooLarge) {
            read.error = message::tooLarge();
            return read;
        }
        if (inflated.bytes.empty() && !inflated.problem.empty()) {
            read.error = message::noCompressedData(inflated.problem);
            return read;
        }
        tape.compressed = true;
        tape.inflateProblem = inflated.problem;
        uef = inflated.bytes;
    }
    if (!IsUef(uef)) {
        read.error = message::notUef(tape.compressed);
        return read;
    }
    if (uef.size() < kHeaderSize) {
        read.error = message::noVersion();
        return read;
    }
    tape.minorVersion = uef[kMinorVersionOffset];
    tape.majorVersion = uef[kMajorVersionOffset];

    const std::vector<UefChunk> chunks = ReadUefChunks(uef);
    std::map<uint16_t, size_t> counts;
    for (const UefChunk& chunk : chunks) {
        ++counts[chunk.id];
        tape.chunksCutShort = tape.chunksCutShort || chunk.cutShort;
    }
    tape.chunkCounts.assign(counts.begin(), counts.end());
    tape.bytes = ReadTapeBytes(chunks);
    std::vector<TapeBlock> blocks;
    for (const TapeStretch& stretch : tape.bytes.stretches) {
        std::vector<TapeBlock> more = ReadTapeBlocks(stretch);
        std::move(more.begin(), more.end(), std::back_inserter(blocks));
    }
    tape.bytes.stretches = {};
    tape.files = GroupTapeFiles(std::move(blocks));
    read.tape = std::move(tape);
    return read;
}

} // namespace tavrin
