#include "platform/regex/regexp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/regex/pattern_cache.h"

namespace folirex {
namespace {

// --- The dialect: what "." "^" "$" \s \w \d mean ---------------------------------------------

TEST(RegExpDialectTest, DotDoesNotMatchLineFeedButMatchesCarriageReturn) {
  EXPECT_FALSE(RegExp("a.b").Test("a\nb"));
  EXPECT_TRUE(RegExp("a.b").Test("a\rb"));
  EXPECT_TRUE(RegExp("a.b").Test("a中b"));  // one character, three bytes
  EXPECT_FALSE(RegExp("^a..b$").Test("a中b"));
  // A label spanning lines is not one label.
  RegExp label("\\{\\$.+?\\}", false, true);
  EXPECT_EQ(label.Execute("{$a\nb} {$c}").size(), 1u);
}

TEST(RegExpDialectTest, AnchorsAreStartAndVeryEndOfText) {
  EXPECT_FALSE(RegExp("abc$").Test("abc\n"));
  EXPECT_TRUE(RegExp("abc$").Test("xabc"));
  EXPECT_FALSE(RegExp("^b").Test("a\nb"));
  EXPECT_FALSE(RegExp("a$").Test("a\nb"));
}

TEST(RegExpDialectTest, ClassEscapesAreAsciiOnly) {
  EXPECT_TRUE(RegExp("^\\w+$").Test("abc_XYZ_019"));
  EXPECT_FALSE(RegExp("\\w").Test("é"));
  EXPECT_FALSE(RegExp("\\w").Test("中文"));
  EXPECT_TRUE(RegExp("^\\W$").Test("中"));     // the complement takes the whole character
  EXPECT_FALSE(RegExp("\\d").Test("１２３"));  // full-width digits
  EXPECT_TRUE(RegExp("^\\d+$").Test("0123456789"));
  EXPECT_FALSE(RegExp("\\s").Test("\xE3\x80\x80"));  // ideographic space
  EXPECT_TRUE(RegExp("^\\s+$").Test(" \t\r\n\f\v"));
  EXPECT_TRUE(RegExp("\\bab\\b").Test("中ab中"));  // Chinese characters are not word characters
}

TEST(RegExpDialectTest, ScriptEngineEscapesAndClasses) {
  EXPECT_TRUE(RegExp("\\u4E2D").Test("中"));
  EXPECT_TRUE(RegExp("\\x41").Test("A"));
  EXPECT_FALSE(RegExp("a[]").Test("a"));      // an empty class matches nothing
  EXPECT_TRUE(RegExp("a[^]b").Test("a\nb"));  // and its complement anything
  EXPECT_TRUE(RegExp("(a)?\\1b").Test("b"));  // an unset group's reference matches ""
  EXPECT_TRUE(RegExp("a{x}").Test("a{x}"));   // "{" that opens no repeat count is literal
}

TEST(RegExpDialectTest, IgnoreCaseAsSet) {
  RegExp re("^default\\.");
  EXPECT_FALSE(re.Test("Default.htm"));
  re.IgnoreCase = true;
  EXPECT_TRUE(re.Test("Default.htm"));
  EXPECT_TRUE(RegExp("дом", true).Test("ДОМ"));
  EXPECT_TRUE(RegExp("ä", true).Test("Ä"));
  EXPECT_FALSE(RegExp("ä").Test("Ä"));
}

TEST(RegExpDialectTest, InvalidUtf8InTextNeverFails) {
  std::string text = "\xFF\xFE abc \xC3";
  EXPECT_TRUE(RegExp("abc").Test(text));
  std::vector<RegexMatch> matches = RegExp("abc").Execute(text);
  ASSERT_EQ(matches.size(), 1u);
  EXPECT_EQ(matches[0].FirstIndex, 3);  // each bad byte counts as one character
  // A bad byte is one character: "." takes it, a literal pattern never does.
  std::vector<RegexMatch> all = RegExp(".", false, true).Execute(text);
  ASSERT_EQ(all.size(), 8u);
  EXPECT_EQ(all[0].Value, "\xFF");  // the value is the text's own byte
  EXPECT_EQ(all[7].FirstIndex, 7);
  EXPECT_FALSE(RegExp("\\xFF").Test(text));  // U+00FF is not the byte FF
  EXPECT_EQ(RegExp("abc \\W$").Execute(text).at(0).Value, "abc \xC3");
}

// --- Execute: matches, positions and sub-matches --------------------------------------------

TEST(RegExpExecuteTest, PositionsCountCharactersNotBytes) {
  RegExp re("b(c)", false, true);
  std::vector<RegexMatch> matches = re.Execute("中文bc中bc");
  ASSERT_EQ(matches.size(), 2u);
  EXPECT_EQ(matches[0].Value, "bc");
  EXPECT_EQ(matches[0].FirstIndex, 2);
  EXPECT_EQ(matches[0].Length, 2);
  EXPECT_EQ(matches[0].ByteIndex, 6u);
  EXPECT_EQ(matches[0].ByteLength, 2u);
  EXPECT_EQ(matches[1].FirstIndex, 5);
  EXPECT_EQ(matches[1].ByteIndex, 11u);
  ASSERT_EQ(matches[1].SubMatches.size(), 1u);
  EXPECT_EQ(matches[1].SubMatches[0], "c");

  std::vector<RegexMatch> wide = RegExp("文+").Execute("中文文a");
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_EQ(wide[0].FirstIndex, 1);
  EXPECT_EQ(wide[0].Length, 2);
}

TEST(RegExpExecuteTest, GlobalOffFindsFirstMatchOnly) {
  RegExp re("\\d+");
  std::vector<RegexMatch> first = re.Execute("a1b22c333");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].Value, "1");
  re.Global = true;
  std::vector<RegexMatch> all = re.Execute("a1b22c333");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].Value, "333");
  EXPECT_EQ(all[2].FirstIndex, 6);
  EXPECT_TRUE(re.Execute("abc").empty());
}

