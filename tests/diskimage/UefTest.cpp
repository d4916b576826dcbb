// UEF tape images: CRCs, chunks, raw bits, blocks, files, gzip.

#include "TapeBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

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

// "NAME load exec length blocks locked faults|entry".
std::string summary(const TapeFile& file)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s %X %X %u %d %d", file.name.c_str(), file.load, file.exec,
                  file.length, file.blocks, int(file.locked));
    std::string line = text;
    for (const TapeFault& f : file.faults)
        line += "; " + TapeFaultText(f);
    return line + "|" + TapeFileEntry(file);
}

// Bytes framed as on tape (start bit 0, data lowest bit first, stop bit 1)
// after `idle` stop-level bits, packed lowest bit first behind the byte
// that counts the unused bits at the end.
Bytes rawBits(const Bytes& bytes, size_t idle, bool unusedFromChunkStart)
{
    const size_t count = idle + 10 * bytes.size();
    Bytes body((count + 7) / 8 + 1, 0);
    body[0] = uint8_t((body.size() - 1) * 8 - count + (unusedFromChunkStart ? 8 : 0));
    auto set = [&](size_t bit) { body[1 + bit / 8] |= uint8_t(1 << (bit % 8)); };
    for (size_t i = 0; i < idle; ++i)
        set(i);
    for (size_t n = 0; n < bytes.size(); ++n) {
        for (int k = 0; k < 8; ++k)
            if ((bytes[n] >> k) & 1)
                set(idle + 10 * n + 1 + size_t(k));
        set(idle + 10 * n + 9);
    }
    return body;
}

TEST(Uef, CrcIsXmodemStoredHighByteFirst)
{
    EXPECT_EQ(TapeCrc(bytesOf("123456789")), 0x31C3);
    EXPECT_EQ(TapeCrc(bytesOf("A")), 0x58E5);
    EXPECT_EQ(TapeCrc({}), 0);

    // A block written out whole by hand: ELITE, &FFFF1900, &FFFF8023, block
    // 0 of 256 zero bytes; header CRC &57BD, data CRC &0000.
    Bytes block = {0x2A, 'E', 'L', 'I', 'T', 'E', 0, 0x00, 0x19, 0xFF, 0xFF, 0x23, 0x80,
                   0xFF, 0xFF, 0, 0, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0x57, 0xBD};
    block.resize(block.size() + 256 + 2, 0);
    const std::vector<TapeBlock> blocks = ReadTapeBlocks(block);
    ASSERT_EQ(blocks.size(), 1u);
    const TapeBlock& b = blocks[0];
    EXPECT_EQ(std::tie(b.name, b.load, b.exec, b.number, b.length, b.headerCrcOk, b.dataCrcOk),
              std::make_tuple("ELITE", 0xFFFF1900u, 0xFFFF8023u, 0, 256, true, true));
    block[25] ^= 1; // at the start of a stretch a block is taken with its header CRC wrong
    EXPECT_FALSE(ReadTapeBlocks(block).at(0).headerCrcOk);
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
    const std::vector<std::string> expected = {
        "ELITE FFFF1900 FFFF8023 600 3 1|ELITE      L",
        "LOADER E00 E00 0 1 0|LOADER      ",
        "GAME 1900 8023 744 3 0; block 01 data CRC wrong; block 02 missing|GAME      ! ",
        "SCREEN 3000 0 44 1 0; block 00 missing|SCREEN    ! ",
        "MUSIC 2000 2000 10 1 0; block 00 header CRC wrong|MUSIC     ! ",
        "TAIL 1100 1100 414 2 0; block 01 cut short|TAIL      ! ",
    };
    std::vector<std::string> files;
    for (const TapeFile& file : read.tape->files) {
        files.push_back(summary(file));
        EXPECT_EQ(file.data.size(), file.length);
    }
    EXPECT_EQ(files, expected);
    EXPECT_EQ(read.tape->files[0].data, program);
    EXPECT_TRUE(read.tape->files[4].whole()); // only a CRC is wrong
    EXPECT_FALSE(read.tape->files[2].whole());
}

TEST(Uef, ReadsRawBitsAndDataInAStatedFormat)
{
    const Bytes block = tapeBlock("BITS", 0x1900, 0x1900, 0, bytesOf("10 PRINT"), 0x80);
    Bytes framingError = rawBits(bytesOf("x"), 1, false);
    framingError[2] &= ~4; // the stop bit, bit 10, is 0
    const Bytes stated = join({{8, 'N', 1}, block}), parity = join({{8, 'E', 1}, block});
    const UefTapeRead read = ReadUefTape(uefFile({
        uefChunk(0x0102, rawBits(block, 40, false)), carrier(),
        uefChunk(0x0102, rawBits(block, 0, true)), carrier(), uefChunk(0x0104, stated),
        uefChunk(0x0104, parity), uefChunk(0x0102, framingError),
        // A block split between a data chunk and raw bits is one stretch.
        carrier(), uefChunk(0x0100, Bytes(block.begin(), block.begin() + 9)),
        uefChunk(0x0102, rawBits(Bytes(block.begin() + 9, block.end()), 2, false)),
    }));
    ASSERT_TRUE(read.tape);
    std::vector<std::string> files;
    for (const TapeFile& file : read.tape->files)
        files.push_back(summary(file) + std::string(file.data.begin(), file.data.end()));
    EXPECT_EQ(files, std::vector<std::string>(4, "BITS 1900 1900 8 1 0|BITS        10 PRINT"));
    const TapeBytes& b = read.tape->bytes;
    EXPECT_EQ(std::tie(b.otherFormatChunks, b.otherFormats, b.framingErrors),
              std::make_tuple(1, "8E1", 1));
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
    EXPECT_EQ(InflateGzip(join({gzipped(Bytes(tape.begin(), tape.begin() + 100)),
                                gzipped(Bytes(tape.begin() + 100, tape.end()))}))
                  .bytes,
              tape);
    const Inflated tooLarge = InflateGzip(gz, tape.size() - 1);
    EXPECT_TRUE(tooLarge.tooLarge && tooLarge.bytes.empty());
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
