// A channel published through the console's step requests on the real host: the planner's queue
// run to its end, the files compared with what the dynamic pages show, every link between them
// followed; crafted step addresses, failed files and the mode switches of a channel and of the site
// home.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "console/console_site.h"

namespace folirex::testing {
namespace {

namespace stdfs = std::filesystem;

constexpr const char* kDone = "<script language=javascript>parent.doReturn('完成');</script>";

// A ListArticleList chip: paged or not, the class with its descendants, the class name shown.
std::string Chip(bool paged, bool hot = false, bool recommend = false, int count = 0) {
  return "<img TemplateChip=\"ListArticleList:-1,0,true,0," + std::to_string(count) + "," +
         (hot ? "true" : "false") + "," + (recommend ? "true" : "false") +
         ",,0,0,1,false,0,0,true,false,false,false,false," + (paged ? "true" : "false") +
         ",false,1\">";
}

// The titles a list page shows, in order.
std::vector<std::string> Titles(const std::string& page) {
  static const std::regex kTitle(">(文章[0-9]+|外链)</font>");
  std::vector<std::string> titles;
  for (std::sregex_iterator it(page.begin(), page.end(), kTitle), end; it != end; ++it) {
    titles.push_back((*it)[1]);
  }
  return titles;
}

std::vector<std::string> Links(const std::string& page) {
  static const std::regex kHref("href=['\"]([^'\"]+)['\"]");
  std::vector<std::string> links;
  for (std::sregex_iterator it(page.begin(), page.end(), kHref), end; it != end; ++it) {
    links.push_back((*it)[1]);
  }
  return links;
}

class PublishChannelTest : public ::testing::Test {
 protected:
  PublishChannelTest() {
    news_ =
        site_.Add(ChannelRow{.name = "新闻", .dir = "news", .generate_html = 1, .group_num = 7});
    tech_ = site_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = news_, .page_size = 10});
    // A sub-class's folder lies inside its parent's, as the add form offers it.
    ai_ = site_.Add(ClassRow{
        .name = "智能", .dir = "tech/ai", .parent = tech_, .channel = news_, .page_size = 10});
    misc_ = site_.Add(ClassRow{.name = "杂项", .channel = news_, .page_size = 0});
    games_ = site_.Add(SubjectRow{.name = "奥运", .dir = "olympics", .channel = news_});
    site_.Sql("update Vantrel_ArticleSubject set d_pagenum = 15");
    site_.SetPage("first", "<h1>{$showchannelname}</h1>" + Chip(false, false, false, 10));
    site_.SetPage("classlist",
                  "<h1>{$showclassname}</h1>" + Chip(false, false, false, 5) + Chip(true));
    site_.SetPage("subjectlist", "<h1>{$showsubjectname}</h1>" + Chip(true));
    site_.SetPage("hotlist", "<h1>热门</h1>" + Chip(true, true));
    site_.SetPage("recommendlist", "<h1>推荐</h1>" + Chip(true, false, true));
    site_.SetPage("newlist", "<h1>最新</h1>" + Chip(true));
    site_.SetPage("content", "<title>{$showarticletitle}</title><div>{$showarticlecontent}</div>");
    for (int i = 1; i <= 200; ++i) {
      const int64_t cls = i % 5 == 0 ? misc_ : i % 5 == 1 ? tech_ : i % 7 == 0 ? 0 : ai_;
      char time[32];
      std::snprintf(time, sizeof time, "2024-03-%02d %02d:%02d:%02d", 1 + i / 60, i % 24, i % 60,
                    (i * 7) % 60);
      ArticleRow row{.title = "文章" + std::to_string(i),
                     .content = "<p>正文" + std::to_string(i) + "</p>",
                     .channel = news_,
                     .class_id = cls,
                     .subject = i % 3 == 0 ? games_ : 0,
                     .add_time = time,
                     .hot = i % 4 == 0,
                     .recommend = i % 6 == 0};
      if (i % 50 == 0) {
        row.content = "<p>上篇</p>[Vantrel_NextPage]<p>下篇</p>";
        row.pagination = 2;
      }
      site_.Add(row);
    }
    // Neither a link nor an article waiting for approval has a page.
    link_ = site_.Add(ArticleRow{
        .title = "外链", .channel = news_, .class_id = tech_, .link_url = "http://example.com/"});
    waiting_ = site_.Add(
        ArticleRow{.title = "待审", .channel = news_, .class_id = tech_, .checked = false});
    EXPECT_EQ(site_.SignInAsAdmin().status, 302);
  }

