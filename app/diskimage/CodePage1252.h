#pragma once
// The 8-bit code page in which disk titles and file names are stored.
//
// Disk images made on Windows carry their text in Windows-1252. Bytes 0x00 to
// 0x7F are ASCII, 0xA0 to 0xFF are Latin-1, and 0x80 to 0x9F hold the
// typographic characters of Windows-1252; the five bytes that code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of
// the same number, as Windows itself maps them, so that every byte reads as
// one character and writes back as the same byte.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavrin
{

// The character a byte stands for.
char32_t Cp1252ToUnicode(uint8_t byte);

// The byte of a character, or "?" when the code page cannot hold it.
uint8_t UnicodeToCp1252(char32_t c);

// The bytes as UTF-8 text, one character for each byte.
std::string Cp1252ToUtf8(std::span<const uint8_t> bytes);

// Appends one character to UTF-8 text.
void AppendUtf8(std::string& text, char32_t c);

} // namespace tavrin