TEST(RegExpExecuteTest, UnmatchedGroupsAreEmptyAndCounted) {
  RegExp re("(a)|(b)", false, true);
  std::vector<RegexMatch> matches = re.Execute("ab");
  ASSERT_EQ(matches.size(), 2u);
  ASSERT_EQ(matches[0].SubMatches.size(), 2u);
  EXPECT_EQ(matches[0].SubMatches[0], "a");
  EXPECT_EQ(matches[0].SubMatches[1], "");
  ASSERT_EQ(matches[1].SubMatches.size(), 2u);
  EXPECT_EQ(matches[1].SubMatches[0], "");
  EXPECT_EQ(matches[1].SubMatches[1], "b");
  EXPECT_EQ(re.GroupCount(), 2u);
}

TEST(RegExpExecuteTest, EmptyMatchesAdvanceOneWholeCharacter) {
  std::vector<RegexMatch> matches = RegExp("x*", false, true).Execute("中a");
  ASSERT_EQ(matches.size(), 3u);  // before 中, before a, at the end
  EXPECT_EQ(matches[0].FirstIndex, 0);
  EXPECT_EQ(matches[1].FirstIndex, 1);
  EXPECT_EQ(matches[1].ByteIndex, 3u);
  EXPECT_EQ(matches[2].FirstIndex, 2);
  for (const RegexMatch& m : matches) EXPECT_EQ(m.Length, 0);
  // After an empty match the search goes on from the next character, not the same place.
  EXPECT_EQ(RegExp("a*?", false, true).Replace("baa", "-"), "-b-a-a-");
}

TEST(RegExpExecuteTest, ScanStopsWhenAsked) {
  RegExp re("\\d", false, true);
  std::vector<std::string> seen;
  re.Scan("1 2 3 4", [&](const RegexMatchRef& m) {
    seen.emplace_back(m.Value());
    return seen.size() < 2;
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "2"}));
}

