// The delimited-file codec: line ends, the quoting and left-out rows of a write, and
// what reads back.
#include "core/DelimitedFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quillet;

TEST(DelimitedFile, LinesEndAtCrLfCrOrLf) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"})); // a final line end adds no line
    EXPECT_EQ(SplitLines("\n\r\n\r"), (Lines{"", "", ""}));
    EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"})); // LF CR is two line ends
    EXPECT_EQ(SplitLines(""), Lines{});
}

TEST(DelimitedFile, WrittenRowsQuoteTextAndLeaveEmptyRowsOut) {
    std::string out;
    EXPECT_TRUE(AppendDelimitedRow(out, {"a b", "", "c"}, '\t'));
    EXPECT_FALSE(AppendDelimitedRow(out, {"", "", ""}, '\t'));
    EXPECT_TRUE(AppendDelimitedRow(out, {"two\r\nlines", "x\ny"}, '\t'));
    EXPECT_TRUE(AppendDelimitedRow(out, {"", " "}, ',')); // a blank is still a cell's text
    EXPECT_EQ(out, "\"a b\"\t\t\"c\"\r\n\"two  lines\"\t\"x y\"\r\n,\" \"\r\n");
    EXPECT_EQ(WriteDelimited({{"1", "2"}, {}, {"", ""}, {"3"}}, ';'), "\"1\";\"2\"\r\n\"3\"\r\n");
}

TEST(DelimitedFile, TitlesGoUnquotedWithoutLeadingEmptyFields) {
    std::string out;
    AppendDelimitedTitles(out, {"", "", "Name", "", "Path\r"}, ',');
    EXPECT_EQ(out, "Name,,Path \r\n");
}

TEST(DelimitedFile, WhatTheFormatHoldsReadsBack) {
    const std::vector<DelimitedRow> rows = {
        {"a,b", "", "c d"}, {"", "x", ""}, {"\xc3\xa9t\xc3\xa9", "x\ty", ","}};
    EXPECT_EQ(ReadDelimited(WriteDelimited(rows, ','), ',', 3), rows);
    // GetField trims blanks around a field, quoted or not.
    EXPECT_EQ(ReadDelimited(WriteDelimited({{" a ", " "}}, ','), ',', 2),
              (std::vector<DelimitedRow>{{"a", ""}}));
    // Missing fields read as empty; fields past the count are dropped.
    EXPECT_EQ(SplitFields("\"a\",b,c,d", ',', 2), (DelimitedRow{"a", "b"}));
    EXPECT_EQ(SplitFields("a", ',', 3), (DelimitedRow{"a", "", ""}));
}
