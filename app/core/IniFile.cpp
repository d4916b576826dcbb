#include "IniFile.h"
#include "TextHelpers.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tavrin {
namespace {

// The file is scanned line by line, the same way for reading and writing, so
// that a write finds exactly the line a read took its value from.

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// One line: [begin, contentEnd) is its text, [contentEnd, end) its line
// ending ("\n", "\r\n" or none on a last line).
struct Line {
    std::size_t begin = 0;
    std::size_t contentEnd = 0;
    std::size_t end = 0;
};

enum class LineKind { Blank, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;      // the section's or the key's name
    std::size_t valueBegin = 0; // a key's: the byte after its "="
};

Line lineAt(std::string_view text, std::size_t begin)
{
    Line l;
    l.begin = begin;
    const std::size_t lf = text.find('\n', begin);
    if (lf == std::string_view::npos) {
        l.contentEnd = l.end = text.size();
        return l;
    }
    l.end = lf + 1;
    l.contentEnd = lf > begin && text[lf - 1] == '\r' ? lf - 1 : lf;
    return l;
}

ParsedLine parseLine(std::string_view text, const Line& l)
{
    std::size_t from = l.begin;
    if (from == 0 && text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        from = std::min(kByteOrderMark.size(), l.contentEnd);
    const std::string_view content = text.substr(from, l.contentEnd - from);
    ParsedLine p;
    const std::size_t first = content.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        p.kind = LineKind::Blank;
        return p;
    }
    if (content[first] == '[') {
        p.kind = LineKind::Section;
        const std::string_view rest = content.substr(first + 1);
        p.name = trim(rest.substr(0, rest.find(']')));
        return p;
    }
    if (content[first] == ';')
        return p;
    const std::size_t eq = content.find('=', first);
    if (eq == std::string_view::npos)
        return p;
    p.kind = LineKind::Key;
    p.name = trim(content.substr(first, eq - first));
    p.valueBegin = from + eq + 1;
    return p;
}

// Calls visit(line, parsed, sectionName, inSection) for every line.
template <typename Visit>
void forEachLine(std::string_view text, Visit&& visit)
{
    std::string_view section;
    bool inSection = false;
    for (std::size_t at = 0; at < text.size();) {
        const Line l = lineAt(text, at);
        const ParsedLine p = parseLine(text, l);
        if (p.kind == LineKind::Section) {
            section = p.name;
            inSection = true;
        }
        visit(l, p, section, inSection);
        at = l.end;
    }
}

// Where a key stands, or where it goes. Sections of the same name count as
// one; the first key of a name wins. A new key goes to the end of the first
// section of the name.
struct Place {
    bool keyFound = false;
    Line keyLine;
    std::size_t valueBegin = 0;
    bool sectionFound = false;
    Line lastLineOfSection; // the first section's last line that is not blank
};

Place locate(std::string_view text, std::string_view section, std::string_view key)
{
    Place place;
    bool inside = false;
    bool inFirst = false;
    forEachLine(text, [&](const Line& l, const ParsedLine& p, std::string_view name, bool) {
        if (p.kind == LineKind::Section) {
            inside = sameName(name, section);
            inFirst = inside && !place.sectionFound;
            place.sectionFound = place.sectionFound || inside;
        }
        if (!inside)
            return;
        if (inFirst && p.kind != LineKind::Blank)
            place.lastLineOfSection = l;
        if (p.kind == LineKind::Key && !place.keyFound && sameName(p.name, key)) {
            place.keyFound = true;
            place.keyLine = l;
            place.valueBegin = p.valueBegin;
        }
    });
    return place;
}

std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

std::string readValue(std::string_view text, const Place& place)
{
    const std::string_view raw =
        text.substr(place.valueBegin, place.keyLine.contentEnd - place.valueBegin);
    return CutIniValue(unquote(trim(raw)));
}

// A value as it is written after "=": in double quotes when reading would
// otherwise drop blanks at its ends or quotes around it.
std::string encodeValue(std::string_view v)
{
    if (v.empty())
        return {};
    auto blank = [](char c) { return kBlanks.find(c) != std::string_view::npos; };
    if (blank(v.front()) || blank(v.back()) || unquote(v).size() != v.size())
        return concat({"\"", v, "\""});
    return std::string(v);
}

// The file's own line ending: that of its first line, "\n" when it has none.
std::string_view lineEndingOf(std::string_view text)
{
    const Line first = lineAt(text, 0);
    if (first.end == first.contentEnd)
        return "\n";
    return first.end - first.contentEnd == 2 ? std::string_view("\r\n") : std::string_view("\n");
}

bool lastLineIsBlank(std::string_view text)
{
    bool blank = true;
    forEachLine(text, [&](const Line&, const ParsedLine& p, std::string_view, bool) {
        blank = p.kind == LineKind::Blank;
    });
    return blank;
}

std::string nameProblem(std::string_view name, const char* what, std::string_view forbidden)
{
    if (name.empty())
        return std::string("an empty ") + what + " name";
    if (trim(name).size() != name.size())
        return std::string("the ") + what + " name \"" + std::string(name) +
               "\" begins or ends with a blank";
    if (name.find_first_of(forbidden) != std::string_view::npos)
        return std::string("the ") + what + " name \"" + std::string(name) +
               "\" holds a character the file cannot hold there";
    return {};
}

} // namespace

