#pragma once
// An initialisation file ("bbc.ini"): sections in square brackets and
// key=value lines, read and written as Windows reads and writes them.
//
// - Sections and keys are matched without regard to letter case.
// - A missing file, section or key gives the caller's default.
// - A value is read into a buffer of 255 characters, so at most 254
//   characters of it come back.
// - The first of two keys of the same name wins on reading; writing a key
//   replaces it and keeps every other section, key and comment of the file.
// - A value held in matching double quotes comes back without them.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tavrin {

class IniFile {
public:
    // Characters of a value that reading returns at most.
    static constexpr std::size_t kMaxValueLength = 254;

    explicit IniFile(std::filesystem::path file);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the file. A missing file is an empty one and no error; a file
    // that exists but cannot be read gives false and `error`.
    bool load(std::string* error = nullptr);

    // The value of `key` in `section`, cut to kMaxValueLength characters;
    // `defaultValue` (cut the same way) when the section or key is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

    // Sets or adds a key; the file changes only with save().
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    // Writes the file: beside the old one and renamed over it, so a failure
    // leaves the old file whole. False with `error` when it cannot be written.
    bool save(std::string* error = nullptr) const;

    const std::filesystem::path& path() const { return file_; }

private:
    struct Data;
    std::filesystem::path file_;
    std::unique_ptr<Data> d_;
};

// The first `maxChars` characters of a value: UTF-8 characters when the text
// is valid UTF-8, bytes otherwise.
std::string CutIniValue(std::string_view value, std::size_t maxChars = IniFile::kMaxValueLength);

// The two platform calls, each on the whole file.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file);
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file,
                               std::string* error = nullptr);

} // namespace tavrin
