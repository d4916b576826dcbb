#include "Paths.h"

#include "TextHelpers.h"

#include <QString>

#include <system_error>

namespace fs = std::filesystem;

namespace tavrin {
namespace {

bool sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() == b.size()) {
        bool same = true;
        for (size_t i = 0; i < a.size() && same; ++i) {
            unsigned char x = a[i], y = b[i];
            if (x >= 0x80 || y >= 0x80)
                return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
            same = foldAsciiCase(x) == foldAsciiCase(y);
        }
        return same;
    }
    // Differently long UTF-8 can still fold to the same name ("Ä" and "ä" do not
    // differ in length, but some letters do).
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

// The entry of `dir` whose name equals `name` without regard to case, or
// `name` itself when there is none (or `dir` cannot be listed).
std::string matchEntry(const fs::path& dir, const std::string& name)
{
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
    if (ec)
        return name;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string entry = it->path().filename().string();
        if (sameNameIgnoringCase(entry, name))
            return entry;
    }
    return name;
}

} // namespace

fs::path OsPath(std::string_view path)
{
    std::string text(path);
    for (char& c : text)
        if (c == '\\')
            c = '/';
    fs::path exact(text);
    std::error_code ec;
    if (text.empty() || fs::exists(fs::symlink_status(exact, ec)))
        return exact;

    fs::path result = exact.root_path();
    bool matching = true; // once a part is missing, later parts cannot exist
    for (const fs::path& part : exact.relative_path()) {
        std::string name = part.string();
        if (name.empty() || name == "." || name == "..") {
            result /= part;
            continue;
        }
        fs::path candidate = result / name;
        if (matching && !fs::exists(fs::symlink_status(candidate, ec))) {
            std::string found = matchEntry(result, name);
            candidate = result / found;
            if (found == name)
                matching = false;
        }
        result = std::move(candidate);
    }
    if (!text.empty() && text.back() == '/')
        result /= "";
    return result;
}

std::string OsPathString(std::string_view path) { return OsPath(path).string(); }

} // namespace tavrin
