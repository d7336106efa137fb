#include "core/Convert.h"
#include "core/Errors.h"
#include "core/Include.h"

#include <gtest/gtest.h>

using namespace quillet;

TEST(GetField, SplitsAtUnquotedSeparators) {
    const std::string list = R"(C:\a.mdb|"C:\b|c.mdb"|  C:\d e.mdb  |)";
    EXPECT_EQ(GetField(list, '|', 0), R"(C:\a.mdb)");
    EXPECT_EQ(GetField(list, '|', 1), R"(C:\b|c.mdb)");
    EXPECT_EQ(GetField(list, '|', 2), R"(C:\d e.mdb)");
    EXPECT_EQ(GetField(list, '|', 3), "");
    EXPECT_EQ(GetField(list, '|', 40), "");
    EXPECT_EQ(GetField(list, '|', -3), R"(C:\a.mdb)");
    EXPECT_EQ(GetField("a|b", '|', 2), "");
    for (int i = -1; i < 3; ++i)
        EXPECT_EQ(GetField("", '|', i), "");
}

TEST(GetField, UnquotesBeforeTrimming) {
    // Blanks outside the quotes keep them; a lone quote unquotes to nothing.
    EXPECT_EQ(GetField(" \"C:\\x y\" |z", '|', 0), "\"C:\\x y\"");
    EXPECT_EQ(GetField("a|\"", '|', 1), "");
    EXPECT_EQ(GetField("\"", '|', 0), "");
    // A quote without its partner takes the rest of the text, separators included.
    EXPECT_EQ(GetField("a\"b|c|d", '|', 0), "a\"b|c|d");
    EXPECT_EQ(GetField("a\"b|c|d", '|', 1), "");
    // Doubled quotes are two toggles here and stay in the text.
    EXPECT_EQ(GetField("\"a\"\"b\"", '|', 0), "a\"\"b");
    EXPECT_EQ(GetField("\t x \x01", '|', 0), "x");
}

TEST(GetField, QuoteAsSeparatorCountsWhenItClosesQuotes) {
    // Each quote toggles first; only one that leaves the flag off is a boundary.
    EXPECT_EQ(GetField("a\"b\"c", '"', 0), "a");
    EXPECT_EQ(GetField("a\"b\"c", '"', 1), "c");
    EXPECT_EQ(GetField("a\"b\"c", '"', 2), "");
}

TEST(GetQuotedField, DecodesDoubledQuotes) {
    EXPECT_EQ(GetQuotedField("\"a\"\"b\"", '|', 0), "a\"b");
    EXPECT_EQ(GetQuotedField("\"\"", '|', 0), "");
    EXPECT_EQ(GetQuotedField("\"x\"\"|y\"|z", '|', 0), "x\"|y");
    EXPECT_EQ(GetQuotedField("\"x\"\"|y\"|z", '|', 1), "z");
    // A doubled quote at the very end of a field is not an escape of the separator.
    EXPECT_EQ(GetQuotedField("a\"\"|b", '|', 1), "b");
}

TEST(GetQuotedField, AgreesWithGetFieldWithoutQuotes) {
    const std::string samples[] = {"", "|", "a||b", " a | b |c", "x|y|z|", "\x01|\x7f|\xff"};
    for (const auto& s : samples)
        for (int i = -1; i < 5; ++i)
            EXPECT_EQ(GetQuotedField(s, '|', i), GetField(s, '|', i)) << s << " #" << i;
}

TEST(QuotePath, QuotesOnlyUnquotedTextWithSpaces) {
    EXPECT_EQ(QuotePath(""), "");
    EXPECT_EQ(QuotePath("  \t "), "");
    EXPECT_EQ(QuotePath("a b"), "\"a b\"");
    EXPECT_EQ(QuotePath(" C:\\Program Files\\x.exe "), "\"C:\\Program Files\\x.exe\"");
    EXPECT_EQ(QuotePath(" \"C:\\a b\\x.exe\" "), "\"C:\\a b\\x.exe\"");
    EXPECT_EQ(QuotePath("C:\\a b\""), "C:\\a b\"");
    EXPECT_EQ(QuotePath("a\tb"), "a\tb");
    EXPECT_EQ(QuotePath("C:\\x.mdb"), "C:\\x.mdb");
}

TEST(FileBaseName, CutsFolderAndFirstOccurrenceOfExtension) {
    EXPECT_EQ(FileBaseName("C:\\dir\\Sales.cfg"), "Sales");
    EXPECT_EQ(FileBaseName("C:Sales.cfg"), "Sales");
    EXPECT_EQ(FileBaseName("C:\\d.x\\noext"), "noext");
    EXPECT_EQ(FileBaseName(".profile"), "");
    EXPECT_EQ(FileBaseName("a.cfg.b.cfg"), "a");
    EXPECT_EQ(FileBaseName(""), "");
}

TEST(LeftText, ClampsCount) {
    EXPECT_EQ(LeftText("abc", 2), "ab");
    EXPECT_EQ(LeftText("abc", 3), "abc");
    EXPECT_EQ(LeftText("abc", 99), "abc");
    EXPECT_EQ(LeftText("abc", 0), "");
    EXPECT_EQ(LeftText("abc", -5), "");
}

TEST(Dates, SerialsMatchTheCalendar) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(2026, 12, 7), 46363);
    int y, m, d;
    DecodeDate(EncodeDate(2000, 2, 29), y, m, d);
    EXPECT_EQ((std::tuple{y, m, d}), (std::tuple{2000, 2, 29}));
    EXPECT_FALSE(TryEncodeDate(2027, 2, 29));
    EXPECT_FALSE(TryEncodeDate(2026, 13, 1));
}

TEST(Dates, DashTextRoundTrips) {
    EXPECT_EQ(DateToDashText(EncodeDate(2027, 1, 31)), "2027-01-31");
    EXPECT_EQ(DateToDashText(EncodeDate(905, 3, 4)), "0905-03-04");
    for (Date d = EncodeDate(1999, 12, 1); d < EncodeDate(2001, 3, 1); ++d)
        ASSERT_EQ(DashTextToDate(DateToDashText(d)), d);
    EXPECT_EQ(DashTextToDate("2026-1-5"), EncodeDate(2026, 1, 5));
}

TEST(Dates, InvalidTextRaisesConversionError) {
    for (const char* bad : {"", "2026-13-45", "2026-02-30", "abc", "2026/12/01", "2026-12-01x", "-1-1-1", "2026--1"}) {
        try {
            DashTextToDate(bad);
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid date");
        }
    }
}

TEST(ShiftText, EveryAmountRoundTripsAndWraps) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    for (int amount = 0; amount < 256; ++amount) {
        const std::string shifted = ShiftText(all, amount);
        ASSERT_EQ(shifted.size(), all.size());
        ASSERT_EQ(UnshiftText(shifted, amount), all);
    }
    EXPECT_EQ(ShiftText("\xfe\xff", 3), std::string("\x01\x02"));
    EXPECT_EQ(UnshiftText(std::string("\x00", 1), 1), "\xff");
}

TEST(StrToInt, FollowsRunTimeRules) {
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt("  -7"), -7);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("0x1f"), 31);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    for (const char* bad : {"", " ", "12 ", "1.5", "true", "2147483648", "$", "0x", "1e3", "99999999999"})
        EXPECT_FALSE(TryStrToInt(bad)) << bad;
    try {
        StrToInt("abc");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}
