// The static article page writer: one file per content page in each file-naming code, read back
// from the site folder and through the host, the page bar, the generated mark, pages left over
// from a longer version, and articles that must not inherit another article's pages.
#include "publishing/article_html.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/public_request.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

namespace stdfs = std::filesystem;

class ArticleHtmlTest : public ::testing::Test {
 protected:
  ArticleHtmlTest() {
    news_ = site_.Add(ChannelRow{.name = "新闻",
                                 .dir = "news",
                                 .generate_html = 1,
                                 .content_file_type = 0,
                                 .content_file_ext = 0});
    tech_ = site_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = news_, .comments = true});
    site_.SetPage("content", "<title>{$showarticletitle}</title><div>{$showarticlecontent}</div>");
  }

  int Paged(const std::string& content, int class_id) {
    return site_.Add(ArticleRow{.title = "分页文章",
                                .content = content,
                                .channel = news_,
                                .class_id = class_id,
                                .add_time = "2024-03-05 08:09:10",
                                .pagination = 2});
  }

  bool Write(const Variant& id, std::string* body = nullptr) {
    bool ok = false;
    site_.InRequest(
        [&](RequestState& state) { ok = CreateArticleHtml(state, ParseId(id.ToString())); }, news_);
    if (body != nullptr) *body = site_.RequestBody();
    return ok;
  }

  std::string Generated(int id) {
    return site_.SqlValue("select d_generatedflag from Vantrel_Article where d_id = " +
                          std::to_string(id));
  }

  static std::string Bar(const std::string& folder, const std::string& stem, const std::string& ext,
                         int pages) {
    std::string bar;
    for (int n = 1; n <= pages; ++n) {
      bar += "[<a href='" + folder + stem + (n == 1 ? "" : "_" + std::to_string(n)) + ext + "'>" +
             std::to_string(n) + "</a>]";
    }
    return bar;
  }

  SiteFixture site_;
  int news_ = 0;
  int tech_ = 0;
};

TEST_F(ArticleHtmlTest, APagedArticleGetsOneFilePerPageInEveryNamingCode) {
  int id =
      Paged("<p>第一页</p>[Vantrel_NextPage]<p>第二页</p>[Vantrel_NextPage]<p>第三页</p>", tech_);
  const std::string n = std::to_string(id);
  struct Code {
    const char* code;
    std::string stem;
  };
  for (const Code& c : {Code{"0", n}, Code{"1", "20240305080910"}, Code{"2", "news_" + n},
                        Code{"3", "news_20240305080910"}}) {
    SCOPED_TRACE(c.code);
    site_.SetChannel(news_, std::string("d_contentfiletype = ") + c.code);
    site_.Sql("update Vantrel_Article set d_generatedflag = 0");
    EXPECT_TRUE(Write(id));
    EXPECT_EQ(Generated(id), "-1");
    const std::string bar = Bar("/news/tech/", c.stem, ".html", 3);
    const char* pages[] = {"<p>第一页</p>", "<p>第二页</p>", "<p>第三页</p>"};
    for (int page = 1; page <= 3; ++page) {
      std::string name = c.stem + (page == 1 ? "" : "_" + std::to_string(page)) + ".html";
      std::string expected = "<title>分页文章</title><div>" + std::string(pages[page - 1]) +
                             "<p align=right>" + bar + "</p></div>";
      EXPECT_EQ(site_.FileText("news/tech/" + name), expected) << name;
      // The page as a visitor gets it from the site.
      HttpAnswer answer = site_.Get("/news/tech/" + name);
      EXPECT_EQ(answer.status, 200) << name;
      EXPECT_EQ(answer.text, expected);
    }
    EXPECT_FALSE(stdfs::exists(site_.Disk("news/tech/" + c.stem + "_4.html")));
  }
}

