// The scripting engine's string functions over UTF-8, and the code page 936 edge of the program.
#include "platform/text/vb_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/codepage.h"

namespace folirex {
namespace {

TEST(VbTextTest, TrimRemovesSpacesOnlyAndCaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\ta\n"), "\ta\n");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(LTrim("  a "), "a ");
  EXPECT_EQ(RTrim("  a "), "  a");
  EXPECT_EQ(LCase("ADMIN_Set 中文"), "admin_set 中文");
  EXPECT_EQ(UCase("abc中"), "ABC中");
  EXPECT_TRUE(EqualsIgnoreCase("Admin.ASP", "admin.asp"));
  EXPECT_FALSE(EqualsIgnoreCase("admin.asp", "admin.as"));
}

TEST(VbTextTest, LengthsAndPositionsCountCharactersNotBytes) {
  EXPECT_EQ(Len("新闻ab"), 4u);
  EXPECT_EQ(Left("新闻中心", 2), "新闻");
  EXPECT_EQ(Mid("新闻中心", 3), "中心");
  EXPECT_EQ(Mid("新闻中心", 2, 2), "闻中");
  EXPECT_EQ(Mid("ab", 5), "");
  EXPECT_EQ(Left("ab", 10), "ab");
}

TEST(VbTextTest, ReplaceAndSplitKeepEveryPiece) {
  EXPECT_EQ(Split("|a||b|", "|"), (std::vector<std::string>{"", "a", "", "b", ""}));
  EXPECT_EQ(Split("", ","), (std::vector<std::string>{""}));
  EXPECT_EQ(Split("a[x]b[x]", "[x]"), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(Split("abc", ""), (std::vector<std::string>{"abc"}));
  EXPECT_EQ(Replace("1358.html", ".", "_2."), "1358_2.html");
  EXPECT_EQ(Replace("aaa", "a", "aa"), "aaaaaa");  // what was put in is not scanned again
  EXPECT_EQ(Replace("abc", "", "x"), "abc");
  EXPECT_EQ(Replace("[Vantrel_NextPage]x[Vantrel_NextPage]", "[Vantrel_NextPage]", ""), "x");
}

TEST(CodePageTest, RoundTripAndTheCharactersOutsideIt) {
  EXPECT_EQ(Utf8ToGbk("中文"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4"), "中文");
  EXPECT_EQ(Utf8ToGbk("a😀b"), "a&#128512;b");
  EXPECT_EQ(Utf8ToGbk("a😀b", Unmappable::kQuestion), "a?b");
  EXPECT_EQ(GbkToUtf8("a\xFF"), "a\xEF\xBF\xBD");  // a bad byte becomes U+FFFD
  EXPECT_EQ(Utf8ToGbk("a\xC3"), "a?");             // broken UTF-8 becomes "?"
  EXPECT_TRUE(IsGbkRepresentable("新闻网"));
  EXPECT_FALSE(IsGbkRepresentable("😀"));
  EXPECT_EQ(GbkDisplayWidth(U'a'), 1);
  EXPECT_EQ(GbkDisplayWidth(U'中'), 2);
}

}  // namespace
}  // namespace folirex
