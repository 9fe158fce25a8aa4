// Article loading: the value array, content paging (manual and automatic) and file names.
#include "site/article_loader.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/public_request.h"
#include "core/regex_helpers.h"
#include "platform/text/vb_text.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

// The content pages of a loaded article, which end with a separator after every page.
std::vector<std::string> PagesOf(const std::string& nav) {
  std::vector<std::string> pages;
  std::string separator = kPageSeparator;
  size_t start = 0;
  for (size_t found; (found = nav.find(separator, start)) != std::string::npos;
       start = found + separator.size()) {
    pages.push_back(nav.substr(start, found - start));
  }
  EXPECT_EQ(start, nav.size()) << "text after the last separator";
  return pages;
}

class ArticleLoaderTest : public ::testing::Test {
 protected:
  // Loads the article in a request of channel 1 in the given HTML mode; *nav gets its content
  // pages, *statements the number of statements the load ran.
  std::optional<LoadedArticle> Load(const Variant& id, const std::string& mode = "1",
                                    std::string* nav = nullptr, int64_t* statements = nullptr) {
    site_.SetChannel(1, "d_generatehtml = " + mode);
    std::optional<LoadedArticle> values;
    site_.InRequest([&](RequestState& state) {
      const int64_t before = state.db.Conn->statement_count();
      values = LoadArticle(state.db, state.channel, ParseId(id.ToString()));
      if (nav != nullptr) *nav = values ? values->JoinedPages() : "";
      if (statements != nullptr) *statements = state.db.Conn->statement_count() - before;
    });
    return values;
  }

  int AutoArticle(const std::string& content, int per_page) {
    return site_.Add(ArticleRow{
        .title = "auto", .content = content, .pagination = 1, .chars_per_page = per_page});
  }

  SiteFixture site_;
};

TEST_F(ArticleLoaderTest, FillsTheValueArray) {
  int cls = site_.Add(
      ClassRow{.name = "新闻", .dir = "news", .comments = false, .comments_checked = true});
  int id = site_.Add(ArticleRow{.content = "<p>正文</p>",
                                .class_id = cls,
                                .author = "a<b",
                                .inputer = "录入&员",
                                .top = true,
                                .recommend = true,
                                .clicks = 17,
                                .keyword = "|k1|k2|",
                                .summary = "摘要",
                                .link_url = "",
                                .subtitle = "副题",
                                .long_title = "",
                                .come_from = "",
                                .editor = "ed",
                                .stars = 3,
                                .meta_keyword = "mk",
                                .meta_relative = false,
                                .template_page = 0});
  int64_t statements = 0;
  std::optional<LoadedArticle> v = Load(id, "0", nullptr, &statements);
  ASSERT_TRUE(v.has_value());
  const LoadedArticle& a = *v;
  EXPECT_EQ(a[kArticleTitle].ToString(), "标题");
  EXPECT_EQ(a[kArticleSubtitle].ToString(), "副题");
  EXPECT_EQ(a[kArticleLongTitle].ToString(), "标题") << "an empty long title falls back";
  EXPECT_EQ(a[kArticleClassId].ToString(), std::to_string(cls));
  EXPECT_EQ(a[kArticleClassDir].ToString(), "news");
  EXPECT_EQ(a[kArticleAuthor].ToString(), "a&lt;b");
  EXPECT_EQ(a[kArticleComeFrom].ToString(), "未知");
  EXPECT_EQ(a[kArticleInputer].ToString(), "录入&amp;员");
  EXPECT_EQ(a[kArticleAddTime].ToString(), "2024-3-5 8:09:10");
  EXPECT_EQ(a[kArticleRawContent].ToString(), "<p>正文</p>");
  EXPECT_EQ(a[kArticleContent].ToString(), "<p>正文</p>");
  EXPECT_EQ(a[kArticleClicks].ToString(), "17");
  EXPECT_EQ(a[kArticleKeyword].ToString(), "|k1|k2|");
  EXPECT_EQ(a[kArticleProperty].ToString(),
            "<font color=blue>顶</font> <font color=green> 荐</font> ★★★");
  EXPECT_FALSE(a[kArticleCommentFlag].ToBoolOr(true));
  EXPECT_TRUE(a[kArticleCommentCheckFlag].ToBoolOr(false));
  EXPECT_EQ(a[kArticleSummary].ToString(), "摘要");
  EXPECT_EQ(a[kArticleMetaKeyword].ToString(), "mk");
  EXPECT_EQ(statements, 1) << "the article and its class in one query";
}

