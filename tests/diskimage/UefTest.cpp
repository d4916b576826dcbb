// UEF tape images: CRCs, chunks, raw bits, blocks, files, gzip.

#include "TapeBytes.h"

#include <gtest/gtest.h>

using namespace tavrin;
using namespace tavrin::test;

namespace
{

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes join(const std::vector<Bytes>& parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string faults(const TapeFile& file)
{
    std::string text;
    for (const TapeFault& f : file.faults)
        text += (text.empty() ? "" : "; ") + TapeFaultText(f);
    return text;
}

// Bytes framed as on tape (start bit 0, data lowest bit first, stop bit 1)
// after `idle` stop-level bits, packed lowest bit first behind the byte
// that counts the unused bits at the end.
Bytes rawBits(const Bytes& bytes, int idle, bool unusedFromChunkStart)
{
    std::vector<int> bits(size_t(idle), 1);
    for (uint8_t b : bytes) {
        bits.push_back(0);
        for (int k = 0; k < 8; ++k)
            bits.push_back((b >> k) & 1);
        bits.push_back(1);
    }
    const int unused = int((8 - bits.size() % 8) % 8);
    Bytes body{uint8_t(unused + (unusedFromChunkStart ? 8 : 0))};
    for (size_t i = 0; i < bits.size(); ++i) {
        if (i % 8 == 0)
            body.push_back(0);
        body.back() = uint8_t(body.back() | (bits[i] << (i % 8)));
    }
    return body;
}

TEST(Uef, CrcIsXmodemStoredHighByteFirst)
{
    const struct {
        Bytes bytes;
        uint16_t crc;
    } rows[] = {{bytesOf("123456789"), 0x31C3}, {bytesOf("A"), 0x58E5}, {{}, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(TapeCrc(row.bytes), row.crc);

    // A block written out whole by hand: ELITE, &FFFF1900, &FFFF8023, block
    // 0 of 256 zero bytes; header CRC &57BD, data CRC &0000.
    Bytes block = {0x2A, 'E', 'L', 'I', 'T', 'E', 0, 0x00, 0x19, 0xFF, 0xFF, 0x23, 0x80,
                   0xFF, 0xFF, 0, 0, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0x57, 0xBD};
    block.resize(block.size() + 256 + 2, 0);
    const std::vector<TapeBlock> blocks = ReadTapeBlocks(block);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].name, "ELITE");
    EXPECT_EQ(blocks[0].load, 0xFFFF1900u);
    EXPECT_EQ(blocks[0].exec, 0xFFFF8023u);
    EXPECT_EQ(blocks[0].length, 256);
    EXPECT_TRUE(blocks[0].headerCrcOk && blocks[0].dataCrcOk && !blocks[0].cutShort);
    block[25] ^= 1; // at the start of a stretch a block is taken with its header CRC wrong
    const std::vector<TapeBlock> wrong = ReadTapeBlocks(block);
    ASSERT_EQ(wrong.size(), 1u);
    EXPECT_FALSE(wrong[0].headerCrcOk);
}

TEST(Uef, GroupsBlocksIntoFilesAndMarksWhatIsWrong)
{
    Bytes program(600);
    for (size_t i = 0; i < program.size(); ++i)
        program[i] = uint8_t(i * 7);
    std::vector<Bytes> chunks{uefChunk(0x0000, bytesOf("Made by hand")), carrier()};
    for (const Bytes& b : fileBlocks("ELITE", 0xFFFF1900, 0xFFFF8023, program, true))
        chunks.insert(chunks.end(), {uefChunk(0x0100, b), carrier(), uefChunk(0x0112, {0x20, 0})});
    chunks.push_back(uefChunk(0x0100, tapeBlock("LOADER", 0x0E00, 0x0E00, 0, {}, 0xC0)));
    std::vector<Bytes> game = fileBlocks("GAME", 0x1900, 0x8023, Bytes(1000, 'G'));
    game[1][game[1].size() - 5] ^= 0x10;
    chunks.insert(chunks.end(), {uefChunk(0x0100, join({game[0], game[1]})), uefChunk(0xFF00, {1}),
                                 uefChunk(0x0120, {}), uefChunk(0x0100, game[3]), carrier()});
    chunks.push_back(uefChunk(0x0100, fileBlocks("SCREEN", 0x3000, 0, Bytes(300, 'S'))[1]));
    Bytes badHeader = fileBlocks("MUSIC", 0x2000, 0x2000, Bytes(10, 'M'))[0];
    badHeader[20] ^= 0xFF; // a spare byte
    chunks.insert(chunks.end(), {carrier(), uefChunk(0x0100, badHeader), carrier()});
    const std::vector<Bytes> tail = fileBlocks("TAIL", 0x1100, 0x1100, Bytes(512, 'T'));
    Bytes cut = uefChunk(0x0100, join(tail));
    cut.resize(cut.size() - 100);
    chunks.push_back(cut);

    const UefTapeRead read = ReadUefTape(uefFile(chunks));
    ASSERT_TRUE(read.tape) << read.error;
    EXPECT_EQ(read.tape->majorVersion, 0);
    EXPECT_EQ(read.tape->minorVersion, 10);
    EXPECT_TRUE(read.tape->chunksCutShort);
    const struct {
        const char* name;
        uint32_t load, exec, length;
        int blocks;
        bool locked;
        const char* faults;
        const char* entry;
    } rows[] = {
        {"ELITE", 0xFFFF1900, 0xFFFF8023, 600, 3, true, "", "ELITE      L"},
        {"LOADER", 0x0E00, 0x0E00, 0, 1, false, "", "LOADER      "},
        {"GAME", 0x1900, 0x8023, 256 * 2 + 232, 3, false,
         "block 01 data CRC wrong; block 02 missing", "GAME      ! "},
        {"SCREEN", 0x3000, 0, 44, 1, false, "block 00 missing", "SCREEN    ! "},
        {"MUSIC", 0x2000, 0x2000, 10, 1, false, "block 00 header CRC wrong", "MUSIC     ! "},
        {"TAIL", 0x1100, 0x1100, 256 + 256 - 100 + 2, 2, false,
         "block 01 cut short", "TAIL      ! "},
    };
    ASSERT_EQ(read.tape->files.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const TapeFile& file = read.tape->files[i];
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(file.name, rows[i].name);
        EXPECT_EQ(file.load, rows[i].load);
        EXPECT_EQ(file.exec, rows[i].exec);
        EXPECT_EQ(file.length, rows[i].length);
        EXPECT_EQ(file.data.size(), rows[i].length);
        EXPECT_EQ(file.blocks, rows[i].blocks);
        EXPECT_EQ(file.locked, rows[i].locked);
        EXPECT_EQ(faults(file), rows[i].faults);
        EXPECT_EQ(TapeFileEntry(file), rows[i].entry);
    }
    EXPECT_EQ(read.tape->files[0].data, program);
    EXPECT_TRUE(read.tape->files[4].whole()); // only a CRC is wrong
    EXPECT_FALSE(read.tape->files[2].whole());
}

TEST(Uef, ReadsRawBitsAndDataInAStatedFormat)
{
    const Bytes block = tapeBlock("BITS", 0x1900, 0x1900, 0, bytesOf("10 PRINT"), 0x80);
    Bytes framingError = rawBits(bytesOf("x"), 1, false);
    framingError[2] &= ~4; // the stop bit, bit 10, is 0
    Bytes stated = {8, 'N', 1};
    stated.insert(stated.end(), block.begin(), block.end());
    Bytes parity = {8, 'E', 1};
    parity.insert(parity.end(), block.begin(), block.end());
    const std::vector<Bytes> halves = {Bytes(block.begin(), block.begin() + 9),
                                       Bytes(block.begin() + 9, block.end())};
    const UefTapeRead read = ReadUefTape(uefFile({
        uefChunk(0x0102, rawBits(block, 40, false)), carrier(),
        uefChunk(0x0102, rawBits(block, 0, true)), carrier(), uefChunk(0x0104, stated),
        uefChunk(0x0104, parity), uefChunk(0x0102, framingError),
        // A block split between a data chunk and raw bits is one stretch.
        carrier(), uefChunk(0x0100, halves[0]), uefChunk(0x0102, rawBits(halves[1], 2, false)),
    }));
    ASSERT_TRUE(read.tape);
    ASSERT_EQ(read.tape->files.size(), 4u);
    for (const TapeFile& file : read.tape->files) {
        EXPECT_EQ(file.name, "BITS");
        EXPECT_EQ(file.data, bytesOf("10 PRINT"));
        EXPECT_FALSE(file.damaged());
    }
    EXPECT_EQ(read.tape->bytes.otherFormatChunks, 1u);
    EXPECT_EQ(read.tape->bytes.otherFormats, "8E1");
    EXPECT_EQ(read.tape->bytes.framingErrors, 1u);
}

TEST(Uef, ReadsGzipWithinItsBoundAndSaysWhatIsNoTape)
{
    const Bytes tape = uefFile({carrier(), uefChunk(0x0100, fileBlocks("A", 0, 0, Bytes(700, 1))[0]),
                                uefChunk(0x0100, fileBlocks("B", 0, 0, Bytes(20, 2))[0])});
    const Bytes gz = gzipped(tape);
    UefTapeRead read = ReadUefTape(gz);
    ASSERT_TRUE(read.tape) << read.error;
    EXPECT_TRUE(read.tape->compressed);
    EXPECT_EQ(read.tape->files.size(), 2u);

    // Two members one after the other inflate as one file.
    Bytes halves = gzipped(Bytes(tape.begin(), tape.begin() + 100));
    const Bytes second = gzipped(Bytes(tape.begin() + 100, tape.end()));
    halves.insert(halves.end(), second.begin(), second.end());
    EXPECT_EQ(InflateGzip(halves).bytes, tape);
    EXPECT_TRUE(InflateGzip(gz, tape.size() - 1).tooLarge);
    EXPECT_TRUE(InflateGzip(gz, tape.size() - 1).bytes.empty());
    EXPECT_EQ(InflateGzip(gz, tape.size()).bytes, tape);

    // Cut short: what inflated is read, and the cut is told.
    read = ReadUefTape(Bytes(gz.begin(), gz.end() - 30));
    ASSERT_TRUE(read.tape);
    EXPECT_EQ(read.tape->inflateProblem, "the compressed data ends early");
    EXPECT_EQ(read.tape->files.at(0).name, "A");

    const struct {
        Bytes file;
        const char* error;
    } rows[] = {
        {bytesOf("UEF File!"), "it does not start with \"UEF File!\" and a NUL"},
        {bytesOf(std::string_view("UEF File!\0\x0A", 11)), "it ends before its version bytes"},
        {gzipped(bytesOf("$.ELITE")), "inflated, it does not start with \"UEF File!\" and a NUL"},
        {Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3, 0xFF}, "it is gzip-compressed, but the "
                                                          "compressed data is damaged"},
        {gzipped(Bytes(uef::kLargestTape + 1, 0)),
         "it inflates to more than 16 MB, more than any tape image holds"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ReadUefTape(row.file).error, row.error);
}

} // namespace
