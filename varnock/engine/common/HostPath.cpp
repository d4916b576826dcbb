#include "HostPath.h"

#include <dirent.h>
#include <locale.h>
#include <sys/stat.h>
#include <wctype.h>

#include <vector>

namespace varnock::engine {
namespace {

locale_t Utf8Locale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` without regard to case, or
// `name` itself when there is none.
std::string MatchEntry(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return name;
    std::string found = name;
    while (dirent* entry = readdir(dir)) {
        if (SameNameIgnoringCase(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string ToSlashes(std::string_view path)
{
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

namespace {

// Maps each character of UTF-8 text through `map` (ASCII directly, other
// code points through the C.UTF-8 locale).
template <class Map>
std::string MapCase(std::string_view name, Map map)
{
    std::string out;
    out.reserve(name.size());
    locale_t locale = Utf8Locale();
    size_t i = 0;
    while (i < name.size()) {
        auto lead = static_cast<unsigned char>(name[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(map(lead, nullptr)));
            ++i;
            continue;
        }
        int extra = lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                  : lead >= 0xF0 && lead < 0xF5 ? 3 : 0;
        bool valid = extra > 0 && i + extra < name.size();
        char32_t cp = lead & (0x7F >> (extra + 1));
        for (int k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<unsigned char>(name[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        if (locale)
            cp = map(cp, locale);
        AppendUtf8(out, cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

} // namespace

std::string FoldCase(std::string_view name)
{
    return MapCase(name, [](char32_t cp, locale_t locale) -> char32_t {
        if (!locale)
            return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
        return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), locale));
    });
}

std::string UpperCase(std::string_view text)
{
    return MapCase(text, [](char32_t cp, locale_t locale) -> char32_t {
        if (!locale)
            return cp >= 'a' && cp <= 'z' ? cp - 32 : cp;
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), locale));
    });
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() == b.size()) {
        bool ascii = true, same = true;
        for (size_t i = 0; i < a.size() && same; ++i) {
            auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
            if (x >= 0x80 || y >= 0x80) {
                ascii = false;
                break;
            }
            same = (x | (x >= 'A' && x <= 'Z' ? 0x20 : 0)) == (y | (y >= 'A' && y <= 'Z' ? 0x20 : 0));
        }
        if (ascii)
            return same;
    }
    return FoldCase(a) == FoldCase(b);
}

std::string ResolveHostPath(std::string_view path)
{
    std::string text = ToSlashes(path);
    if (text.empty() || Exists(text))
        return text;
    std::string result = text.front() == '/' ? "/" : "";
    bool matching = true; // once a part is missing, later parts cannot exist
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        std::string part = text.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        std::string candidate = result.empty() || result.back() == '/' ? result + part
                                                                          : result + "/" + part;
        if (matching && part != "." && part != ".." && !Exists(candidate)) {
            std::string found = MatchEntry(result.empty() ? "." : result, part);
            if (found == part)
                matching = false;
            candidate = result.empty() || result.back() == '/' ? result + found
                                                                : result + "/" + found;
        }
        result = candidate;
    }
    if (text.size() > 1 && text.back() == '/' && result.back() != '/')
        result += '/';
    return result;
}

} // namespace varnock::engine