TEST_F(ArticleLoaderTest, ArticleWithoutClassTakesCommentsAndHasNoFolder) {
  int id =
      site_.Add(ArticleRow{.title = "t", .content = "c", .class_id = 0, .hot = true, .stars = 9});
  std::optional<LoadedArticle> v = Load(id);
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ((*v)[kArticleClassDir].ToString(), "");
  EXPECT_TRUE((*v)[kArticleCommentFlag].ToBoolOr(false));
  EXPECT_TRUE((*v)[kArticleCommentCheckFlag].ToBoolOr(false));
  EXPECT_EQ((*v)[kArticleProperty].ToString(), "<font color=red> 热</font>");
  EXPECT_EQ((*v)[kArticleAuthor].ToString(), "未知");
}

TEST_F(ArticleLoaderTest, SummaryIsMadeFromTheContentWhenEmpty) {
  int id = site_.Add(
      ArticleRow{.title = "t", .content = "<p>Hello&nbsp;<b>world</b></p>", .summary = ""});
  std::optional<LoadedArticle> v = Load(id);
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ((*v)[kArticleSummary].ToString(), "Helloworld");

  std::string long_text = "  <div>'x\"</div>";
  for (int i = 0; i < 100; ++i) long_text += "中文 \n ";
  id = site_.Add(ArticleRow{.title = "t", .content = long_text, .summary = Variant::Null()});
  v = Load(id);
  ASSERT_TRUE(v.has_value());
  std::string summary = (*v)[kArticleSummary].ToString();
  EXPECT_EQ(Len(summary), 130u);
  EXPECT_EQ(Left(summary, 5), "x中文 中");
}

TEST_F(ArticleLoaderTest, MissingAndMalformedIdsLoadNothing) {
  int id = site_.Add(ArticleRow{.title = "t", .content = "c"});
  EXPECT_FALSE(Load(id + 100).has_value());
  // None of these reaches SQL: "1 or 1=1" would otherwise find a row.
  for (const char* bad : {"", "1 or 1=1", "-1", "01", "1.0", "0x1", " 1"}) {
    SCOPED_TRACE(bad);
    int64_t statements = -1;
    EXPECT_FALSE(Load(bad, "1", nullptr, &statements).has_value());
    EXPECT_EQ(statements, 0);
  }
}

TEST_F(ArticleLoaderTest, RecycledAndUnapprovedArticlesStillLoad) {
  // The static page writer and the console rely on loading any stored article.
  int recycled = site_.Add(ArticleRow{.title = "r", .content = "c", .deleted = true});
  int waiting = site_.Add(ArticleRow{.title = "w", .content = "c", .checked = false});
  EXPECT_TRUE(Load(recycled).has_value());
  EXPECT_TRUE(Load(waiting).has_value());
}

TEST_F(ArticleLoaderTest, ManualPagingSplitsAtEveryBreak) {
  int id =
      site_.Add(ArticleRow{.title = "m",
                           .content = "第一页[Vantrel_NextPage]<p>第二页</p>[Vantrel_NextPage]三",
                           .pagination = 2});
  std::string nav;
  std::optional<LoadedArticle> v = Load(id, "1", &nav);
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ((*v)[kArticleContent].ToString(), kPagePlaceholder);
  EXPECT_EQ(PagesOf(nav), (std::vector<std::string>{"第一页", "<p>第二页</p>", "三"}));

  // The break in another letter case is text, so the article is not paged.
  id = site_.Add(ArticleRow{.title = "m", .content = "A[vantrel_nextpage]B", .pagination = 2});
  v = Load(id, "1", &nav);
  EXPECT_EQ((*v)[kArticleContent].ToString(), "A[vantrel_nextpage]B");
  EXPECT_EQ(nav, "");
}

