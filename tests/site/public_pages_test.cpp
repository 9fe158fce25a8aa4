// The public pages through the host, on a real site folder and SQLite file: the site home, a
// channel's first page, articles with their pages, the print view, an announcement, class and
// subject lists, and the answers to missing or malformed ids. Pages are decoded from GB2312.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/text/vb_text.h"
#include "publishing/article_html.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

bool Has(const std::string& page, const std::string& part) {
  return page.find(part) != std::string::npos;
}

constexpr const char* kBadArticle = "<script>alert('传入文章id错误！');history.go(-1)</script>";

class PublicPagesTest : public ::testing::Test {
 protected:
  PublicPagesTest() {
    site_.Sql("update Vantrel_Config set d_url = 'http://news.example/'");
    site_.SetPage("first",
                  "<title>{$showpagetitle}</title>{$showcss}|path={$showpath}|id={$showchannelid}"
                  "|dir={$showchanneldir}|name={$showchannelname}|stat={$showchannelstat}"
                  "|hot={$showarticlehotlisturl}|cssdir={$showcssdir}|menu={$showmenucss}"
                  "|channel=[{$showchannel}]",
                  3);
  }

  SiteFixture site_;
};

TEST_F(PublicPagesTest, HomeOfASiteWithSeveralChannels) {
  int sports = site_.Add(
      ChannelRow{.name = "体育", .dir = "sports", .item_count = 7, .item_count_checked = 5});
  site_.SetChannel(1, "d_itemcount = 3, d_itemcountchecked = 2");
  site_.SetHomePage(
      "<title>{$showpagetitle}</title>{$showcss}|{$showpath}|{$showchannelstat}"
      "|{$showinstalldir}|{$showmenucss}|{$showchannelname}|{$showpagekeyword}",
      2);
  std::string page = site_.Page("/asp.asp");
  EXPECT_TRUE(Has(page, "<title>Folirex 新闻网</title>")) << page;
  EXPECT_TRUE(Has(page, "<link href='/Skin/2.css' rel='stylesheet' type='text/css'>")) << page;
  EXPECT_TRUE(Has(page, "|您当前位置：网站首页|")) << page;
  EXPECT_TRUE(Has(page,
                  "|文章中心：3篇文章<br>文章中心：2篇已审核<br>体育：7篇文章<br>"
                  "体育：5篇已审核<br>|"))
      << page;
  EXPECT_TRUE(Has(page, "|/|<link rel='stylesheet' href='/skin/default.css'>|文章中心|")) << page;
  EXPECT_TRUE(Has(page, "|新闻,文章,Folirex")) << page;

  // A hidden channel leaves the statistics; the home page is still the home page.
  site_.SetChannel(sports, "d_shownameflag = 0");
  page = site_.Page("/asp.asp");
  EXPECT_FALSE(Has(page, "体育：")) << page;
  EXPECT_TRUE(Has(page, "您当前位置：网站首页")) << page;
}

TEST_F(PublicPagesTest, SiteWithOneChannelOpensOnItsFirstPage) {
  std::string page = site_.Page("/asp.asp");
  EXPECT_TRUE(Has(page, "<title>Folirex 新闻网</title>")) << page;
  EXPECT_TRUE(Has(page, "<link href='/Article/Skin/3.css' rel='stylesheet' type='text/css'>"))
      << page;
  EXPECT_TRUE(Has(page,
                  "|path=您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;"
                  "&gt;&gt;&nbsp;首页|"))
      << page;
  EXPECT_TRUE(Has(page, "|id=1|dir=Article/|")) << page;
  // The channel name is no label of a first page: it stays as typed.
  EXPECT_TRUE(Has(page, "|name={$showchannelname}|")) << page;
  EXPECT_TRUE(Has(page, "|stat=<table width='100%' align=center><tr><td>文章总数：0 篇")) << page;
  EXPECT_TRUE(Has(page, "|hot=/asp.asp?m=hotlist&channelid=1|cssdir=3|")) << page;
  EXPECT_TRUE(Has(page, "|menu=<link rel='stylesheet' href='/Article/skin/default.css'>|")) << page;
  EXPECT_TRUE(Has(page, "|channel=[]")) << page;
}

