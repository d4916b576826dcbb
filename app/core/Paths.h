#pragma once
// The one way a path from data or the user reaches the operating system.

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrin {

// Turns a stored path into one the operating system can open. Backslashes
// become "/", and where the exact path does not exist each part of it is
// matched against the folder's entries without regard to letter case, as
// Windows would: a catalogue made on Windows ("Images\logosp.jpg") works
// unchanged. Parts that match nothing are kept as written, so the result
// also names files and folders that are yet to be created.
std::filesystem::path OsPath(std::string_view path);

// The same path as UTF-8 text (for messages and for Qt).
std::string OsPathString(std::string_view path);

// True for "\" and "/", the two separators stored paths may use.
constexpr bool isPathSeparator(char c) { return c == '\\' || c == '/'; }

} // namespace tavrin
