#pragma once
// UEF tape images, read as bytes: the chunks, the bytes they carry, the
// Acorn tape blocks in those bytes, and the files the blocks make up.
//
// A UEF file starts "UEF File!" and a NUL, then a minor and a major version
// byte, then chunks: a 2-byte id and a 4-byte length (both low byte first),
// then that many bytes. Most files are gzip-compressed as a whole.
//
// The tape's bytes are in three kinds of chunk:
//   0x0100  data bytes, each sent as a start bit 0, eight data bits (lowest
//           first) and a stop bit 1
//   0x0102  raw bits: the first byte tells how many bits at the end of the
//           last byte are not part of the tape; the bits follow, the lowest
//           bit of each byte first, and frame bytes as above
//   0x0104  data in a stated format: bits per packet, parity ('N', 'E' or
//           'O') and stop bits, then the packets, one a byte
// Carrier tone (0x0110, 0x0111), gaps (0x0112, 0x0116) and security cycles
// (0x0114) carry no bytes: they lie between the blocks of a tape.
//
// An Acorn tape block:
//   0x2A sync byte
//   file name, 1 to 10 characters, then a NUL
//   load address 4, execution address 4, block number 2, data length 2
//   (low byte first), block flag 1 (bit 7 last block, bit 6 empty block,
//   bit 0 locked), four spare bytes
//   header CRC 2, over the bytes from the name to the spare bytes
//   the data, then its CRC 2 (none when the block has no data)
// Both CRCs are CRC-16 with polynomial 0x1021, initial value 0, not
// reflected, stored high byte first.
//
// Every function here is pure and bounds-checked: a short or odd file gives
// fewer or marked blocks, never a read past the bytes given.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin
{

namespace uef
{
constexpr std::string_view kSignature{"UEF File!\0", 10};
constexpr size_t kMinorVersionOffset = 10;
constexpr size_t kMajorVersionOffset = 11;
constexpr size_t kHeaderSize = 12;
constexpr size_t kChunkHeaderSize = 6; // id 2, length 4

constexpr uint16_t kChunkData = 0x0100;
constexpr uint16_t kChunkRawBits = 0x0102;
constexpr uint16_t kChunkDefinedData = 0x0104;
constexpr uint16_t kChunkCarrier = 0x0110;
constexpr uint16_t kChunkCarrierWithDummyByte = 0x0111;
constexpr uint16_t kChunkGap = 0x0112;
constexpr uint16_t kChunkBaseFrequency = 0x0113;
constexpr uint16_t kChunkSecurityCycles = 0x0114;
constexpr uint16_t kChunkPhaseChange = 0x0115;
constexpr uint16_t kChunkFloatGap = 0x0116;
constexpr uint16_t kChunkBaudRate = 0x0117;
// Chunks 0x0100 to 0x01FF are the tape's signal; the others (origin,
// instructions, pictures, disc and ROM chunks) say something about it.
constexpr uint16_t kFirstTapeChunk = 0x0100;
constexpr uint16_t kLastTapeChunk = 0x01FF;

constexpr size_t kDefinedFormatSize = 3; // bits per packet, parity, stop bits

// Serial framing of a byte on tape.
constexpr int kDataBits = 8;
constexpr int kFrameBits = 1 + kDataBits + 1; // start, data, stop
// A run of more stop-level bits than a whole frame is carrier tone.
constexpr int kLongestIdleBits = kFrameBits;

constexpr uint8_t kSyncByte = 0x2A;
constexpr size_t kMaxNameLength = 10;
// Load 4, execution 4, block number 2, data length 2, flag 1, spare 4.
constexpr size_t kHeaderFieldsSize = 17;
constexpr size_t kCrcSize = 2;
// The most a block holds as the machines write it; a header whose CRC is
// wrong and which claims more is taken for noise, not a block.
constexpr size_t kLargestBlock = 256;
constexpr uint8_t kLastBlockFlag = 0x80;
constexpr uint8_t kEmptyBlockFlag = 0x40;
constexpr uint8_t kLockedFlag = 0x01;

// A tape image, compressed or not, is far smaller than this; a gzip file
// that inflates past it is given up.
constexpr size_t kLargestTape = 16 * 1024 * 1024;
} // namespace uef

// CRC-16 with polynomial 0x1021, initial value 0, not reflected
// (CRC-16/XMODEM: "123456789" gives 0x31C3).
uint16_t TapeCrc(std::span<const uint8_t> bytes);

// True when the bytes start with the UEF signature, or with gzip's magic
// number 0x1F 0x8B.
bool IsUef(std::span<const uint8_t> bytes);
bool IsGzip(std::span<const uint8_t> bytes);

// The bytes of a gzip file (one member or several one after another).
struct Inflated {
    std::vector<uint8_t> bytes; // what was inflated, also when `problem` is set
    std::string problem;        // why inflating stopped early; empty when it did not
    bool tooLarge = false;      // it inflates past `limit`: `bytes` is empty then
};
Inflated InflateGzip(std::span<const uint8_t> gzip, size_t limit = uef::kLargestTape);

struct UefChunk {
    uint16_t id = 0;
    std::span<const uint8_t> body; // cut at the end of the file
    bool cutShort = false;         // the chunk claims more bytes than the file holds
};

// The chunks after the 12-byte header, in file order. Bytes too few for a
// chunk header at the end are ignored.
std::vector<UefChunk> ReadUefChunks(std::span<const uint8_t> uefFile);

// The bytes of a stretch of tape that runs without carrier or gap.
using TapeStretch = std::vector<uint8_t>;

// Bytes decoded from raw bits (the lowest bit of each byte first; `bitCount`
// of them): every start bit 0 with its eight data bits and a stop bit 1.
// A frame whose stop bit is 0, and a run of stop-level bits longer than a
// frame, end a stretch; a frame cut by the end of the bits is dropped.
std::vector<TapeStretch> DecodeFramedBits(std::span<const uint8_t> bits, size_t bitCount);

// The number of bits a 0x0102 chunk holds: its bytes after the first, less
// the unused bits the first byte names. Some writers count those bits from
// the chunk's start, 8 more, so only the count modulo 8 is taken.
size_t RawBitCount(std::span<const uint8_t> body);

// What the bytes of a tape are and what could not be read.
struct TapeBytes {
    std::vector<TapeStretch> stretches;
    size_t framingErrors = 0;     // frames in raw bits without their stop bit
    size_t otherFormatChunks = 0; // 0x0104 chunks in another format than 8N1, not read
    std::string otherFormats;     // those formats, "8E1, 7O2"
};

TapeBytes ReadTapeBytes(std::span<const UefChunk> chunks);

// The format of a 0x0104 chunk as written, "8N1"; "?" for a chunk too short.
std::string DefinedFormat(std::span<const uint8_t> body);

struct TapeBlock {
    std::string name; // the stored bytes, 1 to 10, no NUL
    uint32_t load = 0;
    uint32_t exec = 0;
    uint16_t number = 0;
    uint16_t length = 0; // as the header states it
    uint8_t flag = 0;
    bool headerCrcOk = false;
    bool dataCrcOk = false;    // true for a block without data
    bool cutShort = false;     // its data or data CRC runs past the end of the stretch
    std::vector<uint8_t> data; // as far as the stretch holds it
    bool last() const { return (flag & uef::kLastBlockFlag) != 0; }
    bool locked() const { return (flag & uef::kLockedFlag) != 0; }
};

// The blocks of one stretch. A block stands at a sync byte followed by a
// name of 1 to 10 non-NUL bytes, its NUL and the rest of the header. Its
// header CRC must be right, except for the first sync byte of the stretch
// or the first after a block, where the block is taken with its CRC marked
// wrong as long as it claims at most 256 bytes of data.
std::vector<TapeBlock> ReadTapeBlocks(std::span<const uint8_t> stretch);

// Something wrong with a file's blocks.
struct TapeFault {
    enum class Kind {
        HeaderCrc,   // block `first`'s header CRC is wrong
        DataCrc,     // block `first`'s data CRC is wrong
        CutShort,    // block `first` ends before its data or data CRC
        Missing,     // blocks `first` to `last` are not on the tape
        NoLastBlock, // the tape goes on after block `first` without the file's last block
    };
    Kind kind = Kind::Missing;
    uint16_t first = 0;
    uint16_t last = 0;
};

struct TapeFile {
    std::string name;  // the stored bytes of its first block
    uint32_t load = 0; // of its first block
    uint32_t exec = 0;
    uint32_t length = 0; // the data of its blocks read
    int blocks = 0;      // blocks read
    bool locked = false; // a block is marked locked
    std::vector<TapeFault> faults;
    std::vector<uint8_t> data;        // its blocks' data, one after another
    std::vector<TapeBlock> blockList; // without their data
    // Every block from 0 to the last is there and whole; CRCs may still be wrong.
    bool whole() const;
    bool damaged() const { return !faults.empty(); }
};

// The files the blocks make, in tape order. A block joins the file before
// it when it has the same name and a higher block number and that file has
// not had its last block; every other block starts a file. Block numbers
// skipped are marked missing, and so are the numbers before the first block
// of a file that does not start at block 0.
std::vector<TapeFile> GroupTapeFiles(std::vector<TapeBlock> blocks);

// A fault in words, block numbers in hexadecimal as the machines show them:
// "block 03 header CRC wrong", "blocks 05-06 missing", "no last block after 07".
std::string TapeFaultText(const TapeFault& fault);

// The name as text: the stored bytes in the code page of disk names.
std::string TapeFileName(const TapeFile& file);

// A file as a box of the catalogue panel shows it: the name padded to ten
// characters, then "!" for a damaged file or a space, then "L" for a locked
// file or a space.
std::string TapeFileEntry(const TapeFile& file);

// A UEF file read whole.
struct UefTape {
    uint8_t minorVersion = 0;
    uint8_t majorVersion = 0;
    bool compressed = false;
    std::vector<std::pair<uint16_t, size_t>> chunkCounts; // by id, ascending
    bool chunksCutShort = false;                          // the file ends inside a chunk
    TapeBytes bytes;                                      // without the stretches
    std::vector<TapeFile> files;
    std::string inflateProblem; // a gzip file that ends early or is damaged
};

struct UefTapeRead {
    std::optional<UefTape> tape;
    std::string error; // why the bytes are no UEF tape image
};

// Reads a UEF file, gzip-compressed or not.
UefTapeRead ReadUefTape(std::span<const uint8_t> file);

} // namespace tavrin