TEST_F(ArticleLoaderTest, DynamicChannelsNeverPage) {
  int manual =
      site_.Add(ArticleRow{.title = "m", .content = "A[Vantrel_NextPage]B", .pagination = 2});
  int automatic = AutoArticle(std::string(50, 'x'), 10);
  std::string nav = "x";
  std::optional<LoadedArticle> v = Load(manual, "0", &nav);
  // Shown as one page, without the editor's page breaks.
  EXPECT_EQ((*v)[kArticleContent].ToString(), "AB");
  EXPECT_EQ((*v)[kArticleRawContent].ToString(), "A[Vantrel_NextPage]B");
  EXPECT_EQ(nav, "");
  v = Load(automatic, "0", &nav);
  EXPECT_EQ((*v)[kArticleContent].ToString(), std::string(50, 'x'));
  EXPECT_EQ(nav, "");
}

TEST_F(ArticleLoaderTest, AutomaticPagingCutsByCharacters) {
  std::string content;
  for (int i = 0; i < 25; ++i) content += (i % 2 == 0) ? "中" : "a";
  std::string nav;
  std::optional<LoadedArticle> v = Load(AutoArticle(content, 10), "2", &nav);
  EXPECT_EQ((*v)[kArticleContent].ToString(), kPagePlaceholder);
  std::vector<std::string> pages = PagesOf(nav);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(Len(pages[0]), 10u);
  EXPECT_EQ(Len(pages[1]), 10u);
  EXPECT_EQ(Len(pages[2]), 5u);
  EXPECT_EQ(pages[0] + pages[1] + pages[2], content);
}

TEST_F(ArticleLoaderTest, AutomaticPagingLeavesNoEmptyLastPage) {
  std::string nav;
  Load(AutoArticle(std::string(20, 'y'), 10), "1", &nav);
  EXPECT_EQ(PagesOf(nav), (std::vector<std::string>{std::string(10, 'y'), std::string(10, 'y')}));

  // Exactly one page's worth is not paged at all.
  std::optional<LoadedArticle> v = Load(AutoArticle(std::string(10, 'y'), 10), "1", &nav);
  EXPECT_EQ((*v)[kArticleContent].ToString(), std::string(10, 'y'));
  EXPECT_EQ(nav, "");
}

TEST_F(ArticleLoaderTest, AutomaticPagingNeverCutsATagOrAnEntity) {
  // A cut inside a tag or an entity moves back to its start; when that would leave the page
  // empty, on past its end. The quoted ">" does not end the tag.
  std::string content = "123456<a href='x>y'>link</a>&nbsp;tail text here";
  std::string nav;
  Load(AutoArticle(content, 10), "1", &nav);
  EXPECT_EQ(PagesOf(nav), (std::vector<std::string>{"123456", "<a href='x>y'>", "link</a>",
                                                    "&nbsp;tail", " text here"}));

  Load(AutoArticle("abcdefgh&amp;ijklmnop", 10), "1", &nav);
  EXPECT_EQ(PagesOf(nav), (std::vector<std::string>{"abcdefgh", "&amp;ijklm", "nop"}));

  // A tag longer than a page stays whole.
  std::string tag = "<img src='" + std::string(30, 'p') + "'>";
  Load(AutoArticle(tag + "after", 10), "1", &nav);
  EXPECT_EQ(PagesOf(nav), (std::vector<std::string>{tag, "after"}));

  // A lone "<" or "&" in text is no tag or entity.
  Load(AutoArticle("a < b & c d e f g h", 10), "1", &nav);
  EXPECT_EQ(PagesOf(nav), (std::vector<std::string>{"a < b & c ", "d e f g h"}));
}

TEST_F(ArticleLoaderTest, UnusablePageSizeIsNotPaged) {
  std::string nav;
  std::optional<LoadedArticle> v = Load(AutoArticle("abcdef", 0), "1", &nav);
  EXPECT_EQ((*v)[kArticleContent].ToString(), "abcdef");
  EXPECT_EQ(nav, "");
}