// --- Replace ----------------------------------------------------------------------------------

TEST(RegExpReplaceTest, GroupReferences) {
  RegExp re("(\\d+)", false, true);
  EXPECT_EQ(re.Replace("a1b22", "[$1]"), "a[1]b[22]");
  EXPECT_EQ(RegExp("(\\w)(\\d)", false, true).Replace("a1 b2", "$2$1"), "1a 2b");
  EXPECT_EQ(RegExp("b", false, true).Replace("abc", "<$&>"), "a<b>c");
  EXPECT_EQ(RegExp("b").Replace("abc", "[$`|$']"), "a[a|c]c");
  EXPECT_EQ(RegExp("b").Replace("abc", "$$1"), "a$1c");
  EXPECT_EQ(RegExp("b").Replace("abc", "5$"), "a5$c");
}

TEST(RegExpReplaceTest, DollarThatNamesNoGroupStaysAsTyped) {
  RegExp one("(b)");
  EXPECT_EQ(one.Replace("abc", "$2"), "a$2c");
  EXPECT_EQ(one.Replace("abc", "$0"), "a$0c");
  EXPECT_EQ(one.Replace("abc", "$x"), "a$xc");
  EXPECT_EQ(one.Replace("abc", "$12"), "ab2c");  // group 12 does not exist: $1 then "2"
  RegExp twelve("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)");
  EXPECT_EQ(twelve.Replace("abcdefghijkl", "$12$1"), "la");
  EXPECT_EQ(twelve.Replace("abcdefghijkl", "$01"), "a");
}

TEST(RegExpReplaceTest, GlobalReplacesEveryMatchElseTheFirst) {
  RegExp re("o");
  EXPECT_EQ(re.Replace("foo boo", "0"), "f0o boo");
  re.Global = true;
  EXPECT_EQ(re.Replace("foo boo", "0"), "f00 b00");
  EXPECT_EQ(RegExp("x*", false, true).Replace("abc", "-"), "-a-b-c-");
  EXPECT_EQ(RegExp("z", false, true).Replace("abc", "-"), "abc");
}

TEST(RegExpReplaceTest, IgnoreCaseKeepsTheMatchedCase) {
  RegExp re("(foo)", true, true);
  EXPECT_EQ(re.Replace("Foo foo FOO", "<$1>"), "<Foo> <foo> <FOO>");
}

TEST(RegExpReplaceTest, UnsetGroupExpandsToNothing) {
  EXPECT_EQ(RegExp("(a)|(b)", false, true).Replace("ab", "[$1$2]"), "[a][b]");
}

// --- Failures -----------------------------------------------------------------------------------

TEST(RegExpFailureTest, InvalidPatternThrowsSyntaxError) {
  for (const char* bad : {"(", "a(b", "[", "*a", "a)", "x{2,1}", "a\xFF"}) {
    RegExp re(bad);
    EXPECT_THROW(re.Test("abc"), RegexSyntaxError) << bad;
    EXPECT_THROW(re.Execute("abc"), RegexSyntaxError) << bad;
    EXPECT_THROW(re.Replace("abc", "x"), RegexSyntaxError) << bad;
  }
  try {
    RegExp("ab(c").Test("x");
    FAIL() << "no error";
  } catch (const RegexSyntaxError& error) {
    EXPECT_EQ(error.offset(), 4u);
    EXPECT_NE(std::string(error.what()).find("ab(c"), std::string::npos);
  }
}

TEST(RegExpFailureTest, LongInvalidPatternGivesShortMessage) {
  std::string pattern(5000, 'a');
  pattern += "(";
  try {
    RegExp(pattern).Test("a");
    FAIL() << "no error";
  } catch (const RegexSyntaxError& error) {
    EXPECT_LT(std::string(error.what()).size(), 400u);
    EXPECT_EQ(error.offset(), 5001u);
  }
}

