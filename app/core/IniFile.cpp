#include "IniFile.h"
#include "TextHelpers.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cerrno>
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

// UTF-16 as text: each character as UTF-8, and a code unit that is half of
// no pair (a lone surrogate) as its own three-byte sequence, so that the text
// encodes back to the very same bytes (a UTF-8 writer for display would put
// U+FFFD there).
void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian)
{
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? uint32_t(first) << 8 | second : uint32_t(second) << 8 | first;
    };
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < units; ++i) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        }
        appendUtf8(text, c);
    }
    return text;
}

// The inverse of decodeUtf16 into `out` (when given); false for bytes that
// are no UTF-8, which UTF-16 cannot hold.
bool encodeUtf16(std::string_view text, bool bigEndian, std::string* out)
{
    auto put = [&](uint32_t u) {
        if (!out)
            return;
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        *out += bigEndian ? high : low;
        *out += bigEndian ? low : high;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto b = [&](std::size_t k) { return uint32_t(static_cast<unsigned char>(text[i + k])); };
        std::size_t n = utf8SequenceLength(text, i);
        // A lone surrogate as decodeUtf16 keeps it: ED A0..BF 80..BF.
        if (n == 0 && i + 3 <= text.size() && b(0) == 0xED && b(1) >= 0xA0 && b(1) <= 0xBF &&
            (b(2) & 0xC0) == 0x80)
            n = 3;
        uint32_t c = 0;
        switch (n) {
        case 0: return false;
        case 1: c = b(0); break;
        case 2: c = (b(0) & 0x1F) << 6 | (b(1) & 0x3F); break;
        case 3: c = (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F); break;
        default: c = (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
        }
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
        i += n;
    }
    return true;
}

// UTF-16 without a byte-order mark: its first two characters are ASCII, each
// with a zero byte beside it, which no text in a single-byte encoding has.
bool looksLikeUtf16(std::string_view b, bool bigEndian)
{
    if (b.size() < 4)
        return false;
    auto ascii = [&](std::size_t i) {
        const auto c = static_cast<unsigned char>(b[i]);
        return c != 0 && c < 0x80;
    };
    const std::size_t zero = bigEndian ? 0 : 1;
    return b[zero] == 0 && b[zero + 2] == 0 && ascii(1 - zero) && ascii(3 - zero);
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
    return setFileBytes(std::move(text), error);
}

void IniFile::setBytes(std::string bytes)
{
    text_ = std::move(bytes);
    encoding_ = Encoding::Bytes;
    byteOrderMark_ = false;
    changed_ = false;
    unread_ = false;
}

bool IniFile::setFileBytes(std::string bytes, std::string* error)
{
    const std::string_view b = bytes;
    bool bigEndian = false;
    if (b.starts_with("\xFF\xFE") || b.starts_with("\xFE\xFF")) {
        byteOrderMark_ = true;
        bigEndian = b[0] == '\xFE';
    } else if (looksLikeUtf16(b, false) || looksLikeUtf16(b, true)) {
        byteOrderMark_ = false;
        bigEndian = b[0] == 0;
    } else {
        setBytes(std::move(bytes));
        return true;
    }
    changed_ = false;
    if (b.size() % 2 != 0) {
        text_.clear();
        unread_ = true;
        if (error)
            *error = "it is UTF-16 text with an odd number of bytes, so part of a character is "
                     "missing";
        return false;
    }
    encoding_ = bigEndian ? Encoding::Utf16BE : Encoding::Utf16LE;
    text_ = decodeUtf16(b.substr(byteOrderMark_ ? 2 : 0), bigEndian);
    unread_ = false;
    return true;
}

std::optional<std::string> IniFile::fileBytes(std::string* error) const
{
    if (encoding_ == Encoding::Bytes)
        return text_;
    const bool bigEndian = encoding_ == Encoding::Utf16BE;
    std::string out;
    out.reserve(2 * text_.size() + 2);
    if (byteOrderMark_)
        out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    if (!encodeUtf16(text_, bigEndian, &out)) {
        if (error)
            *error = "its text holds bytes that are not UTF-8, which a UTF-16 file cannot hold";
        return std::nullopt;
    }
    return out;
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
    if (problem.empty() && encoding_ != Encoding::Bytes &&
        !(encodeUtf16(section, false, nullptr) && encodeUtf16(key, false, nullptr) &&
          encodeUtf16(value, false, nullptr)))
        problem = "the value of \"" + std::string(key) +
                  "\" holds bytes that are not UTF-8, which a UTF-16 file cannot hold";
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
    const std::optional<std::string> bytes = fileBytes(error);
    if (!bytes)
        return false;
    // QSaveFile writes beside the file and renames, keeps the old file's
    // permissions, and refuses a file that is read-only.
    QSaveFile out(QFile::decodeName(file_.c_str()));
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = out.errorString().toStdString();
        return false;
    }
    const auto size = static_cast<qint64>(bytes->size());
    if (out.write(bytes->data(), size) != size) {
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