std::string CutIniValue(std::string_view value, std::size_t maxChars)
{
    // A value ends at its first NUL, as a C string would.
    value = value.substr(0, value.find('\0'));
    std::size_t end = 0;
    std::size_t chars = 0;
    while (end < value.size() && chars < maxChars) {
        const std::size_t n = utf8SequenceLength(value, end);
        if (n == 0) // not UTF-8: one byte is one character
            return std::string(value.substr(0, maxChars));
        end += n;
        ++chars;
    }
    // The rest must be UTF-8 too, or the text is taken as bytes.
    for (std::size_t i = end; i < value.size();) {
        const std::size_t n = utf8SequenceLength(value, i);
        if (n == 0)
            return std::string(value.substr(0, maxChars));
        i += n;
    }
    return std::string(value.substr(0, end));
}

IniFile::IniFile(std::filesystem::path file) : file_(std::move(file)) {}

bool IniFile::load(std::string* error)
{
    text_.clear();
    changed_ = false;
    unread_ = true;
    auto fail = [error](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    std::error_code ec;
    const auto status = std::filesystem::status(file_, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        unread_ = false;
        return true;
    }
    if (ec)
        return fail(ec.message());
    if (std::filesystem::is_directory(status))
        return fail("it is a folder");
    if (!std::filesystem::is_regular_file(status))
        return fail("it is not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(file_, ec);
    if (!ec && size > kMaxFileSize)
        return fail("it is too large for a settings file (" + std::to_string(size) + " bytes)");
    auto systemReason = [](const char* otherwise) {
        return errno != 0 ? std::string(std::strerror(errno)) : std::string(otherwise);
    };
    errno = 0;
    std::ifstream in(file_, std::ios::binary);
    if (!in)
        return fail(systemReason("it cannot be opened"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return fail(systemReason("it cannot be read"));
    text_ = std::move(text);
    unread_ = false;
    return true;
}

void IniFile::setBytes(std::string bytes)
{
    text_ = std::move(bytes);
    changed_ = false;
    unread_ = false;
}

std::string IniFile::notTextReason() const
{
    // Tabs, line feeds, vertical tabs, form feeds and carriage returns are
    // the only control bytes a text file holds.
    for (std::size_t i = 0; i < text_.size(); ++i) {
        const auto c = static_cast<unsigned char>(text_[i]);
        if ((c < 0x20 && (c < '\t' || c > '\r')) || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", c);
            return "it holds bytes that are no text (byte " + std::string(hex) + " at offset " +
                   std::to_string(i) + ")";
        }
    }
    return {};
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const
{
    const Place place = locate(text_, section, key);
    if (!place.keyFound)
        return CutIniValue(defaultValue);
    return readValue(text_, place);
}

std::vector<std::pair<std::string, std::string>> IniFile::Keys() const
{
    std::vector<std::pair<std::string, std::string>> keys;
    forEachLine(text_, [&](const Line&, const ParsedLine& p, std::string_view section,
                           bool inSection) {
        if (p.kind == LineKind::Key && inSection && !p.name.empty())
            keys.emplace_back(section, p.name);
    });
    return keys;
}

bool IniFile::SetString(std::string_view section, std::string_view key, std::string_view value,
                        std::string* error)
{
    using namespace std::string_view_literals;
    std::string problem = nameProblem(section, "section", "]\n"sv);
    if (problem.empty())
        problem = nameProblem(key, "key", "=\n"sv);
    if (problem.empty() && (key.front() == '[' || key.front() == ';'))
        problem = "the key name \"" + std::string(key) + "\" would read as a section or a comment";
    if (problem.empty() && value.find_first_of("\n\0"sv) != std::string_view::npos)
        problem = "the value of \"" + std::string(key) + "\" holds a line break or a NUL byte";
    if (!problem.empty()) {
        if (error)
            *error = problem;
        return false;
    }

    const Place place = locate(text_, section, key);
    const std::string_view eol = lineEndingOf(text_);
    const std::string line = std::string(key) + "=" + encodeValue(value);
    if (place.keyFound) {
        if (readValue(text_, place) == value)
            return true;
        text_.replace(place.valueBegin, place.keyLine.contentEnd - place.valueBegin,
                      encodeValue(value));
    } else if (place.sectionFound) {
        // After the section's last line that is not blank.
        const Line& last = place.lastLineOfSection;
        const std::string added = (last.end == last.contentEnd ? std::string(eol) : std::string()) +
                                  line + std::string(eol);
        text_.insert(last.end, added);
    } else {
        // A new section at the end, one blank line after the text before it.
        std::string added;
        if (!text_.empty()) {
            if (text_.back() != '\n')
                added += eol;
            if (!lastLineIsBlank(text_))
                added += eol;
        }
        added += "[" + std::string(section) + "]" + std::string(eol) + line + std::string(eol);
        text_ += added;
    }
    changed_ = true;
    return true;
}

bool IniFile::save(std::string* error)
{
    if (unread_) {
        if (error)
            *error = "it could not be read, so it is not written over";
        return false;
    }
    if (!changed_)
        return true;
    // QSaveFile writes beside the file and renames, keeps the old file's
    // permissions, and refuses a file that is read-only.
    QSaveFile out(QFile::decodeName(file_.c_str()));
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = out.errorString().toStdString();
        return false;
    }
    const auto size = static_cast<qint64>(text_.size());
    if (out.write(text_.data(), size) != size) {
        if (error)
            *error = out.errorString().toStdString();
        out.cancelWriting();
        return false;
    }
    // QSaveFile keeps a small file in its buffer until commit, and commit
    // does not notice when that last write fails (a full disk): it would put
    // an empty file in place of the old one. So the buffer is written out
    // and checked first.
    if (!out.flush()) {
        if (error)
            *error = out.errorString().toStdString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        if (error)
            *error = out.errorString().toStdString();
        return false;
    }
    changed_ = false;
    return true;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file)
{
    IniFile ini(file);
    if (!ini.load())
        return CutIniValue(defaultValue);
    return ini.GetString(section, key, defaultValue);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::filesystem::path& file,
                               std::string* error)
{
    IniFile ini(file);
    if (!ini.load(error))
        return false;
    return ini.SetString(section, key, value, error) && ini.save(error);
}

} // namespace tavrin