  std::string Console() { return "/admin.asp?m=admin_articlehtml&channelid=" + Id(news_); }
  static std::string Id(int64_t id) { return std::to_string(id); }

  // The planner's queue: each step's address tail.
  std::vector<std::string> Plan(const std::string& flag,
                                const std::vector<std::string>& options = {}) {
    std::vector<std::pair<std::string, std::string>> form;
    for (const std::string& o : options) form.emplace_back("d_option", o);
    HttpAnswer page = site_.Post(Console() + "&action=htmlupdate&flag=" + flag, form);
    EXPECT_EQ(page.status, 200);
    static const std::regex kUrl("a_Url\\[a_Url.length\\] = '([^']*)';");
    std::vector<std::string> urls;
    for (std::sregex_iterator it(page.text.begin(), page.text.end(), kUrl), end; it != end; ++it) {
      urls.push_back((*it)[1]);
    }
    batch_page_ = page.text;
    return urls;
  }

  std::string Step(const std::string& url) {
    return site_.Get("/admin.asp?m=admin_articlehtml&action=doingupdatehtml&" + url).text;
  }

  // Runs every step of the plan; each must answer as done.
  void RunAll(const std::vector<std::string>& urls) {
    for (const std::string& url : urls) EXPECT_EQ(Step(url), kDone) << url;
  }

  std::string Token() {
    std::smatch m;
    static const std::regex kToken("token=([0-9a-f]{32})");
    Plan("1", {"first"});
    std::regex_search(batch_page_, m, kToken);
    return m.size() > 1 ? m[1].str() : "";
  }

  std::string Dynamic(const std::string& query) { return site_.Page("/asp.asp?" + query); }

  ConsoleSite site_;
  int64_t news_ = 0, tech_ = 0, ai_ = 0, misc_ = 0, games_ = 0, link_ = 0, waiting_ = 0;
  std::string batch_page_;
};

