#include "GridSearch.h"

#include "FlexGrid.h"

#include <QString>

#include <algorithm>

namespace tavrin {
namespace {

constexpr int kSearchedColumns[] = {0, 1, 2}; // Publisher, Software, Genre
constexpr int colPublisher = 0;
constexpr int colSoftware = 1;

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

inline char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

// `part` is lower-case ASCII; bytes of other characters in `text` never
// match it, so a byte-wise search is exact.
bool containsAsciiFolded(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    if (text.size() < part.size())
        return false;
    const char first = part[0];
    const char firstUpper = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 32) : first;
    const size_t last = text.size() - part.size();
    for (size_t i = 0; i <= last; ++i) {
        if (text[i] != first && text[i] != firstUpper)
            continue;
        size_t k = 1;
        while (k < part.size() && lower(text[i + k]) == part[k])
            ++k;
        if (k == part.size())
            return true;
    }
    return false;
}

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A part prepared once for many texts.
class Needle {
public:
    explicit Needle(std::string_view part)
        : ascii_(isAscii(part)), folded_(lowerAscii(part)), wide_(ascii_ ? QString() : qs(part))
    {
    }
    bool foundIn(std::string_view text) const
    {
        return ascii_ ? containsAsciiFolded(text, folded_)
                      : qs(text).contains(wide_, Qt::CaseInsensitive);
    }
    bool startOf(std::string_view text) const
    {
        if (ascii_) {
            if (text.size() < folded_.size())
                return false;
            for (size_t i = 0; i < folded_.size(); ++i)
                if (lower(text[i]) != folded_[i])
                    return false;
            return true;
        }
        return qs(text).startsWith(wide_, Qt::CaseInsensitive);
    }

private:
    bool ascii_;
    std::string folded_;
    QString wide_;
};

} // namespace

bool ContainsIgnoringCase(std::string_view text, std::string_view part)
{
    return Needle(part).foundIn(text);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view part)
{
    return Needle(part).startOf(text);
}

RowsShown GridSearchRows(const FlexGrid& grid, std::string_view text, const RowsShown* narrow)
{
    const int rows = grid.Rows();
    if (narrow && static_cast<int>(narrow->size()) != rows)
        narrow = nullptr;
    RowsShown shown(static_cast<size_t>(rows), 0);
    const Needle needle(text);
    for (int r = 0; r < rows; ++r) {
        if (narrow && !(*narrow)[static_cast<size_t>(r)])
            continue;
        bool found = false;
        for (int c : kSearchedColumns)
            if ((found = needle.foundIn(grid.TextMatrix(r, c))))
                break;
        shown[static_cast<size_t>(r)] = found ? 1 : 0;
    }
    return shown;
}

int TypeAheadRow(const FlexGrid& grid, std::string_view prefix, const RowsShown& shown)
{
    if (prefix.empty())
        return -1;
    const int rows = grid.Rows();
    const bool all = static_cast<int>(shown.size()) != rows;
    const Needle needle(prefix);
    for (int col : {colSoftware, colPublisher})
        for (int r = 0; r < rows; ++r)
            if ((all || shown[static_cast<size_t>(r)]) && needle.startOf(grid.TextMatrix(r, col)))
                return r;
    return -1;
}

const std::string& TypeAhead::add(std::string_view typed, int64_t nowMs)
{
    if (nowMs - lastMs_ > kPauseMs || nowMs < lastMs_)
        text_.clear();
    text_.append(typed);
    lastMs_ = nowMs;
    return text_;
}

} // namespace tavrin