TEST_F(ArticleHtmlTest, WithoutAClassFolderThePagesGoIntoTheChannelFolder) {
  int id = Paged("一[Vantrel_NextPage]二", 0);
  EXPECT_TRUE(Write(id));
  const std::string n = std::to_string(id);
  EXPECT_EQ(site_.FileText("news/" + n + "_2.html"),
            "<title>分页文章</title><div>二<p align=right>" + Bar("/news/", n, ".html", 2) +
                "</p></div>");
  // A class row without folder is the same.
  int bare = site_.Add(ClassRow{.name = "无目录", .channel = news_, .comments = true});
  int other = Paged("甲[Vantrel_NextPage]乙", bare);
  EXPECT_TRUE(Write(other));
  EXPECT_TRUE(stdfs::exists(site_.Disk("news/" + std::to_string(other) + "_2.html")));
}

TEST_F(ArticleHtmlTest, AnArticleWithoutPagesGetsOneFileAsTheEngineRendersIt) {
  site_.SetPage("content",
                "<h1>{$showarticletitle}</h1>{$showarticlecontent}|{$showarticlecontent}");
  int id = site_.Add(
      ArticleRow{.title = "单页", .content = "<p>全文</p>", .channel = news_, .class_id = tech_});
  EXPECT_TRUE(Write(id));
  const std::string n = std::to_string(id);
  EXPECT_EQ(site_.FileText("news/tech/" + n + ".html"), "<h1>单页</h1><p>全文</p>|<p>全文</p>");
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/tech/" + n + "_2.html")));

  // The content label twice on a paged article: the page and its bar in both places.
  int paged = Paged("一[Vantrel_NextPage]二", tech_);
  EXPECT_TRUE(Write(paged));
  std::string second = site_.FileText("news/tech/" + std::to_string(paged) + "_2.html");
  EXPECT_EQ(CountOf(second, "二<p align=right>[<a href='/news/tech/"), 2) << second;

  // A channel without static pages still gets one file per article when asked.
  site_.SetChannel(news_, "d_generatehtml = 0");
  EXPECT_TRUE(stdfs::exists(site_.Disk("news/tech/" + std::to_string(paged) + "_2.html")));
  EXPECT_TRUE(Write(paged));
  std::string whole = site_.FileText("news/tech/" + std::to_string(paged) + ".html");
  EXPECT_NE(whole.find("一"), std::string::npos) << whole;
  EXPECT_NE(whole.find("二"), std::string::npos) << whole;
  EXPECT_EQ(whole.find("<p align=right>"), std::string::npos) << whole;
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/tech/" + std::to_string(paged) + "_2.html")));
}

// The static page is the engine's page: the title is text, the body the site's own HTML.
TEST_F(ArticleHtmlTest, TheStaticPageShowsTheTitleAsText) {
  int id = site_.Add(ArticleRow{
      .title = "A <b>\"粗\"</b>", .content = "<p>全文</p>", .channel = news_, .class_id = tech_});
  EXPECT_TRUE(Write(id));
  EXPECT_EQ(site_.FileText("news/tech/" + std::to_string(id) + ".html"),
            "<title>A &lt;b&gt;&quot;粗&quot;&lt;/b&gt;</title><div><p>全文</p></div>");
}

