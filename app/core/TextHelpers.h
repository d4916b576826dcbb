#pragma once
// Small text helpers shared by the program: letter case folded the way the
// catalogue and the file names need it (ASCII letters only, never the C
// locale's idea of a letter), the one UTF-8 decoder, and the joining of
// texts.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// 'A' to 'Z' become 'a' to 'z'; every other byte stays as it is.
constexpr unsigned char foldAsciiCase(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// The texts one after another. Text is joined with this rather than with
// "text" + std::string, on which GCC 12 at -O3 warns (-Wrestrict) about an
// overlap that cannot happen.
inline std::string concat(std::initializer_list<std::string_view> parts)
{
    std::size_t size = 0;
    for (std::string_view part : parts)
        size += part.size();
    std::string out;
    out.reserve(size);
    for (std::string_view part : parts)
        out.append(part);
    return out;
}

// The lines of a summary's list: each item on its own indented line, the
// first ten in full and then how many more there are.
inline std::string ListedLines(const std::vector<std::string>& items)
{
    constexpr std::size_t kShown = 10;
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i)
        text += concat({"\n  ", items[i]});
    if (items.size() > kShown)
        text += concat({"\n  ... and ", std::to_string(items.size() - kShown), " more"});
    return text;
}

// -1, 0 or 1: the two texts compared byte by byte with ASCII letters folded.
constexpr int compareIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = foldAsciiCase(static_cast<unsigned char>(a[i]));
        const unsigned char y = foldAsciiCase(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && compareIgnoringAsciiCase(a, b) == 0;
}

// The length of the well-formed UTF-8 sequence that starts at text[i]: 1 to
// 4, or 0 when the bytes there are no UTF-8 (a stray continuation byte, an
// overlong form, a surrogate, a code point above U+10FFFF, a cut sequence).
constexpr std::size_t utf8SequenceLength(std::string_view text, std::size_t i)
{
    if (i >= text.size())
        return 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + n > text.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((byte(k) & 0xC0) != 0x80)
            return 0;
    return n;
}

// True when the whole text is well-formed UTF-8.
constexpr bool isUtf8Text(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8SequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

// The number of characters of the text: one for each UTF-8 sequence, and one
// for each byte that is no UTF-8.
constexpr std::size_t utf8CharacterCount(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const std::size_t n = utf8SequenceLength(text, i);
        i += n == 0 ? 1 : n;
    }
    return count;
}

} // namespace tavrin
