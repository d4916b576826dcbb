#include "ZipBenchData.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace bench {
namespace {

const char* const kCommonWords[] = {
    "the", "of", "and", "to", "a", "in", "is", "you", "that", "it", "for", "on", "with", "as",
    "are", "this", "be", "at", "or", "from", "by", "your", "can", "have", "an", "will", "not",
    "all", "each", "which", "when", "one", "key", "game", "disc", "press", "screen", "if",
    "there", "then", "use", "file", "program", "load", "level", "into", "out", "up", "more",
    "time", "its", "keys", "space", "bar", "run", "type", "before", "after", "first", "new",
    "may", "any", "other", "only", "these", "score", "lives", "player", "cassette", "memory",
    "machine", "micro", "computer", "joystick", "sound", "colour", "mode", "basic", "command",
    "return", "shift", "escape", "break", "copy", "save", "chain", "drive", "track", "sector",
    "catalogue", "title", "option", "boot", "copyright", "reserved", "instructions", "loading",
    "through", "around", "room", "door", "treasure", "monster", "caves", "maze", "bonus",
    "points", "extra", "life", "time", "left", "right", "down", "fire", "jump", "collect",
    "avoid", "must", "find", "way", "back", "again", "over", "under", "also", "some", "most",
    "were", "was", "has", "had", "been", "would", "could", "should", "their", "them", "they",
    "what", "about", "while", "where", "until", "every", "many", "much", "such", "same",
    "number", "sheet", "screenshot", "version", "release", "manual", "chapter", "page", "see",
    "note", "example", "following", "shown", "below", "above", "given", "called", "known",
};

// The rarer words of a text: made of syllables, as a spelling would be.
std::string RareWord(std::mt19937& random)
{
    static const char* const syllables[] = {"ca", "ro", "ten", "mi", "sto", "qua", "ver", "lan",
                                            "tra", "po", "ge", "nic", "al", "bur", "dor", "ex",
                                            "ly", "tion", "ment", "ing", "er", "ous", "ble"};
    std::string word;
    int count = 2 + static_cast<int>(random() % 3);
    for (int i = 0; i < count; ++i)
        word += syllables[random() % (sizeof syllables / sizeof *syllables)];
    return word;
}

class Vocabulary {
public:
    explicit Vocabulary(std::mt19937& random)
    {
        for (const char* word : kCommonWords)
            words_.emplace_back(word);
        while (words_.size() < 4000)
            words_.push_back(RareWord(random));
        double sum = 0;
        for (size_t rank = 1; rank <= words_.size(); ++rank) {
            sum += 1.0 / static_cast<double>(rank);
            cumulative_.push_back(sum);
        }
    }

    const std::string& pick(std::mt19937& random) const
    {
        double at = std::uniform_real_distribution<double>(0, cumulative_.back())(random);
        size_t index = static_cast<size_t>(
            std::lower_bound(cumulative_.begin(), cumulative_.end(), at) - cumulative_.begin());
        return words_[std::min(index, words_.size() - 1)];
    }

private:
    std::vector<std::string> words_;
    std::vector<double> cumulative_;
};

void PutBe32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(v >> shift));
}

void PngChunk(std::string& out, const char* type, const std::string& data)
{
    PutBe32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    PutBe32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                             static_cast<uInt>(body.size()))));
}

// BBC BASIC's tokens for the keywords a program uses most.
const unsigned char kTokens[] = {0xF1, 0xE5, 0xE3, 0xED, 0xEF, 0xE7, 0x8C, 0x8B, 0xF4, 0xD6,
                                 0xEB, 0xE6, 0xF5, 0xFD, 0xF8, 0xDE, 0xB3, 0xE4, 0xF6, 0x80};
const char* const kBasicText[] = {"X%", "Y%", "A$", "score%", "lives%", "=", "+1", ",", ";",
                                  "\"PRESS SPACE\"", "(I%)", "1000", "&7C00", "TO", " ", " ",
                                  "FNkey", "PROCdraw", ":", "0"};

} // namespace

std::string Prose(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    static const Vocabulary vocabulary = [] {
        std::mt19937 r(1981);
        return Vocabulary(r);
    }();
    std::string out, line;
    out.reserve(size + 100);
    bool sentenceStart = true;
    int sentenceLeft = 0, paragraphLeft = 4 + static_cast<int>(random() % 6);
    while (out.size() < size) {
        if (sentenceLeft == 0)
            sentenceLeft = 5 + static_cast<int>(random() % 16);
        std::string word = vocabulary.pick(random);
        if (sentenceStart)
            word[0] = static_cast<char>(word[0] - 'a' + 'A');
        sentenceStart = false;
        if (--sentenceLeft == 0) {
            word += random() % 8 ? "." : "!";
            sentenceStart = true;
        } else if (random() % 9 == 0) {
            word += ",";
        }
        if (line.size() + 1 + word.size() > 72) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        if (sentenceStart && --paragraphLeft == 0) {
            out += line + "\n\n";
            line.clear();
            paragraphLeft = 4 + static_cast<int>(random() % 6);
        }
    }
    out.resize(size);
    return out;
}

