// The same end-to-end subset on both database forms: a site made by `folirex init` (a SQLite file,
// or an empty PostgreSQL database through ODBC) and served by `folirex serve`: the public pages,
// sign-in to the console, the article lists, and a comment posted and shown. Every case runs on
// SQLite; on PostgreSQL when ./test.sh has started its cluster.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "both_forms_site.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

class EndToEndTest : public BothFormsSiteTest {
 protected:
  EndToEndTest() : BothFormsSiteTest(Console::kSignedOut) {}

  // A class that takes comments without approval and two approved articles (the second pinned
  // and hot), written in the pages' dialect through the database layer.
  void Seed() override {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(
        "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_child, d_level, "
        "d_order, d_rootid, d_path, d_commentflag, d_commentcheckflag) values (1, 0, '国内新闻', "
        "'china', 0, 0, 1, 1, '1,', true, false)");
    conn.Execute(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_author, d_content, "
        "d_checked, d_deleted, d_addtime, d_showcommentlink, d_keyword) values (1, 1, "
        "'第一篇文章', "
        "'作者甲', '<p>正文内容一</p>', true, false, '2026-01-02 03:04:05', true, '|新闻|')");
    conn.Execute(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_author, d_content, "
        "d_checked, d_deleted, d_addtime, d_topflag, d_hotflag, d_keyword, d_clicktimes) values "
        "(1, 1, 'Second Article', 'B', '<p>body two</p>', true, false, '2026-01-03 03:04:05', "
        "true, true, '|新闻|', 150)");
    conn.Execute(
        "update Vantrel_Channel set d_itemcount = 2, d_itemcountchecked = 2 where d_id = 1");
  }
};

TEST_P(EndToEndTest, PublicPagesShowTheSiteAndItsArticles) {
  HttpAnswer home = site_->Get("/asp.asp");
  ASSERT_EQ(home.status, 200);
  EXPECT_NE(home.text.find("Folirex 新闻网"), std::string::npos);
  EXPECT_NE(home.text.find("第一篇文章"), std::string::npos) << home.text;
  EXPECT_NE(home.text.find("Second Article"), std::string::npos);

  HttpAnswer content = site_->Get("/asp.asp?m=content&articleid=1");
  ASSERT_EQ(content.status, 200);
  EXPECT_NE(content.text.find("<title>第一篇文章"), std::string::npos) << content.text;
  EXPECT_NE(content.text.find("作者甲"), std::string::npos);
  EXPECT_NE(content.text.find("正文内容一"), std::string::npos);
  EXPECT_NE(content.text.find("国内新闻"), std::string::npos);  // the location path

  HttpAnswer print = site_->Get("/asp.asp?m=print&articleid=2");
  EXPECT_EQ(print.status, 200);
  EXPECT_NE(print.text.find("body two"), std::string::npos);
  // A missing article is answered by the page, not by a failure.
  HttpAnswer missing = site_->Get("/asp.asp?m=content&articleid=999");
  EXPECT_EQ(missing.status, 200);
  EXPECT_EQ(missing.text.find("第一篇文章"), std::string::npos);
}

TEST_P(EndToEndTest, SignInOpensTheConsoleAndIsLogged) {
  EXPECT_FALSE(site_->SignIn("admin", password_ + "x"));
  ASSERT_TRUE(site_->SignIn("Admin", password_));
  HttpAnswer home = site_->Get("/admin.asp?m=admin_main");
  EXPECT_NE(home.text.find("系统主页面"), std::string::npos) << home.text;
  HttpAnswer log = site_->Get("/admin.asp?m=admin_loginlog");
  EXPECT_EQ(log.status, 200);
  EXPECT_NE(log.text.find("127.0.0.1"), std::string::npos) << log.text;
  EXPECT_EQ(Value("select d_loginnum from Vantrel_Admin where d_name = 'admin'").ToInt64(), 1);
}

