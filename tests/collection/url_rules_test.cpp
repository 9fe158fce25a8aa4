// The collector's text rules: links made absolute, markers as patterns, the links a pattern
// collects, cutting at markers, and the cleaning of collected fields.
#include "collection/url_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/collect_steps.h"
#include "platform/regex/regex_error.h"

namespace folirex {
namespace {

TEST(JoinUrl, Table) {
  struct Case {
    const char* base;
    const char* link;
    const char* joined;
  };
  const Case cases[] = {
      // Rooted links go under the scheme and host.
      {"http://a.com/news/list/1.htm", "/show/9.htm", "http://a.com/show/9.htm"},
      {"http://a.com", "/show/9.htm", "http://a.com/show/9.htm"},
      // Plain relative links replace the last segment; each "../" climbs one more.
      {"http://a.com/news/list/1.htm", "9.htm", "http://a.com/news/list/9.htm"},
      {"http://a.com/news/list/1.htm", "../9.htm", "http://a.com/news/9.htm"},
      {"http://a.com/news/list/1.htm", "../../9.htm", "http://a.com/9.htm"},
      {"http://a.com/news/list/1.htm", "../../../../9.htm", "http://a.com/9.htm"},
      {"http://a.com", "9.htm", "http://a.com/9.htm"},
      {"http://a.com/", "9.htm", "http://a.com/9.htm"},
      // Only a leading "../" is resolved.
      {"http://a.com/n/l/1.htm", "./x/../9.htm", "http://a.com/n/l/./x/../9.htm"},
      // A link holding "://" anywhere is kept as it is.
      {"http://a.com/n/1.htm", "https://b.org/x.htm", "https://b.org/x.htm"},
      {"http://a.com/n/1.htm", "go.asp?to=http://b.org/", "go.asp?to=http://b.org/"},
      // The empty link is the base's folder.
      {"http://a.com/news/list/1.htm", "", "http://a.com/news/list/"},
      // The last "/" counts wherever it is, in a query too; the wildcard stays in the base.
      {"http://a.com/l.asp?p=a/b", "9.htm", "http://a.com/l.asp?p=a/9.htm"},
      {"http://a.com/news/{page}.htm", "9.htm", "http://a.com/news/9.htm"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ArticleCollect_JoinUrl(c.base, c.link), c.joined) << c.base << " + " << c.link;
  }
}

TEST(MarkerToRegex, EscapesAndWildcards) {
  EXPECT_EQ(ArticleCollect_MarkerToRegex("show.asp?id={id}"), "show\\.asp\\?id=[0-9]+");
  EXPECT_EQ(ArticleCollect_MarkerToRegex("href=\"({c})\""), "href=\"(.+)\"");
  EXPECT_EQ(ArticleCollect_MarkerToRegex("a\\b[1]*+$^{ID}"), "a\\\\b\\[1\\]\\*\\+\\$\\^{ID}");
}

TEST(RegExpLinks, GroupsDistinctAndJoined) {
  const std::string area =
      "<a href=\"/a/1.htm\">x</a><a href=\"/A/1.htm\">y</a><a href=\"/a/1.htm\">z</a>"
      "<a href='2.htm'>w</a>";
  std::vector<std::string> links = ArticleCollect_RegExpLinks(
      area, ArticleCollect_MarkerToRegex("href=\"(/a/{id}.htm)\""), "http://s.cn/l/p.htm");
  EXPECT_EQ(links, (std::vector<std::string>{"", "http://s.cn/a/1.htm", "http://s.cn/A/1.htm"}));
  links = ArticleCollect_RegExpLinks(area, ArticleCollect_MarkerToRegex("{id}.htm"),
                                     "http://s.cn/l/p.htm");
  EXPECT_EQ(links, (std::vector<std::string>{"", "http://s.cn/l/1.htm", "http://s.cn/l/2.htm"}));
  EXPECT_EQ(ArticleCollect_RegExpLinks("nothing", "x{id}", "http://s.cn/").size(), 1u);
  EXPECT_EQ(ArticleCollect_RegExpLastMatch("<p>1</p><P>2</P>", "<p>[0-9]</p>"), "<P>2</P>");
  EXPECT_THROW(ArticleCollect_RegExpLinks(area, ArticleCollect_MarkerToRegex("(a"), ""),
               RegexSyntaxError);
}

TEST(MarkerCutting, FirstOccurrenceExactCase) {
  std::string text = "head<b>A</b>HEAD<b>B</b>";
  EXPECT_FALSE(CutAfter(text, "<B>"));
  EXPECT_TRUE(CutAfter(text, "<b>"));
  std::string before;
  EXPECT_TRUE(CutBefore(text, "</b>", &before));
  EXPECT_EQ(before, "A");
  EXPECT_EQ(text, "HEAD<b>B</b>");
  EXPECT_EQ(ArticleCollect_RemoveBlocks("<script", "</script>",
                                        "a<script>1</script>b<script x>2</script>c"),
            "abc");
  // An end marker before the first start marker stops the removal.
  EXPECT_EQ(ArticleCollect_RemoveBlocks("<s", "</s>", "</s>a<s>b"), "</s>a<s>b");
  EXPECT_EQ(CollectListPageUrl("http://a.com/n/list_{page}.htm", true, "index.htm", "1"),
            "http://a.com/n/index.htm");
  EXPECT_EQ(CollectListPageUrl("http://a.com/n/list_{page}.htm", true, "index.htm", "2"),
            "http://a.com/n/list_2.htm");
  EXPECT_EQ(CollectListPageUrl("http://a.com/n/{page}_{page}.htm", false, "", "1"),
            "http://a.com/n/1_1.htm");
}

TEST(CleanCollectedField, QuotesEntitiesTagsAndWidth) {
  EXPECT_EQ(CleanCollectedField("Hello\"&amp;\r\n  World", kCollectTitleWidth), "Hello World");
  EXPECT_EQ(CleanCollectedField(" <b>Bold</b> &QUOT;it's&Lt;", 20), "Bold its");
  EXPECT_EQ(CleanCollectedField("<img src=x\nonerror=alert(1)>标题", 20), "标题");
  std::string wide(60, 'x');
  wide += "中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文";
  std::string cut = CleanCollectedField(wide, kCollectTitleWidth);
  EXPECT_TRUE(cut.ends_with("...")) << cut;
  EXPECT_LE(cut.size(), 60u + 16u * 3u + 3u);
}

TEST(CollectPlainText, ParagraphsBecomeBreaks) {
  EXPECT_EQ(CollectPlainText("<p>one  two</p>\r\n<p class=x>three</p><P>four</P>"),
            "<BR>one two<BR>three<BR>four<BR>");
  EXPECT_EQ(CollectPlainText("a<br>b<BR/>c<pre>d</pre>"), "a<BR>b<BR>c<BR>d<BR>");
  EXPECT_EQ(CollectPlainText("x<SCRIPT>bad()</SCRIPT><img\nsrc=y onerror=z>1 < 2"), "x1 &lt; 2");
}

}  // namespace
}  // namespace folirex