TEST_F(PublicPagesTest, ChannelFirstPageOfAStaticChannel) {
  int sports = site_.Add(ChannelRow{.name = "体育",
                                    .dir = "sports",
                                    .generate_html = 1,
                                    .first_file_ext = 1,
                                    .list_file_ext = 0});
  std::string page = site_.Page("/asp.asp?channelid=" + std::to_string(sports));
  EXPECT_TRUE(Has(page, "<link href='/sports/Skin/3.css'")) << page;
  // With two shown channels the static first page lies in the channel's folder.
  EXPECT_TRUE(Has(page, "path=您当前位置：<a href='/sports/default.htm'>体育</a>")) << page;
  EXPECT_TRUE(Has(page, "|hot=/sports/listhot/list_hot.html|")) << page;

  // With a single shown channel it is the site's own first page.
  site_.SetChannel(1, "d_shownameflag = 0");
  page = site_.Page("/asp.asp?channelid=" + std::to_string(sports));
  EXPECT_TRUE(Has(page, "path=您当前位置：<a href='/default.htm'>体育</a>")) << page;
}

TEST_F(PublicPagesTest, MissingTemplatePageAnswersAPageThatSaysSo) {
  // A set that maps no page of the type, and a class's own page that is not there.
  site_.SetPage("classlist", "<p>list</p>");
  const int64_t own = site_.Add(ClassRow{.name = "国内", .dir = "china", .template_page = 999});
  const int64_t by_set = site_.Add(ClassRow{.name = "国外", .dir = "world"});
  site_.Sql("delete from Vantrel_TemplateAndPage where d_templateid = " +
            std::to_string(kTestTemplateSet) + " and d_type <> 'classlist'");
  for (const std::string& url :
       {std::string("/asp.asp?m=hotlist&channelid=1"), std::string("/asp.asp?channelid=1"),
        "/asp.asp?m=classlist&channelid=1&classid=" + std::to_string(own)}) {
    EXPECT_TRUE(Has(site_.Page(url), "提示：本页使用的模板页不存在")) << url;
  }
  EXPECT_TRUE(Has(site_.Page("/asp.asp?m=classlist&channelid=1&classid=" + std::to_string(by_set)),
                  "<p>list</p>"));
}

class ArticlePagesTest : public PublicPagesTest {
 protected:
  ArticlePagesTest() {
    top_ = site_.Add(ClassRow{.name = "国内", .dir = "china"});
    sub_ = site_.Add(ClassRow{.name = "北京", .dir = "beijing", .parent = top_, .comments = true});
    site_.SetPage("content",
                  "<title>{$showpagetitle}</title>{$showcss}|kw={$showpagekeyword}"
                  "|desc={$showpagedesc}|path={$showpath}|T={$showarticletitle}"
                  "|C={$showarticlecontent}|prev={$showarticleprevious}"
                  "|next={$showarticlenext}|foot={$showarticlefooter}"
                  "|time={$showarticleupdatetime}|url={$showsiteurl}|URL={$ShowSiteUrl}"
                  "|Prop={$SHOWARTICLEPROPERTY}|name={$showchannelname}");
    site_.SetPage("print",
                  "<title>{$showpagetitle}</title>|T={$showarticletitle}"
                  "|C={$showarticlecontent}|path={$showpath}|channel={$showchannel}"
                  "|author={$showarticleauthor}");
  }

  int top_ = 0;
  int sub_ = 0;
};

