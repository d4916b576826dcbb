#pragma once
// Finding a title in the catalogue grid: the search that shows only the rows
// whose publisher, title or genre contain a text, and the type-ahead that
// jumps to the first row whose title (else publisher) starts with what was
// typed. Both compare without regard to letter case and never change the
// grid's rows: the view hides what a search does not show.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class FlexGrid;

// One flag per grid row: 1 when the row is shown.
using RowsShown = std::vector<uint8_t>;

// True when `text` contains `part`, letter case ignored (an empty part is
// found in every text).
bool ContainsIgnoringCase(std::string_view text, std::string_view part);
// True when `text` starts with `part`, letter case ignored.
bool StartsWithIgnoringCase(std::string_view text, std::string_view part);

// The rows whose Publisher, Software or Genre contain `text`. When `narrow`
// is given (the result for a text that `text` starts with) only the rows it
// shows are looked at again.
RowsShown GridSearchRows(const FlexGrid& grid, std::string_view text,
                         const RowsShown* narrow = nullptr);

// The first row, in grid order and among the shown rows (all when `shown`
// is empty), whose Software starts with `prefix`; when none does, the first
// whose Publisher does; -1 when neither.
int TypeAheadRow(const FlexGrid& grid, std::string_view prefix, const RowsShown& shown = {});

// The text typed so far: keys typed within a short pause of each other add
// up; after the pause a key starts a new text.
class TypeAhead {
public:
    static constexpr int64_t kPauseMs = 1000;
    // Adds the typed text at the time `nowMs` and returns the whole text.
    const std::string& add(std::string_view typed, int64_t nowMs);
    void clear() { text_.clear(); }

private:
    std::string text_;
    int64_t lastMs_ = 0;
};

} // namespace tavrin
