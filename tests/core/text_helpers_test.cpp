#include "core/text_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace folirex {
namespace {

const DateTime kSample{2006, 3, 7, 9, 5, 2};

// --- FormatDate --------------------------------------------------------------------------------

TEST(FormatDateTest, EveryStyleCode) {
  Variant date(kSample);
  EXPECT_EQ(FormatDate(date, 1), "2006-03-07 09:05:02");
  EXPECT_EQ(FormatDate(date, 2), "2006-03-07");
  EXPECT_EQ(FormatDate(date, 3), "09:05:02");
  EXPECT_EQ(FormatDate(date, 4), "2006年03月07日");
  EXPECT_EQ(FormatDate(date, 5), "2006年03月07日 09:05:02");
  EXPECT_EQ(FormatDate(date, 6), "03月07日 ");
  EXPECT_EQ(FormatDate(date, 7), "03-07");
  EXPECT_EQ(FormatDate(date, 10), "20060307090502");
  EXPECT_EQ(FormatDate(date, 11), "200603");
}

TEST(FormatDateTest, UnknownStylesGiveEmptyText) {
  Variant date(kSample);
  for (int style : {0, 8, 9, 12, -1}) EXPECT_EQ(FormatDate(date, style), "") << style;
  EXPECT_EQ(FormatDate(date, Variant::Null()), "");
  EXPECT_EQ(FormatDate(date, "x"), "");
}

TEST(FormatDateTest, StyleIsComparedAsValue) {
  Variant date(kSample);
  EXPECT_EQ(FormatDate(date, "1"), FormatDate(date, 1));
  EXPECT_EQ(FormatDate(date, "10"), "20060307090502");
  EXPECT_EQ(FormatDate(date, 2.0), "2006-03-07");
}

TEST(FormatDateTest, TextThatReadsAsDate) {
  EXPECT_EQ(FormatDate("2006-3-7 9:05:02", 1), "2006-03-07 09:05:02");
  EXPECT_EQ(FormatDate("2006/12/25", 10), "20061225000000");
  DateTime late{2019, 11, 30, 23, 59, 58};
  EXPECT_EQ(FormatDate(Variant(late), 5), "2019年11月30日 23:59:58");
}

TEST(FormatDateTest, NotADateGivesEmptyText) {
  for (int style : {1, 2, 6, 10, 11}) {
    EXPECT_EQ(FormatDate("not a date", style), "");
    EXPECT_EQ(FormatDate(Variant::Null(), style), "");
    EXPECT_EQ(FormatDate(Variant(), style), "");
    EXPECT_EQ(FormatDate("2006-02-30", style), "");  // no such day
  }
}

// --- StrLength and CutStr ----------------------------------------------------------------------

TEST(DisplayWidthTest, StrLengthCountsWideCharactersTwice) {
  EXPECT_EQ(StrLength("abc"), 3);
  EXPECT_EQ(StrLength("中文ab"), 6);
  EXPECT_EQ(StrLength(""), 0);
  EXPECT_EQ(StrLength(Variant::Null()), 0);
  EXPECT_EQ(StrLength("，。"), 4);  // full-width signs
  EXPECT_EQ(StrLength("a中b文c"), 7);
  EXPECT_EQ(StrLength(12345), 5);
}

TEST(DisplayWidthTest, CutStrKeepsTextThatFits) {
  std::string ten = "一二三四五六七八九十";
  EXPECT_EQ(CutStr(ten, 20), ten);
  EXPECT_EQ(CutStr(ten, 25), ten);
  EXPECT_EQ(CutStr("abc", 3), "abc");
  EXPECT_EQ(CutStr("", 0), "");
}

TEST(DisplayWidthTest, CutStrDropsWholeCharactersToWidthMinusThree) {
  std::string ten = "一二三四五六七八九十";
  EXPECT_EQ(CutStr(ten, 10), "一二三...");
  EXPECT_EQ(CutStr(ten, 11), "一二三四...");  // 8 of width left: four characters
  EXPECT_EQ(CutStr("abcdefghij", 8), "abcde...");
  // Mixed text: a wide character never gets split and never pushes past the width.
  EXPECT_EQ(CutStr("ab中文cd", 7), "ab中...");  // width 8; 4 left, "ab中" is 4
  EXPECT_EQ(CutStr("ab中文cd", 6), "ab...");    // 3 left: "ab中" would be 4
  EXPECT_EQ(CutStr("a中文cd", 6), "a中...");    // 3 left: "a中" is 3
  EXPECT_LE(StrLength(CutStr("a中b文c中d文e", 9)), 9);
  EXPECT_EQ(CutStr("abcdef", "5"), "ab...");  // width given as text
}

TEST(DisplayWidthTest, CutStrWithTinyWidthLeavesOnlyDots) {
  EXPECT_EQ(CutStr("abcdef", 2), "...");
  EXPECT_EQ(CutStr("中文", 1), "...");
  EXPECT_EQ(CutStr("abc", 0), "...");
}

TEST(DisplayWidthTest, CutStrRejectsWidthThatIsNoNumber) {
  EXPECT_THROW(CutStr("abcdef", "wide"), VariantError);
}

// --- HTML encoders -----------------------------------------------------------------------------

TEST(HtmlEncodeTest, ElementTextEncoding) {
  EXPECT_EQ(HTMLEncode("a<b & c>\"d\"\r\ne"), "a&lt;b &amp; c&gt;&quot;d&quot;\r<br>e");
  EXPECT_EQ(HTMLEncode("&lt;"), "&amp;lt;");  // typed entities show literally
  EXPECT_EQ(HTMLEncode("it's"), "it's");
  EXPECT_EQ(HTMLEncode(Variant::Null()), "");
  EXPECT_EQ(HTMLEncode(42), "42");
  EXPECT_EQ(HTMLEncode("中文<"), "中文&lt;");
}

// --- IsDigits and FilterSql --------------------------------------------------------------------

TEST(IsDigitsTest, AcceptsPlainWholeNumbers) {
  EXPECT_TRUE(IsDigits("0"));
  EXPECT_TRUE(IsDigits("10"));
  EXPECT_TRUE(IsDigits(10));
  EXPECT_TRUE(IsDigits(0));
  EXPECT_TRUE(IsDigits("12345678901234567890"));
}

TEST(IsDigitsTest, RejectsEverythingElse) {
  EXPECT_FALSE(IsDigits("007"));
  EXPECT_FALSE(IsDigits("00"));
  EXPECT_FALSE(IsDigits(""));
  EXPECT_FALSE(IsDigits("  "));
  EXPECT_FALSE(IsDigits(" 5"));
  EXPECT_FALSE(IsDigits("5 "));
  EXPECT_FALSE(IsDigits("5.0"));
  EXPECT_FALSE(IsDigits("-3"));
  EXPECT_FALSE(IsDigits(-3));
  EXPECT_FALSE(IsDigits("+3"));
  EXPECT_FALSE(IsDigits("1e3"));
  EXPECT_FALSE(IsDigits("１２"));  // full-width digits
  EXPECT_FALSE(IsDigits("1,2"));
  EXPECT_FALSE(IsDigits(Variant::Null()));
  EXPECT_FALSE(IsDigits(Variant()));
  EXPECT_FALSE(IsDigits("3;drop table x"));
}

TEST(SqlQuoteTest, DoublesSingleQuotesOnly) {
  EXPECT_EQ(SqlQuote("it's O''Brien"), "it''s O''''Brien");
  EXPECT_EQ(SqlQuote("\"新闻\";"), "\"新闻\";");
}

TEST(FilterSqlTest, DeletesQuotesAndSemicolonsAndTrims) {
  EXPECT_EQ(FilterSql(" O'Brien; "), "OBrien");
  EXPECT_EQ(FilterSql("a\"b'c;d"), "abcd");
  EXPECT_EQ(FilterSql("''"), "");
  EXPECT_EQ(FilterSql("1 or 1=1"), "1 or 1=1");  // nothing else is touched
  EXPECT_EQ(FilterSql("\tx\t"), "\tx\t");        // only spaces are trimmed
  EXPECT_EQ(FilterSql(Variant::Null()), "");
  EXPECT_EQ(FilterSql(12), "12");
  EXPECT_EQ(FilterSql("中'文"), "中文");
}

// --- HighlightKeyword --------------------------------------------------------------------------

TEST(HighlightKeywordTest, WrapsEveryOccurrenceKeepingItsCase) {
  EXPECT_EQ(HighlightKeyword("Foo foo", "FOO"),
            "<font color=red>Foo</font> <font color=red>foo</font>");
  EXPECT_EQ(HighlightKeyword("新闻和新闻", "新闻"),
            "<font color=red>新闻</font>和<font color=red>新闻</font>");
  EXPECT_EQ(HighlightKeyword("abc", ""), "abc");
  EXPECT_EQ(HighlightKeyword("abc", "x"), "abc");
}

TEST(HighlightKeywordTest, PatternCharactersInTheKeywordAreLiteral) {
  EXPECT_EQ(HighlightKeyword("x a(b y", "a(b"), "x <font color=red>a(b</font> y");
  EXPECT_EQ(HighlightKeyword("[1] [2]", "["),
            "<font color=red>[</font>1] <font color=red>[</font>2]");
  EXPECT_EQ(HighlightKeyword("a.b axb", "a.b"), "<font color=red>a.b</font> axb");
  EXPECT_EQ(HighlightKeyword("*star", "*"), "<font color=red>*</font>star");
  EXPECT_EQ(HighlightKeyword("c:\\dir", "\\"), "c:<font color=red>\\</font>dir");
  EXPECT_EQ(HighlightKeyword("1$ 2$", "$"), "1<font color=red>$</font> 2<font color=red>$</font>");
  // "$1" in the keyword is not replacement syntax: the matched text goes in as it stands.
  EXPECT_EQ(HighlightKeyword("pay $1 now", "$1"), "pay <font color=red>$1</font> now");
}

// --- IsValidEmail ------------------------------------------------------------------------------

TEST(IsValidEmailTest, AcceptsOrdinaryAddresses) {
  EXPECT_TRUE(IsValidEmail("john.smith@mail.example.cn"));
  EXPECT_TRUE(IsValidEmail("John_Smith-1@Example.COM"));
  EXPECT_TRUE(IsValidEmail("a@b.cn"));
}

TEST(IsValidEmailTest, RejectsMalformedAddresses) {
  EXPECT_FALSE(IsValidEmail("john@example.info"));  // four letters after the last point
  EXPECT_FALSE(IsValidEmail("john@example.c"));     // one letter
  EXPECT_FALSE(IsValidEmail("john@localhost"));
  EXPECT_FALSE(IsValidEmail("john.@example.com"));
  EXPECT_FALSE(IsValidEmail(".john@example.com"));
  EXPECT_FALSE(IsValidEmail("john@example.com."));
  EXPECT_FALSE(IsValidEmail("jo..hn@example.com"));
  EXPECT_FALSE(IsValidEmail("john@example..com"));
  EXPECT_FALSE(IsValidEmail("jo@hn@example.com"));
  EXPECT_FALSE(IsValidEmail("张三@example.com"));
  EXPECT_FALSE(IsValidEmail("john@例子.com"));
  EXPECT_FALSE(IsValidEmail("john smith@example.com"));
  EXPECT_FALSE(IsValidEmail("@example.com"));
  EXPECT_FALSE(IsValidEmail("john@"));
  EXPECT_FALSE(IsValidEmail(""));
  EXPECT_FALSE(IsValidEmail(Variant::Null()));
}

// --- CheckMark and FileExtName -----------------------------------------------------------------

TEST(CheckMarkTest, OnlyTrueGetsTheTick) {
  EXPECT_EQ(CheckMark(true), "√");
  EXPECT_EQ(CheckMark(-1), "√");  // the database's boolean true as stored
  EXPECT_EQ(CheckMark(false), "<font color=red>×</font>");
  EXPECT_EQ(CheckMark(1), "<font color=red>×</font>");
  EXPECT_EQ(CheckMark(0), "<font color=red>×</font>");
  EXPECT_EQ(CheckMark(Variant::Null()), "<font color=red>×</font>");
}

TEST(FileExtNameTest, CodesByValue) {
  EXPECT_EQ(FileExtName("0"), ".html");
  EXPECT_EQ(FileExtName("1"), ".htm");
  EXPECT_EQ(FileExtName(2), ".shtml");
  EXPECT_EQ(FileExtName("3"), ".shtm");
  EXPECT_EQ(FileExtName(4), ".asp");
  EXPECT_EQ(FileExtName("9"), ".html");
  EXPECT_EQ(FileExtName(Variant::Null()), ".html");
  EXPECT_EQ(FileExtName("x"), ".html");
}

}  // namespace
}  // namespace folirex