TEST_F(ArticlePagesTest, ArticlePageFillsItsLabels) {
  int first = site_.Add(ArticleRow{.title = "第一篇", .content = "x"});
  int id = site_.Add(ArticleRow{.title = "标题{$showsiteurl}",
                                .content = "<p>正文</p>",
                                .class_id = sub_,
                                .hot = true,
                                .summary = "摘要",
                                .meta_keyword = "甲,乙",
                                .meta_relative = false});
  int last = site_.Add(ArticleRow{.title = "最后", .content = "y", .class_id = sub_});
  std::string page = site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(id));
  // A value that looks like a label is shown as it is, never filled in again.
  EXPECT_TRUE(Has(page, "<title>标题{$showsiteurl}</title>")) << page;
  EXPECT_TRUE(Has(page, "|T=标题{$showsiteurl}|")) << page;
  // Labels typed in capitals are the same labels.
  EXPECT_TRUE(Has(page, "|url=http://news.example/|URL=http://news.example/|")) << page;
  EXPECT_TRUE(Has(page, "|Prop=<font color=red> 热</font>|")) << page;
  EXPECT_TRUE(Has(page, "|kw=甲,乙|desc=摘要|")) << page;
  EXPECT_TRUE(Has(page, "|C=<p>正文</p>|")) << page;
  EXPECT_TRUE(Has(page, "|time=2024-03-05|")) << page;
  EXPECT_TRUE(Has(page, "|name=文章中心")) << page;
  std::string c1 = std::to_string(top_), c2 = std::to_string(sub_);
  EXPECT_TRUE(Has(page,
                  "|path=您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;"
                  "&gt;&gt;&nbsp;<a href='/asp.asp?m=classlist&classid=" +
                      c1 +
                      "&channelid=1'>国内</a> &gt;&gt;&nbsp;<a href='/asp.asp?m="
                      "classlist&classid=" +
                      c2 + "&channelid=1'>北京</a> &gt;&gt;&nbsp;内容|"))
      << page;
  EXPECT_TRUE(Has(page, "|prev=<a href='/asp.asp?m=content&articleid=" + std::to_string(first) +
                            "&channelid=1'>第一篇</a>|"))
      << page;
  EXPECT_TRUE(Has(page, "|next=<a href='/asp.asp?m=content&articleid=" + std::to_string(last) +
                            "&channelid=1'>最后</a>|"))
      << page;
  std::string ids = "articleid=" + std::to_string(id) + "&channelid=1";
  EXPECT_TRUE(Has(page, "|foot=【<a href='/asp.asp?m=comment&" + ids +
                            "'>发表评论</a>】【<a href='"
                            "/asp.asp?m=tellfriend&" +
                            ids +
                            "'>告诉好友</a>】【<a href='/asp.asp?m="
                            "print&" +
                            ids + "' target='_blank'>打印此页</a>】"))
      << page;
}

TEST_F(ArticlePagesTest, NeighboursSkipRecycledAndUnapprovedArticles) {
  int a = site_.Add(ArticleRow{.title = "甲", .content = "1"});
  site_.Add(ArticleRow{.title = "回收", .content = "2", .deleted = true});
  site_.Add(ArticleRow{.title = "待审", .content = "3", .checked = false});
  int d = site_.Add(ArticleRow{.title = "丁", .content = "4", .class_id = top_});
  std::string page = site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(a));
  EXPECT_TRUE(Has(page, "|prev=没有了|")) << page;
  EXPECT_TRUE(Has(page, "|next=<a href='/asp.asp?m=content&articleid=" + std::to_string(d) +
                            "&channelid=1'>丁</a>|"))
      << page;
  // In a static channel the links go to the neighbours' files in their class folders.
  site_.SetChannel(1, "d_generatehtml = 2, d_contentfiletype = 2, d_contentfileext = 1");
  page = site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(a));
  EXPECT_TRUE(
      Has(page, "|next=<a href='/Article/china/Article_" + std::to_string(d) + ".htm'>丁</a>|"))
      << page;
  page = site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(d));
  EXPECT_TRUE(Has(page, "|prev=<a href='/Article/Article_" + std::to_string(a) + ".htm'>甲</a>|"))
      << page;
  EXPECT_TRUE(Has(page, "|next=没有了|")) << page;
  // The article's class takes no comments: no comment link in the footer.
  EXPECT_TRUE(Has(page, "|foot=【<a href='/asp.asp?m=tellfriend&")) << page;
}

TEST_F(ArticlePagesTest, ManuallyPagedArticleShowsAllItsPages) {
  site_.SetChannel(1, "d_generatehtml = 1");
  int id = site_.Add(ArticleRow{
      .title = "分页", .content = "<p>第一页</p>[Vantrel_NextPage]<p>第二页</p>", .pagination = 2});
  std::string page = site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(id));
  EXPECT_TRUE(Has(page, "|C=<p>第一页</p><p>第二页</p>|")) << page;
  EXPECT_FALSE(Has(page, "zarnik")) << page;
  EXPECT_FALSE(Has(page, "Vantrel_NextPage")) << page;

  // The print view shows the whole article too.
  page = site_.Page("/asp.asp?m=print&channelid=1&articleid=" + std::to_string(id));
  EXPECT_TRUE(Has(page, "|C=<p>第一页</p><p>第二页</p>|")) << page;
}

