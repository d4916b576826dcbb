// libFuzzer target for the initialisation file: any bytes as "bbc.ini".
// Traps when a write touches more than the line of its key:
// - a file that can be read (UTF-16 too) encodes back to its very bytes;
// - writing back the value a key reads changes no byte of the file;
// - writing another value changes that key's line only (or adds one line,
//   and the section's header for a new section) and reads back as written;
// - every other line stays byte for byte, line endings included.

#include "core/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace tavrin;

namespace {

// The lines of a text with their line endings.
std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lf = text.find('\n', at);
        const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

// The written text is the original with line `changed` replaced, or with
// lines inserted; a last line before an insertion may have gained its
// line ending.
void checkOnlyTheKeysLinesDiffer(const std::string& before, const std::string& after)
{
    const std::vector<std::string> a = lines(before);
    const std::vector<std::string> b = lines(after);
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    const std::size_t goneFromA = a.size() - head - tail;
    const std::size_t newInB = b.size() - head - tail;
    if (goneFromA == 1 && newInB >= 1) {
        // A replaced line, or a last line that gained its line ending.
        if (newInB == 1)
            return;
        const std::string& last = a[head];
        if (b[head].compare(0, last.size(), last) != 0 ||
            (b[head].size() != last.size() + 1 && b[head].size() != last.size() + 2))
            __builtin_trap();
        return;
    }
    if (goneFromA == 0 && newInB >= 1 && newInB <= 4)
        return;
    __builtin_trap();
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the key to change; the rest is the file.
    const std::size_t pick = data[0];
    const std::string original(reinterpret_cast<const char*>(data) + 1, size - 1);

    IniFile ini("bbc.ini");
    if (!ini.setFileBytes(original))
        return 0; // cut UTF-16: never written
    if (ini.fileBytes() != original)
        __builtin_trap();
    const std::string text = ini.bytes(); // the file's text
    const auto keys = ini.Keys();

    // Writing back what a key reads changes nothing at all.
    for (std::size_t i = 0; i < keys.size() && i < 16; ++i) {
        const auto& [section, key] = keys[i];
        const std::string value = ini.GetString(section, key, "");
        (void)ini.SetString(section, key, value);
        if (ini.bytes() != text)
            __builtin_trap();
    }

    // A new value for one key (or for a new key in a new section).
    std::string section = "Fuzz Section";
    std::string key = "Form1.sBeebEmExec";
    if (!keys.empty() && pick < 200) {
        section = keys[pick % keys.size()].first;
        key = keys[pick % keys.size()].second;
    }
    const char* values[] = {"/usr/bin/b-em", "", " padded ", "\"quoted\"", "'a' \"b\"",
                            "\xE9l\xE8ve", "a\rb"};
    const std::string value = values[pick % (sizeof values / sizeof *values)];
    // No value read holds a line break: "\n" stands for a missing key.
    const std::string before = ini.GetString(section, key, "\n");
    if (!ini.SetString(section, key, value)) {
        if (ini.bytes() != text)
            __builtin_trap();
        return 0;
    }
    if (before == value) {
        if (ini.bytes() != text)
            __builtin_trap();
        return 0;
    }
    checkOnlyTheKeysLinesDiffer(text, ini.bytes());
    if (ini.GetString(section, key, "<none>") != value || !ini.fileBytes())
        __builtin_trap();
    // The other keys read as before.
    IniFile reread("bbc.ini");
    reread.setFileBytes(original);
    for (std::size_t i = 0; i < keys.size() && i < 16; ++i) {
        const auto& [s, k] = keys[i];
        if (sameName(s, section) && sameName(k, key))
            continue;
        if (ini.GetString(s, k, "<none>") != reread.GetString(s, k, "<none>"))
            __builtin_trap();
    }
    return 0;
}