TEST_P(EndToEndTest, ListsShowTheArticlesPinnedFirst) {
  for (const char* page : {"/asp.asp?m=classlist&classid=1", "/asp.asp?m=newlist&channelid=1",
                           "/asp.asp?m=hotlist&channelid=1"}) {
    HttpAnswer list = site_->Get(page);
    ASSERT_EQ(list.status, 200) << page;
    const size_t second = list.text.find("Second Article");
    const size_t first = list.text.find("第一篇文章");
    ASSERT_NE(second, std::string::npos) << page << list.text;
    if (std::string(page).find("hotlist") == std::string::npos) {
      ASSERT_NE(first, std::string::npos) << page;
      EXPECT_LT(second, first) << page << ": the pinned article comes first";
    } else {
      EXPECT_EQ(first, std::string::npos) << page << ": not a hot article";
    }
  }
  // The search compares text without regard to case on both engines.
  HttpAnswer search = site_->Get(
      "/asp.asp?m=search&channelid=1&searchtype=d_title&searchclass=0&searchorder=4&"
      "searchkeyword=SECOND");
  EXPECT_EQ(search.status, 200);
  EXPECT_NE(search.text.find("articleid=2&channelid=1'><font color=red>Second</font> Article"),
            std::string::npos)
      << search.text;
  EXPECT_EQ(search.text.find("第一篇文章"), std::string::npos);
}

// The hot list and the channel page's most clicked, in the order of clicks, follow a click, a
// change written straight into the table, the recycle bin and a deletion on both forms;
// PostgreSQL reads that order from a table of its own that triggers keep.
TEST_P(EndToEndTest, ListsInTheOrderOfClicksFollowEveryChange) {
  const auto add = [this](const std::string& title, int clicks) {
    Exec(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
        "d_deleted, d_addtime, d_hotflag, d_clicktimes) values (1, 1, ?, '', true, false, "
        "'2026-01-04 00:00:00', true, ?)",
        {Variant(title), Variant(static_cast<long long>(clicks))});
    return ValueText("select d_id from Vantrel_Article where d_title = '" + title + "'");
  };
  const std::string a = add("Hot Alpha", 100);
  const std::string b = add("Hot Beta", 100);
  const std::string c = add("Hot Gamma", 40);
  // The titles in the order the page lists them after `heading`.
  const auto order = [this](const std::string& path, const std::string& heading = "") {
    std::string text = site_->Get(path).text;
    text.erase(0, text.find(heading));
    std::vector<std::pair<size_t, std::string>> found;
    for (const char* title : {"Second Article", "Hot Alpha", "Hot Beta", "Hot Gamma"}) {
      const size_t at = text.find(title);
      if (at != std::string::npos) found.emplace_back(at, title);
    }
    std::sort(found.begin(), found.end());
    std::string titles;
    for (const auto& [at, title] : found) titles += (titles.empty() ? "" : ", ") + title;
    return titles;
  };
  const std::string hot = "/asp.asp?m=hotlist&channelid=1";
  // Pinned first; equal clicks, the older article first.
  EXPECT_EQ(order(hot), "Second Article, Hot Alpha, Hot Beta, Hot Gamma");
  EXPECT_NE(site_->Get("/asp.asp?m=click&articleid=" + b + "&channelid=1").text.find("101"),
            std::string::npos);
  EXPECT_EQ(order(hot), "Second Article, Hot Beta, Hot Alpha, Hot Gamma");
  Exec("update Vantrel_Article set d_clicktimes = 500 where d_id = " + c);
  EXPECT_EQ(order(hot), "Second Article, Hot Gamma, Hot Beta, Hot Alpha");
  EXPECT_EQ(order("/asp.asp?channelid=1", "<h2>点击排行</h2>"),
            "Second Article, Hot Gamma, Hot Beta, Hot Alpha");
  Exec("update Vantrel_Article set d_deleted = true where d_id = " + c);
  Exec("update Vantrel_Article set d_topflag = false where d_title = 'Second Article'");
  EXPECT_EQ(order(hot), "Second Article, Hot Beta, Hot Alpha");
  Exec("delete from Vantrel_Article where d_id = " + b);
  EXPECT_EQ(order(hot), "Second Article, Hot Alpha");
  Exec("update Vantrel_Article set d_clicktimes = 200 where d_id = " + a);
  EXPECT_EQ(order(hot), "Hot Alpha, Second Article");
}

