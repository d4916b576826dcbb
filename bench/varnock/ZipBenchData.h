#pragma once
// Files of the kinds a BBC Micro software collection holds, made from fixed
// seeds so that every run packs the same bytes:
//   - prose: manuals and READMEs, English words in Zipf proportions,
//     wrapped at 72 columns (deflate packs it about 2.5:1, as real text);
//   - tokenised BBC BASIC programs;
//   - DFS disk images (catalogue, BASIC, machine code and screen files,
//     the rest of the disk in the formatter's fill);
//   - pictures that are already compressed: PNG files (zlib inside), to
//     stand beside the JPEG and GIF pictures of the sample data.

#include <string>

namespace bench {

std::string Prose(size_t size, unsigned seed);
std::string BasicProgram(size_t size, unsigned seed);
// A single-sided image of 400 (40 tracks) or 800 (80 tracks) sectors.
std::string DiskImage(unsigned sectors, unsigned seed);
std::string Png(unsigned width, unsigned height, unsigned seed);

} // namespace bench
