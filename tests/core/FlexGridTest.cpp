#include "core/FlexGrid.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tavrin::FlexGrid;

namespace {

std::vector<std::string> column(const FlexGrid& g, int col)
{
    std::vector<std::string> out;
    for (int r = 0; r < g.Rows(); ++r)
        out.emplace_back(g.TextMatrix(r, col));
    return out;
}

void fill(FlexGrid& g, const std::vector<std::vector<std::string>>& rows)
{
    g.setCols(static_cast<int>(rows.front().size()));
    g.setRows(static_cast<int>(rows.size()));
    for (int r = 0; r < g.Rows(); ++r)
        for (int c = 0; c < g.Cols(); ++c)
            g.setTextMatrix(r, c, rows[r][c]);
}

void sortBy(FlexGrid& g, int first, int last)
{
    g.setCol(first);
    g.setColSel(last);
    g.setSort(FlexGrid::flexSortGenericAscending);
}

} // namespace

TEST(GenericOrder, NumbersCompareAsNumbersBeforeTextAndTextIgnoresCase)
{
    struct Row {
        const char* a;
        const char* b;
        int expected;
    };
    const Row rows[] = {
        {"9", "10", -1},     {"10", "9", 1},       {"2.5", "2.50", 0},   {"-3", "2", -1},
        {" 7 ", "7", 0},     {"1e3", "999", 1},    {"10", "abc", -1},    {"abc", "10", 1},
        {"apple", "Banana", -1}, {"ACORN", "acorn", 0}, {"a", "ab", -1}, {"", "a", -1},
        {" ", "a", -1},      {"1a", "1b", -1},     {"+4", "3", 1},       {".5", "0.4", 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.a) + " vs " + r.b);
        EXPECT_EQ(tavrin::compareGenericKeys(r.a, r.b), r.expected);
    }
    EXPECT_FALSE(tavrin::readsAsNumber(""));
    EXPECT_FALSE(tavrin::readsAsNumber("  "));
    EXPECT_FALSE(tavrin::readsAsNumber("-"));
    EXPECT_FALSE(tavrin::readsAsNumber("12 13"));
    EXPECT_FALSE(tavrin::readsAsNumber("0x10"));
}

TEST(FlexGrid, SortsOverTheKeyColumnsFromColToColSelAndKeepsTiesInOrder)
{
    FlexGrid g;
    fill(g, {{"beta", "b", "1"},
             {"Alpha", "z", "2"},
             {"alpha", "a", "3"},
             {"10", "x", "4"},
             {"9", "x", "5"},
             {"beta", "b", "6"}});
    sortBy(g, 0, 1);
    EXPECT_EQ(column(g, 2), (std::vector<std::string>{"5", "4", "3", "2", "1", "6"}));
    // Selection given right to left is the same range.
    sortBy(g, 1, 0);
    EXPECT_EQ(column(g, 2), (std::vector<std::string>{"5", "4", "3", "2", "1", "6"}));
    // One key column: ties keep the order they had.
    sortBy(g, 1, 1);
    EXPECT_EQ(column(g, 2), (std::vector<std::string>{"3", "1", "6", "5", "4", "2"}));
}

TEST(FlexGrid, CellsKeepTheirTextThroughShapeChanges)
{
    FlexGrid g;
    fill(g, {{"a", "b", "c"}, {"d", "", "f"}});
    g.setCols(5);
    EXPECT_EQ(g.TextMatrix(1, 2), "f");
    EXPECT_EQ(g.TextMatrix(1, 4), "");
    g.setCols(2);
    EXPECT_EQ(g.Cols(), 2);
    EXPECT_EQ(g.TextMatrix(0, 1), "b");
    EXPECT_EQ(g.TextMatrix(0, 2), ""); // outside the grid
    g.setRows(3);
    EXPECT_EQ(g.TextMatrix(2, 0), "");
    EXPECT_EQ(g.TextMatrix(0, 0), "a");
    g.setTextMatrix(0, 0, std::string("x\0y", 3));
    EXPECT_EQ(g.TextMatrix(0, 0), "x y");
    EXPECT_EQ(g.TextMatrix(0, 1), "b");
    g.setRowCells(2, {"p", "q", "ignored"});
    EXPECT_EQ(g.TextMatrix(2, 1), "q");
    g.Clear();
    EXPECT_EQ(g.Rows(), 3);
    EXPECT_EQ(g.TextMatrix(0, 1), "");
    g.setRows(0);
    EXPECT_EQ(g.Rows(), 0);
    g.setSort(FlexGrid::flexSortGenericAscending); // nothing to sort, nothing fails
}

TEST(FlexGrid, IsAWellBehavedModelAndReportsTheCurrentCellAfterABatch)
{
    FlexGrid g;
    QAbstractItemModelTester tester(&g, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy current(&g, &FlexGrid::currentCellChanged);
    QSignalSpy reset(&g, &FlexGrid::modelReset);
    {
        FlexGrid::Batch batch(g);
        g.setCols(8);
        g.setRows(1000);
        for (int r = 0; r < 1000; ++r)
            g.setTextMatrix(r, 0, std::to_string(1000 - r));
        g.setCol(0);
        g.setRow(0);
        EXPECT_EQ(current.count(), 0);
    }
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(current.count(), 1);
    sortBy(g, 0, 0);
    EXPECT_EQ(g.TextMatrix(0, 0), "1");
    EXPECT_EQ(g.data(g.index(999, 0)).toString(), QStringLiteral("1000"));
    g.setRows(10);
    g.setCols(3);
}
