// The search and type-ahead over the catalogue grid.

#include "core/FlexGrid.h"
#include "core/GridSearch.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

void fill(FlexGrid& g, const std::vector<std::vector<std::string>>& rows)
{
    g.setCols(8);
    g.setRows(static_cast<int>(rows.size()));
    for (int r = 0; r < g.Rows(); ++r)
        for (int c = 0; c < static_cast<int>(rows[static_cast<size_t>(r)].size()); ++c)
            g.setTextMatrix(r, c, rows[static_cast<size_t>(r)][static_cast<size_t>(c)]);
}

// Publisher, Software, Genre, Filepath, ..., Description1.
const std::vector<std::vector<std::string>> kRows = {
    {"Acornsoft", "Elite", "Space", "elite.ssd", "0", "0", "trading in SPACE"},
    {"Superior", "Repton", "Arcade", "repton.ssd"},
    {"Bug-Byte", "Manic Miner", "Platform", "manic.ssd"},
    {"Élan", "Éclair", "Puzzle", "eclair.ssd"},
    {"Micro Power", "Ghouls", "Platform", "ghouls.ssd"},
    {"Acornsoft", "Aviator", "Simulation", "aviator.ssd"},
};

TEST(GridSearch, ShowsRowsWhosePublisherSoftwareOrGenreContainTheText)
{
    FlexGrid g;
    fill(g, kRows);
    struct Case {
        const char* text;
        RowsShown shown;
    } cases[] = {
        {"", {1, 1, 1, 1, 1, 1}},
        {"acorn", {1, 0, 0, 0, 0, 1}},
        {"ACORN", {1, 0, 0, 0, 0, 1}},
        {"platFORM", {0, 0, 1, 0, 1, 0}},   // genre
        {"ton", {0, 1, 0, 0, 0, 0}},        // inside a title
        {"space", {1, 0, 0, 0, 0, 0}},      // genre, not the description
        {"trading", {0, 0, 0, 0, 0, 0}},    // description is not searched
        {"ssd", {0, 0, 0, 0, 0, 0}},        // nor the file
        {"éCLAIR", {0, 0, 0, 1, 0, 0}},     // letters beyond ASCII
        {"ÉLAN", {0, 0, 0, 1, 0, 0}},
        {"zzz", {0, 0, 0, 0, 0, 0}},
        {"-b", {0, 0, 1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(GridSearchRows(g, c.text), c.shown);
    }
    // Narrowing from an earlier result gives the same rows.
    const RowsShown a = GridSearchRows(g, "a");
    EXPECT_EQ(GridSearchRows(g, "ac", &a), GridSearchRows(g, "ac"));
    // A narrowing result of another grid size is not trusted.
    const RowsShown wrong(2, 0);
    EXPECT_EQ(GridSearchRows(g, "ac", &wrong), GridSearchRows(g, "ac"));
}

TEST(GridSearch, TypeAheadFindsTheFirstTitleThenThePublisher)
{
    FlexGrid g;
    fill(g, kRows);
    const RowsShown notFirst = {0, 1, 1, 1, 1, 1};
    struct Case {
        const char* prefix;
        RowsShown shown;
        int row;
    } cases[] = {
        {"e", {}, 0},         // Elite before Éclair (É is another letter)
        {"éc", {}, 3},
        {"REP", {}, 1},
        {"a", {}, 5},         // title Aviator, before publisher Acornsoft
        {"acorn", {}, 0},     // no title: the first publisher
        {"micro p", {}, 4},
        {"acorn", notFirst, 5},
        {"e", notFirst, -1},
        {"x", {}, -1},
        {"", {}, -1},
        {"lite", {}, -1},     // the start only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix);
        EXPECT_EQ(TypeAheadRow(g, c.prefix, c.shown), c.row);
    }
}

TEST(GridSearch, TypedKeysAddUpUntilAPause)
{
    TypeAhead t;
    struct Step {
        const char* typed;
        int64_t at;
        const char* text;
    } steps[] = {
        {"r", 10000, "r"}, {"e", 10300, "re"}, {"p", 11300, "rep"},
        {"m", 12301, "m"}, {"a", 12000, "a"}, // a clock going back starts again
    };
    for (const Step& s : steps)
        EXPECT_EQ(t.add(s.typed, s.at), s.text) << s.typed;
    t.clear();
    EXPECT_EQ(t.add("z", 12001), "z");
}

} // namespace
} // namespace tavrin