TEST_F(PublishChannelTest, EveryNamingCodeAndListModeMatchesTheDynamicPages) {
  struct Layout {
    int naming;
    int list_dir;
  };
  const std::string channel = "&channelid=" + Id(news_);
  for (const Layout layout : {Layout{0, 0}, Layout{1, 1}, Layout{2, 2}, Layout{3, 0}}) {
    SCOPED_TRACE("naming " + std::to_string(layout.naming) + " list " +
                 std::to_string(layout.list_dir));
    site_.SetChannel(news_, "d_contentfiletype = " + std::to_string(layout.naming) +
                                ", d_listdir = " + std::to_string(layout.list_dir));
    RunAll(Plan("1", {"delete", "first", "js_all", "content_all", "classlist_all",
                      "subjectlist_all", "hotlist", "recommendlist", "newlist"}));

    // The first page and page 1 of every list are the dynamic pages of the static channel.
    EXPECT_EQ(site_.FileText("news/default.html"), Dynamic("channelid=" + Id(news_)));
    struct List {
      std::string query;
      std::string file;  // page 1
      std::string stem;
    };
    const std::string class_folder = layout.list_dir == 1 ? "news/List/" : "news/";
    std::vector<List> lists = {
        {"m=classlist&classid=" + Id(tech_),
         (layout.list_dir == 0 ? "news/tech/" : class_folder) + "List_" + Id(tech_), ""},
        {"m=classlist&classid=" + Id(ai_),
         (layout.list_dir == 0 ? "news/tech/ai/" : class_folder) + "List_" + Id(ai_), ""},
        {"m=classlist&classid=" + Id(misc_), class_folder + "List_" + Id(misc_), ""},
        {"m=subjectlist&subjectid=" + Id(games_), "news/Subject/olympics/List_" + Id(games_), ""},
        {"m=hotlist", "news/listhot/list_hot", ""},
        {"m=recommendlist", "news/listhot/list_recommend", ""},
        {"m=newlist", "news/listhot/list_new", ""}};
    // The parent class lists its sub-class's articles too, at 10 a page: as many files as its
    // page bar links.
    const int64_t listed = site_.Number(
        "select count(*) from Vantrel_Article where d_checked <> 0 and d_deleted = 0 and "
        "d_classid in (" +
        Id(tech_) + "," + Id(ai_) + ")");
    const int64_t pages = (listed + 9) / 10;
    ASSERT_GT(pages, 5);
    EXPECT_TRUE(stdfs::exists(site_.Disk(lists[0].file + "_" + Id(pages) + ".html")));
    EXPECT_FALSE(stdfs::exists(site_.Disk(lists[0].file + "_" + Id(pages + 1) + ".html")));
    for (const List& list : lists) {
      SCOPED_TRACE(list.query);
      EXPECT_EQ(site_.FileText(list.file + ".html"), Dynamic(list.query + channel));
    }

    // Every page of every list shows what the dynamic list shows on that page.
    site_.SetChannel(news_, "d_generatehtml = 0");
    for (const List& list : lists) {
      for (int n = 2;; ++n) {
        const std::string file = list.file + "_" + std::to_string(n) + ".html";
        if (!stdfs::exists(site_.Disk(file))) break;
        std::vector<std::string> titles = Titles(site_.FileText(file));
        EXPECT_FALSE(titles.empty()) << file;
        EXPECT_EQ(titles, Titles(Dynamic(list.query + channel + "&page=" + std::to_string(n))))
            << file;
      }
    }
    site_.SetChannel(news_, "d_generatehtml = 1");

    // Every link of every generated page resolves; an article page is its dynamic page.
    std::set<std::string> seen;
    std::vector<std::string> pending = {"/news/default.html"};
    for (const List& list : lists) pending.push_back("/" + list.file + ".html");
    int articles = 0;
    while (!pending.empty()) {
      const std::string path = pending.back();
      pending.pop_back();
      if (!seen.insert(path).second) continue;
      HttpAnswer answer = site_.Get(path);
      ASSERT_EQ(answer.status, 200) << path;
      std::smatch m;
      static const std::regex kArticle("<title>文章([0-9]+)</title>");
      // A paged article's files hold one page each; the dynamic page shows them all.
      if (std::regex_search(answer.text, m, kArticle) &&
          answer.text.find("<p align=right>[<a") == std::string::npos) {
        ++articles;
        const int number = std::stoi(m[1]);
        const std::string id =
            site_.SqlValue("select d_id from Vantrel_Article where d_title = '文章" +
                           std::to_string(number) + "'");
        EXPECT_EQ(answer.text, Dynamic("m=content&articleid=" + id + channel)) << path;
      }
      for (const std::string& link : Links(answer.text)) {
        if (link.rfind("/news/", 0) == 0 && link.find("Skin/") == std::string::npos &&
            link.find("images/") == std::string::npos) {
          pending.push_back(link);
        }
      }
    }
    EXPECT_GT(articles, 150);
    EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_generatedflag = 0 and "
                           "d_channelid = " +
                           Id(news_)),
              2);  // the link and the waiting article
    EXPECT_EQ(site_.Number("select count(*) from Vantrel_ArticleClass where d_generatedflag = 0"),
              0);
    EXPECT_EQ(site_.Number("select count(*) from Vantrel_ArticleSubject where d_generatedflag = 0"),
              0);
  }
}

// One step writes every article; the parts drawn once for the step (the path, the channel's labels,
// the list chips) must not carry one article's class, neighbours or related articles into another.
TEST_F(PublishChannelTest, ArticlesOfOneStepShowTheirOwnClassNeighboursAndRelatedArticles) {
  site_.SetChannel(news_, "d_groupnum = 500");
  site_.SetPage("content",
                "<title>{$showarticletitle}</title>{$showpath}{$showchannelname}"
                "{$showarticlehotlisturl}<div>{$showarticlecontent}</div>{$showarticleprevious}"
                "{$showarticlenext}<img TemplateChip=\"ListArticleCorrelative:10,0\">"
                "<img TemplateChip=\"ListArticlePic:-1,0,true,0,4,false,false,0,20,20,2,120,80,1,"
                "false,4\">" +
                    Chip(false, false, false, 5));
  std::vector<std::string> urls = Plan("1", {"content_all"});
  ASSERT_EQ(urls.size(), 1u) << batch_page_;
  RunAll(urls);
  const std::string channel = "&channelid=" + Id(news_);
  std::map<std::string, int> in_class;
  int compared = 0;
  for (const auto& entry : stdfs::recursive_directory_iterator(site_.Disk("news"))) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = stdfs::relative(entry.path(), site_.Disk("")).generic_string();
    const std::string text = site_.FileText(relative);
    std::smatch m;
    static const std::regex kArticle("<title>文章([0-9]+)</title>");
    if (!std::regex_search(text, m, kArticle) ||
        text.find("<p align=right>[<a") != std::string::npos) {
      continue;
    }
    const std::string id =
        site_.SqlValue("select d_id from Vantrel_Article where d_title = '文章" + m[1].str() + "'");
    EXPECT_EQ(text, Dynamic("m=content&articleid=" + id + channel)) << relative;
    const std::string head = text.substr(0, text.find("<div>"));
    for (const char* name : {"智能", "杂项"}) {
      if (head.find(name) != std::string::npos) ++in_class[name];
    }
    ++compared;
  }
  EXPECT_GT(compared, 150);
  // The pages' paths name their own classes.
  EXPECT_GT(in_class["智能"], 0);
  EXPECT_GT(in_class["杂项"], 0);
}

