#include "EntryName.h"

#include <fnmatch.h>

#include <algorithm>

namespace varnock::engine {
namespace {

bool HasDriveLetter(std::string_view name)
{
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

bool IsControl(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

std::vector<std::string> SplitParts(std::string_view name)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    parts.push_back(std::move(part));
    return parts;
}

} // namespace

std::string Printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (IsControl(c)) {
            out += '^';
            out += c == 0x7F ? '?' : static_cast<char>(c + 0x40);
        } else {
            out += c;
        }
    }
    return out;
}

std::string EntryPath::joined() const
{
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty())
            out += '/';
        out += part;
    }
    return out;
}

EntryPath ClassifyEntryName(std::string_view name, bool junkFolders, bool spaceToUnderscore)
{
    EntryPath result;
    auto unsafe = [&](const char* reason) {
        result.verdict = EntryPath::Verdict::Unsafe;
        result.reason = reason;
        result.parts.clear();
        return result;
    };
    if (name.empty())
        return unsafe("an empty name");
    if (name.front() == '/' || name.front() == '\\')
        return unsafe("an absolute path");
    if (HasDriveLetter(name))
        return unsafe("a drive letter");
    bool directory = name.back() == '/' || name.back() == '\\';
    bool controls = false;
    for (std::string& part : SplitParts(name)) {
        auto control = std::remove_if(part.begin(), part.end(), IsControl);
        controls = controls || control != part.end();
        part.erase(control, part.end());
        if (part == "..")
            return unsafe("a name that climbs out of the extraction folder");
        if (part.empty() || part == ".")
            continue;
        if (spaceToUnderscore)
            for (char& c : part)
                if (c == ' ')
                    c = '_';
        result.parts.push_back(std::move(part));
    }
    if (result.parts.empty() && controls)
        return unsafe("a name made of control characters only");
    if (result.parts.empty()) {
        result.verdict = EntryPath::Verdict::Nothing;
        return result;
    }
    if (directory) {
        if (junkFolders) {
            result.parts.clear();
            result.verdict = EntryPath::Verdict::Nothing;
        } else {
            result.verdict = EntryPath::Verdict::Directory;
        }
        return result;
    }
    if (junkFolders)
        result.parts = {result.parts.back()};
    result.verdict = EntryPath::Verdict::File;
    return result;
}

bool LinkStaysInside(const std::vector<std::string>& linkParts, std::string_view target)
{
    if (target.empty() || target.front() == '/' || target.front() == '\\' || HasDriveLetter(target))
        return false;
    // The link's folder, then the target's parts walked from there.
    long depth = static_cast<long>(linkParts.size()) - 1;
    if (depth < 0)
        return false;
    for (const std::string& part : SplitParts(target)) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (--depth < 0)
                return false;
        } else {
            ++depth;
        }
    }
    return true;
}

bool MatchPattern(std::string_view pattern, std::string_view name, bool caseSensitive)
{
    std::string p(pattern), n(name);
    int flags = caseSensitive ? 0 : FNM_CASEFOLD;
    return fnmatch(p.c_str(), n.c_str(), flags) == 0;
}

} // namespace varnock::engine
