// The template engine: labels by page type, labels filled once, labels in capitals, chips by
// page type and their parameters, sub-class blocks, and the block markers written into the
// caller's template text.
#include "site/template_engine.h"

#include <gtest/gtest.h>

#include <string>

#include "core/public_request.h"
#include "platform/db/connection.h"
#include "site/public_pages.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

bool Has(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}

size_t Count(const std::string& page, const std::string& part) {
  size_t n = 0;
  for (size_t at = page.find(part); at != std::string::npos; at = page.find(part, at + 1)) ++n;
  return n;
}

class TemplateEngineTest : public ::testing::Test {
 protected:
  // ParseTemplate in a request of channel 1, with the arguments a first page passes.
  std::string Parse(std::string& text, const std::string& type, const Variant& article_id = "",
                    const Variant& class_id = "", int64_t* statements = nullptr) {
    std::string page;
    site_.InRequest([&](RequestState& state) {
      int64_t before = state.db.Conn->statement_count();
      page = ParseTemplate(state, state.channel, PageSkin{"<link skin>", ""}, text,
                           {.page_type = type,
                            .generate_html = state.channel.GenerateHtml.ToString(),
                            .article_id = ParseId(article_id.ToString()),
                            .class_id = ParseId(class_id.ToString())});
      if (statements != nullptr) *statements = state.db.Conn->statement_count() - before;
    });
    return page;
  }

  std::string Parse(const std::string& text, const std::string& type,
                    const Variant& article_id = "") {
    std::string copy = text;
    return Parse(copy, type, article_id);
  }

  SiteFixture site_;
};

TEST_F(TemplateEngineTest, TextWithoutMarksComesBackUnchanged) {
  std::string text = "<html><body>{ $x } {$ <img src='a.gif'> zarnik</body></html>";
  EXPECT_EQ(Parse(text, "first"), text);
  EXPECT_EQ(Parse("", "default"), "");
}

TEST_F(TemplateEngineTest, LabelsAreKnownByPageType) {
  std::string labels = "{$showchannel}|{$showchannelname}|{$showpath}|{$showcss}|{$nosuchlabel}";
  EXPECT_EQ(Parse(labels, "first"),
            "|{$showchannelname}|您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;"
            "&gt;&gt;&nbsp;首页|<link skin>|{$nosuchlabel}");
  EXPECT_EQ(Parse(labels, "classlist", "", 0).substr(0, 14), "|文章中心|");
  EXPECT_EQ(Parse(labels, "notice"), "|{$showchannelname}||<link skin>|{$nosuchlabel}");
  EXPECT_EQ(Parse("{$showmenujs}|{$showlogo}", "notice"),
            "{$showmenujs}|<img src='' border=0 "
            "width='160' height='60'>");
  // An article page needs its article for any label, known or not.
  EXPECT_EQ(Parse("{$showarticlehotlisturl}|{$showsearchtitle}", "tellfriend", ""), "");
}

TEST_F(TemplateEngineTest, ArticlePageOfAMissingArticleIsEmpty) {
  int id = site_.Add(ArticleRow{.title = "存在", .content = "c"});
  EXPECT_EQ(Parse("<b>{$showarticletitle}</b>", "content", id), "<b>存在</b>");
  EXPECT_EQ(Parse("<b>{$showarticletitle}</b>", "content", id + 1), "");
  EXPECT_EQ(Parse("<b>{$showsiteurl}</b>", "print", id + 1), "")
      << "any label of an article page needs the article";
  // Without a label the article is not needed.
  EXPECT_EQ(Parse("<b>no labels</b>", "content", id + 1), "<b>no labels</b>");
}

TEST_F(TemplateEngineTest, EachDistinctLabelIsEvaluatedOnceAndValuesAreNotScannedAgain) {
  site_.Sql("update Vantrel_Config set d_name = '{$showchannelid}站', d_url = 'U'");
  std::string text = "{$showpagetitle}/{$showsiteurl}/{$SHOWSITEURL}/{$showpagetitle}";
  std::string page = Parse(text, "first");
  EXPECT_EQ(page, "{$showchannelid}站/U/U/{$showchannelid}站");
  // A label that reads the database reads it once however often the page holds it.
  int cls = site_.Add(ClassRow{.name = "一类", .dir = "one"});
  int64_t once = -1, thrice = -1;
  std::string one = "{$showclassname}";
  std::string three = "{$showclassname}/{$showclassname}/{$showclassname}";
  EXPECT_EQ(Parse(one, "classlist", "", cls, &once), "一类");
  EXPECT_EQ(Parse(three, "classlist", "", cls, &thrice), "一类/一类/一类");
  EXPECT_EQ(thrice, once);
}

