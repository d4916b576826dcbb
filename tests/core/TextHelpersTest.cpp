#include "core/TextHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tavrin;

TEST(TextHelpers, Utf8SequencesAndWhatIsNoUtf8)
{
    const struct {
        std::string bytes;
        size_t length; // of the sequence at the start, 0 for no UTF-8
        size_t characters;
    } rows[] = {
        {"a", 1, 1},
        {"\xC3\xA9", 2, 1},             // é
        {"\xE2\x82\xAC", 3, 1},         // €
        {"\xF0\x9F\x98\x80", 4, 1},     // U+1F600
        {"\xC0\xAF", 0, 2},             // overlong "/"
        {"\xE0\x80\xAF", 0, 3},         // overlong "/"
        {"\xED\xA0\x80", 0, 3},         // a surrogate
        {"\xF4\x90\x80\x80", 0, 4},     // above U+10FFFF
        {"\xE2\x82", 0, 2},             // cut short
        {"\xA0\xA0\xA0", 0, 3},         // stray continuation bytes
        {"\xFF", 0, 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(utf8SequenceLength(row.bytes, 0), row.length) << row.bytes;
        EXPECT_EQ(utf8CharacterCount(row.bytes), row.characters) << row.bytes;
    }
    EXPECT_EQ(utf8SequenceLength("", 0), 0u);
}

TEST(TextHelpers, OnlyAsciiLettersFoldCase)
{
    EXPECT_TRUE(equalsIgnoringAsciiCase("BBCSoftware", "bbcsoftware"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9")); // É and é are left to Qt
    EXPECT_FALSE(equalsIgnoringAsciiCase("[", "{"));
    EXPECT_EQ(compareIgnoringAsciiCase("abc", "ABD"), -1);
    EXPECT_EQ(compareIgnoringAsciiCase("ab", "AB"), 0);
    EXPECT_EQ(compareIgnoringAsciiCase("ab", "A"), 1);
}

TEST(TextHelpers, ASummaryListsTenNamesAndCountsTheRest)
{
    std::vector<std::string> names;
    EXPECT_EQ(ListedLines(names), "");
    for (int i = 1; i <= 12; ++i)
        names.push_back("Disc " + std::to_string(i) + ".ssd");
    const std::string text = ListedLines(names);
    EXPECT_EQ(text.rfind("\n  Disc 1.ssd\n  Disc 2.ssd", 0), 0u) << text;
    EXPECT_NE(text.find("\n  Disc 10.ssd\n  ... and 2 more"), std::string::npos) << text;
    EXPECT_EQ(text.find("Disc 11"), std::string::npos) << text;
}