TEST_F(PublishChannelTest, TheSmartPlanTakesOnlyWhatIsOutOfDate) {
  site_.SetChannel(news_, "d_groupnum = 50");
  site_.Sql("update Vantrel_Article set d_generatedflag = -1 where d_title <> '文章7'");
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1 where d_id <> " + Id(misc_));
  site_.Sql("update Vantrel_ArticleSubject set d_generatedflag = -1");
  std::vector<std::string> urls = Plan("0");
  // first, one content step, js, the one class (40 articles at 20 a page: 2 pages, one step), and
  // the three top lists.
  ASSERT_EQ(urls.size(), 7u) << batch_page_;
  EXPECT_EQ(urls[0].substr(0, 12), "option=first");
  EXPECT_EQ(urls[1].substr(0, 31), "option=content_new&doingcount=1");
  EXPECT_NE(batch_page_.find("正在生成新发布内容-显示页文件,共1页,当前:1-1页"), std::string::npos);
  EXPECT_NE(urls[3].find("&flag1=" + Id(misc_) + "&"), std::string::npos);
  EXPECT_NE(batch_page_.find("正在生成分类[杂项]分页文件,共2页,当前:1-2页"), std::string::npos);
  RunAll(urls);
  const std::string article7 =
      site_.SqlValue("select d_id from Vantrel_Article where d_title = '文章7'");
  EXPECT_EQ(site_.SqlValue("select d_generatedflag from Vantrel_Article where d_id = " + article7),
            "-1");
  EXPECT_TRUE(stdfs::exists(site_.Disk("news/List_" + Id(misc_) + "_2.html")));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_generatedflag = 0"), 0);

  // The frame is reachable by name in the page, and the driver's timings are those of the page.
  EXPECT_NE(batch_page_.find("<iframe ID='frmUpdateHTML' name='frmUpdateHTML'"), std::string::npos);
  EXPECT_NE(batch_page_.find("timer=setInterval(\"doWrite()\",3000);"), std::string::npos);
  EXPECT_NE(batch_page_.find("setInterval(\"doWrite()\",600000);"), std::string::npos);
}

TEST_F(PublishChannelTest, CraftedStepAddressesAreRefusedAndChangeNothing) {
  const std::string token = Token();
  ASSERT_EQ(token.size(), 32u);
  const std::string c = "&channelid=" + Id(news_);
  const std::string t = "&token=" + token;
  const std::string refused = "提示：参数错误！";
  const std::vector<std::string> crafted = {
      "option=first" + c,  // no token
      "option=first" + c + "&token=" + std::string(32, 'a'),
      "option=content_all&doingcount=abc" + c + t,
      "option=content_all&doingcount=0" + c + t,
      "option=content_all&doingcount=-1" + c + t,
      "option=classlist&doingcount=1&flag1=1%20or%201=1" + c + t,
      "option=classlist&doingcount=1&flag1=" + Id(tech_) + "&flag3=0x" + c + t,
      "option=subjectlist&doingcount=1&flag1=999" + c + t,
      "option=hotlist&doingcount=99999999999" + c + t,
  };
  for (const std::string& url : crafted) {
    const std::string answer = Step(url);
    EXPECT_NE(answer.find(refused), std::string::npos) << url << "\n" << answer;
  }
  // A class of another channel is no class of this one.
  int64_t other = site_.Add(ChannelRow{.name = "其他", .dir = "other"});
  int64_t foreign = site_.Add(ClassRow{.name = "外类", .dir = "foreign", .channel = other});
  EXPECT_NE(Step("option=classlist&doingcount=1&flag1=" + Id(foreign) + c + t).find(refused),
            std::string::npos);
  // A channel id that is not a number ends at the console's alert.
  EXPECT_NE(Step("option=first&channelid=1x" + t).find("提示：参数错误，请返回！"),
            std::string::npos);
  // Nothing was written and no flag set; an unknown kind answers as done.
  EXPECT_FALSE(stdfs::exists(site_.Disk("news")));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_generatedflag <> 0"), 0);
  EXPECT_EQ(Step("option=xyz" + c + t), kDone);

  // The mode switch takes a posted form only.
  EXPECT_TRUE(Contains(AlertText(site_.Get(Console() + "&action=change").text), refused));
}