TEST_F(ArticleHtmlTest, PagesBeyondAShortenedArticleAreRemoved) {
  int id = Paged("一[Vantrel_NextPage]二[Vantrel_NextPage]三[Vantrel_NextPage]四", tech_);
  const std::string stem = "news/tech/" + std::to_string(id);
  EXPECT_TRUE(Write(id));
  EXPECT_TRUE(stdfs::exists(site_.Disk(stem + "_4.html")));

  site_.Sql("update Vantrel_Article set d_content = '一[Vantrel_NextPage]二' where d_id = " +
            std::to_string(id));
  EXPECT_TRUE(Write(id));
  EXPECT_TRUE(stdfs::exists(site_.Disk(stem + "_2.html")));
  EXPECT_FALSE(stdfs::exists(site_.Disk(stem + "_3.html")));
  EXPECT_FALSE(stdfs::exists(site_.Disk(stem + "_4.html")));
  EXPECT_NE(site_.FileText(stem + ".html").find(Bar("/news/tech/", std::to_string(id), ".html", 2)),
            std::string::npos);

  // A generation step reads the folder once for all its articles: the pages left over are still
  // found (in any letter case) and removed.
  int other = Paged("甲[Vantrel_NextPage]乙", tech_);
  const std::string other_stem = "news/tech/" + std::to_string(other);
  std::ofstream(site_.Disk(stem + "_3.HTML")) << "stale";
  std::ofstream(site_.Disk(stem + "_4.html")) << "stale";
  bool ok_first = false, ok_second = false;
  site_.InRequest(
      [&](RequestState& state) {
        ArticleBatch batch;
        const auto row_of = [&](int article) {
          Recordset rs;
          rs.Open(std::string(kArticlePageColumns) + " where a.d_id = " + std::to_string(article),
                  *state.db.Conn, 0, 1);
          return ReadArticlePageRow(rs);
        };
        ok_first = WriteArticleHtml(state, row_of(other), &batch);
        ok_second = WriteArticleHtml(state, row_of(id), &batch);
      },
      news_);
  EXPECT_TRUE(ok_first);
  EXPECT_TRUE(ok_second);
  EXPECT_TRUE(stdfs::exists(site_.Disk(other_stem + "_2.html")));
  EXPECT_TRUE(stdfs::exists(site_.Disk(stem + "_2.html")));
  EXPECT_FALSE(stdfs::exists(site_.Disk(stem + "_3.HTML")));
  EXPECT_FALSE(stdfs::exists(site_.Disk(stem + "_4.html")));

  // No paging at all now: one file.
  site_.Sql("update Vantrel_Article set d_paginationtype = 0 where d_id = " + std::to_string(id));
  EXPECT_TRUE(Write(id));
  EXPECT_FALSE(stdfs::exists(site_.Disk(stem + "_2.html")));
  EXPECT_EQ(Generated(id), "-1");
}

TEST_F(ArticleHtmlTest, EachArticleIsWrittenWithItsOwnPagesOnly) {
  int paged = Paged("甲一[Vantrel_NextPage]甲二[Vantrel_NextPage]甲三", tech_);
  int page_id = site_.AddTemplatePage("content", "<p>没有文章标签的页</p>");
  int plain = site_.Add(ArticleRow{.title = "乙",
                                   .content = "乙的全文",
                                   .channel = news_,
                                   .class_id = tech_,
                                   .template_page = page_id});
  bool first = false, second = false;
  site_.InRequest(
      [&](RequestState& state) {
        first = CreateArticleHtml(state, paged);
        second = CreateArticleHtml(state, plain);
      },
      news_);
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
  const std::string stem = "news/tech/" + std::to_string(plain);
  EXPECT_EQ(site_.FileText(stem + ".html"), "<p>没有文章标签的页</p>");
  EXPECT_FALSE(stdfs::exists(site_.Disk(stem + "_2.html")));
  EXPECT_TRUE(stdfs::exists(site_.Disk("news/tech/" + std::to_string(paged) + "_3.html")));
}

TEST_F(ArticleHtmlTest, AnArticleIsMarkedGeneratedOnlyWhenEveryFileWasWritten) {
  int blocked_class =
      site_.Add(ClassRow{.name = "受阻", .dir = "blocked", .channel = news_, .comments = true});
  stdfs::create_directories(site_.Disk("news"));
  std::ofstream(site_.Disk("news/blocked")) << "a file where the folder should be";
  int id = Paged("一[Vantrel_NextPage]二", blocked_class);
  site_.Sql("update Vantrel_Article set d_generatedflag = -1 where d_id = " + std::to_string(id));
  EXPECT_FALSE(Write(id));
  EXPECT_EQ(Generated(id), "0");

  // Once the way is clear the same call succeeds.
  stdfs::remove(site_.Disk("news/blocked"));
  EXPECT_TRUE(Write(id));
  EXPECT_EQ(Generated(id), "-1");
  EXPECT_TRUE(stdfs::exists(site_.Disk("news/blocked/" + std::to_string(id) + "_2.html")));
}

TEST_F(ArticleHtmlTest, AnIdWithoutArticleEndsTheRequestWithAnAlert) {
  for (const char* bad : {"999", "1 or 1=1", ""}) {
    std::string body;
    EXPECT_FALSE(Write(bad, &body));
    EXPECT_NE(body.find("alert('提示：文章id错误"), std::string::npos) << bad << body;
  }
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/tech")));
}

}  // namespace
}  // namespace folirex::testing
