#include "core/regex_helpers.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/regex/regex_error.h"

namespace folirex {
namespace {

using Texts = std::vector<std::string>;

const char kLabelPattern[] = "(\\{\\$.+?\\})";

// --- RegexTest and RegexReplace ----------------------------------------------------------------

TEST(RegexTestTest, CaseInsensitiveTestPatternFirst) {
  EXPECT_TRUE(RegexTest("^default\\.", "Default.htm"));
  EXPECT_FALSE(RegexTest("^[a-zA-Z]{1,20}$", "abc1"));
  EXPECT_TRUE(RegexTest("^[a-z]{1,20}$", "ABC"));
  EXPECT_TRUE(RegexTest("\\.html$", "List_12.HTML"));
  EXPECT_FALSE(RegexTest("\\.html$", "List_12.html.bak"));
}

TEST(RegexTestTest, EmptyTextNeverMatches) {
  EXPECT_FALSE(RegexTest("^$", ""));
  EXPECT_FALSE(RegexTest("", ""));
  EXPECT_TRUE(RegexTest("", "a"));
}

TEST(RegexTestTest, InvalidPatternRaisesToCaller) {
  EXPECT_THROW(RegexTest("a(b", "a(b"), RegexSyntaxError);
}

TEST(RegexReplaceTest, WholeMatchIsGroupOne) {
  EXPECT_EQ(RegexReplace("a1b22", "\\d+", "[$1]"), "a[1]b[22]");
  EXPECT_EQ(RegexReplace("Hello HELLO", "hello", "hi"), "hi hi");
  // The caller's own groups start at $2.
  EXPECT_EQ(RegexReplace("k=v; x=y", "(\\w)=(\\w)", "$3=$2"), "v=k; y=x");
  EXPECT_EQ(RegexReplace("<p>a</p><P>b</P>", "<[^>]+>", ""), "ab");
}

TEST(RegexReplaceTest, EmptyTextAndNoMatchGiveTextBack) {
  EXPECT_EQ(RegexReplace("", "x*", "y"), "");
  EXPECT_EQ(RegexReplace("abc", "z", "y"), "abc");
}

// --- CollectUniqueMatches ------------------------------------------------------------------------

TEST(CollectUniqueMatchesTest, DistinctAsTypedInFirstSeenOrder) {
  UniqueMatches result = CollectUniqueMatches("{$a} {$b} {$a} {$A}", kLabelPattern);
  EXPECT_EQ(result.texts, (Texts{"zarnik", "{$a}", "{$b}", "{$A}"}));
  EXPECT_EQ(result.groups, (Texts{"zarnik", "{$a}", "{$b}", "{$A}"}));
}

TEST(CollectUniqueMatchesTest, GroupsHoldLastNonEmptyGroup) {
  // Second group empty for the first match, set for the second.
  UniqueMatches result = CollectUniqueMatches("<x:1> <y:22=q>", "<(\\w):(\\d+)(?:=(\\w))?>");
  EXPECT_EQ(result.texts, (Texts{"zarnik", "<x:1>", "<y:22=q>"}));
  EXPECT_EQ(result.groups, (Texts{"zarnik", "1", "q"}));

  // Two groups, the second taking no part: the first group's text.
  EXPECT_EQ(CollectUniqueMatches("ab ac", "(a)(b)?").groups, (Texts{"zarnik", "b", "a"}));
}

TEST(CollectUniqueMatchesTest, MatchWithoutGroupsLeavesElementEmpty) {
  UniqueMatches result = CollectUniqueMatches("x1 y2 x1", "[a-z]\\d");
  EXPECT_EQ(result.texts, (Texts{"zarnik", "x1", "y2"}));
  EXPECT_EQ(result.groups, (Texts{"zarnik", "", ""}));
}

TEST(CollectUniqueMatchesTest, RepeatedMatchKeepsFirstSubMatches) {
  // The repeat of "{$a}" is skipped whole; its groups are not looked at.
  EXPECT_EQ(CollectUniqueMatches("{$a} {$a}", "\\{\\$(a)\\}|\\{\\$a\\}").groups,
            (Texts{"zarnik", "a"}));
}

TEST(CollectUniqueMatchesTest, NoMatchOrEmptyTextGivesPlaceholderOnly) {
  UniqueMatches none = CollectUniqueMatches("no labels here", kLabelPattern);
  EXPECT_EQ(none.texts, (Texts{"zarnik"}));
  EXPECT_EQ(none.groups, (Texts{"zarnik"}));
  UniqueMatches empty = CollectUniqueMatches("", kLabelPattern);
  EXPECT_EQ(empty.texts, (Texts{"zarnik"}));
  EXPECT_EQ(empty.groups, (Texts{"zarnik"}));
}

TEST(CollectUniqueMatchesTest, ManyRepeatedLabels) {
  std::string text;
  for (int round = 0; round < 50; ++round) {
    for (int label = 0; label < 400; ++label) text += "<p>{$label" + std::to_string(label) + "}";
  }
  UniqueMatches result = CollectUniqueMatches(text, kLabelPattern);
  ASSERT_EQ(result.texts.size(), 401u);
  EXPECT_EQ(result.texts[1], "{$label0}");
  EXPECT_EQ(result.texts[400], "{$label399}");
  EXPECT_EQ(result.groups.size(), 401u);
}

// --- MultiReplace ------------------------------------------------------------------------------

TEST(MultiReplaceTest, ReplacesEveryOccurrenceInOnePass) {
  EXPECT_EQ(MultiReplace("x {$a} y {$a}", {"zarnik", "{$a}"}, {"zarnik", "1"}), "x 1 y 1");
  EXPECT_EQ(MultiReplace("{$a}{$b}{$a}", {"zarnik", "{$a}", "{$b}"}, {"zarnik", "A", "B"}), "ABA");
}

TEST(MultiReplaceTest, ValueThatLooksLikeAKeyIsNotEvaluatedAgain) {
  EXPECT_EQ(MultiReplace("{$a} {$b}", {"zarnik", "{$a}", "{$b}"}, {"zarnik", "{$b}", "B"}),
            "{$b} B");
  EXPECT_EQ(MultiReplace("{$a}", {"zarnik", "{$a}"}, {"zarnik", "<{$a}>"}), "<{$a}>");
}

TEST(MultiReplaceTest, KeyInAnotherCaseStaysUnchanged) {
  EXPECT_EQ(MultiReplace("ZARNIK and zarnik", {"zarnik"}, {"x"}), "ZARNIK and x");
  EXPECT_EQ(MultiReplace("{$A} {$a}", {"zarnik", "{$a}"}, {"zarnik", "1"}), "{$A} 1");
}

TEST(MultiReplaceTest, OccurrenceInAnotherCaseIsPassedOverWhole) {
  // "{$A}x" is key 0 in another case: it stays, and the "x" inside it is not looked at again.
  EXPECT_EQ(MultiReplace("{$A}x x", {"{$a}x", "x"}, {"K", "X"}), "{$A}x X");
  EXPECT_EQ(MultiReplace("{$a}x x", {"{$a}x", "x"}, {"K", "X"}), "K X");
}

TEST(MultiReplaceTest, KeysAreMatchedLiterally) {
  EXPECT_EQ(MultiReplace("cost {$price}$", {"{$price}"}, {"9"}), "cost 9$");
  std::string chip = "<img TemplateChip=\"ArticleList:1,2,(3)?\" src=\"a.gif\">";
  EXPECT_EQ(MultiReplace("[" + chip + "]", {"zarnik", chip}, {"zarnik", "LIST"}), "[LIST]");
  // A "." in a key does not stand for any character.
  EXPECT_EQ(MultiReplace("<img src=aXgif>", {"<img src=a.gif>"}, {"Z"}), "<img src=aXgif>");
  EXPECT_EQ(MultiReplace("a|b a", {"a|b"}, {"X"}), "X a");
}

TEST(MultiReplaceTest, EarlierKeyWinsAtOnePosition) {
  EXPECT_EQ(MultiReplace("{$ab}", {"{$a", "{$ab}"}, {"1", "2"}), "1b}");
  EXPECT_EQ(MultiReplace("{$ab}", {"{$ab}", "{$a"}, {"2", "1"}), "2");
}

TEST(MultiReplaceTest, ValuesAreInsertedAsTheyAre) {
  EXPECT_EQ(MultiReplace("{$a}", {"{$a}"}, {"$1 $& $$ \\1"}), "$1 $& $$ \\1");
  EXPECT_EQ(MultiReplace("中{$a}文", {"{$a}"}, {"新闻"}), "中新闻文");
}

TEST(MultiReplaceTest, EmptyInputs) {
  EXPECT_EQ(MultiReplace("", {"zarnik", "{$a}"}, {"zarnik", "1"}), "");
  EXPECT_EQ(MultiReplace("abc", {}, {}), "abc");
  EXPECT_EQ(MultiReplace("abc", {""}, {"X"}), "abc");  // an empty key matches nothing
  EXPECT_EQ(MultiReplace("a{$a}", {"", "{$a}"}, {"X", "1"}), "a1");
}

TEST(MultiReplaceTest, FewerValuesThanKeysIsAnError) {
  EXPECT_THROW(MultiReplace("{$a}", {"zarnik", "{$a}"}, {"zarnik"}), std::invalid_argument);
}

TEST(MultiReplaceTest, RepeatedKeyUsesItsFirstValue) {
  EXPECT_EQ(MultiReplace("{$a}", {"{$a}", "{$a}"}, {"first", "second"}), "first");
}

TEST(MultiReplaceTest, ThousandsOfDistinctKeys) {
  std::string text;
  std::string expected;
  Texts keys{"zarnik"};
  Texts values{"zarnik"};
  for (int i = 0; i < 5000; ++i) {
    keys.push_back("{$label" + std::to_string(i) + "}");
    values.push_back("<" + std::to_string(i) + ">");
    text += "a{$label" + std::to_string(i) + "}";
    expected += "a<" + std::to_string(i) + ">";
  }
  EXPECT_EQ(MultiReplace(text, keys, values), expected);
}

// The engine's round: collect the labels, compute a value for each, write them all at once.
TEST(MultiReplaceTest, TemplateRoundWithManyLabels) {
  std::string page;
  std::string expected;
  for (int round = 0; round < 30; ++round) {
    for (int label = 0; label < 300; ++label) {
      page += "<td>{$v" + std::to_string(label) + "}</td>";
      expected += "<td>value " + std::to_string(label) + "{$v0}</td>";
    }
  }
  UniqueMatches found = CollectUniqueMatches(page, kLabelPattern);
  const Texts& keys = found.texts;
  ASSERT_EQ(keys.size(), 301u);
  Texts values = found.groups;
  for (size_t i = 1; i < keys.size(); ++i) {
    // Each value holds a label text; it must come out as it went in.
    values[i] = "value " + keys[i].substr(3, keys[i].size() - 4) + "{$v0}";
  }
  EXPECT_EQ(MultiReplace(page, keys, values), expected);
}

}  // namespace
}  // namespace folirex