TEST_F(PublishChannelTest, BatchPageTextIsEscapedAndABatchSizeBelowOneIsOne) {
  site_.SetChannel(news_, "d_groupnum = 0");
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1 where d_id <> " + Id(misc_));
  site_.Sql(
      "update Vantrel_ArticleClass set d_name = 'x''</script><b>', d_path = 'a''b\"c' "
      "where d_id = " +
      Id(misc_));
  std::vector<std::string> urls = Plan("1", {"classlist", "first"});
  // 40 articles of the class at 20 a page: two pages, one page a step (and the step past the end
  // that the cut always adds), then the first page.
  ASSERT_EQ(urls.size(), 4u) << batch_page_;
  EXPECT_EQ(batch_page_.find("</script><b>"), std::string::npos);
  EXPECT_NE(batch_page_.find("[x\\'&lt;/script&gt;&lt;b&gt;]"), std::string::npos) << batch_page_;
  EXPECT_EQ(urls[3].substr(0, 12), "option=first");
  RunAll(urls);
  EXPECT_TRUE(stdfs::exists(site_.Disk("news/List_" + Id(misc_) + "_2.html")));
  EXPECT_EQ(
      site_.SqlValue("select d_generatedflag from Vantrel_ArticleClass where d_id = " + Id(misc_)),
      "-1");
}

TEST_F(PublishChannelTest, AListWithAFileThatCouldNotBeWrittenIsNotMarkedGenerated) {
  stdfs::create_directories(site_.Disk("news"));
  std::ofstream(site_.Disk("news/tech")) << "a file where the class folder goes";
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1 where d_id = " + Id(tech_));
  const std::string token = Token();
  const std::string answer = Step("option=classlist&doingcount=1&flag1=" + Id(tech_) +
                                  "&channelid=" + Id(news_) + "&token=" + token);
  EXPECT_NE(answer.find("个文件未能写入！"), std::string::npos) << answer;
  EXPECT_EQ(
      site_.SqlValue("select d_generatedflag from Vantrel_ArticleClass where d_id = " + Id(tech_)),
      "0");
  // No half-written file is ever left under the page's name.
  for (const auto& entry : stdfs::directory_iterator(site_.Disk("news"))) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
  }
}

// The clear step takes every page off the site at once, though it keeps the files for the
// publish that follows: the pages written again are byte for byte those of a publish into empty
// folders (a page that shrank included), and a page that is not written again stays gone.
TEST_F(PublishChannelTest, ClearedPagesStayOffTheSiteAndThePublishAfterWritesThemAsNew) {
  const std::vector<std::string> all = {"first",         "js_all",  "content_all",
                                        "classlist_all", "hotlist", "subjectlist_all",
                                        "recommendlist", "newlist"};
  // Every file of the channel folder, by its path there.
  auto files = [&] {
    std::map<std::string, std::string> found;
    for (const auto& entry : stdfs::recursive_directory_iterator(site_.Disk("news"))) {
      if (entry.is_regular_file()) {
        found[entry.path().lexically_relative(site_.Disk("news")).string()] =
            testing::Slurp(entry.path());
      }
    }
    return found;
  };
  RunAll(Plan("1", all));
  std::ofstream(site_.Disk("news/tech/old.html")) << "a page no longer written";
  ASSERT_EQ(site_.Get("/news/tech/old.html").status, 200);
  site_.Sql("update Vantrel_Article set d_content = '<p>短</p>' where d_title = '文章6'");
  site_.Sql("update Vantrel_Article set d_deleted = -1 where d_title = '文章11'");

  RunAll(Plan("1", {"delete"}));
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/tech")));
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/listhot")));
  EXPECT_EQ(site_.Get("/news/tech/old.html").status, 404);
  EXPECT_EQ(site_.Get("/data/cleared/news/tech/old.html").status, 404);
  RunAll(Plan("1", all));
  const std::map<std::string, std::string> reused = files();
  EXPECT_EQ(reused.count("tech/old.html"), 0u);
  EXPECT_EQ(site_.Get("/news/tech/old.html").status, 404);

  RunAll(Plan("1", {"delete"}));
  stdfs::remove_all(site_.Disk("data/cleared"));
  RunAll(Plan("1", all));
  const std::map<std::string, std::string> fresh = files();
  EXPECT_GT(fresh.size(), 200u);
  EXPECT_EQ(reused, fresh);
}