// A top class's block on the channel page lists the articles of the class and its sub-classes
// in one order, pinned first, whichever class each is in.
TEST_P(EndToEndTest, AClassBlockListsItsSubClassesArticlesInOneOrder) {
  const auto add_class = [this](const std::string& dir, const std::string& parent, int order) {
    Exec(
        "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_child, d_level, "
        "d_order, d_rootid, d_path) values (1, ?, ?, ?, ?, ?, ?, 0, '')",
        {Variant(std::stoll(parent)), Variant(dir), Variant(dir),
         Variant(parent == "0" ? 2LL : 0LL), Variant(parent == "0" ? 0LL : 1LL),
         Variant(static_cast<long long>(order))});
    const std::string id =
        ValueText("select d_id from Vantrel_ArticleClass where d_dir = '" + dir + "'");
    const std::string root = parent == "0" ? id : parent;
    Exec("update Vantrel_ArticleClass set d_rootid = " + root + ", d_path = '" +
         (parent == "0" ? "" : parent + ",") + id + ",' where d_id = " + id);
    return id;
  };
  const std::string top = add_class("World", "0", 2);
  const std::vector<std::string> classes = {top, add_class("Asia", top, 3),
                                            add_class("Europe", top, 4)};
  for (int i = 0; i < 9; ++i) {
    Exec(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
        "d_deleted, d_addtime, d_topflag) values (1, ?, ?, '', true, false, ?, ?)",
        {Variant(std::stoll(classes[i % 3])), Variant("Merged " + std::to_string(i)),
         Variant("2026-02-0" + std::to_string(i + 1) + " 00:00:00"), Variant(i == 1)});
  }
  std::string text = site_->Get("/asp.asp?channelid=1").text;
  const size_t block = text.find("classid=" + top + "&channelid=1\">World</a>");
  ASSERT_NE(block, std::string::npos);
  text = text.substr(block, text.find("<h2>", block) - block);
  std::vector<std::pair<size_t, int>> found;
  for (int i = 0; i < 9; ++i) {
    const size_t at = text.find("Merged " + std::to_string(i) + "<");
    if (at != std::string::npos) found.emplace_back(at, i);
  }
  std::sort(found.begin(), found.end());
  std::string titles;
  for (const auto& [at, i] : found) titles += std::to_string(i);
  // The block's six: the pinned article (of Asia), then the newest of all three classes.
  EXPECT_EQ(titles, "187654");
}

// Deep pages read their rows by id through each list's kept head: on both forms the first, a
// middle, the last and a page past the last of the class list, the newest list, the search and
// the article manager list the rows that stepping over the rows before them gives, before and
// after articles change.
TEST_P(EndToEndTest, DeepPagesListTheRowsOfTheWalk) {
  {
    Connection conn;
    conn.Open(ConnectionString());
    // Times and clicks differ from row to row: PostgreSQL puts rows tied on the order key in no
    // fixed order, not even from one walk to the next.
    for (int i = 0; i < 300; ++i) {
      char time[32];
      std::snprintf(time, sizeof(time), "2026-02-%02d %02d:%02d:00", 1 + i % 28, i / 28,
                    (i * 7) % 60);
      conn.Execute(
          "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
          "d_deleted, d_addtime, d_topflag, d_clicktimes) values (1, ?, ?, '', true, false, ?, ?, "
          "?)",
          {Variant(i % 4 == 0 ? 0LL : 1LL), Variant("深页文章" + std::to_string(i)),
           Variant(std::string(time)), Variant(i % 9 == 0), Variant((i * 37LL) % 1000)});
    }
  }
  ASSERT_TRUE(site_->SignIn("admin", password_));
  auto shown = [this](const std::string& path, const std::string& mark) {
    std::string text = site_->Get(path).text;
    // A public list's rows are the table just before its page bar; other lists on the page
    // link articles too.
    const size_t bar = text.find("</table><p align=right>");
    if (bar != std::string::npos) {
      const size_t table = text.rfind("<table", bar);
      text = text.substr(table, bar - table);
    }
    std::vector<int64_t> ids;
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) {
      ids.push_back(std::stoll(text.substr(at + mark.size())));
    }
    return ids;
  };
  // The page's rows (settled as the pagers settle a page past the last) by stepping over the
  // rows before it.
  auto walked = [this](const std::string& select, int64_t page, int64_t size) {
    Connection conn;
    conn.Open(ConnectionString());
    Recordset rs;
    rs.Open(select, conn, 1, 1);
    const int64_t last = (rs.RecordCount() + size - 1) / size;
    rs.SetAbsolutePosition((std::min(page, last) - 1) * size + 1);
    std::vector<int64_t> ids;
    for (const auto& row : rs.GetRows(size)) ids.push_back(row.at(0).ToInt64Or(0));
    return ids;
  };
  struct PagedList {
    std::string path;  // ends with "page="
    std::string mark;  // what precedes each row's id
    std::string select;
  };
  const std::string listed = " from Vantrel_Article where d_channelid = 1 and d_deleted = false";
  const std::vector<PagedList> lists = {
      {"/asp.asp?m=classlist&classid=1&channelid=1&page=", "articleid=",
       "select d_id" + listed +
           " and d_checked = true and d_classid = 1 order by d_topflag, "
           "d_addtime desc"},
      {"/asp.asp?m=newlist&channelid=1&page=", "articleid=",
       "select d_id" + listed + " and d_checked = true order by d_topflag, d_addtime desc"},
      {"/asp.asp?m=search&channelid=1&searchtype=d_title&searchorder=6&searchkeyword=%C9%EE%D2%B3"
       "&page=",
       "articleid=",
       "select d_id" + listed +
           " and d_checked = true and d_title like '%深页%' order by "
           "d_clicktimes desc"},
      {"/admin.asp?m=admin_article&channelid=1&page=", "name='selectdel' value='",
       "select d_id" + listed + " order by d_addtime desc"},
  };
  auto check = [&](const std::string& when) {
    for (const PagedList& list : lists) {
      const int64_t size = static_cast<int64_t>(shown(list.path + "1", list.mark).size());
      ASSERT_GT(size, 0) << list.path;
      for (int64_t page : {1, 7, 10, 200}) {
        const std::vector<int64_t> expected = walked(list.select, page, size);
        // Twice: the first read keeps the list's head, the second reads the page by id.
        EXPECT_EQ(shown(list.path + std::to_string(page), list.mark), expected)
            << when << ' ' << list.path << page;
        EXPECT_EQ(shown(list.path + std::to_string(page), list.mark), expected)
            << when << ' ' << list.path << page;
      }
    }
  };
  check("as added");
  Exec("update Vantrel_Article set d_deleted = true where d_id % 11 = 0");
  Exec(
      "update Vantrel_Article set d_topflag = true, d_clicktimes = d_clicktimes + 1000 where d_id "
      "% "
      "13 = 0");
  check("after changes");
  // A change of pinning or time alone moves rows between pages too.
  Exec("update Vantrel_Article set d_topflag = true where d_id % 17 = 0");
  check("after pinning");
  Exec("update Vantrel_Article set d_addtime = '2026-03-01 00:00:00' where d_id = 150");
  check("after a new time");
  // Single articles changed as the console's writers and the collector change them, the kept
  // heads brought forward: a hot flag; then an article saved, one recycled, one restored, one
  // deleted, one pinned, one given a new time and two approvals withdrawn at once.
  Exec("update Vantrel_Article set d_hotflag = true where d_id = 40");
  check("after a hot flag");
  Exec(
      "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
      "d_deleted, d_addtime, d_topflag, d_clicktimes) values (1, 1, '深页新文章', '', true, false, "
      "'2026-02-27 23:59:00', false, 5)");
  Exec("update Vantrel_Article set d_deleted = true where d_id = 41");
  Exec("update Vantrel_Article set d_deleted = false where d_id = 44");
  Exec("delete from Vantrel_Article where d_id = 60");
  Exec("update Vantrel_Article set d_topflag = true where d_id = 61");
  Exec("update Vantrel_Article set d_addtime = '2026-02-15 22:22:00' where d_id = 62");
  Exec("update Vantrel_Article set d_checked = false where d_id in (63, 64)");
  check("after single changes");
}