TEST(RegExpFailureTest, CatastrophicPatternHitsTheLimitInsteadOfHanging) {
  // The "b" is there, so the matcher cannot rule the text out before it starts backtracking.
  std::string text(40, 'a');
  text += "!b";
  EXPECT_THROW(RegExp("(a+)+b").Test(text), RegexLimitError);
  EXPECT_THROW(RegExp("(a|aa)+$", false, true).Execute(text), RegexLimitError);
  EXPECT_THROW(RegExp("(x+x+)+y").Replace(std::string(40, 'x') + "!y", "-"), RegexLimitError);
  // The limit errors are regular-expression errors for callers that trap them all.
  EXPECT_THROW(RegExp("(a+)+b").Test(text), RegexError);
  // A sound pattern over a long text is untouched by the limit.
  std::string long_text(200000, 'a');
  EXPECT_EQ(RegExp("a+", false, true).Execute(long_text).size(), 1u);
  EXPECT_FALSE(RegExp("\\{\\$.+?\\}", false, true).Test(long_text));
}

TEST(RegExpFailureTest, ObjectIsUsableAfterPatternChange) {
  RegExp re("(");
  EXPECT_THROW(re.Test("("), RegexSyntaxError);
  re.Pattern = "\\(";
  EXPECT_TRUE(re.Test("("));
}

// --- Cache -----------------------------------------------------------------------------------

TEST(PatternCacheTest, SamePatternAndFlagShareOneCompiledForm) {
  auto a = GetCompiledPattern("cache-test-(\\d+)", false);
  auto b = GetCompiledPattern("cache-test-(\\d+)", false);
  auto c = GetCompiledPattern("cache-test-(\\d+)", true);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_NE(a.get(), c.get());
  EXPECT_EQ(a->capture_count(), 1u);
  EXPECT_GE(CompiledPatternCacheSize(), 2u);
  uint32_t jit_available = 0;
  pcre2_config(PCRE2_CONFIG_JIT, &jit_available);
  EXPECT_EQ(a->jit_compiled(), jit_available == 1);
}

TEST(PatternCacheTest, InvalidPatternIsNotCached) {
  size_t before = CompiledPatternCacheSize();
  EXPECT_THROW(GetCompiledPattern("cache-test-(", false), RegexSyntaxError);
  EXPECT_EQ(CompiledPatternCacheSize(), before);
}

TEST(PatternCacheTest, StaysBoundedUnderManyDistinctPatterns) {
  for (int i = 0; i < 3000; ++i) {
    EXPECT_TRUE(RegExp("word" + std::to_string(i), true).Test("a WORD" + std::to_string(i)));
  }
  EXPECT_LE(CompiledPatternCacheSize(), 1024u);
}

TEST(PatternCacheTest, ManyThreadsMatchTheSamePatterns) {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &wrong] {
      for (int i = 0; i < 300; ++i) {
        RegExp re("(\\{\\$\\w+\\})|" + std::to_string(i % 7), true, true);
        std::string text = "x {$a} " + std::to_string(t) + " {$B} " + std::to_string(i % 7);
        std::vector<RegexMatch> matches = re.Execute(text);
        size_t expected = 3 + (t == i % 7 ? 1 : 0);
        if (matches.size() != expected) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

// --- Escaping -----------------------------------------------------------------------------------

TEST(RegexEscapeTest, EveryPatternCharacterIsTakenLiterally) {
  std::string literal = "a.b*c+d?e(f)g[h]i{2}j|k^l$m\\n";
  RegExp re(RegexEscape(literal));
  EXPECT_TRUE(re.Test("xx" + literal + "yy"));
  EXPECT_FALSE(re.Test("aXb*c+d?e(f)g[h]i{2}j|k^l$m\\n"));
  EXPECT_EQ(RegexEscape("中文"), "中文");
  EXPECT_TRUE(RegExp(RegexEscape("[")).Test("a[b"));
}

}  // namespace
}  // namespace folirex