TEST_F(ArticlePagesTest, AutomaticallyPagedArticleShowsAllItsPages) {
  site_.SetChannel(1, "d_generatehtml = 2");
  std::string content =
      "<p>" + std::string(40, 'a') + "<b>粗体</b>" + std::string(40, 'b') + "</p>";
  int id = site_.Add(
      ArticleRow{.title = "自动", .content = content, .pagination = 1, .chars_per_page = 10});
  std::string page = site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(id));
  EXPECT_TRUE(Has(page, "|C=" + content + "|")) << page;
  EXPECT_FALSE(Has(page, "zarnik")) << page;
}

// The static pages of a paged article: one file per page, each with its own text and the bar of
// links to every page.
TEST_F(ArticlePagesTest, StaticPagesOfAPagedArticleLinkEachOther) {
  site_.SetChannel(1, "d_generatehtml = 1");
  int manual = site_.Add(ArticleRow{.title = "手动",
                                    .content = "<p>甲页</p>[Vantrel_NextPage]<p>乙页</p>",
                                    .class_id = top_,
                                    .pagination = 2});
  std::string automatic_text =
      "<p>" + std::string(8, 'a') + "&amp;" + std::string(12, 'b') + "</p>";
  int automatic = site_.Add(ArticleRow{.title = "自动",
                                       .content = automatic_text,
                                       .class_id = top_,
                                       .pagination = 1,
                                       .chars_per_page = 12});
  bool written = false;
  site_.InRequest([&](RequestState& state) {
    written = CreateArticleHtml(state, manual) && CreateArticleHtml(state, automatic);
  });
  ASSERT_TRUE(written);
  auto read = [&](const std::string& name) {
    std::ifstream in(site_.root() / "Article" / "china" / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return GbkToUtf8(bytes.str());
  };
  std::string m = std::to_string(manual);
  std::string bar = "<p align=right>[<a href='/Article/china/" + m +
                    ".html'>1</a>][<a href='"
                    "/Article/china/" +
                    m + "_2.html'>2</a>]</p>";
  EXPECT_TRUE(Has(read(m + ".html"), "|C=<p>甲页</p>" + bar + "|")) << read(m + ".html");
  EXPECT_TRUE(Has(read(m + "_2.html"), "|C=<p>乙页</p>" + bar + "|")) << read(m + "_2.html");

  // Pages of at most 12 characters; the first cut moves back out of the entity.
  std::string a = std::to_string(automatic);
  std::vector<std::string> texts;
  for (int n = 1; n <= 3; ++n) {
    std::string name = n == 1 ? a + ".html" : a + "_" + std::to_string(n) + ".html";
    std::string page = read(name);
    size_t start = page.find("|C=");
    size_t end = page.find("<p align=right>", start);
    ASSERT_NE(start, std::string::npos) << name << page;
    ASSERT_NE(end, std::string::npos) << name << page;
    std::string text = page.substr(start + 3, end - start - 3);
    EXPECT_TRUE(Has(page, "[<a href='/Article/china/" + a + "_3.html'>3</a>]</p>")) << page;
    texts.push_back(page.substr(start + 3, end - start - 3));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"<p>aaaaaaaa", "&amp;bbbbbbb", "bbbbb</p>"}));
  EXPECT_FALSE(std::filesystem::exists(site_.root() / "Article" / "china" / (a + "_4.html")))
      << "no empty last page";
}

TEST_F(ArticlePagesTest, MissingRecycledUnapprovedOrMalformedArticleAnswersTheAlert) {
  int live = site_.Add(ArticleRow{.title = "在线", .content = "c"});
  int recycled = site_.Add(ArticleRow{.title = "回收", .content = "c", .deleted = true});
  int waiting = site_.Add(ArticleRow{.title = "待审", .content = "c", .checked = false});
  EXPECT_TRUE(Has(site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(live)),
                  "|T=在线|"));
  for (const std::string& id :
       {std::to_string(live + 100), std::to_string(recycled), std::to_string(waiting),
        std::string("1 or 1=1"), std::string("-1"), std::string(""), std::string("0x1")}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(site_.Page("/asp.asp?m=content&channelid=1&articleid=" + id), kBadArticle);
    // Its print view answers as the content page does.
    EXPECT_EQ(site_.Page("/asp.asp?m=print&channelid=1&articleid=" + id), kBadArticle);
  }
}

