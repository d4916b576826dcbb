#pragma once
// Paths as the engines take them: Windows-style text ("C:\GAMES",
// "Disks\Acme\game.zip") made usable on Linux.

#include <string>
#include <string_view>

namespace varnock::engine {

// Backslashes become "/".
std::string ToSlashes(std::string_view path);

// The name in lower case (Unicode simple case mapping of UTF-8 text; bytes
// that are not UTF-8 stay as they are).
std::string FoldCase(std::string_view name);

// The text in upper case (the same mapping for UTF-8 text; other bytes stay
// as they are): "c:\games" gives "C:\GAMES".
std::string UpperCase(std::string_view text);

bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// Appends one code point to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Backslashes become "/", and where the exact path does not exist each part
// of it is matched against the folder's entries without regard to letter
// case, as Windows would. Parts that match nothing are kept as written.
std::string ResolveHostPath(std::string_view path);

} // namespace varnock::engine