TEST_F(PublishChannelTest, TheModeSwitchWritesTheRedirectInTheChannelFolder) {
  RunAll(Plan("1", {"first", "classlist_all"}));
  ASSERT_TRUE(stdfs::exists(site_.Disk("news/default.html")));
  site_.SetChannel(news_, "d_generatehtml = 0");
  site_.Sql("update Vantrel_Article set d_generatedflag = -1");
  HttpAnswer done = site_.Post(Console() + "&action=change", {});
  EXPECT_NE(done.text.find("模式转换成功！"), std::string::npos) << done.text;
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/default.html")));
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/tech")));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_generatedflag <> 0"), 0);
  HttpAnswer redirect = site_.Get("/news/");
  EXPECT_EQ(redirect.status, 302);
  EXPECT_EQ(redirect.Header("location"), "/asp.asp?channelid=" + Id(news_));

  // Both generation forms are disabled in the dynamic mode; the switch form is not.
  EXPECT_NE(site_.Get(Console()).text.find("value='确定生成' disabled"), std::string::npos);
  EXPECT_NE(site_.Get(Console() + "&action=select").text.find("value='  提交  ' disabled"),
            std::string::npos);

  // Back to static: the redirect goes, the next generation writes the first page.
  site_.SetChannel(news_, "d_generatehtml = 1");
  done = site_.Post(Console() + "&action=change", {});
  EXPECT_NE(done.text.find("进入生成页面"), std::string::npos);
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/default.asp")));
}

TEST_F(PublishChannelTest, TheSiteHomeIsGeneratedAndSwitchedToItsRedirect) {
  site_.SetHomePage("<h1>{$showsitename}</h1>首页");
  site_.Sql("update Vantrel_Config set d_defaultfileext = 1");
  HttpAnswer page = site_.Post("/admin.asp?m=admin_defaulthtml&action=htmlupdate", {});
  std::smatch m;
  static const std::regex kUrl("a_Url\\[a_Url.length\\] = '([^']*)';");
  ASSERT_TRUE(std::regex_search(page.text, m, kUrl)) << page.text;
  const std::string step = "/admin.asp?m=admin_defaulthtml&action=doingupdatehtml&" + m[1].str();
  EXPECT_EQ(site_.Get(step).text, kDone);
  // Several channels: the site home is the dynamic home page.
  EXPECT_EQ(site_.FileText("default.htm"), site_.Page("/asp.asp"));

  // The home becomes dynamic: its files go, the redirect page answers.
  site_.Sql("update Vantrel_Config set d_defaultfileext = 4");
  HttpAnswer done = site_.Post("/admin.asp?m=admin_defaulthtml&action=change", {});
  EXPECT_NE(done.text.find("模式转换成功！"), std::string::npos);
  EXPECT_FALSE(stdfs::exists(site_.Disk("default.htm")));
  HttpAnswer home = site_.Get("/");
  EXPECT_EQ(home.status, 302);
  EXPECT_EQ(home.Header("location"), "/asp.asp");
  // A step requested directly never replaces the redirect page.
  EXPECT_NE(site_.Get(step).text.find("不生成静态首页！"), std::string::npos);
  EXPECT_EQ(site_.Get("/").status, 302);
  // Nor does the first page of a channel without folder whose first page is an .asp file.
  int64_t bare = site_.Add(ChannelRow{.name = "无目录", .dir = "", .first_file_ext = 4});
  EXPECT_NE(
      Step("option=first&channelid=" + Id(bare) + "&token=" + Token()).find("1个文件未能写入！"),
      std::string::npos);
  EXPECT_EQ(site_.Get("/").status, 302);
  EXPECT_NE(site_.Get("/admin.asp?m=admin_defaulthtml").text.find("value='确定生成' disabled"),
            std::string::npos);
}

}  // namespace
}  // namespace folirex::testing