// Automatic paging as it was first written, with the offset and the cut rule of every character
// kept: the model of CutContentPages.
namespace model {
bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool OpensTag(std::string_view text, size_t at) {
  if (at + 1 >= text.size()) return false;
  char next = text[at + 1];
  return (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || next == '/' ||
         next == '!' || next == '?';
}

// The byte offset of the ";" that ends an entity ("&amp;", "&#8212;", "&#x4e2d;") starting at
// `at`, or npos when the "&" begins none.
size_t EntityEnd(std::string_view text, size_t at) {
  size_t i = at + 1;
  if (i < text.size() && text[i] == '#') ++i;
  size_t first = i;
  while (i < text.size() && i - at <= 32 && IsAsciiAlnum(text[i])) ++i;
  if (i == first || i >= text.size() || text[i] != ';') return std::string_view::npos;
  return i;
}

// Where a page of automatically paged content may end: the byte offset of every character and,
// for each, whether a cut in front of it leaves every tag (quoted attribute values included) and
// every entity whole. One pass over the content.
struct CutPoints {
  std::vector<size_t> offsets;  // byte offset of character k; one more entry for the end
  std::vector<bool> safe;       // a page may end in front of character k
};

CutPoints FindCutPoints(std::string_view text) {
  CutPoints points;
  enum class In { kText, kTag, kEntity } in = In::kText;
  char quote = 0;
  char last_in_tag = 0;  // the last non-blank character of the tag so far
  size_t entity_end = 0;
  for (size_t b = 0; b < text.size(); ++b) {
    char c = text[b];
    bool char_start = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (char_start) {
      points.offsets.push_back(b);
      points.safe.push_back(in == In::kText);
    }
    switch (in) {
      case In::kText:
        if (c == '<' && OpensTag(text, b)) {
          in = In::kTag;
          quote = 0;
          last_in_tag = '<';
        } else if (c == '&') {
          size_t end = EntityEnd(text, b);
          if (end != std::string_view::npos) {
            in = In::kEntity;
            entity_end = end;
          }
        }
        break;
      case In::kTag:
        if (quote != 0) {
          if (c == quote) quote = 0;
        } else if ((c == '"' || c == '\'') && last_in_tag == '=') {
          // Only a value's quote opens a quoted run, so an apostrophe in an unquoted value or in
          // a comment cannot hide the end of the tag.
          quote = c;
        } else if (c == '>') {
          in = In::kText;
        }
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') last_in_tag = c;
        break;
      case In::kEntity:
        if (b == entity_end) in = In::kText;
        break;
    }
  }
  points.offsets.push_back(text.size());
  points.safe.push_back(true);
  return points;
}

// Pages of about `size` characters each. A cut that would fall inside a tag or an entity moves
// back to its start, or, when that would leave the page empty, on past its end. No page is
// empty, so a length that is a multiple of the size gives no empty last page.
std::vector<std::string_view> CutPages(std::string_view text, size_t size) {
  CutPoints points = FindCutPoints(text);
  size_t length = points.offsets.size() - 1;  // characters
  std::vector<std::string_view> pages;
  size_t pos = 0;
  while (pos < length) {
    size_t cut = length;
    if (length - pos > size) {
      cut = pos + size;
      while (cut > pos && !points.safe[cut]) --cut;
      if (cut == pos) {
        cut = pos + size;
        while (cut < length && !points.safe[cut]) ++cut;
      }
    }
    pages.push_back(text.substr(points.offsets[pos], points.offsets[cut] - points.offsets[pos]));
    pos = cut;
  }
  return pages;
}

}  // namespace model

TEST(CutContentPagesTest, CutsAsTheModelCuts) {
  const std::vector<std::string> pieces = {"中",
                                           "a",
                                           " ",
                                           "<b>",
                                           "</b>",
                                           "<a href='x>y'>",
                                           "<a title=\"it's\">",
                                           "<img alt=x'y>",
                                           "&nbsp;",
                                           "&#8212;",
                                           "&amp",
                                           "& ",
                                           "<",
                                           ">",
                                           "'",
                                           "\"",
                                           "<!-- c -->",
                                           "\xE4\xB8",
                                           "\xB8",
                                           "😀"};
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    std::string text;
    const size_t n = rng() % 300;
    for (size_t i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    const size_t size = 1 + rng() % 40;
    ASSERT_EQ(CutContentPages(text, size), model::CutPages(text, size));
  }
}

// The summary as it is made from the whole body: the model of ArticleSummary.
std::string WholeBodySummary(const std::string& content) {
  std::string text = Replace(content, kManualPageBreak, "");
  text = RegexReplace(text, "<.+?>", "");
  text = RegexReplace(text, "\\s", " ");
  text = RegexReplace(text, "&quot;|&nbsp;|&amp;", "");
  text = RegexReplace(text, " {2,}", " ");
  text = RegexReplace(text, "['\"<>]", "");
  return Left(Trim(text), 130);
}

TEST(ArticleSummaryTest, LongBodyGivesTheSummaryOfTheWholeBody) {
  // Long bodies whose text is sparse among long tags, so that the start the summary is made from
  // ends in a tag, an entity, a page break or a run of spaces, or is all but too short.
  const std::vector<std::string> text = {"中",
                                         "文",
                                         "a",
                                         " ",
                                         "  ",
                                         "\n",
                                         "\t",
                                         "'",
                                         "\"",
                                         "&nbsp;",
                                         "&amp;",
                                         "&quot;",
                                         "&lt;",
                                         "&",
                                         "<",
                                         ">",
                                         "[Vantrel_NextPage]",
                                         "<>",
                                         "<\n>",
                                         "😀"};
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const size_t tag_share = 1 + rng() % 10;  // in ten pieces
    const size_t size = 9000 + rng() % 60000;
    std::string body;
    while (body.size() < size) {
      if (rng() % 10 < tag_share) {
        body += "<img src='" + std::string(20 + rng() % 400, 'p') + (rng() % 4 == 0 ? ">" : "'>");
      } else {
        body += text[rng() % text.size()];
      }
    }
    ASSERT_EQ(ArticleSummary(body), WholeBodySummary(body));
  }
  // An entity that the start's end cuts in two ("&nb|sp;") just where its text reaches the
  // summary's length: the summary goes on past it, as the whole body's does.
  std::string cut_entity = "<img src='" + std::string(8172 - 12 - 127 * 3, 'p') + "'>";
  for (int i = 0; i < 127; ++i) cut_entity += "中";
  cut_entity += "&nbsp;";
  for (int i = 0; i < 20000; ++i) cut_entity += "甲";
  EXPECT_EQ(ArticleSummary(cut_entity), WholeBodySummary(cut_entity));
  // A short body, and one that holds no text at all.
  EXPECT_EQ(ArticleSummary("<p>短文&nbsp;</p>"), "短文");
  std::string tag_only = "<" + std::string(20000, 'x') + "a>";
  EXPECT_EQ(ArticleSummary(tag_only), WholeBodySummary(tag_only));
}

TEST(ContentFileName, FollowsTheChannelRule) {
  DateTime added{2005, 5, 23, 12, 25, 5};
  EXPECT_EQ(GetContentFileName("", 1358, added, "0", ".html"), "1358.html");
  EXPECT_EQ(GetContentFileName("news/", 1358, added, 0, ".html"), "1358.html");
  EXPECT_EQ(GetContentFileName("news/", "1358", added, "1", ".htm"), "20050523122505.htm");
  EXPECT_EQ(GetContentFileName("news/", 1358, added, "2", ".html"), "news_1358.html");
  EXPECT_EQ(GetContentFileName("Article/", 110, added, 3, ".shtml"),
            "Article_20050523122505.shtml");
  EXPECT_EQ(GetContentFileName("", 1358, added, "2", ".html"), "1358.html");
  EXPECT_EQ(GetContentFileName("", 1358, added, "3", ".html"), "20050523122505.html");
  EXPECT_EQ(GetContentFileName("news/", 1358, added, "7", ".html"), "");
}

}  // namespace
}  // namespace folirex::testing