TEST_F(TemplateEngineTest, LargeTemplateWithManyDistinctLabels) {
  site_.Sql("update Vantrel_Config set d_url = 'U'");
  std::string text, expected;
  for (int i = 0; i < 4000; ++i) {
    std::string unknown = "{$label" + std::to_string(i) + "}";
    text += unknown + "<b>{$showsiteurl}</b>\n";
    expected += unknown + "<b>U</b>\n";
  }
  EXPECT_EQ(Parse(text, "first"), expected);
  // Labels are distinct as typed: 4000 spellings of one label are 4000 labels, each filled.
  site_.Sql("update Vantrel_Config set d_copyright = 'C'");
  std::string spellings, filled;
  for (int i = 0; i < 4000; ++i) {
    std::string label = "{$showcopyright}";
    for (int bit = 0; bit < 13; ++bit) {
      if ((i & (1 << bit)) != 0) label[2 + bit] = static_cast<char>(label[2 + bit] - 'a' + 'A');
    }
    spellings += label + "\n";
    filled += "C\n";
  }
  EXPECT_EQ(Parse(spellings, "first"), filled);
}

TEST_F(TemplateEngineTest, ArticleIsLoadedOncePerPage) {
  int id = site_.Add(ArticleRow{.title = "一次", .content = "c"});
  std::string text;
  for (const char* label : {"title", "subtitle", "longtitle", "author", "inputer", "editor",
                            "comefrom", "property", "content", "updatetime"}) {
    text += std::string("{$showarticle") + label + "}|";
  }
  int64_t statements = 0;
  std::string page;
  site_.InRequest([&](RequestState& state) {
    int64_t before = state.db.Conn->statement_count();
    page = ParseTemplate(
        state, state.channel, PageSkin{}, text,
        {.page_type = "content", .generate_html = "0", .article_id = id, .class_id = 0});
    statements = state.db.Conn->statement_count() - before;
  });
  EXPECT_TRUE(Has(page, "一次|")) << page;
  // The channel path and the one article load.
  EXPECT_LE(statements, 2) << page;
}

TEST_F(TemplateEngineTest, ChipsAreKnownByPageTypeAndGetTheirFirstParameter) {
  std::string chip = "<img src='chip.gif' TemplateChip=\"JSFile:news.js:ignored\" border=0>";
  std::string page = Parse("[" + chip + "]", "first");
  EXPECT_EQ(page, "[<script language='javascript' src='/Article/Js/news.js'></Script>]");
  // Print and notice pages know no chips: the tag goes out as typed.
  int id = site_.Add(ArticleRow{.title = "t", .content = "c"});
  EXPECT_EQ(Parse("[" + chip + "]{$showarticletitle}", "print", id), "[" + chip + "]t");
  EXPECT_EQ(Parse("[" + chip + "]", "notice"), "[" + chip + "]");
  // A ListArticleList chip is no chip of a tell-a-friend page.
  std::string list = "<img TemplateChip=\"ListArticleList:1\">";
  EXPECT_EQ(Parse(list, "tellfriend", id), list);
  // The kind is matched without regard to case.
  EXPECT_TRUE(Has(Parse("<img TemplateChip=\"jsfile:a.js\">", "content", id), "Js/a.js"));
}

TEST_F(TemplateEngineTest, HomeBlocksRenderOneCellPerChannelAndMarkTheTemplate) {
  site_.Add(ChannelRow{.name = "体育", .dir = "sports"});
  std::string block =
      "<img src='s.gif' TemplateChip=\"ListSubClassList:2\">&lt;{$showchannelid}|"
      "{$showchannelname}&gt;<img src='e.gif' TemplateChip=\"EndSubClassList\">";
  std::string text = "A" + block + "B" + block + "C{$showchannelid}";
  std::string page = Parse(text, "default");
  EXPECT_EQ(text, "A{$zarnik1}B{$zarnik1}C{$showchannelid}")
      << "the caller's text holds the block markers";
  EXPECT_EQ(Count(page, "&lt;1|文章中心&gt;"), 2u) << page;
  EXPECT_EQ(Count(page, "|体育&gt;"), 2u) << page;
  EXPECT_FALSE(Has(page, "TemplateChip")) << page;
  EXPECT_FALSE(Has(page, "zarnik")) << page;
  // The page's own label reads the page's channel after the grid.
  EXPECT_EQ(page.substr(page.size() - 2), "C1") << page;
}