std::string BasicProgram(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out;
    unsigned number = 10;
    while (out.size() + 8 < size) {
        std::string body;
        size_t length = 8 + random() % 40;
        while (body.size() < length) {
            if (random() % 3 == 0)
                body.push_back(static_cast<char>(kTokens[random() % sizeof kTokens]));
            else
                body += kBasicText[random() % (sizeof kBasicText / sizeof *kBasicText)];
        }
        body.resize(std::min<size_t>(body.size(), 251));
        out.push_back('\r');
        out.push_back(static_cast<char>(number >> 8));
        out.push_back(static_cast<char>(number & 0xFF));
        out.push_back(static_cast<char>(body.size() + 4));
        out += body;
        number += 10;
    }
    out += "\r\xFF";
    return out;
}

std::string DiskImage(unsigned sectors, unsigned seed)
{
    std::mt19937 random(seed);
    const size_t sectorSize = 256;
    std::string image(sectors * sectorSize, random() % 2 ? '\xE5' : '\0');
    std::string files;
    std::vector<std::pair<std::string, size_t>> catalogue; // name, length
    size_t used = 2 * sectorSize;
    size_t room = image.size() * (40 + random() % 50) / 100;
    for (unsigned i = 0; i < 31 && used < room; ++i) {
        std::string data;
        switch (random() % 3) {
        case 0:
            data = BasicProgram(1000 + random() % 12000, seed * 31 + i);
            break;
        case 1: { // machine code: bytes of a few kinds, unevenly spread
            data.resize(500 + random() % 8000);
            for (char& c : data)
                c = static_cast<char>(random() % 4 ? random() % 64 + 0x20 : random() % 256);
            break;
        }
        default: { // a screen: rows of a picture, 20 KB in MODE 1
            data.resize(20480);
            for (size_t at = 0; at < data.size(); ++at)
                data[at] = static_cast<char>((at / 640 + at % 8 * 3 + random() % 5 / 4 * random()) & 0xFF);
            break;
        }
        }
        size_t length = std::min(data.size(), image.size() - used);
        std::copy_n(data.begin(), length, image.begin() + static_cast<long>(used));
        catalogue.emplace_back("FILE" + std::to_string(i), length);
        used += (length + sectorSize - 1) / sectorSize * sectorSize;
    }
    std::string title = "GAMES" + std::to_string(seed % 1000) + "      ";
    std::copy_n(title.begin(), 8, image.begin());
    std::copy_n(title.begin() + 8, 4, image.begin() + sectorSize);
    for (size_t i = 0; i < catalogue.size(); ++i) {
        std::string name = (catalogue[i].first + "       ").substr(0, 7) + "$";
        std::copy_n(name.begin(), 8, image.begin() + static_cast<long>(8 + i * 8));
        size_t info = sectorSize + 8 + i * 8;
        image[info + 4] = static_cast<char>(catalogue[i].second & 0xFF);
        image[info + 5] = static_cast<char>(catalogue[i].second >> 8);
    }
    image[sectorSize + 5] = static_cast<char>(catalogue.size() * 8);
    image[sectorSize + 6] = static_cast<char>(0x30 | (sectors >> 8));
    image[sectorSize + 7] = static_cast<char>(sectors & 0xFF);
    return image;
}

std::string Png(unsigned width, unsigned height, unsigned seed)
{
    std::mt19937 random(seed);
    // A photograph-like picture: soft shapes of colour, and grain.
    std::string raw;
    raw.reserve(size_t(height) * (width * 3 + 1));
    double fx = 0.01 + (random() % 100) / 5000.0, fy = 0.01 + (random() % 100) / 5000.0;
    for (unsigned y = 0; y < height; ++y) {
        raw.push_back('\0'); // filter: none
        for (unsigned x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                double base = 128 + 100 * std::sin(x * fx * (c + 1) + y * fy) * std::cos(y * fy * (3 - c));
                raw.push_back(static_cast<char>(std::clamp(base + static_cast<int>(random() % 24) - 12, 0.0, 255.0)));
            }
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);
    std::string header;
    PutBe32(header, width);
    PutBe32(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    PngChunk(png, "IHDR", header);
    PngChunk(png, "IDAT", packed);
    PngChunk(png, "IEND", "");
    return png;
}

} // namespace bench
