#include "core/FlexGrid.h"
#include "core/TextHelpers.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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
        // Texts of 16, 24 and more bytes, equal but for their end or case.
        {"Superior Softwar", "Superior Software", -1},
        {"Lanternfish Software Ltd", "Lanternfish Software Ltdb", -1},
        {"Lanternfish Software Ltdb", "Lanternfish Software Ltd", 1},
        {"Lanternfish Software Ltd", "LANTERNFISH SOFTWARE LTD", 0},
        {"Lanternfish Software Limited", "lanternfish software limitee", -1},
        {"Lanternfish Software Limited", "Lanternfish Software Limited", 0},
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
    // A cell holds any bytes, NUL included, and long texts.
    const std::string odd("x\0y\x80\xFF", 5), tall(70000, '\0');
    g.setTextMatrix(0, 0, odd);
    EXPECT_EQ(g.TextMatrix(0, 0), odd);
    EXPECT_EQ(g.TextMatrix(0, 1), "b");
    g.setRowCells(2, {tall, odd, "ignored"});
    EXPECT_EQ(g.TextMatrix(2, 0), tall);
    EXPECT_EQ(g.TextMatrix(2, 1), odd);
    g.setTextMatrix(2, 0, "p");
    EXPECT_EQ(g.TextMatrix(2, 1), odd);
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

// The sort against a plain reference on rows whose keys share long prefixes,
// differ only in letter case or past their 16th byte, hold bytes above 0x7F
// or NUL, or read as numbers.
TEST(FlexGrid, SortAgreesWithAPlainReferenceOnAwkwardKeys)
{
    std::mt19937 rng(7);
    const std::vector<std::string> stems = {"Lanternfish Software Ltd", "lanternfish software ltd",
                                            "Lanternfish Softwa", "Lanternfish", "", " ", "Ärger",
                                            "\xC3\xA9t\xC3\xA9", "zebra", "Zebra",
                                            std::string("Zebra\0", 6), std::string(1, '\0')};
    auto cell = [&]() -> std::string {
        switch (rng() % 4) {
        case 0: return std::to_string(static_cast<int>(rng() % 200) - 50);
        case 1: return tavrin::concat({" ", std::to_string(rng() % 30), " "});
        default: {
            std::string s = stems[rng() % stems.size()];
            if (rng() % 2)
                s += static_cast<char>('a' + rng() % 3);
            return s;
        }
        }
    };
    auto isNumber = [](const std::string& s, double& v) {
        const size_t a = s.find_first_not_of(' ');
        if (a == std::string::npos)
            return false;
        const std::string t = s.substr(a, s.find_last_not_of(' ') - a + 1);
        if (t.find_first_not_of("-0123456789") != std::string::npos)
            return false;
        v = std::stod(t);
        return true;
    };
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return s;
    };
    auto less = [&](const std::string& a, const std::string& b) {
        double x = 0, y = 0;
        const bool na = isNumber(a, x), nb = isNumber(b, y);
        if (na && nb)
            return x < y;
        if (na != nb)
            return na;
        const std::string la = lower(a), lb = lower(b);
        return std::lexicographical_compare(la.begin(), la.end(), lb.begin(), lb.end(),
                                            [](char p, char q) {
                                                return static_cast<unsigned char>(p) <
                                                       static_cast<unsigned char>(q);
                                            });
    };
    for (int keys = 1; keys <= 4; ++keys) {
        SCOPED_TRACE(keys);
        std::vector<std::vector<std::string>> rows;
        for (int r = 0; r < 400; ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < keys; ++c)
                row.push_back(cell());
            row.push_back(std::to_string(r));
            rows.push_back(row);
        }
        FlexGrid g;
        fill(g, rows);
        sortBy(g, 0, keys - 1);
        std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
            for (int c = 0; c < keys; ++c) {
                if (less(a[c], b[c]))
                    return true;
                if (less(b[c], a[c]))
                    return false;
            }
            return false;
        });
        std::vector<std::string> expected;
        for (const auto& row : rows)
            expected.push_back(row.back());
        EXPECT_EQ(column(g, keys), expected);
    }
}