TEST_F(TemplateEngineTest, FirstPageExpandsOnlyItsFirstBlock) {
  site_.Add(ClassRow{.name = "国内"});
  site_.Add(ClassRow{.name = "国际"});
  std::string first =
      "<img TemplateChip=\"ListSubClassList:2\">[{$showclassname}]"
      "<img TemplateChip=\"EndSubClassList\">";
  std::string second =
      "<img TemplateChip=\"ListSubClassList:3\"><img TemplateChip=\"JSFile:b.js\">"
      "<img TemplateChip=\"EndSubClassList\">";
  std::string text = first + "|" + second;
  std::string page = Parse(text, "first");
  EXPECT_EQ(text, "{$zarnik}|" + second);
  EXPECT_TRUE(Has(page, "[国内]")) << page;
  EXPECT_TRUE(Has(page, "[国际]")) << page;
  // The second block stays, with its chips rendered in the page's context.
  EXPECT_TRUE(Has(page,
                  "|<img TemplateChip=\"ListSubClassList:3\"><script language='javascript' "
                  "src='/Article/Js/b.js'></Script><img TemplateChip=\"EndSubClassList\">"))
      << page;
}

TEST_F(TemplateEngineTest, SubClassBlockCellsUseTheClassListHandler) {
  int top = site_.Add(ClassRow{.name = "国内", .dir = "china", .page_size = 7});
  site_.Add(ClassRow{.name = "北京", .parent = top});
  site_.Start();
  site_.SetPage("classlist",
                "{$showclassname}:<img TemplateChip=\"ListSubClassList:1\">({$showclassname})"
                "<img TemplateChip=\"EndSubClassList\">");
  std::string page = site_.Page("/asp.asp?m=classlist&channelid=1&classid=" + std::to_string(top));
  EXPECT_TRUE(Has(page, "国内:")) << page;
  EXPECT_TRUE(Has(page, "(北京)")) << page;
}

TEST_F(TemplateEngineTest, ShowClassListRendersAGivenTemplateWithTheClassSettings) {
  int cls = site_.Add(ClassRow{.name = "国内", .dir = "china", .page_size = 0});
  std::string page;
  site_.InRequest([&](RequestState& state) {
    page = ShowClassList(state, cls, "<i>{$showclassname}</i>{$showcss}");
  });
  EXPECT_EQ(page, "<i>国内</i><link href='/Article/Skin/1.css' rel='stylesheet' type='text/css'>");
}

// Stored titles, names and keywords are text: a title holding markup and quotes shows as typed
// and cannot open a tag or end an attribute. The article body and the configuration's copyright
// block are the site's own HTML and go in as stored.
TEST_F(TemplateEngineTest, StoredTitlesNamesAndKeywordsGoInAsText) {
  const std::string t = "A <b>\"粗\"</b>";
  const std::string e = "A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;";
  site_.Exec("update Vantrel_Channel set d_channelname = ?, d_projectname = ? where d_id = 1",
             {t, t});
  site_.Exec(
      "update Vantrel_Config set d_name = ?, d_url = ?, d_email = ?, d_keyword = ?, "
      "d_copyright = '<b>C</b>'",
      {t, "http://x/?a=1&b=\"2\"", t, t});
  int id = site_.Add(ArticleRow{.title = t,
                                .content = "<p>正文</p>",
                                .summary = t,
                                .subtitle = t,
                                .long_title = t,
                                .meta_keyword = t});
  int cls = site_.Add(ClassRow{.name = t});
  int subject = site_.Add(SubjectRow{.name = t});
  auto parse = [&](std::string text, const std::string& type, const Variant& class_id,
                   const Variant& subject_id) {
    std::string page;
    site_.InRequest([&](RequestState& state) {
      page = ParseTemplate(state, state.channel, PageSkin{}, text,
                           {.page_type = type,
                            .generate_html = "0",
                            .article_id = id,
                            .class_id = ParseId(class_id.ToString()),
                            .subject_id = ParseId(subject_id.ToString())});
    });
    return page;
  };
  EXPECT_EQ(
      parse("{$showarticletitle}|{$showarticlesubtitle}|{$showarticlelongtitle}|"
            "{$showpagetitle}|{$showpagekeyword}|{$showpagedesc}|{$showchannelname}|"
            "{$showprojectname}|{$showarticlecontent}",
            "content", "", ""),
      e + "|" + e + "|" + e + "|" + e + "|" + e + "|" + e + "|" + e + "|" + e + "|<p>正文</p>");
  EXPECT_EQ(parse("{$showclassname}|{$showpagetitle}", "classlist", cls, ""),
            e + "|" + e + "分类列表页");
  EXPECT_EQ(parse("{$showsubjectname}|{$showpagetitle}", "subjectlist", "", subject),
            e + "|" + e + "专题列表页");
  EXPECT_EQ(parse("{$showpagetitle}|{$showpagekeyword}|{$showwebmasteremail}|{$showsiteurl}|"
                  "{$showcopyright}",
                  "default", "", ""),
            e + "|" + e + "|" + e + "|http://x/?a=1&amp;b=&quot;2&quot;|<b>C</b>");
}

}  // namespace
}  // namespace folirex::testing