TEST_P(EndToEndTest, ACommentIsStoredCountedAndShown) {
  HttpAnswer posted = site_->Post("/asp.asp?m=comment&flag=1&articleid=1&channelid=1",
                                  {{"d_name", "张三"},
                                   {"d_email", "reader@example.com"},
                                   {"d_score", "3"},
                                   {"d_content", "好文章 Nice"}});
  EXPECT_EQ(posted.status, 200);
  EXPECT_NE(posted.text.find("评论成功"), std::string::npos) << posted.text;
  EXPECT_EQ(Value("select count(*) from Vantrel_ArticleComment where d_infoid = 1 and d_checked "
                  "= true and d_username = '张三'")
                .ToInt64(),
            1);
  EXPECT_EQ(Value("select d_commentcount from Vantrel_Channel where d_id = 1").ToInt64(), 1);
  HttpAnswer list =
      site_->Get("/asp.asp?m=commentlist&articleid=1&parameter=5&pagetype=content&channelid=1");
  EXPECT_NE(list.text.find("好文章 Nice"), std::string::npos) << list.text;
  // A comment without a name is refused and stores nothing.
  HttpAnswer refused = site_->Post("/asp.asp?m=comment&flag=1&articleid=1&channelid=1",
                                   {{"d_name", ""}, {"d_score", "3"}, {"d_content", "x"}});
  EXPECT_NE(refused.text.find("请填写名字"), std::string::npos) << refused.text;
  EXPECT_EQ(Value("select count(*) from Vantrel_ArticleComment").ToInt64(), 1);
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, EndToEndTest);

}  // namespace
}  // namespace folirex::testing
