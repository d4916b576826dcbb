// The callbacks of CodeModule and their text rules, called directly.

#include "CodeModule.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace varnock {
namespace {

// Writes `text` into a fresh thread state through OnUnzipPrint.
std::string PrintedByUnzip(std::string buffer, uint32_t size)
{
    ThreadMessageState() = MessageState{};
    OnUnzipPrint(buffer.data(), size);
    return ThreadMessageState().LastMessage;
}

std::string PrintedByZip(std::string buffer, uint32_t size)
{
    ThreadMessageState() = MessageState{};
    OnZipPrint(buffer.data(), size);
    return ThreadMessageState().LastMessage;
}

TEST(UnzipPrint, TextRules)
{
    struct Row {
        std::string buffer;
        uint32_t size;
        std::string expected;
    } rows[] = {
        {"inflating: a\n", 13, "inflating: a\n"},
        {"abcdef", 3, "abc"},                   // positions 0 to size - 1
        {std::string("ab\0cd", 5), 5, "ab"},    // stops at the first zero byte
        {"\n", 1, "\r\n"},                      // a line feed becomes CR LF
        {"\nmore text", 10, "\r\n"},            // ... and the whole text is CR LF
        {"text\n", 5, "text\n"},                // only a leading line feed counts
        {"", 0, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PrintedByUnzip(row.buffer, row.size), row.expected) << row.buffer;
}

TEST(UnzipPrint, NeverReadsBeyondPosition32800)
{
    std::string big(40000, 'x');
    EXPECT_EQ(PrintedByUnzip(big, 40000).size(), 32801u);
    EXPECT_EQ(PrintedByUnzip(big, 32800).size(), 32800u);
}

TEST(UnzipPrint, AppendsToPrintTextAndSetsLastMessage)
{
    ThreadMessageState() = MessageState{};
    std::string a = "one ", b = "two";
    OnUnzipPrint(a.data(), 4);
    OnUnzipPrint(b.data(), 3);
    EXPECT_EQ(ThreadMessageState().PrintText, "one two");
    EXPECT_EQ(ThreadMessageState().LastMessage, "one two");
}

TEST(ZipPrint, TextRules)
{
    struct Row {
        std::string buffer;
        uint32_t size;
        std::string expected;
    } rows[] = {
        {"  adding: a.txt\n", 16, "  adding: a.txt\n"},
        {"abcdef", 3, "abcd"},                  // up to and including position size
        {std::string("ab\0cd", 5), 4, "ab"},
        {"\nx", 2, "\nx"},                      // no line-feed rule here
    };
    for (const Row& row : rows)
        EXPECT_EQ(PrintedByZip(row.buffer, row.size), row.expected) << row.buffer;
}

TEST(ZipPrint, NeverReadsBeyondPosition4096AndAppendsToLastMessage)
{
    std::string big(5000, 'y');
    EXPECT_EQ(PrintedByZip(big, 5000).size(), 4097u);
    ThreadMessageState() = MessageState{};
    ThreadMessageState().LastMessage = "before ";
    std::string text = "after";
    OnZipPrint(text.data(), 5);
    EXPECT_EQ(ThreadMessageState().LastMessage, "before after");
}

TEST(Listing, HeaderLine)
{
    std::string header = ListHeaderLine();
    ASSERT_EQ(header.size(), 80u);
    EXPECT_EQ(header.substr(0, 9), "Filename:");
    EXPECT_EQ(header.substr(52, 4), "Size");
    EXPECT_EQ(header.substr(61, 4), "Date");
    EXPECT_EQ(header.substr(70, 4), "Time");
    EXPECT_EQ(header.find_first_not_of(' ', 9), 52u);
}

TEST(Listing, EntryLineOfEliteExample)
{
    std::string line = ListEntryLine(10240, 3, 5, 1986, 9, 5, "GAMES/ELITE.SSD");
    ASSERT_EQ(line.size(), 80u);
    // By 1-based column: name from 1, size right-aligned in 51 to 57, ...
    EXPECT_EQ(line.substr(0, 15), "GAMES/ELITE.SSD");
    EXPECT_EQ(line.substr(50, 7), "  10240");
    EXPECT_EQ(line.substr(59, 3), "03/");
    EXPECT_EQ(line.substr(62, 3), "05/");
    EXPECT_EQ(line.substr(65, 2), "86");
    EXPECT_EQ(line.substr(67, 2), "  ");
    EXPECT_EQ(line.substr(69, 3), " 9:");
    EXPECT_EQ(line.substr(72, 2), "05");
    EXPECT_EQ(line.substr(74), std::string(6, ' '));
    EXPECT_EQ(line, "GAMES/ELITE.SSD" + std::string(35, ' ') + "  10240  03/05/86   9:05      ");
}

TEST(Listing, FieldBounds)
{
    struct Row {
        uint64_t size;
        uint16_t year, hour;
        std::string name;
        std::string sizeField, yearField, hourField, nameField;
    } rows[] = {
        {123456789, 2005, 23, std::string(60, 'N'), "3456789", "05", "23:", std::string(50, 'N')},
        {0, 2000, 0, "a", "      0", "00", " 0:", "a" + std::string(49, ' ')},
        {9999999, 1999, 12, "x/y", "9999999", "99", "12:", "x/y" + std::string(47, ' ')},
    };
    for (const Row& row : rows) {
        std::string line = ListEntryLine(row.size, 12, 31, row.year, row.hour, 59, row.name.c_str());
        ASSERT_EQ(line.size(), 80u);
        EXPECT_EQ(line.substr(0, 50), row.nameField);
        EXPECT_EQ(line.substr(50, 7), row.sizeField);
        EXPECT_EQ(line.substr(65, 2), row.yearField);
        EXPECT_EQ(line.substr(69, 3), row.hourField);
    }
}

TEST(Listing, ListTextStartsWithHeaderAndCountsEntries)
{
    ThreadMessageState() = MessageState{};
    ThreadMessageState().ListText = "stale";
    OnUnzipListEntry(10, 5, 50, 1, 2, 1990, 3, 4, ' ', "A.TXT", "Stored", 0, 0);
    OnUnzipListEntry(20, 5, 50, 1, 2, 1990, 3, 4, ' ', "B.TXT", "Stored", 0, 0);
    const MessageState& s = ThreadMessageState();
    EXPECT_EQ(s.ListCount, 2);
    std::string expected = ListHeaderLine() + "\r\n" + ListEntryLine(10, 1, 2, 1990, 3, 4, "A.TXT") +
                           "\r\n" + ListEntryLine(20, 1, 2, 1990, 3, 4, "B.TXT") + "\r\n";
    EXPECT_EQ(s.ListText, expected);
}

struct HookCalls {
    int inputs = 0, questions = 0;
    std::string answer;
    int32_t button = vbYes;
    std::string lastPrompt, lastCaption, lastText;
};

VarnockPromptHook MakeHook(HookCalls& calls)
{
    return {&calls,
            [](void* c, const char* prompt, const char* caption, char* answer, int32_t size) -> int32_t {
                auto& calls = *static_cast<HookCalls*>(c);
                ++calls.inputs;
                calls.lastPrompt = prompt;
                calls.lastCaption = caption;
                size_t n = std::min(calls.answer.size(), static_cast<size_t>(size - 1));
                memcpy(answer, calls.answer.data(), n);
                answer[n] = '\0';
                return static_cast<int32_t>(n);
            },
            [](void* c, const char* text, const char* caption) -> int32_t {
                auto& calls = *static_cast<HookCalls*>(c);
                ++calls.questions;
                calls.lastText = text;
                calls.lastCaption = caption;
                return calls.button;
            },
            nullptr, nullptr};
}

TEST(Password, AnswerFillsTheBufferAndDeclineIsRemembered)
{
    HookCalls calls;
    VarnockPromptHook hook = MakeHook(calls);
    ActivePromptHook active(&hook);
    ThreadMessageState() = MessageState{};

    calls.answer = "secret";
    std::string buffer(10, '\x55');
    EXPECT_EQ(OnUnzipPassword(buffer.data(), 10, "p", "n"), 0);
    EXPECT_EQ(buffer, std::string("secret\0\0\0\0", 10));
    EXPECT_EQ(calls.lastPrompt, "Please Enter The Password!");
    EXPECT_EQ(calls.lastCaption, "Varnock");

    std::string small(4, '\x55');
    EXPECT_EQ(OnUnzipPassword(small.data(), 4, "p", "n"), 0);
    EXPECT_EQ(small, std::string("sec\0", 4)); // at most n - 1 bytes and a zero

    calls.answer.clear();
    EXPECT_EQ(OnUnzipPassword(buffer.data(), 10, "p", "n"), 1);
    EXPECT_EQ(ThreadMessageState().SkipPassword, 1);
    calls.answer = "late";
    int asked = calls.inputs;
    EXPECT_EQ(OnUnzipPassword(buffer.data(), 10, "p", "n"), 1);
    EXPECT_EQ(calls.inputs, asked); // no second question in this extraction
}

TEST(Replace, AnswersMapToReplaceCodes)
{
    HookCalls calls;
    VarnockPromptHook hook = MakeHook(calls);
    ActivePromptHook active(&hook);
    struct Row {
        int32_t button;
        int expected;
    } rows[] = {{vbYes, IDM_REPLACE_YES}, {vbNo, IDM_REPLACE_NO}, {vbCancel, IDM_REPLACE_NONE}};
    for (const Row& row : rows) {
        calls.button = row.button;
        std::string name = "GAMES/ELITE.SSD";
        EXPECT_EQ(OnUnzipReplace(name.data()), row.expected);
    }
    EXPECT_EQ(calls.lastText, "Overwrite GAMES/ELITE.SSD?");
    EXPECT_EQ(calls.lastCaption, "WinUnpack32 - File Already Exists!");
}

TEST(Defaults, WithoutHookQuestionsAreDeclined)
{
    ThreadMessageState() = MessageState{};
    std::string buffer(8, 'z');
    EXPECT_EQ(OnUnzipPassword(buffer.data(), 8, "p", "n"), 1);
    std::string name = "a";
    EXPECT_EQ(OnUnzipReplace(name.data()), IDM_REPLACE_NO);
    EXPECT_EQ(OnZipPassword(nullptr, 0, nullptr, nullptr), 1);
    char comment[ZP_COMMENT_SIZE] = "kept";
    EXPECT_EQ(OnZipComment(comment), comment);
    EXPECT_STREQ(comment, "kept");
    EXPECT_EQ(OnUnzipService("x", 1), 0);
}

TEST(MessageState, KeptApartBetweenThreads)
{
    ThreadMessageState() = MessageState{};
    ThreadMessageState().LastMessage = "main thread";
    std::string seen;
    std::thread other([&] {
        seen = ThreadMessageState().LastMessage;
        ThreadMessageState().LastMessage = "other thread";
    });
    other.join();
    EXPECT_EQ(seen, "");
    EXPECT_EQ(ThreadMessageState().LastMessage, "main thread");
}

TEST(Records, UpperCaseRootAndZipOptions)
{
    EXPECT_EQ(UpperCase("c:\\games"), "C:\\GAMES");
    EXPECT_EQ(UpperCase("\\"), "\\");
    EXPECT_EQ(UpperCase("c:\\spiele\xc3\xa4"), "C:\\SPIELE\xc3\x84");
}

} // namespace
} // namespace varnock