// A long article comes whole into its page, as the stored text: one page, cut by the editor's
// breaks or cut by characters. Its body starts and ends the template, holds a label that stays as
// typed, and a character outside the code page, which the page carries as a reference.
TEST_F(ArticlePagesTest, LongArticleComesWholeIntoItsPagePagedOrNot) {
  site_.SetPage("content", "{$showarticlecontent}|desc={$showpagedesc}|{$ShowArticleContent}");
  std::vector<std::string> pages(3);
  std::string text;  // the body's text, as its summary reads it
  for (size_t p = 0; p < pages.size(); ++p) {
    for (int i = 0; i < 2000; ++i) {
      const std::string n = std::to_string(p * 2000 + i);
      pages[p] += "<p>第" + n + "段：经济&amp;文化{$showarticletitle}😀</p>";
      text += "第" + n + "段：经济文化{$showarticletitle}😀";
    }
  }
  // The separator of the content pages, typed into the text, is taken out as the pages are.
  pages.back() += "[zarnik_pagemark]末";
  const std::string whole = pages[0] + pages[1] + pages[2];
  auto as_sent = [](const std::string& utf8) { return Replace(utf8, "😀", "&#128512;"); };
  const std::string summary = as_sent(Left(text, 130));
  auto page_of = [&](int64_t id) {
    return site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(id));
  };

  const int64_t plain = site_.Add(ArticleRow{.title = "长文", .content = whole});
  EXPECT_EQ(page_of(plain), as_sent(whole) + "|desc=" + summary + "|" + as_sent(whole));

  site_.SetChannel(1, "d_generatehtml = 1");
  const std::string shown = pages[0] + pages[1] + Replace(pages[2], "[zarnik_pagemark]", "");
  const int64_t manual = site_.Add(ArticleRow{
      .title = "长文",
      .content = pages[0] + "[Vantrel_NextPage]" + pages[1] + "[Vantrel_NextPage]" + pages[2],
      .pagination = 2});
  EXPECT_EQ(page_of(manual), as_sent(shown) + "|desc=" + summary + "|" + as_sent(shown));
  const std::string cut = pages[0] + pages[1];
  const int64_t automatic = site_.Add(
      ArticleRow{.title = "长文", .content = cut, .pagination = 1, .chars_per_page = 999});
  EXPECT_EQ(page_of(automatic), as_sent(cut) + "|desc=" + summary + "|" + as_sent(cut));

  // The print view too.
  EXPECT_TRUE(Has(site_.Page("/asp.asp?m=print&channelid=1&articleid=" + std::to_string(manual)),
                  "|C=" + as_sent(shown) + "|path="));
}

TEST_F(ArticlePagesTest, PrintViewKnowsOnlyItsLabels) {
  int id = site_.Add(ArticleRow{.title = "打印", .content = "<p>全文</p>", .author = "张<三>"});
  std::string page = site_.Page("/asp.asp?m=print&channelid=1&articleid=" + std::to_string(id));
  EXPECT_EQ(page,
            "<title>打印</title>|T=打印|C=<p>全文</p>|path={$showpath}|channel={$showchannel}"
            "|author=张&lt;三&gt;");
}

TEST_F(PublicPagesTest, AnnouncementPage) {
  site_.SetPage("notice",
                "<title>{$showpagetitle}</title>{$showannouncelist}|path=[{$showpath}]"
                "|banner={$showbanner}|menu={$showmenucss}");
  std::string id = std::to_string(
      site_.Add(AnnounceRow{.title = "停电通知", .author = "物业", .content = "<p>周六停电</p>"}));
  std::string page = site_.Page("/asp.asp?m=notice&channelid=1&noticeid=" + id);
  EXPECT_TRUE(Has(page, "<title>Folirex 新闻网</title>")) << page;
  EXPECT_TRUE(Has(page, "停电通知")) << page;
  EXPECT_TRUE(Has(page, "<p>周六停电</p>")) << page;
  EXPECT_TRUE(Has(page, "|path=[]|banner=<img src=''")) << page;
  EXPECT_TRUE(Has(page, "|menu={$showmenucss}")) << page;
}

