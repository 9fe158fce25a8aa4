// The scripting engine's string functions over UTF-8, and the code page 936 edge of the program.
#include "platform/text/vb_text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
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
  // References longer than the characters they stand for, back to back.
  EXPECT_EQ(Utf8ToGbk("😀😀中😀"), "&#128512;&#128512;\xD6\xD0&#128512;");
  EXPECT_EQ(GbkToUtf8("a\xFF"), "a\xEF\xBF\xBD");  // a bad byte becomes U+FFFD
  EXPECT_EQ(Utf8ToGbk("a\xC3"), "a?");             // broken UTF-8 becomes "?"
  EXPECT_TRUE(IsGbkRepresentable("新闻网"));
  EXPECT_FALSE(IsGbkRepresentable("😀"));
  EXPECT_EQ(GbkDisplayWidth(U'a'), 1);
  EXPECT_EQ(GbkDisplayWidth(U'中'), 2);
}

// The converter's own answer for the whole text, and where it stops the rule for the character
// there (a character reference or "?", "?" for broken UTF-8): the model of the conversion.
std::string ConverterModel(std::string_view utf8, Unmappable unmappable) {
  iconv_t cd = iconv_open("CP936", "UTF-8");
  std::string out;
  std::string buffer(utf8.size() * 2 + 16, '\0');
  while (!utf8.empty()) {
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* to = buffer.data();
    size_t to_left = buffer.size();
    iconv(cd, &in, &in_left, &to, &to_left);
    out.append(buffer.data(), to - buffer.data());
    utf8.remove_prefix(utf8.size() - in_left);
    if (utf8.empty()) break;
    size_t pos = 0;
    const char32_t cp = NextCodePoint(utf8, &pos);
    const bool broken = cp == 0xFFFD && utf8.substr(0, pos) != "\xEF\xBF\xBD";
    out += unmappable == Unmappable::kCharRef && !broken
               ? "&#" + std::to_string(static_cast<uint32_t>(cp)) + ";"
               : std::string("?");
    utf8.remove_prefix(pos);
  }
  iconv_close(cd);
  return out;
}

TEST(CodePageTest, EveryCharacterConvertsAsTheConverterConvertsIt) {
  // Every character of the plane, ASCII runs between them, broken sequences (a cut-off lead, a
  // surrogate, an overlong form, a stray continuation) and characters beyond the plane.
  const std::vector<std::string> odd = {
      "\xC3", "\xED\xA0\x80", "\xC0\xAF", "\x80", "\xF0\x9F\x98\x80", "\xEF\xBF\xBD", "<p>"};
  std::string text;
  for (char32_t cp = 0x01; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x80) {
      text.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      text += {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    } else {
      text += {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
               static_cast<char>(0x80 | (cp & 0x3F))};
    }
    if (cp % 97 == 0) text += odd[cp / 97 % odd.size()];
  }
  for (Unmappable unmappable : {Unmappable::kCharRef, Unmappable::kQuestion}) {
    const std::string model = ConverterModel(text, unmappable);
    EXPECT_EQ(Utf8ToGbk(text, unmappable), model);
    // Appended in pieces cut between characters, after what the buffer held: the same bytes.
    std::string out = "head";
    for (size_t at = 0; at < text.size();) {
      size_t end = std::min(at + 4099, text.size());
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
      AppendUtf8ToGbk(std::string_view(text).substr(at, end - at), out, unmappable);
      at = end;
    }
    EXPECT_EQ(out, "head" + model);
  }
}

}  // namespace
}  // namespace folirex
