#pragma once
// An initialisation file ("bbc.ini"): sections in square brackets and
// key=value lines, read and written as Windows reads and writes them.
//
// Reading:
// - Sections and keys are matched without regard to letter case.
// - A missing file, section or key gives the caller's default.
// - Blanks around a key and its value are dropped; a value held in matching
//   double or single quotes comes back without them.
// - A value ends at its first NUL and is read into a buffer of 255
//   characters, so at most 254 characters of it come back.
// - The first of two keys of the same name wins.
// - Lines starting with ";" are comments; lines without "=" are skipped.
//
// Writing changes only the line of the key it writes, or adds one line (and
// the section's header when the section is new). Every other byte of the
// file stays as it was: comments, odd lines, quotes, repeated keys, NUL
// bytes, bytes that are not UTF-8 and the file's line endings. Writing the
// value a key already reads as changes nothing.
//
// A file saved as UTF-16 (as Windows editors save "Unicode" text: a byte-
// order mark, little- or big-endian; or without the mark, recognised by its
// first two characters) is read as its text and written back in UTF-16, the
// same way. UTF-16 that cannot be read back as it was written (an odd number
// of bytes) is a file that cannot be read, and so is never written over.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

class IniFile {
public:
    // Characters of a value that reading returns at most.
    static constexpr std::size_t kMaxValueLength = 254;
    // Larger files are no settings file and are not read.
    static constexpr std::uintmax_t kMaxFileSize = 16u << 20;

    explicit IniFile(std::filesystem::path file);

    // Reads the file. A missing file is an empty one and no error; a file
    // that exists but cannot be read gives false and why in `error`.
    bool load(std::string* error = nullptr);

    // The file's text (UTF-8 or single bytes) as last loaded or set, with the
    // changes made since.
    const std::string& bytes() const { return text_; }
    void setBytes(std::string bytes);

    // Takes the bytes of a file as load() takes them: UTF-16 is decoded.
    // False, with why in `error`, for bytes that cannot be read; the text
    // is then empty and never saved.
    bool setFileBytes(std::string bytes, std::string* error = nullptr);
    // The text encoded as the file was; nullopt, with why in `error`, when
    // it cannot be (never for a file read by setFileBytes and written by
    // SetString).
    std::optional<std::string> fileBytes(std::string* error = nullptr) const;

    // The value of `key` in `section`, cut to kMaxValueLength characters;
    // `defaultValue` (cut the same way) when the section or key is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

    // Every key of every section, in the order of the file.
    std::vector<std::pair<std::string, std::string>> Keys() const;

    // Sets or adds a key; the file changes only with save(). False, with why
    // in `error`, for a name or value the file cannot hold (a line break or
    // NUL in it, a key with "=", a section with "]", bytes that are not UTF-8
    // in a UTF-16 file).
    bool SetString(std::string_view section, std::string_view key, std::string_view value,
                   std::string* error = nullptr);

    // Writes the file when a key changed: beside the old one and renamed over
    // it, so a failure leaves the old file whole. False with `error` when it
    // cannot be written.
    bool save(std::string* error = nullptr);

    const std::filesystem::path& path() const { return file_; }

private:
    enum class Encoding { Bytes, Utf16LE, Utf16BE };

    std::filesystem::path file_;
    std::string text_;
    Encoding encoding_ = Encoding::Bytes;
    bool byteOrderMark_ = false; // UTF-16 only
    bool changed_ = false;
    bool unread_ = false; // the last load failed: never written over
};

// The first `maxChars` characters of a value, ending at its first NUL:
// UTF-8 characters when the text is valid UTF-8, bytes otherwise.
std::string CutIniValue(std::string_view value, std::size_t maxChars = IniFile::kMaxValueLength);

// The two platform calls, each on the whole file.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file);
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file,
                               std::string* error = nullptr);

} // namespace tavrin