TEST_F(PublicPagesTest, ClassListUsesTheClassPageSizeAndOwnTemplate) {
  site_.SetPage("classlist",
                "CL:{$showpagetitle}|{$showclassname}|{$showclasslinkurl}|{$showpath}");
  int plain = site_.Add(ClassRow{.name = "财经", .dir = "money"});
  int own_page = site_.AddTemplatePage("classlist", "OWN:{$showclassname}|{$showcss}", 6);
  int own = site_.Add(ClassRow{.name = "科技", .dir = "tech", .template_page = own_page});
  std::string page =
      site_.Page("/asp.asp?m=classlist&channelid=1&classid=" + std::to_string(plain));
  EXPECT_EQ(page, "CL:财经分类列表页|财经|/asp.asp?m=classlist&classid=" + std::to_string(plain) +
                      "&channelid=1|您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;"
                      "&gt;&gt;&nbsp;<a href='/asp.asp?m=classlist&classid=" +
                      std::to_string(plain) + "&channelid=1'>财经</a>&nbsp;&gt;&gt;&nbsp;分类列表");
  page = site_.Page("/asp.asp?m=classlist&channelid=1&classid=" + std::to_string(own));
  EXPECT_EQ(page, "OWN:科技|<link href='/Article/Skin/6.css' rel='stylesheet' type='text/css'>");
  for (const std::string& bad : {std::string("999"), std::string("1 or 1=1"), std::string("")}) {
    EXPECT_EQ(site_.Page("/asp.asp?m=classlist&channelid=1&classid=" + bad),
              "<script>alert('传入分类ID错误！');history.go(-1)</script>");
  }
}

TEST_F(PublicPagesTest, SubjectList) {
  site_.SetPage("subjectlist", "SL:{$showpagetitle}|{$showsubjectname}|{$showpath}");
  int subject = site_.Add(SubjectRow{.name = "奥运"});
  std::string page =
      site_.Page("/asp.asp?m=subjectlist&channelid=1&subjectid=" + std::to_string(subject));
  EXPECT_EQ(page,
            "SL:奥运专题列表页|奥运|您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;"
            "&gt;&gt;&nbsp;奥运列表");
  for (const std::string& bad : {std::string("999"), std::string("2-1")}) {
    EXPECT_EQ(site_.Page("/asp.asp?m=subjectlist&channelid=1&subjectid=" + bad),
              "<script>alert('传入专题id错误！');history.go(-1)</script>");
  }
}

TEST_F(PublicPagesTest, SearchTitleShowsTheKeywordAsText) {
  site_.SetPage("search", "S:{$showpagetitle}|{$showsearchtitle}|{$showpath}");
  std::string page = site_.Page("/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=" +
                                GbkUrlEncode("<b>新闻</b>&"));
  EXPECT_EQ(page,
            "S:查询结果页|标题包含<font color=red>&lt;b&gt;新闻&lt;/b&gt;&amp;</font>的文章|"
            "您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;&gt;&gt;&nbsp;查询结果");
  page = site_.Page("/asp.asp?m=search&channelid=1&searchtype=d_author&searchkeyword=x");
  EXPECT_TRUE(Has(page, "|作者包含<font color=red>x</font>的文章|")) << page;
  page = site_.Page("/asp.asp?m=search&channelid=1&searchtype=d_title");
  EXPECT_TRUE(Has(page, "|所有文章|")) << page;
  page = site_.Page("/asp.asp?m=search&channelid=1&searchtype=other&searchkeyword=x");
  EXPECT_TRUE(Has(page, "|{$showsearchtitle}|")) << page;
}

TEST_F(PublicPagesTest, ListPagesAndTheUserList) {
  for (const char* type : {"hotlist", "recommendlist", "newlist"}) {
    site_.SetPage(type, std::string(type) + ":{$showpath}");
  }
  std::string head = "您当前位置：<a href='/asp.asp?channelid=1'>文章中心</a>&nbsp;&gt;&gt;&nbsp;";
  EXPECT_EQ(site_.Page("/asp.asp?m=hotlist&channelid=1"), "hotlist:" + head + "热门文章");
  EXPECT_EQ(site_.Page("/asp.asp?m=recommendlist&channelid=1"),
            "recommendlist:" + head + "最新推荐文章");
  EXPECT_EQ(site_.Page("/asp.asp?m=newlist&channelid=1"), "newlist:" + head + "最新文章");
  EXPECT_EQ(site_.Page("/asp.asp?m=userlist&channelid=1"), "");
  // An unknown page shows the channel's first page.
  EXPECT_TRUE(Has(site_.Page("/asp.asp?m=nosuchpage&channelid=1"), "|id=1|"));
}

}  // namespace
}  // namespace folirex::testing
