#pragma once
// A temporary folder for one test, removed with all it holds afterwards, and
// a guard that makes it the current folder for the test's length.

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace tavrin::test {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavrin-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes a file (creating its folders) and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& content = "x") const
    {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

private:
    std::filesystem::path path_;
};

class CurrentDir {
public:
    explicit CurrentDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~CurrentDir()
    {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
    }
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

private:
    std::filesystem::path old_;
};

inline std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A zip archive as Debian's zip writes it, its entries' headers all
// declaring `size` bytes, whatever they hold.
inline std::string withDeclaredSize(std::string zip, uint32_t size)
{
    for (auto [signature, offset] : {std::pair{"PK\x03\x04", 22}, {"PK\x01\x02", 24}})
        for (size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4))
            for (int i = 0; i < 4; ++i)
                zip[at + offset + i] = static_cast<char>(size >> (8 * i));
    return zip;
}

} // namespace tavrin::test
