#pragma once
// DFS discs shaped like those of real collections, built by the program's
// own image builder: a !BOOT that chains the game, a tokenised BASIC loader
// at &FF1900, a locked machine-code file, names with spaces, and as many
// more files as asked for (31 fill the catalogue).

#include "ImageBytes.h"

#include "diskimage/DiskCatalogue.h"
#include "diskimage/InfFile.h"

#include <string>
#include <string_view>

namespace tavrin::test
{

// A BBC BASIC program of `lines` lines, tokenised as BASIC stores it.
inline Bytes basicProgram(int lines, std::string_view words)
{
    Bytes program;
    for (int n = 1; n <= lines; ++n) {
        const std::string text = std::string("\xF1 \"") + std::string(words) + " " +
                                 std::to_string(n) + "\":\xE5 " + std::to_string(n * 10 + 100);
        program.push_back(0x0D);
        program.push_back(uint8_t((n * 10) >> 8));
        program.push_back(uint8_t(n * 10));
        program.push_back(uint8_t(text.size() + 4));
        program.insert(program.end(), text.begin(), text.end());
    }
    program.push_back(0x0D);
    program.push_back(0xFF);
    return program;
}

inline Bytes realDisc(std::string_view title, int moreFiles = 0, int programLines = 40)
{
    InfImage image(title);
    const std::string boot = "CHAIN \"LOADER\"\r";
    image.add(Bytes(boot.begin(), boot.end()), InfDescription{'$', "!BOOT", 0, 0, false, {}});
    image.add(basicProgram(programLines, title),
              InfDescription{'$', "LOADER", 0x1900, 0x8023, false, {}});
    Bytes code(3000);
    for (size_t i = 0; i < code.size(); ++i)
        code[i] = uint8_t(i * 7 + title.size());
    image.add(code, InfDescription{'$', "GAME", 0x1100, 0x1100, true, {}});
    image.add(basicProgram(5, "HIGH SCORES"), InfDescription{'D', "HI SCO", 0x0E00, 0x8023, false, {}});
    for (int n = 0; n < moreFiles; ++n)
        image.add(basicProgram(3 + n, "LEVEL"),
                  InfDescription{'L', "LEVEL" + std::to_string(n), 0x3000, 0x3000, n % 2 == 1, {}});
    Bytes bytes = image.bytes();
    WriteCatalogueTitle(bytes, title);
    bytes[dfs::kBootOptionOffset] = BootOptionByte(bytes[dfs::kBootOptionOffset], 3);
    return bytes;
}

// The same as a 40-track disc of 400 sectors.
inline Bytes fortyTrackDisc(std::string_view title)
{
    Bytes bytes = realDisc(title);
    bytes[dfs::kBootOptionOffset] = 0x31; // exec, sector count bits 8 and 9 = 1
    bytes[dfs::kSectorCountLowOffset] = 0x90;
    return bytes;
}

} // namespace tavrin::test
